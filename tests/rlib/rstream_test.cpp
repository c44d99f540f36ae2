// tests/rlib/rstream_test.cpp - the buffer rules of rStream over real files: reads, seeks inside
// and outside the buffer, writes over read data, lines, strings, copies and error codes.
#include "rstream.h"
#include "stream_testutil.h"

#include <cstring>

using Op = rPosix::Op;

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
    EXPECT_EQ(Faults::count(Op::seek), 0);
    EXPECT_NE(f.getFlags() & rFile::resyncDevice, 0u);
    EXPECT_EQ(f.seek(65, 1), 65); // one past the buffer: the device moves
    EXPECT_EQ(Faults::count(Op::seek), 1);
    EXPECT_EQ(f.tell(), 65);
    char c = 0;
    ASSERT_TRUE(f.readExact(&c, 1));
    EXPECT_EQ(c, 65);
    f.unget('Q');
    EXPECT_EQ(f.tell(), 65);
    ASSERT_TRUE(f.readExact(&c, 1));
    EXPECT_EQ(c, 'Q');
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

TEST_F(StreamTest, UngetAfterAWriteKeepsTheWrittenBytes) {
    writeAll(path("f"), "abcdef");
    for (const uint32_t capacity : {1u, 2u, 64u}) {
        rFile f(-1, capacity);
        ASSERT_TRUE(f.open(path("f").c_str(), rFile::modeReadWrite));
        ASSERT_TRUE(f.write("XY", 2));
        f.unget('Y');
        EXPECT_EQ(f.tell(), 1);
        char c = 0;
        ASSERT_TRUE(f.readExact(&c, 1));
        EXPECT_EQ(c, 'Y');
        ASSERT_TRUE(f.close());
        EXPECT_EQ(readAll(path("f")), "XYcdef") << "buffer of " << capacity;
        writeAll(path("f"), "abcdef");
    }
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

TEST_F(StreamTest, ReadLineSplitsOnLfStripsOneCrAndStopsAtNulOrLimit) {
    writeAll(path("l"), std::string("ab\r\ncd", 6));
    for (uint32_t capacity : {0x10000u, 3u, 0u}) {
        rFile f(-1, capacity);
        ASSERT_TRUE(f.open(path("l").c_str(), rFile::modeRead));
        rString line;
        EXPECT_TRUE(f.readLine(line));
        EXPECT_STREQ(line.text(), "ab") << capacity;
        EXPECT_FALSE(f.readLine(line));
        EXPECT_STREQ(line.text(), "cd") << capacity;
        EXPECT_EQ(f.errorCode(), erFileEof);
    }
    writeAll(path("n"), std::string("x\0y\r\r\nabcdef\n", 13));
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
    Faults::arm(Op::read);
    char c;
    EXPECT_EQ(f.read(&c, 1), 0u);
    EXPECT_EQ(f.errorCode(), erFileIO);
    EXPECT_STREQ(f.errorSubject(), path("f").c_str());
    EXPECT_FALSE(f.hasBuffered());
    EXPECT_FALSE(f.write("x", 1)); // refused while an error is stored

    Faults::arm(Op::seek);
    EXPECT_LT(f.seek(7, 0), 0);
    EXPECT_EQ(f.errorCode(), erFileSeek);
    EXPECT_EQ(f.errorSubject(), nullptr);
    EXPECT_EQ(f.errorValue(), 7u);

    Faults::arm();
    f.clearError();
    EXPECT_EQ(f.seek(0, 0), 0);
    ASSERT_TRUE(f.write("abc", 3));
    Faults::arm(Op::write);
    EXPECT_LT(f.seek(5, 0), 0); // the failed flush is not hidden by the seek
    EXPECT_EQ(f.errorCode(), erFileWrite);
    EXPECT_STREQ(f.errorSubject(), path("f").c_str());
    EXPECT_EQ(f.seek(5, 0), 5); // a later seek clears the lower level
    EXPECT_FALSE(f.hasError());

    ASSERT_TRUE(f.write("z", 1));
    EXPECT_FALSE(f.close()); // the final flush fails: reported in the result only
    EXPECT_FALSE(f.hasError());

    ASSERT_TRUE(f.open(path("f").c_str(), rFile::modeRead));
    Faults::arm(Op::close);
    EXPECT_TRUE(f.open(path("f").c_str(), rFile::modeRead)); // the old file's failure is not its
    EXPECT_FALSE(f.hasError());
    EXPECT_FALSE(f.close());
    EXPECT_EQ(f.errorCode(), erFileClose);
    EXPECT_STREQ(f.errorSubject(), path("f").c_str());
    Faults::arm();
    EXPECT_EQ(readAll(path("f")), counting(10));
}
