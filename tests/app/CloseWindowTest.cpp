// The configuration file, and closing the main window.
#include "tests/support/ProgramFixture.h"

#include "shell/ConfigFiles.h"
#include "base/TextFiles.h"
#include "base/UserError.h"

#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include "windows/SetDisplayUnitsUnt.h"

namespace vorda::test {
namespace {

TEST(ConfigLinesTest, ReadsWhatTheFileHolds) {
    struct Case {
        QStringList lines;
        QString map, data;
        int rows;
    } cases[] = {
        {{"7"}, "unknown", "unknown", 0},
        {{"7", "ZUVMap5.Map"}, "ZUVMap5.Map", "unknown", 0},
        {{"7", "ZUVMap5.Map", "a.epf"}, "ZUVMap5.Map", "a.epf", 0},
        {{"7", "m", "d", "3", "Flow", "M", "D", "l/s", "Volume", "M", "D", "m3"}, "m", "d", 3},
        {{"7", "m", "d", "0"}, "m", "d", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.join("|").toStdString());
        const ConfigData data = ParseConfigLines(c.lines);
        EXPECT_EQ(data.eepromMapFile, c.map);
        EXPECT_EQ(data.eepromDataFile, c.data);
        EXPECT_EQ(data.savedUnits.size(), c.rows);
    }
    // A count of three with two full rows: the third row is four empty texts.
    const ConfigData short3 = ParseConfigLines({"7", "m", "d", "3", "Flow", "M", "D", "l/s", "Volume", "M", "D", "m3"});
    EXPECT_EQ(short3.savedUnits[2], (UnitRow{}));
    EXPECT_EQ(short3.savedUnits[1].Units, "m3");
}

TEST(ConfigLinesTest, CountThatIsNoIntegerEndsTheRead) {
    EXPECT_THROW(ParseConfigLines({"7", "m", "d", "x"}), UserError);
    EXPECT_THROW(ParseConfigLines({"7", "m", "d", ""}), UserError);
}

TEST(ConfigLinesTest, HugeCountBuildsNoMillionRows) {
    EXPECT_EQ(ParseConfigLines({"7", "m", "d", "2000000000"}).savedUnits.size(), kMaxSavedUnitRows);
}

TEST(ConfigLinesTest, RoundTrip) {
    ConfigData data;
    data.comPortLabel = "(not yet set)";
    data.eepromMapFile = "ZUVMap5.Map";
    data.eepromDataFile = "Factory Default Settings";
    data.savedUnits = {{"Temperature", "M*9/5+32", "D-32*5/9", QString::fromUtf8("\xC2\xB0" "F")}};
    const QStringList lines = ConfigLines(data);
    EXPECT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[3], "1");
    const ConfigData back = ParseConfigLines(lines);
    EXPECT_EQ(back.eepromMapFile, data.eepromMapFile);
    EXPECT_EQ(back.eepromDataFile, data.eepromDataFile);
    EXPECT_EQ(back.savedUnits, data.savedUnits);
}

TEST(IniValuesTest, SetsTheKeysOfOneSectionAndKeepsEverythingElse) {
    const QList<std::pair<QString, QString>> keys = {{"Top", "5"}, {"Width", "7"}};
    struct Case {
        const char* name;
        QByteArray before, after;
    } cases[] = {
        {"empty file", "", "[Win]\r\nTop=5\r\nWidth=7\r\n"},
        {"keys replaced in their lines, others kept",
         "; mine\r\n[Win]\r\nTop = 1\r\nColour=red, blue\r\nWidth=2\r\n",
         "; mine\r\n[Win]\r\nTop=5\r\nColour=red, blue\r\nWidth=7\r\n"},
        {"missing key added at the end of its section",
         "[Win]\r\nTop=1\r\n\r\n[Other]\r\nWidth=3\r\n",
         "[Win]\r\nTop=5\r\nWidth=7\r\n\r\n[Other]\r\nWidth=3\r\n"},
        {"missing section added at the end", "[Other]\r\nTop=3\r\n",
         "[Other]\r\nTop=3\r\n\r\n[Win]\r\nTop=5\r\nWidth=7\r\n"},
        {"line feeds stay line feeds", "[Win]\nTop=1\n", "[Win]\nTop=5\nWidth=7\n"},
        {"a section name inside a value opens nothing", "[A]\nx=[Win]\n", "[A]\nx=[Win]\n\n[Win]\nTop=5\nWidth=7\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WithIniValues(c.before, "Win", keys), c.after);
    }
}

// The placement written by hand is what the settings reader finds, and keys
// of other programs' sections survive it.
TEST(IniValuesTest, PlacementWrittenIsReadBackAndOtherKeysSurvive) {
    QTemporaryDir dir;
    const QString ini = dir.filePath("FormSettings.ini");
    {
        QSettings settings(ini, QSettings::IniFormat);
        settings.setValue("Extra/Name", "kept");
        settings.setValue("MapMaker/Top", 9);
    }
    QString error;
    ASSERT_TRUE(WritePlacement(ini, "ValuesReadWrite", Placement{1, 2, 3, 4}, &error)) << error.toStdString();
    const auto placement = ReadPlacement(ini, "ValuesReadWrite");
    ASSERT_TRUE(placement.has_value());
    EXPECT_EQ(std::tie(placement->top, placement->left, placement->height, placement->width), std::make_tuple(1, 2, 3, 4));
    QSettings settings(ini, QSettings::IniFormat);
    EXPECT_EQ(settings.value("Extra/Name").toString(), "kept");
    EXPECT_EQ(settings.value("MapMaker/Top").toInt(), 9);
}

class CloseTest : public ProgramTest {
protected:
    QString UserFile(const QString& name) const { return program->startup.UserDir + name; }
    void Connect() { Find<QPushButton>("TestConnbtn")->click(); }
    bool CloseWindow() {
        mw()->show();
        mw()->close();
        return !mw()->isVisible();
    }
    static QStringList Lines(const QString& path) {
        QStringList lines;
        QString error;
        ReadTextLines(path, &lines, &error);
        return lines;
    }
};

TEST_F(CloseTest, WithoutAMapNothingIsAskedOrSentAndOnlyThePlacementIsWritten) {
    SimMeter& meter = AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    ASSERT_TRUE(CloseWindow());
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(meter.commandLog().size(), 0);
    EXPECT_FALSE(QFile::exists(UserFile("VORDAConfig.txt")));
    QSettings ini(UserFile("FormSettings.ini"), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Preferences/SaveSettings").toInt(), 1);
    EXPECT_TRUE(ini.contains("ValuesReadWrite/Top"));
    EXPECT_TRUE(ini.contains("ValuesReadWrite/Width"));
}

TEST_F(CloseTest, WithoutAMapAnEarlierConfigurationIsLeftAsItWas) {
    ASSERT_TRUE(Create());
    program.reset();
    const QByteArray before = "COM7\r\nZUVMap4.Map\r\nold.epf\r\n0\r\n";
    {
        QFile f(paths.DefaultUserDir() + "VORDAConfig.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(before);
    }
    ASSERT_TRUE(Create());
    ASSERT_TRUE(CloseWindow());
    QFile f(UserFile("VORDAConfig.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(CloseTest, PlacementWrittenAtCloseIsRestoredUnchanged) {
    ASSERT_TRUE(Create());
    mw()->show();
    mw()->move(70, 50);
    mw()->resize(640, 480);
    const QRect frame = mw()->frameGeometry();
    const QSize size = mw()->size();
    ASSERT_TRUE(CloseWindow());
    program.reset();
    ASSERT_TRUE(Create());
    mw()->show();
    EXPECT_EQ(mw()->frameGeometry().topLeft(), frame.topLeft());
    EXPECT_EQ(mw()->size(), size);
}

TEST_F(CloseTest, MaximizedWindowSavesItsNormalBounds) {
    ASSERT_TRUE(Create());
    mw()->show();
    mw()->move(60, 40);
    mw()->resize(500, 400);
    QApplication::processEvents();
    const QRect normal = mw()->geometry();
    mw()->showMaximized();
    QApplication::processEvents();
    ASSERT_TRUE(mw()->isMaximized());
    ASSERT_NE(mw()->size(), normal.size()); // the offscreen screen is larger
    mw()->close();
    ASSERT_FALSE(mw()->isVisible());
    const auto saved = ReadPlacement(UserFile("FormSettings.ini"), "ValuesReadWrite");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->width, normal.width());
    EXPECT_EQ(saved->height, normal.height());
    EXPECT_EQ(saved->left, normal.left() - (mw()->geometry().left() - mw()->frameGeometry().left()));
}

// The close that goes through ends the event loop at once: the display units
// dialog, still open, is not closed on the way, so its close handler does not
// read the meter through the port that was just closed.
TEST_F(CloseTest, CloseEndsTheProgramWithoutClosingTheOtherWindows) {
    SimMeter& meter = AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    Connect();
    ASSERT_TRUE(program->link.MeterConnected);
    const bool quitOnLast = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false); // as the program runs
    mw()->show();
    QWidget* dialog = program->unitsDialog();
    dialog->show();
    ui.clear();
    meter.clearLog();
    QTimer::singleShot(0, mw(), [this] { mw()->close(); });
    // A close that does not end the loop would leave exec running: end it
    // from outside with another code.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(7); });
    watchdog.start(5000);
    const int code = QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(quitOnLast);
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(mw()->isVisible());
    EXPECT_TRUE(ui.shown.empty());
    ASSERT_EQ(meter.commandLog().size(), 2); // handshake and sign-off only
    EXPECT_EQ(meter.commandLog().back().bytes, QByteArray(1, char(0x02)));
}

TEST_F(CloseTest, ConnectedMeterIsSignedOffAndTheConfigurationWritten) {
    SimMeter& meter = AttachMeter(2, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    Connect();
    ASSERT_TRUE(program->map.MapLoaded);
    ui.clear();
    const int handshakes = meter.handshakes();
    ASSERT_TRUE(CloseWindow());
    EXPECT_TRUE(ui.shown.empty()); // read values are in step with the meter
    EXPECT_EQ(meter.handshakes(), handshakes + 1);
    EXPECT_EQ(meter.signOffs(), 1);
    EXPECT_FALSE(serial.isOpen(2));
    const QStringList lines = Lines(UserFile("VORDAConfig.txt"));
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], "3");
    EXPECT_EQ(lines[3], QString::number(program->units.TypeCount()));
    EXPECT_EQ(lines.size(), 4 + 4 * program->units.TypeCount());
    EXPECT_EQ(lines[4], program->units.CurrentUnits[0].Type);
}

// SIGTERM or SIGINT while the window runs: a close that asks nothing and
// writes nothing, the meter signed off and the port closed.
class SignalEndTest : public CloseTest {
protected:
    void ExpectQuietEnd(int signal) {
        SimMeter& meter = AttachMeter(2, "ZUVMAP5.map", 5);
        ASSERT_TRUE(Create());
        Connect();
        ASSERT_TRUE(program->link.MeterConnected);
        Box(4)->setText("123"); // unsaved edits, which a close would ask about
        ASSERT_TRUE(WriteTextLines(UserFile("VORDAConfig.txt"), {"COM3", "ZUVMap4.Map", "old.epf", "0"}, nullptr));
        ui.clear();
        meter.clearLog();
        EXPECT_EQ(RunUntilSignal(signal), 128 + signal);
        EXPECT_TRUE(ui.shown.empty());
        ASSERT_EQ(meter.commandLog().size(), 2); // handshake and sign-off only
        EXPECT_EQ(meter.commandLog().back().bytes, QByteArray(1, char(0x02)));
        EXPECT_FALSE(serial.isOpen(2));
        EXPECT_EQ(Lines(UserFile("VORDAConfig.txt")), (QStringList{"COM3", "ZUVMap4.Map", "old.epf", "0"}));
        EXPECT_FALSE(QFile::exists(UserFile("FormSettings.ini")));
    }
};

TEST_F(SignalEndTest, EndsWithoutQuestionsSignsOffAndWritesNothing) {
    // SIGINT takes the same way (vorda-cli's test sends both).
    ExpectQuietEnd(SIGTERM);
}

TEST_F(SignalEndTest, InCalibrationModeThePortIsClosedAndNothingSent) {
    SimMeter& meter = AttachMeter(0, "ZUVMAP127.Map", 127);
    ASSERT_TRUE(Create({"/MaOfs"}));
    Connect();
    ASSERT_TRUE(program->link.MeterConnected);
    meter.clearLog();
    EXPECT_EQ(RunUntilSignal(SIGTERM), 128 + SIGTERM);
    EXPECT_EQ(meter.commandLog().size(), 0);
    EXPECT_FALSE(serial.isOpen(0));
}

TEST_F(CloseTest, UnsavedEditsAskAndCancelKeepsTheWindow) {
    AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    Connect();
    Box(4)->setText("123");
    ui.clear();
    ui.answer(false);
    EXPECT_FALSE(CloseWindow());
    EXPECT_EQ(ui.texts(), QStringList{"About to Close the Application - Current data not saved and not written to meter.\n\r\n\r            Are you sure?"});
    EXPECT_TRUE(program->link.MeterConnected);
    ui.answer(true);
    EXPECT_TRUE(CloseWindow());
}

TEST_F(CloseTest, HandshakeFailureIsReportedAndTheCloseGoesOn) {
    SimMeter& meter = AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    Connect();
    meter.mutableFaults().badHandshake = true;
    ui.clear();
    EXPECT_TRUE(CloseWindow());
    EXPECT_EQ(ui.texts(), QStringList{"Meter connection failure"});
    EXPECT_EQ(meter.signOffs(), 1);
}

TEST_F(CloseTest, CalibrationModeClosesWithoutQuestionsOrHandshake) {
    SimMeter& meter = AttachMeter(0, "ZUVMAP127.Map", 127);
    ASSERT_TRUE(Create({"/MaOfs"}));
    Connect();
    Box(0)->setText("1");
    ui.clear();
    const int handshakes = meter.handshakes();
    EXPECT_TRUE(CloseWindow());
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(meter.handshakes(), handshakes);
    EXPECT_EQ(meter.signOffs(), 0);
    EXPECT_FALSE(serial.isOpen(0));
    EXPECT_TRUE(QFile::exists(UserFile("VORDAConfig.txt")));
}

// A settings file that cannot be written is named with the system's reason;
// No keeps the window for another try, Yes closes all the same.
TEST_F(CloseTest, UnwritableConfigurationIsReportedAndTheUserMayCloseAnyway) {
    AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    Connect();
    QDir().mkdir(UserFile("VORDAConfig.txt")); // in the way of the file
    ui.clear();
    ui.answer(false);
    EXPECT_FALSE(CloseWindow());
    ASSERT_EQ(ui.texts("yesno").size(), 1);
    const QString question = ui.texts("yesno")[0];
    // The file, then the reason: a folder stands where the file would go.
    EXPECT_TRUE(question.startsWith("Unable to write to " + UserFile("VORDAConfig.txt") + "\n\rCannot replace \"" +
                                    UserFile("VORDAConfig.txt") + "\": it is not a regular file"))
        << question.toStdString();
    EXPECT_TRUE(question.endsWith("Close anyway?"));
    EXPECT_FALSE(serial.isOpen(0)); // closed before the write
    EXPECT_FALSE(program->link.MeterConnected); // and shown so
    EXPECT_TRUE(QFileInfo(UserFile("VORDAConfig.txt")).isDir());
    ui.clear();
    ui.answer(true);
    EXPECT_TRUE(CloseWindow());
    EXPECT_EQ(ui.texts("yesno").size(), 1);
}

TEST_F(CloseTest, UnwritableWindowSettingsAreReportedOnceAndTheUserMayCloseAnyway) {
    ASSERT_TRUE(Create());
    QDir().mkdir(UserFile("FormSettings.ini"));
    ui.answer(false);
    EXPECT_FALSE(CloseWindow());
    // The map editor closes first and writes the same file: one question.
    ASSERT_EQ(ui.texts().size(), 1);
    EXPECT_EQ(ui.shown[0].kind, "yesno");
    EXPECT_TRUE(ui.texts()[0].startsWith("Unable to write to " + UserFile("FormSettings.ini") + "\n\rCannot open file \"" +
                                         UserFile("FormSettings.ini") + "\": it is not a regular file"))
        << ui.texts()[0].toStdString();
    ui.clear();
    ui.answer(true);
    EXPECT_TRUE(CloseWindow());
    EXPECT_EQ(ui.texts("yesno").size(), 1);
}

// A file dialog leaves the working directory in the folder of the file
// picked; the configuration still goes to the user directory, where the
// next start reads it.
TEST_F(CloseTest, ConfigurationGoesToTheUserDirectoryWhereverTheWorkingDirectoryIs) {
    AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    Connect();
    ASSERT_TRUE(program->map.MapLoaded);
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    ASSERT_TRUE(CloseWindow());
    EXPECT_TRUE(QFile::exists(UserFile("VORDAConfig.txt")));
    EXPECT_FALSE(QFile::exists(elsewhere.filePath("VORDAConfig.txt")));
    EXPECT_TRUE(QFile::exists(UserFile("FormSettings.ini")));
}

TEST_F(CloseTest, ConfigurationWrittenAtCloseIsReadAtTheNextStart) {
    AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    Connect();
    Trigger("WriteEE");
    ASSERT_TRUE(ui.texts().contains("Meter written successfully"));
    ASSERT_TRUE(CloseWindow());
    program.reset();
    serial.SioDone(0);
    ASSERT_TRUE(Create());
    EXPECT_EQ(Find<QLabel>("EEPROMMapFile")->text(), "ZUVMap5.Map");
    EXPECT_EQ(program->units.CurrentUnits.size(), program->units.TypeCount());
    EXPECT_EQ(mw()->SavedUnits().size(), program->units.TypeCount());
}

} // namespace
} // namespace vorda::test
