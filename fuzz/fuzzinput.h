// fuzz/fuzzinput.h - typed values taken one after another from a fuzz input, and the scratch
// places (a directory, an in-memory file) that targets over files need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// A finding: what was expected, and where; then the abort that libFuzzer reports.
[[noreturn]] inline void fuzzFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: expected %s\n", file, line, what);
    std::abort();
}
#define FUZZ_EXPECT(cond) ((cond) ? (void)0 : fuzzFailed(#cond, __FILE__, __LINE__))

// Reads from the front of the input; past its end every value is zero.
class FuzzInput {
public:
    FuzzInput(const uint8_t* bytes, size_t n) : data(bytes), size(n) {}

    bool done() const { return pos >= size; }
    size_t left() const { return size - pos; }
    uint8_t byte() { return pos < size ? data[pos++] : 0; }
    uint32_t u16() { return uint32_t(byte()) | uint32_t(byte()) << 8; }
    uint32_t u32() { return u16() | u16() << 16; }
    // A value below n (n > 0), from as many bytes as n needs.
    uint32_t below(uint32_t n) {
        return n <= 256 ? byte() % n : n <= 65536 ? u16() % n : u32() % n;
    }
    // Up to n bytes, fewer where the input ends.
    std::string bytes(size_t n) {
        const size_t k = n < left() ? n : left();
        std::string s(reinterpret_cast<const char*>(data + pos), k);
        pos += k;
        return s;
    }
    // A short text: a length byte below limit, then that many bytes.
    std::string text(size_t limit) { return bytes(below(uint32_t(limit))); }
    std::string rest() { return bytes(left()); }

private:
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};

// A fresh directory below $TMPDIR, else below /dev/shm where the machine has it (creating,
// syncing and removing files there never waits for a disk), else below /tmp.
inline std::string fuzzDirectory(const char* tag) {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp != 0       ? tmp
                       : ::access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                                         : "/tmp";
    std::string pattern = base + "/" + tag + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        std::abort();
    return pattern;
}

// A file that lives only in memory, holding the given bytes, positioned at its start. The same
// file serves every input of a process (creating one costs more than a whole run); the caller
// owns the returned descriptor, a duplicate, and closes it.
inline int memoryFile(const std::string& content) {
    static const int file = ::memfd_create("fuzz", 0);
    if (file < 0 || ::ftruncate(file, 0) != 0 ||
        (!content.empty() &&
         ::pwrite(file, content.data(), content.size(), 0) != ssize_t(content.size())) ||
        ::lseek(file, 0, SEEK_SET) != 0)
        std::abort();
    const int fd = ::dup(file);
    if (fd < 0)
        std::abort();
    return fd;
}

// The whole content of a descriptor's file, read straight into a string of the file's size.
inline std::string fileContent(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0)
        std::abort();
    std::string out(size_t(st.st_size), '\0');
    size_t have = 0;
    for (;;) {
        if (have == out.size())
            out.resize(have + 65536); // the file grew since
        const ssize_t k = ::pread(fd, out.data() + have, out.size() - have, off_t(have));
        if (k < 0)
            std::abort();
        if (k == 0) {
            out.resize(have);
            return out;
        }
        have += size_t(k);
    }
}
