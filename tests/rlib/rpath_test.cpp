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

// A Unix-style name, whatever the platform's own style.
rString unix(const char* text) {
    rString s;
    s.setUnixStyle(true);
    s = text;
    s.setUnixStyle(true);
    return s;
}

std::string str(const rString& s) {
    return s.text();
}

std::string absoluteWin(const char* name, const char* base = nullptr) {
    return str(win(name).makeAbsolute(base));
}

std::string absoluteUnix(const char* name, const char* base = nullptr) {
    return str(unix(name).makeAbsolute(base));
}

std::string relative(rString s, const char* base, bool allowLonger = true) {
    return str(s.makeRelative(base, allowLonger));
}
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
    const rString s = unix("/a/b.c");
    EXPECT_TRUE(s.isUnixStyle());
    EXPECT_EQ(str(s.getFileName()), "b.c");
    EXPECT_EQ(str(s.getDirectory()), "/a/");
    EXPECT_EQ(str(unix("C:file").getFileName()), "C:file");
    EXPECT_EQ(str(unix("a\\b.txt").getFileName()), "a\\b.txt");
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

    EXPECT_EQ(str(unix("/usr/lib/").removeSeparator()), "/usr/lib");
    EXPECT_EQ(str(unix("/").removeSeparator()), "/");
    EXPECT_EQ(str(unix("a:/").removeSeparator()), "a:"); // no drives in Unix style
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

// On Linux a name may end in dots or blanks: only whole "." and ".." components are references.
TEST(rPath, unixStyleNormalisationTouchesOnlyWholeDotComponents) {
    for (const char* plain :
         {"/g/Mods/Ver. 2.", "/g/Mods/Ver. 2./game.db", "/g/save/Q/x.../game.sav",
          "/g/save/P/Slot./game.sav", "/g/Game v1./save/", "/a/..b/c", "/a/b../c", "/a/.x/c",
          "/a/trail /c", "/a/.../c", "/a/b.", "/a/b..", "/a/ ./c", "/a/. /c"})
        EXPECT_EQ(absoluteUnix(plain), plain);
    EXPECT_EQ(absoluteUnix("x...", "/g"), "/g/x...");
    EXPECT_EQ(absoluteUnix("Game v1./save", "/home/p"), "/home/p/Game v1./save");
    EXPECT_EQ(absoluteUnix("Slot./../x.", "/g/"), "/g/x.");
    EXPECT_EQ(absoluteUnix("/a/b/.."), "/a/");
    EXPECT_EQ(absoluteUnix("/a/b/."), "/a/b/");
    EXPECT_EQ(absoluteUnix("/a/./../b"), "/b");
    EXPECT_EQ(absoluteUnix("/a/b/../../../c/"), "/c/");
    EXPECT_EQ(absoluteUnix("/a//b"), "/a/b");
    EXPECT_EQ(absoluteUnix("/.."), "/");
    EXPECT_EQ(absoluteUnix("..", "/"), "/");
    // Against a relative base the parents that cannot be climbed stay.
    EXPECT_EQ(absoluteUnix("../../x", "rel"), "../x");

    // Windows-style names keep their own rules: a final dot is dropped.
    EXPECT_EQ(absoluteWin("C:\\g\\x."), "C:\\g\\x");
    EXPECT_EQ(absoluteWin("C:\\g\\x\\..\\y."), "C:\\g\\y");
}

namespace {
// Fails every request of the wrappers above a size, as an exhausted heap would.
size_t failAbove = 0;
bool failLargeRequests(size_t n) {
    return n > failAbove;
}
} // namespace

// Memory that runs out never loses the name or leaves it relative.
TEST(rPath, makeAbsoluteKeepsTheNameWhenMemoryRunsOut) {
    // The work string cannot grow to hold base and name: the name stays, the error is recorded.
    const std::string base = "/" + std::string(1000, 'b');
    const std::string name = "x/" + std::string(200, 'n');
    rString s = unix(name.c_str());
    failAbove = 2000;
    setMemoryFaultHook(failLargeRequests);
    s.makeAbsolute(base.c_str());
    setMemoryFaultHook(nullptr);
    EXPECT_EQ(str(s), name);
    EXPECT_EQ(s.errorCode(), erInsufMemory);
    s.clearError();
    EXPECT_EQ(str(s.makeAbsolute(base.c_str())), base + "/" + name);
    EXPECT_FALSE(s.hasError());

    // No memory at all for the work string.
    rString t = unix("rel/name");
    failAbove = 0;
    setMemoryFaultHook(failLargeRequests);
    t.makeAbsolute("/base");
    setMemoryFaultHook(nullptr);
    EXPECT_EQ(str(t), "rel/name");
    EXPECT_EQ(t.errorCode(), erInsufMemory);
}

// Components are compared whole: a name that merely begins like the base's component is no
// descendant of it.
TEST(rPath, makeRelativeComparesWholeComponents) {
    EXPECT_EQ(relative(unix("/ab/ab/b"), "/ab/a"), "../ab/b");
    EXPECT_EQ(relative(unix("/a/bc"), "/a/b"), "../bc");
    EXPECT_EQ(relative(unix("/a/b/x"), "/a/bc"), "../b/x");
    EXPECT_EQ(relative(unix("/a/b"), "/a/b/c"), "../");
    EXPECT_EQ(relative(unix("/a/b/c"), "/a/b/"), "c");
    EXPECT_EQ(relative(win("C:\\ab\\ab\\b"), "C:\\ab\\a"), "..\\ab\\b");
    EXPECT_EQ(relative(win("C:\\a\\bc"), "C:\\a\\b"), "..\\bc");
    EXPECT_EQ(relative(win("C:\\A\\B\\x"), "c:\\a\\b"), "x"); // Windows names ignore case
    EXPECT_EQ(relative(unix("/ab/ab/b"), "/ab/a", false), "../ab/b");
}

// The extension may be this string's own text, also when the block must grow or is cut first.
TEST(rPath, extensionsMayComeFromTheStringsOwnText) {
    rString full(rReserve{8}, 8);
    full = "abcdefg"; // the block is full
    EXPECT_EQ(str(full.setExtension(full.text())), "abcdefg.abcdefg");
    rString dotted("a.b");
    EXPECT_EQ(str(dotted.setExtension(dotted.text() + 2)), "a.b");
    rString added(rReserve{4}, 4);
    added = "abc";
    EXPECT_EQ(str(added.addExtension(added.text())), "abc.abc");
}

TEST(rPath, makeRelativeExpressesNamesAgainstABase) {
    EXPECT_EQ(relative(win("C:\\g\\save\\game.sav"), "C:\\g", false), "save\\game.sav");
    EXPECT_EQ(relative(win("C:\\g\\a\\x"), "C:\\g\\b\\c", true), "..\\..\\a\\x");
    EXPECT_EQ(relative(win("C:\\g\\a\\x"), "C:\\g\\b\\c", false), "C:\\g\\a\\x");
    EXPECT_EQ(relative(win("D:\\x"), "C:\\g", true), "D:\\x");
    EXPECT_EQ(relative(win("C:\\g\\"), "C:\\g", false), ".\\");
    EXPECT_EQ(relative(win("C:\\g"), "C:\\g\\h", true), "..\\");
    EXPECT_EQ(relative(unix("/srv/game/mods/a"), "/srv/game", false), "mods/a");
}
