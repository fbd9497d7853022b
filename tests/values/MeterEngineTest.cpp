// The meter engine through the seams: simulated meters on the test serial
// layer, a recording report.
#include "values/MeterEngine.h"
#include "values/MeterSession.h"

#include "meter/MeterDetection.h"
#include "meter/MeterProtocol.h"
#include "meter/SimMeter.h"
#include "meter/SimSerialLayer.h"
#include "tests/values/ValuesFixture.h"

#include <QFile>
#include <QTemporaryDir>

namespace vorda::test {
namespace {

// Every event of the engine as a line, in order.
class RecordingReport : public MeterReport {
public:
    void RegisterFailed(MeterDirection d, int index, const DMap& p, int offset) override {
        events << QStringLiteral("%1 fail %2 %3 %4").arg(d == MeterDirection::Read ? "read" : "write").arg(index).arg(p.Parameter).arg(offset);
    }
    void TooManyFailures(MeterDirection d) override {
        events << QStringLiteral("%1 too many").arg(d == MeterDirection::Read ? "read" : "write");
    }
    void InvalidValue(int index, const DMap& p, const QString& reason) override {
        events << QStringLiteral("invalid %1 %2: %3").arg(index).arg(p.Parameter, reason);
    }
    void ParameterRead(int index, const QString& value, bool complete) override {
        events << QStringLiteral("read %1 %2%3").arg(index).arg(value, complete ? "" : " (part)");
    }
    void ParameterWritten(int index) override { events << QStringLiteral("written %1").arg(index); }
    QStringList events;
};

class MeterEngineTest : public ValuesTest {
protected:
    static constexpr int kPort = 4; // COM5
    void SetUp() override {
        ValuesTest::SetUp();
        layer.attach(kPort, &meter);
        link.ComPortNumber = kPort;
        protocol.ConnectToPort(kPort);
        params = {
            test::Param(0, 3, "Serial", "Int32", "1", 1, "1"),
            test::Param(4, 5, "Flow", "Int16", "0.1", 1, "2"),
            test::Param(6, 9, "Tag", "ASCII", "1", 4, "3"),
            test::Param(10, 12, "Limits", "Int8", "1", 3, "4", QString(), "A"),
        };
        SetInt(0, 4, 123456); // more figures than the screen shows
        SetInt(4, 2, 300);    // 30
        meter.setReg(6, 'A');
        meter.setReg(7, 'B');
        for (int r : {10, 11, 12}) meter.setReg(r, quint8(r));
        meter.clearLog();
    }
    void SetInt(int first, int bytes, quint32 value) {
        for (int i = 0; i < bytes; ++i) meter.setReg(first + i, quint8((value >> (8 * (bytes - 1 - i))) & 0xFF));
    }
    void FailRegisters(const QList<int>& regs) {
        SimMeter::Faults f;
        for (int r : regs) f.failRegisters.insert(r);
        meter.setFaults(f);
    }

    SimSerialLayer layer;
    SimMeter meter;
    MeterLinkState link;
    MeterProtocol protocol{layer, link};
    QList<DMap> params;
    RecordingReport report;
};

TEST_F(MeterEngineTest, ScanListsOpenPortsAndTheMetersWithTheirMapNumbers) {
    SimMeter second;
    second.setReg(kMapNumberRegister, 127);
    SimMeter::Faults late;
    late.secondHandshakeOnly = true;
    second.setFaults(late);
    meter.setReg(kMapNumberRegister, 5);
    protocol.DisconnectPort(kPort);
    layer.setFree(2);    // COM3: opens, no meter
    layer.setBusy(6);    // COM7: held elsewhere
    layer.attach(8, &second); // COM9: answers the second handshake only

    QList<int> tested;
    ScanOptions options;
    options.readMapNumber = true;
    options.testing = [&tested](int com) { tested << com; };
    const ScanOutcome scan = ScanPorts(protocol, options);
    EXPECT_EQ(tested, QList<int>({3, 5, 9}));
    ASSERT_EQ(scan.ports.size(), 3);
    EXPECT_EQ(scan.ports[0].com, 3);
    EXPECT_FALSE(scan.ports[0].meter);
    EXPECT_EQ(scan.ports[1].com, 5);
    EXPECT_TRUE(scan.ports[1].meter);
    EXPECT_EQ(scan.ports[1].mapNumber, 5);
    EXPECT_EQ(scan.ports[2].com, 9);
    EXPECT_TRUE(scan.ports[2].meter);
    EXPECT_EQ(scan.ports[2].mapNumber, 127);
    for (int port : {2, 4, 8}) EXPECT_FALSE(layer.isOpen(port)) << port;

    EXPECT_EQ(ConnectOneMeter(protocol, 0).status, ConnectStatus::SeveralMeters);
    const ConnectOutcome only = ConnectOneMeter(protocol, 5);
    EXPECT_EQ(only.status, ConnectStatus::Connected);
    EXPECT_EQ(only.com, 5);
    EXPECT_EQ(only.mapNumber, 5);
    EXPECT_TRUE(layer.isOpen(kPort));
    EXPECT_EQ(link.ComPortNumber, kPort);
    EXPECT_EQ(ConnectOneMeter(protocol, 3).status, ConnectStatus::NoMeter);
}

TEST_F(MeterEngineTest, ReadGivesExactMeterValuesInMapOrder) {
    const ReadOutcome r = ReadParameters(protocol, params, report);
    EXPECT_TRUE(r.Whole());
    EXPECT_EQ(r.meterValues, QStringList({"123456", "30", "AB", "10,11,12"}));
    EXPECT_EQ(report.events, QStringList({"read 0 123456", "read 1 30", "read 2 AB", "read 3 10,11,12"}));
    EXPECT_EQ(meter.registerReads(), 13);
    EXPECT_EQ(meter.handshakes(), 1);
}

// The session's write of chosen parameters sends and reads back theirs
// only; the other rows keep where their values came from, also when a
// written register did not take.
TEST_F(MeterEngineTest, ASessionWritesAndReadsBackOnlyTheChosenParameters) {
    LoadedMap map;
    map.MapParams = params;
    map.CurrentMapFile = QStringLiteral("ZUVMap9.Map");
    map.MapLoaded = true;
    ScreenFlags flags;
    DisplayUnitTables units;
    MeterSession session(map, flags, units, eval, rounder);
    session.ResetRows();
    const QStringList file{"123456", "31.5", "AB", "10,20,30"};
    for (int i = 0; i < file.size(); ++i) session.ShowValue(i, file.at(i), {}, ValueOrigin::Loaded);
    ASSERT_TRUE(session.Check(report, session.RowCount()).ok);
    const QVector<bool> chosen{false, true, false, true};

    struct Case {
        const char* name;
        QSet<int> ignoreWrites;
        QStringList differing;
    };
    for (const Case& c : {Case{"all take", {}, {}}, Case{"register 12 keeps its byte", {12}, {"Limits"}}}) {
        SCOPED_TRACE(c.name);
        SimMeter::Faults f;
        f.ignoreWrites = c.ignoreWrites;
        meter.setFaults(f);
        for (int r : {4, 5, 10, 11, 12}) meter.setReg(r, 0);
        meter.clearLog();
        const WriteResult r = session.Write(protocol, report, chosen);
        QList<int> written, read;
        for (const SimMeter::Command& cmd : meter.commandLog())
            if (cmd.bytes.size() == 3) (cmd.bytes[0] == 0 ? written : read) << quint8(cmd.bytes[1]);
        EXPECT_EQ(written, QList<int>({4, 5, 10, 11, 12}));
        EXPECT_EQ(read, written);
        EXPECT_EQ(r.differing, c.differing);
        EXPECT_EQ(r.Verified(), c.differing.isEmpty());
        EXPECT_EQ(flags.MeterInSync, c.differing.isEmpty());
        EXPECT_EQ(session.Row(1).origin, ValueOrigin::Verified);
        EXPECT_EQ(session.Row(3).origin, c.differing.isEmpty() ? ValueOrigin::Verified : ValueOrigin::Written);
        for (int i : {0, 2}) EXPECT_EQ(session.Row(i).origin, ValueOrigin::Loaded) << i;
    }
}

TEST_F(MeterEngineTest, ReadFailuresAreReportedWithParameterAndOffsetAndTheFourthEndsTheRead) {
    FailRegisters({5, 7, 11});
    ReadOutcome r = ReadParameters(protocol, params, report);
    EXPECT_FALSE(r.aborted);
    EXPECT_FALSE(r.Whole());
    EXPECT_EQ(r.failures, 3);
    EXPECT_EQ(report.events, QStringList({"read 0 123456", "read fail 1 Flow 1", "read 1  (part)",
                                          "read fail 2 Tag 1", "read 2 A (part)", "read fail 3 Limits 1",
                                          "read 3 10,,12 (part)"}));
    // A failed register adds nothing of its own; what was read is marked
    // incomplete, and a failed value of a list keeps its place.
    EXPECT_EQ(r.complete, QVector<bool>({true, false, false, false}));

    report.events.clear();
    FailRegisters({1, 2, 4, 5, 6});
    meter.clearLog();
    r = ReadParameters(protocol, params, report);
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(report.events, QStringList({"read fail 0 Serial 1", "read fail 0 Serial 2", "read 0  (part)",
                                          "read fail 1 Flow 0", "read fail 1 Flow 1", "read too many"}));
    // Nothing is asked after the fourth failure.
    EXPECT_EQ(meter.commandLog().size(), 1 + 6);
}

TEST_F(MeterEngineTest, CheckReportsEveryInvalidValueAndEncodesExactValues) {
    const ValuesCheck bad = CheckMeterValues(params, {"4294967296", "6553.6", "AB", "3,2,1"}, eval, rounder, report);
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.invalid, 3);
    EXPECT_EQ(report.events, QStringList({"invalid 0 Serial: Value out of range", "invalid 1 Flow: Value out of range",
                                          "invalid 3 Limits: Values must be Ascending"}));

    report.events.clear();
    // Values missing at the end count as empty: an integer is then no number.
    const ValuesCheck shortList = CheckMeterValues(params, {"123456", "12.34"}, eval, rounder, report);
    EXPECT_FALSE(shortList.ok);
    EXPECT_EQ(report.events, QStringList({"invalid 3 Limits: Not a valid number"}));

    report.events.clear();
    const ValuesCheck good = CheckMeterValues(params, {"123456", "12.34", "AB", "1,2,3"}, eval, rounder, report);
    EXPECT_TRUE(good.ok);
    EXPECT_TRUE(report.events.isEmpty());
    // No rounding to significant figures: 123456 is stored as it is.
    EXPECT_EQ(good.registers[0].Values, QVector<qint32>({0x00, 0x01, 0xE2, 0x40}));
    EXPECT_EQ(good.registers[1].Values, QVector<qint32>({0, 123}));
    EXPECT_EQ(good.registers[2].Values, QVector<qint32>({'A', 'B', 0, 0}));
}

TEST_F(MeterEngineTest, OnlyChangedParametersAreWrittenAndVerificationNamesIgnoredRegisters) {
    const ReadOutcome before = ReadParameters(protocol, params, report);
    const ValuesCheck check = CheckMeterValues(params, {"123456", "31.5", "AB", "10,20,30"}, eval, rounder, report);
    ASSERT_TRUE(check.ok);
    const QVector<bool> changed = ChangedParameters(check.registers, before.bytes, params);
    EXPECT_EQ(changed, QVector<bool>({false, true, false, true}));

    SimMeter::Faults f;
    f.ignoreWrites.insert(12);
    meter.setFaults(f);
    meter.clearLog();
    report.events.clear();
    const WriteOutcome w = WriteParameters(protocol, params, check.registers, changed, report);
    EXPECT_TRUE(w.Whole());
    EXPECT_EQ(w.registersSent, 5);
    EXPECT_EQ(report.events, QStringList({"written 1", "written 3"}));
    QList<int> sent;
    for (const SimMeter::Command& c : meter.commandLog())
        if (c.bytes.size() == 3) sent << quint8(c.bytes[1]);
    EXPECT_EQ(sent, QList<int>({4, 5, 10, 11, 12}));
    EXPECT_EQ(meter.reg(5), 59); // 315

    const VerifyOutcome v = VerifyParameters(protocol, params, check.registers, changed, report);
    EXPECT_TRUE(v.Whole());
    ASSERT_EQ(v.mismatches.size(), 1);
    EXPECT_EQ(v.mismatches[0].index, 3);
    EXPECT_EQ(v.mismatches[0].offset, 2);
    EXPECT_EQ(v.mismatches[0].reg, 12);
    EXPECT_EQ(v.mismatches[0].expected, 30);
    EXPECT_EQ(v.mismatches[0].actual, 12);
}

TEST_F(MeterEngineTest, WriteFailuresEndTheWriteAtTheFourth) {
    const ValuesCheck check = CheckMeterValues(params, {"1", "2", "CD", "1,2,3"}, eval, rounder, report);
    ASSERT_TRUE(check.ok);
    report.events.clear();
    FailRegisters({0, 1, 2, 3});
    const WriteOutcome w = WriteParameters(protocol, params, check.registers, {}, report);
    EXPECT_TRUE(w.aborted);
    EXPECT_EQ(w.registersSent, 4);
    EXPECT_EQ(report.events, QStringList({"write fail 0 Serial 0", "write fail 0 Serial 1", "write fail 0 Serial 2",
                                          "write fail 0 Serial 3", "write too many"}));
    EXPECT_EQ(meter.reg(6), 'A'); // nothing after the end

    SimMeter::Faults silent;
    silent.silent = true;
    meter.setFaults(silent);
    EXPECT_FALSE(WriteParameters(protocol, params, check.registers, {}, report).handshakeOk);
    EXPECT_FALSE(ReadParameters(protocol, params, report).handshakeOk);
}

// Stop is asked before every register exchange: the command ends at the
// first one asked after the wish, and the outcome says what was done.
TEST_F(MeterEngineTest, StopEndsEachCommandBetweenTwoExchanges) {
    struct StoppingReport : RecordingReport {
        int stopAfter = 0;
        int done = 0;
        void Progress(int d, int) override { done = d; }
        bool StopRequested() override { return done >= stopAfter; }
    };
    const ValuesCheck check = CheckMeterValues(params, {"7", "2", "CD", "1,2,3"}, eval, rounder, report);
    ASSERT_TRUE(check.ok);
    StoppingReport stopping;
    stopping.stopAfter = 5; // inside the second parameter
    const WriteOutcome w = WriteParameters(protocol, params, check.registers, {}, stopping);
    EXPECT_TRUE(w.aborted && w.stopped && !w.disconnected);
    EXPECT_EQ(w.registersSent, 5);
    EXPECT_EQ(WriteLandings(check.registers, {}, w, nullptr),
              (QVector<WriteLanding>{WriteLanding::Whole, WriteLanding::Partly, WriteLanding::None, WriteLanding::None}));
    EXPECT_EQ(meter.reg(6), 'A'); // nothing after the stop
    EXPECT_TRUE(WriteEndText(w, 5, params, WriteLandings(check.registers, {}, w, nullptr)).startsWith("Write stopped."));

    stopping.done = 0;
    stopping.events.clear();
    const ReadOutcome r = ReadParameters(protocol, params, stopping);
    EXPECT_TRUE(r.aborted && r.stopped);
    EXPECT_EQ(r.meterValues, QStringList{"7"}); // the parameter read whole before the stop, nothing partial
    EXPECT_EQ(stopping.events, QStringList{"read 0 7"});

    stopping.done = 0;
    const VerifyOutcome v = VerifyParameters(protocol, params, check.registers, {}, stopping);
    EXPECT_TRUE(v.aborted && v.stopped);
}

TEST_F(MeterEngineTest, MeterMapIsFoundWhateverTheLetterCaseAndDataFilesRoundTrip) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), dir.filePath("ZUVMAP5.map")));
    const MeterMap map = LoadMeterMap(dir.path(), 5);
    ASSERT_TRUE(map.ok) << map.error.toStdString();
    EXPECT_EQ(map.fileName, "ZUVMap5.Map");
    EXPECT_FALSE(map.params.isEmpty());
    EXPECT_EQ(MeterMapFileName(255), "ZUVMap0.Map");
    EXPECT_FALSE(LoadMeterMap(dir.path(), 4).ok);
    EXPECT_FALSE(LoadMeterMap(dir.path(), -1).ok);

    const QString path = dir.filePath("set.epf");
    QString error;
    ASSERT_TRUE(SaveDataFile(path, map.fileName, params, {"123456", "12.34", "AB", "1,2,3"}, {}, &error));
    DataFileContent content;
    ASSERT_TRUE(LoadDataFile(path, &content, &error));
    EXPECT_TRUE(content.complete);
    EXPECT_TRUE(DataFileFitsMap(content, "ZUVMAP5.MAP"));
    EXPECT_FALSE(DataFileFitsMap(content, "ZUVMap4.Map"));
    EXPECT_EQ(content.values, QStringList({"123456", "12.34", "AB", "1,2,3"}));

    // A save into a folder that does not exist leaves nothing behind.
    EXPECT_FALSE(SaveDataFile(dir.filePath("gone/set.epf"), map.fileName, params, {}, {}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("gone/set.epf")));
}

} // namespace
} // namespace vorda::test

#include "maps/MapFile.h"
#include "tests/units/LocaleGuard.h"

namespace vorda::test {
namespace {

class DataFileLocaleTest : public ValuesTest {
protected:
    class Quiet : public MeterReport {
    public:
        void RegisterFailed(MeterDirection, int, const DMap&, int) override {}
        void TooManyFailures(MeterDirection) override {}
        void InvalidValue(int, const DMap& p, const QString& reason) override { refused << p.Parameter + ": " + reason; }
        QStringList refused;
    };
};

// A data file saved in one locale stands for the same registers in every
// other, for every shipped map.
TEST_F(DataFileLocaleTest, ShippedMapsRoundTripBetweenLocales) {
    const QLocale locales[] = {English(), German(), QLocale(QLocale::French, QLocale::France)};
    for (const char* mapName : {"ZUVMAP0.Map", "ZUVMAP4.Map", "ZUVMAP5.map", "ZUVMAP127.Map"}) {
        const MapReadResult map = ReadMapFileContent(QStringLiteral(VORDA_DATA_DIR "/") + mapName, mapName);
        ASSERT_EQ(map.status, MapReadStatus::Ok) << mapName;
        const QVector<quint8> image = FactoryImageFromMap(map.params, 5);
        QVector<EEValue> meter(map.params.size());
        for (int i = 0; i < map.params.size(); ++i) {
            const DMap& p = map.params.at(i);
            meter[i].Startreg = p.Startreg;
            for (int r = p.Startreg; r <= p.EndReg; ++r) meter[i].Values << image.at(r);
            meter[i].RegCount = int(meter[i].Values.size());
        }
        for (const QLocale& from : locales) {
            QStringList lines;
            {
                LocaleGuard guard(from);
                QStringList values;
                for (int i = 0; i < map.params.size(); ++i) values << DecodeRegisters(map.params.at(i), meter.at(i).Values);
                lines = DataFileLines(mapName, map.params, values, meter);
            }
            for (const QLocale& to : locales) {
                SCOPED_TRACE(std::string(mapName) + " " + from.name().toStdString() + " to " + to.name().toStdString());
                LocaleGuard guard(to);
                const FileValues file = FileValuesByPosition(ParseDataFile(lines), map.params);
                Quiet report;
                const ValuesCheck check =
                    CheckMeterValues(map.params, file.meterValues, eval, rounder, report, file.exactRegisters);
                EXPECT_TRUE(check.ok) << report.refused.join("; ").toStdString();
                for (int i = 0; i < map.params.size(); ++i)
                    if (check.registers.at(i).RegCount > 0)
                        EXPECT_EQ(check.registers.at(i).Values, meter.at(i).Values) << map.params.at(i).Parameter.toStdString();
            }
        }
    }
}

TEST_F(DataFileLocaleTest, FilesOfEarlierVersionsAndHandEditedTexts) {
    const QList<DMap> params{test::Param(0, 1, "Rate", "Int16", "0.1", 1, "1"),
                             test::Param(2, 4, "Steps", "Int8", "1", 3, "2"),
                             test::Param(5, 6, "Pair", "Int8", "1", 2, "3"), test::Param(7, 10, "Tag", "ASCII", "", 4, "4")};
    struct Case {
        QStringList values; // as a file holds them
        QStringList english;
        QStringList german;
    } const cases[] = {
        // Written in the point form, or under a point locale before.
        {{"12.5", "1,2,3", "10,110", "AB"}, {"12.5", "1,2,3", "10,110", "AB"}, {"12,5", "1;2;3", "10;110", "AB"}},
        // Written under a comma locale by an earlier version.
        {{"12,5", "1;2;3", "10;110", "A,B"}, {"12.5", "1,2,3", "10,110", "A,B"}, {"12,5", "1;2;3", "10;110", "A,B"}},
        {{"7", "1;2;3", "4;5", ""}, {"7", "1,2,3", "4,5", ""}, {"7", "1;2;3", "4;5", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.values.join('|').toStdString());
        QStringList lines{"M.map", "4"};
        for (int i = 0; i < params.size(); ++i) lines << params.at(i).Parameter << params.at(i).Format << c.values.at(i);
        for (const auto& [locale, expected] : {std::pair{English(), c.english}, {German(), c.german}}) {
            LocaleGuard guard(locale);
            EXPECT_EQ(FileValuesByPosition(ParseDataFile(lines), params).meterValues, expected);
        }
    }

    // The registers kept for a tag serve only the text they were saved with.
    const QStringList saved = DataFileLines("M.map", params, {"12.5", "1,2,3", "10,110", "AB"},
                                            {{}, {}, {}, EEValue{7, 4, {0x41, 0x09, 0x42, 0x07}}});
    ASSERT_EQ(saved.last(), "Registers 3: 41094207");
    QStringList edited = saved;
    edited[2 + 3 * 3 + 2] = "AC";
    Quiet report;
    for (const auto& [lines, tag] : {std::pair{saved, QVector<qint32>{0x41, 0x09, 0x42, 0x07}},
                                     {edited, QVector<qint32>{0x41, 0x43, 0, 0}}}) {
        const FileValues file = FileValuesByPosition(ParseDataFile(lines), params);
        const ValuesCheck check = CheckMeterValues(params, file.meterValues, eval, rounder, report, file.exactRegisters);
        EXPECT_EQ(check.registers.at(3).Values, tag);
    }
}

} // namespace
} // namespace vorda::test
