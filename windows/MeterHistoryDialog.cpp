#include "windows/MeterHistoryDialog.h"

#include "history/HistoryStore.h"
#include "windows/AccessiblePanel.h"
#include "windows/WindowPlacement.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vorda {

namespace {
enum RecordColumn { kTime, kKind, kOutcome, kPort, kUser, kHost, kReason, kRecordColumns };

QTableWidget* MakeGrid(QWidget* parent, const QString& name, const QString& accessible, const QStringList& headers) {
    auto* grid = new QTableWidget(parent);
    grid->setObjectName(name);
    grid->setAccessibleName(accessible);
    grid->setColumnCount(int(headers.size()));
    grid->setHorizontalHeaderLabels(headers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setTabKeyNavigation(false);
    grid->setWordWrap(false);
    grid->verticalHeader()->hide();
    // Columns fit their texts; the last takes the room left.
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

void SetRow(QTableWidget* grid, int row, const QStringList& texts) {
    for (int c = 0; c < texts.size(); ++c) {
        auto* item = new QTableWidgetItem(texts.at(c));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        grid->setItem(row, c, item);
    }
}

QString Count(qsizetype n, const QString& one, const QString& many) {
    return n == 1 ? one : QString::number(n) + many;
}
} // namespace

TMeterHistory::TMeterHistory(HistoryStore& store, const QString& meter, Diff diff, QWidget* parent)
    : QDialog(parent), store_(store), diff_(std::move(diff)) {
    setObjectName(QStringLiteral("MeterHistoryDlg"));
    setWindowTitle(QStringLiteral("ZUV Meter Settings - Meter History"));
    const int em = fontMetrics().averageCharWidth();
    resize(OpeningSize(*this, QSize(em * 110, fontMetrics().height() * 34)));
    auto* layout = new QVBoxLayout(this);

    auto* meterRow = new QHBoxLayout;
    auto* meterCaption = new QLabel(QStringLiteral("&Meter:"), this);
    meterCaption->setObjectName(QStringLiteral("MeterCaption"));
    MeterCombo = new QComboBox(this);
    MeterCombo->setObjectName(QStringLiteral("MeterCombo"));
    MeterCombo->setAccessibleName(QStringLiteral("Meter"));
    MeterCombo->setAccessibleDescription(
        QStringLiteral("The meter whose records are listed: map number and serial number, as 5:123456; "
                       "pick one or type one and press Enter"));
    MeterCombo->setToolTip(MeterCombo->accessibleDescription());
    MeterCombo->setEditable(true);
    MeterCombo->setInsertPolicy(QComboBox::NoInsert);
    MeterCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    MeterCombo->setMinimumContentsLength(36);
    MeterCombo->lineEdit()->setAccessibleName(QStringLiteral("Meter"));
    meterCaption->setBuddy(MeterCombo);
    meterRow->addWidget(meterCaption);
    meterRow->addWidget(MeterCombo, 1);
    layout->addLayout(meterRow);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("HistorySplitter"));
    split->setChildrenCollapsible(false);
    auto* top = new AccessiblePanel(QStringLiteral("Records"), split);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    RecordsLbl = new QLabel(top);
    RecordsLbl->setObjectName(QStringLiteral("RecordsLbl"));
    RecordsGrid = MakeGrid(top, QStringLiteral("RecordsGrid"), QStringLiteral("Records"),
                           {QStringLiteral("Time"), QStringLiteral("Kind"), QStringLiteral("Outcome"),
                            QStringLiteral("Port"), QStringLiteral("User"), QStringLiteral("Host"),
                            QStringLiteral("Reason")});
    RecordsGrid->setAccessibleDescription(
        QStringLiteral("Newest first; pick two records (Ctrl+Space or Ctrl+click) to see their differences"));
    RecordsGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    RecordsLbl->setBuddy(RecordsGrid);
    topLayout->addWidget(RecordsLbl);
    topLayout->addWidget(RecordsGrid, 1);
    auto* bottom = new AccessiblePanel(QStringLiteral("Differences"), split);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    DiffLbl = new QLabel(bottom);
    DiffLbl->setObjectName(QStringLiteral("DiffLbl"));
    DiffLbl->setWordWrap(true);
    DiffGrid = MakeGrid(bottom, QStringLiteral("DiffGrid"), QStringLiteral("Differences"),
                        {QStringLiteral("Parameter"), QStringLiteral("Units"), QStringLiteral("Older"),
                         QStringLiteral("Newer")});
    DiffGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    // The two values share the room left.
    DiffGrid->horizontalHeader()->setStretchLastSection(false);
    DiffGrid->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    DiffGrid->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
    DiffLbl->setBuddy(DiffGrid);
    bottomLayout->addWidget(DiffLbl);
    bottomLayout->addWidget(DiffGrid, 1);
    split->addWidget(top);
    split->addWidget(bottom);
    layout->addWidget(split, 1);

    Restorebtn = new QPushButton(QStringLiteral("R&estore..."), this);
    Restorebtn->setObjectName(QStringLiteral("Restorebtn"));
    Restorebtn->setAccessibleName(QStringLiteral("Restore"));
    Restorebtn->setToolTip(QStringLiteral("Compare the connected meter with the picked record and write the ticked "
                                          "differences back"));
    Closebtn = new QPushButton(QStringLiteral("&Close"), this);
    Closebtn->setObjectName(QStringLiteral("Closebtn"));
    Closebtn->setAccessibleName(QStringLiteral("Close"));
    // Enter in the meter box lists its records; it presses no button.
    Restorebtn->setAutoDefault(false);
    Closebtn->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Restorebtn);
    buttons->addStretch(1);
    buttons->addWidget(Closebtn);
    layout->addLayout(buttons);

    connect(Closebtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(Restorebtn, &QPushButton::clicked, this, [this] {
        const QList<qint64> picked = Picked();
        if (picked.size() != 1) return;
        restore_ = picked.first();
        accept();
    });
    connect(MeterCombo, &QComboBox::activated, this, [this](int index) { ShowMeter(MeterCombo->itemText(index)); });
    connect(MeterCombo->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { ShowMeter(MeterCombo->currentText().trimmed()); });
    connect(RecordsGrid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { PickedChanged(); });

    FillMeters();
    ShowMeter(meter.isEmpty() && MeterCombo->count() > 0 ? MeterCombo->itemText(0) : meter);
    RecordsGrid->setFocus();
}

void TMeterHistory::FillMeters() {
    QString error;
    const auto meters = store_.Meters(&error);
    if (!meters) return;
    for (const HistoryMeter& m : *meters) {
        MeterCombo->addItem(m.meter);
        MeterCombo->setItemData(MeterCombo->count() - 1,
                                Count(m.records, QStringLiteral("1 record"), QStringLiteral(" records")),
                                Qt::ToolTipRole);
    }
}

void TMeterHistory::ShowMeter(const QString& meter) {
    MeterCombo->setCurrentText(meter);
    RecordsGrid->clearSelection();
    RecordsGrid->setRowCount(0);
    rows_.clear();
    QString error;
    const auto records = meter.isEmpty() ? std::optional<QList<HistoryRecord>>(QList<HistoryRecord>())
                                         : store_.List(meter, 0, &error);
    if (!records) {
        RecordsLbl->setText(QStringLiteral("&Records: the history cannot be read: ") + error);
    } else {
        rows_ = HistoryListRows(*records);
        RecordsGrid->setRowCount(int(rows_.size()));
        for (int r = 0; r < rows_.size(); ++r) {
            const HistoryListRow& row = rows_.at(r);
            SetRow(RecordsGrid, r, {row.time, row.kind, row.outcome, row.port, row.user, row.host, row.reason});
        }
        RecordsLbl->setText(meter.isEmpty() ? QStringLiteral("&Records: the history holds no meter yet")
                            : rows_.isEmpty()
                                ? QStringLiteral("&Records: none of meter ") + meter
                                : QStringLiteral("&Records of meter %1, newest first (%2):")
                                      .arg(meter, Count(rows_.size(), QStringLiteral("1"), QString())));
    }
    RecordsLbl->setAccessibleName(RecordsLbl->text().remove(QLatin1Char('&')));
    if (!rows_.isEmpty()) RecordsGrid->setCurrentCell(0, kTime, QItemSelectionModel::NoUpdate);
    PickedChanged();
}

QList<qint64> TMeterHistory::Picked() const {
    QList<qint64> ids;
    for (const QModelIndex& index : RecordsGrid->selectionModel()->selectedRows())
        if (index.row() < rows_.size()) ids << rows_.at(index.row()).id;
    return ids;
}

void TMeterHistory::PickedChanged() {
    const QList<qint64> picked = Picked();
    Restorebtn->setEnabled(picked.size() == 1);
    if (picked.size() == 2) {
        ShowDiff(picked.at(0), picked.at(1));
        return;
    }
    ClearDiff(picked.size() < 2 ? QStringLiteral("&Differences: pick two records to see them")
                                : QStringLiteral("&Differences: pick only two records to see them"));
}

void TMeterHistory::ClearDiff(const QString& text) {
    DiffGrid->setRowCount(0);
    DiffGrid->setHorizontalHeaderLabels(
        {QStringLiteral("Parameter"), QStringLiteral("Units"), QStringLiteral("Older"), QStringLiteral("Newer")});
    DiffLbl->setText(text);
    DiffLbl->setAccessibleName(text.mid(0).remove(QLatin1Char('&')));
}

void TMeterHistory::ShowDiff(qint64 a, qint64 b) {
    QString error;
    const auto first = store_.Get(a, &error);
    const auto second = first ? store_.Get(b, &error) : std::nullopt;
    if (!first || !second) {
        ClearDiff(QStringLiteral("&Differences: the records cannot be read: ") + error);
        return;
    }
    const HistoryDiff diff = diff_(*first, *second);
    ClearDiff(QString());
    DiffGrid->setHorizontalHeaderLabels({QStringLiteral("Parameter"), QStringLiteral("Units"),
                                         QStringLiteral("Older (%1)").arg(diff.olderTime),
                                         QStringLiteral("Newer (%1)").arg(diff.newerTime)});
    DiffGrid->setRowCount(int(diff.rows.size()));
    for (int r = 0; r < diff.rows.size(); ++r) {
        const HistoryDiffRow& row = diff.rows.at(r);
        SetRow(DiffGrid, r, {row.parameter, row.unit, row.older, row.newer});
    }
    QString text = diff.rows.isEmpty() ? QStringLiteral("&Differences: none, the records hold the same values")
                                       : QStringLiteral("&Differences: ") +
                                             Count(diff.rows.size(), QStringLiteral("1 parameter differs"),
                                                   QStringLiteral(" parameters differ"));
    if (!diff.note.isEmpty()) text += QStringLiteral(" (") + diff.note + QLatin1Char(')');
    DiffLbl->setText(text);
    DiffLbl->setAccessibleName(text.mid(0).remove(QLatin1Char('&')));
}

} // namespace vorda
