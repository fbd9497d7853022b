#pragma once
// The main window's side of the meter engine: progress on its bar, each
// register failure in its message box at the moment it happens, and the
// user's wish to stop.
#include "values/MeterEngine.h"

namespace vorda {
class TValuesReadWrite;

class WindowMeterReport : public MeterReport {
public:
    explicit WindowMeterReport(TValuesReadWrite& w) : w_(w) {}
    void Progress(int done, int total) override;
    void RegisterFailed(MeterDirection direction, int index, const DMap& param, int offset) override;
    void TooManyFailures(MeterDirection direction) override;
    bool StopRequested() override;
    // The window checks the texts of its boxes itself.
    void InvalidValue(int, const DMap&, const QString&) override {}

protected:
    TValuesReadWrite& w_;
};

} // namespace vorda
