// bench/bench_game.h - the comparisons of the mod manager's scan and write with the reference
// programs, on generated games.
#pragma once

#include <string>

namespace bench {

void scanWarm(const std::string& root, int repetitions);
void scanCold(const std::string& root, int repetitions);
void scanGrowth(const std::string& small, unsigned smallSaves, const std::string& large,
                unsigned largeSaves, int repetitions);
void saveChanged(const std::string& oursRoot, const std::string& theirsRoot, int repetitions);
void memory(const char* self, const std::string& root, int repetitions);
// The child side of the memory comparison: one scan, exit status 0 when saves were found.
int scanOnly(bool ours, const std::string& root);

// rLib against the C and C++ libraries, on the generated stream files.
void streamRead(const std::string& binaryPath, int repetitions);
void streamReadLine(const std::string& textPath, int repetitions);
void format(int repetitions);
void compare(int repetitions);
void mask(int repetitions);
void array(int repetitions);

} // namespace bench
