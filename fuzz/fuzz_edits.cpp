// fuzz/fuzz_edits.cpp - fuzzed sequences of rString and rArray edits, many of them with arguments
// that point into the object's own storage, checked after every step against std::string and
// std::vector.
#include "fuzzinput.h"
#include "rstring.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// The stored-error rule makes a failed index check refuse later work of its group, so a test
// that expects a refusal clears it, as a caller would.
void expectRefused(rObject& o, uint32_t code) {
    FUZZ_EXPECT(o.errorCode() == code);
    o.clearError();
}

unsigned char upper(unsigned char b) {
    if ((b >= 'a' && b <= 'z') || b >= 0xE0)
        return b - 0x20;
    return b == 0xB8 ? 0xA8 : b;
}
unsigned char lower(unsigned char b) {
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDF))
        return b + 0x20;
    return b == 0xA8 ? 0xB8 : b;
}

void expectSame(const rString& s, const std::string& m) {
    FUZZ_EXPECT(s.getItems() != nullptr && s.getCount() == m.size() + 1 &&
                s.getCount() <= s.getLimit() && s.getItems()[m.size()] == 0 &&
                std::memcmp(s.getItems(), m.data(), m.size()) == 0);
}

// The substring rule of mid, left and right.
std::string midModel(const std::string& m, int64_t pos, int64_t n) {
    const int64_t len = int64_t(m.size());
    if (pos < 0 || pos >= len)
        return "";
    if (n > len || n < 0)
        n = len - pos;
    if (n <= 0)
        return "";
    return m.substr(size_t(pos), size_t(n < len - pos ? n : len - pos));
}

void stringEdits(FuzzInput& in) {
    rString s;
    std::string m;
    // The text is bounded so that one input's work stays small (doubling edits could otherwise
    // make every later step move megabytes).
    for (int steps = 0; steps < 200 && !in.done() && m.size() < (1u << 16); ++steps) {
        const uint32_t len = uint32_t(m.size());
        const uint8_t op = in.byte();
        switch (op % 24) {
        case 0: { // append an outside text
            const std::string t = in.text(40);
            s += t.c_str();
            m += t.c_str();
            break;
        }
        case 1: { // append a part of its own text
            const uint32_t k = in.below(len + 1);
            s += s.text() + k;
            m += std::string(m.c_str() + k);
            break;
        }
        case 2: { // append itself
            s += s;
            m += m;
            break;
        }
        case 3: { // append one byte (a zero byte is ignored)
            const char c = char(in.byte());
            s += c;
            if (c != 0)
                m += c;
            break;
        }
        case 4: { // assign an outside text
            const std::string t = in.text(40);
            s = t.c_str();
            m = t.c_str();
            break;
        }
        case 5: { // assign a part of its own text
            const uint32_t k = in.below(len + 1);
            s = s.text() + k;
            m = std::string(m.c_str() + k);
            break;
        }
        case 6: { // assign itself, and a copy of itself
            const rString& self = s;
            s = self;
            rString copy(s);
            expectSame(copy, m);
            s = copy;
            break;
        }
        case 7: { // insert outside bytes before any byte of the text
            const std::string t = in.text(40);
            const uint32_t index = in.below(len + 1);
            FUZZ_EXPECT(s.insertItems(t.data(), index, uint32_t(t.size())) == 1);
            m.insert(index, t);
            break;
        }
        case 8: { // insert bytes of its own block, also beyond the text, up to the block's end
            const uint32_t limit = s.getLimit();
            const uint32_t k = in.below(limit);
            const uint32_t n = in.below(limit - k + 1);
            const uint32_t index = in.below(len + 1);
            const std::string source(s.getItems() + k, n);
            FUZZ_EXPECT(s.insertItems(s.getItems() + k, index, n) == 1);
            m.insert(index, source);
            break;
        }
        case 9: {
            const uint32_t index = in.below(len + 2);
            s.truncate(index);
            if (index < len)
                m.resize(index);
            break;
        }
        case 10: { // fill: n copies of a byte in front of index; a zero byte cuts the text there
            const char c = char(in.byte() % 4 == 0 ? 0 : 'f');
            const uint32_t index = in.below(len + 2);
            const uint32_t n = in.below(40);
            const int r = s.fill(c, index, n);
            if (index > len) {
                FUZZ_EXPECT(r == 0);
                expectRefused(s, erArrayIndex);
            } else {
                FUZZ_EXPECT(r == 1);
                if (c == 0)
                    m.resize(index);
                else
                    m.insert(index, n, c);
            }
            break;
        }
        case 11: {
            const uint8_t which = in.byte() % 3;
            size_t from = 0, to = m.size();
            if (which != 1)
                while (from < to && uint8_t(m[from]) <= 32)
                    ++from;
            if (which != 0)
                while (to > from && uint8_t(m[to - 1]) <= 32)
                    --to;
            which == 0 ? s.trimLeft() : which == 1 ? s.trimRight() : s.trim();
            m = m.substr(from, to - from);
            break;
        }
        case 12: { // pad on the right, the left or both
            const uint8_t which = in.byte() % 3;
            const uint32_t width = in.below(len + 60);
            const char c = char(in.byte() % 8 == 0 ? 0 : '-');
            if (which == 0)
                s.padRight(width, c);
            else if (which == 1)
                s.padLeft(width, c);
            else
                s.center(width, c);
            if (c != 0 && width > len) {
                const uint32_t gap = width - len;
                const uint32_t before = which == 0 ? 0 : which == 1 ? gap : gap / 2;
                m = std::string(before, c) + m + std::string(gap - before, c);
            }
            break;
        }
        case 13: { // substrings
            const int32_t pos = int32_t(in.below(len + 4)) - 2;
            const int32_t n = int32_t(in.below(len + 6)) - 3;
            expectSame(s.mid(pos, n), midModel(m, pos, n));
            expectSame(s.left(n), midModel(m, 0, n));
            expectSame(s.right(n), midModel(m, int64_t(len) - n, n));
            break;
        }
        case 14: { // a smaller or larger block keeps the text that fits, terminated
            const uint32_t n = 1 + in.below(len + 20);
            FUZZ_EXPECT(s.setLimit(n));
            if (m.size() > n - 1)
                m.resize(n - 1);
            break;
        }
        case 15: { // one byte inserted before any byte of the text
            const char c = char(in.byte());
            const uint32_t index = in.below(len + 1);
            FUZZ_EXPECT(s.insert(c, index) == 1);
            m.insert(m.begin() + index, c);
            break;
        }
        case 16: { // one byte added in front (a zero byte is refused)
            const char c = char(in.byte() % 4 == 0 ? 0 : in.byte());
            FUZZ_EXPECT(s.add(c) == (c != 0 ? 1 : 0));
            if (c != 0)
                m.insert(m.begin(), c);
            break;
        }
        case 17:
            if (len > 0) {
                const uint32_t index = in.below(len);
                s.remove(index);
                m.erase(index, 1);
            }
            break;
        case 18:
            if (len > 0) {
                const uint32_t to = in.below(len);
                const uint32_t from = in.below(to + 1);
                s.removeRange(int32_t(from), int32_t(to));
                m.erase(from, to - from + 1);
            }
            break;
        case 19:
            s.updateLength();
            m = std::string(m.c_str());
            break;
        case 20:
            if (in.byte() & 1) {
                s.toUpper();
                for (char& c : m)
                    c = char(upper(uint8_t(c)));
            } else {
                s.toLower();
                for (char& c : m)
                    c = char(lower(uint8_t(c)));
            }
            break;
        case 21:
            s.clear();
            m.clear();
            break;
        case 22: { // a constructed part of its own text
            const uint32_t k = in.below(len + 1);
            const uint32_t n = in.below(len - k + 2);
            const rString part(s.text() + k, n);
            expectSame(part, std::string(m.c_str() + k).substr(0, n));
            break;
        }
        case 23: { // a search, against the model
            const std::string pattern = in.text(4);
            const int found = s.findLast(pattern.c_str());
            const std::string p(pattern.c_str());
            const std::string hay = m + '\0';
            const size_t at = p.empty() ? std::string::npos : hay.rfind(p);
            FUZZ_EXPECT(found == (at == std::string::npos ? -1 : int(at)));
            break;
        }
        }
        FUZZ_EXPECT(!s.hasError());
        expectSame(s, m);
    }
}

void arrayEdits(FuzzInput& in) {
    const uint32_t initial = in.below(6);
    const uint32_t step = in.below(5);
    rArray<uint32_t> a(initial, step);
    // With a step of 0 a full array cannot grow by one element: the growth is refused as a
    // failed allocation and the array stays as it was.
    auto cannotGrowByOne = [&] { return step == 0 && a.getCount() >= a.getLimit(); };
    std::vector<uint32_t> m;
    uint32_t next = 1;
    // Bounded like the text: inserting the block into itself grows it by its own size each time.
    for (int steps = 0; steps < 200 && !in.done() && a.getLimit() < (1u << 16); ++steps) {
        const uint32_t count = uint32_t(m.size());
        const uint8_t op = in.byte();
        switch (op % 10) {
        case 0:
            if (cannotGrowByOne()) {
                FUZZ_EXPECT(a.add(next) == 0);
                expectRefused(a, erInsufMemory);
                break;
            }
            FUZZ_EXPECT(a.add(next) == 1);
            m.push_back(next++);
            break;
        case 1: { // insert at any place, and one place too far
            const uint32_t index = in.below(count + 2);
            const bool full = cannotGrowByOne();
            const int r = a.insert(next, index);
            if (index > count) {
                FUZZ_EXPECT(r == 0);
                expectRefused(a, erArrayIndex);
            } else if (full) {
                FUZZ_EXPECT(r == 0);
                expectRefused(a, erInsufMemory);
            } else {
                FUZZ_EXPECT(r == 1);
                m.insert(m.begin() + index, next++);
            }
            break;
        }
        case 2: { // insert outside values
            const uint32_t n = in.below(12);
            std::vector<uint32_t> values(n);
            for (uint32_t& v : values)
                v = next++;
            const uint32_t index = in.below(count + 1);
            FUZZ_EXPECT(a.insertItems(values.data(), index, n) == 1);
            m.insert(m.begin() + index, values.begin(), values.end());
            break;
        }
        case 3: { // insert values of its own block, also beyond count, up to the block's end
            const uint32_t limit = a.getLimit();
            if (limit == 0)
                break;
            const uint32_t k = in.below(limit);
            const uint32_t n = in.below(limit - k + 1);
            const uint32_t index = in.below(count + 1);
            const std::vector<uint32_t> source(a.getItems() + k, a.getItems() + k + n);
            FUZZ_EXPECT(a.insertItems(a.getItems() + k, index, n) == 1);
            m.insert(m.begin() + index, source.begin(), source.end());
            break;
        }
        case 4:
            if (count > 0) {
                const uint32_t index = in.below(count);
                a.remove(index);
                m.erase(m.begin() + index);
            } else {
                a.remove(0);
                expectRefused(a, erArrayIndex);
            }
            break;
        case 5:
            if (count > 0) {
                const uint32_t to = in.below(count);
                const uint32_t from = in.below(to + 1);
                a.removeRange(int32_t(from), int32_t(to));
                m.erase(m.begin() + from, m.begin() + to + 1);
            }
            break;
        case 6: { // a new block size; elements that no longer fit are gone
            const uint32_t n = in.below(count + 8);
            FUZZ_EXPECT(a.setLimit(n) && a.getLimit() == n);
            if (m.size() > n)
                m.resize(n);
            break;
        }
        case 7: {
            const uint32_t n = in.below(count + 1);
            a.setCount(n);
            m.resize(n);
            break;
        }
        case 8:
            a.clear();
            m.clear();
            break;
        case 9: // reading at and past the end yields zero
            FUZZ_EXPECT(a[count] == 0 && a.get(int32_t(count)) == 0 && a.get(-1) == 0);
            break;
        }
        FUZZ_EXPECT(!a.hasError() && a.getCount() == m.size() && a.getCount() <= a.getLimit());
        for (uint32_t i = 0; i < m.size(); ++i)
            FUZZ_EXPECT(a[i] == m[i]);
    }
}

} // namespace

// The input's first byte chooses the string or the array; the rest are the edits.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    if (in.byte() & 1)
        arrayEdits(in);
    else
        stringEdits(in);
    return 0;
}
