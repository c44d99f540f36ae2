// Tests of rLib/rdirscan: entries, masks, the walk order, links, loops and unreadable directories.
#include "../childrun.h"
#include "rdirscan.h"
#include "rposix.h"
#include "stream_testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class DirScanTest : public StreamTest {
protected:
    void TearDown() override {
        for (const std::string& d : locked)
            ::chmod(d.c_str(), 0755);
        StreamTest::TearDown();
    }
    std::string file(const std::string& rel, const std::string& content = "x") {
        fs::create_directories(fs::path(dir + "/" + rel).parent_path());
        writeAll(dir + "/" + rel, content);
        return dir + "/" + rel;
    }
    std::vector<std::string> locked;
};

// The full paths a scanner (rDirScan or rFileWalker) reports, in its order.
template <class Scan = rDirScan>
std::vector<std::string> scan(const std::string& path, uint32_t mode) {
    Scan scanner(path.c_str(), mode);
    std::vector<std::string> out;
    while (scanner.next())
        out.push_back(scanner.currentPath().text());
    return out;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

std::set<std::string> faulted;
int failOpendir(rPosix::Op op, const char* path) {
    return op == rPosix::Op::opendir && path != nullptr && faulted.count(path) != 0 ? EACCES : 0;
}

} // namespace

TEST_F(DirScanTest, WalkListsFilesOfADirectoryBeforeItsSubdirectoriesInOrderFound) {
    file("save/a/game.sav");
    file("save/b/c/game.sav");
    file("save/b/game.sav");
    file("save/b/c/other.txt");
    const std::vector<std::string> got =
        scan<rFileWalker>(dir + "/save/game.sav", rDirScan::modeFiles);
    std::vector<std::string> expected;
    for (const auto& found : fs::directory_iterator(dir + "/save")) { // the listing's order
        const std::string sub = found.path().filename();
        if (sub == "a")
            expected.push_back(dir + "/save/a/game.sav");
        if (sub == "b") {
            expected.push_back(dir + "/save/b/game.sav");
            expected.push_back(dir + "/save/b/c/game.sav");
        }
    }
    EXPECT_EQ(got, expected);
}

// On Linux a name may end in dots or blanks; the walk and a scan inside such a directory take it
// as it stands.
TEST_F(DirScanTest, NamesEndingInDotsOrBlanksAreScannedAndWalkedAsTheyStand) {
    using V = std::vector<std::string>;
    V expected;
    for (const char* rel :
         {"g/Mods/Ver. 2./game.db", "g/Mods/Bugfix.../game.db", "g/save/Q/x.../game.sav",
          "g/save/P/Slot./game.sav", "g/Trail /game.db", "g/..b/game.db", "g/game.db"})
        expected.push_back(file(rel));
    EXPECT_EQ(sorted(scan<rFileWalker>(dir + "/g/*", rDirScan::modeFiles)), sorted(expected));
    EXPECT_EQ(scan(dir + "/g/Mods/Bugfix.../*", rDirScan::modeFiles),
              V{dir + "/g/Mods/Bugfix.../game.db"});
    EXPECT_EQ(scan(dir + "/g/Mods/Ver. 2./game.db", rDirScan::modeFiles),
              V{dir + "/g/Mods/Ver. 2./game.db"});
    EXPECT_EQ(scan<rFileWalker>(dir + "/g/save/P/Slot./*", rDirScan::modeFiles),
              V{dir + "/g/save/P/Slot./game.sav"});
    rDirScan inside((dir + "/g/save/Q/x.../*").c_str(), rDirScan::modeFiles);
    EXPECT_STREQ(inside.directoryPath().text(), (dir + "/g/save/Q/x...").c_str());
}

TEST_F(DirScanTest, DirectoriesCarryATrailingSeparatorAndDotEntriesFollowTheRules) {
    fs::create_directories(dir + "/top/sub");
    file("top/f.txt");
    // The plain scanner never reports "." but does report ".."; the walker reports neither
    // (checked with the large tree).
    EXPECT_EQ(sorted(scan(dir + "/top/*", rDirScan::modeDirectories)),
              (std::vector<std::string>{dir + "/top/../", dir + "/top/sub/"}));
}

TEST_F(DirScanTest, NameMasksFollowTheExtensionAlternativeAndInversionRules) {
    file("m/README");
    file("m/x.sav");
    file("m/y.BAK");
    file("m/z.txt");
    auto names = [&](const std::string& pattern, uint32_t mode) {
        std::vector<std::string> got;
        rDirScan s((dir + "/m/" + pattern).c_str(), mode);
        while (s.next())
            got.push_back(s.entry().name.text());
        return sorted(got);
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(names("*.*", rDirScan::modeFiles), (V{"README", "x.sav", "y.BAK", "z.txt"}));
    EXPECT_EQ(names("README.", rDirScan::modeFiles), V{}); // no wildcard: taken literally
    EXPECT_EQ(names("readme", rDirScan::modeFiles), V{"README"});
    EXPECT_EQ(names("*.sav;*.bak", rDirScan::modeFiles), (V{"x.sav", "y.BAK"}));
    EXPECT_EQ(names("*.sav;*.bak", rDirScan::modeFiles | rDirScan::modeInvert),
              (V{"README", "z.txt"}));
    // A relative path is taken against the current directory; reported paths are absolute.
    const std::string relative = fs::relative(dir + "/m", fs::current_path()).string();
    EXPECT_EQ(scan(relative + "/x.sav", rDirScan::modeFiles),
              V{fs::weakly_canonical(dir).string() + "/m/x.sav"});
}

TEST_F(DirScanTest, EntryDetailsComeFromTheFileItselfAndOnlyFilesAndDirectoriesHaveAKind) {
    const std::string plain = file("d/Game.DB", "12345");
    const std::string ro = file("d/locked.dat", "ab");
    ::chmod(ro.c_str(), 0444);
    file("d/run.Exe");
    file("d/.hidden.db");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1068387365, 0}}; // 2003-11-09 14:16:05 UTC
    setenv("TZ", "MSK-3", 1); // the time is local: three hours east of UTC
    tzset();
    ASSERT_EQ(utimensat(AT_FDCWD, plain.c_str(), times, 0), 0);
    ASSERT_EQ(mkfifo((dir + "/d/pipe.db").c_str(), 0644), 0);
    ASSERT_EQ(symlink("missing", (dir + "/d/dangling.db").c_str()), 0);
    ASSERT_EQ(symlink("Game.DB", (dir + "/d/link.db").c_str()), 0);
    fs::resize_file(file("d/big.db"), (uintmax_t(1) << 32) + 7);

    using Details = std::map<std::string, std::pair<uint32_t, uint32_t>>; // name: access, size
    auto details = [&](uint32_t mode) {
        Details got;
        rDirScan s((dir + "/d/*.*").c_str(), rDirScan::modeFiles | mode);
        while (s.next()) {
            const rFileInfo& e = s.entry();
            got[e.name.text()] = {e.access, e.size};
            EXPECT_EQ(e.kind, rFileInfo::kindFile) << e.name.text();
            if (mode == 0 && (e.name == "Game.DB" || e.name == "link.db")) {
                EXPECT_STREQ(e.time.dateText().text(), "09.11.2003");
                EXPECT_STREQ(e.time.timeText().text(), "17:16:05");
            }
        }
        return got;
    };
    // Read-only and hidden entries are not writable, the extension alone makes an entry
    // executable, sizes are the low 32 bits; links are followed, FIFOs and dangling links left out.
    const uint32_t r = rFileInfo::accessRead, rw = r | rFileInfo::accessWrite;
    EXPECT_EQ(details(0), (Details{{"Game.DB", {rw, 5}},
                                   {"link.db", {rw, 5}},
                                   {"locked.dat", {r, 2}},
                                   {".hidden.db", {r, 1}},
                                   {"run.Exe", {rw | rFileInfo::accessExecute, 1}},
                                   {"big.db", {rw, 7}}}));
    // The pattern matches without regard to case; the FIFO never counts as a file.
    EXPECT_EQ(scan(dir + "/d/game.db", rDirScan::modeFiles), std::vector<std::string>{plain});
    EXPECT_TRUE(scan(dir + "/d/pipe.db", rDirScan::modeFiles | rDirScan::modeDirectories).empty());
    EXPECT_TRUE(scan<rFileWalker>(dir + "/missing/*", rDirScan::modeFiles).empty());

    // Names only: the same entries; details only where the kind needed a status call anyway
    // (the link), never a FIFO or a dangling link.
    EXPECT_EQ(details(rDirScan::modeNamesOnly), (Details{{"Game.DB", {0, 0}},
                                                         {"link.db", {rw, 5}},
                                                         {"locked.dat", {0, 0}},
                                                         {".hidden.db", {0, 0}},
                                                         {"run.Exe", {0, 0}},
                                                         {"big.db", {0, 0}}}));
}

// Access follows the permission bits as this process sees them: the owner's bits for the files
// it made, and for the superuser every entry readable and writable when any write bit is set.
TEST_F(DirScanTest, AccessFollowsThePermissionBitsAsThisProcessSeesThem) {
    const uint32_t r = rFileInfo::accessRead, w = rFileInfo::accessWrite;
    const bool superuser = ::geteuid() == 0;
    const struct {
        const char* name;
        mode_t mode;
        uint32_t asOwner, asSuperuser;
    } cases[] = {{"none", 0000, 0, r},
                 {"ownerRead", 0400, r, r},
                 {"ownerWrite", 0244, w, r | w},
                 {"othersOnly", 0066, 0, r | w}};
    for (const auto& c : cases)
        ASSERT_EQ(::chmod(file(std::string("m/") + c.name).c_str(), c.mode), 0);
    rDirScan s((dir + "/m/*").c_str(), rDirScan::modeFiles);
    std::map<std::string, uint32_t> got;
    while (s.next())
        got[s.entry().name.text()] = s.entry().access;
    ASSERT_EQ(got.size(), 4u);
    for (const auto& c : cases)
        EXPECT_EQ(got[c.name], superuser ? c.asSuperuser : c.asOwner) << c.name;
}

// A file time that a date value cannot hold gives an invalid date, never 01.01.1901.
TEST_F(DirScanTest, EntryTimesOutsideTheDateRangeAreInvalid) {
    const std::map<std::string, std::pair<int64_t, std::string>> cases = {
        {"first", {-2177452800, "01.01.1901 00:00:00"}},
        {"before", {-2177452801, "invalid"}},
        {"old", {-2300000000, "invalid"}},
        {"early", {-2147483648, "13.12.1901 20:45:52"}},
        {"last", {2114380799, "31.12.2036 23:59:59"}},
        {"after", {2114380800, "invalid"}},
        {"far", {4102444800, "invalid"}}}; // 2100
    std::map<std::string, std::string> expected;
    for (const auto& [name, c] : cases) {
        const std::string path = file("d/" + name);
        const struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(c.first), 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        struct stat st;
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        if (st.st_mtime == c.first) // some file systems hold no time before December 1901
            expected[name] = c.second;
        else
            fs::remove(path);
    }
    EXPECT_GE(expected.size(), 4u);
    std::map<std::string, std::string> got;
    rFileWalker w((dir + "/d/*").c_str(), rDirScan::modeFiles);
    while (w.next()) {
        const rDateTime& time = w.entry().time;
        got[w.entry().name.text()] =
            time.isValid() ? std::string(time.dateText().text()) + " " + time.timeText().text()
                           : "invalid";
    }
    EXPECT_EQ(got, expected);
}

// The table of entered directories grows past its first sizes; a loop met after that growth
// still leads back to a directory already entered. No walk keeps a descriptor open after it.
TEST_F(DirScanTest, LoopsMetAfterManyDirectoriesAreStillNotEnteredAgain) {
    std::string level = dir + "/deep";
    std::vector<std::string> expected;
    for (int depth = 0; depth < 100; ++depth) {
        expected.push_back(file("deep" + level.substr(dir.size() + 5) + "/f"));
        if (depth == 10) {
            ASSERT_EQ(symlink(level.c_str(), (dir + "/tenth").c_str()), 0);
        }
        level += "/n";
    }
    fs::create_directories(level);
    ASSERT_EQ(symlink((dir + "/deep").c_str(), (level + "/toRoot").c_str()), 0);
    ASSERT_EQ(symlink((dir + "/tenth").c_str(), (level + "/toTenth").c_str()), 0);
    file("wide/x");
    for (int k = 0; k < 40; ++k)
        ASSERT_EQ(symlink("..", (dir + "/wide/up" + std::to_string(k)).c_str()), 0);

    const int descriptors = openDescriptorCount();
    EXPECT_EQ(sorted(scan<rFileWalker>(dir + "/deep/f", rDirScan::modeFiles)), sorted(expected));
    EXPECT_EQ(scan<rFileWalker>(dir + "/wide/x", rDirScan::modeFiles),
              std::vector<std::string>{dir + "/wide/x"});
    {
        rFileWalker partial((dir + "/deep/f").c_str(), rDirScan::modeFiles);
        for (int k = 0; k < 50; ++k)
            ASSERT_TRUE(partial.next());
        rDirScan one((dir + "/deep/*").c_str(), rDirScan::modeDirectories);
        ASSERT_TRUE(one.next());
    }
    EXPECT_EQ(openDescriptorCount(), descriptors);
}

TEST_F(DirScanTest, DirectoriesThatVanishOrLoopAreSkippedAndEachIsEnteredOnce) {
    file("t/f");
    file("t/d1/g");
    file("t/d2/g");
    ASSERT_EQ(symlink("..", (dir + "/t/d1/up").c_str()), 0); // a loop back to t
    rFileWalker w((dir + "/t/*").c_str(), rDirScan::modeFiles);
    ASSERT_TRUE(w.next());
    EXPECT_STREQ(w.entry().name.text(), "f");
    fs::remove_all(dir + "/t/d2");
    std::vector<std::string> rest;
    while (w.next())
        rest.push_back(w.currentPath().text());
    EXPECT_EQ(rest, std::vector<std::string>{dir + "/t/d1/g"});
    EXPECT_EQ(w.revisits(), 1u); // t, met again through d1/up; a vanished directory is no revisit
}

// A generated tree of 10,000 files in mixed case with link loops, a dangling link, a FIFO, a link
// to a sibling and unreadable directories, compared with an independent listing.
TEST_F(DirScanTest, LargeTreeWalkMatchesAnIndependentListing) {
    for (int d = 0; d < 20; ++d)
        for (int s = 0; s < 10; ++s) {
            const std::string sub = "big/D" + std::to_string(d) + "/s" + std::to_string(s) + "/";
            fs::create_directories(dir + "/" + sub);
            for (int f = 0; f < 50; ++f)
                std::ofstream(dir + "/" + sub + (f % 2 ? "File" : "file") + std::to_string(f) +
                              (f % 3 ? ".Sav" : ".dat"));
        }
    const std::string big = dir + "/big";
    ASSERT_EQ(symlink("..", (big + "/D0/loop").c_str()), 0);
    ASSERT_EQ(symlink("../../D1", (big + "/D1/s0/up").c_str()), 0);
    ASSERT_EQ(symlink("../D3", (big + "/D2/toD3").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (big + "/D4/dangling").c_str()), 0);
    ASSERT_EQ(symlink("s0/file0.dat", (big + "/D5/flink.dat").c_str()), 0);
    ASSERT_EQ(mkfifo((big + "/D6/pipe.sav").c_str(), 0644), 0);
    faulted = {big + "/D7/s3", big + "/D9"};
    rPosix::setFaultHook(failOpendir);
    const bool root_user = geteuid() == 0;
    if (!root_user) {
        locked.push_back(big + "/D8/s4");
        ::chmod(locked.back().c_str(), 0);
    }

    std::vector<std::string> expected;
    std::set<std::pair<dev_t, ino_t>> entered;
    struct stat st;
    ::stat(big.c_str(), &st);
    entered.insert({st.st_dev, st.st_ino});
    std::error_code ec;
    fs::recursive_directory_iterator it(big,
                                        fs::directory_options::follow_directory_symlink |
                                            fs::directory_options::skip_permission_denied,
                                        ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string path = it->path().string();
        if (::stat(path.c_str(), &st) != 0)
            continue; // dangling
        if (S_ISDIR(st.st_mode)) {
            expected.push_back(path + "/");
            if (faulted.count(path) != 0 || !entered.insert({st.st_dev, st.st_ino}).second)
                it.disable_recursion_pending();
        } else if (S_ISREG(st.st_mode)) {
            expected.push_back(path);
        }
    }
    ASSERT_FALSE(ec);
    const std::vector<std::string> got =
        sorted(scan<rFileWalker>(big + "/*", rDirScan::modeFiles | rDirScan::modeDirectories));
    EXPECT_EQ(got, sorted(expected)); // no FIFO, no dangling link, loops not entered
    // Names only walks the same way.
    EXPECT_EQ(scan<rFileWalker>(big + "/*", rDirScan::modeFiles | rDirScan::modeDirectories |
                                                rDirScan::modeNamesOnly),
              scan<rFileWalker>(big + "/*", rDirScan::modeFiles | rDirScan::modeDirectories));
    const size_t files = size_t(std::count_if(
        got.begin(), got.end(), [](const std::string& p) { return p.back() != '/'; }));
    EXPECT_EQ(files,
              10000u - 50u - 500u - (root_user ? 0u : 50u) + 1u); // less D7/s3 and D9, plus flink
    EXPECT_EQ(std::count(got.begin(), got.end(), big + "/D0/loop/"), 1); // reported, not entered

    // A case-insensitive pattern finds every .Sav at any depth.
    const size_t savs = size_t(std::count_if(got.begin(), got.end(), [](const std::string& p) {
        return p.size() > 4 && p.compare(p.size() - 4, 4, ".Sav") == 0;
    }));
    EXPECT_EQ(scan<rFileWalker>(big + "/*.SAV", rDirScan::modeFiles).size(), savs);
}

// A null path scans the current directory with an empty pattern (nothing matches); the file
// system's operations refuse null searches and entries.
TEST_F(DirScanTest, NullArgumentsFindNothingAndAreRefused) {
    file("c/entry");
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir((dir + "/c").c_str()), 0);
    rDirScan none(nullptr, rDirScan::modeFiles | rDirScan::modeDirectories);
    EXPECT_FALSE(none.next());
    EXPECT_EQ(std::string(none.currentPath().text()), dir + "/c/");
    EXPECT_EQ(chdir(previous), 0);
    free(previous);

    rLocalFileSystem local;
    rFileInfo e;
    rSearch* search = local.findFirst(rString((dir + "/c").c_str()));
    ASSERT_NE(search, nullptr);
    EXPECT_FALSE(local.findNext(nullptr, &e));
    EXPECT_FALSE(local.findNext(search, nullptr));
    EXPECT_FALSE(local.getInfo(rString(dir.c_str()), nullptr, &e));
    EXPECT_FALSE(local.getInfo(rString(dir.c_str()), search, nullptr));
    rDirectoryId id{};
    EXPECT_FALSE(local.directoryId(nullptr, id));
    EXPECT_TRUE(local.directoryId(search, id));
    local.findClose(search);
    EXPECT_EQ(search, nullptr);
    local.findClose(search); // closing nothing is harmless
    EXPECT_FALSE(local.changeDirectory(nullptr));
}
