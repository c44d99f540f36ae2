// tests/rlib/rwin32_win32_test.cpp - the Windows files through real Windows calls: wide names with
// Cyrillic letters in the directory scan and the stream, failures injected through the Windows
// call layer, devices refused by the stream, and the crash report of a faulting thread.
#include "rcrash.h"
#include "rdirscan.h"
#include "rsnapshot.h"
#include "rstream.h"
#include "rsync.h"
#include "rsystem.h"
#include "rthread.h"
#include "rwin32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

namespace {

// A fresh directory below the temporary directory, removed with its contents at the end.
class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        wide = std::wstring(temp) + L"rwin32-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(GetTickCount());
        ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
        rString narrow;
        ASSERT_TRUE(rWide::toCp1251(wide.c_str(), narrow));
        dir = narrow.text();
    }
    void TearDown() override {
        rWin32::setFaultHook(nullptr);
        removeTree(dir.c_str());
    }
    // Creates a file through the wide call, with contents.
    void createWide(const std::wstring& name, const std::string& contents) {
        HANDLE h = CreateFileW((wide + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(h, contents.data(), DWORD(contents.size()), &written, nullptr));
        CloseHandle(h);
    }
    std::string path(const std::string& name) const { return dir + "\\" + name; }

    std::wstring wide;
    std::string dir;
};

// The 1251 bytes of "Мод" and of "Сохранение", and the wide form of the second.
const std::string modName = "\xCC\xEE\xE4";
const std::string saveName = "\xD1\xEE\xF5\xF0\xE0\xED\xE5\xED\xE8\xE5";
const std::wstring saveWide = L"\u0421\u043E\u0445\u0440\u0430\u043D\u0435\u043D\u0438\u0435";

std::atomic<DWORD> failWith{0};
std::atomic<rWin32::Op> failOp{rWin32::Op::count_};
std::atomic<int> calls[size_t(rWin32::Op::count_)];

DWORD hook(rWin32::Op op, const wchar_t*) {
    ++calls[size_t(op)];
    return op == failOp.load() ? failWith.load() : 0;
}

void arm(rWin32::Op op, DWORD error) {
    for (auto& c : calls)
        c = 0;
    failOp = op;
    failWith = error;
    rWin32::setFaultHook(hook);
}

} // namespace

TEST_F(WindowsTest, CyrillicNamesAreListedAndOpenedInCodePage1251AndOthersLeftOut) {
    createWide(L"\u041C\u043E\u0434.txt", "cyrillic"); // Мод.txt
    createWide(L"\u4E2D.txt", "no 1251 form");         // a CJK letter
    createWide(L"plain.txt", "ascii");
    ASSERT_TRUE(CreateDirectoryW((wide + L"\\" + saveWide).c_str(), nullptr));

    std::set<std::string> files, directories;
    rDirScan scan((dir + "\\*").c_str(), rDirScan::modeFiles | rDirScan::modeDirectories);
    while (scan.next()) {
        std::string name = scan.entry().name.text();
        if (scan.entry().kind == rFileInfo::kindDirectory)
            directories.insert(name);
        else
            files.insert(name);
    }
    EXPECT_EQ(files, (std::set<std::string>{modName + ".txt", "plain.txt"}));
    // The plain scanner reports ".." (never ".") beside the directory found.
    EXPECT_EQ(directories, (std::set<std::string>{"..\\", saveName + "\\"}));

    // The stream opens the Cyrillic name by its 1251 form, and creates one so.
    rFile f;
    ASSERT_TRUE(f.open(path(modName + ".txt").c_str(), rFile::modeRead));
    char buf[8];
    ASSERT_TRUE(f.readExact(buf, 8));
    EXPECT_EQ(std::string(buf, 8), "cyrillic");
    ASSERT_TRUE(f.open(path(saveName + "\\game.sav").c_str(), rFile::modeRewrite));
    ASSERT_TRUE(f.write("save", 4));
    ASSERT_TRUE(f.close());
    EXPECT_NE(GetFileAttributesW((wide + L"\\" + saveWide + L"\\game.sav").c_str()),
              INVALID_FILE_ATTRIBUTES);

    // The walker finds the file below the Cyrillic directory.
    rFileWalker walker((dir + "\\game.sav").c_str(), rDirScan::modeFiles);
    ASSERT_TRUE(walker.next());
    EXPECT_EQ(std::string(walker.currentPath().text()), path(saveName + "\\game.sav"));
    EXPECT_FALSE(walker.next());
}

TEST_F(WindowsTest, FailuresInjectedThroughTheCallLayerReachTheStream) {
    rFile f;
    arm(rWin32::Op::open, ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(f.open(path("a").c_str(), rFile::modeRewrite));
    EXPECT_EQ(f.errorCode(), erFileOpen);
    EXPECT_EQ(calls[size_t(rWin32::Op::open)], 1);

    arm(rWin32::Op::write, ERROR_DISK_FULL);
    ASSERT_TRUE(f.open(path("a").c_str(), rFile::modeRewrite));
    ASSERT_TRUE(f.write("data", 4)); // buffered
    EXPECT_FALSE(f.flush());
    EXPECT_EQ(f.errorCode(), erFileWrite);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_FALSE(f.commit()); // the lost bytes stay a failure

    arm(rWin32::Op::sync, ERROR_IO_DEVICE);
    ASSERT_TRUE(f.open(path("b").c_str(), rFile::modeRewrite));
    ASSERT_TRUE(f.write("data", 4));
    EXPECT_FALSE(f.commit());
    EXPECT_EQ(calls[size_t(rWin32::Op::write)], 1); // the bytes went out before the sync
    rWin32::setFaultHook(nullptr);
    EXPECT_TRUE(f.commit());
    f.close();

    arm(rWin32::Op::findNext, ERROR_NOT_READY);
    rDirScan scan((dir + "\\*").c_str(), rDirScan::modeFiles);
    EXPECT_FALSE(scan.next()); // "." came first; the failed listing ends the scan

    arm(rWin32::Op::remove, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(removeFile(path("a").c_str()));
    rWin32::setFaultHook(nullptr);
    EXPECT_TRUE(removeFile(path("a").c_str()));
    EXPECT_FALSE(removeFile(path("a").c_str()));
}

TEST_F(WindowsTest, StreamRefusesDevicesAndDirectoriesAndKeepsExactTimes) {
    rFile f;
    for (const std::string& name : {std::string("NUL"), std::string("\\\\.\\NUL"), dir}) {
        for (uint32_t mode : {uint32_t(rFile::modeRead), uint32_t(rFile::modeRewrite)}) {
            EXPECT_FALSE(f.open(name.c_str(), mode)) << name;
            EXPECT_FALSE(f.isOpen());
            EXPECT_EQ(f.errorCode(), erFileOpen);
        }
    }
    // A read-only file opened for writing loses the attribute; times are kept to 100 ns.
    createWide(L"ro", "old");
    ASSERT_TRUE(SetFileAttributesW((wide + L"\\ro").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(f.open(path("ro").c_str(), rFile::modeReadWrite));
    rFileStatus st;
    ASSERT_TRUE(f.openedStatus(st));
    EXPECT_TRUE(st.regular);
    EXPECT_EQ(st.size, 3);
    EXPECT_EQ(st.permissions, 0666u);
    const rFileTime atime{1000, 500}, mtime{-86400LL * 365 * 60, 123456700};
    ASSERT_TRUE(f.write("x", 1));
    ASSERT_TRUE(f.setTimes(atime, mtime));
    ASSERT_TRUE(f.statFile(st));
    EXPECT_EQ(st.modificationTime.seconds, mtime.seconds);
    EXPECT_EQ(st.modificationTime.nanoseconds, 123456700);
    EXPECT_EQ(st.size, 3);
    EXPECT_FALSE(f.setTimes(atime, {-86400LL * 365 * 400, 0})); // before 1601
    // A time after 2036 reads as the first day of 1901, also where time_t has 32 bits and would
    // wrap 2139 into 2003.
    ASSERT_TRUE(f.setTimes(atime, {5363354690LL, 0}));
    EXPECT_EQ(f.getTime().number(), 19010101);
    ASSERT_TRUE(f.close());
}

namespace {
void faultingFunction(void*) {
    installCrashHandler("windows fault test");
    *static_cast<volatile int*>(nullptr) = 1;
}

void accessViolation(void*) {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 2;
}

// The name of this program's diagnostic file with extension ext, removed.
std::string freshDiagnosticFile(const char* ext) {
    char name[MAX_PATH * 2 + 8];
    EXPECT_TRUE(diagnosticFileName(moduleFileName().text(), ext, name, sizeof name));
    DeleteFileW(rWide::Text(name).get());
    return name;
}

std::string readAndRemove(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    DeleteFileW(rWide::Text(name.c_str()).get());
    return text;
}
} // namespace

TEST_F(WindowsTest, FaultingThreadWritesACrashReportAndEndsAlone) {
    const std::string name = freshDiagnosticFile("err");

    crashQuiet = true;
    rThread thread;
    ASSERT_NE(thread.start(accessViolation, nullptr), 0u);
    EXPECT_FALSE(thread.stop(true)); // it ended by itself after the report
    rThread context;
    ASSERT_NE(context.start(faultingFunction, nullptr), 0u);
    EXPECT_FALSE(context.stop(true));
    crashQuiet = false;

    const std::string report = readAndRemove(name);
    EXPECT_NE(report.find(">Exception C0000005 at 0x"), std::string::npos) << report;
    EXPECT_NE(report.find(">windows fault test | "), std::string::npos) << report;
    EXPECT_NE(report.find(">-------------------- Call stack -+-------------------------\r\n"),
              std::string::npos);
    // Frame lines name the test program's module with its base.
    const std::string module = moduleFileName().getFileName().text();
    EXPECT_NE(report.find(module + "\t0x"), std::string::npos) << report;
    EXPECT_STREQ(crashContext(), ""); // this thread's context is its own
}

namespace {
rEvent waiting;
std::atomic<bool> finish{false};
// Spins in this program's own code (system code keeps no frame-pointer chain to walk).
void waitForFinish(void*) {
    waiting.set();
    while (!finish.load()) {
    }
}
} // namespace

TEST_F(WindowsTest, SnapshotListsEveryThreadWithItsTimesAndFrames) {
    const std::string name = freshDiagnosticFile("snp");

    rThread other;
    const uint32_t otherId = other.start(waitForFinish, nullptr);
    ASSERT_NE(otherId, 0u);
    ASSERT_TRUE(waiting.wait(10000));
    writeThreadSnapshot("windows test");
    writeThreadSnapshot(nullptr);
    finish = true;
    EXPECT_FALSE(other.stop(true));

    const std::string text = readAndRemove(name);
    const std::string header = ">" + std::string(66, '#') + "\r\n>Threads stats ";
    ASSERT_EQ(text.find(header), 0u) << text;
    EXPECT_NE(text.find(">Reason: windows test\r\n>Threads count : "), std::string::npos);
    EXPECT_NE(text.find(">Reason: not passed\r\n"), std::string::npos);

    // Each snapshot has one block marked as the caller's, and a block of the spinning thread whose
    // stack lies in this program.
    char self[40], waiter[40];
    std::snprintf(self, sizeof self, ">Thread handle : 0x%08X (*)\r\n", unsigned(threadId()));
    std::snprintf(waiter, sizeof waiter, ">Thread handle : 0x%08X \r\n", unsigned(otherId));
    const size_t second = text.find(header, 1);
    ASSERT_NE(second, std::string::npos);
    for (const std::string& snapshot : {text.substr(0, second), text.substr(second)}) {
        EXPECT_NE(snapshot.find(self), std::string::npos) << snapshot;
        const size_t block = snapshot.find(waiter);
        ASSERT_NE(block, std::string::npos) << snapshot;
        const size_t stack = snapshot.find("Call stack ---------------------------\r\n", block);
        ASSERT_NE(stack, std::string::npos);
        EXPECT_NE(snapshot.find(">Kernel   time : ", block), std::string::npos);
        const std::string module = moduleFileName().getFileName().text();
        const size_t next = snapshot.find(">=====", stack);
        const std::string frames =
            snapshot.substr(stack, next == std::string::npos ? next : next - stack);
        EXPECT_NE(frames.find(module + "\t0x"), std::string::npos) << frames;
    }
}

// A directory link back to its parent is entered once: the walk knows directories by identity.
TEST_F(WindowsTest, WalkEntersADirectoryReachedThroughALinkLoopOnce) {
    ASSERT_TRUE(CreateDirectoryW((wide + L"\\a").c_str(), nullptr));
    createWide(L"a\\game.sav", "s");
    // Wine may answer success without making a link that can be followed.
    const DWORD made = CreateSymbolicLinkW((wide + L"\\a\\loop").c_str(), (wide + L"\\a").c_str(),
                                           SYMBOLIC_LINK_FLAG_DIRECTORY | 2 /* unelevated */)
                           ? GetFileAttributesW((wide + L"\\a\\loop").c_str())
                           : INVALID_FILE_ATTRIBUTES;
    if (made == INVALID_FILE_ATTRIBUTES || (made & FILE_ATTRIBUTE_DIRECTORY) == 0)
        GTEST_SKIP() << "no directory link can be made and followed here";
    rFileWalker walker((dir + "\\game.sav").c_str(), rDirScan::modeFiles);
    std::set<std::string> found;
    while (walker.next())
        found.insert(walker.currentPath().text());
    EXPECT_EQ(found, (std::set<std::string>{path("a\\game.sav")}));
    EXPECT_EQ(walker.revisits(), 1u);
}
