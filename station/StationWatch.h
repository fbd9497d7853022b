#pragma once
// How a station tells the next meter from the last one, and where an
// unattended station takes the measured mA output from.
#include "station/SeriesStation.h"

#include <QString>

namespace vorda {

// A meter is new when its serial number differs from the last one
// commissioned, or when no meter was attached since that one.
class NewMeterRule {
public:
    bool IsNew(const QString& serial) const { return !any_ || unplugged_ || serial != last_; }
    void Commissioned(const QString& serial) {
        any_ = true;
        unplugged_ = false;
        last_ = serial;
    }
    void NoMeterAttached() { unplugged_ = true; }

private:
    bool any_ = false;
    bool unplugged_ = false;
    QString last_;
};

// The measured current from a command run by the shell with VORDA_MA_STEP
// set to the step ("as found", "as left"): the first number it prints, in
// the point form. Empty when the command fails, takes longer than
// timeoutMs or prints no number; *error says why.
std::optional<double> MaFromCommand(const QString& command, const QString& step, int timeoutMs, QString* error);

} // namespace vorda
