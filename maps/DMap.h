#pragma once
#include <QList>
#include <QString>

namespace vorda {

// One parameter definition of a map, fields in declared order.
struct DMap {
    qint32 Startreg = 0;
    qint32 EndReg = 0;
    QString Parameter;
    QString Format;
    QString Multiplier;
    qint32 Capacity = 0;
    QString Access;
    QString Sequence;
    QString Rule;
    QString PType;
    QString DescToolTip;
    QString DescAlways;
    bool operator==(const DMap&) const = default;
};

// The map editor's working record has the same fields.
using Map = DMap;

// A header row: order number text, heading text, tool-tip text.
struct MapHeader {
    QString Order;
    QString Heading;
    QString ToolTip;
    bool operator==(const MapHeader&) const = default;
};

// Registers per value of a format, the text compared exactly (letter case
// counts): "Int8" 1, "Int16" 2, "Int32" 4, "ASCII" 1, "Hex" 1. Any other text
// counts as one register per value, so that the result is never 0 and a
// parameter never takes more registers than its map gives it.
int RegistersPerValue(const QString& format);
// True for formats whose first three characters are "Int".
bool IsIntegerFormat(const QString& format);
// True for the integer formats the meter knows: "Int8", "Int16", "Int32".
bool IsKnownIntegerFormat(const QString& format);

// The meter's registers are numbered 0 to 255.
inline constexpr qint32 kLastRegister = 255;

// Why a parameter's registers cannot be used: a range outside the meter's
// registers, an end before the start, or more values (Capacity) than the
// range holds in its format. Empty when they agree. Every register a
// command sends for the parameter then lies between Startreg and EndReg.
QString RegisterRangeFault(const DMap& param);

// Reads a multiplier: a decimal number in the locale's notation or, as maps
// written elsewhere carry it, with a point. False for anything else.
bool ParseMultiplier(const QString& text, long double* value);

// Why the parameter screen cannot show the parameter: registers that do
// not divide into whole values of its format (a range too short for one
// value included), or an integer format whose multiplier is no number.
// Empty when it can.
QString ScreenFault(const DMap& param);

} // namespace vorda
