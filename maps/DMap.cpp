#include "maps/DMap.h"

#include "base/TextFiles.h"
#include "units/NumberFormat.h"

namespace vorda {

int RegistersPerValue(const QString& format) {
    if (format == QLatin1String("Int16")) return 2;
    if (format == QLatin1String("Int32")) return 4;
    // "Int8", "ASCII", "Hex" and any other text.
    return 1;
}

bool IsIntegerFormat(const QString& format) {
    return format.startsWith(QLatin1String("Int"));
}

bool IsKnownIntegerFormat(const QString& format) {
    return format == QLatin1String("Int8") || format == QLatin1String("Int16") ||
           format == QLatin1String("Int32");
}

QString RegisterRangeFault(const DMap& p) {
    const QString name = QStringLiteral("Parameter \"%1\"").arg(Excerpt(p.Parameter));
    if (p.Startreg < 0 || p.Startreg > kLastRegister || p.EndReg < 0 || p.EndReg > kLastRegister)
        return name + QStringLiteral(" uses registers %1 to %2; the meter has registers 0 to %3")
                          .arg(p.Startreg).arg(p.EndReg).arg(kLastRegister);
    if (p.EndReg < p.Startreg)
        return name + QStringLiteral(" ends at register %1, before its first register %2").arg(p.EndReg).arg(p.Startreg);
    const qint32 room = (p.EndReg - p.Startreg + 1) / RegistersPerValue(p.Format);
    if (p.Capacity < 0 || p.Capacity > room)
        return name + QStringLiteral(" holds %1 values; registers %2 to %3 hold at most %4 %5 values")
                          .arg(p.Capacity).arg(p.Startreg).arg(p.EndReg).arg(room).arg(Excerpt(p.Format));
    return QString();
}

bool ParseMultiplier(const QString& text, long double* value) {
    return ParseNumber(text, value) || ParseNumber(text, QLocale::c(), value);
}

QString ScreenFault(const DMap& p) {
    const QString name = QStringLiteral("Parameter \"%1\"").arg(Excerpt(p.Parameter));
    const qint64 registers = qint64(p.EndReg) - p.Startreg + 1;
    const int perValue = RegistersPerValue(p.Format);
    if (registers < perValue || registers % perValue != 0)
        return name + QStringLiteral(" has %1 registers (%2 to %3); %4 needs %5 registers per value")
                          .arg(registers).arg(p.Startreg).arg(p.EndReg).arg(Excerpt(p.Format)).arg(perValue);
    long double m = 0;
    if (IsIntegerFormat(p.Format) && !ParseMultiplier(p.Multiplier, &m))
        return name + QStringLiteral(": Multiplier must be decimal number, not: ") + Excerpt(p.Multiplier);
    return QString();
}

} // namespace vorda
