// Series commissioning of map 5 against vorda-sim paced at wire speed,
// without the mA step, as vorda-cli station runs it: seconds per meter
// (connect, read as found, write what differs, read back and verify, report)
// against the wire time of the station's register exchanges. Two golden
// sets that differ in the pipe diameter take turns, so that every meter
// gets a write. Prints figures; asserts nothing.
//   build/bench/bench_station
#include "BenchSupport.h"
#include "history/MeterHistory.h"
#include "meter/MeterDetection.h"
#include "meter/MeterProtocol.h"
#include "meter/QtSerialLayer.h"
#include "station/SeriesStation.h"
#include "units/DisplayData.h"
#include "units/Equations.h"
#include "units/SigFigs.h"
#include "values/MeterEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace vorda;

namespace {

constexpr double kWireExchangeMs = 3.44; // 6 bytes of 11 bits at 19200 baud
constexpr int kMeterCom = 5;



void BM_StationMeterMap5Paced(benchmark::State& state) {
    QTemporaryDir root;
    const QString portDir = root.filePath(QStringLiteral("ports"));
    QDir().mkpath(portDir);
    QFile::copy(QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), root.filePath(QStringLiteral("ZUVMAP5.map")));
    qputenv("VORDA_PORT_DIR", portDir.toLocal8Bit());
    QProcess sim;
    sim.start(QStringLiteral(VORDA_STAGE_DIR "/bin/vorda-sim"),
              {"--port-dir", portDir, "--com", QString::number(kMeterCom), "--map",
               QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), "--paced"});
    sim.waitForStarted(5000);
    while (!sim.canReadLine() && sim.waitForReadyRead(5000)) {}

    bench::SilentInteraction ui;
    SigFigRounder rounder(5, ui);
    EquationEvaluator eval(rounder, ui);
    QtSerialLayer serial;
    SilentReport report;
    const MeterMap map = LoadMapFile(root.path(), QStringLiteral("ZUVMAP5.map"));
    LoadedMap loaded;
    loaded.MapParams = map.params;
    loaded.CurrentMapFile = map.fileName;
    loaded.MapLoaded = true;
    ScreenFlags flags;
    DisplayUnitTables units;
    MeterSession session(loaded, flags, units, eval, rounder);
    HistoryLocation location;
    QString error;
    HistoryLocation::Parse(root.filePath(QStringLiteral("VORDAHistory.sqlite")), &location, &error);
    MeterHistory history(location, QString());
    HistoryRecorder recorder(history, RecordEnvironment::Current(), [](const QString& line) {
        std::fprintf(stderr, "%s\n", qPrintable(line));
    });
    session.SetEventSink(&recorder);

    // The two golden sets: the meter's values with two pipe diameters.
    MeterLinkState link;
    MeterProtocol protocol(serial, link);
    ConnectOutcome c = ConnectOneMeter(protocol, kMeterCom);
    if (c.status != ConnectStatus::Connected) {
        state.SkipWithError("the simulated meter did not connect");
        for (auto _ : state) {}
        return;
    }
    session.ResetRows();
    session.BeginConnection(c.com, c.mapNumber);
    ReadOutcome read = session.ReadWhole(protocol, report);
    protocol.DisconnectPort(c.com - 1);
    int diameter = -1;
    int readExchanges = 0;
    for (int i = 0; i < map.params.size(); ++i) {
        if (map.params.at(i).Parameter == QLatin1String("Pipe Diameter")) diameter = i;
        readExchanges += map.params.at(i).EndReg - map.params.at(i).Startreg + 1;
    }
    std::vector<std::unique_ptr<SeriesStation>> stations;
    for (const char* value : {"250", "300"}) {
        StationProfile profile;
        profile.golden = root.filePath(QStringLiteral("golden%1.epf").arg(QLatin1String(value)));
        profile.maStep = false;
        profile.keep = ProposedKeep(map.params);
        profile.reports = root.filePath(QStringLiteral("reports"));
        read.meterValues[diameter] = QLatin1String(value);
        SaveDataFile(profile.golden, map.fileName, map.params, read.meterValues, {}, &error);
        stations.push_back(std::make_unique<SeriesStation>(profile, eval, rounder));
        if (!stations.back()->Prepare(root.path(), &error)) state.SkipWithError(error.toStdString().c_str());
    }
    const int writeExchanges = map.params.at(diameter).EndReg - map.params.at(diameter).Startreg + 1;

    double total = 0;
    int k = 0;
    bool allPassed = true;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        c = ConnectOneMeter(protocol, kMeterCom);
        session.ResetRows();
        session.BeginConnection(c.com, c.mapNumber);
        const StationVerdict v = stations.at(k++ % 2)->Commission(
            session, protocol, report, {}, ReportHeader{QStringLiteral("bench"), QDateTime::currentDateTime(), {}});
        protocol.DisconnectPort(c.com - 1);
        const double s = timer.nsecsElapsed() / 1e9;
        allPassed = allPassed && v.pass && v.written == QStringList{QStringLiteral("Pipe Diameter")};
        total += s;
        state.SetIterationTime(s);
    }
    if (!allPassed) state.SkipWithError("a meter did not pass with one parameter written");
    // Connect's handshake and map-number read, the as-found read, the write,
    // the read-back of every parameter.
    const int exchanges = 2 + 2 * readExchanges + writeExchanges;
    const double wireMs = exchanges * kWireExchangeMs;
    const double ms = total * 1000.0 / double(state.iterations());
    state.counters["exchanges"] = exchanges;
    state.counters["wire_ms"] = wireMs;
    state.counters["ratio_to_wire"] = ms / wireMs;
    sim.terminate();
    sim.waitForFinished(5000);
}
BENCHMARK(BM_StationMeterMap5Paced)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6)->Repetitions(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
