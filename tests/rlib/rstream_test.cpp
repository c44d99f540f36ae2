// tests/rlib/rstream_test.cpp - the buffer rules of rStream over real files: reads, seeks inside
// and outside the buffer, writes over read data, lines, strings, copies and error codes.
#include "rstream.h"
#include "stream_testutil.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// An rFile whose device calls are counted against a budget per operation: past it, the stream
// stores an error, which ends every loop of the stream, so a runaway loop fails the test.
class GuardedFile : public rFile {
public:
    explicit GuardedFile(uint32_t capacity) : rFile(-1, capacity) {}
    void allow(uint64_t calls) {
        used = 0;
        budget = calls;
    }
    bool overran() const { return overrun; }
    int64_t deviceSeek(int64_t offset, int origin) override {
        return spend() ? rFile::deviceSeek(offset, origin) : -1;
    }
    bool deviceFill() override { return spend() && rFile::deviceFill(); }
    bool flush(int32_t hint = -1) override { return spend() && rFile::flush(hint); }

private:
    bool spend() {
        if (++used <= budget)
            return true;
        overrun = true;
        setError(erFileIO, "runaway", 0);
        return false;
    }
    uint64_t used = 0;
    uint64_t budget = ~uint64_t(0);
    bool overrun = false;
};

} // namespace

TEST_F(StreamTest, ReadsDeliverWhatIsBufferedAndReadingPastTheEndIsEndOfData) {
    writeAll(path("f"), counting(40));
    rFile f(-1, 16);
    ASSERT_TRUE(f.open(path("f").c_str(), rFile::modeRead));
    char buf[40];
    EXPECT_EQ(f.read(buf, 0), 0u);
    EXPECT_EQ(f.read(buf, 30), 16u); // never refilled in the middle of a call
    EXPECT_EQ(f.read(buf, 30), 16u);
    EXPECT_EQ(f.read(buf, 30), 8u);
    EXPECT_EQ(buf[7], 39);
    ASSERT_EQ(f.seek(0, 0), 0);
    ASSERT_TRUE(f.readExact(buf, 40));
    EXPECT_EQ(std::string(buf, 40), counting(40));
    EXPECT_FALSE(f.hasError());
    EXPECT_EQ(f.tell(), 40);
    char one = 'x';
    EXPECT_EQ(f.read(&one, 1), 0u);
    EXPECT_EQ(one, 0); // zero-filled
    EXPECT_EQ(f.errorCode(), erFileEof);
    EXPECT_STREQ(f.errorSubject(), path("f").c_str());
    EXPECT_EQ(f.errorValue(), 0u);
}

TEST_F(StreamTest, SeeksInsideTheBufferSkipTheDeviceAndOutsideCorrectForReadAhead) {
    writeAll(path("f"), counting(200));
    rFile f(-1, 64);
    ASSERT_TRUE(f.open(path("f").c_str(), rFile::modeRead));
    char buf[20];
    ASSERT_TRUE(f.readExact(buf, 20)); // buffer holds 0..63, index 20
    Faults::arm();
    EXPECT_EQ(f.seek(-15, 1), 5);
    EXPECT_EQ(f.seek(59, 1), 64); // exactly the available count
    EXPECT_EQ(f.seek(10, 0), 10);
    EXPECT_EQ(f.seek(0, 0), 0); // back to the buffer's first byte
    EXPECT_EQ(Faults::count(FaultOp::seek), 0);
    EXPECT_NE(f.getFlags() & rFile::resyncDevice, 0u);
    EXPECT_EQ(f.seek(65, 1), 65); // one past the buffer: the device moves
    EXPECT_EQ(Faults::count(FaultOp::seek), 1);
    EXPECT_EQ(f.tell(), 65);
    char c = 0;
    ASSERT_TRUE(f.readExact(&c, 1));
    EXPECT_EQ(c, 65);
    EXPECT_EQ(f.size(), 200);
}

TEST_F(StreamTest, WritesOverReadDataLandAtTheLogicalPosition) {
    const std::string original = counting(100);
    writeAll(path("f"), original);
    // Seek inside a read buffer, then write: bytes before keep their values.
    rFile f;
    ASSERT_TRUE(f.open(path("f").c_str(), rFile::modeReadWrite));
    char buf[10];
    ASSERT_TRUE(f.readExact(buf, 10));
    EXPECT_EQ(f.seek(50, 0), 50);
    ASSERT_TRUE(f.write("AB", 2));
    ASSERT_TRUE(f.flush());
    EXPECT_EQ(f.tell(), 52);
    // A write that directly follows reads goes where the reads stopped.
    ASSERT_TRUE(f.readExact(buf, 3));
    EXPECT_EQ(buf[0], 52);
    ASSERT_TRUE(f.write("XY", 2));
    ASSERT_TRUE(f.close());
    std::string expected = original;
    expected.replace(50, 2, "AB");
    expected.replace(55, 2, "XY");
    EXPECT_EQ(readAll(path("f")), expected);
}

// A block that does not fit in the rest of a buffer holding read data, and writes whose total
// exceeds the free room of a buffer holding written data.
TEST_F(StreamTest, WritesThatOverrunTheBufferAfterReadsEndAndLandAtThePosition) {
    Watchdog watchdog(60);
    const uint32_t capacity = rStream::defaultCapacity;
    const std::string original = counting(3 * capacity);
    struct Case {
        uint32_t read;
        int64_t seekTo; // -1: none
        uint32_t write;
    };
    for (const Case c : {Case{10, -1, capacity - 6}, Case{capacity, -1, 1},
                         Case{10, 5, capacity - 2}, Case{100, 40, 2 * capacity + 7}}) {
        SCOPED_TRACE(std::to_string(c.read) + " " + std::to_string(c.seekTo) + " " +
                     std::to_string(c.write));
        writeAll(path("f"), original);
        GuardedFile f(capacity);
        ASSERT_TRUE(f.open(path("f").c_str(), rFile::modeReadWrite));
        std::string buf(c.read, 0);
        ASSERT_TRUE(f.readExact(buf.data(), c.read));
        int64_t at = c.read;
        if (c.seekTo >= 0)
            at = f.seek(c.seekTo, 0);
        const std::string data(c.write, 'w');
        f.allow(32);
        EXPECT_TRUE(f.write(data.data(), c.write));
        EXPECT_FALSE(f.overran());
        EXPECT_EQ(f.tell(), at + c.write);
        ASSERT_TRUE(f.close());
        std::string expected = original;
        expected.replace(size_t(at), c.write, data);
        EXPECT_EQ(readAll(path("f")), expected);
    }

    // Small writes that together exceed the free room: each overflow empties the buffer once.
    GuardedFile f(16);
    ASSERT_TRUE(f.open(path("g").c_str(), rFile::modeRewrite));
    std::string expected;
    for (uint32_t n = 1; n <= 40; ++n) {
        const std::string piece = counting(n).substr(0, n);
        f.allow(2 + n / 16);
        ASSERT_TRUE(f.write(piece.data(), n));
        expected += piece;
    }
    EXPECT_FALSE(f.overran());
    f.allow(8);
    ASSERT_TRUE(f.close());
    EXPECT_EQ(readAll(path("g")), expected);
}

// A byte put back is read once more but never written, even when a write follows in the buffer.
TEST_F(StreamTest, UngetChangesTheNextReadButNeverTheFile) {
    writeAll(path("f"), counting(100));
    rFile f(-1, 64);
    ASSERT_TRUE(f.open(path("f").c_str(), rFile::modeReadWrite));
    char buf[5];
    ASSERT_TRUE(f.readExact(buf, 5));
    f.unget('Q');
    EXPECT_EQ(f.tell(), 4);
    char c = 0;
    ASSERT_TRUE(f.readExact(&c, 1));
    EXPECT_EQ(c, 'Q');
    ASSERT_TRUE(f.write("Z", 1));
    ASSERT_TRUE(f.close());
    std::string expected = counting(100);
    expected[5] = 'Z';
    EXPECT_EQ(readAll(path("f")), expected);

    // After a write, a put-back byte does not take the place of the last byte written.
    ASSERT_TRUE(f.open(path("h").c_str(), rFile::modeRewrite));
    ASSERT_TRUE(f.write("abc", 3));
    f.unget('c');
    EXPECT_EQ(f.tell(), 2);
    ASSERT_TRUE(f.readExact(&c, 1));
    EXPECT_EQ(c, 'c');
    ASSERT_TRUE(f.close());
    EXPECT_EQ(readAll(path("h")), "abc");
}

TEST_F(StreamTest, UnbufferedStreamsReadAndWriteThroughTheDevice) {
    rFile f(-1, 0);
    ASSERT_TRUE(f.open(path("u").c_str(), rFile::modeRewrite));
    ASSERT_TRUE(f.writeLine("hello"));
    f.setUnixLines(true);
    ASSERT_TRUE(f.writeLine("x"));
    EXPECT_EQ(readAll(path("u")), "hello\r\nx\n"); // on the device before any flush
    ASSERT_EQ(f.seek(1, 0), 1);
    char buf[3];
    EXPECT_EQ(f.read(buf, 3), 3u);
    EXPECT_EQ(std::string(buf, 3), "ell");
    EXPECT_EQ(f.tell(), 4);
}

// The model test below checks the same rules at every buffer size.
TEST_F(StreamTest, ReadLineSplitsOnLfStripsOneCrAndStopsAtNulOrLimit) {
    writeAll(path("n"), std::string("x\0y\r\r\nabcdef\ncd", 15));
    rFile f(-1, 4);
    ASSERT_TRUE(f.open(path("n").c_str(), rFile::modeRead));
    rString line;
    EXPECT_TRUE(f.readLine(line));
    EXPECT_STREQ(line.text(), "x");
    EXPECT_TRUE(f.readLine(line));
    EXPECT_STREQ(line.text(), "y\r"); // one CR only
    EXPECT_FALSE(f.readLine(line, 3));
    EXPECT_STREQ(line.text(), "abcd");
    EXPECT_EQ(f.errorCode(), erFileIO);
    EXPECT_EQ(f.errorSubject(), nullptr);
    f.setUnixLines(true);
    f.clearError();
    EXPECT_EQ(f.seek(2, 0), 2);
    EXPECT_TRUE(f.readLine(line));
    EXPECT_STREQ(line.text(), "y\r\r");
    EXPECT_TRUE(f.readLine(line));
    EXPECT_STREQ(line.text(), "abcdef");
    EXPECT_FALSE(f.readLine(line)); // the last line has no LF
    EXPECT_STREQ(line.text(), "cd");
    EXPECT_EQ(f.errorCode(), erFileEof);
}

TEST_F(StreamTest, StringLimitIsExclusiveAndTheHeapFormFailsOnMissingData) {
    rFile f;
    ASSERT_TRUE(f.open(path("s").c_str(), rFile::modeRewrite));
    ASSERT_TRUE(f.writeString("0123456789") && f.writeString("012345678"));
    ASSERT_TRUE(f.writeInt(0xFFFFFFFF) && f.write("tail", 4));
    ASSERT_EQ(f.seek(0, 0), 0);
    rString s;
    EXPECT_FALSE(f.readString(s, 10));
    EXPECT_EQ(f.errorCode(), erFileIO);
    EXPECT_EQ(f.errorValue(), 10u);
    EXPECT_EQ(f.errorSubject(), nullptr);
    f.clearError();
    EXPECT_EQ(f.seek(14, 0), 14);
    char* heap = f.readString();
    ASSERT_NE(heap, nullptr);
    EXPECT_STREQ(heap, "012345678");
    memFree(heap);
    EXPECT_EQ(f.readString(), nullptr);
    EXPECT_EQ(f.errorCode(), erFileEof);
    EXPECT_EQ(f.seek(14, 0), 14); // a device seek clears the lower-level error
    EXPECT_TRUE(f.readString(s, 10));
    EXPECT_STREQ(s.text(), "012345678");
}

// Lets one block through, then stops the copy.
struct StopAfter : rProgress {
    int left = 1;
    uint32_t bytes = 0;
    int notify(rStream*, uint32_t event, uint32_t n, uint32_t, uint32_t) override {
        EXPECT_EQ(event, progressCopied);
        bytes += n;
        return left-- > 0;
    }
};

TEST_F(StreamTest, CopiesEndCleanlyAtTheEndAndReportCopyingPastIt) {
    const std::string data = counting(10000);
    writeAll(path("src"), data);
    rFile src, dst;
    ASSERT_TRUE(src.open(path("src").c_str(), rFile::modeRead));
    ASSERT_TRUE(dst.open(path("d1").c_str(), rFile::modeRewrite));
    EXPECT_TRUE(dst.copyFrom(src, -1));
    EXPECT_TRUE(dst.close());
    EXPECT_EQ(readAll(path("d1")), data);

    // A count shorter than what is left copies that many bytes and no more.
    src.seek(1000, 0);
    ASSERT_TRUE(dst.open(path("d5").c_str(), rFile::modeRewrite));
    EXPECT_TRUE(dst.copyFrom(src, 5000));
    EXPECT_TRUE(dst.close());
    EXPECT_EQ(readAll(path("d5")), data.substr(1000, 5000));

    src.seek(9000, 0);
    ASSERT_TRUE(dst.open(path("d2").c_str(), rFile::modeRewrite));
    EXPECT_FALSE(dst.copyFrom(src, 5000));
    EXPECT_EQ(dst.errorCode(), erFileEof);
    EXPECT_FALSE(src.hasError()); // taken over by the destination
    dst.close();
    EXPECT_EQ(readAll(path("d2")), data.substr(9000));

    src.seek(0, 0);
    ASSERT_TRUE(dst.open(path("d3").c_str(), rFile::modeRewrite));
    EXPECT_TRUE(src.copyTo(dst, 5000));
    EXPECT_FALSE(src.copyTo(dst, 6000)); // only 5000 are left
    EXPECT_EQ(src.errorCode(), erFileEof);
    dst.close();
    EXPECT_EQ(readAll(path("d3")), data);

    src.seek(0, 0);
    src.clearError();
    ASSERT_TRUE(dst.open(path("d4").c_str(), rFile::modeRewrite));
    StopAfter progress;
    EXPECT_FALSE(dst.copyFrom(src, -1, &progress));
    EXPECT_EQ(dst.errorCode(), erCancelled);
    EXPECT_EQ(progress.bytes, 8192u);
    dst.close();
    EXPECT_EQ(readAll(path("d4")).size(), 4096u);
}

TEST_F(StreamTest, DeviceFailuresAreRecordedWithCodeSubjectAndValue) {
    writeAll(path("f"), counting(10));
    rFile f;
    ASSERT_TRUE(f.open(path("f").c_str(), rFile::modeReadWrite));
    Faults::arm(FaultOp::read);
    char c;
    EXPECT_EQ(f.read(&c, 1), 0u);
    EXPECT_EQ(f.errorCode(), erFileIO);
    EXPECT_STREQ(f.errorSubject(), path("f").c_str());
    EXPECT_FALSE(f.hasBuffered());
    EXPECT_FALSE(f.write("x", 1)); // refused while an error is stored

    Faults::arm(FaultOp::seek);
    EXPECT_LT(f.seek(7, 0), 0);
    EXPECT_EQ(f.errorCode(), erFileSeek);
    EXPECT_EQ(f.errorSubject(), nullptr);
    EXPECT_EQ(f.errorValue(), 7u);

    Faults::arm();
    f.clearError();
    EXPECT_EQ(f.seek(0, 0), 0);
    ASSERT_TRUE(f.write("abc", 3));
    Faults::arm(FaultOp::write);
    EXPECT_LT(f.seek(5, 0), 0); // the failed flush is not hidden by the seek
    EXPECT_EQ(f.errorCode(), erFileWrite);
    EXPECT_STREQ(f.errorSubject(), path("f").c_str());
    EXPECT_EQ(f.seek(5, 0), 5); // a later seek clears the lower level
    EXPECT_FALSE(f.hasError());

    ASSERT_TRUE(f.write("z", 1));
    EXPECT_FALSE(f.close()); // the final flush fails: reported in the result only
    EXPECT_FALSE(f.hasError());

    ASSERT_TRUE(f.open(path("f").c_str(), rFile::modeRead));
    Faults::arm(FaultOp::close);
    EXPECT_TRUE(f.open(path("f").c_str(), rFile::modeRead)); // the old file's failure is not its
    EXPECT_FALSE(f.hasError());
    EXPECT_FALSE(f.close());
    EXPECT_EQ(f.errorCode(), erFileClose);
    EXPECT_STREQ(f.errorSubject(), path("f").c_str());
    Faults::arm();
    EXPECT_EQ(readAll(path("f")), counting(10));
}

namespace {

// The file as a plain byte array with a position: what every stream operation must amount to.
struct Model {
    std::string bytes;
    int64_t pos = 0;
    uint32_t error = 0;

    int64_t size() const { return int64_t(bytes.size()); }
    void write(const std::string& data) {
        if (data.empty())
            return; // no byte: a position past the end does not extend the file
        if (pos > size())
            bytes.resize(size_t(pos), 0);
        bytes.replace(size_t(pos), data.size(), data);
        pos += int64_t(data.size());
    }
    // Consumes what is there of n bytes; false (end of data) when they run out.
    bool readExact(uint32_t n, std::string& got) {
        got.clear();
        if (pos < size())
            got = bytes.substr(size_t(pos), n);
        pos += int64_t(got.size());
        if (got.size() == n)
            return true;
        error = erFileEof;
        return false;
    }
    bool readLine(uint32_t max, std::string& line) {
        line.clear();
        for (;;) {
            if (pos >= size()) {
                error = erFileEof;
                return false;
            }
            const char c = bytes[size_t(pos++)];
            if (c == 0)
                return true;
            if (c == 10) {
                if (!line.empty() && line.back() == 13)
                    line.pop_back();
                return true;
            }
            line += c;
            if (max != 0 && line.size() > max) {
                error = erFileIO;
                return false;
            }
        }
    }
};

// Bytes with line ends, carriage returns and NULs among them, so that lines stay short.
std::string randomBytes(std::mt19937& rng, size_t n) {
    std::string s(n, 0);
    for (char& c : s) {
        const uint32_t r = rng() % 32;
        c = r == 0 ? 10 : r == 1 ? 13 : r == 2 ? 0 : char(32 + rng() % 224);
    }
    return s;
}

// Sizes of every kind up to several buffers, with the buffer's edges and the room left in it.
uint32_t randomSize(std::mt19937& rng, uint32_t capacity, int64_t pos) {
    const int64_t room = capacity - pos % capacity;
    int64_t n;
    switch (rng() % 6) {
    case 0:
        n = rng() % 4;
        break;
    case 1:
        n = int64_t(capacity) - 1 + rng() % 3;
        break;
    case 2:
        n = room - 1 + rng() % 3;
        break;
    case 3:
        n = int64_t(capacity) * (2 + rng() % 2) - 1 + rng() % 3;
        break;
    case 4:
        n = rng() % (capacity + 1);
        break;
    default:
        n = rng() % (3 * uint64_t(capacity) + 3);
        break;
    }
    return uint32_t(n < 0 ? 0 : n);
}

// One random run: every return value, the position and the stored error are compared with the
// model after each operation, the file's content after each flush, reopening and at the end.
void runAgainstModel(const std::string& file, uint32_t bufferSize, uint32_t seed, int operations) {
    std::mt19937 rng(seed);
    // Sizes of an unbuffered stream are measured against a small unit.
    const uint32_t capacity = bufferSize == 0 ? 16 : bufferSize;
    Model m;
    m.bytes = randomBytes(rng, rng() % (3 * capacity + 3));
    StreamTest::writeAll(file, m.bytes);
    GuardedFile f(bufferSize);
    ASSERT_TRUE(f.open(file.c_str(), rFile::modeReadWrite));
    std::string trace;
    for (int step = 0; step < operations; ++step) {
        const uint32_t n = randomSize(rng, capacity, m.pos);
        const uint32_t what = rng() % 20;
        // A line may run over the whole file, one device read per buffer.
        const uint64_t lineReads =
            what >= 6 && what < 8 ? 2 * (m.size() / (bufferSize == 0 ? 1 : capacity) + 1) : 0;
        f.allow(16 + 4 * uint64_t(n / capacity) + lineReads);
        trace += " " + std::to_string(what) + ":" + std::to_string(n);
        SCOPED_TRACE("capacity " + std::to_string(bufferSize) + " seed " + std::to_string(seed) +
                     " step " + std::to_string(step) + " at " + std::to_string(m.pos) + " size " +
                     std::to_string(m.size()) + " ops" +
                     trace.substr(trace.size() > 200 ? trace.size() - 200 : 0));
        if (what < 4) { // read
            std::string dst(n, char(0xAA));
            const uint32_t k = f.read(dst.data(), n);
            const int64_t left = m.size() - m.pos;
            if (n == 0) {
                EXPECT_EQ(k, 0u);
            } else if (left <= 0) {
                EXPECT_EQ(k, 0u);
                m.error = erFileEof;
            } else {
                ASSERT_GE(k, 1u);
                ASSERT_LE(int64_t(k), std::min<int64_t>(n, left));
                EXPECT_EQ(dst.substr(0, k), m.bytes.substr(size_t(m.pos), k));
                m.pos += k;
            }
            EXPECT_EQ(dst.find_first_not_of('\0', k), std::string::npos);
        } else if (what < 6) { // readExact
            std::string dst(n, char(0xAA)), expected;
            const bool ok = m.readExact(n, expected);
            EXPECT_EQ(f.readExact(dst.data(), n), ok);
            expected.resize(n, 0); // what the end of data left unread is zero-filled
            EXPECT_EQ(dst, expected);
        } else if (what < 8) { // readLine
            const uint32_t max = rng() % 2 ? 0 : 1 + rng() % 40;
            rString line;
            std::string expected;
            const bool ok = m.readLine(max, expected);
            EXPECT_EQ(f.readLine(line, max), ok);
            EXPECT_EQ(std::string(line.text(), line.length()), expected);
        } else if (what < 12) { // write
            const std::string data = randomBytes(rng, n);
            EXPECT_TRUE(f.write(data.data(), n));
            m.write(data);
        } else if (what < 15) { // seek
            const int origin = int(rng() % 3);
            const int64_t base = origin == 0 ? 0 : origin == 1 ? m.pos : m.size();
            int64_t target;
            switch (rng() % 4) {
            case 0:
                target = m.pos + int64_t(rng() % 9) - 4;
                break;
            case 1:
                target = m.pos + (rng() % 2 ? 1 : -1) * (int64_t(n) - 1 + rng() % 3);
                break;
            case 2:
                target = m.size() - 2 + rng() % 5;
                break;
            default:
                target = rng() % (m.size() + 2 * capacity + 1);
                break;
            }
            const int64_t r = f.seek(target - base, origin);
            if (target < 0) {
                EXPECT_LT(r, 0);
                m.error = erFileSeek;
            } else {
                EXPECT_EQ(r, target);
                m.pos = target;
            }
        } else if (what < 16) { // unget the byte before the position
            if (m.pos >= 1 && m.pos <= m.size()) {
                f.unget(m.bytes[size_t(m.pos - 1)]);
                --m.pos;
            }
        } else if (what < 17) {
            EXPECT_TRUE(f.flush());
            ASSERT_EQ(StreamTest::readAll(file), m.bytes);
        } else if (what < 18) {
            EXPECT_EQ(f.size(), m.size());
        } else if (what < 19) {
            EXPECT_EQ(f.tell(), m.pos);
        } else { // close and open again: the content is on disk, the position back at 0
            EXPECT_TRUE(f.close());
            ASSERT_EQ(StreamTest::readAll(file), m.bytes);
            ASSERT_TRUE(f.open(file.c_str(), rFile::modeReadWrite));
            m.pos = 0;
        }
        ASSERT_FALSE(f.overran()) << "the operation did not end by itself";
        ASSERT_EQ(f.errorCode(), m.error);
        ASSERT_EQ(f.tell(), m.pos);
        f.clearError();
        m.error = 0;
    }
    f.allow(64);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(StreamTest::readAll(file), m.bytes);
}

} // namespace

TEST_F(StreamTest, RandomOperationsAgreeWithAByteArrayAtEveryBufferSize) {
    Watchdog watchdog(240);
    std::vector<uint32_t> capacities;
    for (uint32_t c = 0; c <= 17; ++c)
        capacities.push_back(c);
    for (uint32_t c : {31u, 100u, 257u, 1000u, 4096u, 65536u})
        capacities.push_back(c);
    for (uint32_t capacity : capacities) {
        const int runs = capacity >= 4096 ? 3 : 6;
        const int operations = capacity >= 4096 ? 120 : 400;
        for (int run = 0; run < runs; ++run) {
            runAgainstModel(path("model"), capacity, capacity * 7919u + uint32_t(run), operations);
            if (HasFatalFailure())
                return;
        }
    }
}

// Null texts are refused or taken as empty, never followed (null streams: rstoredforms_test).
TEST_F(StreamTest, NullArgumentsAreTakenAsEmptyOrRefused) {
    rFile f;
    ASSERT_TRUE(f.open(path("n").c_str(), rFile::modeRewrite));
    EXPECT_TRUE(f.write(nullptr, 0));
    EXPECT_TRUE(f.writeLine(nullptr));
    EXPECT_TRUE(f.writeString(static_cast<const char*>(nullptr)));
    ASSERT_TRUE(f.close());
    EXPECT_EQ(readAll(path("n")), std::string("\r\n\0\0\0\0", 6));

    EXPECT_FALSE(f.rename(nullptr));
    for (uint32_t mode : {uint32_t(rFile::modeRead), uint32_t(rFile::modeRewrite)}) {
        resetAssertionReports();
        EXPECT_FALSE(f.open(nullptr, mode));
        EXPECT_NE(std::string(lastAssertionReport()).find("rLib/rfile"), std::string::npos);
        EXPECT_EQ(f.errorCode(), erFileOpen);
        EXPECT_FALSE(f.isOpen());
    }
}
