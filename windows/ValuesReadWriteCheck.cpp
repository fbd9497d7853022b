// The main window's data check: the engine checks the texts of the boxes;
// the window shows each refusal as it comes and colours the boxes.
#include "ValuesReadWriteUnt.h"

#include "base/UserInteraction.h"
#include "values/MeterEngine.h"

namespace vorda {

namespace {
// Each refusal goes into a message box at the moment the check meets it;
// the boxes follow the session's rows.
class WindowCheckReport : public MeterReport {
public:
    explicit WindowCheckReport(UserInteraction& ui) : ui_(ui) {}
    void InvalidValue(int, const DMap& param, const QString& reason) override {
        ui_.ShowMessage(InvalidMessage(param, reason));
    }
    void RegisterFailed(MeterDirection, int, const DMap&, int) override {}
    void TooManyFailures(MeterDirection) override {}

private:
    UserInteraction& ui_;
};
} // namespace

void TValuesReadWrite::CheckDataClick() {
    const int n = std::min<int>(ctx_.map.MapParamCount(), screen_->Count());
    WindowCheckReport report(ctx_.ui);
    const ValuesCheck check = session_->Check(report, n);
    if (check.brokeOff) {
        ctx_.ui.ShowMessage(check.error);
        return;
    }
    for (int i = 0; i < screen_->Count(); ++i)
        SetBoxColour(screen_->Row(i).box, i < n && check.Refused(i) ? Mark::Refused : Mark::Plain);
    if (!check.dataFound) ctx_.ui.ShowMessage(check.error);
    DataCheckResult(check.ok);
}

} // namespace vorda
