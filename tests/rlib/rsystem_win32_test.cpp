// tests/rlib/rsystem_win32_test.cpp - the system services, the scratch directory and temporary
// files through the Windows calls: directories and trees, copy and move, free space, the
// temporary directory, process checks and temporary files in the per-process directory.
#include "rscratch.h"
#include "rsync.h"
#include "rsystem.h"
#include "rtempfile.h"
#include "rwin32.h"

#include <gtest/gtest.h>

#include <string>

rSharedLock tempNameLock;

namespace {

// A fresh directory below the temporary directory, removed at the end.
class WindowsSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::string(tempDirectory().text()) + "rsys-" + std::to_string(processId()) + "-" +
              std::to_string(ticks());
        ASSERT_TRUE(makePath(dir.c_str()));
    }
    void TearDown() override {
        rWin32::setFaultHook(nullptr);
        removeTree(dir.c_str());
    }
    std::string path(const std::string& name) const { return dir + "\\" + name; }
    static void write(const std::string& name, const std::string& text) {
        rFile f;
        ASSERT_TRUE(f.open(name.c_str(), rFile::modeRewrite));
        ASSERT_TRUE(f.write(text.data(), uint32_t(text.size())));
        ASSERT_TRUE(f.close());
    }
    static std::string read(const std::string& name) {
        rFile f;
        if (!f.open(name.c_str(), rFile::modeRead))
            return "<none>";
        char buffer[256];
        const uint32_t n = f.read(buffer, sizeof buffer);
        return std::string(buffer, n);
    }
    static bool exists(const std::string& name) {
        return GetFileAttributesW(rWide::Text(name.c_str()).get()) != INVALID_FILE_ATTRIBUTES;
    }
    std::string dir;
};

DWORD failRemoveDirectory(rWin32::Op op, const wchar_t*) {
    return op == rWin32::Op::rmdir ? ERROR_ACCESS_DENIED : 0;
}

} // namespace

TEST_F(WindowsSystemTest, LocationsEndWithASeparatorAndNameThisProgram) {
    const rString temp = tempDirectory();
    ASSERT_FALSE(temp.isEmpty());
    EXPECT_EQ(temp.text()[temp.length() - 1], '\\');
    const rString module = moduleFileName();
    EXPECT_EQ(module.getExtension().compareNoCase("exe"), 0) << module.text();
    EXPECT_TRUE(exists(module.text()));
    const rString cwd = workingDirectory();
    EXPECT_EQ(cwd.text()[cwd.length() - 1], '\\');
    EXPECT_EQ(cwd.text()[1], ':');
    // Free space: an absolute path's drive; nothing for a relative one.
    EXPECT_GT(diskFreeSpace("C:\\"), 0u);
    EXPECT_GT(diskFreeSpace(dir.c_str()), 0u);
    EXPECT_EQ(diskFreeSpace("relative\\dir"), 0u);
    EXPECT_NE(processId(), 0u);
    EXPECT_NE(threadId(), 0u);
    const uint32_t before = ticks();
    sleepMs(100); // the tick count may advance in steps of about 16 ms
    EXPECT_GE(ticks() - before, 60u);
    EXPECT_GE(argumentCount(), 1u);
}

TEST_F(WindowsSystemTest, TreesAreMadeAndRemovedWithReadOnlyFilesInside) {
    ASSERT_TRUE(makePath(path("a\\b\\c").c_str()));
    write(path("a\\b\\c\\f"), "x");
    write(path("a\\top"), "y");
    ASSERT_TRUE(
        SetFileAttributesW(rWide::Text(path("a\\top").c_str()).get(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(removeTree(path("a\\top").c_str())); // a file is no tree
    EXPECT_FALSE(removeDirectory(path("a").c_str())); // not empty
    rWin32::setFaultHook(failRemoveDirectory);
    EXPECT_FALSE(removeTree(path("a").c_str()));
    rWin32::setFaultHook(nullptr);
    EXPECT_TRUE(exists(path("a")));
    EXPECT_TRUE(removeTree(path("a").c_str()));
    EXPECT_FALSE(exists(path("a")));
    EXPECT_FALSE(removeTree(path("a").c_str()));
}

TEST_F(WindowsSystemTest, CopyKeepsTimeAndReadOnlyAndMoveNeverReplaces) {
    write(path("src"), "contents");
    {
        rFile f;
        ASSERT_TRUE(f.open(path("src").c_str(), rFile::modeReadWrite));
        ASSERT_TRUE(f.setTimes({1000000000, 0}, {1000000000, 500}));
    }
    write(path("dst"), "old and longer");
    ASSERT_TRUE(
        SetFileAttributesW(rWide::Text(path("dst").c_str()).get(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(copyFile(path("src").c_str(), path("dst").c_str()));
    EXPECT_EQ(read(path("dst")), "contents");
    rFile copy;
    rFileStatus st;
    ASSERT_TRUE(copy.open(path("dst").c_str(), rFile::modeRead));
    ASSERT_TRUE(copy.statFile(st));
    EXPECT_EQ(st.modificationTime.seconds, 1000000000);
    EXPECT_EQ(st.modificationTime.nanoseconds, 500);
    copy.close();

    EXPECT_FALSE(copyFile(path("src").c_str(), path("src").c_str())); // onto itself
    EXPECT_EQ(read(path("src")), "contents");
    EXPECT_FALSE(copyFile(path("missing").c_str(), path("x").c_str()));
    EXPECT_FALSE(copyFile(dir.c_str(), path("x").c_str())); // a directory is no file
    EXPECT_FALSE(exists(path("x")));

    EXPECT_FALSE(moveFile(path("src").c_str(), path("dst").c_str())); // the target exists
    EXPECT_TRUE(moveFile(path("src").c_str(), path("moved").c_str()));
    EXPECT_FALSE(exists(path("src")));
    EXPECT_EQ(read(path("moved")), "contents");
    EXPECT_TRUE(removeFile(path("moved").c_str()));
    EXPECT_FALSE(removeFile(path("moved").c_str()));
}

TEST_F(WindowsSystemTest, ScratchDirectoryHoldsTemporaryFilesAndGoesAtTheEnd) {
    EXPECT_FALSE(rScratchPlatform::processGone(processId()));
    EXPECT_TRUE(rScratchPlatform::processGone(0xFFFFFFF0u)); // no such process
    rString scratchPath;
    std::string tempName;
    {
        rScratchDirectory scratch;
        scratchPath = scratch.getPath();
        ASSERT_FALSE(scratchPath.isEmpty());
        char expected[16];
        std::snprintf(expected, sizeof expected, "%08X", unsigned(processId()));
        EXPECT_EQ(std::string(scratchPath.getFileName().text()), expected);
        EXPECT_TRUE(rScratchPlatform::isOwnDirectory(scratchPath.text()));
        rTempFile temp;
        ASSERT_TRUE(temp.isOpen());
        tempName = temp.getName().text();
        EXPECT_EQ(tempName.rfind(std::string(scratchPath.text()) + "\\", 0), 0u) << tempName;
        ASSERT_TRUE(temp.write("t", 1));
        EXPECT_TRUE(temp.commit());
        rTempFile second;
        ASSERT_TRUE(second.isOpen());
        EXPECT_NE(tempName, std::string(second.getName().text()));
    }
    EXPECT_FALSE(exists(tempName));
    EXPECT_FALSE(exists(scratchPath.text()));
}
