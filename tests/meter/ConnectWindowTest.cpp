// Connect on the main window: port discovery, the detection dialogue, the
// meter's own map, and reading and writing its parameters.
#include "tests/support/ProgramFixture.h"

#include "units/NumberFormat.h"
#include "windows/SetDisplayUnitsUnt.h"

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace vorda::test {
namespace {

const QString kTerminateTail = QStringLiteral("\n\rVORDA Version: 3.9.5");
const QString kTryAgain = QStringLiteral("Try again? (If No VORDA will terminate)");
const QString kNotDetected = QStringLiteral(
    "Meter not detected - Please check connections.  Try unplugging and replugging.\n\r\n\r"
    "If first use on this machine allow a few moments for the drivers to load.  Must be connected to the internet.\n\r\n\r") + kTryAgain;

class ConnectTest : public ProgramTest {
protected:
    // Presses Connect; false when the program was ended.
    bool Connect() {
        try {
            Find<QPushButton>("TestConnbtn")->click();
        } catch (...) {
            ADD_FAILURE() << "an exception left the handler";
        }
        return !end.terminated;
    }
    int Scans() const { return int(serial.calls().count(QStringLiteral("ProbeDevice(COM1)"))); }
    QString Label(const QString& name) const { return Find<QLabel>(name)->text(); }
};

TEST_F(ConnectTest, OneMeterAmongFreePortsIsConnectedAndRead) {
    serial.setFree(2);
    SimMeter& meter = AttachMeter(4, "ZUVMAP5.map", 5);
    serial.setFree(6);
    ASSERT_TRUE(Create());
    ASSERT_TRUE(Connect());

    EXPECT_EQ(program->link.ComPortNumber, 4);
    EXPECT_TRUE(program->link.MeterConnected);
    EXPECT_EQ(Label("ComPortlbl"), "7"); // the last port tested
    EXPECT_EQ(Find<QMenu>("EEPROM1")->title(), "&Meter (connected)");
    EXPECT_FALSE(Find<QPushButton>("TestConnbtn")->isEnabled());
    for (const char* item : {"ReadEE", "WriteEE", "Disconnect", "EEPROMReset"}) EXPECT_TRUE(Action(item)->isEnabled()) << item;
    EXPECT_EQ(program->map.CurrentMapFile, "ZUVMap5.Map"); // found as ZUVMAP5.map
    EXPECT_EQ(Label("ConnectForMapLbl"), "ZUVMap5.Map");
    EXPECT_EQ(program->map.MapParamCount(), 29);
    EXPECT_EQ(ui.texts(), QStringList{"Meter read successfully"});
    EXPECT_EQ(Label("CheckDataResult"), "Data OK");
    EXPECT_TRUE(program->flags.MeterInSync);
    EXPECT_EQ(Box(28)->text(), "5");
    // The screen shows what the meter holds: Int32, a multiplier below 1,
    // ASCII, Hex and a list.
    auto be = [&](int r, int n) {
        quint32 v = 0;
        for (int i = 0; i < n; ++i) v = (v << 8) | meter.reg(r + i);
        return v;
    };
    EXPECT_EQ(Box(0)->text(), QString::number(be(0, 4)));
    EXPECT_EQ(mw()->MeterValues().at(6), FormatGeneral(be(30, 2) * 0.1L));
    EXPECT_EQ(Box(3)->text(), "Meter Tag");
    EXPECT_EQ(Box(25)->text(), QStringLiteral("%1%2%3").arg(meter.reg(100), 2, 16, QChar('0')).arg(meter.reg(101), 2, 16, QChar('0')).arg(meter.reg(102), 2, 16, QChar('0')).toUpper());
    EXPECT_EQ(mw()->MeterValues().at(20), FormatGeneral(be(74, 2) * 0.1L) + "," + FormatGeneral(be(76, 2) * 0.1L));
}

struct DialogueCase {
    const char* name;
    int metersFirst;              // meters attached for the first scan
    std::vector<bool> answers;    // Yes / No
    int metersAfterQuestion;      // meters attached once the question is answered
    bool connected;
    bool terminated;
    const char* question;         // the question shown ("" none)
    const char* terminateMessage; // what the program end shows
    int scans;
};

class DialogueTest : public ConnectTest, public ::testing::WithParamInterface<DialogueCase> {
protected:
    void SetMeters(int count) {
        for (int port : {1, 3}) serial.setAbsent(port);
        if (count >= 1) serial.attach(1, meters.at(0).get());
        if (count >= 2) serial.attach(3, meters.at(1).get());
    }
};

TEST_P(DialogueTest, FollowsTheAnswersAndTheScans) {
    const DialogueCase& c = GetParam();
    AttachMeter(1, "ZUVMAP5.map", 5);
    AttachMeter(3, "ZUVMAP5.map", 5);
    SetMeters(c.metersFirst);
    ASSERT_TRUE(Create());
    for (bool a : c.answers) ui.answer(a);
    ui.onQuestion = [this, &c] { SetMeters(c.metersAfterQuestion); };
    Connect();
    EXPECT_EQ(program->link.MeterConnected, c.connected);
    EXPECT_EQ(end.terminated, c.terminated);
    const QStringList questions = ui.texts("yesno");
    if (*c.question)
        EXPECT_EQ(questions, QStringList{QString::fromUtf8(c.question)});
    else
        EXPECT_TRUE(questions.isEmpty());
    if (c.terminated) EXPECT_EQ(end.messages, QStringList{QString::fromUtf8(c.terminateMessage)});
    EXPECT_EQ(Scans(), c.scans);
    if (!c.connected) EXPECT_TRUE(ui.texts("message").isEmpty());
}

const std::string kNotDetectedUtf8 = kNotDetected.toStdString();
const std::string kTwoUtf8 = ("2 Meters detected! - Please connect one only\n\r\n\r" + kTryAgain).toStdString();

INSTANTIATE_TEST_SUITE_P(
    Connect, DialogueTest,
    ::testing::Values(
        DialogueCase{"NoneAnswerNo", 0, {false}, 0, false, true, kNotDetectedUtf8.c_str(), "", 1},
        DialogueCase{"NoneYesStillNone", 0, {true}, 0, false, true, kNotDetectedUtf8.c_str(),
                     "Meter still not detected - VORDA will now terminate\n\rVORDA Version: 3.9.5", 2},
        DialogueCase{"NoneYesThenOne", 0, {true}, 1, true, false, kNotDetectedUtf8.c_str(), "", 2},
        DialogueCase{"NoneYesThenTwo", 0, {true}, 2, false, false, kNotDetectedUtf8.c_str(), "", 2},
        DialogueCase{"TwoAnswerNo", 2, {false}, 2, false, true, kTwoUtf8.c_str(), "", 2},
        DialogueCase{"TwoYesThenOne", 2, {true}, 1, true, false, kTwoUtf8.c_str(), "", 3},
        DialogueCase{"TwoYesThenNone", 2, {true}, 0, false, false, kTwoUtf8.c_str(), "", 3},
        DialogueCase{"TwoYesStillTwo", 2, {true}, 2, false, true, kTwoUtf8.c_str(),
                     "2 Meters detected! - VORDA will terminate\n\rVORDA Version: 3.9.5", 4}),
    [](const ::testing::TestParamInfo<DialogueCase>& info) { return std::string(info.param.name); });

TEST_F(ConnectTest, MeterAnsweringOnlyTheSecondHandshakeCountsButMustAnswerAtConnect) {
    SimMeter& meter = AttachMeter(0, "ZUVMAP5.map", 5);
    meter.mutableFaults().secondHandshakeOnly = true;
    ASSERT_TRUE(Create());
    ASSERT_TRUE(Connect());
    // Found on the second handshake of the scan; the handshake after
    // reopening is the first of the next pair and gets no answer.
    EXPECT_TRUE(program->link.MeterConnected);
    EXPECT_EQ(ui.texts(), QStringList{"Meter connection failure\n\rPlease repeat the operation"});
    EXPECT_FALSE(program->map.MapLoaded);
}

// Ten ports that open but never answer beside one meter: every port gets
// the exchanges of a test on its own (the second handshake only where the
// first failed), but each handshake round waits once for all ports.
TEST_F(ConnectTest, ScanTestsTheOpenPortsTogether) {
    for (int port = 0; port <= 10; ++port)
        if (port != 4) serial.setFree(port);
    AttachMeter(4, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    serial.clearCalls();
    EXPECT_EQ(mw()->FindComPorts(), 1);

    // Round one: the meter answers at once, the rest time out together;
    // round two: the silent ports alone (with what is left of the time-out).
    QStringList waits;
    for (const QString& call : serial.calls().filter(QRegularExpression("^SioRxWait")))
        waits << call.section(u',', 0, -2);
    EXPECT_EQ(waits, (QStringList{"SioRxWaitAny(0,1,2,3,4,5,6,7,8,9,10;1", "SioRxWaitAny(0,1,2,3,5,6,7,8,9,10;1",
                                  "SioRxWaitAny(0,1,2,3,5,6,7,8,9,10;1"}));
    auto exchangesOf = [this](int port) {
        QStringList out;
        const QRegularExpression own(QStringLiteral("^Sio(?!RxWaitAny)\\w+\\(%1[,)]").arg(port));
        for (const QString& call : serial.calls())
            if (own.match(call).hasMatch()) out << call;
        return out;
    };
    const QStringList open = {"SioReset(0,1024,1024)", "SioBaud(0,6)", "SioParms(0,0,2,8)"};
    const QStringList handshake = {"SioReset(0,1,1)", "SioPuts(0,55)", "SioTxQue(0)"};
    EXPECT_EQ(exchangesOf(0), open + handshake + handshake + QStringList{"SioDone(0)"});
    EXPECT_EQ(exchangesOf(4), (QStringList{"SioReset(4,1024,1024)", "SioBaud(4,6)", "SioParms(4,0,2,8)",
                                            "SioReset(4,1,1)", "SioPuts(4,55)", "SioTxQue(4)", "SioGetc(4)"}));
    EXPECT_EQ(mw()->ComPorts().at(mw()->FoundPortIndex()), 5);
    EXPECT_EQ(Label("ComPortlbl"), "11"); // the last port tested
    EXPECT_TRUE(serial.isOpen(4));
    for (int port : {0, 5, 10}) EXPECT_FALSE(serial.isOpen(port)) << port;
}

TEST_F(ConnectTest, BusyPortIsSkippedWithoutBeingTested) {
    serial.setBusy(2);
    AttachMeter(5, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    ASSERT_TRUE(Connect());
    EXPECT_EQ(program->link.ComPortNumber, 5);
    EXPECT_EQ(mw()->ComPorts(), QList<int>{6});
    for (const QString& call : serial.calls()) EXPECT_FALSE(call.startsWith("SioReset(2,")) << call.toStdString();
    EXPECT_TRUE(serial.calls().contains("ProbeDevice(\\\\.\\COM10)"));
    EXPECT_TRUE(serial.calls().contains("ProbeDevice(COM9)"));
}

// A meter behind a port another program holds cannot be found; the
// dialogue names that port and its holder before each "not detected" step.
TEST_F(ConnectTest, PortsHeldByOtherProgramsAreNamedWhenNoMeterIsFound) {
    const QString held = "COM3 is in use by another program (process 4321)\n\r"
                         "COM8 is in use by another program\n\r\n\r"
                         "A meter on a port in use cannot be found until that program closes the port.";
    for (bool tryAgain : {false, true}) {
        SCOPED_TRACE(tryAgain);
        end = RecordingProgramEnd();
        ui.clear();
        serial.setBusy(2, 4321);
        serial.setBusy(7);
        serial.setFree(4);
        ASSERT_TRUE(Create());
        ui.answer(tryAgain);
        Connect();
        EXPECT_TRUE(end.terminated);
        const QStringList expected = tryAgain ? QStringList{held, kNotDetected, held} : QStringList{held, kNotDetected};
        EXPECT_EQ(ui.texts(), expected);
        program.reset();
    }
    // With the meter found elsewhere nothing more is said.
    end = RecordingProgramEnd();
    ui.clear();
    AttachMeter(5, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    ASSERT_TRUE(Connect());
    EXPECT_EQ(ui.texts(), QStringList{"Meter read successfully"});
}

TEST_F(ConnectTest, DisconnectAndResetDropTheConnection) {
    for (const char* item : {"Disconnect", "EEPROMReset"}) {
        SCOPED_TRACE(item);
        meters.clear();
        AttachMeter(4, "ZUVMAP5.map", 5);
        ASSERT_TRUE(Create());
        ASSERT_TRUE(Connect());
        ASSERT_TRUE(serial.isOpen(4));
        Trigger(item);
        EXPECT_FALSE(program->link.MeterConnected);
        EXPECT_FALSE(serial.isOpen(4));
        EXPECT_FALSE(program->map.MapLoaded);
        EXPECT_TRUE(Find<QPushButton>("TestConnbtn")->isEnabled());
        EXPECT_FALSE(Action("ReadEE")->isEnabled());
        for (QLineEdit* box : mw()->ValueEdits()) EXPECT_TRUE(box->text().isEmpty());
        program.reset();
    }
}

TEST_F(ConnectTest, ReconnectAfterDisconnectReadsTheNewMeter) {
    AttachMeter(4, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    ASSERT_TRUE(Connect());
    Trigger("EEPROMReset");
    serial.setAbsent(4);
    AttachMeter(7, "ZUVMAP4.Map", 4);
    ui.clear();
    ASSERT_TRUE(Connect());
    EXPECT_EQ(program->link.ComPortNumber, 7);
    EXPECT_EQ(program->map.CurrentMapFile, "ZUVMap4.Map");
    EXPECT_EQ(ui.texts(), QStringList{"Meter read successfully"});
}

// A file dialog takes the working folder elsewhere; the meter's own map
// still comes from the user directory, as for vorda-cli.
// A port the account may not open is named with its device and the group
// that may, so that "Meter not detected" is not all the technician learns.
TEST_F(ConnectTest, PortsThisAccountMayNotOpenAreNamedWithTheirGroup) {
    serial.setDenied(3, "dialout");
    serial.setBusy(7);
    ASSERT_TRUE(Create());
    ui.answer(false);
    Connect();
    EXPECT_TRUE(end.terminated);
    ASSERT_EQ(ui.texts().size(), 3);
    EXPECT_EQ(ui.texts().at(1), "COM4 (/dev/ttySIM3) may not be opened by this account (permission denied): add the "
                                "account to the group dialout (sudo usermod -aG dialout USER) and log in again.\n\r\n\r"
                                "A meter on such a port cannot be found until the account may open it.");
    EXPECT_EQ(ui.texts().at(2), kNotDetected);
}

TEST_F(ConnectTest, MetersMapComesFromTheUserDirectoryWhereverTheWorkingFolderIs) {
    AttachMeter(4, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    ASSERT_TRUE(Connect());
    EXPECT_EQ(program->map.MapParamCount(), 29);
    EXPECT_EQ(ui.texts(), QStringList{"Meter read successfully"});
}

TEST_F(ConnectTest, UnsetMapNumberTakesMapZero) {
    for (bool maker : {true, false}) {
        SCOPED_TRACE(maker);
        meters.clear();
        ui.clear();
        AttachMeter(0, "ZUVMAP0.Map", 255);
        ASSERT_TRUE(Create(maker ? QStringList{"/UserIsZUV"} : QStringList{}));
        ASSERT_TRUE(Connect()) << end.messages.join("|").toStdString() << ui.texts().join("|").toStdString();
        EXPECT_EQ(program->map.CurrentMapFile, "ZUVMap0.Map");
        EXPECT_EQ(ui.texts().contains("Map File ID not set in Meter.  0 assumed."), maker);
        EXPECT_EQ(ui.texts().first(), maker ? "Map File ID not set in Meter.  0 assumed." : "Meter read successfully");
        program.reset();
        serial.SioDone(0); // the port the ended program still held
    }
}

TEST_F(ConnectTest, MapOpenedByHandIsKeptAndOnlyCompared) {
    SimMeter& meter = AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create({"/UserIsZUV"}));
    ui.choosePath(program->startup.UserDir + "ZUVMAP4.Map");
    Trigger("ReadMapFile");
    ASSERT_EQ(program->map.MapFileNumber, 4);
    ui.clear();
    meter.clearLog();
    ASSERT_TRUE(Connect());
    EXPECT_EQ(ui.texts(), QStringList{"Warning - Meter is using ZUVMap5\n\rcurrently loaded map is ZUVMap4\n\r"
                                      "Meter can be read with current map - \n\rUse Meter (Connected) / Read Parameters, and / or\n\r"
                                      "you can load the map used in the meter then re-read."});
    EXPECT_EQ(program->map.CurrentMapFile, "ZUVMAP4.Map");
    EXPECT_EQ(Label("ConnectForMapLbl"), "ZUVMap5.Map");
    EXPECT_EQ(meter.registerReads(), 1); // register 200 only
}

TEST_F(ConnectTest, CalibrationModeUsesMap127WithoutAsking) {
    SimMeter& meter = AttachMeter(0, "ZUVMAP127.Map", 5);
    ASSERT_TRUE(Create({"/MaOfs"}));
    ASSERT_TRUE(Connect());
    EXPECT_EQ(mw()->MeterMapNumber, 127);
    EXPECT_EQ(program->map.CurrentMapFile, "ZUVMap127.Map");
    EXPECT_EQ(Label("ConnectForMapLbl"), "(not yet set)");
    EXPECT_TRUE(ui.texts().isEmpty()); // no read message in this mode
    EXPECT_TRUE(Find<QWidget>("mAPnl")->isVisibleTo(mw()));
    EXPECT_FALSE(program->flags.MeterInSync);
    // Register 200 was never asked for by itself before the map was read.
    ASSERT_FALSE(meter.commandLog().isEmpty());
    EXPECT_EQ(meter.commandLog().at(0).bytes, QByteArray(1, char(0x55)));
}

TEST_F(ConnectTest, NewMeterDropsTheConnectionForTheNextMeter) {
    AttachMeter(0, "ZUVMAP127.Map", 127);
    ASSERT_TRUE(Create({"/MaOfs"}));
    ASSERT_TRUE(Connect());
    Find<QLineEdit>("MetermAEdt")->setText("3.9");
    Find<QPushButton>("NewMeterbtn")->click();
    EXPECT_FALSE(program->link.MeterConnected);
    EXPECT_FALSE(serial.isOpen(0));
    EXPECT_FALSE(program->map.MapLoaded);
    EXPECT_TRUE(Find<QLineEdit>("MetermAEdt")->text().isEmpty());
    ASSERT_TRUE(Connect());
    EXPECT_TRUE(program->link.MeterConnected);
}

TEST_F(ConnectTest, ClosingTheUnitsDialogReadsAConnectedMeter) {
    SimMeter& meter = AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    program->unitsDialog()->close(); // not connected: nothing happens
    EXPECT_EQ(meter.registerReads(), 0);
    ASSERT_TRUE(Connect());
    const int reads = meter.registerReads();
    program->unitsDialog()->show();
    program->unitsDialog()->close();
    EXPECT_GT(meter.registerReads(), reads);
}

TEST_F(ConnectTest, MissingMapEndsTheCommandButStaysConnected) {
    AttachMeter(0, "ZUVMAP5.map", 9);
    ASSERT_TRUE(Create());
    ASSERT_TRUE(Connect());
    EXPECT_EQ(ui.texts("error").size(), 1);
    EXPECT_TRUE(ui.texts("error").value(0).contains("ZUVMap9.Map"));
    EXPECT_FALSE(program->map.MapLoaded);
    EXPECT_TRUE(program->link.MeterConnected);
}

class ReadWriteTest : public ConnectTest {
protected:
    void SetUp() override {
        ConnectTest::SetUp();
        meter_ = &AttachMeter(0, "ZUVMAP5.map", 5);
    }
    void ConnectNow(const QStringList& args = {}) {
        ASSERT_TRUE(Create(args));
        ASSERT_TRUE(Connect());
        ui.clear();
    }
    QByteArray Regs(int first, int count) const {
        QByteArray out;
        for (int i = 0; i < count; ++i) out += char(meter_->reg(first + i));
        return out;
    }
    SimMeter* meter_ = nullptr;
};

TEST_F(ReadWriteTest, ThreeFailedReadsAreReportedAndTheFourthEndsTheRead) {
    meter_->mutableFaults().failRegisters = {0, 1, 2};
    ConnectNow();
    Trigger("ReadEE");
    // The read filled the boxes, so a second read asks first.
    ASSERT_EQ(ui.texts("confirm").size(), 1);
    ui.clear();
    Trigger("ReadEE");
    EXPECT_EQ(ui.texts("message").mid(0, 3), (QStringList{"Meter read failure: value 0 in parameter Serial Number",
                                                 "Meter read failure: value 1 in parameter Serial Number",
                                                 "Meter read failure: value 2 in parameter Serial Number"}));
    EXPECT_FALSE(ui.texts().contains("Meter read successfully"));
    EXPECT_EQ(Box(0)->text(), "error"); // no whole value was read, and the check says so
    EXPECT_TRUE(ui.texts().contains("Invalid Int32 in Serial Number : not all of it could be read from the meter - enter the value again"));
    EXPECT_FALSE(Box(1)->text().isEmpty());

    ui.clear();
    meter_->mutableFaults().failRegisters = {0, 1, 2, 3};
    Trigger("ReadEE");
    EXPECT_EQ(ui.texts("message").size(), 5);
    EXPECT_EQ(ui.texts().last(), "Too many read failures - connection lost?\n\rNew meter attached?  Save data and restart everything!");
    EXPECT_TRUE(Box(1)->text().isEmpty()); // the read ended at once
}

TEST_F(ReadWriteTest, FailedValueInAListKeepsItsPlace) {
    meter_->mutableFaults().failRegisters = {75};
    ConnectNow();
    ui.clear();
    Trigger("ReadEE");
    // The second value of "Flow Alarm Limits" did not arrive: its place stays
    // empty, so the third register pair is not taken for the second value
    // and the check refuses the list until it is given again.
    const QString second = FormatGeneral((meter_->reg(76) * 256 + meter_->reg(77)) * 0.1L);
    EXPECT_EQ(mw()->AcceptedValues().at(20), "," + second);
    EXPECT_TRUE(ui.texts().contains("Meter read failure: value 1 in parameter Flow Alarm Limits"));
    EXPECT_TRUE(ui.texts().contains("Invalid Int16 in Flow Alarm Limits : not all of it could be read from the meter - enter the value again"));
    EXPECT_FALSE(Find<QWidget>("ProgressBar")->isVisible());
}

// A value with a register that did not answer is not the meter's: text and
// hex values would lose a byte and shift the rest, and a write would put
// the shift into the meter. The check refuses such values, and the values
// the read never reached, until the user types them again.
TEST_F(ReadWriteTest, ValuesWithUnreadRegistersAreRefusedUntilTyped) {
    meter_->mutableFaults().failRegisters = {8, 101}; // inside the tag and the hex value
    const QString unread = QStringLiteral(" : not all of it could be read from the meter - enter the value again");
    ConnectNow();
    const QString tagName = program->map.MapParams.at(3).Parameter;
    const QString hexName = program->map.MapParams.at(25).Parameter;
    const int writes = meter_->registerWrites();
    Trigger("WriteEE");
    EXPECT_EQ(ui.texts(), (QStringList{"Invalid ASCII in " + tagName + unread, "Invalid Hex in " + hexName + unread,
                                       "Please correct Data errors"}));
    EXPECT_EQ(meter_->registerWrites(), writes);

    // Typed again, even as the same text, the values are the user's.
    meter_->mutableFaults().failRegisters = {};
    for (auto [index, text] : {std::pair{3, "AB"}, std::pair{25, "0AFF00"}}) {
        Box(index)->selectAll();
        QTest::keyClicks(Box(index), text);
    }
    ui.clear();
    Trigger("WriteEE");
    EXPECT_TRUE(ui.texts().contains("Meter written successfully")) << ui.texts().join(" | ").toStdString();
    EXPECT_EQ(Regs(8, 16), QByteArray("AB") + QByteArray(14, '\0'));
    EXPECT_EQ(Regs(100, 3), QByteArray::fromHex("0aff00"));

    // A read that ends early leaves the rest unread: even the empty text
    // value, which would write zeros, is refused.
    meter_->mutableFaults().failRegisters = {8, 9, 10, 11};
    ui.clear();
    Trigger("ReadEE");
    const int before = meter_->registerWrites();
    ui.clear();
    Trigger("WriteEE");
    EXPECT_TRUE(ui.texts().contains("Invalid ASCII in " + tagName + unread));
    EXPECT_EQ(ui.texts().last(), "Please correct Data errors");
    EXPECT_EQ(meter_->registerWrites(), before);
}

TEST_F(ReadWriteTest, ReadAsksBeforeOverwritingEditedValues) {
    ConnectNow();
    Box(4)->setText("300");
    ui.answer(false);
    Trigger("ReadEE");
    EXPECT_EQ(ui.texts(), QStringList{"About to read Meter values.\n\rCurrent data has not been saved, and will be overwritten.\n\r\n\r            Are you sure?"});
    EXPECT_EQ(Box(4)->text(), "300");
}

TEST_F(ReadWriteTest, WriteSendsExactlyTheEncodedBytes) {
    ASSERT_TRUE(Create());
    // Temperatures shown in °F, chosen before anything is on screen.
    for (QComboBox* box : program->unitsDialog()->UnitCombos())
        if (box->objectName() == "Temperature") box->setCurrentText(QString::fromUtf8("\xC2\xB0" "F"));
    ASSERT_TRUE(Connect());
    ui.clear();
    Box(4)->setText("250");     // Int16, multiplier 1
    Box(6)->setText("1.5");     // Int16, multiplier 0.1
    Box(3)->setText("AB");      // ASCII, 16 registers
    Box(20)->setText("10,20");  // two Int16 values, multiplier 0.1
    Box(23)->setText("212");    // 212 °F = 100 °C, multiplier 0.1
    Trigger("WriteEE");
    EXPECT_EQ(ui.texts(), (QStringList{"About to write new values to Meter\n\r\n\r            Are you sure?", "Meter written successfully"}));
    EXPECT_EQ(Regs(24, 2), QByteArray::fromHex("00fa"));
    EXPECT_EQ(Regs(30, 2), QByteArray::fromHex("000f"));
    EXPECT_EQ(Regs(8, 16), QByteArray("AB") + QByteArray(14, '\0'));
    EXPECT_EQ(Regs(74, 4), QByteArray::fromHex("006400c8"));
    EXPECT_EQ(Regs(96, 2), QByteArray::fromHex("03e8"));
    EXPECT_TRUE(program->flags.MeterInSync);
    EXPECT_EQ(Label("EEPROMMapFile"), Label("MapFileNow"));
    EXPECT_EQ(Label("EEPROMDataFile"), Label("DataFileNow"));
}

TEST_F(ReadWriteTest, UntouchedValuesKeepTheirExactMeterValue) {
    // 123456 has more figures than the screen shows (123460).
    for (int i = 0; i < 4; ++i) meter_->setReg(i, quint8((123456u >> (8 * (3 - i))) & 0xFF));
    const QVector<quint8> before = meter_->registers();
    ConnectNow();
    EXPECT_EQ(Box(0)->text(), "123460");
    EXPECT_EQ(mw()->MeterValues().at(0), "123456");
    EXPECT_EQ(mw()->AcceptedValues().at(0), "123456");
    Box(4)->setText("250");
    Trigger("WriteEE");
    const QVector<quint8> after = meter_->registers();
    for (int r = 0; r < 256; ++r)
        if (r != 24 && r != 25) EXPECT_EQ(after[r], before[r]) << "register " << r;
    EXPECT_EQ(Regs(24, 2), QByteArray::fromHex("00fa"));
    EXPECT_GT(meter_->registerWrites(), 0);
}

TEST_F(ReadWriteTest, InvalidDataIsNotWritten) {
    ConnectNow();
    const int writes = meter_->registerWrites();
    Box(4)->setText("abc");
    Trigger("WriteEE");
    EXPECT_EQ(ui.texts(), (QStringList{"Invalid Int16 in Pipe Diameter : Not a valid number", "Please correct Data errors"}));
    EXPECT_EQ(meter_->registerWrites(), writes);
}

TEST_F(ReadWriteTest, CancelledWriteSendsNothing) {
    ConnectNow();
    const int writes = meter_->registerWrites();
    const int handshakes = meter_->handshakes();
    ui.answer(false);
    Trigger("WriteEE");
    EXPECT_EQ(meter_->registerWrites(), writes);
    EXPECT_EQ(meter_->handshakes(), handshakes);
}

TEST_F(ReadWriteTest, FailedWritesAreCountedOverTheCommand) {
    ConnectNow();
    const QString mapBefore = Label("EEPROMMapFile");
    meter_->mutableFaults().failRegisters = {24};
    Trigger("WriteEE");
    EXPECT_TRUE(ui.texts().contains("Meter write failure: value 0 in parameter Pipe Diameter"));
    EXPECT_FALSE(ui.texts().contains("Meter written successfully"));
    EXPECT_EQ(Label("EEPROMMapFile"), mapBefore);
    EXPECT_EQ(Label("Progress"), "");

    ui.clear();
    meter_->mutableFaults().failRegisters = {24, 25, 26, 27};
    Trigger("WriteEE");
    // After the failures, what landed: the four tags before register 24.
    ASSERT_GE(ui.texts().size(), 2);
    EXPECT_EQ(ui.texts().at(ui.texts().size() - 2), "Too many write failures - connection lost?\n\rNew meter attached?  Save data and restart everything!");
    EXPECT_TRUE(ui.texts().last().startsWith("What the meter received:\n\rwritten whole: Serial Number, Firmware Version, "
                                             "Hardware Revision, Meter Tag\n\rwritten partly: none\n\rnot written: Pipe Diameter, Flow Full Scale"))
        << ui.texts().last().toStdString();
    EXPECT_EQ(ui.texts().filter(QRegularExpression("^Meter write failure")).size(), 4);
}

TEST_F(ReadWriteTest, HandshakeFailureEndsReadAndWrite) {
    ConnectNow();
    meter_->mutableFaults().badHandshake = true;
    Trigger("WriteEE");
    Trigger("ReadEE");
    EXPECT_EQ(ui.texts().count("Meter connection failure\n\rSave data and restart everything!"), 2);
}

TEST_F(ReadWriteTest, CalibrationModeReadsAndWritesWithoutQuestions) {
    ConnectNow({"/MaOfs"});
    Trigger("ReadEE");
    Box(0)->setText(Box(0)->text());
    Trigger("WriteEE");
    EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join(" | ").toStdString();
}

} // namespace
} // namespace vorda::test
