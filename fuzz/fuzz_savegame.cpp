// fuzz/fuzz_savegame.cpp - arbitrary bytes as a game.sav, read against a small mod catalogue:
// the reader must never crash, keep tailOffset inside the file and install only catalogue mods.
#include "savegame.h"

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

struct Fixture {
    std::string directory;
    std::string savePath;
    ModList mods;
    int fd = -1;

    Fixture() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/tarvex-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        directory = pattern;
        for (const char* mod : {"A", "Mods/B", "Mods/Long/Name", "Моды/Ж"}) {
            const std::filesystem::path modDirectory = directory + "/" + mod;
            std::filesystem::create_directories(modDirectory);
            std::ofstream(modDirectory / "game.db") << "db";
            std::ofstream(modDirectory / "description.txt") << "about";
        }
        mods.scan(rString(directory.c_str()));
        if (mods.getCount() != 4)
            std::abort();
        std::filesystem::create_directories(directory + "/save/P/S");
        savePath = directory + "/save/P/S/game.sav";
        fd = ::open(savePath.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            std::abort();
    }
    ~Fixture() {
        ::close(fd);
        std::error_code ec;
        std::filesystem::remove_all(directory, ec);
    }

    // Short inputs, and those starting with 'R', are the whole file; otherwise the first 8 bytes
    // are the head and the rest follows the 256000-byte block, where the entries are read.
    int64_t place(const uint8_t* data, size_t size) {
        // The file is never cut to zero and grown again (costly on some file systems): the block
        // stays in place, and what a raw input left in it is zeroed again.
        const bool raw = size < 8 || data[0] == 'R';
        if (raw) {
            if (::ftruncate(fd, off_t(size)) != 0 || ::pwrite(fd, data, size, 0) != ssize_t(size))
                std::abort();
            rawEnd = size;
            return int64_t(size);
        }
        if (::ftruncate(fd, SaveGame::entriesOffset) != 0)
            std::abort();
        if (rawEnd > 8) {
            const std::string zeros(rawEnd - 8, '\0');
            if (::pwrite(fd, zeros.data(), zeros.size(), 8) != ssize_t(zeros.size()))
                std::abort();
        }
        rawEnd = 0;
        const size_t rest = size - 8;
        if (::pwrite(fd, data, 8, 0) != 8 ||
            ::pwrite(fd, data + 8, rest, SaveGame::entriesOffset) != ssize_t(rest))
            std::abort();
        return int64_t(SaveGame::entriesOffset + rest);
    }
    size_t rawEnd = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fixture;
    const int64_t fileSize = fixture.place(data, size);
    SaveGame save;
    const bool ok = save.readFile(fixture.savePath.c_str(), fixture.mods);
    if (ok) {
        if (fileSize < 8)
            std::abort();
        // Where no entry was read the tail starts at the list's offset, even past a short file.
        if (save.tailOffset < int32_t(SaveGame::entriesOffset) ||
            (save.tailOffset > int32_t(SaveGame::entriesOffset) && save.tailOffset > fileSize))
            std::abort();
    }
    for (uint32_t i = 0; i < save.installed.getCount(); ++i)
        if (fixture.mods.indexOf(save.installed[i]) < 0)
            std::abort();
    if (save.modified != 0)
        std::abort();
    return 0;
}
