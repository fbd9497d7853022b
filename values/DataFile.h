#pragma once
#include "maps/DMap.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vorda {

// A parameter data file (.epf): the map file name, the count, then for each
// parameter its name, format and value in meter units.
// ParseDataFile reads the lines of such a file; only whole parameter blocks
// give a value. DataFileLines gives the lines to write (a missing meter
// value is an empty line).
struct DataFileContent {
    QString mapFileName;
    QStringList values;   // the value lines read, in file order
    bool complete = true; // false when the file ended early or the count was no integer (or negative)
    qint32 declaredCount = 0;
};

DataFileContent ParseDataFile(const QStringList& lines);
// The warning when a data file was made for another map than the one in use.
QString MapNameWarningText(const QString& mapInUse, const QString& mapInFile);

QStringList DataFileLines(const QString& mapFileName, const QList<DMap>& params,
                          const QStringList& meterValues);

} // namespace vorda
