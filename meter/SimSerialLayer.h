#pragma once
#include "SerialLayer.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

namespace vorda {
class SimMeter;

// Serial layer for tests: library ports (0 = COM1) lead to simulated meters in
// the same process. A wait that no reply can end returns at once, so no test
// sleeps through a receive time-out; a wait that would have lasted (a late
// reply or a time-out) calls the wait hook once. Every call is recorded.
class SimSerialLayer : public SerialLayer {
public:
    enum class PortKind {
        Absent, // no such device: probe error 2, cannot be opened
        Free,   // a device without a meter: opens, never answers
        Busy,   // held by another program: probe error 5, cannot be opened
        Denied, // this account may not open it: probe error 5
        Meter,  // a simulated meter is attached
    };

    static constexpr int kProbeNotFound = kProbeNoSuchDevice;
    static constexpr int kProbeAccessDenied = 5; // device held elsewhere

    // Ports not mentioned are absent.
    void attach(int port, SimMeter* meter);
    void setFree(int port);
    // Held by another program, process holderPid (0: none named).
    void setBusy(int port, long long holderPid = 0);
    // A device of group `group` this account may not open.
    void setDenied(int port, const QString& group);
    void setAbsent(int port);
    PortKind kind(int port) const;
    bool isOpen(int port) const;

    // Makes every later call of the named function return code (negative).
    void failCall(const QString& function, int code);
    // What SioTxQue reports right after SioPuts (bytes "still waiting"); SioEvent
    // with mask 4 empties it.
    void setTxBacklog(int bytes) { txBacklog_ = bytes; }
    // The next SioPuts on port receives these bytes instead of what the meter
    // (or the silent line) answers.
    void replaceNextReply(int port, const QByteArray& bytes);

    // The call log: one entry per call, "Name(arg,arg,...)"; SioPuts lists its
    // bytes in hexadecimal, ProbeDevice its device name.
    const QStringList& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    // The baud code and line format last set on a port (-1 when never set).
    int baudCode(int port) const;
    QList<int> lineFormat(int port) const;

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
    struct Port {
        PortKind kind = PortKind::Absent;
        SimMeter* meter = nullptr;
        bool open = false;
        long long holderPid = 0; // of a busy port
        QString group;           // of a denied port
        QByteArray rx;      // received, readable
        QByteArray late;    // sent by the meter, arriving lateMs after the command
        int lateMs = 0;
        int txQueued = 0;
        bool replaceReply = false;
        QByteArray replacement;
        int baud = -1;
        QList<int> format;
    };
    void log(const QString& entry) { calls_.append(entry); }
    int failure(const QString& function) const { return failures_.value(function, 0); }
    Port* openPort(int port);
    // Moves a late reply that fits in timeoutMs into what can be read; true
    // when count bytes can be read then.
    static bool arrivesWithin(Port& p, int count, int timeoutMs);
    // After a wait that ended: the late reply is there now.
    static void giveUp(Port& p);

    QHash<int, Port> ports_;
    QHash<QString, int> failures_;
    QStringList calls_;
    int txBacklog_ = 0;
};

} // namespace vorda
