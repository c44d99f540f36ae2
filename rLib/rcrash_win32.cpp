// rLib/rcrash_win32.cpp - crash reports on Windows: a vectored exception handler that reports the
// faults of threads that installed it, stacks walked by the frame-pointer chain, modules from the
// loader, and the feedback program started with CreateProcessW.
#include "rcrash_win32.h"
#include "rcodepage.h"
#include "rthread.h"

#include <atomic>
#include <csetjmp>
#include <cstring>
#include <ctime>
#include <mutex>
#include <windows.h>

#include <psapi.h>

namespace {

using namespace rCrashShared;

// What the handler reads of its thread: plain data, so that reaching it allocates nothing.
struct ThreadState {
    bool installed;
    char context[crashContextSize];
    void* catchAll;
};
constinit thread_local ThreadState threadState = {};

rCrashShared::Storage sharedStorage;
std::atomic<DWORD> storageOwner{0};
std::once_flag processOnce;

// UTF-16 to 1251 without allocating; a character without a 1251 form becomes '?'.
void narrow(const wchar_t* wide, char* out, size_t size) {
    size_t n = 0;
    for (; wide[n] != 0 && n + 1 < size; ++n) {
        unsigned char b;
        out[n] = unicodeToCp1251(uint16_t(wide[n]), b) ? char(b) : '?';
    }
    out[n] = 0;
}

void widen(const char* text, wchar_t* out, size_t size) {
    size_t n = 0;
    for (; text[n] != 0 && n + 1 < size; ++n)
        out[n] = wchar_t(cp1251ToUnicode(static_cast<unsigned char>(text[n])));
    out[n] = 0;
}

// Memory the walk may read: committed, readable and no guard page.
bool readable(uintptr_t address, size_t n, bool mustWrite) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info) == 0 ||
        info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0)
        return false;
    const DWORD writes =
        PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    const DWORD reads = writes | PAGE_READONLY | PAGE_EXECUTE_READ;
    if ((info.Protect & (mustWrite ? writes : reads)) == 0)
        return false;
    const uintptr_t end = uintptr_t(info.BaseAddress) + info.RegionSize;
    return address + n <= end || readable(end, address + n - end, mustWrite);
}

// The loader's module that holds address, with its base; false for none.
bool moduleOf(Storage& s, uintptr_t address, HMODULE& module, uintptr_t& base) {
    DWORD needed = 0;
    if (!EnumProcessModules(GetCurrentProcess(), s.modules, sizeof s.modules, &needed))
        return false;
    const DWORD count =
        needed / sizeof(HMODULE) < maxModules ? needed / sizeof(HMODULE) : maxModules;
    for (DWORD i = 0; i < count; ++i) {
        MODULEINFO info;
        if (!GetModuleInformation(GetCurrentProcess(), s.modules[i], &info, sizeof info))
            continue;
        base = uintptr_t(info.lpBaseOfDll);
        if (address >= base && address - base < info.SizeOfImage) {
            module = s.modules[i];
            return true;
        }
    }
    return false;
}

void startFeedback(Storage& s) {
    const wchar_t* slash = wcsrchr(s.exeWide, L'\\');
    const size_t keep = slash != nullptr ? size_t(slash - s.exeWide + 1) : 0;
    static const wchar_t name[] = L"Feedback.exe";
    if (keep + sizeof name / sizeof name[0] > pathSize)
        return;
    std::memcpy(s.program, s.exeWide, keep * sizeof(wchar_t));
    std::memcpy(s.program + keep, name, sizeof name);
    if (GetFileAttributesW(s.program) == INVALID_FILE_ATTRIBUTES)
        return;
    // Started directly, never through a shell: the program by its full name, and a command line
    // of the quoted program name and the quoted report path as the single argument.
    const size_t programLength = wcslen(s.program);
    const size_t fileLength = wcslen(s.fileWide);
    if (programLength + fileLength + 6 > sizeof s.commandLine / sizeof(wchar_t))
        return;
    wchar_t* p = s.commandLine;
    *p++ = L'"';
    std::memcpy(p, s.program, programLength * sizeof(wchar_t));
    p += programLength;
    *p++ = L'"';
    *p++ = L' ';
    *p++ = L'"';
    std::memcpy(p, s.fileWide, fileLength * sizeof(wchar_t));
    p += fileLength;
    *p++ = L'"';
    *p = 0;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(s.program, s.commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

bool isFault(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_STACK_OVERFLOW:
        return true;
    default:
        return false;
    }
}

// Where a reported fault resumes: on the faulting thread, back in its catch-all.
[[noreturn]] void resumeAtCatchAll() {
    jmp_buf* catchAll = static_cast<jmp_buf*>(threadState.catchAll);
    threadState.catchAll = nullptr;
    longjmp(*catchAll, 1);
}

LONG CALLBACK faultHandler(EXCEPTION_POINTERS* pointers) {
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (!threadState.installed || !isFault(code))
        return EXCEPTION_CONTINUE_SEARCH; // not ours: the process's former handling
    CONTEXT& context = *pointers->ContextRecord;
#if defined(_M_X64) || defined(__x86_64__)
    const rCrashRegisters registers = {uintptr_t(context.Rip), uintptr_t(context.Rbp)};
#else
    const rCrashRegisters registers = {uintptr_t(context.Eip), uintptr_t(context.Ebp)};
#endif
    crashHandler(uint32_t(code), registers);
    if (threadState.catchAll == nullptr)
        return EXCEPTION_CONTINUE_SEARCH;
        // The thread goes on in resumeAtCatchAll, below the faulting frame on its own stack.
#if defined(_M_X64) || defined(__x86_64__)
    context.Rsp = ((context.Rsp - 512) & ~uintptr_t(15)) - 8; // as after a call
    context.Rip = uintptr_t(&resumeAtCatchAll);
#else
    context.Esp = ((context.Esp - 512) & ~DWORD(15)) - 4;
    context.Eip = DWORD(uintptr_t(&resumeAtCatchAll));
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace

bool diagnosticFileName(const char* exe, const char* ext, char* out, size_t size) {
    const char* slash = std::strrchr(exe, '\\');
    const char* other = std::strrchr(exe, '/');
    if (other != nullptr && (slash == nullptr || other > slash))
        slash = other;
    const char* name = slash != nullptr ? slash + 1 : exe;
    const char* dot = std::strrchr(name, '.');
    const size_t keep = dot != nullptr ? size_t(dot - exe) : std::strlen(exe);
    const size_t extLength = std::strlen(ext);
    if (size == 0 || keep + 1 + extLength + 1 > size)
        return false;
    std::memcpy(out, exe, keep);
    out[keep] = '.';
    std::memcpy(out + keep + 1, ext, extLength + 1);
    return true;
}

void installCrashHandler(const char* context) {
    std::call_once(processOnce, [] { AddVectoredExceptionHandler(1, faultHandler); });
    ThreadState& state = threadState;
    const size_t n = context != nullptr ? strnlen(context, crashContextSize - 2) : 0;
    std::memcpy(state.context, context != nullptr ? context : "", n);
    state.context[n] = 0;
    state.installed = true;
}

const char* crashContext() {
    return threadState.context;
}

void setCrashCatchAll(void* jumpBuffer) {
    threadState.catchAll = jumpBuffer;
}

void removeCrashHandler() {
    threadState.installed = false;
    threadState.catchAll = nullptr;
}

uint32_t walkStack(const rCrashRegisters& registers, uintptr_t* frames) {
    std::memset(frames, 0, sizeof(uintptr_t) * crashMaxFrames);
    uintptr_t pc = registers.pc;
    uintptr_t fp = registers.fp;
    uint32_t n = 0;
    while (n < crashMaxFrames) {
        frames[n++] = pc;
        uintptr_t frame[2]; // the caller's frame pointer, then the return address
        if (fp % sizeof(uintptr_t) != 0 || !readable(fp, sizeof frame, true))
            break;
        std::memcpy(frame, reinterpret_cast<const void*>(fp), sizeof frame);
        const uintptr_t previous = fp;
        fp = frame[0];
        pc = frame[1];
        // The chain must climb through writable memory in aligned steps.
        if (fp % sizeof(uintptr_t) != 0 || fp <= previous || !readable(fp, sizeof frame, true))
            break;
    }
    return n;
}

namespace rCrashShared {

bool takeStorage() {
    const DWORD self = GetCurrentThreadId();
    if (storageOwner.load() == self)
        return false;
    DWORD expected = 0;
    while (!storageOwner.compare_exchange_weak(expected, self)) {
        expected = 0;
        Sleep(1);
    }
    return true;
}

void releaseStorage() {
    storageOwner.store(0);
}

Storage& storage() {
    return sharedStorage;
}

HANDLE openDiagnosticFile(Storage& s, const char* ext) {
    const DWORD length = GetModuleFileNameW(nullptr, s.exeWide, pathSize);
    if (length == 0 || length >= pathSize)
        return INVALID_HANDLE_VALUE;
    narrow(s.exeWide, s.exePath, sizeof s.exePath);
    if (!diagnosticFileName(s.exePath, ext, s.fileName, sizeof s.fileName))
        return INVALID_HANDLE_VALUE;
    widen(s.fileName, s.fileWide, pathSize);
    HANDLE file = CreateFileW(s.fileWide, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_FLAG_WRITE_THROUGH, nullptr);
    if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

void addFrameLines(Storage& s, Text& out, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        HMODULE module;
        uintptr_t base;
        if (!moduleOf(s, s.frames[i], module, base))
            continue; // in no module
        const DWORD got = GetModuleFileNameW(module, s.moduleWide, pathSize);
        if (got == 0 || got >= pathSize)
            continue;
        narrow(s.moduleWide, s.moduleName, sizeof s.moduleName);
        const char* slash = std::strrchr(s.moduleName, '\\');
        out.add(slash != nullptr ? slash + 1 : s.moduleName);
        out.add("\t0x");
        out.addHex(base, 8);
        out.add("\t0x");
        out.addHex(s.frames[i], 8);
        out.add("\r\n");
    }
}

void writeText(HANDLE file, const Text& text) {
    DWORD written = 0;
    WriteFile(file, text.data, DWORD(text.length), &written, nullptr);
}

} // namespace rCrashShared

void crashHandler(uint32_t code, const rCrashRegisters& registers) {
    const bool took = takeStorage(); // one report at a time
    Storage& s = sharedStorage;
    s.fileWide[0] = 0; // named below when the report has a name
    HANDLE file = openDiagnosticFile(s, "err");
    if (file != INVALID_HANDLE_VALUE) {
        Text out(s.text, sizeof s.text);
        const time_t now = time(nullptr);
        struct tm local = {};
        localtime_r(&now, &local);
        const char* context = threadState.context;
        if (context[0] != 0) {
            out.addChar('>');
            out.add(context);
            out.add(" | ");
            out.addAsctime(local);
            out.add(">-------------------- Call stack ---------------------------\r\n");
        } else {
            out.add(">Exception ");
            out.addHex(code, 8);
            out.add(" at 0x");
            out.addHex(registers.pc, 8);
            out.add(" | ");
            out.addAsctime(local);
            out.add(">-------------------- Call stack -+-------------------------\r\n");
        }
        addFrameLines(s, out, walkStack(registers, s.frames));
        writeText(file, out);
        CloseHandle(file);
    }
    threadState.context[0] = 0;
    if (s.fileWide[0] != 0 && !crashQuiet.load())
        startFeedback(s);
    if (took)
        releaseStorage();
}
