// The main window's data check.
#include "ValuesReadWriteUnt.h"

#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "values/DataCheck.h"

namespace vorda {

void TValuesReadWrite::CheckDataClick() {
    try {
        const int n = ctx_.map.MapParamCount();
        // The registers go into a table of their own and replace EEValues
        // only when the check has run to its end: a check that breaks off
        // never leaves a half-filled table for a write.
        QVector<EEValue> registers(n);
        for (int i = 0; i < n; ++i) registers[i].Startreg = ctx_.map.MapParams.at(i).Startreg;
        bool dataFound = false;
        bool overall = true;
        QVector<bool> red(n, false);
        for (int i = 0; i < n && i < ValueEdits_.size(); ++i) {
            const DMap& p = ctx_.map.MapParams.at(i);
            QLineEdit* box = ValueEdits_[i];
            // A value nobody touched since it was read or loaded keeps its
            // exact meter value, whatever its rounded display shows.
            const bool untouched = !ShownValues_[i].isEmpty() && box->text() == ShownValues_[i];
            ParamCheck r = CheckParameter(p, box->text(), UnitOf(p), untouched ? &ExactValues_[i] : nullptr,
                                          *evaluator_, *rounder_);
            if (Unread_.value(i)) RefuseUnread(&r);
            MeterValues_[i] = r.meterValue;
            if (r.boxChanged) SetBoxText(i, r.boxText);
            dataFound = dataFound || r.dataFound;
            registers[i] = r.registers;
            if (!r.verdict) {
                ctx_.ui.ShowMessage(InvalidMessage(p, r.reason));
                overall = false;
                red[i] = true;
                SetBoxColour(box, QColor(255, 0, 0));
                ShownValues_[i].clear();
                ExactValues_[i].clear();
            } else {
                if (MeterValues_[i] != AcceptedValues_[i]) {
                    ctx_.flags.DataEdited = true;
                    AcceptedValues_[i] = MeterValues_[i];
                }
                ShownValues_[i] = box->text();
                ExactValues_[i] = MeterValues_[i];
            }
        }
        for (int i = 0; i < ValueEdits_.size(); ++i)
            if (!red.value(i)) SetBoxColour(ValueEdits_[i], QColor(0, 0, 0));
        if (!dataFound) {
            ctx_.ui.ShowMessage(QStringLiteral("No data!"));
            overall = false;
        }
        EEValues_ = registers;
        DataCheckResult(overall);
    } catch (const UserError&) {
        ctx_.ui.ShowMessage(QStringLiteral("Errors in data checking"));
    }
}

} // namespace vorda
