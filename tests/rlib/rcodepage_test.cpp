// tests/rlib/rcodepage_test.cpp - the 1251, 866 and Unicode tables and the UTF-8 helpers.
#include "rcodepage.h"
#include "rstring.h"
#include "rsystem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(rCodePage, cp1251MapsToUnicodeAndBack) {
    EXPECT_EQ(cp1251ToUnicode(0xC0), 0x0410);
    EXPECT_EQ(cp1251ToUnicode(0xFF), 0x044F);
    EXPECT_EQ(cp1251ToUnicode(0xA8), 0x0401);
    EXPECT_EQ(cp1251ToUnicode(0xB8), 0x0451);
    EXPECT_EQ(cp1251ToUnicode(0x88), 0x20AC);
    EXPECT_EQ(cp1251ToUnicode(0xB9), 0x2116);
    unsigned char out = 0;
    EXPECT_FALSE(unicodeToCp1251(0x65E5, out));
    EXPECT_FALSE(unicodeToCp1251(0x1F600, out));
    EXPECT_FALSE(unicodeToCp1251(0x00E9, out)); // é is not in the page
}

TEST(rCodePage, ansiAndOemConvertLettersBothWays) {
    for (unsigned i = 0; i < 32; ++i) {
        EXPECT_EQ(cp1251ToCp866(0xC0 + i), 0x80 + i);                     // А..Я
        EXPECT_EQ(cp1251ToCp866(0xE0 + i), i < 16 ? 0xA0 + i : 0xD0 + i); // а..я
        EXPECT_EQ(cp866ToCp1251(cp1251ToCp866(0xC0 + i)), 0xC0 + i);
        EXPECT_EQ(cp866ToCp1251(cp1251ToCp866(0xE0 + i)), 0xE0 + i);
    }
    EXPECT_EQ(cp1251ToCp866(0xB9), 0xFC); // №
    for (unsigned b = 0; b < 0x80; ++b) {
        EXPECT_EQ(cp1251ToCp866(b), b);
        EXPECT_EQ(cp866ToCp1251(b), b);
    }
    // Characters the other page lacks become look-alikes or '?'.
    EXPECT_EQ(cp1251ToCp866(0x96), '-');
    EXPECT_EQ(cp1251ToCp866(0xAB), '<');
    EXPECT_EQ(cp1251ToCp866(0xA5), 0x83); // Ґ as Г
    EXPECT_EQ(cp1251ToCp866(0x88), '?');
    EXPECT_EQ(cp866ToCp1251(0xB3), '|');
    EXPECT_EQ(cp866ToCp1251(0xC4), '-');
    EXPECT_EQ(cp866ToCp1251(0xC5), '+');
    EXPECT_EQ(cp866ToCp1251(0xDB), '?');

    // The string members convert in place: "Привет, Ёё" in code page 1251.
    const char ansi[] = "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xB8";
    rString s(ansi);
    s.toOem();
    EXPECT_STREQ(s.text(), "\x8F\xE0\xA8\xA2\xA5\xE2, \xF0\xF1");
    s.toAnsi();
    EXPECT_STREQ(s.text(), ansi);
}

TEST(rCodePage, utf8IsValidatedStrictly) {
    EXPECT_TRUE(isValidUtf8("plain", 5));
    EXPECT_TRUE(isValidUtf8("\xD0\x9F\xE2\x84\x96\xF0\x9F\x98\x80", 9));
    EXPECT_FALSE(isValidUtf8("\xC0\x80", 2));         // overlong
    EXPECT_FALSE(isValidUtf8("\xE0\x80\x80", 3));     // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80", 3));     // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80", 4)); // beyond U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xD0", 1));             // cut short
    EXPECT_FALSE(isValidUtf8("\xD0\x41", 2));
    EXPECT_FALSE(isValidUtf8("\xFF", 1));
}

TEST(rCodePage, utf8ConvertsToCp1251AndBack) {
    rString out;
    const char utf8[] = "\xD0\x9C\xD0\xBE\xD0\xB4 \xE2\x84\x96\xD1\x91"; // "Мод №ё"
    EXPECT_EQ(utf8ToCp1251(utf8, std::strlen(utf8), out), rUtf8Result::converted);
    EXPECT_STREQ(out.text(), "\xCC\xEE\xE4 \xB9\xB8");
    rString back;
    cp1251ToUtf8(out.text(), out.length(), back);
    EXPECT_STREQ(back.text(), utf8);

    const char latin1[] = "caf\xE9";
    EXPECT_EQ(utf8ToCp1251(latin1, 4, out), rUtf8Result::notUtf8);
    EXPECT_STREQ(out.text(), latin1);
    EXPECT_EQ(utf8ToCp1251("\xE6\x97\xA5", 3, out), rUtf8Result::unmappable);
}

// The one byte the code page leaves unassigned, 0x98, is U+0098 in every table and conversion,
// so that every byte survives a round trip through each of them.
TEST(rCodePage, everyByteIsTheSameCharacterInEveryConversion) {
    EXPECT_EQ(cp1251ToUnicode(0x98), 0x0098);
    rString utf8;
    cp1251ToUtf8("a\x98", 2, utf8);
    EXPECT_STREQ(utf8.text(), "a\xC2\x98");
    for (unsigned b = 1; b < 256; ++b) {
        const char byte[2] = {char(b), 0};
        const uint16_t u = cp1251ToUnicode(static_cast<unsigned char>(b));
        unsigned char same = 0;
        EXPECT_TRUE(unicodeToCp1251(u, same)) << b; // and back: no byte maps to U+0000
        EXPECT_EQ(same, b);
        uint16_t* wide = toWide(byte);
        ASSERT_NE(wide, nullptr);
        EXPECT_EQ(wide[0], u) << b;
        char* narrow = toNarrow(wide);
        ASSERT_NE(narrow, nullptr);
        EXPECT_EQ(static_cast<unsigned char>(narrow[0]), b) << b;
        memFree(narrow);
        memFree(wide);
        rString back;
        cp1251ToUtf8(byte, 1, utf8);
        ASSERT_EQ(utf8ToCp1251(utf8.text(), utf8.length(), back), rUtf8Result::converted) << b;
        EXPECT_EQ(back.length(), 1u) << b;
        EXPECT_EQ(static_cast<unsigned char>(back.text()[0]), b) << b;
    }
}
