// ui/qtdialogview.cpp - the main dialog's window: the template's controls as Qt widgets, the
// control operations of the logic, and the wiring of clicks, double-clicks and keys to it.
#include "qtdialogview.h"

#include "modmanagerapp.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
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

    const QRect client = mapDialogRect(0, 0, templateWidth, templateHeight);
    setFixedSize(client.size());

    // Controls in template order, which is also the tab order.
    choices = new QComboBox(this);
    choices->setEditable(false);
    {
        // The drop-down field keeps its natural height, short of the labels below it; the 100
        // units of the template are the opened list's height.
        const QRect area = mapDialogRect(7, 7, 238, 100);
        const int labelTop = mapDialogRect(0, 20, 0, 0).top();
        const int height = std::min(choices->sizeHint().height(), labelTop - area.top() - 1);
        choices->setGeometry(area.left(), area.top(), area.width(), height);
        choices->setMaxVisibleItems(std::max(1, (area.height() - height) / height));
    }
    installed = new QListWidget(this);
    installed->setGeometry(mapDialogRect(7, 29, 107, 100));
    available = new QListWidget(this);
    available->setGeometry(mapDialogRect(138, 29, 107, 100));
    for (QListWidget* list : {installed, available}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        list->setUniformItemSizes(true);
    }
    install = makeButton("<<", ModManagerDialog::idInstall, 118, 40, 17, 14);
    remove = makeButton("X", ModManagerDialog::idRemove, 118, 60, 17, 14);
    cancel = makeButton("Cancel", 2, 137, 135, 50, 14);
    ok = makeButton("OK", 1, 195, 135, 50, 14);
    ok->setDefault(true);
    labelInstalled = new QLabel(QStringLiteral("Installed:"), this);
    labelInstalled->setGeometry(mapDialogRect(7, 20, 107, 8));
    labelInstalled->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labelAvailable = new QLabel(QStringLiteral("Available:"), this);
    labelAvailable->setGeometry(mapDialogRect(138, 20, 107, 8));
    labelAvailable->setAlignment(Qt::AlignRight | Qt::AlignTop);
    moveUp = makeButton("^", ModManagerDialog::idMoveUp, 118, 81, 17, 14);
    moveDown = makeButton("v", ModManagerDialog::idMoveDown, 118, 102, 17, 14);

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
}

QtDialogView::~QtDialogView() = default;

QPushButton* QtDialogView::makeButton(const char* text, int id, int x, int y, int width,
                                      int height) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setObjectName(QStringLiteral("button%1").arg(id));
    button->setGeometry(mapDialogRect(x, y, width, height));
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

void QtDialogView::showError(const char* text) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(ModManagerApp::applicationName),
                    QString::fromUtf8(text), QMessageBox::Ok, this);
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
