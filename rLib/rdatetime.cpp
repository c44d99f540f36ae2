// rLib/rdatetime.cpp - rDateTime: composing the second count from calendar fields and back,
// parsing and formatting dates, and the conversions to and from C calendar time.
#include "rdatetime.h"

#include <cctype>
#include <climits>
#include <cstring>

#define R_MODULE "rLib/rdatetime"

namespace {
constexpr uint32_t secondsPerDay = 86400;
constexpr uint32_t secondsPerYear = 365 * secondsPerDay;
constexpr uint32_t lastYear = 135; // 2036
const uint32_t monthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Reads a decimal integer as the C library's %d does (leading blanks, an optional sign), with
// values beyond the int range held at its ends instead of overflowing.
bool scanInt(const char* text, int32_t& out) {
    const char* p = text;
    while (*p != 0 && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (*p < '0' || *p > '9')
        return false;
    int64_t v = 0;
    while (*p >= '0' && *p <= '9') {
        if (v <= int64_t(INT_MAX) + 1)
            v = v * 10 + (*p - '0');
        ++p;
    }
    if (negative)
        v = -v;
    out = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int32_t(v);
    return true;
}
} // namespace

rDateTime::rDateTime() {
    stale = 1;
}

rDateTime::rDateTime(uint32_t fullYear, uint32_t month, uint32_t day, uint32_t hour,
                     uint32_t minute, uint32_t second) {
    set(fullYear, month, day, hour, minute, second);
}

rDateTime::rDateTime(const rDateTime& other) : rObject() {
    *this = other;
}

rDateTime& rDateTime::operator=(const rDateTime& other) {
    seconds = other.seconds;
    year = other.year;
    month = other.month;
    day = other.day;
    hour = other.hour;
    minute = other.minute;
    second = other.second;
    stale = other.stale;
    return *this;
}

uint32_t rDateTime::monthLength(uint32_t year, uint32_t month) {
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && isLeapYear(year) ? 29 : monthDays[month - 1];
}

bool rDateTime::compose() {
    stale = 1;
    seconds = invalidSeconds;
    if (year > lastYear || month < 1 || month > 12 || day < 1 || day > monthLength(year, month) ||
        hour >= 24 || minute >= 60 || second >= 60)
        return false;
    uint32_t daysBefore = 0;
    for (uint32_t m = 1; m < month; ++m)
        daysBefore += monthLength(year, m);
    seconds = daysBefore * secondsPerDay + (year * 365 + day + year / 4 - 1) * secondsPerDay +
              hour * 3600 + minute * 60 + second;
    stale = 0;
    return true;
}

void rDateTime::recompute() const {
    stale = 0;
    uint32_t t = seconds;
    uint32_t y = t / secondsPerYear;
    // The leap days of the years before may push the instant back into the previous year.
    if (t - (y - 1) * secondsPerYear - (y / 4) * secondsPerDay < secondsPerYear)
        --y;
    year = y;
    t -= (y * 365 + y / 4) * secondsPerDay;
    uint32_t before = 0;
    month = 12;
    for (uint32_t m = 1; m <= 12; ++m) {
        const uint32_t length = monthLength(y, m) * secondsPerDay;
        if (before + length > t) {
            month = m;
            break;
        }
        before += length;
    }
    day = (t - before) / secondsPerDay + 1;
    hour = (seconds % secondsPerDay) / 3600;
    minute = (seconds % 3600) / 60;
    second = seconds % 60;
}

bool rDateTime::set(uint32_t fullYear, uint32_t newMonth, uint32_t newDay, uint32_t newHour,
                    uint32_t newMinute, uint32_t newSecond) {
    year = fullYear - 1901;
    month = newMonth;
    day = newDay;
    hour = newHour;
    minute = newMinute;
    second = newSecond;
    return compose();
}

bool rDateTime::setTimeOfDay(uint32_t newHour, uint32_t newMinute, uint32_t newSecond) {
    recompute();
    hour = newHour;
    minute = newMinute;
    second = newSecond;
    return compose();
}

bool rDateTime::setTimeT(time_t t) {
    struct tm local;
    if (localtime_r(&t, &local) == nullptr)
        return false;
    // Years outside what the count can hold leave the value as it was.
    if (local.tm_year + 1900 > 2036 || local.tm_year + 1900 < 1901)
        return false;
    year = uint32_t(local.tm_year - 1);
    month = uint32_t(local.tm_mon + 1);
    day = uint32_t(local.tm_mday);
    hour = uint32_t(local.tm_hour);
    minute = uint32_t(local.tm_min);
    second = uint32_t(local.tm_sec);
    return compose();
}

bool rDateTime::setNow() {
    return setTimeT(time(nullptr));
}

bool rDateTime::parseDate(const char* text) {
    stale = 1;
    if (text == nullptr || std::strlen(text) < 7)
        return false;
    int32_t m, d, y;
    if (!scanInt(text + 3, m) || !scanInt(text, d) || !scanInt(text + 6, y))
        return false;
    // In 64 bits: the smallest year must not overflow when 1 is taken off.
    int64_t full = y;
    if (full >= 100 && full < 1900)
        return false;
    if (full >= 1900)
        full -= 1900;
    full -= 1;
    year = full >= 0 ? uint32_t(full) : 0xFFFFFFFFu; // a negative year fails the validation
    month = uint32_t(m);
    day = uint32_t(d);
    hour = minute = second = 0;
    return compose();
}

bool rDateTime::parseTime(const char* text) {
    stale = 1;
    if (text == nullptr)
        return false;
    const size_t length = std::strlen(text);
    if (length < 5)
        return false;
    int32_t m, h, s = 0;
    if (!scanInt(text + 3, m) || !scanInt(text, h))
        return false;
    if (length < 8 || !scanInt(text + 6, s))
        s = 0;
    year = 0;
    month = 1;
    day = 1;
    hour = uint32_t(h);
    minute = uint32_t(m);
    second = uint32_t(s);
    return compose();
}

bool rDateTime::setNumber(int32_t n) {
    year = uint32_t(n / 10000 - 1901);
    month = uint32_t((n % 10000) / 100);
    day = uint32_t(n % 100);
    hour = minute = second = 0;
    return compose();
}

void rDateTime::setSeconds(uint32_t count) {
    seconds = count;
    stale = 1;
}

void rDateTime::reset() {
    setSeconds(0);
}

time_t rDateTime::timeT() const {
    if (!isValid())
        return -1;
    refresh();
    if (year + 1901 < 1970)
        return 0;
    struct tm local;
    std::memset(&local, 0, sizeof local);
    local.tm_year = int(year + 1);
    local.tm_mon = int(month - 1);
    local.tm_mday = int(day);
    local.tm_hour = int(hour);
    local.tm_min = int(minute);
    local.tm_sec = int(second);
    local.tm_isdst = -1;
    return mktime(&local);
}

int32_t rDateTime::number() const {
    if (!isValid())
        return 0;
    refresh();
    return int32_t((year + 1901) * 10000 + month * 100 + day);
}

rString rDateTime::dateText() const {
    rString out;
    if (!isValid())
        return out = "  .  .    ";
    refresh();
    rString::format(out, "%02u.%02u.%04u", day, month, year + 1901);
    return out;
}

rString rDateTime::timeText() const {
    rString out;
    if (!isValid())
        return out = "  :  :  ";
    refresh();
    rString::format(out, "%02u:%02u:%02u", hour, minute, second);
    return out;
}

rString rDateTime::formatAs(const char* format) const {
    rString out;
    if (format == nullptr || !isValid())
        return out;
    const time_t t = timeT();
    struct tm local;
    if (t == time_t(-1) || localtime_r(&t, &local) == nullptr)
        return out;
    char text[128];
    // A text that does not fit yields the empty string.
    if (std::strftime(text, sizeof text, format, &local) == 0)
        return out;
    return out = text;
}

uint32_t rDateTime::getYear() const {
    refresh();
    return year;
}
uint32_t rDateTime::getMonth() const {
    refresh();
    return month;
}
uint32_t rDateTime::getDay() const {
    refresh();
    return day;
}
uint32_t rDateTime::getHour() const {
    refresh();
    return hour;
}
uint32_t rDateTime::getMinute() const {
    refresh();
    return minute;
}
uint32_t rDateTime::getSecond() const {
    refresh();
    return second;
}
