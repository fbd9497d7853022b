// Series commissioning of map 5 meters on the test serial layer: the golden
// set written only where a meter differs and never over what it keeps, the
// mA step against its tolerance, and what the station refuses.
#include "station/SeriesStation.h"
#include "station/StationWatch.h"

#include "meter/MeterProtocol.h"
#include "meter/SimMeter.h"
#include "meter/SimSerialLayer.h"
#include "tests/values/ValuesFixture.h"
#include "values/MeterEngine.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace vorda::test {
namespace {

class Silent : public MeterReport {
public:
    void RegisterFailed(MeterDirection, int, const DMap&, int) override {}
    void TooManyFailures(MeterDirection) override {}
    void InvalidValue(int, const DMap& p, const QString& why) override {
        refused << p.Parameter + ": " + why;
    }
    QStringList refused;
};

class Events : public MeterEventSink {
public:
    void MeterEventHappened(const MeterEvent& e) override { kinds << MeterEventKindName(e.kind); }
    QStringList kinds;
};

class SeriesStationTest : public ValuesTest {
protected:
    static constexpr int kPort = 1;
    void SetUp() override {
        ValuesTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        map = LoadMapFile(QStringLiteral(VORDA_DATA_DIR), QStringLiteral("ZUVMAP5.map"));
        ASSERT_TRUE(map.ok) << map.error.toStdString();
        QFile::copy(QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), dir.filePath(QStringLiteral("ZUVMAP5.map")));
        loaded.MapParams = map.params;
        loaded.CurrentMapFile = map.fileName;
        loaded.MapLoaded = true;
        session = std::make_unique<MeterSession>(loaded, flags, units, eval, rounder);
        session->SetEventSink(&events);
        profile.golden = dir.filePath(QStringLiteral("golden.epf"));
        profile.keep = ProposedKeep(map.params);
        profile.maStep = false;
        profile.reports = dir.filePath(QStringLiteral("reports"));
    }
    int At(const QString& name) const {
        for (int i = 0; i < map.params.size(); ++i)
            if (map.params.at(i).Parameter == name) return i;
        ADD_FAILURE() << "no parameter " << name.toStdString();
        return 0;
    }
    // A meter of map 5 with its factory values and serial number k.
    std::unique_ptr<SimMeter> Meter(int k) {
        auto m = std::make_unique<SimMeter>(FactoryImageFromMap(map.params, 5));
        m->setReg(3, quint8(k));
        return m;
    }
    void Attach(SimMeter& m) {
        layer.attach(kPort, &m);
        link.ComPortNumber = kPort;
        protocol.ConnectToPort(kPort);
        session->ResetRows();
        session->BeginConnection(kPort + 1, 5);
    }
    // The golden file: a factory meter's values with `changes` made.
    void SaveGolden(const QList<QPair<QString, QString>>& changes) {
        auto factory = Meter(0);
        Attach(*factory);
        ReadOutcome read = session->ReadWhole(protocol, silent);
        ASSERT_TRUE(read.Whole());
        for (const auto& [name, value] : changes) read.meterValues[At(name)] = value;
        QString error;
        ASSERT_TRUE(SaveDataFile(profile.golden, map.fileName, map.params, read.meterValues, {}, &error))
            << error.toStdString();
    }
    StationVerdict Commission(SeriesStation& station, SimMeter& m, const MaSource& ma = {}) {
        Attach(m);
        return station.Commission(*session, protocol, silent, ma, ReportHeader{"9.9", QDateTime::currentDateTime(), "tester"});
    }

    QTemporaryDir dir;
    MeterMap map;
    SimSerialLayer layer;
    MeterLinkState link;
    MeterProtocol protocol{layer, link};
    LoadedMap loaded;
    ScreenFlags flags;
    DisplayUnitTables units;
    std::unique_ptr<MeterSession> session;
    Events events;
    Silent silent;
    StationProfile profile;
};

// Three meters in a row: the first takes the golden pipe diameter and keeps
// its tag and serial number; the second ignores a write and fails by name;
// the third keeps its own calibration factor.
TEST_F(SeriesStationTest, MetersInARowTakeTheGoldenSetAndKeepTheirOwn) {
    SaveGolden({{"Pipe Diameter", "250"}, {"Meter Tag", "GOLDEN"}, {"Calibration Factor", "1.2345"}});
    SeriesStation station(profile, eval, rounder);
    QString error;
    ASSERT_TRUE(station.Prepare(dir.path(), &error)) << error.toStdString();

    auto first = Meter(1);
    const StationVerdict a = Commission(station, *first);
    EXPECT_TRUE(a.pass) << a.reason.toStdString();
    EXPECT_EQ(a.written, QStringList{"Pipe Diameter"});
    // Only the two registers of the pipe diameter went to the meter: the
    // golden tag, serial number and calibration factor did not.
    EXPECT_EQ(first->registerWrites(), 2);
    EXPECT_EQ(first->reg(3), 1);
    EXPECT_TRUE(QFile::exists(a.report)) << a.report.toStdString();
    EXPECT_TRUE(a.report.contains(a.serial));

    auto second = Meter(2);
    SimMeter::Faults ignored;
    ignored.ignoreWrites = {map.params.at(At("Pipe Diameter")).EndReg};
    second->setFaults(ignored);
    const StationVerdict b = Commission(station, *second);
    EXPECT_FALSE(b.pass);
    EXPECT_TRUE(b.reason.contains("Pipe Diameter")) << b.reason.toStdString();

    auto third = Meter(3);
    const int factor = map.params.at(At("Calibration Factor")).Startreg;
    third->setReg(factor, quint8(third->reg(factor) ^ 0x5A));
    const QVector<quint8> own = third->registers();
    const StationVerdict c = Commission(station, *third);
    EXPECT_TRUE(c.pass) << c.reason.toStdString();
    EXPECT_EQ(third->reg(factor), own.at(factor));

    EXPECT_EQ(station.Tally().Passed(), 2);
    EXPECT_EQ(station.Tally().Failed(), 1);
    EXPECT_NE(a.serial, c.serial);
    EXPECT_TRUE(station.Tally().Done(c.serial));
    ASSERT_TRUE(station.SaveTally(&error)) << error.toStdString();
    QFile tally(station.TallyPath());
    ASSERT_TRUE(tally.open(QIODevice::ReadOnly));
    const QString csv = QString::fromUtf8(tally.readAll());
    EXPECT_TRUE(csv.contains(b.serial + ",FAIL,")) << csv.toStdString();
    EXPECT_TRUE(csv.contains("passed,2,failed,1"));
    // Each meter's as found, writes and verification are in the history.
    EXPECT_GE(events.kinds.count("read"), 4);
    EXPECT_EQ(events.kinds.count("write"), 3);
}

// The output measured after the new offset passes or fails against the
// tolerance; the offset written is the one computed from the first reading.
TEST_F(SeriesStationTest, TheMaStepPassesOnlyWithinItsTolerance) {
    SaveGolden({});
    profile.maStep = true;
    profile.toleranceMa = 0.016;
    const int offsetAt = [&] {
        for (int i = 0; i < map.params.size(); ++i)
            if (map.params.at(i).DescToolTip == "Calculation 1") return i;
        return -1;
    }();
    ASSERT_GE(offsetAt, 0);
    const struct {
        double found, left;
        bool pass;
    } cases[] = {{3.9, 4.01, true}, {3.9, 3.98, false}, {3.95, 4.016, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.left);
        SeriesStation station(profile, eval, rounder);
        QString error;
        ASSERT_TRUE(station.Prepare(dir.path(), &error));
        auto m = Meter(7);
        QStringList asked;
        const StationVerdict v = Commission(station, *m, [&](const QString& step) -> std::optional<double> {
            asked << step;
            return step == "as found" ? c.found : c.left;
        });
        EXPECT_EQ(asked, (QStringList{"as found", "as left"}));
        EXPECT_EQ(v.pass, c.pass) << v.reason.toStdString();
        ASSERT_TRUE(v.calibration);
        EXPECT_EQ(v.calibration->newOffset, NewMaOffset(v.calibration->oldOffset, c.found));
        ASSERT_TRUE(session->Record().maCalibration);
        EXPECT_EQ(*session->Record().maCalibration->measuredAfterMa, c.left);
        ReadOutcome now = session->ReadWhole(protocol, silent);
        EXPECT_EQ(now.meterValues.at(offsetAt), QString::number(v.calibration->newOffset));
    }
}

// What the station refuses before a meter is touched, and the meters it
// fails without writing.
TEST_F(SeriesStationTest, BadGoldenSetsAndForeignMetersAreRefusedBeforeAnyWrite) {
    SaveGolden({});
    QString error;
    {
        // A golden file that names another map than the one its values are for.
        QFile::copy(QStringLiteral(VORDA_DATA_DIR "/ZUVMAP4.Map"), dir.filePath("ZUVMAP4.Map"));
        QFile f(profile.golden);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        StationProfile other = profile;
        other.golden = dir.filePath("other.epf");
        QFile o(other.golden);
        ASSERT_TRUE(o.open(QIODevice::WriteOnly));
        o.write(text.replace("ZUVMAP5.map", "ZUVMAP4.Map"));
        o.close();
        SeriesStation station(other, eval, rounder);
        EXPECT_FALSE(station.Prepare(dir.path(), &error));
        EXPECT_TRUE(error.contains("ZUVMAP4.Map") && error.contains("another map")) << error.toStdString();
    }
    // A golden value the data check refuses: the damping time beyond its byte.
    SaveGolden({{"Damping Time (s)", "99999"}});
    SeriesStation refused(profile, eval, rounder);
    EXPECT_FALSE(refused.Prepare(dir.path(), &error));
    EXPECT_TRUE(error.contains("Damping Time")) << error.toStdString();

    SaveGolden({{"Pipe Diameter", "250"}});
    // A meter of another map: failed, nothing written.
    SeriesStation station(profile, eval, rounder);
    ASSERT_TRUE(station.Prepare(dir.path(), &error)) << error.toStdString();
    auto foreign = Meter(4);
    Attach(*foreign);
    loaded.CurrentMapFile = "ZUVMAP4.Map";
    session->BeginConnection(kPort + 1, 4);
    const StationVerdict v =
        station.Commission(*session, protocol, silent, {}, ReportHeader{"9.9", QDateTime::currentDateTime(), "t"});
    EXPECT_FALSE(v.pass);
    EXPECT_TRUE(v.reason.contains("ZUVMAP4.Map") && v.reason.contains("ZUVMAP5.map")) << v.reason.toStdString();
    EXPECT_EQ(foreign->registerWrites(), 0);
    loaded.CurrentMapFile = map.fileName;

    // A report folder that cannot be written: the meter fails, its events
    // are recorded all the same.
    QFile(dir.filePath("plain")).open(QIODevice::WriteOnly);
    StationProfile blocked = profile;
    blocked.reports = dir.filePath("plain/reports");
    SeriesStation noReports(blocked, eval, rounder);
    ASSERT_TRUE(noReports.Prepare(dir.path(), &error));
    events.kinds.clear();
    auto m = Meter(5);
    const StationVerdict r = Commission(noReports, *m);
    EXPECT_FALSE(r.pass);
    EXPECT_TRUE(r.reason.contains("report")) << r.reason.toStdString();
    EXPECT_TRUE(events.kinds.contains("write"));

    // A meter that stops answering in the middle of the write.
    auto dying = Meter(6);
    SimMeter::Faults faults;
    faults.loseWriteReplies = {24, 25};
    dying->setFaults(faults);
    SeriesStation again(profile, eval, rounder);
    ASSERT_TRUE(again.Prepare(dir.path(), &error));
    const StationVerdict d = Commission(again, *dying);
    EXPECT_FALSE(d.pass);
    EXPECT_TRUE(d.reason.contains("Pipe Diameter")) << d.reason.toStdString();
}

TEST(StationProfileTest, AProfileComesBackAsSavedAndABadLineIsNamed) {
    QTemporaryDir dir;
    StationProfile p;
    p.golden = dir.filePath("g.epf");
    p.keep = {"Serial Number", "Meter Tag"};
    p.maStep = false;
    p.toleranceMa = 0.032;
    p.reports = dir.filePath("out");
    QString error;
    ASSERT_TRUE(p.Save(dir.filePath("s.vst"), &error));
    StationProfile back;
    ASSERT_TRUE(StationProfile::Load(dir.filePath("s.vst"), &back, &error)) << error.toStdString();
    EXPECT_EQ(back.golden, p.golden);
    EXPECT_EQ(back.keep, p.keep);
    EXPECT_FALSE(back.maStep);
    EXPECT_DOUBLE_EQ(back.toleranceMa, 0.032);
    EXPECT_DOUBLE_EQ(back.TolerancePercent(), 0.2);
    EXPECT_EQ(back.reports, p.reports);

    const struct {
        const char* text;
        const char* why;
    } bad[] = {
        {"golden=g.epf\r\n", "not a station profile"},
        {"VORDA station profile 1\r\nkeep=Tag\r\n", "names no golden"},
        {"VORDA station profile 1\r\ngolden=g.epf\r\ntolerance-ma=0,5\r\n", "line 3"},
        {"VORDA station profile 1\r\ngolden=g.epf\r\nma-step=maybe\r\n", "yes or no"},
        {"VORDA station profile 1\r\ngolden=g.epf\r\ncolour=red\r\n", "unknown key"},
    };
    for (const auto& c : bad) {
        QFile f(dir.filePath("bad.vst"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.text);
        f.close();
        EXPECT_FALSE(StationProfile::Load(f.fileName(), &back, &error)) << c.text;
        EXPECT_TRUE(error.contains(QLatin1String(c.why))) << error.toStdString();
    }
    // A relative golden file is taken beside the profile; percent is of 16 mA.
    QFile f(dir.filePath("rel.vst"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("VORDA station profile 1\r\ngolden=sub/g.epf\r\ntolerance-percent=0.5\r\n");
    f.close();
    ASSERT_TRUE(StationProfile::Load(f.fileName(), &back, &error));
    EXPECT_EQ(back.golden, dir.filePath("sub/g.epf"));
    EXPECT_DOUBLE_EQ(back.toleranceMa, 0.08);
}

// The unattended station's mA source: the first number a command prints,
// told which step it measures; anything else is no measurement.
TEST(MaFromCommandTest, TheFirstNumberPrintedIsTheCurrent) {
    const struct {
        const char* command;
        std::optional<double> value;
        const char* why;
    } cases[] = {
        {"echo 'I = 4.012 mA'", 4.012, ""},
        {"test \"$VORDA_MA_STEP\" = 'as left' && echo 3.99", 3.99, ""},
        {"echo 4.2; exit 3", std::nullopt, "exit code 3"},
        {"echo no reading", std::nullopt, "no number"},
        {"sleep 5", std::nullopt, "did not end"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_EQ(MaFromCommand(QLatin1String(c.command), "as left", 1000, &error), c.value) << c.command;
        EXPECT_TRUE(error.contains(QLatin1String(c.why))) << error.toStdString();
    }
    NewMeterRule rule;
    EXPECT_TRUE(rule.IsNew("1"));
    rule.Commissioned("1");
    EXPECT_FALSE(rule.IsNew("1"));
    EXPECT_TRUE(rule.IsNew("2"));
    rule.NoMeterAttached();
    EXPECT_TRUE(rule.IsNew("1")) << "plugged in again after it was unplugged";
}

} // namespace
} // namespace vorda::test
