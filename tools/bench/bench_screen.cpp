// Figures of the parameter screen for a map of 256 one-register parameters:
// building it (CreateFields, SetDataRanges included), deriving it again after
// a unit change (SetDataRanges alone) and checking 256 values
// (CheckDataClick), and one key press in the filter box. Each figure is taken with the window hidden and shown,
// side by side in the same run, and includes the paint that follows; run
// under `xvfb-run -a` for a window that really paints. Prints figures;
// asserts nothing.
#include "BenchSupport.h"
#include "windows/VordaProgram.h"
#include "tools/support/TempInstallation.h"
#include "base/ProgramEnd.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "meter/SimSerialLayer.h"
#include "windows/ValuesReadWriteUnt.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

using namespace vorda;

namespace {

using bench::SilentEnd;
using bench::SilentInteraction;

// A program with maker access in a temporary installation, holding a map of
// 256 one-register parameters: Int8, every second one scaled by 0.1, every
// third one a temperature.
struct ScreenProgram {
    QTemporaryDir root;
    PlatformPaths paths;
    SilentInteraction ui;
    SilentEnd end;
    SimSerialLayer serial;
    QString cwd = QDir::currentPath();
    std::unique_ptr<VordaProgram> program;

    ScreenProgram() {
        paths = test::TempPlatformPaths(root, "bench");
        test::InstallDataFiles(paths, QStringLiteral(VORDA_DATA_DIR));
        program = std::make_unique<VordaProgram>(ui, end, serial, paths, QStringList{"/UserIsZUV"});
        program->Create();
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
            program->map.MapParams << p;
        }
        program->map.MapLoaded = true;
        mw()->SetScreenOrder();
        mw()->CreateFields();
    }
    ~ScreenProgram() {
        program.reset();
        QDir::setCurrent(cwd);
    }
    TValuesReadWrite* mw() const { return program->mainWindow(); }
};

using bench::Figures;

// Times one screen operation and the paint it leads to, the window hidden
// or shown as the benchmark's argument says.
template <class Operation>
void TimeScreen(benchmark::State& state, const char* row, Operation operation, bool withValues = false) {
    const bool shown = bench::Shown(int(state.range(0)));
    ScreenProgram sp;
    if (withValues)
        for (int i = 0; i < sp.mw()->ValueEdits().size(); ++i)
            sp.mw()->ValueEdits()[i]->setText(QString::number(10 + i % 50));
    bench::SetShown(sp.mw(), shown);
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        operation(sp.mw());
        QApplication::processEvents(); // the paint
        const double s = timer.nsecsElapsed() / 1e9;
        total += s;
        state.SetIterationTime(s);
    }
    Figures::Record(row, shown ? "window shown" : "window hidden", total * 1000.0 / double(state.iterations()));
}

void BM_CreateFields256(benchmark::State& state) {
    TimeScreen(state, "Screen of 256 parameters: build (CreateFields)", [](TValuesReadWrite* w) { w->CreateFields(); });
}
BENCHMARK(BM_CreateFields256)->ArgName(bench::kWindowArg)->Arg(0)->Arg(1)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SetDataRanges256(benchmark::State& state) {
    TimeScreen(state, "Screen of 256 parameters: unit change (SetDataRanges)", [](TValuesReadWrite* w) { w->SetDataRanges(); });
}
BENCHMARK(BM_SetDataRanges256)->ArgName(bench::kWindowArg)->Arg(0)->Arg(1)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_CheckData256(benchmark::State& state) {
    TimeScreen(state, "Screen of 256 parameters: data check (CheckDataClick)", [](TValuesReadWrite* w) { w->CheckDataClick(); }, true);
}
BENCHMARK(BM_CheckData256)->ArgName(bench::kWindowArg)->Arg(0)->Arg(1)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(5)->ReportAggregatesOnly(true);

// One key press in the filter box at its dearest: "q" hides all 256 rows,
// Backspace shows them again, alternately.
void BM_FilterKey256(benchmark::State& state) {
    int press = 0;
    TimeScreen(state, "Screen of 256 parameters: one key in the filter box", [&press](TValuesReadWrite* w) {
        auto* filter = w->findChild<QLineEdit*>(QStringLiteral("FilterEdt"));
        filter->setFocus();
        QTest::keyClick(filter, press++ % 2 == 0 ? Qt::Key_Q : Qt::Key_Backspace);
    });
}
BENCHMARK(BM_FilterKey256)->ArgName(bench::kWindowArg)->Arg(0)->Arg(1)->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    bench::ChoosePlatform();
    QApplication app(argc, argv);
    return bench::RunBenchmarks(argc, argv);
}
