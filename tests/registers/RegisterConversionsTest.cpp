// The register browser's conversions, with the examples they are built on.
#include "registers/RegisterConversions.h"

#include "tests/support/QtPrinters.h"

#include <QPoint>
#include <gtest/gtest.h>

namespace vorda {
namespace {

TEST(RegisterConversions, HexToInt) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"", 0}, {"0", 0}, {"41", 65}, {"ff", 255}, {"Ff", 255}, {"100", 256},
        {"7FFFFFFF", 0x7FFFFFFF}, {"FFFFFFFF", -1}, {"100000041", 65}, // eight or more digits wrap
    };
    for (const auto& c : cases) EXPECT_EQ(HexToInt(QString::fromLatin1(c.text)), c.value) << c.text;
    // A character that is no digit makes the result negative, wherever it is.
    for (const char* bad : {"G1", "1G", "G", " 1", "-1", "0x1"}) EXPECT_LT(HexToInt(QString::fromLatin1(bad)), 0) << bad;
}

TEST(RegisterConversions, TextsAndCharacters) {
    EXPECT_EQ(StringtoHex("AB"), "4142");
    EXPECT_EQ(StringtoHex(""), "");
    EXPECT_EQ(StringtoHex("\n"), "0A");
    EXPECT_EQ(StringtoHex(QString(QChar(0x20AC))), "20AC");

    const struct {
        const char* hex;
        const char* ascii;
    } chars[] = {{"", ""}, {"41", "A"}, {"4142", "A"}, {"20", " "}, {"7E", "~"}, {"1F", ""}, {"7F", ""},
                 {"FF", ""}, {"FFFFFFFF", ""}, {"G1", ""}};
    for (const auto& c : chars) EXPECT_EQ(GetASCII(QString::fromLatin1(c.hex)), QString::fromLatin1(c.ascii)) << c.hex;
}

TEST(RegisterConversions, NumbersToHexAndBits) {
    EXPECT_EQ(IntToHex2(0), "00");
    EXPECT_EQ(IntToHex2(10), "0A");
    EXPECT_EQ(IntToHex2(255), "FF");
    EXPECT_EQ(IntToHex2(256), "100");
    EXPECT_EQ(IntToHex2(-1), "FFFFFFFF");
    EXPECT_EQ(StringDecToHex("65"), "41");
    EXPECT_EQ(StringDecToHex("-1"), "FFFFFFFF");
    EXPECT_EQ(StringDecToHex("x"), "");

    EXPECT_EQ(IntToBinStr(0), "00000000");
    EXPECT_EQ(IntToBinStr(65), "01000001");
    EXPECT_EQ(IntToBinStr(255), "11111111");
    EXPECT_EQ(IntToBinStr(256), "100000000");
    EXPECT_EQ(IntToBinStr(-1), ""); // no made-up bit pattern for a failed read
}

TEST(RegisterConversions, GridValueFollowsTheDisplayFormat) {
    EXPECT_EQ(ConvertGridValue("", "Dec8"), "");
    EXPECT_EQ(ConvertGridValue("", "Hex"), "");
    EXPECT_EQ(ConvertGridValue("41", "Dec8"), "65");
    EXPECT_EQ(ConvertGridValue("41", "Hex"), "41");
    EXPECT_EQ(ConvertGridValue("FFFFFFFF", "Dec8"), "-1");
    EXPECT_EQ(ConvertGridValue("FFFFFFFF", "Hex"), "FFFFFFFF");
}

TEST(RegisterConversions, LayoutRoundTripsEveryRegister) {
    int row = 0, col = 0;
    GetRowCol(0, row, col);
    EXPECT_EQ(QPoint(col, row), QPoint(1, 1));
    GetRowCol(255, row, col);
    EXPECT_EQ(QPoint(col, row), QPoint(6, 26));
    GetRowCol(39, row, col);
    EXPECT_EQ(QPoint(col, row), QPoint(10, 4));
    for (int r = 0; r < kRegisterCount; ++r) {
        GetRowCol(r, row, col);
        ASSERT_TRUE(col >= 1 && col <= 10 && row >= 1 && row <= 26) << r;
        EXPECT_EQ(GetReg(row, col), r);
    }
    EXPECT_EQ(GetReg(26, 7), 256); // past the last register
}

TEST(RegisterConversions, TypedCharacterIsItsCodePageByte) {
    EXPECT_EQ(CharToRegisterValue("A"), 65);
    EXPECT_EQ(CharToRegisterValue(" "), 32);
    EXPECT_EQ(CharToRegisterValue(QString(QChar(0xE9))), 0xE9);   // é
    EXPECT_EQ(CharToRegisterValue(QString(QChar(0x20AC))), 0x80); // € is one byte, not 20 AC
    EXPECT_EQ(CharToRegisterValue(QString(QChar(0x0100))), -1);   // no byte holds it
    EXPECT_EQ(CharToRegisterValue(QString::fromUtf8("\xF0\x9F\x98\x80")), -1);
    EXPECT_EQ(CharToRegisterValue(""), -1);
    EXPECT_EQ(CharToRegisterValue("AB"), -1);
}

TEST(RegisterConversions, WholeNumbers) {
    int v = -5;
    EXPECT_TRUE(ParseWholeNumber(" 42 ", &v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(ParseWholeNumber("-1", &v));
    EXPECT_EQ(v, -1);
    for (const char* bad : {"", "x", "1.5", "12a", "99999999999"}) EXPECT_FALSE(ParseWholeNumber(bad, &v)) << bad;
}

} // namespace
} // namespace vorda
