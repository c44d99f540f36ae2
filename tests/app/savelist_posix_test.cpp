// tests/app/savelist_posix_test.cpp - the save catalogue on POSIX file systems: names Windows does
// not allow, spellings differing only in letter case side by side, links, FIFOs and descriptors.
#include "../childrun.h"
#include "catalogtest.h"
#include "gametest.h"
#include "rdirscan.h"
#include "savelist.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>

namespace {

using SaveListTest = GameTest;

TEST_F(SaveListTest, ScanClosesEveryFileAndDirectoryItOpened) {
    ASSERT_TRUE(gamegen::makeTestGame(dir));
    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    const int descriptors = openDescriptorCount();
    ASSERT_TRUE(list.scan());
    EXPECT_EQ(list.getCount(), 4u);
    EXPECT_EQ(openDescriptorCount(), descriptors);
}

// On Linux a directory name may end in dots or blanks: every save is read from its own file, with
// its own date and mods (HostileTest's non-UTF-8 names test writes one back in place).
TEST_F(SaveListTest, SavesInDirectoriesEndingInDotsAreReadFromTheirOwnFiles) {
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Alpha", std::string("Alpha")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Ver. 2.", std::string("Version two")));
    const auto outer = gamegen::Save::withNames({"Mods\\Alpha"}, "outer", 1);
    const auto dots = gamegen::Save::withNames({"Mods\\Ver. 2."}, "dots", 2);
    const auto slot = gamegen::Save::withNames({"Mods\\Ver. 2.", "Mods\\Alpha"}, "slot", 3);
    ASSERT_TRUE(gamegen::writeSave(dir, "save", outer, 1068387394, 0));
    ASSERT_TRUE(gamegen::writeSave(dir, "save/Q/x...", dots, 1272700805, 0));
    ASSERT_TRUE(gamegen::writeSave(dir, "save/P/Slot.", slot, 1614556799, 0));
    ASSERT_TRUE(gamegen::writeSave(dir, "save/P/Slot ", slot, 1068387400, 0));

    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    ASSERT_TRUE(list.scan());
    std::map<std::string, std::string> found; // path: date, time and mods
    for (uint32_t i = 0; i < list.getCount(); ++i) {
        SaveGame* save = list.save(i);
        std::string text =
            std::string(save->time.dateText().text()) + " " + save->time.timeText().text();
        for (uint32_t k = 0; k < save->installed.getCount(); ++k)
            text += std::string(" ") + save->installed[k]->name.text();
        found[save->path.text()] = text;
    }
    const std::map<std::string, std::string> expected = {
        {at("save/game.sav"), "09.11.2003 14:16:34 Mods\\Alpha"},
        {at("save/Q/x.../game.sav"), "01.05.2010 08:00:05 Mods\\Ver. 2."},
        {at("save/P/Slot./game.sav"), "28.02.2021 23:59:59 Mods\\Ver. 2. Mods\\Alpha"},
        {at("save/P/Slot /game.sav"), "09.11.2003 14:16:40 Mods\\Ver. 2. Mods\\Alpha"},
    };
    EXPECT_EQ(found, expected);
}

// A game directory whose own name ends in a dot finds its saves and mods like any other.
TEST_F(SaveListTest, AGameDirectoryNamedWithAFinalDotFindsEverything) {
    const std::string game = at("Game v1.");
    ASSERT_TRUE(gamegen::makeTestGame(game));
    SaveList list;
    list.setProgramDirectory(rString(game.c_str()));
    ASSERT_TRUE(list.scan());
    EXPECT_EQ(list.mods.getCount(), 5u);
    EXPECT_EQ(list.getCount(), 4u);
    for (uint32_t i = 0; i < list.getCount(); ++i)
        EXPECT_EQ(std::string(list.save(i)->path.text()).rfind(game + "/save/", 0), 0u);
}

TEST_F(SaveListTest, ScanFailsOnlyWithoutSaveDirectoryInAnyCase) {
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Alpha", std::string("Alpha")));
    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    EXPECT_FALSE(list.scan());
    EXPECT_EQ(list.mods.getCount(), 1u); // the catalogue is still loaded

    std::filesystem::create_directories(at("Save"));
    EXPECT_TRUE(list.scan());
    EXPECT_EQ(list.getCount(), 0u);
    EXPECT_EQ(list.mods.getCount(), 1u); // a second scan starts afresh

    // With several spellings the exact one wins.
    const auto save = gamegen::Save::withNames({"Mods\\Alpha"}, "", 1);
    ASSERT_TRUE(gamegen::writeSave(dir, "Save/P/A", save, 1068387394, 0));
    ASSERT_TRUE(gamegen::writeSave(dir, "save/P/B", save, 1068387394, 0));
    ASSERT_TRUE(list.scan());
    EXPECT_EQ(labels(list), std::vector<std::string>{"[2003/11/09 14:16:34 P] B"});
}

// A game installed for a case-insensitive system, copied to a Linux disk: UTF-8 names with
// Cyrillic letters, SAVE and GAME.SAV in capitals, descriptions in mixed case, a linked mod.
TEST_F(SaveListTest, ReadsAndWritesAGameLaidOutForACaseInsensitiveSystem) {
    const std::string elsewhere = gamegen::makeTempDirectory("tarvex-linked-");
    ASSERT_FALSE(elsewhere.empty());
    ASSERT_TRUE(gamegen::writeFile(elsewhere + "/Game.Db", "x"));
    ASSERT_TRUE(gamegen::writeFile(elsewhere + "/DESCRIPTION.txt", "Linked mod"));
    ASSERT_TRUE(gamegen::writeFile(at("Моды/Броня/game.db"), "x"));
    ASSERT_TRUE(gamegen::writeFile(at("Моды/Броня/Description.TXT"), gamegen::cp1251("Броня\r\n")));
    std::filesystem::create_directory_symlink(elsewhere, at("Моды/Связь"));

    // The game stored the names in its own letter case.
    const auto content = gamegen::Save::withNames(
        {gamegen::cp1251("МОДЫ\\БРОНЯ"), gamegen::cp1251("моды\\связь")}, "tail", 5);
    const std::string savePath = at("SAVE/Профиль/Слот 1/GAME.SAV");
    ASSERT_TRUE(gamegen::writeFile(savePath, gamegen::saveBytes(content)));
    ASSERT_TRUE(gamegen::setModTime(savePath, 1068387394, 250));
    ASSERT_TRUE(gamegen::writeFile(at("SAVE/Профиль/Слот 1/game.BAK"), "old backup"));

    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    ASSERT_TRUE(list.scan());
    const std::string armor = gamegen::cp1251("Моды\\Броня"),
                      linked = gamegen::cp1251("Моды\\Связь");
    const std::map<std::string, std::string> mods = {{armor, gamegen::cp1251("Броня")},
                                                     {linked, "Linked mod"}};
    EXPECT_EQ(catalogue(list.mods), mods);
    ASSERT_EQ(labels(list), std::vector<std::string>{"[2003/11/09 14:16:34 Профиль] Слот 1"});
    SaveGame* save = list.save(0);
    ASSERT_EQ(save->installed.getCount(), 2u);
    EXPECT_EQ(std::string(save->installed[0]->name.text()), armor);
    EXPECT_EQ(std::string(save->installed[1]->name.text()), linked);

    const std::string former = gamegen::saveBytes(content);
    ASSERT_TRUE(save->swapMods(save->installed[0], save->installed[1]));
    ASSERT_TRUE(list.saveAll());
    EXPECT_EQ(gamegen::readFile(savePath).value(),
              rewritten(former, {linked, armor}, gamegen::entriesOffset + 1 + 10 + 1 + 10));
    // The backup that existed in another letter case was replaced, not doubled.
    const std::string saveDir = at("SAVE/Профиль/Слот 1");
    EXPECT_EQ(gamegen::readFile(saveDir + "/game.BAK").value(), former);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(saveDir),
                            std::filesystem::directory_iterator()),
              2);
    gamegen::removeTree(elsewhere);
}

// The saves come from the walk that also finds the mods; where that walk met a directory twice
// (links), the saves must still be those that a walk of the save directory alone finds, in its
// order: directories linked from the save directory may have been entered earlier from outside.
TEST_F(SaveListTest, ScanFindsTheSavesAWalkOfTheSaveDirectoryAloneFinds) {
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Alpha", std::string("Alpha")));
    const auto save = gamegen::Save::withNames({"Mods\\Alpha"}, "tail", 1);
    auto walkAlone = [&] {
        std::vector<std::string> paths;
        rFileWalker walker((dir + "/save/game.sav").c_str(), rDirScan::modeFiles);
        while (walker.next())
            paths.push_back(walker.currentPath().text());
        return paths;
    };
    auto scanned = [&](bool* complete) {
        SaveList list;
        list.setProgramDirectory(rString(dir.c_str()));
        EXPECT_TRUE(list.scan());
        std::vector<std::string> paths;
        for (uint32_t i = 0; i < list.getCount(); ++i)
            paths.push_back(list.save(i)->path.text());
        // The shared walk on its own, to see which way the scan went.
        ModList mods;
        rObjArray found(0, 8);
        mods.scan(rString(dir.c_str()), rString((dir + "/save/game.sav").c_str()), found,
                  *complete);
        return paths;
    };
    // Without links: one walk, the same saves in the same order.
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(gamegen::writeSave(
            dir, "save/P" + std::to_string(i % 2) + "/S" + std::to_string(i), save, 1068387394, 0));
    bool complete = false;
    EXPECT_EQ(scanned(&complete), walkAlone());
    EXPECT_TRUE(complete);
    // Saves outside the save directory are no saves; reached through links from inside it, they
    // are, whether or not the full walk had entered their directories before.
    for (int i = 0; i < 8; ++i) {
        const std::string outside = "Outside" + std::to_string(i);
        ASSERT_TRUE(gamegen::writeSave(dir, outside, save, 1068387394 + i, 0));
        std::filesystem::create_directory_symlink(at(outside), at("save/Link" + std::to_string(i)));
    }
    std::filesystem::create_directory_symlink(at("save/P0"), at("IntoSaves"));
    const std::vector<std::string> alone = walkAlone();
    EXPECT_EQ(alone.size(), 14u);
    EXPECT_EQ(scanned(&complete), alone);
    EXPECT_FALSE(complete);
}

} // namespace
