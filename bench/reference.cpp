// bench/reference.cpp - the reference scan and writer on plain POSIX calls: one readdir walk,
// preads of only the bytes the job needs, a hash of folded names, and a write with the same
// durability as ours.
#include "reference.h"

#include "gamegen.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <unordered_map>

namespace reference {

unsigned char fold(unsigned char b) {
    if ((b >= 'a' && b <= 'z') || b >= 0xE0)
        return b - 0x20;
    return b == 0xB8 ? 0xA8 : b;
}

namespace {

constexpr uint32_t entriesOffset = 256008;

std::string folded(const char* text, size_t n) {
    std::string out(text, n);
    for (auto& c : out)
        c = char(fold(static_cast<unsigned char>(c)));
    return out;
}

// The description as the catalogue shows it: lines (ended by LF or NUL, one CR before LF
// dropped) joined by single spaces, blanks and control bytes trimmed from both ends.
std::string describe(const std::string& bytes) {
    std::string out;
    size_t start = 0;
    for (size_t i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '\n' && bytes[i] != '\0')
            continue;
        size_t end = i;
        if (i < bytes.size() && bytes[i] == '\n' && end > start && bytes[end - 1] == '\r')
            --end;
        out += ' ';
        out.append(bytes, start, end - start);
        start = i + 1;
    }
    size_t b = 0, e = out.size();
    while (b < e && static_cast<unsigned char>(out[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(out[e - 1]) <= 0x20)
        --e;
    return out.substr(b, e - b);
}

std::string readSmallFile(int dirFd, const char* name) {
    std::string bytes;
    const int fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return bytes;
    char block[4096];
    ssize_t n;
    while ((n = ::read(fd, block, sizeof block)) > 0)
        bytes.append(block, size_t(n));
    ::close(fd);
    return bytes;
}

// The stored form of a relative directory: '\' between components, UTF-8 names in code page
// 1251; empty when it cannot be stored.
std::string storedName(const std::string& relative) {
    bool ascii = true;
    for (char c : relative)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    std::string name = ascii ? relative : gamegen::cp1251(relative);
    for (auto& c : name) {
        if (static_cast<unsigned char>(c) < 0x20)
            return std::string();
        if (c == '/')
            c = '\\';
    }
    return name.size() <= 127 ? name : std::string();
}

struct Walk {
    std::string root;
    Catalogue* out;
    std::unordered_map<std::string, uint32_t> byName; // folded name -> first mod
    std::vector<std::string> savePaths;
    std::string saveDirectory; // relative, "" until known

    // relative: "" for the program directory, else "a/b".
    void directory(int fd, const std::string& relative, bool inSaves) {
        DIR* dir = ::fdopendir(fd);
        if (dir == nullptr) {
            ::close(fd);
            return;
        }
        std::vector<std::string> subdirectories;
        std::string description;
        bool exactDescription = false;
        bool marker = false;
        std::string saveFound;
        bool exactSave = false;
        while (const struct dirent* e = ::readdir(dir)) {
            const char* name = e->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            unsigned char type = e->d_type;
            if (type != DT_DIR && type != DT_REG) {
                struct stat st;
                if (::fstatat(::dirfd(dir), name, &st, 0) != 0)
                    continue;
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
            }
            if (type == DT_DIR) {
                subdirectories.emplace_back(name);
                if (relative.empty() && !exactSave && strcasecmp(name, "save") == 0) {
                    exactSave = std::strcmp(name, "save") == 0;
                    if (exactSave || saveFound.empty())
                        saveFound = name;
                }
            } else if (type == DT_REG) {
                if (strcasecmp(name, "game.db") == 0)
                    marker = true;
                else if (inSaves && strcasecmp(name, "game.sav") == 0)
                    savePaths.push_back(root + "/" + relative + "/" + name);
                else if (!exactDescription && strcasecmp(name, "description.txt") == 0) {
                    exactDescription = std::strcmp(name, "description.txt") == 0;
                    if (exactDescription || description.empty())
                        description = name;
                }
            }
        }
        if (relative.empty())
            saveDirectory = saveFound;
        if (marker && !relative.empty() && !description.empty()) {
            Mod mod{storedName(relative),
                    describe(readSmallFile(::dirfd(dir), description.c_str()))};
            if (!mod.name.empty() && !mod.description.empty()) {
                byName.emplace(folded(mod.name.data(), mod.name.size()),
                               uint32_t(out->mods.size()));
                out->mods.push_back(std::move(mod));
            }
        }
        for (const std::string& sub : subdirectories) {
            const int subFd =
                ::openat(::dirfd(dir), sub.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (subFd < 0)
                continue;
            const bool saves = inSaves || (relative.empty() && sub == saveDirectory);
            directory(subFd, relative.empty() ? sub : relative + "/" + sub, saves);
        }
        ::closedir(dir);
    }

    bool readSave(const std::string& path, Save& save) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat st;
        unsigned char head[8];
        bool ok = ::fstat(fd, &st) == 0 && ::pread(fd, head, 8, 0) == 8;
        if (ok) {
            save.path = path;
            save.seconds = int64_t(st.st_mtim.tv_sec);
            save.nanoseconds = st.st_mtim.tv_nsec;
            save.size = int64_t(st.st_size);
            save.permissions = uint32_t(st.st_mode & 07777);
            save.tailOffset = entriesOffset;
            const uint32_t count = uint32_t(head[4]) | uint32_t(head[5]) << 8 |
                                   uint32_t(head[6]) << 16 | uint32_t(head[7]) << 24;
            std::string entries;
            size_t at = 0;
            bool atEnd = false;
            for (uint32_t i = 0; ok && i < count; ++i) {
                // An entry takes at most 128 bytes: read further only when the buffer runs out.
                if (!atEnd && at + 128 > entries.size()) {
                    const size_t have = entries.size();
                    entries.resize(have + 4096);
                    const ssize_t n =
                        ::pread(fd, entries.data() + have, 4096, off_t(entriesOffset + have));
                    const size_t got = n > 0 ? size_t(n) : 0;
                    entries.resize(have + got);
                    atEnd = got < 4096;
                }
                if (at >= entries.size()) {
                    ok = false;
                    break;
                }
                const size_t length = static_cast<unsigned char>(entries[at]) >> 1;
                if (at + 1 + length > entries.size()) {
                    ok = false;
                    break;
                }
                const char* name = entries.data() + at + 1;
                bool valid = true;
                for (size_t k = 0; k < length; ++k)
                    valid = valid && static_cast<unsigned char>(name[k]) >= 0x20;
                if (!valid)
                    break;
                const auto found = byName.find(folded(name, length));
                if (found != byName.end())
                    save.installed.push_back(found->second);
                at += 1 + length;
                save.tailOffset = uint32_t(entriesOffset + at);
            }
        }
        ::close(fd);
        return ok;
    }
};

} // namespace

bool scan(const std::string& programDirectory, Catalogue& out) {
    out = Catalogue();
    Walk walk;
    walk.root = programDirectory;
    walk.out = &out;
    const int fd = ::open(programDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    walk.directory(fd, "", false);
    for (const std::string& path : walk.savePaths) {
        Save save;
        if (walk.readSave(path, save))
            out.saves.push_back(std::move(save));
    }
    return true;
}

bool write(Save& save, const std::vector<std::string>& names) {
    const int source = ::open(save.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return false;
    struct stat st;
    if (::fstat(source, &st) != 0 || int64_t(st.st_size) != save.size ||
        int64_t(st.st_mtim.tv_sec) != save.seconds || st.st_mtim.tv_nsec != save.nanoseconds ||
        save.size < int64_t(save.tailOffset)) {
        ::close(source);
        return false;
    }
    std::string entries;
    for (const auto& name : names) {
        entries += char(name.size() * 2);
        entries += name;
    }
    const std::string temporary = save.path + ".new";
    const int target =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (target < 0) {
        ::close(source);
        return false;
    }
    // The head and block in one read, the tail in another; the entries between them.
    const size_t tailSize = size_t(save.size - save.tailOffset);
    std::vector<char> head(entriesOffset), tail(tailSize);
    const uint32_t count = uint32_t(names.size());
    bool ok = ::pread(source, head.data(), entriesOffset, 0) == ssize_t(entriesOffset) &&
              ::pread(source, tail.data(), tailSize, off_t(save.tailOffset)) == ssize_t(tailSize);
    std::memcpy(head.data() + 4, &count, 4); // little-endian machine
    struct iovec pieces[3] = {
        {head.data(), head.size()}, {entries.data(), entries.size()}, {tail.data(), tail.size()}};
    const ssize_t total = ssize_t(head.size() + entries.size() + tail.size());
    struct timespec times[2] = {{0, UTIME_OMIT}, {time_t(save.seconds), save.nanoseconds}};
    ok = ok && ::writev(target, pieces, 3) == total &&
         ::fchmod(target, mode_t(save.permissions)) == 0 && ::futimens(target, times) == 0 &&
         ::fsync(target) == 0;
    ok = ::close(target) == 0 && ok;
    ::close(source);
    std::string backup = save.path.substr(0, save.path.size() - 3) + "bak";
    if (!ok || ::rename(save.path.c_str(), backup.c_str()) != 0 ||
        ::rename(temporary.c_str(), save.path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    const std::string directory = save.path.substr(0, save.path.rfind('/'));
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = dirFd >= 0 && ::fsync(dirFd) == 0;
    if (dirFd >= 0)
        ::close(dirFd);
    save.size = total;
    save.tailOffset = uint32_t(entriesOffset + entries.size());
    return ok;
}

} // namespace reference
