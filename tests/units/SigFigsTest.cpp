#include "units/SigFigs.h"

#include "tests/support/ScriptedInteraction.h"
#include "tests/units/LocaleGuard.h"
#include "units/NumberFormat.h"

#include <gtest/gtest.h>

#include <limits>

namespace vorda {
namespace {

using test::English;
using test::German;
using test::LocaleGuard;

struct RoundCase {
    int count;
    long double value;
    const char* expected; // general format, "." separator
};

const RoundCase kRoundCases[] = {
    {5, 6553.5L, "6553.5"},
    {5, 4294967.295L, "4295000"},
    {5, 0.012345678L, "0.012346"},
    {5, -12.345L, "-12.34"},          // the minus sign takes a figure
    {5, 12.345L, "12.345"},
    {5, 0, "0"},
    {5, 1.2345678E-12L, "1.23457E-12"}, // exponent notation keeps one figure more
    {5, 1.2345678E-6L, "1.23457E-6"},
    {5, 123456, "123460"},
    {5, 12345678, "12346000"},        // no separator: rounded by length
    {5, -1234.6L, "-1234"},           // cut toward zero after adding 0.5
    {5, 0.5L, "0.5"},
    {5, 99999.7L, "100000"},
    {5, 999999.7L, "1000000"},
    {5, 1.5e20L, "1.5E20"},
    {5, 1.2345678e20L, "1.23457E20"},
    {4, 6553.5L, "6554"},
    {4, 0.012345678L, "0.01235"},
    {4, 12345678, "12350000"},
    {4, 0, "0"},
    {4, 1.2345678E-12L, "1.2346E-12"},
};

TEST(SigFigsTest, RoundsByTheTextOfTheNumber) {
    for (const QLocale& locale : {English(), German()}) {
        LocaleGuard g(locale);
        for (const RoundCase& c : kRoundCases) {
            test::ScriptedInteraction ui;
            SigFigRounder r(c.count, ui);
            EXPECT_EQ(FormatGeneral(r.SigFigs(c.value), English()).toStdString(), c.expected)
                << double(c.value) << " with " << c.count << " figures, " << locale.name().toStdString();
            EXPECT_TRUE(ui.shown.empty());
        }
    }
}

TEST(SigFigsTest, NonFiniteValueShowsMessageAndGivesZero) {
    for (long double x : {std::numeric_limits<long double>::quiet_NaN(),
                          std::numeric_limits<long double>::infinity(),
                          -std::numeric_limits<long double>::infinity()}) {
        test::ScriptedInteraction ui;
        SigFigRounder r(5, ui);
        EXPECT_EQ(r.SigFigs(x), 0);
        EXPECT_EQ(ui.texts("message"), QStringList{QStringLiteral("Invalid floating Point Value in SigFigs")});
    }
}

TEST(SigFigsTest, ExtremeValuesStayFinite) {
    test::ScriptedInteraction ui;
    const long double extremes[] = {std::numeric_limits<long double>::max(),
                                    std::numeric_limits<long double>::denorm_min(),
                                    -std::numeric_limits<long double>::min(),
                                    std::numeric_limits<double>::max()};
    for (int count : {5, 4, 0, -3, 40, 100000, -100000}) {
        SigFigRounder r(count, ui);
        for (long double x : extremes) EXPECT_TRUE(std::isfinite(r.SigFigs(x))) << count;
    }
    EXPECT_TRUE(ui.shown.empty());
}

} // namespace
} // namespace vorda
