// vorda-cli station end to end: two simulated meters attached one after the
// other, each given the golden set where it differs, its own tag kept.
#include "tests/cli/CliFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QThread>

namespace vorda::test {
namespace {

class CliStationTest : public CliPtyTest {
protected:
    // Waits until the station's tally in dir lists count meters.
    bool WaitForTally(const QString& dir, int count, QProcess& station) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 30000 && station.state() == QProcess::Running) {
            for (const QString& name : QDir(dir).entryList({"tally_*.csv"})) {
                QFile f(QDir(dir).filePath(name));
                if (f.open(QIODevice::ReadOnly) && f.readAll().count("\r\n") == count + 2) return true;
            }
            QThread::msleep(50);
        }
        return false;
    }
};

TEST_F(CliStationTest, TwoMetersInARowTakeTheGoldenSetAndKeepTheirTags) {
    StartSim();
    ASSERT_EQ(Cli({"read", "-o", Path("found.epf")}).code, 0);
    sim.Stop();
    const QString golden =
        Edited(Path("found.epf"), Path("golden.epf"), {{"Pipe Diameter", "250"}, {"Meter Tag", "GOLDEN"}});
    const QString reports = Path("reports");

    QProcess station;
    StartCli(station, {"station", "--golden", golden, "--no-ma", "--count", "2", "--reports", reports, "--json"},
             {{"VORDA_HISTORY", Path("history.sqlite")}});
    ASSERT_TRUE(station.waitForStarted(5000));
    QStringList writes[2];
    for (int k = 0; k < 2; ++k) {
        image[3] = quint8(10 + k); // serial number
        const QString log = Path(QStringLiteral("writes%1.txt").arg(k));
        ASSERT_NO_FATAL_FAILURE(sim.Start(image, 5, {"--write-log", log}));
        ASSERT_TRUE(WaitForTally(reports, k + 1, station)) << station.readAllStandardError().toStdString();
        const QVector<quint8> held = sim.Stop();
        QString error;
        ASSERT_TRUE(ReadTextLines(log, &writes[k], &error));
        EXPECT_EQ(writes[k], Writes({"Pipe Diameter"}, held)) << "only the pipe diameter is written";
    }
    ASSERT_TRUE(station.waitForFinished(30000));
    EXPECT_EQ(station.exitCode(), 0) << station.readAllStandardError().toStdString();
    const QJsonObject result = QJsonDocument::fromJson(station.readAllStandardOutput()).object();
    const QJsonArray meters = result["meters"].toArray();
    ASSERT_EQ(meters.size(), 2);
    EXPECT_EQ(result["passed"].toInt(), 2);
    for (const QJsonValue& m : meters) {
        EXPECT_EQ(m["result"].toString(), "PASS") << m["reason"].toString().toStdString();
        EXPECT_EQ(m["written"].toArray(), QJsonArray{"Pipe Diameter"});
        EXPECT_TRUE(QFile::exists(m["report"].toString()));
        EXPECT_TRUE(QFileInfo(m["report"].toString()).fileName().startsWith(m["serial"].toString() + "_"));
    }
    EXPECT_NE(meters.at(0)["serial"], meters.at(1)["serial"]);
}

TEST_F(CliStationTest, AGoldenValueTheCheckRefusesStopsTheStationBeforeAnyMeter) {
    StartSim();
    ASSERT_EQ(Cli({"read", "-o", Path("found.epf")}).code, 0);
    const QString golden = Edited(Path("found.epf"), Path("golden.epf"), {{"Damping Time (s)", "99999"}});
    const CliRun run = Cli({"station", "--golden", golden, "--no-ma", "--count", "1"});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("Damping Time")) << run.err.toStdString();
    EXPECT_TRUE(StopSim().isEmpty()) << "nothing was written";
    EXPECT_EQ(Cli({"station", "--golden", golden, "--count", "1"}).code, 2) << "the mA step needs a source";
}

} // namespace
} // namespace vorda::test
