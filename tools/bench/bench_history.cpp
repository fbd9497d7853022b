// The meter history's cost: the time one record adds to a meter command
// (SQLite in a file, PostgreSQL on a server of its own with fsync on), and
// one meter's list in a store of 100,000 records.
//   build/bench/bench_history
// VORDA_BENCH_KEEP=DIR keeps the 100,000-record SQLite file in DIR.
#include "history/MeterHistory.h"
#include "tools/support/PostgresServer.h"
#include "values/MeterEngine.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace vorda {
namespace {

// A read of map 5 as a meter would give it.
MeterEvent MapFiveEvent(int serial) {
    const MeterMap map = LoadMapFile(QStringLiteral(VORDA_DATA_DIR), QStringLiteral("ZUVMAP5.map"));
    MeterEvent e;
    e.kind = MeterEventKind::Read;
    e.connection = {QStringLiteral("bench"), QDateTime::currentDateTimeUtc(), 3, 5};
    e.mapFile = map.fileName;
    e.params = map.params;
    for (int i = 0; i < map.params.size(); ++i) {
        const DMap& p = map.params.at(i);
        QVector<int> regs;
        for (int r = p.Startreg; r <= p.EndReg; ++r) regs << (r * 7 + serial) % 256;
        e.values << EventValue{i == 0 ? QString::number(serial) : QString::number(i * 3.25), regs};
    }
    e.serial = QString::number(serial);
    e.outcome = QStringLiteral("whole");
    return e;
}

void Record(benchmark::State& state, const HistoryLocation& location, const QString& queue) {
    MeterHistory history(location, queue);
    HistoryRecorder recorder(history, RecordEnvironment::Current(), [&](const QString& line) {
        state.SkipWithError(line.toStdString().c_str());
    });
    const MeterEvent event = MapFiveEvent(4711);
    recorder.MeterEventHappened(event); // opens the store and makes the schema
    // Wall time per record: the syncs to disk are what the user waits for.
    for (auto _ : state) recorder.MeterEventHappened(event);
}

void BM_RecordSqlite(benchmark::State& state) {
    QTemporaryDir dir;
    HistoryLocation l;
    QString error;
    HistoryLocation::Parse(dir.filePath(QStringLiteral("VORDAHistory.sqlite")), &l, &error);
    Record(state, l, QString());
}
BENCHMARK(BM_RecordSqlite)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_RecordPostgres(benchmark::State& state) {
    QTemporaryDir dir;
    test::PostgresServer server;
    QString error;
    if (!server.Start(&error, /*durable=*/true)) {
        state.SkipWithError(error.toStdString().c_str());
        for (auto _ : state) {}
        return;
    }
    HistoryLocation l;
    HistoryLocation::Parse(server.Url(), &l, &error);
    Record(state, l, dir.filePath(QStringLiteral("queue.sqlite")));
}
BENCHMARK(BM_RecordPostgres)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// 100,000 records of 1,000 meters, 100 each, written in batches.
bool Fill(HistoryStore& store, QString* error) {
    QList<HistoryRecord> batch;
    const RecordEnvironment made = RecordEnvironment::Current();
    for (int serial = 0; serial < 1000; ++serial) {
        const HistoryRecord base = RecordOfEvent(MapFiveEvent(100000 + serial), made);
        for (int k = 0; k < 100; ++k) {
            HistoryRecord r = base;
            r.uid = QStringLiteral("%1-%2").arg(serial).arg(k);
            batch << r;
        }
        if (batch.size() >= 5000) {
            if (!store.AppendAll(batch, error)) return false;
            batch.clear();
        }
    }
    return store.AppendAll(batch, error);
}

void List(benchmark::State& state, HistoryStore& store) {
    QString error;
    for (auto _ : state) {
        const auto list = store.List(QStringLiteral("5:100500"), 0, &error);
        if (!list || list->size() != 100) state.SkipWithError("the list is not whole");
    }
}

void BM_ListOneMeterSqlite(benchmark::State& state) {
    QTemporaryDir dir;
    const QString keep = qEnvironmentVariable("VORDA_BENCH_KEEP");
    HistoryLocation l;
    QString error;
    HistoryLocation::Parse(QDir(keep.isEmpty() ? dir.path() : keep).filePath(QStringLiteral("VORDAHistory.sqlite")), &l,
                           &error);
    QFile::remove(l.path);
    HistoryStore store;
    if (!store.Open(l, &error) || !Fill(store, &error)) {
        state.SkipWithError(error.toStdString().c_str());
        for (auto _ : state) {}
        return;
    }
    List(state, store);
}
BENCHMARK(BM_ListOneMeterSqlite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListOneMeterPostgres(benchmark::State& state) {
    test::PostgresServer server;
    QString error;
    HistoryLocation l;
    HistoryStore store;
    if (!server.Start(&error) || !HistoryLocation::Parse(server.Url(), &l, &error) || !store.Open(l, &error) ||
        !Fill(store, &error)) {
        state.SkipWithError(error.toStdString().c_str());
        for (auto _ : state) {}
        return;
    }
    List(state, store);
}
BENCHMARK(BM_ListOneMeterPostgres)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace vorda

BENCHMARK_MAIN();
