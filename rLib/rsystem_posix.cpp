// rLib/rsystem_posix.cpp - the system module's POSIX calls: directories, tree removal, copy and
// move, free space, the command line from /proc, ids, ticks and sleep.
#include "rposix.h"
#include "rresource.h"
#include "rsystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

#define R_MODULE "rLib/rsystem"

#ifndef TARVEX_VERSION
#define TARVEX_VERSION ""
#endif

namespace {

rString unixString(const char* text) {
    rString s;
    s.setUnixStyle(true);
    s = text;
    s.setUnixStyle(true);
    return s;
}

// Empties the open directory without following any symbolic link: links, FIFOs, sockets and
// devices are removed as entries, real directories are emptied and removed. Every step is
// relative to an open directory, so a directory swapped for a link meanwhile is never entered
// (it is then removed as a link). path is the directory's full name, for the fault hook.
void removeContents(DIR* dir, const rString& path) {
    rObjArray names;
    while (const struct dirent* found = rPosix::readdir(dir)) {
        const char* name = found->d_name;
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
            names.add(new rString(name));
    }
    const int fd = ::dirfd(dir);
    for (uint32_t i = 0; i < names.getCount(); ++i) {
        const char* name = static_cast<rString*>(names.getAt(i))->text();
        rString entry(path);
        entry.addSeparator();
        entry += name;
        if (DIR* sub = rPosix::opendirAt(fd, name, entry.text())) {
            removeContents(sub, entry);
            rPosix::closedir(sub);
            rPosix::unlinkat(fd, name, AT_REMOVEDIR, entry.text());
        } else if (errno == ENOTDIR || errno == ELOOP) {
            rPosix::unlinkat(fd, name, 0, entry.text()); // a file, a link or a special file
        }
    }
}

} // namespace

namespace rSystemPlatform {

bool exists(const char* path) {
    struct stat st;
    return path != nullptr && rPosix::lstat(path, &st) == 0;
}

bool isDirectory(const char* path) {
    struct stat st;
    return path != nullptr && rPosix::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool createDirectory(const char* path) {
    if (rPosix::mkdir(path, 0777) == 0)
        return true;
    return errno == EEXIST && isDirectory(path); // made by someone else meanwhile
}

bool commandLineText(rString& out) {
    out.clear();
    const int fd = rPosix::open("/proc/self/cmdline", O_RDONLY, 0);
    if (fd < 0)
        return false;
    char buffer[4096];
    ssize_t n;
    uint32_t total = 0;
    rArray<char> bytes(4096, 4096);
    while ((n = rPosix::read(fd, buffer, sizeof buffer)) > 0) {
        bytes.insertItems(buffer, bytes.getCount(), uint32_t(n));
        total += uint32_t(n);
    }
    rPosix::close(fd);
    if (n < 0 || bytes.getCount() != total)
        return false;
    // The arguments arrive separated by zero bytes; they are joined with spaces, and one that
    // holds a space (and no quote) is quoted so that the parser gives it back whole.
    const char* p = bytes.getItems();
    const char* end = p + total;
    bool first = true;
    while (p < end) {
        const size_t length = strnlen(p, size_t(end - p));
        rString arg(p, uint32_t(length));
        if (!first)
            out += ' ';
        first = false;
        if (std::strchr(arg.text(), ' ') != nullptr && std::strchr(arg.text(), '"') == nullptr) {
            out += '"';
            out += arg;
            out += '"';
        } else {
            out += arg;
        }
        p += length + 1;
    }
    return true;
}

bool programResource(uint32_t id, const char* group, rResourceData& out) {
    return findResource(id, group, out);
}

// The library's build gives the product version; there is no special or private build.
bool versionEntry(const char* name, rString& out) {
    if (std::strcmp(name, "ProductVersion") != 0 || TARVEX_VERSION[0] == 0)
        return false;
    out = TARVEX_VERSION;
    return true;
}

} // namespace rSystemPlatform

rString tempDirectory() {
    rString dir = unixString("");
    const char* env = std::getenv("TMPDIR");
    if (env != nullptr && env[0] != 0 && rSystemPlatform::isDirectory(env))
        dir = env;
    else if (rSystemPlatform::isDirectory("/tmp"))
        dir = "/tmp/";
    else
        dir = moduleFileName().getDirectory();
    dir.addSeparator();
    return dir;
}

rString moduleFileName() {
    char buffer[PATH_MAX + 1];
    const ssize_t n = rPosix::readlink("/proc/self/exe", buffer, PATH_MAX);
    buffer[n > 0 ? n : 0] = 0;
    return unixString(buffer);
}

// Windows has these; here they are absent.
rString windowsDirectory() {
    return rString();
}
rString systemDirectory() {
    return rString();
}
bool specialFolder(rString&, int) {
    return false;
}
void* shellIcon(const char*, bool) {
    return nullptr;
}

rString workingDirectory() {
    char buffer[PATH_MAX + 1];
    rString dir = unixString(rPosix::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "");
    dir.addSeparator();
    return dir;
}

bool removeTree(const char* path) {
    rASSERT_TEXT("path!=NULL", path != nullptr);
    if (path == nullptr)
        return false;
    rString top = unixString(path);
    top.removeSeparator();
    struct stat st;
    // A link to a directory is not followed, not even at the top.
    if (rPosix::lstat(top.text(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (DIR* dir = rPosix::opendirAt(AT_FDCWD, top.text(), top.text())) {
        removeContents(dir, top);
        rPosix::closedir(dir);
    }
    return rPosix::rmdir(top.text()) == 0;
}

bool removeFile(const char* path) {
    return path != nullptr && rPosix::unlink(path) == 0;
}

bool removeDirectory(const char* path) {
    return path != nullptr && rPosix::rmdir(path) == 0;
}

bool copyFile(const char* from, const char* to) {
    if (from == nullptr || to == nullptr)
        return false;
    // Non-blocking, so that a FIFO named as the source cannot stall the call.
    const int in = rPosix::open(from, O_RDONLY | O_NONBLOCK, 0);
    if (in < 0)
        return false;
    struct stat source;
    struct stat target;
    if (rPosix::fstat(in, &source) != 0 || !S_ISREG(source.st_mode) ||
        (rPosix::stat(to, &target) == 0 && target.st_dev == source.st_dev &&
         target.st_ino == source.st_ino)) {
        // Copying a file onto itself would truncate it before reading.
        rPosix::close(in);
        return false;
    }
    // Non-blocking here too: a FIFO target without a reader must not stall the call. Only a
    // regular file is a target; a FIFO or device is left alone, never written, chmod-ed or removed.
    const int out =
        rPosix::open(to, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK, source.st_mode & 07777);
    if (out < 0 || rPosix::fstat(out, &target) != 0 || !S_ISREG(target.st_mode)) {
        if (out >= 0)
            rPosix::close(out);
        rPosix::close(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = rPosix::read(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0 || rPosix::write(out, buffer, size_t(n)) != n) {
            ok = false;
            break;
        }
    }
    if (ok) {
        const struct timespec times[2] = {source.st_atim, source.st_mtim};
        ok = rPosix::fchmod(out, source.st_mode & 07777) == 0 && rPosix::futimens(out, times) == 0;
    }
    ok = rPosix::close(out) == 0 && ok;
    rPosix::close(in);
    if (!ok)
        rPosix::unlink(to); // no half copy stays behind under the target's name
    return ok;
}

bool moveFile(const char* from, const char* to) {
    if (from == nullptr || to == nullptr)
        return false;
    if (rPosix::renameNoReplace(from, to) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    // Another file system: a file is copied and the original removed; a directory cannot move.
    struct stat st;
    if (rPosix::lstat(from, &st) != 0 || !S_ISREG(st.st_mode) || rSystemPlatform::exists(to))
        return false;
    if (!copyFile(from, to))
        return false;
    return rPosix::unlink(from) == 0;
}

uint32_t diskFreeSpace(const char* path) {
    rASSERT_TEXT("path!=NULL", path != nullptr);
    if (path == nullptr || path[0] != '/')
        return 0;
    struct statvfs st;
    if (rPosix::statvfs(path, &st) != 0)
        return 0;
    const uint64_t blocks = st.f_bavail;
    const uint64_t blockSize = st.f_frsize != 0 ? st.f_frsize : st.f_bsize;
    if (blockSize != 0 && blocks > 0xFFFFFFFFull / blockSize)
        return 0xFFFFFFFFu;
    return uint32_t(blocks * blockSize);
}

uint32_t processId() {
    return uint32_t(getpid());
}

uint32_t threadId() {
    return uint32_t(gettid());
}

uint32_t ticks() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
    return uint32_t(ms);
}

void sleepMs(uint32_t ms) {
    struct timespec left = {time_t(ms / 1000), long(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
