// Reading and writing all parameters of the loaded map.
#include "ValuesReadWriteUnt.h"

#include "app/UserInteraction.h"
#include "values/DataCheck.h"

#include <QProgressBar>

#include <functional>

namespace vorda {

namespace {
const QString kConnectionFailure = QStringLiteral("Meter connection failure\n\rSave data and restart everything!");

// Hides the progress bar however the command ends, also when an error in
// decoding or converting a value ends it half way.
class ProgressEnd {
public:
    explicit ProgressEnd(std::function<void()> hide) : hide_(std::move(hide)) {}
    ~ProgressEnd() { hide_(); }
    ProgressEnd(const ProgressEnd&) = delete;
    ProgressEnd& operator=(const ProgressEnd&) = delete;

private:
    std::function<void()> hide_;
};
} // namespace

void TValuesReadWrite::ShowProgress(int done, int total) {
    progressDone_ = done;
    progressTotal_ = total;
    if (total == 0) {
        ProgressBar->hide();
        return;
    }
    // Painting the bar at every register would cost more than the register
    // itself: it follows when the windows next paint, at a human rate, and
    // once more at the end (or at once for work without a count).
    if (total < 0 || done >= total) activity_->KeepAlive(true);
}

void TValuesReadWrite::RefreshProgress() {
    if (progressTotal_ == 0) return;
    // A work without a count shows the bar's busy indicator.
    const bool appears = ProgressBar->isHidden();
    ProgressBar->setRange(0, std::max(0, progressTotal_));
    ProgressBar->setValue(progressDone_);
    ProgressBar->show();
    // A change of value paints the bar at once; so does its appearance,
    // which otherwise would wait for the next round of paints.
    if (appears) ProgressBar->repaint();
}

void TValuesReadWrite::ShowReadValue(int index, const QString& meterText) {
    const DMap& p = ctx_.map.MapParams.at(index);
    AcceptedValues_[index] = meterText;
    MeterValues_[index] = meterText;
    const QString shown = MeterToDisplay(p, meterText, UnitOf(p), *evaluator_);
    SetBoxText(index, shown);
    ShownValues_[index] = shown;
    ExactValues_[index] = meterText;
    Unread_[index] = false;
}

void TValuesReadWrite::ReadEEClick() {
    if (!core_) return;
    const MeterActivity::Scope busy(*activity_);
    if (!ctx_.startup.OffsetCalMode && ctx_.flags.DataOnScreen && ctx_.flags.DataEdited &&
        !ctx_.ui.Confirm(QStringLiteral("About to read Meter values.\n\rCurrent data has not been saved, and will be overwritten.\n\r\n\r            Are you sure?")))
        return;
    if (EEPROMMapFile->text() == QLatin1String("unknown"))
        ctx_.ui.ShowMessage(QStringLiteral("Software version transition.  Map used for last Meter write is unknown"));
    Cleardata();
    if (!core_->Handshake()) {
        ctx_.ui.ShowMessage(kConnectionFailure);
        return;
    }
    const ProgressEnd progressEnd([this] { ShowProgress(0, 0); });
    bool success = true;
    int failures = 0;
    const int n = std::min<int>(ctx_.map.MapParamCount(), int(ValueEdits_.size()));
    // Until a parameter has been read whole, its box holds nothing of the
    // meter's, also when the read ends early.
    Unread_.fill(true);
    int totalRegisters = 0;
    for (int i = 0; i < n; ++i) totalRegisters += std::max(0, ctx_.map.MapParams.at(i).EndReg - ctx_.map.MapParams.at(i).Startreg + 1);
    int done = 0;
    for (int i = 0; i < n; ++i) {
        const DMap& p = ctx_.map.MapParams.at(i);
        // The register range comes from the map, so a parameter that failed
        // the last check is read all the same.
        const int count = std::max(0, p.EndReg - p.Startreg + 1);
        QVector<int> bytes(count, -1);
        for (int k = 0; k < count; ++k) {
            const int result = core_->GetSetRegister(1, p.Startreg + k, 1);
            ShowProgress(++done, totalRegisters);
            if (result < 0) {
                ctx_.ui.ShowMessage(QStringLiteral("Meter read failure: value ") + QString::number(k) +
                                    QStringLiteral(" in parameter ") + p.Parameter);
                success = false;
                if (++failures > 3) {
                    ctx_.ui.ShowMessage(QStringLiteral("Too many read failures - connection lost?\n\rNew meter attached?  Save data and restart everything!"));
                    return;
                }
            } else {
                bytes[k] = result;
            }
        }
        // Nothing is cut from the end of the text: a text ending in ","
        // keeps it.
        ShowReadValue(i, DecodeRead(p, bytes));
        Unread_[i] = bytes.contains(-1);
    }
    ShowProgress(0, 0);
    if (!ctx_.startup.OffsetCalMode && success) {
        ctx_.ui.ShowMessage(QStringLiteral("Meter read successfully"));
        ctx_.flags.MeterInSync = true;
    }
    CheckDataClick();
}

void TValuesReadWrite::WriteEEClick() {
    if (!core_) return;
    const MeterActivity::Scope busy(*activity_);
    CheckDataClick();
    if (CheckDataResult->text() != QLatin1String("Data OK")) {
        ctx_.ui.ShowMessage(QStringLiteral("Please correct Data errors"));
        return;
    }
    if (!ctx_.startup.OffsetCalMode &&
        !ctx_.ui.Confirm(QStringLiteral("About to write new values to Meter\n\r\n\r            Are you sure?")))
        return;
    if (!core_->Handshake()) {
        ctx_.ui.ShowMessage(kConnectionFailure);
        return;
    }
    const ProgressEnd progressEnd([this] { ShowProgress(0, 0); });
    bool success = true;
    int failures = 0;
    int total = 0;
    for (const EEValue& v : EEValues_) total += v.RegCount;
    int done = 0;
    for (int i = 0; i < EEValues_.size(); ++i) {
        const EEValue& v = EEValues_.at(i);
        for (int k = 0; k < v.RegCount; ++k) {
            const int result = core_->GetSetRegister(0, v.Startreg + k, v.Values.value(k));
            ShowProgress(++done, total);
            if (result < 0) {
                ctx_.ui.ShowMessage(QStringLiteral("Meter write failure: value ") + QString::number(k) +
                                    QStringLiteral(" in parameter ") + ctx_.map.MapParams.at(i).Parameter);
                success = false;
                if (++failures > 3) {
                    ctx_.ui.ShowMessage(QStringLiteral("Too many write failures - connection lost?\n\rNew meter attached?  Save data and restart everything!"));
                    return;
                }
            }
        }
        Progress->setText(i % 2 == 0 ? QStringLiteral("O") : QStringLiteral("o"));
    }
    Progress->setText(QString());
    ShowProgress(0, 0);
    if (success) {
        if (!ctx_.startup.OffsetCalMode) ctx_.ui.ShowMessage(QStringLiteral("Meter written successfully"));
        EEPROMMapFile->setText(MapFileNow->text());
        EEPROMDataFile->setText(DataFileNow->text());
        if (ctx_.startup.OffsetCalMode) {
            OldOffsetText.clear();
            OldOffsetEdt->clear();
        }
        ctx_.flags.MeterInSync = true;
    }
}

} // namespace vorda
