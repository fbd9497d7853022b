#include "units/NumberFormat.h"

#include "base/TextFiles.h"
#include "base/UserError.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace vorda {
namespace {

// A "C" locale of our own, so that conversions never depend on the process
// locale (Qt sets it from the environment).
locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return loc;
}

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

} // namespace

QString FormatGeneral(long double value) { return FormatGeneral(value, QLocale()); }

QString FormatGeneral(long double value, const QLocale& locale) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0) return QStringLiteral("0");

    // Round to 15 significant digits: d.dddddddddddddde[+-]x.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14Le", value);
    const std::string text(buf);
    const std::size_t ePos = text.find_first_of("eE");
    if (ePos == std::string::npos) return QStringLiteral("NAN");
    std::string digits;
    for (std::size_t i = 0; i < ePos; ++i)
        if (text[i] >= '0' && text[i] <= '9') digits += text[i];
    const int exponent = std::atoi(text.c_str() + ePos + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    const QString sep = locale.decimalPoint();
    QString out;
    if (value < 0) out += QLatin1Char('-');

    if (exponent < -5 || exponent >= 15) {
        out += QLatin1Char(digits[0]);
        if (digits.size() > 1) out += sep + QString::fromLatin1(digits.c_str() + 1);
        out += QLatin1Char('E') + QString::number(exponent);
        return out;
    }
    if (exponent < 0) {
        out += QLatin1Char('0') + sep + QString(-exponent - 1, QLatin1Char('0'));
        out += QString::fromLatin1(digits.c_str());
        return out;
    }
    const std::size_t intDigits = std::size_t(exponent) + 1;
    if (digits.size() <= intDigits) {
        out += QString::fromLatin1(digits.c_str());
        out += QString(int(intDigits - digits.size()), QLatin1Char('0'));
    } else {
        out += QString::fromLatin1(digits.c_str(), qsizetype(intDigits));
        out += sep + QString::fromLatin1(digits.c_str() + intDigits);
    }
    return out;
}

bool ParseNumber(const QString& text, long double* value) { return ParseNumber(text, QLocale(), value); }

bool ParseNumber(const QString& text, const QLocale& locale, long double* value) {
    const QString sep = locale.decimalPoint();
    qsizetype i = 0, end = text.size();
    while (i < end && text[i] == QLatin1Char(' ')) ++i;
    while (end > i && text[end - 1] == QLatin1Char(' ')) --end;

    // Rebuild the number in C notation while checking the grammar.
    std::string c;
    if (i < end && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        if (text[i] == QLatin1Char('-')) c += '-';
        ++i;
    }
    int mantissaDigits = 0;
    bool seenSep = false;
    while (i < end) {
        if (IsDigit(text[i])) {
            c += char(text[i].unicode());
            ++mantissaDigits;
            ++i;
        } else if (!seenSep && !sep.isEmpty() && QStringView(text).sliced(i).startsWith(sep)) {
            c += '.';
            seenSep = true;
            i += sep.size();
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) return false;
    if (i < end && (text[i] == QLatin1Char('E') || text[i] == QLatin1Char('e'))) {
        c += 'e';
        ++i;
        if (i < end && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
            c += char(text[i].unicode());
            ++i;
        }
        int expDigits = 0;
        while (i < end && IsDigit(text[i])) {
            c += char(text[i].unicode());
            ++expDigits;
            ++i;
        }
        if (expDigits == 0) return false;
    }
    if (i != end) return false;

    errno = 0;
    char* stop = nullptr;
    const long double v = strtold_l(c.c_str(), &stop, CLocale());
    if (stop != c.c_str() + c.size()) return false;
    // Too large for any floating-point value: not a number we can use.
    if (!std::isfinite(v)) return false;
    *value = v;
    return true;
}

bool ParseInt32(const QString& text, int* value) {
    qsizetype i = 0, end = text.size();
    while (i < end && text[i] == QLatin1Char(' ')) ++i;
    while (end > i && text[end - 1] == QLatin1Char(' ')) --end;
    bool negative = false;
    if (i < end && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == end) return false;
    long long v = 0;
    for (; i < end; ++i) {
        if (!IsDigit(text[i])) return false;
        v = v * 10 + (text[i].unicode() - '0');
        if (v > 2147483648LL) return false;
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<int>::max()) return false;
    *value = int(v);
    return true;
}

QString NotAFloatMessage(const QString& text) {
    return QLatin1Char('\'') + Excerpt(text) + QStringLiteral("' is not a valid floating point value");
}

QString NotAnIntegerMessage(const QString& text) {
    return QLatin1Char('\'') + Excerpt(text) + QStringLiteral("' is not a valid integer value");
}

long double ToFloat(const QString& text) {
    long double v = 0;
    if (!ParseNumber(text, &v)) throw UserError(NotAFloatMessage(text));
    return v;
}

int ToInt(const QString& text) {
    int v = 0;
    if (!ParseInt32(text, &v)) throw UserError(NotAnIntegerMessage(text));
    return v;
}

} // namespace vorda
