// bench/harness.cpp - clocks, paired runs, medians and the report lines and table.
#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace bench {

namespace {
std::vector<Result>& results() {
    static std::vector<Result> all;
    return all;
}

double seconds(clockid_t clock) {
    timespec t;
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
} // namespace

double cpuSeconds() {
    return seconds(CLOCK_PROCESS_CPUTIME_ID);
}

double wallSeconds() {
    return seconds(CLOCK_MONOTONIC);
}

namespace {
const double programStart = wallSeconds();
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Pairs::oursMedian() const {
    return median(ours);
}
double Pairs::baselineMedian() const {
    return median(baseline);
}
double Pairs::ratioMedian() const {
    return median(ratios);
}

Pairs measure(int repetitions, const Run& ours, const Run& baseline,
              const std::function<void()>& prepare) {
    Pairs pairs;
    for (int i = 0; i < repetitions; ++i) {
        if (prepare)
            prepare();
        double a, b;
        if (i % 2 == 0) {
            a = ours();
            b = baseline();
        } else {
            b = baseline();
            a = ours();
        }
        pairs.ours.push_back(a);
        pairs.baseline.push_back(b);
        pairs.ratios.push_back(b > 0 ? a / b : 0);
    }
    return pairs;
}

void report(const Result& r) {
    // How long the comparison took, with its preparation, on stderr: the run's budget is minutes.
    static double last = programStart;
    const double now = wallSeconds();
    std::fprintf(stderr, "# %s took %.1f s\n", r.name.c_str(), now - last);
    last = now;
    char target[32];
    if (r.target > 0)
        std::snprintf(target, sizeof target, "%g", r.target);
    else
        std::snprintf(target, sizeof target, "none");
    std::printf("BENCH name=%s ours=%.6g baseline=%.6g ratio=%.3f target=%s verdict=%s\n",
                r.name.c_str(), r.ours, r.baseline, r.ratio, target, r.ok() ? "ok" : "over");
    std::fflush(stdout);
    results().push_back(r);
}

void printTable() {
    std::printf("\n%-12s %12s %12s %7s %8s %-7s  %s\n", "comparison", "ours", "baseline", "ratio",
                "target", "verdict", "one run");
    for (const Result& r : results()) {
        char target[32];
        if (r.target <= 0)
            std::snprintf(target, sizeof target, "-");
        else if (r.absoluteTarget)
            std::snprintf(target, sizeof target, "<%g %s", r.target, r.unit.c_str());
        else
            std::snprintf(target, sizeof target, "%.2f", r.target);
        char ours[32], baseline[32];
        std::snprintf(ours, sizeof ours, "%.4g %s", r.ours, r.unit.c_str());
        std::snprintf(baseline, sizeof baseline, "%.4g %s", r.baseline, r.unit.c_str());
        std::printf("%-12s %12s %12s %7.2f %8s %-7s  %s\n", r.name.c_str(), ours, baseline, r.ratio,
                    target, r.ok() ? "ok" : "over", r.work.c_str());
    }
    std::fflush(stdout);
}

void require(bool condition, const std::string& what) {
    if (condition)
        return;
    std::fprintf(stderr, "tarvex_bench: ours and the baseline disagree: %s\n", what.c_str());
    std::exit(1);
}

} // namespace bench
