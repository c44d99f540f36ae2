// rLib/rthread_win32.cpp - rThread on Windows threads: started with _beginthreadex, the crash
// handler installed on each, stopped with a bounded wait and TerminateThread.
#include "rcrash.h"
#include "rsystem.h"
#include "rthread.h"

#include <csetjmp>
#include <exception>
#include <new>
#include <process.h>
#include <windows.h>

#define R_MODULE "rLib/rthread"

std::atomic<rThreadStartHook> threadStartHook{nullptr};
std::atomic<rThreadEndHook> threadEndHook{nullptr};
std::atomic<bool> crashQuiet{false};

namespace {

// How long a terminated thread may take to end before it is left.
constexpr DWORD terminateWait = 1000;

// Made by start, read by the new thread, freed by start once the thread has taken its contents
// and published its id.
struct StartBlock {
    rThreadFunction function;
    void* argument;
    HANDLE started; // set by the new thread once it has published its id
    std::atomic<uint32_t> id{0};
};

struct Call {
    rThreadFunction function;
    void* argument;
};

// Runs the call under the thread's catch-all: false when a fault or an exception escaped it.
// The crash handler resumes a faulting thread at a point that jumps back here.
bool runCaught(const Call& call) {
    jmp_buf catchAll;
    if (setjmp(catchAll) != 0)
        return false;
    setCrashCatchAll(&catchAll);
    try {
        call.function(call.argument);
    } catch (...) {
        setCrashCatchAll(nullptr);
        return false;
    }
    setCrashCatchAll(nullptr);
    return true;
}

unsigned __stdcall threadProcedure(void* raw) {
    StartBlock* block = static_cast<StartBlock*>(raw);
    const Call call = {block->function, block->argument};
    block->id.store(threadId());
    SetEvent(block->started); // the block is start's again from here
    if (rThreadStartHook hook = threadStartHook.load())
        hook();
    installCrashHandler(nullptr);
    const bool clean = runCaught(call);
    removeCrashHandler();
    if (!clean && !crashQuiet.load())
        std::terminate();
    if (rThreadEndHook hook = threadEndHook.load())
        hook(0);
    return 0;
}

HANDLE threadOf(uintptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

rThread::~rThread() {
    stop(false);
}

uint32_t rThread::start(rThreadFunction function, void* argument) {
    void* memory = memAlloc(sizeof(StartBlock));
    if (!rCHECK_TEXT("check(block!=NULL,erInsufMemory,NULL,sizeof(StartBlock))", memory != nullptr,
                     erInsufMemory, nullptr, uint32_t(sizeof(StartBlock))))
        return 0;
    // An event, not an atomic wait: the C++ library's waits on this platform may miss a wake-up.
    StartBlock* block =
        new (memory) StartBlock{function, argument, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    const uintptr_t thread = block->started != nullptr
                                 ? _beginthreadex(nullptr, 0, threadProcedure, block, 0, nullptr)
                                 : 0;
    if (!rCHECK_TEXT("check(handle!=NULL,erThread,\"Start\",GetLastError())", thread != 0, erThread,
                     "Start", uint32_t(GetLastError()))) {
        if (block->started != nullptr)
            CloseHandle(block->started);
        block->~StartBlock();
        memFree(block);
        running = false;
        return 0;
    }
    WaitForSingleObject(block->started, INFINITE);
    id = block->id.load();
    CloseHandle(block->started);
    block->~StartBlock();
    memFree(block);
    handle.store(thread);
    running = true;
    lastExitCode = 0;
    return id;
}

bool rThread::isRunning() {
    if (running) {
        const uintptr_t h = handle.load();
        if (h == 0 || WaitForSingleObject(threadOf(h), 0) == WAIT_OBJECT_0)
            release();
    }
    return running;
}

bool rThread::stop(bool wait) {
    if (!running)
        return false;
    bool killed = false;
    const uintptr_t h = handle.load();
    if (h != 0) {
        const HANDLE thread = threadOf(h);
        const DWORD r = WaitForSingleObject(thread, wait ? INFINITE : DWORD(threadStopWait));
        if (r == WAIT_TIMEOUT) {
            // Killed, and given a bounded time to end; one that still has not ended is left.
            TerminateThread(thread, DWORD(threadKilledExitCode));
            WaitForSingleObject(thread, terminateWait);
            killed = true;
            lastExitCode = threadKilledExitCode;
            if (rThreadEndHook hook = threadEndHook.load())
                hook(id);
        }
    }
    release();
    return killed;
}

void rThread::release() {
    const uintptr_t h = handle.exchange(0);
    if (h != 0 && !CloseHandle(threadOf(h)))
        setError(erThread, "End", uint32_t(GetLastError()));
    running = false;
}

uint32_t currentThreadId() {
    return threadId();
}

void yieldThread() {
    SwitchToThread();
}
