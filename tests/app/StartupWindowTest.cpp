// Start-up: the folders, the seeding of the user directory, the switches,
// the fatal messages and the window placement.
#include "tests/support/ProgramFixture.h"

#include "shell/ConfigFiles.h"
#include "base/TextFiles.h"
#include "windows/SetDisplayUnitsUnt.h"
#include "units/SigFigs.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <functional>
#include <tuple>

namespace vorda::test {
namespace {

const QString kTail = QStringLiteral("\n\rVORDA Version: 3.9.5");
const QString kContact = QStringLiteral("\n\rPlease contact ZUV Meters.  Program Terminating.") + kTail;

class StartupTest : public ProgramTest {
protected:
    QString AppData() const { return paths.AppDataDir(); }
    QString UdFile() const { return AppData() + "/VORDAUD.txt"; }
    static QString FileText(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
    static void WriteFile(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // A user directory named by VORDAUD.txt in folder, already seeded.
    QString PrepareUserDir(const QString& udFolder) {
        const QString dir = root.filePath("mine");
        QDir().mkpath(dir);
        WriteFile(udFolder + "/VORDAUD.txt", (dir + "\r\n").toLatin1());
        WriteFile(dir + "/VORDAReadMe.txt", "VORDA 3.9.5 read-me");
        return dir;
    }
};

TEST_F(StartupTest, FirstRunSettlesFoldersAndShowsNotConnected) {
    ASSERT_TRUE(Create());
    EXPECT_EQ(program->startup.UserDir, paths.DefaultUserDir());
    EXPECT_EQ(QDir::currentPath() + "/", paths.DefaultUserDir());
    EXPECT_EQ(FileText(UdFile()), paths.DefaultUserDir() + "\r\n");
    for (const QString& name : SeedFileNames())
        EXPECT_EQ(FileText(paths.DefaultUserDir() + name), FileText(paths.ProgramDataDir() + name)) << name.toStdString();
    EXPECT_EQ(Find<QLabel>("UDlbl")->text(), paths.DefaultUserDir());
    EXPECT_FALSE(program->link.MeterConnected);
    EXPECT_TRUE(Find<QPushButton>("TestConnbtn")->isEnabled());
    for (const char* item : {"ReadEE", "WriteEE", "Disconnect", "EEPROMReset", "PICRW1"}) EXPECT_FALSE(Action(item)->isEnabled()) << item;
    EXPECT_EQ(Find<QMenu>("EEPROM1")->title(), "&Meter (not connected)");
    EXPECT_EQ(Find<QLabel>("Version")->text(), "Version: 3.9.5");
    EXPECT_EQ(Find<QLabel>("SigFigLbl")->text(), "5");
    EXPECT_FALSE(Find<QMenu>("MapFile1")->menuAction()->isVisible());
    EXPECT_FALSE(Action("PICRW1")->isVisible());
    EXPECT_EQ(mw()->windowTitle(), "ZUV Meter Settings - Read and Write Parameter Values");
    EXPECT_FALSE(program->map.MapLoaded);
    EXPECT_EQ(mw()->MeterMapNumber, -1);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(StartupTest, CurrentUserDirectoryIsLeftAlone) {
    ASSERT_TRUE(Create());
    program.reset();
    WriteFile(paths.DefaultUserDir() + "ZUVMAP5.map", "edited by the user");
    ASSERT_TRUE(Create());
    EXPECT_EQ(FileText(paths.DefaultUserDir() + "ZUVMAP5.map"), "edited by the user");
}

TEST_F(StartupTest, VersionChangeReseedsTheMaps) {
    ASSERT_TRUE(Create());
    program.reset();
    WriteFile(paths.DefaultUserDir() + "ZUVMAP5.map", "edited by the user");
    WriteFile(paths.DefaultUserDir() + "VORDAReadMe.txt", "VORDA 3.9.4");
    WriteFile(paths.DefaultUserDir() + "mine.epf", "kept");
    ASSERT_TRUE(Create());
    EXPECT_EQ(FileText(paths.DefaultUserDir() + "ZUVMAP5.map"), FileText(paths.ProgramDataDir() + "ZUVMAP5.map"));
    EXPECT_TRUE(FileText(paths.DefaultUserDir() + "VORDAReadMe.txt").contains("3.9.5"));
    EXPECT_EQ(FileText(paths.DefaultUserDir() + "mine.epf"), "kept");
}

TEST_F(StartupTest, UserDirFileFromOlderInstallationsIsMoved) {
    for (bool fromProgramData : {false, true}) {
        SCOPED_TRACE(fromProgramData);
        QFile::remove(UdFile());
        const QString oldFolder = fromProgramData ? paths.ProgramDataDir() : paths.oldInstallDir;
        const QString dir = PrepareUserDir(oldFolder);
        ASSERT_TRUE(Create());
        EXPECT_EQ(program->startup.UserDir, dir);
        EXPECT_EQ(FileText(UdFile()), dir + "\r\n");
        EXPECT_FALSE(QFile::exists(oldFolder + "/VORDAUD.txt"));
        EXPECT_EQ(QDir::currentPath(), dir);
        program.reset();
    }
}

TEST_F(StartupTest, UserDirFileInAppDataWinsOverTheOldPlaces) {
    const QString mine = PrepareUserDir(AppData());
    WriteFile(paths.oldInstallDir + "/VORDAUD.txt", "/somewhere/else\r\n");
    ASSERT_TRUE(Create());
    EXPECT_EQ(program->startup.UserDir, mine);
    EXPECT_TRUE(QFile::exists(paths.oldInstallDir + "/VORDAUD.txt"));
}

TEST_F(StartupTest, UserDirEqualToSharedDataFolderIsFatalWhateverTheCase) {
    WriteFile(UdFile(), (paths.ProgramDataDir().toUpper() + "\r\n").toLatin1());
    // The upper-cased path does not exist, but the texts are compared first.
    EXPECT_FALSE(Create());
    EXPECT_EQ(end.messages, QStringList{"User Directory (" + paths.ProgramDataDir().toUpper() + ")" +
                                        "\n\rmatches ProgramDataPath which is not allowed." + kContact});
}

TEST_F(StartupTest, SharedDataFolderWithoutFinalSeparatorIsAccepted) {
    QString dir = paths.ProgramDataDir();
    dir.chop(1);
    WriteFile(UdFile(), (dir + "\r\n").toLatin1());
    EXPECT_TRUE(Create());
    EXPECT_EQ(program->startup.UserDir, dir);
}

TEST_F(StartupTest, UserDirWhoseParentIsMissingIsFatal) {
    const QString dir = root.filePath("no/such/parent/VORDA");
    WriteFile(UdFile(), (dir + "\r\n").toLatin1());
    EXPECT_FALSE(Create());
    EXPECT_EQ(end.messages, QStringList{"Unable to create User Directory (" + dir + ")" + kContact});
}

// A recorded user directory that is not there (a share not mounted) is
// created only when the user says so; No uses the default folder for now
// and keeps the record for the next start.
TEST_F(StartupTest, MissingRecordedUserDirIsCreatedOnlyWhenTheUserSaysSo) {
    const QString share = root.filePath("share/VORDA");
    QDir().mkpath(root.filePath("share"));
    WriteFile(UdFile(), (share + "\r\n").toLatin1());
    const QString question = "The user folder " + share + " recorded in " + UdFile() +
                             " does not exist (not mounted?).\n\r\n\r"
                             "Create it as a new user folder with the installed maps?\n\r"
                             "(No uses the default folder " + paths.DefaultUserDir() +
                             " for now and leaves VORDAUD.txt as it is.)";

    ui.answer(false);
    ASSERT_TRUE(Create());
    EXPECT_EQ(ui.texts(), QStringList{question});
    EXPECT_FALSE(QFileInfo::exists(share));
    EXPECT_EQ(program->startup.UserDir, paths.DefaultUserDir());
    EXPECT_EQ(Find<QLabel>("UDlbl")->text(), paths.DefaultUserDir());
    EXPECT_EQ(QDir::currentPath() + "/", paths.DefaultUserDir());
    EXPECT_TRUE(QFile::exists(paths.DefaultUserDir() + "ZUVMAP5.map"));
    EXPECT_EQ(FileText(UdFile()), share + "\r\n");
    program.reset();

    ui.clear();
    ui.answer(true);
    ASSERT_TRUE(Create());
    EXPECT_EQ(ui.texts(), QStringList{question});
    EXPECT_EQ(program->startup.UserDir, share);
    EXPECT_TRUE(QFile::exists(share + "/ZUVMAP5.map"));
    program.reset();

    // Once it exists, nothing is asked.
    ui.clear();
    ASSERT_TRUE(Create());
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(StartupTest, MissingDefaultUserDirIsCreatedWithoutAQuestion) {
    WriteFile(UdFile(), (paths.DefaultUserDir() + "\r\n").toLatin1());
    ASSERT_FALSE(QFileInfo::exists(paths.DefaultUserDir()));
    ASSERT_TRUE(Create());
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_TRUE(QFile::exists(paths.DefaultUserDir() + "ZUVMAP5.map"));
}

TEST_F(StartupTest, SettingsFolderThatCannotBeCreatedIsFatal) {
    // A file stands where the folder must go.
    WriteFile(paths.SettingsParent(), "in the way");
    EXPECT_FALSE(Create());
    EXPECT_EQ(end.messages, QStringList{"Unable to create " + paths.SettingsParent() + kContact});
}

TEST_F(StartupTest, MissingReadMeInSharedDataIsFatal) {
    QFile::remove(paths.ProgramDataDir() + "VORDAReadMe.txt");
    EXPECT_FALSE(Create());
    EXPECT_EQ(end.messages, QStringList{"Fatal Error - Files not loaded in ProgramData - Contact ZUVMeters"});
    EXPECT_FALSE(QFile::exists(UdFile())); // no later step ran
}

TEST_F(StartupTest, FailedCopyIsFatalAndKeepsTheUserFile) {
    ASSERT_TRUE(Create());
    program.reset();
    WriteFile(paths.DefaultUserDir() + "ZUVMAP4.Map", "the user's map");
    QFile::remove(paths.DefaultUserDir() + "VORDAReadMe.txt");
    QFile::remove(paths.ProgramDataDir() + "ZUVMAP4.Map");
    EXPECT_FALSE(Create());
    EXPECT_EQ(end.messages, QStringList{"Fatal error - unable to copy files from Program Data - Contact ZUV Meters."});
    EXPECT_EQ(FileText(paths.DefaultUserDir() + "ZUVMAP4.Map"), "the user's map");
}

TEST_F(StartupTest, MissingDisplayDataIsFatal) {
    QFile::remove(paths.StartDir() + "VORDADisplayData.txt");
    EXPECT_FALSE(Create());
    EXPECT_EQ(end.messages, QStringList{"Display Data File: VORDADisplayData.txt not found in " + paths.StartDir() +
                                        ".  Contact ZUV Meters Inc.  Application closing." + kTail});
}

// Every fatal start-up: the message goes through the program end seam only,
// and no later step runs (no window after the main one, no label set, no
// folder seeded by a later step).
TEST_F(StartupTest, FatalStartupsEndThroughTheSeamAndStopThere) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::function<QString()> message;
        QStringList arguments;
    };
    const std::vector<Case> cases = {
        {"settings parent in the way",
         [this] { WriteFile(paths.SettingsParent(), "in the way"); },
         [this] { return "Unable to create " + paths.SettingsParent() + kContact; }, {}},
        {"settings folder in the way",
         [this] { WriteFile(paths.AppDataDir(), "in the way"); },
         [this] { return "Unable to create " + paths.AppDataDir() + kContact; }, {}},
        {"user parent in the way",
         [this] { WriteFile(paths.UserParent(), "in the way"); },
         [this] { return "Unable to create User Directory (" + paths.UserParent() + ")" + kContact; }, {}},
        {"empty user directory line",
         [this] { WriteFile(UdFile(), "\r\n"); },
         [] { return "Unable to create User Directory ()" + kContact; }, {}},
        {"read-me missing",
         [this] { QFile::remove(paths.ProgramDataDir() + "VORDAReadMe.txt"); },
         [] { return QStringLiteral("Fatal Error - Files not loaded in ProgramData - Contact ZUVMeters"); }, {}},
        {"copy fails",
         [this] { QFile::remove(paths.ProgramDataDir() + "ZUVMAP127.Map"); },
         [] { return QStringLiteral("Fatal error - unable to copy files from Program Data - Contact ZUV Meters."); }, {}},
        {"bad switch", [] {},
         [] { return "Parameter /Maofs is invalid" + kTail; }, QStringList{"/Maofs"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir fresh;
        paths.home = fresh.filePath("home");
        paths.configHome = fresh.filePath("home/.config");
        QDir().mkpath(paths.home);
        InstallDataFiles();
        end.messages.clear();
        ui.clear();
        c.arrange();
        ASSERT_FALSE(Create(c.arguments));
        EXPECT_EQ(end.messages, QStringList{c.message()});
        EXPECT_TRUE(ui.shown.empty());
        EXPECT_EQ(program->unitsDialog(), nullptr);
        EXPECT_NE(Find<QLabel>("Version")->text(), "Version: 3.9.5");
        program.reset();
    }
}

TEST_F(StartupTest, AnUnreadableUserDirFileIsShownAndTheProgramRuns) {
    // A folder stands where the file is looked for: it is found, and reading
    // it fails with the system's text.
    WriteFile(paths.oldInstallDir + "/VORDAUD.txt", "/somewhere/else\r\n");
    QDir().mkpath(UdFile());
    ASSERT_TRUE(Create());
    ASSERT_EQ(ui.texts("error").size(), 1);
    EXPECT_TRUE(end.messages.isEmpty());
    EXPECT_TRUE(QFile::exists(paths.oldInstallDir + "/VORDAUD.txt"));
    EXPECT_EQ(Find<QLabel>("Version")->text(), "Version:"); // later steps skipped
    EXPECT_NE(program->unitsDialog(), nullptr);
}

TEST_F(StartupTest, AnUnreadableReadMeStillShowsTheUserDirectory) {
    QDir().mkpath(paths.DefaultUserDir() + "VORDAReadMe.txt");
    ASSERT_TRUE(Create());
    ASSERT_EQ(ui.texts("error").size(), 1);
    EXPECT_EQ(Find<QLabel>("UDlbl")->text(), paths.DefaultUserDir());
    EXPECT_EQ(QDir::currentPath() + "/", paths.DefaultUserDir());
    EXPECT_EQ(Find<QLabel>("Version")->text(), "Version:");
}

struct SwitchCase {
    std::vector<const char*> args;
    bool ok;
    const char* invalid; // the argument named by the fatal message
    bool maker, calibration;
    int sigFigs;
};

class SwitchTest : public ProgramTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchTest, SetsTheModesOrEndsTheProgram) {
    const SwitchCase& c = GetParam();
    QStringList args;
    for (const char* a : c.args) args << QString::fromLatin1(a);
    ASSERT_EQ(Create(args), c.ok);
    if (!c.ok) {
        EXPECT_EQ(end.messages, QStringList{"Parameter " + QString::fromLatin1(c.invalid) + " is invalid" + kTail});
        return;
    }
    EXPECT_EQ(program->startup.MakerAccess, c.maker);
    EXPECT_EQ(program->startup.OffsetCalMode, c.calibration);
    EXPECT_EQ(program->startup.SigFigCount, c.sigFigs);
    EXPECT_EQ(mw()->Rounder().SigFigCount, c.sigFigs);
    EXPECT_EQ(Find<QLabel>("SigFigLbl")->text(), QString::number(c.sigFigs));
    EXPECT_EQ(Find<QWidget>("NewMeterbtn")->isVisibleTo(Find<QWidget>("mAPnl")), c.calibration);
    EXPECT_EQ(Find<QMenu>("MapFile1")->menuAction()->isVisible(), c.maker);
    EXPECT_EQ(Action("PICRW1")->isVisible(), c.maker);
}

INSTANTIATE_TEST_SUITE_P(
    Startup, SwitchTest,
    ::testing::Values(SwitchCase{{}, true, "", false, false, 5},
                      SwitchCase{{"/UserIsZUV"}, true, "", true, false, 5},
                      SwitchCase{{"/MaOfs"}, true, "", true, true, 5},
                      SwitchCase{{"/MaOfs", "/FourSigFigs"}, true, "", true, true, 4},
                      SwitchCase{{"/UserIsZUV", "/FourSigFigs"}, true, "", true, false, 4},
                      SwitchCase{{"/UserIsZUV", "/FourSigFigs", "ignored"}, true, "", true, false, 4},
                      SwitchCase{{"/MaOfs", "/UserIsZUV"}, false, "/UserIsZUV", false, false, 5},
                      SwitchCase{{""}, false, "", false, false, 5},
                      SwitchCase{{"/FourSigFigs"}, false, "/FourSigFigs", false, false, 5},
                      SwitchCase{{"/userisZUV"}, false, "/userisZUV", false, false, 5},
                      SwitchCase{{"/UserIsZUV", "/foursigfigs"}, false, "/foursigfigs", false, false, 5}));

TEST_F(StartupTest, SavedPlacementIsRestored) {
    ASSERT_TRUE(Create());
    program.reset();
    const QString ini = paths.DefaultUserDir() + "FormSettings.ini";
    ASSERT_TRUE(WritePlacement(ini, "ValuesReadWrite", Placement{40, 30, 600, 700}));
    ASSERT_TRUE(Create());
    EXPECT_EQ(mw()->pos(), QPoint(30, 40));
    EXPECT_EQ(mw()->size(), QSize(700, 600));
}

TEST_F(StartupTest, PlacementIsIgnoredUnlessSaveSettingsIsOne) {
    ASSERT_TRUE(Create());
    const QSize designed = mw()->size();
    program.reset();
    const QString ini = paths.DefaultUserDir() + "FormSettings.ini";
    ASSERT_TRUE(WritePlacement(ini, "ValuesReadWrite", Placement{40, 30, 600, 700}));
    QSettings(ini, QSettings::IniFormat).setValue("Preferences/SaveSettings", 0);
    ASSERT_TRUE(Create());
    EXPECT_EQ(mw()->size(), designed);
    EXPECT_FALSE(ReadPlacement(ini, "ValuesReadWrite").has_value());
    QSettings(ini, QSettings::IniFormat).setValue("Preferences/SaveSettings", 1);
    const auto missing = ReadPlacement(ini, "NoSuchWindow");
    ASSERT_TRUE(missing.has_value());
    EXPECT_EQ(missing->top, -1);
    EXPECT_EQ(missing->width, -1);
}

TEST_F(StartupTest, SaveSettingsWithoutTheWindowSectionPlacesAtMinusOne) {
    ASSERT_TRUE(Create());
    const QSize designed = mw()->size();
    program.reset();
    const QString ini = paths.DefaultUserDir() + "FormSettings.ini";
    QSettings(ini, QSettings::IniFormat).setValue("Preferences/SaveSettings", 1);
    ASSERT_TRUE(Create());
    EXPECT_EQ(mw()->pos(), QPoint(-1, -1));
    EXPECT_EQ(mw()->size(), designed); // no window of size -1
}

// Saved placements that would put a window out of reach, on one screen or
// two side by side; reachable ones stay as written.
TEST(FitPlacementTest, KeepsTheWindowWhereTheUserCanReachIt) {
    const QList<QRect> one{QRect(0, 0, 1280, 1024)};
    const QList<QRect> two{QRect(0, 0, 1280, 1024), QRect(1280, 0, 1920, 1080)};
    struct Case {
        QList<QRect> screens;
        Placement saved;
        Placement fitted;
    };
    const Case cases[] = {
        {one, {40, 30, 600, 700}, {40, 30, 600, 700}},
        {one, {-1, -1, -1, -1}, {-1, -1, 480, 640}},                 // designed size
        {one, {5000, 9000, 600, 700}, {424, 580, 600, 700}},         // off the right and bottom
        {one, {-3000, -3000, 600, 700}, {0, 0, 600, 700}},
        {one, {2147483647, 2147483647, 2147483647, 2147483647}, {0, 0, 1024, 1280}},
        {one, {-2147483647 - 1, -2147483647 - 1, 600, 700}, {0, 0, 600, 700}},
        {one, {-5, 1150, 600, 700}, {-5, 1150, 600, 700}},          // title strip still reachable: kept
        {two, {100, 1500, 600, 700}, {100, 1500, 600, 700}},         // on the second screen
        {two, {2000, 5000, 900, 700}, {180, 2500, 900, 700}},        // below the second screen
    };
    for (const Case& c : cases) {
        const Placement got = FitPlacement(c.saved, QSize(640, 480), c.screens);
        EXPECT_EQ(std::tie(got.top, got.left, got.height, got.width),
                  std::tie(c.fitted.top, c.fitted.left, c.fitted.height, c.fitted.width))
            << "saved " << c.saved.top << "," << c.saved.left << " " << c.saved.height << "x" << c.saved.width;
    }
}

TEST_F(StartupTest, AnExtremeSavedPlacementStillShowsTheWindowOnScreen) {
    ASSERT_TRUE(Create());
    program.reset();
    const QString ini = paths.DefaultUserDir() + "FormSettings.ini";
    ASSERT_TRUE(WritePlacement(ini, "ValuesReadWrite", Placement{2147483647, -2147483647, 2147483647, 99999}));
    ASSERT_TRUE(Create());
    mw()->show();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(mw()->frameGeometry().topLeft()));
    EXPECT_LE(mw()->width(), screen.width());
    EXPECT_LE(mw()->height(), screen.height());
}

TEST_F(StartupTest, ConfigurationChoosesTheUnitsShown) {
    ASSERT_TRUE(Create());
    program.reset();
    ConfigData config;
    config.comPortLabel = "5";
    config.eepromMapFile = "ZUVMap5.Map";
    config.eepromDataFile = "site.epf";
    config.savedUnits = {{"Flow", "M*3.6", "D/3.6", QString::fromUtf8("m\xC2\xB3/h")},
                         {"Volume", "M*1000", "D/1000", "l"}};
    QString error;
    ASSERT_TRUE(WriteTextLines(paths.DefaultUserDir() + "VORDAConfig.txt", ConfigLines(config), &error));
    ASSERT_TRUE(Create());
    EXPECT_EQ(Find<QLabel>("EEPROMMapFile")->text(), "ZUVMap5.Map");
    EXPECT_EQ(Find<QLabel>("EEPROMDataFile")->text(), "site.epf");
    const QList<QComboBox*> boxes = program->unitsDialog()->UnitCombos();
    ASSERT_GE(boxes.size(), 3);
    EXPECT_EQ(boxes[0]->currentText(), QString::fromUtf8("m\xC2\xB3/h"));
    EXPECT_EQ(boxes[1]->currentText(), "l");
    EXPECT_EQ(program->units.CurrentUnits[1].MtoD, "M*1000");
    EXPECT_EQ(boxes[2]->currentText(), program->units.DisplayData.at(9).Units); // first unit of its type
}

TEST_F(StartupTest, ConfigurationWithABadCountSkipsTheLastSteps) {
    ASSERT_TRUE(Create());
    program.reset();
    WriteFile(paths.DefaultUserDir() + "VORDAConfig.txt", "5\r\nZUVMap5.Map\r\nsite.epf\r\nthree\r\n");
    ASSERT_TRUE(Create());
    EXPECT_EQ(ui.texts("error"), QStringList{"'three' is not a valid integer value"});
    EXPECT_EQ(Find<QLabel>("Version")->text(), "Version:"); // the version label step did not run
    EXPECT_TRUE(end.messages.isEmpty());
    EXPECT_NE(program->unitsDialog(), nullptr); // the program goes on
    EXPECT_EQ(Find<QLabel>("EEPROMMapFile")->text(), "ZUVMap5.Map");
}

} // namespace
} // namespace vorda::test
