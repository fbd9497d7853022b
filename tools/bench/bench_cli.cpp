// vorda-cli against vorda-sim paced at wire speed, each command timed as a
// whole process (start-up, scan, handshake and exchanges): `read` of map 5
// against the wire time of its register exchanges, and `write --only-changed`
// with one changed value against a full, verified write. Prints figures;
// asserts nothing.
#include "BenchSupport.h"
#include "base/TextFiles.h"
#include "maps/MapFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace vorda;

namespace {

using bench::Figures;

constexpr double kWireExchangeMs = 3.44; // 6 bytes of 11 bits at 19200 baud
constexpr int kTagLine = 2 + 3 * 3 + 2;  // the value line of "Meter Tag" in a data file

// The register exchanges of reading every parameter of map 5.
int MapFiveRegisters() {
    const MapReadResult map = ReadMapFileContent(QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), "ZUVMAP5.map");
    int n = 0;
    for (const DMap& p : map.params) n += p.EndReg - p.Startreg + 1;
    return n;
}

// A fresh account, map 5 served as COM5 at wire speed, and a data file of
// what the meter holds.
class PacedCli {
public:
    PacedCli() {
        sim_.setProgram(QStringLiteral(VORDA_STAGE_DIR "/bin/vorda-sim"));
        sim_.setArguments({"--port-dir", root_.filePath("ports"), "--com", "5", "--map",
                           QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), "--paced"});
        sim_.start();
        sim_.waitForStarted(5000);
        while (!sim_.canReadLine() && sim_.waitForReadyRead(5000)) {}
        // The first run settles and seeds the folders of the new account.
        ok_ = Run({"read", "-o", Path("meter.epf")}) == 0 && TagFile("a.epf", "BENCH-A") && TagFile("b.epf", "BENCH-B") &&
              Run({"write", Path("a.epf")}) == 0;
    }
    ~PacedCli() {
        sim_.terminate();
        sim_.waitForFinished(5000);
    }
    bool Ok() const { return ok_; }
    QString Path(const QString& name) const { return root_.filePath(name); }

    // Runs vorda-cli; its exit code, -1 when it did not run.
    int Run(const QStringList& arguments) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"APPDATA", "PROGRAMDATA", "XDG_CONFIG_HOME"}) env.remove(QString::fromLatin1(name));
        env.insert("HOME", root_.filePath("home"));
        env.insert("VORDA_PORT_DIR", root_.filePath("ports"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(root_.path());
        p.start(QStringLiteral(VORDA_STAGE_DIR "/bin/vorda-cli"), arguments);
        if (!p.waitForStarted(5000) || !p.waitForFinished(60000)) return -1;
        if (p.exitCode() != 0) std::fprintf(stderr, "%s", p.readAllStandardError().constData());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private:
    // meter.epf with the tag replaced.
    bool TagFile(const QString& name, const QString& tag) {
        QStringList lines;
        QString error;
        if (!ReadTextLines(Path("meter.epf"), &lines, &error) || lines.size() <= kTagLine) return false;
        lines[kTagLine] = tag;
        return WriteTextLines(Path(name), lines, &error);
    }

    QTemporaryDir root_;
    QProcess sim_;
    bool ok_ = false;
};

// Times one command per iteration; arguments(i) gives the i-th command line.
template <class Arguments>
void TimeCli(benchmark::State& state, const std::string& row, const std::string& column, double referenceMs,
             Arguments arguments) {
    PacedCli cli;
    if (!cli.Ok()) {
        state.SkipWithError("the simulated meter could not be read");
        return;
    }
    int i = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const int code = cli.Run(arguments(cli, i++));
        const double ms = timer.nsecsElapsed() / 1e6;
        if (code != 0) {
            state.SkipWithError("vorda-cli failed");
            return;
        }
        state.SetIterationTime(ms / 1000.0);
        Figures::Record(row, column, ms, referenceMs, referenceMs > 0 ? "wire time" : "");
    }
}

void CliRead(benchmark::State& state) {
    TimeCli(state, "vorda-cli read, map 5", "whole process", MapFiveRegisters() * kWireExchangeMs,
            [](PacedCli& cli, int) { return QStringList{"read", "-o", cli.Path("out.epf")}; });
}

// Both rows alternate the tag, so every write changes one value.
QStringList Alternate(PacedCli& cli, int i, const QStringList& options) {
    return QStringList{"write", cli.Path(i % 2 == 0 ? "b.epf" : "a.epf")} + options;
}
void CliWriteFull(benchmark::State& state) {
    TimeCli(state, "vorda-cli write, map 5, one value changed", "full write, verified", 0,
            [](PacedCli& cli, int i) { return Alternate(cli, i, {}); });
}
void CliWriteOnlyChanged(benchmark::State& state) {
    TimeCli(state, "vorda-cli write, map 5, one value changed", "--only-changed, verified", 0,
            [](PacedCli& cli, int i) { return Alternate(cli, i, {"--only-changed"}); });
}

BENCHMARK(CliRead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(CliWriteFull)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(CliWriteOnlyChanged)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return bench::RunBenchmarks(argc, argv);
}
