#pragma once
#include <QLocale>
#include <QString>

namespace vorda {

// The one function by which a number becomes text for the user: the shortest
// text with at most 15 significant digits, trailing zeros dropped, the
// locale's decimal separator only when needed, and exponent notation
// (1.5E-6, 2E15: no plus sign, no leading zeros) only below 0.00001 or with
// more than 15 digits before the separator. Uses QLocale() (the default
// locale, QLocale::system() unless a test sets another).
QString FormatGeneral(long double value);
QString FormatGeneral(long double value, const QLocale& locale);

// Reads a decimal number written with the locale's decimal separator:
// optional sign, digits with at most one separator, optional exponent
// (E or e, optional sign, digits). Surrounding spaces are allowed. Returns
// false for anything else (an empty text included).
bool ParseNumber(const QString& text, long double* value);
bool ParseNumber(const QString& text, const QLocale& locale, long double* value);

// Reads a whole decimal integer (optional sign, digits, surrounding spaces
// allowed) into 32 bits. Returns false for anything else or on overflow.
bool ParseInt32(const QString& text, int* value);

// The texts of the errors that end a command.
QString NotAFloatMessage(const QString& text);   // "'x' is not a valid floating point value"
QString NotAnIntegerMessage(const QString& text); // "'x' is not a valid integer value"

// ParseNumber, throwing UserError with NotAFloatMessage on failure.
long double ToFloat(const QString& text);
// ParseInt32, throwing UserError with NotAnIntegerMessage on failure.
int ToInt(const QString& text);

} // namespace vorda
