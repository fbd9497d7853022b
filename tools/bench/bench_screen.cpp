// Figures of the parameter screen for a map of 256 one-register parameters:
// building it (CreateFields, SetDataRanges included), deriving it again after
// a unit change (SetDataRanges alone) and checking 256 values
// (CheckDataClick). Prints figures; asserts nothing.
#include "BenchSupport.h"
#include "app/Program.h"
#include "tests/support/TempInstallation.h"
#include "app/ProgramEnd.h"
#include "app/UserError.h"
#include "app/UserInteraction.h"
#include "meter/SimSerialLayer.h"
#include "values/ValuesReadWriteUnt.h"

#include <QApplication>
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

void BM_CreateFields256(benchmark::State& state) {
    ScreenProgram sp;
    for (auto _ : state) sp.mw()->CreateFields();
}
BENCHMARK(BM_CreateFields256)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(7)->ReportAggregatesOnly(true);

void BM_SetDataRanges256(benchmark::State& state) {
    ScreenProgram sp;
    for (auto _ : state) sp.mw()->SetDataRanges();
}
BENCHMARK(BM_SetDataRanges256)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(7)->ReportAggregatesOnly(true);

void BM_CheckData256(benchmark::State& state) {
    ScreenProgram sp;
    for (int i = 0; i < sp.mw()->ValueEdits().size(); ++i)
        sp.mw()->ValueEdits()[i]->setText(QString::number(10 + i % 50));
    for (auto _ : state) sp.mw()->CheckDataClick();
}
BENCHMARK(BM_CheckData256)->Unit(benchmark::kMillisecond)->Iterations(20)->Repetitions(7)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
