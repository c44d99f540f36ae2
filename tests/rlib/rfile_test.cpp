// tests/rlib/rfile_test.cpp - rFile on real files: opening modes, renaming, removal, file times,
// syncing and offsets beyond 32 bits.
#include "../childrun.h"
#include "rposix.h"
#include "rstream.h"
#include "stream_testutil.h"

#include <fcntl.h>
#include <unistd.h>

using Op = rPosix::Op;

TEST_F(StreamTest, OpenTranslatesModesAndRecordsFailuresWithTheAbsoluteName) {
    rFile f;
    EXPECT_FALSE(f.open(path("missing").c_str(), rFile::modeRead));
    EXPECT_EQ(f.errorCode(), erFileOpen);
    EXPECT_STREQ(f.errorSubject(), path("missing").c_str());
    EXPECT_EQ(f.errorValue(), 0u);
    EXPECT_EQ(f.handle(), -1);

    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    EXPECT_TRUE(f.open("rel", rFile::modeRewrite));
    EXPECT_EQ(chdir(previous), 0);
    free(previous);
    EXPECT_STREQ(f.getName().text(), path("rel").c_str());

    // A read-only file opened for writing gains only its owner's write bit.
    writeAll(path("ro"), "old contents");
    ASSERT_EQ(chmod(path("ro").c_str(), 0444), 0);
    ASSERT_TRUE(f.open(path("ro").c_str(), 770));
    ASSERT_TRUE(f.write("new", 3));
    ASSERT_TRUE(f.close());
    EXPECT_EQ(readAll(path("ro")), "new");
    struct stat st;
    ASSERT_EQ(stat(path("ro").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// Names may end in dots or blanks: the file opened is the one named, never another.
TEST_F(StreamTest, OpenTakesNamesEndingInDotsOrBlanksAsTheyStand) {
    for (const char* sub : {"x...", "Slot.", "Game v1.", "Trail "})
        ASSERT_EQ(mkdir(path(sub).c_str(), 0755), 0) << sub;
    writeAll(path("f"), "the outer file");
    writeAll(path("x.../f"), "inside x...");
    rFile f;
    ASSERT_TRUE(f.open(path("x.../f").c_str(), rFile::modeRead));
    EXPECT_STREQ(f.getName().text(), path("x.../f").c_str());
    char buf[11] = {};
    ASSERT_TRUE(f.readExact(buf, 11));
    EXPECT_EQ(std::string(buf, 11), "inside x...");

    ASSERT_TRUE(f.open(path("Slot./new").c_str(), rFile::modeRewrite));
    ASSERT_TRUE(f.write("slot", 4));
    ASSERT_TRUE(f.close());
    EXPECT_EQ(readAll(path("Slot./new")), "slot");
    EXPECT_EQ(access(path("Slotnew").c_str(), F_OK), -1);

    // Relative names against a current directory whose own name ends in a dot.
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(path("Game v1.").c_str()), 0);
    const bool opened = f.open("../Trail /rel.", rFile::modeRewrite);
    EXPECT_EQ(chdir(previous), 0);
    free(previous);
    ASSERT_TRUE(opened);
    EXPECT_STREQ(f.getName().text(), path("Trail /rel.").c_str());
    ASSERT_TRUE(f.close());
    EXPECT_EQ(access(path("Trail /rel.").c_str(), F_OK), 0);
}

TEST_F(StreamTest, RenameReplacesTargetAtomicallyAndReopensAtTheStart) {
    writeAll(path("a"), "first file");
    writeAll(path("b"), "target to be replaced");
    rFile f;
    ASSERT_TRUE(f.open(path("a").c_str(), rFile::modeRewrite));
    ASSERT_TRUE(f.write("new bytes", 9));
    Faults::arm();
    ASSERT_TRUE(f.rename(path("b").c_str()));
    EXPECT_EQ(Faults::count(FaultOp::remove), 0); // never a moment without a target file
    EXPECT_EQ(access(path("a").c_str(), F_OK), -1);
    EXPECT_STREQ(f.getName().text(), path("b").c_str());
    EXPECT_EQ(f.tell(), 0);
    char buf[9];
    ASSERT_TRUE(f.readExact(buf, 9)); // the mode's truncation is not repeated
    EXPECT_EQ(std::string(buf, 9), "new bytes");

    EXPECT_FALSE(f.rename(path("no/such/dir").c_str()));
    EXPECT_FALSE(f.isOpen());
    EXPECT_EQ(readAll(path("b")), "new bytes");

    // A final flush that fails leaves both files as they were.
    ASSERT_TRUE(f.open(path("b").c_str(), rFile::modeReadWrite));
    ASSERT_TRUE(f.write("XXXX", 4));
    Faults::arm(FaultOp::write);
    EXPECT_FALSE(f.rename(path("c").c_str()));
    Faults::arm();
    EXPECT_EQ(readAll(path("b")), "new bytes");
    EXPECT_EQ(access(path("c").c_str(), F_OK), -1);

    ASSERT_TRUE(f.open(path("b").c_str(), rFile::modeRead));
    EXPECT_TRUE(f.deleteFile());
    EXPECT_EQ(access(path("b").c_str(), F_OK), -1);
    EXPECT_FALSE(f.deleteFile());

    // A temporary file goes when closed, but moving it is no closing.
    ASSERT_TRUE(f.open(path("t").c_str(), rFile::modeRewrite | rFile::oTemporary));
    ASSERT_TRUE(f.rename(path("t2").c_str()));
    EXPECT_EQ(access(path("t2").c_str(), F_OK), 0);
    ASSERT_TRUE(f.close());
    EXPECT_EQ(access(path("t2").c_str(), F_OK), -1);
}

TEST_F(StreamTest, FileTimesFollowLocalTimeAndExactTimesAreKept) {
    rFile f;
    EXPECT_STREQ(f.getTime().dateText().text(), "01.01.1901"); // no file open

    ASSERT_TRUE(f.open(path("t").c_str(), rFile::modeRewrite));
    ASSERT_TRUE(f.write("pending", 7));
    EXPECT_TRUE(f.setTime(rDateTime(2003, 11, 9, 14, 16, 0)));
    rFileStatus st;
    ASSERT_TRUE(f.statFile(st));
    EXPECT_EQ(st.size, 7);
    EXPECT_EQ(st.modificationTime.seconds, 1068387360);
    EXPECT_EQ(st.accessTime.seconds, 1068387360);
    EXPECT_TRUE(st.regular);
    EXPECT_STREQ(f.getTime().timeText().text(), "14:16:00");

    setenv("TZ", "EST5", 1);
    tzset();
    EXPECT_STREQ(f.getTime().timeText().text(), "09:16:00");
    EXPECT_TRUE(f.setTime(rDateTime(1960, 5, 1, 0, 0, 0))); // before 1970: calendar time 0
    ASSERT_TRUE(f.statFile(st));
    EXPECT_EQ(st.modificationTime.seconds, 0);
    EXPECT_FALSE(f.setTime(rDateTime(1905, 2, 29, 0, 0, 0))); // invalid: nothing is set

    const rFileTime atime{1000, 5}, mtime{-86400 * 365 * 60L, 123456789};
    ASSERT_TRUE(f.write("x", 1));
    ASSERT_TRUE(f.setTimes(atime, mtime)); // the pending byte goes first
    ASSERT_TRUE(f.statFile(st));
    EXPECT_EQ(st.modificationTime.seconds, mtime.seconds);
    EXPECT_EQ(st.modificationTime.nanoseconds, 123456789);
    ASSERT_TRUE(f.close());
    struct stat sys;
    ASSERT_EQ(stat(path("t").c_str(), &sys), 0);
    EXPECT_EQ(sys.st_size, 8);
    EXPECT_EQ(sys.st_mtim.tv_sec, mtime.seconds);
    EXPECT_EQ(sys.st_mtim.tv_nsec, 123456789);
}

TEST_F(StreamTest, CommitFlushesAndSyncsAndReportsEveryLostWrite) {
    rFile f;
    ASSERT_TRUE(f.open(path("c").c_str(), rFile::modeRewrite));
    ASSERT_TRUE(f.write("data", 4));
    Faults::arm();
    EXPECT_TRUE(f.commit());
    EXPECT_EQ(Faults::count(FaultOp::sync), 1);
    EXPECT_EQ(readAll(path("c")), "data");
    Faults::arm(FaultOp::sync);
    EXPECT_FALSE(f.commit());
    Faults::arm(FaultOp::write);
    ASSERT_TRUE(f.write("more", 4));
    EXPECT_FALSE(f.flush());
    EXPECT_FALSE(f.commit()); // nothing is pending, but bytes were lost
    f.close();
    EXPECT_FALSE(f.commit());
}

TEST_F(StreamTest, OffsetsBeyondFourGigabytesWork) {
    const int64_t far = (int64_t(1) << 32) + 12345;
    rFile f;
    ASSERT_TRUE(f.open(path("big").c_str(), rFile::modeRewrite));
    ASSERT_EQ(f.seek(far, 0), far);
    ASSERT_TRUE(f.write("Z", 1));
    EXPECT_EQ(f.size(), far + 1);
    ASSERT_EQ(f.seek(far, 0), far);
    char c = 0;
    ASSERT_TRUE(f.readExact(&c, 1));
    EXPECT_EQ(c, 'Z');
    EXPECT_TRUE(f.deleteFile());
}

// A FIFO, a device or a directory is refused at once in every mode, with the open error; a
// regular file opened for reading is left in blocking mode.
TEST_F(StreamTest, OpeningWhatIsNoRegularFileFailsAtOnceWithTheOpenError) {
    const std::string fifo = path("game.sav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    writeAll(path("plain"), "abc");
    const int result = exitCodeWithin(30, [&] {
        int wrong = 0;
        rFile f;
        for (const std::string& name : {fifo, std::string("/dev/null"), dir}) {
            for (uint32_t mode : {uint32_t(rFile::modeRead), uint32_t(rFile::oWrOnly),
                                  uint32_t(rFile::modeReadWrite), uint32_t(rFile::modeRewrite)}) {
                wrong |= f.open(name.c_str(), mode) ? 1 : 0;
                wrong |= f.isOpen() ? 2 : 0;
                wrong |= f.errorCode() != erFileOpen ? 4 : 0;
                wrong |= name != f.errorSubject() ? 8 : 0;
            }
        }
        if (!f.open(path("plain").c_str(), rFile::modeRead))
            return wrong | 16;
        wrong |= (fcntl(int(f.handle()), F_GETFL) & O_NONBLOCK) != 0 ? 32 : 0;
        char buf[3];
        wrong |= f.readExact(buf, 3) ? 0 : 64;
        return wrong;
    });
    EXPECT_EQ(result, 0) << "-1: the open blocked";
    struct stat st;
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)); // left as it was
}
