#include "values/DataCheck.h"

#include "base/TextFiles.h"
#include "units/Equations.h"
#include "units/NumberFormat.h"
#include "units/SigFigs.h"

#include <QStringList>

#include <cmath>

namespace vorda {
namespace {

const QString kNotANumber = QStringLiteral("Not a valid number");
const QString kOutOfRange = QStringLiteral("Value out of range");
const QString kTooMany = QStringLiteral("Too many values");
const QString kUnknownIntegerFormat = QStringLiteral("not an integer format of the meter (Int8, Int16 or Int32)");

// The scaling of one integer parameter.
struct IntegerScale {
    long double m = 1;
    bool exact = true;
    long double limit = 0;  // meter units
    long double formatMax = 0;
};

IntegerScale ScaleOf(const DMap& param, const SigFigRounder& rounder) {
    IntegerScale s;
    s.m = MultiplierOf(param);
    s.exact = s.m == 1;
    s.formatMax = FormatMaximum(param.Format);
    s.limit = s.exact ? s.formatMax : rounder.SigFigs(s.m * s.formatMax);
    return s;
}

// Validates one meter value text. On success *n is its register integer.
// A value whose register integer would not fit the format (possible between
// m times the format maximum and the rounded limit) is out of range too.
bool CheckMeterValue(const QString& text, const IntegerScale& s, quint32* n, QString* reason) {
    long double v = 0;
    if (!ParseNumber(text, &v)) {
        *reason = kNotANumber;
        return false;
    }
    if (v < 0 || v > s.limit) {
        *reason = kOutOfRange;
        return false;
    }
    const long double t = std::trunc(v / s.m + 0.5L);
    if (!std::isfinite(t) || t < 0 || t > s.formatMax) {
        *reason = kOutOfRange;
        return false;
    }
    *n = quint32(t);
    return true;
}

void CheckInteger(const DMap& param, const QString& boxText, const UnitRow* unit,
                  const QString* exactMeterValue, const EquationEvaluator& eval,
                  const SigFigRounder& rounder, ParamCheck* out) {
    const IntegerScale s = ScaleOf(param, rounder);
    const QString sep = ValueListSeparator();

    QStringList meterValues;
    QStringList displayTexts;
    // Values typed below zero that the integer rounding of the conversion
    // turned into 0 (-1 gives 0 by the half-up cut toward zero).
    QVector<bool> negative;

    bool useExact = false;
    if (exactMeterValue) {
        // The unedited value stands as it is, provided every piece is a
        // number; otherwise the box text is converted as usual.
        meterValues = SplitValues(param, *exactMeterValue);
        useExact = true;
        for (const QString& piece : meterValues) {
            long double v = 0;
            if (!ParseNumber(piece, &v)) useExact = false;
        }
    }
    if (useExact) {
        out->meterValue = *exactMeterValue;
        out->boxText = boxText;
        negative = QVector<bool>(meterValues.size(), false);
    } else {
        meterValues.clear();
        const QString dtoM = unit ? unit->DtoM : QStringLiteral("M");
        for (const QString& piece : SplitValues(param, boxText)) {
            const QString mv = eval.ParseMultiple(piece, dtoM, s.exact);
            bool below = false;
            if (s.exact && mv != QLatin1String("error")) {
                long double d = 0;
                const QString decimal = eval.ParseMultiple(piece, dtoM, false);
                below = ParseNumber(decimal, &d) && d < 0;
            }
            QString shown;
            if (below)
                shown = piece; // the refused value stays as typed
            else if (unit)
                shown = eval.ParseMultiple(mv, unit->MtoD, false);
            else
                shown = eval.ParseMultiple(mv, QStringLiteral("D"), s.exact);
            meterValues << mv;
            displayTexts << shown;
            negative << below;
        }
        out->meterValue = meterValues.join(sep);
        out->boxText = displayTexts.join(sep);
    }
    out->boxChanged = out->boxText != boxText;

    if (out->meterValue.isEmpty()) return; // no value: nothing found, nothing stored
    out->dataFound = true;

    QVector<quint32> integers;
    bool allValid = true;
    for (qsizetype k = 0; k < meterValues.size(); ++k) {
        quint32 n = 0;
        QString reason;
        bool ok = CheckMeterValue(meterValues.at(k), s, &n, &reason);
        if (ok && negative.at(k)) {
            ok = false;
            reason = kOutOfRange;
        }
        if (!ok) {
            out->verdict = false;
            out->reason = reason;
            allValid = false;
        }
        integers << n;
    }
    if (integers.size() > param.Capacity) {
        out->verdict = false;
        out->reason = kTooMany;
    } else if (allValid && integers.size() < param.Capacity) {
        // A missing value would be written as 0.
        out->verdict = false;
        out->reason = QStringLiteral("Too few values: it takes %1 values, %2 given").arg(param.Capacity).arg(integers.size());
    }
    // The order rule compares register integers; it means nothing while a
    // value is missing or refused, which is reported instead.
    if (allValid && integers.size() > 1) {
        for (qsizetype k = 1; k < integers.size(); ++k) {
            if (param.Rule == QLatin1String("A") && integers.at(k) < integers.at(k - 1)) {
                out->verdict = false;
                out->reason = QStringLiteral("Values must be Ascending");
            } else if (param.Rule == QLatin1String("D") && integers.at(k) > integers.at(k - 1)) {
                out->verdict = false;
                out->reason = QStringLiteral("Values must be Descending");
            }
        }
    }
    if (out->verdict) out->registers = EncodeIntegers(param, integers);
}

void CheckAscii(const DMap& param, const QString& text, ParamCheck* out) {
    out->dataFound = true;
    // Only the characters that reach a register matter.
    const qsizetype capacity = param.Capacity < 0 ? 0 : param.Capacity;
    qsizetype index = 0;
    for (qsizetype k = 0; index < text.size() && k < capacity; ++k) {
        qsizetype len = 1;
        if (text.at(index).isHighSurrogate() && index + 1 < text.size() && text.at(index + 1).isLowSurrogate())
            len = 2;
        const QString ch = text.mid(index, len);
        const char32_t code = ch.toUcs4().value(0);
        if (!IsStorableAsciiCode(int(std::min<char32_t>(code, 0xFFFF)))) {
            out->verdict = false;
            // A control character is named by its code: it cannot be seen.
            const bool visible = QChar::isPrint(code);
            out->reason = QStringLiteral("Character cannot be stored in the meter: ") +
                          (visible ? ch : QStringLiteral("code %1").arg(quint32(code)));
        }
        index += len;
    }
    if (out->verdict) out->registers = EncodeAscii(param, text);
}

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

void CheckHex(const DMap& param, const QString& text, ParamCheck* out) {
    const qint32 capacity = param.Capacity < 0 ? 0 : param.Capacity;
    out->registers.Values = QVector<qint32>(capacity, 0);
    if (text.isEmpty()) return;
    out->dataFound = true;
    if (text.size() % 2 != 0) {
        out->verdict = false;
        out->reason = QStringLiteral("Wrong number of digits - must be multiple of two");
        return;
    }
    out->registers.RegCount = capacity;
    const qsizetype pairs = text.size() / 2;
    for (qsizetype k = 0; k < pairs; ++k) {
        const int hi = HexDigit(text.at(2 * k));
        const int lo = HexDigit(text.at(2 * k + 1));
        if (hi < 0 || lo < 0) {
            out->verdict = false;
            out->reason = QStringLiteral("Invalid character");
        } else if (k < capacity) {
            out->registers.Values[k] = hi * 16 + lo;
        }
    }
    if (pairs > capacity) {
        out->verdict = false;
        out->reason = kTooMany;
    }
}

} // namespace

ParamCheck CheckParameter(const DMap& param, const QString& boxText, const UnitRow* unit,
                          const QString* exactMeterValue, const EquationEvaluator& eval,
                          const SigFigRounder& rounder) {
    ParamCheck out;
    out.registers.Startreg = param.Startreg;
    if (IsIntegerFormat(param.Format) && !IsKnownIntegerFormat(param.Format)) {
        // Its map counts one register per value, too few for the integer it
        // would be taken as: refused, so that nothing of it is cut or written.
        out.verdict = false;
        out.reason = kUnknownIntegerFormat;
        out.meterValue = boxText;
        out.boxText = boxText;
        out.dataFound = !boxText.isEmpty();
        return out;
    }
    if (IsIntegerFormat(param.Format)) {
        CheckInteger(param, boxText, unit, exactMeterValue, eval, rounder, &out);
        if (!out.verdict) {
            out.registers.RegCount = 0;
            out.registers.Values.clear();
        }
        return out;
    }
    out.meterValue = boxText;
    out.boxText = boxText;
    if (param.Format == QLatin1String("ASCII"))
        CheckAscii(param, boxText, &out);
    else if (param.Format == QLatin1String("Hex"))
        CheckHex(param, boxText, &out);
    return out;
}

void RefuseUnread(ParamCheck* check) {
    check->verdict = false;
    check->reason = QStringLiteral("not all of it could be read from the meter - enter the value again");
    check->registers.RegCount = 0;
    check->registers.Values.clear();
}

QString InvalidMessage(const DMap& param, const QString& reason) {
    return QStringLiteral("Invalid ") + param.Format + QStringLiteral(" in ") + param.Parameter +
           QStringLiteral(" : ") + reason;
}

QString MeterToDisplay(const DMap& param, const QString& meterValue, const UnitRow* unit,
                       const EquationEvaluator& eval) {
    // Text formats are shown as they are, whatever their type.
    if (!IsIntegerFormat(param.Format)) return meterValue;
    const QString mtoD = unit ? unit->MtoD : QStringLiteral("M");
    QStringList shown;
    for (const QString& piece : SplitValues(param, meterValue)) shown << eval.ParseMultiple(piece, mtoD, false);
    return shown.join(ValueListSeparator());
}

} // namespace vorda
