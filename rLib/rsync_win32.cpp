// rLib/rsync_win32.cpp - the synchronisation objects on Windows mutexes, events, semaphores and
// critical sections.
#include "rsync.h"

#include <new>
#include <windows.h>

namespace {

// mutex: held by a writer for its whole write lock and briefly by readers; noReaders: manual
// reset, signalled exactly when readers is 0. readers changes only while mutex is held.
struct SharedLock {
    HANDLE mutex = nullptr;
    HANDLE noReaders = nullptr;
    int32_t readers = 0;
};

struct Waitable {
    HANDLE handle = nullptr;
    uint32_t maximum = 1;
};

template <class T> T& object(rSyncStorage& storage) {
    static_assert(sizeof(T) <= sizeof(rSyncStorage) && alignof(T) <= alignof(rSyncStorage));
    return *std::launder(reinterpret_cast<T*>(storage.bytes));
}

// A mutex left by a thread that ended while holding it counts as obtained.
bool obtained(DWORD result, DWORD count = 1) {
    return result < WAIT_OBJECT_0 + count ||
           (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + count);
}

void closeIf(HANDLE handle) {
    if (handle != nullptr)
        CloseHandle(handle);
}

// The waits of semaphores and events count a failed wait as success; only a time-out is false.
bool waitNotTimedOut(HANDLE handle, uint32_t timeout) {
    if (handle == nullptr)
        return true;
    return WaitForSingleObject(handle, DWORD(timeout)) != WAIT_TIMEOUT;
}

} // namespace

// --- rSharedLock ---

rSharedLock::rSharedLock() {
    SharedLock& s = *new (storage.bytes) SharedLock;
    s.mutex = CreateMutexW(nullptr, FALSE, nullptr);
    s.noReaders = CreateEventW(nullptr, TRUE, TRUE, nullptr);
}

rSharedLock::~rSharedLock() {
    SharedLock& s = object<SharedLock>(storage);
    closeIf(s.noReaders);
    closeIf(s.mutex);
    s.~SharedLock();
}

bool rSharedLock::lockRead(uint32_t timeout) {
    SharedLock& s = object<SharedLock>(storage);
    if (s.mutex == nullptr || s.noReaders == nullptr ||
        !obtained(WaitForSingleObject(s.mutex, DWORD(timeout))))
        return false;
    if (s.readers++ == 0)
        ResetEvent(s.noReaders);
    ReleaseMutex(s.mutex);
    return true;
}

void rSharedLock::unlockRead() {
    SharedLock& s = object<SharedLock>(storage);
    if (s.mutex == nullptr || s.noReaders == nullptr ||
        !obtained(WaitForSingleObject(s.mutex, INFINITE)))
        return;
    if (--s.readers == 0)
        SetEvent(s.noReaders);
    ReleaseMutex(s.mutex);
}

bool rSharedLock::lockWrite(uint32_t timeout) {
    SharedLock& s = object<SharedLock>(storage);
    if (s.mutex == nullptr || s.noReaders == nullptr)
        return false;
    // Both at once or nothing: a writer waiting for readers to leave does not hold the mutex,
    // so readers can still come and go (readers are preferred).
    const HANDLE both[2] = {s.mutex, s.noReaders};
    return obtained(WaitForMultipleObjects(2, both, TRUE, DWORD(timeout)), 2);
}

void rSharedLock::unlockWrite() {
    SharedLock& s = object<SharedLock>(storage);
    if (s.mutex != nullptr)
        ReleaseMutex(s.mutex); // refused unless this thread holds it
}

// --- rSemaphore ---

rSemaphore::rSemaphore(uint32_t count) {
    Waitable& w = *new (storage.bytes) Waitable;
    // The system refuses a maximum of 0, and a semaphore that was not created would let every
    // wait through: a count of 0 is a semaphore of maximum 1 that is never released.
    w.maximum = count;
    w.handle = CreateSemaphoreW(nullptr, LONG(count), LONG(count > 0 ? count : 1), nullptr);
}

rSemaphore::~rSemaphore() {
    Waitable& w = object<Waitable>(storage);
    closeIf(w.handle);
    w.~Waitable();
}

bool rSemaphore::wait(uint32_t timeout) {
    return waitNotTimedOut(object<Waitable>(storage).handle, timeout);
}

void rSemaphore::release() {
    const Waitable& w = object<Waitable>(storage);
    const HANDLE handle = w.handle;
    if (handle != nullptr && w.maximum > 0)
        ReleaseSemaphore(handle, 1, nullptr); // beyond the maximum: refused, nothing changes
}

// --- rEvent ---

rEvent::rEvent() {
    Waitable& w = *new (storage.bytes) Waitable;
    w.handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

rEvent::~rEvent() {
    Waitable& w = object<Waitable>(storage);
    closeIf(w.handle);
    w.~Waitable();
}

void rEvent::set() {
    const HANDLE handle = object<Waitable>(storage).handle;
    if (handle != nullptr)
        SetEvent(handle);
}

bool rEvent::wait(uint32_t timeout) {
    return waitNotTimedOut(object<Waitable>(storage).handle, timeout);
}

// --- rCriticalSection ---

rCriticalSection::rCriticalSection() {
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof(rSyncStorage));
    InitializeCriticalSection(new (storage.bytes) CRITICAL_SECTION);
}

rCriticalSection::~rCriticalSection() {
    DeleteCriticalSection(&object<CRITICAL_SECTION>(storage));
}

void rCriticalSection::enter() {
    EnterCriticalSection(&object<CRITICAL_SECTION>(storage));
}

void rCriticalSection::leave() {
    LeaveCriticalSection(&object<CRITICAL_SECTION>(storage));
}
