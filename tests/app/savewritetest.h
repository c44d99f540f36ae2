// tests/app/savewritetest.h - the writer tests' fixture: a game of three mods with one save in
// save/P/S, written with a known time.
#pragma once

#include "gametest.h"
#include "savelist.h"

#include <filesystem>
#include <set>
#include <string>

class SaveWriteTest : public GameTest {
protected:
    // The finest step of a file time: 100 ns on Windows, 1 ns on POSIX systems.
    static inline const long timeStep = gamegen::pathSeparator() == '\\' ? 100 : 1;
    // A save's time below the second, which a write must keep to the last step.
    static inline const long keptNanoseconds = 987654321 / timeStep * timeStep;

    void SetUp() override {
        GameTest::SetUp();
        for (const char* mod : {"Mods/Alpha", "Mods/Beta", "Extra"})
            ASSERT_TRUE(gamegen::makeMod(dir, mod, std::string("about ") + mod));
    }

    // One save in save/P/S with a known time; returns its bytes.
    std::string makeSave(const gamegen::Save& content, int64_t seconds = 1068387394,
                         long nanoseconds = keptNanoseconds) {
        EXPECT_TRUE(gamegen::writeSave(dir, "save/P/S", content, seconds, nanoseconds));
        return gamegen::saveBytes(content);
    }
    SaveGame* scanOne() {
        list.setProgramDirectory(rString(dir.c_str()));
        EXPECT_TRUE(list.scan());
        EXPECT_EQ(list.getCount(), 1u);
        return list.getCount() == 1 ? list.save(0) : nullptr;
    }
    ModInfo* mod(const char* name) { return list.mods.findByName(name); }
    void expectTime(int64_t seconds, long nanoseconds) {
        int64_t s = 0;
        long ns = 0;
        ASSERT_TRUE(gamegen::getModTime(at("save/P/S/game.sav"), &s, &ns));
        EXPECT_EQ(s, seconds);
        EXPECT_EQ(ns, nanoseconds);
    }
    std::set<std::string> filesInSaveDirectory() {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(at("save/P/S")))
            names.insert(entry.path().filename().string());
        return names;
    }

    SaveList list;
    const std::set<std::string> both{"game.bak", "game.sav"};
};

// A tail of n bytes that differ from their neighbours.
inline std::string tailBytes(size_t n) {
    std::string tail;
    for (size_t i = 0; i < n; ++i)
        tail += char(i * 7 + 3);
    return tail;
}
