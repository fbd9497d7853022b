#pragma once
#include "SerialLayer.h"

#include <QHash>
#include <QStringList>
#include <memory>

class QSerialPort;

namespace vorda {

// The serial layer of the program, on QSerialPort, used blocking on the UI
// thread (no event loop needed).
//
// COM n (library port n - 1) is, when VORDA_PORT_DIR is set, the entry "COMn"
// of that folder (a device node or a link to one) and only those entries
// exist; otherwise the n-th of the system's serial devices /dev/ttyS*,
// /dev/ttyUSB*, /dev/ttyACM* in a fixed order.
class QtSerialLayer : public SerialLayer {
public:
    static constexpr int kProbeNotFound = kProbeNoSuchDevice;
    static constexpr int kProbeAccessDenied = 5; // held by this or another program
    static constexpr int kProbeFailed = 31;      // the device would not open

    QtSerialLayer();
    ~QtSerialLayer() override;

    // The device COM comNr stands for, symbolic links resolved; empty when
    // there is none.
    QString DevicePath(unsigned comNr);

    int SioReset(int port, int rxQueue, int txQueue) override;
    int SioBaud(int port, int baudCode) override;
    int SioParms(int port, int parity, int stopBits, int dataBits) override;
    int SioDone(int port) override;
    int SioPuts(int port, const unsigned char* bytes, int count) override;
    int SioTxQue(int port) override;
    int SioEvent(int port, int mask) override;
    int SioRxWait(int port, int count, int timeoutMs) override;
    QList<int> SioRxWaitAny(const QList<int>& ports, int count, int timeoutMs) override;
    int SioGetc(int port) override;
    int SioTxClear(int port) override;
    int ProbeDevice(const QString& deviceName) override;
    PortHolder HolderOf(const QString& deviceName) override;

private:
    QSerialPort* openPort(int port) const;
    // The failure code for a port that is not open.
    int closedCode(int port) const;
    void refreshSystemDevices();
    bool heldOpen(const QString& devicePath);

    QHash<int, QSerialPort*> ports_;        // open ports by library number
    QHash<int, QString> devices_;           // their device paths
    QStringList systemDevices_;             // COM1 first
    bool systemDevicesListed_ = false;
};

// Asks the serial device fd for low latency (a USB adapter then passes on
// every byte at once instead of holding short replies back); false where
// the device has no such setting or refuses it.
bool RequestLowLatency(int fd);

// The system's serial devices in COM order: /dev/ttyS*, then /dev/ttyUSB*,
// then /dev/ttyACM*, each group by its number.
QStringList SystemSerialDevices();

} // namespace vorda
