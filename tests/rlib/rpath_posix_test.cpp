// tests/rlib/rpath_posix_test.cpp - the path members of rString against the current directory on
// POSIX systems: names without a base, and a current directory longer than any fixed buffer.
#include "assert_report.h"
#include "rstring.h"
#include "tempdir_testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {
std::string str(const rString& s) {
    return s.text();
}
} // namespace

// Without a base, the current directory; only a name of the other style is reported.
TEST(rPathPosix, namesWithoutABaseAreTakenAgainstTheCurrentDirectory) {
    CurrentDirectory cwd;
    resetAssertionReports();
    EXPECT_EQ(str(rString("save/game.sav").makeAbsolute()), cwd.path + "/save/game.sav");
    EXPECT_EQ(str(rString("./x").makeAbsolute()), cwd.path + "/x");
    EXPECT_EQ(str(rString((cwd.path + "/sub/file").c_str()).makeRelative(nullptr, false)),
              "sub/file");
    EXPECT_EQ(assertionCount(), 0u);
    rString foreign("x");
    foreign.setUnixStyle(false);
    EXPECT_EQ(str(foreign.makeAbsolute()), cwd.path + "\\x");
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
    EXPECT_EQ(str(rString("x.txt").makeAbsolute()), deep + "/x.txt");
    EXPECT_EQ(str(rString((deep + "/sub/f").c_str()).makeRelative(nullptr, false)), "sub/f");
    std::filesystem::current_path(cwd.path);
    std::filesystem::remove_all(cwd.path + "/" + std::string(200, 'd'));
}
