// tests/rlib/stream_testutil.h - fixtures for the stream, file and date tests: a fresh temporary
// directory, whole-file helpers, a fixed time zone and injected system-call failures.
#pragma once

#include "rposix.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <time.h>
#include <unistd.h>

// A fresh directory below $TMPDIR (or /tmp), removed with its files at the end; TZ is fixed.
class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/rstream-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override {
        rPosix::setFaultHook(nullptr);
        const std::string command = "rm -rf '" + dir + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    std::string path(const char* name) const { return dir + "/" + name; }

public:
    static void writeAll(const std::string& file, const std::string& bytes) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }
    static std::string readAll(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Bytes 0, 1, 2, ... n-1 (mod 256).
    static std::string counting(size_t n) {
        std::string s(n, 0);
        for (size_t i = 0; i < n; ++i)
            s[i] = char(i);
        return s;
    }

protected:
    std::string dir;
};

// Injected failures: calls of one kind fail with EIO once `after` of them have run; every call
// is counted by kind.
struct Faults {
    static inline rPosix::Op failing = rPosix::Op::count_;
    static inline int after = 0;
    static inline int calls[int(rPosix::Op::count_)] = {};

    static int hook(rPosix::Op op, const char*) {
        ++calls[int(op)];
        if (op != failing)
            return 0;
        return after-- > 0 ? 0 : 5; // EIO
    }
    // Start counting (and failing `op` after `skip` calls; count_ fails nothing).
    static void arm(rPosix::Op op = rPosix::Op::count_, int skip = 0) {
        failing = op;
        after = skip;
        for (int& c : calls)
            c = 0;
        rPosix::setFaultHook(&hook);
    }
    static int count(rPosix::Op op) { return calls[int(op)]; }
};

// Ends the test process with SIGALRM when a test outlives its time: a hang fails instead of
// blocking the run.
class Watchdog {
public:
    explicit Watchdog(unsigned seconds) { alarm(seconds); }
    ~Watchdog() { alarm(0); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
};
