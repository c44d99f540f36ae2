// tests/rlib/scratch_testutil.h - fixtures for the scratch-directory and temporary-file tests: a
// fresh directory as TMPDIR (the real temporary directory is never scanned), ids of processes
// that have ended, and the child program started with its standard streams on pipes.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class ScratchTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("TMPDIR");
        if (base != nullptr)
            savedTmp = base;
        std::string pattern =
            std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/rscratch-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        tmp = pattern;
        setenv("TMPDIR", tmp.c_str(), 1);
    }
    void TearDown() override {
        if (savedTmp)
            setenv("TMPDIR", savedTmp->c_str(), 1);
        else
            unsetenv("TMPDIR");
        const std::string command = "rm -rf '" + tmp + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    static std::string hex(unsigned id, const char* format = "%08X") {
        char text[32];
        std::snprintf(text, sizeof text, format, id);
        return text;
    }
    // The directory name a process with this id owns.
    std::string canonical(pid_t id) const { return tmp + "/" + hex(unsigned(id)); }
    // The id of a process that has run and ended (and been reaped).
    static pid_t endedProcess() {
        const pid_t pid = fork();
        if (pid == 0)
            _exit(0);
        int status = 0;
        waitpid(pid, &status, 0);
        return pid;
    }
    // The type and mode bits of what is at path, never following a link; 0 if nothing is.
    static unsigned status(const std::string& path) {
        struct stat st;
        return lstat(path.c_str(), &st) == 0 ? unsigned(st.st_mode) : 0;
    }
    static bool exists(const std::string& path) { return status(path) != 0; }
    static bool isDirectory(const std::string& path) { return S_ISDIR(status(path)); }
    static unsigned mode(const std::string& path) { return status(path) & 07777; }
    static void touch(const std::string& path, const char* text = "data") {
        std::ofstream(path) << text;
    }
    static std::string readAll(const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string tmp;
    std::optional<std::string> savedTmp;
};

// The child program (its own process, with the library's static objects). It reports its own
// directory, its temporary file, whether the file opened and the stored error code, then waits
// until told to end.
class Child {
public:
    ~Child() {
        if (pid > 0)
            kill9();
    }
    // beforeStart runs in the test once the id is known, before the program starts under it.
    bool start(const std::function<void(pid_t)>& beforeStart = {}) {
        int toChild[2], fromChild[2], go[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0 || pipe(go) != 0)
            return false;
        std::fflush(nullptr);
        pid = fork();
        if (pid == 0) {
            dup2(toChild[0], 0);
            dup2(fromChild[1], 1);
            char byte;
            close(go[1]);
            if (read(go[0], &byte, 1) != 1)
                _exit(120);
            for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1], go[0]})
                close(fd);
            execl(SCRATCH_CHILD, SCRATCH_CHILD, static_cast<char*>(nullptr));
            _exit(121);
        }
        close(toChild[0]);
        close(fromChild[1]);
        close(go[0]);
        input = toChild[1];
        output = fdopen(fromChild[0], "r");
        if (beforeStart)
            beforeStart(pid);
        const char byte = 1;
        const bool sent = write(go[1], &byte, 1) == 1;
        close(go[1]);
        if (!sent || output == nullptr)
            return false;
        directory = line();
        file = line();
        opened = line() == "1";
        error = unsigned(std::strtoul(line().c_str(), nullptr, 16));
        return true;
    }
    // Tells the program to end normally; its exit status, or -1.
    int finish() {
        if (write(input, "\n", 1) != 1)
            return -1;
        return reap();
    }
    // Ends the program abnormally.
    void kill9() {
        ::kill(pid, SIGKILL);
        reap();
    }

    pid_t pid = -1;
    std::string directory, file;
    bool opened = false;
    unsigned error = 0;

private:
    std::string line() {
        char text[4096];
        if (std::fgets(text, sizeof text, output) == nullptr)
            return {};
        std::string s(text);
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        return s;
    }
    int reap() {
        int status = 0;
        const pid_t done = waitpid(pid, &status, 0);
        pid = -1;
        if (input >= 0)
            close(input);
        if (output != nullptr)
            fclose(output);
        input = -1;
        output = nullptr;
        return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int input = -1;
    FILE* output = nullptr;
};
