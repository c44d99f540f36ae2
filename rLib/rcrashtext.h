// rLib/rcrashtext.h - text of crash reports and thread snapshots, built in fixed storage without
// allocating, so that a fault handler can write it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace rCrashShared {

// Text appended into a fixed buffer; what does not fit is dropped. Allocates nothing.
struct Text {
    char* data;
    size_t size;
    size_t length = 0;
    bool cut = false;

    Text(char* buffer, size_t n) : data(buffer), size(n) {
        if (n > 0)
            buffer[0] = 0;
    }
    bool truncated() const { return cut; }
    void add(const char* text);
    void add(const char* text, size_t n);
    void addChar(char c) { add(&c, 1); }
    // Upper-case hexadecimal with at least digits digits.
    void addHex(uint64_t value, int digits);
    // Decimal with at least digits digits (zero-padded).
    void addDecimal(int64_t value, int digits = 1);
    // The asctime form of a local time: 24 characters and a line feed.
    void addAsctime(const struct tm& t);
    // Hours (unpadded), minutes and seconds: 3725 gives 1:02:05.
    void addDuration(uint64_t seconds);
};

// The thread snapshot's header: the local time now, the reason ("not passed" for none) and the
// number of threads.
void addSnapshotHeader(Text& out, const struct tm& now, const char* reason, uint32_t threads);
// The heading lines of one thread's block in a snapshot: its id, the caller's marker, its
// creation time (local calendar fields) and the seconds it ran in kernel and user mode.
void addThreadHeading(Text& out, uint32_t id, bool self, const struct tm& created,
                      uint64_t kernelSeconds, uint64_t userSeconds);

} // namespace rCrashShared
