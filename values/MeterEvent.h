#pragma once
// What the meter session tells a listener (the meter history) each time the
// meter was read whole, written, verified, reset to its factory settings or
// had its mA output calibrated: the event with every parameter's value as
// far as the session knows it at that moment.
#include "maps/DMap.h"
#include "values/Commissioning.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace vorda {

enum class MeterEventKind { Read, Write, Verify, FactoryReset, MaCalibration, Restore };

// "read", "write", "verify", "factory-reset", "ma-calibration", "restore":
// the names records are stored and listed under.
QString MeterEventKindName(MeterEventKind kind);
std::optional<MeterEventKind> MeterEventKindFromName(const QString& name);

// How a written parameter was acknowledged.
enum class WriteAck { NotSent, All, Part, None };

// One parameter at the moment of an event: its exact meter value and the
// registers behind it; "unknown" (CommissioningRecord::UnknownValue) with no
// registers when the session does not know what the meter holds.
struct EventValue {
    QString value;
    QVector<int> registers;
    WriteAck ack = WriteAck::NotSent; // writes only
    bool Known() const { return value != CommissioningRecord::UnknownValue(); }
};

// One connection to a meter, from Connect to the next.
struct MeterConnection {
    QString id;            // unique per connection
    QDateTime connectedAt; // UTC
    int com = 0;
    int mapNumber = 0;
};

struct MeterEvent {
    MeterEventKind kind = MeterEventKind::Read;
    MeterConnection connection;
    QString mapFile;
    QList<DMap> params;
    QVector<EventValue> values;     // by map index
    // The meter's serial number as known before the event; empty when the
    // map has none or it is not known.
    QString serial;
    QString outcome;                // e.g. "whole", "verified", "differences"
    QStringList differing;          // parameters that did not hold what they should
    QString reason;                 // the technician's reason for a write
    QString restoredFrom;           // the record a restore brought back
    std::optional<MaCalibration> calibration;
};

// Hears the session's events as they happen.
class MeterEventSink {
public:
    virtual ~MeterEventSink() = default;
    virtual void MeterEventHappened(const MeterEvent& event) = 0;
};

// The parameter that identifies the meter: the one named "Serial Number"
// (letter case aside); -1 when the map has none.
int SerialNumberIndex(const QList<DMap>& params);

// The serial number a value stands for: empty when it is unknown, empty or
// zero (a meter whose serial was never set).
QString UsableSerial(const EventValue& value);

} // namespace vorda
