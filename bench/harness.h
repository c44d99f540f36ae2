// bench/harness.h - paired measurement: ours and its baseline run alternately on the same data,
// several times, and each figure is the median; one BENCH line per comparison.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

// Seconds of processor time of this process (user and system), for work that does not wait.
double cpuSeconds();
// Seconds of the monotonic clock, for work that waits for the disk.
double wallSeconds();

// One measured run: returns the seconds it took, measured by itself (so that preparation such as
// evicting the cache stays outside).
using Run = std::function<double()>;

struct Pairs {
    std::vector<double> ours, baseline, ratios;
    double oursMedian() const;
    double baselineMedian() const;
    double ratioMedian() const; // median of the ratios of the pairs
};

// Runs `repetitions` pairs; the order inside a pair alternates, so that neither side always runs
// right after the other. `prepare`, if given, runs unmeasured before each pair.
Pairs measure(int repetitions, const Run& ours, const Run& baseline,
              const std::function<void()>& prepare = nullptr);

double median(std::vector<double> values);

struct Result {
    std::string name;
    double ours = 0;
    double baseline = 0;
    double ratio = 0;
    double target = 0;           // 0: no target
    bool absoluteTarget = false; // the target bounds ours itself, not the ratio
    std::string unit = "s";      // of ours and baseline
    std::string work;            // what one run does, for the table
    bool ok() const { return target <= 0 || (absoluteTarget ? ours < target : ratio <= target); }
};

// Prints the BENCH line at once and keeps the result for the table.
void report(const Result& result);
void printTable();

// Stops the run with a message when ours and the baseline disagree.
void require(bool condition, const std::string& what);

} // namespace bench
