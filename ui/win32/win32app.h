// ui/win32/win32app.h - the application object of the Windows program: runs the main dialog
// modally; the program ends when the dialog closes.
#pragma once

#include <windows.h>

class SaveList;

class ModManagerApp {
public:
    // The program's name, as message boxes show it in their caption.
    static constexpr const char* applicationName = "Tarvex";

    ModManagerApp() = default;
    ModManagerApp(const ModManagerApp&) = delete;
    ModManagerApp& operator=(const ModManagerApp&) = delete;

    // InitInstance with the requests to end the session watched; the program's exit status.
    int run(HINSTANCE module, SaveList& saves);
    // Runs the main dialog over the saves until it closes; always false, so the program ends.
    bool InitInstance(HINSTANCE module, SaveList& saves);
};
