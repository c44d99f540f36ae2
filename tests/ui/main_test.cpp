// tests/ui/main_test.cpp - the program itself, started as its own process in a game directory:
// its static objects remove a stale scratch directory at start, own the process's scratch
// directory while the dialog is open, and remove it at the normal end that the session's end
// signal brings about; no save is changed.
#include "../app/gametest.h"
#include "gamegen.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

std::string hex8(pid_t id) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", unsigned(id));
    return text;
}

pid_t spawn(const std::string& program, const std::vector<std::string>& extraEnvironment) {
    std::vector<std::string> env(extraEnvironment);
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        if (entry.rfind("TMPDIR=", 0) != 0 && entry.rfind("QT_QPA_PLATFORM=", 0) != 0)
            env.push_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string name = program;
    char* argv[] = {name.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
        return -1;
    return pid;
}

// Whether the process has installed its own handler for the signal.
bool catches(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

bool running(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

class ProgramTest : public GameTest {};

} // namespace

TEST_F(ProgramTest, OwnsItsScratchDirectoryWhileOpenAndRemovesItAtTheEnd) {
    ASSERT_TRUE(gamegen::makeMod(dir, "Mods/Alpha", "Alpha"));
    using gamegen::Save;
    ASSERT_TRUE(gamegen::writeSave(dir, "save/P/One", Save::withNames({"Mods\\Alpha"}, "", 1),
                                   1000000000, 0));
    const std::string save = bytesOf("save/P/One/game.sav");
    // The program works from its own directory: a copy of it goes into the game directory.
    const std::string program = at("tarvex");
    fs::copy_file(TARVEX_PROGRAM, program);
    const std::string tmp = at("tmp");
    ASSERT_TRUE(fs::create_directory(tmp));

    // Left behind by a process that has ended.
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    const std::string stale = tmp + "/" + hex8(ended);
    ASSERT_TRUE(fs::create_directory(stale));
    std::ofstream(stale + "/left.tmp") << "x";

    const pid_t pid = spawn(program, {"TMPDIR=" + tmp, "QT_QPA_PLATFORM=offscreen"});
    ASSERT_GT(pid, 0);
    const std::string own = tmp + "/" + hex8(pid);
    // Ready when it has its own handler for the end signal: the dialog is being shown.
    const auto start = std::chrono::steady_clock::now();
    while (running(pid) && !catches(pid, SIGTERM) &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
        std::this_thread::sleep_for(milliseconds(10));
    ASSERT_TRUE(running(pid));
    ASSERT_TRUE(catches(pid, SIGTERM));
    EXPECT_FALSE(fs::exists(stale));
    struct stat st;
    ASSERT_EQ(lstat(own.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_TRUE(fs::is_directory(own)); // still there while the dialog is open

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fs::exists(own));
    EXPECT_EQ(bytesOf("save/P/One/game.sav"), save);
    EXPECT_FALSE(fs::exists(at("save/P/One/game.bak")));
}
