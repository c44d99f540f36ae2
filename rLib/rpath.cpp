// rLib/rpath.cpp - the path members of rString: separators, name parts, extensions, and
// absolute and relative names, in either separator style.
#include "rstring.h"

#include <cstring>

#define R_MODULE "rLib/rstring"

namespace {
constexpr uint32_t workSize = 1025;
} // namespace

void rString::setUnixStyle(bool unix) {
    separator = unix ? '/' : '\\';
}

rString& rString::addSeparator() {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    if (!isEmpty() && items[count - 2] != separator)
        *this += separator;
    return *this;
}

// A lone separator and a drive root such as "C:\" keep their separator.
rString& rString::removeSeparator() {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    if (isEmpty() || items[count - 2] != separator || length() < 2)
        return *this;
    if (!isUnixStyle() && length() <= 3 && items[1] == ':')
        return *this;
    truncate(length() - 1);
    return *this;
}

// Where the file name begins: after the last separator, or after a drive prefix ("C:file").
uint32_t rString::nameStart() const {
    uint32_t p = uint32_t(findLastChar(separator) + 1);
    if (!isUnixStyle() && uint64_t(p) + 2 < count && items[p + 1] == ':')
        p += 2;
    return p;
}

rString rString::getFileName() const {
    return midOf(nameStart(), -1);
}

rString rString::getDirectory() const {
    return midOf(0, nameStart());
}

// A dot at position 0 does not start an extension.
rString rString::getExtension() const {
    const int dot = findLastChar('.');
    if (dot > 0 && findLastChar(separator) < dot)
        return midOf(int64_t(dot) + 1, -1);
    rString result;
    result.separator = separator;
    return result;
}

rString rString::getBaseName() const {
    rString name = getFileName();
    const int dot = name.findLastChar('.');
    return dot > 0 ? name.midOf(0, dot) : name;
}

// Here a leading dot does count: ".bak" has no name left.
rString rString::removeExtension() const {
    const int dot = findLastChar('.');
    if (dot >= 0 && findLastChar(separator) < dot)
        return midOf(0, dot);
    return *this;
}

rString& rString::setExtension(const char* ext) {
    const int dot = findLastChar('.');
    if (dot < 0 || dot < findLastChar(separator))
        *this += '.';
    else
        truncate(uint32_t(dot) + 1);
    *this += ext;
    return *this;
}

rString& rString::addExtension(const char* ext) {
    const int dot = findLastChar('.');
    if (dot < 0 || dot < findLastChar(separator)) {
        *this += '.';
        *this += ext;
    }
    return *this;
}

void rString::removeAt(uint32_t index, uint32_t n) {
    if (count < 2 || index >= count - 1 || n == 0)
        return;
    if (uint64_t(index) + n > count - 1)
        n = count - 1 - index;
    removeRange(int32_t(index), int32_t(index + n - 1));
}

// The current directory is in the platform's own style; a string of the other style is
// reported (the result mixes separators) and then treated the same way.
#define rFOREIGN_STYLE_TEXT (rDefaultSeparator == '/' ? "isUnixStyle()" : "!isUnixStyle()")

rString& rString::makeAbsolute(const char* base) {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    rString w(rReserve{workSize}, 1024);
    if (w.items == nullptr || items == nullptr)
        return *this;
    w.separator = separator;
    const bool relative = isUnixStyle()
                              ? isEmpty() || items[0] != separator
                              : length() < 2 || (items[0] != separator && items[1] != ':');
    if (relative) {
        if (base != nullptr) {
            w = base;
        } else {
            rASSERT_TEXT(rFOREIGN_STYLE_TEXT, separator == rDefaultSeparator);
            readCurrentDirectory(w);
        }
        w.addSeparator();
    }
    w += *this;

    // Parent references: two dots followed by the separator, or by the end of the text.
    const char parent[] = {'.', '.', separator, 0};
    for (;;) {
        const char* found = std::strstr(w.items, parent);
        if (found == nullptr && w.length() >= 2 && w.items[w.count - 2] == '.' &&
            w.items[w.count - 3] == '.')
            found = w.items + w.count - 3;
        if (found == nullptr)
            break;
        const uint32_t s = uint32_t(found - w.items);
        int first = int(s) - 1;
        while (first >= 0 && w.items[first] != separator)
            --first;
        int second = first - 1;
        while (second >= 0 && w.items[second] != separator)
            --second;
        if (first < 0 || second < 0) {
            // Nothing left to climb: the reference itself is dropped and the name is done.
            w.removeAt(s, 3);
            *this = w;
            return *this;
        }
        w.removeAt(uint32_t(second) + 1, s + 3 - uint32_t(second) - 1);
    }

    // Current-directory references: a dot followed by the separator.
    const char current[] = {'.', separator, 0};
    while (const char* found = std::strstr(w.items, current))
        w.removeAt(uint32_t(found - w.items), 2);

    w.updateLength();
    if (!w.isEmpty() && w.items[w.count - 2] == '.')
        w.truncate(w.length() - 1);
    *this = w;
    return *this;
}

rString& rString::makeRelative(const char* base, bool allowLonger) {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    rString b(rReserve{workSize}, 1024);
    b.separator = separator;
    if (base != nullptr) {
        b = base;
    } else {
        rASSERT_TEXT(rFOREIGN_STYLE_TEXT, separator == rDefaultSeparator);
        readCurrentDirectory(b);
    }
    b.addSeparator();
    makeAbsolute(b.text());

    uint32_t n = uint32_t(commonPrefixLength(text(), b.text()));
    if (n == b.length()) {
        removeAt(0, n);
    } else {
        while (n > 0 && b.items[n] != separator)
            --n;
        if (n > 0) {
            rString candidate;
            candidate.separator = separator;
            for (uint32_t i = n + 1; i < b.length(); ++i)
                if (b.items[i] == separator) {
                    candidate += "..";
                    candidate += separator;
                }
            if (n + 1 < count)
                candidate += text() + n + 1;
            if (allowLonger || candidate.length() < length())
                *this = candidate;
        }
    }
    updateLength();
    if (isEmpty()) {
        *this += '.';
        *this += separator;
    }
    return *this;
}
