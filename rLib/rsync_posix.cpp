// rLib/rsync_posix.cpp - the synchronisation objects on pthread mutexes and condition variables,
// with time-outs measured on the monotonic clock.
#include "rsync.h"

#include <cerrno>
#include <ctime>
#include <new>
#include <pthread.h>

namespace {

// The moment a wait gives up; none for a wait without limit.
struct Deadline {
    explicit Deadline(uint32_t timeout) : unlimited(timeout == rInfinite) {
        clock_gettime(CLOCK_MONOTONIC, &at);
        if (unlimited)
            return;
        at.tv_sec += time_t(timeout / 1000);
        at.tv_nsec += long(timeout % 1000) * 1000000L;
        if (at.tv_nsec >= 1000000000L) {
            at.tv_sec += 1;
            at.tv_nsec -= 1000000000L;
        }
    }
    bool unlimited;
    timespec at;
};

// Mutexes are robust: a holder that ended leaves the mutex to the next thread, which makes it
// consistent and carries on.
bool initMutex(pthread_mutex_t& mutex, bool recursive) {
    pthread_mutexattr_t attr;
    if (pthread_mutexattr_init(&attr) != 0)
        return false;
    bool ok = pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
              pthread_mutexattr_settype(&attr, recursive ? PTHREAD_MUTEX_RECURSIVE
                                                         : PTHREAD_MUTEX_NORMAL) == 0 &&
              pthread_mutex_init(&mutex, &attr) == 0;
    pthread_mutexattr_destroy(&attr);
    return ok;
}

bool acquired(pthread_mutex_t& mutex, int result) {
    if (result == EOWNERDEAD) {
        pthread_mutex_consistent(&mutex);
        return true;
    }
    return result == 0;
}

bool lockMutex(pthread_mutex_t& mutex, const Deadline& deadline) {
    const int r = deadline.unlimited
                      ? pthread_mutex_lock(&mutex)
                      : pthread_mutex_clocklock(&mutex, CLOCK_MONOTONIC, &deadline.at);
    return acquired(mutex, r);
}

void lockMutex(pthread_mutex_t& mutex) {
    acquired(mutex, pthread_mutex_lock(&mutex));
}

bool initCondition(pthread_cond_t& condition) {
    pthread_condattr_t attr;
    if (pthread_condattr_init(&attr) != 0)
        return false;
    const bool ok = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC) == 0 &&
                    pthread_cond_init(&condition, &attr) == 0;
    pthread_condattr_destroy(&attr);
    return ok;
}

// Waits once; false when the deadline has passed. A holder of the mutex that ended meanwhile
// does not stop the wait.
bool waitCondition(pthread_cond_t& condition, pthread_mutex_t& mutex, const Deadline& deadline) {
    const int r = deadline.unlimited ? pthread_cond_wait(&condition, &mutex)
                                     : pthread_cond_timedwait(&condition, &mutex, &deadline.at);
    if (r == EOWNERDEAD)
        pthread_mutex_consistent(&mutex);
    return r != ETIMEDOUT;
}

// Holds a state mutex for one scope; the scope's end releases it also when the thread is
// cancelled inside a wait (cancellation unwinds through destructors).
class Hold {
public:
    explicit Hold(pthread_mutex_t& m) : mutex(m) { lockMutex(mutex); }
    ~Hold() { pthread_mutex_unlock(&mutex); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    pthread_mutex_t& mutex;
};

// The reader/writer lock: owner is the writers' mutex (recursive), held for a whole write lock
// and briefly by readers while they change readers; state guards readers for the writer's wait
// and noReaders is signalled when readers drops to 0. readers changes only while both owner and
// state are held.
struct SharedLock {
    pthread_mutex_t owner;
    pthread_mutex_t state;
    pthread_cond_t noReaders;
    int32_t readers = 0;
    bool ready = false;
};

// A counting semaphore, or (with maximum 1) an automatic-reset event.
struct Counter {
    pthread_mutex_t state;
    pthread_cond_t changed;
    uint32_t count = 0;
    uint32_t maximum = 0;
    bool ready = false;

    bool wait(uint32_t timeout) {
        if (!ready)
            return true; // a wait that fails counts as success
        const Deadline deadline(timeout);
        Hold hold(state);
        while (count == 0)
            if (!waitCondition(changed, state, deadline) && count == 0)
                return false;
        --count;
        return true;
    }
    void release() {
        if (!ready)
            return;
        Hold hold(state);
        if (count < maximum) {
            ++count;
            pthread_cond_signal(&changed);
        }
    }
};

struct Section {
    pthread_mutex_t mutex;
    bool ready = false;
};

template <class T> T& object(rSyncStorage& storage) {
    static_assert(sizeof(T) <= sizeof(rSyncStorage) && alignof(T) <= alignof(rSyncStorage));
    return *std::launder(reinterpret_cast<T*>(storage.bytes));
}

Counter& makeCounter(rSyncStorage& storage, uint32_t initial, uint32_t maximum) {
    Counter& c = *new (storage.bytes) Counter;
    c.count = initial;
    c.maximum = maximum;
    if (initMutex(c.state, false)) {
        c.ready = initCondition(c.changed);
        if (!c.ready)
            pthread_mutex_destroy(&c.state);
    }
    return c;
}

void destroyCounter(rSyncStorage& storage) {
    Counter& c = object<Counter>(storage);
    if (c.ready) {
        pthread_cond_destroy(&c.changed);
        pthread_mutex_destroy(&c.state);
    }
    c.~Counter();
}

} // namespace

// --- rSharedLock ---

rSharedLock::rSharedLock() {
    SharedLock& s = *new (storage.bytes) SharedLock;
    const bool owner = initMutex(s.owner, true);
    const bool state = initMutex(s.state, false);
    const bool condition = initCondition(s.noReaders);
    s.ready = owner && state && condition;
    if (!s.ready) {
        if (owner)
            pthread_mutex_destroy(&s.owner);
        if (state)
            pthread_mutex_destroy(&s.state);
        if (condition)
            pthread_cond_destroy(&s.noReaders);
    }
}

rSharedLock::~rSharedLock() {
    SharedLock& s = object<SharedLock>(storage);
    if (s.ready) {
        pthread_cond_destroy(&s.noReaders);
        pthread_mutex_destroy(&s.state);
        pthread_mutex_destroy(&s.owner);
    }
    s.~SharedLock();
}

bool rSharedLock::lockRead(uint32_t timeout) {
    SharedLock& s = object<SharedLock>(storage);
    if (!s.ready || !lockMutex(s.owner, Deadline(timeout)))
        return false;
    {
        Hold hold(s.state);
        ++s.readers;
    }
    pthread_mutex_unlock(&s.owner);
    return true;
}

void rSharedLock::unlockRead() {
    SharedLock& s = object<SharedLock>(storage);
    if (!s.ready)
        return;
    lockMutex(s.owner);
    {
        Hold hold(s.state);
        if (--s.readers == 0)
            pthread_cond_broadcast(&s.noReaders);
    }
    pthread_mutex_unlock(&s.owner);
}

bool rSharedLock::lockWrite(uint32_t timeout) {
    SharedLock& s = object<SharedLock>(storage);
    if (!s.ready)
        return false;
    const Deadline deadline(timeout);
    // Both at once or nothing: the owner mutex is kept only when no reader holds the lock.
    // Otherwise it is given back before waiting, so readers can still come and go.
    for (;;) {
        if (!lockMutex(s.owner, deadline))
            return false;
        Hold hold(s.state);
        if (s.readers == 0)
            return true;
        pthread_mutex_unlock(&s.owner);
        while (s.readers != 0)
            if (!waitCondition(s.noReaders, s.state, deadline) && s.readers != 0)
                return false;
    }
}

void rSharedLock::unlockWrite() {
    SharedLock& s = object<SharedLock>(storage);
    if (s.ready)
        pthread_mutex_unlock(&s.owner); // refused (EPERM) unless this thread holds it
}

// --- rSemaphore ---

rSemaphore::rSemaphore(uint32_t count) {
    makeCounter(storage, count, count);
}

rSemaphore::~rSemaphore() {
    destroyCounter(storage);
}

bool rSemaphore::wait(uint32_t timeout) {
    return object<Counter>(storage).wait(timeout);
}

void rSemaphore::release() {
    object<Counter>(storage).release();
}

// --- rEvent ---

rEvent::rEvent() {
    makeCounter(storage, 0, 1);
}

rEvent::~rEvent() {
    destroyCounter(storage);
}

void rEvent::set() {
    object<Counter>(storage).release();
}

bool rEvent::wait(uint32_t timeout) {
    return object<Counter>(storage).wait(timeout);
}

// --- rCriticalSection ---

rCriticalSection::rCriticalSection() {
    Section& s = *new (storage.bytes) Section;
    s.ready = initMutex(s.mutex, true);
}

rCriticalSection::~rCriticalSection() {
    Section& s = object<Section>(storage);
    if (s.ready)
        pthread_mutex_destroy(&s.mutex);
    s.~Section();
}

void rCriticalSection::enter() {
    Section& s = object<Section>(storage);
    if (s.ready)
        lockMutex(s.mutex);
}

void rCriticalSection::leave() {
    Section& s = object<Section>(storage);
    if (s.ready)
        pthread_mutex_unlock(&s.mutex);
}
