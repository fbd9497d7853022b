// vorda-cli end to end: the program on a fresh account against vorda-sim
// over a pseudo-terminal and the real serial layer.
#include "tests/cli/CliFixture.h"

#include "shell/Startup.h"
#include "tests/support/SerialLock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>

#include <csignal>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorda::test {
namespace {

// A signal in the middle of a read ends it with the port closed, so that
// its lock file does not stay behind to hold the port for others.
TEST_F(CliPtyTest, ASignalEndsTheCommandAndRemovesThePortLock) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        ASSERT_NO_FATAL_FAILURE(StartSim({"--delay", "100"})); // a read of many seconds
        const QString port = sim.PortDir() + "/COM5";
        QProcess p;
        StartCli(p, {"read", "--com", "5", "-o", "meter.epf"});
        ASSERT_TRUE(p.waitForStarted(5000));
        // Waits until the port is open: its lock file names vorda-cli.
        while (SerialLockOwner(port) != p.processId() && p.state() == QProcess::Running) p.waitForFinished(20);
        ASSERT_EQ(SerialLockOwner(port), p.processId()) << p.readAllStandardError().toStdString();
        ::kill(pid_t(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 128 + signal);
        EXPECT_TRUE(SerialLockFile(port).isEmpty()) << SerialLockFile(port).toStdString();
        EXPECT_FALSE(QFile::exists(Path("meter.epf")));
        StopSim();
    }
}

TEST_F(CliPtyTest, ReadThenWriteTheSameFileChangesNothing) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    const CliRun read = Cli({"read", "-o", "meter.epf"});
    ASSERT_EQ(read.code, 0) << read.err.toStdString();
    // The account was new: the folders were settled and seeded as the
    // window's start-up does it.
    EXPECT_TRUE(QFile::exists(Path("home/ZUVMeters/VORDA/ZUVMAP5.map")));
    EXPECT_TRUE(QFile::exists(Path("home/.config/ZUVMeters/VORDA/VORDAUD.txt")));

    const CliRun same = Cli({"write", "meter.epf", "--only-changed", "--json"});
    EXPECT_EQ(same.code, 0) << same.err.toStdString();
    EXPECT_EQ(same.json()["registersWritten"].toInt(), 0);
    const CliRun full = Cli({"write", "meter.epf"});
    EXPECT_EQ(full.code, 0) << full.err.toStdString();
    EXPECT_EQ(Cli({"diff", "meter.epf"}).code, 0);

    QVector<quint8> after;
    const QStringList writes = StopSim(&after);
    EXPECT_EQ(after, image);
    QStringList all;
    for (const DMap& p : params) all << p.Parameter;
    // Only the full write sent registers, each with the value it held.
    EXPECT_EQ(writes, Writes(all, image));
}

TEST_F(CliPtyTest, DiffListsTheChangedParametersAndOnlyTheirRegistersAreWritten) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_EQ(Cli({"read", "-o", "meter.epf"}).code, 0);
    Edited(Path("meter.epf"), Path("changed.epf"), {{"Damping Time (s)", "2.5"}, {"Pulse Width (ms)", "200"}});

    const CliRun diff = Cli({"--json", "diff", "changed.epf"});
    EXPECT_EQ(diff.code, 1);
    QStringList named;
    for (const QJsonValue& d : diff.json()["differences"].toArray()) named << d["name"].toString();
    EXPECT_EQ(named, QStringList({"Damping Time (s)", "Pulse Width (ms)"}));

    const CliRun write = Cli({"write", "changed.epf", "--only-changed"});
    EXPECT_EQ(write.code, 0) << write.err.toStdString();
    EXPECT_EQ(Cli({"diff", "changed.epf"}).code, 0);

    QVector<quint8> after;
    const QStringList writes = StopSim(&after);
    EXPECT_EQ(after[params.at(IndexOf("Damping Time (s)")).Startreg], 25);
    EXPECT_EQ(writes, Writes({"Damping Time (s)", "Pulse Width (ms)"}, after));
}

TEST_F(CliPtyTest, AVerificationMismatchExitsOneNamingTheRegister) {
    const int reg = params.at(IndexOf("Pulse Width (ms)")).EndReg;
    ASSERT_NO_FATAL_FAILURE(StartSim({"--ignore-writes", QString::number(reg)}));
    ASSERT_EQ(Cli({"read", "-o", "meter.epf"}).code, 0);
    Edited(Path("meter.epf"), Path("changed.epf"), {{"Pulse Width (ms)", "200"}});
    const CliRun write = Cli({"write", "changed.epf"});
    EXPECT_EQ(write.code, 1);
    EXPECT_TRUE(write.err.contains(QStringLiteral("register %1 ").arg(reg))) << write.err.toStdString();
    EXPECT_EQ(write.err.count(QStringLiteral("Verification failed")), 1) << write.err.toStdString();
    // The meter kept its byte; 200 puts 200 into the low register.
    const QString held = QString::number(image.at(reg));
    EXPECT_TRUE(write.err.contains(QStringLiteral("holds %1, written 200").arg(held))) << write.err.toStdString();
    const CliRun json = Cli({"write", "changed.epf", "--json"});
    const QJsonArray mismatches = json.json()["mismatches"].toArray();
    ASSERT_EQ(mismatches.size(), 1);
    EXPECT_EQ(mismatches.at(0)["read"].toInt(), image.at(reg));
    EXPECT_EQ(mismatches.at(0)["written"].toInt(), 200);
    StopSim();
}

TEST_F(CliPtyTest, EveryByteATextOrHexParameterCanHoldSurvivesReadSaveAndWrite) {
    // A map of one long tag and one long Hex value, so that a few meters
    // hold every byte value 0 to 255 in each.
    const QList<DMap> map9{Param(0, 127, "Tag", "ASCII", "", 128, "1"), Param(128, 199, "Raw", "Hex", "", 72, "2")};
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_EQ(Cli({"scan"}).code, 0); // settles and seeds the user folder
    StopSim();
    QString error;
    ASSERT_TRUE(WriteMapFileContent(Path("home/ZUVMeters/VORDA/ZUVMAP9.map"), map9, {}, &error)) << error.toStdString();
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        image = QVector<quint8>(256, 0);
        for (int k = 0; k < 128; ++k) image[k] = quint8(128 * round + k);
        for (int k = 0; k < 72; ++k) image[128 + k] = quint8(72 * round + k);
        image[200] = 9;
        ASSERT_NO_FATAL_FAILURE(StartSim());
        ASSERT_EQ(Cli({"read", "-o", "meter.epf"}).code, 0);
        const CliRun same = Cli({"write", "meter.epf", "--only-changed", "--json"});
        EXPECT_EQ(same.code, 0) << same.err.toStdString();
        EXPECT_EQ(same.json()["registersWritten"].toInt(), 0);
        const CliRun diff = Cli({"diff", "meter.epf"});
        EXPECT_EQ(diff.code, 0) << diff.out.toStdString();
        EXPECT_EQ(Cli({"write", "meter.epf"}).code, 0);
        QVector<quint8> after;
        StopSim(&after);
        EXPECT_EQ(after, image);
    }
}

TEST_F(CliPtyTest, AWrittenParameterIsOneTheMeterHoldsWhole) {
    const DMap& total = params.at(IndexOf("Forward Totaliser"));
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_EQ(Cli({"read", "-o", "meter.epf"}).code, 0);
    StopSim();
    int registers = 0;
    for (const DMap& p : params) registers += p.EndReg - p.Startreg + 1;

    // A register that fails is not counted, and its parameter is not written.
    ASSERT_NO_FATAL_FAILURE(StartSim({"--fail-register", QString::number(total.Startreg + 1)}));
    CliRun write = Cli({"write", "meter.epf", "--json"});
    EXPECT_EQ(write.code, 4);
    EXPECT_EQ(write.json()["registersWritten"].toInt(), registers - 1);
    QStringList written;
    for (const QJsonValue& v : write.json()["written"].toArray()) written << v.toString();
    EXPECT_FALSE(written.contains("Forward Totaliser"));
    EXPECT_EQ(written.size(), params.size() - 1);
    EXPECT_TRUE(write.err.contains("written partly: Forward Totaliser")) << write.err.toStdString();
    StopSim();

    // A lost echo of a register that did land counts once the read-back shows it.
    ASSERT_NO_FATAL_FAILURE(StartSim({"--lose-write-reply", QString::number(total.EndReg)}));
    write = Cli({"write", "meter.epf", "--json"});
    EXPECT_EQ(write.json()["registersWritten"].toInt(), registers);
    written.clear();
    for (const QJsonValue& v : write.json()["written"].toArray()) written << v.toString();
    EXPECT_TRUE(written.contains("Forward Totaliser"));
    StopSim();
}

TEST_F(CliPtyTest, BadInputEndsWithItsExitCodeAndNothingWrittenOrLeftBehind) {
    // Usage.
    for (const QStringList& args : {QStringList{"frobnicate"}, QStringList{"read"}, QStringList{"scan", "--bogus"},
                                    QStringList{"write"}, QStringList{"read", "--com", "0", "-o", "x.epf"}}) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    }
    EXPECT_EQ(Cli({"--help"}).code, 0);

    // No meter.
    EXPECT_EQ(Cli({"read", "-o", "none.epf"}).code, 3);
    EXPECT_FALSE(QFile::exists(Path("none.epf")));

    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_EQ(Cli({"read", "-o", "meter.epf"}).code, 0);
    EXPECT_EQ(Cli({"check", "5", "meter.epf"}).code, 0);
    EXPECT_EQ(Cli({"read", "--com", "4", "-o", "none.epf"}).code, 3);

    // Invalid data: reported per value, nothing sent, also offline.
    Edited(Path("meter.epf"), Path("bad.epf"), {{"Damping Time (s)", "99"}, {"Pulse Width (ms)", "x"}});
    const CliRun bad = Cli({"write", "bad.epf"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_TRUE(bad.err.contains("Invalid Int8 in Damping Time (s) : Value out of range")) << bad.err.toStdString();
    EXPECT_TRUE(bad.err.contains("Invalid Int16 in Pulse Width (ms) : Not a valid number")) << bad.err.toStdString();
    EXPECT_EQ(Cli({"check", Path("home/ZUVMeters/VORDA/ZUVMAP5.map"), "bad.epf"}).code, 1);

    // A file made for another map.
    QStringList lines;
    QString error;
    ASSERT_TRUE(ReadTextLines(Path("meter.epf"), &lines, &error));
    lines[0] = "ZUVMap4.Map";
    ASSERT_TRUE(WriteTextLines(Path("other.epf"), lines, &error));
    EXPECT_EQ(Cli({"write", "other.epf"}).code, 1);

    // Short and missing files.
    ASSERT_TRUE(WriteTextLines(Path("short.epf"), lines.mid(0, 20), &error));
    EXPECT_EQ(Cli({"write", "short.epf"}).code, 5);
    EXPECT_EQ(Cli({"diff", "missing.epf"}).code, 5);
    EXPECT_EQ(Cli({"read", "-o", Path("no/such/folder/x.epf")}).code, 5);
    EXPECT_TRUE(StopSim().isEmpty());

    // With --force-map the other map's file is taken by position.
    ASSERT_NO_FATAL_FAILURE(StartSim());
    EXPECT_EQ(Cli({"write", "other.epf", "--force-map", "--no-verify"}).code, 0);
    EXPECT_FALSE(StopSim().isEmpty());
}

// A pseudo-terminal has no stable names and no USB adapter: scan tells the
// port as it is, with none of the identity's fields.
TEST_F(CliPtyTest, APortWithoutAdapterIsScannedWithoutIdentityFields) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    const CliRun text = Cli({"scan"});
    EXPECT_EQ(text.code, 0) << text.err.toStdString();
    EXPECT_EQ(text.out, "COM5\tmeter\tmap 5\n");
    const QJsonArray ports = Cli({"scan", "--json"}).json().value("ports").toArray();
    ASSERT_EQ(ports.size(), 1);
    EXPECT_EQ(ports[0].toObject().keys(), (QStringList{"com", "mapNumber", "meter"}));
    StopSim();
}

// A meter whose port another program holds (the window, connected) is not
// reported missing: scan and the meter commands name the port and holder.
TEST_F(CliPtyTest, APortHeldByAnotherProgramIsNamedWithItsProcess) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_EQ(Cli({"read", "-o", "meter.epf"}).code, 0);
    const QString held = QStringLiteral("COM5 is in use by another program (process %1)").arg(QCoreApplication::applicationPid());
    {
        QSerialPort window;
        window.setPortName(QFileInfo(sim.PortDir() + "/COM5").canonicalFilePath());
        ASSERT_TRUE(window.open(QIODevice::ReadWrite));

        const CliRun scan = Cli({"scan"});
        EXPECT_EQ(scan.code, 0) << scan.err.toStdString();
        EXPECT_EQ(scan.out, QStringLiteral("COM5\tin use by another program (process %1)\n").arg(QCoreApplication::applicationPid()));
        const QJsonArray inUse = Cli({"scan", "--json"}).json().value("inUse").toArray();
        ASSERT_EQ(inUse.size(), 1);
        EXPECT_EQ(inUse[0].toObject().value("com").toInt(), 5);
        EXPECT_EQ(inUse[0].toObject().value("pid").toInteger(), QCoreApplication::applicationPid());

        const CliRun write = Cli({"write", "meter.epf"});
        EXPECT_EQ(write.code, 3);
        EXPECT_EQ(write.err, "vorda-cli: No meter detected; " + held + "\n");
        const CliRun named = Cli({"read", "--com", "5", "-o", "again.epf"});
        EXPECT_EQ(named.err, "vorda-cli: No meter answers on COM5; " + held + "\n");
    }
    // Let go, the meter is there again.
    EXPECT_EQ(Cli({"write", "meter.epf", "--no-verify"}).code, 0);
    StopSim();
}

// A recorded user directory that is not there is not replaced by a new empty
// one: the command stops before any meter work.
TEST_F(CliPtyTest, AMissingRecordedUserDirStopsWithCodeFive) {
    const QString share = Path("share/VORDA");
    QDir().mkpath(Path("share"));
    const QString record = Path("home/.config/ZUVMeters/VORDA/VORDAUD.txt");
    QDir().mkpath(QFileInfo(record).path());
    ASSERT_TRUE(WriteTextLines(record, {share}, nullptr));
    const CliRun r = Cli({"scan"});
    EXPECT_EQ(r.code, 5);
    EXPECT_EQ(r.err, "vorda-cli: The user folder " + share + " recorded in " + record +
                         " does not exist (not mounted?); nothing was created\n");
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_FALSE(QFileInfo::exists(share));
}

TEST_F(CliPtyTest, TwoMetersAreRefusedUnlessOneIsNamed) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    SimProcess second{root.filePath("second"), sim.PortDir()};
    ASSERT_NO_FATAL_FAILURE(second.Start(FactoryImageFromMap(params, 4), 7));

    const CliRun scan = Cli({"scan", "--json"});
    EXPECT_EQ(scan.code, 0) << scan.err.toStdString();
    EXPECT_EQ(scan.json().value("meters").toInt(), 2) << scan.out.toStdString();
    QList<int> maps;
    for (const QJsonValue& port : scan.json().value("ports").toArray())
        if (port.toObject().value("meter").toBool()) maps << port.toObject().value("mapNumber").toInt();
    EXPECT_EQ(maps, (QList<int>{5, 4}));

    const CliRun both = Cli({"read", "-o", "two.epf"});
    EXPECT_EQ(both.code, 3);
    EXPECT_TRUE(both.err.contains("2 meters detected")) << both.err.toStdString();
    EXPECT_EQ(both.err.count('\n'), 1) << both.err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("two.epf")));

    // Named by its port, the second meter is read with its own map.
    ASSERT_EQ(Cli({"read", "--com", "7", "-o", "seven.epf"}).code, 0);
    QStringList lines;
    QString error;
    ASSERT_TRUE(ReadTextLines(Path("seven.epf"), &lines, &error)) << error.toStdString();
    EXPECT_EQ(lines.value(0).toLower(), "zuvmap4.map");
    second.Stop();
    EXPECT_TRUE(StopSim().isEmpty());
}

TEST_F(CliPtyTest, AMeterThatStopsAnsweringEndsWithCodeFourAndNoFile) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_EQ(Cli({"read", "-o", "meter.epf"}).code, 0);
    StopSim();

    const DMap& limits = params.at(IndexOf("Flow Alarm Limits"));
    QStringList fail;
    for (int r = limits.Startreg; r < limits.Startreg + 4; ++r) fail << "--fail-register" << QString::number(r);
    ASSERT_NO_FATAL_FAILURE(StartSim(fail));
    const CliRun read = Cli({"read", "-o", "again.epf"});
    EXPECT_EQ(read.code, 4);
    EXPECT_TRUE(read.err.contains("Meter read failure: value 0 in parameter Flow Alarm Limits (register " +
                                  QString::number(limits.Startreg) + ")")) << read.err.toStdString();
    EXPECT_TRUE(read.err.contains("Too many read failures")) << read.err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("again.epf")));

    const CliRun write = Cli({"write", "meter.epf"});
    EXPECT_EQ(write.code, 4);
    EXPECT_TRUE(write.err.contains("Too many write failures")) << write.err.toStdString();
    // The write ended at the fourth failure: nothing after those registers.
    const QStringList writes = StopSim();
    ASSERT_FALSE(writes.isEmpty());
    EXPECT_EQ(writes.last(), QStringLiteral("%1 %2").arg(limits.Startreg + 3).arg(image.at(limits.Startreg + 3)));
}

// A cable pulled in the middle of a command: the command ends at the
// hang-up, without register failures or time-outs, and a write says what the
// meter received.
TEST_F(CliPtyTest, ALineThatHangsUpEndsTheCommandAtOnceSayingWhatTheMeterReceived) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_EQ(Cli({"read", "-o", "meter.epf"}).code, 0);
    StopSim();

    const int cut = IndexOf("Flow Full Scale");
    ASSERT_GT(params.at(cut).EndReg, params.at(cut).Startreg);
    int answered = 1; // the first register of the parameter cut
    for (int i = 0; i < cut; ++i) answered += params.at(i).EndReg - params.at(i).Startreg + 1;

    ASSERT_NO_FATAL_FAILURE(StartSim({"--hang-up-after", "3"}));
    const CliRun read = Cli({"read", "-o", "again.epf"});
    StopSim();
    EXPECT_EQ(read.code, 4);
    EXPECT_TRUE(read.err.contains("Meter disconnected: COM5 went away")) << read.err.toStdString();
    EXPECT_FALSE(read.err.contains("failure")) << read.err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("again.epf")));

    ASSERT_NO_FATAL_FAILURE(StartSim({"--hang-up-after-writes", QString::number(answered)}));
    const CliRun write = Cli({"write", "meter.epf"});
    const QStringList writes = StopSim();
    EXPECT_EQ(write.code, 4);
    EXPECT_EQ(writes.size(), answered);
    EXPECT_TRUE(write.err.contains("Meter disconnected: COM5 went away")) << write.err.toStdString();
    EXPECT_FALSE(write.err.contains("failure")) << write.err.toStdString();
    EXPECT_TRUE(write.err.contains("written whole: " + params.at(0).Parameter)) << write.err.toStdString();
    EXPECT_TRUE(write.err.contains("written partly: " + params.at(cut).Parameter)) << write.err.toStdString();
    EXPECT_TRUE(write.err.contains("not written: " + params.at(cut + 1).Parameter)) << write.err.toStdString();
}

TEST_F(CliPtyTest, OptionValuesFollowASpaceOrAnEqualsSignAndTheVersionIsTold) {
    const CliRun version = Cli({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, QStringLiteral("vorda-cli ") + QLatin1String(kVersionText) + "\n");
    EXPECT_TRUE(version.err.isEmpty()) << version.err.toStdString();

    ASSERT_NO_FATAL_FAILURE(StartSim());
    const CliRun spaced = Cli({"read", "--com", "5", "-o", "spaced.epf"});
    EXPECT_EQ(spaced.code, 0) << spaced.err.toStdString();
    const CliRun joined = Cli({"read", "--com=5", "--output=joined.epf"});
    EXPECT_EQ(joined.code, 0) << joined.err.toStdString();
    QStringList a, b;
    QString error;
    EXPECT_TRUE(ReadTextLines(Path("spaced.epf"), &a, &error)) << error.toStdString();
    EXPECT_TRUE(ReadTextLines(Path("joined.epf"), &b, &error)) << error.toStdString();
    EXPECT_EQ(a.size(), 2 + 3 * params.size());
    EXPECT_EQ(a, b);
    // Joined or not, a wrong value or a missing one is a usage mistake.
    for (const QStringList& args : {QStringList{"read", "--com=1001", "-o", "x.epf"},
                                    QStringList{"read", "-o", "x.epf", "--com"}, QStringList{"read", "--com=5", "-o"},
                                    QStringList{"scan", "--json=yes"}}) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(Path("x.epf")));
    EXPECT_TRUE(StopSim().isEmpty());
}

// The display text of a value is the meter session's: in the unit the user
// chose for its type (kept in the configuration), in meter units for a type
// the display data does not know.
TEST_F(CliPtyTest, ReadShowsValuesInTheSavedUnitOfTheirTypeAndUnknownTypesInMeterUnits) {
    ASSERT_NO_FATAL_FAILURE(StartSim());
    ASSERT_EQ(Cli({"scan"}).code, 0); // settles and seeds the user folder
    StopSim();
    const QString userDir = Path("home/ZUVMeters/VORDA/");
    const QList<DMap> map9{Param(0, 0, "Bore", "Int8", "1", 1, "1", {}, {}, "Length"),
                           Param(1, 1, "Grain", "Int8", "1", 1, "2", {}, {}, "Viscosity"),
                           Param(2, 2, "Count", "Int8", "1", 1, "3")};
    QString error;
    ASSERT_TRUE(WriteMapFileContent(userDir + "ZUVMAP9.map", map9, {}, &error)) << error.toStdString();
    // The units chosen: the first of every type but Length, shown in inches.
    ASSERT_TRUE(WriteTextLines(userDir + "VORDAConfig.txt",
                               {"(not yet set)", "unknown", "unknown", "5",
                                "Flow", "M", "D", "l/s",
                                "Volume", "M", "D", QString::fromUtf8("m³"),
                                "Temperature", "M", "D", QString::fromUtf8("°C"),
                                "Pressure", "M", "D", "kPa",
                                "Length", "M*10/254", "D*254/10", "in"},
                               &error)) << error.toStdString();
    image = QVector<quint8>(256, 0);
    image[0] = 127;
    image[1] = 57;
    image[2] = 3;
    image[200] = 9;
    ASSERT_NO_FATAL_FAILURE(StartSim());
    const CliRun read = Cli({"read", "-o", "nine.epf", "--json"});
    EXPECT_EQ(read.code, 0) << read.err.toStdString();
    QStringList shown, values;
    for (const QJsonValue& p : read.json()["parameters"].toArray()) {
        shown << p["display"].toString();
        values << p["value"].toString();
    }
    EXPECT_EQ(shown, QStringList({"5 in", "57", "3"}));
    EXPECT_EQ(values, QStringList({"127", "57", "3"}));
    StopSim();
}

// A broken installation stops the command line with the window's fatal
// text, before the account's folders are touched where the window's
// start-up would not touch them either.
TEST_F(CliPtyTest, ABrokenInstallationEndsWithTheWindowsFatalText) {
    struct Case {
        const char* name;
        QStringList installed;
        QString message;
        bool recordMade;
    };
    const QList<Case> cases{
        {"read-me missing", {}, "Fatal Error - Files not loaded in ProgramData - Contact ZUVMeters", false},
        {"maps missing", {"VORDAReadMe.txt"}, "Fatal error - unable to copy files from Program Data - Contact ZUV Meters.", true},
    };
    const QString record = Path("home/.config/ZUVMeters/VORDA/VORDAUD.txt");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString programData = Path(QStringLiteral("data-%1").arg(c.name).replace(' ', '-'));
        ASSERT_TRUE(QDir().mkpath(programData + "/ZUVMeters/VORDA"));
        for (const QString& name : c.installed)
            ASSERT_TRUE(QFile::copy(QStringLiteral(VORDA_DATA_DIR "/") + name, programData + "/ZUVMeters/VORDA/" + name));
        const CliRun r = Cli({"scan"}, {{"PROGRAMDATA", programData}});
        EXPECT_EQ(r.code, 5);
        EXPECT_EQ(r.err, "vorda-cli: " + c.message + "\n");
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_EQ(QFile::exists(record), c.recordMade);
    }
}

// An account outside the device's group (here: nobody, and the simulator's
// pseudo-terminal) is told which device it may not open and how to
// be let in, by scan and by a command that needs the meter.
TEST_F(CliPtyTest, APortThisAccountMayNotOpenIsNamedWithItsGroup) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run vorda-cli as another account";
    StartSim();
    const QString home = root.filePath("home");
    QDir().mkpath(home);
    ASSERT_EQ(::chown(home.toLocal8Bit().constData(), 65534, 65534), 0);
    for (const QString& dir : {root.path(), sim.PortDir()})
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                       QFileDevice::ReadOther | QFileDevice::ExeOther);
    const auto asNobody = [this](const QStringList& arguments) {
        QProcess q;
        q.setProcessEnvironment(CliEnvironment());
        q.setWorkingDirectory(root.path());
        q.start("setpriv", QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--", Program()} + arguments);
        CliRun run;
        if (!q.waitForFinished(60000)) return run;
        run.code = q.exitCode();
        run.out = QString::fromLocal8Bit(q.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(q.readAllStandardError());
        return run;
    };
    const CliRun scan = asNobody({"scan", "--json"});
    ASSERT_EQ(scan.code, 0) << scan.err.toStdString();
    const QJsonArray denied = scan.json().value("denied").toArray();
    ASSERT_EQ(denied.size(), 1) << scan.out.toStdString();
    EXPECT_EQ(denied.at(0).toObject().value("com").toInt(), 5);
    const QString device = denied.at(0).toObject().value("device").toString();
    EXPECT_TRUE(device.startsWith("/dev/pts/")) << device.toStdString();
    // The group the device file belongs to (tty on most systems).
    struct stat st {};
    ASSERT_EQ(::stat(device.toLocal8Bit().constData(), &st), 0);
    const QString group = QString::fromLocal8Bit(::getgrgid(st.st_gid)->gr_name);
    EXPECT_EQ(denied.at(0).toObject().value("group").toString(), group);

    const CliRun read = asNobody({"read", "--output", root.filePath("out.epf")});
    EXPECT_EQ(read.code, 3); // no meter
    EXPECT_TRUE(read.err.contains("COM5 (" + device + ") may not be opened by this account (permission denied): add the account to the group " + group))
        << read.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(root.filePath("out.epf")));
}

} // namespace
} // namespace vorda::test
