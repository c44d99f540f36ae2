// tests/app/writefault_posix.cpp - the save writer's faults through the POSIX call layer.
#include "writefault.h"

#include "rposix.h"

#include <cerrno>
#include <cstring>

namespace writefault {

namespace {

rPosix::Op faultOp = rPosix::Op::rename;
std::string faultPath;
int faultErrno = 0;
int stillAllowed = 0;

int pathFault(rPosix::Op op, const char* path) {
    if (op != faultOp ||
        !(faultPath.empty() || (path != nullptr && std::strstr(path, faultPath.c_str()))))
        return 0;
    return stillAllowed-- > 0 ? 0 : faultErrno;
}

} // namespace

void failFrom(Step step, const std::string& pathPart, Reason reason, int allowed) {
    static constexpr rPosix::Op ops[] = {rPosix::Op::open, rPosix::Op::write,
                                         rPosix::Op::sync, rPosix::Op::rename,
                                         rPosix::Op::link, rPosix::Op::setTime};
    static constexpr int errors[] = {EACCES, ENOSPC, EROFS, EIO};
    faultOp = ops[int(step)];
    faultPath = pathPart;
    faultErrno = errors[int(reason)];
    stillAllowed = allowed;
    rPosix::setFaultHook(pathFault);
}

void stop() {
    rPosix::setFaultHook(nullptr);
}

} // namespace writefault
