#pragma once
#include "ParameterFields.h"

namespace vorda {

// What checking one parameter's value found.
struct ParamCheck {
    bool verdict = true;
    QString reason;      // the last rule failed
    QString meterValue;  // MeterValues: the value in meter units
    QString boxText;     // the normalised display text to show in the box
    bool boxChanged = false; // boxText differs from what the box showed
    bool dataFound = false;
    EEValue registers;   // Startreg always; RegCount/Values as the rules say
};

// Checks one parameter. boxText is what its value box shows (display
// units); unit is the row of its type (null when it has none).
// Integer formats: each value (a list for Capacity above 1, split at
// ValueListSeparator()) is converted to meter units by itself; meterValue
// and boxText are the converted values joined by the separator. A value
// below zero is out of range even when the integer rounding of the
// conversion would make it 0 (its text then stays in the box as typed); a
// value whose register integer exceeds the format maximum is out of range.
// The order rule applies when every value is valid. A list with fewer
// values than Capacity is refused ("Too few values: ..."), since the missing
// ones would be written as 0. A failed integer parameter has RegCount 0 and
// no values.
// A format beginning with "Int" that is none of "Int8", "Int16" and
// "Int32" is refused whatever the value: the box keeps its text and nothing
// of it is written.
// "ASCII": a stored character outside the printable ASCII codes 32 to 126
// is refused ("Character cannot be stored in the meter: " + the character,
// or "code " + its code for one that cannot be seen).
// "Hex": Values always holds Capacity entries; RegCount is Capacity for
// a text of even length (also when it fails), else 0.
// exactMeterValue, when not null, is the exact meter value the box text
// stands for (the value was not edited since it was read or loaded): it is
// validated and encoded as it is and the box keeps its text. When a value of
// it is no number, the box text is converted as usual instead.
// A multiplier that is no number, or an equation error, throws UserError.
ParamCheck CheckParameter(const DMap& param, const QString& boxText, const UnitRow* unit,
                          const QString* exactMeterValue, const EquationEvaluator& eval,
                          const SigFigRounder& rounder);

// Refuses a value some register of which could not be read from the meter:
// what the box shows is not the meter's value, and writing it would put bytes
// nobody read or typed into the meter. Nothing of it is to be written.
void RefuseUnread(ParamCheck* check);

// "Invalid " + Format + " in " + Parameter + " : " + reason
QString InvalidMessage(const DMap& param, const QString& reason);

// The display text of a meter value: through the unit's MtoD equation for a
// typed parameter, through "M" for another integer parameter (each value of
// a list converted by itself), the text itself for "ASCII" and "Hex".
QString MeterToDisplay(const DMap& param, const QString& meterValue, const UnitRow* unit,
                       const EquationEvaluator& eval);

} // namespace vorda
