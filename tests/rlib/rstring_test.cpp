// tests/rlib/rstring_test.cpp - rString: construction, editing, substrings, formatting, tokens.
#include "assert_report.h"
#include "rresource.h"
#include "rstring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
std::string str(const rString& s) {
    return s.text();
}
} // namespace

TEST(rString, constructorsSizeTheBlockAndCopyTheSeparator) {
    rString empty;
    EXPECT_EQ(empty.length(), 0u);
    EXPECT_EQ(empty.getCount(), 1u);
    EXPECT_EQ(empty.getLimit(), 128u);
    EXPECT_EQ(empty.getDelta(), 1024u);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(empty.getSeparator(), '/');

    const std::string long200(200, 'x');
    rString longText(long200.c_str());
    EXPECT_EQ(longText.getLimit(), 201u);
    EXPECT_EQ(str(longText), long200);

    EXPECT_TRUE(rString(static_cast<const char*>(nullptr)).isEmpty());
    EXPECT_EQ(str(rString("abcdef", 3u)), "abc");
    EXPECT_EQ(rString("ab", 50u).getCount(), 3u); // stops at the terminator
    EXPECT_EQ(rString(rReserve{0}).getLimit(), 1u);
    EXPECT_EQ(str(rString('q')), "q");

    rString windows("C:\\x");
    windows.setUnixStyle(false);
    rString copy(windows);
    EXPECT_EQ(copy.getSeparator(), '\\');
    EXPECT_EQ(copy.getLimit(), windows.getLimit());
}

TEST(rString, assignmentAndConcatenationKeepOneTerminator) {
    rString s("ab");
    s += "cd";
    EXPECT_EQ(str(s), "abcd");
    EXPECT_EQ(s.getCount(), 5u);
    s += '\0';
    s += static_cast<const char*>(nullptr);
    EXPECT_EQ(s.getCount(), 5u);
    s += s;
    EXPECT_EQ(str(s), "abcdabcd");
    s = s.text() + 2; // a text inside the string's own block
    EXPECT_EQ(str(s), "cdabcd");
    EXPECT_EQ(str(s + "!"), "cdabcd!");
    EXPECT_TRUE(s == "cdabcd");

    rString target("t");
    target.setUnixStyle(false);
    target = "plain text";
    EXPECT_EQ(target.getSeparator(), '\\'); // a text assignment keeps the style
    target = rString("other");
    EXPECT_EQ(target.getSeparator(), '/'); // a string assignment copies it
    target = static_cast<const char*>(nullptr);
    EXPECT_TRUE(target.isEmpty());

    rString front("bc");
    EXPECT_EQ(front.add('a'), 1); // in front of the text
    EXPECT_EQ(str(front), "abc");

    // Characters are written in place while there is room, then the block grows by one step.
    rString chars;
    for (int i = 0; i < 127; ++i)
        chars += 'x';
    EXPECT_EQ(chars.getLimit(), 128u);
    chars += 'y';
    EXPECT_EQ(chars.getLimit(), 1152u);
    EXPECT_EQ(str(chars), std::string(127, 'x') + "y");
}

TEST(rString, substringsAndBackwardSearchesFollowTheirRules) {
    const rString hello("hello");
    EXPECT_EQ(str(hello.mid(1, 2)), "el");
    EXPECT_EQ(str(hello.mid(5, 1)), "");
    EXPECT_EQ(str(hello.mid(2, -1)), "llo");
    EXPECT_EQ(str(hello.mid(-1, 2)), "");
    EXPECT_EQ(str(hello.mid(3, 10)), "lo");
    const rString abc("abc");
    EXPECT_EQ(str(abc.left(10)), "abc");
    EXPECT_EQ(str(abc.left(-1)), "abc");
    EXPECT_EQ(str(abc.left(0)), "");
    EXPECT_EQ(str(abc.right(2)), "bc");
    EXPECT_EQ(str(abc.right(3)), "abc");
    EXPECT_EQ(str(abc.right(4)), "");

    EXPECT_EQ(rString("a.b.c").findLastChar('.', -1), 3);
    EXPECT_EQ(abc.findLastChar('.', -1), -1);
    EXPECT_EQ(abc.findLastChar('a', 0), 0);
    EXPECT_EQ(rString("a.b.c").findLastChar('.', 2), 1);
    EXPECT_EQ(abc.findLastChar('c', 100), 2); // a start beyond the text is clamped
    const rString twice("abcabc");
    EXPECT_EQ(twice.findLast("bc"), 4);
    EXPECT_EQ(twice.findLast("bc", 4), 1); // the occurrence at 4 does not end by index 4
    EXPECT_EQ(twice.findLast("zz"), -1);
}

TEST(rString, trimAndPaddingEditToTheWidth) {
    rString s(" \tx \r\n");
    s.trim();
    EXPECT_EQ(str(s), "x");
    EXPECT_EQ(s.getCount(), 2u);
    rString blanks("  \t ");
    blanks.trim();
    EXPECT_TRUE(blanks.isEmpty());

    const auto padded = [](const char* text, void (rString::*pad)(uint32_t, char), uint32_t width,
                           char ch) {
        rString s(text);
        (s.*pad)(width, ch);
        return str(s);
    };
    EXPECT_EQ(padded("42", &rString::padLeft, 5, '0'), "00042");
    EXPECT_EQ(padded("ab", &rString::center, 7, '*'), "**ab***");
    EXPECT_EQ(padded("ab", &rString::padRight, 4, '.'), "ab..");
    EXPECT_EQ(padded("abcd", &rString::padLeft, 3, '-'), "abcd"); // already wide enough
}

TEST(rString, growthBeyondThirtyTwoBitsFailsAndLeavesTheText) {
    rString s("keep");
    s.padLeft(0xFFFFFFFFu, ' ');
    EXPECT_EQ(s.errorCode(), erInsufMemory);
    EXPECT_EQ(str(s), "keep");
    s.clearError();
    s.center(0xFFFFFFFFu, '*');
    EXPECT_EQ(s.errorCode(), erInsufMemory);
    EXPECT_EQ(str(s), "keep");
    s.clearError();
    EXPECT_EQ(s.fill('x', 0, 0xFFFFFFFFu), 0);
    EXPECT_EQ(s.errorCode(), erInsufMemory);
    EXPECT_EQ(str(s), "keep");
    EXPECT_EQ(s.getCount(), 5u);
}

TEST(rString, fillInsertsTruncatesAndChecksTheIndex) {
    rString s("abc");
    EXPECT_EQ(s.fill('-', 1, 3), 1);
    EXPECT_EQ(str(s), "a---bc");
    EXPECT_EQ(s.fill('+', 6, 2), 1); // at the terminator: appends
    EXPECT_EQ(str(s), "a---bc++");
    EXPECT_EQ(s.fill('\0', 4, 9), 1);
    EXPECT_EQ(str(s), "a---");

    resetAssertionReports();
    EXPECT_EQ(s.fill('x', 6, 1), 0); // beyond the terminator
    EXPECT_EQ(s.errorCode(), erArrayIndex);
    EXPECT_EQ(s.errorValue(), 6u);
    EXPECT_EQ(str(s), "a---");
    expectReportAt("check(index<=count,erArrayIndex,NULL,index)", "rLib/rstring",
                   "rLib/rstring.cpp");
}

TEST(rString, assertionsReportTheQuotedTextAndOurLine) {
    rString broken;
    broken.setLimit(0); // no block at all
    resetAssertionReports();
    EXPECT_TRUE(broken.mid(0, 1).isEmpty());
    expectReportAt("(count>0) && (items!=NULL)", "rLib/rstring", "rLib/rstring.cpp");
    broken.clear();
    expectReportAt("items!=NULL", "rLib/rstring", "rLib/rstring.cpp");
    rString copy(broken);
    EXPECT_EQ(assertionCount(), 4u); // the copy reports "s.items!=NULL" and "count>0"
    expectReportAt("count>0", "rLib/rstring", "rLib/rstring.cpp");
    broken.toUpper();
    expectReportAt("(count>0) && (items!=NULL)", "rLib/rstring", "rLib/rcase.cpp");
}

TEST(rString, formatGrowsForLongTextsAndReadsResources) {
    rString out;
    const std::string longText(10000, 'q');
    rString::format(out, "<%s>", longText.c_str());
    EXPECT_EQ(str(out), "<" + longText + ">");

    rString::format(out, "%d-%s", 7, "x");
    rString::format(out, "%s%s", out.text(), "!"); // an argument may be the target's own text
    EXPECT_EQ(str(out), "7-x!");

    rString::format(out, rResourceId(10009), "game.sav", 0u);
    EXPECT_EQ(str(out), "Cannot open the file \"game.sav\".");
    rString::format(out, rResourceId(4242), "x");
    EXPECT_TRUE(out.isEmpty());

    rString s("old");
    EXPECT_EQ(s.loadString(10022), 1);
    EXPECT_NE(str(s).find("%u"), std::string::npos);
    EXPECT_EQ(s.loadString(10010), 1); // block present, id absent
    EXPECT_TRUE(s.isEmpty());
    s = "old";
    EXPECT_EQ(s.loadString(17), 0);
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(str(rString::loadedString(10009)), "Cannot open the file \"%s\".");

    rResourceData data{};
    ASSERT_TRUE(findResource(rVersionTextResource, "TEXT", data));
    EXPECT_EQ(std::string(static_cast<const char*>(data.data), data.size),
              "Tarvex " TARVEX_VERSION);
    EXPECT_FALSE(findResource(2, "TEXT", data));
    EXPECT_FALSE(findResource(rVersionTextResource, "ICON", data));
}

TEST(rString, getTokenSplitsAndStopsOutsideTheText) {
    rString s("a, b");
    rString token;
    EXPECT_EQ(s.getToken(token, " ,"), 1);
    EXPECT_EQ(str(token), "a");
    EXPECT_EQ(s.getToken(token, " ,"), 1);
    EXPECT_EQ(str(token), "b");
    EXPECT_EQ(s.getToken(token, " ,"), 0);
    s.setTokenPos(1000);
    EXPECT_EQ(s.getToken(token, ","), 0);

    rString trailing("x;;");
    EXPECT_EQ(trailing.getToken(token, ";"), 1);
    EXPECT_EQ(trailing.getToken(token, ";"), 0);
    EXPECT_TRUE(token.isEmpty());
}

TEST(rString, updateLengthNeverReadsPastTheBlock) {
    rString tiny(rReserve{4});
    std::memcpy(tiny.getItems(), "wxyz", 4); // no terminator in the block
    tiny.updateLength();
    EXPECT_EQ(str(tiny), "wxy");
}
