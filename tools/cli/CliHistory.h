#pragma once
// The meter history in vorda-cli: a record for every event of a command's
// meter session, and the commands that list, show and compare records.
#include "CliCommands.h"

#include "history/MeterHistory.h"
#include "shell/ProgramHistory.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>

namespace vorda {
class CliOutput;

// The meter history of one run: its place, settled once, opened at the
// first event or the first read. A record that cannot be stored is told
// once, as one line; the command goes on as if nothing had happened.
class CliHistory : public MeterEventSink {
public:
    using Tell = std::function<void(const QString& line)>;
    CliHistory(const QString& userDir, const QString& address, Tell tell);
    // The recorder tells through this object: it stays where it was made.
    CliHistory(const CliHistory&) = delete;
    CliHistory& operator=(const CliHistory&) = delete;

    void MeterEventHappened(const MeterEvent& event) override;
    // {"recorded": records stored, "problem": the line told, when one was}
    QJsonObject Json() const;
    // The store to read; null with *error (one line, no password).
    HistoryStore* Reader(QString* error);

private:
    void Told(const QString& line);

    Tell tell_;
    QString problem_;
    ProgramHistory program_;
};

// Reads record id whole; kExitDone, else the failure, reported: kExitFile
// when the history cannot be read, kExitNoRecord when it has no such record.
int FetchRecord(CliHistory& history, qint64 id, CliOutput& out, HistoryRecord* record);

// history, history show REC, history diff REC1 REC2.
int RunHistoryCommand(const CliRequest& request, const CliContext& context, CliOutput& out, CliHistory& history);

} // namespace vorda
