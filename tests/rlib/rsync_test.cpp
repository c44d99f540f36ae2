// Tests of rLib/rsync: the reader/writer lock, semaphore, event and critical section, with real
// threads. Time-outs are checked as lower bounds only.
#include "rsync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

milliseconds since(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// Whether another thread gets the write (or read) side within timeout, and gives it back. A
// refusal must not come before the time-out.
bool othersGet(rSharedLock& lock, bool write, uint32_t timeout = 0) {
    const auto start = Clock::now();
    bool in = false;
    std::thread([&] {
        in = write ? lock.lockWrite(timeout) : lock.lockRead(timeout);
        if (in && write)
            lock.unlockWrite();
        else if (in)
            lock.unlockRead();
    }).join();
    if (!in) {
        EXPECT_GE(since(start), milliseconds(timeout));
    }
    return in;
}

// Waits (generously) until done() answers true.
template <class F> bool eventually(F done) {
    const auto start = Clock::now();
    while (!done() && since(start) < milliseconds(20000))
        std::this_thread::sleep_for(milliseconds(1));
    return done();
}
bool eventually(const std::atomic<bool>& flag) {
    return eventually([&] { return flag.load(); });
}

} // namespace

TEST(SharedLock, ReadersHoldTogetherAndKeepWritersOut) {
    rSharedLock lock;
    std::atomic<bool> leave{false};
    std::atomic<int> holding{0};
    std::vector<std::thread> readers;
    std::atomic<int> obtained{0};
    for (int i = 0; i < 2; ++i)
        readers.emplace_back([&] {
            if (lock.lockRead(5000))
                ++obtained;
            ++holding;
            eventually(leave);
            lock.unlockRead();
        });
    EXPECT_TRUE(eventually([&] { return holding == 2; }));
    EXPECT_EQ(obtained, 2);
    EXPECT_FALSE(othersGet(lock, true, 100));
    // A third reader still comes in while the other two hold the lock.
    EXPECT_TRUE(othersGet(lock, false));

    leave = true;
    for (auto& t : readers)
        t.join();
    EXPECT_TRUE(lock.lockWrite(0));
    lock.unlockWrite();
}

TEST(SharedLock, WriterKeepsReadersAndWritersOut) {
    rSharedLock lock;
    ASSERT_TRUE(lock.lockWrite(0));
    EXPECT_FALSE(othersGet(lock, false, 100));
    EXPECT_FALSE(othersGet(lock, true, 100));
    EXPECT_FALSE(othersGet(lock, false));
    // Only the holder can release it.
    std::thread([&] { lock.unlockWrite(); }).join();
    EXPECT_FALSE(othersGet(lock, false));
    lock.unlockWrite();
    EXPECT_TRUE(othersGet(lock, false));
}

TEST(SharedLock, WriteSideIsRecursiveAndItsHolderMayRead) {
    rSharedLock lock;
    ASSERT_TRUE(lock.lockWrite(0));
    ASSERT_TRUE(lock.lockWrite(0));
    EXPECT_TRUE(lock.lockRead(0)); // the holder of the write side
    lock.unlockRead();
    lock.unlockWrite();
    // Still held once: other threads stay out.
    EXPECT_FALSE(othersGet(lock, true, 20));
    lock.unlockWrite();
    EXPECT_TRUE(othersGet(lock, true));
    // A reader that asks for the write side waits for itself: the time-out answers.
    ASSERT_TRUE(lock.lockRead(0));
    const auto start = Clock::now();
    EXPECT_FALSE(lock.lockWrite(50));
    EXPECT_GE(since(start), milliseconds(50));
    lock.unlockRead();
    EXPECT_TRUE(lock.lockWrite(0));
    lock.unlockWrite();
}

TEST(SharedLock, WaitingWriterLetsNewReadersIn) {
    rSharedLock lock;
    ASSERT_TRUE(lock.lockRead(0));
    std::atomic<bool> writing{false};
    std::atomic<bool> writerStarted{false};
    std::thread writer([&] {
        writerStarted = true;
        if (lock.lockWrite()) {
            writing = true;
            lock.unlockWrite();
        }
    });
    ASSERT_TRUE(eventually(writerStarted));
    std::this_thread::sleep_for(milliseconds(50)); // the writer is waiting now
    // Readers are preferred: a new reader comes in although a writer waits.
    std::atomic<bool> secondIn{false};
    rEvent secondLeave;
    std::thread second([&] {
        if (lock.lockRead(5000)) {
            secondIn = true;
            secondLeave.wait();
            lock.unlockRead();
        }
    });
    ASSERT_TRUE(eventually(secondIn));
    lock.unlockRead();
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_FALSE(writing); // one reader still holds the lock
    secondLeave.set();
    second.join();
    writer.join();
    EXPECT_TRUE(writing);
}

TEST(SharedLock, WriteSideOfAnEndedThreadGoesToTheNextWaiter) {
    rSharedLock lock;
    std::thread([&] { EXPECT_TRUE(lock.lockWrite(0)); }).join(); // ends holding it
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        if (lock.lockWrite(5000)) {
            got = true;
            lock.unlockWrite();
        }
    });
    waiter.join();
    EXPECT_TRUE(got);
    // Obtained once, released once: free again, for readers too.
    EXPECT_TRUE(lock.lockRead(0));
    lock.unlockRead();
    EXPECT_TRUE(lock.lockWrite(0));
    lock.unlockWrite();
}

TEST(SharedLock, RandomSequencesNeverMixWritersWithOthers) {
    rSharedLock lock;
    std::atomic<int> readersIn{0};
    std::atomic<int> writersIn{0};
    std::atomic<int> faults{0};
    std::atomic<int> writes{0};
    std::atomic<int> reads{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            std::mt19937 random(unsigned(1000 + t));
            for (int i = 0; i < 1500; ++i) {
                const unsigned op = random() % 4;
                const uint32_t timeout = random() % 3 == 0 ? rInfinite : random() % 5;
                if (op == 0) {
                    if (!lock.lockWrite(timeout))
                        continue;
                    const int depth = 1 + int(random() % 3); // recursive re-entry
                    for (int d = 1; d < depth; ++d)
                        if (!lock.lockWrite(0))
                            ++faults;
                    if (++writersIn != 1 || readersIn != 0)
                        ++faults;
                    ++writes;
                    if (random() % 8 == 0)
                        std::this_thread::yield();
                    --writersIn;
                    for (int d = 0; d < depth; ++d)
                        lock.unlockWrite();
                } else {
                    if (!lock.lockRead(timeout))
                        continue;
                    ++readersIn;
                    if (writersIn != 0)
                        ++faults;
                    ++reads;
                    if (random() % 8 == 0)
                        std::this_thread::yield();
                    --readersIn;
                    lock.unlockRead();
                }
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(faults, 0);
    EXPECT_GT(writes, 0);
    EXPECT_GT(reads, 0);
    EXPECT_TRUE(lock.lockWrite(0)); // nothing left held
    lock.unlockWrite();
}

TEST(Semaphore, CountsUpToItsMaximum) {
    rSemaphore semaphore(2);
    EXPECT_TRUE(semaphore.wait(0));
    EXPECT_TRUE(semaphore.wait(0));
    EXPECT_FALSE(semaphore.wait(0));
    semaphore.release();
    EXPECT_TRUE(semaphore.wait(0));
    const auto start = Clock::now();
    EXPECT_FALSE(semaphore.wait(100));
    EXPECT_GE(since(start), milliseconds(100));
    // Releases beyond the maximum are lost.
    for (int i = 0; i < 5; ++i)
        semaphore.release();
    EXPECT_TRUE(semaphore.wait(0));
    EXPECT_TRUE(semaphore.wait(0));
    EXPECT_FALSE(semaphore.wait(0));

    rSemaphore none(0);
    EXPECT_FALSE(none.wait(0));
    none.release(); // maximum 0
    EXPECT_FALSE(none.wait(0));
}

TEST(Semaphore, ReleaseWakesAWaitingThread) {
    rSemaphore semaphore(1);
    ASSERT_TRUE(semaphore.wait(0));
    std::atomic<bool> passed{false};
    std::thread waiter([&] { passed = semaphore.wait(); });
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_FALSE(passed);
    semaphore.release();
    waiter.join();
    EXPECT_TRUE(passed);
    EXPECT_FALSE(semaphore.wait(0));
}

TEST(Event, SetLetsExactlyOneWaitThrough) {
    rEvent event;
    EXPECT_FALSE(event.wait(0));
    event.set();
    EXPECT_TRUE(event.wait(0));
    EXPECT_FALSE(event.wait(0)); // reset automatically
    event.set();
    event.set(); // a second set before any wait changes nothing
    EXPECT_TRUE(event.wait(0));
    EXPECT_FALSE(event.wait(0));
    const auto start = Clock::now();
    EXPECT_FALSE(event.wait(100));
    EXPECT_GE(since(start), milliseconds(100));

    // Two threads wait; each set releases one of them.
    std::atomic<int> through{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i)
        waiters.emplace_back([&] {
            if (event.wait(20000))
                ++through;
        });
    std::this_thread::sleep_for(milliseconds(30));
    event.set();
    EXPECT_TRUE(eventually([&] { return through >= 1; }));
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_EQ(through, 1);
    event.set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(through, 2);
    EXPECT_FALSE(event.wait(0));
}

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads) {
    rCriticalSection section;
    section.enter();
    section.enter();
    section.leave();
    std::atomic<bool> inside{false};
    std::thread other([&] {
        section.enter();
        inside = true;
        section.leave();
    });
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_FALSE(inside); // still held once
    section.leave();
    other.join();
    EXPECT_TRUE(inside);

    long total = 0; // changed only inside the section
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                section.enter();
                total = total + 1;
                section.leave();
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(total, 80000);
}
