// tests/rlib/tempdir_testutil.h - the portable fixture of the stream, file and date tests: a
// fresh temporary directory, whole-file helpers and a fixed time zone.
#pragma once

#include "platform_testutil.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>

// A directory below the temporary one ($TMPDIR or /tmp on POSIX systems) that did not exist
// before, named prefix and a random number; empty when none could be made.
inline std::string freshTempDirectory(const char* prefix) {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / (prefix + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error))
            return candidate.string();
    }
    return {};
}

// The current directory moved into a fresh temporary directory for a test's lifetime; the
// directory goes with everything in it at the end.
struct CurrentDirectory {
    CurrentDirectory() {
        const std::string made = freshTempDirectory("rpath-");
        EXPECT_FALSE(made.empty());
        std::filesystem::current_path(made);
        path = std::filesystem::current_path().string();
    }
    ~CurrentDirectory() {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(path);
    }
    std::filesystem::path previous = std::filesystem::current_path();
    std::string path;
};

// A fresh directory below the temporary directory ($TMPDIR or /tmp on POSIX systems), removed
// with its files at the end; the time zone is UTC; no failures are injected after the test.
class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = freshTempDirectory("rstream-test-");
        ASSERT_FALSE(dir.empty());
        setTimeZone("UTC0");
    }
    void TearDown() override {
        setFaultDecider(nullptr); // a test's injected failures end with it
        std::error_code error;
        std::filesystem::remove_all(dir, error);
        EXPECT_FALSE(error) << error.message();
    }
    std::string path(const char* name) const {
        return (std::filesystem::path(dir) / name).string();
    }

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
