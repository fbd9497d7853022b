// The main window: its controls and the parameter screen.
#include "ValuesReadWriteUnt.h"

#include "base/ProgramEnd.h"
#include <QScopeGuard>
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "shell/ProgramHistory.h"
#include "windows/AccessibleRoles.h"
#include "windows/MapMakerUnt.h"
#include "windows/PICRW.h"
#include "units/Equations.h"
#include "units/NumberFormat.h"
#include "windows/SetDisplayUnitsUnt.h"
#include "units/SigFigs.h"
#include "windows/PaletteColours.h"
#include "windows/WidgetStyle.h"

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include <exception>
#include <utility>

namespace vorda {

namespace {

// The area scrolls over everything it holds: the rows need not come in
// screen order, so the lowest and widest of them set the size. Rows the
// filter hides and the mA offset panel while it is hidden do not count.
void FitScrollContent(QWidget* content) {
    int right = 580, bottom = 0;
    for (QObject* child : content->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isHidden()) continue;
        right = std::max(right, w->geometry().right() + 1);
        bottom = std::max(bottom, w->geometry().bottom() + 1);
    }
    content->resize(right, bottom);
}

// w resized to at least its designed size and at least what its text needs.
void FitAtLeast(QWidget* w, int width, int height) {
    const QSize hint = w->sizeHint();
    w->resize(std::max(width, hint.width()), std::max(height, hint.height()));
}

bool IsActivationKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TValuesReadWrite::TValuesReadWrite(MainWindowContext context, QWidget* parent)
    : QMainWindow(parent), ctx_(std::move(context)) {
    rounder_ = std::make_unique<SigFigRounder>(ctx_.startup.SigFigCount, ctx_.ui);
    evaluator_ = std::make_unique<EquationEvaluator>(*rounder_, ctx_.ui);
    activity_ = std::make_unique<MeterActivity>(ctx_.serial);
    activity_->SetRefresh([this] { RefreshProgress(); });
    session_ = std::make_unique<MeterSession>(ctx_.map, ctx_.flags, ctx_.units, *evaluator_, *rounder_);
    if (ctx_.history) session_->SetEventSink(ctx_.history);
    // A record that could not be stored is told once per command, after the
    // command's own messages; so is a meter whose device went away.
    activity_->SetCommandHooks(
        [this] {
            historyProblem_.clear();
            if (ctx_.history) ctx_.history->BeginCommand();
            if (StopBtn) StopBtn->show();
        },
        [this] {
            if (StopBtn) StopBtn->hide();
            if (ctx_.end.Terminated()) return;
            MeterLost();
            const QString line = std::exchange(historyProblem_, QString());
            if (!line.isEmpty()) ctx_.ui.ShowMessage(line);
        });
    // The boxes show what the session puts into its rows.
    connect(session_.get(), &MeterSession::RowShown, this, [this](int i) {
        if (i < screen_->Count()) SetBoxText(i, session_->Row(i).shown);
    });
    connect(session_.get(), &MeterSession::ChangesKnown, this, [this] { ShowChanges(); });
    setObjectName(QStringLiteral("ValuesReadWrite"));
    setWindowTitle(QStringLiteral("ZUV Meter Settings - Read and Write Parameter Values"));
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    setFont(f);
    BuildWindow();
    activity_->SetStopControl(StopBtn);
}

TValuesReadWrite::~TValuesReadWrite() = default;

void TValuesReadWrite::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const UserError& e) {
        ctx_.ui.ShowError(e.text());
    } catch (const ProgramTerminated&) {
        // The program end seam has shown the message and asked the program
        // to end; nothing more runs in this command.
    }
}

void TValuesReadWrite::RunCommand(const std::function<void()>& handler) {
    // A command started otherwise than by the user (a queued call, say)
    // waits its turn no more than the user's input does: it is dropped.
    if (activity_->Running()) return;
    Guard(handler);
}

void TValuesReadWrite::AttachWindows(TDisplayUnitsFrm* units, TMapMaker* mapMaker, TPICRWForm* picrw,
                                     TPICCoreForm* core) {
    units_ = units;
    mapMaker_ = mapMaker;
    picrw_ = picrw;
    core_ = core;
    if (mapMaker_) mapMaker_->ShowConnected(ctx_.link.MeterConnected);
}

void TValuesReadWrite::PICRW1Click() {
    if (!picrw_) return;
    picrw_->show();
    picrw_->raise();
    picrw_->activateWindow();
}

// ---------------------------------------------------------------- controls

void TValuesReadWrite::BuildWindow() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    setCentralWidget(client);
    resize(620, 560);

    TopPanel = new QWidget(client);
    TopPanel->setObjectName(QStringLiteral("TopPanel"));
    TopPanel->setGeometry(0, 0, 620, 47);
    TestConnbtn = new QPushButton(QStringLiteral("Connect"), TopPanel);
    TestConnbtn->setObjectName(QStringLiteral("TestConnbtn"));
    TestConnbtn->setToolTip(QStringLiteral("Atttach meter and press connect"));
    TestConnbtn->move(8, 8);
    connect(TestConnbtn, &QPushButton::clicked, this, [this] { RunCommand([this] { TestConnbtnClick(); }); });
    CheckData = new QPushButton(QStringLiteral("Check Data"), TopPanel);
    CheckData->setObjectName(QStringLiteral("CheckData"));
    CheckData->setToolTip(QStringLiteral("See if the current data is valid"));
    CheckData->move(146, 3);
    connect(CheckData, &QPushButton::clicked, this, [this] { RunCommand([this] { CheckDataClick(); }); });
    CheckDataResult = new QLabel(QStringLiteral("Data Status"), TopPanel);
    CheckDataResult->setObjectName(QStringLiteral("CheckDataResult"));
    CheckDataResult->setAccessibleDescription(QStringLiteral("Data status"));
    CheckDataResult->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    Progress = new QLabel(TopPanel);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setGeometry(272, 4, 10, 16);
    Progress->setAlignment(Qt::AlignCenter);
    SetBold(Progress);
    ProgressBar = new QProgressBar(TopPanel);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(290, 4, 150, 14);
    ProgressBar->setTextVisible(true);
    ProgressBar->setFormat(QStringLiteral("%v / %m"));
    ProgressBar->setAccessibleName(QStringLiteral("Progress"));
    ProgressBar->hide();
    // Shown while a meter command runs; a press (or Esc) ends the command
    // between two register exchanges.
    StopBtn = new QPushButton(QStringLiteral("Stop"), TopPanel);
    StopBtn->setObjectName(QStringLiteral("StopBtn"));
    StopBtn->setToolTip(QStringLiteral("Stop the running command (Esc)"));
    StopBtn->hide();
    connect(StopBtn, &QPushButton::clicked, this, [this] { activity_->RequestStop(); });
    IsPreviewlbl = MakeLabel(TopPanel, QStringLiteral("IsPreviewlbl"), QStringLiteral("Loaded:  Preview of Map file"), 341, 15);
    IsPreviewlbl->move(341, 22);
    IsPreviewlbl->hide();

    MOForAttrslbl = MakeLabel(client, QStringLiteral("MOForAttrslbl"), QStringLiteral("Current Attributes (Click to toggle):"), 5, 50);
    MOForAttrslbl->setCursor(Qt::PointingHandCursor);
    MOForAttrslbl->installEventFilter(this);
    // Reached with Tab and toggled with Space or Enter, as a click does.
    MOForAttrslbl->setFocusPolicy(Qt::StrongFocus);
    MOForAttrslbl->setAccessibleDescription(QStringLiteral("Press Space to show or hide the attributes"));

    // Finding a parameter: the rows whose name or description holds the
    // text, or those changed.
    FilterEdt = new QLineEdit(client);
    FilterEdt->setObjectName(QStringLiteral("FilterEdt"));
    FilterEdt->setAccessibleName(QStringLiteral("Filter parameters"));
    FilterEdt->setPlaceholderText(QStringLiteral("Filter parameters (Ctrl+F)"));
    FilterEdt->setToolTip(QStringLiteral("Shows the parameters whose name or description holds this text; Esc clears it"));
    FilterEdt->setClearButtonEnabled(true);
    FilterEdt->installEventFilter(this);
    connect(FilterEdt, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
    // F1 opens the program's read-me in the user folder.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { RunCommand([this] { OpenReadMe(); }); });
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        FilterEdt->setFocus(Qt::ShortcutFocusReason);
        FilterEdt->selectAll();
    });
    ChangedOnlyChk = new QCheckBox(QStringLiteral("C&hanged only"), client);
    ChangedOnlyChk->setObjectName(QStringLiteral("ChangedOnlyChk"));
    ChangedOnlyChk->setToolTip(QStringLiteral("Shows only the parameters whose value differs from the meter's or the data file's"));
    connect(ChangedOnlyChk, &QCheckBox::toggled, this, [this] { ApplyFilter(); });

    ScrollArea = new QScrollArea(client);
    ScrollArea->setObjectName(QStringLiteral("ScrollArea"));
    ScrollArea->setWidgetResizable(false);
    // Marked before anything asks for its accessible interface.
    MarkAsPane(ScrollArea);
    ScrollArea->setAccessibleName(QStringLiteral("Parameters"));
    ScrollContent = new QWidget;
    ScrollContent->setObjectName(QStringLiteral("ScrollContent"));
    ScrollContent->resize(580, 400);
    ScrollArea->setWidget(ScrollContent);
    ScrollArea->viewport()->installEventFilter(this);
    ScrollContent->installEventFilter(this);
    screen_ = std::make_unique<ParameterScreen>(ScrollContent, this);

    AttrsPnl = new AttributesPanel(client, this);
    BuildMaPanel();

    BottomPanel = new QWidget(client);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    Version = MakeLabel(BottomPanel, QStringLiteral("Version"), QStringLiteral("Version:"), 8, 6);
    WebLink = MakeLabel(BottomPanel, QStringLiteral("WebLink"),
                        QStringLiteral("<a href=\"https://www.zuvmeters.com\">www.zuvmeters.com</a>"), 400, 6);
    WebLink->setToolTip(QStringLiteral("Link to ZUV website"));
    WebLink->setOpenExternalLinks(true);
    WebLink->setAccessibleName(QStringLiteral("www.zuvmeters.com"));
    // Reached with Tab and opened with Enter.
    WebLink->setTextInteractionFlags(Qt::TextBrowserInteraction);
    WebLink->setFocusPolicy(Qt::StrongFocus);

    BuildMenus();
    for (QWidget* pane : std::initializer_list<QWidget*>{client, TopPanel, BottomPanel, ScrollArea->viewport(), ScrollContent})
        MarkAsPane(pane);
    client->setAccessibleName(QStringLiteral("Parameter values"));
    TopPanel->setAccessibleName(QStringLiteral("Commands"));
    BottomPanel->setAccessibleName(QStringLiteral("Version"));
    ScrollContent->setAccessibleName(QStringLiteral("Parameter rows"));
    LayOutWindow();
    FitFirstSize();
}

void TValuesReadWrite::BuildMaPanel() {
    auto* panel = new QFrame(ScrollContent);
    mAPnl = panel;
    panel->setObjectName(QStringLiteral("mAPnl"));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setAutoFillBackground(true);
    panel->setBackgroundRole(QPalette::Midlight);
    panel->setGeometry(288, 0, 249, 194);
    MakeLabel(panel, QStringLiteral("mAPnlCaption"), QStringLiteral("mA Offset Calculation"), 8, 8);
    MakeLabel(panel, QStringLiteral("OldOffsetCaption"), QStringLiteral("Old mA Offset"), 8, 40);
    OldOffsetEdt = new QLineEdit(panel);
    OldOffsetEdt->setObjectName(QStringLiteral("OldOffsetEdt"));
    OldOffsetEdt->setGeometry(120, 36, 110, 22);
    OldOffsetEdt->setAccessibleName(QStringLiteral("Old mA Offset"));
    MakeLabel(panel, QStringLiteral("MetermACaption"), QStringLiteral("Meter mA Output"), 8, 72);
    MetermAEdt = new QLineEdit(panel);
    MetermAEdt->setObjectName(QStringLiteral("MetermAEdt"));
    MetermAEdt->setGeometry(120, 68, 110, 22);
    MetermAEdt->setAccessibleName(QStringLiteral("Meter mA Output"));
    OfffsetCalcBtn = new QPushButton(QStringLiteral("Calculate and Write"), panel);
    OfffsetCalcBtn->setObjectName(QStringLiteral("OfffsetCalcBtn"));
    OfffsetCalcBtn->setGeometry(8, 104, 222, 25);
    mAConnectbtn = new QPushButton(QStringLiteral("Connect"), panel);
    mAConnectbtn->setObjectName(QStringLiteral("mAConnectbtn"));
    mAConnectbtn->setGeometry(8, 136, 105, 25);
    connect(mAConnectbtn, &QPushButton::clicked, this, [this] { RunCommand([this] { mAConnectbtnClick(); }); });
    NewMeterbtn = new QPushButton(QStringLiteral("New Meter"), panel);
    NewMeterbtn->setObjectName(QStringLiteral("NewMeterbtn"));
    NewMeterbtn->setToolTip(QStringLiteral("Click when the next meter has been attached"));
    NewMeterbtn->setGeometry(125, 136, 105, 25);
    connect(NewMeterbtn, &QPushButton::clicked, this, [this] { RunCommand([this] { NewMeterbtnClick(); }); });
    connect(OfffsetCalcBtn, &QPushButton::clicked, this, [this] { RunCommand([this] { OfffsetCalcBtnClick(); }); });
    NewMeterbtn->hide();
    panel->hide();
}

void TValuesReadWrite::BuildMenus() {
    DataMenu = menuBar()->addMenu(QStringLiteral("&Data"));
    DataMenu->setObjectName(QStringLiteral("Data1"));
    DataMenuAction = DataMenu->menuAction();
    auto add = [this](QMenu* menu, const QString& name, const QString& text, const QString& hint,
                      std::function<void()> handler) {
        QAction* a = menu->addAction(text);
        a->setObjectName(name);
        a->setStatusTip(hint);
        a->setToolTip(hint);
        connect(a, &QAction::triggered, this, [this, handler] { RunCommand(handler); });
        return a;
    };
    ReadData = add(DataMenu, QStringLiteral("ReadData"), QStringLiteral("&Open Data File..."), QStringLiteral("Read a data file"), [this] { ReadDataClick(); });
    SaveAsData = add(DataMenu, QStringLiteral("SaveAsData"), QStringLiteral("&Save Data File As ..."), QStringLiteral("Save current data to a data file"), [this] { SaveAsDataClick(); });
    ClearData1 = add(DataMenu, QStringLiteral("ClearData1"), QStringLiteral("&Clear Screen Data"), QString(), [this] { ClearData1Click(); });
    CompareData = add(DataMenu, QStringLiteral("CompareData"), QStringLiteral("Co&mpare Meter With Data File..."), QStringLiteral("Compare the meter with a data file and write the chosen differences"), [this] { CompareDataClick(); });
    CommissioningReport = add(DataMenu, QStringLiteral("CommissioningReport"), QStringLiteral("Commissioning &Report..."),
                              QStringLiteral("Save what this connection found in the meter and left in it, as PDF and CSV"),
                              [this] { CommissioningReportClick(); });
    DataMenu->addSeparator();
    Exit1 = add(DataMenu, QStringLiteral("Exit1"), QStringLiteral("E&xit"), QString(), [this] { close(); });
    DataMenuAction->setEnabled(false);
    ReadData->setShortcut(QKeySequence::Open);
    SaveAsData->setShortcut(QKeySequence::Save);
    Exit1->setShortcut(QKeySequence::Quit);

    EEPROM1 = menuBar()->addMenu(QStringLiteral("&Meter (not connected)"));
    EEPROM1->setObjectName(QStringLiteral("EEPROM1"));
    ReadEE = add(EEPROM1, QStringLiteral("ReadEE"), QStringLiteral("&Read Parameters"), QStringLiteral("Read parameter values from the EEPROM"), [this] { ReadEEClick(); });
    WriteEE = add(EEPROM1, QStringLiteral("WriteEE"), QStringLiteral("&Write Parameters"), QStringLiteral("Write parameter values to the EEPROM"), [this] { WriteEEClick(); });
    VerifyMeter = add(EEPROM1, QStringLiteral("VerifyMeter"), QStringLiteral("&Verify Meter"), QStringLiteral("Compare the meter with the values on the screen"), [this] { VerifyMeterClick(); });
    PICRW1 = add(EEPROM1, QStringLiteral("PICRW1"), QStringLiteral("Read/Write Re&gisters"), QString(), [this] { PICRW1Click(); });
    Disconnect = add(EEPROM1, QStringLiteral("Disconnect"), QStringLiteral("&Disconnect"), QString(), [this] { EEPROMResetClick(); });
    EEPROMReset = add(EEPROM1, QStringLiteral("EEPROMReset"), QStringLiteral("Has Been Reset or &Changed"), QStringLiteral("Necessary to reconnect"), [this] { EEPROMResetClick(); });
    RestoreDefaults1 = add(EEPROM1, QStringLiteral("RestoreDefaults1"), QStringLiteral("Restore &Factory Defaults"), QString(), [this] { RestoreDefaults1Click(); });
    EEPROM1->addSeparator();
    MeterHistoryItem = add(EEPROM1, QStringLiteral("MeterHistory"), QStringLiteral("Meter &History..."),
                           QStringLiteral("The recorded reads, writes and checks of the connected meter or of any meter"),
                           [this] { MeterHistoryClick(); });
    MeterHistoryItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    SeriesCommissioning = add(EEPROM1, QStringLiteral("SeriesCommissioning"), QStringLiteral("&Series Commissioning..."),
                              QStringLiteral("Commission one meter after another from a golden data file"),
                              [this] { SeriesCommissioningClick(); });
    SeriesCommissioning->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EEPROM1->setToolTipsVisible(true);
    // The commissioning commands are reached from the keyboard without the
    // menus too.
    CompareData->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    VerifyMeter->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
    CommissioningReport->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    connect(DataMenu, &QMenu::aboutToShow, this, [this] { UpdateCommissionActions(); });
    connect(EEPROM1, &QMenu::aboutToShow, this, [this] { UpdateCommissionActions(); });
    UpdateCommissionActions();

    MapFile1 = menuBar()->addMenu(QStringLiteral("M&aps"));
    MapFile1->setObjectName(QStringLiteral("MapFile1"));
    MapFileMenuAction = MapFile1->menuAction();
    ReadMapFile = add(MapFile1, QStringLiteral("ReadMapFile"), QStringLiteral("&Open Map File ..."), QStringLiteral("Read a Map file (will delete current data)"), [this] { ReadMapFileClick(); });
    MapFiles1 = add(MapFile1, QStringLiteral("MapFiles1"), QStringLiteral("Maps &Form"), QStringLiteral("Open the Maps Form"), [this] {
        if (mapMaker_) {
            mapMaker_->show();
            mapMaker_->raise();
        }
    });
    MapFile1->setToolTipsVisible(true);
    DataMenu->setToolTipsVisible(true);

    SetDisplayUnits1 = menuBar()->addAction(QStringLiteral("Set Display &Units"));
    SetDisplayUnits1->setObjectName(QStringLiteral("SetDisplayUnits1"));
    connect(SetDisplayUnits1, &QAction::triggered, this, [this] { RunCommand([this] { SetDisplayUnits1Click(); }); });
    DirectorySelection1 = menuBar()->addAction(QStringLiteral("Di&rectory Selection"));
    DirectorySelection1->setObjectName(QStringLiteral("DirectorySelection1"));
    connect(DirectorySelection1, &QAction::triggered, this, [this] { RunCommand([this] { DirectorySelection1Click(); }); });

    // F10 opens the menu bar at its first menu that can open, as desktops do.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, [this] {
        for (QAction* a : menuBar()->actions())
            if (a->isVisible() && a->isEnabled() && a->menu()) {
                menuBar()->setFocus(Qt::ShortcutFocusReason);
                menuBar()->setActiveAction(a);
                return;
            }
    });
}

void TValuesReadWrite::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayOutWindow();
}

void TValuesReadWrite::LayOutWindow() {
    // The designed places, moved and widened where the font needs more room.
    FitAtLeast(TestConnbtn, 90, 30);
    FitAtLeast(CheckData, 69, 21);
    CheckData->move(std::max(146, TestConnbtn->geometry().right() + 48), 3);
    const QFontMetrics fm(CheckDataResult->font());
    int statusWidth = 80;
    for (const char* text : {"Data Status", "Data NOT OK", "Re-Check Data", "Data OK"})
        statusWidth = std::max(statusWidth, fm.horizontalAdvance(QLatin1String(text)) + 6);
    CheckDataResult->setGeometry(CheckData->geometry().center().x() - statusWidth / 2 + 1,
                                 CheckData->geometry().bottom() + 3, statusWidth, std::max(16, fm.height()));
    // The progress area keeps its distance from the check's controls.
    const int progressLeft = std::max(272, std::max(CheckData->geometry().right(), CheckDataResult->geometry().right()) + 49);
    Progress->move(progressLeft, 4);
    ProgressBar->setGeometry(progressLeft + 18, 4, 150, std::max(14, ProgressBar->sizeHint().height()));
    FitAtLeast(StopBtn, 56, 21);
    StopBtn->move(ProgressBar->geometry().right() + 7, 1);
    IsPreviewlbl->move(progressLeft + 69, 22);
    const int topHeight = std::max({47, CheckDataResult->geometry().bottom() + 5, TestConnbtn->geometry().bottom() + 9});

    const QSize client = centralWidget()->size();
    TopPanel->setGeometry(0, 0, client.width(), topHeight);
    MOForAttrslbl->move(5, topHeight + 3);
    const int filterTop = MOForAttrslbl->geometry().bottom() + 4;
    FitAtLeast(ChangedOnlyChk, 0, 0);
    const int filterHeight = std::max(FilterEdt->sizeHint().height(), ChangedOnlyChk->height());
    const int filterWidth = std::clamp(client.width() - 16 - ChangedOnlyChk->width() - 12, 120,
                                       std::max(120, fm.averageCharWidth() * 48));
    FilterEdt->setGeometry(8, filterTop, filterWidth, filterHeight);
    ChangedOnlyChk->move(FilterEdt->geometry().right() + 12, filterTop + (filterHeight - ChangedOnlyChk->height()) / 2);
    const int areaTop = filterTop + filterHeight + 4;
    AttrsPnl->move(8, areaTop + 22);

    const int bottomHeight = std::max(34, Version->height() + 16);
    WebLink->move(std::max(400, Version->geometry().right() + 24), WebLink->y());
    // The scrolling area follows all four window edges.
    ScrollArea->setGeometry(8, areaTop, std::max(100, client.width() - 16),
                            std::max(100, client.height() - areaTop - bottomHeight - 6));
    BottomPanel->setGeometry(0, client.height() - bottomHeight, client.width(), bottomHeight);
}

void TValuesReadWrite::FitFirstSize() {
    // The designed size, or more when the font needs it; never more than the
    // screen the window opens on. A saved placement replaces it later.
    const int wanted = std::max({620, AttrsPnl->width() + 40, ChangedOnlyChk->width() + 300});
    const QFontMetrics fm(font());
    // Tall enough for a dozen parameter rows where the screen has room.
    QSize size(wanted, std::max(560, fm.height() * 64));
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        const QRect free = s->availableGeometry();
        // Room for the frame the window manager adds.
        size = size.boundedTo(QSize(free.width() - 16, free.height() - 48));
    }
    resize(size.expandedTo(QSize(320, 240)));
}

void TValuesReadWrite::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
}

bool TValuesReadWrite::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || IsActivationKey(event)) {
        if (watched == MOForAttrslbl) {
            Guard([this] { MOForAttrslblClick(); });
            return true;
        }
    }
    if ((event->type() == QEvent::MouseButtonDblClick || IsActivationKey(event)) && watched == AttrsPnl->UDlbl) {
        UDlblDblClick();
        return true;
    }
    if (watched == FilterEdt && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !FilterEdt->text().isEmpty()) {
        FilterEdt->clear();
        return true;
    }
    if (auto* box = qobject_cast<QLineEdit*>(watched); box && screen_->IndexOf(box) >= 0) {
        if (event->type() == QEvent::MouseButtonPress) Guard([this, box] { DataClickOrExit(box); });
        if (event->type() == QEvent::FocusOut) Guard([this, box] { DataClickOrExit(box); });
        return false;
    }
    if (event->type() == QEvent::Wheel && (watched == ScrollArea->viewport() || watched == ScrollContent ||
                                           (qobject_cast<QLabel*>(watched) && static_cast<QWidget*>(watched)->parentWidget() == ScrollContent))) {
        // Over the area or one of its labels: scroll by lines, as many as the
        // system's setting for one wheel notch.
        auto* wheel = static_cast<QWheelEvent*>(event);
        const bool sideways = wheel->modifiers() & Qt::ShiftModifier;
        QScrollBar* bar = sideways ? ScrollArea->horizontalScrollBar() : ScrollArea->verticalScrollBar();
        const int delta = wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
        const int lines = QApplication::wheelScrollLines();
        for (int i = 0; i < lines; ++i)
            bar->triggerAction(delta > 0 ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- screen

void TValuesReadWrite::ScrollToTop() {
    ScrollArea->verticalScrollBar()->setValue(0);
    ScrollArea->horizontalScrollBar()->setValue(0);
}

void TValuesReadWrite::SetScreenOrder() { screen_->SetOrder(ctx_.map.MapParams); }

int TValuesReadWrite::GetScreenOrder(int ParamOrder) const { return screen_->OrderOf(ParamOrder); }

void TValuesReadWrite::CreateFields() {
    // The rows are made while their area is out of sight, so that they
    // appear together with it instead of one at a time among their siblings.
    const bool contentShown = !ScrollContent->isHidden();
    ScrollContent->hide();
    const auto showContent = qScopeGuard([this, contentShown] { ScrollContent->setVisible(contentShown); });
    ScrollToTop();
    // Every row of the previous map goes, whatever its size was.
    screen_->Build(ctx_.map.MapParams, ctx_.map.MapHeaders);
    session_->ResetRows();
    for (int i = 0; i < screen_->Count(); ++i) {
        QLineEdit* box = screen_->Row(i).box;
        connect(box, &QLineEdit::textChanged, this, [this, box, i](const QString& text) {
            session_->SetShown(i, text);
            Guard([this, box] { DataChanged(box); });
            screen_->SetChanged(i, session_->RowChanged(i));
        });
        connect(box, &QLineEdit::textEdited, this, [this, i] { session_->MarkTyped(i); });
    }
    // A multiplier that is no number ends the command, but not before the
    // screen is whole: its rows stay reachable and the flags settled.
    std::exception_ptr failure;
    try {
        SetDataRanges();
    } catch (const UserError&) {
        failure = std::current_exception();
    }
    screen_->Arrange();
    FitScrollContent(ScrollContent);
    // The rows are created after the panel: it stays above them.
    mAPnl->raise();
    ctx_.flags.DataEdited = false;
    if (failure) std::rethrow_exception(failure);
}

void TValuesReadWrite::FormShow() {
    if (!ctx_.map.MapLoaded) return;
    CreateFields();
    screen_->ApplyAccess(ctx_.map.MapParams, ctx_.startup.MakerAccess);
}

void TValuesReadWrite::SetDataRanges() {
    for (int i = 0; i < ctx_.map.MapParamCount() && i < screen_->Count(); ++i) {
        const FieldDesignResult r = session_->DeriveDesign(i);
        if (!r.ok) {
            ctx_.ui.ShowMessage(r.stopMessage);
            break;
        }
        const UnitRow* unit = session_->UnitOf(ctx_.map.MapParams.at(i));
        screen_->ShowDesign(i, ctx_.map.MapParams.at(i), r.design, unit ? unit->Units : QString());
    }
    screen_->Arrange();
    // Wider captions after a change of unit widen the scrolling range.
    FitScrollContent(ScrollContent);
}

bool TValuesReadWrite::GotData() const { return session_->GotData(); }

void TValuesReadWrite::Cleardata() {
    for (int i = 0; i < screen_->Count(); ++i) screen_->Row(i).box->setText(QString());
    session_->ClearValues();
    ShowChanges();
    ctx_.flags.DataEdited = false;
    DataCheckResult(false);
}

void TValuesReadWrite::SetDataOnScreen(bool IsIt) {
    ctx_.flags.DataOnScreen = IsIt;
    DisplayUnitsShown = !IsIt;
    if (units_) units_->ShowLocked(IsIt);
}

void TValuesReadWrite::ClearData1Click() {
    if (!ctx_.map.MapLoaded) return;
    if (!ctx_.startup.OffsetCalMode && GotData() && ctx_.flags.DataEdited &&
        !ctx_.ui.Confirm(QStringLiteral("About to clear screen data - this has not been saved.\n\r\n\r            Are you sure?")))
        return;
    Cleardata();
    SetDataOnScreen(false);
}

void TValuesReadWrite::SetDisplayUnits1Click() {
    if (DisplayUnitsShown) {
        if (units_) units_->hide();
        DisplayUnitsShown = false;
    } else if (ctx_.flags.DataOnScreen) {
        ctx_.ui.ShowMessage(QStringLiteral("Clear Screen Data (Data / Clear Data) before Setting Dislay Units"));
    } else {
        if (units_) {
            units_->show();
            units_->raise();
        }
        DisplayUnitsShown = true;
    }
}

void TValuesReadWrite::MOForAttrslblClick() {
    if (AttrsPnl->isVisible()) {
        AttrsPnl->hide();
        MOForAttrslbl->setText(QStringLiteral("Current Attributes (Click to toggle):"));
    } else {
        AttrsPnl->show();
        AttrsPnl->raise();
        MOForAttrslbl->setText(QStringLiteral("Current Attributes (Click to toggle):  Double-click user file directory to open in File Explorer"));
    }
    MOForAttrslbl->adjustSize();
}

void TValuesReadWrite::ShowFiles() { AttrsPnl->ShowFiles(session_->Files()); }

void TValuesReadWrite::SetBoxColour(QLineEdit* box, Mark mark) { SetMark(box, mark); }

void TValuesReadWrite::ShowChanges() {
    for (int i = 0; i < screen_->Count(); ++i) screen_->SetChanged(i, session_->RowChanged(i));
    if (ChangedOnlyChk->isChecked()) ApplyFilter();
}

void TValuesReadWrite::ApplyFilter() {
    screen_->SetFilter(FilterEdt->text(), ChangedOnlyChk->isChecked());
    FitScrollContent(ScrollContent);
    ScrollToTop();
}

void TValuesReadWrite::SetBoxText(int index, const QString& text) { screen_->Row(index).box->setText(text); }

void TValuesReadWrite::DataChanged(QLineEdit* box) {
    ctx_.flags.DataEdited = true;
    CheckDataResult->setText(QStringLiteral("Re-Check Data"));
    SetMark(CheckDataResult, Mark::Warning);
    SetBoxColour(box, Mark::Warning);
    SetDataOnScreen(true);
    ctx_.flags.MeterInSync = false;
}

void TValuesReadWrite::DataClickOrExit(QLineEdit* box) {
    const int i = screen_->IndexOf(box);
    if (i >= 0 && i < session_->RowCount() && session_->Row(i).IsMaOffset() && !box->text().isEmpty()) {
        CalcField = box;
        mAPnl->move(mAPnl->x(), box->y());
        mAPnl->show();
        mAPnl->raise();
        OldOffsetEdt->setText(box->text());
        MetermAEdt->setFocus();
    } else {
        mAPnl->hide();
    }
}

void TValuesReadWrite::NewMeterbtnClick() {
    // The next meter of a series: drop this one as "Has Been Reset or
    // Changed" does; Connect then loads and reads the next.
    EEPROMResetClick();
    MetermAEdt->clear();
}

void TValuesReadWrite::DataCheckResult(bool WasItOK) {
    if (WasItOK) {
        CheckDataResult->setText(QStringLiteral("Data OK"));
        SetMark(CheckDataResult, Mark::Plain);
    } else {
        CheckDataResult->setText(QStringLiteral("Data NOT OK"));
        SetMark(CheckDataResult, Mark::Refused);
        if (ctx_.startup.OffsetCalMode && CalcField) CalcField->setText(OldOffsetText);
    }
}

} // namespace vorda
