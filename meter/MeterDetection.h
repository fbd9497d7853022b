#pragma once
#include <QList>

#include <functional>

namespace vorda {
class MeterProtocol;

inline constexpr int kLastComNumber = 1000;

// One COM port that could be opened in a scan.
struct PortFinding {
    int com = 0;          // COM number, 1 to 1000
    bool meter = false;   // a meter answered the handshake (the first or a second one)
    int mapNumber = -1;   // register 200 of that meter; -1 when it was not read
};

// A COM port that could not be tested because another program holds it.
struct HeldPort {
    int com = 0;
    long long pid = 0; // the holder's process number, 0 when unknown
};

// "COM5 is in use by another program (process 1234)", without the process
// when it is unknown.
QString PortInUseText(const HeldPort& port);

// A port this account may not open.
struct DeniedPort {
    int com = 0;
    QString device; // the device behind it
    QString group;  // the group that may open it, empty when unknown
};

// "COM5 (/dev/ttyUSB0) may not be opened by this account (permission
// denied): add the account to the group dialout (sudo usermod -aG dialout
// USER) and log in again."
QString PortDeniedText(const DeniedPort& port);

struct ScanOutcome {
    QList<PortFinding> ports; // ascending COM numbers
    QList<HeldPort> held;     // ports held by other programs, ascending
    QList<DeniedPort> denied; // ports this account may not open, ascending
    int MeterCount() const;
    // The first port on which a meter answered; null when none did.
    const PortFinding* FirstMeter() const;
};

// How a scan runs.
struct ScanOptions {
    int onlyCom = 0;             // scan COM onlyCom alone when above 0
    bool readMapNumber = false;  // read register 200 of every meter found
    bool keepMetersOpen = false; // leave the ports of the meters found open
    // Called before a port is tested, with its COM number.
    std::function<void(int com)> testing;
    // Called before each port is opened and before a silent one is closed.
    std::function<void()> beforeOpenOrClose;
};

// Tests the library ports together for a meter: opens each one, sends the
// handshake to all and waits once, sends a second handshake to those that
// did not answer and waits once more, and closes the ports without a meter.
// Each port gets the exchanges of a test on its own; a silent port costs two
// time-outs in all, not two each. beforeOpenOrClose, when given, runs before
// each port is opened and before a silent one is closed. Returns the ports on
// which a meter answered; they stay open.
QList<int> ProbeForMeters(MeterProtocol& protocol, const QList<int>& ports,
                          const std::function<void()>& beforeOpenOrClose = {});

// Scans COM 1 to 1000: every port whose device can be opened exclusively is
// opened and tested with the handshake, a second one when the first is not
// answered. A port without a meter is closed again; a meter's port too unless
// keepMetersOpen (the next scan sees the meters attached at that moment only
// when their ports are closed first). The link's ComPortNumber names each
// port while it is tested.
ScanOutcome ScanPorts(MeterProtocol& protocol, const ScanOptions& options);

// How connecting to the one meter ended.
enum class ConnectStatus {
    Connected,       // the port is open and the meter answered; mapNumber read
    NoMeter,         // no port answered
    SeveralMeters,   // more than one meter answered
    NoAnswer,        // the chosen meter did not answer the handshake once reopened
};

struct ConnectOutcome {
    ConnectStatus status = ConnectStatus::NoMeter;
    ScanOutcome scan;
    int com = 0;         // the meter's COM number when one was found
    int mapNumber = -1;  // register 200, -1 when its read failed
};

// Finds the one meter (on COM onlyCom when it is above 0), reopens its port,
// makes the handshake and reads its map number. On Connected the port stays
// open and ComPortNumber names it.
ConnectOutcome ConnectOneMeter(MeterProtocol& protocol, int onlyCom);

} // namespace vorda
