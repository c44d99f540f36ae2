// Tests of rLib/rsystem: paths, tree removal, copy and move, the command line, temporary names,
// free space, path validity, code pages and versions.
#include "rposix.h"
#include "rresource.h"
#include "rsystem.h"

#include "assert_report.h"
#include "stream_testutil.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
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
        if (const char* tmp = std::getenv("TMPDIR"))
            savedTmp = tmp;
    }
    void TearDown() override {
        if (savedTmp)
            setenv("TMPDIR", savedTmp->c_str(), 1);
        else
            unsetenv("TMPDIR");
        StreamTest::TearDown();
    }
    std::string file(const std::string& rel, const std::string& content = "data") {
        const std::string path = dir + "/" + rel;
        fs::create_directories(fs::path(path).parent_path());
        writeAll(path, content);
        return path;
    }
    std::optional<std::string> savedTmp;
};

std::string stuckPath; // the one file that cannot be removed

} // namespace

TEST_F(SystemTest, MakePathCreatesMissingParentsInEitherStyle) {
    EXPECT_TRUE(makePath((dir + "/a/b/c").c_str()) && fs::is_directory(dir + "/a/b/c"));
    EXPECT_TRUE(makePath((dir + "/a/b/c/").c_str())); // exists already
    EXPECT_TRUE(makePath((dir + "/a/b/d").c_str()) && fs::is_directory(dir + "/a/b/d"));
    // A colon means no drive in a POSIX-style path.
    EXPECT_TRUE(makePath((dir + "/x:/y").c_str()) && fs::is_directory(dir + "/x:/y"));
    file("plain");
    EXPECT_FALSE(makePath((dir + "/plain").c_str())); // a file is no directory
    EXPECT_FALSE(makePath((dir + "/plain/sub").c_str()));
    EXPECT_TRUE(fs::is_regular_file(dir + "/plain"));

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

TEST_F(SystemTest, RemovingNeverFollowsLinksAndTouchesOnlyWhatMatches) {
    const std::string outside = file("outside/keep.txt", "precious");
    file("tree/a/b/f.txt");
    file("tree/top.sav");
    ASSERT_EQ(symlink((dir + "/outside").c_str(), (dir + "/tree/a/dirlink").c_str()), 0);
    ASSERT_EQ(symlink(outside.c_str(), (dir + "/tree/a/b/filelink").c_str()), 0);
    ASSERT_EQ(symlink("missing", (dir + "/tree/dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((dir + "/tree/a/pipe").c_str(), 0644), 0);
    ASSERT_EQ(symlink((dir + "/outside").c_str(), (dir + "/toplink").c_str()), 0);

    EXPECT_FALSE(removeTree((dir + "/toplink").c_str())); // a link is not followed at the top
    EXPECT_TRUE(removeTree((dir + "/tree/").c_str()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir + "/tree")));
    EXPECT_EQ(readAll(outside), "precious");

    // An entry that cannot be removed stops nothing else; the top then stays.
    const std::string stuck = file("t2/x/stuck.txt");
    file("t2/y/gone.txt");
    stuckPath = stuck;
    rPosix::setFaultHook([](rPosix::Op op, const char* path) {
        return op == rPosix::Op::unlink && path != nullptr && stuckPath == path ? EPERM : 0;
    });
    EXPECT_FALSE(removeTree((dir + "/t2").c_str()));
    EXPECT_TRUE(fs::exists(stuck));
    EXPECT_FALSE(fs::exists(dir + "/t2/y"));
    EXPECT_FALSE(removeTree((dir + "/nothing").c_str()));

    // A directory swapped for a link to outside data while the removal runs is removed as a
    // link, never entered.
    file("t3/sub/f.txt");
    stuckPath = dir + "/t3/sub";
    rPosix::setFaultHook([](rPosix::Op op, const char* path) {
        if (op == rPosix::Op::opendir && path != nullptr && stuckPath == path) {
            const fs::path top = fs::path(stuckPath).parent_path().parent_path();
            fs::rename(stuckPath, top / "swapped-away");
            fs::create_directory_symlink(top / "outside", stuckPath);
        }
        return 0;
    });
    EXPECT_TRUE(removeTree((dir + "/t3").c_str()));
    EXPECT_EQ(readAll(outside), "precious");
    EXPECT_TRUE(fs::exists(dir + "/swapped-away/f.txt"));

    // removeFiles and removeFile touch only matching files.
    file("r/one.tmp");
    file("r/Two.TMP");
    file("r/keep.txt");
    fs::create_directories(dir + "/r/dir.tmp");
    EXPECT_TRUE(removeFiles((dir + "/r/*.tmp").c_str()));
    EXPECT_FALSE(fs::exists(dir + "/r/one.tmp") || fs::exists(dir + "/r/Two.TMP"));
    EXPECT_TRUE(fs::exists(dir + "/r/keep.txt"));
    EXPECT_TRUE(fs::is_directory(dir + "/r/dir.tmp"));
    EXPECT_FALSE(removeFile((dir + "/r/dir.tmp").c_str()));
    EXPECT_TRUE(removeDirectory((dir + "/r/dir.tmp").c_str()));
    EXPECT_TRUE(removeFile((dir + "/r/keep.txt").c_str()));
    EXPECT_FALSE(removeFile((dir + "/r/keep.txt").c_str()));
}

TEST_F(SystemTest, CopyKeepsContentModeAndTimeAndMoveNeverReplaces) {
    const std::string from = file("c/src.bin", std::string(200000, 'q') + "end");
    ::chmod(from.c_str(), 0640);
    struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123}};
    ASSERT_EQ(utimensat(AT_FDCWD, from.c_str(), times, 0), 0);
    const std::string to = file("c/dst.bin", "old");
    ASSERT_TRUE(copyFile(from.c_str(), to.c_str())); // replaces the old target
    EXPECT_EQ(readAll(to), readAll(from));
    struct stat st;
    ASSERT_EQ(::stat(to.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_FALSE(copyFile(from.c_str(), from.c_str())); // onto itself: refused, content kept
    EXPECT_EQ(readAll(from).size(), 200003u);
    // Only regular files are copied: a FIFO is neither read nor written (with a reader
    // waiting, writing would succeed and chmod the FIFO), and a refused target stays.
    const std::string fifo = dir + "/c/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const fs::perms fifoPerms = fs::status(fifo).permissions();
    EXPECT_FALSE(copyFile(fifo.c_str(), (dir + "/c/x").c_str()));
    EXPECT_FALSE(fs::exists(dir + "/c/x"));
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_FALSE(copyFile(file("c/small").c_str(), fifo.c_str()));
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(fs::status(fifo).permissions(), fifoPerms);

    EXPECT_FALSE(moveFile(from.c_str(), to.c_str())); // target exists
    EXPECT_TRUE(fs::exists(from));
    EXPECT_TRUE(moveFile(from.c_str(), (dir + "/c/moved.bin").c_str()));
    EXPECT_FALSE(fs::exists(from));
    EXPECT_EQ(readAll(dir + "/c/moved.bin").size(), 200003u);
}

TEST_F(SystemTest, CommandLineSplitsAtSpacesAndHonoursLeadingQuotes) {
    auto split = [](const char* text) { // the arguments joined with '|'
        rCommandLine line;
        std::string out = line.parse(text) ? "" : "failed";
        for (uint32_t i = 0; i < line.count(); ++i)
            out += (i == 0 ? "" : "|") + std::string(line.argument(i));
        return out;
    };
    EXPECT_EQ(split("\"C:\\Program Files\\game.exe\"   one two"),
              "C:\\Program Files\\game.exe|one|two");
    // A quote inside stays, tabs do not split, "" is empty, a closing quote is dropped.
    EXPECT_EQ(split("a\"b c\td \"\" end\""), "a\"b|c\td|end");
    EXPECT_EQ(split("\"open ended"), "open|ended");
    EXPECT_EQ(split("x \"y z\""), "x|y z"); // the unclosed quote above does not carry over
    EXPECT_EQ(split("   "), "");

    ASSERT_GE(argumentCount(), 1u);
    EXPECT_EQ(argument(argumentCount()), nullptr);
    EXPECT_STREQ(rString(argument(0)).getFileName().text(), moduleFileName().getFileName().text());
}

TEST_F(SystemTest, TempNamesLieInThePerProcessDirectory) {
    setenv("TMPDIR", dir.c_str(), 1);
    EXPECT_EQ(std::string(tempDirectory().text()), dir + "/");
    char ids[32]; // the per-process directory, then the thread id
    std::snprintf(ids, sizeof ids, "/%08X/%08X", unsigned(getpid()), unsigned(gettid()));
    const std::string name = uniqueTempName().text();
    ASSERT_EQ(name.rfind(dir + ids, 0), 0u) << name;
    EXPECT_TRUE(fs::is_directory(dir + std::string(ids, 9)));
    const std::string rest = name.substr(dir.size() + 18); // the tick count and the extension
    EXPECT_EQ(rest.size(), 12u);
    EXPECT_EQ(rest.find_first_not_of("0123456789ABCDEF"), 8u);
    EXPECT_EQ(rest.substr(8), ".tmp");
    EXPECT_FALSE(fs::exists(name));
    const std::string other = uniqueTempName(dir.c_str(), "dat").text();
    EXPECT_EQ(other, dir + "/" + other.substr(dir.size() + 1, 16) + ".dat");
    const std::string cwd = fs::current_path().string();
    EXPECT_EQ(std::string(workingDirectory().text()), cwd == "/" ? "/" : cwd + "/");
}

// TMPDIR that names no directory falls back to /tmp/, and where /tmp is no directory either, to
// the executable's directory.
TEST_F(SystemTest, TempDirectoryFallsBackToTmpAndThenToTheProgramsDirectory) {
    for (const std::string& unusable : {std::string(""), file("a file"), dir + "/none"}) {
        setenv("TMPDIR", unusable.c_str(), 1);
        EXPECT_STREQ(tempDirectory().text(), "/tmp/") << unusable;
    }
    unsetenv("TMPDIR");
    EXPECT_STREQ(tempDirectory().text(), "/tmp/");
    rPosix::setFaultHook([](rPosix::Op op, const char* path) {
        return op == rPosix::Op::stat && path != nullptr && std::string(path) == "/tmp" ? ENOENT
                                                                                        : 0;
    });
    const std::string fallback = tempDirectory().text();
    rPosix::setFaultHook(nullptr);
    EXPECT_EQ(fallback, fs::read_symlink("/proc/self/exe").parent_path().string() + "/");
}

// Null arguments: refused with the described reports, or taken as an empty command line.
TEST_F(SystemTest, NullArgumentsAreRefusedWithTheirReports) {
    rCommandLine line;
    ASSERT_TRUE(line.parse("one two"));
    ASSERT_EQ(line.count(), 2u);
    EXPECT_TRUE(line.parse(nullptr));
    EXPECT_EQ(line.count(), 0u);
    EXPECT_EQ(line.argument(0), nullptr);

    resetAssertionReports();
    EXPECT_FALSE(removeTree(nullptr));
    expectReportAt("path!=NULL", "rLib/rsystem", "rLib/rsystem_posix.cpp");
    resetAssertionReports();
    EXPECT_FALSE(resourceToFile(1, nullptr, (dir + "/r").c_str()));
    expectReportAt("(resGroup!=NULL) && (filename!=NULL)", "rLib/rsystem", "rLib/rsystem.cpp");
    resetAssertionReports();
    EXPECT_FALSE(resourceToFile(1, "group", nullptr));
    expectReportAt("(resGroup!=NULL) && (filename!=NULL)", "rLib/rsystem", "rLib/rsystem.cpp");
    EXPECT_FALSE(fs::exists(dir + "/r"));

    const std::string kept = file("kept");
    EXPECT_TRUE(removeFiles(nullptr));
    EXPECT_FALSE(removeFile(nullptr));
    EXPECT_FALSE(removeDirectory(nullptr));
    EXPECT_FALSE(copyFile(nullptr, kept.c_str()));
    EXPECT_FALSE(copyFile(kept.c_str(), nullptr));
    EXPECT_FALSE(moveFile(nullptr, (dir + "/m").c_str()));
    EXPECT_FALSE(moveFile(kept.c_str(), nullptr));
    EXPECT_EQ(readAll(kept), "data");
    EXPECT_EQ(shellIcon(nullptr, true), nullptr);
    EXPECT_FALSE(rSystemPlatform::exists(nullptr));
    EXPECT_FALSE(rSystemPlatform::isDirectory(nullptr));
}

TEST_F(SystemTest, FreeSpaceAndPathValidity) {
    EXPECT_EQ(diskFreeSpace("relative/path"), 0u);
    EXPECT_EQ(diskFreeSpace("C:\\"), 0u);
    EXPECT_GT(diskFreeSpace(dir.c_str()), 0u);
    rPosix::setFaultHook(
        [](rPosix::Op op, const char*) { return op == rPosix::Op::statvfs ? EIO : 0; });
    EXPECT_EQ(diskFreeSpace(dir.c_str()), 0u);
    rPosix::setFaultHook(nullptr);
    resetAssertionReports();
    EXPECT_EQ(diskFreeSpace(nullptr), 0u);
    expectReportAt("path!=NULL", "rLib/rsystem", "rLib/rsystem_posix.cpp");

    auto valid = [](const std::string& text) {
        rString path(text.c_str());
        return isValidPath(path);
    };
    EXPECT_TRUE(valid(dir + "/new.sav"));
    EXPECT_TRUE(valid(dir + "/sub/../new.sav"));
    EXPECT_FALSE(valid(dir + "/missing/new.sav"));
    for (const char* bad : {"/a|b", "/a;b", "/a\tb"})
        EXPECT_FALSE(valid(dir + bad)) << bad;
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
    const std::string out = dir + "/version.txt";
    ASSERT_TRUE(resourceToFile(rVersionTextResource, "TEXT", out.c_str()));
    rResourceData data;
    ASSERT_TRUE(findResource(rVersionTextResource, "TEXT", data));
    EXPECT_EQ(readAll(out), std::string(static_cast<const char*>(data.data), data.size));
    EXPECT_FALSE(resourceToFile(9999, "TEXT", (dir + "/none").c_str()));
    EXPECT_FALSE(fs::exists(dir + "/none"));

    rString version("x"), special("y");
    int32_t build = 7;
    versionInfo(version, special, build);
    EXPECT_STREQ(version.text(), "1.1");
    EXPECT_TRUE(special.isEmpty() && build == 0);

    EXPECT_EQ(processId(), uint32_t(getpid()));
    uint32_t other = threadId();
    std::thread([&] { other = threadId(); }).join();
    EXPECT_NE(other, threadId());
    const uint32_t before = ticks();
    sleepMs(30);
    EXPECT_GE(uint32_t(ticks() - before), 30u);
}
