// rLib/rcodepage.cpp - locale-independent tables: Windows-1251 and OEM 866 against Unicode, the
// conversions between the two code pages, and UTF-8 to and from Windows-1251.
#include "rcodepage.h"
#include "rstring.h"

#include <array>

namespace {
// Code points of the bytes 0x80..0xFF. The one byte the code page leaves unassigned, 0x98, is
// the control character of the same number, so that every byte survives every conversion.
constexpr uint16_t cp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, //
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, //
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, //
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, //
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // 0xC0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, //
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // 0xD0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, //
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // 0xE0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, //
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // 0xF0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, //
};

constexpr uint16_t cp866High[128] = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // 0x80
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, //
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // 0x90
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, //
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // 0xA0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, //
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, // 0xB0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, //
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, // 0xC0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, //
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, // 0xD0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, //
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // 0xE0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, //
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E, // 0xF0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0, //
};

struct LookAlike {
    uint16_t from;
    uint16_t to;
};

// Characters one page lacks, written as a similar character that the other page has.
constexpr LookAlike lookAlikes[] = {
    {0x201A, ','},    {0x201E, '"'},    {0x2018, '\''},   {0x2019, '\''},   {0x201C, '"'},
    {0x201D, '"'},    {0x2039, '<'},    {0x203A, '>'},    {0x00AB, '<'},    {0x00BB, '>'},
    {0x2013, '-'},    {0x2014, '-'},    {0x00AD, '-'},    {0x00A6, '|'},    {0x0408, 'J'},
    {0x0458, 'j'},    {0x0405, 'S'},    {0x0455, 's'},    {0x0406, 'I'},    {0x0456, 'i'},
    {0x0490, 0x0413}, {0x0491, 0x0433}, {0x0403, 0x0413}, {0x0453, 0x0433}, {0x040C, 0x041A},
    {0x045C, 0x043A}, {0x2022, 0x2219}, {0x2219, 0x2022}, {0x2502, '|'},    {0x2551, '|'},
    {0x2500, '-'},    {0x2550, '-'},
};

constexpr uint16_t unicodeOf(const uint16_t* high, unsigned b) {
    return b < 0x80 ? uint16_t(b) : high[b - 0x80];
}

// The byte of a code point in a page, or 0 when the page lacks it.
constexpr unsigned byteOf(const uint16_t* high, uint16_t codePoint) {
    if (codePoint < 0x80)
        return codePoint;
    for (unsigned i = 0; i < 128; ++i)
        if (high[i] == codePoint)
            return 0x80 + i;
    return 0;
}

constexpr unsigned convert(const uint16_t* fromHigh, const uint16_t* toHigh, unsigned b) {
    const uint16_t u = unicodeOf(fromHigh, b);
    if (b < 0x80)
        return b;
    if (u != 0) {
        if (const unsigned direct = byteOf(toHigh, u))
            return direct;
        for (const LookAlike& l : lookAlikes)
            if (l.from == u)
                if (const unsigned near = byteOf(toHigh, l.to))
                    return near;
        // Box drawing: every other line piece becomes a corner.
        if (u >= 0x2500 && u <= 0x257F)
            return '+';
    }
    return '?';
}

constexpr std::array<unsigned char, 256> makeTable(const uint16_t* fromHigh,
                                                   const uint16_t* toHigh) {
    std::array<unsigned char, 256> table{};
    for (unsigned b = 0; b < 256; ++b)
        table[b] = static_cast<unsigned char>(convert(fromHigh, toHigh, b));
    return table;
}

constexpr auto ansiToOem = makeTable(cp1251High, cp866High);
constexpr auto oemToAnsi = makeTable(cp866High, cp1251High);

static_assert(ansiToOem[0xC0] == 0x80 && ansiToOem[0xF0] == 0xE0 && ansiToOem[0xA8] == 0xF0);
static_assert(oemToAnsi[0x80] == 0xC0 && oemToAnsi[0xE0] == 0xF0 && oemToAnsi[0xF1] == 0xB8);

void appendUtf8(rString& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Decodes one well-formed sequence at text[i]; its length, or 0 when it is not well formed
// (overlong forms, surrogates and values beyond U+10FFFF included).
size_t decodeUtf8(const unsigned char* s, size_t n, size_t i, uint32_t& cp) {
    const unsigned char b = s[i];
    size_t len;
    uint32_t min;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        len = 2, cp = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3, cp = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, cp = b & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (n - i < len)
        return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((s[i + k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}
} // namespace

uint16_t cp1251ToUnicode(unsigned char b) {
    return unicodeOf(cp1251High, b);
}

bool unicodeToCp1251(uint32_t codePoint, unsigned char& out) {
    if (codePoint < 0x80) {
        out = static_cast<unsigned char>(codePoint);
        return true;
    }
    if (codePoint > 0xFFFF)
        return false;
    const unsigned b = byteOf(cp1251High, uint16_t(codePoint));
    if (b == 0)
        return false;
    out = static_cast<unsigned char>(b);
    return true;
}

unsigned char cp1251ToCp866(unsigned char b) {
    return ansiToOem[b];
}

unsigned char cp866ToCp1251(unsigned char b) {
    return oemToAnsi[b];
}

bool isValidUtf8(const char* text, size_t n) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    uint32_t cp = 0;
    for (size_t i = 0; i < n;) {
        const size_t len = decodeUtf8(s, n, i, cp);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

// A zero byte is dropped: the string that receives the text cannot hold one.
rUtf8Result utf8ToCp1251(const char* text, size_t n, rString& out) {
    out.clear();
    if (text == nullptr)
        return rUtf8Result::converted;
    if (!isValidUtf8(text, n)) {
        for (size_t i = 0; i < n; ++i)
            out += text[i];
        return rUtf8Result::notUtf8;
    }
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    uint32_t cp = 0;
    for (size_t i = 0; i < n;) {
        i += decodeUtf8(s, n, i, cp);
        unsigned char b = 0;
        if (!unicodeToCp1251(cp, b))
            return rUtf8Result::unmappable;
        out += char(b);
    }
    return rUtf8Result::converted;
}

void cp1251ToUtf8(const char* text, size_t n, rString& out) {
    out.clear();
    if (text == nullptr)
        return;
    for (size_t i = 0; i < n; ++i)
        appendUtf8(out, cp1251ToUnicode(static_cast<unsigned char>(text[i])));
}
