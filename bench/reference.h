// bench/reference.h - the reference programs the benchmarks measure against: the save catalogue's
// scan and the save writer done with plain POSIX calls and only the work the job needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace reference {

struct Mod {
    std::string name;        // stored form: '\' between components, code page 1251
    std::string description; // description.txt as one trimmed line
};

struct Save {
    std::string path;
    int64_t seconds = 0; // modification time
    long nanoseconds = 0;
    int64_t size = 0;
    uint32_t permissions = 0;
    uint32_t tailOffset = 0;
    std::vector<uint32_t> installed; // indexes into the catalogue's mods
};

struct Catalogue {
    std::vector<Mod> mods;
    std::vector<Save> saves;
};

// One walk of the program directory with readdir: mods where game.db lies (description.txt taken
// from the same listing), saves below the save directory, each read with two preads (the header,
// then the entries); names resolved through a hash of the folded names, first mod in walk order.
bool scan(const std::string& programDirectory, Catalogue& out);

// Writes the save with the names given: the new bytes into a new file beside it, synced, the
// former file renamed to game.bak, the new one renamed in, the directory synced; the new file
// keeps the permission bits and modification time. Updates size and tailOffset.
bool write(Save& save, const std::vector<std::string>& names);

// Upper case under the code page 1251 rule (ASCII and Russian letters).
unsigned char fold(unsigned char b);

} // namespace reference
