// Figures of the whole program: start-up to the main window shown, building
// the parameter screen, and Read / Write Parameters against vorda-sim paced
// at wire speed. Prints figures; asserts nothing.
#include "app/Program.h"
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

// Answers OK / Yes to everything and shows nothing.
class SilentInteraction : public UserInteraction {
public:
    void ShowMessage(const QString&) override {}
    void ShowError(const QString&) override {}
    bool Confirm(const QString&) override { return true; }
    bool AskYesNo(const QString&) override { return true; }
    QString OpenFileName(const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseFolder(const QString&, const QString&) override { return {}; }
    bool OpenWithDesktop(const QString&) override { return true; }
};

class SilentEnd : public ProgramEnd {
public:
    [[noreturn]] void Terminate(const QString& message) override {
        fprintf(stderr, "program ended: %s\n", qPrintable(message));
        throw ProgramTerminated();
    }
    bool Terminated() const override { return false; }
};

constexpr double kWireExchangeMs = 3.44; // 6 bytes of 11 bits at 19200 baud

// A fresh installation in a temporary folder, laid out like the staged prefix.
struct Installation {
    QTemporaryDir root;
    PlatformPaths paths;
    Installation() {
        paths.prefix = QStringLiteral(VORDA_STAGE_DIR);
        paths.programDataEnv.clear();
        paths.home = root.filePath("home");
        paths.configHome = root.filePath("home/.config");
        paths.userName = "bench";
        paths.oldInstallDir = root.filePath("opt");
        QDir().mkpath(paths.home);
    }
};

void BM_StartupToMainWindowShown(benchmark::State& state) {
    for (auto _ : state) {
        Installation inst; // first run: folders created, maps copied
        SilentInteraction ui;
        SilentEnd end;
        QtSerialLayer serial;
        const QString cwd = QDir::currentPath();
        QElapsedTimer timer;
        timer.start();
        VordaProgram program(ui, end, serial, inst.paths, QStringList{});
        program.Create();
        program.mainWindow()->show();
        while (!program.mainWindow()->isVisible()) QApplication::processEvents();
        QApplication::processEvents();
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        QDir::setCurrent(cwd);
    }
}
BENCHMARK(BM_StartupToMainWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_CreateFields256OneRegisterParameters(benchmark::State& state) {
    Installation inst;
    SilentInteraction ui;
    SilentEnd end;
    SimSerialLayer serial;
    const QString cwd = QDir::currentPath();
    VordaProgram program(ui, end, serial, inst.paths, QStringList{"/UserIsZUV"});
    program.Create();
    for (int r = 0; r < 256; ++r) {
        DMap p;
        p.Startreg = p.EndReg = r;
        p.Parameter = QStringLiteral("Parameter %1").arg(r);
        p.Format = QStringLiteral("Int8");
        p.Multiplier = r % 2 ? QStringLiteral("0.1") : QStringLiteral("1");
        p.Capacity = 1;
        p.Sequence = QString::number(r + 1);
        p.PType = r % 3 == 0 ? QStringLiteral("Temperature") : QString();
        p.DescToolTip = QStringLiteral("Register %1").arg(r);
        p.DescAlways = QStringLiteral("Description of parameter %1").arg(r);
        program.map.MapParams << p;
    }
    program.map.MapLoaded = true;
    TValuesReadWrite* mw = program.mainWindow();
    mw->SetScreenOrder();
    for (auto _ : state) mw->CreateFields();
    QDir::setCurrent(cwd);
}
BENCHMARK(BM_CreateFields256OneRegisterParameters)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(5)->ReportAggregatesOnly(true);

// Map 5 served by vorda-sim, paced at wire speed, connected once.
class PacedMeter {
public:
    PacedMeter() {
        portDir = inst.root.filePath("ports");
        qputenv("VORDA_PORT_DIR", portDir.toLocal8Bit());
        sim.setProgram(QStringLiteral(VORDA_STAGE_DIR "/bin/vorda-sim"));
        sim.setArguments({"--port-dir", portDir, "--com", "5", "--map", QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), "--paced"});
        sim.start();
        sim.waitForStarted(5000);
        while (!sim.canReadLine() && sim.waitForReadyRead(5000)) {}
        program = std::make_unique<VordaProgram>(ui, end, serial, inst.paths, QStringList{});
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
    Installation inst;
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
