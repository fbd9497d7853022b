// Time from the start of the program to its main window shown, with the real
// user interaction and serial layer, the folders taken from the environment
// (HOME pointed at a temporary folder) and the staged installation.
// Two cases: a first run (folders created, maps copied) and a returning user
// (folders in place, configuration and window settings read).
// The window is shown on the display: run under `xvfb-run -a`. Prints
// figures, each against the 100 ms a start may take; asserts nothing.
#include "BenchSupport.h"
#include "windows/VordaProgram.h"
#include "windows/QtUserInteraction.h"
#include "base/UserError.h"
#include "meter/QtSerialLayer.h"
#include "windows/ValuesReadWriteUnt.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace vorda;

namespace {

const QString kStageBin = QStringLiteral(VORDA_STAGE_DIR "/bin");
const char* const kRow = "Start to main window shown";
constexpr double kBudgetMs = 100;

// Points the per-user folders of the environment at a fresh temporary home.
void UseHome(const QTemporaryDir& home) {
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("APPDATA");
    qunsetenv("PROGRAMDATA");
    qputenv("USER", "bench");
}

// Starts the program, shows its main window and processes events until the
// window is exposed; the elapsed seconds. The program is closed afterwards
// so that a returning user finds its settings files.
double StartToShown() {
    QtUserInteraction ui;
    QtProgramEnd end(ui);
    QtSerialLayer serial;
    const QString cwd = QDir::currentPath();
    QElapsedTimer timer;
    timer.start();
    VordaProgram program(ui, end, serial, PlatformPaths::FromEnvironment(kStageBin), QStringList{});
    try {
        program.Create();
    } catch (const ProgramTerminated&) {
        std::fprintf(stderr, "start-up ended the program\n");
        std::exit(1);
    }
    ui.SetParentWindow(program.mainWindow());
    program.mainWindow()->show();
    while (!program.mainWindow()->isVisible() || !program.mainWindow()->windowHandle() ||
           !program.mainWindow()->windowHandle()->isExposed())
        QApplication::processEvents();
    const double seconds = timer.nsecsElapsed() / 1e9;
    program.mainWindow()->close();
    QDir::setCurrent(cwd);
    return seconds;
}

void BM_FirstRunToMainWindowShown(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir home;
        UseHome(home);
        state.ResumeTiming();
        const double s = StartToShown();
        state.SetIterationTime(s);
        bench::Figures::Record(kRow, "first run", s * 1000.0, kBudgetMs, "the budget of a start");
    }
}

void BM_ReturningUserToMainWindowShown(benchmark::State& state) {
    QTemporaryDir home;
    UseHome(home);
    StartToShown(); // settles the folders and writes the settings files
    for (auto _ : state) {
        const double s = StartToShown();
        state.SetIterationTime(s);
        bench::Figures::Record(kRow, "returning user", s * 1000.0, kBudgetMs, "the budget of a start");
    }
}

} // namespace

BENCHMARK(BM_FirstRunToMainWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)
    ->Iterations(1)->Repetitions(21)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReturningUserToMainWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)
    ->Iterations(1)->Repetitions(21)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    bench::ChoosePlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZUV Meter Settings"));
    QApplication::setQuitOnLastWindowClosed(false);
    return bench::RunBenchmarks(argc, argv);
}
