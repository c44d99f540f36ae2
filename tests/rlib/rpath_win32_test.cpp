// tests/rlib/rpath_win32_test.cpp - the path members of rString against the current directory on
// Windows: names without a base, in the system's style and in the other one.
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

// Without a base, the current directory with its drive; only a Unix-style name is reported.
TEST(rPathWin32, namesWithoutABaseAreTakenAgainstTheCurrentDirectory) {
    CurrentDirectory cwd;
    ASSERT_EQ(cwd.path[1], ':');
    resetAssertionReports();
    EXPECT_EQ(str(rString("save\\game.sav").makeAbsolute()), cwd.path + "\\save\\game.sav");
    EXPECT_EQ(str(rString(".\\x").makeAbsolute()), cwd.path + "\\x");
    EXPECT_EQ(str(rString("..\\up").makeAbsolute()),
              std::filesystem::path(cwd.path).parent_path().string() + "\\up");
    EXPECT_EQ(str(rString((cwd.path + "\\sub\\file").c_str()).makeRelative(nullptr, false)),
              "sub\\file");
    // Names are compared without regard to letter case, as the system does.
    std::string upper = cwd.path;
    for (char& c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(str(rString((upper + "\\f").c_str()).makeRelative(nullptr, false)), "f");
    EXPECT_EQ(assertionCount(), 0u);
    rString foreign("x");
    foreign.setUnixStyle(true);
    EXPECT_EQ(str(foreign.makeAbsolute()), cwd.path + "/x");
    EXPECT_EQ(assertionCount(), 1u);
    expectReportAt("!isUnixStyle()", "rLib/rstring", nullptr);
}
