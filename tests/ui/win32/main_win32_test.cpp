// tests/ui/win32/main_win32_test.cpp - the Windows program started as its own process in a game
// directory: it shows the dialog, owns its scratch directory while it runs, and ends normally
// (scratch directory removed, no save changed) on the close box and on the end of the session.
#include "../../app/win32/wintestutil.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

namespace fs = std::filesystem;
using wintest::bytesOf;
using wintest::writeBytes;

namespace {

// The program, built beside the test programs' directory.
fs::path programPath() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return fs::path(self).parent_path().parent_path() / L"ui" / L"tarvex.exe";
}

fs::path scratchOf(DWORD process) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[16];
    std::swprintf(name, 16, L"%08X", unsigned(process));
    return fs::path(temp) / name;
}

// The dialog window of the process, once it shows (null after the time-out).
HWND dialogOf(DWORD process, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50, Sleep(50)) {
        HWND window = nullptr;
        while ((window = FindWindowExW(nullptr, window, nullptr, L"Tarvex v1.1")) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == process && IsWindowVisible(window))
                return window;
        }
    }
    return nullptr;
}

class MainWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        root = wintest::freshDirectory(L"tarvex-main-");
        writeBytes(root / L"Mods" / L"Alpha" / L"game.db", "");
        writeBytes(root / L"Mods" / L"Alpha" / L"description.txt", "Alpha mod");
        save = std::string("HEAD") + std::string(entriesOffset - 4, '\0') + "tail";
        writeBytes(root / L"save" / L"P" / L"S" / L"game.sav", save);
        ASSERT_TRUE(fs::exists(programPath())) << programPath().string();
        fs::copy_file(programPath(), root / L"tarvex.exe");
    }
    void TearDown() override {
        if (process.hProcess != nullptr) {
            TerminateProcess(process.hProcess, 1);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        wintest::removeDirectory(root);
    }
    void start() {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring command = L"\"" + (root / L"tarvex.exe").wstring() + L"\"";
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   root.c_str(), &startup, &process));
        dialog = dialogOf(process.dwProcessId, 20000);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(fs::is_directory(scratchOf(process.dwProcessId)));
    }
    void expectCleanEnd() {
        WaitForSingleObject(process.hProcess, 20000);
        DWORD code = STILL_ACTIVE; // what is left after the time-out
        GetExitCodeProcess(process.hProcess, &code);
        EXPECT_EQ(code, 0u);
        EXPECT_FALSE(fs::exists(scratchOf(process.dwProcessId)));
        EXPECT_EQ(bytesOf(root / L"save" / L"P" / L"S" / L"game.sav"), save);
        EXPECT_FALSE(fs::exists(root / L"save" / L"P" / L"S" / L"game.bak"));
    }

    static constexpr size_t entriesOffset = 256008;
    fs::path root;
    std::string save;
    PROCESS_INFORMATION process{};
    HWND dialog = nullptr;
};

TEST_F(MainWin32Test, TheCloseBoxEndsTheProgramNormally) {
    start();
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    expectCleanEnd();
}

TEST_F(MainWin32Test, TheEndOfTheSessionEndsTheProgramNormally) {
    start();
    // Changes not written are dropped: install the mod first.
    HWND available = GetDlgItem(dialog, 130);
    SendMessageW(available, LB_SETCURSEL, 0, 0);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(130, LBN_DBLCLK), LPARAM(available));
    HWND watch = nullptr;
    for (int i = 0; i < 100 && watch == nullptr; ++i, Sleep(50))
        watch = FindWindowW(L"TarvexEndRequests", nullptr);
    ASSERT_NE(watch, nullptr);
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(watch, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer),
              0);
    EXPECT_EQ(answer, TRUE); // the session may end
    SendMessageTimeoutW(watch, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    expectCleanEnd();
}

} // namespace
