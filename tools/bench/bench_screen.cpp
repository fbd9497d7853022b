// Figures of the parameter screen for a map of 256 one-register parameters:
// building it (CreateFields, SetDataRanges included), deriving it again after
// a unit change (SetDataRanges alone) and checking 256 values
// (CheckDataClick). Prints figures; asserts nothing.
#include "app/Program.h"
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

class SilentInteraction : public UserInteraction {
public:
    void ShowMessage(const QString&) override {}
    void ShowError(const QString& text) override { fprintf(stderr, "error: %s\n", qPrintable(text)); }
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
        paths.prefix = root.filePath("prefix");
        paths.home = root.filePath("home");
        paths.configHome = root.filePath("home/.config");
        paths.userName = "bench";
        paths.oldInstallDir = root.filePath("opt");
        QDir().mkpath(paths.home);
        QDir().mkpath(paths.StartDir());
        QDir().mkpath(paths.ProgramDataDir());
        QFile::copy(QStringLiteral(VORDA_DATA_DIR "/VORDADisplayData.txt"), paths.StartDir() + "VORDADisplayData.txt");
        for (const QString& name : SeedFileNames())
            QFile::copy(QStringLiteral(VORDA_DATA_DIR "/") + name, paths.ProgramDataDir() + name);
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
