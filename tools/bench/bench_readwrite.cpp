// Read / Write Parameters of map 5 against vorda-sim paced at wire speed,
// against the wire time of their register exchanges. Prints figures;
// asserts nothing.
#include "BenchSupport.h"
#include "app/Program.h"
#include "tests/support/TempInstallation.h"
#include "app/ProgramEnd.h"
#include "app/UserError.h"
#include "app/UserInteraction.h"
#include "maps/MapFile.h"
#include "meter/QtSerialLayer.h"
#include "meter/SimSerialLayer.h"
#include "values/ValuesReadWriteUnt.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace vorda;

namespace {

using bench::SilentEnd;
using bench::SilentInteraction;

constexpr double kWireExchangeMs = 3.44; // 6 bytes of 11 bits at 19200 baud

// Map 5 served by vorda-sim, paced at wire speed, connected once.
class PacedMeter {
public:
    PacedMeter() {
        test::InstallDataFiles(paths, QStringLiteral(VORDA_DATA_DIR));
        portDir = root.filePath("ports");
        qputenv("VORDA_PORT_DIR", portDir.toLocal8Bit());
        sim.setProgram(QStringLiteral(VORDA_STAGE_DIR "/bin/vorda-sim"));
        sim.setArguments({"--port-dir", portDir, "--com", "5", "--map", QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), "--paced"});
        sim.start();
        sim.waitForStarted(5000);
        while (!sim.canReadLine() && sim.waitForReadyRead(5000)) {}
        program = std::make_unique<VordaProgram>(ui, end, serial, paths, QStringList{});
        program->Create();
        program->mainWindow()->findChild<QPushButton*>("TestConnbtn")->click();
    }
    ~PacedMeter() {
        program.reset();
        sim.terminate();
        sim.waitForFinished(5000);
        QDir::setCurrent(cwd);
    }
    int ReadExchanges() const {
        int n = 0;
        for (const DMap& p : program->map.MapParams) n += p.EndReg - p.Startreg + 1;
        return n;
    }
    int WriteExchanges() const {
        int n = 0;
        for (const EEValue& v : program->mainWindow()->EEValues()) n += v.RegCount;
        return n;
    }

    QString cwd = QDir::currentPath();
    QTemporaryDir root;
    PlatformPaths paths = test::TempPlatformPaths(root, "bench");
    QString portDir;
    QProcess sim;
    SilentInteraction ui;
    SilentEnd end;
    QtSerialLayer serial;
    std::unique_ptr<VordaProgram> program;
};

void ReportAgainstWire(benchmark::State& state, int exchanges, double totalSeconds, int64_t runs) {
    const double ms = totalSeconds * 1000.0 / double(runs);
    state.counters["exchanges"] = exchanges;
    state.counters["wire_ms"] = exchanges * kWireExchangeMs;
    state.counters["ratio_to_wire"] = ms / (exchanges * kWireExchangeMs);
}

// Times one meter command of the main window over the paced line and
// reports it against the wire time of its register exchanges.
template <class Command, class Exchanges>
void TimeMeterCommand(benchmark::State& state, Command command, Exchanges exchanges) {
    PacedMeter meter;
    if (!meter.program->link.MeterConnected) {
        state.SkipWithError("the simulated meter did not connect");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        command(meter.program->mainWindow());
        const double s = timer.nsecsElapsed() / 1e9;
        total += s;
        state.SetIterationTime(s);
    }
    ReportAgainstWire(state, exchanges(meter), total, state.iterations());
}

void BM_ReadParametersMap5Paced(benchmark::State& state) {
    TimeMeterCommand(state, [](TValuesReadWrite* w) { w->ReadEEClick(); },
                     [](const PacedMeter& m) { return m.ReadExchanges(); });
}
BENCHMARK(BM_ReadParametersMap5Paced)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_WriteParametersMap5Paced(benchmark::State& state) {
    TimeMeterCommand(state, [](TValuesReadWrite* w) { w->WriteEEClick(); },
                     [](const PacedMeter& m) { return m.WriteExchanges(); });
}
BENCHMARK(BM_WriteParametersMap5Paced)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
