// rLib/rstream.h - rStream, the buffered stream with a sticky error state, and rFile, the stream
// over an operating-system file descriptor.
#pragma once

#include "rdatetime.h"
#include "robject.h"
#include "rstring.h"

class rStream;

// A file time as the file system keeps it: seconds since 1970-01-01 00:00:00 UTC (negative
// before) and the nanoseconds within that second.
struct rFileTime {
    int64_t seconds = 0;
    int32_t nanoseconds = 0;
};

// An open file's details, the same on every platform.
struct rFileStatus {
    int64_t size = 0;
    rFileTime accessTime;
    rFileTime modificationTime;
    uint32_t permissions = 0; // permission bits (on Windows 0444, or 0666 without read-only)
    bool regular = false;     // a regular file: no directory, FIFO, pipe or device
};

// Watches a stream copy; a zero answer stops it.
class rProgress {
public:
    virtual ~rProgress() = default;
    // event progressCopied: bytes were copied by stream.
    virtual int notify(rStream* stream, uint32_t event, uint32_t bytes, uint32_t reserved,
                       uint32_t step) = 0;
};
constexpr uint32_t progressCopied = 0x10002;

class rStream : public rObject {
public:
    static constexpr uint32_t defaultCapacity = 0x10000;
    // flags
    static constexpr uint32_t ownsBuffer = 0x1;
    static constexpr uint32_t resyncDevice = 0x10000; // the next flush re-positions the device
    static constexpr uint32_t unixLines = 0x20000;    // lines end with a lone LF

    explicit rStream(uint32_t capacity);
    rStream(const rStream&) = delete;
    rStream& operator=(const rStream&) = delete;
    ~rStream() override;

    bool setBufferSize(uint32_t size);
    uint32_t bufferSize() const { return capacity; }
    uint32_t getFlags() const { return flags; }
    void setUnixLines(bool on);
    bool isUnixLines() const { return (flags & unixLines) != 0; }

    // Device operations: the plain stream has no device and delivers no data.
    virtual int64_t deviceSeek(int64_t offset, int origin);
    virtual bool deviceFill();
    virtual void release() { delete this; }

    virtual bool readExact(void* dst, uint32_t n);
    // Delivers what is buffered (filling an empty buffer once); 0 at the end or on error.
    virtual uint32_t read(void* dst, uint32_t n);
    virtual void unget(char byte);
    // Origins: 0 start, 1 current, 2 end. Returns the new position, or a negative value.
    virtual int64_t seek(int64_t offset, int origin);
    virtual bool hasBuffered() const { return available() > 0; }
    virtual int64_t tell() const { return position; }
    virtual int64_t size();
    virtual bool flush(int32_t hint = -1);
    virtual bool writeString(const char* text);
    virtual bool write(const void* src, uint32_t n);
    virtual bool close();
    // Reads one line; max 0 means no limit. The line end (LF, CR LF, or NUL) is consumed.
    virtual bool readLine(rString& str, uint32_t max = 0);
    virtual intptr_t handle() const { return 0; }

    bool writeString(const rString& str);
    bool writeByte(char c) { return write(&c, 1); }
    bool writeEndOfLine();
    bool writeLine(const char* text);
    bool writeInt(uint32_t v); // 4 bytes, little-endian
    bool readInt(uint32_t& v);
    bool readInt(int32_t& v);
    // A length-prefixed string; max 0 means no limit, otherwise the length must be below max.
    bool readString(rString& str, uint32_t max = 0);
    // The same into a new block that the caller releases with memFree; null on failure.
    char* readString();

    bool copyFrom(rStream& source, int64_t count, rProgress* progress = nullptr);
    bool copyTo(rStream& destination, int64_t count, rProgress* progress = nullptr);

protected:
    int64_t available() const { return int64_t(fill) - int64_t(index); }
    bool owned() const { return (flags & ownsBuffer) != 0; }
    // Puts the device at the first buffered byte when a seek inside the buffer moved it.
    bool resync();
    // Turns a buffer of read bytes into an empty one for writing at the logical position.
    bool startWriting();

    char* buffer = nullptr;
    uint32_t capacity = 0;
    int64_t position = 0; // device offset of the next byte read or written
    uint32_t index = 0;   // offset of that byte in the buffer
    uint32_t fill = 0;    // valid bytes placed in the buffer by the last device read
    uint32_t dirty = 0;   // the buffer holds written bytes not yet on the device
    uint32_t flags = 0;

private:
    bool growString(rString& str, uint64_t needed);
};

class rFile : public rStream {
public:
    // Open-mode bits: the C runtime's values, translated to the system's at the call.
    enum : uint32_t {
        oRdOnly = 0x0000,
        oWrOnly = 0x0001,
        oRdWr = 0x0002,
        oAppend = 0x0008,
        oSequential = 0x0020,
        oTemporary = 0x0040, // removed when closed
        oCreat = 0x0100,
        oTrunc = 0x0200,
        oExcl = 0x0400,
        oShortLived = 0x1000,
        oBinary = 0x8000,
        oWriteAccess = 0x000B,
        modeRead = 0,         // reading saves and descriptions
        modeRewrite = 0x302,  // read-write, create, truncate (770)
        modeReadWrite = 0x102 // read-write, create (258)
    };

    // descriptor: the system's descriptor or handle of an open file, -1 for none.
    explicit rFile(intptr_t descriptor = -1, uint32_t capacity = defaultCapacity);
    ~rFile() override;

    bool open(const char* fileName, uint32_t mode);
    // A new, empty file with a unique name in the per-process directory, opened read-write
    // (rtempfile.cpp); false when the name lock is not obtained within 5000 ms.
    bool openTemp();
    int64_t deviceSeek(int64_t offset, int origin) override;
    bool deviceFill() override;
    bool flush(int32_t hint = -1) override;
    bool close() override;
    intptr_t handle() const override { return descriptor; }

    // Moves the file to newName (replacing an existing file there) and reopens it at 0.
    bool rename(const char* newName);
    bool deleteFile();
    rDateTime getTime();
    bool setTime(rDateTime time);
    bool commit(); // flush, then to the disk

    // The open file's details, and its access and modification times set exactly.
    bool statFile(rFileStatus& st);
    // The status taken when the file was opened (no further call); false when none is open.
    bool openedStatus(rFileStatus& st) const;
    bool setTimes(const rFileTime& atime, const rFileTime& mtime);

    const rString& getName() const { return name; }
    uint32_t getMode() const { return mode; }
    bool isOpen() const { return descriptor != -1; }
    static int systemFlags(uint32_t mode);

protected:
    // Chooses a unique name in directory (default: the per-process directory) and creates the
    // file there; the caller holds tempNameLock.
    bool openUnique(const char* directory);

private:
    bool closeFile(bool removeTemporary);
    bool flushPending() { return dirty == 0 || flush(-1); }

    intptr_t descriptor = -1;
    rFileStatus opened; // the open file's status at opening
    rString name;
    uint32_t mode = 0;
};
