// The meter history on the main window: the records of a meter, a record
// restored into the meter, and the problems of recording told per command.
#include "windows/ValuesReadWriteUnt.h"

#include "base/UserInteraction.h"
#include "history/HistoryReview.h"
#include "shell/ProgramHistory.h"
#include "values/DataCheck.h"
#include "windows/MeterHistoryDialog.h"

namespace vorda {

void TValuesReadWrite::TellHistoryProblem(const QString& line) {
    if (!activity_->Running()) {
        ctx_.ui.ShowMessage(line);
        return;
    }
    if (historyProblem_.isEmpty()) historyProblem_ = line;
}

QString TValuesReadWrite::ConnectedIdentity() const {
    return ConnectedMeterIdentity({}, session_->Connection(), ctx_.map.MapParams, session_->Known());
}

void TValuesReadWrite::MeterHistoryClick() {
    QString error;
    HistoryStore* store = ctx_.history ? ctx_.history->Reader(&error) : nullptr;
    if (!store) {
        ctx_.ui.ShowMessage(QStringLiteral("The meter history cannot be read: ") + error);
        return;
    }
    // The connected meter's records; without a meter, those of the meter
    // last recorded.
    QString meter;
    if (ctx_.link.MeterConnected && ctx_.map.MapLoaded && session_->Connection().com > 0) {
        const auto ofConnection = store->OfConnection(session_->Connection().id, &error);
        meter = ConnectedMeterIdentity(ofConnection.value_or(QList<HistoryRecord>()), session_->Connection(),
                                       ctx_.map.MapParams, session_->Known());
    }
    const QList<DMap> params = ctx_.map.MapLoaded ? ctx_.map.MapParams : QList<DMap>();
    const ComparisonDisplay display{
        [this](const DMap& p, const QString& value) { return MeterToDisplay(p, value, session_->UnitOf(p), *evaluator_); },
        [this](const DMap& p) {
            const UnitRow* unit = session_->UnitOf(p);
            return unit ? unit->Units : QString();
        }};
    TMeterHistory dialog(
        *store, meter,
        [params, display](const HistoryRecord& a, const HistoryRecord& b) {
            return DiffInDisplayUnits(a, b, params, display);
        },
        this);
    if (dialog.exec() != QDialog::Accepted || dialog.RestoreChosen() == 0) return;
    RestoreHistoryRecord(dialog.RestoreChosen());
}

void TValuesReadWrite::RestoreHistoryRecord(qint64 id) {
    if (!core_) return;
    if (!ctx_.link.MeterConnected || !ctx_.map.MapLoaded) {
        ctx_.ui.ShowMessage(QStringLiteral("Connect the meter before restoring a record of its history"));
        return;
    }
    QString error;
    HistoryStore* store = ctx_.history ? ctx_.history->Reader(&error) : nullptr;
    const auto record = store ? store->Get(id, &error) : std::nullopt;
    if (!record) {
        ctx_.ui.ShowMessage(error.isEmpty() ? QStringLiteral("The meter history has no record %1").arg(id)
                                            : QStringLiteral("The meter history cannot be read: ") + error);
        return;
    }
    CompareFile file;
    file.name = QStringLiteral("History record %1").arg(id);
    file.values = FileValuesOfRecord(*record, ctx_.map.MapParams, &file.sameMap);
    file.restoreOf = QString::number(id);
    file.meterIdentity = record->meter;
    CompareAndWriteTicked(file);
}

CommissioningRecord TValuesReadWrite::ReportRecord() const {
    const CommissioningRecord& session = session_->Record();
    if (!ctx_.history) return session;
    QString error;
    HistoryStore* store = ctx_.history->Reader(&error);
    if (!store) return session;
    const QString connection = session_->Connection().id;
    const auto records = store->OfConnection(connection, &error);
    // An event that could not be stored would leave the history behind the
    // meter: the session's own record is the truer one then.
    if (!records || records->isEmpty() || records->size() != ctx_.history->EventsOf(connection)) return session;
    return RecordFromHistory(session, *records, ctx_.map.MapParams);
}

} // namespace vorda
