#include "units/Equations.h"

#include "base/UserError.h"
#include "tests/support/ScriptedInteraction.h"
#include "tests/units/LocaleGuard.h"
#include "units/NumberFormat.h"
#include "units/SigFigs.h"

#include <gtest/gtest.h>

#include <cfloat>

namespace vorda {
namespace {

using test::English;
using test::German;
using test::LocaleGuard;

class EquationsTest : public ::testing::Test {
protected:
    LocaleGuard locale_{English()};
    test::ScriptedInteraction ui_;
    SigFigRounder rounder_{5, ui_};
    EquationEvaluator eval_{rounder_, ui_};

    // The error text a conversion throws, or "" when it throws none.
    QString ThrownBy(double value, const char* equation) {
        try {
            eval_.ParseMtoD(value, QString::fromLatin1(equation));
        } catch (const UserError& e) {
            return e.text();
        }
        return QString();
    }
};

TEST_F(EquationsTest, EvaluatesLeftToRightWithRounding) {
    const struct {
        double value;
        const char* equation;
        const char* result;
    } cases[] = {
        {100, "M*9/5+32", "212"},
        {212, "D - 32 * 5 / 9", "100"},
        {1.234567, "m*2.54", "3.1359"},   // input rounded to 1.2346 first
        {1.234567, "M", "1.2346"},
        {1.234567, "D", "1.2346"},
        {1.234567, "  m  ", "1.2346"},
        {1.234567, "M*1", "1.2346"},
        {1, "M/3", "0.33333"},            // result rounded
        {10, "M+1-2*3/4", "6.75"},        // no precedence
        {3, "M*1E3", "3000"},
        {3, "m*1e3", "3000"},
        {2, "M*.5", "1"},
        {2, "M+2.", "4"},
        {5, "M*0", "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatGeneral(eval_.ParseMtoD(c.value, QString::fromLatin1(c.equation))).toStdString(), c.result)
            << c.equation;
    }
    EXPECT_TRUE(ui_.shown.empty());
}

TEST_F(EquationsTest, FormatErrorsShowMessageAndGiveZero) {
    const struct {
        const char* equation;
        const char* message;
    } cases[] = {
        {"M2", "Equation format wrong: 2"},
        {"m 2*3", "Equation format wrong: 2*3"},
        {"", "Error in conversion equation:  first character must be M or D"},
        {"   ", "Error in conversion equation:  first character must be M or D"},
        {"x*2", "Error in conversion equation: X*2 first character must be M or D"},
        {"*M", "Error in conversion equation: *M first character must be M or D"},
    };
    for (const auto& c : cases) {
        ui_.clear();
        EXPECT_EQ(eval_.ParseMtoD(7, QString::fromLatin1(c.equation)), 0) << c.equation;
        EXPECT_EQ(ui_.texts("message"), QStringList{QString::fromLatin1(c.message)});
    }
}

TEST_F(EquationsTest, AHugeEquationIsQuotedAsAnExcerpt) {
    const QString tail(1024 * 1024, QLatin1Char('2'));
    const QString excerpt = QString(60, QLatin1Char('2')) + QChar(0x2026);
    eval_.ParseMtoD(7, QStringLiteral("M") + tail);
    eval_.ParseMtoD(7, QStringLiteral("X") + tail);
    EXPECT_EQ(ui_.texts("message"),
              (QStringList{QStringLiteral("Equation format wrong: ") + excerpt,
                           QStringLiteral("Error in conversion equation: X") + excerpt.mid(1) +
                               QStringLiteral(" first character must be M or D")}));
    // A number that cannot be read is quoted alike.
    EXPECT_EQ(ThrownBy(7, qPrintable(QStringLiteral("M*") + QString(100, QLatin1Char('x')))),
              QLatin1Char('\'') + QString(60, QLatin1Char('X')) + QChar(0x2026) +
                  QStringLiteral("' is not a valid floating point value"));
}

TEST_F(EquationsTest, BadNumbersAndDivisionThrow) {
    EXPECT_EQ(ThrownBy(5, "M*"), "'' is not a valid floating point value");
    EXPECT_EQ(ThrownBy(5, "M*-2"), "'' is not a valid floating point value");
    EXPECT_EQ(ThrownBy(5, "M*1E-3"), "'1E' is not a valid floating point value");
    EXPECT_EQ(ThrownBy(5, "M*2..5"), "'2..5' is not a valid floating point value");
    EXPECT_EQ(ThrownBy(5, "M+1,5"), "'1,5' is not a valid floating point value");
    EXPECT_EQ(ThrownBy(5, "M/0"), "Floating point division by zero");
    EXPECT_EQ(ThrownBy(5, "M/0.0+1"), "Floating point division by zero");
    EXPECT_EQ(ThrownBy(0, "M/0"), "Invalid floating point operation");
    EXPECT_EQ(ThrownBy(5, "M-5/0"), "Invalid floating point operation");
    EXPECT_TRUE(ui_.shown.empty());
}

TEST_F(EquationsTest, OverflowEndsInRoundingMessage) {
    EXPECT_EQ(eval_.ParseMtoD(1e300, QStringLiteral("M*1E300")), 0);
    EXPECT_EQ(ui_.texts("message"), QStringList{QStringLiteral("Invalid floating Point Value in SigFigs")});
    ui_.clear();
    // Rounding the largest double up (to 1.798E308) stays the largest double.
    SigFigRounder four(4, ui_);
    EXPECT_EQ(EquationEvaluator(four, ui_).ParseMtoD(DBL_MAX, QStringLiteral("M")), DBL_MAX);
    EXPECT_TRUE(ui_.shown.empty());
}

TEST_F(EquationsTest, CommaLocale) {
    LocaleGuard g(German());
    EXPECT_EQ(ThrownBy(1.234567, "M*2.54"), "'2.54' is not a valid floating point value");
    EXPECT_EQ(FormatGeneral(eval_.ParseMtoD(1.234567, QStringLiteral("M*2,54"))), QStringLiteral("3,1359"));
    EXPECT_EQ(eval_.ParseMultiple(QStringLiteral("12,5"), QStringLiteral("M*2"), false), QStringLiteral("25"));
    EXPECT_EQ(eval_.ParseMultiple(QStringLiteral("1,5"), QStringLiteral("M/4"), false), QStringLiteral("0,375"));
    EXPECT_EQ(eval_.ParseMultiple(QStringLiteral("1.5"), QStringLiteral("M"), false), QStringLiteral("error"));
}

TEST_F(EquationsTest, ParseMultiple) {
    const struct {
        const char* text;
        const char* equation;
        bool returnInt;
        const char* result;
    } cases[] = {
        {"12.5", "M*2", false, "25"},
        {"", "M", false, "error"},
        {"abc", "M", true, "error"},
        {"1E400", "M", false, "error"},
        {"-2.7", "M", true, "-2"},
        {"2.5", "M", true, "3"},
        {"2.4", "M", true, "2"},
        {"-0.2", "M", true, "0"},
        {"123456", "M", true, "123460"},
        {"123456", "M", false, "123460"},
        {"1E300", "M", true, "9223372036854775807"},
        {"-1E300", "M", true, "-9223372036854775808"},
        {"4294967295", "M", true, "4295000000"},
        {"100", "M*9/5+32", false, "212"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(eval_.ParseMultiple(QString::fromLatin1(c.text), QString::fromLatin1(c.equation), c.returnInt)
                      .toStdString(),
                  c.result)
            << c.text << " " << c.equation;
    }
    EXPECT_TRUE(ui_.shown.empty());
    EXPECT_EQ(eval_.ParseMultiple(QStringLiteral("5"), QStringLiteral("M2"), false), QStringLiteral("0"));
    EXPECT_EQ(ui_.texts("message"), QStringList{QStringLiteral("Equation format wrong: 2")});
}

TEST(EquationSymbolsTest, PositionAndKind) {
    const struct {
        const char* text;
        int pos;
        int symbol;
    } cases[] = {
        {"", 0, 5},        {"123", 0, 5},    {"+", 1, 1},     {"-", 1, 2},  {"*", 1, 3},
        {"/", 1, 4},       {"12/3", 3, 5},   {"2.5*3-1", 4, 5}, {"E3+1", 3, 5}, {"M", 0, 5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EquationEvaluator::SymbolPos(QString::fromLatin1(c.text)), c.pos) << c.text;
        EXPECT_EQ(EquationEvaluator::NextSymbol(QString::fromLatin1(c.text)), c.symbol) << c.text;
    }
}

} // namespace
} // namespace vorda
