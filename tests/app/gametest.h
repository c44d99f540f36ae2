// tests/app/gametest.h - the core tests' fixture: a fresh game directory per test, in UTC.
#pragma once

#include "gamegen.h"
#include "rstring.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

class GameTest : public ::testing::Test {
protected:
    void SetUp() override {
        gamegen::useUtcTimeZone();
        dir = gamegen::makeTempDirectory("tarvex-core-");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { gamegen::removeTree(dir); }

    // The path of a file in the game directory, with the system's own separators.
    std::string at(const std::string& relative) const {
        std::string path = dir + "/" + relative;
        std::replace(path.begin(), path.end(), '/', gamegen::pathSeparator());
        return path;
    }
    std::string bytesOf(const std::string& relative) const {
        return gamegen::readFile(at(relative)).value_or("<missing>");
    }
    // The file a write must produce from the former bytes, the new names and the tail offset.
    static std::string rewritten(const std::string& former, const std::vector<std::string>& names,
                                 size_t tailOffset) {
        std::string out = former.substr(0, 4);
        const uint32_t count = uint32_t(names.size());
        for (int k = 0; k < 4; ++k)
            out += char((count >> (8 * k)) & 0xFF);
        out += former.substr(8, gamegen::entriesOffset - 8);
        for (const auto& name : names)
            out += char(name.size() * 2) + name;
        return out + former.substr(tailOffset);
    }

    std::string dir;
};
