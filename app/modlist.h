// app/modlist.h - the mod catalogue: every directory below the program directory that holds a
// game.db, named by its relative path and described by its description.txt.
#pragma once

#include "rarray.h"
#include "rstring.h"

class ModInfo : public rObject {
public:
    ModInfo(const rString& modName, const rString& modDescription);

    rString name;        // relative path, '\' between components, code page 1251
    rString description; // description.txt as one trimmed line, the file's own bytes
};

class ModList : public rObjArray {
public:
    ModList() : rObjArray(10, 10) {}
    ~ModList() override = default;

    // Fills the catalogue from the executable's directory, or from the given program directory.
    bool scan();
    bool scan(const rString& programDirectory);
    // The same walk also collects, in walk order, every file that savePattern (a directory and
    // a name) names in that directory or below it, into savePaths as rString objects. The walk
    // enters each directory once: savesComplete is false when it left one out because it had
    // entered it before, in which case a walk of the save directory alone may find more.
    bool scan(const rString& programDirectory, const rString& savePattern, rObjArray& savePaths,
              bool& savesComplete);
    // The first mod in catalogue order whose name equals name under the case rule.
    ModInfo* findByName(const char* name) const;
    ModInfo* mod(uint32_t index) const { return static_cast<ModInfo*>(getAt(index)); }
    // Rebuilds the lookup index over the whole list (scan does this); until then, and after any
    // change of the list's length, findByName searches the list in order.
    void reindex();

    // The form in which a directory's relative path is stored in saves: '\' between components,
    // code page 1251; false when it cannot be stored (no 1251 form, over 127 bytes, a control
    // byte).
    static bool storedName(const rString& relativePath, rString& out);

private:
    // Open addressing over the folded names: slot = 1 + the index of the first mod with that
    // name, 0 for an empty slot; the table has a power-of-two size at least twice the count.
    rArray<uint32_t> index{0, 0};
    uint32_t indexed = 0; // list length the index was built for
};

// The full path of the entry called name in directory, found in any letter case (an exact match
// wins over others); empty when there is none. mode: rDirScan's kind filter.
rString findNameAnyCase(const rString& directory, const char* name, uint32_t mode);
