// tests/app/dialog_test.cpp - the main dialog's logic through a recording fake view, on game
// directories built by the generator.
#include "dialog.h"
#include "gametest.h"
#include "rposix.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <strings.h>
#include <unistd.h>

namespace {

// A fault for the calls of one kind whose path holds faultPath (any path when it is empty).
rPosix::Op faultOp = rPosix::Op::rename;
std::string faultPath;
int faultErrno = 0;
int pathFault(rPosix::Op op, const char* path) {
    if (op != faultOp)
        return 0;
    return faultPath.empty() || (path != nullptr && std::strstr(path, faultPath.c_str()))
               ? faultErrno
               : 0;
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
        auto at = std::upper_bound(list.begin(), list.end(), std::string(text),
                                   [](const std::string& t, const Entry& e) {
                                       return strcasecmp(t.c_str(), e.text.c_str()) < 0;
                                   });
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
    void TearDown() override {
        rPosix::setFaultHook(nullptr);
        GameTest::TearDown();
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

TEST_F(DialogTest, StartChoosesNewestSaveAndListsItsModsDecoded) {
    ASSERT_TRUE(start());
    EXPECT_EQ(view.iconSets, 2);
    ASSERT_EQ(view.choices.size(), 3u);
    EXPECT_EQ(view.chosen, 2);
    EXPECT_EQ(view.choices[2].text, "[2020/09/13 12:26:40 P] New");
    EXPECT_EQ(view.texts(ModRows::installed), (Texts{"Alpha", "Gamma", "beta"}));
    // Descriptions in code page 1251 are shown decoded.
    EXPECT_EQ(view.texts(ModRows::available), (Texts{"Alpha", "beta", "Gamma", "Дельта"}));
    EXPECT_EQ(view.selected[0], -1);
    EXPECT_EQ(view.buttons(), "0000");
}

TEST_F(DialogTest, SelectionAndButtonsAfterEachHandler) {
    ASSERT_TRUE(start());
    SaveGame* save = view.choiceRecord(2);
    click(ModRows::installed, 2);
    EXPECT_EQ(view.buttons(), "0110"); // last row: no "v"
    click(ModRows::available, 0);      // "Alpha", installed already
    dialog.OnInstall();
    EXPECT_EQ(view.texts(ModRows::installed), (Texts{"Alpha", "Gamma", "beta"}));
    EXPECT_EQ(view.selected[0], 2);
    EXPECT_EQ(save->modified, 0u);
    dialog.OnMoveUp();
    EXPECT_EQ(view.texts(ModRows::installed), (Texts{"Alpha", "beta", "Gamma"}));
    EXPECT_EQ(view.selected[0], 1);
    EXPECT_EQ(view.buttons(), "1111");
    dialog.OnMoveUp();
    EXPECT_EQ(view.selected[0], 0);
    EXPECT_EQ(view.buttons(), "1101"); // first row: no "^"
    dialog.OnMoveDown();
    EXPECT_EQ(view.texts(ModRows::installed), (Texts{"Alpha", "beta", "Gamma"}));
    EXPECT_EQ(view.selected[0], 1);
    dialog.OnRemove();
    EXPECT_EQ(view.texts(ModRows::installed), (Texts{"Alpha", "Gamma"}));
    EXPECT_EQ(view.selected[0], -1);
    EXPECT_EQ(view.buttons(), "1000");
    click(ModRows::available, 3);
    dialog.OnInstall();
    EXPECT_EQ(view.texts(ModRows::installed), (Texts{"Alpha", "Gamma", "Дельта"}));
    EXPECT_EQ(view.selected[1], 3);
    view.choose(0);
    dialog.OnSaveChanged();
    EXPECT_EQ(view.texts(ModRows::installed), (Texts{"Alpha"}));
    EXPECT_EQ(save->modified, 1u);
}

TEST_F(DialogTest, OkWritesChangedSavesOnlyAndAFailureKeepsTheDialogOpen) {
    const std::string before = bytesOf("save/P/Old/game.sav");
    ASSERT_TRUE(start());
    click(ModRows::installed, 0);
    dialog.OnRemove();
    rPosix::setFaultHook(
        [](rPosix::Op op, const char*) { return op == rPosix::Op::rename ? 13 : 0; });
    dialog.OnOK();
    EXPECT_EQ(view.ended, -1);
    EXPECT_EQ(view.errors, (Texts{"Error saving saves. May be share violation ?"}));
    rPosix::setFaultHook(nullptr);
    dialog.OnOK(); // the retry writes the save still marked
    EXPECT_EQ(view.ended, 1);
    EXPECT_EQ(bytesOf("save/P/New/game.sav").substr(gamegen::entriesOffset),
              "\x14Mods\\Gamma\x12Mods\\betaT");
    EXPECT_EQ(bytesOf("save/P/Old/game.sav"), before);
    EXPECT_EQ(bytesOf("save/P/Old/game.bak"), "<missing>");
}

TEST_F(DialogTest, NamesNoModMatchedFollowTheModsUnselectableAndAreLeftOutOnWrite) {
    using gamegen::Save;
    const Save lost = Save::withNames(
        {"Mods\\Alpha", "Mods\\Gone", gamegen::cp1251("Mods\\Пропал"), "Mods\\beta"}, "Z", 4);
    ASSERT_TRUE(gamegen::writeSave(dir, "save/P/Lost", lost, 1700000000, 0));
    ASSERT_TRUE(start());
    ASSERT_EQ(view.chosen, 3);
    EXPECT_EQ(view.texts(ModRows::installed),
              (Texts{"Alpha", "beta", "Mods\\Gone", "Mods\\Пропал"}));
    using L = RowLook;
    EXPECT_EQ(looks(ModRows::installed),
              (std::vector<L>{L::normal, L::normal, L::missing, L::missing}));
    EXPECT_EQ(view.rowRecord(ModRows::installed, 2), nullptr);
    EXPECT_NE(view.rows(ModRows::installed)[3].tip.find("not in the game directory"),
              std::string::npos);
    EXPECT_EQ(view.rows(ModRows::installed)[0].tip, "Alpha\nFolder: Mods\\Alpha");
    // "Available:" marks the mods the chosen save records; every row shows its folder.
    EXPECT_EQ(looks(ModRows::available),
              (std::vector<L>{L::recorded, L::recorded, L::normal, L::normal}));
    EXPECT_EQ(view.rows(ModRows::available)[3].tip, "Дельта\nFolder: Mods\\Cyr");

    // The last mod is the last movable row; a missing row gives no button and no edit.
    click(ModRows::installed, 1);
    EXPECT_EQ(view.buttons(), "0110");
    click(ModRows::installed, 2);
    EXPECT_EQ(view.buttons(), "0000");
    dialog.OnRemove();
    dialog.OnMoveUp();
    EXPECT_EQ(view.choiceRecord(3)->modified, 0u);
    click(ModRows::installed, 0);
    dialog.OnMoveDown();
    EXPECT_EQ(view.texts(ModRows::installed),
              (Texts{"beta", "Alpha", "Mods\\Gone", "Mods\\Пропал"}));
    EXPECT_EQ(view.selected[0], 1);
    EXPECT_EQ(view.buttons(), "0110");

    view.choose(0);
    dialog.OnSaveChanged();
    EXPECT_EQ(looks(ModRows::installed), (std::vector<L>{L::normal}));
    EXPECT_EQ(looks(ModRows::available),
              (std::vector<L>{L::recorded, L::normal, L::normal, L::normal}));

    const std::string before = bytesOf("save/P/Lost/game.sav");
    dialog.OnOK();
    ASSERT_EQ(view.ended, 1);
    EXPECT_EQ(bytesOf("save/P/Lost/game.sav"),
              rewritten(before, {"Mods\\beta", "Mods\\Alpha"}, before.size() - 1));
}

TEST_F(DialogTest, SavesWithUnwrittenEditsAreBoldUntilWritten) {
    ASSERT_TRUE(start());
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(view.choices[size_t(i)].bold) << i;
    SaveGame* first = saves.save(0);
    SaveGame* second = saves.save(1);
    editSave(second);
    EXPECT_TRUE(bold(second));
    editSave(first); // choosing another save keeps the mark of the edited one
    EXPECT_TRUE(bold(first) && bold(second));
    EXPECT_FALSE(bold(saves.save(2)));

    // The first is written, the second fails: only the second stays bold.
    faultOp = rPosix::Op::rename;
    faultPath = relativeDirectory(second);
    faultErrno = EACCES;
    rPosix::setFaultHook(pathFault);
    dialog.OnOK();
    EXPECT_EQ(view.ended, -1);
    EXPECT_FALSE(bold(first));
    EXPECT_TRUE(bold(second));
    EXPECT_EQ(view.details, (Texts{label(1) + ": permission denied."}));
    rPosix::setFaultHook(nullptr);
    dialog.OnOK();
    EXPECT_EQ(view.ended, 1);
    EXPECT_FALSE(bold(second));
}

TEST_F(DialogTest, AFailedWriteNamesEachUnwrittenSaveWithItsReason) {
    ASSERT_TRUE(start());
    for (uint32_t i = 0; i < 3; ++i)
        editSave(saves.save(i));
    const std::string rest =
        "\n" + label(1) + ": not written yet, because writing stops at the first failure.\n" +
        label(2) + ": not written yet, because writing stops at the first failure.";
    const struct {
        rPosix::Op op;
        const char* path;
        int error;
        const char* words;
    } faults[] = {
        {rPosix::Op::rename, "", EACCES, "permission denied."},
        {rPosix::Op::write, "", ENOSPC, "the disk is full."},
        {rPosix::Op::open, ".new", EROFS, "the file system is read-only."},
        {rPosix::Op::sync, "", EIO, "the disk reported a read or write error."},
        {rPosix::Op::rename, "", EXDEV, nullptr},
    };
    rPosix::setFaultHook(pathFault);
    for (const auto& f : faults) {
        faultOp = f.op;
        faultPath = f.path;
        faultErrno = f.error;
        view.details.clear();
        dialog.OnOK();
        ASSERT_EQ(view.details.size(), 1u) << f.error;
        const std::string words = f.words != nullptr
                                      ? std::string(f.words)
                                      : "the system reported error " + std::to_string(f.error) +
                                            " (" + std::strerror(f.error) + ").";
        EXPECT_EQ(view.details[0], label(0) + ": " + words + rest);
    }
    EXPECT_EQ(view.errors, Texts(5, "Error saving saves. May be share violation ?"));
    rPosix::setFaultHook(nullptr);
    dialog.OnOK();
    EXPECT_EQ(view.ended, 1);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(saves.save(i)->modified, 0u);
}

TEST_F(DialogTest, ASaveTheGameRewroteIsReadAgainAndNoLongerBlocksTheOthers) {
    ASSERT_TRUE(start());
    SaveGame* first = saves.save(0);
    SaveGame* second = saves.save(1);
    editSave(second);
    editSave(first);
    const std::string oldLabel = label(0);
    const std::string where = relativeDirectory(first);
    const std::string secondPath = second->path.text();
    const std::string secondBefore = *gamegen::readFile(secondPath);
    const size_t secondTail = size_t(second->tailOffset);
    const std::vector<std::string> secondNames = [&] {
        std::vector<std::string> names;
        for (uint32_t i = 0; i < second->installed.getCount(); ++i)
            names.push_back(second->installed[i]->name.text());
        return names;
    }();

    // The game writes the first save meanwhile: the newest of all now.
    using gamegen::Save;
    ASSERT_TRUE(gamegen::writeSave(
        dir, where, Save::withNames({"Mods\\Gamma", "Mods\\Gone"}, "G", 9), 1800000000, 0));
    const std::string game = bytesOf(where + "/game.sav");
    dialog.OnOK();
    EXPECT_EQ(view.ended, -1);
    ASSERT_EQ(view.details.size(), 1u);
    EXPECT_EQ(view.details[0],
              oldLabel +
                  ": the game changed it after Tarvex read it. Its edits were "
                  "dropped; it now shows what is on disk.\n" +
                  label(1) + ": not written yet, because writing stops at the first failure.");
    // It is listed under its new label, still chosen, with what the game wrote.
    ASSERT_EQ(view.choiceCount(), 3);
    EXPECT_EQ(view.chosen, 2);
    EXPECT_EQ(view.choiceRecord(2), first);
    EXPECT_EQ(view.choices[2].text, first->label().text());
    EXPECT_EQ(view.choices[2].text.substr(0, 21), "[2027/01/15 08:00:00 ");
    EXPECT_FALSE(bold(first));
    EXPECT_TRUE(bold(second));
    EXPECT_EQ(view.texts(ModRows::installed), (Texts{"Gamma", "Mods\\Gone"}));
    EXPECT_EQ(first->modified, 0u);

    dialog.OnOK();
    EXPECT_EQ(view.ended, 1);
    EXPECT_EQ(bytesOf(where + "/game.sav"), game);
    EXPECT_EQ(bytesOf(where + "/game.bak"), "<missing>");
    EXPECT_EQ(*gamegen::readFile(secondPath), rewritten(secondBefore, secondNames, secondTail));
}

TEST_F(DialogTest, ASaveTheGameDeletedLeavesTheSaveBox) {
    ASSERT_TRUE(start());
    SaveGame* newest = view.choiceRecord(2);
    click(ModRows::installed, 0);
    dialog.OnRemove();
    const std::string label = newest->label().text();
    ASSERT_EQ(::unlink(newest->path.text()), 0);
    dialog.OnOK();
    EXPECT_EQ(view.details,
              (Texts{label + ": the file is no longer there. It can no longer be read "
                             "and was taken out of the save box."}));
    EXPECT_EQ(view.choiceCount(), 2);
    EXPECT_EQ(view.chosen, -1);
    EXPECT_EQ(view.rowCount(ModRows::installed), 0);
    dialog.OnOK();
    EXPECT_EQ(view.ended, 1);
}

TEST_F(DialogTest, WithoutSaveDirectoryTheLoadMessageShowsAndNothingIsEdited) {
    gamegen::removeTree(dir + "/save");
    EXPECT_FALSE(start());
    EXPECT_EQ(view.errors, (Texts{"Error load saves. Run this program from game directory."}));
    EXPECT_TRUE(view.choices.empty());
    EXPECT_EQ(view.rowCount(ModRows::available), 0);
    EXPECT_EQ(view.buttons(), "0000");
    dialog.OnInstall();
    dialog.OnOK();
    EXPECT_EQ(view.ended, 1);
}

TEST_F(DialogTest, PaintDrawsTheCentredIconOnlyWhenMinimised) {
    ASSERT_TRUE(start());
    dialog.OnPaint();
    view.iconic = true;
    dialog.OnPaint();
    EXPECT_EQ(view.paintLog, (Texts{"default", "erase", "35,24"}));
    EXPECT_EQ(dialog.OnQueryDragIcon(), static_cast<IconHandle>(&view));
}

} // namespace
