#pragma once
#include "DisplayData.h"

#include <QStringList>

namespace vorda {

// One unit chooser as the display units dialog builds it.
struct UnitChooser {
    QString type;
    QStringList unitNames; // the units of the type, in file order
    QString shownText;     // the remembered unit, else the first of the list
};

// Builds CurrentUnits and the choosers from the display data: one row per
// type in order of first appearance; row p starts from saved row p when
// there is one (taken by position), else from the type's first entry.
QList<UnitChooser> BuildCurrentUnits(const QList<DisplayDataType>& displayData,
                                     const QList<UnitRow>& savedUnits, QList<UnitRow>* currentUnits);

// A unit picked or typed in the chooser of type: row GetComboNumber(type)
// takes the equations and name of every entry of that type and unit name
// (the last one wins). A text that names no unit leaves the row as it was.
void ApplyUnitChoice(DisplayUnitTables& tables, const QString& type, const QString& text);

} // namespace vorda
