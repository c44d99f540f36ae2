// fuzz/fuzz_modlist.cpp - arbitrary bytes as a mod's description.txt, and an arbitrary directory
// name for a second mod, read into a catalogue: the description must be the file's lines joined by
// blanks and trimmed, and a name must be stored only in a form that a save can hold.
#include "fuzzinput.h"
#include "modlist.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Fixture {
    std::string root = fuzzDirectory("tarvex-fuzz-mods");
    std::string describedDirectory = root + "/Mods/A";
    std::string description = describedDirectory + "/description.txt";

    Fixture() {
        std::filesystem::create_directories(describedDirectory);
        std::ofstream(describedDirectory + "/game.db") << "db";
        std::filesystem::create_directories(root + "/Mods/named");
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

// The catalogue's rule: every line (ended by LF, with a CR before it dropped, or by a zero byte),
// the last one too, appended after a blank; then blanks and control bytes trimmed at both ends.
std::string describe(const std::string& content) {
    std::string joined, line;
    for (const char c : content) {
        if (c == 10 || c == 0) {
            if (c == 10 && !line.empty() && line.back() == 13)
                line.pop_back();
            joined += ' ' + line;
            line.clear();
        } else {
            line += c;
        }
    }
    joined += ' ' + line;
    size_t from = 0, to = joined.size();
    while (from < to && uint8_t(joined[from]) <= 32)
        ++from;
    while (to > from && uint8_t(joined[to - 1]) <= 32)
        --to;
    return joined.substr(from, to - from);
}

bool plainAscii(const std::string& name) {
    for (const char c : name)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

} // namespace

// The input: a length byte and a directory name, then the description file's content.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fixture;
    FuzzInput in(data, size);
    std::string name = in.text(160);
    for (char& c : name)
        if (c == '/' || c == 0)
            c = '_';
    if (name.empty() || name == "." || name == "..")
        name = "x" + name;
    const std::string content = in.rest();

    {
        std::ofstream out(fixture.description, std::ios::binary | std::ios::trunc);
        out.write(content.data(), std::streamsize(content.size()));
    }
    const std::string named = fixture.root + "/Mods/named/" + name;
    const bool made = ::mkdir(named.c_str(), 0755) == 0;
    if (made) {
        std::ofstream(named + "/game.db") << "db";
        std::ofstream(named + "/description.txt") << "named mod";
    }

    ModList mods;
    FUZZ_EXPECT(mods.scan(rString(fixture.root.c_str())));
    const std::string expected = describe(content);
    const ModInfo* described = mods.findByName("mods\\a");
    FUZZ_EXPECT((described != nullptr) == !expected.empty());
    if (described != nullptr)
        FUZZ_EXPECT(described->description.length() == expected.size() &&
                    std::memcmp(described->description.text(), expected.data(), expected.size()) ==
                        0);

    // Every mod's name can be written into a save and read back.
    for (uint32_t i = 0; i < mods.getCount(); ++i) {
        const rString& stored = mods.mod(i)->name;
        FUZZ_EXPECT(!stored.isEmpty() && stored.length() <= 127 &&
                    std::strlen(stored.text()) == stored.length() && !stored.isUnixStyle());
        for (uint32_t k = 0; k < stored.length(); ++k)
            FUZZ_EXPECT(uint8_t(stored.text()[k]) >= 0x20);
        FUZZ_EXPECT(mods.findByName(stored.text()) == mods.mod(i) ||
                    mods.findByName(stored.text())->name.compareNoCase(stored.text()) == 0);
    }
    if (made) {
        const std::string storedName = "Mods\\named\\" + name;
        if (plainAscii(name))
            FUZZ_EXPECT((mods.findByName(storedName.c_str()) != nullptr) ==
                        (storedName.size() <= 127));
        std::error_code ec;
        std::filesystem::remove_all(named, ec);
    }
    return 0;
}
