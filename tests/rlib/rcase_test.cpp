// tests/rlib/rcase_test.cpp - the code-page 1251 case rule, comparisons and wildcard masks.
#include "assert_report.h"
#include "rstring.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

// Every byte against the rule written out: ASCII letters, 0xC0 to 0xFF and the pair 0xA8/0xB8
// have a case; no other byte changes.
TEST(rCase, foldingCoversAsciiAndCyrillicOnly) {
    for (unsigned b = 0; b < 256; ++b) {
        const bool small = (b >= 'a' && b <= 'z') || b >= 0xE0 || b == 0xB8;
        const bool capital = (b >= 'A' && b <= 'Z') || (b >= 0xC0 && b < 0xE0) || b == 0xA8;
        EXPECT_EQ(foldUpper(b), small ? (b == 0xB8 ? 0xA8 : b - 0x20) : b) << b;
        EXPECT_EQ(foldLower(b), capital ? (b == 0xA8 ? 0xB8 : b + 0x20) : b) << b;
    }
    rString s("abc-123 \xE0\xB8\xF1");
    EXPECT_STREQ(s.toUpper().text(), "ABC-123 \xC0\xA8\xD1");
    EXPECT_STREQ(s.toLower().text(), "abc-123 \xE0\xB8\xF1");
}

TEST(rCase, capitalizeGivesSentenceCase) {
    EXPECT_STREQ(rString("hello. world.  bye").capitalize().text(), "Hello. World.  Bye");
    EXPECT_STREQ(rString("SOME TEXT.\tMORE").capitalize().text(), "Some text.\tMore");
    EXPECT_STREQ(rString("A").capitalize().text(), "a");
    EXPECT_STREQ(rString("end.   ").capitalize().text(), "End.   ");
}

TEST(rCase, compareNoCaseOrdersByFoldedBytes) {
    EXPECT_EQ(rString("Mod").compareNoCase("mOD"), 0);
    EXPECT_EQ(rString("abc").compareNoCase("abd"), -1);
    EXPECT_EQ(rString("abc").compareNoCase("ab"), 1);
    EXPECT_EQ(rString("ab").compareNoCase("abc"), -1);
    EXPECT_EQ(rString("\xE0").compareNoCase("Z"), 1); // folded bytes compare unsigned
    EXPECT_EQ(rString("").compareNoCase(""), 0);
    EXPECT_EQ(rString("a").compareNoCase(nullptr), 1);

    // Against the rule written out, on random texts over letters of both cases and alphabets,
    // bytes without case, and an embedded NUL in the rString (which ends the text).
    auto upper = [](unsigned char b) -> int {
        return (b >= 'a' && b <= 'z') || b >= 0xE0 ? b - 0x20 : b == 0xB8 ? 0xA8 : b;
    };
    const std::string alphabet("aAzZ09\\.\xE0\xC0\xFF\xDF\xB8\xA8\x80\xBF", 16);
    std::minstd_rand random(7);
    for (int round = 0; round < 20000; ++round) {
        std::string a, b;
        for (size_t n = random() % 12; n > 0; --n)
            a += alphabet[random() % alphabet.size()];
        b = a.substr(0, random() % (a.size() + 1));
        for (auto& c : b)
            if (random() % 3 == 0)
                c = alphabet[random() % alphabet.size()];
        for (size_t n = random() % 3; n > 0; --n)
            b += alphabet[random() % alphabet.size()];
        rString own(a.c_str());
        if (round % 10 == 0 && !a.empty())
            own.getItems()[random() % a.size()] = 0; // a NUL inside: the text ends there
        const auto* x = reinterpret_cast<const unsigned char*>(own.text());
        const auto* y = reinterpret_cast<const unsigned char*>(b.c_str());
        int expected = 0;
        for (size_t i = 0;; ++i) {
            const int d = upper(x[i]) - upper(y[i]);
            if (d != 0 || y[i] == 0) {
                expected = d < 0 ? -1 : d > 0 ? 1 : 0;
                break;
            }
        }
        ASSERT_EQ(own.compareNoCase(b.c_str()), expected) << a << " / " << b;
    }

    EXPECT_EQ(commonPrefixLength("C:\\Games\\x", "c:\\gAMES\\y"), 9);
    EXPECT_EQ(commonPrefixLength("abc", "abc"), 3);
    EXPECT_EQ(commonPrefixLength("", "abc"), 0);
    EXPECT_EQ(commonPrefixLength("\xE0\xE1", "\xC0\xC2"), 1);
}

TEST(rCase, masksMatchStarsQuestionMarksAndDigits) {
    EXPECT_TRUE(matchMask("*.TXT", "a.txt", false));
    EXPECT_FALSE(matchMask("*.TXT", "a.txt", true));
    EXPECT_TRUE(matchMask("file#.dat", "file7.dat", false));
    EXPECT_FALSE(matchMask("file#.dat", "fileX.dat", false));
    EXPECT_TRUE(matchMask("?b*", "ab", false));
    EXPECT_TRUE(matchMask("?b*", "abc", false));
    EXPECT_FALSE(matchMask("?b*", "b", false));
    EXPECT_TRUE(matchMask("a*", "a", false));
    EXPECT_TRUE(matchMask("a**", "a", false));
    EXPECT_TRUE(matchMask("*", "", false));
    EXPECT_FALSE(matchMask("?", "", false));
    EXPECT_FALSE(matchMask("*?", "", false));
    EXPECT_TRUE(matchMask("", "", false));
    EXPECT_FALSE(matchMask("", "a", false));
    EXPECT_TRUE(matchMask("\xC0*", "\xE0\xE1", false));

    // After a star a '#' still stands for one digit.
    EXPECT_TRUE(matchMask("*#.dat", "file7.dat", false));
    EXPECT_FALSE(matchMask("*#.dat", "file#.dat", false));
    EXPECT_TRUE(matchMask("*##", "v12", false));

    // A star has to give back what it took when a later part needs it.
    EXPECT_TRUE(matchMask("*a*b", "aaxab", false));
    EXPECT_TRUE(matchMask("*.sav", "x.sav.sav", false));
    EXPECT_FALSE(matchMask("*.sav", "x.sav.bak", false));
    EXPECT_TRUE(matchMask("a*b?c", "axxbbyc", false));

    // Many stars against a long run that fails at its end: answered without backtracking blow-up.
    const std::string run(20000, 'a');
    EXPECT_FALSE(matchMask("*a*a*a*a*a*a*a*a*a*a*a*a*b", run.c_str(), false));
    EXPECT_TRUE(matchMask("*a*a*a*a*a*a*a*a*a*a*a*a*", run.c_str(), false));
}

TEST(rCase, maskListsMatchAnyMaskAndInvertOnRequest) {
    EXPECT_EQ(rString("x.bak").matches("*.sav;*.bak"), 1);
    EXPECT_EQ(rString("x.txt").matches("*.sav;*.bak"), 0);
    EXPECT_EQ(rString("x.bak").matches("*.sav;*.bak", false, true), 0);
    EXPECT_EQ(rString("x.txt").matches("*.sav;*.bak", false, true), 1);
    EXPECT_EQ(rString("X.BAK").matches("*.sav;*.bak", true), 0);

    // Empty masks: an empty list, two adjacent ';' or a trailing ';' match only the empty text.
    EXPECT_EQ(rString("").matches(""), 1);
    EXPECT_EQ(rString("a").matches(""), 0);
    EXPECT_EQ(rString("").matches("*.x;;*.y"), 1);
    EXPECT_EQ(rString("").matches("*.x;"), 1);
    EXPECT_EQ(rString("a").matches("*.x;"), 0);
    EXPECT_EQ(rString("").matches(nullptr), 1);

    rString broken;
    broken.setLimit(0);
    resetAssertionReports();
    broken.matches("*");
    expectReportAt("(count>0) && (items!=NULL)", "rLib/rstring", "rLib/rcase.cpp");
}
