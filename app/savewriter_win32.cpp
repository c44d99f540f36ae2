// app/savewriter_win32.cpp - the Windows side of writing a save: the file's stamp, and the
// replacement of game.sav through a flushed temporary file so that a good copy exists at every
// step; the system calls go through the library's Windows call layer, which a test can make fail.
#include "savegame.h"

#include "rwin32.h"

#include <cerrno>
#include <string>
#include <vector>

#undef R_MODULE
#define R_MODULE "app/savegame"

namespace {

// Large enough for the whole block before the entries in one call.
constexpr DWORD copyBlockSize = 262144;

// 100-nanosecond steps from 1601-01-01 to 1970-01-01.
constexpr int64_t fileTimeEpoch = 116444736000000000LL;

// A handle closed on every way out.
class Handle {
public:
    explicit Handle(HANDLE value = INVALID_HANDLE_VALUE) : handle(value) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { close(); }
    bool valid() const { return handle != INVALID_HANDLE_VALUE; }
    bool close() {
        if (!valid())
            return true;
        const bool closed = rWin32::closeHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        return closed;
    }
    HANDLE handle;
};

// A name of the library (code page 1251) as the system's wide name, by our own table.
std::wstring wideName(const rString& name) {
    return rWide::Text(name.text()).get();
}

// The system's error code as the error number the dialog puts into words.
int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

// Fails with the last system error as errno, for SaveGame::writeFile to keep.
bool fail() {
    errno = errnoOf(GetLastError());
    return false;
}

bool stampOf(const BY_HANDLE_FILE_INFORMATION& info, SaveGame::FileStamp& out) {
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return false;
    const int64_t time = int64_t((uint64_t(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                 info.ftLastWriteTime.dwLowDateTime) -
                         fileTimeEpoch;
    int64_t seconds = time / 10000000;
    int64_t rest = time % 10000000;
    if (rest < 0) { // before 1970: the seconds round down, the fraction stays positive
        rest += 10000000;
        --seconds;
    }
    out.known = true;
    out.size = int64_t((uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    out.seconds = seconds;
    out.nanoseconds = rest * 100;
    out.permissions = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    return true;
}

FILETIME fileTimeOf(const SaveGame::FileStamp& stamp) {
    const uint64_t time =
        uint64_t(stamp.seconds * 10000000 + stamp.nanoseconds / 100 + fileTimeEpoch);
    FILETIME out;
    out.dwLowDateTime = DWORD(time & 0xFFFFFFFFu);
    out.dwHighDateTime = DWORD(time >> 32);
    return out;
}

bool seek(HANDLE file, int64_t offset) {
    int64_t position = 0;
    return rWin32::setFilePointer(file, offset, FILE_BEGIN, position);
}

bool setTime(HANDLE file, const FILETIME& modified) {
    return rWin32::setFileTime(file, nullptr, &modified);
}

bool readFully(HANDLE file, char* buffer, DWORD n) {
    while (n > 0) {
        DWORD got = 0;
        if (!rWin32::readFile(file, buffer, n, got))
            return false;
        if (got == 0) {
            SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        buffer += got;
        n -= got;
    }
    return true;
}

// Copies exactly n bytes from the source's position; false when the source ends early.
bool copyBytes(HANDLE source, HANDLE target, int64_t n, std::vector<char>& block) {
    while (n > 0) {
        const DWORD chunk = n > int64_t(block.size()) ? DWORD(block.size()) : DWORD(n);
        DWORD got = 0;
        if (!rWin32::readFile(source, block.data(), chunk, got))
            return false;
        if (got == 0) {
            SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        if (!rWin32::writeFile(target, block.data(), got))
            return false;
        n -= got;
    }
    return true;
}

// name + ".<pid>.<n>.new": a name of our own beside the file.
std::wstring scratchName(const std::wstring& name, unsigned attempt) {
    return name + L"." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(attempt) +
           L".new";
}

// Creates a fresh file of our own beside path, for writing; its name is left in created.
HANDLE createScratch(const std::wstring& path, std::wstring& created) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        created = scratchName(path, attempt);
        HANDLE file = rWin32::createFile(created.c_str(), GENERIC_WRITE, 0, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

// A second name for the file at path, next to beside; false when the file system has no hard
// links (the caller then falls back to moving the file itself).
bool linkScratch(const std::wstring& path, const std::wstring& beside, std::wstring& created) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        created = scratchName(beside, attempt);
        if (rWin32::createHardLink(created.c_str(), path.c_str()))
            return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

constexpr DWORD replacing = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

// Moves the scratch link over to. Where both already name one file the move may do nothing
// and report success (as under a POSIX layer); the scratch name is removed then, so that it
// never outlives the call (after a real move it no longer exists, and removing it changes
// nothing).
bool moveLink(const std::wstring& from, const std::wstring& to) {
    const bool moved = rWin32::moveFile(from.c_str(), to.c_str(), replacing);
    const DWORD error = GetLastError();
    if (rWin32::getFileAttributes(from.c_str()) != INVALID_FILE_ATTRIBUTES)
        rWin32::deleteFile(from.c_str());
    SetLastError(error);
    return moved;
}

// The backup's name: an existing file of that name as the directory spells it (the system
// matches names in any letter case), else the name itself.
std::wstring backupName(const std::wstring& directory, const std::wstring& wanted) {
    WIN32_FIND_DATAW found;
    HANDLE search = rWin32::findFirstFile(wanted.c_str(), found);
    if (search == INVALID_HANDLE_VALUE)
        return wanted;
    rWin32::findClose(search);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return wanted;
    return directory + found.cFileName;
}

// Removes a file of our own, keeping the error that made us give up.
void discard(const std::wstring& name) {
    const DWORD error = GetLastError();
    rWin32::deleteFile(name.c_str());
    SetLastError(error);
}

} // namespace

bool SaveGame::replaceFile() {
    const std::wstring savePath = wideName(path);
    // 1. The file must be the one that was read; nobody may write it while it is copied.
    Handle source(rWin32::createFile(savePath.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL));
    if (!source.valid())
        return fail();
    BY_HANDLE_FILE_INFORMATION information;
    FileStamp now;
    if (!rWin32::fileInformation(source.handle, information))
        return fail();
    if (!stampOf(information, now)) {
        writeFailure = WriteFailure::changedOnDisk;
        return false;
    }
    if (!stillAsRead(now))
        return false;

    rString directory = path.getDirectory();
    directory.addSeparator();
    rString backupPath = path;
    backupPath.setExtension("bak");
    const std::wstring backup = backupName(wideName(directory), wideName(backupPath));

    // 2. The new content, complete, timed and flushed, under a name of our own.
    std::wstring temporary;
    Handle target(createScratch(savePath, temporary));
    if (!target.valid())
        return fail();
    std::vector<char> block(copyBlockSize);
    std::vector<char> entries;
    char countBytes[4];
    storedList(countBytes, entries);
    // The time is set after the last write, so that nothing moves it again.
    const bool built = readFully(source.handle, block.data(), countOffset) &&
                       rWin32::writeFile(target.handle, block.data(), countOffset) &&
                       rWin32::writeFile(target.handle, countBytes, 4) && seek(source.handle, 8) &&
                       copyBytes(source.handle, target.handle, entriesOffset - 8, block) &&
                       rWin32::writeFile(target.handle, entries.data(), DWORD(entries.size())) &&
                       seek(source.handle, tailOffset) &&
                       copyBytes(source.handle, target.handle, now.size - tailOffset, block) &&
                       setTime(target.handle, fileTimeOf(stamp)) &&
                       rWin32::flushFileBuffers(target.handle);
    if (!built) {
        const DWORD error = GetLastError();
        target.close();
        SetLastError(error);
        discard(temporary);
        return fail();
    }
    if (!target.close()) {
        discard(temporary);
        return fail();
    }
    source.close();

    // The new file carries the former one's attributes; a read-only file is made writable
    // for the moves (a read-only name cannot be replaced), and both names get it back after.
    const DWORD attributes =
        information.dwFileAttributes &
        (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
         FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    const DWORD writable = attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
    if (!rWin32::setFileAttributes(temporary.c_str(),
                                   writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL)) {
        discard(temporary);
        return fail();
    }
    const DWORD backupAttributes = rWin32::getFileAttributes(backup.c_str());
    if (backupAttributes != INVALID_FILE_ATTRIBUTES &&
        (backupAttributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        !rWin32::setFileAttributes(backup.c_str(),
                                   backupAttributes & ~DWORD(FILE_ATTRIBUTE_READONLY))) {
        discard(temporary);
        return fail();
    }
    if (readOnly && !rWin32::setFileAttributes(savePath.c_str(),
                                               writable != 0 ? writable : FILE_ATTRIBUTE_NORMAL)) {
        discard(temporary);
        return fail();
    }
    const auto restoreAttributes = [&](const std::wstring& name) {
        if (readOnly)
            rWin32::setFileAttributes(name.c_str(), attributes);
    };

    // 3. game.bak becomes the former file, then the new file becomes game.sav. With hard links
    // game.sav exists at every instant; without them a failed second move is undone.
    std::wstring linkName;
    if (linkScratch(savePath, backup, linkName)) {
        if (!moveLink(linkName, backup) ||
            !rWin32::moveFile(temporary.c_str(), savePath.c_str(), replacing)) {
            restoreAttributes(savePath);
            discard(temporary);
            return fail();
        }
    } else {
        if (!rWin32::moveFile(savePath.c_str(), backup.c_str(), replacing)) {
            restoreAttributes(savePath);
            discard(temporary);
            return fail();
        }
        if (!rWin32::moveFile(temporary.c_str(), savePath.c_str(), replacing)) {
            const DWORD error = GetLastError();
            rWin32::moveFile(backup.c_str(), savePath.c_str(), replacing);
            restoreAttributes(savePath);
            SetLastError(error);
            discard(temporary);
            return fail();
        }
    }
    restoreAttributes(backup);
    restoreAttributes(savePath);
    // The new file's layout: the next write of this save in the same run builds on it.
    stamp.size = int64_t(entriesOffset) + int64_t(entries.size()) + now.size - tailOffset;
    tailOffset = int32_t(entriesOffset + entries.size());
    modified = 0;
    return true;
}
