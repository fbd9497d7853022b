#pragma once
// The meter history as the programs use it: where it is kept, a record for
// every event of the meter session, and a local queue that holds records
// while a shared PostgreSQL store does not answer.
#include "history/HistoryStore.h"
#include "values/MeterEvent.h"

#include <functional>
#include <memory>

namespace vorda {

// The history's place: VORDA_HISTORY when set, else the first line of
// "VORDAHistory.txt" in the user directory, else "VORDAHistory.sqlite"
// there. False with *error for an address that cannot be used.
bool ResolveHistoryLocation(const QString& userDir, const QString& environment, HistoryLocation* location,
                            QString* error);
// The local queue of a shared store, in the user directory.
QString HistoryQueuePath(const QString& userDir);

// How one record went.
struct HistoryWrite {
    bool stored = false;  // in the history
    bool queued = false;  // kept in the local queue for a shared store
    qint64 id = 0;        // the record's number in the history when stored
    QString problem;      // one line when not stored; no password
};

class MeterHistory {
public:
    // queuePath is used only for a PostgreSQL location.
    MeterHistory(const HistoryLocation& location, const QString& queuePath);

    // Stores a record: first whatever the queue holds, then this one. A
    // shared store that fails is tried once more on a new connection, then
    // the record waits in the queue.
    HistoryWrite Record(const HistoryRecord& record);
    // The store opened for reading; null with *error when it cannot be.
    HistoryStore* Reader(QString* error);
    const HistoryLocation& Location() const { return location_; }
    // Records waiting in the local queue.
    qint64 Queued();

private:
    bool OpenPrimary(QString* error);
    bool SendQueue(QString* error);
    HistoryStore* Queue(QString* error);

    HistoryLocation location_;
    QString queuePath_;
    HistoryStore primary_;
    std::unique_ptr<HistoryStore> queue_;
};

// Turns the session's events into records in a history, and tells the
// front end once per command when one could not be stored.
class HistoryRecorder : public MeterEventSink {
public:
    using Tell = std::function<void(const QString& line)>;
    HistoryRecorder(MeterHistory& history, RecordEnvironment made, Tell tell);

    void MeterEventHappened(const MeterEvent& event) override;
    // A new command begins: its first failure will be told.
    void BeginCommand() { told_ = false; }
    // The records made so far, by uid, and the last one's number.
    const QStringList& Made() const { return made_; }
    qint64 LastId() const { return lastId_; }

private:
    MeterHistory& history_;
    RecordEnvironment environment_;
    Tell tell_;
    bool told_ = false;
    QStringList made_;
    qint64 lastId_ = 0;
};

// "Meter history: ..." as the line a failure is told in.
QString HistoryProblemLine(const QString& kind, const HistoryWrite& write);

} // namespace vorda
