// bench/gbench_walk.cpp - rFileWalker over a generated tree, beside a std::filesystem walk.
#include "rdirscan.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// 40 mod-like directories of 5 subdirectories with 20 files each (4,000 files, one game.db per
// mod directory), made once in a fresh temporary directory and removed at exit.
class WalkTree {
public:
    WalkTree() {
        const char* tmp = std::getenv("TMPDIR");
        std::string templ =
            std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/bwalkXXXXXX";
        if (mkdtemp(templ.data()) == nullptr)
            return;
        root = templ;
        for (int m = 0; m < 40; ++m) {
            const std::string mod = root + "/Mod" + std::to_string(m);
            for (int s = 0; s < 5; ++s) {
                const std::string sub = mod + "/data" + std::to_string(s);
                fs::create_directories(sub);
                for (int f = 0; f < 20; ++f)
                    std::ofstream(sub + "/Item" + std::to_string(f) + ".dat") << f;
            }
            std::ofstream(mod + "/game.db");
        }
    }
    ~WalkTree() {
        if (!root.empty())
            fs::remove_all(root);
    }
    std::string root;
};

const std::string& tree() {
    static WalkTree t;
    return t.root;
}

void BM_FileWalkerFindMarker(benchmark::State& state) {
    const std::string path = tree() + "/game.db";
    for (auto _ : state) {
        rFileWalker walker(path.c_str(), rDirScan::modeFiles);
        int found = 0;
        while (walker.next())
            ++found;
        if (found != 40)
            state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_FileWalkerFindMarker)->Unit(benchmark::kMillisecond);

void BM_BaselineFindMarker(benchmark::State& state) {
    for (auto _ : state) {
        int found = 0;
        for (const auto& e : fs::recursive_directory_iterator(
                 tree(), fs::directory_options::follow_directory_symlink))
            if (e.path().filename() == "game.db" && e.is_regular_file())
                ++found;
        if (found != 40)
            state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_BaselineFindMarker)->Unit(benchmark::kMillisecond);

// Every entry with its details (kind, size, time), which costs one stat each on both sides.
void BM_FileWalkerAllDetails(benchmark::State& state) {
    const std::string path = tree() + "/*";
    for (auto _ : state) {
        rFileWalker walker(path.c_str(), rDirScan::modeFiles | rDirScan::modeDirectories);
        uint64_t bytes = 0;
        while (walker.next())
            bytes += walker.entry().size;
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_FileWalkerAllDetails)->Unit(benchmark::kMillisecond);

void BM_BaselineAllDetails(benchmark::State& state) {
    for (auto _ : state) {
        uint64_t bytes = 0;
        for (const auto& e : fs::recursive_directory_iterator(
                 tree(), fs::directory_options::follow_directory_symlink)) {
            struct stat st; // one stat per entry, as the walker makes
            if (::stat(e.path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
                bytes += uint32_t(st.st_size) + uint64_t(st.st_mtime & 1);
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_BaselineAllDetails)->Unit(benchmark::kMillisecond);

} // namespace
