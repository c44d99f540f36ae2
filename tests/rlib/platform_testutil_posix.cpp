// tests/rlib/platform_testutil_posix.cpp - a thread exists while its task entry does; the time
// zone is TZ; faults go through the POSIX call layer; the watchdog is an alarm.
#include "platform_testutil.h"
#include "rposix.h"

#include <cerrno>
#include <unistd.h>

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

namespace {
bool (*decider)(FaultOp) = nullptr;

FaultOp kindOf(rPosix::Op op) {
    switch (op) {
    case rPosix::Op::read:
        return FaultOp::read;
    case rPosix::Op::write:
        return FaultOp::write;
    case rPosix::Op::seek:
        return FaultOp::seek;
    case rPosix::Op::close:
        return FaultOp::close;
    case rPosix::Op::sync:
        return FaultOp::sync;
    case rPosix::Op::unlink:
        return FaultOp::remove;
    default:
        return FaultOp::other;
    }
}

int hook(rPosix::Op op, const char*) {
    return decider != nullptr && decider(kindOf(op)) ? EIO : 0;
}
} // namespace

void setFaultDecider(bool (*decide)(FaultOp op)) {
    decider = decide;
    rPosix::setFaultHook(decide != nullptr ? hook : nullptr);
}

Watchdog::Watchdog(unsigned seconds) {
    alarm(seconds); // SIGALRM ends the process
}

Watchdog::~Watchdog() {
    alarm(0);
}
