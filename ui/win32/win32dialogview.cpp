// ui/win32/win32dialogview.cpp - the main dialog's window on Windows: the template's controls
// driven by their control messages, their notifications routed to the logic, and the keys.
#include "win32dialogview.h"

#include "resourceids.h"
#include "win32app.h"

#include "rcodepage.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace {

// The one modal dialog of the thread, for the keyboard filter.
Win32DialogView* activeView = nullptr;

void appendUtf16(std::wstring& out, uint32_t codePoint) {
    if (codePoint < 0x10000) {
        out += wchar_t(codePoint);
        return;
    }
    codePoint -= 0x10000;
    out += wchar_t(0xD800 + (codePoint >> 10));
    out += wchar_t(0xDC00 + (codePoint & 0x3FF));
}

// The button a key presses: Insert installs, Delete removes, Ctrl+Up and Ctrl+Down move.
int buttonOfKey(WPARAM key, bool control) {
    switch (key) {
    case VK_INSERT:
        return control ? 0 : IDC_INSTALL;
    case VK_DELETE:
        return control ? 0 : IDC_REMOVE;
    case VK_UP:
        return control ? IDC_MOVEUP : 0;
    case VK_DOWN:
        return control ? IDC_MOVEDOWN : 0;
    default:
        return 0;
    }
}

} // namespace

Win32DialogView::Win32DialogView(HINSTANCE instance) : module(instance) {}

Win32DialogView::~Win32DialogView() {
    deleteFonts();
    if (largeIcon != nullptr)
        DestroyIcon(largeIcon);
    if (smallIcon != nullptr)
        DestroyIcon(smallIcon);
}

std::wstring Win32DialogView::wideText(const char* text) {
    std::wstring out;
    if (text == nullptr)
        return out;
    const size_t n = std::strlen(text);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (!isValidUtf8(text, n)) {
        for (size_t i = 0; i < n; ++i)
            out += wchar_t(cp1251ToUnicode(bytes[i]));
        return out;
    }
    for (size_t i = 0; i < n;) {
        const unsigned char lead = bytes[i];
        const int trail = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        uint32_t codePoint = trail == 0   ? lead
                             : trail == 1 ? lead & 0x1Fu
                             : trail == 2 ? lead & 0x0Fu
                                          : lead & 0x07u;
        for (int k = 1; k <= trail; ++k)
            codePoint = (codePoint << 6) | (bytes[i + size_t(k)] & 0x3Fu);
        appendUtf16(out, codePoint);
        i += size_t(trail) + 1;
    }
    return out;
}

INT_PTR Win32DialogView::run(ModManagerDialog& dialog, HWND owner) {
    // The tooltip control's class.
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    logic = &dialog;
    activeView = this;
    keyHook = SetWindowsHookExW(WH_MSGFILTER, messageFilter, nullptr, GetCurrentThreadId());
    const INT_PTR result = DialogBoxParamW(module, MAKEINTRESOURCEW(IDD_TARVEX), owner, dialogProc,
                                           reinterpret_cast<LPARAM>(this));
    if (keyHook != nullptr)
        UnhookWindowsHookEx(keyHook);
    keyHook = nullptr;
    activeView = nullptr;
    logic = nullptr;
    hwnd = nullptr;
    tips = nullptr; // went with the dialog, its owner
    tipRow[0] = tipRow[1] = -1;
    extras[0].clear();
    extras[1].clear();
    choiceBold.clear();
    drawn.clear();
    deleteFonts(); // the controls that used them went with the dialog
    return result;
}

INT_PTR CALLBACK Win32DialogView::dialogProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* view = reinterpret_cast<Win32DialogView*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        view->hwnd = window;
    }
    // The owner-drawn controls ask for their entries' height while they are created, before
    // the dialog is initialised.
    if (message == WM_MEASUREITEM) {
        measureEntry(window, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return TRUE;
    }
    auto* view = reinterpret_cast<Win32DialogView*>(GetWindowLongPtrW(window, DWLP_USER));
    return view != nullptr ? view->onMessage(message, wParam, lParam) : FALSE;
}

INT_PTR Win32DialogView::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        centre();
        makeFonts();
        createTips();
        if (logic->OnInitDialog())
            return TRUE; // the focus goes to the first control, the save box
        // The lists stay empty: Enter and Esc both close.
        SendMessageW(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control(IDOK)), TRUE);
        return FALSE;
    case WM_COMMAND:
        onCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlID != IDC_SAVES && item->CtlID != IDC_INSTALLED &&
            item->CtlID != IDC_AVAILABLE)
            return FALSE;
        drawEntry(*item);
        return TRUE;
    }
    case WM_PAINT: {
        painting = true;
        logic->OnPaint();
        const bool drawn = paintDc != nullptr;
        if (drawn)
            EndPaint(hwnd, &paint);
        paintDc = nullptr;
        painting = false;
        return drawn ? TRUE : FALSE;
    }
    case WM_NOTIFY: {
        // A tooltip asks for the text of the row under the pointer.
        auto* request = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        if (request->hdr.hwndFrom == tips && request->hdr.code == TTN_GETDISPINFOW) {
            request->lpszText =
                const_cast<wchar_t*>(tipUnderPointer(reinterpret_cast<HWND>(request->hdr.idFrom)));
            return TRUE;
        }
        return FALSE;
    }
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(
            static_cast<HICON>(const_cast<void*>(logic->OnQueryDragIcon())));
    default:
        (void)lParam;
        return FALSE;
    }
}

void Win32DialogView::centre() {
    RECT area{}, frame{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) || !GetWindowRect(hwnd, &frame))
        return;
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = area.left + std::max(0, int(area.right - area.left - width) / 2);
    const int y = area.top + std::max(0, int(area.bottom - area.top - height) / 2);
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND Win32DialogView::rows(ModRows list) const {
    return control(list == ModRows::installed ? IDC_INSTALLED : IDC_AVAILABLE);
}

void Win32DialogView::onCommand(int id, int code) {
    HWND installed = rows(ModRows::installed);
    HWND available = rows(ModRows::available);
    switch (id) {
    case IDC_SAVES:
        if (code == CBN_SELCHANGE)
            handle(control(IDC_SAVES), &ModManagerDialog::OnSaveChanged);
        break;
    case IDC_INSTALLED:
    case IDC_AVAILABLE:
        if (code == LBN_SELCHANGE) {
            // A row naming a mod the game lacks cannot be selected.
            if (id == IDC_INSTALLED) {
                const RowExtra* extra =
                    extraAt(ModRows::installed, selectedRow(ModRows::installed));
                if (extra != nullptr && extra->look == RowLook::missing)
                    SendMessageW(installed, LB_SETCURSEL, WPARAM(-1), 0);
            }
            handle(id == IDC_INSTALLED ? installed : available,
                   &ModManagerDialog::OnListSelChanged);
        } else if (code == LBN_DBLCLK) {
            if (id == IDC_INSTALLED)
                handle(installed, &ModManagerDialog::OnRemove);
            else
                handle(available, &ModManagerDialog::OnInstall);
        }
        break;
    case IDC_INSTALL:
        if (code == BN_CLICKED)
            handle(available, &ModManagerDialog::OnInstall);
        break;
    case IDC_REMOVE:
        if (code == BN_CLICKED)
            handle(installed, &ModManagerDialog::OnRemove);
        break;
    case IDC_MOVEUP:
        if (code == BN_CLICKED)
            handle(installed, &ModManagerDialog::OnMoveUp);
        break;
    case IDC_MOVEDOWN:
        if (code == BN_CLICKED)
            handle(installed, &ModManagerDialog::OnMoveDown);
        break;
    case IDOK:
        // The button, or Enter while no other push button has the focus.
        if (code == BN_CLICKED)
            logic->OnOK();
        break;
    case IDCANCEL:
        // The button, Esc or the close box: nothing is written.
        EndDialog(hwnd, IDCANCEL);
        break;
    default:
        break;
    }
}

void Win32DialogView::handle(HWND actedOn, void (ModManagerDialog::*handler)()) {
    handlerTarget = actedOn;
    focusDisplaced = nullptr;
    (logic->*handler)();
    handlerTarget = nullptr;
    // A move rebuilds the list, which disables its buttons on the way; one that is usable again
    // gets back the focus the player gave it, so that Space can repeat it.
    if (focusDisplaced != nullptr && IsWindowEnabled(focusDisplaced) && GetFocus() == actedOn)
        SendMessageW(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focusDisplaced), TRUE);
    focusDisplaced = nullptr;
}

LRESULT CALLBACK Win32DialogView::messageFilter(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && activeView != nullptr && activeView->hwnd != nullptr) {
        const MSG* message = reinterpret_cast<const MSG*>(lParam);
        if (activeView->onKey(*message))
            return TRUE;
        activeView->onPointer(*message);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Win32DialogView::onPointer(const MSG& message) {
    if (message.message != WM_MOUSEMOVE || tips == nullptr)
        return;
    for (ModRows list : {ModRows::installed, ModRows::available}) {
        if (message.hwnd != rows(list))
            continue;
        const LRESULT hit = SendMessageW(message.hwnd, LB_ITEMFROMPOINT, 0, message.lParam);
        const int row = HIWORD(hit) == 0 ? int(LOWORD(hit)) : -1;
        int& shown = tipRow[list == ModRows::installed];
        if (row != shown) {
            shown = row;
            SendMessageW(tips, TTM_UPDATE, 0, 0); // asks for the new row's text
        }
    }
}

void Win32DialogView::createTips() {
    tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                           WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, module, nullptr);
    if (tips == nullptr)
        return;
    SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, 400); // long descriptions wrap
    const auto addTool = [this](HWND control, const wchar_t* text) {
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = const_cast<wchar_t*>(text);
        SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    };
    addTool(rows(ModRows::installed), LPSTR_TEXTCALLBACKW);
    addTool(rows(ModRows::available), LPSTR_TEXTCALLBACKW);
    addTool(control(IDC_INSTALL),
            L"Install the selected available mod into the chosen save (Insert)");
    addTool(control(IDC_REMOVE), L"Remove the selected mod from the chosen save (Delete)");
    addTool(control(IDC_MOVEUP), L"Move the selected mod up: it loads earlier (Ctrl+Up)");
    addTool(control(IDC_MOVEDOWN), L"Move the selected mod down: it loads later (Ctrl+Down)");
}

const wchar_t* Win32DialogView::tipUnderPointer(HWND list) {
    const ModRows which =
        list == rows(ModRows::installed) ? ModRows::installed : ModRows::available;
    POINT pointer{};
    GetCursorPos(&pointer);
    ScreenToClient(list, &pointer);
    const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(pointer.x, pointer.y));
    const RowExtra* extra = HIWORD(hit) == 0 ? extraAt(which, int(LOWORD(hit))) : nullptr;
    return extra != nullptr ? extra->tip.c_str() : L"";
}

const Win32DialogView::RowExtra* Win32DialogView::extraAt(ModRows list, int position) const {
    const std::vector<RowExtra>& all = extras[list == ModRows::installed];
    return position >= 0 && size_t(position) < all.size() ? &all[size_t(position)] : nullptr;
}

bool Win32DialogView::onKey(const MSG& message) {
    if (message.message != WM_KEYDOWN)
        return false;
    if (message.hwnd != hwnd && !IsChild(hwnd, message.hwnd))
        return false;
    // The opened save list keeps its keys.
    if (SendMessageW(control(IDC_SAVES), CB_GETDROPPEDSTATE, 0, 0) != 0)
        return false;
    const int id = buttonOfKey(message.wParam, (GetKeyState(VK_CONTROL) & 0x8000) != 0);
    if (id == 0)
        return false;
    // Each key presses its button, so it does exactly what the button does, and nothing while
    // the button is disabled.
    if (IsWindowEnabled(control(id)))
        onCommand(id, BN_CLICKED);
    return true;
}

int Win32DialogView::addChoice(const char* text, SaveGame* record) {
    HWND box = control(IDC_SAVES);
    const std::wstring label = wideText(text);
    const LRESULT position =
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
    if (position < 0)
        return -1;
    SendMessageW(box, CB_SETITEMDATA, WPARAM(position), reinterpret_cast<LPARAM>(record));
    if (size_t(position) <= choiceBold.size())
        choiceBold.insert(choiceBold.begin() + position, false);
    return int(position);
}

void Win32DialogView::setChoiceRecord(int position, SaveGame* record) {
    if (position >= 0 && position < choiceCount())
        SendMessageW(control(IDC_SAVES), CB_SETITEMDATA, WPARAM(position),
                     reinterpret_cast<LPARAM>(record));
}

int Win32DialogView::chosenChoice() const {
    return int(SendMessageW(control(IDC_SAVES), CB_GETCURSEL, 0, 0));
}

SaveGame* Win32DialogView::choiceRecord(int position) const {
    if (position < 0 || position >= choiceCount())
        return nullptr;
    return reinterpret_cast<SaveGame*>(
        SendMessageW(control(IDC_SAVES), CB_GETITEMDATA, WPARAM(position), 0));
}

void Win32DialogView::choose(int position) {
    SendMessageW(control(IDC_SAVES), CB_SETCURSEL,
                 position >= 0 && position < choiceCount() ? WPARAM(position) : WPARAM(-1), 0);
}

int Win32DialogView::choiceCount() const {
    const LRESULT n = SendMessageW(control(IDC_SAVES), CB_GETCOUNT, 0, 0);
    return n > 0 ? int(n) : 0;
}

void Win32DialogView::deleteChoice(int position) {
    if (position < 0 || position >= choiceCount())
        return;
    const bool wasChosen = chosenChoice() == position;
    SendMessageW(control(IDC_SAVES), CB_DELETESTRING, WPARAM(position), 0);
    if (size_t(position) < choiceBold.size())
        choiceBold.erase(choiceBold.begin() + position);
    if (wasChosen)
        choose(-1);
}

void Win32DialogView::setChoiceBold(int position, bool bold) {
    if (position < 0 || size_t(position) >= choiceBold.size() ||
        choiceBold[size_t(position)] == bold)
        return;
    choiceBold[size_t(position)] = bold;
    HWND box = control(IDC_SAVES);
    InvalidateRect(box, nullptr, TRUE);
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    if (GetComboBoxInfo(box, &parts) && parts.hwndList != nullptr) // the opened list
        InvalidateRect(parts.hwndList, nullptr, TRUE);
}

int Win32DialogView::addRow(ModRows list, const char* text, ModInfo* record) {
    HWND box = rows(list);
    const std::wstring rowText = wideText(text);
    const LRESULT position =
        SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(rowText.c_str()));
    if (position < 0)
        return -1;
    SendMessageW(box, LB_SETITEMDATA, WPARAM(position), reinterpret_cast<LPARAM>(record));
    std::vector<RowExtra>& all = extrasOf(list);
    if (size_t(position) <= all.size())
        all.insert(all.begin() + position, RowExtra());
    return int(position);
}

int Win32DialogView::rowCount(ModRows list) const {
    const LRESULT n = SendMessageW(rows(list), LB_GETCOUNT, 0, 0);
    return n > 0 ? int(n) : 0;
}

int Win32DialogView::selectedRow(ModRows list) const {
    return int(SendMessageW(rows(list), LB_GETCURSEL, 0, 0));
}

ModInfo* Win32DialogView::rowRecord(ModRows list, int position) const {
    if (position < 0 || position >= rowCount(list))
        return nullptr;
    return reinterpret_cast<ModInfo*>(
        SendMessageW(rows(list), LB_GETITEMDATA, WPARAM(position), 0));
}

void Win32DialogView::deleteFirstRow(ModRows list) {
    if (rowCount(list) == 0)
        return;
    const bool wasSelected = selectedRow(list) == 0;
    SendMessageW(rows(list), LB_DELETESTRING, 0, 0);
    if (wasSelected)
        SendMessageW(rows(list), LB_SETCURSEL, WPARAM(-1), 0);
    std::vector<RowExtra>& all = extrasOf(list);
    if (!all.empty())
        all.erase(all.begin());
}

void Win32DialogView::selectRow(ModRows list, int position) {
    const bool valid = position >= 0 && position < rowCount(list);
    SendMessageW(rows(list), LB_SETCURSEL, valid ? WPARAM(position) : WPARAM(-1), 0);
}

void Win32DialogView::setRowLook(ModRows list, int position, RowLook look) {
    // A missing mod's row is also kept from being selected (see onCommand).
    std::vector<RowExtra>& all = extrasOf(list);
    if (position < 0 || size_t(position) >= all.size() || all[size_t(position)].look == look)
        return;
    all[size_t(position)].look = look;
    RECT row{};
    if (SendMessageW(rows(list), LB_GETITEMRECT, WPARAM(position),
                     reinterpret_cast<LPARAM>(&row)) != LB_ERR)
        InvalidateRect(rows(list), &row, TRUE);
}

void Win32DialogView::setRowTip(ModRows list, int position, const char* text) {
    std::vector<RowExtra>& all = extrasOf(list);
    if (position >= 0 && size_t(position) < all.size())
        all[size_t(position)].tip = wideText(text);
}

void Win32DialogView::enableButton(int id, bool enabled) {
    HWND button = control(id);
    if (button == nullptr)
        return;
    // A disabled focus window would leave the keyboard nowhere: the list acted on takes the
    // focus, with its selection.
    if (!enabled && GetFocus() == button && IsWindowEnabled(button)) {
        if (focusDisplaced == nullptr)
            focusDisplaced = button;
        HWND target = handlerTarget != nullptr ? handlerTarget : rows(ModRows::installed);
        SendMessageW(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
    }
    EnableWindow(button, enabled ? TRUE : FALSE);
}

void Win32DialogView::showError(const char* text, const char* details) {
    std::wstring message = wideText(text);
    if (details != nullptr && details[0] != '\0') {
        message += L"\n\n";
        message += wideText(details);
    }
    const std::wstring caption = wideText(ModManagerApp::applicationName);
    MessageBoxW(hwnd, message.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

void Win32DialogView::endDialog(bool ok) {
    EndDialog(hwnd, ok ? IDOK : IDCANCEL);
}

IconHandle Win32DialogView::loadIcon(uint32_t resourceId) {
    if (resourceId != ModManagerDialog::idIcon)
        return nullptr;
    if (largeIcon == nullptr)
        largeIcon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDI_TARVEX), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXICON),
                                                  GetSystemMetrics(SM_CYICON), 0));
    if (smallIcon == nullptr)
        smallIcon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(IDI_TARVEX), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), 0));
    return largeIcon;
}

void Win32DialogView::setIcon(IconHandle icon, bool large) {
    HICON handle = static_cast<HICON>(const_cast<void*>(icon));
    // The application icon comes in both sizes; the small one is drawn from its own image.
    if (!large && handle == largeIcon && smallIcon != nullptr)
        handle = smallIcon;
    SendMessageW(hwnd, WM_SETICON, large ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(handle));
}

bool Win32DialogView::isIconic() const {
    return IsIconic(hwnd) != FALSE;
}

void Win32DialogView::clientSize(int& width, int& height) const {
    RECT rect{};
    GetClientRect(hwnd, &rect);
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
}

void Win32DialogView::systemIconSize(int& width, int& height) const {
    width = GetSystemMetrics(SM_CXICON);
    height = GetSystemMetrics(SM_CYICON);
}

HDC Win32DialogView::paintContext() {
    if (painting && paintDc == nullptr)
        paintDc = BeginPaint(hwnd, &paint);
    return paintDc;
}

void Win32DialogView::eraseIconBackground() {
    if (HDC dc = paintContext())
        SendMessageW(hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
}

void Win32DialogView::drawIcon(int x, int y, IconHandle icon) {
    HDC dc = paintContext();
    if (dc != nullptr && icon != nullptr)
        DrawIcon(dc, x, y, static_cast<HICON>(const_cast<void*>(icon)));
}

void Win32DialogView::defaultPaint() {
    // The dialog's own painting runs when the paint message is left unhandled.
}

void Win32DialogView::measureEntry(HWND dialog, MEASUREITEMSTRUCT& item) {
    // The save box's field keeps the height the box gives it.
    if (item.CtlType == ODT_COMBOBOX && item.itemID == UINT(-1))
        return;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    HDC dc = GetDC(dialog);
    if (dc == nullptr)
        return;
    HGDIOBJ former = SelectObject(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    if (GetTextMetricsW(dc, &metrics) && metrics.tmHeight > 0)
        item.itemHeight = UINT(metrics.tmHeight);
    SelectObject(dc, former);
    ReleaseDC(dialog, dc);
}

void Win32DialogView::makeFonts() {
    deleteFonts();
    HFONT base = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    LOGFONTW look{};
    if (GetObjectW(base != nullptr ? base : GetStockObject(DEFAULT_GUI_FONT), sizeof look, &look) ==
        0)
        return;
    LOGFONTW bold = look;
    bold.lfWeight = FW_BOLD;
    boldFont = CreateFontIndirectW(&bold);
    look.lfItalic = TRUE;
    italicFont = CreateFontIndirectW(&look);
    look.lfStrikeOut = TRUE;
    missingFont = CreateFontIndirectW(&look);
}

void Win32DialogView::deleteFonts() {
    for (HFONT* font : {&boldFont, &italicFont, &missingFont}) {
        if (*font != nullptr)
            DeleteObject(*font);
        *font = nullptr;
    }
}

const Win32DialogView::EntryDrawing* Win32DialogView::lastDrawn(int controlId, int position) const {
    const auto found = drawn.find({controlId, position});
    return found != drawn.end() ? &found->second : nullptr;
}

void Win32DialogView::drawEntry(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const bool focused = (item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT);
    if (item.itemID == UINT(-1)) { // no entry: an empty list, or a save box with none chosen
        FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_WINDOW));
        if (focused)
            DrawFocusRect(dc, &item.rcItem);
        return;
    }
    const int position = int(item.itemID);
    const bool combo = item.CtlType == ODT_COMBOBOX;
    const LRESULT length =
        SendMessageW(item.hwndItem, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, item.itemID, 0);
    std::wstring text(length > 0 ? size_t(length) : 0, L'\0');
    if (length > 0)
        SendMessageW(item.hwndItem, combo ? CB_GETLBTEXT : LB_GETTEXT, item.itemID,
                     reinterpret_cast<LPARAM>(text.data()));
    // The look: an edited save in bold; a row of a mod the chosen save records in italic, one of
    // a mod the game lacks in italic struck out and greyed (it is never selected).
    HFONT font = nullptr;
    bool greyed = (item.itemState & ODS_DISABLED) != 0;
    if (combo) {
        if (size_t(position) < choiceBold.size() && choiceBold[size_t(position)])
            font = boldFont;
    } else {
        const ModRows list = item.CtlID == IDC_INSTALLED ? ModRows::installed : ModRows::available;
        const RowExtra* extra = extraAt(list, position);
        const RowLook look = extra != nullptr ? extra->look : RowLook::normal;
        if (look == RowLook::recorded)
            font = italicFont;
        else if (look == RowLook::missing)
            font = missingFont;
        greyed = greyed || look == RowLook::missing;
    }
    if (font == nullptr)
        font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const int saved = SaveDC(dc);
    SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetTextColor(dc, GetSysColor(greyed     ? COLOR_GRAYTEXT
                                 : selected ? COLOR_HIGHLIGHTTEXT
                                            : COLOR_WINDOWTEXT));
    if (font != nullptr)
        SelectObject(dc, font);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &item.rcItem, nullptr, 0, nullptr); // the background
    RECT area = item.rcItem;
    area.left += 2;
    DrawTextW(dc, text.c_str(), int(text.size()), &area, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    // What was drawn, as the drawing context has it.
    EntryDrawing look;
    LOGFONTW used{};
    if (GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof used, &used) != 0) {
        look.bold = used.lfWeight >= FW_BOLD;
        look.italic = used.lfItalic != 0;
        look.strikeOut = used.lfStrikeOut != 0;
    }
    look.text = GetTextColor(dc);
    look.background = GetBkColor(dc);
    drawn[{int(item.CtlID), combo && (item.itemState & ODS_COMBOBOXEDIT) ? fieldEntry : position}] =
        look;
    if (focused)
        DrawFocusRect(dc, &item.rcItem);
    RestoreDC(dc, saved);
}
