#pragma once
#include "maps/DMap.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/ScriptedInteraction.h"
#include "units/DisplayData.h"
#include "units/Equations.h"
#include "units/SigFigs.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace vorda::test {

// A point-decimal locale, five significant figures and a scripted user.
class ValuesTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    static void UseCommaLocale() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    static DMap Param(const QString& format, qint32 capacity, const QString& multiplier = QStringLiteral("1"),
                      const QString& rule = QString(), const QString& access = QString(),
                      const QString& ptype = QString()) {
        return test::Param(10, 10, QStringLiteral("Flow"), format, multiplier, capacity, QString(), access, rule, ptype);
    }

    // Meter in degrees Celsius, shown in degrees Fahrenheit.
    static UnitRow Fahrenheit() {
        return UnitRow{QStringLiteral("Temperature"), QStringLiteral("M*9/5+32"), QStringLiteral("D-32*5/9"),
                       QString::fromUtf8("\xC2\xB0" "F")};
    }

    ScriptedInteraction ui;
    SigFigRounder rounder{5, ui};
    EquationEvaluator eval{rounder, ui};
};

} // namespace vorda::test
