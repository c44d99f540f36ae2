// tests/rlib/platform_testutil.h - what the portable tests ask of the platform: whether a thread
// still exists, and the process's time zone.
#pragma once

#include <cstdint>

// Whether a thread of this process, by its id, still exists.
bool threadAlive(uint32_t id);
// Sets the time zone of local time, in the TZ form ("UTC0", "EST5").
void setTimeZone(const char* zone);
