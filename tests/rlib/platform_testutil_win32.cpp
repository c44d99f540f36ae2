// tests/rlib/platform_testutil_win32.cpp - a thread exists while it can be opened and has not
// ended; the time zone is the C runtime's TZ; faults go through the Windows call layer; the
// watchdog is a thread that ends the process.
#include "platform_testutil.h"
#include "rwin32.h"

#include <cstdio>

#include <cstdlib>
#include <ctime>
#include <windows.h>

bool threadAlive(uint32_t id) {
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, DWORD(id));
    if (thread == nullptr)
        return false;
    DWORD code = 0;
    const bool running = GetExitCodeThread(thread, &code) && code == STILL_ACTIVE;
    CloseHandle(thread);
    return running;
}

void setTimeZone(const char* zone) {
    _putenv_s("TZ", zone);
    _tzset();
}

namespace {
bool (*decider)(FaultOp) = nullptr;

FaultOp kindOf(rWin32::Op op) {
    switch (op) {
    case rWin32::Op::read:
        return FaultOp::read;
    case rWin32::Op::write:
        return FaultOp::write;
    case rWin32::Op::seek:
        return FaultOp::seek;
    case rWin32::Op::close:
        return FaultOp::close;
    case rWin32::Op::sync:
        return FaultOp::sync;
    case rWin32::Op::remove:
        return FaultOp::remove;
    default:
        return FaultOp::other;
    }
}

DWORD hook(rWin32::Op op, const wchar_t*) {
    return decider != nullptr && decider(kindOf(op)) ? DWORD(ERROR_IO_DEVICE) : 0;
}

// Waits for the end of the guarded test (the event) at most the given time, else ends the process.
struct Guard {
    HANDLE done;
    DWORD milliseconds;
    HANDLE thread;
};

DWORD WINAPI guard(void* argument) {
    const Guard* g = static_cast<const Guard*>(argument);
    if (WaitForSingleObject(g->done, g->milliseconds) == WAIT_OBJECT_0)
        return 0;
    std::fputs("watchdog: the test outlived its time\n", stderr);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 14);
    return 1;
}
} // namespace

void setFaultDecider(bool (*decide)(FaultOp op)) {
    decider = decide;
    rWin32::setFaultHook(decide != nullptr ? hook : nullptr);
}

Watchdog::Watchdog(unsigned seconds) {
    Guard* g =
        new Guard{CreateEventW(nullptr, TRUE, FALSE, nullptr), DWORD(seconds) * 1000, nullptr};
    if (g->done != nullptr)
        g->thread = CreateThread(nullptr, 0, guard, g, 0, nullptr);
    timer = g;
}

Watchdog::~Watchdog() {
    Guard* g = static_cast<Guard*>(timer);
    if (g->thread != nullptr) {
        SetEvent(g->done);
        WaitForSingleObject(g->thread, INFINITE);
        CloseHandle(g->thread);
    }
    if (g->done != nullptr)
        CloseHandle(g->done);
    delete g;
}
