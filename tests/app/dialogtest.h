// tests/app/dialogtest.h - the dialog-logic tests' fixture: a fake view that keeps what the logic
// asked for, and a game of four mods and three saves.
#pragma once

#include "dialog.h"
#include "gametest.h"
#include "writefault.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

// ASCII letters compared without their case, as the real sorted lists compare.
inline bool lessNoCase(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) {
            return static_cast<unsigned char>(lower(x)) < static_cast<unsigned char>(lower(y));
        });
}

// Keeps what the logic asked for, with sorted inserts like the real controls.
class FakeView : public DialogView {
public:
    struct Entry {
        std::string text;
        void* record;
        bool bold = false;
        RowLook look = RowLook::normal;
        std::string tip;
    };
    std::vector<Entry> choices, rowList[2];
    int chosen = -1, selected[2] = {-1, -1};
    std::map<int, bool> enabled;
    std::vector<std::string> errors, details;
    int ended = -1; // 1 OK, 0 Cancel
    bool iconic = false;
    std::vector<std::string> paintLog;
    int iconSets = 0;

    static int insertSorted(std::vector<Entry>& list, const char* text, void* record) {
        auto at = std::upper_bound(
            list.begin(), list.end(), std::string(text),
            [](const std::string& t, const Entry& e) { return lessNoCase(t, e.text); });
        // begin() only after the insert, which may move the elements.
        const auto inserted = list.insert(at, Entry{text, record, false, RowLook::normal, ""});
        return int(inserted - list.begin());
    }
    std::vector<Entry>& rows(ModRows l) { return rowList[int(l)]; }
    const std::vector<Entry>& rows(ModRows l) const { return rowList[int(l)]; }
    std::vector<std::string> texts(ModRows l) const {
        std::vector<std::string> out;
        for (const Entry& e : rows(l))
            out.push_back(e.text);
        return out;
    }

    int addChoice(const char* text, SaveGame* record) override {
        return insertSorted(choices, text, record);
    }
    void setChoiceRecord(int p, SaveGame* record) override {
        choices.at(size_t(p)).record = record;
    }
    int chosenChoice() const override { return chosen; }
    SaveGame* choiceRecord(int p) const override {
        return static_cast<SaveGame*>(choices.at(size_t(p)).record);
    }
    void choose(int p) override { chosen = p; }
    int choiceCount() const override { return int(choices.size()); }
    void deleteChoice(int p) override {
        choices.erase(choices.begin() + p);
        chosen = chosen == p ? -1 : chosen > p ? chosen - 1 : chosen;
    }
    void setChoiceBold(int p, bool bold) override { choices.at(size_t(p)).bold = bold; }
    int addRow(ModRows l, const char* text, ModInfo* record) override {
        if (l == ModRows::available)
            return insertSorted(rows(l), text, record);
        rows(l).push_back(Entry{text, record, false, RowLook::normal, ""});
        return int(rows(l).size()) - 1;
    }
    int rowCount(ModRows l) const override { return int(rows(l).size()); }
    int selectedRow(ModRows l) const override { return selected[int(l)]; }
    ModInfo* rowRecord(ModRows l, int p) const override {
        return static_cast<ModInfo*>(rows(l).at(size_t(p)).record);
    }
    void deleteFirstRow(ModRows l) override {
        rows(l).erase(rows(l).begin());
        // A list box drops the selection of a deleted row and moves the ones below up.
        int& s = selected[int(l)];
        s = s <= 0 ? -1 : s - 1;
    }
    void selectRow(ModRows l, int p) override { selected[int(l)] = p; }
    void setRowLook(ModRows l, int p, RowLook look) override { rows(l).at(size_t(p)).look = look; }
    void setRowTip(ModRows l, int p, const char* text) override {
        rows(l).at(size_t(p)).tip = text;
    }
    void enableButton(int id, bool on) override { enabled[id] = on; }
    void showError(const char* text, const char* more) override {
        errors.push_back(text);
        details.push_back(more);
    }
    void endDialog(bool ok) override { ended = ok ? 1 : 0; }
    IconHandle loadIcon(uint32_t id) override { return id == 128 ? this : nullptr; }
    void setIcon(IconHandle icon, bool) override { iconSets += icon == this ? 1 : 0; }
    bool isIconic() const override { return iconic; }
    void clientSize(int& w, int& h) const override { w = 101, h = 80; }
    void systemIconSize(int& w, int& h) const override { w = h = 32; }
    void eraseIconBackground() override { paintLog.push_back("erase"); }
    void drawIcon(int x, int y, IconHandle icon) override {
        paintLog.push_back(icon == this ? std::to_string(x) + "," + std::to_string(y) : "?");
    }
    void defaultPaint() override { paintLog.push_back("default"); }

    // Buttons 131..134 as "1" and "0".
    std::string buttons() {
        std::string out;
        for (int id = 131; id <= 134; ++id)
            out += enabled[id] ? '1' : '0';
        return out;
    }
};

class DialogTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        for (const auto& [path, text] : std::vector<std::pair<std::string, std::string>>{
                 {"Mods/Alpha", "Alpha"},
                 {"Mods/beta", "beta"},
                 {"Mods/Gamma", "Gamma"},
                 {"Mods/Cyr", gamegen::cp1251("Дельта")}})
            ASSERT_TRUE(gamegen::makeMod(dir, path, text));
        using gamegen::Save;
        ASSERT_TRUE(gamegen::writeSave(dir, "save/P/Old", Save::withNames({"Mods\\Alpha"}, "", 1),
                                       1000000000, 0));
        ASSERT_TRUE(gamegen::writeSave(
            dir, "save/P/New",
            Save::withNames({"Mods\\Alpha", "Mods\\Gamma", "Mods\\beta"}, "T", 2), 1600000000, 0));
        ASSERT_TRUE(gamegen::writeSave(dir, "save/P/Mid", Save::withNames({"Mods\\Gamma"}, "", 3),
                                       1300000000, 0));
    }
    // Loads the game and runs the dialog's start.
    bool start() {
        saves.setProgramDirectory(rString(dir.c_str()));
        return dialog.OnInitDialog();
    }
    // Selects a row as the user would: the list notifies the dialog.
    void click(ModRows l, int p) {
        view.selectRow(l, p);
        dialog.OnListSelChanged();
    }
    // Chooses a save as the user would.
    void chooseSave(const SaveGame* save) {
        for (int i = 0; i < view.choiceCount(); ++i)
            if (view.choiceRecord(i) == save)
                view.choose(i);
        dialog.OnSaveChanged();
    }
    // Removes the first installed mod of a save.
    void editSave(const SaveGame* save) {
        chooseSave(save);
        click(ModRows::installed, 0);
        dialog.OnRemove();
    }
    bool bold(const SaveGame* save) const {
        for (const auto& e : view.choices)
            if (e.record == save)
                return e.bold;
        return false;
    }
    std::vector<RowLook> looks(ModRows l) const {
        std::vector<RowLook> out;
        for (const auto& e : view.rows(l))
            out.push_back(e.look);
        return out;
    }
    std::string label(uint32_t i) { return saves.save(i)->label().text(); }
    std::string relativeDirectory(const SaveGame* save) {
        const std::string path = save->path.text();
        return path.substr(dir.size() + 1, path.size() - dir.size() - 1 - 9); // "/game.sav"
    }

    SaveList saves;
    FakeView view;
    ModManagerDialog dialog{view, saves};
};

using Texts = std::vector<std::string>;

// Faults injected into the writer's calls are removed after each test, also after a failed
// assertion.
class DialogFaultTest : public DialogTest {
protected:
    void TearDown() override {
        writefault::stop();
        DialogTest::TearDown();
    }
};
