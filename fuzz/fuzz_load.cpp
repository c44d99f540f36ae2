// fuzz/fuzz_load.cpp - stored forms read from arbitrary bytes: readString in both forms and the
// load of rString, rObjArray, rObject and rDateTime, one after another from the same stream.
// Strings are checked against the bytes; every value must come out whole or fail cleanly, and
// nothing may leak.
#include "fuzzinput.h"
#include "rdatetime.h"
#include "rstream.h"

#include <cstring>
#include <string>

namespace {

uint32_t littleEndian(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i)
        v |= uint32_t(uint8_t(s[at + i])) << (8 * i);
    return v;
}

// The string stored at offset at, when it is there whole and shorter than max (0: no limit).
bool storedString(const std::string& s, size_t at, uint32_t max, std::string& out) {
    if (at + 4 > s.size())
        return false;
    const uint32_t n = littleEndian(s, at);
    if ((max != 0 && n >= max) || n > s.size() - at - 4)
        return false;
    out = s.substr(at + 4, n);
    return true;
}

void expectText(const rString& str, const std::string& expected) {
    // The stored bytes may hold zero bytes: the count, not the terminator, tells the length.
    FUZZ_EXPECT(str.getCount() == expected.size() + 1 && str.getItems()[expected.size()] == 0 &&
                std::memcmp(str.getItems(), expected.data(), expected.size()) == 0);
}

} // namespace

// The input: the stream's buffer size, then the stream's content: values one after another,
// each a kind byte followed by that kind's stored form.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint32_t capacity = in.byte() % 40;
    const std::string content = in.rest();
    rFile f(memoryFile(content), capacity);
    rObjArray array(in.done() ? 0 : 2, 3);

    // Each value consumes at least its kind byte, so the loop ends with the content.
    while (!f.hasError()) {
        const size_t at = size_t(f.tell());
        uint8_t kind = 0;
        if (!f.readExact(&kind, 1))
            break;
        std::string expected;
        switch (kind % 6) {
        case 0:
        case 1: { // readString with a limit taken from the kind byte (0: none)
            const uint32_t max = kind / 6;
            rString str;
            const bool ok = f.readString(str, max);
            FUZZ_EXPECT(ok == storedString(content, at + 1, max, expected));
            if (ok)
                expectText(str, expected);
            else
                FUZZ_EXPECT(str.getCount() >= 1 && str.getItems()[str.getCount() - 1] == 0);
            break;
        }
        case 2: { // the heap form
            char* text = f.readString();
            FUZZ_EXPECT((text != nullptr) == storedString(content, at + 1, 0, expected));
            if (text != nullptr) {
                FUZZ_EXPECT(std::memcmp(text, expected.data(), expected.size()) == 0 &&
                            text[expected.size()] == 0);
                memFree(text);
            }
            break;
        }
        case 3: { // rString::load over a string that had text before
            rString str("previous text");
            const bool ok = str.load(&f);
            FUZZ_EXPECT(ok == storedString(content, at + 1, 0, expected));
            if (ok)
                expectText(str, expected);
            FUZZ_EXPECT(str.getCount() >= 1 && str.getItems()[str.getCount() - 1] == 0);
            break;
        }
        case 4: { // rObjArray::load appends to what the array holds
            const uint32_t before = array.getCount();
            array.load(&f);
            FUZZ_EXPECT(array.getCount() >= before);
            for (uint32_t i = 0; i < array.getCount(); ++i) {
                rString text;
                FUZZ_EXPECT(array.getAt(i) != nullptr);
                array.getAt(i)->errorText(text);
            }
            // Remove a few again, so that deletion meets loaded elements too.
            while (array.getCount() > 4)
                array.deleteAt(array.getCount() / 2);
            break;
        }
        case 5: { // rDateTime::load, and the calendar of whatever count it holds
            rDateTime time(2003, 11, 9, 14, 16, 34);
            const bool ok = time.load(&f);
            FUZZ_EXPECT(ok == (at + 5 <= content.size()));
            if (ok)
                FUZZ_EXPECT(time.getSeconds() == littleEndian(content, at + 1));
            const rString date = time.dateText();
            const rString clock = time.timeText();
            const rString both = time.formatAs("%Y-%m-%d %H:%M:%S");
            FUZZ_EXPECT(time.getMonth() <= 12 && time.getDay() <= 31 && time.getHour() < 24 &&
                        time.getMinute() < 60 && time.getSecond() < 61);
            (void)time.number();
            (void)time.timeT();
            break;
        }
        }
        if (f.errorCode() == erInsufMemory)
            std::abort(); // the bytes present bound every allocation: no length may exhaust it
    }
    return 0;
}
