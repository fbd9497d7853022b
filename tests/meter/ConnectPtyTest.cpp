// The whole program against vorda-sim over a pseudo-terminal and the real
// serial layer: Connect, the filled screen, writing, failures.
#include "tests/support/ProgramFixture.h"

#include "maps/MapFile.h"
#include "meter/QtSerialLayer.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>

namespace vorda::test {
namespace {

QString SimProgram() {
    const QString stage = qEnvironmentVariable("VORDA_STAGE_DIR");
    return (stage.isEmpty() ? QStringLiteral(VORDA_STAGE_BIN_DIR "/..") : stage) + QStringLiteral("/bin/vorda-sim");
}

class ConnectPtyTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        portDir = root.filePath("ports");
        qputenv("VORDA_PORT_DIR", portDir.toLocal8Bit());
        const MapReadResult map = ReadMapFileContent(QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), "ZUVMAP5.map");
        ASSERT_EQ(map.status, MapReadStatus::Ok);
        image = FactoryImageFromMap(map.params, 5);
    }
    void TearDown() override {
        program.reset();
        layer.reset();
        Stop();
        qunsetenv("VORDA_PORT_DIR");
        ProgramTest::TearDown();
    }
    // Serves the register image as COM5.
    void Start(const QStringList& extra = {}) {
        const QString regs = root.filePath("start.txt");
        QString error;
        ASSERT_TRUE(WriteRegisterFile(regs, image, &error)) << error.toStdString();
        sim = std::make_unique<QProcess>();
        sim->setProgram(SimProgram());
        sim->setArguments(QStringList{"--port-dir", portDir, "--com", "5", "--registers", regs, "--dump", dumpPath()} + extra);
        sim->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim->start();
        ASSERT_TRUE(sim->waitForStarted(5000));
        while (!sim->canReadLine()) ASSERT_TRUE(sim->waitForReadyRead(5000));
        ASSERT_TRUE(sim->readLine().startsWith("ready "));
        layer = std::make_unique<QtSerialLayer>();
        ASSERT_TRUE(Create({}, *layer));
        Find<QPushButton>("TestConnbtn")->click();
    }
    // Stops the simulator; the registers it held at the end.
    QVector<quint8> Stop() {
        QVector<quint8> regs;
        if (!sim) return regs;
        sim->terminate();
        if (!sim->waitForFinished(5000)) sim->kill();
        sim.reset();
        QString error;
        EXPECT_TRUE(ReadRegisterFile(dumpPath(), &regs, &error)) << error.toStdString();
        return regs;
    }
    QString dumpPath() const { return root.filePath("dump.txt"); }
    void SetInt(int first, int bytes, quint32 value) {
        for (int i = 0; i < bytes; ++i) image[first + i] = quint8((value >> (8 * (bytes - 1 - i))) & 0xFF);
    }

    QString portDir;
    QVector<quint8> image;
    std::unique_ptr<QProcess> sim;
    std::unique_ptr<QtSerialLayer> layer;
};

TEST_F(ConnectPtyTest, ConnectFillsTheScreenAndAWriteChangesOnlyWhatWasEdited) {
    SetInt(0, 4, 123456);   // Serial Number: more figures than the screen shows
    SetInt(26, 4, 25000);   // Flow Full Scale: 25 l/s (multiplier 0.001)
    SetInt(74, 2, 150);     // Flow Alarm Limits: 15, 30 (multiplier 0.1)
    SetInt(76, 2, 300);
    Start();
    ASSERT_TRUE(program->link.MeterConnected);
    EXPECT_EQ(program->link.ComPortNumber, 4);
    EXPECT_EQ(Find<QLabel>("ComPortlbl")->text(), "5");
    EXPECT_EQ(ui.texts(), QStringList{"Meter read successfully"});
    EXPECT_EQ(Find<QLabel>("CheckDataResult")->text(), "Data OK");
    EXPECT_EQ(Box(0)->text(), "123460");
    EXPECT_EQ(Box(5)->text(), "25");
    EXPECT_EQ(Box(20)->text(), "15,30");
    EXPECT_EQ(Box(3)->text(), "Meter Tag");
    EXPECT_EQ(Box(28)->text(), "5");

    Box(4)->setText("250");  // Pipe Diameter, Int16
    Box(3)->setText("FT-101");
    Find<QPushButton>("CheckData")->click();
    ui.clear();
    Trigger("WriteEE");
    EXPECT_EQ(ui.texts().last(), "Meter written successfully");

    const QVector<quint8> after = Stop();
    ASSERT_EQ(after.size(), 256);
    QVector<quint8> expected = image;
    expected[24] = 0;
    expected[25] = 250;
    const QByteArray tag = QByteArray("FT-101") + QByteArray(10, '\0');
    for (int i = 0; i < 16; ++i) expected[8 + i] = quint8(tag[i]);
    for (int r = 0; r < 256; ++r) EXPECT_EQ(after[r], expected[r]) << "register " << r;
}

TEST_F(ConnectPtyTest, FailingRegistersAreReportedAndTheFourthEndsTheRead) {
    Start({"--fail-register", "24", "--fail-register", "25", "--fail-register", "26", "--fail-register", "27"});
    ASSERT_TRUE(program->link.MeterConnected);
    EXPECT_EQ(ui.texts(), (QStringList{"Meter read failure: value 0 in parameter Pipe Diameter",
                                       "Meter read failure: value 1 in parameter Pipe Diameter",
                                       "Meter read failure: value 0 in parameter Flow Full Scale",
                                       "Meter read failure: value 1 in parameter Flow Full Scale",
                                       "Too many read failures - connection lost?\n\rNew meter attached?  Save data and restart everything!"}));
    EXPECT_TRUE(Box(6)->text().isEmpty()); // nothing after the end of the read
}

} // namespace
} // namespace vorda::test
