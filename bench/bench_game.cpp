// bench/bench_game.cpp - the mod manager's own work against the reference programs: the scan warm
// and cold, its growth with the number of saves, writing changed saves, and a scan's peak memory.
#include "bench_game.h"

#include "harness.h"
#include "reference.h"
#include "savelist.h"

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {

namespace {

// Every mod and save as the reference sees them, relative to the program directory, so that two
// copies of one game compare equal.
std::string relativeTo(const std::string& path, const std::string& root) {
    return path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : path;
}

// Fails the run unless our catalogue and the reference's hold the same mods in the same order
// and the same saves with the same times, tail offsets and resolved mods.
void requireSame(const SaveList& ours, const std::string& oursRoot,
                 const reference::Catalogue& theirs, const std::string& theirsRoot) {
    require(ours.mods.getCount() == theirs.mods.size(),
            "mod count " + std::to_string(ours.mods.getCount()) + " against " +
                std::to_string(theirs.mods.size()));
    std::map<const ModInfo*, uint32_t> indexOf;
    for (uint32_t i = 0; i < ours.mods.getCount(); ++i) {
        const ModInfo* mod = ours.mods.mod(i);
        indexOf[mod] = i;
        require(theirs.mods[i].name == mod->name.text() &&
                    theirs.mods[i].description == mod->description.text(),
                std::string("mod ") + mod->name.text());
    }
    require(ours.getCount() == theirs.saves.size(),
            "save count " + std::to_string(ours.getCount()) + " against " +
                std::to_string(theirs.saves.size()));
    for (uint32_t i = 0; i < ours.getCount(); ++i) {
        const SaveGame* save = ours.save(i);
        const reference::Save& other = theirs.saves[i];
        const std::string what = std::string("save ") + save->path.text();
        require(relativeTo(save->path.text(), oursRoot) == relativeTo(other.path, theirsRoot),
                what);
        require(save->stamp.seconds == other.seconds &&
                    uint32_t(save->tailOffset) == other.tailOffset,
                what);
        require(save->installed.getCount() == other.installed.size(), what + " (entries)");
        for (uint32_t k = 0; k < save->installed.getCount(); ++k)
            require(indexOf[save->installed[k]] == other.installed[k], what + " (mod)");
    }
}

double scanOurs(const std::string& root, SaveList& list) {
    list.setProgramDirectory(rString(root.c_str()));
    const double start = cpuSeconds();
    list.scan();
    return cpuSeconds() - start;
}

double scanReference(const std::string& root, reference::Catalogue& catalogue) {
    const double start = cpuSeconds();
    reference::scan(root, catalogue);
    return cpuSeconds() - start;
}

// Drops every file of the tree from the page cache (the files were written back when made).
void evict(const std::string& directory) {
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return;
    while (const struct dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        const std::string path = directory + "/" + e->d_name;
        if (e->d_type == DT_DIR) {
            evict(path);
        } else if (e->d_type == DT_REG) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd >= 0) {
                ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
                ::close(fd);
            }
        }
    }
    ::closedir(dir);
}

// Bytes of the tree's files in the page cache, to show how much a cold scan pulled in.
uint64_t cachedBytes(const std::string& directory) {
    uint64_t total = 0;
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr)
        return 0;
    const long page = ::sysconf(_SC_PAGESIZE);
    while (const struct dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        const std::string path = directory + "/" + e->d_name;
        if (e->d_type == DT_DIR) {
            total += cachedBytes(path);
            continue;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (fd < 0)
            continue;
        if (::fstat(fd, &st) == 0 && st.st_size > 0) {
            void* map = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
            if (map != MAP_FAILED) {
                std::vector<unsigned char> resident(size_t((st.st_size + page - 1) / page));
                if (::mincore(map, size_t(st.st_size), resident.data()) == 0)
                    for (unsigned char r : resident)
                        total += (r & 1) ? uint64_t(page) : 0;
                ::munmap(map, size_t(st.st_size));
            }
        }
        ::close(fd);
    }
    ::closedir(dir);
    return total;
}

} // namespace

void scanWarm(const std::string& root, int repetitions) {
    {
        SaveList ours;
        reference::Catalogue theirs;
        scanOurs(root, ours);
        scanReference(root, theirs);
        requireSame(ours, root + "/", theirs, root + "/");
    }
    const Pairs p = measure(
        repetitions,
        [&] {
            SaveList list;
            return scanOurs(root, list);
        },
        [&] {
            reference::Catalogue catalogue;
            return scanReference(root, catalogue);
        });
    report({"scan", p.oursMedian(), p.baselineMedian(), p.ratioMedian(), 1.25, false, "s",
            "scan of 1,000 saves, warm (CPU time)"});
}

void scanCold(const std::string& root, int repetitions) {
    uint64_t oursPulled = 0, theirsPulled = 0;
    const Pairs p = measure(
        repetitions,
        [&] {
            evict(root);
            SaveList list;
            list.setProgramDirectory(rString(root.c_str()));
            const double start = wallSeconds();
            list.scan();
            const double took = wallSeconds() - start;
            if (oursPulled == 0)
                oursPulled = cachedBytes(root);
            return took;
        },
        [&] {
            evict(root);
            reference::Catalogue catalogue;
            const double start = wallSeconds();
            reference::scan(root, catalogue);
            const double took = wallSeconds() - start;
            if (theirsPulled == 0)
                theirsPulled = cachedBytes(root);
            return took;
        });
    char work[160];
    std::snprintf(work, sizeof work, "the same, cold (wall time); cached after: %.1f MB vs %.1f MB",
                  double(oursPulled) / 1e6, double(theirsPulled) / 1e6);
    report(
        {"scan-cold", p.oursMedian(), p.baselineMedian(), p.ratioMedian(), 1.25, false, "s", work});
}

void scanGrowth(const std::string& small, unsigned smallSaves, const std::string& large,
                unsigned largeSaves, int repetitions) {
    for (const std::string& root : {small, large}) {
        SaveList ours;
        reference::Catalogue theirs;
        scanOurs(root, ours);
        scanReference(root, theirs);
        requireSame(ours, root + "/", theirs, root + "/");
    }
    auto ours = [](const std::string& root, unsigned saves) {
        return [root, saves] {
            SaveList list;
            return scanOurs(root, list) / saves;
        };
    };
    auto theirs = [](const std::string& root, unsigned saves) {
        return [root, saves] {
            reference::Catalogue catalogue;
            return scanReference(root, catalogue) / saves;
        };
    };
    const Pairs o = measure(repetitions, ours(large, largeSaves), ours(small, smallSaves));
    const Pairs r = measure(repetitions, theirs(large, largeSaves), theirs(small, smallSaves));
    // At the small size the mod catalogue's fixed cost weighs on the time per save; the cost of
    // one more save between the sizes shows the growth without it.
    const double step = double(largeSaves - smallSaves);
    const double marginalOurs =
        (o.oursMedian() * largeSaves - o.baselineMedian() * smallSaves) / step;
    const double marginalTheirs =
        (r.oursMedian() * largeSaves - r.baselineMedian() * smallSaves) / step;
    char work[300];
    std::snprintf(work, sizeof work,
                  "time per save at %u vs at %u saves (CPU time); reference %.3g s vs %.3g s; "
                  "one more save: ours %.3g s, reference %.3g s",
                  largeSaves, smallSaves, r.oursMedian(), r.baselineMedian(), marginalOurs,
                  marginalTheirs);
    report({"scan-growth", o.oursMedian(), o.baselineMedian(), o.ratioMedian(), 1.5, false, "s",
            work});
}

void saveChanged(const std::string& oursRoot, const std::string& theirsRoot, int repetitions) {
    SaveList ours;
    reference::Catalogue theirs;
    scanOurs(oursRoot, ours);
    scanReference(theirsRoot, theirs);
    requireSame(ours, oursRoot + "/", theirs, theirsRoot + "/");
    require(ours.getCount() > 0 && ours.mods.getCount() > 0, "no saves to write");

    // Each round changes every save the same way on both sides: one mod goes in or out.
    auto change = [&] {
        for (uint32_t i = 0; i < ours.getCount(); ++i) {
            SaveGame* save = ours.save(i);
            ModInfo* mod = ours.mods.mod(i % ours.mods.getCount());
            if (!save->removeMod(mod))
                save->addMod(mod);
        }
    };
    auto namesOf = [&](uint32_t i) {
        std::vector<std::string> names;
        const SaveGame* save = ours.save(i);
        for (uint32_t k = 0; k < save->installed.getCount(); ++k)
            names.emplace_back(save->installed[k]->name.text());
        return names;
    };
    auto runOurs = [&] {
        const double start = wallSeconds();
        const bool ok = ours.saveAll();
        const double took = wallSeconds() - start;
        require(ok, "our write failed");
        return took;
    };
    // The reference writes the lists that ours holds after the round's change.
    auto runTheirs = [&] {
        double took = 0;
        for (uint32_t i = 0; i < ours.getCount(); ++i) {
            const std::vector<std::string> names = namesOf(i);
            const double start = wallSeconds();
            const bool ok = reference::write(theirs.saves[i], names);
            took += wallSeconds() - start;
            require(ok, "the reference's write failed");
        }
        return took;
    };
    // A first round, unmeasured, leaves a backup beside every save on both sides.
    change();
    runOurs();
    runTheirs();
    const Pairs p = measure(repetitions, runOurs, runTheirs, change);
    // Both sides wrote the same bytes.
    for (uint32_t i = 0; i < ours.getCount(); ++i) {
        const std::string a = relativeTo(ours.save(i)->path.text(), oursRoot);
        FILE* fa = std::fopen((oursRoot + a).c_str(), "rb");
        FILE* fb = std::fopen((theirsRoot + a).c_str(), "rb");
        std::vector<char> x(1 << 16), y(1 << 16);
        bool same = fa != nullptr && fb != nullptr;
        while (same) {
            const size_t n = std::fread(x.data(), 1, x.size(), fa);
            const size_t m = std::fread(y.data(), 1, y.size(), fb);
            same = n == m && std::memcmp(x.data(), y.data(), n) == 0;
            if (n == 0)
                break;
        }
        if (fa != nullptr)
            std::fclose(fa);
        if (fb != nullptr)
            std::fclose(fb);
        require(same, "written bytes of " + a);
    }
    report({"save", p.oursMedian(), p.baselineMedian(), p.ratioMedian(), 1.2, false, "s",
            "100 changed saves written, synced (wall time)"});
}

// The peak resident memory, in MB, of a fresh process of this program scanning root. The child
// reports its own high-water mark: a count taken from outside would include the pages the parent
// had when it forked.
double peakMemory(const char* self, const char* mode, const std::string& root) {
    const std::string command = std::string(self) + " " + mode + " '" + root + "'";
    FILE* child = ::popen(command.c_str(), "r");
    double kilobytes = 0;
    const bool read = child != nullptr && std::fscanf(child, "%lf", &kilobytes) == 1;
    const int status = child != nullptr ? ::pclose(child) : -1;
    require(read && status == 0 && kilobytes > 0, std::string("the memory run ") + mode);
    return kilobytes / 1024.0;
}

void memory(const char* self, const std::string& root, int repetitions) {
    const Pairs p = measure(
        repetitions, [&] { return peakMemory(self, "--scan-ours", root); },
        [&] { return peakMemory(self, "--scan-reference", root); });
    report({"memory", p.oursMedian(), p.baselineMedian(), p.ratioMedian(), 32, true, "MB",
            "peak resident memory of a process scanning 1,000 saves"});
}

int scanOnly(bool ours, const std::string& root) {
    bool found;
    if (ours) {
        SaveList list;
        list.setProgramDirectory(rString(root.c_str()));
        list.scan();
        found = list.getCount() > 0;
    } else {
        reference::Catalogue catalogue;
        reference::scan(root, catalogue);
        found = !catalogue.saves.empty();
    }
    // VmHWM: the peak resident set of this process since it started.
    FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long peak = 0;
    while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr)
        if (std::sscanf(line, "VmHWM: %ld", &peak) == 1)
            break;
    if (status != nullptr)
        std::fclose(status);
    std::printf("%ld\n", peak);
    return found && peak > 0 ? 0 : 1;
}

} // namespace bench
