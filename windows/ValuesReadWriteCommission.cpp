// Commissioning: comparing the meter with a data file, writing only the
// ticked parameters and verifying the meter by reading it back.
#include "ValuesReadWriteUnt.h"
#include "windows/WindowMeterReport.h"

#include "base/TextFiles.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "values/DataCheck.h"
#include "values/DataFile.h"
#include "values/MeterComparison.h"
#include "values/MeterEngine.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

namespace vorda {

namespace {
QString NameList(const QStringList& names) { return names.join(QStringLiteral("\n\r")); }
} // namespace

// The commissioning commands' side of the meter engine: that of the window,
// each refused value in its message box too, the screen untouched.
class CommissionReport : public WindowMeterReport {
public:
    using WindowMeterReport::WindowMeterReport;
    void InvalidValue(int, const DMap& param, const QString& reason) override {
        w_.ctx_.ui.ShowMessage(InvalidMessage(param, reason));
    }
};

void TValuesReadWrite::BeginRecord() {
    session_->BeginConnection(ctx_.link.ComPortNumber + 1, MeterMapNumber);
    UpdateCommissionActions();
}

void TValuesReadWrite::UpdateCommissionActions() {
    const bool ready = ctx_.link.MeterConnected && ctx_.map.MapLoaded;
    CompareData->setEnabled(ready);
    VerifyMeter->setEnabled(ready);
}

bool TValuesReadWrite::ReadWholeMeter(ReadOutcome* read) {
    const auto progressHide = qScopeGuard([this] { ShowProgress(0, 0); });
    CommissionReport report(*this);
    *read = session_->ReadWhole(core_->Protocol(), report);
    ReportUnanswered(*read);
    // The fourth failure has shown its message; fewer failures leave values
    // that are not the meter's, which nothing may be compared with.
    return read->Whole();
}

void TValuesReadWrite::ReportUnanswered(const ReadOutcome& read) {
    if (!read.handshakeOk) ctx_.ui.ShowMessage(ConnectionFailureText());
}

void TValuesReadWrite::ShowMeterRead(const ReadOutcome& read) {
    Cleardata();
    session_->ShowRead(read);
    CheckDataClick();
}

void TValuesReadWrite::CompareDataClick() {
    if (!core_) return;
    if (!ctx_.link.MeterConnected || !ctx_.map.MapLoaded) {
        ctx_.ui.ShowMessage(QStringLiteral("Connect a meter before comparing it with a data file"));
        return;
    }
    CompareFile file;
    if (!LoadCompareFile(&file)) return;
    CompareAndWriteTicked(file);
}

void TValuesReadWrite::CompareAndWriteTicked(const CompareFile& file) {
    // The meter work begins once the values to compare with are known.
    const MeterActivity::Scope busy(*activity_);
    ReadOutcome before;
    if (!ReadWholeMeter(&before)) {
        if (before.stopped) ctx_.ui.ShowMessage(QStringLiteral("Stopped: nothing was compared"));
        else if (!before.aborted && before.handshakeOk) ctx_.ui.ShowMessage(QStringLiteral("The meter could not be read whole: nothing was compared"));
        return;
    }
    // A record is restored only into the meter it was made of.
    if (!file.meterIdentity.isEmpty()) {
        const QString connected = ConnectedIdentity();
        if (connected != file.meterIdentity) {
            ctx_.ui.ShowMessage(QStringLiteral("The record is of meter %1, but the meter connected is %2: nothing was written")
                                    .arg(file.meterIdentity, connected));
            return;
        }
    }
    const FileComparison comparison =
        session_->CompareWithFile(before, file.values, file.sameMap, ctx_.startup.MakerAccess);
    TickedWrite plan;
    ValuesCheck check;
    if (!ChooseTickedWrite(comparison, before, file.values, &plan, &check)) return;
    // The screen shows the meter's values after the write: unsaved edits
    // there are asked about in the same confirmation.
    const bool unsaved = ctx_.flags.DataOnScreen && ctx_.flags.DataEdited && !ctx_.flags.MeterInSync;
    QString reason;
    if (!ctx_.ui.ConfirmWrite(unsaved ? QStringLiteral("About to write new values to Meter\n\rCurrent data has not been saved, and will be overwritten.\n\r\n\r            Are you sure?")
                                      : QStringLiteral("About to write new values to Meter\n\r\n\r            Are you sure?"),
                              &reason))
        return;
    // Both belong to this write only, also when nothing could be sent.
    const auto forget = qScopeGuard([this] {
        session_->SetWriteReason(QString());
        session_->SetRestoreOf(QString());
    });
    session_->SetWriteReason(reason);
    session_->SetRestoreOf(file.restoreOf);
    WriteTicked(plan, check, before, file.name);
}

bool TValuesReadWrite::LoadCompareFile(CompareFile* file) {
    const QString chosen = ctx_.ui.OpenFileName(QDir::currentPath(), QStringLiteral("Meter parameter files (*.epf)|*.epf|"));
    if (chosen.isEmpty()) return false;
    const QString full = QFileInfo(chosen).absoluteFilePath();
    // As with Open Data File: the chosen file's folder becomes the working one.
    QDir::setCurrent(QFileInfo(full).absolutePath());
    file->name = FileFromPath(full);
    DataFileContent content;
    QString error;
    if (!LoadDataFile(full, &content, &error)) throw UserError(error);
    const QString mapFile = ctx_.map.CurrentMapFile;
    file->sameMap = DataFileFitsMap(content, mapFile);
    if (!file->sameMap) ctx_.ui.ShowMessage(MapNameWarningText(mapFile, Excerpt(content.mapFileName)));
    // A file read in part would show its missing values as if the meter
    // held the file's.
    if (!content.complete) {
        ctx_.ui.ShowMessage(QStringLiteral("Error reading data file ") + file->name);
        ctx_.ui.ShowMessage(QStringLiteral("The data file could not be read whole: nothing was compared"));
        return false;
    }
    file->values = session_->ValuesOfFile(content, file->sameMap);
    return true;
}

bool TValuesReadWrite::ChooseTickedWrite(const FileComparison& comparison, const ReadOutcome& before,
                                         const FileValues& file, TickedWrite* plan, ValuesCheck* check) {
    // The dialog comes back after a choice that cannot be written, with the
    // ticks as the user left them.
    QVector<bool> ticked = comparison.ticked;
    for (;;) {
        if (!ctx_.ui.ChooseRowsToWrite(comparison.rows, &ticked)) return false;
        *plan = PlanTickedWrite(comparison, before.meterValues, file.meterValues, ticked);
        if (!plan->selected.contains(true)) {
            ctx_.ui.ShowMessage(QStringLiteral("No parameter is ticked: nothing was written"));
            continue;
        }
        CommissionReport report(*this);
        *check = session_->CheckTickedWrite(*plan, before, file, report);
        if (!SelectedValueRefused(*check, plan->selected)) return true;
        if (!check->error.isEmpty()) ctx_.ui.ShowMessage(check->error);
        ctx_.ui.ShowMessage(QStringLiteral("Please correct Data errors: nothing was written"));
    }
}

void TValuesReadWrite::WriteTicked(const TickedWrite& plan, const ValuesCheck& check, const ReadOutcome& before,
                                   const QString& fileName) {
    const QList<DMap>& params = ctx_.map.MapParams;
    const auto progressHide = qScopeGuard([this] { ShowProgress(0, 0); });
    CommissionReport report(*this);
    const WriteOutcome written = session_->WriteSelected(core_->Protocol(), check, plan.selected, report);
    if (!written.handshakeOk || written.aborted) {
        if (!written.handshakeOk && !written.disconnected) {
            ctx_.ui.ShowMessage(ConnectionFailureText());
        } else {
            lossTold_ = written.disconnected;
            ctx_.ui.ShowMessage(WriteEndText(written, ctx_.link.ComPortNumber + 1, params,
                                             WriteLandings(check.registers, plan.selected, written, nullptr)));
        }
        ctx_.ui.ShowMessage(QStringLiteral("Meter not verified: the write did not complete"));
        return;
    }
    const VerifyResult after = session_->VerifyWrite(core_->Protocol(), report, check, plan.selected, before);
    ShowProgress(0, 0);
    if (!after.Compared()) {
        ReportUnanswered(after.read);
        ctx_.ui.ShowMessage(QStringLiteral("Meter written, but not verified: it could not be read back"));
        return;
    }
    ShowMeterRead(after.read);
    // The screen now shows what the meter holds.
    ctx_.flags.MeterInSync = true;
    if (!after.differing.isEmpty()) {
        ctx_.ui.ShowMessage(QStringLiteral("Meter written, but these parameters do not hold what was written:\n\r") +
                            NameList(after.differing));
        return;
    }
    ctx_.ui.ShowMessage(QStringLiteral("Meter written and verified"));
    session_->Files().lastWriteMap = session_->Files().mapFile;
    session_->Files().lastWriteData = fileName;
    ShowFiles();
}

void TValuesReadWrite::VerifyMeterClick() {
    if (!core_) return;
    if (!ctx_.link.MeterConnected || !ctx_.map.MapLoaded) {
        ctx_.ui.ShowMessage(QStringLiteral("Connect a meter before verifying it"));
        return;
    }
    const MeterActivity::Scope busy(*activity_);
    if (!GotData()) {
        ctx_.ui.ShowMessage(QStringLiteral("No values on the screen to verify the meter against"));
        return;
    }
    // The screen's values as the meter would hold them: exact where a value
    // was read or loaded and not edited since.
    CheckDataClick();
    if (session_->Verdict() != CheckVerdict::Ok) {
        ctx_.ui.ShowMessage(QStringLiteral("Please correct Data errors"));
        return;
    }
    const auto progressHide = qScopeGuard([this] { ShowProgress(0, 0); });
    CommissionReport report(*this);
    const VerifyResult result = session_->Verify(core_->Protocol(), report);
    ShowProgress(0, 0);
    if (!result.Compared()) {
        ReportUnanswered(result.read);
        ctx_.ui.ShowMessage(QStringLiteral("Meter not verified: it could not be read whole"));
        return;
    }
    const QStringList& differing = result.differing;
    if (differing.isEmpty())
        ctx_.ui.ShowMessage(QStringLiteral("Meter verified: it holds the values on the screen"));
    else
        ctx_.ui.ShowMessage(QStringLiteral("The meter does not hold the screen's values of:\n\r") + NameList(differing));
}

} // namespace vorda
