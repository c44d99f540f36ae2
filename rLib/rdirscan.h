// rLib/rdirscan.h - directory enumeration: the file-system interface, the one-directory scanner
// rDirScan and the depth-first tree walker rFileWalker.
#pragma once

#include "rarray.h"
#include "rdatetime.h"
#include "rstring.h"

// One directory entry.
class rFileInfo : public rObject {
public:
    enum : uint32_t { kindDirectory = 2, kindFile = 4 };
    enum : uint32_t { accessRead = 1, accessWrite = 2, accessExecute = 4 };

    rFileInfo();
    // Kind, access and size 0, time 1901-01-01 00:00:00, empty name.
    void reset();

    uint32_t kind = 0;   // 2 directory, 4 file, 0 not filled in (or neither)
    uint32_t access = 0; // accessRead | accessWrite | accessExecute
    uint32_t size = 0;   // low 32 bits of the size in bytes
    rString name;        // own name; an accepted directory's name ends with the separator
    rDateTime time;      // last-write time, local
};

// A search in progress; each file system keeps its own kind of record behind it.
class rSearch {
public:
    virtual ~rSearch() = default;
};

// Device and inode of a directory, so that a walk enters each directory once.
struct rDirectoryId {
    uint64_t device;
    uint64_t inode;
    uint32_t used; // slot in use (for the walker's table)
};

class rFileSystem : public rObject {
public:
    enum : uint32_t { caseSensitive = 1, slashSeparator = 2 };

    explicit rFileSystem(uint32_t flagWord) : flags(flagWord) {}
    uint32_t getFlags() const { return flags; }

    // A search over directory, or null when it cannot be read.
    virtual rSearch* findFirst(const rString& directory) = 0;
    // Ends the search and sets the caller's pointer to null.
    virtual void findClose(rSearch*& search) = 0;
    // Resets entry and fills in at least its name; false when no entries remain.
    virtual bool findNext(rSearch* search, rFileInfo* entry) = 0;
    // Fills in the details of the entry just found; false when they cannot be read.
    virtual bool getInfo(const rString& directory, rSearch* search, rFileInfo* entry) = 0;
    virtual rString currentDirectory() = 0;
    virtual bool reserved1() { return true; }
    virtual void reserved2(const char*) {}
    virtual bool changeDirectory(const char*) { return true; }
    virtual bool reserved3(const char*, const char*, uint32_t) { return true; }
    virtual bool reserved4(const char*, const char*, uint32_t, uint32_t) { return true; }
    // Identity of the directory a search reads; false when this file system cannot tell.
    virtual bool directoryId(const rSearch*, rDirectoryId&) { return false; }

protected:
    uint32_t flags;
};

// The operating system's file system. On POSIX systems: slash separators, names matched without
// regard to case; symbolic links are followed for kind, size and time; only directories (kind 2)
// and regular files (kind 4) have a kind, so FIFOs, sockets and devices are never reported.
class rLocalFileSystem : public rFileSystem {
public:
    rLocalFileSystem();
    rSearch* findFirst(const rString& directory) override;
    void findClose(rSearch*& search) override;
    bool findNext(rSearch* search, rFileInfo* entry) override;
    bool getInfo(const rString& directory, rSearch* search, rFileInfo* entry) override;
    rString currentDirectory() override;
    bool changeDirectory(const char* path) override;
    bool directoryId(const rSearch* search, rDirectoryId& id) override;
};

// Lists the entries of one directory that pass the kind filter and the name pattern.
class rDirScan : public rObject {
public:
    // modeNamesOnly: an entry whose kind the listing gave is reported without its details
    // (access, size and time stay unset), which spares a status call per entry reported.
    enum : uint32_t { modeInvert = 1, modeDirectories = 2, modeFiles = 4, modeNamesOnly = 8 };

    // path: the directory followed by the name pattern (masks separated by ';').
    rDirScan(const char* path, uint32_t mode, rFileSystem* fileSystem = nullptr);
    ~rDirScan() override;
    rDirScan(const rDirScan&) = delete;
    rDirScan& operator=(const rDirScan&) = delete;

    virtual bool matchKind();
    // True when an entry was accepted; entry() and currentPath() then describe it.
    virtual bool next();
    virtual void closeSearch();

    rString currentPath() const;
    const rFileInfo& entry() const { return info; }
    const rString& directoryPath() const { return directory; }
    const rString& namePattern() const { return pattern; }

protected:
    bool accept();
    bool matchName(const rString& name) const;

    uint32_t ownsFileSystem = 0;
    uint32_t mode = 0;
    rString pattern;
    rFileSystem* fileSystem = nullptr;
    rSearch* search = nullptr;
    rFileInfo info;
    rString directory; // absolute, without a trailing separator
};

// An rDirScan that also descends into every subdirectory: files of a directory come before its
// subdirectories' contents, subdirectories in the order found. Links to directories are followed,
// but each directory (device and inode) is entered at most once per walk, so link loops end.
class rFileWalker : public rDirScan {
public:
    rFileWalker(const char* path, uint32_t mode, rFileSystem* fileSystem = nullptr);
    ~rFileWalker() override;

    bool matchKind() override;
    bool next() override;
    virtual bool descend();
    // Directories left out so far because the walk had entered them before (through a link).
    uint32_t revisits() const { return revisited; }

private:
    struct Node;
    // Records the directory of search; false when the walk has entered it before.
    bool enter(const rSearch* search);

    Node* current = nullptr;
    bool started = false;
    rArray<rDirectoryId> entered{0, 64}; // open-addressing table of entered directories
    uint32_t enteredCount = 0;
    uint32_t revisited = 0;
};
