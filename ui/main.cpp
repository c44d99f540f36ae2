// ui/main.cpp - the program's entry point and its static objects, defined here in the order in
// which they are built (and destroyed in reverse).
#include "modmanagerapp.h"
#include "savelist.h"

ModManagerApp theApp;
SaveList theSaves;

int main(int argc, char** argv) {
    return theApp.run(argc, argv, theSaves);
}
