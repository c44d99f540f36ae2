// tests/app/modlist_test.cpp - the mod catalogue: which directories are mods, their stored names
// and their one-line descriptions.
#include "gametest.h"
#include "modlist.h"

#include <map>
#include <random>
#include <sys/stat.h>

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

// Descriptions belong to the directory of their marker only; what is no regular file is no
// description (a FIFO is never opened, so nothing waits for a writer); two markers in one
// directory make two mods of the same name, as two listed game.db files always did.
TEST_F(ModListTest, DescriptionsAreRegularFilesBesideTheirOwnMarker) {
    ASSERT_TRUE(gamegen::makeMod(dir, "Outer", std::string("outer")));
    ASSERT_TRUE(gamegen::writeFile(at("Outer/Inner/game.db"), "x"));
    ASSERT_TRUE(gamegen::writeFile(at("Bare/game.db"), "x"));
    ASSERT_TRUE(gamegen::makeMod(dir, "Bare/Inner", std::string("bare inner")));
    ASSERT_TRUE(gamegen::writeFile(at("Folder/game.db"), "x"));
    ASSERT_TRUE(gamegen::writeFile(at("Folder/description.txt/x"), "a directory"));
    ASSERT_TRUE(gamegen::writeFile(at("Folder/DESCRIPTION.txt"), "the file"));
    ASSERT_TRUE(gamegen::writeFile(at("Fifo/game.db"), "x"));
    ASSERT_EQ(mkfifo(at("Fifo/description.txt").c_str(), 0644), 0);
    ASSERT_TRUE(gamegen::writeFile(at("Fifo/Description.TXT"), "beside a fifo"));
    ASSERT_TRUE(gamegen::makeMod(dir, "Twice", std::string("twice")));
    ASSERT_TRUE(gamegen::writeFile(at("Twice/GAME.DB"), "x"));

    ModList mods;
    mods.scan(rString(dir.c_str()));
    const std::map<std::string, std::string> expected = {{"Outer", "outer"},
                                                         {"Bare\\Inner", "bare inner"},
                                                         {"Folder", "the file"},
                                                         {"Fifo", "beside a fifo"},
                                                         {"Twice", "twice"}};
    EXPECT_EQ(catalogue(mods), expected);
    EXPECT_EQ(mods.getCount(), 6u);
}

} // namespace

// The lookup index must give what a search in catalogue order gives: the first mod whose name
// equals the text under the case rule, for names that differ only in letter case (ASCII and code
// page 1251), names that hash alike, and after the list changed without a new index.
TEST(ModListIndex, FindByNameAgreesWithASearchInCatalogueOrder) {
    std::mt19937 random(12);
    // Letters of both cases in both alphabets, separators, digits, and high bytes with no case.
    const std::string alphabet = "aAbBzZ\\09_." + gamegen::cp1251("жЖяЯёЁаА") + "\x80\xA0\xB9\xFF";
    auto randomName = [&](size_t length) {
        std::string name;
        for (size_t i = 0; i < length; ++i)
            name += alphabet[random() % alphabet.size()];
        return name;
    };
    auto otherCase = [&](std::string name) {
        for (auto& c : name)
            if (random() % 2)
                c = char(random() % 2 ? foldUpper(uint8_t(c)) : foldLower(uint8_t(c)));
        return name;
    };
    auto linear = [](const ModList& mods, const char* name) -> ModInfo* {
        for (uint32_t i = 0; i < mods.getCount(); ++i)
            if (mods.mod(i)->name.compareNoCase(name) == 0)
                return mods.mod(i);
        return nullptr;
    };
    for (const size_t size : {0, 1, 2, 3, 17, 64, 300}) {
        ModList mods;
        std::vector<std::string> names;
        for (size_t i = 0; i < size; ++i) {
            // One in four repeats an earlier name in another letter case.
            names.push_back(i > 0 && random() % 4 == 0 ? otherCase(names[random() % i])
                                                       : randomName(1 + random() % 6));
            mods.add(new ModInfo(rString(names.back().c_str()), rString("d")));
        }
        std::vector<std::string> queries;
        for (const auto& name : names) {
            queries.push_back(name);
            queries.push_back(otherCase(name));
        }
        for (int i = 0; i < 200; ++i)
            queries.push_back(randomName(random() % 7));
        mods.reindex();
        for (const auto& query : queries)
            ASSERT_EQ(mods.findByName(query.c_str()), linear(mods, query.c_str()))
                << "size " << size << ", query " << query;
        // A mod added after the index was built is found all the same.
        mods.add(new ModInfo(rString("Late"), rString("d")));
        EXPECT_EQ(mods.findByName("LATE"), mods.mod(mods.getCount() - 1));
        for (const auto& query : queries)
            ASSERT_EQ(mods.findByName(query.c_str()), linear(mods, query.c_str()));
    }
}
