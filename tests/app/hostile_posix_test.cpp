// tests/app/hostile_posix_test.cpp - game directories that work against the catalogues in ways
// only POSIX systems allow or can stage: link cycles, a hundred thousand names, unreadable places,
// FIFOs and names Windows refuses. The scans run in a child process, so that a hang fails.
#include "../childrun.h"
#include "hostiletest.h"
#include "rposix.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace {

// Injected failures for paths that contain a part, chosen by the tests.
struct Refusal {
    static inline std::string part;
    static inline rPosix::Op op = rPosix::Op::count_;
    static inline int error = EACCES;
    static int hook(rPosix::Op called, const char* path) {
        if (called != op || path == nullptr || std::strstr(path, part.c_str()) == nullptr)
            return 0;
        return error;
    }
    static void set(const char* pathPart, rPosix::Op call, int code) {
        part = pathPart;
        op = call;
        error = code;
        rPosix::setFaultHook(hook);
    }
};

class HostileTest : public HostileGameTest {
protected:
    // The catalogue scanned in a child process, so that a hang or a crash fails the test instead
    // of stopping the suite.
    std::string scanned(unsigned seconds = 60) {
        const std::string out = at("catalogue.txt");
        std::filesystem::remove(out);
        if (exitCodeWithin(seconds,
                           [&] { return gamegen::writeFile(out, catalogue(dir)) ? 0 : 1; }))
            return "<hang or crash>";
        return bytesOf("catalogue.txt");
    }
};

TEST_F(HostileTest, ALinkCycleAmongModDirectoriesIsWalkedOnce) {
    mod("Mods/A");
    mod("Mods/A/Inner");
    mod("Mods/B");
    save("save/P/S", {"Mods\\A", "Mods\\B"});
    std::filesystem::create_directory_symlink("..", at("Mods/A/Inner/up"));
    std::filesystem::create_directory_symlink(at("Mods"), at("Mods/B/again"));
    std::filesystem::create_directory_symlink(at("save"), at("save/P/S/loop"));
    EXPECT_EQ(scanned(), "mod Mods\\A\nmod Mods\\A\\Inner\nmod Mods\\B\n"
                         "save [2003/11/09 14:16:34 P] S: Mods\\A Mods\\B\n");
}

TEST_F(HostileTest, AHundredThousandFilesAreWalkedThrough) {
    mod("Mods/Big");
    mod("Mods/Small");
    save("save/P/S", {"Mods\\Small", "Mods\\Big"});
    // Second names of a few files, which are quicker to make than as many files (a file takes
    // some tens of thousands of names at most).
    std::string first;
    for (int i = 0; i < 100000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%06d.dat", i);
        const std::string path = at("Mods/Big") + name;
        if (i % 50000 == 0) {
            first = path;
            ASSERT_TRUE(gamegen::writeFile(first, "x"));
        } else {
            ASSERT_EQ(::link(first.c_str(), path.c_str()), 0) << path;
        }
    }
    EXPECT_EQ(scanned(), "mod Mods\\Big\nmod Mods\\Small\n"
                         "save [2003/11/09 14:16:34 P] S: Mods\\Small Mods\\Big\n");
}

TEST_F(HostileTest, AnUnreadableDirectoryLeavesOnlyItsOwnContentOut) {
    mod("Mods/Open");
    mod("Mods/Locked/Inside");
    save("save/P/S", {"Mods\\Open", "Mods\\Locked\\Inside"});
    save("save/Locked/S", {"Mods\\Open"});
    // Root reads every directory, so the refusal is injected.
    Refusal::set("/Locked", rPosix::Op::opendir, EACCES);
    EXPECT_EQ(scanned(), "mod Mods\\Open\nsave [2003/11/09 14:16:34 P] S: Mods\\Open\n");
    // A directory that fails in the middle of its listing gives what was listed before.
    Refusal::set("/Mods", rPosix::Op::readdir, EIO);
    const std::string partial = scanned();
    EXPECT_NE(partial, "<hang or crash>");
    EXPECT_NE(partial.find("save [2003/11/09 14:16:34 P] S:"), std::string::npos) << partial;
}

TEST_F(HostileTest, ASaveThatCannotBeReadIsLeftOut) {
    mod("Mods/A");
    save("save/P/Good", {"Mods\\A"});
    save("save/P/Locked", {"Mods\\A"});
    Refusal::set("/Locked/game.sav", rPosix::Op::open, EACCES);
    EXPECT_EQ(scanned(), "mod Mods\\A\nsave [2003/11/09 14:16:34 P] Good: Mods\\A\n");
}

TEST_F(HostileTest, AFifoNamedGameSavNeverBlocks) {
    mod("Mods/A");
    save("save/P/Good", {"Mods\\A"});
    std::filesystem::create_directories(at("save/P/Pipe"));
    ASSERT_EQ(::mkfifo(at("save/P/Pipe/game.sav").c_str(), 0644), 0);
    EXPECT_EQ(scanned(30), "mod Mods\\A\nsave [2003/11/09 14:16:34 P] Good: Mods\\A\n");
    // Read directly, it is refused at once (1: read, -1: blocked).
    const std::string path = at("save/P/Pipe/game.sav");
    EXPECT_EQ(exitCodeWithin(30,
                             [&] {
                                 ModList mods;
                                 SaveGame save;
                                 return save.readFile(path.c_str(), mods) ? 1 : 0;
                             }),
              0);
}

TEST_F(HostileTest, NamesThatAreNotUtf8OrEndInDotsOrBlanksAreKept) {
    mod("Mods/\xff\xfe bad");
    mod("Mods/Ver. 2.");
    mod("Mods/x...");
    mod("Mods/trail ");
    save("save/Grp./Slot. ", {"Mods\\\xff\xfe bad", "Mods\\Ver. 2.", "Mods\\x...", "Mods\\trail "});
    // The label's group is the directory's base name, so "Grp." shows as "Grp"; the paths keep the
    // dot.
    EXPECT_EQ(scanned(), "mod Mods\\Ver. 2.\nmod Mods\\trail \nmod Mods\\x...\n"
                         "mod Mods\\\xff\xfe bad\n"
                         "save [2003/11/09 14:16:34 Grp] Slot. : Mods\\\xff\xfe bad "
                         "Mods\\Ver. 2. Mods\\x... Mods\\trail \n");

    // Written back, the entries and the file's place stay as they were.
    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    ASSERT_TRUE(list.scan());
    ASSERT_EQ(list.getCount(), 1u);
    SaveGame* save = list.save(0);
    ASSERT_EQ(save->installed.getCount(), 4u);
    const std::string former = bytesOf("save/Grp./Slot. /game.sav");
    ASSERT_TRUE(save->swapMods(list.mods.findByName("Mods\\Ver. 2."),
                               list.mods.findByName("Mods\\trail ")));
    ASSERT_TRUE(list.saveAll());
    EXPECT_EQ(bytesOf("save/Grp./Slot. /game.bak"), former);
    EXPECT_EQ(bytesOf("save/Grp./Slot. /game.sav"),
              rewritten(former,
                        {"Mods\\\xff\xfe bad", "Mods\\trail ", "Mods\\x...", "Mods\\Ver. 2."},
                        gamegen::entriesOffset + 12 + 13 + 10 + 12));
}

} // namespace
