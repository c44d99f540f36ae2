// Tests of rLib/rsystem: paths, tree removal, copy and move, the command line, temporary names,
// free space, path validity, code pages and versions.
#include "rcodepage.h"
#include "rposix.h"
#include "rresource.h"
#include "rsystem.h"

#include "assert_report.h"
#include "stream_testutil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class SystemTest : public StreamTest {
protected:
    void SetUp() override {
        StreamTest::SetUp();
        root = dir;
        const char* tmp = std::getenv("TMPDIR");
        hadTmp = tmp != nullptr;
        savedTmp = hadTmp ? tmp : "";
    }
    void TearDown() override {
        if (hadTmp)
            setenv("TMPDIR", savedTmp.c_str(), 1);
        else
            unsetenv("TMPDIR");
        StreamTest::TearDown();
    }
    std::string file(const std::string& rel, const std::string& content = "data") {
        const std::string path = root + "/" + rel;
        fs::create_directories(fs::path(path).parent_path());
        writeAll(path, content);
        return path;
    }
    static std::string read(const std::string& path) { return readAll(path); }
    std::string root, savedTmp;
    bool hadTmp = false;
};

const char* failingPath = nullptr;
int failUnlink(rPosix::Op op, const char* path) {
    return op == rPosix::Op::unlink && path != nullptr && std::strcmp(path, failingPath) == 0
               ? EPERM
               : 0;
}

} // namespace

TEST_F(SystemTest, MakePathCreatesMissingParentsInEitherStyle) {
    EXPECT_TRUE(makePath((root + "/a/b/c").c_str()));
    EXPECT_TRUE(fs::is_directory(root + "/a/b/c"));
    EXPECT_TRUE(makePath((root + "/a/b/c/").c_str())); // exists already
    EXPECT_TRUE(makePath((root + "/a/b/d").c_str()));
    EXPECT_TRUE(makePath((root + "/x:/y").c_str())); // a colon means no drive here
    EXPECT_TRUE(fs::is_directory(root + "/x:/y"));
    file("plain");
    EXPECT_FALSE(makePath((root + "/plain").c_str())); // a file is no directory
    EXPECT_FALSE(makePath((root + "/plain/sub").c_str()));
    EXPECT_TRUE(fs::is_regular_file(root + "/plain"));

    rString unc("\\\\server");
    unc.setUnixStyle(false);
    EXPECT_FALSE(makePath(unc)); // no share component
    rString drive("C:\\");
    drive.setUnixStyle(false);
    EXPECT_TRUE(makePath(drive)); // a drive root: nothing to create
    EXPECT_FALSE(fs::exists("C:") || fs::exists("C:\\"));

    resetAssertionReports();
    EXPECT_FALSE(makePath(static_cast<const char*>(nullptr)));
    expectReportAt("path!=NULL", "rLib/rsystem", "rLib/rsystem.cpp");
}

TEST_F(SystemTest, RemoveTreeRemovesLinksButNeverWhatTheyPointTo) {
    const std::string outside = file("outside/keep.txt", "precious");
    file("tree/a/b/f.txt");
    file("tree/top.sav");
    ASSERT_EQ(symlink((root + "/outside").c_str(), (root + "/tree/a/dirlink").c_str()), 0);
    ASSERT_EQ(symlink(outside.c_str(), (root + "/tree/a/b/filelink").c_str()), 0);
    ASSERT_EQ(symlink("missing", (root + "/tree/dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((root + "/tree/a/pipe").c_str(), 0644), 0);
    ASSERT_EQ(symlink((root + "/outside").c_str(), (root + "/toplink").c_str()), 0);

    EXPECT_FALSE(removeTree((root + "/toplink").c_str())); // a link is not followed at the top
    EXPECT_TRUE(removeTree((root + "/tree/").c_str()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root + "/tree")));
    EXPECT_EQ(read(outside), "precious");

    // An entry that cannot be removed stops nothing else; the top then stays.
    const std::string stuck = file("t2/x/stuck.txt");
    file("t2/y/gone.txt");
    failingPath = stuck.c_str();
    rPosix::setFaultHook(failUnlink);
    EXPECT_FALSE(removeTree((root + "/t2").c_str()));
    rPosix::setFaultHook(nullptr);
    EXPECT_TRUE(fs::exists(stuck));
    EXPECT_FALSE(fs::exists(root + "/t2/y"));
    EXPECT_FALSE(removeTree((root + "/nothing").c_str()));
}

TEST_F(SystemTest, RemoveFilesAndRemoveFileTouchOnlyMatchingFiles) {
    file("r/one.tmp");
    file("r/Two.TMP");
    file("r/keep.txt");
    fs::create_directories(root + "/r/dir.tmp");
    EXPECT_TRUE(removeFiles((root + "/r/*.tmp").c_str()));
    EXPECT_FALSE(fs::exists(root + "/r/one.tmp"));
    EXPECT_FALSE(fs::exists(root + "/r/Two.TMP"));
    EXPECT_TRUE(fs::exists(root + "/r/keep.txt"));
    EXPECT_TRUE(fs::is_directory(root + "/r/dir.tmp"));
    EXPECT_FALSE(removeFile((root + "/r/dir.tmp").c_str()));
    EXPECT_TRUE(removeDirectory((root + "/r/dir.tmp").c_str()));
    EXPECT_TRUE(removeFile((root + "/r/keep.txt").c_str()));
    EXPECT_FALSE(removeFile((root + "/r/keep.txt").c_str()));
}

TEST_F(SystemTest, CopyKeepsContentModeAndTimeAndMoveNeverReplaces) {
    const std::string from = file("c/src.bin", std::string(200000, 'q') + "end");
    ::chmod(from.c_str(), 0640);
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123}};
    ASSERT_EQ(utimensat(AT_FDCWD, from.c_str(), times, 0), 0);
    const std::string to = file("c/dst.bin", "old");
    ASSERT_TRUE(copyFile(from.c_str(), to.c_str())); // replaces the old target
    EXPECT_EQ(read(to), read(from));
    struct stat st;
    ASSERT_EQ(::stat(to.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_FALSE(copyFile(from.c_str(), from.c_str())); // onto itself: refused, content kept
    EXPECT_EQ(read(from).size(), 200003u);
    ASSERT_EQ(mkfifo((root + "/c/fifo").c_str(), 0644), 0);
    EXPECT_FALSE(copyFile((root + "/c/fifo").c_str(), (root + "/c/x").c_str()));
    EXPECT_FALSE(fs::exists(root + "/c/x"));

    EXPECT_FALSE(moveFile(from.c_str(), to.c_str())); // target exists
    EXPECT_TRUE(fs::exists(from));
    EXPECT_TRUE(moveFile(from.c_str(), (root + "/c/moved.bin").c_str()));
    EXPECT_FALSE(fs::exists(from));
    EXPECT_EQ(read(root + "/c/moved.bin").size(), 200003u);
}

TEST_F(SystemTest, CommandLineSplitsAtSpacesAndHonoursLeadingQuotes) {
    rCommandLine line;
    ASSERT_TRUE(line.parse("\"C:\\Program Files\\game.exe\"   one two"));
    ASSERT_EQ(line.count(), 3u);
    EXPECT_STREQ(line.argument(0), "C:\\Program Files\\game.exe");
    EXPECT_STREQ(line.argument(1), "one");
    EXPECT_STREQ(line.argument(2), "two");
    EXPECT_EQ(line.argument(3), nullptr);
    ASSERT_TRUE(line.parse("a\"b c\td \"\" end\""));
    ASSERT_EQ(line.count(), 3u); // a quote inside stays, tabs do not split, "" is empty
    EXPECT_STREQ(line.argument(0), "a\"b");
    EXPECT_STREQ(line.argument(1), "c\td");
    EXPECT_STREQ(line.argument(2), "end");
    ASSERT_TRUE(line.parse("\"open ended"));
    EXPECT_EQ(line.count(), 2u);
    ASSERT_TRUE(line.parse("x \"y z\"")); // the unclosed quote above does not carry over
    ASSERT_EQ(line.count(), 2u);
    EXPECT_STREQ(line.argument(1), "y z");
    ASSERT_TRUE(line.parse("   "));
    EXPECT_EQ(line.count(), 0u);

    ASSERT_GE(argumentCount(), 1u);
    EXPECT_EQ(argument(argumentCount()), nullptr);
    EXPECT_EQ(rString(argument(0)).getFileName() == moduleFileName().getFileName().text(), true);
}

TEST_F(SystemTest, TempNamesLieInThePerProcessDirectory) {
    setenv("TMPDIR", root.c_str(), 1);
    EXPECT_EQ(std::string(tempDirectory().text()), root + "/");
    char own[16];
    std::snprintf(own, sizeof own, "%08X", unsigned(getpid()));
    const std::string name = uniqueTempName().text();
    const std::string dir = root + "/" + own + "/";
    ASSERT_EQ(name.rfind(dir, 0), 0u) << name;
    EXPECT_TRUE(fs::is_directory(dir));
    const std::string rest = name.substr(dir.size());
    ASSERT_EQ(rest.size(), 20u);
    EXPECT_EQ(rest.find_first_not_of("0123456789ABCDEF"), 16u);
    char tid[16];
    std::snprintf(tid, sizeof tid, "%08X", unsigned(gettid()));
    EXPECT_EQ(rest.substr(0, 8), tid);
    EXPECT_EQ(rest.substr(16), ".tmp");
    EXPECT_FALSE(fs::exists(name));
    const std::string other = uniqueTempName(root.c_str(), "dat").text();
    EXPECT_EQ(other, root + "/" + other.substr(root.size() + 1, 16) + ".dat");

    setenv("TMPDIR", (root + "/none").c_str(), 1);
    EXPECT_STREQ(tempDirectory().text(), "/tmp/");
    const std::string cwd = fs::current_path().string();
    EXPECT_EQ(std::string(workingDirectory().text()), cwd == "/" ? "/" : cwd + "/");
}

TEST_F(SystemTest, FreeSpaceAndPathValidity) {
    EXPECT_EQ(diskFreeSpace("relative/path"), 0u);
    EXPECT_EQ(diskFreeSpace("C:\\"), 0u);
    EXPECT_GT(diskFreeSpace(root.c_str()), 0u);
    rPosix::setFaultHook(
        [](rPosix::Op op, const char*) { return op == rPosix::Op::statvfs ? EIO : 0; });
    EXPECT_EQ(diskFreeSpace(root.c_str()), 0u);
    rPosix::setFaultHook(nullptr);
    resetAssertionReports();
    EXPECT_EQ(diskFreeSpace(nullptr), 0u);
    expectReportAt("path!=NULL", "rLib/rsystem", "rLib/rsystem_posix.cpp");

    auto valid = [](const std::string& text) {
        rString path(text.c_str());
        return isValidPath(path);
    };
    EXPECT_TRUE(valid(root + "/new.sav"));
    EXPECT_TRUE(valid(root + "/sub/../new.sav"));
    EXPECT_FALSE(valid(root + "/missing/new.sav"));
    EXPECT_FALSE(valid(root + "/a|b"));
    EXPECT_FALSE(valid(root + "/a;b"));
    EXPECT_FALSE(valid(root + "/a\tb"));
    rString relative("new.sav");
    EXPECT_TRUE(isValidPath(relative));
    EXPECT_EQ(std::string(relative.text()), fs::current_path().string() + "/new.sav");
}

TEST_F(SystemTest, CodePageConversionRoundTrips) {
    const char cyrillic[] = "\xCF\xF0\xE8\xE2\xE5\xF2 1"; // "Привет 1"
    uint16_t* wide = toWide(cyrillic);
    ASSERT_NE(wide, nullptr);
    EXPECT_TRUE(wide[0] == 0x041F && wide[5] == 0x0442 && wide[8] == 0);
    char* narrow = toNarrow(wide);
    ASSERT_NE(narrow, nullptr);
    EXPECT_STREQ(narrow, cyrillic);
    memFree(narrow);
    memFree(wide);
    const uint16_t foreign[] = {'a', 0x4E2D, 0xD83D, 0xDE00, 'b', 0};
    narrow = toNarrow(foreign);
    EXPECT_STREQ(narrow, "a??b");
    memFree(narrow);
    EXPECT_EQ(toWide(nullptr), nullptr);
    EXPECT_EQ(toNarrow(nullptr), nullptr);
}

TEST_F(SystemTest, ResourcesVersionsIdsAndTicks) {
    const std::string out = root + "/version.txt";
    ASSERT_TRUE(resourceToFile(rVersionTextResource, "TEXT", out.c_str()));
    rResourceData data;
    ASSERT_TRUE(findResource(rVersionTextResource, "TEXT", data));
    EXPECT_EQ(read(out), std::string(static_cast<const char*>(data.data), data.size));
    EXPECT_FALSE(resourceToFile(9999, "TEXT", (root + "/none").c_str()));
    EXPECT_FALSE(fs::exists(root + "/none"));
    resetAssertionReports();
    EXPECT_FALSE(resourceToFile(1, nullptr, out.c_str()));
    expectReportAt("(resGroup!=NULL) && (filename!=NULL)", "rLib/rsystem", "rLib/rsystem.cpp");

    rString version("x"), special("y");
    int32_t build = 7;
    versionInfo(version, special, build);
    EXPECT_STREQ(version.text(), "1.1");
    EXPECT_TRUE(special.isEmpty());
    EXPECT_EQ(build, 0);

    EXPECT_EQ(processId(), uint32_t(getpid()));
    uint32_t other = threadId();
    std::thread([&] { other = threadId(); }).join();
    EXPECT_NE(other, threadId());
    const uint32_t before = ticks();
    sleepMs(30);
    EXPECT_GE(uint32_t(ticks() - before), 30u);
}
