// tests/rlib/platform_testutil.h - what the portable tests ask of the platform: whether a thread
// still exists, the process's time zone, failures injected into the library's system-call layer,
// and a watchdog against hangs.
#pragma once

#include <cstdint>

// Whether a thread of this process, by its id, still exists.
bool threadAlive(uint32_t id);
// Sets the time zone of local time, in the TZ form ("UTC0", "EST5").
void setTimeZone(const char* zone);

// The kinds of system call the portable tests make fail or count; other is every other kind.
enum class FaultOp { read, write, seek, close, sync, remove, other, none };
// Installs in the library's system-call layer a hook that asks decide, before each call, whether
// the call fails (with an input/output error); null removes it.
void setFaultDecider(bool (*decide)(FaultOp op));

// Ends the test process when a test outlives its time: a hang fails instead of blocking the run.
class Watchdog {
public:
    explicit Watchdog(unsigned seconds);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    void* timer = nullptr; // the platform's state
};
