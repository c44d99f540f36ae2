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
    mods.scan(directory);

    // The save directory in any letter case, an exact "save" first.
    const rString saveDirectory = findNameAnyCase(directory, "save", rDirScan::modeDirectories);
    if (saveDirectory.isEmpty())
        return false;
    rString pattern = saveDirectory;
    pattern.addSeparator();
    pattern += "game.sav";
    rFileWalker walker(pattern.text(), rDirScan::modeFiles);
    while (walker.next()) {
        auto* save = new SaveGame();
        if (save->readFile(walker.currentPath().text(), mods))
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
