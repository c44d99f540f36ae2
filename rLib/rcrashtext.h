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

} // namespace rCrashShared
