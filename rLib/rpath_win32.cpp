// rLib/rpath_win32.cpp - the current directory for rString's absolute and relative names, read
// in UTF-16 and kept in code page 1251.
#include "rstring.h"
#include "rwin32.h"

// Reads the current directory into out. A directory that cannot be read, or whose name has a
// character without a 1251 form, gives the empty string; a failed growth is recorded in out.
bool rString::readCurrentDirectory(rString& out) {
    return rWide::currentDirectory(out) && !out.hasError();
}
