// tests/app/savewrite_test.cpp - writing a save's mod list: the exact bytes, the backup, the kept
// time, and refusals that leave the disk alone.
#include "savewritetest.h"

namespace {

TEST_F(SaveWriteTest, WriteReplacesOnlyCountAndEntriesAndKeepsTheTime) {
    // An unknown name is dropped; the entry with a control byte and all after it are the tail.
    const auto content = gamegen::Save::withNames(
        {"Mods\\Alpha", "Gone\\Mod", "Mods\\Beta", "Bad\x01", "Extra"}, tailBytes(70000), 11);
    const std::string former = makeSave(content);
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
    expectTime(1068387394, keptNanoseconds);
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
    expectTime(1068387394, keptNanoseconds);
}

TEST_F(SaveWriteTest, KeepsTimesThatADateValueCannotHold) {
    for (int64_t seconds : {int64_t(-300000000), int64_t(2240524800)}) {
        makeSave(gamegen::Save::withNames({"Extra"}, "t", 1), seconds, 5 * timeStep);
        SaveGame* save = scanOne();
        ASSERT_NE(save, nullptr);
        ASSERT_TRUE(save->addMod(mod("Mods\\Beta")));
        ASSERT_TRUE(list.saveAll());
        expectTime(seconds, 5 * timeStep); // never 1970-01-01
    }
}

// A count of 0 on a short file has no place for entries: SaveAll's test covers that refusal.
TEST_F(SaveWriteTest, RefusedWritesLeaveTheDiskAlone) {
    std::string former = makeSave(gamegen::Save::withNames({"Extra"}, "tail", 1));
    SaveGame* save = scanOne();
    ASSERT_NE(save, nullptr);
    ASSERT_TRUE(save->addMod(mod("Mods\\Beta")));

    // The game rewrote the file since: same size, same second, only the finest time step tells.
    std::string changed = former;
    changed[100] ^= 1;
    ASSERT_TRUE(gamegen::writeFile(at("save/P/S/game.sav"), changed));
    ASSERT_TRUE(
        gamegen::setModTime(at("save/P/S/game.sav"), 1068387394, keptNanoseconds + timeStep));
    EXPECT_FALSE(save->writeFile());
    EXPECT_EQ(save->writeFailure, SaveGame::WriteFailure::changedOnDisk);
    EXPECT_EQ(bytesOf("save/P/S/game.sav"), changed);
    // Same time, other size.
    ASSERT_TRUE(gamegen::writeFile(at("save/P/S/game.sav"), former + "x"));
    ASSERT_TRUE(gamegen::setModTime(at("save/P/S/game.sav"), 1068387394, keptNanoseconds));
    EXPECT_FALSE(save->writeFile());
    EXPECT_EQ(save->writeFailure, SaveGame::WriteFailure::changedOnDisk);
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
    EXPECT_EQ(save->writeFailure, SaveGame::WriteFailure::badName);
    EXPECT_EQ(bytesOf("save/P/S/game.sav"), former);
    EXPECT_EQ(filesInSaveDirectory(), std::set<std::string>{"game.sav"});
    save->installed.clear();
}

} // namespace
