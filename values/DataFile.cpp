#include "values/DataFile.h"

#include "base/TextFiles.h"
#include "units/NumberFormat.h"

namespace vorda {

DataFileContent ParseDataFile(const QStringList& lines) {
    DataFileContent content;
    LineReader reader(lines);
    if (!reader.Next(&content.mapFileName)) {
        content.complete = false;
        return content;
    }
    QString countLine;
    int count = 0;
    // A count that is missing, no integer or below zero cannot be trusted.
    if (!reader.Next(&countLine) || !ParseInt32(countLine, &count) || count < 0) {
        content.complete = false;
        return content;
    }
    content.declaredCount = count;
    for (qint32 k = 0; k < count; ++k) {
        QString name, format, value;
        if (!reader.Next(&name) || !reader.Next(&format) || !reader.Next(&value)) {
            content.complete = false;
            return content;
        }
        content.values << value;
    }
    return content;
}

QStringList DataFileLines(const QString& mapFileName, const QList<DMap>& params,
                          const QStringList& meterValues) {
    QStringList lines;
    lines << mapFileName << QString::number(params.size());
    for (qsizetype k = 0; k < params.size(); ++k) {
        lines << params.at(k).Parameter << params.at(k).Format
              << (k < meterValues.size() ? meterValues.at(k) : QString());
    }
    return lines;
}

QString MapNameWarningText(const QString& mapInUse, const QString& mapInFile) {
    return QStringLiteral("Warning: Map file name in use (") + mapInUse + QStringLiteral(")") + QStringLiteral("\n\r") +
           QStringLiteral("does not match map file name in parameter file (") + mapInFile + QStringLiteral(")");
}

} // namespace vorda
