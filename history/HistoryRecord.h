#pragma once
// One record of the meter history: an event on one meter, who made it where
// and with what, and every parameter's exact value at that moment.
#include "values/DataFile.h"
#include "values/MeterEvent.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVector>

namespace vorda {

// One parameter of a record.
struct RecordValue {
    QString name;
    QString format;
    QString value;            // exact meter value in the point form, "unknown" when not known
    QVector<int> registers;   // empty when not known
    WriteAck ack = WriteAck::NotSent;
    bool operator==(const RecordValue&) const = default;
};

// Where and by whom a record is made.
struct RecordEnvironment {
    QString account;   // the login name the program runs under
    QString userName;  // the account's full name, else the login name
    QString host;
    QString version;
    // The environment of this process.
    static RecordEnvironment Current();
};

struct HistoryRecord {
    qint64 id = 0;            // given by the store
    QString uid;              // unique the world over; a record sent twice is stored once
    QDateTime at;             // UTC
    QString kind;             // MeterEventKindName
    QString meter;            // the identity, MeterIdentity
    QString serial;           // empty for an unidentified meter
    int mapNumber = 0;
    QString mapFile;
    QString mapHash;
    RecordEnvironment made;
    QString comPort;          // "COM3"
    QString connection;       // the connection's id
    QString reason;
    QString outcome;
    QString details;          // calibration, differing parameters, restored record
    QList<RecordValue> values;
};

// "<map number>:<serial>", or for a meter that cannot be told apart
// "unidentified:COM<n>:<connection time, UTC>", never the same for two
// connections.
QString MeterIdentity(const QString& serial, int mapNumber, const MeterConnection& connection);
// The identity names no serial number.
bool IsUnidentified(const QString& identity);

// A hash of a map's contents: every field of every parameter.
QString MapHash(const QList<DMap>& params);

// The record of an event, made now.
HistoryRecord RecordOfEvent(const MeterEvent& event, const RecordEnvironment& made);

// The values as stored: a JSON array, and back. False for a text that is
// not such an array.
QString ValuesJson(const QList<RecordValue>& values);
bool ValuesFromJson(const QString& text, QList<RecordValue>* values);

// A record's values as a data file would give them for the map params: by
// position when the record was made under these very parameters (*sameMap),
// else by name and format. A value the record does not know is not given.
FileValues FileValuesOfRecord(const HistoryRecord& record, const QList<DMap>& params, bool* sameMap);

// A parameter whose value differs between two records, matched by name.
struct RecordDifference {
    QString name;
    QString format;
    QString first;   // empty when the first record has no such parameter
    QString second;
    QVector<int> firstRegisters;
    QVector<int> secondRegisters;
};
QList<RecordDifference> DiffRecords(const HistoryRecord& first, const HistoryRecord& second);

} // namespace vorda
