#include "units/Equations.h"

#include "base/TextFiles.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "units/NumberFormat.h"
#include "units/SigFigs.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

namespace vorda {
namespace {

QString CleanEquation(const QString& equation) {
    QString out;
    out.reserve(equation.size());
    for (QChar c : equation) {
        if (c == QLatin1Char(' ')) continue;
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 'a' + 'A');
        out.append(c);
    }
    return out;
}

// A rounded result too large for a double is held at the largest double
// rather than becoming infinite.
double ToDouble(long double value) {
    if (value > DBL_MAX) return DBL_MAX;
    if (value < -DBL_MAX) return -DBL_MAX;
    return double(value);
}

// Stores an extended step result as a double; out of range it becomes
// infinite, as the floating-point hardware does.
double StoreDouble(long double value) {
    if (value > DBL_MAX) return HUGE_VAL;
    if (value < -DBL_MAX) return -HUGE_VAL;
    return double(value);
}

} // namespace

int EquationEvaluator::SymbolPos(const QString& WhatsLeft) {
    for (qsizetype i = 0; i < WhatsLeft.size(); ++i) {
        const QChar c = WhatsLeft[i];
        if (c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('*') || c == QLatin1Char('/'))
            return int(i + 1);
    }
    return 0;
}

int EquationEvaluator::NextSymbol(const QString& WhatsLeft) {
    if (WhatsLeft.isEmpty()) return 5;
    switch (WhatsLeft[0].unicode()) {
    case '+': return 1;
    case '-': return 2;
    case '*': return 3;
    case '/': return 4;
    default: return 5;
    }
}

double EquationEvaluator::ParseMtoD(double Mvalue, const QString& DEquals) const {
    const QString eq = CleanEquation(DEquals);
    if (eq.isEmpty() || (eq[0] != QLatin1Char('M') && eq[0] != QLatin1Char('D'))) {
        ui_.ShowMessage(QStringLiteral("Error in conversion equation: ") + Excerpt(eq) +
                        QStringLiteral(" first character must be M or D"));
        return 0;
    }
    if (eq.size() == 1) return ToDouble(rounder_.SigFigs(Mvalue));

    QString rest = eq.mid(1);
    double acc = ToDouble(rounder_.SigFigs(Mvalue));
    for (;;) {
        const int op = NextSymbol(rest.left(1));
        if (op == 5) {
            ui_.ShowMessage(QStringLiteral("Equation format wrong: ") + Excerpt(rest));
            return 0;
        }
        const int k = SymbolPos(rest.mid(1));
        const QString numberText = k > 0 ? rest.mid(1, k - 1) : rest.mid(1);
        const long double number = ToFloat(numberText);
        // Each step is worked in extended precision and stored as a double.
        // A result out of range stays infinite or NaN to the end, where the
        // rounding reports it and gives 0.
        switch (op) {
        case 1: acc = StoreDouble(acc + number); break;
        case 2: acc = StoreDouble(acc - number); break;
        case 3: acc = StoreDouble(acc * number); break;
        default:
            if (number == 0) {
                if (acc == 0 || std::isnan(acc)) throw UserError(QStringLiteral("Invalid floating point operation"));
                throw UserError(QStringLiteral("Floating point division by zero"));
            }
            acc = StoreDouble(acc / number);
            break;
        }
        if (k == 0) return ToDouble(rounder_.SigFigs(acc));
        rest = rest.mid(k);
    }
}

QString EquationEvaluator::ParseMultiple(const QString& MyString, const QString& DEquals, bool ReturnInt) const {
    long double value = 0;
    if (!ParseNumber(MyString, &value) || value > DBL_MAX || value < -DBL_MAX) return QStringLiteral("error");
    const double x = ParseMtoD(double(value), DEquals);
    if (!ReturnInt) return FormatGeneral(x);
    // Integer part of x + 0.5, held within 64 bits.
    const long double t = std::trunc((long double)x + 0.5L);
    std::int64_t i;
    if (t >= 9223372036854775807.0L)
        i = INT64_MAX;
    else if (t <= -9223372036854775808.0L)
        i = INT64_MIN;
    else
        i = std::int64_t(t);
    return QString::number(qint64(i));
}

} // namespace vorda
