// app/savewin32.h - the Windows calls the save writer makes, gathered in one place so that a test
// can make any of them fail (fault injection). Private to the writer and its tests.
#pragma once

#include <windows.h>

#include <cstdint>

namespace saveWin32 {

enum class Call {
    open,
    read,
    write,
    seek,
    info,
    flush,
    setTime,
    close,
    move,
    link,
    remove,
    attributes,
    find,
    count_ // number of kinds
};

// A hook decides, before a call runs, whether it fails: 0 lets it run, any other value is the
// system error code with which it fails instead. path is the call's file name, else null.
using FaultHook = DWORD (*)(Call call, const wchar_t* path);
FaultHook setFaultHook(FaultHook hook);

// Each behaves as its namesake after asking the hook; a failure leaves its code for
// GetLastError.
HANDLE open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition);
bool read(HANDLE file, void* buffer, DWORD n, DWORD& got);
bool write(HANDLE file, const void* buffer, DWORD n); // all n bytes, or false
bool seek(HANDLE file, int64_t offset);               // from the start
bool info(HANDLE file, BY_HANDLE_FILE_INFORMATION& out);
bool flush(HANDLE file);
bool setTime(HANDLE file, const FILETIME& modified);
bool close(HANDLE file);
bool move(const wchar_t* from, const wchar_t* to, DWORD flags);
bool link(const wchar_t* name, const wchar_t* existing);
bool remove(const wchar_t* path);
DWORD attributes(const wchar_t* path); // INVALID_FILE_ATTRIBUTES on failure
bool setAttributes(const wchar_t* path, DWORD attributes);
// The name of an existing file as the directory spells it; false when there is none.
bool find(const wchar_t* path, WIN32_FIND_DATAW& out);

} // namespace saveWin32
