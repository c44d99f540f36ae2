// rLib/rcrashtext.cpp - the report text: appending, numbers, the asctime form and durations,
// all without allocating.
#include "rcrashtext.h"

#include <cstring>

namespace rCrashShared {

void Text::add(const char* text, size_t n) {
    if (size == 0)
        return;
    if (length + n >= size) {
        n = size - 1 - length;
        cut = true;
    }
    std::memcpy(data + length, text, n);
    length += n;
    data[length] = 0;
}

void Text::add(const char* text) {
    add(text, std::strlen(text));
}

void Text::addHex(uint64_t value, int digits) {
    char out[16];
    int n = 0;
    do {
        out[15 - n++] = "0123456789ABCDEF"[value & 15];
        value >>= 4;
    } while (value != 0 || n < digits);
    add(out + 16 - n, size_t(n));
}

void Text::addDecimal(int64_t value, int digits) {
    char out[24];
    int n = 0;
    const bool negative = value < 0;
    uint64_t v = negative ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    do {
        out[23 - n++] = char('0' + v % 10);
        v /= 10;
    } while (v != 0 || n < digits);
    if (negative)
        out[23 - n++] = '-';
    add(out + 24 - n, size_t(n));
}

void Text::addAsctime(const struct tm& t) {
    static const char days[] = "SunMonTueWedThuFriSat";
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    add(days + 3 * (unsigned(t.tm_wday) % 7), 3);
    addChar(' ');
    add(months + 3 * (unsigned(t.tm_mon) % 12), 3);
    addChar(' ');
    addDecimal(t.tm_mday, 2);
    addChar(' ');
    addDecimal(t.tm_hour, 2);
    addChar(':');
    addDecimal(t.tm_min, 2);
    addChar(':');
    addDecimal(t.tm_sec, 2);
    addChar(' ');
    addDecimal(int64_t(t.tm_year) + 1900, 4);
    addChar('\n');
}

void Text::addDuration(uint64_t seconds) {
    addDecimal(int64_t(seconds / 3600));
    addChar(':');
    addDecimal(int64_t(seconds % 3600 / 60), 2);
    addChar(':');
    addDecimal(int64_t(seconds % 60), 2);
}

void addSnapshotHeader(Text& out, const struct tm& now, const char* reason, uint32_t threads) {
    out.add(">##################################################################\r\n"
            ">Threads stats ");
    out.addAsctime(now);
    out.add(">Reason: ");
    out.add(reason != nullptr ? reason : "not passed");
    out.add("\r\n>Threads count : ");
    out.addDecimal(threads);
    out.add("\r\n");
}

void addThreadHeading(Text& out, uint32_t id, bool self, const struct tm& created,
                      uint64_t kernelSeconds, uint64_t userSeconds) {
    out.add(">==================================================================\r\n");
    out.add(">Thread handle : 0x");
    out.addHex(id, 8);
    out.addChar(' ');
    out.add(self ? "(*)" : "");
    out.add("\r\n>Creation time : ");
    out.addDecimal(created.tm_mday, 2);
    out.addChar('.');
    out.addDecimal(created.tm_mon + 1, 2);
    out.addChar('.');
    out.addDecimal(int64_t(created.tm_year) + 1900, 4);
    out.addChar(' ');
    out.addDecimal(created.tm_hour, 2);
    out.addChar(':');
    out.addDecimal(created.tm_min, 2);
    out.addChar(':');
    out.addDecimal(created.tm_sec, 2);
    out.add("\r\n>Kernel   time : ");
    out.addDuration(kernelSeconds);
    out.add("\r\n>User     time : ");
    out.addDuration(userSeconds);
    out.add("\r\n>--------------------------- Call stack ---------------------------\r\n");
}

} // namespace rCrashShared
