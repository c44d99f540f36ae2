// tests/rlib/rpath_posix_test.cpp - the path members of rString against the current directory on
// POSIX systems: names without a base, and a current directory longer than any fixed buffer.
#include "assert_report.h"
#include "rstring.h"
#include "tempdir_testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// Without a base, the current directory; only a name of the other style is reported.
TEST(rPathPosix, namesWithoutABaseAreTakenAgainstTheCurrentDirectory) {
    CurrentDirectory cwd;
    resetAssertionReports();
    EXPECT_EQ(rString("save/game.sav").makeAbsolute().text(), cwd.path + "/save/game.sav");
    EXPECT_EQ(rString("./x").makeAbsolute().text(), cwd.path + "/x");
    EXPECT_STREQ(rString((cwd.path + "/sub/file").c_str()).makeRelative(nullptr, false).text(),
                 "sub/file");
    EXPECT_EQ(assertionCount(), 0u);
    rString foreign("x");
    foreign.setUnixStyle(false);
    EXPECT_EQ(foreign.makeAbsolute().text(), cwd.path + "\\x");
    EXPECT_EQ(assertionCount(), 1u);
    expectReportAt("isUnixStyle()", "rLib/rstring", nullptr);
}

// A current directory longer than any fixed buffer never loses the name or leaves it relative.
TEST(rPathPosix, aLongCurrentDirectoryKeepsTheWholeName) {
    CurrentDirectory cwd;
    std::string deep = cwd.path;
    while (deep.size() < 2500)
        deep += "/" + std::string(200, 'd');
    std::filesystem::create_directories(deep);
    std::filesystem::current_path(deep);
    EXPECT_EQ(rString("x.txt").makeAbsolute().text(), deep + "/x.txt");
    EXPECT_STREQ(rString((deep + "/sub/f").c_str()).makeRelative(nullptr, false).text(), "sub/f");
    std::filesystem::current_path(cwd.path);
    std::filesystem::remove_all(cwd.path + "/" + std::string(200, 'd'));
}
