#include "shell/ProgramHistory.h"

namespace vorda {

ProgramHistory::ProgramHistory(std::function<QString()> userDir, QString environment, RecordEnvironment made,
                               Tell tell)
    : userDir_(std::move(userDir)), environment_(std::move(environment)), made_(std::move(made)),
      tell_(std::move(tell)) {}

ProgramHistory::~ProgramHistory() = default;

bool ProgramHistory::Ready(QString* error) {
    const QString dir = userDir_ ? userDir_() : QString();
    if (history_ && dir == madeFor_) return true;
    recorder_.reset();
    history_.reset();
    madeFor_ = dir;
    HistoryLocation location;
    if (!ResolveHistoryLocation(dir, environment_, &location, error)) return false;
    history_ = std::make_unique<MeterHistory>(location, HistoryQueuePath(dir));
    recorder_ = std::make_unique<HistoryRecorder>(*history_, made_, tell_);
    return true;
}

void ProgramHistory::MeterEventHappened(const MeterEvent& event) {
    ++events_[event.connection.id];
    QString error;
    if (Ready(&error)) {
        recorder_->MeterEventHappened(event);
        return;
    }
    if (told_ || !tell_) return;
    told_ = true;
    HistoryWrite failed;
    failed.problem = error;
    tell_(HistoryProblemLine(MeterEventKindName(event.kind), failed));
}

void ProgramHistory::BeginCommand() {
    told_ = false;
    if (recorder_) recorder_->BeginCommand();
}

HistoryStore* ProgramHistory::Reader(QString* error) {
    if (!Ready(error)) return nullptr;
    return history_->Reader(error);
}

} // namespace vorda
