// Meter commands of the main window against vorda-sim paced at wire speed:
// Read / Write Parameters of map 5 against the wire time of their register
// exchanges, and Connect (and one scan) with ports that open but never
// answer. Every figure is taken with the window hidden and shown, side by
// side in the same run; run under `xvfb-run -a` for a window that really
// paints. Prints figures; asserts nothing.
#include "BenchSupport.h"
#include "windows/VordaProgram.h"
#include "tools/support/TempInstallation.h"
#include "base/ProgramEnd.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "maps/MapFile.h"
#include "meter/QtSerialLayer.h"
#include "windows/ValuesReadWriteUnt.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using namespace vorda;

namespace {

using bench::Figures;
using bench::SilentEnd;
using bench::SilentInteraction;

constexpr double kWireExchangeMs = 3.44; // 6 bytes of 11 bits at 19200 baud
constexpr int kMeterCom = 5;

// Pseudo-terminals linked as COMn in the port folder: ports that open but
// have no meter behind them, as a Bluetooth serial port or a modem.
class SilentPorts {
public:
    SilentPorts(const QString& portDir, int count) {
        QDir().mkpath(portDir);
        for (int com = 1; int(fds_.size()) < count; ++com) {
            if (com == kMeterCom) continue;
            const int fd = posix_openpt(O_RDWR | O_NOCTTY);
            if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) {
                std::fprintf(stderr, "no pseudo-terminal for COM%d\n", com);
                if (fd >= 0) ::close(fd);
                return;
            }
            fds_.push_back(fd);
            QFile::link(QString::fromLocal8Bit(ptsname(fd)), portDir + QStringLiteral("/COM%1").arg(com));
        }
    }
    ~SilentPorts() {
        for (int fd : fds_) ::close(fd);
    }

private:
    std::vector<int> fds_;
};

// Map 5 served by vorda-sim as COM5, paced at wire speed, beside silent
// ports; connected once, the window hidden or shown.
class PacedMeter {
public:
    PacedMeter(bool shown, int silentPorts = 0) : silent(portDir, silentPorts) {
        test::InstallDataFiles(paths, QStringLiteral(VORDA_DATA_DIR));
        qputenv("VORDA_PORT_DIR", portDir.toLocal8Bit());
        sim.setProgram(QStringLiteral(VORDA_STAGE_DIR "/bin/vorda-sim"));
        sim.setArguments({"--port-dir", portDir, "--com", QString::number(kMeterCom), "--map",
                          QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), "--paced"});
        sim.start();
        sim.waitForStarted(5000);
        while (!sim.canReadLine() && sim.waitForReadyRead(5000)) {}
        program = std::make_unique<VordaProgram>(ui, end, serial, paths, QStringList{});
        program->Create();
        bench::SetShown(mw(), shown);
        Connect();
    }
    ~PacedMeter() {
        program.reset();
        sim.terminate();
        sim.waitForFinished(5000);
        QDir::setCurrent(cwd);
    }
    TValuesReadWrite* mw() const { return program->mainWindow(); }
    void Connect() { mw()->findChild<QPushButton*>("TestConnbtn")->click(); }
    bool Connected() const { return program->link.MeterConnected; }
    int ReadExchanges() const {
        int n = 0;
        for (const DMap& p : program->map.MapParams) n += p.EndReg - p.Startreg + 1;
        return n;
    }
    int WriteExchanges() const {
        int n = 0;
        for (const EEValue& v : mw()->EEValues()) n += v.RegCount;
        return n;
    }

    QString cwd = QDir::currentPath();
    QTemporaryDir root;
    QString portDir = root.filePath("ports");
    SilentPorts silent;
    PlatformPaths paths = test::TempPlatformPaths(root, "bench");
    QProcess sim;
    SilentInteraction ui;
    SilentEnd end;
    QtSerialLayer serial;
    std::unique_ptr<VordaProgram> program;
};

const char* WindowColumn(bool shown) { return shown ? "window shown" : "window hidden"; }

// Times one meter command of the main window over the paced line and
// reports it against the wire time of its register exchanges.
template <class Command, class Exchanges>
void TimeMeterCommand(benchmark::State& state, const char* row, Command command, Exchanges exchanges) {
    const bool shown = bench::Shown(int(state.range(0)));
    PacedMeter meter(shown);
    if (!meter.Connected()) {
        state.SkipWithError("the simulated meter did not connect");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        command(meter.mw());
        const double s = timer.nsecsElapsed() / 1e9;
        total += s;
        state.SetIterationTime(s);
    }
    const double ms = total * 1000.0 / double(state.iterations());
    const double wireMs = exchanges(meter) * kWireExchangeMs;
    state.counters["exchanges"] = exchanges(meter);
    state.counters["wire_ms"] = wireMs;
    state.counters["ratio_to_wire"] = ms / wireMs;
    Figures::Record(row, WindowColumn(shown), ms, wireMs);
}

void BM_ReadParametersMap5Paced(benchmark::State& state) {
    TimeMeterCommand(state, "Read Parameters, map 5", [](TValuesReadWrite* w) { w->ReadEEClick(); },
                     [](const PacedMeter& m) { return m.ReadExchanges(); });
}
BENCHMARK(BM_ReadParametersMap5Paced)->ArgName(bench::kWindowArg)->Arg(0)->Arg(1)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_WriteParametersMap5Paced(benchmark::State& state) {
    TimeMeterCommand(state, "Write Parameters, map 5", [](TValuesReadWrite* w) { w->WriteEEClick(); },
                     [](const PacedMeter& m) { return m.WriteExchanges(); });
}
BENCHMARK(BM_WriteParametersMap5Paced)->ArgName(bench::kWindowArg)->Arg(0)->Arg(1)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);

// Connect (scan, the meter's map, the read) after a disconnect, with a
// number of silent ports beside the meter, the window shown.
void BM_ConnectMap5(benchmark::State& state) {
    const int silent = int(state.range(0));
    PacedMeter meter(true, silent);
    if (!meter.Connected()) {
        state.SkipWithError("the simulated meter did not connect");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        meter.mw()->EEPROMResetClick();
        QElapsedTimer timer;
        timer.start();
        meter.Connect();
        const double s = timer.nsecsElapsed() / 1e9;
        if (!meter.Connected()) state.SkipWithError("the simulated meter did not connect");
        total += s;
        state.SetIterationTime(s);
    }
    Figures::Record("Connect, map 5 read included, window shown", std::to_string(silent) + " silent ports",
                    total * 1000.0 / double(state.iterations()));
}
BENCHMARK(BM_ConnectMap5)->ArgName("silent")->Arg(0)->Arg(10)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);

// One scan alone (every COM number probed, the open ports tested).
void BM_ScanPorts(benchmark::State& state) {
    const int silent = int(state.range(0));
    PacedMeter meter(true, silent);
    meter.mw()->EEPROMResetClick();
    double total = 0;
    int found = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        found = meter.mw()->FindComPorts();
        const double s = timer.nsecsElapsed() / 1e9;
        total += s;
        state.SetIterationTime(s);
    }
    state.counters["meters_found"] = found;
    Figures::Record("One scan, window shown", std::to_string(silent) + " silent ports",
                    total * 1000.0 / double(state.iterations()));
}
BENCHMARK(BM_ScanPorts)->ArgName("silent")->Arg(0)->Arg(10)->Arg(50)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    bench::ChoosePlatform();
    QApplication app(argc, argv);
    return bench::RunBenchmarks(argc, argv);
}
