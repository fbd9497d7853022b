#include "MeterDetection.h"

#include "MeterProtocol.h"
#include "PortNames.h"
#include "SerialLayer.h"

namespace vorda {

QString PortInUseText(const HeldPort& port) {
    QString text = QStringLiteral("COM%1 is in use by another program").arg(port.com);
    if (port.pid > 0) text += QStringLiteral(" (process %1)").arg(port.pid);
    return text;
}

QString PortDeniedText(const DeniedPort& port) {
    QString text = QStringLiteral("COM%1 (%2) may not be opened by this account (permission denied)")
                       .arg(port.com)
                       .arg(port.device);
    if (port.group.isEmpty()) return text + QStringLiteral(": ask the administrator for access to the device.");
    return text + QStringLiteral(": add the account to the group %1 (sudo usermod -aG %1 USER) and log in again.")
                      .arg(port.group);
}

int ScanOutcome::MeterCount() const {
    int n = 0;
    for (const PortFinding& p : ports) n += p.meter ? 1 : 0;
    return n;
}

const PortFinding* ScanOutcome::FirstMeter() const {
    for (const PortFinding& p : ports)
        if (p.meter) return &p;
    return nullptr;
}

QList<int> ProbeForMeters(MeterProtocol& protocol, const QList<int>& ports,
                          const std::function<void()>& beforeOpenOrClose) {
    QList<int> opened;
    for (int port : ports) {
        if (beforeOpenOrClose) beforeOpenOrClose();
        if (protocol.ConnectToPort(port)) opened << port;
    }
    QList<int> found, unanswered;
    const QHash<int, int> first = protocol.getChars(opened, kHandshakeSent);
    for (int port : std::as_const(opened)) (first.value(port) == kHandshakeReply ? found : unanswered) << port;
    const QHash<int, int> second = protocol.getChars(unanswered, kHandshakeSent);
    for (int port : std::as_const(unanswered)) {
        if (second.value(port) == kHandshakeReply) {
            found << port;
            continue;
        }
        if (beforeOpenOrClose) beforeOpenOrClose();
        protocol.DisconnectPort(port);
    }
    return found;
}

ScanOutcome ScanPorts(MeterProtocol& protocol, const ScanOptions& options) {
    ScanOutcome out;
    const int first = options.onlyCom > 0 ? options.onlyCom : 1;
    const int last = options.onlyCom > 0 ? options.onlyCom : kLastComNumber;
    SerialLayer& serial = protocol.Serial();
    for (int com = first; com <= last; ++com) {
        const QString name = ExtComName(static_cast<unsigned>(com));
        const int probe = serial.ProbeDevice(name);
        if (probe == 0) {
            out.ports.append({com, false, -1});
            continue;
        }
        if (probe == kProbeNoSuchDevice) continue;
        // Skipped, but named, so that a meter behind it is not taken for
        // one that is missing.
        const PortHolder holder = serial.HolderOf(name);
        if (holder.inUse) out.held.append({com, holder.pid});
        if (holder.denied) out.denied.append({com, holder.device, holder.group});
    }
    QList<int> ports;
    for (const PortFinding& p : std::as_const(out.ports)) {
        if (options.testing) options.testing(p.com);
        protocol.Link().ComPortNumber = p.com - 1;
        ports << p.com - 1;
    }
    const QList<int> meters = ProbeForMeters(protocol, ports, options.beforeOpenOrClose);
    for (PortFinding& p : out.ports) {
        const int port = p.com - 1;
        p.meter = meters.contains(port);
        if (!p.meter) continue;
        protocol.Link().ComPortNumber = port;
        if (options.readMapNumber) p.mapNumber = protocol.GetSetRegister(1, kMapNumberRegister, 1);
        if (!options.keepMetersOpen) protocol.DisconnectPort(port);
    }
    return out;
}

ConnectOutcome ConnectOneMeter(MeterProtocol& protocol, int onlyCom) {
    ConnectOutcome out;
    ScanOptions options;
    options.onlyCom = onlyCom;
    out.scan = ScanPorts(protocol, options);
    const int meters = out.scan.MeterCount();
    if (meters == 0) return out;
    if (meters > 1) {
        out.status = ConnectStatus::SeveralMeters;
        return out;
    }
    out.com = out.scan.FirstMeter()->com;
    const int port = out.com - 1;
    protocol.Link().ComPortNumber = port;
    protocol.ConnectToPort(port);
    if (!protocol.Handshake()) {
        protocol.DisconnectPort(port);
        out.status = ConnectStatus::NoAnswer;
        return out;
    }
    out.mapNumber = protocol.GetSetRegister(1, kMapNumberRegister, 1);
    protocol.Link().MeterConnected = true;
    out.status = ConnectStatus::Connected;
    return out;
}

} // namespace vorda
