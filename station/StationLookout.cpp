#include "station/StationLookout.h"

#include "values/MeterEngine.h"
#include "values/MeterEvent.h"

namespace vorda {

namespace {
QString MeterCountText(int count) {
    static const char* const kWords[] = {"No", "One", "Two", "Three", "Four", "Five"};
    return count >= 0 && count < 6 ? QString::fromLatin1(kWords[count]) : QString::number(count);
}
} // namespace

LookDecision StationLookout::Judge(const AttachedMeter& meter, const StationTally& tally, bool byHand) {
    const ConnectOutcome& c = meter.connect;
    switch (c.status) {
    case ConnectStatus::NoMeter:
        rule_.NoMeterAttached();
        return {LookStep::Wait, QStringLiteral("Looking for a meter...")};
    case ConnectStatus::SeveralMeters:
        return {LookStep::Wait,
                QStringLiteral("%1 meters are attached: attach one only").arg(MeterCountText(c.scan.MeterCount()))};
    case ConnectStatus::NoAnswer:
        return {LookStep::Wait, QStringLiteral("A meter on COM%1 did not answer: check its connection").arg(c.com)};
    case ConnectStatus::Connected:
        break;
    }
    if (c.mapNumber < 0)
        return {LookStep::Wait,
                QStringLiteral("The meter on COM%1 did not tell its map number: check its connection").arg(c.com)};
    if (!meter.mapOk)
        return {LookStep::Wait,
                QStringLiteral("The meter's map %1 cannot be used: %2").arg(meter.mapFile, meter.mapError)};
    const QString name = meter.serial.isEmpty() ? QStringLiteral("without a serial number") : meter.serial;
    if (!byHand && !rule_.IsNew(meter.serial))
        return {LookStep::Wait, QStringLiteral("The last meter (%1) is still attached: attach the next one").arg(name)};
    if (!meter.serial.isEmpty() && tally.Done(meter.serial))
        return {LookStep::AskRepeat, QStringLiteral("Meter %1 was commissioned earlier in this shift").arg(name)};
    return {LookStep::Commission, QStringLiteral("Commissioning meter %1 on COM%2...").arg(name).arg(c.com)};
}

QString ReadSerialAlone(MeterProtocol& protocol, const QList<DMap>& params) {
    const int at = SerialNumberIndex(params);
    if (at < 0) return {};
    SilentReport quiet;
    const ReadOutcome read = ReadParameters(protocol, {params.at(at)}, quiet);
    if (!read.Whole()) return {};
    return UsableSerial(EventValue{read.meterValues.value(0), {}});
}

QString RepeatQuestion(const QString& serial) {
    return QStringLiteral("Meter %1 was commissioned earlier in this shift.\n\r\n\rCommission it again?").arg(serial);
}

} // namespace vorda
