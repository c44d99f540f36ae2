// tests/app/hostile_posix_test.cpp - game directories that work against the catalogues in ways
// only POSIX systems allow or can stage: link cycles, a hundred thousand names, unreadable places,
// FIFOs and names Windows refuses. The scans run in a child process, so that a hang fails.
#include "hostiletest.h"
#include "rposix.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs work in a child process and returns what it reports, or nothing when it did not end
// within the limit (the child is then killed) or ended abnormally. So a hang fails the test
// instead of stopping the suite.
std::optional<std::string> runBounded(const std::function<std::string()>& work, int seconds) {
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const std::string out = work();
        const bool sent = ::write(fds[1], out.data(), out.size()) == ssize_t(out.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool ended = false;
    while (child > 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char block[4096];
        const ssize_t n = ::read(fds[0], block, sizeof block);
        if (n <= 0) {
            ended = true;
            break;
        }
        out.append(block, size_t(n));
    }
    ::close(fds[0]);
    if (child <= 0)
        return std::nullopt;
    if (!ended)
        ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return out;
}

// Injected failures for one directory or file, chosen by the tests.
struct Refusal {
    static inline std::string part; // paths containing this fail
    static inline rPosix::Op op = rPosix::Op::count_;
    static inline int error = EACCES;
    static inline int allowed = 0; // calls that still succeed first
    static int hook(rPosix::Op called, const char* path) {
        if (called != op || path == nullptr || std::strstr(path, part.c_str()) == nullptr)
            return 0;
        return allowed-- > 0 ? 0 : error;
    }
};

class HostileTest : public HostileGameTest {
protected:
    std::string scanned(int seconds = 60) {
        const std::string d = dir;
        return runBounded([d] { return catalogue(d); }, seconds).value_or("<hang or crash>");
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
    Refusal::part = "/Locked";
    Refusal::op = rPosix::Op::opendir;
    Refusal::error = EACCES;
    Refusal::allowed = 0;
    rPosix::setFaultHook(Refusal::hook);
    EXPECT_EQ(scanned(), "mod Mods\\Open\nsave [2003/11/09 14:16:34 P] S: Mods\\Open\n");
    // A directory that fails in the middle of its listing gives what was listed before.
    Refusal::part = "/Mods";
    Refusal::op = rPosix::Op::readdir;
    Refusal::error = EIO;
    const std::string partial = scanned();
    EXPECT_NE(partial, "<hang or crash>");
    EXPECT_NE(partial.find("save [2003/11/09 14:16:34 P] S:"), std::string::npos) << partial;
}

TEST_F(HostileTest, ASaveThatCannotBeReadIsLeftOut) {
    mod("Mods/A");
    save("save/P/Good", {"Mods\\A"});
    save("save/P/Locked", {"Mods\\A"});
    Refusal::part = "/Locked/game.sav";
    Refusal::op = rPosix::Op::open;
    Refusal::error = EACCES;
    Refusal::allowed = 0;
    rPosix::setFaultHook(Refusal::hook);
    EXPECT_EQ(scanned(), "mod Mods\\A\nsave [2003/11/09 14:16:34 P] Good: Mods\\A\n");
}

TEST_F(HostileTest, AFifoNamedGameSavNeverBlocks) {
    mod("Mods/A");
    save("save/P/Good", {"Mods\\A"});
    std::filesystem::create_directories(at("save/P/Pipe"));
    ASSERT_EQ(::mkfifo(at("save/P/Pipe/game.sav").c_str(), 0644), 0);
    EXPECT_EQ(scanned(30), "mod Mods\\A\nsave [2003/11/09 14:16:34 P] Good: Mods\\A\n");
    // Read directly, it is refused at once.
    const std::string path = at("save/P/Pipe/game.sav");
    const std::string direct =
        runBounded(
            [path] {
                ModList mods;
                SaveGame save;
                return save.readFile(path.c_str(), mods) ? "read" : "refused";
            },
            30)
            .value_or("<hang or crash>");
    EXPECT_EQ(direct, "refused");
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
