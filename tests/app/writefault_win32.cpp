// tests/app/writefault_win32.cpp - the save writer's faults through the library's Windows call
// layer.
#include "writefault.h"

#include "rcodepage.h"
#include "rwin32.h"

#include <cwchar>

namespace writefault {

namespace {

rWin32::Op faultOp = rWin32::Op::rename;
std::wstring faultPath;
DWORD faultError = 0;
int stillAllowed = 0;

DWORD pathFault(rWin32::Op op, const wchar_t* path) {
    if (op != faultOp ||
        !(faultPath.empty() || (path != nullptr && std::wcsstr(path, faultPath.c_str()))))
        return 0;
    return stillAllowed-- > 0 ? 0 : faultError;
}

} // namespace

void failFrom(Step step, const std::string& pathPart, Reason reason, int allowed) {
    static constexpr rWin32::Op ops[] = {rWin32::Op::open, rWin32::Op::write,
                                         rWin32::Op::sync, rWin32::Op::rename,
                                         rWin32::Op::link, rWin32::Op::setTime};
    static constexpr DWORD errors[] = {ERROR_ACCESS_DENIED, ERROR_DISK_FULL, ERROR_WRITE_PROTECT,
                                       ERROR_IO_DEVICE};
    faultOp = ops[int(step)];
    faultPath.clear();
    for (char c : pathPart)
        faultPath += wchar_t(cp1251ToUnicode(static_cast<unsigned char>(c)));
    faultError = errors[int(reason)];
    stillAllowed = allowed;
    rWin32::setFaultHook(pathFault);
}

void stop() {
    rWin32::setFaultHook(nullptr);
}

} // namespace writefault
