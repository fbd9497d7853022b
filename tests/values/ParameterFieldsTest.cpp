#include "values/ParameterFields.h"

#include "base/UserError.h"
#include "tests/values/ValuesFixture.h"

namespace vorda::test {
namespace {

using ParameterFieldsTest = ValuesTest;

struct AttrCase {
    const char* format;
    qint32 capacity;
    const char* multiplier;
    const char* access;
    const char* rule;
    const char* attributes;
    double low, high;
};

TEST_F(ParameterFieldsTest, AttributeLinesAndRanges) {
    const AttrCase cases[] = {
        {"Int16", 1, "0.01", "R", "", "1 decimal value 0 - 655.35 - [User Read-only]", 0, 655.35},
        {"Int8", 3, "1", "", "A", "3 integer values 0 - 255 (comma separated) - [Values Ascending]", 0, 255},
        {"Hex", 4, "1", "", "", "4 Hex values  (two characters for each value) ", 0, 0},
        {"ASCII", 16, "1", "C", "", "16 ASCII values  - [ZUV only]", 0, 0},
        {"Int16", 1, "0.1", "", "", "1 decimal value 0 - 6553.5", 0, 6553.5},
        {"Int32", 1, "0.001", "", "", "1 decimal value 0 - 4295000", 0, 4295000},
        {"Int8", 1, "0.3", "", "", "1 decimal value 0 - 76.5", 0, 76.5},
        {"Int16", 1, "10", "", "", "1 integer value 0 - 655350", 0, 655350},
        {"Int16", 1, "1", "", "", "1 integer value 0 - 65535", 0, 65535},
        {"Int32", 1, "1", "", "", "1 integer value 0 - 4294967295", 0, 4294967295.0},
        {"Int8", 1, "0.5", "", "", "1 decimal value 0 - 127.5", 0, 127.5},
        {"Int8", 2, "1", "R", "D", "2 integer values 0 - 255 (comma separated) - [User Read-only] - [Values Descending]",
         0, 255},
        // Other access and rule texts add nothing; the multiplier of a text
        // format is never read.
        {"Int8", 1, "1", "W", "X", "1 integer value 0 - 255", 0, 0},
        {"ASCII", 1, "not a number", "", "", "1 ASCII value ", 0, 0},
        {"Float", 2, "", "", "", "2 Float values ", 0, 0},
    };
    for (const AttrCase& c : cases) {
        SCOPED_TRACE(c.attributes);
        const DMap p = Param(c.format, c.capacity, c.multiplier, c.rule, c.access);
        const FieldDesignResult r = DeriveFieldDesign(p, {}, eval, rounder);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.design.attributes, QString::fromUtf8(c.attributes));
        const bool integer = QString::fromLatin1(c.format).startsWith(QLatin1String("Int"));
        EXPECT_EQ(r.design.hasRange, integer);
        if (integer && c.high != 0) {
            EXPECT_DOUBLE_EQ(r.design.low, c.low);
            EXPECT_DOUBLE_EQ(r.design.high, c.high);
        }
    }
    EXPECT_TRUE(ui.texts().isEmpty());
}

TEST_F(ParameterFieldsTest, BoxSizesByFormat) {
    struct Case {
        const char* format;
        qint32 capacity;
        int width, maxLength;
    } const cases[] = {
        {"ASCII", 16, 328, 16}, {"Hex", 4, 168, 8},  {"Int8", 3, 248, 0},
        {"Int16", 1, 128, 0},   {"Int32", 2, 488, 0}, {"Float", 3, 68, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const FieldDesignResult r = DeriveFieldDesign(Param(c.format, c.capacity), {}, eval, rounder);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.design.boxWidth, c.width);
        EXPECT_EQ(r.design.maxLength, c.maxLength);
    }
}

TEST_F(ParameterFieldsTest, CaptionAndHint) {
    DMap p = Param("Int16", 1);
    p.Parameter = QStringLiteral("Span");
    FieldDesignResult r = DeriveFieldDesign(p, {Fahrenheit()}, eval, rounder);
    EXPECT_EQ(r.design.caption, QStringLiteral("Span"));
    EXPECT_EQ(r.design.hint, QStringLiteral("[No description]"));

    p.PType = QStringLiteral("Temperature");
    p.DescToolTip = QStringLiteral("Upper alarm");
    const UnitRow other{QStringLiteral("Flow"), QStringLiteral("M"), QStringLiteral("D"), QStringLiteral("l/s")};
    r = DeriveFieldDesign(p, {other, Fahrenheit()}, eval, rounder);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.design.caption, QString::fromUtf8("Span [Temperature in \xC2\xB0" "F]"));
    EXPECT_EQ(r.design.hint, QStringLiteral("Upper alarm"));
}

TEST_F(ParameterFieldsTest, RangeInDisplayUnit) {
    // 65535 C is 117995 F, rounded to five figures by the evaluator.
    DMap p = Param("Int16", 1, "1", "", "", "Temperature");
    FieldDesignResult r = DeriveFieldDesign(p, {Fahrenheit()}, eval, rounder);
    ASSERT_TRUE(r.ok);
    EXPECT_DOUBLE_EQ(r.design.low, 32);
    EXPECT_DOUBLE_EQ(r.design.high, 118000);
    EXPECT_EQ(r.design.attributes, QStringLiteral("1 integer value 32 - 118000"));

    // m 0.1: 6553.5 C is 11828.3 F, rounded again to 11828.
    p.Multiplier = QStringLiteral("0.1");
    r = DeriveFieldDesign(p, {Fahrenheit()}, eval, rounder);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.design.attributes, QStringLiteral("1 decimal value 32 - 11828"));
}

TEST_F(ParameterFieldsTest, UnknownTypeStops) {
    DMap p = Param("Int8", 1, "1", "", "", "temperature"); // types are compared exactly
    p.Parameter = QStringLiteral("Alarm");
    const FieldDesignResult r = DeriveFieldDesign(p, {Fahrenheit()}, eval, rounder);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.stopMessage,
              QStringLiteral("Invalid Parameter Type: temperature for Parameter: Alarm. Please correct before proceeding"));

    // The type is looked up before the format is judged.
    p.Format = QStringLiteral("Int64");
    EXPECT_TRUE(DeriveFieldDesign(p, {}, eval, rounder).stopMessage.startsWith(QLatin1String("Invalid Parameter Type: ")));

    // An empty type needs no unit row.
    p.PType.clear();
    p.Format = QStringLiteral("Int8");
    EXPECT_TRUE(DeriveFieldDesign(p, {}, eval, rounder).ok);
}

TEST_F(ParameterFieldsTest, BadIntegerFormatStops) {
    for (const char* format : {"Int64", "Int", "Int8 "}) {
        const FieldDesignResult r = DeriveFieldDesign(Param(format, 1), {}, eval, rounder);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.stopMessage, QStringLiteral("Format error in SetDataRanges: ") + QString::fromLatin1(format));
    }
}

TEST_F(ParameterFieldsTest, MultiplierThatIsNoNumberEndsTheCommand) {
    try {
        DeriveFieldDesign(Param("Int16", 1, "x1"), {}, eval, rounder);
        FAIL() << "no error";
    } catch (const UserError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("'x1' is not a valid floating point value"));
    }
    EXPECT_THROW(DecodeRegisters(Param("Int8", 1, ""), {1}), UserError);
}

TEST_F(ParameterFieldsTest, CommaLocaleUsesSemicolonLists) {
    UseCommaLocale();
    EXPECT_EQ(ValueListSeparator(), QStringLiteral(";"));
    const FieldDesignResult r = DeriveFieldDesign(Param("Int16", 3, "0,1"), {}, eval, rounder);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.design.attributes, QStringLiteral("3 decimal values 0 - 6553,5 (semicolon separated)"));
}

struct DecodeCase {
    const char* format;
    qint32 capacity;
    const char* multiplier;
    QVector<int> bytes;
    const char* text;
};

TEST_F(ParameterFieldsTest, Decoding) {
    const DecodeCase cases[] = {
        {"Int16", 1, "1", {0x12, 0x34}, "4660"},
        {"Int32", 1, "1", {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295"},
        {"Int32", 1, "1", {0x00, 0x01, 0xE2, 0x40}, "123456"},
        {"Int32", 1, "0.001", {0xFF, 0xFF, 0xFF, 0xFF}, "4294967.295"},
        {"Int16", 1, "0.1", {0x01, 0x2C}, "30"},
        {"Int8", 1, "0.5", {3}, "1.5"},
        {"Int8", 3, "1", {1, 2, 3}, "1,2,3"},
        {"Int16", 2, "1", {0, 1, 1, 0}, "1,256"},
        // A trailing group too short for a value gives nothing.
        {"Int16", 1, "1", {0x12, 0x34, 0x56}, "4660"},
        {"Int32", 1, "1", {1, 2, 3}, ""},
        {"Int8", 1, "1", {}, ""},
        {"ASCII", 3, "", {0x41, 0x00, 0x42}, "AB"},
        {"ASCII", 5, "", {31, 0x41, 127, 0xE9, 0x7E}, "A~"},
        {"ASCII", 3, "", {0x41, 0x42, ','}, "AB,"},
        // A register whose read failed (negative) adds nothing, nor does the
        // value it belongs to.
        {"Int16", 2, "1", {0x12, -1, 0x00, 0x05}, "5"},
        {"Hex", 2, "", {-1, 0xFF}, "FF"},
        {"ASCII", 2, "", {0x41, -1}, "A"},
        {"Hex", 2, "", {0x0A, 0xFF}, "0AFF"},
        {"Hex", 1, "", {0x00}, "00"},
        {"Float", 1, "", {1, 2}, ""},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " -> " + c.text);
        EXPECT_EQ(DecodeRegisters(Param(c.format, c.capacity, c.multiplier), c.bytes), QString::fromLatin1(c.text));
    }
}

TEST_F(ParameterFieldsTest, DecodingListInCommaLocale) {
    UseCommaLocale();
    EXPECT_EQ(DecodeRegisters(Param("Int8", 2, "0,5"), {3, 5}), QStringLiteral("1,5;2,5"));
}

TEST_F(ParameterFieldsTest, EncodingIntegers) {
    struct Case {
        const char* format;
        qint32 capacity;
        QVector<quint32> integers;
        QVector<qint32> values;
    } const cases[] = {
        {"Int16", 1, {4660}, {0x12, 0x34}},
        {"Int8", 3, {7, 9}, {7, 9, 0}},
        {"Int32", 1, {0x01020304}, {1, 2, 3, 4}},
        {"Int32", 2, {4294967295u}, {255, 255, 255, 255, 0, 0, 0, 0}},
        // A format outside the table takes one register per value, as its
        // map counts it: no register beyond the parameter's own.
        {"Int64", 1, {0x01020304}, {4}},
        {"Int8", 2, {1, 2, 3}, {1, 2}},
        {"Int16", 2, {}, {0, 0, 0, 0}},
        {"Int8", 0, {5}, {}},
        // Out of the format's range: no register above 255, the neighbour untouched.
        {"Int16", 2, {70000, 5}, {0x11, 0x70, 0, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const EEValue e = EncodeIntegers(Param(c.format, c.capacity), c.integers);
        EXPECT_EQ(e.Startreg, 10);
        EXPECT_EQ(e.RegCount, c.values.size());
        EXPECT_EQ(e.Values, c.values);
    }
}

TEST_F(ParameterFieldsTest, EncodingAscii) {
    struct Case {
        qint32 capacity;
        QString text;
        QVector<qint32> values;
    } const cases[] = {
        {4, QStringLiteral("AB"), {0x41, 0x42, 0, 0}},
        {3, QStringLiteral("ABCDE"), {0x41, 0x42, 0x43}},
        {2, QString(), {0, 0}},
        {2, QString::fromUtf8("\xC3\xA9\xE2\x82\xAC"), {0xE9, 0x80}}, // e acute, euro sign
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const EEValue e = EncodeAscii(Param("ASCII", c.capacity), c.text);
        EXPECT_EQ(e.Startreg, 10);
        EXPECT_EQ(e.RegCount, c.capacity);
        EXPECT_EQ(e.Values, c.values);
    }
}

TEST_F(ParameterFieldsTest, SplittingValues) {
    EXPECT_EQ(SplitValues(Param("Int8", 3), QStringLiteral("1,,3")), (QStringList{"1", "", "3"}));
    EXPECT_EQ(SplitValues(Param("Int8", 1), QStringLiteral("1,2")), QStringList{"1,2"});
    EXPECT_EQ(SplitValues(Param("ASCII", 4), QStringLiteral("a,b")), QStringList{"a,b"});
    EXPECT_EQ(FormatMaximum(QStringLiteral("Int8")), 255.0);
    EXPECT_EQ(FormatMaximum(QStringLiteral("Int16")), 65535.0);
    EXPECT_EQ(FormatMaximum(QStringLiteral("Int24")), 4294967295.0);
}

} // namespace
} // namespace vorda::test
