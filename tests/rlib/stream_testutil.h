// tests/rlib/stream_testutil.h - the stream tests' fixture (tempdir_testutil.h) with failures
// injected into the library's system-call layer, and the watchdog against hangs.
#pragma once

#include "platform_testutil.h"
#include "tempdir_testutil.h"

// Injected failures: calls of one kind fail once `after` of them have run; every call is counted
// by kind.
struct Faults {
    static inline FaultOp failing = FaultOp::none;
    static inline int after = 0;
    static inline int calls[int(FaultOp::none) + 1] = {};

    static bool decide(FaultOp op) {
        ++calls[int(op)];
        if (op != failing)
            return false;
        return after-- <= 0;
    }
    // Start counting (and failing `op` after `skip` calls; none fails nothing).
    static void arm(FaultOp op = FaultOp::none, int skip = 0) {
        failing = op;
        after = skip;
        for (int& c : calls)
            c = 0;
        setFaultDecider(&decide);
    }
    static int count(FaultOp op) { return calls[int(op)]; }
};
