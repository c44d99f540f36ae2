// rLib/rcrash_win32.h - what the crash handler and the thread snapshot share on Windows: the lock
// over the shared report storage, the storage, the diagnostic file and frame lines.
#pragma once

#include "rcrash.h"
#include "rcrashtext.h"

#include <windows.h>

namespace rCrashShared {

constexpr size_t pathSize = 4096;
constexpr uint32_t maxModules = 1024;

// The process-wide report storage is used by one report or snapshot at a time. take waits
// (sleeping) until it is free; a thread that holds it already gets it again (true: it took it
// now, false: it held it). release frees it.
bool takeStorage();
void releaseStorage();

// Storage of one report or snapshot, reserved at load time.
struct Storage {
    wchar_t exeWide[pathSize];
    char exePath[pathSize];
    char fileName[pathSize];
    wchar_t fileWide[pathSize];
    wchar_t program[pathSize];
    wchar_t commandLine[2 * pathSize + 8];
    char text[48 * 1024];
    uintptr_t frames[crashMaxFrames];
    HMODULE modules[maxModules];
    wchar_t moduleWide[pathSize];
    char moduleName[pathSize];
};
Storage& storage();

// Opens the executable's diagnostic file with extension ext for appending, written through to
// the disk; s.exePath, s.exeWide, s.fileName and s.fileWide are filled in. INVALID_HANDLE_VALUE
// when it cannot be named or opened, or is no disk file.
HANDLE openDiagnosticFile(Storage& s, const char* ext);
// One frame line per frame that lies in a module of the loader: its file name, then
// "\t0x%08X\t0x%08X\r\n" with the module's base and the frame's address.
void addFrameLines(Storage& s, Text& out, uint32_t count);
// Writes text to the file in one call, so that reports of other processes stay whole.
void writeText(HANDLE file, const Text& text);

} // namespace rCrashShared
