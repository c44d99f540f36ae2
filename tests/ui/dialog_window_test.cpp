// tests/ui/dialog_window_test.cpp - the real dialog window, driven offscreen with simulated
// clicks, double-clicks and keys, checked on screen and on disk.
#include "../app/gametest.h"
#include "dialog.h"
#include "gamegen.h"
#include "qtdialogview.h"
#include "rposix.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <ostream>

// Readable failure messages for Qt texts.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
void PrintTo(const QStringList& texts, std::ostream* out) {
    *out << '"' << texts.join(QStringLiteral("\", \"")).toStdString() << '"';
}

namespace {

class DialogWindowTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        for (const char* name : {"Alpha", "beta", "Gamma"})
            ASSERT_TRUE(gamegen::makeMod(dir, std::string("Mods/") + name, name));
        using gamegen::Save;
        ASSERT_TRUE(gamegen::writeSave(dir, "save/P/Old", Save::withNames({"Mods\\Alpha"}, "", 1),
                                       1000000000, 0));
        ASSERT_TRUE(gamegen::writeSave(dir, "save/P/New",
                                       Save::withNames({"Mods\\Alpha", "Mods\\Gamma"}, "", 2),
                                       1600000000, 0));
        for (const char* slot : {"Old", "New"})
            before[slot[0] == 'N'] = *gamegen::readFile(savePath(slot));
        saves.setProgramDirectory(rString(dir.c_str()));
        QtDialogView::settings()->clear();
        restart();
    }
    // A new window over the game as it is on disk now, shown active.
    void restart(bool restorePlacement = false) {
        dialog.reset();
        window.reset();
        window = std::make_unique<QtDialogView>();
        if (restorePlacement)
            window->restorePlacement();
        dialog = std::make_unique<ModManagerDialog>(*window, saves);
        window->start(*dialog);
        showActive();
    }
    void TearDown() override {
        rPosix::setFaultHook(nullptr);
        dialog.reset();
        window.reset();
        GameTest::TearDown();
    }

    // Shows the window as the active one, so that keys go where the focus is.
    void showActive() {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    std::string savePath(const char* slot) { return dir + "/save/P/" + slot + "/game.sav"; }
    bool unchanged(const char* slot) {
        return gamegen::readFile(savePath(slot)) == before[slot[0] == 'N'] &&
               !gamegen::readFile(dir + "/save/P/" + slot + "/game.bak");
    }
    QListWidget* list(ModRows l) { return window->rows(l); }
    QStringList texts(ModRows l) {
        QStringList out;
        for (int i = 0; i < list(l)->count(); ++i)
            out << list(l)->item(i)->text();
        return out;
    }
    QPoint rowPoint(ModRows l, int row) {
        return list(l)->visualItemRect(list(l)->item(row)).center();
    }
    void click(ModRows l, int row) {
        QTest::mouseClick(list(l)->viewport(), Qt::LeftButton, {}, rowPoint(l, row));
    }
    // A double-click arrives as a click, then the double-click event.
    void doubleClick(ModRows l, int row) {
        click(l, row);
        QTest::mouseDClick(list(l)->viewport(), Qt::LeftButton, {}, rowPoint(l, row));
    }
    void press(int id) { QTest::mouseClick(window->button(id), Qt::LeftButton); }
    // A key as the player's keyboard sends it: to whatever has the focus.
    void key(Qt::Key k) {
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        QTest::keyClick(focused, k);
    }
    // Tabs until target has the focus (at most once round the window).
    void tabTo(QWidget* target) {
        for (int i = 0; i < 12 && QApplication::focusWidget() != target; ++i)
            key(Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), target);
    }
    // The newer save holds exactly what a write of these names makes of it (failures show the
    // region from the entries on, not the whole file).
    ::testing::AssertionResult newSaveHolds(const std::vector<std::string>& names) {
        const std::string want = rewritten(before[1], names, before[1].size());
        const std::string got = gamegen::readFile(savePath("New")).value_or("<missing>");
        if (got == want)
            return ::testing::AssertionSuccess();
        const auto entries = [](const std::string& bytes) {
            return bytes.size() > gamegen::entriesOffset ? bytes.substr(gamegen::entriesOffset)
                                                         : "<short file>";
        };
        return ::testing::AssertionFailure() << "entries \"" << entries(got) << "\", wanted \""
                                             << entries(want) << "\" (or the bytes before differ)";
    }
    // The tooltip the window shows when the pointer rests at pos of widget; empty for none.
    QString shownTip(QWidget* widget, QPoint pos) {
        QToolTip::hideText();
        QHelpEvent event(QEvent::ToolTip, pos, widget->mapToGlobal(pos));
        QApplication::sendEvent(widget, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
    QString rowTip(ModRows l, int row) { return shownTip(list(l)->viewport(), rowPoint(l, row)); }
    int choiceOf(const SaveGame* save) {
        for (int i = 0; i < window->saveChoices()->count(); ++i)
            if (window->choiceRecord(i) == save)
                return i;
        return -1;
    }
    // Chooses a save with the keyboard in the save box, as a player would.
    void chooseSave(const SaveGame* save) {
        QComboBox* box = window->saveChoices();
        const int target = choiceOf(save);
        ASSERT_GE(target, 0);
        for (int i = 0; i < 100 && box->currentIndex() != target; ++i)
            QTest::keyClick(box, box->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
        ASSERT_EQ(box->currentIndex(), target);
    }
    bool choiceBold(int position) {
        return window->saveChoices()->itemData(position, Qt::FontRole).value<QFont>().bold();
    }
    // What the next message box showed; it is dismissed with Enter, as a player would.
    struct Message {
        QString caption, text, details;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        int buttonCount = 0;
        QPoint centre;
        bool shown = false;
    };
    void dismissNextMessage(Message& message, int attempts = 200) {
        QTimer::singleShot(10, [this, &message, attempts] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible() || QApplication::focusWidget() == nullptr ||
                QApplication::focusWidget()->window() != box) {
                if (attempts > 0)
                    dismissNextMessage(message, attempts - 1);
                return;
            }
            message.caption = box->windowTitle();
            message.text = box->text();
            message.details = box->informativeText();
            message.icon = box->icon();
            message.buttonCount = int(box->buttons().size());
            message.centre = box->frameGeometry().center();
            message.shown = true;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
    }

    // Buttons 131..134 as "1" and "0".
    QString buttons() {
        QString out;
        for (int id = 131; id <= 134; ++id)
            out += window->button(id)->isEnabled() ? '1' : '0';
        return out;
    }

    std::string before[2];
    SaveList saves;
    std::unique_ptr<QtDialogView> window;
    std::unique_ptr<ModManagerDialog> dialog;
};

TEST_F(DialogWindowTest, ControlsSitWhereTheTemplatePutsThemInTabOrder) {
    EXPECT_EQ(window->windowTitle(), "Tarvex v1.1");
    const QString family = QFontInfo(window->font()).family();
    EXPECT_TRUE(family == "Arial" || family == "Liberation Sans") << family.toStdString();
    EXPECT_EQ(window->size(), window->mapDialogRect(0, 0, 252, 155).size());
    EXPECT_EQ(window->rows(ModRows::installed)->geometry(), window->mapDialogRect(7, 29, 107, 100));
    EXPECT_EQ(window->rows(ModRows::available)->geometry(),
              window->mapDialogRect(138, 29, 107, 100));
    const struct {
        int id, x, y, w;
        const char* text;
    } buttonsOfTemplate[] = {{131, 118, 40, 17, "<<"},    {132, 118, 60, 17, "X"},
                             {2, 137, 135, 50, "Cancel"}, {1, 195, 135, 50, "OK"},
                             {133, 118, 81, 17, "^"},     {134, 118, 102, 17, "v"}};
    for (const auto& b : buttonsOfTemplate) {
        EXPECT_EQ(window->button(b.id)->geometry(), window->mapDialogRect(b.x, b.y, b.w, 14));
        EXPECT_EQ(window->button(b.id)->text(), b.text);
    }
    EXPECT_TRUE(window->button(1)->isDefault());
    const QRect combo = window->saveChoices()->geometry();
    EXPECT_EQ(combo.topLeft(), window->mapDialogRect(7, 7, 0, 0).topLeft());
    EXPECT_EQ(combo.width(), window->mapDialogRect(7, 7, 238, 0).width());
    EXPECT_LE(combo.bottom(), window->installedLabel()->geometry().top());
    EXPECT_EQ(window->installedLabel()->geometry(), window->mapDialogRect(7, 20, 107, 8));
    EXPECT_EQ(window->availableLabel()->geometry(), window->mapDialogRect(138, 20, 107, 8));
    EXPECT_TRUE(window->installedLabel()->alignment() & Qt::AlignLeft);
    EXPECT_TRUE(window->availableLabel()->alignment() & Qt::AlignRight);

    QList<QWidget*> chain;
    QWidget* w = window->saveChoices();
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            chain << w;
        w = w->nextInFocusChain();
    } while (w != window->saveChoices());
    const QList<QWidget*> expected = {
        window->saveChoices(), list(ModRows::installed), list(ModRows::available),
        window->button(131),   window->button(132),      window->button(2),
        window->button(1),     window->button(133),      window->button(134)};
    EXPECT_EQ(chain, expected);
}

TEST_F(DialogWindowTest, ClicksEditTheChosenSaveAndChoosingAnotherRebuildsInstalled) {
    ASSERT_EQ(window->saveChoices()->currentIndex(), 1);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Alpha", "Gamma"}));
    EXPECT_EQ(texts(ModRows::available), QStringList({"Alpha", "beta", "Gamma"}));
    EXPECT_EQ(buttons(), "0000");

    doubleClick(ModRows::available, 1); // beta
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Alpha", "Gamma", "beta"}));
    EXPECT_EQ(window->selectedRow(ModRows::available), 1);
    click(ModRows::installed, 2);
    EXPECT_EQ(buttons(), "1110");
    press(133);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Alpha", "beta", "Gamma"}));
    EXPECT_EQ(window->selectedRow(ModRows::installed), 1);
    EXPECT_EQ(buttons(), "1111");
    click(ModRows::installed, 0);
    press(132);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"beta", "Gamma"}));
    EXPECT_EQ(buttons(), "1000");

    click(ModRows::installed, 0);
    QTest::keyClick(window->saveChoices(), Qt::Key_Up); // the older save
    EXPECT_EQ(window->saveChoices()->currentIndex(), 0);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Alpha"}));
    EXPECT_EQ(window->selectedRow(ModRows::installed), -1);

    // Deleting the selected first row leaves no row selected.
    window->selectRow(ModRows::available, 0);
    window->deleteFirstRow(ModRows::available);
    EXPECT_EQ(window->selectedRow(ModRows::available), -1);
}

TEST_F(DialogWindowTest, EnterWithNothingChangedClosesWithOkAndWritesNothing) {
    key(Qt::Key_Return);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(unchanged("Old") && unchanged("New"));
}

// Edits made with the mouse, each followed by Enter on whatever holds the focus: Enter once
// meant Cancel after an edit button, which tests that pressed OK directly did not see.
struct Edit {
    const char* name;
    ModRows list; // clicked, and acted on
    int row;
    int button; // pressed after the click; 0: the row is double-clicked instead
    int selected;
    std::vector<std::string> names; // what the newer save holds afterwards
};
void PrintTo(const Edit& edit, std::ostream* out) {
    *out << edit.name;
}

class EnterAfterEdit : public DialogWindowTest, public ::testing::WithParamInterface<Edit> {};

TEST_P(EnterAfterEdit, MeansOkWithFocusOnTheListActedOn) {
    // The newer save holds Alpha, Gamma; the lists show Alpha, beta, Gamma as available.
    const Edit& edit = GetParam();
    if (edit.button == 0) {
        doubleClick(edit.list, edit.row);
    } else {
        click(edit.list, edit.row);
        press(edit.button);
    }
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), list(edit.list));
    EXPECT_EQ(window->selectedRow(edit.list), edit.selected);

    key(Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_TRUE(unchanged("Old"));
    EXPECT_TRUE(newSaveHolds(edit.names));
}

const ModRows installed = ModRows::installed, available = ModRows::available;
const std::vector<std::string> withBeta = {"Mods\\Alpha", "Mods\\Gamma", "Mods\\beta"},
                               swapped = {"Mods\\Gamma", "Mods\\Alpha"};

INSTANTIATE_TEST_SUITE_P(
    DialogWindow, EnterAfterEdit,
    ::testing::Values(Edit{"RemoveButton", installed, 0, 132, -1, {"Mods\\Gamma"}},
                      Edit{"InstallButton", available, 1, 131, 1, withBeta},
                      Edit{"UpButton", installed, 1, 133, 0, swapped},
                      Edit{"DownButton", installed, 0, 134, 1, swapped},
                      Edit{"RemoveRow", installed, 1, 0, -1, {"Mods\\Alpha"}},
                      Edit{"InstallRow", available, 1, 0, 1, withBeta}),
    [](const ::testing::TestParamInfo<Edit>& info) { return std::string(info.param.name); });

TEST_F(DialogWindowTest, ArrowsAfterAMoveWalkTheInstalledRowsNotTheSaves) {
    doubleClick(ModRows::available, 1); // Alpha, Gamma, beta
    click(ModRows::installed, 2);
    press(133); // Alpha, beta, Gamma
    ASSERT_EQ(window->selectedRow(ModRows::installed), 1);
    key(Qt::Key_Up);
    EXPECT_EQ(window->selectedRow(ModRows::installed), 0);
    EXPECT_EQ(buttons(), "1101");
    press(134); // beta, Alpha, Gamma
    ASSERT_EQ(window->selectedRow(ModRows::installed), 1);
    key(Qt::Key_Down);
    EXPECT_EQ(window->selectedRow(ModRows::installed), 2);
    EXPECT_EQ(buttons(), "1110");
    EXPECT_EQ(window->saveChoices()->currentIndex(), 1);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"beta", "Alpha", "Gamma"}));

    key(Qt::Key_Enter);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_TRUE(newSaveHolds({"Mods\\beta", "Mods\\Alpha", "Mods\\Gamma"}));
}

TEST_F(DialogWindowTest, ButtonsTheKeyboardPressesTakeEnterAndHandFocusBackToTheirList) {
    click(ModRows::available, 1);
    tabTo(window->button(131));
    key(Qt::Key_Space); // Alpha, Gamma, beta
    EXPECT_EQ(QApplication::focusWidget(), window->button(131));

    click(ModRows::installed, 2);
    tabTo(window->button(133));
    key(Qt::Key_Space); // Alpha, beta, Gamma: "^" stays usable and keeps the focus
    EXPECT_EQ(QApplication::focusWidget(), window->button(133));
    key(Qt::Key_Space); // beta, Alpha, Gamma: "^" is off, the list takes the focus
    EXPECT_EQ(QApplication::focusWidget(), list(ModRows::installed));
    EXPECT_EQ(window->selectedRow(ModRows::installed), 0);
    key(Qt::Key_Down);
    EXPECT_EQ(window->selectedRow(ModRows::installed), 1);

    // The player put the focus on "X", so Enter presses it; then the list has it, and Enter is OK.
    tabTo(window->button(132));
    key(Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(texts(ModRows::installed), QStringList({"beta", "Gamma"}));
    EXPECT_EQ(QApplication::focusWidget(), list(ModRows::installed));
    key(Qt::Key_Return);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_TRUE(unchanged("Old"));
    EXPECT_TRUE(newSaveHolds({"Mods\\beta", "Mods\\Gamma"}));
}

TEST_F(DialogWindowTest, CancelEnterOnCancelEscAndTheCloseBoxWriteNothing) {
    for (int way = 0; way < 4; ++way) {
        restart();
        click(ModRows::installed, 0);
        press(132); // "X" is off now: the focus is on the list
        if (way == 0) {
            press(2);
        } else if (way == 1) { // the keyboard reached Cancel, so Enter presses it
            tabTo(window->button(2));
            key(Qt::Key_Return);
        } else if (way == 2) {
            key(Qt::Key_Escape);
        } else {
            window->close();
        }
        EXPECT_FALSE(window->isVisible()) << way;
        EXPECT_EQ(window->result(), QDialog::Rejected) << way;
        EXPECT_TRUE(unchanged("Old") && unchanged("New")) << way;
    }
}

TEST_F(DialogWindowTest, MissingModsShowGreyedAndEveryRowTellsItsFullText) {
    using gamegen::Save;
    ASSERT_TRUE(gamegen::writeSave(
        dir, "save/P/Lost",
        Save::withNames({"Mods\\beta", "Mods\\Gone", gamegen::cp1251("Mods\\Пропал")}, "", 4),
        1700000000, 0));
    const std::string lostBefore = *gamegen::readFile(dir + "/save/P/Lost/game.sav");
    restart();
    ASSERT_EQ(window->saveChoices()->currentIndex(), 2);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"beta", "Mods\\Gone", "Mods\\Пропал"}));
    for (int row : {1, 2}) {
        const QListWidgetItem* item = list(ModRows::installed)->item(row);
        EXPECT_FALSE(item->flags() & (Qt::ItemIsSelectable | Qt::ItemIsEnabled)) << row;
        EXPECT_TRUE(item->font().italic() && item->font().strikeOut()) << row;
        EXPECT_TRUE(rowTip(ModRows::installed, row).contains("not in the game directory")) << row;
    }
    EXPECT_EQ(rowTip(ModRows::installed, 0), "beta\nFolder: Mods\\beta");
    EXPECT_FALSE(list(ModRows::installed)->item(0)->font().italic());

    // A missing row takes no selection from the mouse or the keyboard, and no edit.
    click(ModRows::installed, 1);
    doubleClick(ModRows::installed, 2);
    EXPECT_EQ(window->selectedRow(ModRows::installed), -1);
    click(ModRows::installed, 0);
    ASSERT_EQ(QApplication::focusWidget(), list(ModRows::installed));
    EXPECT_EQ(buttons(), "0100");
    key(Qt::Key_Down);
    key(Qt::Key_End);
    EXPECT_LT(window->selectedRow(ModRows::installed), 1);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"beta", "Mods\\Gone", "Mods\\Пропал"}));

    // "Available:" marks what the chosen save records; rows and buttons explain themselves.
    EXPECT_TRUE(list(ModRows::available)->item(1)->font().italic()); // beta
    EXPECT_FALSE(list(ModRows::available)->item(0)->font().italic());
    EXPECT_EQ(rowTip(ModRows::available, 2), "Gamma\nFolder: Mods\\Gamma");
    const struct {
        int id;
        const char* words;
    } tips[] = {{131, "Install"}, {132, "Remove"}, {133, "up"}, {134, "down"}};
    for (const auto& t : tips) {
        const QString tip = window->button(t.id)->toolTip();
        EXPECT_TRUE(tip.contains(t.words)) << t.id;
        EXPECT_EQ(shownTip(window->button(t.id), QPoint(2, 2)), tip) << t.id;
    }
    chooseSave(window->choiceRecord(0)); // the oldest save, which records Alpha
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Alpha"}));
    EXPECT_TRUE(list(ModRows::available)->item(0)->font().italic()); // Alpha now
    EXPECT_FALSE(list(ModRows::available)->item(1)->font().italic());

    key(Qt::Key_Return);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_TRUE(gamegen::readFile(dir + "/save/P/Lost/game.sav") == lostBefore);
}

TEST_F(DialogWindowTest, ASaveTheGameRewroteIsShownAsOnDiskAndOkAgainWritesTheOthers) {
    SaveGame* first = saves.save(0);
    SaveGame* second = saves.save(1);
    const std::string firstDir =
        std::string(first->path.text()).substr(0, first->path.length() - 9);
    const std::string secondPath = second->path.text();
    const std::string secondBefore = *gamegen::readFile(secondPath);
    chooseSave(second);
    doubleClick(ModRows::available, 1); // beta
    chooseSave(first);
    doubleClick(ModRows::available, 1);
    EXPECT_TRUE(choiceBold(choiceOf(first)) && choiceBold(choiceOf(second)));

    // The game writes the first save meanwhile.
    using gamegen::Save;
    ASSERT_TRUE(gamegen::writeFile(firstDir + "/game.sav",
                                   gamegen::saveBytes(Save::withNames({"Mods\\Gamma"}, "G", 7))));
    ASSERT_TRUE(gamegen::setModTime(firstDir + "/game.sav", 1800000000, 5));
    const std::string game = *gamegen::readFile(firstDir + "/game.sav");

    window->move(40, 30);
    Message message;
    dismissNextMessage(message);
    press(1);
    // The box (its words are the logic tests' to check) stands centred over the dialog.
    ASSERT_TRUE(message.shown);
    EXPECT_TRUE(message.details.contains("the game changed it")) << message.details.toStdString();
    const QPoint centre = window->frameGeometry().center();
    EXPECT_LE((message.centre - centre).manhattanLength(), 2)
        << message.centre.x() << "," << message.centre.y() << " vs " << centre.x() << ","
        << centre.y();

    // The save box and "Installed:" show the first save as the game wrote it.
    ASSERT_TRUE(window->isVisible());
    const int chosen = window->saveChoices()->currentIndex();
    EXPECT_EQ(window->choiceRecord(chosen), first);
    EXPECT_TRUE(window->saveChoices()->currentText().startsWith("[2027/01/15 08:00:00 P]"));
    EXPECT_FALSE(choiceBold(chosen));
    EXPECT_FALSE(window->saveChoices()->font().bold());
    EXPECT_TRUE(choiceBold(choiceOf(second)));
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Gamma"}));

    // OK again, by Enter where the focus is, once the dialog is active again (the offscreen
    // platform has no window manager to hand activation back from the closed box).
    showActive();
    EXPECT_EQ(QApplication::focusWidget(), list(ModRows::available));
    key(Qt::Key_Return);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_TRUE(gamegen::readFile(firstDir + "/game.sav") == game);
    EXPECT_FALSE(gamegen::readFile(firstDir + "/game.bak"));
    const std::string secondNow = gamegen::readFile(secondPath).value_or("");
    ASSERT_GT(secondNow.size(), gamegen::entriesOffset);
    EXPECT_NE(secondNow.substr(gamegen::entriesOffset).find("\x12Mods\\beta"), std::string::npos);
    EXPECT_TRUE(
        gamegen::readFile(std::string(secondPath).replace(secondPath.size() - 3, 3, "bak")) ==
        secondBefore);
}

TEST_F(DialogWindowTest, AnEditedSaveIsBoldInTheSaveBoxUntilWritten) {
    QComboBox* box = window->saveChoices();
    ASSERT_EQ(box->currentIndex(), 1);
    EXPECT_FALSE(choiceBold(0) || choiceBold(1) || box->font().bold());
    click(ModRows::installed, 0);
    press(132);
    EXPECT_TRUE(choiceBold(1));
    EXPECT_TRUE(box->font().bold());
    EXPECT_EQ(box->currentText().toStdString().substr(0, 21), "[2020/09/13 12:26:40 ");
    EXPECT_FALSE(box->view()->font().bold()); // the other entries keep the plain font
    QTest::keyClick(box, Qt::Key_Up);
    EXPECT_FALSE(box->font().bold());
    EXPECT_FALSE(choiceBold(0));
    EXPECT_TRUE(choiceBold(1));

    // A failed write shows one critical box and keeps the dialog open, the save unwritten.
    rPosix::setFaultHook(
        [](rPosix::Op op, const char*) { return op == rPosix::Op::rename ? EACCES : 0; });
    Message message;
    dismissNextMessage(message);
    press(1);
    ASSERT_TRUE(message.shown);
    EXPECT_EQ(message.caption, "Tarvex");
    EXPECT_EQ(message.text, "Error saving saves. May be share violation ?");
    EXPECT_EQ(message.icon, QMessageBox::Critical);
    EXPECT_EQ(message.buttonCount, 1);
    EXPECT_TRUE(message.details.endsWith("] New: permission denied."))
        << message.details.toStdString();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(unchanged("New"));
    EXPECT_TRUE(choiceBold(1));
    rPosix::setFaultHook(nullptr);
    press(1);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_FALSE(choiceBold(1));
    EXPECT_TRUE(unchanged("Old"));
    EXPECT_TRUE(newSaveHolds({"Mods\\Gamma"}));
}

TEST_F(DialogWindowTest, KeysDoWhatTheSmallButtonsDo) {
    click(ModRows::installed, 0); // Alpha, Gamma
    ASSERT_EQ(QApplication::focusWidget(), list(ModRows::installed));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Gamma", "Alpha"}));
    EXPECT_EQ(window->selectedRow(ModRows::installed), 1);
    EXPECT_EQ(QApplication::focusWidget(), list(ModRows::installed));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down, Qt::ControlModifier); // last: no-op
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Gamma", "Alpha"}));
    EXPECT_EQ(window->selectedRow(ModRows::installed), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Alpha", "Gamma"}));
    EXPECT_EQ(window->selectedRow(ModRows::installed), 0);
    key(Qt::Key_Delete);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Gamma"}));
    EXPECT_EQ(buttons(), "0000");
    key(Qt::Key_Delete); // nothing selected: nothing happens
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Gamma"}));

    click(ModRows::available, 1); // beta
    ASSERT_EQ(QApplication::focusWidget(), list(ModRows::available));
    key(Qt::Key_Insert);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Gamma", "beta"}));
    EXPECT_EQ(QApplication::focusWidget(), list(ModRows::available));

    // From the save box the keys act on the lists, never on the choice.
    click(ModRows::installed, 1);
    window->saveChoices()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(window->saveChoices()->currentIndex(), 1);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"beta", "Gamma"}));

    // On a tabbed-to "X" that Delete disables, the focus goes to the list, and Enter means OK.
    click(ModRows::installed, 0);
    tabTo(window->button(132));
    key(Qt::Key_Delete);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Gamma"}));
    EXPECT_EQ(QApplication::focusWidget(), list(ModRows::installed));
    key(Qt::Key_Return);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_TRUE(unchanged("Old"));
    EXPECT_TRUE(newSaveHolds({"Mods\\Gamma"}));
}

TEST_F(DialogWindowTest, TheWindowGrowsFromTheTemplateSizeAndRemembersItsPlace) {
    const QSize base = window->mapDialogRect(0, 0, 252, 155).size();
    EXPECT_EQ(window->minimumSize(), base);
    const auto geometries = [this] {
        QList<QRect> out = {window->saveChoices()->geometry(), list(ModRows::installed)->geometry(),
                            list(ModRows::available)->geometry()};
        for (int id : {131, 132, 133, 134, 2, 1})
            out << window->button(id)->geometry();
        return out;
    };
    const QList<QRect> before = geometries();
    window->resize(base + QSize(101, 60));
    const QList<QRect> after = geometries();
    EXPECT_EQ(after[0], before[0].adjusted(0, 0, 101, 0));   // save box
    EXPECT_EQ(after[1], before[1].adjusted(0, 0, 50, 60));   // installed
    EXPECT_EQ(after[2], before[2].adjusted(50, 0, 101, 60)); // available
    for (int i = 3; i < 7; ++i)                              // the small buttons
        EXPECT_EQ(after[i], before[i].translated(50, 0)) << i;
    for (int i = 7; i < 9; ++i) // Cancel, OK
        EXPECT_EQ(after[i], before[i].translated(101, 60)) << i;
    EXPECT_EQ(window->installedLabel()->geometry().width(), before[1].width() + 50);
    EXPECT_EQ(window->availableLabel()->geometry().right(), after[2].right());
    window->resize(10, 10);
    EXPECT_EQ(window->size(), base);

    // Closed at one place and size, the next run opens there.
    window->resize(base + QSize(80, 40));
    window->move(120, 90);
    const QRect placed = window->geometry();
    key(Qt::Key_Escape);
    ASSERT_FALSE(window->isVisible());
    restart(true);
    EXPECT_EQ(window->geometry(), placed);
    EXPECT_EQ(list(ModRows::available)->geometry().right(),
              window->width() - (base.width() - 1 - before[2].right()) - 1);
}

TEST_F(DialogWindowTest, TheSaveBoxListShowsABoundedNumberOfSaves) {
    using gamegen::Save;
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(gamegen::writeSave(dir, "save/Q/S" + std::to_string(i),
                                       Save::withNames({}, "", 10 + uint32_t(i)),
                                       1000000000 + i * 1000, 0));
    restart();
    QComboBox* box = window->saveChoices();
    ASSERT_EQ(box->count(), 42);
    EXPECT_LE(box->maxVisibleItems(), 10);
    box->showPopup();
    QWidget* popup = box->view()->window();
    ASSERT_TRUE(popup->isVisible());
    const int rowHeight = box->view()->sizeHintForRow(0);
    EXPECT_LE(popup->height(), (box->maxVisibleItems() + 1) * rowHeight + 2 * rowHeight);
    EXPECT_LT(popup->height(), window->height() * 2);
    box->hidePopup();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's remembered placement goes to a configuration directory of the tests' own.
    const std::string config = gamegen::makeTempDirectory("tarvex-config-");
    if (config.empty())
        return 1;
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    int result = 0;
    {
        QApplication application(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    gamegen::removeTree(config);
    return result;
}
