// app/savelist.cpp - the save catalogue: loads the mod catalogue, then reads every game.sav below
// the program directory's save directory; writes the modified saves back.
#include "savelist.h"

#include "rdirscan.h"
#include "rsystem.h"

#undef R_MODULE
#define R_MODULE "app/savelist"

void SaveList::setProgramDirectory(const rString& directory) {
    root = directory;
}

rString SaveList::programDirectory() const {
    rString directory = root.isEmpty() ? moduleFileName().getDirectory() : root;
    directory.addSeparator();
    return directory;
}

bool SaveList::scan() {
    // Saves refer to mods: forget them first.
    deleteAll();
    failed = nullptr;
    mods.deleteAll();
    const rString directory = programDirectory();

    // The save directory in any letter case, an exact "save" first.
    const rString saveDirectory = findNameAnyCase(directory, "save", rDirScan::modeDirectories);
    rString pattern;
    if (!saveDirectory.isEmpty()) {
        pattern = saveDirectory;
        pattern.addSeparator();
        pattern += "game.sav";
    }
    // One walk finds the mods and the saves. Where it met a directory a second time (a link), a
    // walk of the save directory alone could enter what the full walk had entered outside it:
    // then the saves come from that walk, as they would without the shared one.
    rObjArray paths(0, 64);
    bool complete = false;
    mods.scan(directory, pattern, paths, complete);
    if (saveDirectory.isEmpty())
        return false;
    if (!complete) {
        paths.deleteAll();
        rFileWalker walker(pattern.text(), rDirScan::modeFiles | rDirScan::modeNamesOnly);
        while (walker.next())
            paths.add(new rString(walker.currentPath()));
    }
    for (uint32_t i = 0; i < paths.getCount(); ++i) {
        auto* save = new SaveGame();
        if (save->readFile(static_cast<rString*>(paths.getAt(i))->text(), mods))
            add(save);
        else
            delete save;
    }
    return true;
}

bool SaveList::saveAll() {
    failed = nullptr;
    for (uint32_t i = 0; i < getCount(); ++i)
        if (save(i)->modified != 0 && !save(i)->writeFile()) {
            failed = save(i);
            return false;
        }
    return true;
}
