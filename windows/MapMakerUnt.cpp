#include "MapMakerUnt.h"

#include "shell/ConfigFiles.h"
#include "shell/Startup.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "windows/AccessiblePanel.h"
#include "windows/PaletteColours.h"
#include "windows/WindowPlacement.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <limits>

namespace vorda {

// The Selector grid as a view sees it: register rows only; the title row is
// the view's header.
class SelectorTableModel : public QAbstractTableModel {
public:
    // The colours follow view's palette.
    SelectorTableModel(const MapEditor& editor, const QWidget* view, QObject* parent)
        : QAbstractTableModel(parent), editor_(editor), view_(view) {}
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : MapEditor::kSelectorRows - 1;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : MapEditor::kSelectorCols;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const int row = index.row() + 1;
        if (role == Qt::DisplayRole) return editor_.Cell(index.column(), row);
        const auto background = [&] {
            return index.column() == MapEditor::NameCol && editor_.IsSilver(row) ? RangeEndBackground(view_->palette())
                                                                                 : view_->palette().color(QPalette::Base);
        };
        if (role == Qt::BackgroundRole) return background();
        if (role == Qt::ForegroundRole)
            return ReadableOn(MarkColour(view_->palette(), Mark::Plain, QPalette::Base), background());
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
    const QWidget* view_;
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

// Every Selector cell: its background, then its text 2 pixels in, both in
// the colours the model gives.
class SelectorCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        painter->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QColor>());
        const QColor text = index.data(Qt::ForegroundRole).value<QColor>();
        painter->setPen(text);
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        if (option.state & QStyle::State_HasFocus) {
            painter->setPen(QPen(text, 1, Qt::DotLine));
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }
};

// An editor of the page layout grid hands Tab and Shift+Tab on: the text is
// kept, the editor closes and the focus goes to the next or previous control
// of the window, not to the next cell.
class LeavingOnTabDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
                auto* view = qobject_cast<QWidget*>(parent());
                emit commitData(editor);
                emit closeEditor(editor, NoHint);
                if (view) {
                    QKeyEvent handOn(QEvent::KeyPress, key->key(), key->modifiers());
                    QCoreApplication::sendEvent(view, &handOn);
                }
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }
};

// What the keyboard does in the two grids, for tooltips and screen readers.
const QString kSelectKeysHint = QStringLiteral("Space or Enter to choose the current row");
const QString kMoveKeysHint =
    QStringLiteral("Ctrl+Up or Ctrl+Down moves the current row up or down; type to edit a description");

// A grid row high enough for the grid's font.
int RowHeightFor(const QWidget* w) { return w->fontMetrics().height() + 4; }

// Headers for a grid: the column captions on the palette's base, row
// numbers hidden, rows as high as the font needs plus extra pixels.
void SetUpGridHeaders(QTableView* grid, int extra) {
    QHeaderView* rows = grid->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(RowHeightFor(grid));
    rows->setDefaultSectionSize(RowHeightFor(grid) + extra);
    QHeaderView* columns = grid->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setHighlightSections(false);
    columns->setSectionsClickable(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->setCornerButtonEnabled(false);
    // Tab and Shift+Tab go on to the other controls; the arrows move within.
    grid->setTabKeyNavigation(false);
}

// Column widths for the grid's font: each as wide as the digits it was
// designed for, and never narrower than its heading.
void SetColumnWidths(QTableView* grid, std::initializer_list<int> digits) {
    const QFontMetrics cells = grid->fontMetrics();
    const QFontMetrics heads = grid->horizontalHeader()->fontMetrics();
    int c = 0;
    for (const int n : digits) {
        const QString heading = grid->model()->headerData(c, Qt::Horizontal).toString();
        const int margin = 2 * grid->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, grid) + 6;
        grid->setColumnWidth(c, std::max(cells.horizontalAdvance(QString(n, QLatin1Char('0'))) + 6,
                                         heads.horizontalAdvance(heading) + margin));
        ++c;
    }
}

// A hidden control keeps its room in the layout.
void KeepPlaceWhenHidden(QWidget* w) {
    QSizePolicy p = w->sizePolicy();
    p.setRetainSizeWhenHidden(true);
    w->setSizePolicy(p);
}

// A label; a guide is drawn in the caption colour.
QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, bool guide = false) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    if (guide) SetMark(label, Mark::Caption);
    return label;
}

// A value the maker chooses in the grid, shown like a box but not typed into.
QLabel* MakeBox(QWidget* parent, const QString& name, const QString& accessible) {
    auto* box = new QLabel(parent);
    box->setObjectName(name);
    box->setAutoFillBackground(true);
    box->setBackgroundRole(QPalette::Base);
    box->setForegroundRole(QPalette::Text);
    box->setFrameShape(QFrame::StyledPanel);
    box->setFrameShadow(QFrame::Sunken);
    box->setMargin(1);
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 8);
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    box->setAccessibleName(accessible);
    return box;
}

QComboBox* MakeCombo(QWidget* parent, const QString& name, const QStringList& items, const QString& accessible) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->addItems(items);
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
    Client = new AccessiblePanel(QStringLiteral("Parameter Maps"), this);
    Client->setObjectName(QStringLiteral("Client"));
    setCentralWidget(Client);

    SelectorInstruction = MakeLabel(Client, QStringLiteral("SelectorInstruction"),
                                    QStringLiteral("Selector grid - Click a row to  select a current Parameter, or to select new parameter range start, then a row to select range end"),
                                    true);
    SelectorInstruction->setWordWrap(true);
    SelectorInstruction->setToolTip(kSelectKeysHint);
    QLabel* mapFileCaption = MakeLabel(Client, QStringLiteral("MapFileCaption"), QStringLiteral("Current Map File:"));
    MapFileNow = MakeLabel(Client, QStringLiteral("MapFileNow"), QStringLiteral("(none)"));
    MapFileNow->setToolTip(QStringLiteral("Name of the current Map file"));
    MapFileNow->setAccessibleName(QStringLiteral("Current Map File:"));
    MapFileNow->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    MapFileNow->setFocusPolicy(Qt::TabFocus);
    mapFileCaption->setBuddy(MapFileNow);

    Selector = new QTableView(Client);
    Selector->setObjectName(QStringLiteral("Selector"));
    Selector->setAccessibleName(QStringLiteral("Selector grid"));
    Selector->setAccessibleDescription(kSelectKeysHint);
    Selector->setToolTip(QStringLiteral("Click on a cell to select registers, or press ") + kSelectKeysHint);
    selectorModel_ = new SelectorTableModel(editor_, Selector, this);
    Selector->setModel(selectorModel_);
    Selector->setItemDelegate(new SelectorCellDelegate(Selector));
    Selector->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Selector->setSelectionMode(QAbstractItemView::NoSelection);
    Selector->setShowGrid(true);
    SetUpGridHeaders(Selector, 0);
    Selector->horizontalHeader()->setStretchLastSection(true);
    Selector->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    Selector->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    Selector->viewport()->installEventFilter(this);
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
    UpArrow->setToolTip(QStringLiteral("There are more values further up the grid.  Click to go there"));
    UpArrow->setAccessibleName(QStringLiteral("More parameters above"));
    UpArrow->hide();
    connect(UpArrow, &QToolButton::clicked, this, [this] { UpArrowClick(); });
    DownArrow = new QToolButton(Client);
    DownArrow->setObjectName(QStringLiteral("DownArrow"));
    DownArrow->setArrowType(Qt::DownArrow);
    DownArrow->setToolTip(QStringLiteral("There are more values further down the grid.  Click to go there"));
    DownArrow->setAccessibleName(QStringLiteral("More parameters below"));
    DownArrow->hide();
    connect(DownArrow, &QToolButton::clicked, this, [this] { DownArrowClick(); });
    for (QToolButton* arrow : {UpArrow, DownArrow}) {
        arrow->setFocusPolicy(Qt::StrongFocus);
        KeepPlaceWhenHidden(arrow);
    }

    auto* selectorColumn = new QVBoxLayout;
    selectorColumn->addWidget(SelectorInstruction);
    auto* mapFileRow = new QHBoxLayout;
    mapFileRow->addWidget(mapFileCaption);
    mapFileRow->addWidget(MapFileNow, 1);
    selectorColumn->addLayout(mapFileRow);
    auto* gridRow = new QHBoxLayout;
    gridRow->setSpacing(2);
    gridRow->addWidget(Selector, 1);
    auto* arrows = new QVBoxLayout;
    arrows->addWidget(UpArrow);
    arrows->addStretch(1);
    arrows->addWidget(DownArrow);
    gridRow->addLayout(arrows);
    selectorColumn->addLayout(gridRow, 1);

    auto* top = new QHBoxLayout;
    top->addLayout(selectorColumn, 1);
    top->addLayout(BuildDefinitionControls(Client));

    LayoutInstruction = MakeLabel(Client, QStringLiteral("LayoutInstruction"),
                                  QStringLiteral("Page layout grid - Add item descriptions.  Click and drag rows to set the order on the page.  Add rows to insert headings"),
                                  true);
    LayoutInstruction->setWordWrap(true);
    LayoutInstruction->setToolTip(kMoveKeysHint);
    AddHdrBtn = new QPushButton(QStringLiteral("&Add Header Row"), Client);
    AddHdrBtn->setObjectName(QStringLiteral("AddHdrBtn"));
    connect(AddHdrBtn, &QPushButton::clicked, this, [this] { AddHdrBtnClick(); });
    DelHdrBtn = new QPushButton(QStringLiteral("&Del Header Row"), Client);
    DelHdrBtn->setObjectName(QStringLiteral("DelHdrBtn"));
    connect(DelHdrBtn, &QPushButton::clicked, this, [this] { DelHdrBtnClick(); });
    auto* layoutBar = new QHBoxLayout;
    layoutBar->addWidget(LayoutInstruction, 1);
    layoutBar->addWidget(AddHdrBtn, 0, Qt::AlignBottom);
    layoutBar->addWidget(DelHdrBtn, 0, Qt::AlignBottom);

    PageLayout = new QTableView(Client);
    PageLayout->setObjectName(QStringLiteral("PageLayout"));
    PageLayout->setAccessibleName(QStringLiteral("Page layout grid"));
    PageLayout->setAccessibleDescription(kMoveKeysHint);
    PageLayout->setToolTip(kMoveKeysHint);
    layoutModel_ = new LayoutTableModel(editor_, [this] { Refresh(); }, this);
    PageLayout->setModel(layoutModel_);
    PageLayout->setItemDelegate(new LeavingOnTabDelegate(PageLayout));
    PageLayout->setSelectionMode(QAbstractItemView::SingleSelection);
    PageLayout->setSelectionBehavior(QAbstractItemView::SelectItems);
    PageLayout->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    SetUpGridHeaders(PageLayout, 2);
    PageLayout->viewport()->installEventFilter(this);
    PageLayout->installEventFilter(this);
    connect(PageLayout->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!syncing_ && current.isValid()) PageLayoutSelectCell(current.row() + 1);
            });

    BottomPanel = new AccessiblePanel(QStringLiteral("About"), Client);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    ZUVLogo = MakeLabel(BottomPanel, QStringLiteral("ZUVLogo"), QStringLiteral("ZUV"));
    QFont logo = ZUVLogo->font();
    logo.setBold(true);
    ZUVLogo->setFont(logo);
    SetMark(ZUVLogo, Mark::Caption);
    WebLink = MakeLabel(BottomPanel, QStringLiteral("WebLink"),
                        QStringLiteral("<a href=\"https://www.zuvmeters.com\">www.zuvmeters.com</a>"));
    WebLink->setToolTip(QStringLiteral("Link to ZUV website"));
    WebLink->setAccessibleName(QStringLiteral("www.zuvmeters.com"));
    WebLink->setCursor(Qt::PointingHandCursor);
    WebLink->setTextInteractionFlags(Qt::LinksAccessibleByKeyboard);
    WebLink->setFocusPolicy(Qt::TabFocus);
    WebLink->installEventFilter(this);
    connect(WebLink, &QLabel::linkActivated, this,
            [this](const QString& link) { ctx_.ui.OpenWithDesktop(link); });
    Version = MakeLabel(BottomPanel, QStringLiteral("Version"), QStringLiteral("Version:"));
    auto* bottom = new QHBoxLayout(BottomPanel);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(ZUVLogo);
    bottom->addStretch(1);
    bottom->addWidget(WebLink);
    bottom->addStretch(1);
    bottom->addWidget(Version);

    auto* client = new QVBoxLayout(Client);
    client->setContentsMargins(8, 4, 8, 4);
    // The two grids share the height; the Selector, with 256 rows, takes more.
    client->addLayout(top, 2);
    client->addLayout(layoutBar);
    client->addWidget(PageLayout, 1);
    client->addWidget(BottomPanel);

    BuildMenus();
    setMinimumSize(QSize(515, 560).boundedTo(OpeningSize(*this, QSize(515, 560))));
    // On a screen smaller than the controls need (a large scale factor) the
    // window scrolls instead of reaching beyond the screen.
    const QSize room = OpeningSize(*this, QSize(1, 1) * std::numeric_limits<short>::max());
    const QSize needed = Client->minimumSizeHint() + QSize(0, menuBar()->sizeHint().height());
    if (needed.width() > room.width() || needed.height() > room.height()) {
        auto* scroll = new QScrollArea(this);
        scroll->setObjectName(QStringLiteral("ClientScroll"));
        scroll->setAccessibleName(windowTitle());
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setFocusPolicy(Qt::NoFocus);
        scroll->setWidgetResizable(true);
        takeCentralWidget();
        scroll->setWidget(Client);
        setCentralWidget(scroll);
    }
}

QLayout* TMapMaker::BuildDefinitionControls(QWidget* client) {
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(4);
    int row = 0;
    const auto wide = [grid, &row](QWidget* w) { grid->addWidget(w, row++, 0, 1, 2); };
    const auto pair = [grid, &row](QLabel* caption, QWidget* box) {
        grid->addWidget(caption, row, 0);
        grid->addWidget(box, row++, 1);
        caption->setBuddy(box);
    };

    auto* guide = MakeLabel(client, QStringLiteral("SetValuesGuide"),
                            QStringLiteral("Set these values by clicking in the selector grid ..."), true);
    guide->setWordWrap(true);
    guide->setToolTip(QStringLiteral("If you click on a current parameter its values will be loaded"));
    wide(guide);

    const QString clickHint = QStringLiteral("Click in the grid to select");
    QLabel* startCaption = MakeLabel(client, QStringLiteral("StartRegCaption"), QStringLiteral("Start Register"));
    startCaption->setToolTip(clickHint);
    StartRowLbl = MakeBox(client, QStringLiteral("StartRowLbl"), QStringLiteral("Start Register"));
    StartRowLbl->setToolTip(clickHint);
    pair(startCaption, StartRowLbl);
    QLabel* endCaption = MakeLabel(client, QStringLiteral("EndRegCaption"), QStringLiteral("End Register"));
    endCaption->setToolTip(clickHint);
    EndRowLbl = MakeBox(client, QStringLiteral("EndRowLbl"), QStringLiteral("End Register"));
    EndRowLbl->setToolTip(clickHint);
    pair(endCaption, EndRowLbl);

    Clear = new QCheckBox(client);
    Clear->setObjectName(QStringLiteral("Clear"));
    Clear->setToolTip(QStringLiteral("Delete a selected Parameter"));
    Clear->setAccessibleName(QStringLiteral("Clear selected range"));
    connect(Clear, &QCheckBox::toggled, this, [this](bool checked) {
        if (!syncing_) ClearClick(checked);
    });
    QLabel* clearCaption = MakeLabel(client, QStringLiteral("ClearCaption"), QStringLiteral("Clear selected range"));
    clearCaption->setToolTip(QStringLiteral("Will clear the Selector grid from Start Row to End Row"));
    clearCaption->setBuddy(Clear);
    auto* clearRow = new QHBoxLayout;
    clearRow->addWidget(Clear);
    clearRow->addWidget(clearCaption, 1);
    grid->addLayout(clearRow, row++, 0, 1, 2);

    wide(MakeLabel(client, QStringLiteral("AddTheseGuide"), QStringLiteral("... then add these ..."), true));

    QLabel* nameCaption = MakeLabel(client, QStringLiteral("ParamNameCaption"), QStringLiteral("Parameter Name"));
    nameCaption->setToolTip(QStringLiteral("(Units), e.g. scfm, is optional"));
    ParamNameInput = new QLineEdit(client);
    ParamNameInput->setObjectName(QStringLiteral("ParamNameInput"));
    ParamNameInput->setToolTip(QStringLiteral("Select a name - any string - add the units in brackets if required"));
    ParamNameInput->setAccessibleName(QStringLiteral("Parameter Name"));
    connect(ParamNameInput, &QLineEdit::textEdited, this,
            [this](const QString& text) { editor_.controls.ParamNameInput = text; });
    pair(nameCaption, ParamNameInput);

    Format = MakeCombo(client, QStringLiteral("Format"), FormatNames(), QStringLiteral("Format"));
    Format->setEditable(true);
    Format->setInsertPolicy(QComboBox::NoInsert);
    Format->setToolTip(QStringLiteral("Format for your display of the parameter"));
    // The box's own text is its value; its name is what it is for.
    Format->lineEdit()->setAccessibleName(QStringLiteral("Format"));
    // A pick from the list counts at once; a typed format when it is finished,
    // not at every keystroke.
    connect(Format, &QComboBox::textActivated, this, [this](const QString& text) {
        if (!syncing_) FormatChange(text);
    });
    Format->lineEdit()->installEventFilter(this);
    pair(MakeLabel(client, QStringLiteral("FormatCaption"), QStringLiteral("Format")), Format);

    MultiLabel = MakeLabel(client, QStringLiteral("MultiLabel"), QStringLiteral("Multiplier"));
    Multiplier = new QLineEdit(client);
    Multiplier->setObjectName(QStringLiteral("Multiplier"));
    Multiplier->setToolTip(QStringLiteral("Stored value (must be integer) x Multiplier  =  Displayed value"));
    Multiplier->setAccessibleName(QStringLiteral("Multiplier"));
    Multiplier->installEventFilter(this);
    connect(Multiplier, &QLineEdit::textEdited, this, [this](const QString& text) { editor_.controls.Multiplier = text; });
    pair(MultiLabel, Multiplier);

    AccessCombo = MakeCombo(client, QStringLiteral("AccessCombo"), {QString(), QStringLiteral("C"), QStringLiteral("R")},
                            QStringLiteral("Access"));
    AccessCombo->setToolTip(QStringLiteral("C - accessible ony by ZUV; R - User will see this, but it's Read-only; <blank> - user can read/write"));
    connect(AccessCombo, &QComboBox::textActivated, this,
            [this](const QString& text) { Run([this, text] { editor_.AccessComboChange(text); }); });
    pair(MakeLabel(client, QStringLiteral("AccessCaption"), QStringLiteral("Access")), AccessCombo);

    PTypeLbl = MakeLabel(client, QStringLiteral("PTypeLbl"), QStringLiteral("Type"));
    PTypeCombo = MakeCombo(client, QStringLiteral("PTypeCombo"), {}, QStringLiteral("Type"));
    connect(PTypeCombo, &QComboBox::textActivated, this, [this](const QString& text) { editor_.controls.PTypeCombo = text; });
    pair(PTypeLbl, PTypeCombo);

    Rulelbl = MakeLabel(client, QStringLiteral("Rulelbl"), QStringLiteral("Rule"));
    RuleCombo = MakeCombo(client, QStringLiteral("RuleCombo"), {QString(), QStringLiteral("A"), QStringLiteral("D")},
                          QStringLiteral("Rule"));
    RuleCombo->setToolTip(QStringLiteral("For multi value Parameters - rule is A(scending) or D(escending) or , blank (no checks)"));
    connect(RuleCombo, &QComboBox::textActivated, this,
            [this](const QString& text) { Run([this, text] { editor_.RuleComboChange(text); }); });
    pair(Rulelbl, RuleCombo);
    // Boxes shown only for some formats keep their rows, so that the others
    // stay where the maker found them.
    for (QWidget* w : std::initializer_list<QWidget*>{MultiLabel, Multiplier, PTypeLbl, PTypeCombo, Rulelbl, RuleCombo})
        KeepPlaceWhenHidden(w);

    wide(MakeLabel(client, QStringLiteral("NoteThisGuide"), QStringLiteral("... note this ..."), true));
    DataCount = MakeLabel(client, QStringLiteral("DataCount"), QStringLiteral("DataCount"));
    DataCount->setWordWrap(true);
    wide(DataCount);

    wide(MakeLabel(client, QStringLiteral("WhenOKGuide"), QStringLiteral("... when all OK ..."), true));
    Store = new QPushButton(QStringLiteral("Add to grid"), client);
    Store->setObjectName(QStringLiteral("Store"));
    Store->setToolTip(QStringLiteral("When you have defined a paramter, add it to the Selector Grid"));
    connect(Store, &QPushButton::clicked, this, [this] { StoreClick(); });
    CheckGrid = new QPushButton(QStringLiteral("Check Grid"), client);
    CheckGrid->setObjectName(QStringLiteral("CheckGrid"));
    CheckGrid->setToolTip(QStringLiteral("Check the entries so far"));
    connect(CheckGrid, &QPushButton::clicked, this, [this] { CheckGridClick(); });
    GridOK = MakeLabel(client, QStringLiteral("GridOK"), QStringLiteral("Grid OK"));
    GridNOTOK = MakeLabel(client, QStringLiteral("GridNOTOK"), QStringLiteral("Grid NOT OK"));
    SetMark(GridNOTOK, Mark::Refused);
    auto* storeRow = new QHBoxLayout;
    storeRow->addWidget(Store);
    storeRow->addWidget(CheckGrid);
    storeRow->addWidget(GridOK);
    storeRow->addWidget(GridNOTOK);
    storeRow->addStretch(1);
    grid->addLayout(storeRow, row++, 0, 1, 2);

    Previewbtn = new QPushButton(QStringLiteral("&Preview"), client);
    Previewbtn->setObjectName(QStringLiteral("Previewbtn"));
    QFont bold = Previewbtn->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    Previewbtn->setFont(bold);
    Previewbtn->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Previewbtn->setToolTip(QStringLiteral("Se what the current edit looks like"));
    connect(Previewbtn, &QPushButton::clicked, this, [this] { PreviewbtnClick(); });
    CanPreviewlbl = MakeLabel(client, QStringLiteral("CanPreviewlbl"), QStringLiteral("Cannot Preview with meter connnected"));
    CanPreviewlbl->setWordWrap(true);
    CanPreviewlbl->hide();
    auto* previewRow = new QHBoxLayout;
    previewRow->addWidget(Previewbtn);
    previewRow->addWidget(CanPreviewlbl, 1);
    previewRow->addStretch(1);
    grid->addLayout(previewRow, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);

    // The column is as wide as its longest guide needs at this font, word
    // wrapped, not as wide as the guide on one line.
    const int width = fontMetrics().horizontalAdvance(QStringLiteral("Set these values by clicking in the"));
    for (QLabel* l : client->findChildren<QLabel*>())
        if (l->wordWrap() && grid->indexOf(l) >= 0) l->setMinimumWidth(width);
    return grid;
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
    Version->setText(QStringLiteral("Version: ") + QLatin1String(kVersionText));
    SetColumnWidths(Selector, {3, 16, 6, 8, 6, 5, 4, 8});
    SetColumnWidths(PageLayout, {5, 5, 5, 28, 40, 34});
    // Opened without a saved placement: as wide as the Selector's columns and
    // the boxes beside it need, as high as the screen allows, so that the
    // grids show as many rows as they can.
    const int columns = Selector->horizontalHeader()->length() + 2 * Selector->frameWidth() +
                        Selector->verticalScrollBar()->sizeHint().width();
    Selector->setMinimumWidth(std::min(columns, fontMetrics().averageCharWidth() * 40));
    const QSize content = sizeHint();
    const QSize wanted(std::max(content.width(), columns + content.width() - Selector->sizeHint().width()),
                       std::numeric_limits<int>::max() / 2);
    resize(OpeningSize(*this, wanted.expandedTo(minimumSize())));
    move(OpeningPosition(*this, QPoint(51, 113)));
    if (const auto placement = ReadPlacement(ctx_.formSettingsPath(), QStringLiteral("MapMaker")))
        ApplyPlacement(*this, *placement);
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
    const int visible = Selector->viewport()->height() / std::max(1, Selector->verticalHeader()->defaultSectionSize());
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

bool TMapMaker::eventFilter(QObject* watched, QEvent* event) {
    if (destroying_) return false;

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

    if (watched == PageLayout && event->type() == QEvent::KeyPress) {
        // Ctrl+Up and Ctrl+Down move the current row as a drag would.
        const auto* key = static_cast<QKeyEvent*>(event);
        const int step = key->key() == Qt::Key_Up ? -1 : key->key() == Qt::Key_Down ? 1 : 0;
        if (step != 0 && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            const int from = PageLayout->currentIndex().row() + 1;
            const int to = from + step;
            if (from > 0 && to >= 1 && to < editor_.LayoutRowCount()) {
                editor_.LayoutSelRow = to;
                PageLayoutRowMoved(from, to);
            }
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
