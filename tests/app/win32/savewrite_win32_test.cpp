// tests/app/win32/savewrite_win32_test.cpp - writing a save where only Windows can test it: the
// kept attributes, a read-only backup, wide (Cyrillic) names, a file held open by the game, and
// every call of the Windows call layer failing in turn. The exact bytes, the kept time and the
// refusals of a file changed on disk are savewrite_test.cpp's, which runs here too.
#include "rwin32.h"
#include "savegame.h"
#include "wintestutil.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cerrno>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using wintest::bytesOf;
using wintest::narrow;
using wintest::writeBytes;

namespace {

constexpr size_t entriesOffset = SaveGame::entriesOffset;

// The file's modification time in 100-nanosecond steps since 1601.
uint64_t modTime(const fs::path& file) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

bool setModTime(const fs::path& file, uint64_t time) {
    HANDLE h = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FILETIME ft{DWORD(time & 0xFFFFFFFFu), DWORD(time >> 32)};
    const bool ok = SetFileTime(h, nullptr, nullptr, &ft) != FALSE;
    CloseHandle(h);
    return ok;
}

// A save: 4 head bytes, the count, a block of known bytes, the entries, then the tail. Every save
// here has that head and block, so a save written with new names is this with its former tail.
std::string saveBytes(const std::vector<std::string>& names, const std::string& tail) {
    std::string out = "HEAD";
    const uint32_t count = uint32_t(names.size());
    for (int k = 0; k < 4; ++k)
        out += char((count >> (8 * k)) & 0xFF);
    for (size_t i = 8; i < entriesOffset; ++i)
        out += char(i * 13 + 5);
    for (const auto& name : names)
        out += char(name.size() * 2) + name;
    return out + tail;
}

std::string tailBytes(size_t n) {
    std::string tail;
    for (size_t i = 0; i < n; ++i)
        tail += char(i * 7 + 3);
    return tail;
}

// 2003-11-09 14:16:34.9876543 UTC: a time with a fraction the write must keep.
constexpr uint64_t saveTime = 127128609949876543ULL;

class SaveWriteWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        root = wintest::freshDirectory(L"tarvex-write-");
        for (const char* name : {"Mods\\Alpha", "Mods\\Beta", "Extra"})
            mods.add(new ModInfo(rString(name), rString("about")));
        mods.reindex();
    }
    void TearDown() override {
        rWin32::setFaultHook(nullptr);
        wintest::removeDirectory(root);
    }

    // game.sav in directory (below the test's root), with the known time.
    void makeSave(const std::string& bytes, const std::wstring& directory = L"save\\P\\S") {
        saveDir = root / directory;
        writeBytes(saveDir / L"game.sav", bytes);
        ASSERT_TRUE(setModTime(saveDir / L"game.sav", saveTime));
    }
    bool read() { return save.readFile(narrow((saveDir / L"game.sav").wstring()).text(), mods); }
    ModInfo* mod(const char* name) { return mods.findByName(name); }
    std::string sav() const { return bytesOf(saveDir / L"game.sav"); }
    std::string bak() const { return bytesOf(saveDir / L"game.bak"); }
    std::set<std::wstring> files() const {
        std::set<std::wstring> names;
        for (const auto& entry : fs::directory_iterator(saveDir))
            names.insert(entry.path().filename().wstring());
        return names;
    }

    fs::path root, saveDir;
    ModList mods;
    SaveGame save;
    const std::set<std::wstring> both{L"game.bak", L"game.sav"};
};

// The save's attributes stay, and the second write replaces the read-only backup the first left.
TEST_F(SaveWriteWin32Test, WriteKeepsTheAttributesAndReplacesAReadOnlyBackup) {
    const std::string tail = tailBytes(70000);
    const std::string former = saveBytes({"Mods\\Alpha", "Mods\\Beta"}, tail);
    makeSave(former);
    const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    SetFileAttributesW((saveDir / L"game.sav").c_str(), kept);
    ASSERT_TRUE(read());
    ASSERT_TRUE(save.addMod(mod("Extra")));
    ASSERT_TRUE(save.writeFile());
    EXPECT_EQ(sav(), saveBytes({"Mods\\Alpha", "Mods\\Beta", "Extra"}, tail));
    EXPECT_EQ(bak(), former);
    EXPECT_EQ(GetFileAttributesW((saveDir / L"game.sav").c_str()) & kept, kept);

    const std::string second = sav();
    ASSERT_TRUE(save.removeMod(mod("Mods\\Alpha")));
    ASSERT_TRUE(save.writeFile());
    EXPECT_EQ(sav(), saveBytes({"Mods\\Beta", "Extra"}, tail));
    EXPECT_EQ(bak(), second);
    EXPECT_EQ(GetFileAttributesW((saveDir / L"game.sav").c_str()) & kept, kept);
    EXPECT_EQ(modTime(saveDir / L"game.sav"), saveTime);
    EXPECT_EQ(files(), both);
}

TEST_F(SaveWriteWin32Test, CyrillicDirectoriesAndABackupInOtherLettersAreWrittenInPlace) {
    const std::string former = saveBytes({"Extra"}, "tail");
    makeSave(former, L"save\\\x041f\x0440\x043e\x0444\x0438\x043b\x044c\\\x0451");
    writeBytes(saveDir / L"GAME.BAK", "an older backup");
    ASSERT_TRUE(read());
    ASSERT_TRUE(save.addMod(mod("Mods\\Beta")));
    ASSERT_TRUE(save.writeFile());
    EXPECT_EQ(sav(), saveBytes({"Extra", "Mods\\Beta"}, "tail"));
    // One backup, under the spelling it had.
    EXPECT_EQ((files()), (std::set<std::wstring>{L"GAME.BAK", L"game.sav"}));
    EXPECT_EQ(bytesOf(saveDir / L"GAME.BAK"), former);
}

// The game holds the file open without sharing: a share violation, nothing touched; let go, it is
// written.
TEST_F(SaveWriteWin32Test, ASaveTheGameHoldsOpenIsLeftAloneUntilLetGo) {
    const std::string former = saveBytes({"Extra"}, "tail");
    makeSave(former);
    ASSERT_TRUE(read());
    ASSERT_TRUE(save.addMod(mod("Mods\\Beta")));
    HANDLE held = CreateFileW((saveDir / L"game.sav").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(save.writeFile());
    CloseHandle(held);
    EXPECT_EQ(save.writeFailure, SaveGame::WriteFailure::system);
    EXPECT_EQ(save.writeErrno, EBUSY);
    EXPECT_EQ(save.modified, 1u);
    EXPECT_EQ(sav(), former);
    EXPECT_EQ(files(), std::set<std::wstring>{L"game.sav"});
    EXPECT_TRUE(save.writeFile());
    EXPECT_EQ(bak(), former);
}

// Fault injection: the Nth call of one kind fails.
rWin32::Op faultCall;
int faultAt = 0;
int faultCalls = 0;
bool noLinks = false;

DWORD failNth(rWin32::Op call, const wchar_t*) {
    if (noLinks && call == rWin32::Op::link)
        return ERROR_NOT_SUPPORTED;
    if (call == faultCall && ++faultCalls == faultAt)
        return ERROR_WRITE_FAULT;
    return 0;
}

TEST_F(SaveWriteWin32Test, EveryFailingSystemCallLeavesACompleteSaveAndTellsTheTruth) {
    const std::string former = saveBytes({"Mods\\Alpha", "Mods\\Beta"}, tailBytes(9000));
    const std::string oldBackup = "an older backup";
    const std::string written = saveBytes({"Mods\\Beta", "Extra"}, tailBytes(9000));
    int failures = 0;
    std::set<std::string> injectedKinds;
    // A read-only save must stay read-only whatever step fails.
    const DWORD readOnly = FILE_ATTRIBUTE_READONLY;
    const std::pair<DWORD, bool> runs[] = {
        {0, false}, {0, true}, {readOnly, false}, {readOnly, true}};
    for (const auto& [kept, linkless] : runs) {
        for (int kind = 0; kind < int(rWin32::Op::count_); ++kind) {
            for (int n = 1;; ++n) {
                SCOPED_TRACE(std::string(rWin32::opName(rWin32::Op(kind))) + " call " +
                             std::to_string(n) + (linkless ? " without links" : "") +
                             (kept != 0 ? " read-only" : ""));
                std::error_code ignored;
                SetFileAttributesW((saveDir / L"game.sav").c_str(), FILE_ATTRIBUTE_NORMAL);
                fs::remove_all(root / L"save", ignored);
                makeSave(former);
                if (kept != 0)
                    SetFileAttributesW((saveDir / L"game.sav").c_str(), kept);
                writeBytes(saveDir / L"game.bak", oldBackup);
                ASSERT_TRUE(read());
                ASSERT_TRUE(save.removeMod(mod("Mods\\Alpha")));
                ASSERT_TRUE(save.addMod(mod("Extra")));

                faultCall = rWin32::Op(kind);
                faultAt = n;
                faultCalls = 0;
                noLinks = linkless;
                rWin32::setFaultHook(failNth);
                const bool result = save.writeFile();
                rWin32::setFaultHook(nullptr);
                const bool injected = faultCalls >= n;

                const std::string now = sav();
                const std::string backup = bak();
                if (now == written) {
                    EXPECT_EQ(save.modified, 0u);
                    EXPECT_EQ(backup, former);
                } else {
                    ASSERT_EQ(now, former);
                    EXPECT_FALSE(result);
                    EXPECT_EQ(save.modified, 1u);
                    EXPECT_NE(save.writeFailure, SaveGame::WriteFailure::none);
                    // Where game.sav still is the former file, the old backup may be gone
                    // only in favour of a copy of it (or, without links, after the former file
                    // was moved back from it).
                    EXPECT_TRUE(backup == oldBackup || backup == former ||
                                (linkless && backup == "<missing>"));
                }
                if (result) {
                    EXPECT_EQ(now, written);
                }
                EXPECT_EQ(modTime(saveDir / L"game.sav"), saveTime);
                // Putting the attribute back after a complete write is the one step allowed
                // to fail quietly: the save itself is written by then.
                if (!result || !injected) {
                    EXPECT_EQ(GetFileAttributesW((saveDir / L"game.sav").c_str()) & readOnly, kept);
                }
                if (faultCall != rWin32::Op::remove) { // no scratch file left behind
                    for (const auto& name : files())
                        EXPECT_TRUE(both.count(name)) << fs::path(name).string();
                }
                if (!injected) {
                    EXPECT_TRUE(result);
                    break;
                }
                failures += result ? 0 : 1;
                injectedKinds.insert(rWin32::opName(faultCall));
                // After a failure a retry with the same list succeeds.
                if (!result && now == former) {
                    ASSERT_TRUE(save.writeFile());
                    EXPECT_EQ(sav(), written);
                    EXPECT_EQ(bak(), former);
                    EXPECT_EQ(files(), both);
                }
            }
        }
    }
    EXPECT_GT(failures, 20); // the sequence really ran into the injected failures
    // Every kind of call the writer makes on its way was made to fail, the hard link among
    // them (it removes files only to clean up after a failure).
    EXPECT_EQ(
        injectedKinds,
        (std::set<std::string>{"open", "read", "write", "seek", "close", "stat", "sync", "rename",
                               "setAttributes", "setTime", "findFirst", "getAttributes", "link"}));
}

} // namespace
