// bench/bench_lib.cpp - rLib's streams, formatting, case rule, masks and array against the C and
// C++ libraries doing the same work on the same data (CPU time, warm cache).
#include "bench_game.h"
#include "harness.h"

#include "rstream.h"
#include "rstring.h"

#include <cstdio>
#include <fnmatch.h>
#include <string>
#include <strings.h>
#include <vector>

namespace bench {

namespace {

constexpr uint32_t piece = 4096;

// The same buffer size for both readers: the stream's own capacity. (Without a block of its own
// the C library would keep its 4 KB buffer and read 4 KB requests straight from the system.)
struct BufferedFile {
    std::vector<char> buffer = std::vector<char>(rStream::defaultCapacity);
    FILE* f;
    explicit BufferedFile(const std::string& path) : f(std::fopen(path.c_str(), "rb")) {
        if (f != nullptr)
            std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    }
    ~BufferedFile() {
        if (f != nullptr)
            std::fclose(f);
    }
};

// Mod names of the usual shapes, ASCII (the baseline folds ASCII only).
std::vector<std::string> modNames() {
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i)
        names.push_back(i % 3 == 0 ? "Mod" + std::to_string(i)
                        : i % 3 == 1
                            ? "Mods\\Mod" + std::to_string(i)
                            : "Mods\\Pack" + std::to_string(i % 7) + "\\Mod" + std::to_string(i));
    return names;
}

} // namespace

void streamRead(const std::string& path, int repetitions) {
    uint64_t sumOurs = 0, sumTheirs = 0;
    const Pairs p = measure(
        repetitions,
        [&] {
            std::vector<char> block(piece);
            const double start = cpuSeconds();
            rFile f;
            f.open(path.c_str(), rFile::modeRead);
            uint64_t sum = 0;
            while (f.readExact(block.data(), piece))
                sum += uint8_t(block[0]) + uint8_t(block[piece - 1]);
            f.close();
            const double took = cpuSeconds() - start;
            sumOurs = sum;
            return took;
        },
        [&] {
            std::vector<char> block(piece);
            const double start = cpuSeconds();
            uint64_t sum = 0;
            {
                BufferedFile in(path);
                while (in.f != nullptr && std::fread(block.data(), 1, piece, in.f) == piece)
                    sum += uint8_t(block[0]) + uint8_t(block[piece - 1]);
            }
            const double took = cpuSeconds() - start;
            sumTheirs = sum;
            return took;
        });
    require(sumOurs == sumTheirs && sumOurs != 0, "bytes read from " + path);
    report({"read", p.oursMedian(), p.baselineMedian(), p.ratioMedian(), 1.1, false, "s",
            "64 MB in 4 KB pieces: readExact vs fread"});
}

void streamReadLine(const std::string& path, int repetitions) {
    uint64_t linesOurs = 0, bytesOurs = 0, linesTheirs = 0, bytesTheirs = 0;
    const Pairs p = measure(
        repetitions,
        [&] {
            const double start = cpuSeconds();
            rFile f;
            f.open(path.c_str(), rFile::modeRead);
            rString line;
            uint64_t lines = 0, bytes = 0;
            while (f.readLine(line)) {
                ++lines;
                bytes += line.length();
            }
            f.close();
            const double took = cpuSeconds() - start;
            linesOurs = lines;
            bytesOurs = bytes + line.length();
            return took;
        },
        [&] {
            const double start = cpuSeconds();
            uint64_t lines = 0, bytes = 0;
            {
                BufferedFile in(path);
                char* text = nullptr;
                size_t size = 0;
                ssize_t n;
                while (in.f != nullptr && (n = ::getline(&text, &size, in.f)) > 0) {
                    if (text[n - 1] == '\n') {
                        --n;
                        if (n > 0 && text[n - 1] == '\r')
                            --n;
                        ++lines;
                    }
                    bytes += uint64_t(n);
                }
                std::free(text);
            }
            const double took = cpuSeconds() - start;
            linesTheirs = lines;
            bytesTheirs = bytes;
            return took;
        });
    require(linesOurs == linesTheirs && bytesOurs == bytesTheirs && linesOurs > 0,
            "lines of " + path);
    report({"readline", p.oursMedian(), p.baselineMedian(), p.ratioMedian(), 1.3, false, "s",
            "20 MB of short lines: readLine vs getline"});
}

void format(int repetitions) {
    constexpr int labels = 200000;
    const char* const form = "[%04u/%02u/%02u %02u:%02u:%02u %s] %s";
    std::string lastOurs, lastTheirs;
    const Pairs p = measure(
        repetitions,
        [&] {
            rString group("Profile12"), slot("Slot3");
            rString text;
            const double start = cpuSeconds();
            for (int i = 0; i < labels; ++i)
                rString::format(text, form, 2003u + i % 30, 1u + i % 12, 1u + i % 28,
                                unsigned(i % 24), unsigned(i % 60), unsigned(i % 59), group.text(),
                                slot.text());
            const double took = cpuSeconds() - start;
            lastOurs = text.text();
            return took;
        },
        [&] {
            std::string group("Profile12"), slot("Slot3");
            std::string text;
            const double start = cpuSeconds();
            for (int i = 0; i < labels; ++i) {
                char buffer[256];
                const int n =
                    std::snprintf(buffer, sizeof buffer, form, 2003u + i % 30, 1u + i % 12,
                                  1u + i % 28, unsigned(i % 24), unsigned(i % 60), unsigned(i % 59),
                                  group.c_str(), slot.c_str());
                text.assign(buffer, size_t(n));
            }
            const double took = cpuSeconds() - start;
            lastTheirs = text;
            return took;
        });
    require(lastOurs == lastTheirs, "formatted label " + lastOurs);
    report({"format", p.oursMedian(), p.baselineMedian(), p.ratioMedian(), 1.5, false, "s",
            "200,000 save labels: rString::format vs snprintf"});
}

void compare(int repetitions) {
    // Pairs of mod names: equal in another letter case, and names differing early or late. Both
    // sides read the same strings, so that only the comparison differs, not where the texts lie.
    const std::vector<std::string> names = modNames();
    std::vector<rString> left;
    std::vector<std::string> right;
    for (size_t i = 0; i < names.size(); ++i) {
        for (size_t k : {i, (i + 1) % names.size(), (i + 37) % names.size()}) {
            std::string other = names[k];
            if (k == i)
                for (auto& c : other)
                    c = char(i % 2 ? std::toupper(c) : std::tolower(c));
            left.emplace_back(names[i].c_str());
            right.push_back(other);
        }
    }
    constexpr int rounds = 6000;
    long signOurs = 0, signTheirs = 0;
    const Pairs p = measure(
        repetitions,
        [&] {
            long sign = 0;
            const double start = cpuSeconds();
            for (int r = 0; r < rounds; ++r)
                for (size_t i = 0; i < left.size(); ++i)
                    sign += left[i].compareNoCase(right[i].c_str());
            const double took = cpuSeconds() - start;
            signOurs = sign;
            return took;
        },
        [&] {
            long sign = 0;
            const double start = cpuSeconds();
            for (int r = 0; r < rounds; ++r)
                for (size_t i = 0; i < left.size(); ++i) {
                    const int d = strcasecmp(left[i].text(), right[i].c_str());
                    sign += d < 0 ? -1 : d > 0 ? 1 : 0;
                }
            const double took = cpuSeconds() - start;
            signTheirs = sign;
            return took;
        });
    require(signOurs == signTheirs, "comparison results");
    report({"compare", p.oursMedian(), p.baselineMedian(), p.ratioMedian(), 1.5, false, "s",
            "5,400,000 comparisons of name pairs: compareNoCase vs strcasecmp"});
}

void mask(int repetitions) {
    const char* const stems[] = {"game", "GAME", "description", "save_0042", "autosave", "quick"};
    const char* const extensions[] = {".sav", ".SAV", ".bak", ".txt", ".db", ".dat", ""};
    std::vector<rString> names;
    std::vector<std::string> texts;
    for (int i = 0; i < 42; ++i) {
        const std::string name = std::string(stems[i % 6]) + extensions[i / 6];
        names.emplace_back(name.c_str());
        texts.push_back(name);
    }
    // Ours takes the list as it stands; the baseline has it split once, as a caller would.
    const char* const masks[] = {"*.*", "game.db", "*.sav;*.bak;save_####.dat"};
    const std::vector<std::vector<std::string>> split = {
        {"*.*"}, {"game.db"}, {"*.sav", "*.bak", "save_[0-9][0-9][0-9][0-9].dat"}};
    constexpr int rounds = 5000;
    long hitsOurs = 0, hitsTheirs = 0;
    const Pairs p = measure(
        repetitions,
        [&] {
            long hits = 0;
            const double start = cpuSeconds();
            for (int r = 0; r < rounds; ++r)
                for (const char* m : masks)
                    for (const rString& name : names)
                        hits += name.matches(m);
            const double took = cpuSeconds() - start;
            hitsOurs = hits;
            return took;
        },
        [&] {
            long hits = 0;
            const double start = cpuSeconds();
            for (int r = 0; r < rounds; ++r)
                for (const auto& list : split)
                    for (const std::string& name : texts)
                        for (const std::string& m : list)
                            if (::fnmatch(m.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
                                ++hits;
                                break;
                            }
            const double took = cpuSeconds() - start;
            hitsTheirs = hits;
            return took;
        });
    require(hitsOurs == hitsTheirs && hitsOurs > 0, "mask results");
    report({"mask", p.oursMedian(), p.baselineMedian(), p.ratioMedian(), 2, false, "s",
            "630,000 matches of *.*, game.db and a list of three: matches vs fnmatch"});
}

void array(int repetitions) {
    constexpr uint32_t adds = 1000000;
    const Pairs p = measure(
        repetitions,
        [&] {
            const double start = cpuSeconds();
            {
                rArray<void*> a;
                for (uint32_t i = 0; i < adds; ++i)
                    a.add(&a + i);
                require(a.getCount() == adds, "array count");
            }
            return cpuSeconds() - start;
        },
        [&] {
            const double start = cpuSeconds();
            {
                std::vector<void*> v;
                for (uint32_t i = 0; i < adds; ++i)
                    v.push_back(&v + i);
                require(v.size() == adds, "vector count");
            }
            return cpuSeconds() - start;
        });
    report({"array", p.oursMedian(), p.baselineMedian(), p.ratioMedian(), 0, false, "s",
            "1,000,000 add (fixed step 10) vs push_back"});
}

} // namespace bench
