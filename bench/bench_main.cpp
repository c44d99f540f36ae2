// bench/bench_main.cpp - tarvex_bench: every comparison of ours with its baseline on the data the
// generator made (tarvex-gamegen --bench-data DIR), one BENCH line each, then a table.
#include "bench_game.h"
#include "harness.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

int usage() {
    std::fprintf(stderr, "usage: tarvex_bench DATA [--quick] [--only=NAME,...]\n"
                         "       tarvex_bench --scan-ours|--scan-reference GAME\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--scan-ours") == 0)
        return bench::scanOnly(true, argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--scan-reference") == 0)
        return bench::scanOnly(false, argv[2]);
    // --quick: one pair each, a check that everything runs; --only=a,b: those comparisons.
    bool quick = false;
    std::string only;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else if (std::strncmp(argv[i], "--only=", 7) == 0)
            only = std::string(",") + (argv[i] + 7) + ",";
        else
            return usage();
    }
    auto wanted = [&](const char* name) {
        return only.empty() || only.find(std::string(",") + name + ",") != std::string::npos;
    };
    char resolved[PATH_MAX];
    if (::realpath(argv[1], resolved) == nullptr) {
        std::fprintf(stderr, "tarvex_bench: no data at %s (make it with tarvex-gamegen)\n",
                     argv[1]);
        return 1;
    }
    const std::string data = resolved;
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return 1;
    self[n] = 0;

    const int many = quick ? 1 : 9;
    const int some = quick ? 1 : 7;
    const int few = quick ? 1 : 5;
    if (wanted("scan"))
        bench::scanWarm(data + "/scan", some);
    if (wanted("scan-cold"))
        bench::scanCold(data + "/scan", few);
    if (wanted("scan-growth"))
        bench::scanGrowth(data + "/growth-100", 100, data + "/growth-10000", 10000, quick ? 1 : 3);
    if (wanted("save"))
        bench::saveChanged(data + "/write-ours", data + "/write-reference", few);
    if (wanted("read"))
        bench::streamRead(data + "/stream.bin", many);
    if (wanted("readline"))
        bench::streamReadLine(data + "/lines.txt", many);
    if (wanted("format"))
        bench::format(many);
    if (wanted("compare"))
        bench::compare(many);
    if (wanted("mask"))
        bench::mask(many);
    if (wanted("array"))
        bench::array(many);
    if (wanted("memory"))
        bench::memory(self, data + "/scan", quick ? 1 : 3);
    bench::printTable();
    return 0;
}
