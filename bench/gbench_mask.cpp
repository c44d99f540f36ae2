// bench/gbench_mask.cpp - matchMask against a naive recursive backtracking matcher, on ordinary
// file masks and on masks with many stars that make backtracking explode.
#include "rstring.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {
// Baseline: after a star, try every position of the text recursively.
bool naiveMatch(const unsigned char* m, const unsigned char* t) {
    for (;; ++m, ++t) {
        if (*m == '*') {
            while (*m == '*')
                ++m;
            if (*m == 0)
                return true;
            for (; *t != 0; ++t)
                if (naiveMatch(m, t))
                    return true;
            return false;
        }
        if (*t == 0)
            return *m == 0;
        if (*m == 0)
            return false;
        const bool one =
            *m == '?' || (*m == '#' ? *t >= '0' && *t <= '9' : foldUpper(*m) == foldUpper(*t));
        if (!one)
            return false;
    }
}

bool naive(const char* mask, const char* text) {
    return naiveMatch(reinterpret_cast<const unsigned char*>(mask),
                      reinterpret_cast<const unsigned char*>(text));
}

const std::vector<std::string>& fileNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        const char* stems[] = {"game", "Game", "description", "save_0042", "autosave", "quick"};
        const char* exts[] = {".sav", ".SAV", ".bak", ".txt", ".db", ".dat"};
        for (int i = 0; i < 240; ++i)
            v.push_back(std::string("mods/") + stems[i % 6] + std::to_string(i) + exts[i / 6 % 6]);
        return v;
    }();
    return names;
}

const char* const ordinaryMasks[] = {"*.sav", "game*.s?v", "save_####*.dat", "*desc*.txt"};

template <bool (*Match)(const char*, const char*)> void ordinary(benchmark::State& state) {
    const char* mask = ordinaryMasks[state.range(0)];
    for (auto _ : state) {
        int hits = 0;
        for (const std::string& name : fileNames())
            hits += Match(mask, name.c_str());
        benchmark::DoNotOptimize(hits);
    }
    state.SetLabel(mask);
    state.SetItemsProcessed(state.iterations() * int64_t(fileNames().size()));
}

bool ours(const char* mask, const char* text) {
    return matchMask(mask, text, false);
}

// Eight stars, then a 'b' that the run of 'a' never has: every split is tried by the baseline.
template <bool (*Match)(const char*, const char*)> void manyStars(benchmark::State& state) {
    const std::string run(size_t(state.range(0)), 'a');
    const char* mask = "*a*a*a*a*a*a*a*a*b";
    for (auto _ : state)
        benchmark::DoNotOptimize(Match(mask, run.c_str()));
    state.SetComplexityN(state.range(0));
}
} // namespace

BENCHMARK(ordinary<naive>)->Name("mask/ordinary/baseline")->DenseRange(0, 3);
BENCHMARK(ordinary<ours>)->Name("mask/ordinary/matchMask")->DenseRange(0, 3);
// The baseline's work grows like n^8: kept to short runs so that it finishes.
BENCHMARK(manyStars<naive>)->Name("mask/manyStars/baseline")->Arg(12)->Arg(16)->Arg(20)->Arg(24);
BENCHMARK(manyStars<ours>)
    ->Name("mask/manyStars/matchMask")
    ->Arg(12)
    ->Arg(16)
    ->Arg(20)
    ->Arg(24)
    ->Arg(1000)
    ->Arg(10000);
