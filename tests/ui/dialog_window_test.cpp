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
#include <QTest>
#include <QTimer>
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
        window = std::make_unique<QtDialogView>();
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
    press(134);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Alpha", "Gamma", "beta"}));
    EXPECT_EQ(window->selectedRow(ModRows::installed), 2);
    click(ModRows::installed, 0);
    press(132);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Gamma", "beta"}));
    EXPECT_EQ(buttons(), "1000");
    doubleClick(ModRows::installed, 1);
    EXPECT_EQ(texts(ModRows::installed), QStringList({"Gamma"}));

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

TEST_F(DialogWindowTest, OkAndEnterWriteExactlyTheChangedSaves) {
    QTest::keyClick(window.get(), Qt::Key_Return); // nothing changed
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(unchanged("Old") && unchanged("New"));

    window->show();
    click(ModRows::available, 1);
    press(131);
    press(1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(unchanged("Old"));
    EXPECT_EQ(gamegen::readFile(savePath("New"))->substr(gamegen::entriesOffset),
              "\x14Mods\\Alpha\x14Mods\\Gamma\x12Mods\\beta");
}

TEST_F(DialogWindowTest, CancelEscAndTheCloseBoxWriteNothing) {
    for (int way = 0; way < 3; ++way) {
        window->show();
        click(ModRows::available, 1);
        press(131);
        if (way == 0)
            press(2);
        else if (way == 1)
            QTest::keyClick(window.get(), Qt::Key_Escape);
        else
            window->close();
        EXPECT_FALSE(window->isVisible()) << way;
        EXPECT_EQ(window->result(), QDialog::Rejected) << way;
    }
    EXPECT_TRUE(unchanged("Old") && unchanged("New"));
}

TEST_F(DialogWindowTest, FailedWriteShowsTheErrorBoxAndKeepsTheDialogOpen) {
    click(ModRows::installed, 0);
    press(132);
    rPosix::setFaultHook(
        [](rPosix::Op op, const char*) { return op == rPosix::Op::rename ? 5 : 0; });
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttonCount = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttonCount = int(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        }
    });
    poll.start(10);
    press(1);
    poll.stop();
    EXPECT_EQ(text, "Error saving saves. May be share violation ?");
    EXPECT_EQ(caption, "Tarvex");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttonCount, 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(unchanged("New"));
}

// Edits made with the mouse, each followed by Enter on whatever holds the focus.
enum class Edit { removeButton, installButton, upButton, downButton, removeRow, installRow };

class EnterAfterEdit : public DialogWindowTest, public ::testing::WithParamInterface<Edit> {};

TEST_P(EnterAfterEdit, MeansOkWithFocusOnTheListActedOn) {
    // The newer save holds Alpha, Gamma; the lists show Alpha, beta, Gamma as available.
    std::vector<std::string> names;
    ModRows actedOn = ModRows::installed;
    int selected = -1;
    switch (GetParam()) {
    case Edit::removeButton:
        click(ModRows::installed, 0);
        press(132);
        names = {"Mods\\Gamma"};
        break;
    case Edit::installButton:
        click(ModRows::available, 1);
        press(131);
        names = {"Mods\\Alpha", "Mods\\Gamma", "Mods\\beta"};
        actedOn = ModRows::available;
        selected = 1;
        break;
    case Edit::upButton:
        click(ModRows::installed, 1);
        press(133);
        names = {"Mods\\Gamma", "Mods\\Alpha"};
        selected = 0;
        break;
    case Edit::downButton:
        click(ModRows::installed, 0);
        press(134);
        names = {"Mods\\Gamma", "Mods\\Alpha"};
        selected = 1;
        break;
    case Edit::removeRow:
        doubleClick(ModRows::installed, 1);
        names = {"Mods\\Alpha"};
        break;
    case Edit::installRow:
        doubleClick(ModRows::available, 1);
        names = {"Mods\\Alpha", "Mods\\Gamma", "Mods\\beta"};
        actedOn = ModRows::available;
        selected = 1;
        break;
    }
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), list(actedOn));
    EXPECT_EQ(window->selectedRow(actedOn), selected);

    key(Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_TRUE(unchanged("Old"));
    EXPECT_TRUE(newSaveHolds(names));
}

std::string editName(const ::testing::TestParamInfo<Edit>& info) {
    static const char* const names[] = {"RemoveButton", "InstallButton", "UpButton",
                                        "DownButton",   "RemoveRow",     "InstallRow"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(DialogWindow, EnterAfterEdit,
                         ::testing::Values(Edit::removeButton, Edit::installButton, Edit::upButton,
                                           Edit::downButton, Edit::removeRow, Edit::installRow),
                         editName);

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

TEST_F(DialogWindowTest, EnterOnCancelTheKeyboardReachedAndEscWriteNothing) {
    click(ModRows::available, 1);
    press(131);
    tabTo(window->button(2));
    key(Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);

    showActive();
    click(ModRows::installed, 0);
    press(132);
    key(Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_TRUE(unchanged("Old") && unchanged("New"));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
