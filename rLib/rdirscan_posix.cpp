// rLib/rdirscan_posix.cpp - rLocalFileSystem over opendir/readdir and fstatat.
#include "rdirscan.h"
#include "rposix.h"

#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#define R_MODULE "rLib/rdirscan"

namespace {

struct rLocalSearch : public rSearch {
    DIR* dir = nullptr;
    ~rLocalSearch() override {
        if (dir != nullptr)
            rPosix::closedir(dir);
    }
};

// The process's user and groups, read once: they decide which permission bits apply.
struct Identity {
    uid_t user;
    gid_t groups[NGROUPS_MAX + 1];
    int groupCount;
    Identity() {
        user = geteuid();
        groups[0] = getegid();
        const int n = getgroups(NGROUPS_MAX, groups + 1);
        groupCount = n > 0 ? n + 1 : 1;
    }
    bool inGroup(gid_t g) const {
        for (int i = 0; i < groupCount; ++i)
            if (groups[i] == g)
                return true;
        return false;
    }
};

const Identity& identity() {
    static const Identity id;
    return id;
}

bool hasExecutableExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr || dot == name || std::strlen(dot + 1) != 3)
        return false;
    char ext[4] = {char(foldUpper(dot[1])), char(foldUpper(dot[2])), char(foldUpper(dot[3])), 0};
    return std::strcmp(ext, "EXE") == 0 || std::strcmp(ext, "COM") == 0 ||
           std::strcmp(ext, "BAT") == 0;
}

// Readable and writable as this process sees the permission bits. A read-only entry (no write
// bit for us; for the superuser, no write bit at all) and a hidden one (a dot name) are not
// writable.
uint32_t accessOf(const struct stat& st, const char* name) {
    const Identity& me = identity();
    bool readable;
    bool writable;
    if (me.user == 0) {
        readable = true;
        writable = (st.st_mode & 0222) != 0;
    } else {
        const int shift = st.st_uid == me.user ? 6 : me.inGroup(st.st_gid) ? 3 : 0;
        readable = (st.st_mode & (S_IROTH << shift)) != 0;
        writable = (st.st_mode & (S_IWOTH << shift)) != 0;
    }
    const bool hidden =
        name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
    uint32_t access = 0;
    if (readable)
        access |= rFileInfo::accessRead;
    if (writable && !hidden)
        access |= rFileInfo::accessWrite;
    if (hasExecutableExtension(name))
        access |= rFileInfo::accessExecute;
    return access;
}

} // namespace

rLocalFileSystem::rLocalFileSystem() : rFileSystem(slashSeparator) {}

rSearch* rLocalFileSystem::findFirst(const rString& directory) {
    rString path(directory);
    path.setUnixStyle(true);
    if (path.isEmpty() || path.text()[0] != '/') {
        const rString base = currentDirectory();
        path.makeAbsolute(base.text());
    }
    DIR* dir = rPosix::opendir(path.text());
    if (dir == nullptr)
        return nullptr;
    rLocalSearch* search = new rLocalSearch;
    search->dir = dir;
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
    const struct dirent* found = rPosix::readdir(local->dir);
    if (found == nullptr)
        return false;
    entry->name = found->d_name;
    // The listing's own type saves a stat for entries the pattern rejects; links and unknown
    // types are left to getInfo, which follows links.
    if (found->d_type == DT_DIR)
        entry->kind = rFileInfo::kindDirectory;
    else if (found->d_type == DT_REG)
        entry->kind = rFileInfo::kindFile;
    return true;
}

bool rLocalFileSystem::getInfo(const rString&, rSearch* search, rFileInfo* entry) {
    if (search == nullptr || entry == nullptr)
        return false;
    rLocalSearch* local = static_cast<rLocalSearch*>(search);
    struct stat st;
    if (rPosix::fstatat(dirfd(local->dir), entry->name.text(), &st, 0) != 0)
        return false; // vanished, or a link whose target is missing
    entry->kind = 0;
    if (S_ISDIR(st.st_mode))
        entry->kind = rFileInfo::kindDirectory;
    else if (S_ISREG(st.st_mode))
        entry->kind = rFileInfo::kindFile;
    entry->access = accessOf(st, entry->name.text());
    entry->size = uint32_t(uint64_t(st.st_size));
    // A time that a date value cannot hold (outside 1901..2036) is an invalid date, as a failed
    // composition is, never a date of its own.
    if (!entry->time.setTimeT(st.st_mtime))
        entry->time.setSeconds(rDateTime::invalidSeconds);
    return true;
}

rString rLocalFileSystem::currentDirectory() {
    char buffer[PATH_MAX + 1];
    rString result;
    result.setUnixStyle(true);
    if (rPosix::getcwd(buffer, sizeof buffer) != nullptr)
        result = buffer;
    return result;
}

bool rLocalFileSystem::changeDirectory(const char* path) {
    if (path == nullptr)
        return false;
    rString p(path);
    p.setUnixStyle(true);
    p.removeSeparator();
    return rPosix::chdir(p.text()) == 0;
}

bool rLocalFileSystem::directoryId(const rSearch* search, rDirectoryId& id) {
    if (search == nullptr)
        return false;
    const rLocalSearch* local = static_cast<const rLocalSearch*>(search);
    struct stat st;
    if (rPosix::fstat(dirfd(local->dir), &st) != 0)
        return false;
    id.device = uint64_t(st.st_dev);
    id.inode = uint64_t(st.st_ino);
    return true;
}
