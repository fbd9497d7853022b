// Read All Registers of the register browser, window shown, against vorda-sim
// paced at 19200 baud 8N2, as a ratio to the wire time of its 257 exchanges
// (one handshake and 256 register reads, 3.44 ms each). Prints figures;
// asserts nothing. Run under Xvfb to include painting on a real display; the
// same pass with the window hidden is printed beside it.
#include "BenchSupport.h"
#include "windows/PICCore.h"
#include "meter/QtSerialLayer.h"
#include "windows/PICRW.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace vorda;

namespace {

constexpr double kWireExchangeMs = 3.44; // 6 bytes of 11 bits at 19200 baud
constexpr int kExchanges = 257;

void ReadAllRegistersPaced(benchmark::State& state, bool shown) {
    QTemporaryDir dir;
    QProcess sim;
    sim.setProgram(QStringLiteral(VORDA_STAGE_DIR "/bin/vorda-sim"));
    sim.setArguments({"--port-dir", dir.path(), "--com", "5", "--map", QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), "--paced"});
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start();
    sim.waitForStarted(5000);
    while (!sim.canReadLine() && sim.waitForReadyRead(5000)) {}
    qputenv("VORDA_PORT_DIR", dir.path().toLocal8Bit());

    bench::SilentInteraction ui;
    QtSerialLayer layer;
    MeterLinkState link;
    link.ComPortNumber = 4;
    TPICCoreForm core(layer, link);
    TPICRWForm form(ui);
    form.AttachCore(&core);
    if (!core.ConnectToPort(4) || !core.Handshake()) {
        state.SkipWithError("no simulated meter on COM5");
        return;
    }
    if (shown) form.show();
    QApplication::processEvents();

    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        form.ReadAllRegsClick();
        const double s = timer.nsecsElapsed() / 1e9;
        QApplication::processEvents(); // the grid's repaint, after the pass
        total += s;
        state.SetIterationTime(s);
    }
    const double ms = total * 1000.0 / double(state.iterations());
    state.counters["exchanges"] = kExchanges;
    state.counters["wire_ms"] = kExchanges * kWireExchangeMs;
    state.counters["ratio_to_wire"] = ms / (kExchanges * kWireExchangeMs);
    state.SetLabel(QGuiApplication::platformName().toStdString());

    core.DisconnectPort(4);
    qunsetenv("VORDA_PORT_DIR");
    sim.terminate();
    sim.waitForFinished(5000);
}
// The window shown, as the maker sees it, and hidden, the floor of the
// exchanges alone.
BENCHMARK_CAPTURE(ReadAllRegistersPaced, shown, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(ReadAllRegistersPaced, hidden, false)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
