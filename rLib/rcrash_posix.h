// rLib/rcrash_posix.h - what the crash handler and the thread snapshot share on POSIX: the lock
// over the shared report storage, the storage, frame lines and the report file.
#pragma once

#include "rcrash.h"
#include "rcrashtext.h"

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace rCrashShared {

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
