// app/savegame.h - one saved game: the mod list stored in its game.sav, read, edited and written
// back without losing a byte of the rest.
#pragma once

#include "modlist.h"
#include "rdatetime.h"

#include <vector>

class rFile;

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

    rString path;           // full path of game.sav
    int32_t tailOffset = 0; // where the bytes after the accepted entries begin
    rArray<ModInfo*> installed{10, 10};
    uint32_t modified = 0;
    rDateTime time{1901, 1, 1, 0, 0, 0};
    rString group; // name of the directory two levels above game.sav

    // The file as it was when read: a write refuses a file that changed since, and gives the new
    // file the same permission bits and modification time (to the nanosecond, any year).
    struct FileStamp {
        bool known = false;
        int64_t size = 0;
        int64_t seconds = 0; // modification time since 1970-01-01 UTC
        int64_t nanoseconds = 0;
        uint32_t permissions = 0;
    };
    FileStamp stamp;

    // The reader's buffer: the header and the entries of a save fit in one fill each.
    static constexpr uint32_t readBufferSize = 4096;

    // Longest name a length byte can describe.
    static constexpr uint32_t maxNameLength = 127;

    // The stored names (code page 1251) of the entries that matched no mod when the file was
    // read, in file order. They are not part of installed, so a write leaves them out.
    rObjArray missing{4, 4};
    const rString& missingName(uint32_t index) const {
        return *static_cast<const rString*>(missing.getAt(index));
    }

    // Why the last writeFile failed; none after a success.
    enum class WriteFailure {
        none,
        changedOnDisk, // the file is no longer the one that was read
        tooShort,      // the file ends before the mod list
        badName,       // an installed name cannot be stored
        system,        // an operating-system call failed with writeErrno
    };
    WriteFailure writeFailure = WriteFailure::none;
    int writeErrno = 0;

private:
    // The platform's part: the reading hint, and the safe replacement of game.sav.
    static void adviseSparseReading(const rFile& file);
    bool replaceFile();
    // Whether the file found now is the one that was read, with room for the entries; sets
    // writeFailure when it is not.
    bool stillAsRead(const FileStamp& now);
    // The stored list: the count's 4 bytes (little-endian), and the entries that follow.
    void storedList(char count[4], std::vector<char>& entries) const;
};
