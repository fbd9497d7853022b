#pragma once
// The meter history as the window shows it: which meter is connected, the
// rows of a meter's records, two records' differences in display units, and
// the commissioning record taken from the records of one connection.
#include "history/HistoryRecord.h"
#include "values/Commissioning.h"
#include "values/MeterComparison.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace vorda {

// The identity the records of the connected meter are kept under: that of
// the connection's latest record, else the one its next record would have
// (the serial number the session knows, the map number, the connection).
QString ConnectedMeterIdentity(const QList<HistoryRecord>& ofConnection, const MeterConnection& connection,
                               const QList<DMap>& params, const QVector<EventValue>& known);

// One row of a meter's record list.
struct HistoryListRow {
    qint64 id = 0;
    QString time;    // local time, to the second
    QString kind;
    QString outcome;
    QString port;
    QString user;
    QString host;
    QString reason;
};
QList<HistoryListRow> HistoryListRows(const QList<HistoryRecord>& records);

// One parameter that differs between two records.
struct HistoryDiffRow {
    QString parameter;
    QString unit;
    QString older;   // "(none)" when that record has no such parameter
    QString newer;
};

struct HistoryDiff {
    QString olderTime;
    QString newerTime;
    QList<HistoryDiffRow> rows;
    // The values are in the display units of the screen; else, with note,
    // in meter units.
    bool displayUnits = false;
    QString note;
};

// The differences of two records, the older one first. They show in display
// units when both were made under the parameters on screen (params, the same
// map contents), else in meter units with a note saying why.
HistoryDiff DiffInDisplayUnits(const HistoryRecord& a, const HistoryRecord& b, const QList<DMap>& params,
                               const ComparisonDisplay& display);

// The record's exact meter values for params, by position when it was made
// under them, else by name and format; "unknown" where it has none.
QStringList RecordMeterValues(const HistoryRecord& record, const QList<DMap>& params);

// The commissioning record of a connection from its history records
// (oldest first): as found from the first read record, as left from the
// last record; what they do not say comes from the session's record.
CommissioningRecord RecordFromHistory(const CommissioningRecord& session, const QList<HistoryRecord>& ofConnection,
                                      const QList<DMap>& params);

} // namespace vorda
