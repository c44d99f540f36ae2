// tests/rlib/rstoredforms_test.cpp - the stream forms of an error state, an owning object array,
// a string and a date-time value: their bytes, round trips and damaged data.
#include "assert_report.h"
#include "rarray.h"
#include "rdatetime.h"
#include "rstream.h"
#include "tempdir_testutil.h"

TEST_F(StreamTest, ObjectArrayStoresErrorStatesAndLoadsThemBackAppended) {
    rObjArray stored;
    stored.add(new rObject(erFileEof, "End", 5));
    stored.add(new rObject(erArrayIndex, nullptr, 7));
    rFile f;
    ASSERT_TRUE(f.open(path("arr").c_str(), rFile::modeRewrite));
    ASSERT_TRUE(stored.store(&f));
    ASSERT_TRUE(f.close());
    const std::string bytes = readAll(path("arr"));
    EXPECT_EQ(bytes, std::string("\x02\0\0\0\x15\x27\x0A\x01\x05\0\0\0\x03\0\0\0End"
                                 "\x25\x27\x0A\x02\x07\0\0\0\0\0\0\0",
                                 31));

    ASSERT_TRUE(f.open(path("arr").c_str(), rFile::modeRead));
    rObjArray loaded;
    loaded.add(new rObject());
    ASSERT_TRUE(loaded.load(&f));
    ASSERT_EQ(loaded.getCount(), 3u);
    EXPECT_EQ(loaded.getAt(1)->errorCode(), erFileEof);
    EXPECT_STREQ(loaded.getAt(1)->errorSubject(), "End");
    EXPECT_EQ(loaded.getAt(1)->errorValue(), 5u);
    EXPECT_EQ(loaded.getAt(2)->errorSubject(), nullptr); // an empty subject is none

    // A count that promises more than the data holds: the incomplete element is not added.
    writeAll(path("bad"), "\x09" + bytes.substr(1, bytes.size() - 3));
    ASSERT_TRUE(f.open(path("bad").c_str(), rFile::modeRead));
    rObjArray partial;
    EXPECT_FALSE(partial.load(&f));
    EXPECT_EQ(partial.getCount(), 1u);
    EXPECT_EQ(f.errorCode(), erFileEof);
}

TEST_F(StreamTest, StringsAndDatesRoundTripAndDamagedLengthsFailSmall) {
    rFile f;
    ASSERT_TRUE(f.open(path("s").c_str(), rFile::modeRewrite));
    rString text("mods\\Foo");
    rDateTime when(2003, 11, 9, 14, 16, 0);
    ASSERT_TRUE(text.store(&f) && when.store(&f) && f.writeInt(86400));
    ASSERT_TRUE(f.writeInt(0xFFFFFFF0u) && f.write("abc", 3)); // a damaged string length
    ASSERT_TRUE(f.close());
    const uint32_t s = when.getSeconds();
    EXPECT_EQ(readAll(path("s")).substr(0, 16),
              std::string("\x08\0\0\0mods\\Foo", 12) +
                  std::string({char(s), char(s >> 8), char(s >> 16), char(s >> 24)}));

    ASSERT_TRUE(f.open(path("s").c_str(), rFile::modeRead));
    rString back;
    rDateTime loaded, day2;
    ASSERT_TRUE(back.load(&f) && loaded.load(&f) && day2.load(&f));
    EXPECT_STREQ(back.text(), "mods\\Foo");
    EXPECT_EQ(loaded.number(), 20031109);
    EXPECT_STREQ(loaded.timeText().text(), "14:16:00");
    EXPECT_STREQ(day2.dateText().text(), "02.01.1901");
    EXPECT_FALSE(back.load(&f));
    EXPECT_EQ(f.errorCode(), erFileEof);
    EXPECT_LT(back.getLimit(), 0x40000u);
    EXPECT_FALSE(loaded.load(&f)); // the failed read keeps the value
    EXPECT_EQ(loaded.number(), 20031109);
}

TEST_F(StreamTest, AFailedStringReadLeavesAnEmptyConsistentString) {
    // Lengths larger than the data, within one chunk of reading and beyond it.
    for (const uint32_t promised : {100u, 200000u}) {
        const std::string data = std::string({char(promised), char(promised >> 8),
                                              char(promised >> 16), char(promised >> 24)}) +
                                 std::string(promised / 2, 'q');
        writeAll(path("short"), data);
        rFile f;
        ASSERT_TRUE(f.open(path("short").c_str(), rFile::modeRead));
        rString s("previous text");
        EXPECT_FALSE(s.load(&f)) << promised;
        EXPECT_EQ(f.errorCode(), erFileEof);
        EXPECT_EQ(s.getCount(), 1u) << promised;
        ASSERT_NE(s.getItems(), nullptr);
        EXPECT_EQ(s.getItems()[0], 0) << promised;
        s += "usable";
        EXPECT_STREQ(s.text(), "usable");
    }
}

TEST_F(StreamTest, StoredFormsRefuseAMissingStream) {
    rObject error(erFileEof, "End", 5);
    EXPECT_FALSE(error.store(nullptr));
    EXPECT_FALSE(error.load(nullptr));
    EXPECT_EQ(error.errorCode(), erFileEof);
    EXPECT_STREQ(error.errorSubject(), "End");

    rString text("kept");
    EXPECT_FALSE(text.store(nullptr));
    EXPECT_FALSE(text.load(nullptr));
    EXPECT_STREQ(text.text(), "kept");

    rDateTime when(2003, 11, 9, 14, 16, 0);
    EXPECT_FALSE(when.store(nullptr));
    EXPECT_FALSE(when.load(nullptr));

    rObjArray list;
    list.add(new rObject());
    resetAssertionReports();
    EXPECT_FALSE(list.store(nullptr));
    expectReportAt("cli!=NULL", "rLib/rarray", "rLib/rstoredforms.cpp");
    EXPECT_FALSE(list.load(nullptr));
    expectReportAt("cli!=NULL", "rLib/rarray", "rLib/rstoredforms.cpp");
    EXPECT_EQ(assertionCount(), 2u);
    EXPECT_EQ(list.getCount(), 1u);
}
