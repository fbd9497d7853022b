#include "units/DisplayData.h"

#include "base/TextFiles.h"
#include "base/Version.h"

namespace vorda {

DisplayDataType SplitDisplayLine(const QString& line) {
    QString rest = line;
    QString fields[3];
    // A missing TAB leaves its field empty; the text carries on unconsumed.
    for (QString& field : fields) {
        const qsizetype tab = rest.indexOf(QLatin1Char('\t'));
        if (tab < 0) continue;
        field = rest.left(tab);
        rest = rest.mid(tab + 1);
    }
    return DisplayDataType{fields[0], fields[1], fields[2], rest};
}

QList<DisplayDataType> ParseDisplayData(const QStringList& lines) {
    QList<DisplayDataType> out;
    for (qsizetype i = 2; i < lines.size(); ++i) out.append(SplitDisplayLine(lines.at(i)));
    return out;
}

bool ReadDisplayDataFile(const QString& startDir, QList<DisplayDataType>* out, QString* error) {
    if (error) error->clear();
    const QString path = FindFileNoCase(startDir, QString::fromLatin1(kDisplayDataFileName));
    if (path.isEmpty()) return false;
    QStringList lines;
    if (!ReadTextLines(path, &lines, error)) return false;
    *out = ParseDisplayData(lines);
    return true;
}

namespace {
QString ClosingWords() {
    return QStringLiteral("  Contact ZUV Meters Inc.  Application closing.") + QStringLiteral("\n\r") +
           QStringLiteral("VORDA Version: ") + QLatin1String(kVersionText);
}
} // namespace

QString DisplayDataMissingMessage(const QString& startDir) {
    return QStringLiteral("Display Data File: VORDADisplayData.txt not found in ") + startDir + QLatin1Char('.') +
           ClosingWords();
}

QString DisplayDataFailureMessage(const QString& startDir, const QString& error) {
    return error.isEmpty() ? DisplayDataMissingMessage(startDir) : error + ClosingWords();
}

int DisplayUnitTables::GetComboNumber(const QString& name) const {
    const int k = ThisComboNumber(name);
    return k < 0 ? 0 : k;
}

int DisplayUnitTables::ThisComboNumber(const QString& name) const {
    for (int i = 0; i < CurrentUnits.size(); ++i)
        if (CurrentUnits.at(i).Type == name) return i;
    return -1;
}

QString DisplayUnitTables::MeterUnitName(const QString& type) const {
    if (type.isEmpty()) return {};
    for (const DisplayDataType& row : DisplayData)
        if (row.PType == type && row.MtoD.trimmed() == QLatin1String("M")) return row.Units;
    return {};
}

} // namespace vorda
