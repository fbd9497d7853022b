#pragma once
#include "meter/MeterProtocol.h"

#include <QWidget>

namespace vorda {
class SerialLayer;

// The protocol object: the meter protocol as the program's never-shown
// window. It has no visible window.
class TPICCoreForm : public QWidget {
    Q_OBJECT
public:
    TPICCoreForm(SerialLayer& serial, MeterLinkState& link, QWidget* parent = nullptr);

    bool ConnectToPort(int TempPort) { return protocol_.ConnectToPort(TempPort); }
    bool DisconnectPort(int TempPort) { return protocol_.DisconnectPort(TempPort); }
    int getChar(int Sent) { return protocol_.getChar(Sent); }
    QHash<int, int> getChars(const QList<int>& ports, int Sent) { return protocol_.getChars(ports, Sent); }
    int GetSetRegister(int FnCode, int RegisterNumber, int Value) {
        return protocol_.GetSetRegister(FnCode, RegisterNumber, Value);
    }
    bool Handshake() { return protocol_.Handshake(); }

    MeterLinkState& Link() { return protocol_.Link(); }
    MeterProtocol& Protocol() { return protocol_; }

private:
    MeterProtocol protocol_;
};

} // namespace vorda
