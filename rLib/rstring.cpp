// rLib/rstring.cpp - rString: construction, assignment, editing, substrings, formatting,
// string resources, code-page conversion and tokens.
#include "rstring.h"
#include "rcodepage.h"
#include "rresource.h"

#include <cstdio>
#include <cstring>

#define R_MODULE "rLib/rstring"

namespace {
constexpr uint32_t defaultLimit = 128;
constexpr uint32_t defaultDelta = 1024;
constexpr uint32_t formatStep = 4096;
// A formatter that keeps failing (an encoding error, not a short buffer) is given up after this
// many attempts instead of growing without end.
constexpr int formatFailedAttempts = 16;

// The block size for a text of n bytes: at least 128, room for the terminator; a size that
// cannot be held is left to the insertion, which then fails with erInsufMemory.
uint32_t limitFor(uint64_t n) {
    return n + 1 <= defaultLimit ? defaultLimit : n + 1 <= 0xFFFFFFFFu ? uint32_t(n + 1) : 1;
}

size_t textLength(const char* text) {
    return text != nullptr ? std::strlen(text) : 0;
}
} // namespace

// Construction.

rString::rString() : rArray<char>(defaultLimit, defaultDelta) {
    setEmpty();
}

rString::rString(const char* text) : rArray<char>(limitFor(textLength(text)), defaultDelta) {
    setEmpty();
    if (text != nullptr)
        assignBytes(text, std::strlen(text));
}

// A text shorter than n ends at its terminator: nothing beyond it is read.
rString::rString(const char* text, uint32_t n)
    : rArray<char>(limitFor(text != nullptr ? n : 0), defaultDelta) {
    setEmpty();
    if (text != nullptr)
        assignBytes(text, strnlen(text, n));
}

rString::rString(const rString& s) : rArray<char>(s.limit, s.delta), separator(s.separator) {
    rASSERT_TEXT("s.items!=NULL", s.items != nullptr);
    if (items != nullptr && s.items != nullptr && s.count > 0 && s.count <= limit) {
        std::memcpy(items, s.items, s.count);
        count = s.count;
    } else {
        setEmpty();
    }
    rASSERT_TEXT("count>0", count > 0);
}

rString::rString(rReserve size, uint32_t step)
    : rArray<char>(size.size != 0 ? size.size : 1, step) {
    setEmpty();
}

rString::rString(char ch) : rArray<char>(defaultLimit, defaultDelta) {
    setEmpty();
    *this += ch;
}

void rString::setEmpty() {
    if (items == nullptr)
        return;
    items[0] = 0;
    count = 1;
}

// Grows the block, by the rule of insertItems, so that newCount bytes fit. Sizes are computed in
// 64 bits: a size beyond 32 bits fails as erInsufMemory and leaves the string as it was.
bool rString::reserveCount(uint64_t newCount) {
    if (newCount <= limit && items != nullptr)
        return true;
    const uint64_t step = delta > newCount ? uint64_t(delta) : newCount;
    return grow(uint64_t(limit) + step);
}

// Text insertions go through the index check of insertItems, so that a stored index error
// refuses them as it refuses every other insertion.
bool rString::admits(uint32_t index) {
    return rCHECK_TEXT("check(index<=count,erArrayIndex,NULL,index)", index <= count, erArrayIndex,
                       nullptr, index);
}

// Replaces the text with n bytes (which may lie in this string's own block).
bool rString::assignBytes(const char* text, size_t n) {
    if (!admits(0))
        return false;
    const bool inside = items != nullptr && text >= items && text < items + limit;
    const size_t offset = inside ? size_t(text - items) : 0;
    if (!reserveCount(uint64_t(n) + 1))
        return false;
    if (inside)
        text = items + offset;
    std::memmove(items, text, n);
    items[n] = 0;
    count = uint32_t(n + 1);
    return true;
}

// Appends n bytes (which may lie in this string's own block).
bool rString::appendBytes(const char* text, size_t n) {
    if (n == 0)
        return true;
    if (items == nullptr || count == 0)
        return assignBytes(text, n);
    if (!admits(count - 1))
        return false;
    const bool inside = text >= items && text < items + limit;
    const size_t offset = inside ? size_t(text - items) : 0;
    if (!reserveCount(uint64_t(count) + n))
        return false;
    if (inside)
        text = items + offset;
    std::memmove(items + count - 1, text, n);
    count += uint32_t(n);
    items[count - 1] = 0;
    return true;
}

// Assignment and concatenation.

rString& rString::operator=(const rString& s) {
    if (s.items != items) {
        if (s.items == nullptr || s.count == 0)
            clear();
        else
            assignBytes(s.items, s.count - 1);
    }
    separator = s.separator;
    return *this;
}

rString& rString::operator=(const char* text) {
    if (text == nullptr)
        clear();
    else
        assignBytes(text, std::strlen(text));
    return *this;
}

rString& rString::operator+=(const char* text) {
    if (text != nullptr)
        appendBytes(text, std::strlen(text));
    return *this;
}

rString& rString::operator+=(const rString& s) {
    if (s.items != nullptr && s.count > 1)
        appendBytes(s.items, s.count - 1);
    return *this;
}

rString& rString::operator+=(char ch) {
    if (ch == 0)
        return *this;
    if (items != nullptr && count > 0 && count < limit) {
        if (!admits(count - 1))
            return *this;
        items[count - 1] = ch;
        items[count++] = 0;
    } else if (count > 0) {
        insert(ch, count - 1);
    } else {
        assignBytes(&ch, 1);
    }
    return *this;
}

rString operator+(const rString& s, const char* text) {
    rString result(s);
    result += text;
    return result;
}

bool rString::setLimit(uint32_t n) {
    const bool cut = n < count;
    if (!rArray<char>::setLimit(n))
        return false;
    if (cut && items != nullptr && count > 0)
        items[count - 1] = 0;
    return true;
}

// A zero byte in front would end the text early, so it is refused like the zero of +=.
int rString::add(char ch) {
    if (ch == 0)
        return 0;
    return insert(ch, 0);
}

bool rString::operator==(const char* other) const {
    return std::strcmp(text(), other != nullptr ? other : "") == 0;
}

// Queries.

int rString::findLastChar(char ch, int from) const {
    if (items == nullptr || count == 0)
        return -1;
    if (from < 0 || uint32_t(from) >= count)
        from = int(count - 1);
    for (int i = from; i >= 0; --i)
        if (items[i] == ch)
            return i;
    return -1;
}

int rString::findLast(const char* pattern, int end) const {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    if (items == nullptr || count == 0 || pattern == nullptr || *pattern == 0)
        return -1;
    if (end < 0 || uint32_t(end) >= count)
        end = int(count - 1);
    const size_t n = std::strlen(pattern);
    for (int64_t i = int64_t(end) - int64_t(n) + 1; i >= 0; --i)
        if (std::memcmp(items + i, pattern, n) == 0)
            return int(i);
    return -1;
}

// Editing.

void rString::clear() {
    rASSERT_TEXT("items!=NULL", items != nullptr);
    setEmpty();
}

void rString::updateLength() {
    if (items == nullptr || limit == 0)
        return;
    const size_t n = strnlen(items, limit);
    if (n == limit) // no terminator in the block: the last byte becomes one
        items[limit - 1] = 0;
    count = uint32_t(n < limit ? n + 1 : limit);
}

void rString::truncate(uint32_t index) {
    if (items != nullptr && count > 0 && index < count - 1) {
        items[index] = 0;
        count = index + 1;
    }
}

// Inserting at the terminator's index appends; beyond it would leave bytes after the
// terminator, so the index must lie inside the text.
int rString::fill(char ch, uint32_t index, uint32_t n) {
    if (!rCHECK_TEXT("check(index<=count,erArrayIndex,NULL,index)", index < count, erArrayIndex,
                     nullptr, index))
        return 0;
    if (ch == 0) {
        truncate(index);
        return 1;
    }
    if (n == 0)
        return 1;
    if (!reserveCount(uint64_t(count) + n))
        return 0;
    std::memmove(items + index + n, items + index, count - index);
    std::memset(items + index, ch, n);
    count += n;
    return 1;
}

void rString::trimLeft() {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    if (items == nullptr || count < 2)
        return;
    uint32_t k = 0;
    while (k < count - 1 && static_cast<unsigned char>(items[k]) <= 32)
        ++k;
    if (k > 0)
        removeRange(0, int32_t(k - 1));
}

void rString::trimRight() {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    if (items == nullptr)
        return;
    while (count > 1 && static_cast<unsigned char>(items[count - 2]) <= 32) {
        items[count - 2] = 0;
        --count;
    }
}

void rString::trim() {
    trimLeft();
    trimRight();
}

// Makes room for a text of width bytes; widths are computed in 64 bits.
bool rString::reserveWidth(uint32_t width) {
    if (limit > width && items != nullptr)
        return true;
    return grow(uint64_t(width) + 1);
}

void rString::padRight(uint32_t width, char ch) {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    if (items == nullptr || count == 0 || length() >= width || ch == 0 || !reserveWidth(width))
        return;
    std::memset(items + length(), ch, width - length());
    items[width] = 0;
    count = width + 1;
}

void rString::padLeft(uint32_t width, char ch) {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    if (items == nullptr || count == 0 || length() >= width || ch == 0 || !reserveWidth(width))
        return;
    const uint32_t gap = width - length();
    std::memmove(items + gap, items, count);
    std::memset(items, ch, gap);
    count = width + 1;
}

void rString::center(uint32_t width, char ch) {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    // The whole width is reserved first, so that a width that cannot be had changes nothing.
    if (items == nullptr || count == 0 || length() >= width || ch == 0 || !reserveWidth(width))
        return;
    padLeft(length() + (width - length()) / 2, ch);
    padRight(width, ch);
}

// Substrings.

rString rString::midOf(int64_t pos, int64_t n) const {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    rString result;
    result.separator = separator;
    const int64_t len = length();
    if (items == nullptr || pos < 0 || pos >= len)
        return result;
    if (n > len || n < 0)
        n = len - pos;
    if (n <= 0)
        return result;
    const int64_t m = n < len - pos ? n : len - pos;
    result.assignBytes(items + pos, size_t(m));
    return result;
}

rString rString::mid(int32_t pos, int32_t n) const {
    return midOf(pos, n);
}

rString rString::left(int32_t n) const {
    return midOf(0, n);
}

rString rString::right(int32_t n) const {
    return midOf(int64_t(length()) - n, n);
}

// Formatting and resources.

rString& rString::format(rString& target, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    formatV(target, fmt, args);
    va_end(args);
    return target;
}

rString& rString::formatV(rString& target, const char* fmt, va_list args) {
    target.formatInto(fmt, args);
    return target;
}

// The text is built in a work buffer and only then replaces this string, so that an argument
// may be this string's own text.
void rString::formatInto(const char* fmt, va_list args) {
    rString pattern;
    if (reinterpret_cast<uintptr_t>(fmt) <= 0xFFFF) {
        pattern.loadString(uint32_t(reinterpret_cast<uintptr_t>(fmt)));
        fmt = pattern.text();
    }
    if (*fmt == 0) {
        clear();
        return;
    }
    char* buffer = nullptr;
    uint64_t size = 0;
    int result = -1;
    int failures = 0;
    while (result < 0 || uint64_t(result) >= size) {
        if (result < 0 && ++failures > formatFailedAttempts)
            break;
        size = result < 0 ? size + formatStep : uint64_t(result) + 1;
        char* grown = size <= 0xFFFFFFFFu ? static_cast<char*>(memRealloc(buffer, size)) : nullptr;
        if (grown == nullptr) {
            rCHECK_TEXT("check(buffer!=NULL,erInsufMemory,NULL,size)", false, erInsufMemory,
                        nullptr, size <= 0xFFFFFFFFu ? uint32_t(size) : 0xFFFFFFFFu);
            break;
        }
        buffer = grown;
        va_list attempt;
        va_copy(attempt, args);
        result = std::vsnprintf(buffer, size, fmt, attempt);
        va_end(attempt);
    }
    // Cleared first: a refused insertion leaves the target empty, as a failed formatting does.
    clear();
    if (buffer != nullptr && result >= 0 && uint64_t(result) < size)
        assignBytes(buffer, size_t(result));
    memFree(buffer);
}

int rString::loadString(uint32_t id) {
    uint32_t blockBytes = 0;
    if (!findStringBlock(id, &blockBytes)) {
        clear();
        return 0;
    }
    if (limit < blockBytes)
        setLimit(blockBytes);
    if (items == nullptr || limit == 0)
        return 0;
    const char* text = findStringResource(id);
    size_t n = textLength(text);
    if (n > limit - 1)
        n = limit - 1;
    std::memcpy(items, text != nullptr ? text : "", n);
    items[n] = 0;
    count = uint32_t(n + 1);
    return 1;
}

rString rString::loadedString(uint32_t id) {
    rString s;
    s.loadString(id);
    return s;
}

// Code pages.

void rString::toOem() {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    for (uint32_t i = 0; items != nullptr && i + 1 < count; ++i)
        items[i] = char(cp1251ToCp866(static_cast<unsigned char>(items[i])));
}

void rString::toAnsi() {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    for (uint32_t i = 0; items != nullptr && i + 1 < count; ++i)
        items[i] = char(cp866ToCp1251(static_cast<unsigned char>(items[i])));
}

// Tokens.

void rString::setTokenPos(uint32_t offset) {
    cursor = offset;
}

int rString::getToken(rString& token, const char* delimiters) {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    if (items == nullptr || cursor >= count)
        return 0;
    if (delimiters == nullptr)
        delimiters = "";
    auto isDelimiter = [delimiters](char c) { return c != 0 && std::strchr(delimiters, c); };
    uint32_t start = cursor;
    while (isDelimiter(items[start]))
        ++start;
    uint32_t end = start;
    while (items[end] != 0 && !isDelimiter(items[end]))
        ++end;
    // The run is copied before the cursor moves: token may be this very string.
    const uint32_t next = end + 1;
    if (&token == this) {
        const uint32_t n = end - start;
        std::memmove(items, items + start, n);
        items[n] = 0;
        count = n + 1;
    } else {
        token.assignBytes(items + start, end - start);
    }
    cursor = next;
    return end > start ? 1 : 0;
}
