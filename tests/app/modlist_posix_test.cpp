// tests/app/modlist_posix_test.cpp - the mod catalogue on POSIX file systems: names Windows does
// not allow (final dots and blanks, control and non-UTF-8 bytes), names differing only in letter
// case side by side, and FIFOs.
#include "catalogtest.h"
#include "gametest.h"
#include "modlist.h"

#include <map>
#include <sys/stat.h>

namespace {

using ModListTest = GameTest;

// On Linux a directory name may end in dots or blanks, and hold bytes that are not UTF-8: each
// such mod keeps its name byte for byte and its own description. A control byte has no place in a
// stored name; a description with no marker beside it makes no mod.
TEST_F(ModListTest, NamesWindowsRefusesAreKeptWithTheirOwnDescriptionsOrLeftOut) {
    ASSERT_TRUE(gamegen::writeFile(at("Mods/description.txt"), "The mods directory\n"));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Ver. 2.", std::string("Version two")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Bugfix...", std::string("Bugfix dots")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Trail ", std::string("Trailing blank")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/..b", std::string("Leading dots")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/a./b", std::string("Inner dot")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Old\xC1", std::string("legacy bytes")));
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Ctl\x01", std::string("control byte")));

    ModList mods;
    mods.scan(rString(dir.c_str()));
    const std::map<std::string, std::string> expected = {
        {"Mods\\Ver. 2.", "Version two"},   {"Mods\\Bugfix...", "Bugfix dots"},
        {"Mods\\Trail ", "Trailing blank"}, {"Mods\\..b", "Leading dots"},
        {"Mods\\a.\\b", "Inner dot"},       {"Mods\\Old\xC1", "legacy bytes"},
    };
    EXPECT_EQ(catalogue(mods), expected);
}

// Marker and description are found in any letter case, the exact spelling first. Descriptions
// belong to the directory of their marker only; what is no regular file is no description (a FIFO
// is never opened, so nothing waits for a writer); two markers in one directory make two mods of
// the same name, as two listed game.db files always did.
TEST_F(ModListTest, DescriptionsAreRegularFilesBesideTheirOwnMarkerInAnyLetterCase) {
    ASSERT_TRUE(gamegen::writeFile(at("Upper/GAME.DB"), "x"));
    ASSERT_TRUE(gamegen::writeFile(at("Upper/Description.TXT"), "mixed case\r\n"));
    ASSERT_TRUE(gamegen::makeMod(dir, "Both", std::string("exact")));
    ASSERT_TRUE(gamegen::writeFile(at("Both/DESCRIPTION.TXT"), "upper"));
    ASSERT_TRUE(gamegen::writeFile(at("Both/Description.txt"), "mixed"));
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
    const std::map<std::string, std::string> expected = {
        {"Upper", "mixed case"}, {"Both", "exact"},
        {"Outer", "outer"},      {"Bare\\Inner", "bare inner"},
        {"Folder", "the file"},  {"Fifo", "beside a fifo"},
        {"Twice", "twice"}};
    EXPECT_EQ(catalogue(mods), expected);
    EXPECT_EQ(mods.getCount(), 8u);
}

} // namespace
