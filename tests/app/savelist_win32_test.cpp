// tests/app/savelist_win32_test.cpp - the save catalogue on Windows: Cyrillic names through the
// wide calls, and names that differ only in letter case naming one file.
#include "catalogtest.h"
#include "gametest.h"

namespace {

using SaveListTest = GameTest;

// A game with Cyrillic mod, group and slot names in capitals and mixed case: the catalogue holds
// the names in code page 1251, the labels too, and the save is written in its own place.
TEST_F(SaveListTest, ReadsAndWritesCyrillicNamesThroughTheWideCalls) {
    ASSERT_TRUE(gamegen::writeFile(at("Моды/Броня/GAME.DB"), "x"));
    ASSERT_TRUE(gamegen::writeFile(at("Моды/Броня/Description.TXT"), gamegen::cp1251("Броня\r\n")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Моды/Ёлка", std::string("Tree")));
    const auto content = gamegen::Save::withNames({gamegen::cp1251("МОДЫ\\броня")}, "tail", 5);
    ASSERT_TRUE(gamegen::writeFile(at("SAVE/Иван/Слот 1/GAME.SAV"), gamegen::saveBytes(content)));
    ASSERT_TRUE(gamegen::setModTime(at("SAVE/Иван/Слот 1/GAME.SAV"), 1068387394, 0));

    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    ASSERT_TRUE(list.scan());
    const std::map<std::string, std::string> mods = {
        {gamegen::cp1251("Моды\\Броня"), gamegen::cp1251("Броня")},
        {gamegen::cp1251("Моды\\Ёлка"), "Tree"}};
    EXPECT_EQ(catalogue(list.mods), mods);
    ASSERT_EQ(labels(list),
              std::vector<std::string>{gamegen::cp1251("[2003/11/09 14:16:34 Иван] Слот 1")});
    SaveGame* save = list.save(0);
    ASSERT_EQ(save->installed.getCount(), 1u);
    EXPECT_EQ(std::string(save->installed[0]->name.text()), gamegen::cp1251("Моды\\Броня"));

    ASSERT_TRUE(save->addMod(list.mods.findByName(gamegen::cp1251("моды\\ёлка").c_str())));
    ASSERT_TRUE(list.saveAll());
    const std::string former = gamegen::saveBytes(content);
    // (Compared as a whole: a difference in 256 KB of bytes is no readable message.)
    EXPECT_TRUE(bytesOf("SAVE/Иван/Слот 1/GAME.SAV") ==
                rewritten(former, {gamegen::cp1251("Моды\\Броня"), gamegen::cp1251("Моды\\Ёлка")},
                          gamegen::entriesOffset + 1 + 10));
    EXPECT_TRUE(bytesOf("save/иван/слот 1/game.bak") == former);
    int64_t seconds = 0;
    long nanoseconds = 0;
    ASSERT_TRUE(gamegen::getModTime(at("SAVE/Иван/Слот 1/GAME.SAV"), &seconds, &nanoseconds));
    EXPECT_EQ(seconds, 1068387394);
}

// Where POSIX has two save directories "Save" and "save", Windows has one: both saves are found.
TEST_F(SaveListTest, SpellingsOfTheSaveDirectoryNameOneDirectory) {
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Alpha", std::string("Alpha")));
    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    EXPECT_FALSE(list.scan());
    const auto save = gamegen::Save::withNames({"Mods\\Alpha"}, "", 1);
    ASSERT_TRUE(gamegen::writeSave(dir, "Save/P/A", save, 1068387394, 0));
    ASSERT_TRUE(gamegen::writeSave(dir, "save/P/B", save, 1068387394, 0));
    ASSERT_TRUE(list.scan());
    auto found = labels(list);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found,
              (std::vector<std::string>{"[2003/11/09 14:16:34 P] A", "[2003/11/09 14:16:34 P] B"}));
    EXPECT_EQ(list.mods.findByName("MODS\\ALPHA"), list.mods.mod(0));
}

} // namespace
