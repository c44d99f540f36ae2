// app/dialog.cpp - the main dialog's logic: filling the lists, the button rules, and the handlers
// that edit the chosen save and write the changed saves on OK.
#include "dialog.h"

#include "rcodepage.h"

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

bool ModManagerDialog::OnInitDialog() {
    view.setIcon(icon, true);
    view.setIcon(icon, false);
    if (!saves.scan()) {
        view.showError(loadErrorText);
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
        view.addRow(ModRows::available, rowText(mod).text(), mod);
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

void ModManagerDialog::RefreshInstalled() {
    for (int n = view.rowCount(ModRows::installed); n > 0; --n)
        view.deleteFirstRow(ModRows::installed);
    if (SaveGame* save = chosenSave()) {
        for (uint32_t i = 0; i < save->installed.getCount(); ++i) {
            ModInfo* mod = save->installed[i];
            view.addRow(ModRows::installed, rowText(mod).text(), mod);
        }
    }
    UpdateButtons();
}

void ModManagerDialog::UpdateButtons() {
    const int n = view.rowCount(ModRows::installed);
    const int s = view.selectedRow(ModRows::installed);
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
    if (saves.saveAll())
        view.endDialog(true);
    else
        view.showError(saveErrorText);
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
