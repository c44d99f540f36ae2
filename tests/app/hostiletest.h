// tests/app/hostiletest.h - the fixture of the tests in game directories that work against the
// catalogues and the writer: mods and saves made on demand, and the catalogue as text.
#pragma once

#include "gametest.h"
#include "savelist.h"
#include "writefault.h"

#include <set>
#include <string>
#include <vector>

// The catalogue of a game directory as text: each mod's name, then each save's label and list.
inline std::string catalogue(const std::string& directory) {
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

class HostileGameTest : public GameTest {
protected:
    void TearDown() override {
        writefault::stop();
        GameTest::TearDown();
    }
    void mod(const std::string& relative, const std::string& description = "about") {
        ASSERT_TRUE(gamegen::makeMod(dir, relative, description));
    }
    void save(const std::string& relative, const std::vector<std::string>& names) {
        ASSERT_TRUE(gamegen::writeSave(dir, relative, gamegen::Save::withNames(names, "tail", 5),
                                       1068387394, 0));
    }
};
