// app/dialog.cpp - the main dialog's logic: filling the lists, the button rules, and the handlers
// that edit the chosen save and write the changed saves on OK.
#include "dialog.h"

#include "rcodepage.h"

#include <cerrno>
#include <cstring>

ModManagerDialog::ModManagerDialog(DialogView& dialogView, SaveList& saveList)
    : view(dialogView), saves(saveList), icon(dialogView.loadIcon(idIcon)) {}

rString ModManagerDialog::rowText(const ModInfo* mod) {
    const rString& description = mod->description;
    if (isValidUtf8(description.text(), description.length()))
        return description;
    rString text;
    cp1251ToUtf8(description.text(), description.length(), text);
    return text;
}

rString ModManagerDialog::nameText(const rString& name) {
    rString text;
    cp1251ToUtf8(name.text(), name.length(), text);
    return text;
}

namespace {

// The tooltip of a mod's rows: the whole description and the folder.
rString modTip(const ModInfo* mod) {
    rString tip = ModManagerDialog::rowText(mod);
    tip += "\nFolder: ";
    tip += ModManagerDialog::nameText(mod->name);
    return tip;
}

const char* const missingTip = "This mod is not in the game directory; it is left out when this "
                               "save is written.";

// An operating-system error number in plain words.
const char* errnoText(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "permission denied.";
    case ENOSPC:
        return "the disk is full.";
#ifdef EDQUOT // not every C library has it
    case EDQUOT:
        return "the disk quota is used up.";
#endif
    case EROFS:
        return "the file system is read-only.";
    case EIO:
        return "the disk reported a read or write error.";
    case EBUSY:
    case ETXTBSY:
        return "the file is in use.";
    case ENOENT:
        return "the file is no longer there.";
    case ENAMETOOLONG:
        return "its path is too long.";
    case EMFILE:
    case ENFILE:
        return "too many files are open.";
    case ENOMEM:
        return "out of memory.";
    default:
        return nullptr;
    }
}

} // namespace

rString ModManagerDialog::failureText(const SaveGame& save) {
    switch (save.writeFailure) {
    case SaveGame::WriteFailure::none:
        break;
    case SaveGame::WriteFailure::changedOnDisk:
        return rString("the game changed it after Tarvex read it.");
    case SaveGame::WriteFailure::tooShort:
        return rString("the file is too short to hold a mod list.");
    case SaveGame::WriteFailure::badName:
        return rString("a mod's folder name is too long to be stored.");
    case SaveGame::WriteFailure::system:
        if (const char* words = errnoText(save.writeErrno))
            return rString(words);
        rString text;
        rString::format(text, "the system reported error %d (%s).", save.writeErrno,
                        std::strerror(save.writeErrno));
        return text;
    }
    return rString("the write failed.");
}

bool ModManagerDialog::OnInitDialog() {
    view.setIcon(icon, true);
    view.setIcon(icon, false);
    if (!saves.scan()) {
        view.showError(loadErrorText, "");
        // The buttons would otherwise keep the template's enabled look while doing nothing.
        UpdateButtons();
        return false;
    }
    for (uint32_t i = 0; i < saves.getCount(); ++i) {
        SaveGame* save = saves.save(i);
        view.addChoice(save->label().text(), save);
    }
    for (uint32_t i = 0; i < saves.mods.getCount(); ++i) {
        ModInfo* mod = saves.mods.mod(i);
        const int row = view.addRow(ModRows::available, rowText(mod).text(), mod);
        view.setRowTip(ModRows::available, row, modTip(mod).text());
    }
    if (saves.getCount() > 0)
        view.choose(int(saves.getCount()) - 1);
    RefreshInstalled();
    return true;
}

SaveGame* ModManagerDialog::chosenSave() const {
    const int chosen = view.chosenChoice();
    return chosen >= 0 ? view.choiceRecord(chosen) : nullptr;
}

int ModManagerDialog::choicePosition(const SaveGame* save) const {
    if (save == nullptr)
        return -1;
    for (int i = 0, n = view.choiceCount(); i < n; ++i)
        if (view.choiceRecord(i) == save)
            return i;
    return -1;
}

void ModManagerDialog::markModifiedChoices() {
    for (int i = 0, n = view.choiceCount(); i < n; ++i) {
        const SaveGame* save = view.choiceRecord(i);
        view.setChoiceBold(i, save != nullptr && save->modified != 0);
    }
}

void ModManagerDialog::RefreshInstalled() {
    for (int n = view.rowCount(ModRows::installed); n > 0; --n)
        view.deleteFirstRow(ModRows::installed);
    missingRows = 0;
    SaveGame* save = chosenSave();
    if (save != nullptr) {
        for (uint32_t i = 0; i < save->installed.getCount(); ++i) {
            ModInfo* mod = save->installed[i];
            const int row = view.addRow(ModRows::installed, rowText(mod).text(), mod);
            view.setRowTip(ModRows::installed, row, modTip(mod).text());
        }
        // Names the save lists but the game lacks: shown after the mods, never selectable.
        for (uint32_t i = 0; i < save->missing.getCount(); ++i) {
            const rString text = nameText(save->missingName(i));
            const int row = view.addRow(ModRows::installed, text.text(), nullptr);
            view.setRowLook(ModRows::installed, row, RowLook::missing);
            view.setRowTip(ModRows::installed, row, missingTip);
            ++missingRows;
        }
        view.setChoiceBold(view.chosenChoice(), save->modified != 0);
    }
    for (int i = 0, n = view.rowCount(ModRows::available); i < n; ++i) {
        const bool recorded =
            save != nullptr && save->indexOf(view.rowRecord(ModRows::available, i)) >= 0;
        view.setRowLook(ModRows::available, i, recorded ? RowLook::recorded : RowLook::normal);
    }
    UpdateButtons();
}

void ModManagerDialog::UpdateButtons() {
    // Only the rows before the missing names hold mods.
    const int n = view.rowCount(ModRows::installed) - missingRows;
    int s = view.selectedRow(ModRows::installed);
    if (s >= n)
        s = -1;
    const bool available =
        view.rowCount(ModRows::available) > 0 && view.selectedRow(ModRows::available) >= 0;
    view.enableButton(idRemove, n != 0 && s >= 0);
    view.enableButton(idInstall, available);
    view.enableButton(idMoveUp, n >= 1 && s > 0);
    view.enableButton(idMoveDown, n >= 1 && s >= 0 && s < n - 1);
}

void ModManagerDialog::OnSaveChanged() {
    RefreshInstalled();
}

void ModManagerDialog::OnListSelChanged() {
    UpdateButtons();
}

void ModManagerDialog::OnInstall() {
    editWithSelected(ModRows::available, &SaveGame::addMod);
}

void ModManagerDialog::OnRemove() {
    editWithSelected(ModRows::installed, &SaveGame::removeMod);
}

void ModManagerDialog::editWithSelected(ModRows list, bool (SaveGame::*edit)(ModInfo*)) {
    const int row = view.selectedRow(list);
    SaveGame* save = chosenSave();
    if (row < 0 || save == nullptr)
        return;
    ModInfo* mod = view.rowRecord(list, row);
    if (mod != nullptr && (save->*edit)(mod))
        RefreshInstalled();
}

void ModManagerDialog::OnMoveUp() {
    const int s = view.selectedRow(ModRows::installed);
    if (s > 0)
        moveSelection(s, s - 1);
}

void ModManagerDialog::OnMoveDown() {
    const int s = view.selectedRow(ModRows::installed);
    if (s >= 0 && s < view.rowCount(ModRows::installed) - 1)
        moveSelection(s, s + 1);
}

void ModManagerDialog::moveSelection(int s, int t) {
    SaveGame* save = chosenSave();
    if (save == nullptr)
        return;
    ModInfo* a = view.rowRecord(ModRows::installed, s);
    ModInfo* b = view.rowRecord(ModRows::installed, t);
    if (a == nullptr || b == nullptr || !save->swapMods(a, b))
        return;
    RefreshInstalled();
    view.selectRow(ModRows::installed, t);
    UpdateButtons();
}

void ModManagerDialog::OnOK() {
    const bool written = saves.saveAll();
    markModifiedChoices();
    if (written) {
        view.endDialog(true);
        return;
    }
    // One line per save not written: the one that failed, then those after it, which writing
    // never reached.
    rString details;
    SaveGame* failed = saves.failedSave();
    const int32_t at = failed != nullptr ? saves.indexOf(failed) : -1;
    if (at >= 0) {
        rString later;
        for (uint32_t i = uint32_t(at) + 1; i < saves.getCount(); ++i) {
            if (saves.save(i)->modified == 0)
                continue;
            later += "\n";
            later += saves.save(i)->label();
            later += ": not written yet, because writing stops at the first failure.";
        }
        details = failed->label();
        details += ": ";
        details += failureText(*failed);
        // Edits to a file the game has since replaced or removed can never be written; the save
        // is read again so that it no longer blocks the others.
        if (failed->writeFailure == SaveGame::WriteFailure::changedOnDisk ||
            (failed->writeFailure == SaveGame::WriteFailure::system &&
             failed->writeErrno == ENOENT))
            details += reloadSave(failed)
                           ? " Its edits were dropped; it now shows what is on disk."
                           : " It can no longer be read and was taken out of the save box.";
        details += later;
    }
    view.showError(saveErrorText, details.text());
}

bool ModManagerDialog::reloadSave(SaveGame* save) {
    SaveGame* chosen = chosenSave();
    const int position = choicePosition(save);
    if (position >= 0)
        view.deleteChoice(position);
    const rString path = save->path;
    const bool read = save->readFile(path.text(), saves.mods);
    // A save that cannot be read stays in the catalogue, unmodified, so nothing writes it.
    if (read)
        view.addChoice(save->label().text(), save);
    else if (chosen == save)
        chosen = nullptr;
    view.choose(choicePosition(chosen));
    if (chosen == nullptr || chosen == save)
        RefreshInstalled();
    return read;
}

void ModManagerDialog::OnPaint() {
    if (!view.isIconic()) {
        view.defaultPaint();
        return;
    }
    int width = 0, height = 0, iconWidth = 0, iconHeight = 0;
    view.clientSize(width, height);
    view.systemIconSize(iconWidth, iconHeight);
    view.eraseIconBackground();
    view.drawIcon((width - iconWidth + 1) / 2, (height - iconHeight + 1) / 2, icon);
}
