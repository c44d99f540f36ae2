// tests/rlib/probe/crashprobe.cpp - a program that faults, or takes thread snapshots, on request,
// for the crash-report, thread and snapshot tests. It prints the addresses the tests expect as
// "name value" lines (hexadecimal) before it acts.
#include "rcrash.h"
#include "rsnapshot.h"
#include "rsystem.h"
#include "rthread.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <time.h>
#include <unistd.h>

// Faults at exactly known instructions, with frames of their own. Written in assembly so that
// neither the optimiser nor a sanitizer's checks come between the test and the fault.
extern "C" {
void probeReadChain(const int* address); // reads *address two frames down
void probeDivideChain(int divisor);      // divides 1 by divisor two frames down
void probeSnapshotChain(const char* reason);
extern const char probeReadInsn[], probeReadReturn[];
extern const char probeDivideInsn[], probeDivideReturn[];
extern const char probeSnapshotReturn[];
}

asm(R"(
    .text
    .globl probeReadChain, probeReadInsn, probeReadReturn
    .globl probeDivideChain, probeDivideInsn, probeDivideReturn
    .globl probeSnapshotChain, probeSnapshotReturn
probeReadChain:
    push %rbp
    mov %rsp, %rbp
    call probeReadLeaf
probeReadReturn:
    pop %rbp
    ret
probeReadLeaf:
    push %rbp
    mov %rsp, %rbp
probeReadInsn:
    mov (%rdi), %eax
    pop %rbp
    ret
probeDivideChain:
    push %rbp
    mov %rsp, %rbp
    call probeDivideLeaf
probeDivideReturn:
    pop %rbp
    ret
probeDivideLeaf:
    push %rbp
    mov %rsp, %rbp
    mov %edi, %ecx
    mov $1, %eax
    cltd
probeDivideInsn:
    idivl %ecx
    pop %rbp
    ret
probeSnapshotChain:
    push %rbp
    mov %rsp, %rbp
    call _Z19writeThreadSnapshotPKc@PLT
probeSnapshotReturn:
    pop %rbp
    ret
)");

namespace {

// Prints a "name value" line, and everything printed before it, at once: the test reads the
// lines even when the process then dies.
void print(const char* name, const void* value) {
    std::printf("%s %lx\n", name, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(value)));
    std::fflush(stdout);
}

void printBase() {
    Dl_info info;
    if (dladdr(reinterpret_cast<const void*>(&printBase), &info) != 0)
        print("base", info.dli_fbase);
}

// Reads address 0, or with a divisor (a pointer to 0) divides by it.
__attribute__((noinline)) void fault(void* divisor) {
    if (divisor != nullptr)
        probeDivideChain(*static_cast<int*>(divisor));
    else
        probeReadChain(nullptr);
    asm volatile("" ::: "memory"); // no tail call: this function keeps its frame
}
int zero = 0;

void faultWithContext(void* context) {
    installCrashHandler(static_cast<const char*>(context));
    fault(nullptr);
}

__attribute__((noinline)) void recurse(int depth) {
    if (depth > 0)
        recurse(depth - 1);
    else
        probeReadChain(nullptr);
    asm volatile("" ::: "memory"); // no tail call: every level keeps its frame
}

void faultDeep(void*) {
    recurse(150);
}

std::atomic<bool> finish{false};
std::atomic<int> ready{0};

void idle(void*) {
    ready.fetch_add(1);
    while (!finish.load())
        sleepMs(5);
}

// Uses at least 1.2 s of processor time, then idles.
void burn(void*) {
    struct timespec used;
    volatile uint64_t sink = 0;
    do {
        for (int i = 0; i < 1000000; ++i)
            sink = sink + uint64_t(i);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    } while (used.tv_sec < 1 || (used.tv_sec == 1 && used.tv_nsec < 200000000));
    idle(nullptr);
}

std::atomic<uint32_t> endHookIds[4];
std::atomic<int> endHookCalls{0};

void recordEnd(uint32_t id) {
    const int n = endHookCalls.fetch_add(1);
    if (n < 4)
        endHookIds[n].store(id);
}

constexpr int togetherCount = 8;

// Faults as soon as all threads are ready, deep down, so that their reports are written at once.
void faultTogether(void* divide) {
    ready.fetch_add(1);
    while (ready.load() < togetherCount)
        yieldThread();
    if (divide != nullptr)
        probeDivideChain(0);
    else
        recurse(90);
    asm volatile("" ::: "memory");
}

int runThread(rThreadFunction function, void* argument) {
    rThread thread;
    thread.start(function, argument);
    thread.stop(true);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    // The addresses the tests expect, whatever the mode.
    printBase();
    print("readInsn", probeReadInsn);
    print("readReturn", probeReadReturn);
    print("divideInsn", probeDivideInsn);
    print("divideReturn", probeDivideReturn);
    print("recurse", reinterpret_cast<const void*>(&recurse));
    print("snapshot", reinterpret_cast<const void*>(&writeThreadSnapshot));
    print("snapshotReturn", probeSnapshotReturn);
    if (mode == "read")
        return runThread(fault, nullptr);
    if (mode == "divide")
        return runThread(fault, &zero);
    if (mode == "context")
        return runThread(faultWithContext, const_cast<char*>("Reading the save list"));
    if (mode == "deep")
        return runThread(faultDeep, nullptr);
    if (mode == "main") { // the handler without a catch-all: the fault takes its default action
        installCrashHandler(nullptr);
        fault(nullptr);
        return 0;
    }
    if (mode == "sent") { // a fault signal sent, not caused: reported, then its default action
        installCrashHandler(nullptr);
        raise(SIGSEGV);
        std::printf("survived\n");
        return 0;
    }
    if (mode == "quiet") { // two faulting threads end, the process goes on
        crashQuiet = true;
        threadEndHook = recordEnd;
        rThread first, second;
        std::printf("first %x\n", first.start(fault, nullptr));
        std::fflush(stdout);
        const bool killed = first.stop(true);
        std::printf("second %x\n", second.start(fault, &zero));
        std::fflush(stdout);
        const bool killed2 = second.stop(true);
        std::printf("alive %d %d hooks %d %x %x\n", killed, killed2, endHookCalls.load(),
                    endHookIds[0].load(), endHookIds[1].load());
        return 0;
    }
    if (mode == "together") {
        crashQuiet = true;
        rThread threads[togetherCount];
        for (int i = 0; i < togetherCount; ++i)
            threads[i].start(faultTogether, i % 2 != 0 ? &ready : nullptr);
        for (rThread& t : threads)
            t.stop(true);
        std::printf("alive\n");
        return 0;
    }
    if (mode == "snapshot") {
        rThread idler, burner;
        std::printf("idler %x\n", idler.start(idle, nullptr));
        std::printf("burner %x\n", burner.start(burn, nullptr));
        std::printf("self %x\n", currentThreadId());
        while (ready.load() < 2)
            sleepMs(5);
        probeSnapshotChain("Two workers");
        probeSnapshotChain(nullptr);
        finish = true;
        idler.stop(true);
        burner.stop(true);
        return 0;
    }
    std::fprintf(stderr, "unknown mode\n");
    return 2;
}
