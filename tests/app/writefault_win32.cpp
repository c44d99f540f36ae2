// tests/app/writefault_win32.cpp - the save writer's faults through its Windows call layer.
#include "writefault.h"

#include "rcodepage.h"
#include "savewin32.h"

#include <cwchar>

namespace writefault {

namespace {

saveWin32::Call faultCall = saveWin32::Call::move;
std::wstring faultPath;
DWORD faultError = 0;
int stillAllowed = 0;

DWORD pathFault(saveWin32::Call call, const wchar_t* path) {
    if (call != faultCall ||
        !(faultPath.empty() || (path != nullptr && std::wcsstr(path, faultPath.c_str()))))
        return 0;
    return stillAllowed-- > 0 ? 0 : faultError;
}

} // namespace

void failFrom(Step step, const std::string& pathPart, Reason reason, int allowed) {
    static constexpr saveWin32::Call calls[] = {saveWin32::Call::open,  saveWin32::Call::write,
                                                saveWin32::Call::flush, saveWin32::Call::move,
                                                saveWin32::Call::link,  saveWin32::Call::setTime};
    static constexpr DWORD errors[] = {ERROR_ACCESS_DENIED, ERROR_DISK_FULL, ERROR_WRITE_PROTECT,
                                       ERROR_IO_DEVICE};
    faultCall = calls[int(step)];
    faultPath.clear();
    for (char c : pathPart)
        faultPath += wchar_t(cp1251ToUnicode(static_cast<unsigned char>(c)));
    faultError = errors[int(reason)];
    stillAllowed = allowed;
    saveWin32::setFaultHook(pathFault);
}

void stop() {
    saveWin32::setFaultHook(nullptr);
}

} // namespace writefault
