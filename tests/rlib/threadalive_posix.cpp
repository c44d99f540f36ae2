// tests/rlib/threadalive_posix.cpp - a thread exists while its task entry does.
#include "threadalive.h"

#include <filesystem>
#include <string>

bool threadAlive(uint32_t id) {
    return std::filesystem::exists("/proc/self/task/" + std::to_string(id));
}
