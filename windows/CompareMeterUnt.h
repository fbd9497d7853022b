#pragma once
// The dialog that shows the meter's values beside a data file's and lets the
// user tick the parameters to write.
#include "base/UserInteraction.h"

#include <QDialog>
#include <QList>
#include <QVector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace vorda {

class TCompareMeter : public QDialog {
    Q_OBJECT
public:
    TCompareMeter(const QList<WriteChoiceRow>& rows, const QVector<bool>& ticked, QWidget* parent = nullptr);

    // The ticks as the user left them, one per row.
    QVector<bool> Ticked() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillTable(const QList<WriteChoiceRow>& rows, const QVector<bool>& ticked);
    void ToggleRow(int row);
    void TicksChanged();

    QTableWidget* CompareGrid = nullptr;
    QLabel* DifferencesLbl = nullptr;
    QLabel* TickedLbl = nullptr;
    QPushButton* WriteTickedbtn = nullptr;
    QPushButton* Closebtn = nullptr;
};

} // namespace vorda
