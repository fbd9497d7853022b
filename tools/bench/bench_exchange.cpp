// Figures of the serial path: one register exchange over a pseudo-terminal
// against vorda-sim (unpaced and paced at 19200 baud 8N2), the same behind a
// USB adapter that holds short replies for its latency timer (16 ms, as many
// do unless the port asks for low latency, and 1 ms, what their drivers set
// when it does), and one full port scan COM1..COM1000 with no meter present.
// A pseudo-terminal has no latency setting the program could ask for, so the
// simulator plays the adapter in either state.
//
// Counters: median_ms is the median of the single exchanges (or scans);
// ratio_to_wire is the paced median over the wire time of 3 + 3 bytes at
// 11 bits per byte (3.4375 ms).

#include "windows/PICCore.h"
#include "meter/PortNames.h"
#include "meter/QtSerialLayer.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

using namespace vorda;

namespace {

constexpr double kWireExchangeMs = 6 * 11.0 / 19200.0 * 1000.0; // 3.4375

QString SimProgram() {
    const QString stage = qEnvironmentVariable("VORDA_STAGE_DIR");
    if (!stage.isEmpty()) return stage + QStringLiteral("/bin/vorda-sim");
    return QStringLiteral(VORDA_STAGE_BIN_DIR "/vorda-sim");
}

// One vorda-sim serving COM3 in a folder of its own.
class Sim {
public:
    bool start(const QStringList& extra) {
        if (!dir_.isValid()) return false;
        proc_.setProgram(SimProgram());
        proc_.setArguments(QStringList{QStringLiteral("--port-dir"), dir_.path(), QStringLiteral("--com"),
                                       QStringLiteral("3"), QStringLiteral("--map-number"), QStringLiteral("5")} +
                           extra);
        proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc_.start();
        if (!proc_.waitForStarted(5000)) return false;
        while (!proc_.canReadLine())
            if (!proc_.waitForReadyRead(5000)) return false;
        return proc_.readLine().startsWith("ready ");
    }
    QString dir() const { return dir_.path(); }
    ~Sim() {
        proc_.terminate();
        if (!proc_.waitForFinished(3000)) proc_.kill();
        proc_.waitForFinished(1000);
    }

private:
    QTemporaryDir dir_;
    QProcess proc_;
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void Exchange(benchmark::State& state, bool paced, int adapterLatencyMs = 0) {
    Sim sim;
    QStringList options;
    if (paced) options << QStringLiteral("--paced");
    if (adapterLatencyMs > 0) options << QStringLiteral("--adapter-latency") << QString::number(adapterLatencyMs);
    if (!sim.start(options)) {
        state.SkipWithError("vorda-sim did not start");
        return;
    }
    qputenv("VORDA_PORT_DIR", sim.dir().toLocal8Bit());
    QtSerialLayer layer;
    MeterLinkState link;
    link.ComPortNumber = 2;
    TPICCoreForm core(layer, link);
    if (!core.ConnectToPort(2) || !core.Handshake()) {
        state.SkipWithError("no meter on COM3");
        return;
    }
    std::vector<double> ms;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const int v = core.GetSetRegister(1, kMapNumberRegister, 0);
        const auto t1 = std::chrono::steady_clock::now();
        if (v != 5) {
            state.SkipWithError("register exchange failed");
            break;
        }
        const double s = std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(s);
        ms.push_back(s * 1000.0);
    }
    core.DisconnectPort(2);
    qunsetenv("VORDA_PORT_DIR");
    const double median = Median(ms);
    state.counters["median_ms"] = median;
    if (paced) state.counters["ratio_to_wire"] = median / kWireExchangeMs;
}

void Scan(benchmark::State& state, bool withPortDir) {
    QTemporaryDir empty;
    if (withPortDir)
        qputenv("VORDA_PORT_DIR", empty.path().toLocal8Bit());
    else
        qunsetenv("VORDA_PORT_DIR");
    QtSerialLayer layer;
    std::vector<double> ms;
    int opened = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        opened = 0;
        for (unsigned com = 1; com <= 1000; ++com)
            if (layer.ProbeDevice(ExtComName(com)) == 0) ++opened;
        const auto t1 = std::chrono::steady_clock::now();
        const double s = std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(s);
        ms.push_back(s * 1000.0);
    }
    qunsetenv("VORDA_PORT_DIR");
    state.counters["median_ms"] = Median(ms);
    state.counters["ports_opened"] = opened;
}

} // namespace

BENCHMARK_CAPTURE(Exchange, unpaced, false)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2000);
BENCHMARK_CAPTURE(Exchange, paced, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(500);
BENCHMARK_CAPTURE(Exchange, adapter_16ms_latency, true, 16)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK_CAPTURE(Exchange, adapter_low_latency_1ms, true, 1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(500);
BENCHMARK_CAPTURE(Scan, empty_port_dir, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(Scan, system_devices, false)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv); // the protocol object is a widget
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
