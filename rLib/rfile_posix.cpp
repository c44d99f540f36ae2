// rLib/rfile_posix.cpp - rFile on POSIX: the descriptor-backed device of the buffered stream,
// with renaming, removal, file times and syncing.
#include "rposix.h"
#include "rstream.h"

#include <fcntl.h>

#define R_MODULE "rLib/rfile"

namespace {

rFileStatus statusOf(const struct stat& st) {
    rFileStatus status;
    status.size = int64_t(st.st_size);
    status.accessTime = {int64_t(st.st_atim.tv_sec), int32_t(st.st_atim.tv_nsec)};
    status.modificationTime = {int64_t(st.st_mtim.tv_sec), int32_t(st.st_mtim.tv_nsec)};
    status.permissions = uint32_t(st.st_mode & 07777);
    status.regular = S_ISREG(st.st_mode);
    return status;
}

} // namespace

rFile::rFile(intptr_t fd, uint32_t size) : rStream(size), descriptor(fd) {}

rFile::~rFile() {
    closeFile(true);
}

int rFile::systemFlags(uint32_t mode) {
    int flags = (mode & 3) == oRdOnly ? O_RDONLY : (mode & 3) == oWrOnly ? O_WRONLY : O_RDWR;
    if (mode & oAppend)
        flags |= O_APPEND;
    if (mode & oCreat)
        flags |= O_CREAT;
    if (mode & oTrunc)
        flags |= O_TRUNC;
    if (mode & oExcl)
        flags |= O_EXCL;
    return flags;
}

bool rFile::open(const char* fileName, uint32_t newMode) {
    close();
    clearError(); // a failure to close the previous file is not this file's
    rASSERT(fileName != NULL);
    name = fileName;
    name.makeAbsolute();
    mode = newMode;
    const char* path = name.text();
    if (mode & oWriteAccess) {
        // A read-only file is made writable for its owner; other permission bits stay.
        struct stat st;
        if (rPosix::stat(path, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0)
            rPosix::chmod(path, (st.st_mode & 07777) | S_IWUSR);
    }
    // The open never blocks (a FIFO waits for its other end): it is made non-blocking, and
    // what is not a regular file (a FIFO, a device, a directory) is refused; a file kept
    // returns to blocking mode.
    // The status flags that F_SETFL can change are those asked for here, so setting them again
    // without O_NONBLOCK needs no F_GETFL.
    descriptor = rPosix::open(path, systemFlags(mode) | O_NONBLOCK, 0666);
    if (descriptor != -1) {
        struct stat st;
        const bool known = rPosix::fstat(descriptor, &st) == 0;
        opened = known ? statusOf(st) : rFileStatus();
        if (!known || !opened.regular || ::fcntl(descriptor, F_SETFL, systemFlags(mode)) == -1) {
            rPosix::close(descriptor);
            descriptor = -1;
        }
    }
    return rCHECK(descriptor != -1, erFileOpen, path, 0);
}

int64_t rFile::deviceSeek(int64_t offset, int origin) {
    const off_t r = rPosix::lseek(descriptor, off_t(offset), origin);
    rCHECK(r >= 0, erFileSeek, nullptr, uint32_t(offset));
    return r;
}

bool rFile::deviceFill() {
    const ssize_t n = rPosix::read(descriptor, buffer, capacity);
    index = 0;
    fill = n > 0 ? uint32_t(n) : 0;
    if (!rCHECK(n >= 0, erFileIO, name.text(), 0))
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
    if (placed && n > 0) {
        const ssize_t written = rPosix::write(descriptor, buffer, n);
        rCHECK(written == ssize_t(n), erFileWrite, name.text(), 0);
    }
    return !hasError();
}

bool rFile::close() {
    return closeFile(true);
}

bool rFile::closeFile(bool removeTemporary) {
    bool ok = rStream::close();
    if (descriptor != -1) {
        const int r = rPosix::close(descriptor);
        descriptor = -1;
        ok = rCHECK(r == 0, erFileClose, name.text(), 0) && ok;
        if (removeTemporary && (mode & oTemporary) != 0)
            rPosix::unlink(name.text());
    }
    return ok;
}

bool rFile::rename(const char* newName) {
    if (newName == nullptr)
        return false;
    // A final flush that fails leaves the file where it is: nothing is moved over a good file.
    if (!closeFile(false))
        return false;
    // The system's rename replaces an existing target in one step.
    if (rPosix::rename(name.text(), newName) != 0)
        return false;
    return open(newName, mode & ~(oTrunc | oExcl));
}

bool rFile::deleteFile() {
    closeFile(false);
    return rPosix::unlink(name.text()) == 0;
}

rDateTime rFile::getTime() {
    rDateTime time{1901, 1, 1, 0, 0, 0};
    struct stat st;
    if (descriptor != -1 && rPosix::fstat(descriptor, &st) == 0)
        time.setTimeT(st.st_mtime);
    return time;
}

bool rFile::setTime(rDateTime time) {
    if (!flushPending() || descriptor == -1)
        return false;
    const time_t t = time.timeT();
    if (t == time_t(-1))
        return false;
    const timespec times[2] = {{t, 0}, {t, 0}};
    return rPosix::futimens(descriptor, times) == 0;
}

bool rFile::commit() {
    // An earlier failed write has lost bytes already: that is no successful commit either.
    if (!flush(-1) || descriptor == -1)
        return false;
    return rPosix::fsync(descriptor) == 0;
}

bool rFile::statFile(rFileStatus& status) {
    if (!flushPending() || descriptor == -1)
        return false;
    struct stat st;
    if (rPosix::fstat(descriptor, &st) != 0)
        return false;
    status = statusOf(st);
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
    const timespec times[2] = {{time_t(atime.seconds), long(atime.nanoseconds)},
                               {time_t(mtime.seconds), long(mtime.nanoseconds)}};
    return rPosix::futimens(descriptor, times) == 0;
}
