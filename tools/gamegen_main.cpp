// tools/gamegen_main.cpp - the tarvex-gamegen command: writes a demo, test or benchmark game.
#include "gamegen.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: tarvex-gamegen --demo DIR\n"
                         "       tarvex-gamegen --test DIR\n"
                         "       tarvex-gamegen --bench DIR [SAVES [MODS]]\n");
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
    else if (mode == "--bench" && argc <= 5) {
        const unsigned saves = argc > 3 ? unsigned(std::strtoul(argv[3], nullptr, 10)) : 50;
        const unsigned mods = argc > 4 ? unsigned(std::strtoul(argv[4], nullptr, 10)) : 100;
        ok = gamegen::makeBenchGame(directory, saves, mods, &error);
    } else
        return usage();
    if (!ok) {
        std::fprintf(stderr, "tarvex-gamegen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
