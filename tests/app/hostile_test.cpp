// tests/app/hostile_test.cpp - the catalogues and the writer in game directories that work against
// them: link cycles, huge directories, unreadable places, saves that are no files, odd names, huge
// descriptions and file systems that refuse writes. None may crash, hang or lose a save.
#include "gametest.h"
#include "rposix.h"
#include "savelist.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <poll.h>
#include <set>
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

// The catalogue of a game directory as text: each mod's name, then each save's label and list.
std::string catalogue(const std::string& directory) {
    SaveList list;
    list.setProgramDirectory(rString(directory.c_str()));
    list.scan();
    // Sorted, since the walk's order is the directories' own.
    std::set<std::string> mods, saves;
    for (uint32_t i = 0; i < list.mods.getCount(); ++i)
        mods.insert(std::string("mod ") + list.mods.mod(i)->name.text() + "\n");
    for (uint32_t i = 0; i < list.getCount(); ++i) {
        const SaveGame* save = list.save(i);
        std::string line = std::string("save ") + save->label().text() + ":";
        for (uint32_t k = 0; k < save->installed.getCount(); ++k)
            line += std::string(" ") + save->installed[k]->name.text();
        saves.insert(line + "\n");
    }
    std::string out;
    for (const auto& line : mods)
        out += line;
    for (const auto& line : saves)
        out += line;
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

class HostileTest : public GameTest {
protected:
    void TearDown() override {
        rPosix::setFaultHook(nullptr);
        GameTest::TearDown();
    }
    void mod(const std::string& relative, const std::string& description = "about") {
        ASSERT_TRUE(gamegen::makeMod(dir, relative, description));
    }
    void save(const std::string& relative, const std::vector<std::string>& names) {
        ASSERT_TRUE(gamegen::writeSave(dir, relative, gamegen::Save::withNames(names, "tail", 5),
                                       1068387394, 0));
    }
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

TEST_F(HostileTest, ASaveThatIsADirectoryOrCannotBeReadIsLeftOut) {
    mod("Mods/A");
    save("save/P/Good", {"Mods\\A"});
    std::filesystem::create_directories(at("save/P/Folder/game.sav"));
    save("save/P/Locked", {"Mods\\A"});
    Refusal::part = "/Locked/game.sav";
    Refusal::op = rPosix::Op::open;
    Refusal::error = EACCES;
    Refusal::allowed = 0;
    rPosix::setFaultHook(Refusal::hook);
    EXPECT_EQ(scanned(), "mod Mods\\A\nsave [2003/11/09 14:16:34 P] Good: Mods\\A\n");
    rPosix::setFaultHook(nullptr);

    // A save whose file became a directory since it was read is not written over.
    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    ASSERT_TRUE(list.scan());
    ASSERT_EQ(list.getCount(), 2u);
    SaveGame* good = list.save(0);
    if (std::strstr(good->path.text(), "/Good/") == nullptr)
        good = list.save(1);
    ASSERT_TRUE(good->removeMod(list.mods.findByName("Mods\\A")));
    const std::string former = bytesOf("save/P/Good/game.sav");
    std::filesystem::rename(at("save/P/Good/game.sav"), at("save/P/kept.sav"));
    std::filesystem::create_directories(at("save/P/Good/game.sav"));
    EXPECT_FALSE(list.saveAll());
    EXPECT_EQ(good->modified, 1u);
    EXPECT_TRUE(std::filesystem::is_directory(at("save/P/Good/game.sav")));
    EXPECT_EQ(bytesOf("save/P/kept.sav"), former);
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

TEST_F(HostileTest, ADescriptionOfFiftyMegabytesIsReadWhole) {
    std::string content, expected;
    const std::string line(99, 'd');
    while (content.size() < 25u << 20) {
        content += line + "\r\n";
        expected += (expected.empty() ? "" : " ") + line;
    }
    const std::string last(25u << 20, 'e'); // a last line of 25 MB without a line end
    content += last;
    expected += " " + last;
    mod("Mods/Huge", content);
    SaveList list;
    list.setProgramDirectory(rString(dir.c_str()));
    list.scan();
    ASSERT_EQ(list.mods.getCount(), 1u);
    const rString& description = list.mods.mod(0)->description;
    ASSERT_EQ(description.length(), expected.size());
    EXPECT_TRUE(std::memcmp(description.text(), expected.data(), expected.size()) == 0);
}

TEST_F(HostileTest, AFullOrReadOnlyFileSystemLosesNothing) {
    mod("Mods/A");
    mod("Mods/B");
    save("save/P/S", {"Mods\\A"});
    ASSERT_TRUE(gamegen::writeFile(at("save/P/S/game.bak"), "the older backup"));
    struct Case {
        rPosix::Op op;
        int error;
        int allowed;
        const char* part;
    };
    // A disk that fills at once or after the first block, and a file system mounted read-only:
    // new files cannot be made there, nothing can be renamed, removed or re-timed.
    const Case cases[] = {
        {rPosix::Op::write, ENOSPC, 0, "/save/"},  {rPosix::Op::write, ENOSPC, 1, "/save/"},
        {rPosix::Op::sync, ENOSPC, 0, "/save/"},   {rPosix::Op::open, EROFS, 0, ".new"},
        {rPosix::Op::rename, EROFS, 0, "/save/"},  {rPosix::Op::link, EROFS, 0, "/save/"},
        {rPosix::Op::setTime, EROFS, 0, "/save/"},
    };
    const std::string former = bytesOf("save/P/S/game.sav");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(rPosix::opName(c.op)) + " fails with " + std::strerror(c.error));
        SaveList list;
        list.setProgramDirectory(rString(dir.c_str()));
        ASSERT_TRUE(list.scan());
        ASSERT_EQ(list.getCount(), 1u);
        ASSERT_TRUE(list.save(0)->addMod(list.mods.findByName("Mods\\B")));
        Refusal::part = c.part;
        Refusal::op = c.op;
        Refusal::error = c.error;
        Refusal::allowed = c.allowed;
        rPosix::setFaultHook(Refusal::hook);
        const bool written = list.saveAll();
        rPosix::setFaultHook(nullptr);
        if (written) {
            // A refusal that the writer could do without: the save must then be complete.
            EXPECT_EQ(bytesOf("save/P/S/game.sav"),
                      rewritten(former, {"Mods\\A", "Mods\\B"}, gamegen::entriesOffset + 7));
            ASSERT_TRUE(gamegen::writeFile(at("save/P/S/game.sav"), former));
            ASSERT_TRUE(gamegen::setModTime(at("save/P/S/game.sav"), 1068387394, 0));
        } else {
            EXPECT_EQ(list.save(0)->modified, 1u);
            EXPECT_EQ(bytesOf("save/P/S/game.sav"), former);
        }
        // The older backup may give way to the former file, never to anything else.
        const std::string backup = bytesOf("save/P/S/game.bak");
        EXPECT_TRUE(backup == former || (!written && backup == "the older backup"));
        // game.bak may be a second name of game.sav: it is replaced, never written through.
        std::filesystem::remove(at("save/P/S/game.bak"));
        ASSERT_TRUE(gamegen::writeFile(at("save/P/S/game.bak"), "the older backup"));
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(at("save/P/S")))
            names.insert(entry.path().filename().string());
        EXPECT_EQ(names, (std::set<std::string>{"game.bak", "game.sav"}));
    }
}

} // namespace
