// The whole program against vorda-sim over a pseudo-terminal and the real
// serial layer: Connect, the filled screen, writing, failures.
#include "tests/support/SerialLock.h"
#include "tests/support/SimProgramTest.h"
#include "values/MeterEngine.h"

#include <csignal>

#include <QLabel>
#include <QMenu>

namespace vorda::test {
namespace {

class ConnectPtyTest : public SimProgramTest {
protected:
    void SetUp() override {
        SimProgramTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(UseMapFiveImage());
    }
    // Serves the register image as COM5 and presses Connect.
    void Start(const QStringList& extra = {}) { ASSERT_NO_FATAL_FAILURE(StartAndConnect(5, extra, {})); }
    // Stops the simulator; the registers it held at the end.
    QVector<quint8> Stop() { return sim->Stop(); }
    void SetInt(int first, int bytes, quint32 value) {
        for (int i = 0; i < bytes; ++i) image[first + i] = quint8((value >> (8 * (bytes - 1 - i))) & 0xFF);
    }
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

// The program ended by SIGTERM while connected: its port is closed the
// normal way, so that no lock file stays behind to hold it.
TEST_F(ConnectPtyTest, SigtermClosesThePortAndRemovesItsLock) {
    Start();
    ASSERT_TRUE(program->link.MeterConnected);
    const QString port = sim->PortDir() + "/COM5";
    ASSERT_EQ(SerialLockOwner(port), QCoreApplication::applicationPid());
    ui.clear();
    EXPECT_EQ(RunUntilSignal(SIGTERM), 128 + SIGTERM);
    EXPECT_TRUE(ui.texts().isEmpty());
    EXPECT_TRUE(SerialLockFile(port).isEmpty()) << SerialLockFile(port).toStdString();
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

// A cable pulled during a write: one message says the meter went away and
// what it received, the meter counts as not connected, the screen keeps its
// values, and Connect finds the meter again under another port name.
TEST_F(ConnectPtyTest, AHangUpDuringAWriteIsToldOnceAndConnectFindsTheMeterElsewhere) {
    const QList<DMap> params = ReadMapFileContent(QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), "ZUVMAP5.map").params;
    ASSERT_GT(params.size(), 2);
    ASSERT_GT(params[1].EndReg, params[1].Startreg);
    const int writes = params[0].EndReg - params[0].Startreg + 2; // into the second parameter
    Start({"--hang-up-after-writes", QString::number(writes)});
    ASSERT_TRUE(program->link.MeterConnected);
    Box(4)->setText("250");
    Find<QPushButton>("CheckData")->click();
    ui.clear();
    Trigger("WriteEE");
    ASSERT_EQ(ui.texts("message").size(), 1) << ui.texts().join("|").toStdString();
    const QString told = ui.texts("message").first();
    EXPECT_TRUE(told.startsWith("Meter disconnected: COM5 went away")) << told.toStdString();
    EXPECT_TRUE(told.contains("written whole: " + params[0].Parameter + "\n\r")) << told.toStdString();
    EXPECT_TRUE(told.contains("written partly: " + params[1].Parameter + "\n\r")) << told.toStdString();
    EXPECT_FALSE(program->link.MeterConnected);
    EXPECT_EQ(Find<QMenu>("EEPROM1")->title(), "&Meter (not connected)");
    EXPECT_TRUE(Find<QPushButton>("TestConnbtn")->isEnabled());
    EXPECT_EQ(Box(4)->text(), "250");

    // The adapter comes back as another device.
    SimProcess again(root.path() + "/again", sim->PortDir());
    ASSERT_NO_FATAL_FAILURE(again.Start(image, 7));
    ui.clear();
    Find<QPushButton>("TestConnbtn")->click();
    EXPECT_TRUE(program->link.MeterConnected) << ui.texts().join("|").toStdString();
    EXPECT_EQ(program->link.ComPortNumber, 6);
    EXPECT_TRUE(ui.texts("message").filter("disconnected").isEmpty());
    ui.clear();
    Trigger("ReadEE");
    EXPECT_EQ(ui.texts("message").last(), "Meter read successfully");
}

// The cable pulled while nothing runs: the next command finds the device
// gone and says so, instead of a connection failure to restart for.
TEST_F(ConnectPtyTest, AMeterUnpluggedWhileIdleIsToldAsDisconnectedByTheNextCommand) {
    Start();
    ASSERT_TRUE(program->link.MeterConnected);
    Stop();
    ui.clear();
    Trigger("ReadEE");
    EXPECT_EQ(ui.texts("message"), QStringList{DisconnectedText(5)});
    EXPECT_FALSE(program->link.MeterConnected);
}

} // namespace
} // namespace vorda::test
