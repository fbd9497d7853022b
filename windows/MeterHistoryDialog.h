#pragma once
// The meter history dialog: the records of one meter, newest first, the
// differences of two picked records, and the choice of a record to restore.
#include "history/HistoryReview.h"

#include <QDialog>
#include <QList>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace vorda {
class HistoryStore;

class TMeterHistory : public QDialog {
    Q_OBJECT
public:
    using Diff = std::function<HistoryDiff(const HistoryRecord&, const HistoryRecord&)>;
    // Lists the records of meter (of the meter with the newest record when
    // it is empty); diff shows two records' differences.
    TMeterHistory(HistoryStore& store, const QString& meter, Diff diff, QWidget* parent = nullptr);

    // Lists the records of another meter.
    void ShowMeter(const QString& meter);
    // The record "Restore..." was pressed on; 0 when the dialog was closed.
    qint64 RestoreChosen() const { return restore_; }

private:
    void FillMeters();
    void PickedChanged();
    QList<qint64> Picked() const;
    void ShowDiff(qint64 a, qint64 b);
    void ClearDiff(const QString& text);

    HistoryStore& store_;
    Diff diff_;
    QList<HistoryListRow> rows_;
    qint64 restore_ = 0;

    QComboBox* MeterCombo = nullptr;
    QLabel* RecordsLbl = nullptr;
    QTableWidget* RecordsGrid = nullptr;
    QLabel* DiffLbl = nullptr;
    QTableWidget* DiffGrid = nullptr;
    QPushButton* Restorebtn = nullptr;
    QPushButton* Closebtn = nullptr;
};

} // namespace vorda
