// rLib/rsync.h - synchronisation objects local to the process: the reader/writer lock
// rSharedLock, the counting rSemaphore, the automatic-reset rEvent and the recursive
// rCriticalSection, and the process-wide lock around temporary-file creation.
#pragma once

#include <cstdint>

// A time-out without limit. Other time-outs are in milliseconds.
constexpr uint32_t rInfinite = 0xFFFFFFFF;

// The platform objects live in storage of the object itself, so that this header carries no
// platform header and creating a lock allocates nothing.
struct alignas(16) rSyncStorage {
    unsigned char bytes[160];
};

// Many readers or one writer. Readers are preferred: a writer waits until no reader holds the
// lock without blocking readers that come meanwhile. The write side is recursive (each lockWrite
// needs its own unlockWrite, by the thread that took it), and the thread that holds it may also
// take the read side. A writer that ended while holding the write side leaves it to the next
// thread that asks. Failures and time-outs both answer false.
class rSharedLock {
public:
    rSharedLock();
    ~rSharedLock();
    rSharedLock(const rSharedLock&) = delete;
    rSharedLock& operator=(const rSharedLock&) = delete;

    bool lockRead(uint32_t timeout = rInfinite);
    void unlockRead();
    bool lockWrite(uint32_t timeout = rInfinite);
    void unlockWrite();

private:
    rSyncStorage storage;
};

// A counting semaphore whose initial and maximum counts are both the constructor's count.
// wait answers false only on a time-out; release beyond the maximum does nothing.
class rSemaphore {
public:
    explicit rSemaphore(uint32_t count);
    ~rSemaphore();
    rSemaphore(const rSemaphore&) = delete;
    rSemaphore& operator=(const rSemaphore&) = delete;

    bool wait(uint32_t timeout = rInfinite);
    void release();

private:
    rSyncStorage storage;
};

// An event with automatic reset, created not signalled: set lets exactly one wait through (now or
// later); wait answers false only on a time-out.
class rEvent {
public:
    rEvent();
    ~rEvent();
    rEvent(const rEvent&) = delete;
    rEvent& operator=(const rEvent&) = delete;

    void set();
    bool wait(uint32_t timeout = rInfinite);

private:
    rSyncStorage storage;
};

// A recursive lock without a time-out.
class rCriticalSection {
public:
    rCriticalSection();
    ~rCriticalSection();
    rCriticalSection(const rCriticalSection&) = delete;
    rCriticalSection& operator=(const rCriticalSection&) = delete;

    void enter();
    void leave();

private:
    rSyncStorage storage;
};

// Serialises choosing a temporary file's name and creating the file (write side, 5000 ms). It is
// one of the program's static objects: the program defines it, after its scratch directory.
extern rSharedLock tempNameLock;
