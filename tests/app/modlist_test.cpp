// tests/app/modlist_test.cpp - the mod catalogue: which directories are mods, their stored names
// and their one-line descriptions.
#include "catalogtest.h"
#include "gametest.h"
#include "modlist.h"

#include <map>
#include <random>

namespace {

using ModListTest = GameTest;

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
    // Cyrillic letters take one byte each once converted: 127 of them fit.
    std::string cyrillic;
    for (int i = 0; i < 127; ++i)
        cyrillic += "ж";
    ASSERT_TRUE(gamegen::makeMod(dir, cyrillic, std::string("254 UTF-8 bytes, 127 in 1251")));

    ModList mods;
    mods.scan(rString(dir.c_str()));
    const auto names = catalogue(mods);
    EXPECT_EQ(names.size(), 2u);
    EXPECT_TRUE(names.count("Mods\\" + std::string(122, 'a')));
    EXPECT_TRUE(names.count(gamegen::cp1251(cyrillic)));
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
