// rLib/rwin32_win32.cpp - the Windows call layer: every call asks the fault hook first, then runs
// the wide-character system call; and the conversions of names between 1251 and UTF-16.
#include "rcodepage.h"
#include "robject.h"
#include "rstring.h"
#include "rwin32.h"

#include <atomic>
#include <cstring>
#include <vector>

namespace rWin32 {

namespace {

std::atomic<FaultHook> currentHook{nullptr};

// True when the hook lets the call run; otherwise the hook's error is the thread's last error.
bool allowed(Op op, const wchar_t* path) {
    const FaultHook hook = currentHook.load();
    if (hook == nullptr)
        return true;
    const DWORD error = hook(op, path);
    if (error == 0)
        return true;
    SetLastError(error);
    return false;
}

} // namespace

FaultHook setFaultHook(FaultHook hook) {
    return currentHook.exchange(hook);
}

const char* opName(Op op) {
    static const char* const names[] = {
        "open",     "read",          "write",         "seek",    "close",    "stat",  "sync",
        "rename",   "remove",        "setAttributes", "setTime", "mkdir",    "rmdir", "findFirst",
        "findNext", "getAttributes", "chdir",         "getcwd",  "diskFree", "link"};
    static_assert(sizeof names / sizeof names[0] == size_t(Op::count_));
    const size_t i = size_t(op);
    return i < size_t(Op::count_) ? names[i] : "?";
}

HANDLE createFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    if (!allowed(Op::open, path))
        return INVALID_HANDLE_VALUE;
    return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}

bool readFile(HANDLE file, void* buffer, DWORD n, DWORD& done) {
    done = 0;
    if (!allowed(Op::read, nullptr))
        return false;
    return ReadFile(file, buffer, n, &done, nullptr) != 0;
}

bool writeFile(HANDLE file, const void* buffer, DWORD n) {
    if (!allowed(Op::write, nullptr))
        return false;
    const char* p = static_cast<const char*>(buffer);
    while (n > 0) {
        DWORD done = 0;
        if (!WriteFile(file, p, n, &done, nullptr))
            return false;
        if (done == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        p += done;
        n -= done;
    }
    return true;
}

bool setFilePointer(HANDLE file, int64_t offset, DWORD origin, int64_t& position) {
    if (!allowed(Op::seek, nullptr))
        return false;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER moved;
    if (!SetFilePointerEx(file, distance, &moved, origin))
        return false;
    position = moved.QuadPart;
    return true;
}

bool closeHandle(HANDLE handle) {
    // The handle is closed even when the hook fails the call, so that no test leaks it.
    const bool ok = allowed(Op::close, nullptr);
    return CloseHandle(handle) != 0 && ok;
}

bool fileInformation(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    if (!allowed(Op::stat, nullptr))
        return false;
    return GetFileInformationByHandle(file, &info) != 0;
}

bool flushFileBuffers(HANDLE file) {
    if (!allowed(Op::sync, nullptr))
        return false;
    return FlushFileBuffers(file) != 0;
}

bool setFileTime(HANDLE file, const FILETIME* access, const FILETIME* write) {
    if (!allowed(Op::setTime, nullptr))
        return false;
    return SetFileTime(file, nullptr, access, write) != 0;
}

bool moveFile(const wchar_t* from, const wchar_t* to, DWORD flags) {
    if (!allowed(Op::rename, from))
        return false;
    return MoveFileExW(from, to, flags) != 0;
}

bool deleteFile(const wchar_t* path) {
    if (!allowed(Op::remove, path))
        return false;
    return DeleteFileW(path) != 0;
}

DWORD getFileAttributes(const wchar_t* path) {
    if (!allowed(Op::getAttributes, path))
        return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(path);
}

bool setFileAttributes(const wchar_t* path, DWORD attributes) {
    if (!allowed(Op::setAttributes, path))
        return false;
    return SetFileAttributesW(path, attributes) != 0;
}

bool createDirectory(const wchar_t* path) {
    if (!allowed(Op::mkdir, path))
        return false;
    return CreateDirectoryW(path, nullptr) != 0;
}

bool removeDirectory(const wchar_t* path) {
    if (!allowed(Op::rmdir, path))
        return false;
    return RemoveDirectoryW(path) != 0;
}

HANDLE findFirstFile(const wchar_t* pattern, WIN32_FIND_DATAW& data) {
    if (!allowed(Op::findFirst, pattern))
        return INVALID_HANDLE_VALUE;
    return FindFirstFileW(pattern, &data);
}

bool findNextFile(HANDLE search, WIN32_FIND_DATAW& data) {
    if (!allowed(Op::findNext, nullptr))
        return false;
    return FindNextFileW(search, &data) != 0;
}

bool findClose(HANDLE search) {
    const bool ok = allowed(Op::close, nullptr);
    return FindClose(search) != 0 && ok;
}

bool setCurrentDirectory(const wchar_t* path) {
    if (!allowed(Op::chdir, path))
        return false;
    return SetCurrentDirectoryW(path) != 0;
}

DWORD getCurrentDirectory(DWORD size, wchar_t* buffer) {
    if (!allowed(Op::getcwd, nullptr))
        return 0;
    return GetCurrentDirectoryW(size, buffer);
}

bool diskFreeSpace(const wchar_t* path, uint64_t& available) {
    if (!allowed(Op::diskFree, path))
        return false;
    ULARGE_INTEGER free;
    if (!GetDiskFreeSpaceExW(path, &free, nullptr, nullptr))
        return false;
    available = free.QuadPart;
    return true;
}

bool createHardLink(const wchar_t* name, const wchar_t* existing) {
    if (!allowed(Op::link, name))
        return false;
    return CreateHardLinkW(name, existing, nullptr) != 0;
}

} // namespace rWin32

namespace rWide {

Text::Text(const char* text) {
    wide = small;
    small[0] = 0;
    if (text == nullptr)
        return;
    const size_t n = std::strlen(text);
    if (n >= sizeof small / sizeof small[0]) {
        wide = static_cast<wchar_t*>(memAlloc((n + 1) * sizeof(wchar_t)));
        if (wide == nullptr) { // no room: the empty name, which every call refuses
            wide = small;
            return;
        }
    }
    for (size_t i = 0; i < n; ++i)
        wide[i] = wchar_t(cp1251ToUnicode(static_cast<unsigned char>(text[i])));
    wide[n] = 0;
}

Text::~Text() {
    if (wide != small)
        memFree(wide);
}

bool toCp1251(const wchar_t* wide, rString& out) {
    out.clear();
    for (size_t i = 0; wide[i] != 0; ++i) {
        uint32_t c = uint16_t(wide[i]);
        if (c >= 0xD800 && c < 0xDC00 && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(wide[i + 1]) - 0xDC00u);
            ++i;
        }
        unsigned char b;
        if (!unicodeToCp1251(c, b))
            return false;
        out += char(b);
    }
    return true;
}

bool currentDirectory(rString& out) {
    std::vector<wchar_t> wide(MAX_PATH + 1);
    DWORD n = rWin32::getCurrentDirectory(DWORD(wide.size()), wide.data());
    if (n >= wide.size()) { // the answer is the size needed, terminator included
        wide.resize(n + 1);
        n = rWin32::getCurrentDirectory(DWORD(wide.size()), wide.data());
    }
    if (n == 0 || n >= wide.size() || !toCp1251(wide.data(), out)) {
        out.clear();
        return false;
    }
    return true;
}

} // namespace rWide
