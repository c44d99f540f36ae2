// tests/app/savelist_test.cpp - the save catalogue: finding saves and their labels, the program
// directory, and writing the modified saves in order.
#include "catalogtest.h"
#include "gametest.h"
#include "rdirscan.h"
#include "rsystem.h"
#include "savelist.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>

namespace {

using SaveListTest = GameTest;

TEST_F(SaveListTest, ScanListsUsableSavesWithTheirLabels) {
    ASSERT_TRUE(gamegen::makeTestGame(dir));
    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    ASSERT_TRUE(list.scan());
    EXPECT_EQ(list.mods.getCount(), 5u);
    auto found = labels(list);
    std::sort(found.begin(), found.end()); // text order is time order
    const std::vector<std::string> expected = {
        "[2003/11/09 14:16:34 Profile1] Slot1",
        "[2003/11/09 14:16:40 Profile2] Slot3",
        "[2010/05/01 08:00:05 Profile1] Slot2",
        "[2021/02/28 23:59:59 Profile2] Slot1",
    };
    EXPECT_EQ(found, expected);
}

TEST_F(SaveListTest, ProgramDirectoryIsTheExecutablesByDefault) {
    SaveList list;
    rString own = moduleFileName().getDirectory();
    own.addSeparator();
    EXPECT_STREQ(list.programDirectory().text(), own.text());
}

TEST_F(SaveListTest, SaveAllWritesModifiedSavesInOrderAndStopsAtTheFirstFailure) {
    ASSERT_TRUE(gamegen::makeMod(dir, "A", std::string("A")));
    ASSERT_TRUE(gamegen::makeMod(dir, "B", std::string("B")));
    const auto full = gamegen::Save::withNames({"A"}, "tail", 1);
    gamegen::Save shortFile; // count 0 on 8 bytes: readable, not writable
    shortFile.blockSize = 0;
    // Three groups, one save each, so that the walk order is the only unknown.
    ASSERT_TRUE(gamegen::writeSave(dir, "save/G1/S", full, 1068387394, 0));
    ASSERT_TRUE(gamegen::writeSave(dir, "save/G2/S", shortFile, 1068387394, 0));
    ASSERT_TRUE(gamegen::writeSave(dir, "save/G3/S", full, 1068387394, 0));
    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    ASSERT_TRUE(list.scan());
    ASSERT_EQ(list.getCount(), 3u);
    EXPECT_TRUE(list.saveAll()); // nothing modified: nothing written
    EXPECT_FALSE(std::filesystem::exists(at("save/G1/S/game.bak")));

    ModInfo* b = list.mods.findByName("B");
    for (uint32_t i = 0; i < 3; ++i)
        ASSERT_TRUE(list.save(i)->addMod(b));
    EXPECT_FALSE(list.saveAll());
    // Saves before the short one are written, the short one and those after it are not.
    bool seenFailure = false;
    for (uint32_t i = 0; i < 3; ++i) {
        const SaveGame* save = list.save(i);
        const bool isShort = std::string(save->label().text()).find(" G2] ") != std::string::npos;
        seenFailure = seenFailure || isShort;
        EXPECT_EQ(save->modified, seenFailure ? 1u : 0u) << save->path.text();
        const auto backup = std::filesystem::path(save->path.text()).replace_extension("bak");
        EXPECT_EQ(std::filesystem::exists(backup), !seenFailure) << save->path.text();
    }
    EXPECT_EQ(bytesOf("save/G2/S/game.sav"), gamegen::saveBytes(shortFile));
}

} // namespace
