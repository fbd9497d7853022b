// Figures of the map editor's grid check on a large map: 250 one-register
// parameters and 270,000 header rows read from a file, checked as they are
// (every check passes) and with two parameters sharing an order (so that
// an order number is missing too). Prints figures; asserts nothing.
#include "BenchSupport.h"
#include "maps/MapEditor.h"
#include "maps/MapFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>

using namespace vorda;

namespace {

constexpr int kParameters = 250;
constexpr int kHeaders = 270000;

// Writes the map and reads it into an editor in a temporary folder.
struct LargeMap {
    QTemporaryDir dir;
    bench::SilentInteraction ui;
    MapEditor editor{ui};

    explicit LargeMap(bool sharedOrder) {
        QList<DMap> params;
        for (int i = 0; i < kParameters; ++i) {
            DMap p;
            p.Startreg = p.EndReg = i;
            p.Parameter = QStringLiteral("P%1").arg(i);
            p.Format = QStringLiteral("Int8");
            p.Multiplier = QStringLiteral("1");
            p.Capacity = 1;
            p.Sequence = QString::number(sharedOrder && i == 1 ? 1 : i + 1);
            params << p;
        }
        QList<MapHeader> headers;
        for (int h = 0; h < kHeaders; ++h)
            headers.append({QString::number(kParameters + 1 + h), QStringLiteral("Heading %1").arg(h), QString()});
        const QString path = dir.filePath(QStringLiteral("ZUVMAP1.map"));
        QString error;
        if (!WriteMapFileContent(path, params, headers, &error)) std::fprintf(stderr, "%s\n", qPrintable(error));
        editor.ReadMapFile(path);
    }
};

void CheckGrid(benchmark::State& state, bool sharedOrder) {
    LargeMap map(sharedOrder);
    for (auto _ : state) {
        map.editor.CheckGridClick();
        benchmark::DoNotOptimize(map.editor.GridIsOK);
    }
    state.counters["layout_rows"] = map.editor.LayoutRowCount() - 1;
    state.counters["grid_ok"] = map.editor.GridIsOK ? 1 : 0;
}

void BM_CheckGrid270kHeaders(benchmark::State& state) { CheckGrid(state, false); }
BENCHMARK(BM_CheckGrid270kHeaders)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3);

void BM_CheckGrid270kHeadersSharedOrder(benchmark::State& state) { CheckGrid(state, true); }
BENCHMARK(BM_CheckGrid270kHeadersSharedOrder)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3);

void BM_ReadMapFile270kHeaders(benchmark::State& state) {
    LargeMap map(false);
    const QString path = map.dir.filePath(QStringLiteral("ZUVMAP1.map"));
    for (auto _ : state) {
        map.editor.ClearSelector();
        map.editor.ReadMapFile(path);
    }
}
BENCHMARK(BM_ReadMapFile270kHeaders)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
