// rLib/rcrash_posix.cpp - the crash handler on POSIX: one process-wide signal action for faults,
// running on a per-thread alternate stack; the report file; the frame-pointer walk that tests
// memory before reading it; the feedback program.
#include "rcrash_posix.h"
#include "rthread.h"

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/auxv.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <ucontext.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int faultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int faultSignalCount = 4;
constexpr size_t altStackSize = 128 * 1024;

// What the signal handler reads of its thread: plain data, so that reaching it allocates nothing.
struct ThreadState {
    bool installed;
    char context[crashContextSize];
    void* catchAll;
    void* altStack;
    stack_t previousStack;
};
constinit thread_local ThreadState threadState = {};

// Removes the thread's handler and stack when the thread ends.
struct ThreadEnd {
    bool armed = false;
    ~ThreadEnd() {
        if (armed)
            removeCrashHandler();
    }
};
thread_local ThreadEnd threadEnd;

std::once_flag processOnce;
struct sigaction previousActions[faultSignalCount];

rCrashShared::Storage sharedStorage;
std::atomic<pid_t> storageOwner{0};

// The fallback memory probe: bytes written to a pipe from an unreadable address fail with EFAULT
// instead of faulting.
int probePipe[2] = {-1, -1};
std::atomic_flag probePipeBusy = ATOMIC_FLAG_INIT;
std::atomic<bool> pipeProbeOnly{false};

std::once_flag baseOnce;
uintptr_t executableBase = 0;

int signalIndex(int sig) {
    for (int i = 0; i < faultSignalCount; ++i)
        if (faultSignals[i] == sig)
            return i;
    return 0;
}

uint32_t exceptionCode(int sig, int code) {
    switch (sig) {
    case SIGFPE:
        return code == FPE_INTDIV ? exIntDivideByZero : exArithmetic;
    case SIGILL:
        return exIllegalInstruction;
    default:
        return exAccessViolation; // SIGSEGV, SIGBUS
    }
}

// The fault takes the action the process had before the handler: restored here, it runs when
// the faulting instruction runs again, or, for a signal that was sent, when this handler returns.
void passOn(int sig, const siginfo_t* info) {
    sigaction(sig, &previousActions[signalIndex(sig)], nullptr);
    if (info->si_code <= 0)
        raise(sig);
}

rCrashRegisters registersOf(void* raw) {
    const ucontext_t* uc = static_cast<const ucontext_t*>(raw);
#if defined(__x86_64__)
    return {uintptr_t(uc->uc_mcontext.gregs[REG_RIP]), uintptr_t(uc->uc_mcontext.gregs[REG_RBP])};
#elif defined(__aarch64__)
    return {uintptr_t(uc->uc_mcontext.pc), uintptr_t(uc->uc_mcontext.regs[29])};
#else
    (void)uc;
    return {0, 0};
#endif
}

void faultSignal(int sig, siginfo_t* info, void* raw) {
    const int savedErrno = errno;
    ThreadState& state = threadState;
    if (!state.installed) {
        passOn(sig, info); // not our thread, or its report is written already
        errno = savedErrno;
        return;
    }
    state.installed = false; // a fault inside the handler, or a later one, gets no report
    crashHandler(exceptionCode(sig, info->si_code), registersOf(raw));
    if (void* target = state.catchAll) {
        state.catchAll = nullptr;
        siglongjmp(*static_cast<sigjmp_buf*>(target), 1);
    }
    passOn(sig, info);
    errno = savedErrno;
}

std::once_flag pipeOnce;

void openProbePipe() {
    std::call_once(pipeOnce, [] {
        if (pipe2(probePipe, O_CLOEXEC | O_NONBLOCK) != 0)
            probePipe[0] = probePipe[1] = -1;
    });
}

void installProcessAction() {
    tzset(); // the handler's local time then reads no files
    openProbePipe();
    struct sigaction action = {};
    action.sa_sigaction = faultSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int sig : faultSignals)
        sigaddset(&action.sa_mask, sig);
    for (int i = 0; i < faultSignalCount; ++i)
        sigaction(faultSignals[i], &action, &previousActions[i]);
}

uintptr_t moduleBaseOfExecutable() {
    std::call_once(baseOnce, [] {
        Dl_info info;
        const void* headers = reinterpret_cast<const void*>(getauxval(AT_PHDR));
        if (headers != nullptr && dladdr(headers, &info) != 0)
            executableBase = uintptr_t(info.dli_fbase);
    });
    return executableBase;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
}

struct Region {
    uintptr_t start;
    uintptr_t end;
    bool writable;
};

// The mapping that holds address, from /proc/self/maps read in small pieces.
bool findRegion(uintptr_t address, Region& region) {
    const int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char piece[512];
    int field = 0;
    int perm = 0;
    uintptr_t start = 0, end = 0;
    bool writable = false, found = false;
    ssize_t n;
    while (!found && ((n = read(fd, piece, sizeof piece)) > 0 || (n < 0 && errno == EINTR))) {
        for (ssize_t i = 0; i < n; ++i) {
            const char c = piece[i];
            if (c == '\n') {
                if (field >= 3 && address >= start && address < end) {
                    region = {start, end, writable};
                    found = true;
                    break;
                }
                field = perm = 0;
                start = end = 0;
                writable = false;
            } else if (field == 0) {
                if (c == '-')
                    field = 1;
                else
                    start = start * 16 + uintptr_t(hexValue(c));
            } else if (field == 1) {
                if (c == ' ')
                    field = 2;
                else
                    end = end * 16 + uintptr_t(hexValue(c));
            } else if (field == 2) {
                if (c == ' ')
                    field = 3;
                else if (perm++ == 1)
                    writable = c == 'w';
            }
        }
    }
    close(fd);
    return found;
}

bool writable(uintptr_t address, size_t n, Region& cached) {
    if (!(address >= cached.start && address < cached.end) && !findRegion(address, cached))
        return false;
    return cached.writable && address + n <= cached.end;
}

bool readThroughPipe(uintptr_t address, void* out, size_t n) {
    openProbePipe(); // opened already where a handler is installed
    if (probePipe[1] < 0)
        return false;
    while (probePipeBusy.test_and_set(std::memory_order_acquire))
        sched_yield();
    const ssize_t put = write(probePipe[1], reinterpret_cast<const void*>(address), n);
    if (put > 0) {
        const ssize_t got = read(probePipe[0], out, size_t(put)); // drains what went in
        (void)got;
    }
    probePipeBusy.clear(std::memory_order_release);
    return put == ssize_t(n);
}

// Reads n bytes at address, or answers false when they are not readable; never faults.
bool readMemory(uintptr_t address, void* out, size_t n) {
    if (!pipeProbeOnly.load(std::memory_order_relaxed)) {
        struct iovec local = {out, n};
        struct iovec remote = {reinterpret_cast<void*>(address), n};
        const ssize_t r = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
        if (r == ssize_t(n))
            return true;
        if (r >= 0 || errno == EFAULT)
            return false;
    }
    // Refused (a sandbox may forbid the call): the pipe answers the same question.
    return readThroughPipe(address, out, n);
}

void startFeedback(rCrashShared::Storage& s) {
    rCrashShared::Text program(s.program, sizeof s.program);
    const char* slash = std::strrchr(s.exePath, '/');
    program.add(s.exePath, slash != nullptr ? size_t(slash - s.exePath + 1) : 0);
    program.add("Feedback.exe");
    if (program.truncated() || access(s.program, F_OK) != 0)
        return;
    // Started directly, never through a shell, with the report's path as its one argument; it
    // gets a clean signal mask and default fault actions, not those of this handler.
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0)
        return;
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : faultSignals)
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char* argv[] = {s.program, s.fileName, nullptr};
    pid_t child;
    posix_spawn(&child, s.program, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
}

} // namespace

namespace rCrashShared {

bool takeStorage() {
    const pid_t self = gettid();
    if (storageOwner.load() == self)
        return false;
    pid_t expected = 0;
    while (!storageOwner.compare_exchange_weak(expected, self)) {
        expected = 0;
        const struct timespec pause = {0, 1000000};
        nanosleep(&pause, nullptr);
    }
    return true;
}

void releaseStorage() {
    storageOwner.store(0);
}

Storage& storage() {
    return sharedStorage;
}

bool executablePath(char* out, size_t size) {
    const ssize_t n = readlink("/proc/self/exe", out, size - 1);
    out[n > 0 ? n : 0] = 0;
    return n > 0 && size_t(n) < size - 1;
}

void addFrameLines(Text& out, const char* exePath, const uintptr_t* frames, uint32_t count) {
    const uintptr_t exeBase = moduleBaseOfExecutable();
    for (uint32_t i = 0; i < count; ++i) {
        Dl_info info;
        if (dladdr(reinterpret_cast<const void*>(frames[i]), &info) == 0 ||
            info.dli_fbase == nullptr)
            continue; // in no module
        const uintptr_t base = uintptr_t(info.dli_fbase);
        const char* path = info.dli_fname;
        if (base == exeBase || path == nullptr || path[0] == 0)
            path = exePath; // the loader may know the program only by its argv[0]
        const char* slash = std::strrchr(path, '/');
        out.add(slash != nullptr ? slash + 1 : path);
        out.add("\t0x");
        out.addHex(base, 8);
        out.add("\t0x");
        out.addHex(frames[i], 8);
        out.add("\r\n");
    }
}

void writeAll(int fd, const char* text, size_t n) {
    while (n > 0) {
        const ssize_t put = write(fd, text, n);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return;
        text += put;
        n -= size_t(put);
    }
}

int openAppend(const char* name) {
    // Non-blocking, so that a FIFO in the file's place cannot stall a report; only a regular
    // file is written.
    const int fd = open(
        name, O_WRONLY | O_CREAT | O_APPEND | O_SYNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(fd);
        return -1;
    }
    return fd;
}

void forcePipeProbe(bool on) {
    openProbePipe();
    pipeProbeOnly.store(on);
}

} // namespace rCrashShared

bool diagnosticFileName(const char* exe, const char* ext, char* out, size_t size) {
    const char* slash = std::strrchr(exe, '/');
    const char* name = slash != nullptr ? slash + 1 : exe;
    const char* dot = std::strrchr(name, '.');
    const size_t keep = dot != nullptr ? size_t(dot - exe) : std::strlen(exe);
    const size_t extLength = std::strlen(ext);
    if (size == 0 || keep + 1 + extLength + 1 > size)
        return false;
    std::memcpy(out, exe, keep);
    out[keep] = '.';
    std::memcpy(out + keep + 1, ext, extLength + 1);
    return true;
}

void installCrashHandler(const char* context) {
    std::call_once(processOnce, installProcessAction);
    moduleBaseOfExecutable();
    ThreadState& state = threadState;
    if (state.altStack == nullptr) {
        void* stack = mmap(nullptr, altStackSize, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (stack != MAP_FAILED) {
            stack_t ours = {};
            ours.ss_sp = stack;
            ours.ss_size = altStackSize;
            if (sigaltstack(&ours, &state.previousStack) == 0)
                state.altStack = stack;
            else
                munmap(stack, altStackSize);
        }
        threadEnd.armed = true;
    }
    size_t n = context != nullptr ? strnlen(context, crashContextSize - 2) : 0;
    std::memcpy(state.context, context != nullptr ? context : "", n);
    state.context[n] = 0;
    state.installed = true;
}

const char* crashContext() {
    return threadState.context;
}

void setCrashCatchAll(void* jumpBuffer) {
    threadState.catchAll = jumpBuffer;
}

void removeCrashHandler() {
    ThreadState& state = threadState;
    state.installed = false;
    state.catchAll = nullptr;
    if (state.altStack == nullptr)
        return;
    stack_t current;
    if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == state.altStack) {
        stack_t previous = state.previousStack;
        previous.ss_flags &= SS_DISABLE;
        if (sigaltstack(&previous, nullptr) != 0) {
            stack_t off = {};
            off.ss_flags = SS_DISABLE;
            sigaltstack(&off, nullptr);
        }
    }
    munmap(state.altStack, altStackSize);
    state.altStack = nullptr;
}

uint32_t walkStack(const rCrashRegisters& registers, uintptr_t* frames) {
    std::memset(frames, 0, sizeof(uintptr_t) * crashMaxFrames);
    uintptr_t pc = registers.pc;
    uintptr_t fp = registers.fp;
    Region region = {0, 0, false};
    uint32_t n = 0;
    while (n < crashMaxFrames) {
        frames[n++] = pc;
        uintptr_t frame[2]; // the caller's frame pointer, then the return address
        if (!readMemory(fp, frame, sizeof frame))
            break;
        const uintptr_t previous = fp;
        fp = frame[0];
        pc = frame[1];
        // The chain must climb through writable memory in aligned steps.
        if (fp % sizeof(uintptr_t) != 0 || fp <= previous || !writable(fp, sizeof frame, region))
            break;
    }
    return n;
}

void crashHandler(uint32_t code, const rCrashRegisters& registers) {
    using namespace rCrashShared;
    takeStorage(); // one report at a time; a report interrupting this thread's snapshot goes on
    Storage& s = sharedStorage;
    const bool named = executablePath(s.exePath, sizeof s.exePath) &&
                       diagnosticFileName(s.exePath, "err", s.fileName, sizeof s.fileName);
    const int fd = named ? openAppend(s.fileName) : -1;
    if (fd >= 0) {
        Text out(s.text, sizeof s.text);
        const time_t now = time(nullptr);
        struct tm local = {};
        localtime_r(&now, &local);
        const char* context = threadState.context;
        if (context[0] != 0) {
            out.addChar('>');
            out.add(context);
            out.add(" | ");
            out.addAsctime(local);
            out.add(">-------------------- Call stack ---------------------------\r\n");
        } else {
            out.add(">Exception ");
            out.addHex(code, 8);
            out.add(" at 0x");
            out.addHex(registers.pc, 8);
            out.add(" | ");
            out.addAsctime(local);
            out.add(">-------------------- Call stack -+-------------------------\r\n");
        }
        const uint32_t n = walkStack(registers, s.frames);
        addFrameLines(out, s.exePath, s.frames, n);
        writeAll(fd, out.data, out.length); // one write: reports of other processes stay whole
        close(fd);
    }
    threadState.context[0] = 0;
    if (named && !crashQuiet.load())
        startFeedback(s);
    releaseStorage();
}
