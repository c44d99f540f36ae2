// ui/win32/main_win32.cpp - the Windows program's entry point and its static objects, defined
// here in the order in which they are built (and destroyed in reverse): the application object,
// the save list, the scratch directory (stale directories removed, this process's own created)
// and last the lock around temporary-file creation.
#include "win32app.h"

#include "rscratch.h"
#include "rsync.h"
#include "savelist.h"

ModManagerApp theApp;
SaveList theSaves;
rScratchDirectory theScratchDirectory;
rSharedLock tempNameLock;

// The program reads no arguments.
int WINAPI WinMain(HINSTANCE module, HINSTANCE, LPSTR, int) {
    return theApp.run(module, theSaves);
}
