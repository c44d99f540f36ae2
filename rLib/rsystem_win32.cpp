// rLib/rsystem_win32.cpp - the system module's Windows calls: directories, shell folders and
// icons, the program's resources and version, tree removal, copy and move, free space, the
// command line, ids, ticks and sleep.
#include "rresource.h"
#include "rsystem.h"
#include "rwin32.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#define R_MODULE "rLib/rsystem"

namespace {

// The 1251 form of a system answer; a character without one becomes '?'.
rString narrowOf(const wchar_t* wide) {
    char* text = toNarrow(reinterpret_cast<const uint16_t*>(wide));
    rString s(text != nullptr ? text : "");
    memFree(text);
    return s;
}

// Empties the directory named path (UTF-16, no trailing separator) without entering a junction
// or other reparse point: such an entry is removed itself, never what it points to.
void removeContents(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    const std::wstring pattern = path + L"\\*";
    HANDLE search = rWin32::findFirstFile(pattern.c_str(), data);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::pair<std::wstring, DWORD>> entries;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            entries.emplace_back(path + L"\\" + name, data.dwFileAttributes);
    } while (rWin32::findNextFile(search, data));
    rWin32::findClose(search);
    for (const auto& [entry, attributes] : entries) {
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
            rWin32::setFileAttributes(entry.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
                removeContents(entry);
            rWin32::removeDirectory(entry.c_str());
        } else {
            rWin32::deleteFile(entry.c_str());
        }
    }
}

// The running executable's full wide name; empty on failure.
std::wstring moduleWideName() {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0)
            return std::wstring();
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

// A directory the system names through a call of the GetWindowsDirectoryW kind, with a trailing
// separator; empty when the call fails or the name has no 1251 form.
rString systemFolder(UINT (*call)(LPWSTR, UINT)) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    UINT n = call(buffer.data(), UINT(buffer.size()));
    if (n >= buffer.size()) { // the answer is the size needed
        buffer.resize(n + 1);
        n = call(buffer.data(), UINT(buffer.size()));
    }
    rString dir;
    if (n == 0 || n >= buffer.size() || !rWide::toCp1251(buffer.data(), dir))
        return rString();
    dir.addSeparator();
    return dir;
}

UINT windowsDirectoryW(LPWSTR buffer, UINT size) {
    return GetWindowsDirectoryW(buffer, size);
}
UINT systemDirectoryW(LPWSTR buffer, UINT size) {
    return GetSystemDirectoryW(buffer, size);
}

HANDLE openExisting(const wchar_t* path, DWORD access) {
    return rWin32::createFile(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
}

// A file on a disk (no directory, pipe or device), with its identity.
bool isDiskFile(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return GetFileType(file) == FILE_TYPE_DISK && rWin32::fileInformation(file, info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

namespace rSystemPlatform {

bool exists(const char* path) {
    return path != nullptr &&
           rWin32::getFileAttributes(rWide::Text(path).get()) != INVALID_FILE_ATTRIBUTES;
}

bool isDirectory(const char* path) {
    if (path == nullptr)
        return false;
    const DWORD attributes = rWin32::getFileAttributes(rWide::Text(path).get());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool createDirectory(const char* path) {
    if (rWin32::createDirectory(rWide::Text(path).get()))
        return true;
    return GetLastError() == ERROR_ALREADY_EXISTS && isDirectory(path); // made meanwhile
}

bool commandLineText(rString& out) {
    out = narrowOf(GetCommandLineW());
    return true;
}

bool programResource(uint32_t id, const char* group, rResourceData& out) {
    // The executable's own resource first, then the one compiled into the library.
    const rWide::Text type(group);
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type.get());
    HGLOBAL loaded = found != nullptr ? LoadResource(nullptr, found) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr)
        return findResource(id, group, out);
    out.data = data;
    out.size = uint32_t(SizeofResource(nullptr, found));
    return true;
}

bool versionEntry(const char* name, rString& out) {
    const std::wstring module = moduleWideName();
    DWORD ignored = 0;
    const DWORD size = module.empty() ? 0 : GetFileVersionInfoSizeW(module.c_str(), &ignored);
    if (size == 0)
        return false;
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(module.c_str(), 0, size, block.data()))
        return false;
    // The first language and code page pair names the block of strings.
    const WORD* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(const_cast<WORD**>(&translation)), &length) ||
        translation == nullptr || length < 2 * sizeof(WORD))
        return false;
    wchar_t key[64];
    swprintf(key, sizeof key / sizeof key[0], L"\\StringFileInfo\\%04X%04X\\%ls",
             unsigned(translation[0]), unsigned(translation[1]), rWide::Text(name).get());
    const wchar_t* value = nullptr;
    if (!VerQueryValueW(block.data(), key, reinterpret_cast<void**>(const_cast<wchar_t**>(&value)),
                        &length) ||
        value == nullptr)
        return false;
    // The length counts characters, the terminator included where there is one.
    const std::wstring text(value, length > 0 && value[length - 1] == 0 ? length - 1 : length);
    return rWide::toCp1251(text.c_str(), out);
}

} // namespace rSystemPlatform

rString windowsDirectory() {
    return systemFolder(windowsDirectoryW);
}

rString systemDirectory() {
    return systemFolder(systemDirectoryW);
}

bool specialFolder(rString& out, int csidl) {
    wchar_t buffer[MAX_PATH + 1];
    rString path;
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK ||
        !rWide::toCp1251(buffer, path))
        return false;
    out = path;
    return true;
}

void* shellIcon(const char* path, bool small) {
    if (path == nullptr)
        return nullptr;
    const rWide::Text wide(path);
    // A missing file gets the icon of its extension, asked for by name alone.
    const bool exists = rWin32::getFileAttributes(wide.get()) != INVALID_FILE_ATTRIBUTES;
    SHFILEINFOW info;
    std::memset(&info, 0, sizeof info);
    const UINT flags = SHGFI_ICON | (small ? SHGFI_SMALLICON : SHGFI_LARGEICON) |
                       (exists ? 0 : SHGFI_USEFILEATTRIBUTES);
    if (SHGetFileInfoW(wide.get(), exists ? 0 : FILE_ATTRIBUTE_NORMAL, &info, sizeof info, flags) ==
        0)
        return nullptr;
    return info.hIcon;
}

rString tempDirectory() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    rString dir;
    if (n > 0 && n <= MAX_PATH + 1 && rWide::toCp1251(buffer, dir) &&
        rSystemPlatform::isDirectory(dir.text())) {
        dir.addSeparator();
        return dir;
    }
    // No usable temporary directory (or one whose name 1251 cannot write): the program's own.
    dir = moduleFileName().getDirectory();
    dir.addSeparator();
    return dir;
}

rString moduleFileName() {
    const std::wstring name = moduleWideName();
    rString out;
    if (name.empty() || rWide::toCp1251(name.c_str(), out))
        return out;
    // A character of the long name has no 1251 form: the short name, which names the same file,
    // where the file system keeps one that 1251 can write; else nothing rather than a wrong name.
    std::vector<wchar_t> shortName(name.size() + 1);
    const DWORD n = GetShortPathNameW(name.c_str(), shortName.data(), DWORD(shortName.size()));
    if (n == 0 || n >= shortName.size() || !rWide::toCp1251(shortName.data(), out))
        out.clear();
    return out;
}

rString workingDirectory() {
    rString dir;
    rWide::currentDirectory(dir);
    dir.addSeparator();
    return dir;
}

bool removeTree(const char* path) {
    rASSERT_TEXT("path!=NULL", path != nullptr);
    if (path == nullptr)
        return false;
    rString top(path);
    top.removeSeparator();
    const rWide::Text wide(top.text());
    const DWORD attributes = rWin32::getFileAttributes(wide.get());
    // A junction to a directory is not followed, not even at the top.
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return false;
    removeContents(wide.get());
    return rWin32::removeDirectory(wide.get());
}

bool removeFile(const char* path) {
    return path != nullptr && rWin32::deleteFile(rWide::Text(path).get());
}

bool removeDirectory(const char* path) {
    return path != nullptr && rWin32::removeDirectory(rWide::Text(path).get());
}

bool copyFile(const char* from, const char* to) {
    if (from == nullptr || to == nullptr)
        return false;
    const rWide::Text source(from);
    const rWide::Text target(to);
    HANDLE in = openExisting(source.get(), GENERIC_READ);
    if (in == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION inInfo;
    BY_HANDLE_FILE_INFORMATION outInfo;
    bool ok = isDiskFile(in, inInfo);
    if (ok) {
        // Copying a file onto itself would truncate it before reading.
        HANDLE same = openExisting(target.get(), 0);
        if (same != INVALID_HANDLE_VALUE) {
            ok = !(rWin32::fileInformation(same, outInfo) &&
                   outInfo.dwVolumeSerialNumber == inInfo.dwVolumeSerialNumber &&
                   outInfo.nFileIndexHigh == inInfo.nFileIndexHigh &&
                   outInfo.nFileIndexLow == inInfo.nFileIndexLow);
            rWin32::closeHandle(same);
        }
    }
    if (!ok) {
        rWin32::closeHandle(in);
        return false;
    }
    // A read-only target is replaced like any other.
    const DWORD old = rWin32::getFileAttributes(target.get());
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) != 0 &&
        (old & FILE_ATTRIBUTE_DIRECTORY) == 0)
        rWin32::setFileAttributes(target.get(), old & ~DWORD(FILE_ATTRIBUTE_READONLY));
    HANDLE out =
        rWin32::createFile(target.get(), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    // Only a disk file is a target; a device is left alone, never written or removed.
    if (out == INVALID_HANDLE_VALUE || !isDiskFile(out, outInfo)) {
        if (out != INVALID_HANDLE_VALUE)
            rWin32::closeHandle(out);
        rWin32::closeHandle(in);
        return false;
    }
    std::vector<char> buffer(65536);
    for (;;) {
        DWORD n = 0;
        if (!rWin32::readFile(in, buffer.data(), DWORD(buffer.size()), n)) {
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (!rWin32::writeFile(out, buffer.data(), n)) {
            ok = false;
            break;
        }
    }
    ok = ok && rWin32::setFileTime(out, &inInfo.ftLastAccessTime, &inInfo.ftLastWriteTime);
    ok = rWin32::closeHandle(out) && ok;
    rWin32::closeHandle(in);
    if (!ok) {
        rWin32::deleteFile(target.get()); // no half copy stays behind under the target's name
        return false;
    }
    // The read-only attribute is the permission bit Windows has; it is kept.
    if ((inInfo.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
        rWin32::setFileAttributes(target.get(), FILE_ATTRIBUTE_READONLY);
    return true;
}

bool moveFile(const char* from, const char* to) {
    if (from == nullptr || to == nullptr)
        return false;
    // Without replacing: an existing target fails. A file moves to another volume as a copy.
    return rWin32::moveFile(rWide::Text(from).get(), rWide::Text(to).get(),
                            MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH);
}

uint32_t diskFreeSpace(const char* path) {
    rASSERT_TEXT("path!=NULL", path != nullptr);
    if (path == nullptr)
        return 0;
    // Absolute: a drive letter with its root, or a \\server\share name.
    rString root;
    const bool drive = ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' &&
                       (path[2] == '\\' || path[2] == '/');
    if (drive)
        root = rString(path, 3);
    else if (path[0] == '\\' && path[1] == '\\')
        root = path;
    else
        return 0;
    root.addSeparator();
    uint64_t available = 0;
    if (!rWin32::diskFreeSpace(rWide::Text(root.text()).get(), available))
        return 0;
    return available > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(available);
}

uint32_t processId() {
    return uint32_t(GetCurrentProcessId());
}

uint32_t threadId() {
    return uint32_t(GetCurrentThreadId());
}

uint32_t ticks() {
    return uint32_t(GetTickCount64());
}

void sleepMs(uint32_t ms) {
    Sleep(DWORD(ms));
}
