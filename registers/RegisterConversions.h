#pragma once
#include <QString>

namespace vorda {

// Register layout of the browser's grid: register r sits in column
// r mod 10 + 1 and row r div 10 + 1; row 0 and column 0 hold the headers.
inline constexpr int kRegisterCount = 256;
inline constexpr int kRegGridCols = 11;
inline constexpr int kRegGridRows = 27;
inline constexpr int kAsciiGridCols = 10;

// Hexadecimal text to integer: upper-cases, then result * 16 + digit for each
// character. A character that is no hexadecimal digit sets the result to -1
// and the following characters go on from there, so the result is negative.
// Empty text gives 0; eight or more digits wrap as a 32-bit signed value.
int HexToInt(const QString& s);

// Each character's code as upper-case hexadecimal with at least two digits,
// all concatenated: "AB" gives "4142".
QString StringtoHex(const QString& Data);

// The character whose code the first two hexadecimal digits of AValue give,
// when it is printable (32 to 126); empty text otherwise.
QString GetASCII(const QString& AValue);

// A value as upper-case hexadecimal with at least two digits; negative values
// as their 32-bit pattern (-1 gives FFFFFFFF).
QString IntToHex2(int value);

// Decimal text to IntToHex2 of its value; empty text when it is no whole
// number.
QString StringDecToHex(const QString& Dec);

// The text a register cell shows for a stored hexadecimal value: empty for
// empty text; the decimal value for "Dec8"; the stored text for "Hex".
QString ConvertGridValue(const QString& OldValue, const QString& DisplayFormat);

// The bits of a non-negative value, most significant first, padded with zeros
// to at least 8 characters. Empty text for a negative value.
QString IntToBinStr(int value);

// Cell of a register, and register of a cell (which may be 256 to 259 in
// row 26, columns 7 to 10: no registers).
void GetRowCol(int aReg, int& aRow, int& aCol);
int GetReg(int aRow, int aCol);

// The one-byte value a typed character stands for: its Windows-1252 code, the
// code page of the program's texts. -1 for text that is not exactly one
// character, or a character with no Windows-1252 code.
int CharToRegisterValue(const QString& text);

// A whole number typed by the user, or false. Surrounding blanks are allowed.
bool ParseWholeNumber(const QString& text, int* value);

} // namespace vorda
