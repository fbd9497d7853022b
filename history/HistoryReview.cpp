#include "history/HistoryReview.h"

#include "values/DataFile.h"

#include <algorithm>

namespace vorda {

namespace {
const RecordValue* ValueNamed(const HistoryRecord& record, const QString& name) {
    for (const RecordValue& v : record.values)
        if (v.name == name) return &v;
    return nullptr;
}

const DMap* ParamNamed(const QList<DMap>& params, const QString& name) {
    for (const DMap& p : params)
        if (p.Parameter == name) return &p;
    return nullptr;
}

QString LocalTime(const QDateTime& at) { return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

bool MadeUnder(const HistoryRecord& record, const QList<DMap>& params, const QString& hash) {
    return record.mapHash == hash && record.values.size() == params.size();
}
} // namespace

QString ConnectedMeterIdentity(const QList<HistoryRecord>& ofConnection, const MeterConnection& connection,
                               const QList<DMap>& params, const QVector<EventValue>& known) {
    if (!ofConnection.isEmpty()) return ofConnection.last().meter;
    const int serial = SerialNumberIndex(params);
    const QString number = serial >= 0 && serial < known.size() ? UsableSerial(known.at(serial)) : QString();
    return MeterIdentity(number, connection.mapNumber, connection);
}

QList<HistoryListRow> HistoryListRows(const QList<HistoryRecord>& records) {
    QList<HistoryListRow> rows;
    for (const HistoryRecord& r : records)
        rows << HistoryListRow{r.id,         LocalTime(r.at), r.kind,    r.outcome,
                               r.comPort,    r.made.userName, r.made.host, r.reason};
    return rows;
}

HistoryDiff DiffInDisplayUnits(const HistoryRecord& a, const HistoryRecord& b, const QList<DMap>& params,
                               const ComparisonDisplay& display) {
    const bool aFirst = a.at != b.at ? a.at < b.at : a.id < b.id;
    const HistoryRecord& older = aFirst ? a : b;
    const HistoryRecord& newer = aFirst ? b : a;
    HistoryDiff diff;
    diff.olderTime = LocalTime(older.at);
    diff.newerTime = LocalTime(newer.at);
    const QString hash = MapHash(params);
    diff.displayUnits = MadeUnder(older, params, hash) && MadeUnder(newer, params, hash);
    if (!diff.displayUnits)
        diff.note = QStringLiteral("Values in meter units: the records were not both made under the map on screen");
    auto text = [&](const HistoryRecord& record, const QString& name, const DMap* param) {
        const RecordValue* v = ValueNamed(record, name);
        if (!v) return QStringLiteral("(none)");
        if (v->value == CommissioningRecord::UnknownValue() || !param) return v->value;
        return display.text(*param, FromPointForm(*param, v->value));
    };
    for (const RecordDifference& d : DiffRecords(older, newer)) {
        HistoryDiffRow row;
        row.parameter = d.name;
        const DMap* param = diff.displayUnits ? ParamNamed(params, d.name) : nullptr;
        row.older = text(older, d.name, param);
        row.newer = text(newer, d.name, param);
        // A difference the display's rounding hides shows the exact values.
        if (param && row.older == row.newer) {
            row.older = text(older, d.name, nullptr);
            row.newer = text(newer, d.name, nullptr);
        } else if (param && display.unit) {
            row.unit = display.unit(*param);
        }
        diff.rows << row;
    }
    return diff;
}

QStringList RecordMeterValues(const HistoryRecord& record, const QList<DMap>& params) {
    bool sameMap = false;
    const FileValues values = FileValuesOfRecord(record, params, &sameMap);
    QStringList out;
    for (int i = 0; i < params.size(); ++i)
        out << (values.given.value(i) ? values.meterValues.value(i) : CommissioningRecord::UnknownValue());
    return out;
}

CommissioningRecord RecordFromHistory(const CommissioningRecord& session, const QList<HistoryRecord>& ofConnection,
                                      const QList<DMap>& params) {
    CommissioningRecord record = session;
    const auto firstRead = std::find_if(ofConnection.begin(), ofConnection.end(), [](const HistoryRecord& r) {
        return r.kind == MeterEventKindName(MeterEventKind::Read);
    });
    if (firstRead != ofConnection.end()) {
        record.asFound = RecordMeterValues(*firstRead, params);
        record.asFoundTaken = true;
    }
    if (!ofConnection.isEmpty()) {
        record.asLeft = RecordMeterValues(ofConnection.last(), params);
        record.asLeftTaken = true;
    }
    return record;
}

} // namespace vorda
