// rLib/rcrash_posix.h - what the crash handler and the thread snapshot share on POSIX: text built
// in fixed storage without allocating, the lock over the shared report storage, frame lines.
#pragma once

#include "rcrash.h"

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace rCrashShared {

// Text appended into a fixed buffer; what does not fit is dropped. Allocates nothing.
struct Text {
    char* data;
    size_t size;
    size_t length = 0;
    bool cut = false;

    Text(char* buffer, size_t n) : data(buffer), size(n) {
        if (n > 0)
            buffer[0] = 0;
    }
    bool truncated() const { return cut; }
    void add(const char* text);
    void add(const char* text, size_t n);
    void addChar(char c) { add(&c, 1); }
    // Upper-case hexadecimal with at least digits digits.
    void addHex(uint64_t value, int digits);
    // Decimal with at least digits digits (zero-padded).
    void addDecimal(int64_t value, int digits = 1);
    // The asctime form of a local time: 24 characters and a line feed.
    void addAsctime(const struct tm& t);
    // Hours (unpadded), minutes and seconds: 3725 gives 1:02:05.
    void addDuration(uint64_t seconds);
};

// The process-wide report storage is used by one report or snapshot at a time. take waits
// (sleeping) until it is free; a thread that holds it already gets it again (true: it took it
// now, false: it held it). release frees it.
bool takeStorage();
void releaseStorage();

// Storage of one report or snapshot, reserved at load time.
struct Storage {
    char exePath[4096];
    char fileName[4096];
    char program[4096];
    char text[48 * 1024];
    uintptr_t frames[crashMaxFrames];
};
Storage& storage();

// The running executable's path (false when it cannot be read).
bool executablePath(char* out, size_t size);
// One frame line per frame that lies in a module: its file name, then "\t0x%08X\t0x%08X\r\n"
// with the module's base and the frame's address.
// The executable's own frames are named after exePath.
void addFrameLines(Text& out, const char* exePath, const uintptr_t* frames, uint32_t count);
// Writes all of text to fd with direct system calls.
void writeAll(int fd, const char* text, size_t n);
// Opens a diagnostic file for appending, written through to the disk.
int openAppend(const char* name);
// Tests: read memory only through the pipe probe, the fallback where the system refuses the
// direct read of the process's own memory.
void forcePipeProbe(bool on);

} // namespace rCrashShared
