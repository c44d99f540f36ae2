// app/savegame.cpp - one saved game: reads the mod list of game.sav (count at offset 4, entries
// from offset 256008), edits it, and hands it to the safe writer.
#include "savegame.h"

#include "rstream.h"

#include <cerrno>
#include <cstring>

#undef R_MODULE
#define R_MODULE "app/savegame"

SaveGame::SaveGame() {}

bool SaveGame::readFile(const char* savePath, const ModList& mods) {
    modified = 0;
    path = savePath;
    installed.clear();
    missing.deleteAll();
    stamp = FileStamp();
    tailOffset = 0;
    time.reset();

    // Only the header and the entries are read: a small buffer, and no read-ahead past them.
    rFile file(-1, readBufferSize);
    bool ok = file.open(savePath, rFile::modeRead);
    if (ok) {
        rFileStatus st; // the status taken by the open: the file as it was read
        ok = file.openedStatus(st) && st.regular;
        if (ok) {
            stamp.known = true;
            stamp.size = st.size;
            stamp.seconds = st.modificationTime.seconds;
            stamp.nanoseconds = st.modificationTime.nanoseconds;
            stamp.permissions = st.permissions;
        }
        // The modification time as getTime gives it, from the status just taken.
        rDateTime fileTime{1901, 1, 1, 0, 0, 0};
        if (ok && time_t(stamp.seconds) == stamp.seconds) // a narrow time_t would wrap
            fileTime.setTimeT(time_t(stamp.seconds));
        time = fileTime;
        adviseSparseReading(file);
    }
    uint32_t head = 0;
    uint32_t count = 0;
    // A file too short for its count is no save (a later seek would forget the end of data).
    ok = ok && file.readInt(head) && file.readInt(count);
    if (ok) {
        ok = file.seek(entriesOffset, 0) == int64_t(entriesOffset);
        tailOffset = int32_t(entriesOffset);

        rString directory = path.getDirectory();
        directory.removeSeparator();
        directory = directory.getDirectory();
        directory.removeSeparator();
        group = directory.getBaseName();

        char name[256];
        for (uint32_t i = 0; ok && i < count; ++i) {
            tailOffset = int32_t(file.tell());
            unsigned char lengthByte = 0;
            std::memset(name, 0, sizeof name);
            if (!file.readExact(&lengthByte, 1)) {
                ok = false;
                break;
            }
            const uint32_t length = lengthByte >> 1; // the lowest bit carries nothing
            if (!file.readExact(name, length)) {
                ok = false;
                break;
            }
            bool valid = true;
            for (uint32_t k = 0; k < length; ++k)
                valid = valid && static_cast<unsigned char>(name[k]) >= 0x20;
            if (!valid) // this entry and the rest stay in the remainder
                break;
            if (ModInfo* mod = mods.findByName(name))
                installed.add(mod);
            else
                missing.add(new rString(name, length));
            tailOffset = int32_t(file.tell());
        }
    }
    ok = ok && !file.hasError();
    file.close();
    return ok;
}

rString SaveGame::label() const {
    rString slot = path.getDirectory();
    slot.removeSeparator();
    slot = slot.getFileName();
    rString text;
    rString::format(text, "[%04u/%02u/%02u %02u:%02u:%02u %s] %s", time.getYear() + 1901,
                    time.getMonth(), time.getDay(), time.getHour(), time.getMinute(),
                    time.getSecond(), group.text(), slot.text());
    return text;
}

int32_t SaveGame::indexOf(const ModInfo* mod) const {
    for (uint32_t i = 0; i < installed.getCount(); ++i)
        if (installed[i] == mod)
            return int32_t(i);
    return -1;
}

bool SaveGame::addMod(ModInfo* mod) {
    // A name that its length byte cannot describe is never taken into a save.
    if (mod == nullptr || mod->name.length() > maxNameLength || indexOf(mod) >= 0)
        return false;
    installed.add(mod);
    modified = 1;
    return true;
}

bool SaveGame::removeMod(ModInfo* mod) {
    const int32_t index = mod != nullptr ? indexOf(mod) : -1;
    if (index < 0)
        return false;
    installed.remove(uint32_t(index));
    modified = 1;
    return true;
}

bool SaveGame::swapMods(ModInfo* a, ModInfo* b) {
    const int32_t first = a != nullptr ? indexOf(a) : -1;
    const int32_t second = b != nullptr ? indexOf(b) : -1;
    if (first < 0 || second < 0)
        return false;
    ModInfo** items = installed.getItems();
    items[first] = b;
    items[second] = a;
    modified = 1;
    return true;
}

bool SaveGame::stillAsRead(const FileStamp& now) {
    if (!stamp.known || now.size != stamp.size || now.seconds != stamp.seconds ||
        now.nanoseconds != stamp.nanoseconds) {
        writeFailure = WriteFailure::changedOnDisk;
        return false;
    }
    // A file that ends before the entries (a count of 0 on a short file) has no place for them.
    if (now.size < int64_t(entriesOffset) || tailOffset < int32_t(entriesOffset) ||
        int64_t(tailOffset) > now.size) {
        writeFailure = WriteFailure::tooShort;
        return false;
    }
    return true;
}

void SaveGame::storedList(char count[4], std::vector<char>& entries) const {
    const uint32_t n = installed.getCount();
    for (int k = 0; k < 4; ++k)
        count[k] = char((n >> (8 * k)) & 0xFF);
    entries.clear();
    for (uint32_t i = 0; i < n; ++i) {
        const rString& name = installed[i]->name;
        entries.push_back(char(name.length() * 2));
        entries.insert(entries.end(), name.text(), name.text() + name.length());
    }
}

bool SaveGame::writeFile() {
    writeFailure = WriteFailure::none;
    writeErrno = 0;
    // Every entry must read back as written: a length byte holds at most 127, and a byte below
    // 0x20 would end the list.
    for (uint32_t i = 0; i < installed.getCount(); ++i) {
        const ModInfo* mod = installed[i];
        bool storable = mod != nullptr && mod->name.length() <= maxNameLength;
        for (uint32_t k = 0; storable && k < mod->name.length(); ++k)
            storable = static_cast<unsigned char>(mod->name.text()[k]) >= 0x20;
        if (!storable) {
            writeFailure = WriteFailure::badName;
            return false;
        }
    }
    errno = 0;
    if (replaceFile())
        return true;
    // The writer names the failures it finds itself; any other is the failed call's errno.
    if (writeFailure == WriteFailure::none) {
        writeFailure = WriteFailure::system;
        writeErrno = errno;
    }
    return false;
}
