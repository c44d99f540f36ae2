// rLib/rcrash_win32.cpp - crash reports on Windows: a vectored exception handler that reports the
// faults of threads that installed it, stacks walked by the frame-pointer chain, modules from the
// loader, and the feedback program started with CreateProcessW.
#include "rcodepage.h"
#include "rcrash.h"
#include "rthread.h"

#include <atomic>
#include <csetjmp>
#include <cstring>
#include <ctime>
#include <mutex>
#include <windows.h>

#include <psapi.h>

namespace {

constexpr size_t pathSize = 4096;
constexpr uint32_t maxModules = 1024;

// What the handler reads of its thread: plain data, so that reaching it allocates nothing.
struct ThreadState {
    bool installed;
    char context[crashContextSize];
    void* catchAll;
};
constinit thread_local ThreadState threadState = {};

// Storage of one report, reserved at load time; used by one report at a time.
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
Storage sharedStorage;
std::atomic<DWORD> storageOwner{0};
std::once_flag processOnce;

// Text appended into a fixed buffer; what does not fit is dropped.
struct Text {
    char* data;
    size_t size;
    size_t length = 0;
    Text(char* buffer, size_t n) : data(buffer), size(n) { buffer[0] = 0; }
    void add(const char* text, size_t n) {
        if (length + n >= size)
            n = size - 1 - length;
        std::memcpy(data + length, text, n);
        length += n;
        data[length] = 0;
    }
    void add(const char* text) { add(text, std::strlen(text)); }
    void addHex(uint64_t value, int digits) {
        char out[16];
        int n = 0;
        do {
            out[15 - n++] = "0123456789ABCDEF"[value & 15];
            value >>= 4;
        } while (value != 0 || n < digits);
        add(out + 16 - n, size_t(n));
    }
};

// The asctime form of a local time, as the report's heading carries it.
void addAsctime(Text& out, const struct tm& t) {
    char line[32];
    static const char days[] = "SunMonTueWedThuFriSat";
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const auto two = [](char* p, int v) {
        p[0] = char('0' + v / 10 % 10);
        p[1] = char('0' + v % 10);
    };
    std::memcpy(line, days + 3 * (t.tm_wday % 7), 3);
    line[3] = ' ';
    std::memcpy(line + 4, months + 3 * (t.tm_mon % 12), 3);
    line[7] = ' ';
    two(line + 8, t.tm_mday);
    if (line[8] == '0')
        line[8] = ' ';
    line[10] = ' ';
    two(line + 11, t.tm_hour);
    line[13] = ':';
    two(line + 14, t.tm_min);
    line[16] = ':';
    two(line + 17, t.tm_sec);
    line[19] = ' ';
    const int year = t.tm_year + 1900;
    two(line + 20, year / 100);
    two(line + 22, year % 100);
    line[24] = '\n';
    out.add(line, 25);
}

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

void crashHandler(uint32_t code, const rCrashRegisters& registers) {
    const bool took = takeStorage(); // one report at a time
    Storage& s = sharedStorage;
    const DWORD length = GetModuleFileNameW(nullptr, s.exeWide, pathSize);
    bool named = length > 0 && length < pathSize;
    if (named) {
        narrow(s.exeWide, s.exePath, sizeof s.exePath);
        named = diagnosticFileName(s.exePath, "err", s.fileName, sizeof s.fileName);
        widen(s.fileName, s.fileWide, pathSize);
    }
    HANDLE file =
        named ? CreateFileW(s.fileWide, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_FLAG_WRITE_THROUGH, nullptr)
              : INVALID_HANDLE_VALUE;
    if (file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK) {
        Text out(s.text, sizeof s.text);
        const time_t now = time(nullptr);
        struct tm local = {};
        localtime_r(&now, &local);
        const char* context = threadState.context;
        if (context[0] != 0) {
            out.add(">");
            out.add(context);
            out.add(" | ");
            addAsctime(out, local);
            out.add(">-------------------- Call stack ---------------------------\r\n");
        } else {
            out.add(">Exception ");
            out.addHex(code, 8);
            out.add(" at 0x");
            out.addHex(registers.pc, 8);
            out.add(" | ");
            addAsctime(out, local);
            out.add(">-------------------- Call stack -+-------------------------\r\n");
        }
        const uint32_t n = walkStack(registers, s.frames);
        for (uint32_t i = 0; i < n; ++i) {
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
        DWORD written = 0;
        WriteFile(file, out.data, DWORD(out.length), &written, nullptr); // one write: whole
    }
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    threadState.context[0] = 0;
    if (named && !crashQuiet.load())
        startFeedback(s);
    if (took)
        storageOwner.store(0);
}
