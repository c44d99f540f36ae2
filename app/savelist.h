// app/savelist.h - the save catalogue: every game.sav below the program directory's save
// directory, and the mod catalogue they are resolved against.
#pragma once

#include "modlist.h"
#include "savegame.h"

class SaveList : public rObjArray {
public:
    SaveList() : rObjArray(10, 10) {}
    ~SaveList() override = default;

    // The program directory is the executable's unless one is set (tests, tools).
    void setProgramDirectory(const rString& directory);
    rString programDirectory() const;

    // Fills the mod catalogue, then reads every save; false when there is no save directory.
    bool scan();
    // Writes every modified save in list order; stops at the first failure.
    bool saveAll();
    // The save at which the last saveAll stopped; null after a success.
    SaveGame* failedSave() const { return failed; }
    SaveGame* save(uint32_t index) const { return static_cast<SaveGame*>(getAt(index)); }

    ModList mods;

private:
    rString root; // empty: the executable's directory
    SaveGame* failed = nullptr;
};
