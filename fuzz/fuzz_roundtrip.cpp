// fuzz/fuzz_roundtrip.cpp - a fuzzed save read against a small catalogue, its list edited, written
// and read back: the backup must be the old file byte for byte, the new file must hold the old
// head, the new count and entries, then the old file from tailOffset on, keep the old modification
// time, and read back as the edited list.
#include "fuzzinput.h"
#include "savegame.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct Fixture {
    std::string root = fuzzDirectory("tarvex-fuzz-roundtrip");
    std::string savePath = root + "/save/P/S/game.sav";
    std::string backupPath = root + "/save/P/S/game.bak";
    ModList mods;

    Fixture() {
        for (const char* mod : {"A", "Mods/B", "Mods/Long/Name", "Моды/Ж"}) {
            const std::filesystem::path directory = root + "/" + mod;
            std::filesystem::create_directories(directory);
            std::ofstream(directory / "game.db") << "db";
            std::ofstream(directory / "description.txt") << "about";
        }
        std::filesystem::create_directories(root + "/save/P/S");
        mods.scan(rString(root.c_str()));
        FUZZ_EXPECT(mods.getCount() == 4);
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

void readWhole(const std::string& path, std::string& content) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st;
    FUZZ_EXPECT(fd >= 0 && ::fstat(fd, &st) == 0);
    content.resize(size_t(st.st_size));
    FUZZ_EXPECT(::pread(fd, content.data(), content.size(), 0) == ssize_t(content.size()));
    ::close(fd);
}

struct timespec modificationTime(const std::string& path) {
    struct stat st;
    FUZZ_EXPECT(::stat(path.c_str(), &st) == 0);
    return st.st_mtim;
}

void putInt(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s += char(v >> (8 * i));
}

} // namespace

// The input: 4 head bytes, the count, a time, the number of edits and the edits, then the bytes
// that follow the 256000-byte block (the entries and whatever lies after them).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fixture;
    FuzzInput in(data, size);
    // The big strings live on between inputs, so that their blocks are not mapped afresh each time.
    static std::string original, rebuilt, content;
    original.assign(in.bytes(4));
    original.resize(4, 'H');
    const uint32_t count = in.byte() % 8; // a handful of entries, so that most inputs are read
    putInt(original, count);
    // The block carries a pattern, so that a block taken from the wrong place shows.
    static std::string block(256000 + 256, '\0');
    if (block[1] == 0)
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = char(i % 251);
    original.append(block, in.byte(), 256000);
    // Any second, from long before 1970 to long after 2038, and any nanosecond.
    const int64_t seconds = int64_t(int32_t(in.u32())) * 4;
    const int64_t nanoseconds = in.u32() % 1000000000;
    std::vector<uint8_t> edits;
    for (uint32_t n = in.byte() % 16; n > 0; --n)
        edits.push_back(in.byte());
    original += in.rest();

    {
        std::ofstream out(fixture.savePath, std::ios::binary | std::ios::trunc);
        out.write(original.data(), std::streamsize(original.size()));
    }
    const struct timespec times[2] = {{0, 0}, {seconds, nanoseconds}};
    FUZZ_EXPECT(::utimensat(AT_FDCWD, fixture.savePath.c_str(), times, 0) == 0);
    const struct timespec before = modificationTime(fixture.savePath);

    SaveGame save;
    if (!save.readFile(fixture.savePath.c_str(), fixture.mods))
        return 0;
    FUZZ_EXPECT(save.tailOffset >= int32_t(SaveGame::entriesOffset) &&
                size_t(save.tailOffset) <= original.size());

    // The edits, made on the save and on a plain list of the same records.
    std::vector<ModInfo*> expected(save.installed.getItems(),
                                   save.installed.getItems() + save.installed.getCount());
    for (const uint8_t e : edits) {
        ModInfo* a = fixture.mods.mod(uint32_t(e >> 2) % 4);
        ModInfo* b = fixture.mods.mod(uint32_t(e >> 4) % 4);
        const auto atA = std::find(expected.begin(), expected.end(), a);
        const auto atB = std::find(expected.begin(), expected.end(), b);
        switch (e % 3) {
        case 0:
            FUZZ_EXPECT(save.addMod(a) == (atA == expected.end()));
            if (atA == expected.end())
                expected.push_back(a);
            break;
        case 1:
            FUZZ_EXPECT(save.removeMod(a) == (atA != expected.end()));
            if (atA != expected.end())
                expected.erase(atA);
            break;
        case 2:
            FUZZ_EXPECT(save.swapMods(a, b) == (atA != expected.end() && atB != expected.end()));
            if (atA != expected.end() && atB != expected.end())
                std::iter_swap(atA, atB);
            break;
        }
    }
    const int32_t tailOffset = save.tailOffset; // a write moves it to the new entries' end
    FUZZ_EXPECT(save.writeFile());
    FUZZ_EXPECT(save.modified == 0);

    // The backup is the old file; the new file is rebuilt around the new list.
    readWhole(fixture.backupPath, content);
    FUZZ_EXPECT(content == original);
    rebuilt.assign(original, 0, 4);
    putInt(rebuilt, uint32_t(expected.size()));
    rebuilt.append(original, 8, 256000);
    for (const ModInfo* mod : expected) {
        rebuilt += char(mod->name.length() * 2);
        rebuilt.append(mod->name.text(), mod->name.length());
    }
    const size_t entriesEnd = rebuilt.size();
    rebuilt.append(original, size_t(tailOffset));
    FUZZ_EXPECT(save.tailOffset == int32_t(entriesEnd));
    readWhole(fixture.savePath, content);
    FUZZ_EXPECT(content == rebuilt);
    const struct timespec after = modificationTime(fixture.savePath);
    FUZZ_EXPECT(after.tv_sec == before.tv_sec && after.tv_nsec == before.tv_nsec);

    SaveGame back;
    FUZZ_EXPECT(back.readFile(fixture.savePath.c_str(), fixture.mods));
    FUZZ_EXPECT(back.installed.getCount() == expected.size() &&
                size_t(back.tailOffset) == entriesEnd);
    for (uint32_t i = 0; i < expected.size(); ++i)
        FUZZ_EXPECT(back.installed[i] == expected[i]);
    return 0;
}
