// tests/rlib/platform_testutil_win32.cpp - a thread exists while it can be opened and has not
// ended; the time zone is the C runtime's TZ.
#include "platform_testutil.h"

#include <cstdlib>
#include <ctime>
#include <windows.h>

bool threadAlive(uint32_t id) {
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, DWORD(id));
    if (thread == nullptr)
        return false;
    DWORD code = 0;
    const bool running = GetExitCodeThread(thread, &code) && code == STILL_ACTIVE;
    CloseHandle(thread);
    return running;
}

void setTimeZone(const char* zone) {
    _putenv_s("TZ", zone);
    _tzset();
}
