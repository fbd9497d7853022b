#include "maps/DMap.h"

namespace vorda {

int RegistersPerValue(const QString& format) {
    if (format == QLatin1String("Int16")) return 2;
    if (format == QLatin1String("Int32")) return 4;
    // "Int8", "ASCII", "Hex" and any unknown format use one register per value.
    return 1;
}

bool IsIntegerFormat(const QString& format) {
    return format.startsWith(QLatin1String("Int"));
}

} // namespace vorda
