#include "history/MeterHistory.h"


#include <QDir>
#include <QFile>

namespace vorda {

bool ResolveHistoryLocation(const QString& userDir, const QString& environment, HistoryLocation* location,
                            QString* error) {
    QString text = environment.trimmed();
    if (text.isEmpty()) {
        QFile setting(QDir(userDir).filePath(QStringLiteral("VORDAHistory.txt")));
        if (setting.open(QIODevice::ReadOnly | QIODevice::Text)) {
            for (const QString& line : QString::fromUtf8(setting.read(64 * 1024)).split(QLatin1Char('\n')))
                if (!line.trimmed().isEmpty()) {
                    text = line.trimmed();
                    break;
                }
        }
    }
    if (text.isEmpty()) text = QDir(userDir).filePath(QStringLiteral("VORDAHistory.sqlite"));
    // A relative file is taken in the user directory, not wherever the
    // program was started.
    if (!text.contains(QLatin1String("://")) && QDir::isRelativePath(text)) text = QDir(userDir).filePath(text);
    return HistoryLocation::Parse(text, location, error);
}

QString HistoryQueuePath(const QString& userDir) {
    return QDir(userDir).filePath(QStringLiteral("VORDAHistoryQueue.sqlite"));
}

MeterHistory::MeterHistory(const HistoryLocation& location, const QString& queuePath)
    : location_(location), queuePath_(queuePath) {}

bool MeterHistory::OpenPrimary(QString* error) {
    if (primary_.IsOpen()) return true;
    return primary_.Open(location_, error);
}

HistoryStore* MeterHistory::Queue(QString* error) {
    if (queue_ && queue_->IsOpen()) return queue_.get();
    queue_ = std::make_unique<HistoryStore>();
    HistoryLocation local;
    local.path = queuePath_;
    if (queue_->Open(local, error)) return queue_.get();
    queue_.reset();
    return nullptr;
}

bool MeterHistory::SendQueue(QString* error) {
    if (location_.kind != HistoryLocation::Kind::Postgres || !QFile::exists(queuePath_)) return true;
    HistoryStore* queue = Queue(error);
    if (!queue) return false;
    for (;;) {
        const auto waiting = queue->Oldest(200, error);
        if (!waiting) return false;
        if (waiting->isEmpty()) return true;
        // The shared store keeps a record once, by its uid: one sent
        // before a failed removal from the queue is not stored twice.
        if (!primary_.AppendAll(*waiting, error)) return false;
        for (const HistoryRecord& r : *waiting)
            if (!queue->Remove(r.id, error)) return false;
    }
}

HistoryWrite MeterHistory::Record(const HistoryRecord& record) {
    HistoryWrite w;
    QString error;
    const bool shared = location_.kind == HistoryLocation::Kind::Postgres;
    // A shared store whose connection dropped gets one new connection.
    for (int attempt = 0; attempt < (shared ? 2 : 1) && !w.stored; ++attempt) {
        if (attempt > 0) primary_.Close();
        if (OpenPrimary(&error) && SendQueue(&error) && primary_.Append(record, &error, &w.id)) w.stored = true;
    }
    if (w.stored) return w;
    if (!shared) {
        primary_.Close();
        w.problem = QStringLiteral("%1: %2").arg(location_.Shown(), error);
        return w;
    }
    primary_.Close();
    QString queueError;
    HistoryStore* queue = Queue(&queueError);
    w.queued = queue && queue->Append(record, &queueError);
    w.problem = w.queued ? QStringLiteral("the shared store %1 did not take it (%2); it is kept in %3 and sent when "
                                          "the store answers")
                               .arg(location_.Shown(), error, queuePath_)
                         : QStringLiteral("the shared store %1 did not take it (%2), nor the local queue %3 (%4)")
                               .arg(location_.Shown(), error, queuePath_, queueError);
    return w;
}

HistoryStore* MeterHistory::Reader(QString* error) {
    if (!OpenPrimary(error)) return nullptr;
    // What waited in the queue is shown with the rest.
    QString queueError;
    if (!SendQueue(&queueError)) primary_.Close();
    if (!primary_.IsOpen() && !OpenPrimary(error)) return nullptr;
    return &primary_;
}

qint64 MeterHistory::Queued() {
    QString error;
    if (!QFile::exists(queuePath_)) return 0;
    HistoryStore* queue = Queue(&error);
    if (!queue) return 0;
    const auto all = queue->List(QString(), 0, &error);
    return all ? all->size() : 0;
}

HistoryRecorder::HistoryRecorder(MeterHistory& history, RecordEnvironment made, Tell tell)
    : history_(history), environment_(std::move(made)), tell_(std::move(tell)) {}

void HistoryRecorder::MeterEventHappened(const MeterEvent& event) {
    const HistoryRecord record = RecordOfEvent(event, environment_);
    const HistoryWrite w = history_.Record(record);
    if (w.stored) {
        made_ << record.uid;
        lastId_ = w.id;
        return;
    }
    if (told_ || !tell_) return;
    told_ = true;
    tell_(HistoryProblemLine(record.kind, w));
}

QString HistoryProblemLine(const QString& kind, const HistoryWrite& write) {
    if (write.queued) return QStringLiteral("Meter history: the %1 is not yet recorded: %2").arg(kind, write.problem);
    return QStringLiteral("Meter history: the %1 was not recorded: %2").arg(kind, write.problem);
}

} // namespace vorda
