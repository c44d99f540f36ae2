// tests/rlib/rpath_test.cpp - the path members of rString in Windows and Unix style.
#include "assert_report.h"
#include "rstring.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
rString win(const char* text) {
    rString s(text);
    s.setUnixStyle(false);
    return s;
}

std::string str(const rString& s) {
    return s.text();
}

std::string absoluteWin(const char* name, const char* base = nullptr) {
    rString s = win(name);
    return s.makeAbsolute(base).text();
}

std::string absoluteUnix(const char* name, const char* base = nullptr) {
    rString s(name);
    return s.makeAbsolute(base).text();
}

// Runs a test body with the current directory in a fresh temporary directory.
class CurrentDirectory {
public:
    CurrentDirectory() {
        EXPECT_NE(::getcwd(previous, sizeof previous), nullptr);
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/rpath-XXXXXX";
        EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
        EXPECT_EQ(::chdir(pattern.c_str()), 0);
        char real[PATH_MAX];
        EXPECT_NE(::getcwd(real, sizeof real), nullptr);
        path = real;
    }
    ~CurrentDirectory() {
        EXPECT_EQ(::chdir(previous), 0);
        ::rmdir(path.c_str());
    }
    std::string path;

private:
    char previous[PATH_MAX];
};
} // namespace

TEST(rPath, windowsStyleSplitsNamesAfterSeparatorsAndDrives) {
    const rString full = win("C:\\dir\\file.txt");
    EXPECT_EQ(str(full.getFileName()), "file.txt");
    EXPECT_EQ(str(full.getDirectory()), "C:\\dir\\");
    EXPECT_EQ(str(full.getExtension()), "txt");
    EXPECT_EQ(str(full.getBaseName()), "file");
    EXPECT_EQ(full.getDirectory().getSeparator(), '\\');

    const rString drive = win("C:file.txt");
    EXPECT_EQ(str(drive.getFileName()), "file.txt");
    EXPECT_EQ(str(drive.getDirectory()), "C:");

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

TEST(rPath, extensionsAreReplacedOrAdded) {
    rString s("game.sav");
    EXPECT_EQ(str(s.setExtension("bak")), "game.bak");
    rString bare("game");
    EXPECT_EQ(str(bare.setExtension("bak")), "game.bak");
    rString emptyExt("game.sav");
    EXPECT_EQ(str(emptyExt.setExtension("")), "game.");
    rString add("game");
    EXPECT_EQ(str(add.addExtension("sav")), "game.sav");
    EXPECT_EQ(str(add.addExtension("bak")), "game.sav");
}

TEST(rPath, separatorsAreAddedAndRemovedExceptAtRoots) {
    for (const char* keep : {"C:\\", "\\", "C:"}) {
        rString s = win(keep);
        EXPECT_EQ(str(s.removeSeparator()), keep);
    }
    rString dir = win("C:\\dir\\");
    EXPECT_EQ(str(dir.removeSeparator()), "C:\\dir");
    rString twice = win("dir\\\\");
    EXPECT_EQ(str(twice.removeSeparator()), "dir\\");

    rString empty = win("");
    EXPECT_EQ(str(empty.addSeparator()), "");
    rString ends = win("C:\\dir\\");
    EXPECT_EQ(str(ends.addSeparator()), "C:\\dir\\");
    rString plain = win("C:\\dir");
    EXPECT_EQ(str(plain.addSeparator()), "C:\\dir\\");

    rString usr("/usr/lib/");
    EXPECT_EQ(str(usr.removeSeparator()), "/usr/lib");
    rString root("/");
    EXPECT_EQ(str(root.removeSeparator()), "/");
    rString colon("a:/"); // no drives in Unix style
    EXPECT_EQ(str(colon.removeSeparator()), "a:");
}

TEST(rPath, unixStyleSplitsOnlyOnSlashes) {
    const rString s("/a/b.c");
    EXPECT_TRUE(s.isUnixStyle());
    EXPECT_EQ(str(s.getFileName()), "b.c");
    EXPECT_EQ(str(s.getDirectory()), "/a/");
    const rString drive("C:file");
    EXPECT_EQ(str(drive.getFileName()), "C:file");
    const rString back("a\\b.txt");
    EXPECT_EQ(str(back.getFileName()), "a\\b.txt");
}

TEST(rPath, makeAbsoluteResolvesParentAndCurrentReferences) {
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

    EXPECT_EQ(absoluteUnix("/a/b/../c"), "/a/c");
    EXPECT_EQ(absoluteUnix("/a/./b"), "/a/b");
    EXPECT_EQ(absoluteUnix("/../x"), "/x");
    EXPECT_EQ(absoluteUnix("x.txt", "/g"), "/g/x.txt");
    EXPECT_EQ(absoluteUnix("../../y", "/g/h/i"), "/g/y");
    EXPECT_EQ(absoluteUnix("/usr/lib"), "/usr/lib");
}

TEST(rPath, makeAbsoluteFallsBackToTheCurrentDirectory) {
    CurrentDirectory cwd;
    resetAssertionReports();
    EXPECT_EQ(absoluteUnix("save/game.sav"), cwd.path + "/save/game.sav");
    EXPECT_EQ(absoluteUnix("./x"), cwd.path + "/x");
    EXPECT_EQ(assertionCount(), 0u); // the Unix style is this platform's own

    rString foreign = win("x");
    foreign.makeAbsolute();
    EXPECT_EQ(assertionCount(), 1u);
    expectReportAt("isUnixStyle()", "rLib/rstring", nullptr);
    EXPECT_EQ(str(foreign), cwd.path + "\\x");
}

TEST(rPath, makeRelativeExpressesNamesAgainstABase) {
    rString inside = win("C:\\g\\save\\game.sav");
    EXPECT_EQ(str(inside.makeRelative("C:\\g", false)), "save\\game.sav");
    rString sibling = win("C:\\g\\a\\x");
    EXPECT_EQ(str(sibling.makeRelative("C:\\g\\b\\c", true)), "..\\..\\a\\x");
    rString shorter = win("C:\\g\\a\\x");
    EXPECT_EQ(str(shorter.makeRelative("C:\\g\\b\\c", false)), "C:\\g\\a\\x");
    rString otherDrive = win("D:\\x");
    EXPECT_EQ(str(otherDrive.makeRelative("C:\\g", true)), "D:\\x");
    rString same = win("C:\\g\\");
    EXPECT_EQ(str(same.makeRelative("C:\\g", false)), ".\\");
    rString parent = win("C:\\g");
    EXPECT_EQ(str(parent.makeRelative("C:\\g\\h", true)), "..\\");

    rString unix("/srv/game/mods/a");
    EXPECT_EQ(str(unix.makeRelative("/srv/game", false)), "mods/a");

    CurrentDirectory cwd;
    rString here((cwd.path + "/sub/file").c_str());
    resetAssertionReports();
    EXPECT_EQ(str(here.makeRelative(nullptr, false)), "sub/file");
    EXPECT_EQ(assertionCount(), 0u);
}
