// rLib/rdatetime.h - rDateTime: local date and time as seconds since 1901-01-01 00:00:00, with
// the calendar fields recomputed lazily from the count.
#pragma once

#include "robject.h"
#include "rstring.h"

#include <ctime>

class rDateTime : public rObject {
public:
    // The count that marks an invalid value.
    static constexpr uint32_t invalidSeconds = 0xFFFFFFFFu;

    rDateTime(); // 1901-01-01 00:00:00
    // A full calendar year (1901 to 2036), month, day, hour, minute and second, as set() takes.
    rDateTime(uint32_t fullYear, uint32_t month, uint32_t day, uint32_t hour, uint32_t minute,
              uint32_t second);
    rDateTime(const rDateTime& other);
    rDateTime& operator=(const rDateTime& other);
    ~rDateTime() override = default;

    // Stored form: the seconds as 4 bytes, little-endian.
    bool load(rStream* cli) override;
    bool store(rStream* cli) override;

    // Setters return true when the result is a valid date; a failed compose leaves it invalid.
    bool set(uint32_t fullYear, uint32_t month, uint32_t day, uint32_t hour, uint32_t minute,
             uint32_t second);
    bool setTimeOfDay(uint32_t hour, uint32_t minute, uint32_t second);
    bool setEndOfDay() { return setTimeOfDay(23, 59, 59); }
    // Local time of a C calendar time; a time outside 1901..2036 leaves the value unchanged.
    bool setTimeT(time_t t);
    bool setNow();
    bool parseDate(const char* text); // dd.mm.yy or dd.mm.yyyy
    bool parseTime(const char* text); // hh:mm or hh:mm:ss
    bool setNumber(int32_t yyyymmdd);
    void setSeconds(uint32_t count); // fields follow on the next read
    void reset();                    // 1901-01-01 00:00:00

    // C calendar time of the value: 0 for dates before 1970, -1 for an invalid value or when
    // the local-time conversion fails.
    time_t timeT() const;
    int32_t number() const; // yyyymmdd; 0 for an invalid value
    rString dateText() const;
    rString timeText() const;
    rString formatAs(const char* format) const; // strftime, at most 127 characters

    bool isValid() const { return seconds != invalidSeconds; }
    uint32_t getSeconds() const { return seconds; }
    uint32_t getYear() const; // years since 1901
    uint32_t getMonth() const;
    uint32_t getDay() const;
    uint32_t getHour() const;
    uint32_t getMinute() const;
    uint32_t getSecond() const;

    static bool isLeapYear(uint32_t year) { return (year + 1) % 4 == 0; }
    static uint32_t monthLength(uint32_t year, uint32_t month);

private:
    bool compose();
    void recompute() const;
    void refresh() const {
        if (stale)
            recompute();
    }

    uint32_t seconds = 0;
    mutable uint32_t year = 0;
    mutable uint32_t month = 1;
    mutable uint32_t day = 1;
    mutable uint32_t hour = 0;
    mutable uint32_t minute = 0;
    mutable uint32_t second = 0;
    mutable uint32_t stale = 0;
};
