// tests/ui/win32/dialog_win32_test.cpp - the Windows dialog as a player meets it: the template's
// controls, and keys posted to the focused control of the running modal dialog (Tab, arrows,
// Insert, Ctrl+Down, Enter on the list and on a button, Esc), with what lands on disk.
#include "../../app/win32/wintestutil.h"
#include "dialog.h"
#include "resourceids.h"
#include "savelist.h"
#include "win32dialogview.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using wintest::bytesOf;
using wintest::narrow;
using wintest::writeBytes;

namespace {

constexpr size_t entriesOffset = SaveGame::entriesOffset;

// A save holding the names; a write of other names makes exactly the save of those.
std::string saveBytes(const std::vector<std::string>& names) {
    std::string out = "HEAD";
    const uint32_t count = uint32_t(names.size());
    for (int k = 0; k < 4; ++k)
        out += char((count >> (8 * k)) & 0xFF);
    out += std::string(entriesOffset - 8, '\0');
    for (const auto& name : names)
        out += char(name.size() * 2) + name;
    return out + "tail";
}

std::wstring textOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// The running test's steps, one per timer tick, while the modal dialog runs.
std::vector<std::function<void()>> steps;
size_t nextStep = 0;

void CALLBACK runStep(HWND, UINT, UINT_PTR, DWORD) {
    if (nextStep < steps.size())
        steps[nextStep++]();
}

class DialogWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        root = wintest::freshDirectory(L"tarvex-dialog-");
        for (const auto& [folder, description] :
             {std::pair<const wchar_t*, const char*>{L"Mods\\Alpha", "Alpha mod"},
              {L"Mods\\Beta", "Beta mod"},
              {L"\x041c\x043e\x0434", "\xcc\xee\xe4 (Cyrillic)"}}) {
            writeBytes(root / folder / L"game.db", "");
            writeBytes(root / folder / L"description.txt", description);
        }
        writeBytes(savePath(), saveBytes({"Mods\\Alpha", "Mods\\Beta"}));
        saves.setProgramDirectory(narrow(root.wstring() + L"\\"));
        steps.clear();
        nextStep = 0;
    }
    void TearDown() override { wintest::removeDirectory(root); }
    // A profile named in Cyrillic letters: the label shows them whatever the ANSI code page.
    fs::path savePath() const {
        return root / L"save" / L"\x0418\x0432\x0430\x043d" / L"S" / L"game.sav";
    }

    // Runs the dialog with the steps; each step runs once the one before it was handled.
    INT_PTR run(std::vector<std::function<void()>> script) {
        steps = std::move(script);
        // A last step that ends the dialog whatever happened, so that a failing test ends.
        steps.push_back([this] { EndDialog(view.window(), 99); });
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, runStep);
        const INT_PTR result = view.run(dialog);
        KillTimer(nullptr, timer);
        return result;
    }
    // A key as the keyboard gives it, to the control that has the focus.
    static void press(UINT key, bool control = false) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = control ? 0x80 : 0;
        SetKeyboardState(keys);
        HWND focus = GetFocus();
        PostMessageW(focus, WM_KEYDOWN, key, 1);
        PostMessageW(focus, WM_KEYUP, key, LPARAM(0xC0000001));
    }
    // Gives the installed list the focus, as Tab would, and selects its first row with Home.
    void selectFirstInstalled() {
        SendMessageW(view.window(), WM_NEXTDLGCTL, WPARAM(view.control(IDC_INSTALLED)), TRUE);
        press(VK_HOME);
    }
    // Reads the text of the message box over the dialog and dismisses it with Enter.
    static std::wstring dismissMessage() {
        HWND box = GetActiveWindow();
        const std::wstring text = textOf(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_KEYDOWN, VK_RETURN, 1);
        return text;
    }
    int focusId() const { return GetDlgCtrlID(GetFocus()); }
    int sent(int id, UINT message) const {
        return int(SendMessageW(view.control(id), message, 0, 0));
    }
    bool enabled(int id) const { return IsWindowEnabled(view.control(id)) != FALSE; }
    std::wstring rowText(int list, int row) const {
        wchar_t text[256] = {};
        SendMessageW(view.control(list), LB_GETTEXT, WPARAM(row), LPARAM(text));
        return text;
    }

    fs::path root;
    SaveList saves;
    Win32DialogView view{GetModuleHandleW(nullptr)};
    ModManagerDialog dialog{view, saves};
};

TEST_F(DialogWin32Test, TheTemplateHasItsCaptionControlsPlacesStylesAndOrder) {
    struct Expected {
        int id;
        RECT units; // x, y, width, height
        const wchar_t* text;
    };
    const Expected controls[] = {
        {IDC_SAVES, {7, 7, 238, 100}, L""},        {IDC_INSTALLED, {7, 29, 107, 100}, L""},
        {IDC_AVAILABLE, {138, 29, 107, 100}, L""}, {IDC_INSTALL, {118, 40, 17, 14}, L"<<"},
        {IDC_REMOVE, {118, 60, 17, 14}, L"X"},     {IDCANCEL, {137, 135, 50, 14}, L"Cancel"},
        {IDOK, {195, 135, 50, 14}, L"OK"},         {-1, {7, 20, 107, 8}, L"Installed:"},
        {-1, {138, 20, 107, 8}, L"Available:"},    {IDC_MOVEUP, {118, 81, 17, 14}, L"^"},
        {IDC_MOVEDOWN, {118, 102, 17, 14}, L"v"},
    };
    run({[&] {
        HWND window = view.window();
        EXPECT_EQ(textOf(window), L"Tarvex v1.1");
        const LONG style = GetWindowLongW(window, GWL_STYLE);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION);
        EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
        RECT client = {0, 0, 252, 155};
        MapDialogRect(window, &client);
        RECT actual;
        GetClientRect(window, &actual);
        EXPECT_EQ(actual.right, client.right);
        EXPECT_EQ(actual.bottom, client.bottom);
        // The children in template order, which is the tab order.
        HWND child = GetWindow(window, GW_CHILD);
        for (const Expected& e : controls) {
            ASSERT_NE(child, nullptr);
            SCOPED_TRACE(std::to_string(e.id));
            EXPECT_EQ(GetDlgCtrlID(child), e.id == -1 ? 0xFFFF : e.id);
            // The dialog manager converts the position and the size each on its own.
            RECT want = e.units;
            MapDialogRect(window, &want);
            RECT got;
            GetWindowRect(child, &got);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&got), 2);
            EXPECT_EQ(got.left, want.left);
            EXPECT_EQ(got.top, want.top);
            EXPECT_EQ(got.right - got.left, want.right);
            const int height = got.bottom - got.top;
            if (e.id == IDC_INSTALLED || e.id == IDC_AVAILABLE) {
                // A list box shows whole rows: it keeps the height of those that fit.
                const int row = int(SendMessageW(child, LB_GETITEMHEIGHT, 0, 0));
                EXPECT_LE(height, want.bottom);
                EXPECT_GT(height, want.bottom - row);
            } else if (e.id != IDC_SAVES) { // the closed drop-down has the height of its field
                EXPECT_EQ(height, want.bottom);
            }
            if (e.id != IDC_SAVES && e.id != IDC_INSTALLED && e.id != IDC_AVAILABLE) {
                EXPECT_EQ(textOf(child), e.text);
            }
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr);
        const LONG combo = GetWindowLongW(view.control(IDC_SAVES), GWL_STYLE);
        EXPECT_EQ(combo & 3, CBS_DROPDOWNLIST);
        EXPECT_TRUE(combo & CBS_SORT);
        // The save box and the lists draw their entries themselves and keep their texts.
        EXPECT_EQ(combo & (CBS_OWNERDRAWFIXED | CBS_HASSTRINGS),
                  CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
        for (int id : {IDC_INSTALLED, IDC_AVAILABLE})
            EXPECT_EQ(GetWindowLongW(view.control(id), GWL_STYLE) &
                          (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS),
                      LBS_OWNERDRAWFIXED | LBS_HASSTRINGS)
                << id;
        EXPECT_FALSE(GetWindowLongW(view.control(IDC_INSTALLED), GWL_STYLE) & LBS_SORT);
        EXPECT_TRUE(GetWindowLongW(view.control(IDC_AVAILABLE), GWL_STYLE) & LBS_SORT);
        EXPECT_EQ(GetWindowLongW(view.control(IDOK), GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
        EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
        EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);
        // The rows: the newest save chosen, its mods in order, the catalogue sorted, the
        // Cyrillic description decoded from code page 1251.
        EXPECT_EQ(sent(IDC_SAVES, CB_GETCURSEL), 0);
        wchar_t label[128] = {};
        SendMessageW(view.control(IDC_SAVES), CB_GETLBTEXT, 0, LPARAM(label));
        const std::wstring labelText = label;
        EXPECT_EQ(labelText.substr(labelText.size() - 8), L" \x0418\x0432\x0430\x043d] S")
            << fs::path(labelText).string();
        EXPECT_EQ(rowText(IDC_INSTALLED, 0), L"Alpha mod");
        EXPECT_EQ(rowText(IDC_INSTALLED, 1), L"Beta mod");
        EXPECT_EQ(rowText(IDC_AVAILABLE, 2), L"\x041c\x043e\x0434 (Cyrillic)");
        EXPECT_EQ(focusId(), IDC_SAVES);
    }});
}

TEST_F(DialogWin32Test, KeysInstallAndMoveAndEnterOnTheListWritesAndClosesWithOK) {
    const INT_PTR result = run({
        [] { press(VK_TAB); }, // the installed list
        [] { press(VK_TAB); }, // the available list
        [&] {
            EXPECT_EQ(focusId(), IDC_AVAILABLE);
            EXPECT_FALSE(enabled(IDC_INSTALL));
            press(VK_DOWN); // a row selected
        },
        [] { press(VK_END); }, // the Cyrillic mod, last in sorted order

        [&] {
            EXPECT_TRUE(enabled(IDC_INSTALL));
            press(VK_INSERT);
        },
        [&] {
            EXPECT_EQ(sent(IDC_INSTALLED, LB_GETCOUNT), 3);
            EXPECT_EQ(focusId(), IDC_AVAILABLE);
            // Select the installed list's first row and move it down.
            selectFirstInstalled();
        },
        [&] {
            EXPECT_FALSE(enabled(IDC_MOVEUP));
            EXPECT_TRUE(enabled(IDC_MOVEDOWN));
            press(VK_DOWN, true);
        },
        [&] {
            EXPECT_EQ(rowText(IDC_INSTALLED, 0), L"Beta mod");
            EXPECT_EQ(rowText(IDC_INSTALLED, 1), L"Alpha mod");
            EXPECT_EQ(sent(IDC_INSTALLED, LB_GETCURSEL), 1);
            EXPECT_TRUE(enabled(IDC_MOVEUP));
            press(VK_RETURN);
        },
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(bytesOf(savePath()), saveBytes({"Mods\\Beta", "Mods\\Alpha", "\xcc\xee\xe4"}));
    EXPECT_EQ(bytesOf(savePath().parent_path() / L"game.bak"),
              saveBytes({"Mods\\Alpha", "Mods\\Beta"}));
}

TEST_F(DialogWin32Test, EnterOnAFocusedButtonPressesItAndEscCancelsWithoutWriting) {
    const std::string former = bytesOf(savePath());
    const INT_PTR result = run({
        [&] { selectFirstInstalled(); },
        [] { press(VK_TAB); }, // the available list
        [] { press(VK_TAB); }, // "X", enabled by the installed selection
        [&] {
            EXPECT_EQ(focusId(), IDC_REMOVE);
            press(VK_RETURN); // presses "X", not OK
        },
        [&] {
            EXPECT_EQ(sent(IDC_INSTALLED, LB_GETCOUNT), 1);
            // "X" is disabled now: the focus went to the list it acted on.
            EXPECT_FALSE(enabled(IDC_REMOVE));
            EXPECT_EQ(focusId(), IDC_INSTALLED);
            press(VK_ESCAPE);
        },
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(bytesOf(savePath()), former);
    EXPECT_FALSE(fs::exists(savePath().parent_path() / L"game.bak"));
}

TEST_F(DialogWin32Test, AFailedWriteShowsTheMessageAndKeepsTheDialogOpen) {
    HANDLE held = INVALID_HANDLE_VALUE;
    std::wstring shown;
    const INT_PTR result = run({
        [&] { selectFirstInstalled(); },
        [] { press(VK_DELETE); },
        [&] {
            // The game holds the save open without sharing.
            held = CreateFileW(savePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                               nullptr);
            EXPECT_NE(held, INVALID_HANDLE_VALUE);
            press(VK_RETURN);
        },
        [&] {
            // The message box is up, over the dialog.
            EXPECT_NE(GetActiveWindow(), view.window());
            EXPECT_EQ(textOf(GetActiveWindow()), L"Tarvex");
            shown = dismissMessage();
        },
        [&] {
            EXPECT_EQ(GetActiveWindow(), view.window());
            CloseHandle(held);
            held = INVALID_HANDLE_VALUE;
            press(VK_RETURN); // written now
        },
    });
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(shown.rfind(L"Error saving saves. May be share violation ?", 0), 0u)
        << fs::path(shown).string();
    EXPECT_EQ(bytesOf(savePath()), saveBytes({"Mods\\Beta"}));
}

TEST_F(DialogWin32Test, ARowNamingAModTheGameLacksCannotBeSelected) {
    writeBytes(savePath(), saveBytes({"Mods\\Alpha", "Gone\\Mod"}));
    const INT_PTR result = run({
        [&] {
            EXPECT_EQ(rowText(IDC_INSTALLED, 1), L"Gone\\Mod");
            selectFirstInstalled();
        },
        [&] {
            EXPECT_EQ(sent(IDC_INSTALLED, LB_GETCURSEL), 0);
            EXPECT_TRUE(enabled(IDC_REMOVE));
            press(VK_END); // the missing mod's row
        },
        [&] {
            EXPECT_EQ(sent(IDC_INSTALLED, LB_GETCURSEL), -1);
            EXPECT_FALSE(enabled(IDC_REMOVE));
            EXPECT_FALSE(enabled(IDC_MOVEUP));
            press(VK_DELETE); // nothing to remove
        },
        [&] {
            EXPECT_EQ(sent(IDC_INSTALLED, LB_GETCOUNT), 2);
            press(VK_ESCAPE);
        },
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(DialogWin32Test, WithoutASaveDirectoryTheLoadErrorShowsAndEnterCloses) {
    fs::remove_all(root / L"save");
    std::wstring shown;
    const INT_PTR result = run({
        [&] {
            shown = dismissMessage(); // the box opens while the dialog is being set up
        },
        [&] {
            EXPECT_EQ(sent(IDC_SAVES, CB_GETCOUNT), 0);
            EXPECT_EQ(sent(IDC_AVAILABLE, LB_GETCOUNT), 0);
            for (int id : {IDC_INSTALL, IDC_REMOVE, IDC_MOVEUP, IDC_MOVEDOWN})
                EXPECT_FALSE(enabled(id)) << id;
            EXPECT_EQ(focusId(), IDOK);
            press(VK_RETURN);
        },
    });
    EXPECT_EQ(shown, L"Error load saves. Run this program from game directory.");
    EXPECT_EQ(result, IDOK);
}

TEST_F(DialogWin32Test, EditedSavesAreDrawnBoldRecordedModsItalicAndMissingOnesStruckOutGrey) {
    writeBytes(savePath(), saveBytes({"Mods\\Alpha", "Gone\\Mod"}));
    // Draws a control now and gives how its entry was drawn.
    const auto drawnNow = [this](int id, int position) {
        RedrawWindow(view.control(id), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        const Win32DialogView::EntryDrawing* look = view.lastDrawn(id, position);
        EXPECT_NE(look, nullptr) << id << " " << position;
        return look != nullptr ? *look : Win32DialogView::EntryDrawing{};
    };
    const COLORREF plainText = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF greyText = GetSysColor(COLOR_GRAYTEXT);
    ASSERT_NE(plainText, greyText);
    const INT_PTR result = run({
        [] {}, // the dialog shows once its message queue is idle
        [&] {
            ASSERT_TRUE(IsWindowVisible(view.window()));
            auto row = drawnNow(IDC_INSTALLED, 0); // Alpha: plain
            EXPECT_FALSE(row.bold || row.italic || row.strikeOut);
            EXPECT_EQ(row.text, plainText);
            row = drawnNow(IDC_INSTALLED, 1); // a mod the game lacks
            EXPECT_TRUE(row.italic && row.strikeOut);
            EXPECT_EQ(row.text, greyText);
            row = drawnNow(IDC_AVAILABLE, 0); // Alpha, recorded in the save
            EXPECT_TRUE(row.italic);
            EXPECT_FALSE(row.strikeOut || row.bold);
            EXPECT_EQ(row.text, plainText);
            row = drawnNow(IDC_AVAILABLE, 1); // Beta, not recorded
            EXPECT_FALSE(row.italic || row.strikeOut);
            EXPECT_FALSE(drawnNow(IDC_SAVES, Win32DialogView::fieldEntry).bold);
            selectFirstInstalled();
        },
        [&] {
            // The selected row shows as selected, in its own font.
            const auto row = drawnNow(IDC_INSTALLED, 0);
            EXPECT_EQ(row.background, GetSysColor(COLOR_HIGHLIGHT));
            EXPECT_EQ(row.text, GetSysColor(COLOR_HIGHLIGHTTEXT));
            EXPECT_FALSE(row.italic);
            EXPECT_EQ(drawnNow(IDC_INSTALLED, 1).background, GetSysColor(COLOR_WINDOW));
            press(VK_DELETE); // the save is edited now
        },
        [&] {
            EXPECT_TRUE(drawnNow(IDC_SAVES, Win32DialogView::fieldEntry).bold);
            const auto row = drawnNow(IDC_INSTALLED, 0); // the missing mod moved up
            EXPECT_TRUE(row.italic && row.strikeOut);
            EXPECT_FALSE(drawnNow(IDC_AVAILABLE, 0).italic); // Alpha is no longer recorded
            SendMessageW(view.control(IDC_SAVES), CB_SHOWDROPDOWN, TRUE, 0);
        },
        [&] {
            // The opened list draws the edited save's entry in bold too.
            COMBOBOXINFO parts{};
            parts.cbSize = sizeof parts;
            ASSERT_TRUE(GetComboBoxInfo(view.control(IDC_SAVES), &parts));
            RedrawWindow(parts.hwndList, nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            const Win32DialogView::EntryDrawing* entry = view.lastDrawn(IDC_SAVES, 0);
            ASSERT_NE(entry, nullptr);
            EXPECT_TRUE(entry->bold);
            SendMessageW(view.control(IDC_SAVES), CB_SHOWDROPDOWN, FALSE, 0);
            press(VK_ESCAPE);
        },
    });
    EXPECT_EQ(result, IDCANCEL);
}

BOOL CALLBACK findTips(HWND window, LPARAM found) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (lstrcmpiW(name, TOOLTIPS_CLASSW) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The tooltip's text for a control, as it would show now.
std::wstring tipText(HWND dialog, HWND control) {
    HWND tips = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findTips, LPARAM(&tips));
    wchar_t text[512] = {};
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = dialog;
    tool.uId = UINT_PTR(control);
    tool.lpszText = text;
    if (tips != nullptr)
        SendMessageW(tips, TTM_GETTEXTW, WPARAM(512), LPARAM(&tool));
    return text;
}

TEST_F(DialogWin32Test, TipsNameTheRowUnderThePointerAndWhatAButtonDoes) {
    run({
        [&] {
            HWND available = view.control(IDC_AVAILABLE);
            RECT row{};
            SendMessageW(available, LB_GETITEMRECT, 1, LPARAM(&row));
            POINT at{(row.left + row.right) / 2, (row.top + row.bottom) / 2};
            ClientToScreen(available, &at);
            SetCursorPos(at.x, at.y);
        },
        [&] {
            EXPECT_EQ(tipText(view.window(), view.control(IDC_AVAILABLE)),
                      L"Beta mod\nFolder: Mods\\Beta");
            EXPECT_EQ(tipText(view.window(), view.control(IDC_INSTALL)),
                      L"Install the selected available mod into the chosen save (Insert)");
        },
    });
}

} // namespace
