// ui/endrequests_win32.cpp - the end requests on Windows: a hidden window of the program's thread
// hears the end of the session and the console's control events (passed on by the system's
// handler thread), and closes every window of the thread as Cancel does.
#include "endrequests.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace {

constexpr wchar_t windowClass[] = L"TarvexEndRequests";
constexpr UINT endMessage = WM_APP + 1;

std::atomic<HWND> endWindow{nullptr};

BOOL CALLBACK closeWindow(HWND window, LPARAM self) {
    if (window == reinterpret_cast<HWND>(self))
        return TRUE;
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    // A dialog, the main one or a message box over it, ends as Cancel; any other window closes.
    if (lstrcmpW(name, L"#32770") == 0)
        EndDialog(window, IDCANCEL);
    else
        PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

LRESULT CALLBACK endWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case endMessage:
        EnumThreadWindows(GetCurrentThreadId(), closeWindow, reinterpret_cast<LPARAM>(window));
        return 0;
    case WM_ENDSESSION:
        // The system ends the process as soon as this returns: end it now, through the normal
        // exit, which destroys the static objects.
        if (wParam != FALSE)
            std::exit(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Runs on a thread of the system's: passes the request to the program's thread.
BOOL WINAPI onControlEvent(DWORD event) {
    HWND window = endWindow.load();
    if (window == nullptr)
        return FALSE;
    PostMessageW(window, endMessage, 0, 0);
    // The console closing, the user logging off or the system shutting down end the process
    // when this returns: wait (within the system's time-out) for the program to end itself.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(4000);
    return TRUE;
}

} // namespace

struct EndRequests::Watch {
    HWND window = nullptr;
};

EndRequests::EndRequests() {
    HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSW type{};
    type.lpfnWndProc = endWindowProc;
    type.hInstance = module;
    type.lpszClassName = windowClass;
    RegisterClassW(&type); // fails harmlessly when the class exists
    // A hidden top-level window: the session's end is told to top-level windows only.
    HWND window = CreateWindowExW(0, windowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  module, nullptr);
    if (window == nullptr)
        return; // the requests keep their default action
    watch = std::make_unique<Watch>();
    watch->window = window;
    endWindow.store(window);
    SetConsoleCtrlHandler(onControlEvent, TRUE);
}

EndRequests::~EndRequests() {
    if (!watch)
        return;
    SetConsoleCtrlHandler(onControlEvent, FALSE);
    endWindow.store(nullptr);
    DestroyWindow(watch->window);
    UnregisterClassW(windowClass, GetModuleHandleW(nullptr));
    watch.reset();
}
