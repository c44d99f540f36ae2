// tests/rlib/threadalive.h - whether a thread of this process, by its id, still exists.
#pragma once

#include <cstdint>

bool threadAlive(uint32_t id);
