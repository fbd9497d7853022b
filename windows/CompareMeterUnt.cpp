#include "CompareMeterUnt.h"

#include "windows/PaletteColours.h"
#include "windows/WindowPlacement.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vorda {

namespace {
enum Column { kTick, kParameter, kMeter, kFile, kUnit, kDiffers, kColumns };

QString CountText(int n, const QString& one, const QString& many) {
    return n == 1 ? one : QString::number(n) + many;
}
} // namespace

TCompareMeter::TCompareMeter(const QList<WriteChoiceRow>& rows, const QVector<bool>& ticked, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CompareMeter"));
    setWindowTitle(QStringLiteral("ZUV Meter Settings - Compare Meter With Data File"));
    auto* layout = new QVBoxLayout(this);

    auto* caption = new QLabel(QStringLiteral("&Parameters (Space ticks or unticks the current row):"), this);
    caption->setObjectName(QStringLiteral("CompareGridCaption"));
    CompareGrid = new QTableWidget(this);
    CompareGrid->setObjectName(QStringLiteral("CompareGrid"));
    CompareGrid->setAccessibleName(QStringLiteral("Parameters"));
    CompareGrid->setAccessibleDescription(QStringLiteral("Meter and file values; Space ticks or unticks the current row"));
    caption->setBuddy(CompareGrid);
    CompareGrid->setColumnCount(kColumns);
    CompareGrid->setHorizontalHeaderLabels(
        {QStringLiteral("Write"), QStringLiteral("Parameter"), QStringLiteral("Meter Value"), QStringLiteral("File Value"),
         QStringLiteral("Units"), QStringLiteral("Differs")});
    CompareGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    CompareGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    CompareGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CompareGrid->setTabKeyNavigation(false);
    CompareGrid->verticalHeader()->hide();
    CompareGrid->installEventFilter(this);

    DifferencesLbl = new QLabel(this);
    DifferencesLbl->setObjectName(QStringLiteral("DifferencesLbl"));
    TickedLbl = new QLabel(this);
    TickedLbl->setObjectName(QStringLiteral("TickedLbl"));
    WriteTickedbtn = new QPushButton(QStringLiteral("&Write Ticked"), this);
    WriteTickedbtn->setObjectName(QStringLiteral("WriteTickedbtn"));
    WriteTickedbtn->setAccessibleName(QStringLiteral("Write Ticked"));
    WriteTickedbtn->setToolTip(QStringLiteral("Write the file's values of the ticked parameters to the meter"));
    Closebtn = new QPushButton(QStringLiteral("&Close"), this);
    Closebtn->setObjectName(QStringLiteral("Closebtn"));
    Closebtn->setAccessibleName(QStringLiteral("Close"));
    // Enter in the grid writes nothing: writing takes the button itself.
    WriteTickedbtn->setAutoDefault(false);
    Closebtn->setAutoDefault(false);
    connect(WriteTickedbtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(Closebtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(TickedLbl);
    buttons->addStretch(1);
    buttons->addWidget(WriteTickedbtn);
    buttons->addWidget(Closebtn);
    layout->addWidget(caption);
    layout->addWidget(CompareGrid, 1);
    layout->addWidget(DifferencesLbl);
    layout->addLayout(buttons);

    FillTable(rows, ticked);
    int differences = 0;
    for (const WriteChoiceRow& r : rows) differences += r.differs ? 1 : 0;
    DifferencesLbl->setText(differences == 0 ? QStringLiteral("The meter holds the file's values")
                                             : CountText(differences, QStringLiteral("1 parameter differs"),
                                                         QStringLiteral(" parameters differ")));
    DifferencesLbl->setAccessibleName(DifferencesLbl->text());
    connect(CompareGrid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == kTick) TicksChanged();
    });
    TicksChanged();
    // As wide as the columns need and as high as the rows, within the screen.
    const int line = fontMetrics().height();
    const QSize columns(CompareGrid->horizontalHeader()->length() + 2 * CompareGrid->frameWidth() + 2 * line,
                        CompareGrid->verticalHeader()->length() + CompareGrid->horizontalHeader()->height() + 10 * line);
    resize(OpeningSize(*this, columns.expandedTo(QSize(60 * fontMetrics().averageCharWidth(), 20 * line))));
    CompareGrid->setFocus();
    if (CompareGrid->rowCount() > 0) CompareGrid->setCurrentCell(0, kParameter);
}

void TCompareMeter::FillTable(const QList<WriteChoiceRow>& rows, const QVector<bool>& ticked) {
    CompareGrid->setRowCount(int(rows.size()));
    // A differing row is shaded toward orange and set in bold, so that it
    // stands out without its colour too.
    const QColor marked = TintedBackground(CompareGrid->palette(), QColor(255, 170, 60), 0.3);
    for (int r = 0; r < rows.size(); ++r) {
        const WriteChoiceRow& row = rows.at(r);
        auto* tick = new QTableWidgetItem;
        if (row.tickable) {
            tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            tick->setCheckState(ticked.value(r) ? Qt::Checked : Qt::Unchecked);
        } else {
            tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            tick->setText(QStringLiteral("-"));
            tick->setTextAlignment(Qt::AlignCenter);
            tick->setToolTip(QStringLiteral("This parameter cannot be written from here"));
            tick->setData(Qt::AccessibleTextRole, QStringLiteral("cannot be written"));
        }
        const QString texts[] = {row.parameter, row.meterText, row.fileText, row.unit,
                                 row.differs ? QStringLiteral("Yes") : QString()};
        CompareGrid->setItem(r, kTick, tick);
        for (int c = kParameter; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(texts[c - kParameter]);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            CompareGrid->setItem(r, c, item);
        }
        if (!row.differs) continue;
        for (int c = 0; c < kColumns; ++c) {
            QTableWidgetItem* item = CompareGrid->item(r, c);
            item->setBackground(marked);
            QFont f = item->font();
            f.setBold(true);
            item->setFont(f);
        }
    }
    CompareGrid->resizeColumnsToContents();
    // The parameter names take the room left; the values keep their width.
    CompareGrid->horizontalHeader()->setSectionResizeMode(kParameter, QHeaderView::Stretch);
}

QVector<bool> TCompareMeter::Ticked() const {
    QVector<bool> out(CompareGrid->rowCount(), false);
    for (int r = 0; r < CompareGrid->rowCount(); ++r) {
        const QTableWidgetItem* tick = CompareGrid->item(r, kTick);
        out[r] = (tick->flags() & Qt::ItemIsUserCheckable) && tick->checkState() == Qt::Checked;
    }
    return out;
}

void TCompareMeter::ToggleRow(int row) {
    QTableWidgetItem* tick = CompareGrid->item(row, kTick);
    if (!tick || !(tick->flags() & Qt::ItemIsUserCheckable)) return;
    tick->setCheckState(tick->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void TCompareMeter::TicksChanged() {
    const int n = int(Ticked().count(true));
    TickedLbl->setText(n == 0 ? QStringLiteral("Nothing ticked")
                              : CountText(n, QStringLiteral("1 parameter ticked"), QStringLiteral(" parameters ticked")));
    WriteTickedbtn->setEnabled(n > 0);
}

bool TCompareMeter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == CompareGrid && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            ToggleRow(CompareGrid->currentRow());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vorda
