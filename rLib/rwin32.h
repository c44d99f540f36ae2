// rLib/rwin32.h - the Windows calls that the library's Windows files and the save writer make,
// gathered in one place so that a test can make any of them fail (fault injection), and counted by
// kind. Private to the library, the writer and their tests: it carries the Windows headers.
#pragma once

#include <cstdint>
#include <windows.h>

class rString;

namespace rWin32 {

enum class Op {
    open,
    read,
    write,
    seek,
    close,
    stat,
    sync,
    rename,
    remove,
    setAttributes,
    setTime,
    mkdir,
    rmdir,
    findFirst,
    findNext,
    getAttributes,
    chdir,
    getcwd,
    diskFree,
    link,
    count_ // number of kinds
};

// A hook decides, before a call runs, whether it fails: 0 lets it run, any other value is the
// Windows error code with which it fails instead (GetLastError gives it). path is the name the
// call acts on where it has one, else null.
using FaultHook = DWORD (*)(Op op, const wchar_t* path);
FaultHook setFaultHook(FaultHook hook);
const char* opName(Op op);

// Each call behaves as its namesake, after asking the hook.
HANDLE createFile(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
bool readFile(HANDLE file, void* buffer, DWORD n, DWORD& done);
bool writeFile(HANDLE file, const void* buffer, DWORD n); // writes all n bytes or fails
bool setFilePointer(HANDLE file, int64_t offset, DWORD origin, int64_t& position);
bool closeHandle(HANDLE handle);
bool fileInformation(HANDLE file, BY_HANDLE_FILE_INFORMATION& info);
bool flushFileBuffers(HANDLE file);
bool setFileTime(HANDLE file, const FILETIME* access, const FILETIME* write);
bool moveFile(const wchar_t* from, const wchar_t* to, DWORD flags);
bool deleteFile(const wchar_t* path);
DWORD getFileAttributes(const wchar_t* path); // INVALID_FILE_ATTRIBUTES on failure
bool setFileAttributes(const wchar_t* path, DWORD attributes);
bool createDirectory(const wchar_t* path);
bool removeDirectory(const wchar_t* path);
HANDLE findFirstFile(const wchar_t* pattern, WIN32_FIND_DATAW& data);
bool findNextFile(HANDLE search, WIN32_FIND_DATAW& data); // false at the end (ERROR_NO_MORE_FILES)
bool findClose(HANDLE search); // the search ends even when the hook fails
bool setCurrentDirectory(const wchar_t* path);
DWORD getCurrentDirectory(DWORD size, wchar_t* buffer); // as GetCurrentDirectoryW
bool diskFreeSpace(const wchar_t* path, uint64_t& available);
bool createHardLink(const wchar_t* name, const wchar_t* existing); // name is the new one

} // namespace rWin32

// Conversions between the library's code-page 1251 text and the system's UTF-16 names.
namespace rWide {
// The UTF-16 form of 1251 text, in a buffer that grows as needed.
class Text {
public:
    explicit Text(const char* text);
    ~Text();
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    const wchar_t* get() const { return wide; }

private:
    wchar_t* wide = nullptr;
    wchar_t small[260];
};
// The 1251 form of a UTF-16 name into out; false (out unspecified) when a character has none.
bool toCp1251(const wchar_t* wide, rString& out);
// The current directory in its 1251 form (no trailing separator); false, with out empty, when it
// cannot be read or has a character without a 1251 form.
bool currentDirectory(rString& out);
} // namespace rWide
