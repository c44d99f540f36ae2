// tests/app/savewrite_test.cpp - writing a save's mod list: the exact bytes, the backup, the kept
// time and permissions, refusals that leave the disk alone, and every system call failing in turn.
#include "../childrun.h"
#include "gametest.h"
#include "rposix.h"
#include "savelist.h"

#include <cerrno>
#include <filesystem>
#include <set>
#include <sys/stat.h>

namespace {

class SaveWriteTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        for (const char* mod : {"Mods/Alpha", "Mods/Beta", "Extra"})
            ASSERT_TRUE(gamegen::makeMod(dir, mod, std::string("about ") + mod));
    }

    // One save in save/P/S with a known time; returns its bytes.
    std::string makeSave(const gamegen::Save& content, int64_t seconds = 1068387394,
                         long nanoseconds = 987654321) {
        EXPECT_TRUE(gamegen::writeSave(dir, "save/P/S", content, seconds, nanoseconds));
        return gamegen::saveBytes(content);
    }
    SaveGame* scanOne() {
        list.setProgramDirectory(rString(dir.c_str()));
        EXPECT_TRUE(list.scan());
        EXPECT_EQ(list.getCount(), 1u);
        return list.getCount() == 1 ? list.save(0) : nullptr;
    }
    ModInfo* mod(const char* name) { return list.mods.findByName(name); }
    void expectTime(int64_t seconds, long nanoseconds) {
        int64_t s = 0;
        long ns = 0;
        ASSERT_TRUE(gamegen::getModTime(at("save/P/S/game.sav"), &s, &ns));
        EXPECT_EQ(s, seconds);
        EXPECT_EQ(ns, nanoseconds);
    }
    std::set<std::string> filesInSaveDirectory() {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(at("save/P/S")))
            names.insert(entry.path().filename().string());
        return names;
    }

    SaveList list;
    const std::set<std::string> both{"game.bak", "game.sav"};
};

std::string tailBytes(size_t n) {
    std::string tail;
    for (size_t i = 0; i < n; ++i)
        tail += char(i * 7 + 3);
    return tail;
}

TEST_F(SaveWriteTest, WriteReplacesOnlyCountAndEntriesAndKeepsTimeAndPermissions) {
    // An unknown name is dropped; the entry with a control byte and all after it are the tail.
    const auto content = gamegen::Save::withNames(
        {"Mods\\Alpha", "Gone\\Mod", "Mods\\Beta", "Bad\x01", "Extra"}, tailBytes(70000), 11);
    const std::string former = makeSave(content);
    ::chmod(at("save/P/S/game.sav").c_str(), 0640);
    SaveGame* save = scanOne();
    ASSERT_NE(save, nullptr);
    const size_t tail = gamegen::entriesOffset + 11 + 9 + 10;
    ASSERT_EQ(save->tailOffset, int32_t(tail));

    ASSERT_TRUE(save->addMod(mod("Extra")));
    ASSERT_TRUE(save->swapMods(mod("Mods\\Alpha"), mod("Extra")));
    ASSERT_TRUE(save->writeFile());
    EXPECT_EQ(save->modified, 0u);
    EXPECT_EQ(bytesOf("save/P/S/game.sav"),
              rewritten(former, {"Extra", "Mods\\Beta", "Mods\\Alpha"}, tail));
    EXPECT_EQ(bytesOf("save/P/S/game.bak"), former);
    expectTime(1068387394, 987654321);
    struct stat st;
    ASSERT_EQ(::stat(at("save/P/S/game.sav").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(filesInSaveDirectory(), both);

    // An empty list: count 0, the tail right at offset 256008.
    const std::string second = bytesOf("save/P/S/game.sav");
    for (const char* name : {"Extra", "Mods\\Beta", "Mods\\Alpha"})
        ASSERT_TRUE(save->removeMod(mod(name)));
    ASSERT_TRUE(save->writeFile());
    // The second write of the run builds on the first one's layout, and backs it up.
    const std::string expected = rewritten(second, {}, gamegen::entriesOffset + 6 + 10 + 11);
    EXPECT_EQ(bytesOf("save/P/S/game.sav"), expected);
    EXPECT_EQ(expected.substr(gamegen::entriesOffset), former.substr(tail));
    EXPECT_EQ(bytesOf("save/P/S/game.bak"), second);
    expectTime(1068387394, 987654321);
}

TEST_F(SaveWriteTest, KeepsTimesThatADateValueCannotHold) {
    for (int64_t seconds : {int64_t(-300000000), int64_t(2240524800)}) {
        makeSave(gamegen::Save::withNames({"Extra"}, "t", 1), seconds, 5);
        SaveGame* save = scanOne();
        ASSERT_NE(save, nullptr);
        ASSERT_TRUE(save->addMod(mod("Mods\\Beta")));
        ASSERT_TRUE(list.saveAll());
        expectTime(seconds, 5); // never 1970-01-01
    }
}

// A count of 0 on a short file has no place for entries: SaveAll's test covers that refusal.
TEST_F(SaveWriteTest, RefusedWritesLeaveTheDiskAlone) {
    std::string former = makeSave(gamegen::Save::withNames({"Extra"}, "tail", 1));
    SaveGame* save = scanOne();
    ASSERT_NE(save, nullptr);
    ASSERT_TRUE(save->addMod(mod("Mods\\Beta")));

    // The game rewrote the file since: same size, same second, only the nanoseconds tell.
    std::string changed = former;
    changed[100] ^= 1;
    ASSERT_TRUE(gamegen::writeFile(at("save/P/S/game.sav"), changed));
    ASSERT_TRUE(gamegen::setModTime(at("save/P/S/game.sav"), 1068387394, 987654322));
    EXPECT_FALSE(save->writeFile());
    EXPECT_EQ(bytesOf("save/P/S/game.sav"), changed);
    // Same time, other size.
    ASSERT_TRUE(gamegen::writeFile(at("save/P/S/game.sav"), former + "x"));
    ASSERT_TRUE(gamegen::setModTime(at("save/P/S/game.sav"), 1068387394, 987654321));
    EXPECT_FALSE(save->writeFile());
    EXPECT_EQ(bytesOf("save/P/S/game.sav"), former + "x");
    EXPECT_EQ(save->modified, 1u);
    EXPECT_EQ(filesInSaveDirectory(), std::set<std::string>{"game.sav"});

    // A name over 127 bytes that got into the list anyway is never written.
    former = makeSave(gamegen::Save::withNames({"Extra"}, "t", 1));
    save = scanOne();
    ASSERT_NE(save, nullptr);
    ModInfo huge(rString(std::string(128, 'h').c_str()), "x");
    save->installed.add(&huge);
    save->modified = 1;
    EXPECT_FALSE(list.saveAll());
    EXPECT_EQ(bytesOf("save/P/S/game.sav"), former);
    EXPECT_EQ(filesInSaveDirectory(), std::set<std::string>{"game.sav"});
    save->installed.clear();
}

// game.bak and game.sav as two links to one file: the backup is already the former file, and
// the link made for the move must not stay behind.
TEST_F(SaveWriteTest, ABackupLinkedToTheSaveLeavesNoScratchName) {
    const auto content = gamegen::Save::withNames({"Extra"}, tailBytes(300), 1);
    const std::string former = makeSave(content);
    ASSERT_EQ(::link(at("save/P/S/game.sav").c_str(), at("save/P/S/game.bak").c_str()), 0);
    SaveGame* save = scanOne();
    ASSERT_NE(save, nullptr);
    ASSERT_TRUE(save->addMod(mod("Mods\\Beta")));
    const int descriptors = openDescriptorCount();
    ASSERT_TRUE(save->writeFile());
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_EQ(filesInSaveDirectory(), both);
    EXPECT_EQ(bytesOf("save/P/S/game.sav"),
              rewritten(former, {"Extra", "Mods\\Beta"}, gamegen::entriesOffset + 6));
    EXPECT_EQ(bytesOf("save/P/S/game.bak"), former);
    expectTime(1068387394, 987654321);
}

// Fault injection: the Nth call of one kind fails.
rPosix::Op faultOp;
int faultAt = 0;
int faultCalls = 0;
bool noLinks = false;

int failNth(rPosix::Op op, const char*) {
    if (noLinks && op == rPosix::Op::link)
        return EPERM;
    if (op == faultOp && ++faultCalls == faultAt)
        return EIO;
    return 0;
}

TEST_F(SaveWriteTest, EveryFailingSystemCallLeavesACompleteSaveAndTellsTheTruth) {
    const auto content =
        gamegen::Save::withNames({"Mods\\Alpha", "Mods\\Beta"}, tailBytes(9000), 3);
    const std::string former = gamegen::saveBytes(content);
    const std::string oldBackup = "an older backup";
    const std::string written =
        rewritten(former, {"Mods\\Beta", "Extra"}, gamegen::entriesOffset + 11 + 10);
    int failures = 0;
    for (bool linkless : {false, true}) {
        for (int kind = 0; kind < int(rPosix::Op::count_); ++kind) {
            for (int n = 1;; ++n) {
                SCOPED_TRACE(std::string(rPosix::opName(rPosix::Op(kind))) + " call " +
                             std::to_string(n) + (linkless ? " without links" : ""));
                gamegen::removeTree(at("save"));
                makeSave(content);
                ASSERT_TRUE(gamegen::writeFile(at("save/P/S/game.bak"), oldBackup));
                SaveGame* save = scanOne();
                ASSERT_NE(save, nullptr);
                ASSERT_TRUE(save->removeMod(mod("Mods\\Alpha")));
                ASSERT_TRUE(save->addMod(mod("Extra")));

                faultOp = rPosix::Op(kind);
                faultAt = n;
                faultCalls = 0;
                noLinks = linkless;
                rPosix::setFaultHook(failNth);
                const int descriptors = openDescriptorCount();
                const bool result = list.saveAll();
                rPosix::setFaultHook(nullptr);
                EXPECT_EQ(openDescriptorCount(), descriptors); // none left open, even on failure
                const bool injected = faultCalls >= n;

                const std::string now = bytesOf("save/P/S/game.sav");
                const std::string backup = bytesOf("save/P/S/game.bak");
                if (now == written) {
                    EXPECT_EQ(save->modified, 0u);
                    EXPECT_EQ(backup, former);
                } else {
                    // Where game.sav still is the former file, the old backup may be gone
                    // only in favour of a copy of it (or, without links, after the former file
                    // was moved back from it).
                    ASSERT_EQ(now, former);
                    EXPECT_FALSE(result);
                    EXPECT_EQ(save->modified, 1u);
                    EXPECT_TRUE(backup == oldBackup || backup == former ||
                                (linkless && backup == "<missing>"));
                }
                if (result) {
                    EXPECT_EQ(now, written);
                }
                expectTime(1068387394, 987654321);
                if (faultOp != rPosix::Op::unlink) { // no scratch file left behind
                    for (const auto& name : filesInSaveDirectory())
                        EXPECT_TRUE(both.count(name)) << name;
                }
                if (!injected) {
                    EXPECT_TRUE(result);
                    break;
                }
                failures += result ? 0 : 1;
                // After a failure a retry with the same list succeeds and still keeps the truth.
                // (The sync failure's undo leaves game.sav and game.bak links to one file.)
                if (!result && now == former) {
                    ASSERT_TRUE(list.saveAll());
                    EXPECT_EQ(bytesOf("save/P/S/game.sav"), written);
                    EXPECT_EQ(bytesOf("save/P/S/game.bak"), former);
                    EXPECT_EQ(filesInSaveDirectory(), both);
                }
            }
        }
    }
    EXPECT_GT(failures, 20); // the sequence really ran into the injected failures
}

} // namespace
