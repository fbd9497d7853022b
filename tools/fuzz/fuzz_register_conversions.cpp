// Feeds arbitrary text to the register browser's conversions and checks the
// rules that tie them together.
#include "base/TextFiles.h"
#include "registers/RegisterConversions.h"

#include <cstdint>
#include <cstdlib>

using namespace vorda;

namespace {

bool IsHexDigits(const QString& s) {
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (!(u >= '0' && u <= '9') && !(u >= 'A' && u <= 'F') && !(u >= 'a' && u <= 'f')) return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = DecodeCp1252(bytes);

    // Each character becomes at least two hex digits; Windows-1252 text
    // decoded from bytes has codes below 0x10000, so at most four.
    const QString hex = StringtoHex(text);
    if (hex.size() < 2 * text.size() || hex.size() > 4 * text.size()) std::abort();
    if (!IsHexDigits(hex)) std::abort();

    // Hex text of up to seven digits reads back as the value written.
    const int value = HexToInt(text);
    if (IsHexDigits(text) && text.size() < 8) {
        if (value < 0) std::abort();
        if (HexToInt(IntToHex2(value)) != value) std::abort();
    } else if (!IsHexDigits(text) && value >= 0 && text.size() < 8) {
        std::abort();
    }
    if (IntToHex2(value).size() < 2) std::abort();

    const QString ascii = GetASCII(text);
    if (ascii.size() > 1) std::abort();
    if (ascii.size() == 1 && (ascii.at(0).unicode() < 32 || ascii.at(0).unicode() > 126)) std::abort();
    if (ascii.size() == 1 && GetASCII(StringtoHex(ascii)) != ascii) std::abort();

    int whole = 0;
    if (ParseWholeNumber(text, &whole)) {
        if (StringDecToHex(text) != IntToHex2(whole)) std::abort();
        const QString bits = IntToBinStr(whole);
        if (whole >= 0 && (bits.size() < 8 || bits.toLongLong(nullptr, 2) != whole)) std::abort();
        if (whole < 0 && !bits.isEmpty()) std::abort();
    } else if (!StringDecToHex(text).isEmpty()) {
        std::abort();
    }
    if (!text.isEmpty() && ConvertGridValue(text, QStringLiteral("Dec8")) != QString::number(value)) std::abort();
    if (ConvertGridValue(text, QStringLiteral("Hex")) != text) std::abort();

    // A character that has a register value is that byte of the code page.
    const int code = CharToRegisterValue(text);
    if (code > 255 || (code >= 0 && DecodeCp1252(QByteArray(1, char(code))) != text)) std::abort();

    if (!bytes.isEmpty()) {
        const int reg = quint8(bytes.at(0));
        int row = 0, col = 0;
        GetRowCol(reg, row, col);
        if (row < 1 || row >= kRegGridRows || col < 1 || col >= kRegGridCols || GetReg(row, col) != reg) std::abort();
    }
    return 0;
}
