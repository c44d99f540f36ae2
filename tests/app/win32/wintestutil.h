// tests/app/win32/wintestutil.h - files and names for the Windows-only tests: bytes in and out
// of files with wide names, names in the library's code page 1251, a fresh directory per test.
#pragma once

#include "rcodepage.h"
#include "rstring.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace wintest {

namespace fs = std::filesystem;

// A wide name in code page 1251 (every name the tests use has a 1251 form).
inline rString narrow(const std::wstring& wide) {
    std::string out;
    for (wchar_t c : wide) {
        unsigned char b = '?';
        unicodeToCp1251(uint32_t(c), b);
        out += char(b);
    }
    return rString(out.c_str());
}

inline std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes the file anew (a read-only one too), with its directories.
inline void writeBytes(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

// A new directory of the test's own in the system's temporary directory.
inline fs::path freshDirectory(const wchar_t* prefix) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    const fs::path dir = fs::path(temp) / (prefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                           std::to_wstring(++counter));
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    fs::create_directories(dir);
    return dir;
}

// Removes the directory and everything in it, read-only files too.
inline void removeDirectory(const fs::path& dir) {
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(dir, ignored))
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(dir, ignored);
}

} // namespace wintest
