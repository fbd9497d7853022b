#include "values/ParameterFields.h"

#include "base/TextFiles.h"
#include "units/Equations.h"
#include "units/NumberFormat.h"
#include "units/SigFigs.h"

#include <QLocale>

#include <algorithm>

namespace vorda {
namespace {

// First row whose type equals name exactly; -1 when none.
int UnitRowOf(const QList<UnitRow>& units, const QString& name) {
    for (qsizetype i = 0; i < units.size(); ++i)
        if (units.at(i).Type == name) return int(i);
    return -1;
}

int BoxWidth(const QString& format, qint32 capacity) {
    const qint64 c = capacity;
    qint64 perValue = 20;
    if (format == QLatin1String("Hex")) perValue = 40;
    else if (format == QLatin1String("Int8")) perValue = 80;
    else if (format == QLatin1String("Int16")) perValue = 120;
    else if (format == QLatin1String("Int32")) perValue = 240;
    const qint64 w = perValue * c + 8;
    return int(std::clamp<qint64>(w, 0, qint64(1) << 24));
}

int MaxLength(const QString& format, qint32 capacity) {
    const qint64 c = capacity < 0 ? 0 : capacity;
    if (format == QLatin1String("ASCII")) return int(std::min<qint64>(c, qint64(1) << 24));
    if (format == QLatin1String("Hex")) return int(std::min<qint64>(2 * c, qint64(1) << 24));
    return 0;
}

} // namespace

double FormatMaximum(const QString& format) {
    if (format == QLatin1String("Int8")) return 255.0;
    if (format == QLatin1String("Int16")) return 65535.0;
    return 4294967295.0;
}

QString ValueListSeparator() {
    return QLocale().decimalPoint() == QLatin1String(",") ? QStringLiteral(";") : QStringLiteral(",");
}

bool IsStorableAsciiCode(int code) { return code >= 32 && code <= 126; }

bool HoldsValueList(const DMap& param) {
    return IsIntegerFormat(param.Format) && param.Capacity > 1;
}

QStringList SplitValues(const DMap& param, const QString& text) {
    if (!HoldsValueList(param)) return {text};
    return text.split(ValueListSeparator(), Qt::KeepEmptyParts);
}

FieldDesignResult DeriveFieldDesign(const DMap& param, const QList<UnitRow>& units,
                                const EquationEvaluator& eval, const SigFigRounder& rounder) {
    FieldDesignResult result;
    const UnitRow* unit = nullptr;
    if (!param.PType.isEmpty()) {
        const int row = UnitRowOf(units, param.PType);
        if (row < 0) {
            result.ok = false;
            result.stopMessage = QStringLiteral("Invalid Parameter Type: ") + param.PType +
                                 QStringLiteral(" for Parameter: ") + param.Parameter +
                                 QStringLiteral(". Please correct before proceeding");
            return result;
        }
        unit = &units.at(row);
    }

    FieldDesign& design = result.design;
    const bool integer = IsIntegerFormat(param.Format);
    long double m = 1;
    if (integer) {
        if (!IsKnownIntegerFormat(param.Format)) {
            result.ok = false;
            result.stopMessage = QStringLiteral("Format error in SetDataRanges: ") + param.Format;
            return result;
        }
        m = MultiplierOf(param);
        long double high = FormatMaximum(param.Format);
        high = (m != 1) ? rounder.SigFigs(m * high) : m * high;
        long double low = 0;
        if (unit) {
            high = eval.ParseMtoD(double(high), unit->MtoD);
            low = eval.ParseMtoD(double(low), unit->MtoD);
            if (m != 1) {
                high = rounder.SigFigs(high);
                low = rounder.SigFigs(low);
            }
        }
        design.hasRange = true;
        design.low = double(low);
        design.high = double(high);
    }

    design.caption = unit ? param.Parameter + QStringLiteral(" [") + param.PType + QStringLiteral(" in ") +
                              unit->Units + QStringLiteral("]")
                        : param.Parameter;

    QString attr = QString::number(param.Capacity);
    if (integer)
        attr += m >= 1 ? QStringLiteral(" integer") : QStringLiteral(" decimal");
    else
        attr += QLatin1Char(' ') + param.Format;
    attr += param.Capacity == 1 ? QStringLiteral(" value ") : QStringLiteral(" values ");
    if (integer) {
        attr += FormatGeneral(design.low) + QStringLiteral(" - ") + FormatGeneral(design.high);
        if (param.Capacity > 1)
            attr += ValueListSeparator() == QLatin1String(",") ? QStringLiteral(" (comma separated)")
                                                              : QStringLiteral(" (semicolon separated)");
    }
    if (param.Format == QLatin1String("Hex")) attr += QStringLiteral(" (two characters for each value) ");
    if (param.Access == QLatin1String("R")) attr += QStringLiteral(" - [User Read-only]");
    if (param.Access == QLatin1String("C")) attr += QStringLiteral(" - [ZUV only]");
    if (param.Rule == QLatin1String("A")) attr += QStringLiteral(" - [Values Ascending]");
    if (param.Rule == QLatin1String("D")) attr += QStringLiteral(" - [Values Descending]");
    design.attributes = attr;

    design.boxWidth = BoxWidth(param.Format, param.Capacity);
    design.maxLength = MaxLength(param.Format, param.Capacity);
    design.hint = param.DescToolTip.isEmpty() ? QStringLiteral("[No description]") : param.DescToolTip;
    return result;
}

long double MultiplierOf(const DMap& param) {
    long double m = 0;
    if (ParseMultiplier(param.Multiplier, &m)) return m;
    return ToFloat(param.Multiplier);
}

QString DecodeRegisters(const DMap& param, const QVector<int>& bytes) {
    const QString& format = param.Format;
    if (IsIntegerFormat(format)) {
        const double m = double(MultiplierOf(param));
        const int per = RegistersPerValue(format);
        QStringList texts;
        // A trailing group shorter than a value carries no whole value.
        // A negative entry is a register whose read failed: a value with
        // such a byte adds nothing.
        for (qsizetype start = 0; start + per <= bytes.size(); start += per) {
            quint32 n = 0;
            bool complete = true;
            for (int i = 0; i < per; ++i) {
                complete = complete && bytes.at(start + i) >= 0;
                n = (n << 8) | quint32(bytes.at(start + i) & 0xFF);
            }
            if (complete) texts << FormatGeneral(m * double(n));
        }
        return texts.join(ValueListSeparator());
    }
    QString out;
    if (format == QLatin1String("Hex")) {
        for (int b : bytes)
            if (b >= 0) out += QStringLiteral("%1").arg(b & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    } else if (format == QLatin1String("ASCII")) {
        // Printable ASCII only; any other byte adds nothing. Such a byte is
        // kept by the exact registers of an unedited value, not by its text.
        for (int b : bytes)
            if (IsStorableAsciiCode(b)) out += QChar(b);
    }
    return out;
}

EEValue EncodeIntegers(const DMap& param, const QVector<quint32>& registerIntegers) {
    EEValue e;
    e.Startreg = param.Startreg;
    const int per = RegistersPerValue(param.Format);
    const qint32 capacity = param.Capacity < 0 ? 0 : param.Capacity;
    e.RegCount = capacity * per;
    e.Values = QVector<qint32>(e.RegCount, 0);
    const qsizetype given = qMin<qsizetype>(registerIntegers.size(), capacity);
    for (qsizetype k = 0; k < given; ++k) {
        const quint32 n = registerIntegers.at(k);
        for (int i = 0; i < per; ++i)
            e.Values[k * per + i] = qint32((n >> (8 * (per - 1 - i))) & 0xFF);
    }
    return e;
}

EEValue EncodeAscii(const DMap& param, const QString& text) {
    EEValue e;
    e.Startreg = param.Startreg;
    e.RegCount = param.Capacity < 0 ? 0 : param.Capacity;
    e.Values = QVector<qint32>(e.RegCount, 0);
    const QByteArray codes = EncodeCp1252(text);
    const qsizetype used = qMin<qsizetype>(codes.size(), e.RegCount);
    for (qsizetype k = 0; k < used; ++k) e.Values[k] = qint32(static_cast<unsigned char>(codes.at(k)));
    return e;
}

QString DecodeRead(const DMap& param, const QVector<int>& bytes) {
    if (!HoldsValueList(param) || !bytes.contains(-1)) return DecodeRegisters(param, bytes);
    const int per = RegistersPerValue(param.Format);
    QStringList pieces;
    for (qsizetype start = 0; start + per <= bytes.size(); start += per)
        pieces << DecodeRegisters(param, bytes.mid(start, per));
    return pieces.join(ValueListSeparator());
}

} // namespace vorda
