// Feeds arbitrary value texts and equations to the conversion evaluator and
// checks the number format on the way.
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "units/Equations.h"
#include "units/NumberFormat.h"
#include "units/SigFigs.h"

#include <QLocale>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace vorda;

namespace {

// Shows nothing and answers every question with no.
class NullInteraction : public UserInteraction {
public:
    void ShowMessage(const QString&) override {}
    void ShowError(const QString&) override {}
    bool Confirm(const QString&) override { return false; }
    bool AskYesNo(const QString&) override { return false; }
    QString OpenFileName(const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseFolder(const QString&, const QString&) override { return {}; }
    bool OpenWithDesktop(const QString&) override { return false; }
};

// The general format reads back as the value rounded to 15 digits.
void CheckFormatRoundTrip(long double x) {
    if (!std::isfinite(x)) return;
    const QString text = FormatGeneral(x);
    long double back = 0;
    if (!ParseNumber(text, &back)) std::abort();
    const long double scale = std::fabs(x) > 0 ? std::fabs(x) : 1;
    if (std::fabs(back - x) > 1e-14L * scale) std::abort();
}

} // namespace

// Layout: byte 0 chooses locale, figures and ReturnInt; bytes 1-8 are a raw
// double for ParseMtoD; the rest is "value text\nequation".
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    static const QLocale german(QLocale::German, QLocale::Germany);
    static NullInteraction ui;
    if (size < 9) return 0;

    const uint8_t flags = data[0];
    QLocale::setDefault((flags & 1) ? german : english);
    const bool returnInt = flags & 2;
    SigFigRounder rounder((flags & 4) ? 4 : 5, ui);
    EquationEvaluator eval(rounder, ui);

    double raw;
    std::memcpy(&raw, data + 1, sizeof raw);
    const QString rest = QString::fromLatin1(reinterpret_cast<const char*>(data + 9), qsizetype(size - 9));
    const qsizetype nl = rest.indexOf(QLatin1Char('\n'));
    const QString valueText = nl < 0 ? rest : rest.left(nl);
    const QString equation = nl < 0 ? QStringLiteral("M") : rest.mid(nl + 1);

    CheckFormatRoundTrip(raw);
    const long double rounded = rounder.SigFigs(raw);
    if (!std::isfinite(rounded)) std::abort();
    CheckFormatRoundTrip(rounded);

    long double parsed = 0;
    if (ParseNumber(valueText, &parsed)) CheckFormatRoundTrip(parsed);

    try {
        const double d = eval.ParseMtoD(raw, equation);
        if (!std::isfinite(d)) std::abort();
    } catch (const UserError&) {
    }
    try {
        const QString out = eval.ParseMultiple(valueText, equation, returnInt);
        if (out.isEmpty()) std::abort();
    } catch (const UserError&) {
    }
    return 0;
}
