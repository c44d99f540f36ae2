// fuzz/fuzz_path.cpp - rString's path and substring members on arbitrary names, in both styles:
// nothing may crash, and every result keeps its terminator and a count of at least one.
#include "rstring.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
void expectSound(const rString& s) {
    const uint32_t count = s.getCount();
    const char* items = s.getItems();
    if (count < 1 || items == nullptr || count > s.getLimit() || items[count - 1] != 0 ||
        std::strlen(items) != count - 1)
        std::abort();
}

// An absolute Unix name made normal: only whole '.' components go, and only whole '..'
// components climb (never above the root); every other name, dots and blanks included, stays.
std::string normalUnix(const std::string& joined) {
    std::vector<std::string> kept;
    size_t at = 1;
    bool directory = false;
    while (at <= joined.size()) {
        size_t end = joined.find('/', at);
        end = end == std::string::npos ? joined.size() : end;
        const std::string part = joined.substr(at, end - at);
        directory = end == joined.size() ? part.empty() || part == "." || part == ".." : true;
        if (part == "..") {
            if (!kept.empty())
                kept.pop_back();
        } else if (part != "." && !part.empty()) {
            kept.push_back(part);
        }
        at = end + 1;
    }
    std::string out;
    for (const std::string& part : kept)
        out += "/" + part;
    return out.empty() ? "/" : directory ? out + "/" : out;
}
} // namespace

// The input: one byte of options, then a name, a zero byte, a base and an extension split by
// another zero byte.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t options = data[0];
    const std::string all(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t first = all.find('\0');
    const std::string name = all.substr(0, first);
    const std::string rest = first == std::string::npos ? "" : all.substr(first + 1);
    const size_t second = rest.find('\0');
    const std::string base = rest.substr(0, second);
    std::string ext = second == std::string::npos ? "" : rest.substr(second + 1);
    ext = ext.substr(0, ext.find('\0'));

    rString s(name.c_str());
    s.setUnixStyle(options & 1);
    expectSound(s);
    for (const rString& part : {s.getFileName(), s.getDirectory(), s.getExtension(),
                                s.getBaseName(), s.removeExtension()}) {
        expectSound(part);
        if (part.getSeparator() != s.getSeparator() || part.length() > s.length())
            std::abort();
    }
    const int32_t a = int8_t(options), b = int8_t(size);
    for (const rString& part : {s.mid(a, b), s.left(a), s.right(b)})
        expectSound(part);
    s.findLast(ext.c_str(), b);
    s.findLastChar('.', a);

    rString edited(s);
    edited.setExtension(ext.c_str());
    expectSound(edited);
    edited.addExtension(ext.c_str());
    edited.addSeparator();
    expectSound(edited);
    edited.removeSeparator();
    expectSound(edited);

    rString absolute(s);
    absolute.makeAbsolute((options & 2) ? base.c_str() : nullptr);
    expectSound(absolute);
    // A Unix-style name made absolute is the plain component-wise normal form of base/name (an
    // empty base adds nothing, so the name stays as relative as it was).
    if (s.isUnixStyle()) {
        const bool relative = name.empty() || name[0] != '/';
        std::string joined = name;
        if (relative && (options & 2) != 0)
            joined = base.empty() || base.back() == '/' ? base + name : base + "/" + name;
        // Empty components (two separators in a row) have no rule of their own: left out here.
        if (!joined.empty() && joined[0] == '/' && joined.find("//") == std::string::npos &&
            normalUnix(joined) != absolute.text()) {
            std::fprintf(stderr, "makeAbsolute of '%s' gave '%s', not '%s'\n", joined.c_str(),
                         absolute.text(), normalUnix(joined).c_str());
            std::abort();
        }
    }
    rString relative(s);
    relative.makeRelative((options & 4) ? base.c_str() : nullptr, options & 8);
    expectSound(relative);
    if (relative.isEmpty())
        std::abort();

    rString token;
    s.setTokenPos(uint8_t(options));
    while (s.getToken(token, ext.c_str()))
        expectSound(token);
    expectSound(token);
    rString trimmed(s);
    trimmed.trim();
    trimmed.capitalize();
    trimmed.center(uint8_t(options), '.');
    expectSound(trimmed);
    return 0;
}
