#include "RegisterConversions.h"

#include "base/TextFiles.h"

namespace vorda {

int HexToInt(const QString& s) {
    quint32 result = 0;
    for (const QChar c : s.toUpper()) {
        const char16_t u = c.unicode();
        if (u >= '0' && u <= '9') {
            result = result * 16 + (u - '0');
        } else if (u >= 'A' && u <= 'F') {
            result = result * 16 + (u - 'A' + 10);
        } else {
            result = 0xFFFFFFFFu;
        }
    }
    return static_cast<qint32>(result);
}

QString StringtoHex(const QString& Data) {
    QString out;
    for (const QChar c : Data) out += IntToHex2(c.unicode());
    return out;
}

QString GetASCII(const QString& AValue) {
    if (AValue.isEmpty()) return QString();
    const int code = HexToInt(AValue.left(2));
    if (code < 32 || code > 126) return QString();
    return QString(QChar(code));
}

QString IntToHex2(int value) {
    return QStringLiteral("%1").arg(static_cast<quint32>(value), 2, 16, QLatin1Char('0')).toUpper();
}

QString StringDecToHex(const QString& Dec) {
    int value = 0;
    if (!ParseWholeNumber(Dec, &value)) return QString();
    return IntToHex2(value);
}

QString ConvertGridValue(const QString& OldValue, const QString& DisplayFormat) {
    if (OldValue.isEmpty()) return QString();
    if (DisplayFormat == QLatin1String("Dec8")) return QString::number(HexToInt(OldValue));
    return OldValue;
}

QString IntToBinStr(int value) {
    if (value < 0) return QString();
    return QString::number(value, 2).rightJustified(8, QLatin1Char('0'));
}

void GetRowCol(int aReg, int& aRow, int& aCol) {
    aRow = aReg / 10 + 1;
    aCol = aReg % 10 + 1;
}

int GetReg(int aRow, int aCol) { return (aRow - 1) * 10 + (aCol - 1); }

int CharToRegisterValue(const QString& text) {
    if (text.size() != 1 || !FitsCp1252(text)) return -1;
    const QByteArray bytes = EncodeCp1252(text);
    return bytes.size() == 1 ? static_cast<quint8>(bytes.at(0)) : -1;
}

bool ParseWholeNumber(const QString& text, int* value) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok) *value = v;
    return ok;
}

} // namespace vorda
