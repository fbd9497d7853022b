#pragma once
// The meter history of one program run: made at the first event, in the user
// directory of that moment, so that start-up never waits for a database; made
// anew when the user directory has changed since. A history that cannot be
// reached is told once per command, in one line; the meter work goes on.
#include "history/MeterHistory.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

namespace vorda {

class ProgramHistory : public MeterEventSink {
public:
    using Tell = std::function<void(const QString& line)>;
    // userDir gives the user directory as it stands; environment is
    // $VORDA_HISTORY (empty when unset).
    ProgramHistory(std::function<QString()> userDir, QString environment, RecordEnvironment made, Tell tell);
    ~ProgramHistory() override;
    ProgramHistory(const ProgramHistory&) = delete;
    ProgramHistory& operator=(const ProgramHistory&) = delete;

    void MeterEventHappened(const MeterEvent& event) override;
    // A new command begins: the first of its records that cannot be stored
    // will be told.
    void BeginCommand();
    // The store opened for reading; null with *error (one line, no
    // password) when the history cannot be reached.
    HistoryStore* Reader(QString* error);
    // The events of one connection told so far, stored or not.
    qint64 EventsOf(const QString& connection) const { return events_.value(connection); }
    // The records stored in this run.
    qint64 Recorded() const { return recorder_ ? recorder_->Made().size() : 0; }
    // The history's place as messages show it; empty while it is not settled.
    QString Shown() const { return history_ ? history_->Location().Shown() : QString(); }
    // The number of the last record stored, 0 before the first.
    qint64 LastId() const { return recorder_ ? recorder_->LastId() : 0; }

private:
    // The history of the current user directory; false with *error when its
    // place cannot be resolved.
    bool Ready(QString* error);

    std::function<QString()> userDir_;
    QString environment_;
    RecordEnvironment made_;
    Tell tell_;
    QString madeFor_;   // the user directory the history below belongs to
    std::unique_ptr<MeterHistory> history_;
    std::unique_ptr<HistoryRecorder> recorder_;
    bool told_ = false; // an unresolved place was told in this command
    QHash<QString, qint64> events_;
};

} // namespace vorda
