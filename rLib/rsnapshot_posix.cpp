// rLib/rsnapshot_posix.cpp - the thread snapshot on Linux: threads from /proc/self/task, their
// times from each thread's stat record, other threads' registers handed over by a signal.
#include "rarray.h"
#include "rcrash_posix.h"
#include "rsnapshot.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

constexpr uint32_t captureWaitMs = 1000; // how long another thread may take to hand over

// The registers request: the id of the thread asked, then busy (-1) while its handler writes
// them, done (-2) when they are there; 0 when nothing is asked.
std::atomic<int64_t> request{0};
rCrashRegisters captured;
std::once_flag captureOnce;
int captureSignal = 0;

void captureHandler(int, siginfo_t*, void* raw) {
    const int savedErrno = errno;
    int64_t expected = gettid();
    if (request.compare_exchange_strong(expected, -1)) {
        const ucontext_t* uc = static_cast<const ucontext_t*>(raw);
#if defined(__x86_64__)
        captured = {uintptr_t(uc->uc_mcontext.gregs[REG_RIP]),
                    uintptr_t(uc->uc_mcontext.gregs[REG_RBP])};
#elif defined(__aarch64__)
        captured = {uintptr_t(uc->uc_mcontext.pc), uintptr_t(uc->uc_mcontext.regs[29])};
#else
        (void)uc;
        captured = {0, 0};
#endif
        request.store(-2);
    }
    errno = savedErrno;
}

void installCapture() {
    captureSignal = SIGRTMIN + 7;
    struct sigaction action = {};
    action.sa_sigaction = captureHandler;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(captureSignal, &action, nullptr);
}

uint64_t monotonicMs() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
}

// Another thread's registers: it is signalled and its handler hands them over, within a bound.
bool captureThread(pid_t tid, rCrashRegisters& out) {
    request.store(tid);
    if (syscall(SYS_tgkill, getpid(), tid, captureSignal) != 0) {
        request.store(0);
        return false;
    }
    const uint64_t deadline = monotonicMs() + captureWaitMs;
    while (request.load() != -2) {
        if (monotonicMs() >= deadline) {
            int64_t expected = tid;
            if (request.compare_exchange_strong(expected, 0))
                return false; // it did not answer; a late answer finds nothing asked
            // else its handler is writing them now
        }
        const struct timespec pause = {0, 200000};
        nanosleep(&pause, nullptr);
    }
    out = captured;
    request.store(0);
    return true;
}

// An instruction address inside the caller.
__attribute__((noinline)) uintptr_t callerAddress() {
    return uintptr_t(__builtin_return_address(0));
}

struct ThreadTimes {
    uint64_t user; // seconds
    uint64_t kernel;
    time_t created; // calendar time
};

// Seconds since the epoch at which the system booted.
time_t bootTime() {
    const int fd = open("/proc/stat", O_RDONLY | O_CLOEXEC);
    char text[8192];
    ssize_t n = fd >= 0 ? read(fd, text, sizeof text - 1) : -1;
    if (fd >= 0)
        close(fd);
    text[n > 0 ? n : 0] = 0;
    if (const char* line = std::strstr(text, "\nbtime "))
        return time_t(std::strtoll(line + 7, nullptr, 10));
    struct timespec now, up;
    clock_gettime(CLOCK_REALTIME, &now);
    clock_gettime(CLOCK_BOOTTIME, &up);
    return now.tv_sec - up.tv_sec;
}

// The times of one thread from its stat record; false when it cannot be read (it has ended).
bool threadTimes(uint32_t tid, time_t boot, ThreadTimes& out) {
    char name[64];
    rCrashShared::Text path(name, sizeof name);
    path.add("/proc/self/task/");
    path.addDecimal(tid);
    path.add("/stat");
    const int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[1024];
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return false;
    text[n] = 0;
    // The command name in parentheses may hold blanks and parentheses: fields follow the last ')'.
    const char* p = std::strrchr(text, ')');
    if (p == nullptr)
        return false;
    uint64_t field[20] = {};
    ++p;
    for (int i = 0; i < 20 && *p != 0; ++i) {
        while (*p == ' ')
            ++p;
        field[i] = std::strtoull(p, nullptr, 10); // the state letter reads as 0
        while (*p != ' ' && *p != 0)
            ++p;
    }
    const long hz = sysconf(_SC_CLK_TCK) > 0 ? sysconf(_SC_CLK_TCK) : 100;
    // After the state (field 3 of the record): utime is field 14, stime 15, starttime 22.
    out.user = field[11] / uint64_t(hz);
    out.kernel = field[12] / uint64_t(hz);
    out.created = boot + time_t(field[19] / uint64_t(hz));
    return true;
}

void addThreadBlock(rCrashShared::Text& out, uint32_t tid, bool self, const ThreadTimes& times) {
    struct tm created = {};
    localtime_r(&times.created, &created);
    rCrashShared::addThreadHeading(out, tid, self, created, times.kernel, times.user);
}

// The ids of the process's threads, in the order the system lists them.
void listThreads(rArray<uint32_t>& ids) {
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr)
        return;
    while (const struct dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const unsigned long id = std::strtoul(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == 0)
            ids.add(uint32_t(id));
    }
    closedir(dir);
}

} // namespace

void writeThreadSnapshot(const char* reason) {
    using namespace rCrashShared;
    // Our own registers first, so that our stack starts inside this function.
    const rCrashRegisters own = {callerAddress(), uintptr_t(__builtin_frame_address(0))};
    std::call_once(captureOnce, installCapture);
    int cancelState;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancelState); // the storage must be freed
    rArray<uint32_t> ids;
    listThreads(ids);
    const bool took = takeStorage();
    Storage& s = storage();
    const int fd = executablePath(s.exePath, sizeof s.exePath) &&
                           diagnosticFileName(s.exePath, "snp", s.fileName, sizeof s.fileName)
                       ? openAppend(s.fileName)
                       : -1;
    if (fd >= 0) {
        const time_t now = time(nullptr);
        struct tm local = {};
        localtime_r(&now, &local);
        Text out(s.text, sizeof s.text);
        addSnapshotHeader(out, local, reason, ids.getCount());
        writeAll(fd, out.data, out.length);
        const time_t boot = bootTime();
        const uint32_t self = uint32_t(gettid());
        for (uint32_t i = 0; i < ids.getCount(); ++i) {
            const uint32_t tid = ids[i];
            ThreadTimes times;
            if (!threadTimes(tid, boot, times))
                continue; // ended meanwhile: left out
            Text block(s.text, sizeof s.text);
            addThreadBlock(block, tid, tid == self, times);
            rCrashRegisters registers = own;
            if (tid == self || captureThread(pid_t(tid), registers)) {
                // Another thread runs on while its stack is walked: the walk's checks keep it
                // from faulting.
                const uint32_t n = walkStack(registers, s.frames);
                addFrameLines(block, s.exePath, s.frames, n);
            }
            writeAll(fd, block.data, block.length);
        }
        close(fd);
    }
    if (took)
        releaseStorage();
    pthread_setcancelstate(cancelState, nullptr);
}
