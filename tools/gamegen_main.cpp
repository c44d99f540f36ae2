// tools/gamegen_main.cpp - the tarvex-gamegen command: writes a demo, test or benchmark game.
#include "gamegen.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// Everything the benchmark driver measures on. The games that are only read are made once (a
// later call finds them complete); the two games that the write comparison changes are made anew
// each time, so that both start alike. The games read cold are written back to the disk, so that
// their pages can be evicted.
bool makeBenchData(const std::string& directory, std::string* error) {
    const std::string stamp = directory + "/complete-v1";
    bool ok = true;
    if (::access(stamp.c_str(), F_OK) != 0) {
        gamegen::removeTree(directory);
        gamegen::BenchGame scan;
        gamegen::BenchGame small;
        small.saves = 100;
        small.otherFiles = 2000;
        small.sparse = true;
        gamegen::BenchGame large = small;
        large.saves = 10000;
        large.otherFiles = 200000;
        ok = gamegen::makeBenchGame(directory + "/scan", scan, error) &&
             gamegen::makeBenchGame(directory + "/growth-100", small, error) &&
             gamegen::makeBenchGame(directory + "/growth-10000", large, error) &&
             gamegen::makeBenchFiles(directory + "/stream.bin", 64u << 20, directory + "/lines.txt",
                                     20u << 20, error) &&
             gamegen::writeFile(stamp, "", error);
        ::sync();
    }
    gamegen::BenchGame write;
    write.saves = 100;
    write.otherFiles = 2000;
    for (const char* name : {"/write-ours", "/write-reference"}) {
        gamegen::removeTree(directory + name);
        ok = ok && gamegen::makeBenchGame(directory + name, write, error);
    }
    return ok;
}

int usage() {
    std::fprintf(stderr, "usage: tarvex-gamegen --demo DIR\n"
                         "       tarvex-gamegen --test DIR\n"
                         "       tarvex-gamegen --bench DIR [SAVES [MODS [OTHERFILES]]]\n"
                         "       tarvex-gamegen --bench-data DIR\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    const std::string mode = argv[1];
    const std::string directory = argv[2];
    std::string error;
    bool ok = false;
    if (mode == "--demo" && argc == 3)
        ok = gamegen::makeDemo(directory, &error);
    else if (mode == "--test" && argc == 3)
        ok = gamegen::makeTestGame(directory, &error);
    else if (mode == "--bench" && argc <= 6) {
        gamegen::BenchGame game;
        if (argc > 3)
            game.saves = unsigned(std::strtoul(argv[3], nullptr, 10));
        if (argc > 4)
            game.mods = unsigned(std::strtoul(argv[4], nullptr, 10));
        if (argc > 5)
            game.otherFiles = unsigned(std::strtoul(argv[5], nullptr, 10));
        ok = gamegen::makeBenchGame(directory, game, &error);
    } else if (mode == "--bench-data" && argc == 3)
        ok = makeBenchData(directory, &error);
    else
        return usage();
    if (!ok) {
        std::fprintf(stderr, "tarvex-gamegen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
