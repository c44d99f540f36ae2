// tests/rlib/rsystem_win32_test.cpp - the system services, the scratch directory and temporary
// files through the Windows calls: directories and trees, copy and move, free space, the
// temporary directory, the Windows, system and shell folders, shell icons, the program's version
// and resources, the program's name under a directory 1251 cannot write, process checks and
// temporary files in the per-process directory.
#include "rresource.h"
#include "rscratch.h"
#include "rsync.h"
#include "rsystem.h"
#include "rtempfile.h"
#include "rwin32.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

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

// A copy of this program started with this variable set writes what moduleFileName gives to the
// file it names, and ends before any test runs.
const wchar_t moduleNameVariable[] = L"RSYSTEM_TEST_MODULE_NAME_OUT";
[[maybe_unused]] const bool moduleNameChild = [] {
    wchar_t out[MAX_PATH + 1];
    const DWORD n = GetEnvironmentVariableW(moduleNameVariable, out, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH)
        return false;
    const rString name = moduleFileName();
    HANDLE file = CreateFileW(out, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, name.text(), DWORD(name.length()), &written, nullptr);
    CloseHandle(file);
    ExitProcess(0);
}();

// Runs the program file with the variable set; what it wrote, or "<none>".
std::string moduleNameOf(const std::wstring& program, const std::wstring& out) {
    SetEnvironmentVariableW(moduleNameVariable, out.c_str());
    std::wstring line = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &process) != FALSE;
    SetEnvironmentVariableW(moduleNameVariable, nullptr);
    if (!started)
        return "<not started>";
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    HANDLE file =
        CreateFileW(out.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<none>";
    char buffer[2048];
    DWORD n = 0;
    ReadFile(file, buffer, sizeof buffer, &n, nullptr);
    CloseHandle(file);
    return std::string(buffer, n);
}

// The long form of a wide name, for comparing two spellings of one file.
std::wstring longName(const wchar_t* name) {
    std::vector<wchar_t> buffer(32768);
    const DWORD n = GetLongPathNameW(name, buffer.data(), DWORD(buffer.size()));
    return n > 0 && n < buffer.size() ? std::wstring(buffer.data(), n) : std::wstring();
}

bool sameNameNoCase(const std::string& a, const std::string& b) {
    return rString(a.c_str()).compareNoCase(b.c_str()) == 0;
}

// The width in pixels of an icon.
int iconWidth(void* icon) {
    ICONINFO info;
    if (icon == nullptr || !GetIconInfo(static_cast<HICON>(icon), &info))
        return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor != nullptr)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

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

TEST_F(WindowsSystemTest, WindowsSystemAndShellFoldersAreTheSystemsDirectories) {
    const rString windows = windowsDirectory();
    const rString system = systemDirectory();
    ASSERT_GT(windows.length(), 3u);
    EXPECT_EQ(windows.text()[windows.length() - 1], '\\');
    EXPECT_EQ(system.text()[system.length() - 1], '\\');
    EXPECT_TRUE(rSystemPlatform::isDirectory(windows.text())) << windows.text();
    EXPECT_TRUE(exists(std::string(system.text()) + "kernel32.dll")) << system.text();

    // The shell's folder of the Windows directory is the same directory, without the separator.
    rString folder("kept");
    ASSERT_TRUE(specialFolder(folder, CSIDL_WINDOWS));
    EXPECT_TRUE(sameNameNoCase(std::string(folder.text()) + "\\", windows.text())) << folder.text();
    ASSERT_TRUE(specialFolder(folder, CSIDL_APPDATA));
    EXPECT_NE(folder.text()[folder.length() - 1], '\\');
    EXPECT_TRUE(rSystemPlatform::isDirectory(folder.text())) << folder.text();
    ASSERT_TRUE(specialFolder(folder, CSIDL_SYSTEM));
    EXPECT_TRUE(sameNameNoCase(std::string(folder.text()) + "\\", system.text()));
    // No such folder: false, and the text is left as it was.
    folder = "kept";
    EXPECT_FALSE(specialFolder(folder, 0x70));
    EXPECT_STREQ(folder.text(), "kept");
}

TEST_F(WindowsSystemTest, ShellIconsComeInBothSizesForPresentAndMissingFiles) {
    write(path("note.txt"), "text");
    const int small = GetSystemMetrics(SM_CXSMICON);
    const int large = GetSystemMetrics(SM_CXICON);
    ASSERT_LT(small, large);
    for (const std::string& name : {path("note.txt"), path("\xCC\xEE\xE4 missing.txt")}) {
        for (bool smallIcon : {true, false}) {
            void* icon = shellIcon(name.c_str(), smallIcon);
            EXPECT_EQ(iconWidth(icon), smallIcon ? small : large) << name;
            DestroyIcon(static_cast<HICON>(icon));
        }
    }
    // Asking for a missing file's icon leaves no file behind.
    EXPECT_FALSE(exists(path("\xCC\xEE\xE4 missing.txt")));
    EXPECT_EQ(shellIcon(nullptr, false), nullptr);
}

TEST_F(WindowsSystemTest, VersionAndResourcesAreTheProgramsOwn) {
    rString version("x"), special("y");
    int32_t build = 7;
    versionInfo(version, special, build);
    EXPECT_STREQ(version.text(), "1.02"); // the first four characters, "1,02" read as 1.02
    EXPECT_STREQ(special.text(), "night build");
    EXPECT_EQ(build, 4321);

    // The executable's binary resource, byte for byte (the group name in any letter case).
    const std::string expected("bin\0ary\xFF\x34\x12", 10);
    ASSERT_TRUE(resourceToFile(7, "TESTDATA", path("seven").c_str()));
    EXPECT_EQ(read(path("seven")), expected);
    ASSERT_TRUE(resourceToFile(7, "testdata", path("seven").c_str()));
    EXPECT_EQ(read(path("seven")), expected);
    // One the executable lacks comes from the library's own; one neither has writes nothing.
    ASSERT_TRUE(resourceToFile(rVersionTextResource, "TEXT", path("text").c_str()));
    rResourceData library;
    ASSERT_TRUE(findResource(rVersionTextResource, "TEXT", library));
    EXPECT_EQ(read(path("text")),
              std::string(static_cast<const char*>(library.data), library.size).substr(0, 256));
    EXPECT_FALSE(resourceToFile(8, "TESTDATA", path("none").c_str()));
    EXPECT_FALSE(resourceToFile(7, "OTHER", path("none").c_str()));
    EXPECT_FALSE(exists(path("none")));
}

TEST_F(WindowsSystemTest, ModuleFileNameIsUsableWhereTheLongNameHasNo1251Form) {
    // This program's name as the system has it, and as a copy below a directory named with a
    // Greek and a Chinese letter, which code page 1251 lacks.
    std::vector<wchar_t> self(32768);
    ASSERT_GT(GetModuleFileNameW(nullptr, self.data(), DWORD(self.size())), 0u);
    const std::wstring wideDir = std::wstring(rWide::Text(dir.c_str()).get());
    rString selfName;
    rWide::toCp1251(self.data(), selfName);
    EXPECT_TRUE(sameNameNoCase(moduleFileName().text(), selfName.text()));
    const std::wstring foreign = wideDir + L"\\\x03A9\x4E2D dir";
    ASSERT_TRUE(CreateDirectoryW(foreign.c_str(), nullptr));
    const std::wstring copy = foreign + L"\\copy.exe";
    ASSERT_TRUE(CopyFileW(self.data(), copy.c_str(), TRUE));

    const std::string name = moduleNameOf(copy, wideDir + L"\\name.txt");
    ASSERT_FALSE(name.empty()) << "no usable name";
    ASSERT_EQ(name[0] == '<', false) << name;
    EXPECT_EQ(name.find('?'), std::string::npos) << name;
    // The name given opens the copy itself.
    const rWide::Text given(name.c_str());
    EXPECT_NE(GetFileAttributesW(given.get()), INVALID_FILE_ATTRIBUTES) << name;
    EXPECT_EQ(CompareStringOrdinal(longName(given.get()).c_str(), -1,
                                   longName(copy.c_str()).c_str(), -1, TRUE),
              CSTR_EQUAL)
        << name;
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(foreign.c_str());
}
