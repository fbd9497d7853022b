// The Windows-1252 decoder and encoder over every byte from 0x80 to 0xFF,
// against the system's own table of the code page (glibc's iconv).
#include "base/TextFiles.h"

#include <gtest/gtest.h>

#include <QString>

#include <iconv.h>

#include <optional>

namespace vorda {
namespace {

// The character the system's table gives for one byte; none for the five
// codes the code page leaves undefined.
class SystemCp1252 {
public:
    SystemCp1252() : cd_(iconv_open("UTF-16LE", "WINDOWS-1252")) {}
    ~SystemCp1252() {
        if (ok()) iconv_close(cd_);
    }
    SystemCp1252(const SystemCp1252&) = delete;
    SystemCp1252& operator=(const SystemCp1252&) = delete;
    bool ok() const { return cd_ != iconv_t(-1); }

    std::optional<char16_t> Decode(unsigned char byte) const {
        char in[1] = {char(byte)};
        char out[4] = {};
        char* inp = in;
        char* outp = out;
        size_t inLeft = 1, outLeft = sizeof out;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &inp, &inLeft, &outp, &outLeft) == size_t(-1) || outLeft != 2) return std::nullopt;
        return char16_t(quint8(out[0]) | (quint8(out[1]) << 8));
    }

private:
    iconv_t cd_;
};

constexpr unsigned char kUndefined[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};

bool IsUndefined(unsigned char b) {
    for (unsigned char u : kUndefined)
        if (u == b) return true;
    return false;
}

TEST(Cp1252Test, EveryHighByteDecodesAsTheCodePageSaysAndEncodesBack) {
    const SystemCp1252 system;
    if (!system.ok()) GTEST_SKIP() << "the system has no Windows-1252 table";
    for (int b = 0x80; b <= 0xFF; ++b) {
        SCOPED_TRACE(b);
        const QByteArray byte(1, char(b));
        const QString decoded = DecodeCp1252(byte);
        ASSERT_EQ(decoded.size(), 1);
        const std::optional<char16_t> expected = system.Decode(quint8(b));
        if (IsUndefined(quint8(b))) {
            // Undefined in the code page: kept as the control character of
            // the same value, so that such a byte survives a round trip.
            EXPECT_FALSE(expected.has_value());
            EXPECT_EQ(decoded.at(0).unicode(), char16_t(b));
        } else {
            ASSERT_TRUE(expected.has_value());
            EXPECT_EQ(decoded.at(0).unicode(), *expected);
            EXPECT_TRUE(FitsCp1252(decoded));
        }
        EXPECT_EQ(EncodeCp1252(decoded), byte);
    }
}

TEST(Cp1252Test, KnownCharactersOfTheHighHalf) {
    // Independent of the system's table: a few that a shifted or truncated
    // table would get wrong.
    const struct {
        unsigned char byte;
        char16_t unicode;
    } cases[] = {{0x80, 0x20AC}, {0x82, 0x201A}, {0x8C, 0x0152}, {0x8E, 0x017D}, {0x91, 0x2018},
                 {0x9C, 0x0153}, {0x9E, 0x017E}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xB0, 0x00B0},
                 {0xFF, 0x00FF}};
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeCp1252(QByteArray(1, char(c.byte))), QString(QChar(c.unicode))) << int(c.byte);
        EXPECT_EQ(EncodeCp1252(QString(QChar(c.unicode))), QByteArray(1, char(c.byte))) << int(c.byte);
    }
    // A character outside the code page is written as "?" and does not fit.
    EXPECT_EQ(EncodeCp1252(QStringLiteral("\u20AD")), QByteArray("?"));
    EXPECT_FALSE(FitsCp1252(QStringLiteral("\u20AD")));
}

} // namespace
} // namespace vorda
