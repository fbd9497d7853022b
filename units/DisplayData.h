#pragma once
#include <QList>
#include <QString>
#include <QStringList>

namespace vorda {

// One line of the display data file.
struct DisplayDataType {
    QString PType;
    QString Units;
    QString MtoD;
    QString DtoM;
    bool operator==(const DisplayDataType&) const = default;
};

// A row of CurrentUnits: type, meter-to-display, display-to-meter, unit name.
struct UnitRow {
    QString Type;
    QString MtoD;
    QString DtoM;
    QString Units;
    bool operator==(const UnitRow&) const = default;
};

inline constexpr char kDisplayDataFileName[] = "VORDADisplayData.txt";

// Splits one line at its first three TABs; a missing TAB leaves that field
// empty and the text carries on to the next field.
DisplayDataType SplitDisplayLine(const QString& line);

// All entries of a display data file given as lines: lines 1 and 2 are
// headings; every further line, empty ones included, is one entry.
QList<DisplayDataType> ParseDisplayData(const QStringList& lines);

// Reads kDisplayDataFileName from startDir (matched without regard to case;
// the working directory is not changed). Returns false and leaves *out
// alone when the file is missing or cannot be read; *error then holds the
// system's text of an open failure (empty when the file is missing).
bool ReadDisplayDataFile(const QString& startDir, QList<DisplayDataType>* out, QString* error = nullptr);

// The fatal message for a display data file missing from startDir.
QString DisplayDataMissingMessage(const QString& startDir);
// The fatal message after ReadDisplayDataFile failed with error: the missing
// file's message when error is empty, else error with the closing words.
QString DisplayDataFailureMessage(const QString& startDir, const QString& error);

// The display data and the current unit choices, owned by the display units
// dialog and read by the parameter screen.
struct DisplayUnitTables {
    QList<DisplayDataType> DisplayData;
    QList<UnitRow> CurrentUnits;

    int DisplayCount() const { return int(DisplayData.size()); }
    int TypeCount() const { return int(CurrentUnits.size()); }
    // First row whose type equals name exactly; 0 when none.
    int GetComboNumber(const QString& name) const;
    // First row whose type equals name exactly; -1 when none.
    int ThisComboNumber(const QString& name) const;
    // The unit the meter keeps values of the type in: the first unit of the
    // display data whose meter-to-display equation is "M" itself; empty
    // when the type has none.
    QString MeterUnitName(const QString& type) const;
};

} // namespace vorda
