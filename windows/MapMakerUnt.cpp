#include "MapMakerUnt.h"

#include "shell/ConfigFiles.h"
#include "shell/Startup.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "windows/WindowPlacement.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QWheelEvent>

namespace vorda {

// The Selector grid as a view sees it: register rows only; the title row is
// the view's header.
class SelectorTableModel : public QAbstractTableModel {
public:
    SelectorTableModel(const MapEditor& editor, QObject* parent) : QAbstractTableModel(parent), editor_(editor) {}
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : MapEditor::kSelectorRows - 1;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : MapEditor::kSelectorCols;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const int row = index.row() + 1;
        if (role == Qt::DisplayRole) return editor_.Cell(index.column(), row);
        if (role == Qt::BackgroundRole)
            return QColor(index.column() == MapEditor::NameCol && editor_.IsSilver(row) ? QColor(0xC0, 0xC0, 0xC0)
                                                                                       : QColor(Qt::white));
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role == Qt::DisplayRole && orientation == Qt::Horizontal) return editor_.Cell(section, 0);
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex&) const override { return Qt::ItemIsEnabled | Qt::ItemIsSelectable; }
    void Refresh() { emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1)); }

private:
    const MapEditor& editor_;
};

// The page layout grid as a view sees it; columns 4 and 5 are typed into.
class LayoutTableModel : public QAbstractTableModel {
public:
    LayoutTableModel(MapEditor& editor, std::function<void()> edited, QObject* parent)
        : QAbstractTableModel(parent), editor_(editor), edited_(std::move(edited)), rows_(editor.LayoutRowCount() - 1) {}
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : MapEditor::kLayoutCols;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole || role == Qt::EditRole) return editor_.LayoutCell(index.column(), index.row() + 1);
        return {};
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::EditRole || !Typed(index.column())) return false;
        const bool taken = editor_.PageLayoutSetEditText(index.column(), index.row() + 1, value.toString());
        emit dataChanged(index, index);
        edited_();
        return taken;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role == Qt::DisplayRole && orientation == Qt::Horizontal) return editor_.LayoutCell(section, 0);
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (Typed(index.column())) f |= Qt::ItemIsEditable;
        return f;
    }
    void Refresh() {
        const int rows = editor_.LayoutRowCount() - 1;
        if (rows != rows_) {
            beginResetModel();
            rows_ = rows;
            endResetModel();
        } else if (rows > 0) {
            emit dataChanged(index(0, 0), index(rows - 1, columnCount() - 1));
        }
    }

private:
    static bool Typed(int column) { return column == MapEditor::LayAlwaysCol || column == MapEditor::LayToolTipCol; }
    MapEditor& editor_;
    std::function<void()> edited_;
    int rows_;
};

namespace {

// Every Selector cell: its background, then its text in black 2 pixels in.
class SelectorCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        painter->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QColor>());
        painter->setPen(Qt::black);
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        if (option.state & QStyle::State_HasFocus) {
            painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }
};

constexpr int kRowHeight = 16;
constexpr int kBottomPanelHeight = 28;
constexpr int kLayoutTop = 404;
const QString kWhiteHeader = QStringLiteral(
    "QHeaderView::section { background: white; color: black; padding-left: 2px;"
    " border: 0px; border-right: 1px solid #c0c0c0; border-bottom: 1px solid #c0c0c0; }");

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, int x, int y, bool blue = false) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    if (blue) label->setStyleSheet(QStringLiteral("color: blue;"));
    label->adjustSize();
    return label;
}

QLabel* MakeBox(QWidget* parent, const QString& name, int x, int y, const QString& accessible) {
    auto* box = new QLabel(parent);
    box->setObjectName(name);
    box->setGeometry(x, y, 50, 18);
    box->setAutoFillBackground(true);
    box->setStyleSheet(QStringLiteral("background: white; border: 1px solid gray; padding-left: 2px;"));
    box->setAccessibleName(accessible);
    return box;
}

QComboBox* MakeCombo(QWidget* parent, const QString& name, const QStringList& items, int x, int y,
                     const QString& accessible) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->addItems(items);
    combo->setGeometry(x, y, 166, 20);
    combo->setAccessibleName(accessible);
    return combo;
}

void ShowText(QComboBox* combo, const QString& text) {
    if (combo->isEditable()) {
        combo->setEditText(text);
        return;
    }
    combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly));
}

} // namespace

TMapMaker::TMapMaker(MapMakerContext context, QWidget* parent)
    : QMainWindow(parent), ctx_(std::move(context)), editor_(ctx_.ui) {
    setObjectName(QStringLiteral("MapMaker"));
    setWindowTitle(QStringLiteral("ZUV Meter Settings - Parameter Maps"));
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSize(8);
    setFont(f);
    BuildWindow();
}

TMapMaker::~TMapMaker() {
    // The grids read the editor, which goes before the widgets do.
    destroying_ = true;
    delete Client;
}

void TMapMaker::BuildWindow() {
    Client = new QWidget(this);
    Client->setObjectName(QStringLiteral("Client"));
    setCentralWidget(Client);

    SelectorInstruction = MakeLabel(Client, QStringLiteral("SelectorInstruction"),
                                    QStringLiteral("Selector grid - Click a row to  select a current Parameter, or to select new parameter range start, then a row to select range end"),
                                    8, 4, true);
    SelectorInstruction->setWordWrap(true);
    SelectorInstruction->setGeometry(8, 4, 470, 28);
    QLabel* mapFileCaption = MakeLabel(Client, QStringLiteral("MapFileCaption"), QStringLiteral("Current Map File:"), 8, 34);
    const int mapFileLeft = mapFileCaption->geometry().right() + 8;
    MapFileNow = MakeLabel(Client, QStringLiteral("MapFileNow"), QStringLiteral("(none)"), mapFileLeft, 34);
    MapFileNow->setToolTip(QStringLiteral("Name of the current Map file"));
    MapFileNow->setAccessibleName(QStringLiteral("Current Map File:"));
    MapFileNow->setFixedWidth(478 - mapFileLeft);

    Selector = new QTableView(Client);
    Selector->setObjectName(QStringLiteral("Selector"));
    Selector->setAccessibleName(QStringLiteral("Selector grid"));
    Selector->setToolTip(QStringLiteral("Click on a cell to select registers"));
    selectorModel_ = new SelectorTableModel(editor_, this);
    Selector->setModel(selectorModel_);
    Selector->setItemDelegate(new SelectorCellDelegate(Selector));
    Selector->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Selector->setSelectionMode(QAbstractItemView::NoSelection);
    Selector->setShowGrid(true);
    Selector->verticalHeader()->hide();
    Selector->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Selector->verticalHeader()->setMinimumSectionSize(kRowHeight);
    Selector->verticalHeader()->setDefaultSectionSize(kRowHeight);
    Selector->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Selector->horizontalHeader()->setHighlightSections(false);
    Selector->horizontalHeader()->setSectionsClickable(false);
    Selector->horizontalHeader()->setFixedHeight(kRowHeight + 2);
    Selector->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Selector->horizontalHeader()->setStyleSheet(kWhiteHeader);
    Selector->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    Selector->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    Selector->setGeometry(8, 52, 470, 292);
    Selector->viewport()->installEventFilter(this);
    Selector->setCornerButtonEnabled(false);
    // Only the maker's click or a select key chooses a row: the current cell
    // also moves when the grid takes the focus or an arrow key is pressed,
    // and neither may start or end a range.
    connect(Selector, &QTableView::pressed, this, [this](const QModelIndex& index) {
        if (index.isValid()) SelectorSelectCell(index.row() + 1);
    });
    Selector->installEventFilter(this);
    connect(Selector->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { ValuesNotInView(); });

    UpArrow = new QToolButton(Client);
    UpArrow->setObjectName(QStringLiteral("UpArrow"));
    UpArrow->setArrowType(Qt::UpArrow);
    UpArrow->setGeometry(480, 52, 16, 16);
    UpArrow->setToolTip(QStringLiteral("There are more values further up the grid.  Click to go there"));
    UpArrow->setAccessibleName(QStringLiteral("More parameters above"));
    UpArrow->hide();
    connect(UpArrow, &QToolButton::clicked, this, [this] { UpArrowClick(); });
    DownArrow = new QToolButton(Client);
    DownArrow->setObjectName(QStringLiteral("DownArrow"));
    DownArrow->setArrowType(Qt::DownArrow);
    DownArrow->setGeometry(480, 52 + 292 - 16, 16, 16);
    DownArrow->setToolTip(QStringLiteral("There are more values further down the grid.  Click to go there"));
    DownArrow->setAccessibleName(QStringLiteral("More parameters below"));
    DownArrow->hide();
    connect(DownArrow, &QToolButton::clicked, this, [this] { DownArrowClick(); });

    BuildDefinitionControls(Client);

    LayoutInstruction = MakeLabel(Client, QStringLiteral("LayoutInstruction"),
                                  QStringLiteral("Page layout grid - Add item descriptions.  Click and drag rows to set the order on the page.  Add rows to insert headings"),
                                  8, 374, true);
    LayoutInstruction->setWordWrap(true);
    LayoutInstruction->setGeometry(8, 372, 486, 28);
    AddHdrBtn = new QPushButton(QStringLiteral("Add Header Row"), Client);
    AddHdrBtn->setObjectName(QStringLiteral("AddHdrBtn"));
    AddHdrBtn->setGeometry(576, 376, 94, 24);
    connect(AddHdrBtn, &QPushButton::clicked, this, [this] { AddHdrBtnClick(); });
    DelHdrBtn = new QPushButton(QStringLiteral("Del Header Row"), Client);
    DelHdrBtn->setObjectName(QStringLiteral("DelHdrBtn"));
    DelHdrBtn->setGeometry(674, 376, 94, 24);
    connect(DelHdrBtn, &QPushButton::clicked, this, [this] { DelHdrBtnClick(); });

    PageLayout = new QTableView(Client);
    PageLayout->setObjectName(QStringLiteral("PageLayout"));
    PageLayout->setAccessibleName(QStringLiteral("Page layout grid"));
    layoutModel_ = new LayoutTableModel(editor_, [this] { Refresh(); }, this);
    PageLayout->setModel(layoutModel_);
    PageLayout->setSelectionMode(QAbstractItemView::SingleSelection);
    PageLayout->setSelectionBehavior(QAbstractItemView::SelectItems);
    PageLayout->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    PageLayout->verticalHeader()->hide();
    PageLayout->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    PageLayout->verticalHeader()->setMinimumSectionSize(kRowHeight);
    PageLayout->verticalHeader()->setDefaultSectionSize(kRowHeight + 2);
    PageLayout->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    PageLayout->horizontalHeader()->setHighlightSections(false);
    PageLayout->horizontalHeader()->setSectionsClickable(false);
    PageLayout->horizontalHeader()->setFixedHeight(kRowHeight + 2);
    PageLayout->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    PageLayout->horizontalHeader()->setStyleSheet(kWhiteHeader);
    PageLayout->setCornerButtonEnabled(false);
    PageLayout->viewport()->installEventFilter(this);
    connect(PageLayout->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!syncing_ && current.isValid()) PageLayoutSelectCell(current.row() + 1);
            });

    BottomPanel = new QWidget(Client);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    ZUVLogo = MakeLabel(BottomPanel, QStringLiteral("ZUVLogo"), QStringLiteral("ZUV"), 8, 4);
    ZUVLogo->setStyleSheet(QStringLiteral("color: white; background: #1f3f8f; font-weight: bold; padding: 1px 6px;"));
    ZUVLogo->adjustSize();
    WebLink = MakeLabel(BottomPanel, QStringLiteral("WebLink"), QStringLiteral("<u>www.zuvmeters.com</u>"), 300, 6);
    WebLink->setToolTip(QStringLiteral("Link to ZUV website"));
    WebLink->setCursor(Qt::PointingHandCursor);
    WebLink->installEventFilter(this);
    Version = MakeLabel(BottomPanel, QStringLiteral("Version"), QStringLiteral("Version:"), 600, 6);

    BuildMenus();
    Client->installEventFilter(this);
    // The designed place and size: a client area of 775 x 639 below the menu.
    move(51, 113);
    resize(775, 639 + menuBar()->sizeHint().height());
    setMinimumSize(515, 560);
}

void TMapMaker::BuildDefinitionControls(QWidget* client) {
    constexpr int kLeft = 502;
    constexpr int kBox = 602;
    auto* guide = MakeLabel(client, QStringLiteral("SetValuesGuide"),
                            QStringLiteral("Set these values by clicking in the selector grid ..."), kLeft, 4, true);
    guide->setWordWrap(true);
    guide->setGeometry(kLeft, 4, 264, 28);
    guide->setToolTip(QStringLiteral("If you click on a current parameter its values will be loaded"));

    const QString clickHint = QStringLiteral("Click in the grid to select");
    MakeLabel(client, QStringLiteral("StartRegCaption"), QStringLiteral("Start Register"), kLeft, 36)->setToolTip(clickHint);
    StartRowLbl = MakeBox(client, QStringLiteral("StartRowLbl"), kBox, 34, QStringLiteral("Start Register"));
    StartRowLbl->setToolTip(clickHint);
    MakeLabel(client, QStringLiteral("EndRegCaption"), QStringLiteral("End Register"), kLeft, 58)->setToolTip(clickHint);
    EndRowLbl = MakeBox(client, QStringLiteral("EndRowLbl"), kBox, 56, QStringLiteral("End Register"));
    EndRowLbl->setToolTip(clickHint);

    Clear = new QCheckBox(client);
    Clear->setObjectName(QStringLiteral("Clear"));
    Clear->setGeometry(kLeft, 79, 16, 18);
    Clear->setToolTip(QStringLiteral("Delete a selected Parameter"));
    Clear->setAccessibleName(QStringLiteral("Clear selected range"));
    connect(Clear, &QCheckBox::toggled, this, [this](bool checked) {
        if (!syncing_) ClearClick(checked);
    });
    MakeLabel(client, QStringLiteral("ClearCaption"), QStringLiteral("Clear selected range"), kLeft + 20, 80)
        ->setToolTip(QStringLiteral("Will clear the Selector grid from Start Row to End Row"));

    MakeLabel(client, QStringLiteral("AddTheseGuide"), QStringLiteral("... then add these ..."), kLeft, 102, true);

    MakeLabel(client, QStringLiteral("ParamNameCaption"), QStringLiteral("Parameter Name"), kLeft, 124)
        ->setToolTip(QStringLiteral("(Units), e.g. scfm, is optional"));
    ParamNameInput = new QLineEdit(client);
    ParamNameInput->setObjectName(QStringLiteral("ParamNameInput"));
    ParamNameInput->setGeometry(kBox, 121, 166, 20);
    ParamNameInput->setToolTip(QStringLiteral("Select a name - any string - add the units in brackets if required"));
    ParamNameInput->setAccessibleName(QStringLiteral("Parameter Name"));
    connect(ParamNameInput, &QLineEdit::textEdited, this,
            [this](const QString& text) { editor_.controls.ParamNameInput = text; });

    MakeLabel(client, QStringLiteral("FormatCaption"), QStringLiteral("Format"), kLeft, 148);
    Format = MakeCombo(client, QStringLiteral("Format"), FormatNames(), kBox, 145, QStringLiteral("Format"));
    Format->setEditable(true);
    Format->setInsertPolicy(QComboBox::NoInsert);
    Format->setToolTip(QStringLiteral("Format for your display of the parameter"));
    // A pick from the list counts at once; a typed format when it is finished,
    // not at every keystroke.
    connect(Format, &QComboBox::textActivated, this, [this](const QString& text) {
        if (!syncing_) FormatChange(text);
    });
    Format->lineEdit()->installEventFilter(this);

    MultiLabel = MakeLabel(client, QStringLiteral("MultiLabel"), QStringLiteral("Multiplier"), kLeft, 172);
    Multiplier = new QLineEdit(client);
    Multiplier->setObjectName(QStringLiteral("Multiplier"));
    Multiplier->setGeometry(kBox, 169, 166, 20);
    Multiplier->setToolTip(QStringLiteral("Stored value (must be integer) x Multiplier  =  Displayed value"));
    Multiplier->setAccessibleName(QStringLiteral("Multiplier"));
    Multiplier->installEventFilter(this);
    connect(Multiplier, &QLineEdit::textEdited, this, [this](const QString& text) { editor_.controls.Multiplier = text; });

    MakeLabel(client, QStringLiteral("AccessCaption"), QStringLiteral("Access"), kLeft, 196);
    AccessCombo = MakeCombo(client, QStringLiteral("AccessCombo"), {QString(), QStringLiteral("C"), QStringLiteral("R")},
                            kBox, 193, QStringLiteral("Access"));
    AccessCombo->setToolTip(QStringLiteral("C - accessible ony by ZUV; R - User will see this, but it's Read-only; <blank> - user can read/write"));
    connect(AccessCombo, &QComboBox::textActivated, this,
            [this](const QString& text) { Run([this, text] { editor_.AccessComboChange(text); }); });

    PTypeLbl = MakeLabel(client, QStringLiteral("PTypeLbl"), QStringLiteral("Type"), kLeft, 220);
    PTypeCombo = MakeCombo(client, QStringLiteral("PTypeCombo"), {}, kBox, 217, QStringLiteral("Type"));
    connect(PTypeCombo, &QComboBox::textActivated, this, [this](const QString& text) { editor_.controls.PTypeCombo = text; });

    Rulelbl = MakeLabel(client, QStringLiteral("Rulelbl"), QStringLiteral("Rule"), kLeft, 244);
    RuleCombo = MakeCombo(client, QStringLiteral("RuleCombo"), {QString(), QStringLiteral("A"), QStringLiteral("D")},
                          kBox, 241, QStringLiteral("Rule"));
    RuleCombo->setToolTip(QStringLiteral("For multi value Parameters - rule is A(scending) or D(escending) or , blank (no checks)"));
    connect(RuleCombo, &QComboBox::textActivated, this,
            [this](const QString& text) { Run([this, text] { editor_.RuleComboChange(text); }); });

    MakeLabel(client, QStringLiteral("NoteThisGuide"), QStringLiteral("... note this ..."), kLeft, 266, true);
    DataCount = MakeLabel(client, QStringLiteral("DataCount"), QStringLiteral("DataCount"), kLeft, 284);
    DataCount->setFixedWidth(266);

    MakeLabel(client, QStringLiteral("WhenOKGuide"), QStringLiteral("... when all OK ..."), kLeft, 303, true);
    Store = new QPushButton(QStringLiteral("Add to grid"), client);
    Store->setObjectName(QStringLiteral("Store"));
    Store->setGeometry(kLeft, 320, 86, 24);
    Store->setToolTip(QStringLiteral("When you have defined a paramter, add it to the Selector Grid"));
    connect(Store, &QPushButton::clicked, this, [this] { StoreClick(); });
    CheckGrid = new QPushButton(QStringLiteral("Check Grid"), client);
    CheckGrid->setObjectName(QStringLiteral("CheckGrid"));
    CheckGrid->setGeometry(kLeft + 92, 320, 80, 24);
    CheckGrid->setToolTip(QStringLiteral("Check the entries so far"));
    connect(CheckGrid, &QPushButton::clicked, this, [this] { CheckGridClick(); });
    GridOK = MakeLabel(client, QStringLiteral("GridOK"), QStringLiteral("Grid OK"), kLeft + 180, 325);
    GridNOTOK = MakeLabel(client, QStringLiteral("GridNOTOK"), QStringLiteral("Grid NOT OK"), kLeft + 180, 325);
    GridNOTOK->setStyleSheet(QStringLiteral("color: red;"));

    Previewbtn = new QPushButton(QStringLiteral("Preview"), client);
    Previewbtn->setObjectName(QStringLiteral("Previewbtn"));
    Previewbtn->setGeometry(kLeft, 348, 86, 24);
    QFont bold = Previewbtn->font();
    bold.setBold(true);
    bold.setPointSize(10);
    Previewbtn->setFont(bold);
    Previewbtn->setToolTip(QStringLiteral("Se what the current edit looks like"));
    connect(Previewbtn, &QPushButton::clicked, this, [this] { PreviewbtnClick(); });
    CanPreviewlbl = MakeLabel(client, QStringLiteral("CanPreviewlbl"), QStringLiteral("Cannot Preview with meter connnected"),
                              kLeft + 92, 347);
    CanPreviewlbl->setWordWrap(true);
    CanPreviewlbl->setGeometry(kLeft + 92, 346, 172, 28);
    CanPreviewlbl->hide();
}

void TMapMaker::BuildMenus() {
    MapFileMenu = menuBar()->addMenu(QStringLiteral("Map File"));
    MapFileMenu->setObjectName(QStringLiteral("MapFileMenu"));
    MapFileMenu->setToolTipsVisible(true);
    const auto add = [this](const QString& name, const QString& caption, const QString& hint,
                            void (TMapMaker::*handler)()) {
        QAction* a = MapFileMenu->addAction(caption);
        a->setObjectName(name);
        a->setToolTip(hint);
        a->setStatusTip(hint);
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return a;
    };
    ReadMapFile1 = add(QStringLiteral("ReadMapFile1"), QStringLiteral("Open ..."), QStringLiteral("Read a map file"),
                       &TMapMaker::ReadMapFile1Click);
    SaveFile1 = add(QStringLiteral("SaveFile1"), QStringLiteral("Save As ..."), QStringLiteral("Save values to a map file"),
                    &TMapMaker::SaveFile1Click);
    New1 = add(QStringLiteral("New1"), QStringLiteral("New"), QStringLiteral("Clear grid to create a new map"),
               &TMapMaker::New1Click);
    Exit1 = add(QStringLiteral("Exit1"), QStringLiteral("Exit"), QString(), &TMapMaker::Exit1Click);
}

void TMapMaker::FormCreate() {
    if (const auto placement = ReadPlacement(ctx_.formSettingsPath(), QStringLiteral("MapMaker")))
        ApplyPlacement(*this, *placement);
    Version->setText(QStringLiteral("Version: ") + QLatin1String(kVersionText));
    Version->adjustSize();
    Selector->setFixedWidth(470);
    const int widths[MapEditor::kSelectorCols] = {40, 100, 40, 100, 40, 40, 40, 40};
    for (int c = 0; c < MapEditor::kSelectorCols; ++c) Selector->setColumnWidth(c, widths[c]);
    const int layoutWidths[MapEditor::kLayoutCols] = {40, 55, 50, 170, 240, 200};
    for (int c = 0; c < MapEditor::kLayoutCols; ++c) PageLayout->setColumnWidth(c, layoutWidths[c]);
    PTypeCombo->clear();
    PTypeCombo->addItem(QString());
    PTypeCombo->addItems(ctx_.typeNames);
    editor_.PTypeNames = ctx_.typeNames;
    Refresh();
}

// ------------------------------------------------------------ showing the model

void TMapMaker::Run(const std::function<void()>& command) {
    try {
        command();
    } catch (const UserError& e) {
        ctx_.ui.ShowError(e.text());
    }
    Refresh();
}

void TMapMaker::Refresh() {
    const bool wasSyncing = syncing_;
    syncing_ = true;
    const MapEditor::Controls& c = editor_.controls;
    MapFileNow->setText(c.MapFileNow);
    StartRowLbl->setText(c.StartRowLbl);
    EndRowLbl->setText(c.EndRowLbl);
    Clear->setEnabled(c.ClearEnabled);
    Clear->setChecked(c.ClearChecked);
    if (ParamNameInput->text() != c.ParamNameInput) ParamNameInput->setText(c.ParamNameInput);
    ShowText(Format, c.Format);
    if (Multiplier->text() != c.Multiplier) Multiplier->setText(c.Multiplier);
    ShowText(AccessCombo, c.AccessCombo);
    ShowText(PTypeCombo, c.PTypeCombo);
    ShowText(RuleCombo, c.RuleCombo);
    Multiplier->setVisible(c.MultiplierVisible);
    MultiLabel->setVisible(c.MultiplierVisible);
    RuleCombo->setVisible(c.RuleVisible);
    Rulelbl->setVisible(c.RuleVisible);
    PTypeCombo->setVisible(c.TypeVisible);
    PTypeLbl->setVisible(c.TypeVisible);
    DataCount->setText(c.DataCount);
    GridOK->setVisible(c.GridOKVisible);
    GridNOTOK->setVisible(c.GridNOTOKVisible);
    AddHdrBtn->setEnabled(c.HeaderButtonsEnabled);
    DelHdrBtn->setEnabled(c.HeaderButtonsEnabled);
    selectorModel_->Refresh();
    layoutModel_->Refresh();
    const int selRow = editor_.LayoutSelRow;
    if (selRow > 0 && selRow < editor_.LayoutRowCount() &&
        PageLayout->currentIndex().row() != selRow - 1) {
        const int col = std::max(0, PageLayout->currentIndex().column());
        PageLayout->setCurrentIndex(layoutModel_->index(selRow - 1, col));
    }
    syncing_ = wasSyncing;
    ApplyFocusRequest();
    ValuesNotInView();
}

void TMapMaker::ApplyFocusRequest() {
    QWidget* target = nullptr;
    switch (editor_.focusRequest) {
    case MapEditor::Focus::None: break;
    case MapEditor::Focus::Selector: target = Selector; break;
    case MapEditor::Focus::Name: target = ParamNameInput; break;
    case MapEditor::Focus::Format: target = Format; break;
    case MapEditor::Focus::Multiplier: target = Multiplier; break;
    case MapEditor::Focus::Layout: target = PageLayout; break;
    }
    editor_.focusRequest = MapEditor::Focus::None;
    if (target && target->isVisible()) target->setFocus(Qt::OtherFocusReason);
}

// ------------------------------------------------------------ handlers

void TMapMaker::SelectorSelectCell(int ARow) {
    Run([this, ARow] { editor_.SelectorSelectCell(ARow); });
}

int TMapMaker::SelectorTopRow() const {
    const int viewRow = Selector->rowAt(0);
    return viewRow < 0 ? 1 : viewRow + 1;
}

void TMapMaker::ScrollSelectorTo(int topRow) {
    Selector->verticalScrollBar()->setValue(topRow - 1);
}

void TMapMaker::ValuesNotInView() {
    const int visible = Selector->viewport()->height() / kRowHeight;
    const int top = SelectorTopRow();
    UpArrow->setVisible(editor_.NamedRowAbove(top));
    DownArrow->setVisible(editor_.NamedRowBelow(top, visible));
}

void TMapMaker::UpArrowClick() {
    ScrollSelectorTo(editor_.UpArrowTarget(SelectorTopRow()));
    ValuesNotInView();
}

void TMapMaker::DownArrowClick() {
    ScrollSelectorTo(editor_.DownArrowTarget(SelectorTopRow()));
    ValuesNotInView();
}

void TMapMaker::FormatChange(const QString& text) {
    Run([this, text] { editor_.FormatChange(text); });
}

void TMapMaker::MultiplierExit() {
    editor_.controls.Multiplier = Multiplier->text();
    Run([this] { editor_.MultiplierExit(); });
}

void TMapMaker::StoreClick() {
    Run([this] { editor_.StoreClick(); });
}

void TMapMaker::ClearClick(bool checked) {
    Run([this, checked] { editor_.ClearClick(checked); });
}

void TMapMaker::CheckGridClick() {
    Run([this] { editor_.CheckGridClick(); });
}

void TMapMaker::AddHdrBtnClick() {
    Run([this] { editor_.AddHdrBtnClick(); });
}

void TMapMaker::DelHdrBtnClick() {
    Run([this] { editor_.DelHdrBtnClick(); });
}

void TMapMaker::PageLayoutSelectCell(int ARow) {
    editor_.PageLayoutSelectCell(ARow);
}

void TMapMaker::PageLayoutRowMoved(int FromIndex, int ToIndex) {
    Run([this, FromIndex, ToIndex] { editor_.PageLayoutRowMoved(FromIndex, ToIndex); });
}

void TMapMaker::ReadMapFile1Click() {
    Run([this] { editor_.ReadMapFile1Click(); });
    ScrollSelectorTo(1);
    ValuesNotInView();
}

void TMapMaker::SaveFile1Click() {
    Run([this] { editor_.SaveFile1Click(); });
}

void TMapMaker::New1Click() {
    Run([this] { editor_.New1Click(); });
}

void TMapMaker::Exit1Click() { close(); }

void TMapMaker::PreviewbtnClick() {
    Run([this] {
        if (editor_.WritePreviewMap() && ctx_.readTempMapFile) ctx_.readTempMapFile(QLatin1String(kTempMapFileName));
    });
}

void TMapMaker::ShowConnected(bool connected) {
    Previewbtn->setEnabled(!connected);
    CanPreviewlbl->setVisible(connected);
}

bool TMapMaker::FormClose() {
    placementUnsaved_ = false;
    if (!editor_.ConfirmClose()) return false;
    const PlacementAtClose saved = SavePlacementAtClose(*this, ctx_.formSettingsPath(), QStringLiteral("MapMaker"), ctx_.ui);
    placementUnsaved_ = saved == PlacementAtClose::Unsaved;
    return saved != PlacementAtClose::KeepOpen;
}

void TMapMaker::closeEvent(QCloseEvent* event) {
    if (FormClose()) event->accept();
    else event->ignore();
}

// ------------------------------------------------------------ events

void TMapMaker::PlaceResizingControls() {
    const int w = Client->width();
    const int h = Client->height();
    BottomPanel->setGeometry(0, h - kBottomPanelHeight, w, kBottomPanelHeight);
    Version->move(std::max(ZUVLogo->width() + 16, w - Version->width() - 12), 7);
    WebLink->move(std::max(ZUVLogo->width() + 24, (w - WebLink->width()) / 2), 7);
    PageLayout->setGeometry(8, kLayoutTop, std::max(100, w - 16), std::max(40, h - kLayoutTop - kBottomPanelHeight - 4));
}

bool TMapMaker::eventFilter(QObject* watched, QEvent* event) {
    if (destroying_) return false;
    if (watched == Client && event->type() == QEvent::Resize) PlaceResizingControls();

    if (watched == Selector->viewport()) {
        if (event->type() == QEvent::Wheel) {
            // The wheel neither scrolls the Selector nor moves its current row.
            if (static_cast<QWheelEvent*>(event)->angleDelta().y() < 0) SelectorMouseWheelDown();
            else SelectorMouseWheelUp();
            return true;
        }
        if (event->type() == QEvent::MouseButtonDblClick) {
            // A quick second click on a row is a second click, as a slow one is.
            const QModelIndex index = Selector->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            if (index.isValid()) SelectorSelectCell(index.row() + 1);
            return true;
        }
    }

    if (watched == Selector && event->type() == QEvent::KeyPress) {
        // Space, Enter or Return choose the current row as a click would.
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool select = key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (select && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            const QModelIndex current = Selector->currentIndex();
            if (current.isValid()) SelectorSelectCell(current.row() + 1);
            return true;
        }
    }

    if (watched == PageLayout->viewport()) {
        const auto rowAt = [this](QEvent* e) {
            const QPoint pos = static_cast<QMouseEvent*>(e)->position().toPoint();
            const QModelIndex index = PageLayout->indexAt(pos);
            return std::pair<int, int>{index.isValid() ? index.row() + 1 : 0, index.column()};
        };
        if (event->type() == QEvent::MouseButtonPress &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            const auto [row, col] = rowAt(event);
            // The fixed columns are the handle by which a row is dragged.
            layoutDragFrom_ = (row > 0 && col >= 0 && col <= MapEditor::LayParamCol) ? row : 0;
            if (layoutDragFrom_ > 0) PageLayout->viewport()->setCursor(Qt::SizeVerCursor);
        } else if (event->type() == QEvent::MouseButtonRelease && layoutDragFrom_ > 0) {
            const int from = layoutDragFrom_;
            layoutDragFrom_ = 0;
            PageLayout->viewport()->unsetCursor();
            int to = rowAt(event).first;
            if (to == 0) {
                const int y = static_cast<QMouseEvent*>(event)->position().toPoint().y();
                to = y < 0 ? 1 : editor_.LayoutRowCount() - 1;
            }
            if (to != from) {
                editor_.LayoutSelRow = to;
                PageLayoutRowMoved(from, to);
            }
        }
    }

    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Leaving the window or opening a list is no exit from the box.
        const bool exit = reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
        if (exit && watched == Multiplier && Multiplier->isVisible()) MultiplierExit();
        if (exit && watched == Format->lineEdit() && Format->currentText() != editor_.controls.Format)
            FormatChange(Format->currentText());
    }
    if (event->type() == QEvent::KeyPress && watched == Format->lineEdit()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && Format->currentText() != editor_.controls.Format) {
            FormatChange(Format->currentText());
            return true;
        }
    }

    if (watched == WebLink && event->type() == QEvent::MouseButtonPress) {
        ctx_.ui.OpenWithDesktop(QStringLiteral("https://www.zuvmeters.com"));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace vorda
