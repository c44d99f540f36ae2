// app/savewriter_posix.cpp - the POSIX side of writing a save: the file's stamp, and the
// replacement of game.sav through a synced temporary file so that a good copy exists at every step.
#include "savegame.h"

#include "rposix.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

#undef R_MODULE
#define R_MODULE "app/savegame"

namespace {

// Large enough for the whole block before the entries in one call.
constexpr size_t copyBlockSize = 262144;

// A descriptor closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int descriptor = -1) : fd(descriptor) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { close(); }
    bool close() {
        if (fd < 0)
            return true;
        const int r = rPosix::close(fd);
        fd = -1;
        return r == 0;
    }
    int fd;
};

bool readFully(int fd, char* buffer, size_t n) {
    while (n > 0) {
        const ssize_t k = rPosix::read(fd, buffer, n);
        if (k <= 0)
            return false;
        buffer += k;
        n -= size_t(k);
    }
    return true;
}

bool writeFully(int fd, const char* buffer, size_t n) {
    return n == 0 || rPosix::write(fd, buffer, n) == ssize_t(n);
}

// Copies exactly n bytes from the source's position; false when the source ends early.
bool copyBytes(int source, int target, int64_t n, char* block) {
    while (n > 0) {
        const size_t chunk = n > int64_t(copyBlockSize) ? copyBlockSize : size_t(n);
        const ssize_t k = rPosix::read(source, block, chunk);
        if (k <= 0 || !writeFully(target, block, size_t(k)))
            return false;
        n -= k;
    }
    return true;
}

// name + ".<pid>.<n>.new": a name of our own beside the file, for the new content and the link.
rString scratchName(const rString& name, unsigned attempt) {
    rString result;
    rString::format(result, "%s.%ld.%u.new", name.text(), long(::getpid()), attempt);
    return result;
}

// Creates a fresh file of our own beside path; its name is left in created.
int createScratch(const rString& path, rString& created) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        created = scratchName(path, attempt);
        const int fd = rPosix::open(created.text(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                    S_IRUSR | S_IWUSR);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A second name for the file at path, beside it; false when the file system has no hard links
// (or the link fails for another reason: the caller then falls back to renaming).
bool linkScratch(const rString& path, const rString& near, rString& created) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        created = scratchName(near, attempt);
        if (rPosix::link(path.text(), created.text()) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// Moves the scratch link from over to. Where both already name one file the system's rename
// does nothing and reports success; the scratch name is removed then, so that it never outlives
// the write (after a real move it no longer exists, and removing it changes nothing).
bool renameLink(const rString& from, const rString& to) {
    const bool moved = rPosix::rename(from.text(), to.text()) == 0;
    rPosix::unlink(from.text());
    return moved;
}

// The backup's name: an existing file of that name in any letter case (an exact match first),
// else the name itself, so that a game on a case-insensitive layer never sees two backups.
rString backupName(const rString& directory, const rString& wanted) {
    // The exact name, when it exists, is the answer: no listing needed.
    struct stat st;
    if (rPosix::lstat(wanted.text(), &st) == 0)
        return wanted;
    const rString wantedName = wanted.getFileName();
    rString found;
    if (DIR* dir = rPosix::opendir(directory.text())) {
        while (struct dirent* entry = rPosix::readdir(dir)) {
            if (wantedName == entry->d_name) {
                found.clear();
                break;
            }
            if (found.isEmpty() && wantedName.compareNoCase(entry->d_name) == 0)
                found = entry->d_name;
        }
        rPosix::closedir(dir);
    }
    if (found.isEmpty())
        return wanted;
    rString result = directory;
    result += found;
    return result;
}

bool stampOf(const struct stat& st, SaveGame::FileStamp& out) {
    if (!S_ISREG(st.st_mode))
        return false;
    out.known = true;
    out.size = int64_t(st.st_size);
    out.seconds = int64_t(st.st_mtim.tv_sec);
    out.nanoseconds = int64_t(st.st_mtim.tv_nsec);
    out.permissions = uint32_t(st.st_mode & 07777);
    return true;
}

bool readStamp(int descriptor, SaveGame::FileStamp& out) {
    struct stat st;
    return descriptor >= 0 && rPosix::fstat(descriptor, &st) == 0 && stampOf(st, out);
}

} // namespace

bool SaveGame::replaceFile() {
    // 1. The file must be the one that was read.
    Descriptor source(rPosix::open(path.text(), O_RDONLY | O_CLOEXEC, 0));
    FileStamp now;
    if (!readStamp(source.fd, now)) {
        if (source.fd >= 0) // it opens, but it is not the file that was read
            writeFailure = WriteFailure::changedOnDisk;
        return false;
    }
    if (!stillAsRead(now))
        return false;

    rString directory = path.getDirectory();
    directory.addSeparator();
    rString backup = path;
    backup.setExtension("bak");
    backup = backupName(directory, backup);

    // 2. The new content, complete and synced, under a name of our own.
    rString temporary;
    Descriptor target(createScratch(path, temporary));
    if (target.fd < 0)
        return false;
    const std::unique_ptr<char[]> block(new char[copyBlockSize]); // not zeroed: always read into
    std::vector<char> entries;
    char countBytes[4];
    storedList(countBytes, entries);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT; // the access time is the new file's own
    times[1].tv_sec = time_t(stamp.seconds);
    times[1].tv_nsec = long(stamp.nanoseconds);
    const bool built = readFully(source.fd, block.get(), countOffset) &&
                       writeFully(target.fd, block.get(), countOffset) &&
                       writeFully(target.fd, countBytes, 4) &&
                       rPosix::lseek(source.fd, 8, SEEK_SET) == 8 &&
                       copyBytes(source.fd, target.fd, entriesOffset - 8, block.get()) &&
                       writeFully(target.fd, entries.data(), entries.size()) &&
                       rPosix::lseek(source.fd, tailOffset, SEEK_SET) == tailOffset &&
                       copyBytes(source.fd, target.fd, now.size - tailOffset, block.get()) &&
                       rPosix::fchmod(target.fd, mode_t(stamp.permissions)) == 0 &&
                       rPosix::futimens(target.fd, times) == 0 && rPosix::fsync(target.fd) == 0;
    if (!target.close() || !built) {
        rPosix::unlink(temporary.text());
        return false;
    }
    source.close();

    // 3. game.bak becomes the former file, then the new file becomes game.sav. With hard links
    // game.sav exists at every instant; without them a failed second rename is undone.
    rString linkName;
    if (linkScratch(path, backup, linkName)) {
        if (!renameLink(linkName, backup)) {
            rPosix::unlink(temporary.text());
            return false;
        }
        if (rPosix::rename(temporary.text(), path.text()) != 0) {
            rPosix::unlink(temporary.text());
            return false;
        }
    } else {
        if (rPosix::rename(path.text(), backup.text()) != 0) {
            rPosix::unlink(temporary.text());
            return false;
        }
        if (rPosix::rename(temporary.text(), path.text()) != 0) {
            rPosix::rename(backup.text(), path.text());
            rPosix::unlink(temporary.text());
            return false;
        }
    }
    const int64_t newSize =
        int64_t(entriesOffset) + int64_t(entries.size()) + now.size - tailOffset;
    const int32_t newTail = int32_t(entriesOffset + entries.size());
    if (rPosix::fsyncDirectory(directory.text()) != 0) {
        // The new name may not survive a crash: put the former file back under game.sav (it
        // stays the backup too where links exist).
        bool restored = false;
        if (linkScratch(backup, backup, linkName))
            restored = renameLink(linkName, path);
        else
            restored = rPosix::rename(backup.text(), path.text()) == 0;
        if (restored) {
            rPosix::fsyncDirectory(directory.text());
            return false;
        }
        // The new content stands: the save is written, only its durability is unconfirmed.
        stamp.size = newSize;
        tailOffset = newTail;
        modified = 0;
        return false;
    }
    // The new file's layout: the next write of this save in the same run builds on it.
    stamp.size = newSize;
    tailOffset = newTail;
    modified = 0;
    return true;
}
