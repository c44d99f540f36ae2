// tests/rlib/rthread_test.cpp - rThread: starting, noticing the end, stopping with and without
// waiting, killing after the bounded wait, the hooks, and the destructor. Faults in threads are
// tested with the crash reports.
#include "platform_testutil.h"
#include "rplatform.h"
#include "rsystem.h"
#include "rthread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

std::atomic<int> startCalls{0};
std::atomic<uint32_t> startThread{0};
std::atomic<int> endCalls{0};
std::atomic<uint32_t> endArgument{0xFFFFFFFF};
std::atomic<uint32_t> endThread{0};

void onStart() {
    ++startCalls;
    startThread = currentThreadId();
}
void onEnd(uint32_t id) {
    endArgument = id;
    endThread = currentThreadId();
    ++endCalls;
}

class ThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        startCalls = 0;
        endCalls = 0;
        endArgument = 0xFFFFFFFF;
        threadStartHook = onStart;
        threadEndHook = onEnd;
    }
    void TearDown() override {
        threadStartHook = nullptr;
        threadEndHook = nullptr;
    }
};

std::atomic<uint32_t> ranOn{0};
void returnAtOnce(void* argument) {
    ranOn = currentThreadId();
    *static_cast<int*>(argument) += 1;
}
void sleepFor(void* ms) {
    sleepMs(uint32_t(reinterpret_cast<uintptr_t>(ms)));
}
void sleepForever(void*) {
    for (;;)
        sleepMs(10);
}
std::atomic<bool> release{false};
void spinUntilReleased(void*) { // reaches no cancellation point
    while (!release.load())
        yieldThread();
}

} // namespace

TEST_F(ThreadTest, FunctionThatReturnsEndsTheThreadWithTheHooksCalledOnIt) {
    rThread t;
    EXPECT_FALSE(t.isRunning());
    int calls = 0;
    const uint32_t id = t.start(returnAtOnce, &calls);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, currentThreadId());
    EXPECT_EQ(t.getId(), id);
    for (int i = 0; i < 2000 && t.isRunning(); ++i)
        sleepMs(5);
    EXPECT_FALSE(t.isRunning());
    EXPECT_FALSE(threadAlive(id)); // joined, not merely forgotten
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ranOn.load(), id);
    EXPECT_EQ(startCalls.load(), 1);
    EXPECT_EQ(startThread.load(), id);
    EXPECT_EQ(endCalls.load(), 1);
    EXPECT_EQ(endArgument.load(), 0u);
    EXPECT_EQ(endThread.load(), id); // on the thread itself
    EXPECT_EQ(t.exitCode(), 0u);
    EXPECT_EQ(t.getId(), id);    // stays readable
    EXPECT_FALSE(t.stop(false)); // idle: nothing to do
    EXPECT_FALSE(t.hasError());

    // An idle object starts again.
    const uint32_t again = t.start(returnAtOnce, &calls);
    EXPECT_NE(again, 0u);
    EXPECT_FALSE(t.stop(true));
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(t.isRunning());
}

TEST_F(ThreadTest, StopWithoutWaitingLetsAThreadEndWithinTheGrantedTime) {
    rThread t;
    t.start(sleepFor, reinterpret_cast<void*>(uintptr_t(100)));
    EXPECT_TRUE(t.isRunning());
    EXPECT_FALSE(t.stop(false));
    EXPECT_FALSE(t.isRunning());
    EXPECT_EQ(endCalls.load(), 1);
    EXPECT_EQ(endArgument.load(), 0u); // from the thread, not the stopper
    EXPECT_EQ(endThread.load(), t.getId());
}

TEST_F(ThreadTest, StopWaitingWaitsAsLongAsTheThreadRuns) {
    rThread t;
    const uint32_t before = ticks();
    t.start(sleepFor, reinterpret_cast<void*>(uintptr_t(1500)));
    EXPECT_FALSE(t.stop(true));
    EXPECT_GE(ticks() - before, 1400u);
    EXPECT_FALSE(t.isRunning());
    EXPECT_EQ(t.exitCode(), 0u);
}

TEST_F(ThreadTest, ThreadThatKeepsRunningIsKilledAfterTheGrantedTime) {
    rThread t;
    const uint32_t id = t.start(sleepForever, nullptr);
    const uint32_t before = ticks();
    EXPECT_TRUE(t.stop(false));
    EXPECT_GE(ticks() - before, threadStopWait);
    EXPECT_FALSE(t.isRunning());
    EXPECT_EQ(t.exitCode(), 0x89ABCDEFu); // threadKilledExitCode
    // The hook ran once, on the stopping thread, with the killed thread's id; the killed thread
    // ran none of its own end.
    EXPECT_EQ(endCalls.load(), 1);
    EXPECT_EQ(endArgument.load(), id);
    EXPECT_EQ(endThread.load(), currentThreadId());
    EXPECT_FALSE(threadAlive(id));
    EXPECT_FALSE(t.stop(false));
}

TEST_F(ThreadTest, ThreadThatCannotBeCancelledIsLeftRunningAndReportedKilled) {
    release = false;
    rThread t;
    const uint32_t id = t.start(spinUntilReleased, nullptr);
    EXPECT_TRUE(t.stop(false));
    EXPECT_FALSE(t.isRunning());
    EXPECT_EQ(endArgument.load(), id);
    EXPECT_EQ(threadAlive(id), !rStopEndsAnyThread); // detached and left where it cannot be ended
    release = true;
    for (int i = 0; i < 2000 && threadAlive(id); ++i)
        sleepMs(5);
    EXPECT_FALSE(threadAlive(id));
}

TEST_F(ThreadTest, DestroyingARunningThreadKillsItAfterTheGrantedTime) {
    uint32_t id;
    const uint32_t before = ticks();
    {
        rThread t;
        id = t.start(sleepForever, nullptr);
    }
    EXPECT_GE(ticks() - before, threadStopWait);
    EXPECT_EQ(endArgument.load(), id);
    EXPECT_FALSE(threadAlive(id));
}
