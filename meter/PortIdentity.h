#pragma once
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace vorda {

// What the system knows of a serial device beyond its node: the stable names
// udev links to it, and the USB adapter it belongs to. Any part may be empty.
struct PortIdentity {
    QStringList byId;   // links in <dev>/serial/by-id that resolve to the device
    QStringList byPath; // links in <dev>/serial/by-path that resolve to the device
    QString usbSerial;  // the adapter's serial number
    QString usbId;      // "vendor:product", four hex digits each
    QString usbProduct; // the adapter's product name

    bool Known() const;
};

// The identity of device (a device node, links allowed), looked up under the
// device root devRoot (normally /dev) and the sysfs root sysRoot (normally
// /sys). The USB facts come from the first folder above the device's sysfs
// node that holds idVendor; a device without USB parents has none.
PortIdentity LookUpPortIdentity(const QString& device, const QString& devRoot = QStringLiteral("/dev"),
                                const QString& sysRoot = QStringLiteral("/sys"));

// One line of tab-separated "name value" fields ("by-id /dev/serial/by-id/...",
// "usb-serial A1B2", "usb 0403:6001 USB UART"); empty when nothing is known.
QString PortIdentityText(const PortIdentity& identity);

// The known parts as JSON fields: "byId" and "byPath" (arrays), "usbSerial",
// "usbId", "usbProduct"; a part that is not known has no field.
QJsonObject PortIdentityJson(const PortIdentity& identity);

} // namespace vorda
