// The register browser's conversions, with the examples they are built on.
#include "registers/RegisterConversions.h"

#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

namespace vorda {
namespace {

TEST(RegisterConversions, HexToInt) {
    const std::pair<const char*, int> cases[] = {{"", 0}, {"41", 65}, {"ff", 255}, {"100", 256},
                                                 {"FFFFFFFF", -1}, {"100000041", 65}}; // eight or more digits wrap
    for (const auto& [text, value] : cases) EXPECT_EQ(HexToInt(text), value) << text;
    // A character that is no digit makes the result negative, wherever it is.
    for (const char* bad : {"G1", "1G", " 1", "-1"}) EXPECT_LT(HexToInt(bad), 0) << bad;
}

TEST(RegisterConversions, CharactersAndBits) {
    EXPECT_EQ(StringtoHex("AB"), "4142");
    EXPECT_EQ(StringtoHex("\n"), "0A");
    EXPECT_EQ(StringtoHex(""), "");
    const std::pair<const char*, const char*> chars[] = {{"", ""}, {"41", "A"}, {"4142", "A"}, {"20", " "},
                                                         {"7E", "~"}, {"1F", ""}, {"7F", ""}, {"FFFFFFFF", ""}};
    for (const auto& [hex, ascii] : chars) EXPECT_EQ(GetASCII(hex), QString::fromLatin1(ascii)) << hex;

    EXPECT_EQ(StringDecToHex("10"), "0A");
    EXPECT_EQ(StringDecToHex("-1"), "FFFFFFFF");
    EXPECT_EQ(StringDecToHex("x"), "");
    EXPECT_EQ(IntToBinStr(65), "01000001");
    EXPECT_EQ(IntToBinStr(256), "100000000");
    EXPECT_EQ(IntToBinStr(-1), ""); // no made-up bit pattern for a failed read

    EXPECT_EQ(ConvertGridValue("", "Dec8"), "");
    EXPECT_EQ(ConvertGridValue("FFFFFFFF", "Dec8"), "-1");
    EXPECT_EQ(ConvertGridValue("ff", "Hex"), "ff");
}

TEST(RegisterConversions, LayoutRoundTripsEveryRegister) {
    int row = 0, col = 0;
    GetRowCol(255, row, col);
    EXPECT_EQ(row * 100 + col, 2606);
    for (int r = 0; r < kRegisterCount; ++r) {
        GetRowCol(r, row, col);
        ASSERT_TRUE(col >= 1 && col <= 10 && row >= 1 && row <= 26) << r;
        EXPECT_EQ(GetReg(row, col), r);
    }
    EXPECT_EQ(GetReg(26, 7), 256); // past the last register
}

TEST(RegisterConversions, TypedTexts) {
    EXPECT_EQ(CharToRegisterValue("A"), 65);
    EXPECT_EQ(CharToRegisterValue(QString(QChar(0xE9))), 0xE9);   // é
    EXPECT_EQ(CharToRegisterValue(QString(QChar(0x20AC))), 0x80); // € is one byte, not 20 AC
    for (const QString& bad : {QString(QChar(0x0100)), QString::fromUtf8("\xF0\x9F\x98\x80"), QString(), QString("AB")})
        EXPECT_EQ(CharToRegisterValue(bad), -1) << bad.toStdString();

    int v = -5;
    EXPECT_TRUE(ParseWholeNumber(" 42 ", &v));
    EXPECT_EQ(v, 42);
    for (const char* bad : {"", "x", "1.5", "99999999999"}) EXPECT_FALSE(ParseWholeNumber(bad, &v)) << bad;
}

} // namespace
} // namespace vorda
