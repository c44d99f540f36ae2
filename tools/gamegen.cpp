// tools/gamegen.cpp - game-directory generator: mods with descriptions, saves with a mod list at
// offset 256008, broken saves, and known modification times.
#include "gamegen.h"
#include "gamegen_platform.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace gamegen {

namespace {

void setError(std::string* error, const std::string& text) {
    if (error != nullptr)
        *error = text;
}

// Decodes one UTF-8 sequence at text[i]; returns the code point (or 0xFFFD) and advances i.
uint32_t nextCodePoint(const std::string& text, size_t& i) {
    const auto b = static_cast<unsigned char>(text[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + size_t(extra) >= text.size()) {
        ++i;
        return 0xFFFD;
    }
    uint32_t cp = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += size_t(extra) + 1;
    return cp;
}

} // namespace

std::string cp1251(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const uint32_t cp = nextCodePoint(utf8, i);
        if (cp < 0x80)
            out += char(cp);
        else if (cp >= 0x410 && cp <= 0x44F)
            out += char(0xC0 + (cp - 0x410));
        else if (cp == 0x401)
            out += char(0xA8);
        else if (cp == 0x451)
            out += char(0xB8);
        else
            out += '?';
    }
    return out;
}

Save Save::withNames(const std::vector<std::string>& names, const std::string& tail,
                     uint32_t seed) {
    Save save;
    save.count = uint32_t(names.size());
    for (const auto& name : names)
        save.entries.push_back(Entry{name, -1});
    save.tail = tail;
    save.seed = seed;
    return save;
}

uint8_t patternByte(uint32_t seed, uint32_t offset) {
    uint32_t x = offset * 2654435761u ^ (seed * 40503u + 0x9E3779B9u);
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    return uint8_t(x);
}

std::string saveBytes(const Save& save) {
    std::string bytes;
    bytes.reserve(entriesOffset + save.tail.size() + save.entries.size() * 64);
    for (uint32_t i = 0; i < save.headSize && i < countOffset; ++i)
        bytes += char(patternByte(save.seed, i));
    if (!save.countPresent)
        return bytes;
    for (int k = 0; k < 4; ++k)
        bytes += char((save.count >> (8 * k)) & 0xFF);
    for (uint32_t i = 0; i < save.blockSize && i < entriesOffset - 8; ++i)
        bytes += char(patternByte(save.seed, 8 + i));
    if (save.blockSize < entriesOffset - 8)
        return bytes;
    for (const auto& entry : save.entries) {
        const int lengthByte =
            entry.lengthByte >= 0 ? entry.lengthByte : int(entry.name.size() * 2);
        bytes += char(lengthByte & 0xFF);
        bytes += entry.name;
    }
    bytes += save.tail;
    return bytes;
}

bool writeFile(const std::string& path, const std::string& bytes, std::string* error) {
    std::error_code ec;
    const fs::path p = nativePath(path);
    if (p.has_parent_path())
        fs::create_directories(p.parent_path(), ec);
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    if (!out) {
        setError(error, "cannot create " + path);
        return false;
    }
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
        setError(error, "cannot write " + path);
        return false;
    }
    return true;
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(nativePath(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes;
    in.seekg(0, std::ios::end);
    const auto size = in.tellg();
    if (size < 0)
        return std::nullopt;
    bytes.resize(size_t(size));
    in.seekg(0);
    in.read(bytes.data(), size);
    if (!in)
        return std::nullopt;
    return bytes;
}

bool writeSave(const std::string& programDirectory, const std::string& relativeDirectory,
               const Save& save, int64_t seconds, long nanoseconds, std::string* error) {
    const std::string path = programDirectory + "/" + relativeDirectory + "/game.sav";
    return writeFile(path, saveBytes(save), error) && setModTime(path, seconds, nanoseconds, error);
}

bool makeMod(const std::string& programDirectory, const std::string& relativeDirectory,
             const std::optional<std::string>& description, std::string* error) {
    const std::string directory = programDirectory + "/" + relativeDirectory;
    if (!writeFile(directory + "/game.db", "DB", error))
        return false;
    return !description || writeFile(directory + "/description.txt", *description, error);
}

namespace {

// A tail of the given length with a recognisable pattern.
std::string tailOf(size_t length, uint32_t seed) {
    std::string tail(length, '\0');
    for (size_t i = 0; i < length; ++i)
        tail[i] = char(patternByte(seed + 7, uint32_t(i)));
    return tail;
}

} // namespace

bool makeDemo(const std::string& directory, std::string* error) {
    struct DemoMod {
        const char* dir;
        const char* description; // UTF-8; stored as code page 1251 when cyrillic is set
        bool cyrillic;
        bool crlf;
    };
    static const DemoMod demoMods[] = {
        {"Mods/BetterWeapons", "Better weapons\nSharper blades and heavier hammers.", false, false},
        {"Mods/Armor/Heavy", "Heavy armor pack\r\nPlate, chain and scale.\r\n", false, true},
        {"Mods/Armor/Light", "Light armor pack", false, false},
        {"Mods/Maps/Islands", "Острова\nНовая карта архипелага.", true, false},
        {"Mods/Maps/Desert", "Пустыня\r\nКарта южных земель.\r\n", true, true},
        {"Mods/Music", "Extended soundtrack", false, false},
        {"Mods/Russian", "Русский перевод", true, false},
        {"Mods/Quests/Side", "Side quests\n\nTwelve new quests.", false, false},
        {"Mods/Quests/Main", "Main quest fixes", false, false},
        {"Mods/Ui/Fonts", "Шрифты интерфейса", true, false},
        {"Mods/Ui/Icons", "\tCrisp icons\t", false, false},
        {"Tweaks", "Balance tweaks", false, false},
    };
    std::error_code ec;
    fs::create_directories(nativePath(directory), ec);
    if (ec) {
        setError(error, "cannot create " + directory + ": " + ec.message());
        return false;
    }
    if (!writeFile(directory + "/game.db", "GAME", error))
        return false;
    for (const auto& mod : demoMods) {
        const std::string text = mod.cyrillic ? cp1251(mod.description) : mod.description;
        if (!makeMod(directory, mod.dir, text, error))
            return false;
    }
    struct DemoSave {
        const char* dir;
        std::vector<std::string> mods;
        int64_t time;
        size_t tail;
    };
    const std::vector<DemoSave> demoSaves = {
        {"save/Ivan/Slot1", {"Mods\\BetterWeapons", "Mods\\Armor\\Heavy"}, 1068387394, 4096},
        {"save/Ivan/Slot2", {"Mods\\Russian", "Mods\\Maps\\Islands", "Tweaks"}, 1068473794, 9000},
        {"save/Ivan/Quick", {"mods\\russian", "Mods\\Music"}, 1069000000, 120},
        {"save/Maria/Slot1",
         {"Mods\\Quests\\Main", "Mods\\Quests\\Side", "Mods\\Ui\\Fonts"},
         1272700805,
         30000},
        {"save/Maria/Slot2", {"Mods\\Maps\\Desert", "Mods\\Armor\\Light"}, 1614556799, 777},
    };
    uint32_t seed = 100;
    for (const auto& s : demoSaves) {
        if (!writeSave(directory, s.dir, Save::withNames(s.mods, tailOf(s.tail, seed), seed),
                       s.time, 0, error))
            return false;
        ++seed;
    }
    return true;
}

// The test game (times are UTC seconds):
//   game.db, description.txt         the program directory's own: not a mod
//   Mods/Alpha                        "Alpha mod\r\nSecond line\r\n" -> "Alpha mod Second line"
//   Mods/Beta                         "Beta mod\nSecond line\n"      -> "Beta mod Second line"
//   Mods/Gamma/Deep                   " \tGamma\tdeep\r\n\r\nlast" -> "Gamma\tdeep  last"
//   Mods/Cyr                          code page 1251 "Русский мод"
//   Mods/Blank                        description of blanks only: skipped
//   Mods/NoDesc                       no description: skipped
//   Extra                             "Extra\0mod" (a NUL ends a line; no line end)
//   save/Profile1/Slot1  1068387394.5  Mods\Alpha, MODS\BETA, Unknown\Mod, Mods\Alpha; tail 5000
//   save/Profile1/Slot2  1272700805    count 0, file of 8 bytes
//   save/Profile2/Slot1  1614556799    Extra (length byte 0x0B), Mods\Gamma\Deep; tail 123
//   save/Profile2/Slot3  1068387400    Mods\Cyr, "Bad\x1FName", Mods\Beta; tail 10
//   save/Broken/Tiny                   5 bytes: not listed
//   save/Broken/Overcount              count 5, two entries, no tail: not listed
//   save/Broken/NoBlock                count 2, file ends inside the block: not listed
bool makeTestGame(const std::string& directory, std::string* error) {
    if (!writeFile(directory + "/game.db", "GAME", error) ||
        !writeFile(directory + "/description.txt", "The game itself\n", error) ||
        !makeMod(directory, "Mods/Alpha", std::string("Alpha mod\r\nSecond line\r\n"), error) ||
        !makeMod(directory, "Mods/Beta", std::string("Beta mod\nSecond line\n"), error) ||
        !makeMod(directory, "Mods/Gamma/Deep", std::string(" \tGamma\tdeep\r\n\r\nlast"), error) ||
        !makeMod(directory, "Mods/Cyr", cp1251("Русский мод\n"), error) ||
        !makeMod(directory, "Mods/Blank", std::string("  \r\n\t\n"), error) ||
        !makeMod(directory, "Mods/NoDesc", std::nullopt, error) ||
        !makeMod(directory, "Extra", std::string("Extra\0mod", 9), error))
        return false;

    Save slot1 = Save::withNames({"Mods\\Alpha", "MODS\\BETA", "Unknown\\Mod", "Mods\\Alpha"},
                                 tailOf(5000, 1), 1);
    Save empty;
    empty.count = 0;
    empty.blockSize = 0;
    Save odd = Save::withNames({"Extra", "Mods\\Gamma\\Deep"}, tailOf(123, 3), 3);
    odd.entries[0].lengthByte = 0x0B;
    Save control = Save::withNames({"Mods\\Cyr", "Bad\x1FName", "Mods\\Beta"}, tailOf(10, 4), 4);
    Save tiny;
    tiny.countPresent = false;
    tiny.headSize = 4;
    Save overcount = Save::withNames({"Mods\\Alpha", "Mods\\Beta"}, "", 6);
    overcount.count = 5;
    Save noBlock = Save::withNames({"Mods\\Alpha", "Mods\\Beta"}, "", 7);
    noBlock.blockSize = 1000;

    std::string tinyBytes = saveBytes(tiny) + "x";
    return writeSave(directory, "save/Profile1/Slot1", slot1, 1068387394, 500000000, error) &&
           writeSave(directory, "save/Profile1/Slot2", empty, 1272700805, 0, error) &&
           writeSave(directory, "save/Profile2/Slot1", odd, 1614556799, 0, error) &&
           writeSave(directory, "save/Profile2/Slot3", control, 1068387400, 0, error) &&
           writeFile(directory + "/save/Broken/Tiny/game.sav", tinyBytes, error) &&
           writeSave(directory, "save/Broken/Overcount", overcount, 1068387394, 0, error) &&
           writeSave(directory, "save/Broken/NoBlock", noBlock, 1068387394, 0, error);
}

} // namespace gamegen
