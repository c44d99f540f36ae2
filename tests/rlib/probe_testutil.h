// tests/rlib/probe_testutil.h - runs the probe program as a child process from a copy in a fresh
// directory (whose name holds a dot, blanks and a semicolon), with the sanitizer's own fault
// handling off, and reads what it printed and wrote.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

struct ProbeRun {
    int status = 0;
    std::string out;
    std::string err;
    std::map<std::string, uint64_t> values; // the "name hex" lines it printed
    time_t started = 0;
    time_t ended = 0;

    bool abnormalEnd(int sig) const { return WIFSIGNALED(status) && WTERMSIG(status) == sig; }
    bool exitedWith(int code) const { return WIFEXITED(status) && WEXITSTATUS(status) == code; }
    uint64_t value(const std::string& name) const {
        const auto found = values.find(name);
        return found != values.end() ? found->second : 0;
    }
};

class ProbeTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/rcrash-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        base = pattern;
        dir = base + "/Ver. 2.; touch injected";
        std::filesystem::create_directories(dir);
        exe = dir + "/crashprobe";
        std::filesystem::copy_file(CRASHPROBE, exe);
    }
    void TearDown() override { std::filesystem::remove_all(base); }

    void addFeedback() { std::filesystem::copy_file(FEEDBACKPROBE, dir + "/Feedback.exe"); }

    // Runs the probe with one argument; it gets no core file and TZ=UTC0.
    ProbeRun run(const std::string& mode) {
        std::vector<std::string> env;
        std::string asan;
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::strncmp(*e, "ASAN_OPTIONS=", 13) == 0)
                asan = *e + 13;
            else if (std::strncmp(*e, "TZ=", 3) != 0)
                env.push_back(*e);
        }
        // The probe's own handler must see the faults, on its own alternate stack.
        env.push_back("ASAN_OPTIONS=" + asan + (asan.empty() ? "" : ":") +
                      "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:"
                      "use_sigaltstack=0");
        env.push_back("TZ=UTC0");
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string outName = base + "/stdout", errName = base + "/stderr";
        std::string program = exe, argument = mode;
        char* argv[] = {program.data(), argument.data(), nullptr};
        ProbeRun result;
        result.started = time(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            const struct rlimit noCore = {0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            const int out = open(outName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(err, 2);
            execve(program.c_str(), argv, envp.data());
            _exit(127);
        }
        EXPECT_GT(child, 0);
        waitpid(child, &result.status, 0);
        result.ended = time(nullptr);
        result.out = readFile(outName);
        result.err = readFile(errName);
        std::istringstream lines(result.out);
        std::string name, value;
        while (lines >> name >> value)
            result.values[name] = std::strtoull(value.c_str(), nullptr, 16);
        // A sanitizer report would also end the probe abnormally: it must not be the reason.
        EXPECT_EQ(result.err.find("Sanitizer"), std::string::npos) << result.err;
        return result;
    }

    static std::string readFile(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The file's lines split at LF; a CR before the LF stays in the line.
    static std::vector<std::string> lines(const std::string& name) {
        std::vector<std::string> result;
        std::istringstream in(readFile(name));
        std::string line;
        while (std::getline(in, line))
            result.push_back(line);
        return result;
    }
    // Waits (up to 20 s) until file has n lines; returns its lines.
    static std::vector<std::string> awaitLines(const std::string& name, size_t n) {
        for (int i = 0; i < 2000 && lines(name).size() < n; ++i)
            usleep(10000);
        return lines(name);
    }
    // "0x" and the value in upper-case hexadecimal, at least 8 digits.
    static std::string hex(uint64_t v) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(v));
        return text;
    }
    // Whether text is the asctime form (day of month with two digits) of a second of the run.
    static bool isTimeOfRun(const std::string& text, const ProbeRun& r) {
        for (time_t t = r.started; t <= r.ended; ++t) {
            struct tm utc;
            gmtime_r(&t, &utc);
            char stamp[64];
            std::strftime(stamp, sizeof stamp, "%a %b %d %H:%M:%S %Y", &utc);
            if (text == stamp)
                return true;
        }
        return false;
    }

    std::string base; // removed at the end
    std::string dir;  // holds the probe
    std::string exe;
};
