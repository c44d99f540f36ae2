// rLib/rdirscan_win32.cpp - rLocalFileSystem over FindFirstFileW/FindNextFileW, with names
// converted from UTF-16 to code page 1251 by the library's own tables.
#include "rdirscan.h"
#include "rwin32.h"

#include <cstring>
#include <ctime>
#include <string>

#define R_MODULE "rLib/rdirscan"

namespace {

struct rLocalSearch : public rSearch {
    HANDLE find = INVALID_HANDLE_VALUE;
    bool pending = false; // data holds an entry not yet handed out (the first one)
    WIN32_FIND_DATAW data{};
    std::wstring directory; // the directory read, for its identity
    ~rLocalSearch() override {
        if (find != INVALID_HANDLE_VALUE)
            rWin32::findClose(find);
    }
};

bool hasExecutableExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr || dot == name || std::strlen(dot + 1) != 3)
        return false;
    char ext[4] = {char(foldUpper(dot[1])), char(foldUpper(dot[2])), char(foldUpper(dot[3])), 0};
    return std::strcmp(ext, "EXE") == 0 || std::strcmp(ext, "COM") == 0 ||
           std::strcmp(ext, "BAT") == 0;
}

// Seconds since 1970 of a file time.
int64_t secondsOf(const FILETIME& ft) {
    const uint64_t t = (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return int64_t(t / 10000000u) - 11644473600LL;
}

} // namespace

rLocalFileSystem::rLocalFileSystem() : rFileSystem(0) {}

rSearch* rLocalFileSystem::findFirst(const rString& directory) {
    rString path(directory);
    path.setUnixStyle(false);
    path.makeAbsolute(currentDirectory().text());
    path.removeSeparator();
    rLocalSearch* search = new rLocalSearch;
    search->directory = rWide::Text(path.text()).get();
    const std::wstring pattern = search->directory + L"\\*";
    search->find = rWin32::findFirstFile(pattern.c_str(), search->data);
    if (search->find == INVALID_HANDLE_VALUE) {
        delete search;
        return nullptr;
    }
    search->pending = true;
    return search;
}

void rLocalFileSystem::findClose(rSearch*& search) {
    delete search;
    search = nullptr;
}

bool rLocalFileSystem::findNext(rSearch* search, rFileInfo* entry) {
    if (search == nullptr || entry == nullptr)
        return false;
    rLocalSearch* local = static_cast<rLocalSearch*>(search);
    entry->reset();
    for (;;) {
        if (!local->pending && !rWin32::findNextFile(local->find, local->data))
            return false;
        local->pending = false;
        // A name that code page 1251 cannot write could be neither shown nor opened again by
        // its 1251 form: it is left out.
        if (rWide::toCp1251(local->data.cFileName, entry->name))
            break;
    }
    entry->kind = (local->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                      ? rFileInfo::kindDirectory
                      : rFileInfo::kindFile;
    return true;
}

bool rLocalFileSystem::getInfo(const rString&, rSearch* search, rFileInfo* entry) {
    if (search == nullptr || entry == nullptr)
        return false;
    const WIN32_FIND_DATAW& data = static_cast<rLocalSearch*>(search)->data;
    const DWORD attributes = data.dwFileAttributes;
    entry->kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? rFileInfo::kindDirectory
                                                               : rFileInfo::kindFile;
    // Readable always; a read-only or hidden entry is not writable.
    entry->access = rFileInfo::accessRead;
    if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) == 0)
        entry->access |= rFileInfo::accessWrite;
    if (hasExecutableExtension(entry->name.text()))
        entry->access |= rFileInfo::accessExecute;
    entry->size = uint32_t(data.nFileSizeLow);
    // A time that a date value cannot hold (outside 1901..2036) is an invalid date.
    const int64_t seconds = secondsOf(data.ftLastWriteTime);
    if (time_t(seconds) != seconds || !entry->time.setTimeT(time_t(seconds)))
        entry->time.setSeconds(rDateTime::invalidSeconds);
    return true;
}

rString rLocalFileSystem::currentDirectory() {
    rString result;
    rWide::currentDirectory(result);
    return result;
}

bool rLocalFileSystem::changeDirectory(const char* path) {
    if (path == nullptr)
        return false;
    rString p(path);
    p.removeSeparator();
    return rWin32::setCurrentDirectory(rWide::Text(p.text()).get());
}

bool rLocalFileSystem::directoryId(const rSearch* search, rDirectoryId& id) {
    if (search == nullptr)
        return false;
    const rLocalSearch* local = static_cast<const rLocalSearch*>(search);
    // Opened through a junction, the handle is the target's: a loop shows as a revisit.
    HANDLE dir = rWin32::createFile(local->directory.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (dir == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = rWin32::fileInformation(dir, info);
    rWin32::closeHandle(dir);
    if (!known)
        return false;
    id.device = info.dwVolumeSerialNumber;
    id.inode = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}
