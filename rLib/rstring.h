// rLib/rstring.h - rString: zero-terminated single-byte text in an rArray<char>, with formatting,
// tokens, path operations (either separator style) and the code-page 1251 case rule.
#pragma once

#include "rarray.h"
#include "rplatform.h"

#include <cstdarg>

// Tag for the capacity constructor, so that it cannot be mistaken for a text and a count.
struct rReserve {
    uint32_t size;
};

class rString : public rArray<char> {
public:
    rString();
    rString(const char* text);
    rString(const char* text, uint32_t n);
    rString(const rString& s);
    rString(rReserve size, uint32_t step = 1024);
    explicit rString(char ch);
    ~rString() override = default;

    rString& operator=(const rString& s);
    rString& operator=(const char* text);
    rString& operator+=(const char* text);
    rString& operator+=(const rString& s);
    rString& operator+=(char ch);
    friend rString operator+(const rString& s, const char* text);

    bool load(rStream* cli) override; // the stream's length-prefixed string, no limit
    bool store(rStream* cli) override;
    bool setLimit(uint32_t n) override; // a block cut below the text keeps a terminated prefix
    int add(char ch) override;          // inserts ch in front of the text

    uint32_t length() const { return count > 0 ? count - 1 : 0; }
    bool isEmpty() const { return count < 2; }
    const char* text() const { return items != nullptr ? items : ""; }
    bool operator==(const char* other) const;

    int findLastChar(char ch, int from = -1) const;
    int findLast(const char* pattern, int end = -1) const;

    void clear();
    void updateLength();
    void truncate(uint32_t index);
    int fill(char ch, uint32_t index, uint32_t n);
    void trimLeft();
    void trimRight();
    void trim();
    void padRight(uint32_t width, char ch = ' ');
    void padLeft(uint32_t width, char ch = ' ');
    void center(uint32_t width, char ch = ' ');

    rString mid(int32_t pos, int32_t n) const;
    rString left(int32_t n) const;
    rString right(int32_t n) const;

    // printf-style formatting into target; a format value of at most 0xFFFF names a string
    // resource (see rResourceId).
    static rString& format(rString& target, const char* fmt, ...)
        __attribute__((format(printf, 2, 3)));
    static rString& formatV(rString& target, const char* fmt, va_list args);
    int loadString(uint32_t id);
    static rString loadedString(uint32_t id);

    void toOem();  // code page 1251 to 866
    void toAnsi(); // code page 866 to 1251

    void setTokenPos(uint32_t offset);
    int getToken(rString& token, const char* delimiters);

    // Paths.
    char getSeparator() const { return separator; }
    bool isUnixStyle() const { return separator == '/'; }
    void setUnixStyle(bool unix);
    rString& addSeparator();
    rString& removeSeparator();
    rString getFileName() const;
    rString getDirectory() const;
    rString getExtension() const;
    rString getBaseName() const;
    rString removeExtension() const;
    rString& setExtension(const char* ext);
    rString& addExtension(const char* ext);
    rString& makeAbsolute(const char* base = nullptr);
    rString& makeRelative(const char* base, bool allowLonger);

    // Case rule and masks.
    rString& toUpper();
    rString& toLower();
    rString& capitalize();
    int compareNoCase(const char* other) const;
    int matches(const char* masks, bool caseSensitive = false, bool invert = false) const;

private:
    uint32_t nameStart() const;
    void setEmpty();
    bool admits(uint32_t index);
    bool reserveCount(uint64_t newCount);
    bool reserveWidth(uint32_t width);
    bool assignBytes(const char* text, size_t n);
    bool appendBytes(const char* text, size_t n);
    rString midOf(int64_t pos, int64_t n) const;
    void formatInto(const char* fmt, va_list args);
    void removeAt(uint32_t index, uint32_t n);
    void resolveSubstrings();
    void resolveComponents();
    static bool readCurrentDirectory(rString& out);

    uint32_t cursor = 0; // offset of getToken's read position
    char separator = rDefaultSeparator;
};

// A string-resource identifier passed where rString::format takes its format text.
inline const char* rResourceId(uint32_t id) {
    return reinterpret_cast<const char*>(static_cast<uintptr_t>(id));
}

// The case rule of code page 1251, independent of the locale.
unsigned char foldUpper(unsigned char b);
unsigned char foldLower(unsigned char b);
int commonPrefixLength(const char* a, const char* b);
// One mask ('*', '?', '#') against a text, in time bounded by their lengths' product.
bool matchMask(const char* mask, const char* text, bool caseSensitive);
