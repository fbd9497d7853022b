#include "units/NumberFormat.h"

#include "base/UserError.h"
#include "tests/units/LocaleGuard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vorda {
namespace {

using test::English;
using test::German;
using test::LocaleGuard;

struct FormatCase {
    long double value;
    const char* point; // with "." as separator
    const char* comma; // with "," as separator
};

const FormatCase kFormatCases[] = {
    {0.0L, "0", "0"},
    {-0.0L, "0", "0"},
    {1.0L, "1", "1"},
    {100.0L, "100", "100"},
    {-1.5L, "-1.5", "-1,5"},
    {0.1, "0.1", "0,1"},          // the double nearest 0.1, not exactly 0.1
    {0.1 + 0.2, "0.3", "0,3"},    // rounded to 15 digits first
    {1.0L / 3, "0.333333333333333", "0,333333333333333"},
    {2.0L / 3, "0.666666666666667", "0,666666666666667"},
    {1234.5L, "1234.5", "1234,5"}, // no group separator
    {6553.5L, "6553.5", "6553,5"},
    {0.000123L, "0.000123", "0,000123"},
    {0.00001L, "0.00001", "0,00001"},
    {0.0000099999L, "9.9999E-6", "9,9999E-6"},
    {0.0000099999999999999999L, "0.00001", "0,00001"}, // rounds up into fixed notation
    {1.5e-6L, "1.5E-6", "1,5E-6"},
    {-1.25e-7L, "-1.25E-7", "-1,25E-7"},
    {1e-300L, "1E-300", "1E-300"},
    {999999999999999.0L, "999999999999999", "999999999999999"},
    {99999999999999.5L, "99999999999999.5", "99999999999999,5"},
    {9999999999999999.0L, "1E16", "1E16"}, // 16 nines round to 1E16
    {1e15L, "1E15", "1E15"},
    {2e15L, "2E15", "2E15"},
    {-1.5e20L, "-1.5E20", "-1,5E20"},
    {123456789012345678.0L, "1.23456789012346E17", "1,23456789012346E17"},
    {1e300L, "1E300", "1E300"},
};

TEST(FormatGeneralTest, PointAndCommaLocales) {
    for (const FormatCase& c : kFormatCases) {
        {
            LocaleGuard g(English());
            EXPECT_EQ(FormatGeneral(c.value).toStdString(), c.point) << double(c.value);
        }
        {
            LocaleGuard g(German());
            EXPECT_EQ(FormatGeneral(c.value).toStdString(), c.comma) << double(c.value);
        }
        EXPECT_EQ(FormatGeneral(c.value, German()).toStdString(), c.comma);
    }
}

TEST(FormatGeneralTest, NonFiniteValuesGiveNoNumber) {
    long double v = 0;
    for (long double x : {std::numeric_limits<long double>::quiet_NaN(),
                          std::numeric_limits<long double>::infinity(),
                          -std::numeric_limits<long double>::infinity()})
        EXPECT_FALSE(ParseNumber(FormatGeneral(x, English()), English(), &v));
}

TEST(FormatGeneralTest, TextReadsBackAsTheRoundedValue) {
    for (const FormatCase& c : kFormatCases) {
        long double v = 0;
        ASSERT_TRUE(ParseNumber(QString::fromLatin1(c.comma), German(), &v)) << c.comma;
        const long double ref = std::stold(c.point);
        EXPECT_EQ(v, ref) << c.point;
    }
}

struct ParseCase {
    const char* text;
    bool ok;
    long double value;
};

TEST(ParseNumberTest, PointLocale) {
    const ParseCase cases[] = {
        {"1", true, 1},        {" 12.5 ", true, 12.5L}, {"-3", true, -3},       {"+4", true, 4},
        {".5", true, 0.5L},    {"5.", true, 5},         {"1E3", true, 1000},    {"1e-3", true, 0.001L},
        {"2.5E+2", true, 250}, {"-0", true, 0},         {"007", true, 7},       {"", false, 0},
        {"   ", false, 0},     {"-", false, 0},         {".", false, 0},        {"1.2.3", false, 0},
        {"1E", false, 0},      {"E3", false, 0},        {"1,5", false, 0},      {"1,000", false, 0},
        {"abc", false, 0},     {"1 2", false, 0},       {"0x10", false, 0},     {"inf", false, 0},
        {"nan", false, 0},     {"1E99999", false, 0},   {"--1", false, 0},      {"1e3.5", false, 0},
        {"\t1", false, 0},     {"1E-99999", true, 0},
    };
    for (const ParseCase& c : cases) {
        long double v = -99;
        EXPECT_EQ(ParseNumber(QString::fromLatin1(c.text), English(), &v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    long double v = 0;
    EXPECT_FALSE(ParseNumber(QString::fromUtf8("\u0661"), English(), &v)); // a non-ASCII digit
}

TEST(ParseNumberTest, CommaLocaleUsesTheDefaultLocale) {
    LocaleGuard g(German());
    long double v = 0;
    ASSERT_TRUE(ParseNumber(QStringLiteral("1,5"), &v));
    EXPECT_EQ(v, 1.5L);
    ASSERT_TRUE(ParseNumber(QStringLiteral("-2,5e1"), &v));
    EXPECT_EQ(v, -25);
    EXPECT_FALSE(ParseNumber(QStringLiteral("1.5"), &v));
    EXPECT_FALSE(ParseNumber(QStringLiteral("1.000,5"), &v));
    EXPECT_EQ(ToFloat(QStringLiteral("2,54")), 2.54L);
}

TEST(ParseInt32Test, RangeAndGrammar) {
    const struct {
        const char* text;
        bool ok;
        int value;
    } cases[] = {
        {"123", true, 123},          {" -5 ", true, -5},       {"+7", true, 7},
        {"2147483647", true, 2147483647}, {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0},    {"-2147483649", false, 0}, {"99999999999999999999", false, 0},
        {"", false, 0},              {"-", false, 0},          {"1.0", false, 0},
        {"12a", false, 0},           {"1E3", false, 0},
    };
    for (const auto& c : cases) {
        int v = -99;
        EXPECT_EQ(ParseInt32(QString::fromLatin1(c.text), &v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(ConversionErrorTest, ThrowTheirOwnTexts) {
    LocaleGuard g(English());
    try {
        ToFloat(QStringLiteral("1,5"));
        FAIL() << "no error";
    } catch (const UserError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("'1,5' is not a valid floating point value"));
    }
    try {
        ToInt(QStringLiteral("x1"));
        FAIL() << "no error";
    } catch (const UserError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("'x1' is not a valid integer value"));
    }
    EXPECT_EQ(ToInt(QStringLiteral("-42")), -42);
}

} // namespace
} // namespace vorda
