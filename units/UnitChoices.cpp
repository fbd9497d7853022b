#include "UnitChoices.h"

namespace vorda {

QList<UnitChooser> BuildCurrentUnits(const QList<DisplayDataType>& displayData,
                                     const QList<UnitRow>& savedUnits, QList<UnitRow>* currentUnits) {
    QList<UnitChooser> choosers;
    currentUnits->clear();
    QList<bool> remembered;
    for (const DisplayDataType& entry : displayData) {
        qsizetype k = -1;
        for (qsizetype i = 0; i < currentUnits->size(); ++i)
            if (currentUnits->at(i).Type == entry.PType) {
                k = i;
                break;
            }
        if (k < 0) {
            k = currentUnits->size();
            UnitRow row;
            row.Type = entry.PType;
            UnitChooser chooser;
            chooser.type = entry.PType;
            if (k < savedUnits.size()) {
                const UnitRow& saved = savedUnits.at(k);
                row.MtoD = saved.MtoD;
                row.DtoM = saved.DtoM;
                row.Units = saved.Units;
                chooser.shownText = saved.Units;
                remembered << true;
            } else {
                row.MtoD = entry.MtoD;
                row.DtoM = entry.DtoM;
                row.Units = entry.Units;
                remembered << false;
            }
            currentUnits->append(row);
            choosers << chooser;
        }
        choosers[k].unitNames << entry.Units;
        if (!remembered.at(k) && choosers[k].unitNames.size() == 1) choosers[k].shownText = entry.Units;
    }
    return choosers;
}

void ApplyUnitChoice(DisplayUnitTables& tables, const QString& type, const QString& text) {
    if (tables.CurrentUnits.isEmpty()) return;
    const int k = tables.GetComboNumber(type);
    for (const DisplayDataType& entry : tables.DisplayData) {
        if (entry.PType == type && entry.Units == text) {
            UnitRow& row = tables.CurrentUnits[k];
            row.MtoD = entry.MtoD;
            row.DtoM = entry.DtoM;
            row.Units = entry.Units;
        }
    }
}

} // namespace vorda
