// rLib/rcase.cpp - the code-page 1251 case rule, case-insensitive comparison and wildcard masks.
#include "rstring.h"

#define R_MODULE "rLib/rstring"

namespace {

// The upper folding of every byte, made when compiling: ASCII and code page 1251 letters.
struct FoldTable {
    unsigned char upper[256];
};

constexpr FoldTable makeFoldTable() {
    FoldTable table{};
    for (int b = 0; b < 256; ++b)
        table.upper[b] = (b >= 0x61 && b <= 0x7A) || b >= 0xE0
                             ? static_cast<unsigned char>(b - 0x20)
                         : b == 0xB8 ? 0xA8
                                     : static_cast<unsigned char>(b);
    return table;
}

constexpr FoldTable foldTable = makeFoldTable();

} // namespace

// The folding is defined on bytes and never asks the locale.
unsigned char foldUpper(unsigned char b) {
    return foldTable.upper[b];
}

unsigned char foldLower(unsigned char b) {
    if ((b >= 0x41 && b <= 0x5A) || (b >= 0xC0 && b <= 0xDF))
        return b + 0x20;
    return b == 0xA8 ? 0xB8 : b;
}

rString& rString::toUpper() {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    for (uint32_t i = 0; items != nullptr && i + 1 < count; ++i)
        items[i] = char(foldUpper(static_cast<unsigned char>(items[i])));
    return *this;
}

rString& rString::toLower() {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    for (uint32_t i = 0; items != nullptr && i + 1 < count; ++i)
        items[i] = char(foldLower(static_cast<unsigned char>(items[i])));
    return *this;
}

// Sentence case: the first letter, and the first non-blank after every dot, upper case.
rString& rString::capitalize() {
    toLower();
    const uint32_t n = length();
    if (n < 2 || items == nullptr)
        return *this;
    items[0] = char(foldUpper(static_cast<unsigned char>(items[0])));
    for (uint32_t i = 0; i < n; ++i) {
        if (items[i] != '.')
            continue;
        uint32_t j = i + 1;
        while (j < n && static_cast<unsigned char>(items[j]) <= 32)
            ++j;
        if (j < n)
            items[j] = char(foldUpper(static_cast<unsigned char>(items[j])));
    }
    return *this;
}

int rString::compareNoCase(const char* other) const {
    const auto* a = reinterpret_cast<const unsigned char*>(text());
    const auto* b = reinterpret_cast<const unsigned char*>(other != nullptr ? other : "");
    // Equal bytes need no folding; bytes that differ are compared folded.
    for (;; ++a, ++b) {
        const unsigned ca = *a, cb = *b;
        if (ca == cb) {
            if (cb == 0)
                return 0;
            continue;
        }
        const int d = int(foldTable.upper[ca]) - int(foldTable.upper[cb]);
        if (d != 0)
            return d < 0 ? -1 : 1;
    }
}

int commonPrefixLength(const char* a, const char* b) {
    if (a == nullptr || b == nullptr)
        return 0;
    int n = 0;
    while (a[n] != 0 && b[n] != 0 &&
           foldUpper(static_cast<unsigned char>(a[n])) ==
               foldUpper(static_cast<unsigned char>(b[n])))
        ++n;
    return n;
}

namespace {
bool charMatches(unsigned char m, unsigned char t, bool caseSensitive) {
    if (m == '?')
        return true;
    if (m == '#')
        return t >= '0' && t <= '9';
    return caseSensitive ? m == t : foldUpper(m) == foldUpper(t);
}

// One mask, ending at maskEnd or at its terminator, against a zero-terminated text. A '*' takes
// the shortest run first; on a mismatch only the most recent '*' takes one character more, since
// any match an earlier '*' could give is also reachable through the later one. The work is
// bounded by the product of the two lengths.
bool matchRange(const unsigned char* mask, const unsigned char* maskEnd, const unsigned char* t,
                bool caseSensitive) {
    auto ended = [maskEnd](const unsigned char* m) { return m == maskEnd || *m == 0; };
    const unsigned char* m = mask;
    const unsigned char* starMask = nullptr;
    const unsigned char* starText = nullptr;
    while (*t != 0) {
        if (!ended(m) && *m == '*') {
            while (!ended(m) && *m == '*')
                ++m;
            if (ended(m))
                return true;
            starMask = m;
            starText = t;
            continue;
        }
        if (!ended(m) && charMatches(*m, *t, caseSensitive)) {
            ++m;
            ++t;
            continue;
        }
        if (starMask == nullptr)
            return false;
        m = starMask;
        t = ++starText;
    }
    while (!ended(m) && *m == '*')
        ++m;
    return ended(m);
}
} // namespace

bool matchMask(const char* mask, const char* text, bool caseSensitive) {
    const auto* m = reinterpret_cast<const unsigned char*>(mask != nullptr ? mask : "");
    const auto* t = reinterpret_cast<const unsigned char*>(text != nullptr ? text : "");
    return matchRange(m, nullptr, t, caseSensitive);
}

// Masks of the list are separated by ';'; an empty one matches only the empty text.
int rString::matches(const char* masks, bool caseSensitive, bool invert) const {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    const auto* t = reinterpret_cast<const unsigned char*>(text());
    const auto* m = reinterpret_cast<const unsigned char*>(masks != nullptr ? masks : "");
    for (;;) {
        const auto* end = m;
        while (*end != 0 && *end != ';')
            ++end;
        if (matchRange(m, end, t, caseSensitive))
            return invert ? 0 : 1;
        if (*end == 0)
            return invert ? 1 : 0;
        m = end + 1;
    }
}
