// ui/win32/win32dialogview.h - the main dialog's window on Windows: the dialog template's
// controls carry out the logic's control operations, and their notifications call its handlers.
#pragma once

#include "dialog.h"

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

class Win32DialogView : public DialogView {
public:
    // module: where the dialog template and the icon are found.
    explicit Win32DialogView(HINSTANCE module);
    ~Win32DialogView() override;
    Win32DialogView(const Win32DialogView&) = delete;
    Win32DialogView& operator=(const Win32DialogView&) = delete;

    // Runs the dialog modally over the logic until it closes: IDOK or IDCANCEL, or -1 when the
    // window could not be created.
    INT_PTR run(ModManagerDialog& dialog, HWND owner = nullptr);
    // The dialog's window while run() runs, else null.
    HWND window() const { return hwnd; }
    HWND control(int id) const { return GetDlgItem(hwnd, id); }

    // Texts from the logic: UTF-8 where they are valid UTF-8, else code page 1251 (the names the
    // library takes from the file system are 1251 on Windows), each byte by our own table.
    static std::wstring wideText(const char* text);

    // How an entry was last drawn, read back from the drawing context at the time: the save box's
    // entries (its field as position fieldEntry) and the rows of the two lists.
    struct EntryDrawing {
        bool bold = false;
        bool italic = false;
        bool strikeOut = false;
        COLORREF text = 0;
        COLORREF background = 0;
    };
    static constexpr int fieldEntry = -1;
    // Null when the entry has not been drawn since the dialog opened.
    const EntryDrawing* lastDrawn(int controlId, int position) const;

    // DialogView
    int addChoice(const char* text, SaveGame* record) override;
    void setChoiceRecord(int position, SaveGame* record) override;
    int chosenChoice() const override;
    SaveGame* choiceRecord(int position) const override;
    void choose(int position) override;
    int choiceCount() const override;
    void deleteChoice(int position) override;
    void setChoiceBold(int position, bool bold) override;
    int addRow(ModRows list, const char* text, ModInfo* record) override;
    int rowCount(ModRows list) const override;
    int selectedRow(ModRows list) const override;
    ModInfo* rowRecord(ModRows list, int position) const override;
    void deleteFirstRow(ModRows list) override;
    void selectRow(ModRows list, int position) override;
    void setRowLook(ModRows list, int position, RowLook look) override;
    void setRowTip(ModRows list, int position, const char* text) override;
    void enableButton(int id, bool enabled) override;
    void showError(const char* text, const char* details) override;
    void endDialog(bool ok) override;
    IconHandle loadIcon(uint32_t resourceId) override;
    void setIcon(IconHandle icon, bool large) override;
    bool isIconic() const override;
    void clientSize(int& width, int& height) const override;
    void systemIconSize(int& width, int& height) const override;
    void eraseIconBackground() override;
    void drawIcon(int x, int y, IconHandle icon) override;
    void defaultPaint() override;

private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK messageFilter(int code, WPARAM wParam, LPARAM lParam);
    INT_PTR onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void onCommand(int id, int code);
    // The keys of the four small buttons: true when the key was one of them.
    bool onKey(const MSG& message);
    // The pointer moved over a list: a tip shows the row now under it.
    void onPointer(const MSG& message);
    // Runs a handler of the logic for the player's action on actedOn (the list a button works
    // on, or the control that raised the event), which takes the focus from a button the
    // handler disables.
    void handle(HWND actedOn, void (ModManagerDialog::*handler)());
    HWND rows(ModRows list) const;
    // Places the dialog in the middle of the screen's work area (the template says where its
    // controls go, not where the window opens).
    void centre();
    // Starts painting on the first drawing call of a paint message.
    HDC paintContext();
    // Owner drawing: the fonts made once from the dialog's, and an entry drawn in its look.
    void makeFonts();
    void deleteFonts();
    void drawEntry(const DRAWITEMSTRUCT& item);
    // The height of an entry: that of the dialog's font, as the plain controls have it.
    static void measureEntry(HWND dialog, MEASUREITEMSTRUCT& item);

    HINSTANCE module;
    HWND hwnd = nullptr;
    HHOOK keyHook = nullptr;
    ModManagerDialog* logic = nullptr;
    HWND handlerTarget = nullptr;  // while a handler runs: where a displaced focus goes
    HWND focusDisplaced = nullptr; // the focused button a running handler disabled
    HICON largeIcon = nullptr;
    HICON smallIcon = nullptr;
    // What the lists know of each row beyond its text, in row order.
    struct RowExtra {
        RowLook look = RowLook::normal; // missing: names a mod the game lacks, never selected
        std::wstring tip;
    };
    std::vector<RowExtra> extras[2];
    std::vector<RowExtra>& extrasOf(ModRows list) { return extras[list == ModRows::installed]; }
    const RowExtra* extraAt(ModRows list, int position) const;
    // The tips of the rows and of the four small buttons.
    void createTips();
    // The tip of the row under the pointer in list (a tooltip asks for it).
    const wchar_t* tipUnderPointer(HWND list);
    HWND tips = nullptr;
    int tipRow[2] = {-1, -1}; // the row whose tip shows, per list
    std::vector<bool> choiceBold; // per save box entry: the save has unwritten edits
    // The dialog's font in bold, in italic, and in italic struck out.
    HFONT boldFont = nullptr;
    HFONT italicFont = nullptr;
    HFONT missingFont = nullptr;
    std::map<std::pair<int, int>, EntryDrawing> drawn; // by control id and position
    // Painting (while a paint message is handled).
    bool painting = false;
    PAINTSTRUCT paint{};
    HDC paintDc = nullptr;
};
