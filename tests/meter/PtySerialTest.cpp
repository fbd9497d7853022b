// The real serial layer against vorda-sim on a pseudo-terminal.

#include "MeterTestApp.h"

#include "windows/PICCore.h"
#include "meter/PortNames.h"
#include "meter/QtSerialLayer.h"
#include "meter/SimMeter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace vorda;

namespace {

QString SimProgram() {
    const QString stage = qEnvironmentVariable("VORDA_STAGE_DIR");
    if (!stage.isEmpty()) return stage + QStringLiteral("/bin/vorda-sim");
    return QStringLiteral(VORDA_STAGE_BIN_DIR "/vorda-sim");
}

class PtySerial : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureApplication();
        ASSERT_TRUE(dir.isValid());
        portDir = dir.filePath(QStringLiteral("ports"));
        qputenv("VORDA_PORT_DIR", portDir.toLocal8Bit());
    }
    void TearDown() override {
        core.reset();
        layer.reset();
        stopSim();
        qunsetenv("VORDA_PORT_DIR");
    }

    // Starts the simulator as COM com; returns the link it reports.
    QString startSim(int com, const QStringList& extra = {}) {
        sim = std::make_unique<QProcess>();
        sim->setProgram(SimProgram());
        sim->setArguments(QStringList{"--port-dir", portDir, "--com", QString::number(com)} + extra);
        sim->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim->start();
        if (!sim->waitForStarted(5000)) return QString();
        while (!sim->canReadLine())
            if (!sim->waitForReadyRead(5000)) return QString();
        const QString line = QString::fromLocal8Bit(sim->readLine()).trimmed();
        if (!line.startsWith(QStringLiteral("ready "))) return QString();
        link.ComPortNumber = com - 1;
        layer = std::make_unique<QtSerialLayer>();
        core = std::make_unique<TPICCoreForm>(*layer, link);
        return line.mid(6);
    }
    // SIGTERM, as a user stopping it would.
    int stopSim() {
        if (!sim) return -1;
        sim->terminate();
        if (!sim->waitForFinished(5000)) sim->kill();
        sim->waitForFinished(1000);
        const int rc = sim->exitStatus() == QProcess::NormalExit ? sim->exitCode() : -1;
        sim.reset();
        return rc;
    }

    QTemporaryDir dir;
    QString portDir;
    std::unique_ptr<QProcess> sim;
    MeterLinkState link;
    std::unique_ptr<QtSerialLayer> layer;
    std::unique_ptr<TPICCoreForm> core;
};

} // namespace

TEST_F(PtySerial, HandshakeReadWriteAndDump) {
    QVector<quint8> regs(256);
    for (int r = 0; r < 256; ++r) regs[r] = static_cast<quint8>(r ^ 0x5A);
    regs[200] = 4;
    const QString start = dir.filePath(QStringLiteral("start.txt"));
    const QString dump = dir.filePath(QStringLiteral("dump.txt"));
    QString error;
    ASSERT_TRUE(WriteRegisterFile(start, regs, &error));
    const QString linkPath = startSim(3, {"--registers", start, "--dump", dump});
    ASSERT_EQ(linkPath, QDir(portDir).absoluteFilePath(QStringLiteral("COM3")));

    ASSERT_TRUE(core->ConnectToPort(2));
    EXPECT_TRUE(core->Handshake());
    EXPECT_EQ(core->GetSetRegister(1, 200, 1), 4);
    EXPECT_EQ(core->GetSetRegister(1, 0, 0), 0x5A);
    EXPECT_EQ(core->GetSetRegister(1, 0xA5, 0), 255);
    EXPECT_EQ(core->GetSetRegister(0, 10, 77), 77);
    EXPECT_EQ(core->GetSetRegister(0, 11, 300), 44);
    EXPECT_EQ(core->GetSetRegister(1, 10, 0), 77);
    EXPECT_TRUE(core->DisconnectPort(2));

    // The simulator keeps serving when the port is opened again.
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(core->ConnectToPort(2)) << round;
        EXPECT_TRUE(core->Handshake()) << round;
        EXPECT_EQ(core->GetSetRegister(1, 11, 0), 44) << round;
        EXPECT_TRUE(core->DisconnectPort(2));
    }

    EXPECT_EQ(stopSim(), 0);
    EXPECT_FALSE(QFileInfo(linkPath).isSymLink()) << "the link goes when the simulator stops";
    QVector<quint8> after;
    ASSERT_TRUE(ReadRegisterFile(dump, &after, &error)) << qPrintable(error);
    regs[10] = 77;
    regs[11] = 44;
    EXPECT_EQ(after, regs);
}

TEST_F(PtySerial, ReplyFaultsFailTheExchange) {
    for (const char* fault : {"--wrong-echo", "--short-replies"}) {
        ASSERT_FALSE(startSim(12, {"--map-number", "5", fault}).isEmpty()) << fault;
        ASSERT_TRUE(core->ConnectToPort(11)) << fault;
        EXPECT_TRUE(core->Handshake()) << fault;
        EXPECT_EQ(core->GetSetRegister(1, 200, 1), -1) << fault;
        EXPECT_EQ(core->GetSetRegister(0, 20, 1), -1) << fault;
        core.reset();
        layer.reset();
        stopSim();
    }
}

TEST_F(PtySerial, SilentMeterTimesOut) {
    ASSERT_FALSE(startSim(1, {"--silent"}).isEmpty());
    ASSERT_TRUE(core->ConnectToPort(0));
    EXPECT_EQ(core->getChar(0x55), kGetCharTimeout);
}

TEST_F(PtySerial, BusyPortsAreNotAvailable) {
    const QString linkPath = startSim(12, {"--map-number", "5"});
    ASSERT_FALSE(linkPath.isEmpty());
    const QString name = ExtComName(12);
    EXPECT_EQ(layer->ProbeDevice(name), 0);

    // Held by another user of the device.
    {
        QSerialPort other;
        other.setPortName(QFileInfo(linkPath).canonicalFilePath());
        ASSERT_TRUE(other.open(QIODevice::ReadWrite));
        EXPECT_NE(layer->ProbeDevice(name), 0);
        EXPECT_FALSE(core->ConnectToPort(11));
    }
    EXPECT_EQ(layer->ProbeDevice(name), 0);

    // Held open by this layer.
    ASSERT_TRUE(core->ConnectToPort(11));
    EXPECT_NE(layer->ProbeDevice(name), 0);
    EXPECT_TRUE(core->Handshake()) << "the probe leaves the open port working";
    core->DisconnectPort(11);
    EXPECT_EQ(layer->ProbeDevice(name), 0);
}

TEST_F(PtySerial, PortFolderEntriesAreTheOnlyPorts) {
    // A link left behind by a simulator that was killed is replaced.
    ASSERT_TRUE(QDir().mkpath(portDir));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/pts/no-such-terminal"), QDir(portDir).filePath(QStringLiteral("COM3"))));
    const QString linkPath = startSim(3, {"--map-number", "5"});
    ASSERT_FALSE(linkPath.isEmpty());
    const QString device = QFileInfo(linkPath).canonicalFilePath();
    ASSERT_TRUE(device.startsWith(QStringLiteral("/dev/"))) << qPrintable(device);
    // A link to nothing, and a name that is no COM port.
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("gone")), QDir(portDir).filePath(QStringLiteral("COM4"))));
    ASSERT_TRUE(QFile::link(device, QDir(portDir).filePath(QStringLiteral("ttyX"))));

    EXPECT_EQ(layer->DevicePath(3), device) << "links resolve to the device";
    EXPECT_TRUE(layer->DevicePath(4).isEmpty());
    int available = 0;
    for (unsigned com = 1; com <= 1000; ++com)
        if (layer->ProbeDevice(ExtComName(com)) == 0) {
            ++available;
            EXPECT_EQ(com, 3u);
        }
    EXPECT_EQ(available, 1);
    EXPECT_EQ(layer->ProbeDevice(QStringLiteral("COM4")), QtSerialLayer::kProbeNotFound);
    EXPECT_FALSE(core->ConnectToPort(3)) << "COM4 does not exist";

    // Without a meter behind it the folder's entry is no port at all.
    stopSim();
    EXPECT_NE(layer->ProbeDevice(QStringLiteral("COM3")), 0);
}

TEST_F(PtySerial, MeterGoneWhileConnectedFailsTheNextExchanges) {
    ASSERT_FALSE(startSim(2, {"--map-number", "5"}).isEmpty());
    ASSERT_TRUE(core->ConnectToPort(1));
    EXPECT_TRUE(core->Handshake());
    stopSim();
    EXPECT_EQ(core->GetSetRegister(1, 200, 1), -1);
    EXPECT_LT(core->getChar(0x55), 0);
    core->DisconnectPort(1);
    EXPECT_FALSE(core->ConnectToPort(1)) << "its folder entry is gone";
}

TEST_F(PtySerial, HandshakeAndRegisterFaultOptions) {
    ASSERT_FALSE(startSim(5, {"--second-handshake-only", "--fail-register", "7", "--fail-register", "9"}).isEmpty());
    ASSERT_TRUE(core->ConnectToPort(4));
    EXPECT_FALSE(core->Handshake());
    EXPECT_TRUE(core->Handshake());
    EXPECT_EQ(core->GetSetRegister(1, 7, 0), -1);
    EXPECT_EQ(core->GetSetRegister(0, 8, 3), 3);
    EXPECT_EQ(core->GetSetRegister(0, 9, 3), -1);
    core.reset();
    layer.reset();
    stopSim();

    ASSERT_FALSE(startSim(5, {"--bad-handshake"}).isEmpty());
    ASSERT_TRUE(core->ConnectToPort(4));
    EXPECT_EQ(core->getChar(0x55), 0x00);
}

TEST_F(PtySerial, StartsFromTheFactoryImageOfAMap) {
    // Two parameters; the map number comes from the file name.
    const QString map = dir.filePath(QStringLiteral("ZUVMAP9.Map"));
    QFile f(map);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("V2\r\n2\r\n"
            "0\r\n1\r\n1\r\nFlow Scale\r\nInt16\r\n1\r\n\r\n1\r\n\r\n\r\n\r\n\r\n"
            "20\r\n23\r\n4\r\nTag\r\nASCII\r\n\r\n\r\n2\r\n\r\n\r\n\r\n\r\n"
            "0\r\n");
    f.close();
    ASSERT_FALSE(startSim(6, {"--map", map}).isEmpty());
    ASSERT_TRUE(core->ConnectToPort(5));
    ASSERT_TRUE(core->Handshake());
    EXPECT_EQ(core->GetSetRegister(1, 200, 1), 9);
    const int scale = core->GetSetRegister(1, 0, 0) * 256 + core->GetSetRegister(1, 1, 0);
    EXPECT_GT(scale, 0);
    EXPECT_LT(scale, 65535 / 2);
    EXPECT_EQ(core->GetSetRegister(1, 20, 0), 'T');
    EXPECT_EQ(core->GetSetRegister(1, 23, 0), 0);
    // A factory reset returns to that image.
    EXPECT_EQ(core->GetSetRegister(0, 20, 'X'), 'X');
    EXPECT_EQ(core->getChar(kFactoryResetByte), kFactoryResetByte);
    EXPECT_EQ(core->GetSetRegister(1, 20, 0), 'T');
}

TEST_F(PtySerial, HandshakeOnSeveralPortsWaitsForAllAtOnce) {
    ASSERT_FALSE(startSim(3, {"--map-number", "5"}).isEmpty());
    // COM4: a terminal that opens but has nothing behind it.
    const int silent = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(silent, 0);
    ASSERT_EQ(grantpt(silent), 0);
    ASSERT_EQ(unlockpt(silent), 0);
    ASSERT_TRUE(QFile::link(QString::fromLocal8Bit(ptsname(silent)), QDir(portDir).filePath(QStringLiteral("COM4"))));
    ASSERT_TRUE(core->ConnectToPort(2));
    ASSERT_TRUE(core->ConnectToPort(3));
    int hooks = 0;
    layer->SetWaitHook([&hooks] { ++hooks; });
    const QHash<int, int> replies = core->getChars({2, 3}, kHandshakeSent);
    EXPECT_EQ(replies, (QHash<int, int>{{2, kHandshakeReply}, {3, kGetCharTimeout}}));
    EXPECT_GE(hooks, 1) << "the wait lets its caller keep the window alive";
    // The meter's port goes on working.
    link.ComPortNumber = 2;
    EXPECT_EQ(core->GetSetRegister(1, 200, 1), 5);
    core->DisconnectPort(3);
    ::close(silent);
}
