// rLib/rpath_posix.cpp - the current directory for rString's absolute and relative names.
#include "rposix.h"
#include "rstring.h"

#include <cerrno>

namespace {
// A current directory longer than this is not read (the system allows far less).
constexpr uint32_t longestDirectory = 1u << 24;
} // namespace

// Reads the current directory into out, growing out's block until the whole name fits. An
// unreadable directory gives the empty string; a failed growth is recorded in out.
bool rString::readCurrentDirectory(rString& out) {
    uint32_t size = out.limit > 0 ? out.limit : 1025;
    for (;;) {
        if ((out.limit < size || out.items == nullptr) && !out.setLimit(size))
            return false;
        if (rPosix::getcwd(out.items, out.limit) != nullptr) {
            out.updateLength();
            return true;
        }
        if (errno != ERANGE || out.limit >= longestDirectory) {
            out.items[0] = 0;
            out.count = 1;
            return false;
        }
        size = out.limit * 2;
    }
}
