#pragma once
// One parameter of the loaded map as the program knows it: its definition,
// its field, the text shown for it, the values behind that text and where
// they came from.
#include "maps/DMap.h"
#include "values/ParameterFields.h"

#include <QString>
#include <QVector>

namespace vorda {

// Where a parameter's value came from, and how sure the program is that the
// meter holds it.
enum class ValueOrigin {
    None,          // no value
    Read,          // read from the meter, every register
    ReadFailed,    // a register of it could not be read: not the meter's value
    Typed,         // typed by the user since it was read or loaded
    Loaded,        // loaded from a data file
    Written,       // written, every register echoed by the meter
    Verified,      // written or compared, and read back holding the value
};

struct ParameterRow {
    DMap param;
    FieldDesign design;
    // The text of its box.
    QString shown;
    // The meter value (meter units) the last read, load or check gave.
    QString meterValue;
    // The value the last check accepted.
    QString accepted;
    // Its registers as the last check encoded them.
    EEValue registers;
    // The text put into the box with an exact meter value behind it (read or
    // loaded, or accepted by a check), that value and its registers; empty
    // when none. While `shown` equals `exactShown` the value is unedited.
    QString exactShown;
    QString exactValue;
    QVector<int> exactRegisters;
    ValueOrigin origin = ValueOrigin::None;
    // The text the meter's value shows as, from the last read or write that
    // reached it whole, and the text of the data file's value last loaded;
    // each counts only while known.
    QString meterText;
    bool meterKnown = false;
    QString fileText;
    bool fileKnown = false;

    bool Unread() const { return origin == ValueOrigin::ReadFailed; }
    bool HasExact() const { return !exactShown.isEmpty() || !exactRegisters.isEmpty(); }
    bool Unedited() const { return HasExact() && shown == exactShown; }
    // The mA output offset, which the offset calculation panel serves: the
    // map marks it by the hint "Calculation 1".
    bool IsMaOffset() const { return param.DescToolTip == QLatin1String("Calculation 1"); }
    // The text differs from what the meter holds or from the file loaded;
    // an empty box holds nothing to differ.
    bool Changed() const {
        return !shown.isEmpty() && ((meterKnown && shown != meterText) || (fileKnown && shown != fileText));
    }
    // Forgets its value and the file's, not what the meter holds; the
    // definition, field and start register stay.
    void ClearValue();
};

} // namespace vorda
