#include "values/DataCheck.h"

#include "base/UserError.h"
#include "meter/SimMeter.h"
#include "tests/values/ValuesFixture.h"

namespace vorda::test {
namespace {

using DataCheckTest = ValuesTest;

struct CheckCase {
    const char* format;
    qint32 capacity;
    const char* multiplier;
    const char* rule;
    QString box;
    bool verdict;
    QString reason;     // empty when it passes
    QString meterValue;
    QString boxText;
    qint32 regCount;
    QVector<qint32> values;
    bool dataFound;
};

void Expect(const CheckCase& c, const ParamCheck& r) {
    EXPECT_EQ(r.verdict, c.verdict);
    EXPECT_EQ(r.reason, c.reason);
    EXPECT_EQ(r.meterValue, c.meterValue);
    EXPECT_EQ(r.boxText, c.boxText);
    EXPECT_EQ(r.boxChanged, c.boxText != c.box);
    EXPECT_EQ(r.registers.Startreg, 10);
    EXPECT_EQ(r.registers.RegCount, c.regCount);
    EXPECT_EQ(r.registers.Values, c.values);
    EXPECT_EQ(r.dataFound, c.dataFound);
}

const QString kRange = QStringLiteral("Value out of range");
const QString kNaN = QStringLiteral("Not a valid number");
const QString kMany = QStringLiteral("Too many values");
const QString kAsc = QStringLiteral("Values must be Ascending");
const QString kDesc = QStringLiteral("Values must be Descending");
const QString kOdd = QStringLiteral("Wrong number of digits - must be multiple of two");
const QString kHexChar = QStringLiteral("Invalid character");

TEST_F(DataCheckTest, SingleIntegerValues) {
    const CheckCase cases[] = {
        {"Int8", 1, "1", "", "255", true, "", "255", "255", 1, {255}, true},
        {"Int8", 1, "1", "", "256", false, kRange, "256", "256", 0, {}, true},
        // -1 rounds half up to 0 in the integer conversion; it is refused all
        // the same and stays in the box as typed.
        {"Int8", 1, "1", "", "-1", false, kRange, "0", "-1", 0, {}, true},
        {"Int8", 1, "1", "", "-0.4", false, kRange, "0", "-0.4", 0, {}, true},
        {"Int8", 1, "1", "", "-2", false, kRange, "-1", "-2", 0, {}, true},
        {"Int8", 1, "1", "", "1.5", true, "", "2", "2", 1, {2}, true},
        {"Int8", 1, "1", "", "1.4", true, "", "1", "1", 1, {1}, true},
        {"Int8", 1, "1", "", "0.4", true, "", "0", "0", 1, {0}, true},
        {"Int8", 1, "1", "", "", false, kNaN, "error", "error", 0, {}, true},
        {"Int8", 1, "1", "", "12a", false, kNaN, "error", "error", 0, {}, true},
        // A single value is the whole text, separators included.
        {"Int8", 1, "1", "", "1,2", false, kNaN, "error", "error", 0, {}, true},
        {"Int16", 1, "0.1", "", "6553.5", true, "", "6553.5", "6553.5", 2, {255, 255}, true},
        {"Int16", 1, "0.1", "", "6553.6", false, kRange, "6553.6", "6553.6", 0, {}, true},
        {"Int16", 1, "0.1", "", "12.34", true, "", "12.34", "12.34", 2, {0, 123}, true},
        {"Int16", 1, "0.1", "", "1.50", true, "", "1.5", "1.5", 2, {0, 15}, true},
        {"Int16", 1, "0.5", "", "0.25", true, "", "0.25", "0.25", 2, {0, 1}, true},
        {"Int16", 1, "0.5", "", "0.2", true, "", "0.2", "0.2", 2, {0, 0}, true},
        {"Int16", 1, "1", "", "4660", true, "", "4660", "4660", 2, {0x12, 0x34}, true},
        // The five-figure rounding of a typed value lifts the maximum above it.
        {"Int32", 1, "1", "", "4294967295", false, kRange, "4295000000", "4295000000", 0, {}, true},
        // Between m times the format maximum and the rounded limit 4295000.
        {"Int32", 1, "0.001", "", "4294967.5", false, kRange, "4295000", "4295000", 0, {}, true},
        {"Int32", 1, "0.001", "", "4295000", false, kRange, "4295000", "4295000", 0, {}, true},
        {"Int32", 1, "0.001", "", "4294.9", true, "", "4294.9", "4294.9", 4, {0, 0x41, 0x88, 0xF4}, true},
        {"Int32", 1, "1", "", "123456", true, "", "123460", "123460", 4, {0, 1, 0xE2, 0x44}, true},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " m " + c.multiplier + " box '" + c.box.toStdString() + "'");
        Expect(c, CheckParameter(Param(c.format, c.capacity, c.multiplier, c.rule), c.box, nullptr, nullptr, eval,
                                 rounder));
    }
    EXPECT_TRUE(ui.texts().isEmpty());
}

TEST_F(DataCheckTest, IntegerLists) {
    const CheckCase cases[] = {
        {"Int8", 3, "1", "A", "1,2,3", true, "", "1,2,3", "1,2,3", 3, {1, 2, 3}, true},
        {"Int8", 3, "1", "A", "1,1,2", true, "", "1,1,2", "1,1,2", 3, {1, 1, 2}, true},
        {"Int8", 3, "1", "A", "1,3,2", false, kAsc, "1,3,2", "1,3,2", 0, {}, true},
        {"Int8", 3, "1", "D", "3,2,2", true, "", "3,2,2", "3,2,2", 3, {3, 2, 2}, true},
        {"Int8", 3, "1", "D", "3,2,5", false, kDesc, "3,2,5", "3,2,5", 0, {}, true},
        {"Int8", 3, "1", "", "3,2,5", true, "", "3,2,5", "3,2,5", 3, {3, 2, 5}, true},
        // The order is judged on the register integers: 1.4 and 1 are equal.
        {"Int8", 2, "1", "A", "1.4,1", true, "", "1,1", "1,1", 2, {1, 1}, true},
        // A missing value would be written as 0: the count must be whole.
        {"Int8", 3, "1", "", "7,9", false, "Too few values: it takes 3 values, 2 given", "7,9", "7,9", 0, {}, true},
        {"Int8", 3, "1", "", "10", false, "Too few values: it takes 3 values, 1 given", "10", "10", 0, {}, true},
        {"Int8", 3, "1", "", " 1, 2.6 ,3", true, "", "1,3,3", "1,3,3", 3, {1, 3, 3}, true},
        {"Int8", 3, "1", "", "1,2,3,4", false, kMany, "1,2,3,4", "1,2,3,4", 0, {}, true},
        {"Int8", 3, "1", "", "1,,3", false, kNaN, "1,error,3", "1,error,3", 0, {}, true},
        {"Int8", 3, "1", "", "1,2,", false, kNaN, "1,2,error", "1,2,error", 0, {}, true},
        // A refused value is reported, not an order made up from it.
        {"Int8", 3, "1", "A", "5,x,6", false, kNaN, "5,error,6", "5,error,6", 0, {}, true},
        {"Int8", 3, "1", "A", "5,300,6", false, kRange, "5,300,6", "5,300,6", 0, {}, true},
        // Reasons replace each other: the last rule failed is named.
        {"Int8", 3, "1", "", "300,1,2,3", false, kMany, "300,1,2,3", "300,1,2,3", 0, {}, true},
        {"Int8", 3, "1", "A", "1,2,3,0", false, kAsc, "1,2,3,0", "1,2,3,0", 0, {}, true},
        {"Int16", 2, "0.1", "A", "1.5,2.3", true, "", "1.5,2.3", "1.5,2.3", 4, {0, 15, 0, 23}, true},
        {"Int32", 2, "1", "", "1,256", true, "", "1,256", "1,256", 8, {0, 0, 0, 1, 0, 0, 1, 0}, true},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " rule " + c.rule + " box '" + c.box.toStdString() + "'");
        Expect(c, CheckParameter(Param(c.format, c.capacity, c.multiplier, c.rule), c.box, nullptr, nullptr, eval,
                                 rounder));
    }
}

TEST_F(DataCheckTest, TextFormats) {
    const CheckCase cases[] = {
        {"Hex", 2, "", "", "0aFF", true, "", "0aFF", "0aFF", 2, {0x0A, 0xFF}, true},
        {"Hex", 2, "", "", "01", true, "", "01", "01", 2, {0x01, 0}, true},
        {"Hex", 2, "", "", "", true, "", "", "", 0, {0, 0}, false},
        {"Hex", 2, "", "", "ABC", false, kOdd, "ABC", "ABC", 0, {0, 0}, true},
        {"Hex", 2, "", "", "0G12", false, kHexChar, "0G12", "0G12", 2, {0, 0x12}, true},
        {"Hex", 2, "", "", "+1 2", false, kHexChar, "+1 2", "+1 2", 2, {0, 0}, true},
        {"Hex", 2, "", "", "010203", false, kMany, "010203", "010203", 2, {1, 2}, true},
        {"Hex", 2, "", "", "0102GG", false, kMany, "0102GG", "0102GG", 2, {1, 2}, true},
        {"ASCII", 4, "", "", "AB", true, "", "AB", "AB", 4, {0x41, 0x42, 0, 0}, true},
        {"ASCII", 4, "", "", "", true, "", "", "", 4, {0, 0, 0, 0}, true},
        {"ASCII", 3, "", "", "ABCDE", true, "", "ABCDE", "ABCDE", 3, {0x41, 0x42, 0x43}, true},
        // Only printable ASCII reads back as it was written.
        {"ASCII", 2, "", "", QString::fromUtf8("A\xE2\x82\xAC"), false,
         QString::fromUtf8("Character cannot be stored in the meter: \xE2\x82\xAC"), QString::fromUtf8("A\xE2\x82\xAC"),
         QString::fromUtf8("A\xE2\x82\xAC"), 0, {}, true},
        {"ASCII", 3, "", "", "A\tB", false, "Character cannot be stored in the meter: code 9", "A\tB", "A\tB", 0, {}, true},
        {"ASCII", 3, "", "", "A~ ", true, "", "A~ ", "A~ ", 3, {0x41, 0x7E, 0x20}, true},
        {"ASCII", 3, "", "", QString::fromUtf8("A\xE2\x9C\x93"), false,
         QString::fromUtf8("Character cannot be stored in the meter: \xE2\x9C\x93"), QString::fromUtf8("A\xE2\x9C\x93"),
         QString::fromUtf8("A\xE2\x9C\x93"), 0, {}, true},
        {"ASCII", 3, "", "", QString::fromUtf8("A\xF0\x9F\x98\x80"), false,
         QString::fromUtf8("Character cannot be stored in the meter: \xF0\x9F\x98\x80"),
         QString::fromUtf8("A\xF0\x9F\x98\x80"), QString::fromUtf8("A\xF0\x9F\x98\x80"), 0, {}, true},
        // Characters beyond Capacity are not stored, so not judged either.
        {"ASCII", 2, "", "", QString::fromUtf8("AB\xE2\x9C\x93"), true, "", QString::fromUtf8("AB\xE2\x9C\x93"),
         QString::fromUtf8("AB\xE2\x9C\x93"), 2, {0x41, 0x42}, true},
        // Another format passes with no registers and finds no data.
        {"Float", 2, "", "", "1.5", true, "", "1.5", "1.5", 0, {}, false},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " box '" + c.box.toStdString() + "'");
        Expect(c, CheckParameter(Param(c.format, c.capacity, "not read"), c.box, nullptr, nullptr, eval, rounder));
    }
}

TEST_F(DataCheckTest, DisplayUnitConversion) {
    const UnitRow f = Fahrenheit();
    DMap p = Param("Int16", 1, "1", "", "", "Temperature");
    ParamCheck r = CheckParameter(p, QStringLiteral("212"), &f, nullptr, eval, rounder);
    EXPECT_TRUE(r.verdict);
    EXPECT_EQ(r.meterValue, QStringLiteral("100"));
    EXPECT_EQ(r.boxText, QStringLiteral("212"));
    EXPECT_EQ(r.registers.Values, (QVector<qint32>{0, 100}));

    // 20 F is below 0 C.
    r = CheckParameter(p, QStringLiteral("20"), &f, nullptr, eval, rounder);
    EXPECT_FALSE(r.verdict);
    EXPECT_EQ(r.reason, kRange);

    // With a decimal multiplier the display value keeps its decimals.
    p.Multiplier = QStringLiteral("0.1");
    r = CheckParameter(p, QStringLiteral("70.7"), &f, nullptr, eval, rounder);
    EXPECT_TRUE(r.verdict);
    EXPECT_EQ(r.meterValue, QStringLiteral("21.5"));
    EXPECT_EQ(r.boxText, QStringLiteral("70.7"));
    EXPECT_FALSE(r.boxChanged);
    EXPECT_EQ(r.registers.Values, (QVector<qint32>{0, 215}));

    // Each value of a list is converted by itself.
    p.Capacity = 2;
    p.Rule = QStringLiteral("A");
    r = CheckParameter(p, QStringLiteral("32,212"), &f, nullptr, eval, rounder);
    EXPECT_TRUE(r.verdict);
    EXPECT_EQ(r.meterValue, QStringLiteral("0,100"));
    EXPECT_EQ(r.boxText, QStringLiteral("32,212"));
    EXPECT_EQ(r.registers.Values, (QVector<qint32>{0, 0, 0x03, 0xE8}));
    EXPECT_TRUE(ui.texts().isEmpty());
}

TEST_F(DataCheckTest, ExactMeterValueIsKept) {
    const DMap p = Param("Int32", 1);
    const QString read = DecodeRegisters(p, {0x00, 0x01, 0xE2, 0x40});
    const QString shown = MeterToDisplay(p, read, nullptr, eval);
    EXPECT_EQ(shown, QStringLiteral("123460"));

    const ParamCheck kept = CheckParameter(p, shown, nullptr, &read, eval, rounder);
    EXPECT_TRUE(kept.verdict);
    EXPECT_EQ(kept.meterValue, QStringLiteral("123456"));
    EXPECT_EQ(kept.boxText, QStringLiteral("123460"));
    EXPECT_FALSE(kept.boxChanged);
    EXPECT_EQ(kept.registers.Values, (QVector<qint32>{0x00, 0x01, 0xE2, 0x40}));

    // Without it the rounded display value becomes the meter value.
    const ParamCheck edited = CheckParameter(p, shown, nullptr, nullptr, eval, rounder);
    EXPECT_EQ(edited.meterValue, QStringLiteral("123460"));
    EXPECT_EQ(edited.registers.Values, (QVector<qint32>{0x00, 0x01, 0xE2, 0x44}));
}

TEST_F(DataCheckTest, ExactMeterValueLists) {
    const DMap p = Param("Int32", 2, "1", "D");
    const QString read = DecodeRegisters(p, {0x00, 0x01, 0xE2, 0x40, 0, 0, 0, 7});
    EXPECT_EQ(read, QStringLiteral("123456,7"));
    const QString shown = MeterToDisplay(p, read, nullptr, eval);
    EXPECT_EQ(shown, QStringLiteral("123460,7"));
    const ParamCheck r = CheckParameter(p, shown, nullptr, &read, eval, rounder);
    EXPECT_TRUE(r.verdict);
    EXPECT_EQ(r.meterValue, read);
    EXPECT_EQ(r.boxText, shown);
    EXPECT_EQ(r.registers.Values, (QVector<qint32>{0x00, 0x01, 0xE2, 0x40, 0, 0, 0, 7}));

    // The exact value is still validated.
    const QString wrongOrder = QStringLiteral("7,123456");
    const ParamCheck bad = CheckParameter(p, QStringLiteral("7,123460"), nullptr, &wrongOrder, eval, rounder);
    EXPECT_FALSE(bad.verdict);
    EXPECT_EQ(bad.reason, kDesc);
    const QString tooBig = QStringLiteral("300");
    const ParamCheck range = CheckParameter(Param("Int8", 1), QStringLiteral("300"), nullptr, &tooBig, eval, rounder);
    EXPECT_FALSE(range.verdict);
    EXPECT_EQ(range.reason, kRange);

    // An exact value that is no number does not stand: the box is converted.
    const QString empty;
    const ParamCheck none = CheckParameter(Param("Int8", 1), QStringLiteral("error"), nullptr, &empty, eval, rounder);
    EXPECT_FALSE(none.verdict);
    EXPECT_EQ(none.reason, kNaN);
    EXPECT_EQ(none.meterValue, QStringLiteral("error"));
    EXPECT_TRUE(none.dataFound);
}

TEST_F(DataCheckTest, ReadValuesPassTheCheckUnchanged) {
    // Whatever the registers hold, decoding, showing and checking with the
    // exact value gives the same bytes back.
    struct Case {
        const char* format;
        qint32 capacity;
        const char* multiplier;
        QVector<int> bytes;
    } const cases[] = {
        {"Int16", 1, "0.1", {0xFF, 0xFF}}, {"Int16", 1, "0.01", {0x30, 0x39}}, {"Int32", 1, "0.001", {0xFF, 0xFF, 0xFF, 0xFF}},
        {"Int32", 1, "1", {0x7F, 0x12, 0x34, 0x56}}, {"Int8", 3, "0.3", {1, 128, 255}}, {"Int16", 2, "10", {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const DMap p = Param(c.format, c.capacity, c.multiplier);
        const QString meter = DecodeRegisters(p, c.bytes);
        const ParamCheck r = CheckParameter(p, MeterToDisplay(p, meter, nullptr, eval), nullptr, &meter, eval, rounder);
        EXPECT_TRUE(r.verdict) << r.reason.toStdString();
        EXPECT_EQ(r.meterValue, meter);
        EXPECT_EQ(r.registers.Values, QVector<qint32>(c.bytes.begin(), c.bytes.end()));
    }
}

TEST_F(DataCheckTest, CommaLocaleLists) {
    UseCommaLocale();
    DMap p = Param("Int16", 2, "0,1");
    ParamCheck r = CheckParameter(p, QStringLiteral("1,5;2,5"), nullptr, nullptr, eval, rounder);
    EXPECT_TRUE(r.verdict) << r.reason.toStdString();
    EXPECT_EQ(r.meterValue, QStringLiteral("1,5;2,5"));
    EXPECT_EQ(r.registers.Values, (QVector<qint32>{0, 15, 0, 25}));
    EXPECT_EQ(MeterToDisplay(p, QStringLiteral("1,5;2,5"), nullptr, eval), QStringLiteral("1,5;2,5"));

    r = CheckParameter(p, QStringLiteral("1,5;2,5;3"), nullptr, nullptr, eval, rounder);
    EXPECT_EQ(r.reason, kMany);

    // A single value keeps its decimal comma.
    p.Capacity = 1;
    r = CheckParameter(p, QStringLiteral("1,5"), nullptr, nullptr, eval, rounder);
    EXPECT_TRUE(r.verdict);
    EXPECT_EQ(r.registers.Values, (QVector<qint32>{0, 15}));
}

TEST_F(DataCheckTest, ErrorsThatEndTheCommand) {
    EXPECT_THROW(CheckParameter(Param("Int8", 1, "one"), QStringLiteral("1"), nullptr, nullptr, eval, rounder),
                 UserError);
    const UnitRow broken{QStringLiteral("T"), QStringLiteral("M/0"), QStringLiteral("D*"), QStringLiteral("x")};
    EXPECT_THROW(CheckParameter(Param("Int8", 1), QStringLiteral("1"), &broken, nullptr, eval, rounder), UserError);
    // The multiplier of a text format is never read.
    EXPECT_NO_THROW(CheckParameter(Param("Hex", 1, "one"), QStringLiteral("01"), nullptr, nullptr, eval, rounder));
}

TEST_F(DataCheckTest, MessagesAndDisplay) {
    DMap p = Param("Int8", 1);
    EXPECT_EQ(InvalidMessage(p, kRange), QStringLiteral("Invalid Int8 in Flow : Value out of range"));

    const UnitRow f = Fahrenheit();
    p.PType = QStringLiteral("Temperature");
    EXPECT_EQ(MeterToDisplay(p, QStringLiteral("100"), &f, eval), QStringLiteral("212"));
    EXPECT_EQ(MeterToDisplay(Param("Int16", 1, "0.1"), QStringLiteral("1.23456"), nullptr, eval),
              QStringLiteral("1.2346"));
    EXPECT_EQ(MeterToDisplay(Param("Int8", 1), QString(), nullptr, eval), QStringLiteral("error"));
    EXPECT_EQ(MeterToDisplay(Param("Int8", 2), QStringLiteral("1,2"), nullptr, eval), QStringLiteral("1,2"));
    // Text formats are shown as they are, a type notwithstanding.
    DMap tag = Param("ASCII", 4, "", "", "", "Temperature");
    EXPECT_EQ(MeterToDisplay(tag, QStringLiteral("AB12"), &f, eval), QStringLiteral("AB12"));
    EXPECT_EQ(MeterToDisplay(Param("Hex", 2), QStringLiteral("0AFF"), nullptr, eval), QStringLiteral("0AFF"));
}

// Every user of the registers per value of a format counts the same: a
// parameter whose Capacity fills registers 10 to 17 in its format is read,
// checked, encoded and given factory values within those registers, and a
// format the meter does not know is refused rather than written.
TEST_F(DataCheckTest, EveryFormatKeepsToItsRegisters) {
    struct Case {
        const char* format;
        int perValue;
        bool knownInteger;
    } const cases[] = {
        {"Int8", 1, true},    {"Int16", 2, true},   {"Int32", 4, true},  {"ASCII", 1, false},
        {"Hex", 1, false},    {"int16", 1, false},  {"INT32", 1, false}, {"hex", 1, false},
        {"Int64", 1, false},  {"Int", 1, false},    {"Int16 ", 1, false}, {"", 1, false},
        {"Float", 1, false},
    };
    constexpr int kFirst = 10, kLast = 17, kRegisters = kLast - kFirst + 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("format \"") + c.format + "\"");
        const QString format = QString::fromLatin1(c.format);
        ASSERT_EQ(RegistersPerValue(format), c.perValue);
        EXPECT_EQ(IsKnownIntegerFormat(format), c.knownInteger);

        DMap p = test::Param(kFirst, kLast, QStringLiteral("Flow"), format, QStringLiteral("1"),
                             kRegisters / c.perValue, QStringLiteral("1"));
        EXPECT_TRUE(RegisterRangeFault(p).isEmpty()) << RegisterRangeFault(p).toStdString();
        DMap over = p;
        ++over.Capacity;
        EXPECT_FALSE(RegisterRangeFault(over).isEmpty()) << "one value more than the registers hold";

        const QVector<quint8> image = FactoryImageFromMap({p}, 0);
        bool inside = false;
        for (int r = 0; r < SimMeter::kRegisterCount; ++r) {
            if (r < kFirst || r > kLast) EXPECT_EQ(image[r], 0) << "register " << r;
            else inside = inside || image[r] != 0;
        }
        if (c.knownInteger) EXPECT_TRUE(inside) << "factory values for a known integer format";

        if (!IsIntegerFormat(format)) continue;
        const QVector<int> bytes(kRegisters, 1);
        EXPECT_EQ(DecodeRegisters(p, bytes).split(ValueListSeparator()).size(), p.Capacity);
        const EEValue encoded = EncodeIntegers(p, QVector<quint32>(p.Capacity + 2, 0xFFFFFFFFu));
        EXPECT_EQ(encoded.RegCount, kRegisters);
        EXPECT_EQ(encoded.Values.size(), kRegisters);

        const QStringList ones(p.Capacity, QStringLiteral("1"));
        const ParamCheck check =
            CheckParameter(p, ones.join(ValueListSeparator()), nullptr, nullptr, eval, rounder);
        EXPECT_EQ(check.verdict, c.knownInteger) << check.reason.toStdString();
        EXPECT_EQ(check.registers.RegCount, c.knownInteger ? kRegisters : 0);
    }
}

} // namespace
} // namespace vorda::test
