// tests/app/dialog_test.cpp - the main dialog's logic through a recording fake view, on game
// directories built by the generator.
#include "dialog.h"
#include "gametest.h"
#include "rposix.h"

#include <algorithm>
#include <map>
#include <strings.h>

namespace {

// Keeps what the logic asked for, with sorted inserts like the real controls.
class FakeView : public DialogView {
public:
    struct Entry {
        std::string text;
        void* record;
    };
    std::vector<Entry> choices, rowList[2];
    int chosen = -1, selected[2] = {-1, -1};
    std::map<int, bool> enabled;
    std::vector<std::string> errors;
    int ended = -1; // 1 OK, 0 Cancel
    bool iconic = false;
    std::vector<std::string> paintLog;
    int iconSets = 0;

    static int insertSorted(std::vector<Entry>& list, const char* text, void* record) {
        auto at = std::upper_bound(list.begin(), list.end(), std::string(text),
                                   [](const std::string& t, const Entry& e) {
                                       return strcasecmp(t.c_str(), e.text.c_str()) < 0;
                                   });
        return int(list.insert(at, Entry{text, record}) - list.begin());
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
    int addRow(ModRows l, const char* text, ModInfo* record) override {
        if (l == ModRows::available)
            return insertSorted(rows(l), text, record);
        rows(l).push_back(Entry{text, record});
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
    void enableButton(int id, bool on) override { enabled[id] = on; }
    void showError(const char* text) override { errors.push_back(text); }
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
