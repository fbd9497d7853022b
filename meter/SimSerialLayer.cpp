#include "SimSerialLayer.h"

#include "PortNames.h"
#include "SimMeter.h"

namespace vorda {

namespace {
QString Args(std::initializer_list<int> args) {
    QStringList parts;
    for (int a : args) parts << QString::number(a);
    return parts.join(u',');
}
} // namespace

void SimSerialLayer::attach(int port, SimMeter* meter) {
    Port& p = ports_[port];
    p.kind = meter ? PortKind::Meter : PortKind::Free;
    p.meter = meter;
}

void SimSerialLayer::setFree(int port) { attach(port, nullptr); }

void SimSerialLayer::setBusy(int port, long long holderPid) {
    Port& p = ports_[port];
    p = Port();
    p.kind = PortKind::Busy;
    p.holderPid = holderPid;
}

void SimSerialLayer::setDenied(int port, const QString& group) {
    Port& p = ports_[port];
    p = Port();
    p.kind = PortKind::Denied;
    p.group = group;
}

void SimSerialLayer::setAbsent(int port) { ports_.remove(port); }

SimSerialLayer::PortKind SimSerialLayer::kind(int port) const {
    return ports_.contains(port) ? ports_[port].kind : PortKind::Absent;
}

bool SimSerialLayer::isOpen(int port) const { return ports_.contains(port) && ports_[port].open; }

void SimSerialLayer::replaceNextReply(int port, const QByteArray& bytes) {
    Port& p = ports_[port];
    p.replaceReply = true;
    p.replacement = bytes;
}

void SimSerialLayer::failCall(const QString& function, int code) { failures_[function] = code; }

int SimSerialLayer::baudCode(int port) const { return ports_.contains(port) ? ports_[port].baud : -1; }

QList<int> SimSerialLayer::lineFormat(int port) const {
    return ports_.contains(port) ? ports_[port].format : QList<int>();
}

SimSerialLayer::Port* SimSerialLayer::openPort(int port) {
    auto it = ports_.find(port);
    if (it == ports_.end() || !it->open) return nullptr;
    return &*it;
}

int SimSerialLayer::SioReset(int port, int rxQueue, int txQueue) {
    log(QStringLiteral("SioReset(%1)").arg(Args({port, rxQueue, txQueue})));
    if (int f = failure(QStringLiteral("SioReset"))) return f;
    auto it = ports_.find(port);
    if (it == ports_.end() || it->kind == PortKind::Absent) return kSioBadPort;
    if (it->kind == PortKind::Busy) return kSioError;
    it->open = true;
    it->rx.clear();
    it->late.clear();
    it->txQueued = 0;
    // A pause between exchanges lets the meter drop a half-received command.
    if (it->meter) it->meter->resync();
    return 0;
}

int SimSerialLayer::SioBaud(int port, int baudCode) {
    log(QStringLiteral("SioBaud(%1)").arg(Args({port, baudCode})));
    if (int f = failure(QStringLiteral("SioBaud"))) return f;
    Port* p = openPort(port);
    if (!p) return kSioBadPort;
    p->baud = baudCode;
    return 0;
}

int SimSerialLayer::SioParms(int port, int parity, int stopBits, int dataBits) {
    log(QStringLiteral("SioParms(%1)").arg(Args({port, parity, stopBits, dataBits})));
    if (int f = failure(QStringLiteral("SioParms"))) return f;
    Port* p = openPort(port);
    if (!p) return kSioBadPort;
    p->format = {parity, stopBits, dataBits};
    return 0;
}

int SimSerialLayer::SioDone(int port) {
    log(QStringLiteral("SioDone(%1)").arg(port));
    if (int f = failure(QStringLiteral("SioDone"))) return f;
    Port* p = openPort(port);
    if (!p) return kSioBadPort;
    p->open = false;
    p->rx.clear();
    p->late.clear();
    p->txQueued = 0;
    return 0;
}

int SimSerialLayer::SioPuts(int port, const unsigned char* bytes, int count) {
    QStringList hex;
    for (int i = 0; i < count; ++i) hex << QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    log(QStringLiteral("SioPuts(%1,%2)").arg(port).arg(hex.join(u' ')));
    if (int f = failure(QStringLiteral("SioPuts"))) return f;
    Port* p = openPort(port);
    if (!p) return kSioBadPort;
    if (count <= 0) return 0;
    p->txQueued = txBacklog_;
    if (p->meter || p->replaceReply) {
        QByteArray reply;
        if (p->meter) reply = p->meter->feed(QByteArray(reinterpret_cast<const char*>(bytes), count));
        if (p->replaceReply) {
            reply = p->replacement;
            p->replaceReply = false;
        }
        const int delay = p->meter ? p->meter->faults().replyDelayMs : 0;
        if (delay > 0) {
            p->late += reply;
            p->lateMs = delay;
        } else {
            p->rx += reply;
        }
    }
    return count;
}

int SimSerialLayer::SioTxQue(int port) {
    log(QStringLiteral("SioTxQue(%1)").arg(port));
    if (int f = failure(QStringLiteral("SioTxQue"))) return f;
    Port* p = openPort(port);
    if (!p) return kSioBadPort;
    return p->txQueued;
}

int SimSerialLayer::SioEvent(int port, int mask) {
    log(QStringLiteral("SioEvent(%1)").arg(Args({port, mask})));
    if (int f = failure(QStringLiteral("SioEvent"))) return f;
    Port* p = openPort(port);
    if (!p) return kSioBadPort;
    if (mask & 4) p->txQueued = 0;
    return 0;
}

bool SimSerialLayer::arrivesWithin(Port& p, int count, int timeoutMs) {
    // A late reply arrives within this wait when its delay fits in the
    // time-out; otherwise only after the wait has given up.
    if (!p.late.isEmpty() && p.lateMs <= timeoutMs) {
        p.rx += p.late;
        p.late.clear();
    }
    return p.rx.size() >= count;
}

void SimSerialLayer::giveUp(Port& p) {
    p.rx += p.late;
    p.late.clear();
}

int SimSerialLayer::SioRxWait(int port, int count, int timeoutMs) {
    log(QStringLiteral("SioRxWait(%1)").arg(Args({port, count, timeoutMs})));
    if (int f = failure(QStringLiteral("SioRxWait"))) return f;
    Port* p = openPort(port);
    if (!p) return kSioBadPort;
    if (p->rx.size() >= count) {
        arrivesWithin(*p, count, timeoutMs);
        return p->rx.size();
    }
    // No time passes here, but a wait that would have lasted lets the
    // caller keep its window alive, as the real layer does.
    WhileWaiting();
    if (!(p = openPort(port))) return kSioBadPort;
    if (arrivesWithin(*p, count, timeoutMs)) return p->rx.size();
    giveUp(*p);
    return kSioTimeout;
}

QList<int> SimSerialLayer::SioRxWaitAny(const QList<int>& ports, int count, int timeoutMs) {
    QStringList names;
    for (int port : ports) names << QString::number(port);
    log(QStringLiteral("SioRxWaitAny(%1;%2)").arg(names.join(u','), Args({count, timeoutMs})));
    QList<int> ready, open;
    for (int port : ports) {
        const Port* p = openPort(port);
        if (!p) continue;
        open << port;
        if (p->rx.size() >= count) ready << port;
    }
    if (!ready.isEmpty() || open.isEmpty()) return ready;
    WhileWaiting();
    // Whatever arrives in time ends the wait; otherwise the late replies
    // come after it has given up.
    for (int port : open)
        if (Port* p = openPort(port); p && arrivesWithin(*p, count, timeoutMs)) ready << port;
    if (ready.isEmpty())
        for (int port : open)
            if (Port* p = openPort(port)) giveUp(*p);
    return ready;
}

int SimSerialLayer::SioGetc(int port) {
    log(QStringLiteral("SioGetc(%1)").arg(port));
    if (int f = failure(QStringLiteral("SioGetc"))) return f;
    Port* p = openPort(port);
    if (!p) return kSioBadPort;
    if (p->rx.isEmpty()) return kSioNoData;
    const int b = static_cast<quint8>(p->rx.front());
    p->rx.remove(0, 1);
    return b;
}

int SimSerialLayer::SioTxClear(int port) {
    log(QStringLiteral("SioTxClear(%1)").arg(port));
    if (int f = failure(QStringLiteral("SioTxClear"))) return f;
    Port* p = openPort(port);
    if (!p) return kSioBadPort;
    p->txQueued = 0;
    return 0;
}

int SimSerialLayer::ProbeDevice(const QString& deviceName) {
    log(QStringLiteral("ProbeDevice(%1)").arg(deviceName));
    const unsigned com = ComNumberFromName(deviceName);
    if (com == 0 || com > 0x7FFFFFFFu) return kProbeNotFound;
    const int port = static_cast<int>(com - 1);
    switch (kind(port)) {
    case PortKind::Absent: return kProbeNotFound;
    case PortKind::Busy:
    case PortKind::Denied: return kProbeAccessDenied;
    default: break;
    }
    // Opened exclusively through this layer: another open is refused.
    return isOpen(port) ? kProbeAccessDenied : 0;
}

PortHolder SimSerialLayer::HolderOf(const QString& deviceName) {
    const unsigned com = ComNumberFromName(deviceName);
    if (com == 0 || com > 0x7FFFFFFFu) return {};
    const int port = static_cast<int>(com - 1);
    if (kind(port) == PortKind::Denied)
        return PortHolder::Denied(QStringLiteral("/dev/ttySIM%1").arg(port), ports_[port].group);
    if (kind(port) != PortKind::Busy) return {};
    return PortHolder::InUse(ports_[port].holderPid);
}

} // namespace vorda
