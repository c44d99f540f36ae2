// fuzz/fuzz_date.cpp - parseDate and parseTime on arbitrary text against a reading of their own
// rules, and the calendar of arbitrary second counts and yyyymmdd numbers, which must come back
// whole when composed again.
#include "fuzzinput.h"
#include "rdatetime.h"

#include <climits>
#include <cstring>
#include <string>

namespace {

// A decimal number as %d reads it (blanks, a sign, digits), held at the ends of the int range.
bool number(const char* text, int64_t& out) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        v = v > 100000000000LL ? v : v * 10 + (*p - '0');
    v = negative ? -v : v;
    out = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : v;
    return true;
}

bool leap(int64_t fullYear) {
    return fullYear % 4 == 0; // the years 1901 to 2036 have no century exception
}

int64_t days(int64_t fullYear, int64_t month) {
    static const int64_t length[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap(fullYear) ? 29 : length[month - 1];
}

// Seconds since 1901-01-01 of a valid calendar date.
int64_t secondsOf(int64_t fullYear, int64_t month, int64_t day, int64_t h, int64_t m, int64_t s) {
    int64_t d = 0;
    for (int64_t y = 1901; y < fullYear; ++y)
        d += leap(y) ? 366 : 365;
    for (int64_t k = 1; k < month; ++k)
        d += days(fullYear, k);
    return ((d + day - 1) * 24 + h) * 3600 + m * 60 + s;
}

void expectFields(const rDateTime& t, int64_t fullYear, int64_t month, int64_t day, int64_t h,
                  int64_t m, int64_t s) {
    FUZZ_EXPECT(t.isValid() && int64_t(t.getSeconds()) == secondsOf(fullYear, month, day, h, m, s));
    FUZZ_EXPECT(int64_t(t.getYear()) + 1901 == fullYear && t.getMonth() == month &&
                t.getDay() == day && t.getHour() == h && t.getMinute() == m && t.getSecond() == s);
}

void checkDate(const char* text) {
    rDateTime t;
    const bool ok = t.parseDate(text);
    int64_t d = 0, m = 0, y = 0;
    bool expected = std::strlen(text) >= 7 && number(text, d) && number(text + 3, m) &&
                    number(text + 6, y) && !(y >= 100 && y < 1900);
    if (expected && y < 100)
        y += 1900; // two digits name a year of the 1900s
    expected = expected && y >= 1901 && y <= 2036 && m >= 1 && m <= 12 && d >= 1 && d <= days(y, m);
    FUZZ_EXPECT(ok == expected);
    if (!ok)
        return;
    expectFields(t, y, m, d, 0, 0, 0);
    FUZZ_EXPECT(t.number() == int32_t(y * 10000 + m * 100 + d));
    rDateTime again;
    FUZZ_EXPECT(again.parseDate(t.dateText().text()) && again.getSeconds() == t.getSeconds());
    FUZZ_EXPECT(again.setNumber(t.number()) && again.getSeconds() == t.getSeconds());
}

void checkTime(const char* text) {
    rDateTime t;
    const bool ok = t.parseTime(text);
    const size_t length = std::strlen(text);
    int64_t h = 0, m = 0, s = 0;
    bool expected = length >= 5 && number(text, h) && number(text + 3, m);
    if (expected && (length < 8 || !number(text + 6, s)))
        s = 0;
    expected = expected && h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 60;
    FUZZ_EXPECT(ok == expected);
    if (!ok)
        return;
    expectFields(t, 1901, 1, 1, h, m, s);
    rDateTime again;
    FUZZ_EXPECT(again.parseTime(t.timeText().text()) && again.getSeconds() == t.getSeconds());
}

// Every count up to the end of 2036 is a date whose fields compose to the same count.
void checkSeconds(uint32_t count) {
    rDateTime t;
    t.setSeconds(count);
    const uint32_t last = uint32_t(secondsOf(2036, 12, 31, 23, 59, 59));
    if (count > last)
        return;
    const int64_t fullYear = int64_t(t.getYear()) + 1901;
    FUZZ_EXPECT(fullYear >= 1901 && fullYear <= 2036 && t.getMonth() >= 1 && t.getMonth() <= 12 &&
                t.getDay() >= 1 && t.getDay() <= days(fullYear, t.getMonth()));
    rDateTime again;
    FUZZ_EXPECT(again.set(uint32_t(fullYear), t.getMonth(), t.getDay(), t.getHour(), t.getMinute(),
                          t.getSecond()) &&
                again.getSeconds() == count);
}

void checkNumber(int32_t n) {
    rDateTime t;
    const bool ok = t.setNumber(n);
    const int64_t y = n / 10000, m = (n % 10000) / 100, d = n % 100;
    const bool expected =
        n > 0 && y >= 1901 && y <= 2036 && m >= 1 && m <= 12 && d >= 1 && d <= days(y, m);
    FUZZ_EXPECT(ok == expected);
    if (ok)
        FUZZ_EXPECT(t.number() == n);
}

} // namespace

// The input: a date text and a time text split by a zero byte; the first 8 bytes also serve as a
// second count and a yyyymmdd number.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string all(reinterpret_cast<const char*>(data), size < 256 ? size : 256);
    const size_t split = all.find('\0');
    const std::string date = all.substr(0, split);
    std::string time = split == std::string::npos ? date : all.substr(split + 1);
    time = time.substr(0, time.find('\0'));
    checkDate(date.c_str());
    checkTime(time.c_str());
    FuzzInput in(data, size);
    checkSeconds(in.u32());
    checkNumber(int32_t(in.u32()));
    return 0;
}
