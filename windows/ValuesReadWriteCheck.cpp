// The main window's data check: the engine checks the texts of the boxes;
// the window shows each refusal as it comes and colours the boxes.
#include "ValuesReadWriteUnt.h"

#include "base/UserInteraction.h"
#include "values/MeterEngine.h"

namespace vorda {

namespace {
// Each value goes into the screen's meter values and its box as it is
// checked, each refusal into a message box at that moment.
class WindowCheckReport : public MeterReport {
public:
    WindowCheckReport(UserInteraction& ui, std::function<void(int, const ParamCheck&)> checked)
        : ui_(ui), checked_(std::move(checked)) {}
    void ValueChecked(int index, const ParamCheck& check) override { checked_(index, check); }
    void InvalidValue(int, const DMap& param, const QString& reason) override {
        ui_.ShowMessage(InvalidMessage(param, reason));
    }
    void RegisterFailed(MeterDirection, int, const DMap&, int) override {}
    void TooManyFailures(MeterDirection) override {}

private:
    UserInteraction& ui_;
    std::function<void(int, const ParamCheck&)> checked_;
};
} // namespace

void TValuesReadWrite::CheckDataClick() {
    const int n = std::min<int>(ctx_.map.MapParamCount(), int(ValueEdits_.size()));
    QVector<CheckInput> inputs(n);
    for (int i = 0; i < n; ++i) {
        const DMap& p = ctx_.map.MapParams.at(i);
        const QString text = ValueEdits_[i]->text();
        inputs[i] = {text, UnitOf(p), std::nullopt, Unread_.value(i)};
        // A value nobody touched since it was read or loaded keeps its
        // exact meter value, whatever its rounded display shows.
        // Its registers, too: a tag may hold bytes its text cannot show.
        const bool exactKnown = !ShownValues_[i].isEmpty() || !ExactRegisters_[i].isEmpty();
        if (exactKnown && text == ShownValues_[i]) {
            inputs[i].exactMeterValue = ExactValues_[i];
            if (!ExactRegisters_[i].isEmpty()) inputs[i].exactRegisters = ExactRegisters_[i];
        }
    }
    WindowCheckReport report(ctx_.ui, [this](int i, const ParamCheck& r) {
        MeterValues_[i] = r.meterValue;
        if (r.boxChanged) SetBoxText(i, r.boxText);
    });
    const ValuesCheck check = CheckValues(ctx_.map.MapParams.mid(0, n), inputs, *evaluator_, *rounder_, report);
    if (check.brokeOff) {
        ctx_.ui.ShowMessage(check.error);
        return;
    }
    for (int i = 0; i < n; ++i) {
        QLineEdit* box = ValueEdits_[i];
        if (!check.results.at(i).verdict) {
            SetBoxColour(box, QColor(255, 0, 0));
            ShownValues_[i].clear();
            ExactValues_[i].clear();
            ExactRegisters_[i].clear();
            continue;
        }
        if (MeterValues_[i] != AcceptedValues_[i]) {
            ctx_.flags.DataEdited = true;
            AcceptedValues_[i] = MeterValues_[i];
        }
        ShownValues_[i] = box->text();
        ExactValues_[i] = MeterValues_[i];
        ExactRegisters_[i] = check.registers.at(i).Values;
        SetBoxColour(box, QColor(0, 0, 0));
    }
    for (int i = n; i < ValueEdits_.size(); ++i) SetBoxColour(ValueEdits_[i], QColor(0, 0, 0));
    if (!check.dataFound) ctx_.ui.ShowMessage(check.error);
    // The registers replace EEValues only when the check has run to its
    // end: a check that breaks off never leaves a half-filled table for a
    // write. Parameters without a box keep only their start register.
    QVector<EEValue> registers = check.registers;
    registers.resize(ctx_.map.MapParamCount());
    for (int i = n; i < ctx_.map.MapParamCount(); ++i) registers[i].Startreg = ctx_.map.MapParams.at(i).Startreg;
    EEValues_ = registers;
    DataCheckResult(check.ok);
}

} // namespace vorda
