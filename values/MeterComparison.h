#pragma once
// Comparing what the meter holds with a data file or with the screen, the
// set of values a write of the chosen parameters sends, and the parameters
// that differ after it.
#include "base/UserInteraction.h"
#include "maps/DMap.h"
#include "values/MeterEngine.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace vorda {

// Access classes: "C" parameters are seen by maker access only, "R" ones
// are changed by maker access only.
bool ParameterShown(const DMap& param, bool makerAccess);
bool ParameterWritable(const DMap& param, bool makerAccess);

// The meter compared with a data file: one row per parameter the user may
// see, in map order.
struct FileComparison {
    QList<int> indexes;          // map index of each row
    QList<WriteChoiceRow> rows;
    QVector<bool> ticked;        // the first ticks: rows that differ and may be written
    int differences = 0;         // rows that differ
};

// How the rows show values: the display text of a meter value, and the
// unit name of a parameter (empty when it has none).
struct ComparisonDisplay {
    std::function<QString(const DMap&, const QString&)> text;
    std::function<QString(const DMap&)> unit;
};

// meter is a whole read of params; fileValues the values of the data file
// (meter units, by position) and fileCheck the data check on them. A
// parameter the file gives no value for cannot be compared or ticked. A
// value the check refuses differs unless the meter holds the same text; it
// is not ticked at first. Otherwise a row differs when the registers the
// file's value encodes to differ from the meter's; where the display texts
// of a differing row are the same, the row shows the exact meter values.
// Differing rows are ticked at first only with tickAtFirst.
FileComparison CompareMeterWithFile(const QList<DMap>& params, const ReadOutcome& meter,
                                    const QStringList& fileValues, const ValuesCheck& fileCheck, bool makerAccess,
                                    const ComparisonDisplay& display, bool tickAtFirst = true);

// The values and parameters a write of the ticked rows sends.
struct TickedWrite {
    QStringList values;          // per parameter: the file's when ticked, else the meter's
    QVector<bool> selected;      // per parameter: ticked, and a row the user may write
};

TickedWrite PlanTickedWrite(const FileComparison& comparison, const QStringList& meterValues,
                            const QStringList& fileValues, const QVector<bool>& ticked);

// True when the check refused the value of some selected parameter, or broke
// off: then nothing is to be sent.
bool SelectedValueRefused(const ValuesCheck& check, const QVector<bool>& selected);

// The names of the parameters whose registers differ after a write:
// a selected parameter from the registers written, any other but a
// read-only one from what the meter held before (before and after are whole
// reads' bytes).
QStringList DifferingAfterWrite(const QList<DMap>& params, const QVector<bool>& selected,
                                const QVector<EEValue>& written, const QVector<QVector<int>>& before,
                                const QVector<QVector<int>>& after);

// The names of the parameters whose meter registers differ from the
// screen's: screenRegisters as the data check encoded them; a parameter with
// no registers to compare (an empty value) differs when its meter value text
// differs from the screen's.
QStringList DifferingFromScreen(const QList<DMap>& params, const QVector<EEValue>& screenRegisters,
                                const QStringList& screenMeterValues, const ReadOutcome& meter);

} // namespace vorda
