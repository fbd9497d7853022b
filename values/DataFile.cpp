#include "values/DataFile.h"

#include "base/TextFiles.h"
#include "units/NumberFormat.h"

#include <QLocale>

#include <functional>

namespace vorda {
namespace {

const QString kRegistersKey = QStringLiteral("Registers ");

// "Registers <k>: <hex pairs>"; false for a line of another kind or a
// damaged one, which is then of no account.
bool ParseRegistersLine(const QString& line, int* block, QVector<int>* bytes) {
    if (!line.startsWith(kRegistersKey)) return false;
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0 || !ParseInt32(line.mid(kRegistersKey.size(), colon - kRegistersKey.size()), block) || *block < 0)
        return false;
    const QString hex = line.mid(colon + 1).trimmed();
    if (hex.size() % 2 != 0) return false;
    bytes->clear();
    for (qsizetype k = 0; k < hex.size(); k += 2) {
        bool ok = false;
        const int b = hex.mid(k, 2).toInt(&ok, 16);
        if (!ok || hex.at(k) == QLatin1Char('+') || hex.at(k) == QLatin1Char('-')) return false;
        bytes->append(b);
    }
    return true;
}

QString RegistersLine(int block, const QVector<qint32>& bytes) {
    QString hex;
    for (qint32 b : bytes) hex += QStringLiteral("%1").arg(b & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    return kRegistersKey + QString::number(block) + QStringLiteral(": ") + hex;
}

// Swaps characters: each of `from` becomes the one at the same place in `to`.
QString MapCharacters(const QString& text, const QString& from, const QString& to) {
    QString out = text;
    for (QChar& c : out) {
        const qsizetype at = from.indexOf(c);
        if (at >= 0) c = to.at(at);
    }
    return out;
}

// The locale's decimal separator and list separator, as one character each.
QString LocaleMarks() {
    const QString point = QLocale().decimalPoint();
    return (point.size() == 1 ? point : QStringLiteral(".")) + ValueListSeparator();
}

// Earlier versions wrote numbers in the locale they ran in. A file written
// under a comma locale shows it by a ";" between list values or a "," inside
// a single value, which the point form never holds; such a file is read in
// that form, any other in the point form.
bool WrittenWithDecimalComma(const DataFileContent& content, const std::function<const DMap*(int)>& paramOf) {
    for (int k = 0; k < content.values.size(); ++k) {
        const DMap* p = paramOf(k);
        if (!p || !IsIntegerFormat(p->Format)) continue;
        const QString& v = content.values.at(k);
        if (v.contains(QLatin1Char(';'))) return true;
        if (!HoldsValueList(*p) && v.contains(QLatin1Char(','))) return true;
    }
    return false;
}

FileValues ValuesFor(const DataFileContent& content, const QList<DMap>& params,
                     const std::function<int(int)>& blockOf) {
    FileValues out;
    out.given = QVector<bool>(params.size(), false);
    out.exactRegisters.resize(params.size());
    QVector<const DMap*> paramOfBlock(content.values.size(), nullptr);
    for (int i = 0; i < params.size(); ++i) {
        const int block = blockOf(i);
        if (block >= 0 && block < paramOfBlock.size()) paramOfBlock[block] = &params.at(i);
    }
    const bool comma = WrittenWithDecimalComma(content, [&](int k) { return paramOfBlock.value(k); });
    for (int i = 0; i < params.size(); ++i) {
        const int block = blockOf(i);
        if (block < 0 || block >= content.values.size()) {
            out.meterValues << QString();
            continue;
        }
        const DMap& p = params.at(i);
        QString value = content.values.at(block);
        if (comma && IsIntegerFormat(p.Format)) value = MapCharacters(value, QStringLiteral(",;"), QStringLiteral(".,"));
        out.meterValues << FromPointForm(p, value);
        out.given[i] = true;
        out.exactRegisters[i] = content.registers.value(block);
    }
    return out;
}

} // namespace

QString ToPointForm(const DMap& param, const QString& localeValue) {
    if (!IsIntegerFormat(param.Format)) return localeValue;
    return MapCharacters(localeValue, LocaleMarks(), QStringLiteral(".,"));
}

QString FromPointForm(const DMap& param, const QString& pointValue) {
    if (!IsIntegerFormat(param.Format)) return pointValue;
    return MapCharacters(pointValue, QStringLiteral(".,"), LocaleMarks());
}

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
        content.names << name;
        content.formats << format;
        content.values << value;
    }
    QString line;
    while (reader.Next(&line)) {
        int block = 0;
        QVector<int> bytes;
        if (ParseRegistersLine(line, &block, &bytes) && block < count)
            content.registers.insert(block, bytes);
    }
    return content;
}

QStringList DataFileLines(const QString& mapFileName, const QList<DMap>& params, const QStringList& meterValues,
                          const QVector<EEValue>& registers) {
    QStringList lines;
    lines << mapFileName << QString::number(params.size());
    QStringList exact;
    for (qsizetype k = 0; k < params.size(); ++k) {
        const DMap& p = params.at(k);
        const QString value = meterValues.value(k);
        lines << p.Parameter << p.Format << ToPointForm(p, value);
        const QVector<qint32> bytes = registers.value(k).Values;
        if (p.Format == QLatin1String("ASCII") && !bytes.isEmpty() && EncodeAscii(p, value).Values != bytes)
            exact << RegistersLine(int(k), bytes);
    }
    lines << exact;
    return lines;
}

FileValues FileValuesByPosition(const DataFileContent& content, const QList<DMap>& params) {
    return ValuesFor(content, params, [](int i) { return i; });
}

FileValues FileValuesByName(const DataFileContent& content, const QList<DMap>& params) {
    return ValuesFor(content, params, [&](int i) {
        for (int k = 0; k < content.names.size(); ++k)
            if (content.names.at(k) == params.at(i).Parameter && content.formats.value(k) == params.at(i).Format)
                return k;
        return -1;
    });
}

QString MapNameWarningText(const QString& mapInUse, const QString& mapInFile) {
    return QStringLiteral("Warning: Map file name in use (") + mapInUse + QStringLiteral(")") + QStringLiteral("\n\r") +
           QStringLiteral("does not match map file name in parameter file (") + mapInFile + QStringLiteral(")");
}

} // namespace vorda
