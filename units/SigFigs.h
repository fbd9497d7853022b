#pragma once

namespace vorda {
class UserInteraction;

// Rounds numbers to SigFigCount significant figures by the position of the
// first significant character and of the decimal separator in the number's
// general-format text.
class SigFigRounder {
public:
    SigFigRounder(int sigFigCount, UserInteraction& ui) : SigFigCount(sigFigCount), ui_(ui) {}

    long double SigFigs(long double value) const;

    int SigFigCount;

private:
    UserInteraction& ui_;
};

} // namespace vorda
