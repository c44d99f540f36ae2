// tools/gamegen.h - builds game directories (mods, saves, broken saves) for tests, benchmarks and
// the demo, with plain C++ and no dependence on rLib.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gamegen {

// Offsets of the mod list inside game.sav.
constexpr uint32_t countOffset = 4;
constexpr uint32_t entriesOffset = 256008;

// A demo game: two groups of saves with different known times, a dozen mods (some described in
// Cyrillic, code page 1251), each save listing a few mods. No broken saves.
bool makeDemo(const std::string& directory, std::string* error = nullptr);

// UTF-8 text (ASCII and the Russian alphabet) to code page 1251 bytes; other characters become '?'.
std::string cp1251(const std::string& utf8);

// One stored mod entry: its length byte and its name bytes.
struct Entry {
    std::string name;    // bytes as stored (code page 1251)
    int lengthByte = -1; // -1: twice the name's length (modulo 256)
};

// Content of one game.sav.
struct Save {
    uint32_t count = 0;          // the count at offset 4; see entries()
    std::vector<Entry> entries;  // written one after another from offset 256008
    std::string tail;            // bytes after the entries
    uint32_t seed = 1;           // fills bytes 0-3 and the block 8..256007 with a known pattern
    uint32_t blockSize = 256000; // bytes of the block actually written (short files: less)
    bool countPresent = true;    // false: the file stops before offset 4 + 4
    uint32_t headSize = 4;       // bytes 0..3 written (with countPresent false: fewer is possible)
    // A save whose count matches its entries.
    static Save withNames(const std::vector<std::string>& names, const std::string& tail,
                          uint32_t seed);
};

// The bytes of a save.
std::string saveBytes(const Save& save);
// Bytes of the pattern at file offsets [0, 256008) for a seed (those saveBytes writes).
uint8_t patternByte(uint32_t seed, uint32_t offset);

// File helpers; names are UTF-8 on every platform. Directories are created as needed. Times are
// seconds and nanoseconds since 1970-01-01 UTC (negative seconds are before 1970).
bool writeFile(const std::string& path, const std::string& bytes, std::string* error = nullptr);
std::optional<std::string> readFile(const std::string& path);
bool setModTime(const std::string& path, int64_t seconds, long nanoseconds,
                std::string* error = nullptr);
bool getModTime(const std::string& path, int64_t* seconds, long* nanoseconds);

// Writes save/<...>/game.sav below the program directory with the given time.
bool writeSave(const std::string& programDirectory, const std::string& relativeDirectory,
               const Save& save, int64_t seconds, long nanoseconds, std::string* error = nullptr);
// Makes a mod: <relativeDirectory>/game.db and, unless description is empty (nullopt), the bytes
// of description.txt.
bool makeMod(const std::string& programDirectory, const std::string& relativeDirectory,
             const std::optional<std::string>& description, std::string* error = nullptr);

// A larger game for benchmarks: `mods` mods at depths 1 to 4 (a few in Cyrillic, a few differing
// from another only in letter case), `saves` saves in groups of ten, each with the full block,
// `entries` entries (one in ten naming no mod) and a tail of `tail` bytes; half of `otherFiles`
// lie in the mod directories, half beside the saves. Sparse saves leave the block a hole.
struct BenchGame {
    unsigned saves = 1000;
    unsigned mods = 300;
    unsigned otherFiles = 20000;
    unsigned entries = 20;
    size_t tail = 40000;
    bool sparse = false;
    uint32_t seed = 1;
};
bool makeBenchGame(const std::string& directory, const BenchGame& game,
                   std::string* error = nullptr);
// A binary file of noise and a text file of short lines, for the stream benchmarks.
bool makeBenchFiles(const std::string& binaryPath, uint64_t binarySize, const std::string& textPath,
                    uint64_t textSize, std::string* error = nullptr);

// The test game: every mod and save kind that the reading rules distinguish (see gamegen.cpp for
// the list, mirrored by the names below).
bool makeTestGame(const std::string& directory, std::string* error = nullptr);

// A fresh empty directory in the system's temporary directory ($TMPDIR or /tmp on POSIX), named
// after prefix; empty on failure.
std::string makeTempDirectory(const std::string& prefix);
// Makes link a link to the directory target; false when the system refuses.
bool makeDirectoryLink(const std::string& target, const std::string& link);
// Removes a tree without following links.
void removeTree(const std::string& directory);
// The separator of the system's own path names: a slash on POSIX, a backslash on Windows (which
// takes slashes too, but the library's paths there use backslashes).
char pathSeparator();
// Makes local time UTC for this process, so that labels do not depend on the machine.
void useUtcTimeZone();

} // namespace gamegen
