// tests/app/modlist_test.cpp - the mod catalogue: which directories are mods, their stored names
// and their one-line descriptions.
#include "gametest.h"
#include "modlist.h"

#include <map>

namespace {

using ModListTest = GameTest;

std::map<std::string, std::string> catalogue(const ModList& mods) {
    std::map<std::string, std::string> out;
    for (uint32_t i = 0; i < mods.getCount(); ++i)
        out[mods.mod(i)->name.text()] = mods.mod(i)->description.text();
    return out;
}

TEST_F(ModListTest, CataloguesModDirectoriesWithDescriptionsAtAnyDepth) {
    ASSERT_TRUE(gamegen::makeTestGame(dir));
    ModList mods;
    EXPECT_TRUE(mods.scan(rString(dir.c_str())));
    // The program's own game.db, a blank description and a missing one give no mod.
    const std::map<std::string, std::string> expected = {
        {"Mods\\Alpha", "Alpha mod Second line"},      // CR LF ends
        {"Mods\\Beta", "Beta mod Second line"},        // LF ends
        {"Mods\\Gamma\\Deep", "Gamma\tdeep  last"},    // inner tab, blank CR LF line, no final LF
        {"Mods\\Cyr", gamegen::cp1251("Русский мод")}, // the file's own bytes
        {"Extra", "Extra mod"},                        // a NUL ends a line too
    };
    EXPECT_EQ(catalogue(mods), expected);
}

// On Linux a directory name may end in dots or blanks: each such mod has its own description.
TEST_F(ModListTest, ModDirectoriesEndingInDotsOrBlanksKeepTheirOwnDescriptions) {
    ASSERT_TRUE(gamegen::writeFile(at("game.db"), "GAME"));
    ASSERT_TRUE(gamegen::writeFile(at("description.txt"), "The game itself\n"));
    ASSERT_TRUE(gamegen::writeFile(at("Mods/description.txt"), "The mods directory\n"));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Ver. 2.", std::string("Version two")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Bugfix...", std::string("Bugfix dots")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Trail ", std::string("Trailing blank")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/..b", std::string("Leading dots")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/a./b", std::string("Inner dot")));

    ModList mods;
    mods.scan(rString(dir.c_str()));
    const std::map<std::string, std::string> expected = {
        {"Mods\\Ver. 2.", "Version two"},   {"Mods\\Bugfix...", "Bugfix dots"},
        {"Mods\\Trail ", "Trailing blank"}, {"Mods\\..b", "Leading dots"},
        {"Mods\\a.\\b", "Inner dot"},
    };
    EXPECT_EQ(catalogue(mods), expected);
}

TEST_F(ModListTest, FindByNameIgnoresCaseOfLatinAndCyrillicLetters) {
    ModList empty;
    EXPECT_EQ(empty.findByName("Mods\\Alpha"), nullptr);

    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Alpha", std::string("A")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Моды/Броня", std::string("B")));
    ModList mods;
    mods.scan(rString(dir.c_str()));
    ASSERT_EQ(mods.getCount(), 2u);
    const ModInfo* armor = mods.findByName(gamegen::cp1251("МОДЫ\\бРОНЯ").c_str());
    ASSERT_NE(armor, nullptr);
    EXPECT_EQ(std::string(armor->name.text()), gamegen::cp1251("Моды\\Броня"));
    const ModInfo* alpha = mods.findByName("mODS\\aLPHA");
    ASSERT_NE(alpha, nullptr);
    EXPECT_STREQ(alpha->description.text(), "A");
    EXPECT_EQ(mods.findByName("Mods"), nullptr);
    EXPECT_EQ(mods.findByName("Mods/Alpha"), nullptr); // stored names use '\'
}

TEST_F(ModListTest, LeavesOutModsWhoseNamesCannotBeStored) {
    const std::string longest = "Mods/" + std::string(122, 'a'); // 127 bytes
    const std::string tooLong = "Mods/" + std::string(123, 'b'); // 128 bytes
    ASSERT_TRUE(gamegen::makeMod(dir, longest, std::string("fits")));
    ASSERT_TRUE(gamegen::makeMod(dir, tooLong, std::string("too long")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/日本", std::string("no 1251 form")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Ctl\x01", std::string("control byte")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Old\xC1", std::string("legacy bytes")));
    // Cyrillic letters take one byte each once converted: 127 of them fit.
    std::string cyrillic;
    for (int i = 0; i < 127; ++i)
        cyrillic += "ж";
    ASSERT_TRUE(gamegen::makeMod(dir, cyrillic, std::string("254 UTF-8 bytes, 127 in 1251")));

    ModList mods;
    mods.scan(rString(dir.c_str()));
    const auto names = catalogue(mods);
    EXPECT_EQ(names.size(), 3u);
    EXPECT_TRUE(names.count("Mods\\" + std::string(122, 'a')));
    EXPECT_TRUE(names.count("Mods\\Old\xC1")); // not UTF-8: taken byte for byte
    EXPECT_TRUE(names.count(gamegen::cp1251(cyrillic)));
}

TEST_F(ModListTest, FindsMarkerAndDescriptionInAnyLetterCaseExactFirst) {
    ASSERT_TRUE(gamegen::writeFile(at("Upper/GAME.DB"), "x"));
    ASSERT_TRUE(gamegen::writeFile(at("Upper/Description.TXT"), "mixed case\r\n"));
    ASSERT_TRUE(gamegen::makeMod(dir, "Both", std::string("exact")));
    ASSERT_TRUE(gamegen::writeFile(at("Both/DESCRIPTION.TXT"), "upper"));
    ASSERT_TRUE(gamegen::writeFile(at("Both/Description.txt"), "mixed"));

    ModList mods;
    mods.scan(rString(dir.c_str()));
    const std::map<std::string, std::string> expected = {{"Upper", "mixed case"},
                                                         {"Both", "exact"}};
    EXPECT_EQ(catalogue(mods), expected);
}

} // namespace
