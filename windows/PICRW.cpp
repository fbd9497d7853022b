#include "PICRW.h"

#include "meter/MeterActivity.h"

#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "windows/PICCore.h"
#include "windows/PaletteColours.h"
#include "windows/WindowPlacement.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>

namespace vorda {

// One of the two grids as Qt sees it: the register grid, or the character
// grid whose cell (c, w) mirrors register cell (c + 1, w).
class RegisterGridModel : public QAbstractTableModel {
public:
    // The colours follow view's palette.
    RegisterGridModel(const RegisterBrowser& browser, bool ascii, const QWidget* view, QObject* parent)
        : QAbstractTableModel(parent), b_(browser), ascii_(ascii), view_(view) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kRegGridRows; }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : (ascii_ ? kAsciiGridCols : kRegGridCols);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const int c = index.column(), w = index.row();
        const int rc = ascii_ ? c + 1 : c; // the register cell whose colours it takes
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole: return ascii_ ? b_.AsciiCells[c][w] : b_.RegCells[c][w];
        case Qt::ForegroundRole:
            // Read against the cell's own ground, the selected one included.
            return ReadableOn(MarkColour(view_->palette(), b_.RegFontColour[rc][w] == kCellRed ? Mark::Refused : Mark::Plain,
                                         QPalette::Base),
                              Background(rc, w));
        case Qt::BackgroundRole: return Background(rc, w);
        default: return {};
        }
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (ascii_) return Qt::ItemIsEnabled;
        // Headers are no cells to move to; keys and clicks skip them.
        return RegisterBrowser::IsRegisterCell(index.column(), index.row()) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                                                           : Qt::NoItemFlags;
    }
    void Changed(int c, int w) {
        const QModelIndex i = index(w, c);
        emit dataChanged(i, i);
    }

private:
    QColor Background(int c, int w) const {
        return b_.RegBackColour[c][w] == kCellSilver ? RangeEndBackground(view_->palette())
                                                     : view_->palette().color(QPalette::Base);
    }
    const RegisterBrowser& b_;
    bool ascii_;
    const QWidget* view_;
};

namespace {

// Fills a cell with its background and draws its text in its text colour,
// 2 pixels in from the left and top, or centred across the cell.
class CellDelegate : public QStyledItemDelegate {
public:
    CellDelegate(bool centred, QObject* parent) : QStyledItemDelegate(parent), centred_(centred) {}
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        p->save();
        p->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QColor>());
        p->setPen(index.data(Qt::ForegroundRole).value<QColor>());
        p->setFont(option.font);
        const QRect text = option.rect.adjusted(centred_ ? 0 : 2, 2, 0, 0);
        p->drawText(text, (centred_ ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop, index.data().toString());
        if (option.state & QStyle::State_HasFocus) {
            QPen pen(index.data(Qt::ForegroundRole).value<QColor>(), 1, Qt::DotLine);
            p->setPen(pen);
            p->drawRect(option.rect.adjusted(0, 0, -1, -1));
        }
        p->restore();
    }

private:
    bool centred_;
};

// Accepts typed text up to a length; texts set by the program may be longer
// (a failed read shows FFFFFFFF in the Hex box).
class MaxLengthValidator : public QValidator {
public:
    MaxLengthValidator(int max, QObject* parent) : QValidator(parent), max_(max) {}
    State validate(QString& input, int&) const override { return input.size() <= max_ ? Acceptable : Invalid; }

private:
    int max_;
};

QTableView* SetUpGrid(QTableView* grid, int cols, int cellWidth, int cellHeight, bool lines) {
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    for (QHeaderView* h : {grid->horizontalHeader(), grid->verticalHeader()}) {
        h->setMinimumSectionSize(0);
        h->setSectionResizeMode(QHeaderView::Fixed);
    }
    const int line = lines ? 1 : 0; // a grid line takes the last pixel of a section
    grid->horizontalHeader()->setDefaultSectionSize(cellWidth + line);
    grid->verticalHeader()->setDefaultSectionSize(cellHeight + line);
    grid->setShowGrid(lines);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setTabKeyNavigation(false);
    grid->setWordWrap(false);
    const int frame = 2 * grid->frameWidth();
    grid->setFixedSize(cols * (cellWidth + line) + frame, kRegGridRows * (cellHeight + line) + frame);
    return grid;
}

QLabel* Caption(const QString& text, QWidget* parent, const QString& name = {}) {
    auto* l = new QLabel(text, parent);
    if (!name.isEmpty()) l->setObjectName(name);
    return l;
}

} // namespace

// The register grid: a click on a register cell selects it even when it is
// the current cell already, as does a move by the keys; dragging and typing
// do not move the current cell.
class RegisterGridView : public QTableView {
public:
    using QTableView::QTableView;
    std::function<void(int col, int row)> onPick;

    // Moves the current cell where the browser says, without selecting again.
    void SyncTo(int col, int row) {
        syncing_ = true;
        setCurrentIndex(model()->index(row, col));
        syncing_ = false;
    }
    void keyboardSearch(const QString&) override {}

protected:
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) return;
        const QModelIndex i = indexAt(e->position().toPoint());
        if (i.isValid() && (i.flags() & Qt::ItemIsSelectable)) Pick(i);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override { mousePressEvent(e); }
    void mouseMoveEvent(QMouseEvent*) override {}
    void mouseReleaseEvent(QMouseEvent*) override {}
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        QTableView::currentChanged(current, previous);
        if (!syncing_ && current.isValid()) Pick(current);
    }

private:
    void Pick(const QModelIndex& i) {
        if (onPick) onPick(i.column(), i.row());
    }
    bool syncing_ = false;
};

TPICRWForm::TPICRWForm(UserInteraction& ui, QWidget* parent)
    : QWidget(parent, Qt::Window), ui_(ui), browser_(ui) {
    setObjectName(QStringLiteral("PICRWForm"));
    setWindowTitle(QStringLiteral("ZUV Meter Settings - Read and Write Registers"));
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    setFont(f);
    BuildWindow();
    browser_.SetView(this);
    FormCreate();
}

TPICRWForm::~TPICRWForm() { browser_.SetView(nullptr); }

void TPICRWForm::AttachCore(TPICCoreForm* core) {
    RegisterMeter meter;
    if (core) {
        meter.Handshake = [core] { return core->Handshake(); };
        meter.GetSetRegister = [core](int fn, int reg, int value) { return core->GetSetRegister(fn, reg, value); };
        meter.DeviceLost = [core] { return core->Protocol().DeviceLost(); };
        meter.StopRequested = [this] { return activity_ && activity_->StopRequested(); };
    }
    browser_.SetMeter(std::move(meter));
}

void TPICRWForm::BuildWindow() {
    ReadAllRegs = new QPushButton(QStringLiteral("&Read All Registers"), this);
    ReadAllRegs->setObjectName(QStringLiteral("ReadAllRegs"));
    Reclbl = Caption(QString(), this, QStringLiteral("Reclbl"));
    Reclbl->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Reclbl->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000")));
    Oflbl = Caption(QString(), this, QStringLiteral("Oflbl"));
    Oflbl->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("of 000")));

    Label1 = Caption(QStringLiteral("Registers for device:"), this, QStringLiteral("Label1"));
    HoldIn = Caption(QStringLiteral("EEPROM"), this, QStringLiteral("HoldIn"));
    QFont bold = HoldIn->font();
    bold.setBold(true);
    HoldIn->setFont(bold);

    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
    mono.setPointSize(8);
    // Both grids have rows of one height, so that a character stands beside
    // its register; cells are as large as their texts at the fonts used.
    const QFontMetrics monoMetrics(mono);
    const int rowHeight = std::max(fontMetrics().height(), monoMetrics.height()) + 3;

    RegGridDec = new RegisterGridView(this);
    RegGridDec->setObjectName(QStringLiteral("RegGridDec"));
    regModel_ = new RegisterGridModel(browser_, false, RegGridDec, this);
    RegGridDec->setModel(regModel_);
    RegGridDec->setItemDelegate(new CellDelegate(false, RegGridDec));
    SetUpGrid(RegGridDec, kRegGridCols, fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 2, rowHeight - 1, true);
    RegGridDec->setToolTip(QStringLiteral("Click on a cell to read EEPROM register and display value"));
    RegGridDec->setAccessibleName(QStringLiteral("Registers for device: EEPROM"));
    RegGridDec->setAccessibleDescription(QStringLiteral("The arrow keys move to a register and read it"));
    RegGridDec->onPick = [this](int col, int row) { RegGridDecSelectCell(col, row); };

    ASCIIGridDec = new QTableView(this);
    ASCIIGridDec->setObjectName(QStringLiteral("ASCIIGridDec"));
    asciiModel_ = new RegisterGridModel(browser_, true, ASCIIGridDec, this);
    ASCIIGridDec->setModel(asciiModel_);
    ASCIIGridDec->setItemDelegate(new CellDelegate(true, ASCIIGridDec));
    ASCIIGridDec->setFont(mono);
    ASCIIGridDec->setFocusPolicy(Qt::NoFocus);
    SetUpGrid(ASCIIGridDec, kAsciiGridCols, monoMetrics.horizontalAdvance(QLatin1Char('W')) + 4, rowHeight, false);
    ASCIIGridDec->setToolTip(QStringLiteral("Correponding ASCII values"));
    ASCIIGridDec->setAccessibleName(QStringLiteral("ASCII"));

    RadioUnits = new QGroupBox(QStringLiteral("Display as"), this);
    RadioUnits->setObjectName(QStringLiteral("RadioUnits"));
    RadioUnits->setToolTip(QStringLiteral("Select display format"));
    RadioUnits->setAccessibleName(QStringLiteral("Display as"));
    RadioDec8 = new QRadioButton(QStringLiteral("Dec8"), RadioUnits);
    RadioDec8->setObjectName(QStringLiteral("RadioUnitsDec8"));
    RadioHex = new QRadioButton(QStringLiteral("Hex"), RadioUnits);
    RadioHex->setObjectName(QStringLiteral("RadioUnitsHex"));
    auto* radios = new QHBoxLayout(RadioUnits);
    radios->addWidget(RadioDec8);
    radios->addWidget(RadioHex);
    radios->addStretch(1);

    Label14 = Caption(QStringLiteral("To write in the selected register enter the value to be written in any of the 3 cells below"),
                      this, QStringLiteral("Label14"));
    Label14->setWordWrap(true);
    SetMark(Label14, Mark::Caption);

    auto* boxGrid = new QGridLayout;
    boxGrid->setColumnStretch(2, 1);
    auto makeEdit = [this, boxGrid](const QString& name, const QString& caption, const QString& hint, int digits) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setToolTip(hint);
        QString plain = caption;
        plain.chop(1); // the caption without its colon
        e->setAccessibleName(plain);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('0'))) + 12);
        QLabel* l = Caption(caption, this, name + QStringLiteral("lbl"));
        l->setBuddy(e);
        const int row = boxGrid->rowCount();
        boxGrid->addWidget(l, row, 0);
        boxGrid->addWidget(e, row, 1);
        return e;
    };
    EditA = makeEdit(QStringLiteral("EditA"), QStringLiteral("ASCII:"),
                     QStringLiteral("Enter an ASCII value (1 character)  to write to the selected register"), 2);
    EditA->setValidator(new MaxLengthValidator(1, EditA));

    Label11 = Caption(QStringLiteral("Must hit Refresh after each entry or values will not be refreshed!"), this,
                      QStringLiteral("Label11"));
    Label11->setWordWrap(true);
    SetMark(Label11, Mark::Caption);
    boxGrid->addWidget(Label11, boxGrid->rowCount(), 0, 1, 3);

    EditDec8 = makeEdit(QStringLiteral("EditDec8"), QStringLiteral("Dec8:"),
                        QStringLiteral("Enter Dec8 value (0 - 255)  to write to the selected register"), 4);
    EditHex = makeEdit(QStringLiteral("EditHex"), QStringLiteral("Hex:"),
                       QStringLiteral("Enter Hex value (0 - FF)  to write to the selected register"), 8);
    EditHex->setValidator(new MaxLengthValidator(2, EditHex));
    EditB = makeEdit(QStringLiteral("EditB"), QStringLiteral("Binary:"), QStringLiteral("For information only"), 8);
    EditB->setReadOnly(true);

    NVNR = Caption(QStringLiteral("New values not written to device"), this, QStringLiteral("NVNR"));
    NVNR->setWordWrap(true);
    SetMark(NVNR, Mark::Refused);
    QSizePolicy keep = NVNR->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    NVNR->setSizePolicy(keep);

    Refresh = new QPushButton(QStringLiteral("Re&fresh"), this);
    Refresh->setObjectName(QStringLiteral("Refresh"));
    Refresh->setToolTip(QStringLiteral("Update screen values"));
    WriteReg = new QPushButton(QStringLiteral("&Write"), this);
    WriteReg->setObjectName(QStringLiteral("WriteReg"));
    WriteReg->setToolTip(QStringLiteral("Write new value to EEPROM"));

    // The grids at the left under the read button, the boxes at the right.
    auto* counter = new QHBoxLayout;
    counter->addWidget(ReadAllRegs);
    counter->addWidget(Reclbl);
    counter->addWidget(Oflbl);
    counter->addStretch(1);
    auto* device = new QHBoxLayout;
    device->addWidget(Label1);
    device->addWidget(HoldIn);
    device->addStretch(1);
    auto* grids = new QHBoxLayout;
    grids->setSpacing(4);
    grids->addWidget(RegGridDec);
    grids->addWidget(ASCIIGridDec);
    auto* left = new QVBoxLayout;
    left->addLayout(counter);
    left->addLayout(device);
    left->addLayout(grids);
    left->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Refresh);
    buttons->addStretch(1);
    buttons->addWidget(WriteReg);
    auto* right = new QVBoxLayout;
    right->addSpacing(ReadAllRegs->sizeHint().height());
    right->addWidget(RadioUnits);
    right->addWidget(Label14);
    right->addLayout(boxGrid);
    right->addWidget(NVNR);
    right->addLayout(buttons);
    right->addStretch(1);
    const int column = fontMetrics().horizontalAdvance(QStringLiteral("To write in the selected register"));
    for (QLabel* l : {Label14, Label11, NVNR}) l->setMinimumWidth(column);

    auto* window = new QHBoxLayout(this);
    window->setContentsMargins(8, 8, 8, 8);
    window->addLayout(left);
    window->addSpacing(4);
    window->addLayout(right, 1);
    // At the designed size where that holds everything, larger where the
    // font needs it, within the screen.
    resize(OpeningSize(*this, QSize(551, 547).expandedTo(window->sizeHint())));

    connect(ReadAllRegs, &QPushButton::clicked, this, [this] { ReadAllRegsClick(); });
    connect(Refresh, &QPushButton::clicked, this, [this] { RefreshClick(); });
    connect(WriteReg, &QPushButton::clicked, this, [this] { WriteRegClick(); });
    connect(RadioDec8, &QRadioButton::clicked, this, [this] { RadioUnitsClick(); });
    connect(RadioHex, &QRadioButton::clicked, this, [this] { RadioUnitsClick(); });
    const std::pair<QLineEdit*, RegisterBrowser::Box> boxes[] = {
        {EditA, RegisterBrowser::Box::A}, {EditDec8, RegisterBrowser::Box::Dec8}, {EditHex, RegisterBrowser::Box::Hex}};
    for (const auto& [edit, box] : boxes) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this, box = box](const QString& t) { browser_.SetBoxText(box, t); });
    }
    built_ = true;
}

void TPICRWForm::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const UserError& e) {
        ui_.ShowError(e.text());
    }
}

// Entering and leaving a box within the window; focus lost to a message box
// or another window is neither.
bool TPICRWForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            const bool in = event->type() == QEvent::FocusIn;
            if (watched == EditA) in ? EditAEnter() : EditAExit();
            else if (watched == EditDec8) in ? EditDec8Enter() : EditDec8Exit();
            else if (watched == EditHex) in ? EditHexEnter() : EditHexExit();
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- handlers

void TPICRWForm::FormCreate() {
    browser_.FormCreate();
    RegGridDec->SyncTo(browser_.CurrentCol, browser_.CurrentRow);
}

void TPICRWForm::MeterCommand(const std::function<void()>& handler) {
    if (!activity_) return Guard(handler);
    const MeterActivity::Scope busy(*activity_);
    Guard(handler);
}

void TPICRWForm::RegGridDecSelectCell(int col, int row) {
    MeterCommand([&] { browser_.RegGridDecSelectCell(col, row); });
    // A click on a cell makes it current however the selection ended.
    RegGridDec->SyncTo(browser_.CurrentCol, browser_.CurrentRow);
}

void TPICRWForm::RadioUnitsClick() {
    Guard([&] { browser_.RadioUnitsClick(RadioHex->isChecked() ? QStringLiteral("Hex") : QStringLiteral("Dec8")); });
}

void TPICRWForm::EditAEnter() { browser_.EditEnter(RegisterBrowser::Box::A); }
void TPICRWForm::EditAExit() { Guard([&] { browser_.EditExit(RegisterBrowser::Box::A); }); }
void TPICRWForm::EditDec8Enter() { browser_.EditEnter(RegisterBrowser::Box::Dec8); }
void TPICRWForm::EditDec8Exit() { Guard([&] { browser_.EditExit(RegisterBrowser::Box::Dec8); }); }
void TPICRWForm::EditHexEnter() { browser_.EditEnter(RegisterBrowser::Box::Hex); }
void TPICRWForm::EditHexExit() { Guard([&] { browser_.EditExit(RegisterBrowser::Box::Hex); }); }

void TPICRWForm::RefreshClick() {
    // The button has taken the focus from the box being edited by now, so
    // that box has been checked.
    Guard([&] { browser_.RefreshClick(); });
}

void TPICRWForm::WriteRegClick() { MeterCommand([&] { browser_.WriteRegClick(); }); }

void TPICRWForm::ReadAllRegsClick() { MeterCommand([&] { browser_.ReadAllRegsClick(); }); }

// ---------------------------------------------------------------- display

void TPICRWForm::CellChanged(int col, int row) {
    if (!built_) return;
    regModel_->Changed(col, row);
    if (col >= 1) asciiModel_->Changed(col - 1, row);
}

void TPICRWForm::CounterChanged() {
    if (!built_) return;
    Reclbl->setText(browser_.ReclblText);
    Oflbl->setText(browser_.OflblText);
    Reclbl->setVisible(browser_.CounterVisible);
    Oflbl->setVisible(browser_.CounterVisible);
    Reclbl->repaint();
}

void TPICRWForm::BoxesChanged() {
    if (!built_) return;
    EditA->setText(browser_.EditAText);
    EditDec8->setText(browser_.EditDec8Text);
    EditHex->setText(browser_.EditHexText);
    EditB->setText(browser_.EditBText);
}

void TPICRWForm::ControlsChanged() {
    if (!built_) return;
    Refresh->setEnabled(browser_.RefreshEnabled);
    WriteReg->setEnabled(browser_.WriteEnabled);
    NVNR->setVisible(browser_.NoteVisible);
    Reclbl->setVisible(browser_.CounterVisible);
    Oflbl->setVisible(browser_.CounterVisible);
    (browser_.DisplayFormat == QLatin1String("Hex") ? RadioHex : RadioDec8)->setChecked(true);
}

void TPICRWForm::CurrentCellChanged() {
    if (built_) RegGridDec->SyncTo(browser_.CurrentCol, browser_.CurrentRow);
}

void TPICRWForm::ProcessPendingMessages() { QCoreApplication::processEvents(); }

// The counter's immediate repaint paints everything else waiting in the
// window too, so the grids collect their changes until the pass is over.
void TPICRWForm::PassRunning(bool running) {
    if (!built_) return;
    RegGridDec->setUpdatesEnabled(!running);
    ASCIIGridDec->setUpdatesEnabled(!running);
}

} // namespace vorda
