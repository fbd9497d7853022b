#pragma once
#include <QString>

namespace vorda {
class SigFigRounder;
class UserInteraction;

// The conversion-equation language: a variable letter M or D followed by
// steps of one operator (+ - * /) and a number, applied strictly left to
// right. Input and result are rounded with SigFigs.
class EquationEvaluator {
public:
    EquationEvaluator(const SigFigRounder& rounder, UserInteraction& ui) : rounder_(rounder), ui_(ui) {}

    // Evaluates DEquals for Mvalue. A bad first character or a missing
    // operator shows its message and gives 0; a number that cannot be read
    // or a division by zero throws UserError with its own text.
    double ParseMtoD(double Mvalue, const QString& DEquals) const;

    // "error" when MyString is no number; otherwise the converted value, as
    // the integer part of (x + 0.5) when ReturnInt, else in general format.
    QString ParseMultiple(const QString& MyString, const QString& DEquals, bool ReturnInt) const;

    // Position (from 1) of the first operator character, 0 when none.
    static int SymbolPos(const QString& WhatsLeft);
    // 1 to 4 for "+", "-", "*", "/" as the first character; 5 otherwise.
    static int NextSymbol(const QString& WhatsLeft);

private:
    const SigFigRounder& rounder_;
    UserInteraction& ui_;
};

} // namespace vorda
