#pragma once
#include "maps/DMap.h"
#include "units/DisplayData.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace vorda {
class EquationEvaluator;
class SigFigRounder;

// The registers of one parameter.
struct EEValue {
    qint32 Startreg = 0;
    qint32 RegCount = 0;
    QVector<qint32> Values; // one entry 0..255 per register
    bool operator==(const EEValue&) const = default;
};

// The multiplier of an integer parameter. Read with the locale's decimal
// separator; a point is accepted too, so that maps written with one load in
// every locale. A text that is no number throws UserError.
long double MultiplierOf(const DMap& param);

// Largest register integer of an integer format: 255, 65535 or 4294967295
// ("Int32" and any other text beginning with "Int").
double FormatMaximum(const QString& format);

// The text that separates the values of a multi-value integer parameter
// (Capacity above 1), in the box, in meter values and in data files: ","
// unless the locale (QLocale()) writes its decimals with ",", then ";", so
// that "1,5;2,5" stays readable. The attribute line then announces
// " (semicolon separated)" instead of " (comma separated)".
QString ValueListSeparator();

// The character codes an "ASCII" register can hold and give back as text:
// the printable ASCII characters 32 to 126.
bool IsStorableAsciiCode(int code);

// True for an integer parameter with Capacity above 1, whose text is a list.
bool HoldsValueList(const DMap& param);

// The value texts of a parameter's text: for a list the pieces between the
// separators (empty pieces kept), otherwise the whole text as one value.
QStringList SplitValues(const DMap& param, const QString& text);

// The screen texts and sizes of one parameter.
struct FieldDesign {
    QString caption;    // NameLabels
    QString attributes; // AttrLabels
    int boxWidth = 0;
    int maxLength = 0;  // 0: no limit
    QString hint;       // DescToolTip or "[No description]"
    bool hasRange = false;
    double low = 0;     // range in the display unit
    double high = 0;
};

// Outcome of deriving one parameter's field; a failure carries the message
// that stops the derivation ("Invalid Parameter Type: ..." or
// "Format error in SetDataRanges: ...").
struct FieldDesignResult {
    bool ok = true;
    QString stopMessage;
    FieldDesign design;
};

// Derives a parameter's field. units is the current unit table; the unit
// name shown is that of the row of the parameter's type. A multiplier that
// is no number throws UserError.
FieldDesignResult DeriveFieldDesign(const DMap& param, const QList<UnitRow>& units,
                                const EquationEvaluator& eval, const SigFigRounder& rounder);

// Decoding: the register bytes of one parameter to its value text (meter
// units). Integer values are joined by ValueListSeparator(), with none at
// the end; bytes left over at the end that do not make a whole value are
// ignored. Bytes are taken by their low 8 bits. "ASCII" keeps the bytes 32
// to 126 as characters and drops the others; text formats keep a final ","
// too. Another format gives an empty text.
// A multiplier that is no number throws UserError.
QString DecodeRegisters(const DMap& param, const QVector<int>& bytes);

// The text of a parameter read from the meter; bytes holds -1 for each
// register whose read failed. A failed register adds nothing, but in a list
// of integers the failed value keeps its place as an empty piece: the values
// after it stay at their own registers, and the check refuses the list until
// the value is given again, so no later write moves a value into the
// registers of another.
QString DecodeRead(const DMap& param, const QVector<int>& bytes);

// Encoding of integer values: register integers of a parameter to its
// EEValue (Startreg, RegCount = Capacity times RegistersPerValue, most
// significant byte first). Integers beyond Capacity are not used; those
// not given are 0. The integers are expected within the format's range
// (the check refuses others); higher bits are dropped so that no register
// exceeds 255 and no other value is touched.
EEValue EncodeIntegers(const DMap& param, const QVector<quint32>& registerIntegers);
// Encoding of an "ASCII" text: RegCount = Capacity, one register per
// character holding its Windows-1252 code, 0 beyond the text; characters
// beyond Capacity are not used. The check lets only the characters 32 to
// 126 through; a character without a Windows-1252 code is stored as "?".
EEValue EncodeAscii(const DMap& param, const QString& text);

} // namespace vorda
