#include "PICRW.h"

#include "meter/MeterActivity.h"

#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "windows/PICCore.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QValidator>

namespace vorda {

// One of the two grids as Qt sees it: the register grid, or the character
// grid whose cell (c, w) mirrors register cell (c + 1, w).
class RegisterGridModel : public QAbstractTableModel {
public:
    RegisterGridModel(const RegisterBrowser& browser, bool ascii, QObject* parent)
        : QAbstractTableModel(parent), b_(browser), ascii_(ascii) {}

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
        case Qt::ForegroundRole: return QColor(QRgb(b_.RegFontColour[rc][w]));
        case Qt::BackgroundRole: return QColor(QRgb(b_.RegBackColour[rc][w]));
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
    const RegisterBrowser& b_;
    bool ascii_;
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
            QPen pen(Qt::black, 1, Qt::DotLine);
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

QLabel* Caption(const QString& text, QWidget* parent, const QRect& geometry, const QString& name = {}) {
    auto* l = new QLabel(text, parent);
    if (!name.isEmpty()) l->setObjectName(name);
    l->setGeometry(geometry);
    return l;
}

void SetColour(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    w->setPalette(pal);
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
    resize(551, 547);

    ReadAllRegs = new QPushButton(QStringLiteral("Read All Registers"), this);
    ReadAllRegs->setObjectName(QStringLiteral("ReadAllRegs"));
    ReadAllRegs->setGeometry(8, 8, 120, 25);
    Reclbl = Caption(QString(), this, QRect(140, 13, 30, 16), QStringLiteral("Reclbl"));
    Reclbl->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Oflbl = Caption(QString(), this, QRect(174, 13, 50, 16), QStringLiteral("Oflbl"));

    Label1 = Caption(QStringLiteral("Registers for device:"), this, QRect(8, 40, 120, 16), QStringLiteral("Label1"));
    HoldIn = Caption(QStringLiteral("EEPROM"), this, QRect(128, 40, 80, 16), QStringLiteral("HoldIn"));
    QFont bold = HoldIn->font();
    bold.setBold(true);
    HoldIn->setFont(bold);

    RegGridDec = new RegisterGridView(this);
    RegGridDec->setObjectName(QStringLiteral("RegGridDec"));
    regModel_ = new RegisterGridModel(browser_, false, this);
    RegGridDec->setModel(regModel_);
    RegGridDec->setItemDelegate(new CellDelegate(false, RegGridDec));
    SetUpGrid(RegGridDec, kRegGridCols, 24, 16, true)->move(8, 60);
    RegGridDec->setToolTip(QStringLiteral("Click on a cell to read EEPROM register and display value"));
    RegGridDec->setAccessibleName(QStringLiteral("Registers for device: EEPROM"));
    RegGridDec->onPick = [this](int col, int row) { RegGridDecSelectCell(col, row); };

    ASCIIGridDec = new QTableView(this);
    ASCIIGridDec->setObjectName(QStringLiteral("ASCIIGridDec"));
    asciiModel_ = new RegisterGridModel(browser_, true, this);
    ASCIIGridDec->setModel(asciiModel_);
    ASCIIGridDec->setItemDelegate(new CellDelegate(true, ASCIIGridDec));
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setFixedPitch(true);
    mono.setPointSize(8);
    ASCIIGridDec->setFont(mono);
    ASCIIGridDec->setFocusPolicy(Qt::NoFocus);
    const int gridRight = RegGridDec->geometry().right() + 1;
    SetUpGrid(ASCIIGridDec, kAsciiGridCols, 11, 17, false)->move(gridRight + 4, 60);
    ASCIIGridDec->setToolTip(QStringLiteral("Correponding ASCII values"));
    ASCIIGridDec->setAccessibleName(QStringLiteral("ASCII"));

    // The right-hand column: display format, the three input boxes, the
    // binary box, the note and the buttons.
    const int x = ASCIIGridDec->geometry().right() + 9;
    const int w = width() - x - 8;
    const int boxX = x + 44;

    RadioUnits = new QGroupBox(QStringLiteral("Display as"), this);
    RadioUnits->setObjectName(QStringLiteral("RadioUnits"));
    RadioUnits->setToolTip(QStringLiteral("Select display format"));
    RadioUnits->setAccessibleName(QStringLiteral("Display as"));
    RadioUnits->setGeometry(x, 52, w, 46);
    RadioDec8 = new QRadioButton(QStringLiteral("Dec8"), RadioUnits);
    RadioDec8->setObjectName(QStringLiteral("RadioUnitsDec8"));
    RadioDec8->setGeometry(8, 20, 54, 18);
    RadioHex = new QRadioButton(QStringLiteral("Hex"), RadioUnits);
    RadioHex->setObjectName(QStringLiteral("RadioUnitsHex"));
    RadioHex->setGeometry(66, 20, 50, 18);

    Label14 = Caption(QStringLiteral("To write in the selected register enter the value to be written in any of the 3 cells below"),
                      this, QRect(x, 108, w, 58), QStringLiteral("Label14"));
    Label14->setWordWrap(true);
    SetColour(Label14, Qt::blue);

    auto makeEdit = [this](const QString& name, const QString& caption, const QString& hint, QRect geometry,
                           int captionY) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setGeometry(geometry);
        e->setToolTip(hint);
        QString plain = caption;
        plain.chop(1); // the caption without its colon
        e->setAccessibleName(plain);
        QLabel* l = Caption(caption, this, QRect(geometry.x() - 44, captionY, 42, 16), name + QStringLiteral("lbl"));
        l->setBuddy(e);
        return e;
    };
    EditA = makeEdit(QStringLiteral("EditA"), QStringLiteral("ASCII:"),
                     QStringLiteral("Enter an ASCII value (1 character)  to write to the selected register"),
                     QRect(boxX, 172, 30, 21), 175);
    EditA->setValidator(new MaxLengthValidator(1, EditA));

    Label11 = Caption(QStringLiteral("Must hit Refresh after each entry or values will not be refreshed!"), this,
                      QRect(x, 200, w, 44), QStringLiteral("Label11"));
    Label11->setWordWrap(true);
    SetColour(Label11, Qt::blue);

    EditDec8 = makeEdit(QStringLiteral("EditDec8"), QStringLiteral("Dec8:"),
                        QStringLiteral("Enter Dec8 value (0 - 255)  to write to the selected register"),
                        QRect(boxX, 250, 50, 21), 253);
    EditHex = makeEdit(QStringLiteral("EditHex"), QStringLiteral("Hex:"),
                       QStringLiteral("Enter Hex value (0 - FF)  to write to the selected register"),
                       QRect(boxX, 278, 70, 21), 281);
    EditHex->setValidator(new MaxLengthValidator(2, EditHex));
    EditB = makeEdit(QStringLiteral("EditB"), QStringLiteral("Binary:"), QStringLiteral("For information only"),
                     QRect(boxX, 306, 76, 21), 309);
    EditB->setReadOnly(true);

    NVNR = Caption(QStringLiteral("New values not written to device"), this, QRect(x, 336, w, 32), QStringLiteral("NVNR"));
    NVNR->setWordWrap(true);
    SetColour(NVNR, Qt::red);

    Refresh = new QPushButton(QStringLiteral("Refresh"), this);
    Refresh->setObjectName(QStringLiteral("Refresh"));
    Refresh->setToolTip(QStringLiteral("Update screen values"));
    Refresh->setGeometry(x, 374, 60, 25);
    WriteReg = new QPushButton(QStringLiteral("Write"), this);
    WriteReg->setObjectName(QStringLiteral("WriteReg"));
    WriteReg->setToolTip(QStringLiteral("Write new value to EEPROM"));
    WriteReg->setGeometry(x + w - 60, 374, 60, 25);

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
