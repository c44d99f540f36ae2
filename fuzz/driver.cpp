// fuzz/driver.cpp - replays a fuzz target without libFuzzer: first every file of the seed corpora
// named on the command line, then a fixed-seed run of random inputs built from a few interesting
// byte patterns, so that the target also runs as an ordinary test.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
void replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
}
} // namespace

// Usage: target [runs [corpus-directory-or-file ...]]
int main(int argc, char** argv) {
    const unsigned long runs = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
    unsigned long seeds = 0;
    for (int i = 2; i < argc; ++i) {
        const std::filesystem::path place(argv[i]);
        if (!std::filesystem::exists(place)) {
            std::fprintf(stderr, "no corpus at %s\n", argv[i]);
            return 1;
        }
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(place)) {
            for (const auto& entry : std::filesystem::directory_iterator(place))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else {
            files.push_back(place);
        }
        std::sort(files.begin(), files.end());
        for (const auto& file : files) {
            replay(file);
            ++seeds;
        }
    }
    std::mt19937 rng(20261206);
    const uint8_t interesting[] = {0x00, 0x01, 0x1F, 0x20, '*',  '?',  '#',  ';',  '.',  '/',
                                   '\\', ':',  'a',  'A',  0xE0, 0xC0, 0xB8, 0xA8, 0x7F, 0xFF};
    std::vector<uint8_t> input;
    for (unsigned long i = 0; i < runs; ++i) {
        const size_t size = rng() % (i % 10 == 0 ? 4096 : 64);
        input.resize(size);
        for (auto& b : input)
            b = rng() % 3 == 0 ? uint8_t(rng()) : interesting[rng() % sizeof interesting];
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%lu seed inputs and %lu random inputs replayed\n", seeds, runs);
    return 0;
}
