// rLib/rthread_posix.cpp - rThread on pthreads: the thread procedure with its catch-all, and
// stopping by cancellation after the bounded wait.
#include "rcrash.h"
#include "rsystem.h"
#include "rthread.h"

#include <cerrno>
#include <csetjmp>
#include <cxxabi.h>
#include <exception>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <time.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define R_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define R_ASAN 1
#endif
#ifdef R_ASAN
#include <sanitizer/asan_interface.h>
#endif

#define R_MODULE "rLib/rthread"

std::atomic<rThreadStartHook> threadStartHook{nullptr};
std::atomic<rThreadEndHook> threadEndHook{nullptr};
std::atomic<bool> crashQuiet{false};

namespace {

// How long a cancelled thread may take to end before it is detached and left.
constexpr uint32_t cancelWait = 1000;

// Made by start, read by the new thread, freed by start once the thread has taken its contents
// and published its id.
struct StartBlock {
    rThreadFunction function;
    void* argument;
    std::atomic<uint32_t> id{0};
};

struct Call {
    rThreadFunction function;
    void* argument;
};

// Runs the call under the thread's catch-all: false when a fault or an exception escaped it.
bool runCaught(const Call& call) {
    sigjmp_buf catchAll;
    if (sigsetjmp(catchAll, 1) != 0) {
#ifdef R_ASAN
        // The frames the fault left are gone: their poisoned stack must not meet later calls.
        __asan_handle_no_return();
#endif
        return false;
    }
    setCrashCatchAll(&catchAll);
    try {
        call.function(call.argument);
    } catch (abi::__forced_unwind&) {
        setCrashCatchAll(nullptr);
        throw; // cancellation must unwind the thread
    } catch (...) {
        setCrashCatchAll(nullptr);
        return false;
    }
    setCrashCatchAll(nullptr);
    return true;
}

// Removes the thread's crash handler however the thread ends (also when it is cancelled).
struct HandlerScope {
    HandlerScope() { installCrashHandler(nullptr); }
    ~HandlerScope() { removeCrashHandler(); }
};

void* threadProcedure(void* raw) {
    StartBlock* block = static_cast<StartBlock*>(raw);
    const Call call = {block->function, block->argument};
    block->id.store(threadId());
    block->id.notify_one(); // the block is start's again from here
    if (rThreadStartHook hook = threadStartHook.load())
        hook();
    {
        HandlerScope handler;
        if (!runCaught(call) && !crashQuiet.load())
            std::terminate();
    }
    if (rThreadEndHook hook = threadEndHook.load())
        hook(0);
    return nullptr;
}

pthread_t threadOf(uintptr_t handle) {
    return pthread_t(handle);
}

// Joins within ms milliseconds of the monotonic clock: true when the thread has ended.
bool joinWithin(pthread_t thread, uint32_t ms) {
    struct timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += ms / 1000;
    deadline.tv_nsec += long(ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    int r;
    while ((r = pthread_clockjoin_np(thread, nullptr, CLOCK_MONOTONIC, &deadline)) == EINTR) {
    }
    return r == 0;
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
    StartBlock* block = new (memory) StartBlock{function, argument};
    pthread_t thread;
    const int r = pthread_create(&thread, nullptr, threadProcedure, block);
    if (!rCHECK_TEXT("check(handle!=NULL,erThread,\"Start\",GetLastError())", r == 0, erThread,
                     "Start", uint32_t(r))) {
        block->~StartBlock();
        memFree(block);
        running = false;
        return 0;
    }
    block->id.wait(0);
    id = block->id.load();
    block->~StartBlock();
    memFree(block);
    handle.store(uintptr_t(thread));
    running = true;
    lastExitCode = 0;
    return id;
}

bool rThread::isRunning() {
    if (running) {
        const uintptr_t h = handle.load();
        if (h == 0 || pthread_tryjoin_np(threadOf(h), nullptr) == 0) {
            handle.store(0); // joined: the thread's resources are released
            release();
        }
    }
    return running;
}

bool rThread::stop(bool wait) {
    if (!running)
        return false;
    bool killed = false;
    const uintptr_t h = handle.load();
    if (h != 0) {
        const pthread_t thread = threadOf(h);
        bool ended;
        if (wait) {
            ended = pthread_join(thread, nullptr) == 0;
        } else {
            ended = joinWithin(thread, threadStopWait);
            if (!ended) {
                // Killed: cancelled, and given a bounded time to end; one that still runs (it
                // reaches no cancellation point) is detached and left.
                pthread_cancel(thread);
                ended = joinWithin(thread, cancelWait);
                killed = true;
                lastExitCode = threadKilledExitCode;
                if (rThreadEndHook hook = threadEndHook.load())
                    hook(id);
            }
        }
        if (ended)
            handle.store(0);
    }
    release();
    return killed;
}

void rThread::release() {
    const uintptr_t h = handle.exchange(0);
    if (h != 0) {
        const int r = pthread_detach(threadOf(h));
        if (r != 0)
            setError(erThread, "End", uint32_t(r));
    }
    running = false;
}

uint32_t currentThreadId() {
    return threadId();
}

void yieldThread() {
    sched_yield();
}
