// tests/rlib/rdatetime_test.cpp - rDateTime: composing and recomputing the second count, the
// leap-year rule, parsing, texts, numbers and the conversions to and from C calendar time.
#include "rdatetime.h"
#include "tempdir_testutil.h"

#include <cstdlib>

using DateTimeTest = StreamTest;

TEST_F(DateTimeTest, ComposeKeepsTheRangeAndTheLeapRule) {
    rDateTime t;
    EXPECT_TRUE(t.set(1901, 1, 1, 0, 0, 0));
    EXPECT_EQ(t.getSeconds(), 0u);
    EXPECT_TRUE(t.set(1904, 2, 29, 0, 0, 0));
    EXPECT_TRUE(t.set(2000, 2, 29, 12, 0, 0));
    EXPECT_TRUE(t.set(2036, 12, 31, 23, 59, 59));
    EXPECT_EQ(t.getSeconds(), 4291833599u);
    const uint32_t bad[][6] = {{1905, 2, 29, 0, 0, 0},
                               {2037, 1, 1, 0, 0, 0},
                               {1900, 12, 31, 0, 0, 0},
                               {1950, 4, 31, 0, 0, 0},
                               {1950, 1, 1, 0, 0, 60}};
    for (const auto& b : bad) {
        EXPECT_FALSE(t.set(b[0], b[1], b[2], b[3], b[4], b[5])) << b[0] << b[1];
        EXPECT_EQ(t.getSeconds(), rDateTime::invalidSeconds);
        EXPECT_STREQ(t.dateText().text(), "  .  .    ");
        EXPECT_STREQ(t.timeText().text(), "  :  :  ");
        EXPECT_EQ(t.number(), 0);
    }
    // Month lengths as the calendar has them (years counted from 1901, so 103 is 2004); a month
    // outside 1 to 12 has none.
    const uint32_t lengths[][3] = {{100, 1, 31},  {100, 2, 28}, {103, 2, 29}, {100, 4, 30},
                                   {100, 12, 31}, {100, 0, 0},  {100, 13, 0}};
    for (const auto& l : lengths)
        EXPECT_EQ(rDateTime::monthLength(l[0], l[1]), l[2]) << l[0] << "-" << l[1];
}

// A new value is the first second of 1901; copies and assignments carry the count and the
// calendar fields, whether those were already worked out or not.
TEST_F(DateTimeTest, ANewValueIsTheFirstSecondAndCopiesCarryCountAndFields) {
    const rDateTime fresh;
    EXPECT_EQ(fresh.getSeconds(), 0u);
    EXPECT_EQ(fresh.number(), 19010101);
    EXPECT_STREQ(fresh.timeText().text(), "00:00:00");
    rDateTime pending;
    pending.setSeconds(4291833599u); // fields not yet worked out
    const rDateTime known(2004, 2, 29, 13, 14, 15);
    EXPECT_EQ(known.getDay(), 29u); // fields worked out
    const struct {
        const rDateTime* source;
        int32_t number;
        const char* time;
    } cases[] = {{&pending, 20361231, "23:59:59"}, {&known, 20040229, "13:14:15"}};
    for (const auto& c : cases) {
        const rDateTime copy(*c.source);
        rDateTime assigned(1950, 6, 7, 8, 9, 10);
        EXPECT_EQ(assigned.getYear(), 49u);
        assigned = *c.source;
        for (const rDateTime* d : std::initializer_list<const rDateTime*>{&copy, &assigned}) {
            EXPECT_EQ(d->getSeconds(), c.source->getSeconds()) << c.time;
            EXPECT_EQ(d->number(), c.number);
            EXPECT_STREQ(d->timeText().text(), c.time);
        }
    }
}

TEST_F(DateTimeTest, RecomputeInvertsComposeAcrossTheWholeRange) {
    rDateTime t, u, first;
    const auto inverts = [&](uint32_t s) {
        t.setSeconds(s);
        return u.set(t.getYear() + 1901, t.getMonth(), t.getDay(), t.getHour(), t.getMinute(),
                     t.getSecond()) &&
               u.getSeconds() == s;
    };
    // A step that is no multiple of a day or a year visits every kind of time of day.
    for (uint64_t s = 0; s <= 4291833599u; s += 86400u * 37 + 3671)
        ASSERT_TRUE(inverts(uint32_t(s))) << s;
    // Both sides of the turn of every month, leap days included.
    for (uint32_t y = 1901; y <= 2036; ++y)
        for (uint32_t m = 1; m <= 12; ++m) {
            ASSERT_TRUE(first.set(y, m, 1, 0, 0, 0));
            ASSERT_TRUE(inverts(first.getSeconds())) << y << "-" << m;
            ASSERT_EQ(t.number(), int32_t(y * 10000 + m * 100 + 1));
            ASSERT_TRUE(first.getSeconds() == 0 || inverts(first.getSeconds() - 1)) << y << m;
        }
    EXPECT_TRUE(inverts(4291833599u));
    EXPECT_EQ(t.number(), 20361231);
    t.reset();
    EXPECT_STREQ(t.dateText().text(), "01.01.1901");
    EXPECT_STREQ(t.timeText().text(), "00:00:00");
}

TEST_F(DateTimeTest, ParsesDatesAndTimesAndConvertsNumbers) {
    rDateTime t;
    EXPECT_TRUE(t.parseDate("09.11.03"));
    EXPECT_STREQ(t.dateText().text(), "09.11.1903");
    EXPECT_TRUE(t.parseDate("09.11.2003"));
    EXPECT_EQ(t.number(), 20031109);
    EXPECT_STREQ(t.timeText().text(), "00:00:00");

    EXPECT_TRUE(t.parseTime("14:16"));
    EXPECT_STREQ(t.timeText().text(), "14:16:00");
    EXPECT_STREQ(t.dateText().text(), "01.01.1901");
    EXPECT_TRUE(t.parseTime("14:16:59"));
    EXPECT_EQ(t.getSecond(), 59u);
    EXPECT_FALSE(t.parseTime("24:00"));

    // Missing texts fail and keep the value; years out of range, extreme ones included, fail
    // without overflowing.
    ASSERT_TRUE(t.set(2003, 11, 9, 14, 16, 5));
    EXPECT_FALSE(t.parseDate(nullptr));
    EXPECT_FALSE(t.parseTime(nullptr));
    EXPECT_STREQ(t.dateText().text(), "09.11.2003");
    EXPECT_STREQ(t.timeText().text(), "14:16:05");
    for (const char* bad : {"09.11.1850", "09.11.00", "xx.11.2003", "09.11.99999999999999",
                            "09.11.-2147483648", "09.11.-2147483649", "09.11.-1",
                            "09.11.2147483647", "-2147483648.11.03", "09.-2147483648.03"})
        EXPECT_FALSE(t.parseDate(bad)) << bad;
    EXPECT_FALSE(t.parseTime("-2147483648:00:-2147483648"));

    EXPECT_TRUE(t.setNumber(20040229));
    EXPECT_STREQ(t.dateText().text(), "29.02.2004");
    EXPECT_FALSE(t.setNumber(20050229));
    EXPECT_TRUE(t.set(2003, 11, 9, 8, 30, 0));
    EXPECT_TRUE(t.setEndOfDay());
    EXPECT_STREQ(t.timeText().text(), "23:59:59");
    EXPECT_STREQ(t.dateText().text(), "09.11.2003");
}

TEST_F(DateTimeTest, CalendarTimeGoesThroughLocalTime) {
    rDateTime t;
    EXPECT_TRUE(t.setTimeT(946684800));
    EXPECT_EQ(t.number(), 20000101);
    EXPECT_EQ(t.timeT(), 946684800);
    EXPECT_STREQ(t.formatAs("%Y-%m-%d %H:%M:%S").text(), "2000-01-01 00:00:00");
    EXPECT_STREQ(t.formatAs(std::string(200, 'x').c_str()).text(), ""); // does not fit

    setTimeZone("EST5");
    EXPECT_TRUE(t.setTimeT(946684800));
    EXPECT_STREQ(t.dateText().text(), "31.12.1999");
    EXPECT_STREQ(t.timeText().text(), "19:00:00");
    EXPECT_EQ(t.timeT(), 946684800);
    EXPECT_TRUE(t.setTimeT(0)); // 1969-12-31 19:00 local
    EXPECT_EQ(t.getYear() + 1901, 1969u);
    EXPECT_EQ(t.timeT(), 0);

    // Beyond 2036 or before 1901: refused, the value stays as it was. A 32-bit time_t (the
    // 32-bit Windows runtime's) holds only the first of these.
    const uint32_t before = t.getSeconds();
    EXPECT_FALSE(t.setTimeT(time_t(2127600000))); // June 2037
    if (sizeof(time_t) >= 8) {
        EXPECT_FALSE(t.setTimeT(time_t(4102444800LL)));  // 2100
        EXPECT_FALSE(t.setTimeT(time_t(-2300000000LL))); // 1897
    }
    EXPECT_EQ(t.getSeconds(), before);
    EXPECT_FALSE(t.set(1905, 2, 29, 0, 0, 0));
    EXPECT_EQ(t.timeT(), time_t(-1));

    rDateTime now;
    EXPECT_TRUE(now.setNow());
    EXPECT_LE(std::llabs(now.timeT() - time(nullptr)), 2);
}
