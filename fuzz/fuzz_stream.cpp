// fuzz/fuzz_stream.cpp - an rFile driven by a fuzzed sequence of reads, writes, seeks, line reads,
// ungets, flushes and buffer changes, checked after every step against a plain byte-array model.
#include "fuzzinput.h"
#include "rstream.h"

#include <cstring>
#include <string>

namespace {

// What the file and the stream position must be.
struct Model {
    std::string bytes;
    int64_t pos = 0;

    int64_t size() const { return int64_t(bytes.size()); }
    void write(const std::string& data) {
        if (data.empty())
            return; // no bytes: the file keeps its size even where pos lies beyond it
        const size_t end = size_t(pos) + data.size();
        if (bytes.size() < end)
            bytes.resize(end, '\0');
        bytes.replace(size_t(pos), data.size(), data);
        pos = int64_t(end);
    }
};

// The stream must hold exactly this error (0: none); it is cleared afterwards, as callers do.
void expectError(rFile& f, uint32_t code) {
    FUZZ_EXPECT(f.errorCode() == code);
    f.clearError();
}

uint32_t bufferSize(uint8_t b) {
    // Small sizes, where every operation crosses the buffer's edges, and a few large ones.
    return (b & 0x80) != 0 ? uint32_t(b & 0x7F) * 61 : uint32_t(b & 0x3F);
}

void readLine(rFile& f, Model& m, uint32_t max, bool unixLines) {
    rString line;
    const bool ok = f.readLine(line, max);
    std::string expected;
    int64_t at = m.pos;
    uint32_t error = 0;
    for (;;) {
        if (at >= m.size()) {
            error = erFileEof;
            break;
        }
        const char c = m.bytes[size_t(at++)];
        if (c == 0)
            break;
        if (c == 10) {
            if (!unixLines && !expected.empty() && expected.back() == 13)
                expected.pop_back();
            break;
        }
        expected += c;
        if (max != 0 && expected.size() > max) {
            error = erFileIO;
            break;
        }
    }
    FUZZ_EXPECT(ok == (error == 0));
    FUZZ_EXPECT(line.length() == expected.size() && line.text()[line.length()] == 0 &&
                std::memcmp(line.text(), expected.data(), expected.size()) == 0);
    if (at > m.pos)
        m.pos = at;
    expectError(f, error);
}

} // namespace

// The input: buffer size, line style, the file's first content, then operations.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint32_t capacity = bufferSize(in.byte());
    const bool unixLines = in.byte() & 1;
    Model m;
    m.bytes = in.text(256);
    rFile f(memoryFile(m.bytes), capacity);
    f.setUnixLines(unixLines);
    FUZZ_EXPECT(f.bufferSize() == capacity);
    char block[1100];

    // Every operation takes at least one byte of input and moves at most about a thousand bytes,
    // so the work per input is bounded by its length.
    while (!in.done()) {
        const uint8_t op = in.byte();
        switch (op % 12) {
        case 0: { // read
            const uint32_t n = in.below(1024);
            const uint32_t k = f.read(block, n);
            if (n == 0) {
                FUZZ_EXPECT(k == 0);
            } else if (m.pos >= m.size()) {
                FUZZ_EXPECT(k == 0);
                expectError(f, erFileEof);
            } else {
                FUZZ_EXPECT(k >= 1 && k <= n && int64_t(k) <= m.size() - m.pos &&
                            std::memcmp(block, m.bytes.data() + m.pos, k) == 0);
                m.pos += k;
            }
            break;
        }
        case 1: { // readExact
            const uint32_t n = in.below(1024);
            const bool ok = f.readExact(block, n);
            if (n == 0 || m.pos + n <= m.size()) {
                FUZZ_EXPECT(ok && std::memcmp(block, m.bytes.data() + m.pos, n) == 0);
                m.pos += n;
            } else {
                FUZZ_EXPECT(!ok);
                if (m.pos < m.size())
                    m.pos = m.size();
                expectError(f, erFileEof);
            }
            break;
        }
        case 2:
        case 3: { // write
            const std::string bytes = in.text(1024);
            FUZZ_EXPECT(f.write(bytes.data(), uint32_t(bytes.size())));
            m.write(bytes);
            break;
        }
        case 4: { // seek from the start, the current position or the end
            const int origin = in.byte() % 3;
            const int64_t offset = int16_t(in.u16());
            const int64_t base = origin == 0 ? 0 : origin == 1 ? m.pos : m.size();
            const int64_t r = f.seek(offset, origin);
            if (base + offset < 0) {
                FUZZ_EXPECT(r < 0);
                expectError(f, erFileSeek);
            } else {
                FUZZ_EXPECT(r == base + offset);
                m.pos = r;
            }
            break;
        }
        case 5:
            readLine(f, m, 0, unixLines);
            break;
        case 6:
            readLine(f, m, in.below(64), unixLines);
            break;
        case 7: // unget the byte just read
            if (m.pos > 0 && m.pos <= m.size()) {
                f.unget(m.bytes[size_t(m.pos - 1)]);
                --m.pos;
            }
            break;
        case 8:
            FUZZ_EXPECT(f.flush(-1));
            break;
        case 9:
            FUZZ_EXPECT(f.size() == m.size());
            break;
        case 10: { // a new buffer size in the middle of the work
            const uint32_t n = bufferSize(in.byte());
            FUZZ_EXPECT(f.setBufferSize(n) && f.bufferSize() == n);
            break;
        }
        case 11: { // a string in its stored form, written and read back where it was put
            const std::string text = in.text(300);
            const int64_t at = m.pos;
            FUZZ_EXPECT(f.writeString(rString(text.c_str())));
            std::string stored(4, '\0');
            const uint32_t n = uint32_t(std::strlen(text.c_str()));
            for (int i = 0; i < 4; ++i)
                stored[size_t(i)] = char(n >> (8 * i));
            m.write(stored + text.substr(0, n));
            FUZZ_EXPECT(f.seek(at, 0) == at);
            rString back;
            FUZZ_EXPECT(f.readString(back, 0) && back == text.c_str() && f.tell() == m.pos);
            break;
        }
        }
        FUZZ_EXPECT(!f.hasError() && f.tell() == m.pos);
    }
    FUZZ_EXPECT(f.flush(-1));
    FUZZ_EXPECT(fileContent(int(f.handle())) == m.bytes);
    return 0;
}
