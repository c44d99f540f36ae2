// tests/rlib/stream_testutil.h - the stream tests' fixture (tempdir_testutil.h) with injected
// POSIX call failures and a watchdog against hangs.
#pragma once

#include "rposix.h"
#include "tempdir_testutil.h"

#include <unistd.h>

// Injected failures: calls of one kind fail with EIO once `after` of them have run; every call
// is counted by kind.
struct Faults {
    static inline rPosix::Op failing = rPosix::Op::count_;
    static inline int after = 0;
    static inline int calls[int(rPosix::Op::count_)] = {};

    static int hook(rPosix::Op op, const char*) {
        ++calls[int(op)];
        if (op != failing)
            return 0;
        return after-- > 0 ? 0 : 5; // EIO
    }
    // Start counting (and failing `op` after `skip` calls; count_ fails nothing).
    static void arm(rPosix::Op op = rPosix::Op::count_, int skip = 0) {
        failing = op;
        after = skip;
        for (int& c : calls)
            c = 0;
        rPosix::setFaultHook(&hook);
    }
    static int count(rPosix::Op op) { return calls[int(op)]; }
};

// Ends the test process with SIGALRM when a test outlives its time: a hang fails instead of
// blocking the run.
class Watchdog {
public:
    explicit Watchdog(unsigned seconds) { alarm(seconds); }
    ~Watchdog() { alarm(0); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
};
