// fuzz/fuzz_mask.cpp - matchMask and mask lists against a plain dynamic-programming matcher.
#include "rstring.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
unsigned char referenceFold(unsigned char b) {
    if ((b >= 'a' && b <= 'z') || b >= 0xE0)
        return b - 0x20;
    return b == 0xB8 ? 0xA8 : b;
}

// match[i][j]: the mask from i matches the text from j.
bool referenceMatch(const std::string& mask, const std::string& text, bool caseSensitive) {
    const size_t m = mask.size(), n = text.size();
    std::vector<std::vector<char>> match(m + 1, std::vector<char>(n + 1, 0));
    match[m][n] = 1;
    for (size_t i = m; i-- > 0;) {
        const unsigned char c = mask[i];
        for (size_t j = n + 1; j-- > 0;) {
            if (c == '*') {
                match[i][j] = match[i + 1][j] || (j < n && match[i][j + 1]);
                continue;
            }
            if (j == n)
                continue;
            const unsigned char t = text[j];
            bool one;
            if (c == '?')
                one = true;
            else if (c == '#')
                one = t >= '0' && t <= '9';
            else
                one = caseSensitive ? c == t : referenceFold(c) == referenceFold(t);
            match[i][j] = one && match[i + 1][j + 1];
        }
    }
    return match[0][0];
}
} // namespace

// The input is mask, a zero byte, then the text; the first byte's low bit asks for case.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool caseSensitive = data[0] & 1;
    const std::string all(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t split = all.find('\0');
    std::string mask = all.substr(0, split);
    std::string text = split == std::string::npos ? mask : all.substr(split + 1);
    text = text.substr(0, text.find('\0'));
    // Bounded so that the reference stays quick.
    mask.resize(mask.size() < 128 ? mask.size() : 128);
    text.resize(text.size() < 1024 ? text.size() : 1024);

    bool anyMask = false;
    size_t start = 0;
    for (;;) {
        const size_t end = mask.find(';', start);
        const std::string one = mask.substr(start, end == std::string::npos ? end : end - start);
        const bool expected = referenceMatch(one, text, caseSensitive);
        if (matchMask(one.c_str(), text.c_str(), caseSensitive) != expected)
            std::abort();
        anyMask = anyMask || expected;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    const rString subject(text.c_str());
    if (subject.matches(mask.c_str(), caseSensitive, false) != (anyMask ? 1 : 0))
        std::abort();
    if (subject.matches(mask.c_str(), caseSensitive, true) != (anyMask ? 0 : 1))
        std::abort();
    return 0;
}
