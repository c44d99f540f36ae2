// ui/win32/win32app.cpp - the application object of the Windows program: the end requests and
// the modal main dialog.
#include "win32app.h"

#include "dialog.h"
#include "endrequests.h"
#include "win32dialogview.h"

int ModManagerApp::run(HINSTANCE module, SaveList& saves) {
    const EndRequests endRequests; // the session's end closes the dialog as Cancel does
    InitInstance(module, saves);
    return 0;
}

bool ModManagerApp::InitInstance(HINSTANCE module, SaveList& saves) {
    Win32DialogView window(module);
    ModManagerDialog dialog(window, saves);
    window.run(dialog);
    return false;
}
