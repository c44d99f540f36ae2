// rLib/rsnapshot_win32.cpp - the thread snapshot on Windows: the process's threads from the
// toolhelp list, their times from GetThreadTimes, and each other thread's registers taken while
// it is suspended.
#include "rcrash_win32.h"
#include "rsnapshot.h"

#include <tlhelp32.h>

namespace {

using namespace rCrashShared;

constexpr uint32_t maxThreads = 4096;
DWORD threadIds[maxThreads]; // used under the report storage's lock

// The ids of the process's threads, in the order the system lists them.
uint32_t listThreads() {
    HANDLE list = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (list == INVALID_HANDLE_VALUE)
        return 0;
    const DWORD self = GetCurrentProcessId();
    uint32_t n = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(list, &entry); more && n < maxThreads;
         more = Thread32Next(list, &entry)) {
        if (entry.th32OwnerProcessID == self)
            threadIds[n++] = entry.th32ThreadID;
        entry.dwSize = sizeof entry;
    }
    CloseHandle(list);
    return n;
}

uint64_t ticksOf(const FILETIME& ft) {
    return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// The thread block's heading lines; false when the thread's times cannot be read.
bool addThreadBlock(Text& out, HANDLE thread, DWORD id, bool self) {
    FILETIME created, exited, kernel, user, local;
    SYSTEMTIME t;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user) ||
        !FileTimeToLocalFileTime(&created, &local) || !FileTimeToSystemTime(&local, &t))
        return false;
    struct tm fields = {};
    fields.tm_mday = t.wDay;
    fields.tm_mon = t.wMonth - 1;
    fields.tm_year = t.wYear - 1900;
    fields.tm_hour = t.wHour;
    fields.tm_min = t.wMinute;
    fields.tm_sec = t.wSecond;
    addThreadHeading(out, id, self, fields, ticksOf(kernel) / 10000000u, ticksOf(user) / 10000000u);
    return true;
}

// Another thread's registers, read while it is suspended; false when it cannot be suspended or
// its context cannot be read.
bool captureThread(HANDLE thread, rCrashRegisters& out) {
    if (SuspendThread(thread) == DWORD(-1))
        return false;
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    const bool got = GetThreadContext(thread, &context) != 0;
    ResumeThread(thread);
    if (!got)
        return false;
#if defined(_M_X64) || defined(__x86_64__)
    out = {uintptr_t(context.Rip), uintptr_t(context.Rbp)};
#else
    out = {uintptr_t(context.Eip), uintptr_t(context.Ebp)};
#endif
    return true;
}

[[gnu::noinline]] uintptr_t callerAddress() {
    return uintptr_t(__builtin_return_address(0));
}

} // namespace

void writeThreadSnapshot(const char* reason) {
    // Our own registers first, so that our stack starts inside this function.
    const rCrashRegisters own = {callerAddress(), uintptr_t(__builtin_frame_address(0))};
    const bool took = takeStorage();
    Storage& s = storage();
    const uint32_t count = listThreads();
    HANDLE file = count > 0 ? openDiagnosticFile(s, "snp") : INVALID_HANDLE_VALUE;
    if (file != INVALID_HANDLE_VALUE) {
        const time_t now = time(nullptr);
        struct tm local = {};
        localtime_r(&now, &local);
        Text out(s.text, sizeof s.text);
        addSnapshotHeader(out, local, reason, count);
        writeText(file, out);
        const DWORD self = GetCurrentThreadId();
        for (uint32_t i = 0; i < count; ++i) {
            const DWORD id = threadIds[i];
            HANDLE thread = OpenThread(THREAD_ALL_ACCESS, FALSE, id);
            if (thread == nullptr)
                continue; // ended meanwhile, or not ours to open: left out
            Text block(s.text, sizeof s.text);
            if (addThreadBlock(block, thread, id, id == self)) {
                rCrashRegisters registers = own;
                // Another thread runs on while its stack is walked: the walk's checks keep it
                // from faulting.
                if (id == self || captureThread(thread, registers))
                    addFrameLines(s, block, walkStack(registers, s.frames));
                writeText(file, block);
            }
            CloseHandle(thread);
        }
        CloseHandle(file);
    }
    if (took)
        releaseStorage();
}
