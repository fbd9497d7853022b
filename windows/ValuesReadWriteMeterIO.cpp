// Reading and writing all parameters of the loaded map.
#include "ValuesReadWriteUnt.h"
#include "windows/WindowMeterReport.h"

#include "base/UserInteraction.h"
#include "values/DataCheck.h"
#include "values/MeterEngine.h"

#include <QProgressBar>
#include <QScopeGuard>

namespace vorda {

void WindowMeterReport::Progress(int done, int total) { w_.ShowProgress(done, total); }
void WindowMeterReport::RegisterFailed(MeterDirection direction, int, const DMap& param, int offset) {
    w_.ctx_.ui.ShowMessage(RegisterFailureText(direction, param, offset));
}
void WindowMeterReport::TooManyFailures(MeterDirection direction) {
    w_.ctx_.ui.ShowMessage(TooManyFailuresText(direction));
}
bool WindowMeterReport::StopRequested() { return w_.activity_->StopRequested(); }

// Read and Write Parameters: the boxes follow the session's rows as each
// parameter is read; the mark is painted with the progress, at a human rate.
class ParametersReport : public WindowMeterReport {
public:
    using WindowMeterReport::WindowMeterReport;
    void ParameterWritten(int index) override {
        w_.Progress->setText(index % 2 == 0 ? QStringLiteral("O") : QStringLiteral("o"));
    }
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
    ParametersReport report(*this);
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
    ParametersReport report(*this);
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
