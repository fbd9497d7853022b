// The stable names and USB adapter of a serial device, looked up in a fake
// /dev and /sys tree built in a temporary folder.
#include "meter/PortIdentity.h"
#include "meter/QtSerialLayer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

namespace vorda {
namespace {

class PortIdentityTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        // Two adapters on a USB bus, the second without a serial number and
        // with an escape sequence in its product name, and a port on the
        // board itself. The root hub above them has USB facts of its own.
        const QString hub = "sys/devices/pci0000:00/0000:00:14.0/usb1";
        Write(hub + "/idVendor", "1d6b\n");
        Write(hub + "/idProduct", "0002\n");
        Write(hub + "/serial", "0000:00:14.0\n");
        Write(hub + "/1-2/idVendor", "0403\n");
        Write(hub + "/1-2/idProduct", "6001\n");
        Write(hub + "/1-2/serial", "A1B2C3\n");
        Write(hub + "/1-2/product", "USB UART\n");
        MakeDir(hub + "/1-2/1-2:1.0/ttyUSB0");
        Write(hub + "/1-3/idVendor", "2A03\n");
        Write(hub + "/1-3/idProduct", "0043\n");
        Write(hub + "/1-3/product", "Board\x1b[2J\n");
        MakeDir(hub + "/1-3/1-3:1.0");
        MakeDir("sys/devices/platform/serial8250");
        Link("../../../devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0", "sys/class/tty/ttyUSB0/device");
        Link("../../../devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0", "sys/class/tty/ttyACM0/device");
        Link("../../../devices/platform/serial8250", "sys/class/tty/ttyS0/device");

        for (const char* node : {"dev/ttyUSB0", "dev/ttyACM0", "dev/ttyS0"}) Write(node, "");
        Link("../../ttyUSB0", "dev/serial/by-id/usb-Maker_USB_UART_A1B2C3-if00-port0");
        Link("../../ttyUSB0", "dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0");
        Link("../../ttyUSB0", "dev/serial/by-path/pci-0000:00:14.0-usbv2-0:2:1.0-port0");
        Link("../../ttyACM0", "dev/serial/by-id/usb-Board-if00");
        // An adapter unplugged after its link was made.
        Link("../../ttyUSB9", "dev/serial/by-id/usb-Gone_Adapter_XYZ-if00-port0");
    }

    QString Path(const QString& relative) const { return root.filePath(relative); }
    void MakeDir(const QString& relative) { ASSERT_TRUE(QDir().mkpath(Path(relative))); }
    void Write(const QString& relative, const QByteArray& content) {
        MakeDir(QFileInfo(relative).path());
        QFile file(Path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    void Link(const QString& target, const QString& relative) {
        MakeDir(QFileInfo(relative).path());
        std::filesystem::create_symlink(target.toStdString(), Path(relative).toStdString());
    }
    PortIdentity LookUp(const QString& device) const { return LookUpPortIdentity(device, Path("dev"), Path("sys")); }

    QTemporaryDir root;
};

TEST_F(PortIdentityTest, EachDeviceGetsItsOwnLinksAndAdapter) {
    const QString byId = Path("dev/serial/by-id/");
    const QString byPath = Path("dev/serial/by-path/");
    struct Case {
        const char* device;
        QStringList byId, byPath;
        QString serial, id, product;
    };
    const Case cases[] = {
        {"dev/ttyUSB0", {byId + "usb-Maker_USB_UART_A1B2C3-if00-port0"},
         {byPath + "pci-0000:00:14.0-usb-0:2:1.0-port0", byPath + "pci-0000:00:14.0-usbv2-0:2:1.0-port0"},
         "A1B2C3", "0403:6001", "USB UART"},
        // Linked from the interface folder; no serial number; what would
        // not print is masked.
        {"dev/ttyACM0", {byId + "usb-Board-if00"}, {}, "", "2a03:0043", "Board?[2J"},
        // No USB parents, no links.
        {"dev/ttyS0", {}, {}, "", "", ""},
        // The unplugged adapter's link leads nowhere; so does the device.
        {"dev/serial/by-id/usb-Gone_Adapter_XYZ-if00-port0", {}, {}, "", "", ""},
        {"dev/ttyUSB9", {}, {}, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        const PortIdentity id = LookUp(Path(c.device));
        EXPECT_EQ(id.byId, c.byId);
        EXPECT_EQ(id.byPath, c.byPath);
        EXPECT_EQ(id.usbSerial, c.serial);
        EXPECT_EQ(id.usbId, c.id);
        EXPECT_EQ(id.usbProduct, c.product);
        EXPECT_EQ(id.Known(), !c.byId.isEmpty());
    }
}

// A station pins a meter by its adapter: the port folder's COM5 is a link to
// the adapter's by-id link. The port follows the adapter to whatever node it
// gets, has the same identity as the node, and is gone while it is unplugged.
TEST_F(PortIdentityTest, APortFolderEntryLinkedByIdFollowsTheAdapter) {
    MakeDir("ports");
    Link(Path("dev/serial/by-id/usb-Maker_USB_UART_A1B2C3-if00-port0"), "ports/COM5");
    const QByteArray before = qgetenv("VORDA_PORT_DIR");
    const auto restore = qScopeGuard([&before] {
        if (before.isNull()) qunsetenv("VORDA_PORT_DIR");
        else qputenv("VORDA_PORT_DIR", before);
    });
    qputenv("VORDA_PORT_DIR", Path("ports").toLocal8Bit());
    QtSerialLayer layer;
    const QString device = layer.DevicePath(5);
    EXPECT_EQ(device, QFileInfo(Path("dev/ttyUSB0")).canonicalFilePath());
    EXPECT_EQ(LookUp(Path("ports/COM5")).usbSerial, "A1B2C3");
    EXPECT_EQ(LookUp(device).byId, LookUp(Path("ports/COM5")).byId);

    ASSERT_TRUE(QFile::remove(Path("dev/ttyUSB0")));
    EXPECT_TRUE(layer.DevicePath(5).isEmpty());
}

TEST(PortIdentityForms, OnlyTheKnownPartsAreTold) {
    PortIdentity full;
    full.byId = {"/dev/serial/by-id/usb-A"};
    full.byPath = {"/dev/serial/by-path/p1", "/dev/serial/by-path/p2"};
    full.usbSerial = "S1";
    full.usbId = "0403:6001";
    full.usbProduct = "USB UART";
    EXPECT_EQ(PortIdentityText(full), "by-id /dev/serial/by-id/usb-A\tby-path /dev/serial/by-path/p1\t"
                                      "by-path /dev/serial/by-path/p2\tusb-serial S1\tusb 0403:6001 USB UART");
    const QJsonObject json = PortIdentityJson(full);
    EXPECT_EQ(json.value("byPath").toArray().size(), 2);
    EXPECT_EQ(json.value("usbSerial").toString(), "S1");
    EXPECT_EQ(json.value("usbId").toString(), "0403:6001");
    EXPECT_EQ(json.value("usbProduct").toString(), "USB UART");

    PortIdentity product;
    product.usbProduct = "Board";
    EXPECT_EQ(PortIdentityText(product), "usb Board");
    EXPECT_EQ(PortIdentityJson(product).keys(), QStringList{"usbProduct"});

    EXPECT_TRUE(PortIdentityText(PortIdentity{}).isEmpty());
    EXPECT_TRUE(PortIdentityJson(PortIdentity{}).isEmpty());
}

} // namespace
} // namespace vorda
