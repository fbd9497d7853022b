#include "PortNames.h"

namespace vorda {

QString ExtComName(unsigned ComNr) {
    if (ComNr <= 9) return QStringLiteral("COM%1").arg(ComNr);
    return QStringLiteral("\\\\.\\COM%1").arg(ComNr);
}

unsigned ComNumberFromName(const QString& deviceName) {
    QStringView name(deviceName);
    if (name.startsWith(QLatin1String("\\\\.\\"))) name = name.mid(4);
    if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) return 0;
    name = name.mid(3);
    // Digits only: no sign, no blanks, no leading zero, at most ten digits.
    if (name.isEmpty() || name.size() > 10 || name.front() == u'0') return 0;
    for (QChar c : name)
        if (c < u'0' || c > u'9') return 0;
    bool ok = false;
    const qulonglong n = name.toULongLong(&ok);
    if (!ok || n > 0xFFFFFFFFull) return 0;
    return static_cast<unsigned>(n);
}

} // namespace vorda
