// ui/qtdialogview.h - the main dialog's window: Qt widgets laid out as the dialog template, which
// carry out the logic's control operations and pass the user's actions to its handlers.
#pragma once

#include "dialog.h"

#include <QDialog>
#include <QIcon>
#include <QPointer>

#include <memory>

class QComboBox;
class QLabel;
class QListWidget;
class QPainter;
class QPushButton;
class QSettings;

class QtDialogView : public QDialog, public DialogView {
    Q_OBJECT

public:
    // Size of the dialog template in dialog units.
    static constexpr int templateWidth = 252;
    static constexpr int templateHeight = 155;

    explicit QtDialogView(QWidget* parent = nullptr);
    ~QtDialogView() override;

    // Binds the logic that handles this window's events and runs its initialisation.
    void start(ModManagerDialog& dialog);
    // Gives the window the size and position it had when it last closed (never below the
    // template's size).
    void restorePlacement();
    // Where that placement is kept between runs: Qt's settings in the user's configuration
    // directory.
    static std::unique_ptr<QSettings> settings();

    // Dialog units to pixels with the dialog font's metrics (rounded like the window system).
    QRect mapDialogRect(int x, int y, int width, int height) const;
    int baseUnitX() const { return unitX; }
    int baseUnitY() const { return unitY; }

    QComboBox* saveChoices() const { return choices; }
    QListWidget* rows(ModRows list) const;
    QPushButton* button(int id) const;
    QLabel* installedLabel() const { return labelInstalled; }
    QLabel* availableLabel() const { return labelAvailable; }

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

public slots:
    // OK (the button or Enter) asks the logic, which writes and then closes.
    void accept() override;
    // Every way of closing remembers the window's placement.
    void done(int result) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPushButton* makeButton(const char* text, int id, const char* tip);
    // Places the controls for the window's size: the lists and the save box take the room
    // beyond the template's size, the buttons keep their places relative to the lists.
    void placeControls();
    // The closed save box shows its chosen entry as the list does (bold: unwritten edits).
    void showChosenLook();
    // Runs a handler of the logic for the player's action on `actedOn` (the list a button works
    // on, or the control that raised the event), which takes the focus from a button the
    // handler disables.
    void handle(QWidget* actedOn, void (ModManagerDialog::*handler)());

    ModManagerDialog* logic = nullptr;
    QWidget* handlerTarget = nullptr;     // while a handler runs: where a displaced focus goes
    QPointer<QPushButton> focusDisplaced; // the focused button a running handler disabled
    int unitX = 1;
    int unitY = 1;
    int choiceHeight = 0; // the closed save box's height
    QComboBox* choices = nullptr;
    QListWidget* installed = nullptr;
    QListWidget* available = nullptr;
    QLabel* labelInstalled = nullptr;
    QLabel* labelAvailable = nullptr;
    QPushButton* install = nullptr;
    QPushButton* remove = nullptr;
    QPushButton* moveUp = nullptr;
    QPushButton* moveDown = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* ok = nullptr;
    QIcon appIcon;
    QPainter* painter = nullptr; // while paintEvent runs
};
