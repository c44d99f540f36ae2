// rLib/rcrash.h - crash reports: the per-thread fault handler that appends a report with the
// call stack to the executable's .err file and starts the feedback program, and the stack walk
// that the thread snapshot shares.
#pragma once

#include <cstddef>
#include <cstdint>

// Exception codes of the reports (the values a Windows build reports, so that reports read alike).
enum : uint32_t {
    exAccessViolation = 0xC0000005,
    exIntDivideByZero = 0xC0000094,
    exArithmetic = 0xC0000090,
    exIllegalInstruction = 0xC000001D,
};

constexpr uint32_t crashMaxFrames = 100;   // frames walked and written at most
constexpr uint32_t crashContextSize = 256; // the context text keeps at most 254 characters

// The registers a stack walk starts from: an instruction address and its frame pointer.
struct rCrashRegisters {
    uintptr_t pc;
    uintptr_t fp;
};

// Installs the fault handler for the calling thread (and, once, for the process) and sets the
// thread's context text: none or empty leaves it empty. A fault on a thread that has not installed
// it keeps the action the process had before.
void installCrashHandler(const char* context);
// The calling thread's context text ("" when none); cleared after each report.
const char* crashContext();
// Writes the report of a fault with code at registers, clears the context text and, unless
// crashQuiet is set, starts "Feedback.exe" from the executable's directory with the report's
// path. Allocates nothing; also called from the signal handler.
void crashHandler(uint32_t code, const rCrashRegisters& registers);
// Follows the frame-pointer chain from registers into frames (crashMaxFrames entries): the first
// entry is registers.pc, then return addresses, innermost first. Memory is tested before it is
// read, so a broken chain ends the walk and never faults. Returns the entries filled (1 to 100).
uint32_t walkStack(const rCrashRegisters& registers, uintptr_t* frames);

// Writes the crash-report or snapshot name for the executable path exe into out (size bytes):
// the file name's extension replaced by ext, or ext appended to a name without a dot; a dot in a
// directory name is never taken. False when it does not fit.
bool diagnosticFileName(const char* exe, const char* ext, char* out, size_t size);

// For rThread: the calling thread's catch-all (a sigjmp_buf) to which a fault is handed after the
// report, or null for none (the fault then takes the process's former action).
void setCrashCatchAll(void* jumpBuffer);
// Removes the calling thread's handler and alternate signal stack.
void removeCrashHandler();
