// ui/win32/resourceids.h - the numbers of the Windows program's resources and of the dialog's
// controls, shared by the resource script and the code (plain macros, so the resource compiler
// reads them too).
#pragma once

#define IDD_TARVEX 102
#define IDI_TARVEX 128
#define IDC_INSTALLED 129
#define IDC_AVAILABLE 130
#define IDC_INSTALL 131
#define IDC_REMOVE 132
#define IDC_MOVEUP 133
#define IDC_MOVEDOWN 134
#define IDC_SAVES 1000
