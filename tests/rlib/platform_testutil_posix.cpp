// tests/rlib/platform_testutil_posix.cpp - a thread exists while its task entry does; the time
// zone is TZ.
#include "platform_testutil.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

bool threadAlive(uint32_t id) {
    return std::filesystem::exists("/proc/self/task/" + std::to_string(id));
}

void setTimeZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}
