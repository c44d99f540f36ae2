// rLib/rpath_posix.cpp - the current directory for rString's absolute and relative names.
#include "rposix.h"
#include "rstring.h"

// Reads the current directory into out's own block (at most its size); an unreadable or
// overlong directory gives the empty string.
bool rString::readCurrentDirectory(rString& out) {
    if (out.items == nullptr || out.limit == 0)
        return false;
    if (rPosix::getcwd(out.items, out.limit) == nullptr) {
        out.items[0] = 0;
        out.count = 1;
        return false;
    }
    out.updateLength();
    return true;
}
