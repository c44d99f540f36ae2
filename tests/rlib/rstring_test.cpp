// tests/rlib/rstring_test.cpp - rString: construction, editing, substrings, formatting, tokens.
#include "assert_report.h"
#include "rresource.h"
#include "rstring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
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
    EXPECT_EQ(empty.getSeparator(), rDefaultSeparator);

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
    EXPECT_EQ(target.getSeparator(), rDefaultSeparator); // a string assignment copies it
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

TEST(rString, substringsAreClampedToTheText) {
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
    for (auto pad : {&rString::padLeft, &rString::padRight, &rString::center}) {
        (s.*pad)(0xFFFFFFFFu, '*');
        EXPECT_EQ(s.errorCode(), erInsufMemory);
        EXPECT_EQ(str(s), "keep");
        s.clearError();
    }
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

TEST(rString, setLimitBelowTheTextKeepsATerminatedPrefix) {
    rString s("abcdef");
    EXPECT_TRUE(s.setLimit(4));
    EXPECT_EQ(s.getCount(), 4u);
    EXPECT_EQ(s.getItems()[3], 0);
    EXPECT_EQ(str(s), "abc");
    s += 'x';
    EXPECT_EQ(str(s), "abcx");
    EXPECT_TRUE(s.setLimit(1));
    EXPECT_EQ(s.getCount(), 1u);
    EXPECT_EQ(s.getItems()[0], 0);
    EXPECT_TRUE(s.setLimit(300)); // growing keeps the text
    EXPECT_TRUE(s.isEmpty());
}

// A stored index error refuses every later insertion alike, until it is cleared.
TEST(rString, insertionsAfterAStoredIndexErrorAreRefusedAlike) {
    rString s("keep");
    EXPECT_EQ(s.fill('x', 9, 1), 0);
    ASSERT_EQ(s.errorCode(), erArrayIndex);
    resetAssertionReports();
    EXPECT_EQ(s.insert('y', 0), 0);
    s = "other";
    s = rString("other");
    s += "more";
    s += rString("more");
    s += 'c';
    EXPECT_EQ(str(s), "keep");
    EXPECT_EQ(s.getCount(), 5u);
    EXPECT_EQ(assertionCount(), 6u);
    expectReportAt("check(index<=count,erArrayIndex,NULL,index)", "rLib/rstring",
                   "rLib/rstring.cpp");
    rString::format(s, "%d", 5); // the target is cleared first, then the text is refused
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(s.errorCode(), erArrayIndex);
    EXPECT_EQ(s.errorValue(), 9u);

    s.clearError();
    s = "ab";
    s += "cd";
    s += 'e';
    EXPECT_EQ(str(s), "abcde");
    rString::format(s, "%d", 5);
    EXPECT_EQ(str(s), "5");
}

// Every start against a search written out; starts before the text or beyond it are clamped.
TEST(rString, backwardSearchesFromEveryStart) {
    const rString s("abcabc");
    for (const char c : {'a', 'b', 'c', '.'})
        for (int from = 0; from < 6; ++from) {
            int expected = -1;
            for (int i = 0; i <= from; ++i)
                if (s.text()[i] == c)
                    expected = i;
            EXPECT_EQ(s.findLastChar(c, from), expected) << c << from;
        }
    EXPECT_EQ(s.findLastChar('c', -1), 5);
    EXPECT_EQ(s.findLastChar('c', 100), 5);
    EXPECT_EQ(s.findLastChar('a', -7), 3);
    EXPECT_EQ(s.findLastChar('\0', -1), 6); // from the terminator
    EXPECT_EQ(s.findLastChar('\0', 5), -1);
    EXPECT_EQ(s.findLast("bc"), 4);
    EXPECT_EQ(s.findLast("bc", 4), 1); // the occurrence at 4 does not end by index 4
    EXPECT_EQ(s.findLast("zz"), -1);
}

TEST(rString, loadStringGrowsASmallStringForTheWholeText) {
    rString small(rReserve{4}, 0);
    small = "abc";
    EXPECT_EQ(small.loadString(10009), 1);
    EXPECT_EQ(str(small), "Cannot open the file \"%s\".");
    EXPECT_EQ(small.getCount(), small.length() + 1);
    rString one(rReserve{1}, 1);
    EXPECT_EQ(one.loadString(10009), 1);
    EXPECT_EQ(str(one), "Cannot open the file \"%s\".");
}

namespace {
// Random edits of an rString and the same edits of a std::string; every step must leave the
// same text, with exactly one terminator counted.
struct StringModel {
    rString s;
    std::string model;
    std::mt19937 random;

    StringModel(uint32_t size, uint32_t delta, uint32_t seed)
        : s(rReserve{size}, delta), random(seed) {}

    uint32_t below(uint32_t n) { return n == 0 ? 0 : uint32_t(random() % n); }
    char letter() { return char('a' + below(26)); }
    std::string text(uint32_t n) {
        std::string t;
        for (uint32_t i = 0; i < n; ++i)
            t += letter();
        return t;
    }
    // A piece of the string's own text: offset and length inside it.
    std::pair<uint32_t, uint32_t> ownPiece() {
        const uint32_t offset = below(uint32_t(model.size()) + 1);
        return {offset, below(uint32_t(model.size()) - offset + 1)};
    }
    // A character insertion into a full block with no growth step is refused as out of memory.
    bool refusesCharacter() const { return s.getCount() >= s.getLimit() && s.getDelta() == 0; }
    void expectRefused() {
        ASSERT_EQ(s.errorCode(), erInsufMemory);
        s.clearError();
    }

    void step() {
        const uint32_t length = uint32_t(model.size());
        switch (below(12)) {
        case 0: { // insert one character inside the text
            const uint32_t index = below(length + 1);
            const char c = letter();
            const bool refused = refusesCharacter();
            ASSERT_EQ(s.insert(c, index), refused ? 0 : 1);
            if (refused)
                expectRefused();
            else
                model.insert(model.begin() + index, c);
            break;
        }
        case 1: { // insertItems from outside or from the own text
            const uint32_t index = below(length + 1);
            std::string piece;
            const char* from;
            if (below(2) == 0) {
                const auto [offset, n] = ownPiece();
                piece = model.substr(offset, n);
                from = s.getItems() + offset;
            } else {
                piece = text(below(40));
                from = piece.c_str();
            }
            ASSERT_EQ(s.insertItems(from, index, uint32_t(piece.size())), 1);
            model.insert(index, piece);
            break;
        }
        case 2:
            if (length > 0) {
                const uint32_t index = below(length);
                s.remove(index);
                model.erase(index, 1);
            }
            break;
        case 3:
            if (length > 0) {
                const uint32_t from = below(length), to = from + below(length - from);
                s.removeRange(int32_t(from), int32_t(to));
                model.erase(from, to - from + 1);
            }
            break;
        case 4: { // setLimit, shrinking below the text or growing
            const uint32_t n = 1 + below(length + 30);
            ASSERT_TRUE(s.setLimit(n));
            if (model.size() + 1 > n)
                model.resize(n - 1);
            break;
        }
        case 5: { // += of a text, outside or own
            if (below(2) == 0) {
                const auto [offset, n] = ownPiece();
                const std::string piece = model.substr(offset); // up to the terminator
                (void)n;
                s += s.text() + offset;
                model += piece;
            } else {
                const std::string piece = text(below(50));
                s += piece.c_str();
                model += piece;
            }
            break;
        }
        case 6: { // += of a character
            const char c = letter();
            const bool refused = refusesCharacter();
            s += c;
            if (refused)
                expectRefused();
            else
                model += c;
            break;
        }
        case 7: // += of the string itself
            s += s;
            model += model;
            break;
        case 8: { // fill
            const uint32_t index = below(length + 1), n = below(30);
            const char c = letter();
            ASSERT_EQ(s.fill(c, index, n), 1);
            model.insert(index, n, c);
            break;
        }
        case 9: {
            const uint32_t index = below(length + 5);
            s.truncate(index);
            if (index < length)
                model.resize(index);
            break;
        }
        case 10: { // = of a piece of the own text
            const auto [offset, n] = ownPiece();
            (void)n;
            s = s.text() + offset;
            model = model.substr(offset);
            break;
        }
        default:
            if (below(6) == 0) {
                s.clear();
                model.clear();
            }
            break;
        }
    }

    void expectSame() {
        ASSERT_FALSE(s.hasError());
        ASSERT_NE(s.getItems(), nullptr);
        ASSERT_EQ(s.getCount(), model.size() + 1);
        ASSERT_LE(s.getCount(), s.getLimit());
        ASSERT_EQ(s.getItems()[model.size()], 0);
        ASSERT_EQ(std::string(s.getItems(), model.size()), model);
    }
};
} // namespace

// Random edits of every kind, with steps of 0, 1 and more, against std::string.
TEST(rString, randomEditsMatchAStdStringModel) {
    const uint32_t shapes[][2] = {{1, 0}, {1, 1}, {128, 1024}, {8, 0}, {3, 1}, {16, 5}};
    for (uint32_t seed = 1; seed <= 60; ++seed)
        for (const auto& shape : shapes) {
            StringModel m(shape[0], shape[1], seed);
            const uint32_t steps = 1 + seed * 13 % 250;
            for (uint32_t i = 0; i < steps; ++i) {
                ASSERT_NO_FATAL_FAILURE(m.step());
                ASSERT_NO_FATAL_FAILURE(m.expectSame())
                    << "seed " << seed << " shape " << shape[0] << "/" << shape[1] << " step " << i;
                if (m.model.size() > 20000) { // keep the doubling edits bounded
                    m.s.truncate(100);
                    m.model.resize(100);
                }
            }
        }
}
