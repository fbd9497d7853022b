#pragma once
#include <QHash>
#include <QList>
#include <QtGlobal>

namespace vorda {
class SerialLayer;

// Program-wide link state, owned by the protocol object.
struct MeterLinkState {
    qint32 ComPortNumber = 0;    // library port of the meter: COM number - 1
    qint32 ReceiveTimeout = 500; // reply wait of one exchange, ms
    bool MeterConnected = false;
    // The meter's device went away during an exchange (cable or adapter
    // pulled): no exchange can succeed until the port is opened again.
    bool DeviceLost = false;
};

inline constexpr int kHandshakeSent = 0x55;
inline constexpr int kHandshakeReply = 0x56;
inline constexpr int kFactoryResetByte = 0x04;
inline constexpr int kSignOffByte = 0x02;
inline constexpr int kGetCharTimeout = -31;
inline constexpr int kMapNumberRegister = 200;

// The meter's serial protocol: four blocking operations over the serial
// layer, on the port named by the link state. Plain code, shared by the
// protocol object of the window and the command line.
class MeterProtocol {
public:
    MeterProtocol(SerialLayer& serial, MeterLinkState& link);

    bool ConnectToPort(int TempPort);
    bool DisconnectPort(int TempPort);
    // Sends the low byte of Sent to ComPortNumber; the byte received, -31 on a
    // receive time-out, or the layer's negative code.
    int getChar(int Sent);
    // getChar on several ports at once: Sent goes to each port, then one
    // wait of ReceiveTimeout serves them all. Each port's answer as getChar
    // gives it.
    QHash<int, int> getChars(const QList<int>& ports, int Sent);
    // One register command; byte 2 of the reply, or -1 on any failure.
    // A register outside 0..255 sends nothing and gives -1.
    int GetSetRegister(int FnCode, int RegisterNumber, int Value);
    // getChar(0x55) == 0x56.
    bool Handshake() { return getChar(kHandshakeSent) == kHandshakeReply; }
    // The meter's port hung up in an exchange since it was last opened.
    bool DeviceLost() const { return link_.DeviceLost; }

    MeterLinkState& Link() { return link_; }
    SerialLayer& Serial() { return serial_; }

private:
    void sendByte(int port, int Sent);
    // Passes a layer's result on, noting a device that went away on the
    // meter's port.
    int noted(int port, int result);
    // Discards what is queued on port (opening it again after a hang-up);
    // false when it could not be.
    bool resetLine(int port, int rxQueue, int txQueue);

    SerialLayer& serial_;
    MeterLinkState& link_;
};

} // namespace vorda
