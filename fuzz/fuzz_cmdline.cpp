// fuzz/fuzz_cmdline.cpp - rCommandLine::parse on arbitrary text against a reading of its rule:
// blanks separate arguments, a token opened by a double quote runs to the next double quote, and
// a double quote that ends a token is dropped. Parsing twice with one object must not leak.
#include "fuzzinput.h"
#include "rsystem.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> reference(const std::string& s) {
    std::vector<std::string> out;
    size_t i = 0;
    for (;;) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        if (i >= s.size())
            break;
        std::string token;
        const size_t close = s[i] == '"' ? s.find('"', i + 1) : std::string::npos;
        if (close != std::string::npos) {
            token = s.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            const size_t from = s[i] == '"' ? i + 1 : i;
            size_t end = s.find(' ', from);
            end = end == std::string::npos ? s.size() : end;
            token = s.substr(from, end - from);
            if (!token.empty() && token.back() == '"')
                token.pop_back();
            i = end;
        }
        if (!token.empty())
            out.push_back(token);
    }
    return out;
}

void check(rCommandLine& line, const std::string& text) {
    FUZZ_EXPECT(line.parse(text.c_str()));
    const std::vector<std::string> expected = reference(text);
    FUZZ_EXPECT(line.count() == expected.size());
    for (uint32_t i = 0; i < expected.size(); ++i)
        FUZZ_EXPECT(line.argument(i) != nullptr && expected[i] == line.argument(i));
    FUZZ_EXPECT(line.argument(line.count()) == nullptr);
}

} // namespace

// The input: two command lines split by a zero byte, parsed one after the other by one object.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string all(reinterpret_cast<const char*>(data), size);
    const size_t split = all.find('\0');
    const std::string first = all.substr(0, split);
    std::string second = split == std::string::npos ? "" : all.substr(split + 1);
    second = second.substr(0, second.find('\0'));
    rCommandLine line;
    check(line, first);
    check(line, second);
    FUZZ_EXPECT(line.parse(nullptr) && line.count() == 0);
    return 0;
}
