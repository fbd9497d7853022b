#pragma once
#include "units/DisplayData.h"

#include <QComboBox>
#include <QLabel>
#include <QWidget>
#include <functional>

class QPushButton;
class QScrollArea;

namespace vorda {
class ProgramEnd;

// The display units dialog: one editable unit box per parameter type.
class TDisplayUnitsFrm : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void()> SetDataRanges;   // after every change of a unit
        std::function<bool()> MeterConnected;  // read when the dialog closes
        std::function<void()> ReadEEClick;     // the meter is read again then
    };

    TDisplayUnitsFrm(DisplayUnitTables& tables, QList<UnitRow> savedUnits, Hooks hooks, QWidget* parent = nullptr);

    // Reads the display data from startDir and builds the unit boxes; a
    // missing file ends the program through end.
    void FormCreate(const QString& startDir, ProgramEnd& end);
    bool CreateControls();
    void CombosChanged(QComboBox* box);
    int GetComboNumber(const QString& MyComboName) const { return tables_.GetComboNumber(MyComboName); }

    // The lock shown while values are on the main screen.
    void ShowLocked(bool locked);

    const QList<QComboBox*>& UnitCombos() const { return UnitCombos_; }
    QLabel* WarningLabel() const { return SDUWarningLbl; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ClosebtnClick();
    void FormClose();
    void LayOut();

    DisplayUnitTables& tables_;
    QList<UnitRow> savedUnits_;
    Hooks hooks_;
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    QLabel* SDUWarningLbl = nullptr;
    QLabel* TopCaption = nullptr;
    QPushButton* Closebtn = nullptr;
    QList<QComboBox*> UnitCombos_;
    QList<QLabel*> TypeLabels_;
};

} // namespace vorda
