// bench/bench_savegame.cpp - the save catalogue's scan and one save's write, beside plain
// standard-library baselines doing the same work on the same generated game.
#include "gamegen.h"
#include "savelist.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// One game of 50 saves and 100 mods for the whole run, removed at exit.
std::string* benchDirectory = nullptr;

const std::string& benchGame() {
    if (benchDirectory == nullptr) {
        benchDirectory = new std::string(gamegen::makeTempDirectory("tarvex-bench-"));
        if (benchDirectory->empty() || !gamegen::makeBenchGame(*benchDirectory, 50, 100))
            std::abort();
        std::atexit([] { gamegen::removeTree(*benchDirectory); });
    }
    return *benchDirectory;
}

void BM_SaveListScan(benchmark::State& state) {
    const std::string& directory = benchGame();
    for (auto _ : state) {
        SaveList list;
        list.setProgramDirectory(rString(directory.c_str()));
        list.scan();
        benchmark::DoNotOptimize(list.getCount());
    }
}
BENCHMARK(BM_SaveListScan)->Unit(benchmark::kMillisecond);

// Baseline: a recursive directory iterator, getline descriptions, and each save read whole into
// memory with its entries parsed and looked up in a vector.
void BM_BaselineScan(benchmark::State& state) {
    const std::string& directory = benchGame();
    for (auto _ : state) {
        std::vector<std::pair<std::string, std::string>> mods;
        std::vector<std::string> saves;
        for (const auto& entry : fs::recursive_directory_iterator(directory)) {
            const std::string name = entry.path().filename().string();
            if (name == "game.db" && entry.path().parent_path() != fs::path(directory)) {
                std::ifstream in(entry.path().parent_path() / "description.txt");
                std::string line, description;
                while (std::getline(in, line))
                    description += " " + line;
                mods.emplace_back(fs::relative(entry.path().parent_path(), directory).string(),
                                  description);
            } else if (name == "game.sav") {
                saves.push_back(entry.path().string());
            }
        }
        size_t installed = 0;
        for (const auto& path : saves) {
            std::ifstream in(path, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            uint32_t count = 0;
            for (int k = 0; k < 4; ++k)
                count |= uint32_t(uint8_t(bytes[4 + k])) << (8 * k);
            size_t at = gamegen::entriesOffset;
            for (uint32_t i = 0; i < count && at < bytes.size(); ++i) {
                const size_t length = uint8_t(bytes[at]) >> 1;
                std::string name = bytes.substr(at + 1, length);
                for (auto& c : name)
                    if (c == '\\')
                        c = '/';
                for (const auto& mod : mods)
                    if (mod.first == name) {
                        ++installed;
                        break;
                    }
                at += 1 + length;
            }
        }
        benchmark::DoNotOptimize(installed);
    }
}
BENCHMARK(BM_BaselineScan)->Unit(benchmark::kMillisecond);

// Writing one save: the list alternates between two forms so that every pass really rewrites.
void BM_SaveGameWrite(benchmark::State& state) {
    SaveList list;
    list.setProgramDirectory(rString(benchGame().c_str()));
    list.scan();
    SaveGame* save = list.save(0);
    ModInfo* mod = save->installed[0];
    for (auto _ : state) {
        if (!save->removeMod(mod))
            save->addMod(mod);
        if (!save->writeFile())
            state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_SaveGameWrite)->Unit(benchmark::kMicrosecond);

// Baseline: copying the same file with the standard library (no backup, no sync).
void BM_BaselineCopyFile(benchmark::State& state) {
    SaveList list;
    list.setProgramDirectory(rString(benchGame().c_str()));
    list.scan();
    const std::string from = list.save(0)->path.text();
    const std::string to = from + ".copy";
    for (auto _ : state)
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::remove(to);
}
BENCHMARK(BM_BaselineCopyFile)->Unit(benchmark::kMicrosecond);

} // namespace
