// rLib/rposix.h - the operating-system calls that the library's POSIX files make, gathered in
// one place so that a test can make any of them fail (fault injection), and counted by kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

namespace rPosix {

enum class Op {
    open,
    read,
    write,
    seek,
    close,
    stat,
    sync,
    rename,
    unlink,
    chmod,
    setTime,
    mkdir,
    rmdir,
    link,
    opendir,
    readdir,
    access,
    chdir,
    getcwd,
    statvfs,
    readlink,
    count_ // number of kinds
};

// A hook decides, before a call runs, whether it fails: 0 lets it run, any other value is the
// errno with which it fails instead. path is the file's name where the call has one, else null.
using FaultHook = int (*)(Op op, const char* path);
FaultHook setFaultHook(FaultHook hook);
const char* opName(Op op);

// Each call behaves as its namesake (EINTR retried where that is safe), after asking the hook.
int open(const char* path, int flags, mode_t mode);
ssize_t read(int fd, void* buffer, size_t n);
ssize_t write(int fd, const void* buffer, size_t n); // writes all n bytes unless an error stops it
off_t lseek(int fd, off_t offset, int whence);
int close(int fd);
int fstat(int fd, struct stat* st);
int stat(const char* path, struct stat* st);
int lstat(const char* path, struct stat* st);
int fsync(int fd);
int fsyncDirectory(const char* directory);
int rename(const char* from, const char* to);
int unlink(const char* path);
int chmod(const char* path, mode_t mode);
int fchmod(int fd, mode_t mode);
int futimens(int fd, const struct timespec times[2]);
int mkdir(const char* path, mode_t mode);
int rmdir(const char* path);
int link(const char* from, const char* to);
DIR* opendir(const char* path);
struct dirent* readdir(DIR* dir); // null at the end (errno untouched) or on failure (errno set)
int closedir(DIR* dir);           // the stream is released even when the hook fails the call
int fstatat(int dirFd, const char* name, struct stat* st, int flags); // asks the hook as stat
// Descriptor-relative forms for walks that must not be redirected through a link swapped in
// meanwhile. hookPath is the entry's full name, which the fault hook sees.
// The directory name below dirFd, opened without following a link (ENOTDIR or ELOOP for one).
DIR* opendirAt(int dirFd, const char* name, const char* hookPath);
// Removes name below dirFd: a directory with AT_REMOVEDIR (asks the hook as rmdir), else an
// entry of any other kind (asks the hook as unlink).
int unlinkat(int dirFd, const char* name, int flags, const char* hookPath);
int access(const char* path, int mode);
int chdir(const char* path);
char* getcwd(char* buffer, size_t size);
int statvfs(const char* path, struct statvfs* st);
ssize_t readlink(const char* path, char* buffer, size_t size);
// rename that fails with EEXIST instead of replacing an existing target.
int renameNoReplace(const char* from, const char* to);

} // namespace rPosix
