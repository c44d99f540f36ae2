// rLib/rscratch_win32.cpp - the scratch directory's Windows calls: whether a process still
// exists, and making and checking the directory.
#include "rscratch.h"
#include "rwin32.h"

namespace rScratchPlatform {

bool processGone(uint32_t id) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(id));
    if (process == nullptr) // no such process; "access denied" still means it exists
        return GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = STILL_ACTIVE;
    const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    CloseHandle(process);
    return ended;
}

// The Windows temporary directory belongs to the user (it lies in the user's profile), so a real
// directory there, not a junction or other reparse point, is taken as the user's own; its access
// is the profile's, which nothing needs to narrow.
bool isOwnDirectory(const char* path, bool) {
    const DWORD attributes = rWin32::getFileAttributes(rWide::Text(path).get());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool createPrivateDirectory(const char* path) {
    return rWin32::createDirectory(rWide::Text(path).get());
}

} // namespace rScratchPlatform
