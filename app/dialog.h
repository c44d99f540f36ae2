// app/dialog.h - the main dialog's logic (ModManagerDialog) over the few control operations it
// needs (DialogView), so that it runs with real widgets or with a recording fake alike.
#pragma once

#include "savelist.h"

#include <cstdint>

// An icon as the view knows it; the logic only hands it back.
using IconHandle = const void*;

// The dialog's two lists of mods.
enum class ModRows { installed, available };

// How a row is shown beyond its text.
enum class RowLook {
    normal,
    recorded, // "Available:": the mod is recorded in the chosen save
    missing,  // "Installed:": a name the save lists but no mod matched; cannot be selected
};

// The control operations of the dialog. Texts are UTF-8. Positions are zero-based; a negative
// position means "none". Nothing the logic does through the view raises a notification.
class DialogView {
public:
    virtual ~DialogView() = default;

    // Save choices (kept sorted by text).
    virtual int addChoice(const char* text, SaveGame* record) = 0; // the sorted position
    virtual void setChoiceRecord(int position, SaveGame* record) = 0;
    virtual int chosenChoice() const = 0;
    virtual SaveGame* choiceRecord(int position) const = 0;
    virtual void choose(int position) = 0;
    virtual int choiceCount() const = 0;
    virtual void deleteChoice(int position) = 0; // a deleted chosen entry leaves none chosen
    virtual void setChoiceBold(int position, bool bold) = 0;

    // Rows of either list ("Available:" kept sorted by text, "Installed:" in insertion order).
    virtual int addRow(ModRows list, const char* text, ModInfo* record) = 0; // its position
    virtual int rowCount(ModRows list) const = 0;
    virtual int selectedRow(ModRows list) const = 0;
    virtual ModInfo* rowRecord(ModRows list, int position) const = 0;
    virtual void deleteFirstRow(ModRows list) = 0;
    virtual void selectRow(ModRows list, int position) = 0;
    virtual void setRowLook(ModRows list, int position, RowLook look) = 0;
    virtual void setRowTip(ModRows list, int position, const char* text) = 0;

    virtual void enableButton(int id, bool enabled) = 0;
    // Shows the text with the error icon and one OK button, captioned with the program's name,
    // and returns when the user has closed it. details: a secondary text, empty for none.
    virtual void showError(const char* text, const char* details) = 0;
    virtual void endDialog(bool ok) = 0;

    virtual IconHandle loadIcon(uint32_t resourceId) = 0;
    virtual void setIcon(IconHandle icon, bool large) = 0;

    // Painting (valid while the logic's OnPaint runs).
    virtual bool isIconic() const = 0;
    virtual void clientSize(int& width, int& height) const = 0;
    virtual void systemIconSize(int& width, int& height) const = 0;
    virtual void eraseIconBackground() = 0;
    virtual void drawIcon(int x, int y, IconHandle icon) = 0;
    virtual void defaultPaint() = 0;
};

class ModManagerDialog {
public:
    // Control ids of the buttons the logic enables and disables.
    static constexpr int idInstall = 131;
    static constexpr int idRemove = 132;
    static constexpr int idMoveUp = 133;
    static constexpr int idMoveDown = 134;
    static constexpr uint32_t idIcon = 128;

    static constexpr const char* saveErrorText = "Error saving saves. May be share violation ?";
    static constexpr const char* loadErrorText =
        "Error load saves. Run this program from game directory.";

    ModManagerDialog(DialogView& view, SaveList& saves);
    ModManagerDialog(const ModManagerDialog&) = delete;
    ModManagerDialog& operator=(const ModManagerDialog&) = delete;

    // False when the catalogue could not be loaded (the lists then stay empty).
    bool OnInitDialog();
    void RefreshInstalled();
    void UpdateButtons();

    void OnSaveChanged();
    void OnListSelChanged();
    void OnInstall();
    void OnRemove();
    void OnMoveUp();
    void OnMoveDown();
    void OnOK();
    void OnPaint();
    IconHandle OnQueryDragIcon() const { return icon; }

    // The text a list shows for a mod: its description, decoded to UTF-8.
    static rString rowText(const ModInfo* mod);
    // A stored mod name (code page 1251) in UTF-8.
    static rString nameText(const rString& name);
    // The plain-words reason why a save's last write failed.
    static rString failureText(const SaveGame& save);

private:
    SaveGame* chosenSave() const;
    int choicePosition(const SaveGame* save) const;
    // Marks every save that has unwritten edits.
    void markModifiedChoices();
    // Reads a save again from disk after its file changed under it, and shows it as it is now;
    // false when it can no longer be read (it is then taken out of the save box).
    bool reloadSave(SaveGame* save);
    // Applies edit to the chosen save with the selected row's mod of list; refreshes on a change.
    void editWithSelected(ModRows list, bool (SaveGame::*edit)(ModInfo*));
    // Swaps installed rows s and t (t = s - 1 or s + 1) and keeps row t selected.
    void moveSelection(int s, int t);

    DialogView& view;
    SaveList& saves;
    IconHandle icon;
    int missingRows = 0; // the last rows of "Installed:" show names that matched no mod
};
