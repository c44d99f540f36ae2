// rLib/rthread.h - rThread: one function run on a thread of its own that reports its faults,
// stopped with a bounded wait; the process-wide start and end hooks and the quiet-crash switch.
#pragma once

#include "robject.h"

#include <atomic>
#include <cstdint>

// The thread's function; it takes one pointer-sized argument.
using rThreadFunction = void (*)(void* argument);
using rThreadStartHook = void (*)();
using rThreadEndHook = void (*)(uint32_t id);

// Called first thing on every rThread thread.
extern std::atomic<rThreadStartHook> threadStartHook;
// Called with 0 on a thread whose function has returned, and with the thread's id by the
// stopping thread after stop has killed it.
extern std::atomic<rThreadEndHook> threadEndHook;
// Set: a fault in a thread ends only that thread and starts no feedback program.
extern std::atomic<bool> crashQuiet;

constexpr uint32_t threadStopWait = 1000;             // ms stop(false) grants before killing
constexpr uint32_t threadKilledExitCode = 0x89ABCDEF; // exit code of a killed thread

class rThread : public rObject {
public:
    rThread() = default;
    ~rThread() override;
    rThread(const rThread&) = delete;
    rThread& operator=(const rThread&) = delete;

    // Starts function(argument) on a new thread; returns its id (the kernel's thread id), 0 when
    // it could not be started (erThread, "Start", errno).
    uint32_t start(rThreadFunction function, void* argument);
    bool isRunning();
    // Ends the thread, waiting without limit (wait) or at most threadStopWait ms, after which it
    // is killed. True when it had to be killed.
    bool stop(bool wait = false);

    uint32_t getId() const { return id; } // stays readable after the thread has ended
    // 0 when the thread ended by itself, threadKilledExitCode when stop killed it.
    uint32_t exitCode() const { return lastExitCode; }

private:
    void release();

    std::atomic<uintptr_t> handle{0};
    uint32_t id = 0;
    bool running = false;
    uint32_t lastExitCode = 0;
};

uint32_t currentThreadId(); // the kernel's id of the calling thread
void yieldThread();         // gives up the rest of the calling thread's time slice
