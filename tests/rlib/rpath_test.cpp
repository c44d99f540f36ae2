// tests/rlib/rpath_test.cpp - the path members of rString in Windows and Unix style.
#include "assert_report.h"
#include "rstring.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
rString win(const char* text) {
    rString s(text);
    s.setUnixStyle(false);
    return s;
}

std::string str(const rString& s) {
    return s.text();
}

// Runs a test body with the current directory in a fresh temporary directory.
struct CurrentDirectory {
    CurrentDirectory() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/rpath-XXXXXX";
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        std::filesystem::current_path(pattern);
        path = std::filesystem::current_path().string();
    }
    ~CurrentDirectory() {
        std::filesystem::current_path(previous);
        std::filesystem::remove(path);
    }
    std::filesystem::path previous = std::filesystem::current_path();
    std::string path;
};
} // namespace

TEST(rPath, windowsStyleSplitsNamesAfterSeparatorsAndDrives) {
    const rString full = win("C:\\dir\\file.txt");
    EXPECT_EQ(str(full.getFileName()), "file.txt");
    EXPECT_EQ(str(full.getDirectory()), "C:\\dir\\");
    EXPECT_EQ(str(full.getExtension()), "txt");
    EXPECT_EQ(str(full.getBaseName()), "file");
    EXPECT_EQ(full.getDirectory().getSeparator(), '\\');

    EXPECT_EQ(str(win("C:file.txt").getFileName()), "file.txt");
    EXPECT_EQ(str(win("C:file.txt").getDirectory()), "C:");

    const rString dotFile = win(".bak");
    EXPECT_EQ(str(dotFile.getExtension()), "");
    EXPECT_EQ(str(dotFile.getBaseName()), ".bak");
    EXPECT_EQ(str(dotFile.removeExtension()), "");

    const rString archive = win("archive.tar.gz");
    EXPECT_EQ(str(archive.getExtension()), "gz");
    EXPECT_EQ(str(archive.getBaseName()), "archive.tar");
    EXPECT_EQ(str(archive.removeExtension()), "archive.tar");

    rString dotted = win("dir.d\\file");
    EXPECT_EQ(str(dotted.getExtension()), "");
    EXPECT_EQ(str(dotted.removeExtension()), "dir.d\\file");
    EXPECT_EQ(str(dotted.setExtension("bak")), "dir.d\\file.bak");
}

TEST(rPath, unixStyleSplitsOnlyOnSlashes) {
    const rString s("/a/b.c");
    EXPECT_TRUE(s.isUnixStyle());
    EXPECT_EQ(str(s.getFileName()), "b.c");
    EXPECT_EQ(str(s.getDirectory()), "/a/");
    EXPECT_EQ(str(rString("C:file").getFileName()), "C:file");
    EXPECT_EQ(str(rString("a\\b.txt").getFileName()), "a\\b.txt");
}

TEST(rPath, extensionsAreReplacedOrAdded) {
    EXPECT_EQ(str(rString("game.sav").setExtension("bak")), "game.bak");
    EXPECT_EQ(str(rString("game").setExtension("bak")), "game.bak");
    EXPECT_EQ(str(rString("game.sav").setExtension("")), "game.");
    rString add("game");
    EXPECT_EQ(str(add.addExtension("sav")), "game.sav");
    EXPECT_EQ(str(add.addExtension("bak")), "game.sav");
}

TEST(rPath, separatorsAreAddedAndRemovedExceptAtRoots) {
    for (const char* keep : {"C:\\", "\\", "C:"})
        EXPECT_EQ(str(win(keep).removeSeparator()), keep);
    EXPECT_EQ(str(win("C:\\dir\\").removeSeparator()), "C:\\dir");
    EXPECT_EQ(str(win("dir\\\\").removeSeparator()), "dir\\");

    EXPECT_EQ(str(win("").addSeparator()), "");
    EXPECT_EQ(str(win("C:\\dir\\").addSeparator()), "C:\\dir\\");
    EXPECT_EQ(str(win("C:\\dir").addSeparator()), "C:\\dir\\");

    EXPECT_EQ(str(rString("/usr/lib/").removeSeparator()), "/usr/lib");
    EXPECT_EQ(str(rString("/").removeSeparator()), "/");
    EXPECT_EQ(str(rString("a:/").removeSeparator()), "a:"); // no drives in Unix style
}

TEST(rPath, makeAbsoluteResolvesParentAndCurrentReferences) {
    const auto absoluteWin = [](const char* name, const char* base = nullptr) {
        return str(win(name).makeAbsolute(base));
    };
    EXPECT_EQ(absoluteWin("C:\\a\\b\\..\\c"), "C:\\a\\c");
    EXPECT_EQ(absoluteWin("C:\\a\\.\\b"), "C:\\a\\b");
    EXPECT_EQ(absoluteWin("C:\\a\\b\\."), "C:\\a\\b\\");
    EXPECT_EQ(absoluteWin("C:\\..\\x"), "C:\\x");
    EXPECT_EQ(absoluteWin("x.txt", "C:\\g"), "C:\\g\\x.txt");
    EXPECT_EQ(absoluteWin("C:\\games\\save\\game.sav"), "C:\\games\\save\\game.sav");
    EXPECT_EQ(absoluteWin("\\dir", "C:\\g"), "\\dir");
    EXPECT_EQ(absoluteWin("C:dir", "C:\\g"), "C:dir");
    EXPECT_EQ(absoluteWin("..\\x\\..\\y", "C:\\g\\h\\"), "C:\\g\\y");
    EXPECT_EQ(absoluteWin("C:\\a\\b\\.."), "C:\\a\\");

    const auto absoluteUnix = [](const char* name, const char* base = nullptr) {
        return str(rString(name).makeAbsolute(base));
    };
    EXPECT_EQ(absoluteUnix("/a/b/../c"), "/a/c");
    EXPECT_EQ(absoluteUnix("/a/./b"), "/a/b");
    EXPECT_EQ(absoluteUnix("/../x"), "/x");
    EXPECT_EQ(absoluteUnix("x.txt", "/g"), "/g/x.txt");
    EXPECT_EQ(absoluteUnix("../../y", "/g/h/i"), "/g/y");
    EXPECT_EQ(absoluteUnix("/usr/lib"), "/usr/lib");

    // Without a base, the current directory; only a name of the other style is reported.
    CurrentDirectory cwd;
    resetAssertionReports();
    EXPECT_EQ(absoluteUnix("save/game.sav"), cwd.path + "/save/game.sav");
    EXPECT_EQ(absoluteUnix("./x"), cwd.path + "/x");
    EXPECT_EQ(assertionCount(), 0u);
    EXPECT_EQ(absoluteWin("x"), cwd.path + "\\x");
    EXPECT_EQ(assertionCount(), 1u);
    expectReportAt("isUnixStyle()", "rLib/rstring", nullptr);
}

TEST(rPath, makeRelativeExpressesNamesAgainstABase) {
    const auto relative = [](rString s, const char* base, bool allowLonger) {
        return str(s.makeRelative(base, allowLonger));
    };
    EXPECT_EQ(relative(win("C:\\g\\save\\game.sav"), "C:\\g", false), "save\\game.sav");
    EXPECT_EQ(relative(win("C:\\g\\a\\x"), "C:\\g\\b\\c", true), "..\\..\\a\\x");
    EXPECT_EQ(relative(win("C:\\g\\a\\x"), "C:\\g\\b\\c", false), "C:\\g\\a\\x");
    EXPECT_EQ(relative(win("D:\\x"), "C:\\g", true), "D:\\x");
    EXPECT_EQ(relative(win("C:\\g\\"), "C:\\g", false), ".\\");
    EXPECT_EQ(relative(win("C:\\g"), "C:\\g\\h", true), "..\\");
    EXPECT_EQ(relative(rString("/srv/game/mods/a"), "/srv/game", false), "mods/a");

    CurrentDirectory cwd;
    resetAssertionReports();
    EXPECT_EQ(relative(rString((cwd.path + "/sub/file").c_str()), nullptr, false), "sub/file");
    EXPECT_EQ(assertionCount(), 0u);
}
