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

// The extension may lie in this string's own block, which the edits below cut or move.
rString& rString::setExtension(const char* ext) {
    const rString extension(ext);
    const int dot = findLastChar('.');
    if (dot < 0 || dot < findLastChar(separator))
        *this += '.';
    else
        truncate(uint32_t(dot) + 1);
    *this += extension;
    return *this;
}

rString& rString::addExtension(const char* ext) {
    const int dot = findLastChar('.');
    if (dot < 0 || dot < findLastChar(separator)) {
        const rString extension(ext);
        *this += '.';
        *this += extension;
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

// Windows style: parent and current-directory references are found as substrings (two dots and
// the separator, a dot and the separator), and a final dot is dropped.
void rString::resolveSubstrings() {
    const char parent[] = {'.', '.', separator, 0};
    for (;;) {
        const char* found = std::strstr(items, parent);
        if (found == nullptr && length() >= 2 && items[count - 2] == '.' && items[count - 3] == '.')
            found = items + count - 3;
        if (found == nullptr)
            break;
        const uint32_t s = uint32_t(found - items);
        int first = int(s) - 1;
        while (first >= 0 && items[first] != separator)
            --first;
        int second = first - 1;
        while (second >= 0 && items[second] != separator)
            --second;
        if (first < 0 || second < 0) {
            // Nothing left to climb: the reference itself is dropped and the name is done.
            removeAt(s, 3);
            return;
        }
        removeAt(uint32_t(second) + 1, s + 3 - uint32_t(second) - 1);
    }
    const char current[] = {'.', separator, 0};
    while (const char* found = std::strstr(items, current))
        removeAt(uint32_t(found - items), 2);
    updateLength();
    if (!isEmpty() && items[count - 2] == '.')
        truncate(length() - 1);
}

// Unix style: only whole "." and ".." components are references; every other component, with
// its dots and blanks, is a name as it stands. Repeated separators collapse. The result ends with
// the separator when the name did, or when its last component was a reference. A ".." that
// cannot climb is dropped at the root and kept at the start of a relative name.
void rString::resolveComponents() {
    const uint32_t n = length();
    const uint32_t root = n > 0 && items[0] == separator ? 1 : 0;
    uint32_t out = root;   // write position: kept components, each followed by the separator
    uint32_t floor = root; // the kept part before it holds only ".." components
    bool directory = false;
    for (uint32_t i = 0; i < n;) {
        if (items[i] == separator) {
            directory = true;
            ++i;
            continue;
        }
        uint32_t end = i;
        while (end < n && items[end] != separator)
            ++end;
        const uint32_t size = end - i;
        const bool current = size == 1 && items[i] == '.';
        const bool parent = size == 2 && items[i] == '.' && items[i + 1] == '.';
        directory = current || parent;
        if (parent && out > floor) {
            out -= 1; // back over the last kept component
            while (out > floor && items[out - 1] != separator)
                --out;
        } else if (!current && !(parent && root != 0)) {
            // Never ahead of the reading position: it writes at most the bytes it has read.
            std::memmove(items + out, items + i, size);
            out += size;
            items[out++] = separator;
            if (parent)
                floor = out;
        }
        i = end;
    }
    if (!directory && out > root && items[out - 1] == separator)
        --out;
    items[out] = 0;
    count = out + 1;
}

// The work string holds base (or the current directory) and the name; when it cannot be had, the
// name stays as it was and the failure is recorded here.
rString& rString::makeAbsolute(const char* base) {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    if (items == nullptr || count == 0)
        return *this;
    rString w(rReserve{workSize}, 1024);
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
    if (w.hasError() || w.items == nullptr) {
        rCHECK_TEXT("check(w.items!=NULL,erInsufMemory,NULL,w.errorValue())", false, erInsufMemory,
                    nullptr, w.errorValue());
        return *this;
    }
    if (isUnixStyle())
        w.resolveComponents();
    else
        w.resolveSubstrings();
    *this = w;
    return *this;
}

// Only whole components are common: the name and the base must both have a separator (or the
// name its end) where the common part ends.
rString& rString::makeRelative(const char* base, bool allowLonger) {
    rASSERT_TEXT("(count>0) && (items!=NULL)", count > 0 && items != nullptr);
    if (items == nullptr || count == 0)
        return *this;
    rString b(rReserve{workSize}, 1024);
    b.separator = separator;
    if (base != nullptr) {
        b = base;
    } else {
        rASSERT_TEXT(rFOREIGN_STYLE_TEXT, separator == rDefaultSeparator);
        readCurrentDirectory(b);
    }
    b.addSeparator();
    const uint32_t before = errorCode();
    makeAbsolute(b.text());
    if (b.hasError() || b.items == nullptr || errorCode() != before) {
        rCHECK_TEXT("check(b.items!=NULL,erInsufMemory,NULL,b.errorValue())", false, erInsufMemory,
                    nullptr, b.errorValue());
        return *this;
    }

    uint32_t n = uint32_t(commonPrefixLength(text(), b.text()));
    if (n == b.length()) {
        removeAt(0, n);
    } else {
        while (n > 0 && !(b.items[n] == separator && (items[n] == separator || items[n] == 0)))
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
            if (!candidate.hasError() && (allowLonger || candidate.length() < length()))
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
