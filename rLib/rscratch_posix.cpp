// rLib/rscratch_posix.cpp - the scratch directory's POSIX calls: whether a process still exists,
// and making and checking a directory private to the effective user.
#include "rposix.h"
#include "rscratch.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace rScratchPlatform {

bool processGone(uint32_t id) {
    // Signal 0 only asks; "not permitted" still means the process exists.
    return ::kill(pid_t(id), 0) != 0 && errno == ESRCH;
}

bool isOwnDirectory(const char* path, bool makePrivate) {
    // Opened without following a link, the check and the narrowing of the mode concern the very
    // directory found, not whatever a name might point to meanwhile.
    const int fd = rPosix::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    struct stat st;
    bool own = rPosix::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
    if (own && makePrivate && (st.st_mode & 077) != 0)
        own = rPosix::fchmod(fd, 0700) == 0;
    rPosix::close(fd);
    return own;
}

bool createPrivateDirectory(const char* path) {
    return rPosix::mkdir(path, 0700) == 0;
}

} // namespace rScratchPlatform
