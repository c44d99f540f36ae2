// ui/qtdialogview.cpp - the main dialog's window: the template's controls as Qt widgets, the
// control operations of the logic, and the wiring of clicks, double-clicks and keys to it.
#include "qtdialogview.h"

#include "modmanagerapp.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>
#include <iterator>

namespace {

// Where the record of a choice or a row is kept.
constexpr int recordRole = Qt::UserRole;

template <class T> T* recordOf(const QVariant& data) {
    return reinterpret_cast<T*>(data.value<quintptr>());
}

QVariant recordData(const void* record) {
    return QVariant::fromValue(reinterpret_cast<quintptr>(record));
}

// The position at which text joins a list sorted without regard to case: after its equals.
template <class TextAt> int sortedPosition(int count, const QString& text, TextAt textAt) {
    int low = 0, high = count;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (QString::compare(textAt(middle), text, Qt::CaseInsensitive) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

} // namespace

QtDialogView::QtDialogView(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Tarvex v1.1"));

    // The template's font; where Arial is missing the font system picks its nearest face.
    QFont dialogFont(QStringLiteral("Arial"));
    dialogFont.setPointSize(9);
    setFont(dialogFont);
    const QFontMetrics metrics(font());
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    unitX = (alphabet / 26 + 1) / 2;
    unitY = metrics.height();

    // The template's size is the smallest; the window grows from there.
    const QRect client = mapDialogRect(0, 0, templateWidth, templateHeight);
    setMinimumSize(client.size());
    resize(client.size());

    // Controls in template order, which is also the tab order.
    choices = new QComboBox(this);
    choices->setEditable(false);
    // The opened list as a plain list of a bounded number of rows in every style, however many
    // saves there are.
    choices->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    {
        // The drop-down field keeps its natural height, short of the labels below it; the 100
        // units of the template are the opened list's height.
        const QRect area = mapDialogRect(7, 7, 238, 100);
        const int labelTop = mapDialogRect(0, 20, 0, 0).top();
        choiceHeight = std::min(choices->sizeHint().height(), labelTop - area.top() - 1);
        choices->setMaxVisibleItems(std::max(1, (area.height() - choiceHeight) / choiceHeight));
    }
    installed = new QListWidget(this);
    available = new QListWidget(this);
    for (QListWidget* list : {installed, available}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setUniformItemSizes(true);
    }
    install = makeButton("<<", ModManagerDialog::idInstall,
                         "Install the selected available mod into the chosen save (Insert)");
    remove = makeButton("X", ModManagerDialog::idRemove,
                        "Remove the selected mod from the chosen save (Delete)");
    cancel = makeButton("Cancel", 2, nullptr);
    ok = makeButton("OK", 1, nullptr);
    ok->setDefault(true);
    labelInstalled = new QLabel(QStringLiteral("Installed:"), this);
    labelInstalled->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labelAvailable = new QLabel(QStringLiteral("Available:"), this);
    labelAvailable->setAlignment(Qt::AlignRight | Qt::AlignTop);
    moveUp = makeButton("^", ModManagerDialog::idMoveUp,
                        "Move the selected mod up: it loads earlier (Ctrl+Up)");
    moveDown = makeButton("v", ModManagerDialog::idMoveDown,
                          "Move the selected mod down: it loads later (Ctrl+Down)");
    placeControls();

    QWidget* order[] = {choices, installed, available, install, remove,
                        cancel,  ok,        moveUp,    moveDown};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(choices, &QComboBox::activated, this,
            [this] { handle(choices, &ModManagerDialog::OnSaveChanged); });
    for (QListWidget* list : {installed, available})
        connect(list, &QListWidget::itemSelectionChanged, this,
                [this, list] { handle(list, &ModManagerDialog::OnListSelChanged); });
    connect(available, &QListWidget::itemDoubleClicked, this,
            [this] { handle(available, &ModManagerDialog::OnInstall); });
    connect(installed, &QListWidget::itemDoubleClicked, this,
            [this] { handle(installed, &ModManagerDialog::OnRemove); });
    connect(install, &QPushButton::clicked, this,
            [this] { handle(available, &ModManagerDialog::OnInstall); });
    connect(remove, &QPushButton::clicked, this,
            [this] { handle(installed, &ModManagerDialog::OnRemove); });
    connect(moveUp, &QPushButton::clicked, this,
            [this] { handle(installed, &ModManagerDialog::OnMoveUp); });
    connect(moveDown, &QPushButton::clicked, this,
            [this] { handle(installed, &ModManagerDialog::OnMoveDown); });
    connect(ok, &QPushButton::clicked, this, &QtDialogView::accept);
    connect(cancel, &QPushButton::clicked, this, &QtDialogView::reject);

    // Keys for the four small buttons, wherever the focus is; each presses its button, so it
    // does exactly what the button does, and nothing while the button is disabled.
    const std::pair<QKeySequence, QPushButton*> keys[] = {
        {QKeySequence(Qt::Key_Insert), install},
        {QKeySequence(Qt::Key_Delete), remove},
        {QKeySequence(Qt::CTRL | Qt::Key_Up), moveUp},
        {QKeySequence(Qt::CTRL | Qt::Key_Down), moveDown}};
    for (const auto& [sequence, target] : keys) {
        auto* shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, target, &QPushButton::click);
    }
}

void QtDialogView::placeControls() {
    const QSize base = mapDialogRect(0, 0, templateWidth, templateHeight).size();
    const int extraWidth = std::max(0, width() - base.width());
    const int extraHeight = std::max(0, height() - base.height());
    const int left = extraWidth / 2; // the installed list's share; the rest is the other's
    const int right = extraWidth - left;
    const auto place = [](QWidget* widget, QRect rect, int dx, int dy, int dw, int dh) {
        widget->setGeometry(rect.x() + dx, rect.y() + dy, rect.width() + dw, rect.height() + dh);
    };
    const QRect box = mapDialogRect(7, 7, 238, 0);
    place(choices, QRect(box.x(), box.y(), box.width(), choiceHeight), 0, 0, extraWidth, 0);
    place(labelInstalled, mapDialogRect(7, 20, 107, 8), 0, 0, left, 0);
    place(labelAvailable, mapDialogRect(138, 20, 107, 8), left, 0, right, 0);
    place(installed, mapDialogRect(7, 29, 107, 100), 0, 0, left, extraHeight);
    place(available, mapDialogRect(138, 29, 107, 100), left, 0, right, extraHeight);
    place(install, mapDialogRect(118, 40, 17, 14), left, 0, 0, 0);
    place(remove, mapDialogRect(118, 60, 17, 14), left, 0, 0, 0);
    place(moveUp, mapDialogRect(118, 81, 17, 14), left, 0, 0, 0);
    place(moveDown, mapDialogRect(118, 102, 17, 14), left, 0, 0, 0);
    place(cancel, mapDialogRect(137, 135, 50, 14), extraWidth, extraHeight, 0, 0);
    place(ok, mapDialogRect(195, 135, 50, 14), extraWidth, extraHeight, 0, 0);
}

void QtDialogView::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (ok != nullptr)
        placeControls();
}

std::unique_ptr<QSettings> QtDialogView::settings() {
    const QString name = QString::fromUtf8(ModManagerApp::applicationName);
    return std::make_unique<QSettings>(name, name);
}

void QtDialogView::restorePlacement() {
    const QByteArray geometry = settings()->value(QStringLiteral("dialog/geometry")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

void QtDialogView::done(int result) {
    settings()->setValue(QStringLiteral("dialog/geometry"), saveGeometry());
    QDialog::done(result);
}

QtDialogView::~QtDialogView() = default;

QPushButton* QtDialogView::makeButton(const char* text, int id, const char* tip) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setObjectName(QStringLiteral("button%1").arg(id));
    if (tip != nullptr)
        button->setToolTip(QString::fromUtf8(tip));
    // A click presses a button without taking the focus from the list the player works in, so
    // Enter goes on meaning OK. Tab still reaches every button, and a button the player tabbed
    // to takes Enter and Space (OK is the dialog's only default button).
    button->setFocusPolicy(Qt::TabFocus);
    button->setAutoDefault(true);
    return button;
}

void QtDialogView::handle(QWidget* actedOn, void (ModManagerDialog::*handler)()) {
    if (logic == nullptr)
        return;
    handlerTarget = actedOn;
    focusDisplaced = nullptr;
    (logic->*handler)();
    handlerTarget = nullptr;
    // A move rebuilds the list, which disables its buttons on the way; one that is usable again
    // gets back the focus the player gave it, so that Space can repeat it.
    if (focusDisplaced != nullptr && focusDisplaced->isEnabled() && focusWidget() == actedOn)
        focusDisplaced->setFocus(Qt::OtherFocusReason);
    focusDisplaced = nullptr;
}

void QtDialogView::start(ModManagerDialog& dialog) {
    logic = &dialog;
    if (logic->OnInitDialog())
        choices->setFocus(Qt::OtherFocusReason);
}

QRect QtDialogView::mapDialogRect(int x, int y, int width, int height) const {
    // Multiplies and divides with rounding, as the window system maps dialog units.
    const auto scale = [](int value, int unit, int divisor) {
        return int((int64_t(value) * unit * 2 + divisor) / (2 * divisor));
    };
    const int left = scale(x, unitX, 4);
    const int top = scale(y, unitY, 8);
    return QRect(left, top, scale(x + width, unitX, 4) - left, scale(y + height, unitY, 8) - top);
}

QListWidget* QtDialogView::rows(ModRows list) const {
    return list == ModRows::installed ? installed : available;
}

QPushButton* QtDialogView::button(int id) const {
    switch (id) {
    case ModManagerDialog::idInstall:
        return install;
    case ModManagerDialog::idRemove:
        return remove;
    case ModManagerDialog::idMoveUp:
        return moveUp;
    case ModManagerDialog::idMoveDown:
        return moveDown;
    case 1:
        return ok;
    case 2:
        return cancel;
    default:
        return nullptr;
    }
}

int QtDialogView::addChoice(const char* text, SaveGame* record) {
    const QSignalBlocker blocker(choices);
    const bool noneChosen = choices->currentIndex() < 0;
    const QString label = QString::fromUtf8(text);
    const int position =
        sortedPosition(choices->count(), label, [this](int i) { return choices->itemText(i); });
    choices->insertItem(position, label, recordData(record));
    // The combo box chooses its first entry by itself; the dialog's choices start with none.
    if (noneChosen)
        choices->setCurrentIndex(-1);
    return position;
}

void QtDialogView::setChoiceRecord(int position, SaveGame* record) {
    choices->setItemData(position, recordData(record), recordRole);
}

int QtDialogView::chosenChoice() const {
    return choices->currentIndex();
}

SaveGame* QtDialogView::choiceRecord(int position) const {
    if (position < 0 || position >= choices->count())
        return nullptr;
    return recordOf<SaveGame>(choices->itemData(position, recordRole));
}

void QtDialogView::choose(int position) {
    const QSignalBlocker blocker(choices);
    choices->setCurrentIndex(position < choices->count() ? position : -1);
    showChosenLook();
}

int QtDialogView::choiceCount() const {
    return choices->count();
}

void QtDialogView::deleteChoice(int position) {
    const QSignalBlocker blocker(choices);
    const bool wasChosen = choices->currentIndex() == position;
    choices->removeItem(position);
    // The combo box would choose a neighbour by itself.
    if (wasChosen)
        choices->setCurrentIndex(-1);
    showChosenLook();
}

void QtDialogView::setChoiceBold(int position, bool bold) {
    QVariant look;
    if (bold) {
        QFont boldFont = font();
        boldFont.setBold(true);
        look = boldFont;
    }
    choices->setItemData(position, look, Qt::FontRole);
    if (position == choices->currentIndex())
        showChosenLook();
}

void QtDialogView::showChosenLook() {
    const int chosen = choices->currentIndex();
    const QVariant look = chosen >= 0 ? choices->itemData(chosen, Qt::FontRole) : QVariant();
    QFont field = font();
    field.setBold(look.isValid() && look.value<QFont>().bold());
    choices->setFont(field);
    // The opened list keeps the plain font; its entries carry their own.
    QFont plain = font();
    plain.setBold(false);
    choices->view()->setFont(plain);
}

int QtDialogView::addRow(ModRows list, const char* text, ModInfo* record) {
    QListWidget* widget = rows(list);
    const QSignalBlocker blocker(widget);
    const QString rowText = QString::fromUtf8(text);
    int position = widget->count();
    if (list == ModRows::available)
        position = sortedPosition(widget->count(), rowText,
                                  [widget](int i) { return widget->item(i)->text(); });
    auto* item = new QListWidgetItem(rowText);
    item->setData(recordRole, recordData(record));
    widget->insertItem(position, item);
    return position;
}

int QtDialogView::rowCount(ModRows list) const {
    return rows(list)->count();
}

int QtDialogView::selectedRow(ModRows list) const {
    const QListWidget* widget = rows(list);
    const QList<QListWidgetItem*> selected = widget->selectedItems();
    return selected.isEmpty() ? -1 : widget->row(selected.first());
}

ModInfo* QtDialogView::rowRecord(ModRows list, int position) const {
    const QListWidgetItem* item = rows(list)->item(position);
    return item != nullptr ? recordOf<ModInfo>(item->data(recordRole)) : nullptr;
}

void QtDialogView::deleteFirstRow(ModRows list) {
    QListWidget* widget = rows(list);
    const QSignalBlocker blocker(widget);
    const bool wasSelected = selectedRow(list) == 0;
    delete widget->takeItem(0);
    // A single-selection view would select the next row; a deleted selection is simply gone.
    if (wasSelected)
        widget->clearSelection();
}

void QtDialogView::selectRow(ModRows list, int position) {
    QListWidget* widget = rows(list);
    const QSignalBlocker blocker(widget);
    if (position >= 0 && position < widget->count())
        widget->setCurrentRow(position, QItemSelectionModel::ClearAndSelect);
    else
        widget->clearSelection();
}

void QtDialogView::setRowLook(ModRows list, int position, RowLook look) {
    QListWidgetItem* item = rows(list)->item(position);
    if (item == nullptr)
        return;
    QFont rowFont = rows(list)->font();
    rowFont.setItalic(look != RowLook::normal);
    rowFont.setStrikeOut(look == RowLook::missing);
    item->setData(Qt::FontRole, look == RowLook::normal ? QVariant() : QVariant(rowFont));
    // A missing mod's row is shown greyed and can be neither selected nor acted on.
    if (look == RowLook::missing)
        item->setFlags(Qt::NoItemFlags);
}

void QtDialogView::setRowTip(ModRows list, int position, const char* text) {
    if (QListWidgetItem* item = rows(list)->item(position))
        item->setToolTip(QString::fromUtf8(text));
}

void QtDialogView::enableButton(int id, bool enabled) {
    QPushButton* target = button(id);
    if (target == nullptr)
        return;
    // A disabled focus widget passes the focus along the tab chain: to Cancel, which would then
    // take Enter, or round to the save box, which would take the arrows. The list acted on
    // takes it instead, with its selection.
    if (!enabled && focusWidget() == target && target->isEnabled()) {
        if (focusDisplaced == nullptr)
            focusDisplaced = target;
        (handlerTarget != nullptr ? handlerTarget : installed)->setFocus(Qt::OtherFocusReason);
    }
    target->setEnabled(enabled);
}

void QtDialogView::showError(const char* text, const char* details) {
    // Parented to the dialog, the box opens centred on it.
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(ModManagerApp::applicationName),
                    QString::fromUtf8(text), QMessageBox::Ok, this);
    if (details != nullptr && details[0] != '\0')
        box.setInformativeText(QString::fromUtf8(details));
    box.exec();
}

void QtDialogView::endDialog(bool accepted) {
    if (accepted)
        QDialog::accept();
    else
        QDialog::reject();
}

void QtDialogView::accept() {
    if (logic != nullptr)
        logic->OnOK();
    else
        QDialog::accept();
}

IconHandle QtDialogView::loadIcon(uint32_t resourceId) {
    if (resourceId != ModManagerDialog::idIcon)
        return nullptr;
    appIcon = ModManagerApp::icon();
    return &appIcon;
}

void QtDialogView::setIcon(IconHandle icon, bool /*large*/) {
    // One window icon carries every size; the small one is scaled from it.
    if (icon != nullptr)
        setWindowIcon(*static_cast<const QIcon*>(icon));
}

bool QtDialogView::isIconic() const {
    return QWidget::isMinimized();
}

void QtDialogView::clientSize(int& width, int& height) const {
    width = QDialog::width();
    height = QDialog::height();
}

void QtDialogView::systemIconSize(int& width, int& height) const {
    width = height = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
}

void QtDialogView::eraseIconBackground() {
    if (painter != nullptr)
        painter->fillRect(rect(), palette().window());
}

void QtDialogView::drawIcon(int x, int y, IconHandle icon) {
    if (painter == nullptr || icon == nullptr)
        return;
    int width = 0, height = 0;
    systemIconSize(width, height);
    painter->drawPixmap(x, y, static_cast<const QIcon*>(icon)->pixmap(width, height));
}

void QtDialogView::defaultPaint() {
    // The background is filled before paintEvent; the controls paint themselves.
}

void QtDialogView::paintEvent(QPaintEvent* event) {
    if (logic == nullptr) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter paint(this);
    painter = &paint;
    logic->OnPaint();
    painter = nullptr;
}
