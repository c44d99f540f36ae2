// tests/app/dialog_test.cpp - the main dialog's logic through a recording fake view, on game
// directories built by the generator.
#include "dialogtest.h"

#include <cstdio>

namespace {

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

// The save first in the save box, rewritten by the game, is listed once, in its place, when read
// again.
TEST_F(DialogTest, ASaveFirstInTheSaveBoxIsListedOnceWhenReadAgain) {
    ASSERT_TRUE(start());
    SaveGame* oldest = view.choiceRecord(0);
    editSave(oldest);
    ASSERT_TRUE(gamegen::writeSave(dir, relativeDirectory(oldest),
                                   gamegen::Save::withNames({"Mods\\Gamma"}, "", 1), 1000000001,
                                   0));
    dialog.OnOK();
    EXPECT_EQ(view.ended, -1);
    ASSERT_EQ(view.choiceCount(), 3);
    EXPECT_EQ(view.choiceRecord(0), oldest);
    EXPECT_EQ(view.choices[0].text, oldest->label().text());
    EXPECT_EQ(view.chosen, 0);
    EXPECT_EQ(view.texts(ModRows::installed), (Texts{"Gamma"}));
}

TEST_F(DialogTest, ASaveTheGameDeletedLeavesTheSaveBox) {
    ASSERT_TRUE(start());
    SaveGame* newest = view.choiceRecord(2);
    click(ModRows::installed, 0);
    dialog.OnRemove();
    const std::string label = newest->label().text();
    ASSERT_EQ(std::remove(newest->path.text()), 0);
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

using writefault::Reason;
using writefault::Step;

TEST_F(DialogFaultTest, OkWritesChangedSavesOnlyAndAFailureKeepsTheDialogOpen) {
    const std::string before = bytesOf("save/P/Old/game.sav");
    ASSERT_TRUE(start());
    click(ModRows::installed, 0);
    dialog.OnRemove();
    writefault::failFrom(Step::replace, "", Reason::denied);
    dialog.OnOK();
    EXPECT_EQ(view.ended, -1);
    EXPECT_EQ(view.errors, (Texts{"Error saving saves. May be share violation ?"}));
    writefault::stop();
    dialog.OnOK(); // the retry writes the save still marked
    EXPECT_EQ(view.ended, 1);
    EXPECT_EQ(bytesOf("save/P/New/game.sav").substr(gamegen::entriesOffset),
              "\x14Mods\\Gamma\x12Mods\\betaT");
    EXPECT_EQ(bytesOf("save/P/Old/game.sav"), before);
    EXPECT_EQ(bytesOf("save/P/Old/game.bak"), "<missing>");
}

TEST_F(DialogFaultTest, SavesWithUnwrittenEditsAreBoldUntilWritten) {
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
    writefault::failFrom(Step::replace, relativeDirectory(second), Reason::denied);
    dialog.OnOK();
    EXPECT_EQ(view.ended, -1);
    EXPECT_FALSE(bold(first));
    EXPECT_TRUE(bold(second));
    EXPECT_EQ(view.details, (Texts{label(1) + ": permission denied."}));
    writefault::stop();
    dialog.OnOK();
    EXPECT_EQ(view.ended, 1);
    EXPECT_FALSE(bold(second));
}

TEST_F(DialogFaultTest, AFailedWriteNamesEachUnwrittenSaveWithItsReason) {
    ASSERT_TRUE(start());
    for (uint32_t i = 0; i < 3; ++i)
        editSave(saves.save(i));
    const std::string rest =
        "\n" + label(1) + ": not written yet, because writing stops at the first failure.\n" +
        label(2) + ": not written yet, because writing stops at the first failure.";
    const struct {
        Step step;
        const char* path;
        Reason reason;
        const char* words;
    } faults[] = {
        {Step::replace, "", Reason::denied, "permission denied."},
        {Step::write, "", Reason::diskFull, "the disk is full."},
        {Step::create, ".new", Reason::readOnly, "the file system is read-only."},
        {Step::flush, "", Reason::diskError, "the disk reported a read or write error."},
    };
    for (const auto& f : faults) {
        writefault::failFrom(f.step, f.path, f.reason);
        view.details.clear();
        dialog.OnOK();
        ASSERT_EQ(view.details.size(), 1u) << f.words;
        EXPECT_EQ(view.details[0], label(0) + ": " + f.words + rest);
    }
    EXPECT_EQ(view.errors, Texts(4, "Error saving saves. May be share violation ?"));
    writefault::stop();
    dialog.OnOK();
    EXPECT_EQ(view.ended, 1);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(saves.save(i)->modified, 0u);
}

} // namespace
