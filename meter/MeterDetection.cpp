#include "MeterDetection.h"

#include "MeterProtocol.h"
#include "PortNames.h"
#include "SerialLayer.h"

namespace vorda {

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

ScanOutcome ScanPorts(MeterProtocol& protocol, int onlyCom, bool readMapNumber) {
    ScanOutcome out;
    const int first = onlyCom > 0 ? onlyCom : 1;
    const int last = onlyCom > 0 ? onlyCom : kLastComNumber;
    for (int com = first; com <= last; ++com)
        if (protocol.Serial().ProbeDevice(ExtComName(static_cast<unsigned>(com))) == 0) out.ports.append({com, false, -1});
    for (PortFinding& p : out.ports) {
        const int port = p.com - 1;
        protocol.Link().ComPortNumber = port;
        if (!protocol.ConnectToPort(port)) continue;
        p.meter = protocol.Handshake() || protocol.Handshake();
        if (p.meter && readMapNumber) p.mapNumber = protocol.GetSetRegister(1, kMapNumberRegister, 1);
        protocol.DisconnectPort(port);
    }
    return out;
}

ConnectOutcome ConnectOneMeter(MeterProtocol& protocol, int onlyCom) {
    ConnectOutcome out;
    out.scan = ScanPorts(protocol, onlyCom, false);
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
