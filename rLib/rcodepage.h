// rLib/rcodepage.h - code-page tables of our own, independent of the locale: Windows-1251 to and
// from Unicode, UTF-8 and the OEM code page 866.
#pragma once

#include <cstddef>
#include <cstdint>

class rString;

// Windows-1251 byte to its Unicode code point; the one unassigned byte, 0x98, is U+0098.
uint16_t cp1251ToUnicode(unsigned char b);
// Unicode code point to its Windows-1251 byte; false when the code page has no such character.
bool unicodeToCp1251(uint32_t codePoint, unsigned char& out);

// Between the ANSI (1251) and OEM (866) code pages; a character the other page lacks becomes the
// nearest look-alike the table gives, or '?'.
unsigned char cp1251ToCp866(unsigned char b);
unsigned char cp866ToCp1251(unsigned char b);

// UTF-8 text to Windows-1251.
enum class rUtf8Result {
    converted,  // out holds the 1251 form
    notUtf8,    // the text is not valid UTF-8; out holds the bytes unchanged
    unmappable, // valid UTF-8 with a character that 1251 lacks; out is unspecified
};
bool isValidUtf8(const char* text, size_t n);
rUtf8Result utf8ToCp1251(const char* text, size_t n, rString& out);
// Windows-1251 text to UTF-8.
void cp1251ToUtf8(const char* text, size_t n, rString& out);
