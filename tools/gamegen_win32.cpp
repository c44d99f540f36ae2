// tools/gamegen_win32.cpp - the generator's Windows side: file times, temporary directories,
// links, removing trees and the time zone, through the wide calls with names given in UTF-8.
#include "gamegen.h"
#include "gamegen_platform.h"

#include <cstdlib>
#include <ctime>
#include <random>
#include <windows.h>

namespace fs = std::filesystem;

namespace gamegen {

namespace {

// 100-ns intervals from 1601-01-01 to 1970-01-01.
constexpr int64_t epochOffset = 116444736000000000LL;

std::wstring widen(const std::string& utf8) {
    if (utf8.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
    return wide;
}

std::string narrow(const std::wstring& wide) {
    if (wide.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string utf8(size_t(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), n, nullptr,
                            nullptr);
    return utf8;
}

std::string lastError() {
    return "error " + std::to_string(GetLastError());
}

// Removes the content of a directory and the directory; links are removed, never entered.
void removeWide(const std::wstring& directory) {
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((directory + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = directory + L"\\" + name;
            const DWORD attributes = found.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_READONLY)
                SetFileAttributesW(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW(path.c_str());
            else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                RemoveDirectoryW(path.c_str());
            else
                removeWide(path);
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(directory.c_str());
}

} // namespace

fs::path nativePath(const std::string& utf8) {
    return fs::path(widen(utf8));
}

bool setModTime(const std::string& path, int64_t seconds, long nanoseconds, std::string* error) {
    const HANDLE file = CreateFileW(widen(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (error != nullptr)
            *error = "cannot open " + path + ": " + lastError();
        return false;
    }
    const int64_t ticks = seconds * 10000000 + nanoseconds / 100 + epochOffset;
    FILETIME time;
    time.dwLowDateTime = DWORD(uint64_t(ticks) & 0xFFFFFFFFu);
    time.dwHighDateTime = DWORD(uint64_t(ticks) >> 32);
    const bool ok = ticks >= 0 && SetFileTime(file, nullptr, &time, &time);
    if (!ok && error != nullptr)
        *error = "cannot set the time of " + path + ": " + lastError();
    CloseHandle(file);
    return ok;
}

bool getModTime(const std::string& path, int64_t* seconds, long* nanoseconds) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data))
        return false;
    const int64_t ticks = int64_t((uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                  data.ftLastWriteTime.dwLowDateTime) -
                          epochOffset;
    int64_t whole = ticks / 10000000;
    int64_t rest = ticks % 10000000;
    if (rest < 0) { // before 1970: the seconds round down, the fraction stays positive
        --whole;
        rest += 10000000;
    }
    *seconds = whole;
    *nanoseconds = long(rest * 100);
    return true;
}

std::string makeTempDirectory(const std::string& prefix) {
    wchar_t base[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, base);
    if (n == 0 || n > MAX_PATH)
        return std::string();
    std::random_device device;
    std::mt19937 random(device() ^ GetCurrentProcessId() ^ GetTickCount());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = base + widen(prefix) + std::to_wstring(random() % 100000000u);
        if (CreateDirectoryW(path.c_str(), nullptr))
            return narrow(path);
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::string();
    }
    return std::string();
}

bool makeDirectoryLink(const std::string& target, const std::string& link) {
    // Unprivileged creation where the system allows it (developer mode).
    const DWORD flags = SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2;
    return CreateSymbolicLinkW(widen(link).c_str(), widen(target).c_str(), flags) != 0;
}

void removeTree(const std::string& directory) {
    std::wstring wide = widen(directory);
    for (auto& c : wide)
        if (c == L'/')
            c = L'\\';
    removeWide(wide);
}

char pathSeparator() {
    return '\\';
}

void useUtcTimeZone() {
    _putenv_s("TZ", "UTC0");
    _tzset();
}

} // namespace gamegen
