#pragma once
#include "maps/DMap.h"

namespace vorda::test {

// One parameter definition, the fields most tests care about first.
inline DMap Param(qint32 start, qint32 end, const QString& name, const QString& format, const QString& multiplier,
                  qint32 capacity, const QString& sequence, const QString& access = {}, const QString& rule = {},
                  const QString& ptype = {}, const QString& toolTip = {}, const QString& always = {}) {
    DMap p;
    p.Startreg = start;
    p.EndReg = end;
    p.Parameter = name;
    p.Format = format;
    p.Multiplier = multiplier;
    p.Capacity = capacity;
    p.Access = access;
    p.Sequence = sequence;
    p.Rule = rule;
    p.PType = ptype;
    p.DescToolTip = toolTip;
    p.DescAlways = always;
    return p;
}

} // namespace vorda::test
