// Reading and writing all parameters of the loaded map.
#include "ValuesReadWriteUnt.h"

#include "base/UserInteraction.h"
#include "values/DataCheck.h"
#include "values/MeterEngine.h"

#include <QProgressBar>
#include <QScopeGuard>

namespace vorda {

// The window's side of the meter engine: each failure in its message box
// at the moment it happens, the progress bar and mark. The boxes follow the
// session's rows as each parameter is read.
class WindowMeterReport : public MeterReport {
public:
    explicit WindowMeterReport(TValuesReadWrite& w) : w_(w) {}
    void Progress(int done, int total) override { w_.ShowProgress(done, total); }
    void RegisterFailed(MeterDirection direction, int, const DMap& param, int offset) override {
        w_.ctx_.ui.ShowMessage(RegisterFailureText(direction, param, offset));
    }
    void TooManyFailures(MeterDirection direction) override { w_.ctx_.ui.ShowMessage(TooManyFailuresText(direction)); }
    // The mark is painted with the progress, at a human rate.
    void ParameterWritten(int index) override {
        w_.Progress->setText(index % 2 == 0 ? QStringLiteral("O") : QStringLiteral("o"));
    }
    // The window checks the texts of its boxes itself.
    void InvalidValue(int, const DMap&, const QString&) override {}
    bool StopRequested() override { return w_.activity_->StopRequested(); }

private:
    TValuesReadWrite& w_;
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

void TValuesReadWrite::ReadEEClick() {
    if (!core_) return;
    const MeterActivity::Scope busy(*activity_);
    if (!ctx_.startup.OffsetCalMode && ctx_.flags.DataOnScreen && ctx_.flags.DataEdited &&
        !ctx_.ui.Confirm(QStringLiteral("About to read Meter values.\n\rCurrent data has not been saved, and will be overwritten.\n\r\n\r            Are you sure?")))
        return;
    if (session_->Files().LastWriteMapUnknown())
        ctx_.ui.ShowMessage(QStringLiteral("Software version transition.  Map used for last Meter write is unknown"));
    Cleardata();
    // The progress bar goes however the command ends.
    const auto progressEnd = qScopeGuard([this] { ShowProgress(0, 0); });
    const int n = std::min<int>(ctx_.map.MapParamCount(), screen_->Count());
    // The register range comes from the map, so a parameter that failed the
    // last check is read all the same.
    WindowMeterReport report(*this);
    const ReadOutcome read = session_->Read(core_->Protocol(), report, n);
    // A device that went away is told as the command ends.
    if (read.disconnected) return;
    if (!read.handshakeOk) {
        ctx_.ui.ShowMessage(ConnectionFailureText());
        return;
    }
    if (read.aborted) {
        // The screen keeps the parameters read whole before the stop.
        if (read.stopped) ctx_.ui.ShowMessage(ReadStoppedText(int(read.meterValues.size()), n));
        return;
    }
    const bool success = read.failures == 0;
    ShowProgress(0, 0);
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
    if (session_->Verdict() != CheckVerdict::Ok) {
        ctx_.ui.ShowMessage(QStringLiteral("Please correct Data errors"));
        return false;
    }
    QString reason;
    if (!ctx_.startup.OffsetCalMode &&
        !ctx_.ui.ConfirmWrite(QStringLiteral("About to write new values to Meter\n\r\n\r            Are you sure?"), &reason))
        return false;
    // The progress bar goes however the command ends; the reason belongs to
    // this write only, also when nothing could be sent.
    const auto progressEnd = qScopeGuard([this] {
        ShowProgress(0, 0);
        session_->SetWriteReason(QString());
    });
    session_->SetWriteReason(reason);
    const QList<DMap>& params = ctx_.map.MapParams;
    WindowMeterReport report(*this);
    const WriteResult result = session_->Write(core_->Protocol(), report);
    if (result.written.disconnected && !result.written.handshakeOk) return false;
    if (!result.written.handshakeOk) {
        ctx_.ui.ShowMessage(ConnectionFailureText());
        return false;
    }
    // The meter may now hold part of the write: say which part.
    if (result.written.aborted) {
        lossTold_ = result.written.disconnected;
        ctx_.ui.ShowMessage(WriteEndText(result.written, ctx_.link.ComPortNumber + 1, params, result.landings));
        return false;
    }
    Progress->setText(QString());
    ShowProgress(0, 0);
    if (result.written.failures > 0) ctx_.ui.ShowMessage(WriteLandingText(params, result.landings));
    if (result.back.stopped)
        ctx_.ui.ShowMessage(QStringLiteral("Meter written, but not verified: the read-back was stopped"));
    else if (!result.ReadBackWhole())
        ctx_.ui.ShowMessage(QStringLiteral("Meter written, but not verified: it could not be read back"));
    if (!result.differing.isEmpty())
        ctx_.ui.ShowMessage(QStringLiteral("Meter written, but these parameters do not hold what was written:\n\r") +
                            result.differing.join(QStringLiteral("\n\r")));
    const bool success = result.Verified();
    if (success) {
        if (!ctx_.startup.OffsetCalMode) ctx_.ui.ShowMessage(QStringLiteral("Meter written successfully"));
        ShowFiles();
        if (ctx_.startup.OffsetCalMode) {
            OldOffsetText.clear();
            OldOffsetEdt->clear();
        }
    }
    return success;
}

} // namespace vorda
