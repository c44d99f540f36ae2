// fuzz/driver.cpp - replays a fuzz target without libFuzzer: a fixed-seed run of random inputs,
// built from a few interesting byte patterns, so that the target also runs as an ordinary test.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    const unsigned long runs = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
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
    return 0;
}
