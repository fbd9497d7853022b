// The meter session's events: what it knows the meter holds, kept up to
// date by every read and write, and told to its listener.
#include "values/MeterSession.h"

#include "values/MeterEvent.h"

namespace vorda {

QString MeterEventKindName(MeterEventKind kind) {
    switch (kind) {
    case MeterEventKind::Read: return QStringLiteral("read");
    case MeterEventKind::Write: return QStringLiteral("write");
    case MeterEventKind::Verify: return QStringLiteral("verify");
    case MeterEventKind::FactoryReset: return QStringLiteral("factory-reset");
    case MeterEventKind::MaCalibration: return QStringLiteral("ma-calibration");
    case MeterEventKind::Restore: return QStringLiteral("restore");
    }
    return {};
}

std::optional<MeterEventKind> MeterEventKindFromName(const QString& name) {
    for (MeterEventKind k : {MeterEventKind::Read, MeterEventKind::Write, MeterEventKind::Verify,
                             MeterEventKind::FactoryReset, MeterEventKind::MaCalibration, MeterEventKind::Restore})
        if (MeterEventKindName(k) == name) return k;
    return std::nullopt;
}

int SerialNumberIndex(const QList<DMap>& params) {
    for (int i = 0; i < params.size(); ++i)
        if (params.at(i).Parameter.trimmed().compare(QLatin1String("Serial Number"), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString UsableSerial(const EventValue& value) {
    const QString serial = value.value.trimmed();
    if (!value.Known() || serial.isEmpty()) return {};
    bool number = false;
    const qlonglong n = serial.toLongLong(&number);
    if (number && n == 0) return {};
    return serial;
}

QVector<EventValue>& MeterSession::KnownOfMap() {
    // Values known under another map belong to other parameters.
    if (knownMap_ != map_.CurrentMapFile || known_.size() != map_.MapParamCount()) {
        knownMap_ = map_.CurrentMapFile;
        known_ = QVector<EventValue>(map_.MapParamCount(), EventValue{CommissioningRecord::UnknownValue(), {}});
    }
    return known_;
}

QVector<EventValue> MeterSession::Known() const {
    if (knownMap_ != map_.CurrentMapFile || known_.size() != map_.MapParamCount())
        return QVector<EventValue>(map_.MapParamCount(), EventValue{CommissioningRecord::UnknownValue(), {}});
    return known_;
}

void MeterSession::KnowRead(const ReadOutcome& read) {
    if (!read.handshakeOk) return;
    QVector<EventValue>& known = KnownOfMap();
    for (int i = 0; i < read.complete.size() && i < known.size(); ++i)
        if (read.complete.at(i)) known[i] = EventValue{read.meterValues.value(i), read.bytes.value(i)};
}

void MeterSession::KnowWrite(const QVector<EEValue>& values, const QStringList& meterValues,
                             const QVector<bool>& selected, const WriteOutcome& written, const VerifyOutcome* back,
                             MeterEvent* event) {
    QVector<EventValue>& known = KnownOfMap();
    for (int i = 0; i < known.size(); ++i) {
        if (!selected.isEmpty() && !selected.value(i)) continue;
        const QVector<bool> acks = written.acknowledged.value(i);
        if (acks.isEmpty()) continue; // not reached: the meter holds what it held
        const QVector<int> readBack = back ? back->bytes.value(i) : QVector<int>();
        const QString value = ValueAfterWrite(map_.MapParams.at(i), meterValues.value(i), acks, readBack);
        QVector<int> registers;
        if (!readBack.isEmpty() && !readBack.contains(-1)) registers = readBack;
        else if (!acks.contains(false)) registers = values.value(i).Values;
        known[i] = EventValue{value, registers};
        event->values[i].ack = !acks.contains(false) ? WriteAck::All : acks.contains(true) ? WriteAck::Part
                                                                                         : WriteAck::None;
    }
    // The event shows the meter after the write, with the acknowledgements.
    for (int i = 0; i < known.size(); ++i) {
        const WriteAck ack = event->values.at(i).ack;
        event->values[i] = known.at(i);
        event->values[i].ack = ack;
    }
}

MeterEvent MeterSession::NewEvent(MeterEventKind kind, const QString& outcome) const {
    MeterEvent e;
    e.kind = kind;
    e.connection = connection_;
    e.mapFile = map_.CurrentMapFile;
    e.params = map_.MapParams;
    e.values = Known();
    e.outcome = outcome;
    const int serial = SerialNumberIndex(e.params);
    if (serial >= 0) e.serial = UsableSerial(e.values.at(serial));
    return e;
}

void MeterSession::Tell(MeterEvent event) {
    if (sink_ && connection_.com > 0) sink_->MeterEventHappened(event);
}

void MeterSession::TellRead(const ReadOutcome&) {
    MeterEvent event = NewEvent(resetPending_ ? MeterEventKind::FactoryReset : MeterEventKind::Read,
                                resetPending_ ? QStringLiteral("read after the reset") : QStringLiteral("whole"));
    resetPending_ = false;
    Tell(std::move(event));
}

void MeterSession::TellWrite(MeterEvent event) {
    event.reason = reason_;
    event.restoredFrom = restoredFrom_;
    if (!restoredFrom_.isEmpty()) event.kind = MeterEventKind::Restore;
    reason_.clear();
    restoredFrom_.clear();
    // The identity is the meter's before the write, also when the write
    // gave it another serial number.
    Tell(std::move(event));
}

void MeterSession::IdentifyMeter(MeterProtocol& protocol) {
    if (!sink_ || connection_.com <= 0) return;
    const int i = SerialNumberIndex(map_.MapParams);
    if (i < 0 || KnownOfMap().at(i).Known()) return;
    SilentReport silent;
    const ReadOutcome read = ReadParameters(protocol, {map_.MapParams.at(i)}, silent);
    if (read.handshakeOk && read.complete.value(0))
        known_[i] = EventValue{read.meterValues.value(0), read.bytes.value(0)};
}

void MeterSession::BeginFactoryReset() {
    // Nothing the session knew of the meter holds any longer.
    knownMap_.clear();
    known_.clear();
    resetPending_ = true;
}

void MeterSession::EndFactoryReset() {
    if (!resetPending_) return;
    resetPending_ = false;
    Tell(NewEvent(MeterEventKind::FactoryReset, QStringLiteral("not read after the reset")));
}

void MeterSession::Calibrated(const MaCalibration& calibration) {
    record_.maCalibration = calibration;
    MeterEvent event = NewEvent(MeterEventKind::MaCalibration, QStringLiteral("written"));
    event.calibration = calibration;
    Tell(std::move(event));
}

} // namespace vorda
