#include "PortIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

namespace vorda {
namespace {

// The links in folder that resolve to the canonical path target, as paths
// under folder, by name. Links to nothing are left out.
QStringList LinksTo(const QString& folder, const QString& target) {
    QStringList links;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        if (QFileInfo(path).canonicalFilePath() == target) links << path;
    }
    return links;
}

// A sysfs attribute as text: the first line, without blanks around it. The
// strings come from the adapter itself, so whatever would not print (a tab,
// an escape sequence) becomes '?'; an attribute that is not there is empty.
QString Attribute(const QString& folder, const char* name) {
    QFile file(folder + u'/' + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString text = QString::fromUtf8(file.read(256)).section(u'\n', 0, 0).trimmed();
    for (QChar& c : text)
        if (!c.isPrint()) c = u'?';
    return text;
}

// Whether path lies inside root (both canonical).
bool Inside(const QString& path, const QString& root) {
    return path.size() > root.size() && path.startsWith(root) && path.at(root.size()) == u'/';
}

// The USB device folder above the device's sysfs node: the first one up
// that holds idVendor. Empty when there is none below the sysfs root.
QString UsbDeviceFolder(const QString& kernelName, const QString& sysRoot) {
    const QString root = QFileInfo(sysRoot).canonicalFilePath();
    if (root.isEmpty()) return {};
    QString folder = QFileInfo(root + QStringLiteral("/class/tty/") + kernelName + QStringLiteral("/device"))
                         .canonicalFilePath();
    while (Inside(folder, root)) {
        if (QFileInfo::exists(folder + QStringLiteral("/idVendor"))) return folder;
        folder = QFileInfo(folder).path();
    }
    return {};
}

void AddArray(QJsonObject& o, const char* name, const QStringList& values) {
    if (!values.isEmpty()) o[QLatin1String(name)] = QJsonArray::fromStringList(values);
}

void AddText(QJsonObject& o, const char* name, const QString& value) {
    if (!value.isEmpty()) o[QLatin1String(name)] = value;
}

} // namespace

bool PortIdentity::Known() const {
    return !byId.isEmpty() || !byPath.isEmpty() || !usbSerial.isEmpty() || !usbId.isEmpty() || !usbProduct.isEmpty();
}

PortIdentity LookUpPortIdentity(const QString& device, const QString& devRoot, const QString& sysRoot) {
    PortIdentity identity;
    const QString target = QFileInfo(device).canonicalFilePath();
    if (target.isEmpty()) return identity;
    const QString dev = QDir::cleanPath(devRoot);
    identity.byId = LinksTo(dev + QStringLiteral("/serial/by-id"), target);
    identity.byPath = LinksTo(dev + QStringLiteral("/serial/by-path"), target);

    // The kernel names a device in a subfolder of /dev with '!' for '/'.
    const QString devCanonical = QFileInfo(dev).canonicalFilePath();
    if (devCanonical.isEmpty() || !Inside(target, devCanonical)) return identity;
    const QString kernelName = target.mid(devCanonical.size() + 1).replace(u'/', u'!');
    const QString usb = UsbDeviceFolder(kernelName, sysRoot);
    if (usb.isEmpty()) return identity;
    identity.usbSerial = Attribute(usb, "serial");
    const QString vendor = Attribute(usb, "idVendor");
    const QString product = Attribute(usb, "idProduct");
    if (!vendor.isEmpty() && !product.isEmpty()) identity.usbId = (vendor + u':' + product).toLower();
    identity.usbProduct = Attribute(usb, "product");
    return identity;
}

QString PortIdentityText(const PortIdentity& identity) {
    QStringList fields;
    for (const QString& link : identity.byId) fields << QStringLiteral("by-id ") + link;
    for (const QString& link : identity.byPath) fields << QStringLiteral("by-path ") + link;
    if (!identity.usbSerial.isEmpty()) fields << QStringLiteral("usb-serial ") + identity.usbSerial;
    QStringList usb;
    for (const QString& part : {identity.usbId, identity.usbProduct})
        if (!part.isEmpty()) usb << part;
    if (!usb.isEmpty()) fields << QStringLiteral("usb ") + usb.join(u' ');
    return fields.join(u'\t');
}

QJsonObject PortIdentityJson(const PortIdentity& identity) {
    QJsonObject o;
    AddArray(o, "byId", identity.byId);
    AddArray(o, "byPath", identity.byPath);
    AddText(o, "usbSerial", identity.usbSerial);
    AddText(o, "usbId", identity.usbId);
    AddText(o, "usbProduct", identity.usbProduct);
    return o;
}

} // namespace vorda
