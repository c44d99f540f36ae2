// app/modlist.cpp - the mod catalogue: finds every game.db below the program directory and reads
// each mod's description.txt into one line.
#include "modlist.h"

#include "rcodepage.h"
#include "rdirscan.h"
#include "rstream.h"
#include "rsystem.h"

#include <cstring>

#undef R_MODULE
#define R_MODULE "app/modlist"

ModInfo::ModInfo(const rString& modName, const rString& modDescription)
    : name(modName), description(modDescription) {
    name.setUnixStyle(false);
}

rString findNameAnyCase(const rString& directory, const char* name, uint32_t mode) {
    rString pattern = directory;
    pattern.addSeparator();
    pattern += name;
    rDirScan scan(pattern.text(), mode);
    rString found;
    while (scan.next()) {
        rString entryName = scan.entry().name;
        entryName.removeSeparator();
        if (entryName == name)
            return scan.currentPath();
        if (found.isEmpty())
            found = scan.currentPath();
    }
    return found;
}

bool ModList::storedName(const rString& relativePath, rString& out) {
    rString converted;
    switch (utf8ToCp1251(relativePath.text(), relativePath.length(), converted)) {
    case rUtf8Result::converted:
        break;
    case rUtf8Result::notUtf8: // a name in a legacy encoding is taken byte for byte
        converted = relativePath;
        break;
    case rUtf8Result::unmappable:
        return false;
    }
    const char separator = relativePath.getSeparator();
    rString stored;
    for (uint32_t i = 0; i < converted.length(); ++i) {
        const char byte = converted.text()[i];
        if (static_cast<unsigned char>(byte) < 0x20) // would end the list when read back
            return false;
        stored += byte == separator ? '\\' : byte;
    }
    if (stored.isEmpty() || stored.length() > 127)
        return false;
    out = stored;
    out.setUnixStyle(false);
    return true;
}

bool ModList::scan() {
    rString directory = moduleFileName().getDirectory();
    return scan(directory);
}

bool ModList::scan(const rString& programDirectory) {
    rObjArray none(0, 0);
    bool complete = false;
    return scan(programDirectory, rString(), none, complete);
}

namespace {

// The mod of a game.db found at markerPath, described by the file at descriptionPath (empty:
// none); null when it is no mod (the program directory's own marker, a name that cannot be
// stored, no description, or a blank one).
ModInfo* modAt(const rString& base, const rString& markerPath, const rString& descriptionPath,
               rFile& file, rString& line) {
    if (markerPath.length() <= base.length() ||
        std::memcmp(markerPath.text(), base.text(), base.length()) != 0)
        return nullptr;
    rString relative =
        markerPath.right(int32_t(markerPath.length() - base.length())).getDirectory();
    relative.removeSeparator();
    if (relative.isEmpty()) // the program directory's own game.db
        return nullptr;
    rString name;
    if (!ModList::storedName(relative, name))
        return nullptr;

    rString description;
    if (!descriptionPath.isEmpty() && file.open(descriptionPath.text(), rFile::modeRead)) {
        while (!file.hasError()) {
            file.readLine(line);
            description += ' ';
            description += line;
        }
    }
    file.close();
    description.trim();
    if (description.isEmpty())
        return nullptr;
    return new ModInfo(name, description);
}

} // namespace

bool ModList::scan(const rString& programDirectory, const rString& savePattern,
                   rObjArray& savePaths, bool& savesComplete) {
    rString base = programDirectory;
    base.makeAbsolute();
    base.addSeparator();
    // The walk reports markers and descriptions: a directory's description is known when its
    // listing ends, without listing it again.
    rString pattern = base;
    pattern += "game.db;description.txt";

    // The saves' directory as a walk of it alone would spell it, and the saves' file name.
    const bool withSaves = !savePattern.isEmpty();
    rString savePrefix;
    rString saveName;
    if (withSaves) {
        const rDirScan saveScan(savePattern.text(), rDirScan::modeFiles);
        savePrefix = saveScan.directoryPath();
        savePrefix.addSeparator();
        saveName = saveScan.namePattern();
        pattern += ';';
        pattern += saveName;
    }

    // Only names and paths are used: no status call for entries the listing typed.
    rFileWalker walker(pattern.text(), rDirScan::modeFiles | rDirScan::modeNamesOnly);
    rFile file(-1, rStream::defaultCapacity);
    rString line;
    // The directory being listed: its game.db files (each one a mod, named alike) and its
    // description in any letter case, the exact name first, else the first one listed.
    rString directory;
    rString markerPath;
    uint32_t markers = 0;
    rString descriptionPath;
    bool exactDescription = false;
    auto finishDirectory = [&] {
        for (uint32_t k = 0; k < markers; ++k)
            if (ModInfo* found = modAt(base, markerPath, descriptionPath, file, line))
                add(found);
        markers = 0;
        markerPath.clear();
        descriptionPath.clear();
        exactDescription = false;
    };
    while (walker.next()) {
        if (!(walker.directoryPath() == directory.text())) {
            finishDirectory();
            directory = walker.directoryPath();
        }
        const rString& entryName = walker.entry().name;
        if (withSaves && entryName.matches(saveName.text())) {
            const rString path = walker.currentPath();
            if (path.length() > savePrefix.length() &&
                std::memcmp(path.text(), savePrefix.text(), savePrefix.length()) == 0)
                savePaths.add(new rString(path));
        } else if (entryName.matches("description.txt")) {
            if (!exactDescription &&
                (entryName == "description.txt" || descriptionPath.isEmpty())) {
                exactDescription = entryName == "description.txt";
                descriptionPath = walker.currentPath();
            }
        } else if (markers++ == 0) {
            markerPath = walker.currentPath();
        }
    }
    finishDirectory();
    savesComplete = walker.revisits() == 0;
    reindex();
    return true;
}

namespace {

// A hash of the text folded by the case rule, so that names equal under compareNoCase meet.
uint32_t foldedHash(const char* text) {
    uint32_t h = 2166136261u;
    for (const auto* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p)
        h = (h ^ foldUpper(*p)) * 16777619u;
    return h ^ (h >> 15);
}

} // namespace

void ModList::reindex() {
    indexed = 0;
    uint32_t size = 16;
    while (size < getCount() * 2)
        size *= 2;
    if (!index.setLimit(size)) {
        index.clearError(); // no memory: findByName searches in order
        return;
    }
    uint32_t* slots = index.getItems();
    std::memset(slots, 0, size * sizeof(uint32_t));
    for (uint32_t i = 0; i < getCount(); ++i) {
        const rString& name = mod(i)->name;
        uint32_t s = foldedHash(name.text()) & (size - 1);
        // A name equal to an earlier one under the case rule keeps the earlier mod.
        while (slots[s] != 0 && mod(slots[s] - 1)->name.compareNoCase(name.text()) != 0)
            s = (s + 1) & (size - 1);
        if (slots[s] == 0)
            slots[s] = i + 1;
    }
    indexed = getCount();
}

ModInfo* ModList::findByName(const char* name) const {
    if (name == nullptr)
        return nullptr;
    if (indexed != getCount() || indexed == 0) {
        for (uint32_t i = 0; i < getCount(); ++i)
            if (mod(i)->name.compareNoCase(name) == 0)
                return mod(i);
        return nullptr;
    }
    const uint32_t mask = index.getLimit() - 1;
    const uint32_t* slots = index.getItems();
    for (uint32_t s = foldedHash(name) & mask; slots[s] != 0; s = (s + 1) & mask)
        if (mod(slots[s] - 1)->name.compareNoCase(name) == 0)
            return mod(slots[s] - 1);
    return nullptr;
}
