#pragma once
#include <QList>
#include <QString>

#include <functional>

namespace vorda {

// Another program that holds a serial device.
struct PortHolder {
    bool inUse = false; // held by another program
    long long pid = 0;  // its process number, 0 when unknown
    // This account may not open the device: its path and the group that may.
    bool denied = false;
    QString device;
    QString group;

    static PortHolder InUse(long long pid) {
        PortHolder h;
        h.inUse = true;
        h.pid = pid;
        return h;
    }
    static PortHolder Denied(const QString& device, const QString& group) {
        PortHolder h;
        h.denied = true;
        h.device = device;
        h.group = group;
        return h;
    }
};

// The probe's code for a device that is not there.
inline constexpr int kProbeNoSuchDevice = 2;

// The serial library's calls. Ports are numbered from 0 (COM1); any negative
// result is a failure. The real layer drives QSerialPort; the test layer
// connects port numbers to simulated meters in the same process.
class SerialLayer {
public:
    virtual ~SerialLayer() = default;

    // Opens the port when it is closed (queue sizes rx, tx); on an open port
    // discards whatever is still queued in either direction.
    virtual int SioReset(int port, int rxQueue, int txQueue) = 0;
    virtual int SioBaud(int port, int baudCode) = 0;
    virtual int SioParms(int port, int parity, int stopBits, int dataBits) = 0;
    virtual int SioDone(int port) = 0;
    // Queues count bytes for sending.
    virtual int SioPuts(int port, const unsigned char* bytes, int count) = 0;
    // Bytes still waiting to be sent.
    virtual int SioTxQue(int port) = 0;
    // Waits for an event; mask 4 waits until the transmit queue is empty.
    virtual int SioEvent(int port, int mask) = 0;
    // Waits until count bytes can be read or timeoutMs passes (negative then).
    virtual int SioRxWait(int port, int count, int timeoutMs) = 0;
    // Waits until at least one of ports has count bytes to read, or timeoutMs
    // passes; the ports that have them, none after the time-out. Ports that
    // are not open never become ready.
    virtual QList<int> SioRxWaitAny(const QList<int>& ports, int count, int timeoutMs) = 0;
    // The next received byte 0..255, or a negative code when none is there.
    virtual int SioGetc(int port) = 0;
    virtual int SioTxClear(int port) = 0;

    // Exclusive-open probe of a device name as ExtComName gives it
    // ("COM5", "\\.\COM10"): 0 when it could be opened (and is closed again),
    // otherwise a positive system error code.
    virtual int ProbeDevice(const QString& deviceName) = 0;
    // Whether another program holds a device the probe could not open, and
    // which: the process number its lock file names, 0 when none does.
    // Nothing for a device that is not there or that this program holds.
    virtual PortHolder HolderOf(const QString& /*deviceName*/) { return {}; }

    // Called while a call waits on the line, about every kWaitHookIntervalMs
    // of waiting, so that the caller can keep its window alive. None by
    // default.
    void SetWaitHook(std::function<void()> hook) { waitHook_ = std::move(hook); }

protected:
    void WhileWaiting() {
        if (waitHook_) waitHook_();
    }

private:
    std::function<void()> waitHook_;
};

inline constexpr int kWaitHookIntervalMs = 40;

// Library codes and the line settings they stand for.
inline constexpr int kBaudCode19200 = 6;  // SioBaud code: 19200 baud
inline constexpr int kParityNone = 0;     // SioParms parity code: none
inline constexpr int kTwoStopBits = 2;    // SioParms stop-bit code: 2
inline constexpr int kEightDataBits = 8;  // SioParms data-bit code: 8

// Failure codes of the layers.
inline constexpr int kSioNoData = -1;     // SioGetc: nothing received
inline constexpr int kSioBadPort = -4;    // port not open / unknown
inline constexpr int kSioTimeout = -9;    // SioRxWait: not enough bytes in time
inline constexpr int kSioError = -10;     // any other failure
inline constexpr int kSioGone = -11;      // the device went away (unplugged, hung up)

} // namespace vorda
