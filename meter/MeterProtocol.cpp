#include "MeterProtocol.h"

#include "SerialLayer.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace vorda {

MeterProtocol::MeterProtocol(SerialLayer& serial, MeterLinkState& link) : serial_(serial), link_(link) {
    link_.ReceiveTimeout = 500;
}

int MeterProtocol::noted(int port, int result) {
    if (result == kSioGone && port == link_.ComPortNumber) link_.DeviceLost = true;
    return result;
}

bool MeterProtocol::resetLine(int port, int rxQueue, int txQueue) {
    // A port that could be opened again (a passing failure, or a device
    // back under its name) has a device again.
    const int result = noted(port, serial_.SioReset(port, rxQueue, txQueue));
    if (result >= 0 && port == link_.ComPortNumber) link_.DeviceLost = false;
    return result >= 0;
}

bool MeterProtocol::ConnectToPort(int TempPort) {
    // A port opened again has a device again (or fails to open).
    link_.DeviceLost = false;
    if (serial_.SioReset(TempPort, 1024, 1024) < 0) return false;
    if (serial_.SioBaud(TempPort, kBaudCode19200) < 0) return false;
    if (serial_.SioParms(TempPort, kParityNone, kTwoStopBits, kEightDataBits) < 0) return false;
    return true;
}

bool MeterProtocol::DisconnectPort(int TempPort) {
    return serial_.SioDone(TempPort) >= 0;
}

void MeterProtocol::sendByte(int port, int Sent) {
    const unsigned char b = static_cast<unsigned char>(Sent & 0xFF);
    resetLine(port, 1, 1);
    noted(port, serial_.SioPuts(port, &b, 1));
    if (serial_.SioTxQue(port) > 1) serial_.SioEvent(port, 4);
}

int MeterProtocol::getChar(int Sent) {
    const int port = link_.ComPortNumber;
    sendByte(port, Sent);
    if (noted(port, serial_.SioRxWait(port, 1, link_.ReceiveTimeout)) < 0) return kGetCharTimeout;
    return serial_.SioGetc(port);
}

QHash<int, int> MeterProtocol::getChars(const QList<int>& ports, int Sent) {
    QHash<int, int> replies;
    QList<int> waiting;
    for (int port : ports) {
        if (replies.contains(port)) continue;
        replies.insert(port, kGetCharTimeout);
        sendByte(port, Sent);
        waiting << port;
    }
    // The ports answer in any order; each reply is read as it comes, until
    // all have answered or the time-out has passed for all of them.
    const QDeadlineTimer deadline(link_.ReceiveTimeout);
    while (!waiting.isEmpty()) {
        const int left = static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
        const QList<int> ready = serial_.SioRxWaitAny(waiting, 1, left);
        if (ready.isEmpty()) break;
        for (int port : ready) {
            if (!waiting.removeOne(port)) continue;
            replies[port] = serial_.SioGetc(port);
        }
    }
    return replies;
}

int MeterProtocol::GetSetRegister(int FnCode, int RegisterNumber, int Value) {
    // The meter has registers 0 to 255 only; anything else must not reach
    // another register through the low 8 bits.
    if (RegisterNumber < 0 || RegisterNumber > 255) return -1;
    const int port = link_.ComPortNumber;
    const unsigned char c[3] = {static_cast<unsigned char>(FnCode & 0xFF),
                                static_cast<unsigned char>(RegisterNumber),
                                static_cast<unsigned char>(Value & 0xFF)};
    // A device that is gone, and could not be opened again, is not asked:
    // every further exchange would fail the same way.
    if (!resetLine(port, 3, 3) && link_.DeviceLost) return -1;
    serial_.SioTxClear(port);
    noted(port, serial_.SioPuts(port, c, 3));
    if (serial_.SioTxQue(port) > 1) serial_.SioEvent(port, 4);
    if (noted(port, serial_.SioRxWait(port, 3, link_.ReceiveTimeout)) < 0) return -1;
    int reply[3];
    int stored = 0;
    while (stored < 3) {
        const int b = serial_.SioGetc(port);
        if (b < 0) break;
        reply[stored++] = b;
    }
    if (stored < 3) return -1;
    int result = reply[2];
    // The first 3 - FnCode bytes must echo the command; a negative FnCode
    // checks all three, never more.
    const int checked = FnCode <= 0 ? 3 : (FnCode >= 3 ? 0 : 3 - FnCode);
    for (int i = 0; i < checked; ++i)
        if (reply[i] != c[i]) result = -1;
    return result;
}

} // namespace vorda
