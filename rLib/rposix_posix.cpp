// rLib/rposix_posix.cpp - the POSIX calls behind rposix.h, each asking the fault hook first.
#include "rposix.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace rPosix {
namespace {
std::atomic<FaultHook> faultHook{nullptr};

// True when the hook makes this call fail; errno is then set.
bool injected(Op op, const char* path) {
    FaultHook hook = faultHook.load(std::memory_order_relaxed);
    if (hook == nullptr)
        return false;
    const int err = hook(op, path);
    if (err == 0)
        return false;
    errno = err;
    return true;
}
} // namespace

FaultHook setFaultHook(FaultHook hook) {
    return faultHook.exchange(hook);
}

const char* opName(Op op) {
    static const char* const names[] = {
        "open",    "read",    "write",  "seek",    "close",  "stat",    "sync",
        "rename",  "unlink",  "chmod",  "setTime", "mkdir",  "rmdir",   "link",
        "opendir", "readdir", "access", "chdir",   "getcwd", "statvfs", "readlink"};
    const auto i = static_cast<size_t>(op);
    return i < sizeof names / sizeof names[0] ? names[i] : "?";
}

int open(const char* path, int flags, mode_t mode) {
    if (injected(Op::open, path))
        return -1;
    int fd;
    do
        fd = ::open(path, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

ssize_t read(int fd, void* buffer, size_t n) {
    if (injected(Op::read, nullptr))
        return -1;
    ssize_t r;
    do
        r = ::read(fd, buffer, n);
    while (r < 0 && errno == EINTR);
    return r;
}

ssize_t write(int fd, const void* buffer, size_t n) {
    if (injected(Op::write, nullptr))
        return -1;
    const char* p = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::write(fd, p + done, n - done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return done > 0 ? ssize_t(done) : -1;
        }
        if (r == 0)
            break;
        done += size_t(r);
    }
    return ssize_t(done);
}

off_t lseek(int fd, off_t offset, int whence) {
    if (injected(Op::seek, nullptr))
        return -1;
    return ::lseek(fd, offset, whence);
}

int close(int fd) {
    if (injected(Op::close, nullptr)) {
        ::close(fd); // the descriptor is released all the same, as a real failed close does
        return -1;
    }
    return ::close(fd);
}

int fstat(int fd, struct stat* st) {
    if (injected(Op::stat, nullptr))
        return -1;
    return ::fstat(fd, st);
}

int stat(const char* path, struct stat* st) {
    if (injected(Op::stat, path))
        return -1;
    return ::stat(path, st);
}

int lstat(const char* path, struct stat* st) {
    if (injected(Op::stat, path))
        return -1;
    return ::lstat(path, st);
}

int fsync(int fd) {
    if (injected(Op::sync, nullptr))
        return -1;
    int r;
    do
        r = ::fsync(fd);
    while (r < 0 && errno == EINTR);
    return r;
}

int fsyncDirectory(const char* directory) {
    if (injected(Op::sync, directory))
        return -1;
    const int fd = ::open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int r;
    do
        r = ::fsync(fd);
    while (r < 0 && errno == EINTR);
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return r;
}

int rename(const char* from, const char* to) {
    if (injected(Op::rename, from))
        return -1;
    return ::rename(from, to);
}

int unlink(const char* path) {
    if (injected(Op::unlink, path))
        return -1;
    return ::unlink(path);
}

int chmod(const char* path, mode_t mode) {
    if (injected(Op::chmod, path))
        return -1;
    return ::chmod(path, mode);
}

int fchmod(int fd, mode_t mode) {
    if (injected(Op::chmod, nullptr))
        return -1;
    return ::fchmod(fd, mode);
}

int futimens(int fd, const struct timespec times[2]) {
    if (injected(Op::setTime, nullptr))
        return -1;
    return ::futimens(fd, times);
}

int mkdir(const char* path, mode_t mode) {
    if (injected(Op::mkdir, path))
        return -1;
    return ::mkdir(path, mode);
}

int rmdir(const char* path) {
    if (injected(Op::rmdir, path))
        return -1;
    return ::rmdir(path);
}

int link(const char* from, const char* to) {
    if (injected(Op::link, from))
        return -1;
    return ::link(from, to);
}

DIR* opendir(const char* path) {
    if (injected(Op::opendir, path))
        return nullptr;
    return ::opendir(path);
}

struct dirent* readdir(DIR* dir) {
    if (injected(Op::readdir, nullptr))
        return nullptr;
    return ::readdir(dir);
}

int closedir(DIR* dir) {
    if (injected(Op::close, nullptr)) {
        ::closedir(dir);
        return -1;
    }
    return ::closedir(dir);
}

int fstatat(int dirFd, const char* name, struct stat* st, int flags) {
    if (injected(Op::stat, name))
        return -1;
    return ::fstatat(dirFd, name, st, flags);
}

DIR* opendirAt(int dirFd, const char* name, const char* hookPath) {
    if (injected(Op::opendir, hookPath))
        return nullptr;
    const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return dir;
}

int unlinkat(int dirFd, const char* name, int flags, const char* hookPath) {
    if (injected((flags & AT_REMOVEDIR) != 0 ? Op::rmdir : Op::unlink, hookPath))
        return -1;
    return ::unlinkat(dirFd, name, flags);
}

int access(const char* path, int mode) {
    if (injected(Op::access, path))
        return -1;
    return ::access(path, mode);
}

int chdir(const char* path) {
    if (injected(Op::chdir, path))
        return -1;
    return ::chdir(path);
}

char* getcwd(char* buffer, size_t size) {
    if (injected(Op::getcwd, nullptr))
        return nullptr;
    return ::getcwd(buffer, size);
}

int statvfs(const char* path, struct statvfs* st) {
    if (injected(Op::statvfs, path))
        return -1;
    return ::statvfs(path, st);
}

ssize_t readlink(const char* path, char* buffer, size_t size) {
    if (injected(Op::readlink, path))
        return -1;
    return ::readlink(path, buffer, size);
}

int renameNoReplace(const char* from, const char* to) {
    if (injected(Op::rename, from))
        return -1;
    const int r = ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
    if (r == 0 || (errno != EINVAL && errno != ENOSYS))
        return r;
    // A file system without the no-replace flag: test first, then rename.
    struct stat st;
    if (::lstat(to, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from, to);
}

} // namespace rPosix
