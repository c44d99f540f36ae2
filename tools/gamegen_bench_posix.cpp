// tools/gamegen_bench_posix.cpp - the benchmark games (mods at depths 1 to 4, saves with the full
// block, many other files, optionally sparse) and the stream benchmark's files, written with plain
// calls so that even 10,000 saves and 200,000 other files are made in seconds.
#include "gamegen.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gamegen {

namespace {

// A small deterministic generator, so that every run makes the same game.
struct Random {
    uint64_t state;
    explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return uint32_t(state >> 11);
    }
    uint32_t below(uint32_t n) { return next() % n; }
};

class Writer {
public:
    explicit Writer(std::string* errorText) : error(errorText) {}

    // mkdir -p, remembering the last directory made so that runs of files in one directory cost
    // no extra calls.
    bool makeDirectories(const std::string& directory) {
        if (directory == lastDirectory)
            return true;
        for (size_t at = 1; at <= directory.size(); ++at) {
            if (at != directory.size() && directory[at] != '/')
                continue;
            const std::string part = directory.substr(0, at);
            if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return fail("cannot create " + part);
        }
        lastDirectory = directory;
        return true;
    }

    // Writes the pieces at their offsets; a gap between pieces stays a hole.
    bool write(const std::string& path, const std::vector<std::pair<uint64_t, std::string>>& pieces,
               uint64_t size) {
        if (!makeDirectories(path.substr(0, path.rfind('/'))))
            return false;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return fail("cannot create " + path);
        bool ok = true;
        for (const auto& [offset, bytes] : pieces)
            ok = ok &&
                 ::pwrite(fd, bytes.data(), bytes.size(), off_t(offset)) == ssize_t(bytes.size());
        ok = ok && ::ftruncate(fd, off_t(size)) == 0;
        ok = ::close(fd) == 0 && ok;
        return ok || fail("cannot write " + path);
    }

    bool write(const std::string& path, const std::string& bytes) {
        return write(path, {{0, bytes}}, bytes.size());
    }

    bool fail(const std::string& text) {
        if (error != nullptr)
            *error = text + ": " + std::strerror(errno);
        return false;
    }

private:
    std::string* error;
    std::string lastDirectory;
};

std::string noise(Random& random, size_t n) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; i += 4) {
        const uint32_t v = random.next();
        for (size_t k = 0; k < 4 && i + k < n; ++k)
            bytes[i + k] = char(v >> (8 * k));
    }
    return bytes;
}

// The mod directory of mod i, at depth 1 to 4; a few are in Cyrillic (UTF-8 on disk), and a few
// differ from an earlier one only in letter case (the earlier one is found first by a walk only
// if the directory order says so: that is what the lookup must respect).
std::string modDirectory(unsigned i) {
    const std::string n = std::to_string(i);
    if (i % 50 == 7)
        return "Моды/Карта" + n;
    if (i % 100 == 13)
        return "MODS/MOD" + std::to_string(i - 12); // the same name as mod i - 12, upper case
    switch (i % 4) {
    case 0:
        return "Mod" + n;
    case 1:
        return "Mods/Mod" + n;
    case 2:
        return "Mods/Pack" + std::to_string(i % 7) + "/Mod" + n;
    default:
        return "Mods/Pack" + std::to_string(i % 7) + "/Set" + std::to_string(i % 3) + "/Mod" + n;
    }
}

// The name a save stores for a mod directory: '\' between components, code page 1251, in a
// letter case chosen by the generator.
std::string storedForm(const std::string& directory, Random& random) {
    std::string name = cp1251(directory);
    for (auto& c : name)
        if (c == '/')
            c = '\\';
    const uint32_t style = random.below(4);
    for (auto& c : name) {
        auto b = static_cast<unsigned char>(c);
        if (style == 1) // upper case, Cyrillic included
            b = b >= 'a' && b <= 'z' ? b - 32 : b >= 0xE0 ? b - 32 : b;
        else if (style == 2) // lower case
            b = b >= 'A' && b <= 'Z' ? b + 32 : b >= 0xC0 && b < 0xE0 ? b + 32 : b;
        c = char(b);
    }
    return name;
}

const char* const saveExtras[] = {"screen.jpg", "info.txt",  "game.log",  "game.bak",  "map.dat",
                                  "quest.dat",  "stats.bin", "notes.txt", "thumb.png", "ver"};

} // namespace

bool makeBenchGame(const std::string& directory, const BenchGame& game, std::string* error) {
    Writer out(error);
    Random random(game.seed);
    if (!out.write(directory + "/game.db", "GAME") ||
        !out.write(directory + "/description.txt", "The game itself\n"))
        return false;

    // Mods, and half of the other files spread over them.
    std::vector<std::string> modDirectories;
    const unsigned modFiles = game.otherFiles / 2;
    for (unsigned i = 0; i < game.mods; ++i) {
        const std::string dir = directory + "/" + modDirectory(i);
        modDirectories.push_back(modDirectory(i));
        const std::string description =
            i % 50 == 7 ? cp1251("Карта номер " + std::to_string(i) + "\r\nВторая строка\r\n")
            : i % 2 ? "Mod number " + std::to_string(i) + "\r\nSecond line\r\n"
                    : "Mod number " + std::to_string(i) + "\nSecond line\n";
        if (!out.write(dir + "/game.db", "DB") || !out.write(dir + "/description.txt", description))
            return false;
        const unsigned first = unsigned(uint64_t(modFiles) * i / game.mods);
        const unsigned last = unsigned(uint64_t(modFiles) * (i + 1) / game.mods);
        for (unsigned k = first; k < last; ++k) {
            const std::string file = k % 2 ? dir + "/data/item" + std::to_string(k) + ".dat"
                                           : dir + "/texture" + std::to_string(k) + ".dds";
            if (!out.write(file, noise(random, 16 + k % 48)))
                return false;
        }
    }

    // Saves in groups of ten, each in a directory of its own with the rest of the other files.
    const unsigned perSave = game.saves > 0 ? (game.otherFiles - modFiles) / game.saves : 0;
    for (unsigned i = 0; i < game.saves; ++i) {
        const std::string dir =
            directory + "/save/Profile" + std::to_string(i / 10) + "/Slot" + std::to_string(i % 10);
        std::string entries;
        for (unsigned k = 0; k < game.entries; ++k) {
            // One entry in ten names no available mod: it is dropped when read.
            const std::string name =
                k % 10 == 9
                    ? "Unknown\\Mod" + std::to_string(random.below(1000))
                    : storedForm(modDirectories[random.below(unsigned(modDirectories.size()))],
                                 random);
            entries += char(name.size() * 2);
            entries += name;
        }
        const uint32_t count = game.entries;
        std::string head = noise(random, 4);
        for (int k = 0; k < 4; ++k)
            head += char((count >> (8 * k)) & 0xFF);
        std::vector<std::pair<uint64_t, std::string>> pieces;
        if (game.sparse)
            pieces.emplace_back(0, head);
        else
            pieces.emplace_back(0, head + noise(random, entriesOffset - 8));
        pieces.emplace_back(entriesOffset, entries + noise(random, game.tail));
        const std::string path = dir + "/game.sav";
        if (!out.write(path, pieces, entriesOffset + entries.size() + game.tail) ||
            !setModTime(path, 1068387394 + int64_t(i) * 3600, 0, error))
            return false;
        for (unsigned k = 0; k < perSave; ++k) {
            std::string extra = saveExtras[k % 10];
            if (k >= 10)
                extra = std::to_string(k) + "." + extra;
            if (!out.write(dir + "/" + extra, noise(random, 8 + k % 24)))
                return false;
        }
    }
    return true;
}

bool makeBenchFiles(const std::string& binaryPath, uint64_t binarySize, const std::string& textPath,
                    uint64_t textSize, std::string* error) {
    Writer out(error);
    Random random(5);
    std::string bytes = noise(random, size_t(binarySize));
    if (!out.write(binaryPath, bytes))
        return false;
    // Short lines of the usual kinds: mod names and description lines, CR LF and LF mixed.
    std::string text;
    text.reserve(size_t(textSize) + 64);
    for (unsigned i = 0; text.size() < textSize; ++i) {
        switch (i % 4) {
        case 0:
            text += "Mods\\Pack" + std::to_string(i % 7) + "\\Mod" + std::to_string(i) + "\r\n";
            break;
        case 1:
            text += "Mod number " + std::to_string(i) + "\n";
            break;
        case 2:
            text += "Second line\r\n";
            break;
        default:
            text += "\n";
            break;
        }
    }
    return out.write(textPath, text);
}

} // namespace gamegen
