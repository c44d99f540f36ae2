// app/savegame.h - one saved game: the mod list stored in its game.sav, read, edited and written
// back without losing a byte of the rest.
#pragma once

#include "modlist.h"
#include "rdatetime.h"

class SaveGame : public rObject {
public:
    SaveGame();
    ~SaveGame() override = default;

    bool readFile(const char* savePath, const ModList& mods);
    rString label() const;
    int32_t indexOf(const ModInfo* mod) const;
    bool addMod(ModInfo* mod);
    bool removeMod(ModInfo* mod);
    bool swapMods(ModInfo* a, ModInfo* b);
    bool writeFile();

    // Offsets of the mod list inside game.sav.
    static constexpr uint32_t countOffset = 4;
    static constexpr uint32_t entriesOffset = 256008;

    rString path;            // full path of game.sav
    int32_t tailOffset = 0;  // where the bytes after the accepted entries begin
    rArray<ModInfo*> installed{10, 10};
    uint32_t modified = 0;
    rDateTime time{1901, 1, 1, 0, 0, 0};
    rString group;           // name of the directory two levels above game.sav
};
