#include "units/SigFigs.h"

#include "base/UserInteraction.h"
#include "units/NumberFormat.h"

#include <cmath>

namespace vorda {
namespace {

// Beyond this power of ten a long double is zero or infinite anyway.
constexpr int kMaxPower = 5000;

long double PowerOfTen(int n) {
    const int count = n < 0 ? (n < -kMaxPower ? kMaxPower : -n) : (n > kMaxPower ? kMaxPower : n);
    long double p = 1;
    for (int i = 0; i < count; ++i) p *= 10;
    return n < 0 ? 1 / p : p;
}

} // namespace

long double SigFigRounder::SigFigs(long double value) const {
    if (!std::isfinite(value)) {
        ui_.ShowMessage(QStringLiteral("Invalid floating Point Value in SigFigs"));
        return 0;
    }
    const QString s = FormatGeneral(value);
    const QChar sep = s.contains(QLatin1Char('.'))   ? QLatin1Char('.')
                      : s.contains(QLatin1Char(',')) ? QLatin1Char(',')
                                                     : QLatin1Char('.');
    long long n = 0;
    const qsizetype ePos = s.indexOf(QLatin1Char('E'));
    if (ePos >= 0) {
        const int e = s.mid(ePos + 1).toInt();
        n = (long long)SigFigCount - e;
    } else {
        // Positions count from 1, as the rounding rule is stated that way.
        const qsizetype sepIndex = s.indexOf(sep);
        const long long dp = sepIndex >= 0 ? sepIndex + 1 : s.size() + 1;
        long long f = 1;
        // The last character is never examined.
        for (qsizetype i = 0; i + 1 < s.size(); ++i) {
            if (s[i] != QLatin1Char('0') && s[i] != sep) {
                f = i + 1;
                break;
            }
        }
        const long long fPrime = f < dp ? 1 : f - dp + 1;
        n = fPrime - dp + SigFigCount;
    }
    if (n > kMaxPower) n = kMaxPower + 1;
    if (n < -kMaxPower) n = -kMaxPower - 1;

    const long double p = PowerOfTen(int(n));
    if (std::isinf(p)) return value; // finer than any long double can hold
    if (p == 0) return 0;            // rounding far above the value
    const long double result = std::trunc(value * p + 0.5L) / p;
    return std::isfinite(result) ? result : value;
}

} // namespace vorda
