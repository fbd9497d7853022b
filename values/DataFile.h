#pragma once
#include "maps/DMap.h"
#include "values/ParameterFields.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace vorda {

// A parameter data file (.epf): the map file name, the count, then for each
// parameter its name, format and value in meter units. Numbers are written
// in the one form that means the same in every locale: a point as decimal
// separator and "," between the values of a list. After the blocks, where a
// text value cannot show its registers (an "ASCII" value holding a byte
// outside 32 to 126), a line "Registers <k>: <hex>" keeps the exact
// registers of block k; readers of earlier versions stop after the blocks
// and never reach it.
struct DataFileContent {
    QString mapFileName;
    QStringList names;    // per block read, in file order
    QStringList formats;
    QStringList values;   // the value lines read, in file order, as written
    QHash<int, QVector<int>> registers; // exact registers by block
    bool complete = true; // false when the file ended early or the count was no integer (or negative)
    qint32 declaredCount = 0;
};

DataFileContent ParseDataFile(const QStringList& lines);
// The warning when a data file was made for another map than the one in use.
QString MapNameWarningText(const QString& mapInUse, const QString& mapInFile);

// The lines to write for meterValues (in the user's locale notation) of
// params: numbers in the point form, and the exact registers of a text value
// whose text does not give them back (registers: per parameter, as the data
// check encoded them; may be empty). A missing value is an empty line.
QStringList DataFileLines(const QString& mapFileName, const QList<DMap>& params, const QStringList& meterValues,
                          const QVector<EEValue>& registers = {});

// A file's values for the parameters of a map, as the program works with
// them: numbers in the user's locale notation.
struct FileValues {
    QStringList meterValues;              // per map parameter; empty where the file has none
    QVector<bool> given;                  // the file has a value for the parameter
    QVector<QVector<int>> exactRegisters; // the registers a value was saved with, or empty
};

// The values by position: block k for parameter k.
FileValues FileValuesByPosition(const DataFileContent& content, const QList<DMap>& params);
// The values of a file made for another map: a parameter takes the value of
// the block with its name and format (the first such), never one by position.
FileValues FileValuesByName(const DataFileContent& content, const QList<DMap>& params);

// Number notation between the user's locale and the files' point form, for
// the value of an integer parameter (any other value is returned as it is).
QString ToPointForm(const DMap& param, const QString& localeValue);
QString FromPointForm(const DMap& param, const QString& pointValue);

} // namespace vorda
