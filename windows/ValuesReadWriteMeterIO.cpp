// Reading and writing all parameters of the loaded map.
#include "ValuesReadWriteUnt.h"

#include "base/ScopeExit.h"
#include "base/UserInteraction.h"
#include "values/DataCheck.h"
#include "values/MeterEngine.h"

#include <QProgressBar>

namespace vorda {

// The window's side of the meter engine: each failure in its message box
// at the moment it happens, the progress bar and mark, the boxes filled as
// each parameter is read.
class WindowMeterReport : public MeterReport {
public:
    WindowMeterReport(TValuesReadWrite& w, MeterDirection direction) : w_(w), direction_(direction) {}
    void Started() override {
        // Until a parameter has been read whole, its box holds nothing of the
        // meter's, also when the read ends early.
        if (direction_ == MeterDirection::Read) w_.Unread_.fill(true);
    }
    void Progress(int done, int total) override { w_.ShowProgress(done, total); }
    void RegisterFailed(MeterDirection direction, int, const DMap& param, int offset) override {
        w_.ctx_.ui.ShowMessage(RegisterFailureText(direction, param, offset));
    }
    void TooManyFailures(MeterDirection direction) override { w_.ctx_.ui.ShowMessage(TooManyFailuresText(direction)); }
    void ParameterRead(int index, const QString& meterValue, bool complete) override {
        // Nothing is cut from the end of the text: a text ending in ","
        // keeps it.
        w_.ShowReadValue(index, meterValue);
        w_.Unread_[index] = !complete;
    }
    // The mark is painted with the progress, at a human rate.
    void ParameterWritten(int index) override {
        w_.Progress->setText(index % 2 == 0 ? QStringLiteral("O") : QStringLiteral("o"));
    }
    // The window checks the texts of its boxes itself.
    void InvalidValue(int, const DMap&, const QString&) override {}

private:
    TValuesReadWrite& w_;
    MeterDirection direction_;
};

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

void TValuesReadWrite::ShowReadValue(int index, const QString& meterText, const QVector<int>& exactRegisters) {
    const DMap& p = ctx_.map.MapParams.at(index);
    AcceptedValues_[index] = meterText;
    MeterValues_[index] = meterText;
    const QString shown = MeterToDisplay(p, meterText, UnitOf(p), *evaluator_);
    SetBoxText(index, shown);
    ShownValues_[index] = shown;
    ExactValues_[index] = meterText;
    ExactRegisters_[index] = exactRegisters;
    Unread_[index] = false;
}

void TValuesReadWrite::KeepReadRegisters(const ReadOutcome& read) {
    for (int i = 0; i < read.bytes.size() && i < ExactRegisters_.size(); ++i)
        if (read.complete.value(i)) ExactRegisters_[i] = read.bytes.at(i);
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
    // The progress bar goes however the command ends.
    const ScopeExit progressEnd([this] { ShowProgress(0, 0); });
    const int n = std::min<int>(ctx_.map.MapParamCount(), int(ValueEdits_.size()));
    // The register range comes from the map, so a parameter that failed the
    // last check is read all the same.
    WindowMeterReport report(*this, MeterDirection::Read);
    const ReadOutcome read = ReadParameters(core_->Protocol(), ctx_.map.MapParams.mid(0, n), report);
    if (!read.handshakeOk) {
        ctx_.ui.ShowMessage(ConnectionFailureText());
        return;
    }
    KeepReadRegisters(read);
    if (read.aborted) return;
    const bool success = read.failures == 0;
    ShowProgress(0, 0);
    if (success && read.meterValues.size() == ctx_.map.MapParamCount()) Record_.MeterRead(ctx_.map.CurrentMapFile, read.meterValues);
    if (!ctx_.startup.OffsetCalMode && success) {
        ctx_.ui.ShowMessage(QStringLiteral("Meter read successfully"));
        ctx_.flags.MeterInSync = true;
    }
    CheckDataClick();
}

bool TValuesReadWrite::WriteEEClick() {
    if (!core_) return false;
    const MeterActivity::Scope busy(*activity_);
    CheckDataClick();
    if (CheckDataResult->text() != QLatin1String("Data OK")) {
        ctx_.ui.ShowMessage(QStringLiteral("Please correct Data errors"));
        return false;
    }
    if (!ctx_.startup.OffsetCalMode &&
        !ctx_.ui.Confirm(QStringLiteral("About to write new values to Meter\n\r\n\r            Are you sure?")))
        return false;
    // The progress bar goes however the command ends.
    const ScopeExit progressEnd([this] { ShowProgress(0, 0); });
    const QList<DMap>& params = ctx_.map.MapParams;
    WindowMeterReport report(*this, MeterDirection::Write);
    const WriteOutcome written = WriteParameters(core_->Protocol(), params, EEValues_, {}, report);
    if (!written.handshakeOk) {
        ctx_.ui.ShowMessage(ConnectionFailureText());
        return false;
    }
    if (written.aborted) {
        // The meter may now hold part of the write: say which part.
        ctx_.flags.MeterInSync = false;
        Record_.MeterWritten(ctx_.map.CurrentMapFile, params, MeterValues_, {}, written, nullptr);
        ctx_.ui.ShowMessage(WriteLandingText(params, WriteLandings(EEValues_, {}, written, nullptr)));
        return false;
    }
    // "Written" means the meter holds it: everything sent is read back.
    WindowMeterReport readBackReport(*this, MeterDirection::Write);
    const VerifyOutcome back = VerifyParameters(core_->Protocol(), params, EEValues_, {}, readBackReport);
    Progress->setText(QString());
    ShowProgress(0, 0);
    const bool readWhole = back.Whole();
    Record_.MeterWritten(ctx_.map.CurrentMapFile, params, MeterValues_, {}, written, readWhole ? &back : nullptr);
    QStringList differing;
    for (const RegisterMismatch& mismatch : back.mismatches)
        if (!differing.contains(params.at(mismatch.index).Parameter)) differing << params.at(mismatch.index).Parameter;
    if (readWhole) Record_.MeterVerified(differing);
    if (written.failures > 0)
        ctx_.ui.ShowMessage(WriteLandingText(params, WriteLandings(EEValues_, {}, written, back.handshakeOk ? &back : nullptr)));
    if (!back.handshakeOk || !readWhole)
        ctx_.ui.ShowMessage(QStringLiteral("Meter written, but not verified: it could not be read back"));
    if (!differing.isEmpty())
        ctx_.ui.ShowMessage(QStringLiteral("Meter written, but these parameters do not hold what was written:\n\r") +
                            differing.join(QStringLiteral("\n\r")));
    const bool success = written.failures == 0 && readWhole && differing.isEmpty();
    if (!success) ctx_.flags.MeterInSync = false;
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
    return success;
}

} // namespace vorda
