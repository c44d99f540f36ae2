// rLib/rfile_win32.cpp - rFile on Windows: the handle-backed device of the buffered stream, with
// renaming, removal, file times and syncing, through the wide-character calls.
#include "rstream.h"
#include "rwin32.h"

#define R_MODULE "rLib/rfile"

namespace {

constexpr int64_t ticksPerSecond = 10000000;       // FILETIME counts 100 ns
constexpr int64_t epochDifference = 11644473600LL; // seconds from 1601 to 1970

HANDLE handleOf(intptr_t descriptor) {
    return reinterpret_cast<HANDLE>(descriptor);
}

rFileTime fromFileTime(const FILETIME& ft) {
    const int64_t t = int64_t((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    return {t / ticksPerSecond - epochDifference, int32_t(t % ticksPerSecond) * 100};
}

// False for a time before 1601, which the file system cannot hold.
bool toFileTime(const rFileTime& time, FILETIME& ft) {
    if (time.nanoseconds < 0 || time.nanoseconds >= 1000000000 || time.seconds < -epochDifference ||
        time.seconds > INT64_MAX / ticksPerSecond - epochDifference)
        return false;
    const uint64_t t = uint64_t(time.seconds + epochDifference) * uint64_t(ticksPerSecond) +
                       uint64_t(time.nanoseconds / 100);
    ft.dwLowDateTime = DWORD(t);
    ft.dwHighDateTime = DWORD(t >> 32);
    return true;
}

rFileStatus statusOf(const BY_HANDLE_FILE_INFORMATION& info, bool disk) {
    rFileStatus status;
    status.size = int64_t((uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    status.accessTime = fromFileTime(info.ftLastAccessTime);
    status.modificationTime = fromFileTime(info.ftLastWriteTime);
    status.permissions = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    status.regular = disk && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return status;
}

} // namespace

rFile::rFile(intptr_t fd, uint32_t size) : rStream(size), descriptor(fd) {}

rFile::~rFile() {
    closeFile(true);
}

// The creation disposition of CreateFileW for mode.
int rFile::systemFlags(uint32_t mode) {
    if ((mode & oCreat) != 0 && (mode & oExcl) != 0)
        return CREATE_NEW;
    if ((mode & oCreat) != 0)
        return (mode & oTrunc) != 0 ? CREATE_ALWAYS : OPEN_ALWAYS;
    return (mode & oTrunc) != 0 ? TRUNCATE_EXISTING : OPEN_EXISTING;
}

bool rFile::open(const char* fileName, uint32_t newMode) {
    close();
    clearError(); // a failure to close the previous file is not this file's
    rASSERT(fileName != NULL);
    name = fileName;
    name.makeAbsolute();
    mode = newMode;
    const rWide::Text path(name.text());
    const uint32_t kind = mode & 3;
    if (mode & oWriteAccess) {
        // A read-only file is made writable first; its other attributes stay.
        const DWORD attributes = rWin32::getFileAttributes(path.get());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            rWin32::setFileAttributes(path.get(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    }
    DWORD access = kind == oWrOnly ? 0 : GENERIC_READ;
    if (kind != oRdOnly)
        access |= (mode & oAppend) != 0 ? FILE_APPEND_DATA | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE
                                        : GENERIC_WRITE;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (mode & oTemporary)
        attributes = FILE_ATTRIBUTE_TEMPORARY;
    if (mode & oSequential)
        attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
    // Other programs may read, write, rename and remove the file meanwhile, as on POSIX systems.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE h = rWin32::createFile(path.get(), access, share, DWORD(systemFlags(mode)), attributes);
    if (h != INVALID_HANDLE_VALUE) {
        // Only a file on a disk is a file: a pipe, a console or another device is refused.
        BY_HANDLE_FILE_INFORMATION info;
        const bool disk = GetFileType(h) == FILE_TYPE_DISK;
        const bool known = disk && rWin32::fileInformation(h, info);
        opened = known ? statusOf(info, disk) : rFileStatus();
        if (!known || !opened.regular) {
            rWin32::closeHandle(h);
            h = INVALID_HANDLE_VALUE;
        }
    }
    descriptor = h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
    return rCHECK(descriptor != -1, erFileOpen, name.text(), 0);
}

int64_t rFile::deviceSeek(int64_t offset, int origin) {
    const DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : FILE_END;
    int64_t position = -1;
    if (!rWin32::setFilePointer(handleOf(descriptor), offset, method, position) || position < 0)
        position = -1;
    rCHECK(position >= 0, erFileSeek, nullptr, uint32_t(offset));
    return position;
}

bool rFile::deviceFill() {
    DWORD n = 0;
    const bool ok = rWin32::readFile(handleOf(descriptor), buffer, capacity, n);
    index = 0;
    fill = ok ? uint32_t(n) : 0;
    if (!rCHECK(ok, erFileIO, name.text(), 0))
        return false;
    return rCHECK(fill != 0, erFileEof, name.text(), 0);
}

bool rFile::flush(int32_t) {
    if (!dirty)
        return !hasError();
    const bool placed = resync();
    const uint32_t n = index;
    dirty = 0;
    index = fill = 0;
    // Bytes are never written where the device could not be placed.
    if (placed && n > 0)
        rCHECK(rWin32::writeFile(handleOf(descriptor), buffer, n), erFileWrite, name.text(), 0);
    return !hasError();
}

bool rFile::close() {
    return closeFile(true);
}

bool rFile::closeFile(bool removeTemporary) {
    bool ok = rStream::close();
    if (descriptor != -1) {
        const bool closed = rWin32::closeHandle(handleOf(descriptor));
        descriptor = -1;
        ok = rCHECK(closed, erFileClose, name.text(), 0) && ok;
        if (removeTemporary && (mode & oTemporary) != 0)
            rWin32::deleteFile(rWide::Text(name.text()).get());
    }
    return ok;
}

bool rFile::rename(const char* newName) {
    if (newName == nullptr)
        return false;
    // A final flush that fails leaves the file where it is: nothing is moved over a good file.
    if (!closeFile(false))
        return false;
    // Replaces an existing target in one step, as the POSIX rename does.
    const rWide::Text from(name.text());
    const rWide::Text to(newName);
    if (!rWin32::moveFile(from.get(), to.get(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    return open(newName, mode & ~(oTrunc | oExcl));
}

bool rFile::deleteFile() {
    closeFile(false);
    return rWin32::deleteFile(rWide::Text(name.text()).get());
}

rDateTime rFile::getTime() {
    rDateTime time{1901, 1, 1, 0, 0, 0};
    BY_HANDLE_FILE_INFORMATION info;
    if (descriptor != -1 && rWin32::fileInformation(handleOf(descriptor), info)) {
        const int64_t seconds = fromFileTime(info.ftLastWriteTime).seconds;
        if (time_t(seconds) == seconds) // a 32-bit time_t would wrap later times into the range
            time.setTimeT(time_t(seconds));
    }
    return time;
}

bool rFile::setTime(rDateTime time) {
    if (!flushPending() || descriptor == -1)
        return false;
    const time_t t = time.timeT();
    if (t == time_t(-1))
        return false;
    return setTimes({int64_t(t), 0}, {int64_t(t), 0});
}

bool rFile::commit() {
    // An earlier failed write has lost bytes already: that is no successful commit either.
    if (!flush(-1) || descriptor == -1)
        return false;
    return rWin32::flushFileBuffers(handleOf(descriptor));
}

bool rFile::statFile(rFileStatus& status) {
    if (!flushPending() || descriptor == -1)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!rWin32::fileInformation(handleOf(descriptor), info))
        return false;
    status = statusOf(info, true);
    return true;
}

bool rFile::openedStatus(rFileStatus& st) const {
    if (descriptor == -1)
        return false;
    st = opened;
    return true;
}

bool rFile::setTimes(const rFileTime& atime, const rFileTime& mtime) {
    // Pending bytes go first: a later write would move the modification time again.
    if (!flushPending() || descriptor == -1)
        return false;
    FILETIME access;
    FILETIME write;
    if (!toFileTime(atime, access) || !toFileTime(mtime, write))
        return false;
    return rWin32::setFileTime(handleOf(descriptor), &access, &write);
}
