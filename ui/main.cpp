// ui/main.cpp - the program's entry point and its static objects, defined here in the order in
// which they are built (and destroyed in reverse): the application object, the save list, the
// scratch directory (stale directories removed, this process's own created) and last the lock
// around temporary-file creation.
#include "modmanagerapp.h"
#include "rscratch.h"
#include "rsync.h"
#include "savelist.h"

ModManagerApp theApp;
SaveList theSaves;
rScratchDirectory theScratchDirectory;
rSharedLock tempNameLock;

int main(int argc, char** argv) {
    return theApp.run(argc, argv, theSaves);
}
