// tests/app/savegame_test.cpp - reading one save's mod list, its label, and editing the list.
#include "gametest.h"
#include "savegame.h"

namespace {

class SaveGameTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        for (const char* mod : {"Mods/Alpha", "Mods/Beta", "Extra", "Mods/Cyr"})
            ASSERT_TRUE(gamegen::makeMod(dir, mod, std::string("about ") + mod));
        mods.scan(rString(dir.c_str()));
        ASSERT_EQ(mods.getCount(), 4u);
        alpha = mods.findByName("Mods\\Alpha");
        beta = mods.findByName("Mods\\Beta");
        extra = mods.findByName("Extra");
        cyr = mods.findByName("Mods\\Cyr");
    }

    // Writes save/<relative>/game.sav and reads it.
    bool read(SaveGame& save, const gamegen::Save& content, const std::string& relative = "P/S",
              int64_t seconds = 1068387394, long nanoseconds = 0) {
        EXPECT_TRUE(gamegen::writeSave(dir, "save/" + relative, content, seconds, nanoseconds));
        return save.readFile(at("save/" + relative + "/game.sav").c_str(), mods);
    }
    static std::vector<ModInfo*> installed(const SaveGame& save) {
        const auto* items = save.installed.getItems();
        return std::vector<ModInfo*>(items, items + save.installed.getCount());
    }

    ModList mods;
    ModInfo* alpha = nullptr;
    ModInfo* beta = nullptr;
    ModInfo* extra = nullptr;
    ModInfo* cyr = nullptr;
};

TEST_F(SaveGameTest, ResolvesEntriesKeepingDuplicatesAndDroppingUnknownNames) {
    SaveGame save;
    const auto content = gamegen::Save::withNames(
        {"Mods\\Alpha", "MODS\\beta", "Unknown\\Mod", "Mods\\Alpha"}, "TAIL", 9);
    ASSERT_TRUE(read(save, content, "P/S", 1068387394, 123456789));
    EXPECT_EQ(installed(save), (std::vector<ModInfo*>{alpha, beta, alpha}));
    EXPECT_EQ(save.tailOffset, int32_t(gamegen::entriesOffset + 11 + 10 + 12 + 11));
    EXPECT_EQ(save.modified, 0u);
    EXPECT_TRUE(save.stamp.known);
    EXPECT_EQ(save.stamp.size, int64_t(gamegen::saveBytes(content).size()));
    // The stamp is the time the file system keeps: to the nanosecond on Linux, to 100 ns on
    // Windows.
    EXPECT_EQ(save.stamp.seconds, 1068387394);
    EXPECT_EQ(save.stamp.nanoseconds, gamegen::pathSeparator() == '\\' ? 123456700 : 123456789);
}

TEST_F(SaveGameTest, ByteBelowBlankEndsTheListAtThatEntry) {
    SaveGame save;
    ASSERT_TRUE(
        read(save, gamegen::Save::withNames({"Mods\\Cyr", "Bad\x1FName", "Mods\\Beta"}, "T", 2)));
    EXPECT_EQ(installed(save), std::vector<ModInfo*>{cyr});
    EXPECT_EQ(save.tailOffset, int32_t(gamegen::entriesOffset + 1 + 8));

    // A count of 0 reads nothing, whatever follows.
    SaveGame none;
    auto content = gamegen::Save::withNames({"Mods\\Alpha"}, "", 3);
    content.count = 0;
    ASSERT_TRUE(read(none, content, "P/None"));
    EXPECT_EQ(none.installed.getCount(), 0u);
    EXPECT_EQ(none.tailOffset, int32_t(gamegen::entriesOffset));
}

TEST_F(SaveGameTest, LengthByteLowestBitCarriesNothing) {
    auto content = gamegen::Save::withNames({"Extra", "Mods\\Beta"}, "xyz", 4);
    content.entries[0].lengthByte = 0x0B; // 5 bytes
    SaveGame save;
    ASSERT_TRUE(read(save, content));
    EXPECT_EQ(installed(save), (std::vector<ModInfo*>{extra, beta}));
    EXPECT_EQ(save.tailOffset, int32_t(gamegen::entriesOffset + 6 + 10));
}

TEST_F(SaveGameTest, RejectsFilesThatEndTooEarly) {
    SaveGame save;
    EXPECT_FALSE(save.readFile(at("save/none/game.sav").c_str(), mods));
    for (uint32_t size : {0u, 5u, 7u}) {
        ASSERT_TRUE(gamegen::writeFile(at("save/tiny/game.sav"), std::string(size, '\0')));
        EXPECT_FALSE(save.readFile(at("save/tiny/game.sav").c_str(), mods)) << size;
    }
    // A count beyond the entries, and a cut block, are rejected within the scan of the test game.
    auto cutName = gamegen::Save::withNames({"Mods\\Alpha"}, "", 5);
    cutName.entries[0].lengthByte = 40; // 20 bytes announced, 10 present
    EXPECT_FALSE(read(save, cutName));

    // A count of 0 on a file of 8 bytes is a usable save with an empty list.
    gamegen::Save empty;
    empty.blockSize = 0;
    EXPECT_TRUE(read(save, empty));
    EXPECT_EQ(save.installed.getCount(), 0u);
}

TEST_F(SaveGameTest, LabelShowsTimeGroupAndSlot) {
    SaveGame save;
    ASSERT_TRUE(read(save, gamegen::Save::withNames({}, "", 1), "Profile1/Slot3", 1068387394));
    EXPECT_STREQ(save.group.text(), "Profile1");
    EXPECT_STREQ(save.label().text(), "[2003/11/09 14:16:34 Profile1] Slot3");

    SaveGame other; // same slot name, another group; a dot in the group is cut, not in the slot
    ASSERT_TRUE(read(other, gamegen::Save::withNames({}, "", 1), "Ivan.old/Slot3.b", 1614556799));
    EXPECT_STREQ(other.label().text(), "[2021/02/28 23:59:59 Ivan] Slot3.b");

    // A time a date value cannot hold (after 2036) shows as 1901-01-01; the stamp keeps it.
    SaveGame late;
    ASSERT_TRUE(read(late, gamegen::Save::withNames({}, "", 1), "P/Late", 2240524800));
    EXPECT_STREQ(late.label().text(), "[1901/01/01 00:00:00 P] Late");
    EXPECT_EQ(late.stamp.seconds, 2240524800);
    // Also one that a 32-bit time_t would wrap into the range (2139 to 2003).
    SaveGame later;
    ASSERT_TRUE(read(later, gamegen::Save::withNames({}, "", 1), "P/Later", 5363354690));
    EXPECT_STREQ(later.label().text(), "[1901/01/01 00:00:00 P] Later");
}

TEST_F(SaveGameTest, EditingActsOnFirstOccurrenceAndMarksModified) {
    SaveGame save;
    ASSERT_TRUE(
        read(save, gamegen::Save::withNames({"Mods\\Alpha", "Mods\\Beta", "Mods\\Alpha"}, "", 1)));
    EXPECT_EQ(save.indexOf(alpha), 0);
    EXPECT_EQ(save.indexOf(beta), 1);
    EXPECT_EQ(save.indexOf(extra), -1);

    EXPECT_FALSE(save.addMod(alpha));
    EXPECT_FALSE(save.removeMod(extra));
    EXPECT_FALSE(save.swapMods(alpha, extra));
    EXPECT_FALSE(save.addMod(nullptr));
    EXPECT_EQ(save.modified, 0u);

    EXPECT_TRUE(save.swapMods(beta, alpha));
    EXPECT_EQ(installed(save), (std::vector<ModInfo*>{beta, alpha, alpha}));
    EXPECT_EQ(save.modified, 1u);
    EXPECT_TRUE(save.removeMod(alpha));
    EXPECT_EQ(installed(save), (std::vector<ModInfo*>{beta, alpha}));
    EXPECT_TRUE(save.addMod(extra));
    EXPECT_EQ(installed(save), (std::vector<ModInfo*>{beta, alpha, extra}));

    // A name that a length byte cannot describe never enters a save.
    ModInfo huge(rString(std::string(128, 'h').c_str()), "x");
    EXPECT_FALSE(save.addMod(&huge));
    EXPECT_EQ(save.indexOf(&huge), -1);
}

} // namespace
