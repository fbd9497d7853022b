// The meter session without a window: its rows, verdict, record and files
// after each command, against a simulated meter on the test serial layer.
#include "values/MeterSession.h"

#include "meter/MeterProtocol.h"
#include "meter/SimMeter.h"
#include "meter/SimSerialLayer.h"
#include "tests/values/ValuesFixture.h"

#include <memory>

namespace vorda::test {
namespace {

class CountingReport : public MeterReport {
public:
    void RegisterFailed(MeterDirection, int, const DMap&, int) override { ++failures; }
    void TooManyFailures(MeterDirection) override {}
    void InvalidValue(int, const DMap& p, const QString&) override { refused << p.Parameter; }
    int failures = 0;
    QStringList refused;
};

// A simulated meter on its port, the program's state and a session on them.
struct Rig {
    static constexpr int kPort = 2;
    Rig(const UnitRow& temperature, const EquationEvaluator& eval, const SigFigRounder& rounder)
        : session(map, flags, units, eval, rounder) {
        units.CurrentUnits = {temperature};
        layer.attach(kPort, &meter);
        link.ComPortNumber = kPort;
        protocol.ConnectToPort(kPort);
        map.MapParams = {
            test::Param(0, 1, "Flow", "Int16", "0.1", 1, "1"),
            test::Param(2, 5, "Tag", "ASCII", "1", 4, "2"),
            test::Param(6, 6, "Temp", "Int8", "1", 1, "3", QString(), QString(), "Temperature"),
        };
        map.CurrentMapFile = "ZUVMap9.Map";
        map.MapLoaded = true;
        meter.setReg(1, 250); // 25.0
        const char tag[] = {'A', 'B', 7, 'C'};
        for (int r = 0; r < 4; ++r) meter.setReg(2 + r, quint8(tag[r]));
        meter.setReg(6, 100); // 100 degrees C
        session.ResetRows();
        session.Files().mapFile = map.CurrentMapFile;
        session.BeginConnection(kPort + 1, 9);
    }
    QVector<ValueOrigin> Origins() const {
        QVector<ValueOrigin> out;
        for (const ParameterRow& r : session.Rows()) out << r.origin;
        return out;
    }
    // What a box does: its text goes back into the row.
    void Type(int i, const QString& text) {
        session.SetShown(i, text);
        session.MarkTyped(i);
    }
    ReadOutcome Read() { return session.Read(protocol, report, session.RowCount()); }
    ValuesCheck Check() { return session.Check(report, session.RowCount()); }

    SimSerialLayer layer;
    SimMeter meter;
    MeterLinkState link;
    MeterProtocol protocol{layer, link};
    LoadedMap map;
    ScreenFlags flags;
    DisplayUnitTables units;
    MeterSession session;
    CountingReport report;
};

class MeterSessionTest : public ValuesTest {
protected:
    void SetUp() override {
        ValuesTest::SetUp();
        rig = NewRig();
    }
    std::unique_ptr<Rig> NewRig() { return std::make_unique<Rig>(Fahrenheit(), eval, rounder); }
    std::unique_ptr<Rig> rig;
};

using O = ValueOrigin;

TEST_F(MeterSessionTest, RowsTellWhereEachValueCameFromAndHowSureItIs) {
    struct Case {
        const char* name;
        QSet<int> failRegisters; // a read that loses these registers
        bool type = false;       // then the user types 30 into Flow
        bool write = false;      // then the checked values are written and read back
        QSet<int> ignoreWrites;  // registers the meter echoes but does not keep
        QVector<ValueOrigin> origins;
        CheckVerdict verdict;
    };
    const Case cases[] = {
        {"whole read", {}, false, false, {}, {O::Read, O::Read, O::Read}, CheckVerdict::Ok},
        {"failed register", {3}, false, false, {}, {O::Read, O::ReadFailed, O::Read}, CheckVerdict::NotOk},
        {"typed", {}, true, false, {}, {O::Typed, O::Read, O::Read}, CheckVerdict::Ok},
        {"written and read back", {}, true, true, {}, {O::Verified, O::Verified, O::Verified}, CheckVerdict::Ok},
        {"echoed, not kept", {}, true, true, {1}, {O::Written, O::Verified, O::Verified}, CheckVerdict::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<Rig> r = NewRig();
        SimMeter::Faults faults;
        faults.failRegisters = c.failRegisters;
        r->meter.setFaults(faults);
        EXPECT_EQ(r->Read().failures, c.failRegisters.size());
        faults.failRegisters.clear();
        faults.ignoreWrites = c.ignoreWrites;
        r->meter.setFaults(faults);
        if (c.type) r->Type(0, "30");
        EXPECT_EQ(r->session.Verdict(), c.type ? CheckVerdict::Stale : CheckVerdict::NotChecked);
        r->Check();
        EXPECT_EQ(r->session.Verdict(), c.verdict);
        if (c.write) {
            const WriteResult w = r->session.Write(r->protocol, r->report);
            EXPECT_EQ(w.Verified(), c.ignoreWrites.isEmpty());
            EXPECT_EQ(w.differing, c.ignoreWrites.isEmpty() ? QStringList() : QStringList{"Flow"});
            EXPECT_EQ(r->flags.MeterInSync, w.Verified());
            EXPECT_EQ(r->session.Files().lastWriteMap, w.Verified() ? QString("ZUVMap9.Map") : SessionFiles::NotYetSet());
            EXPECT_EQ(r->session.Record().verification, w.Verified() ? Verification::Verified : Verification::Differences);
        }
        EXPECT_EQ(r->Origins(), c.origins);
    }
}

TEST_F(MeterSessionTest, AnUneditedValueKeepsTheBytesItsTextCannotShow) {
    rig->Read();
    // The tag holds a control character that its text drops.
    EXPECT_EQ(rig->session.Row(1).shown, "ABC");
    rig->Check();
    EXPECT_EQ(rig->session.Row(1).registers.Values, (QVector<int>{'A', 'B', 7, 'C'}));
    // Another text is a new value: the check encodes it.
    rig->Type(1, "ABD");
    EXPECT_FALSE(rig->session.Row(1).Unedited());
    rig->Check();
    EXPECT_EQ(rig->session.Row(1).registers.Values, (QVector<int>{'A', 'B', 'D', 0}));
}

TEST_F(MeterSessionTest, LoadedValuesAreShownInTheirTypesUnitAndAnUnknownTypeInMeterUnits) {
    rig->map.MapParams[0].PType = "NoSuchType";
    rig->session.ResetRows();
    rig->session.ShowValue(0, "25", {}, O::Loaded);
    rig->session.ShowValue(2, "100", {}, O::Loaded);
    EXPECT_EQ(rig->session.UnitOf(rig->session.Row(0).param), nullptr);
    EXPECT_EQ(rig->session.Row(0).shown, "25");
    EXPECT_EQ(rig->session.Row(2).shown, "212");
    EXPECT_EQ(rig->session.Row(2).origin, O::Loaded);
    rig->Check();
    EXPECT_EQ(rig->session.MeterValues().at(2), "100");
    EXPECT_EQ(rig->session.EEValues().at(2).Values, QVector<int>{100});
}

TEST_F(MeterSessionTest, TheRecordFollowsTheMeterAndAVerifyNamesWhatDiffers) {
    rig->Read();
    ASSERT_TRUE(rig->session.Record().asFoundTaken);
    rig->Check();
    rig->meter.setReg(6, 50); // changed behind the program's back
    const VerifyResult v = rig->session.Verify(rig->protocol, rig->report);
    ASSERT_TRUE(v.Compared());
    EXPECT_EQ(v.differing, QStringList{"Temp"});
    EXPECT_EQ(rig->session.Record().verification, Verification::Differences);
    EXPECT_EQ(rig->session.Record().asLeft.at(2), "50");
    EXPECT_FALSE(rig->flags.MeterInSync);

    // A meter that stops answering leaves the verification broken, not passed.
    SimMeter::Faults silent;
    silent.silent = true;
    rig->meter.setFaults(silent);
    EXPECT_FALSE(rig->session.Verify(rig->protocol, rig->report).Compared());
    EXPECT_EQ(rig->session.Record().verification, Verification::NotVerified);
}

TEST_F(MeterSessionTest, AnAbortedWriteSaysWhatLandedAndLeavesTheMeterOutOfStep) {
    rig->Read();
    rig->Check();
    rig->flags.MeterInSync = true;
    SimMeter::Faults faults;
    faults.failRegisters = {2, 3, 4, 5};
    rig->meter.setFaults(faults);
    const WriteResult w = rig->session.Write(rig->protocol, rig->report);
    EXPECT_TRUE(w.written.aborted);
    EXPECT_FALSE(w.readBackTried);
    EXPECT_EQ(w.landings, (QVector<WriteLanding>{WriteLanding::Whole, WriteLanding::None, WriteLanding::None}));
    EXPECT_FALSE(rig->flags.MeterInSync);
    EXPECT_EQ(rig->session.Record().asLeft.at(1), CommissioningRecord::UnknownValue());
}

class EventLog : public MeterEventSink {
public:
    void MeterEventHappened(const MeterEvent& e) override { events << e; }
    QStringList Values(int k) const {
        QStringList out;
        for (const EventValue& v : events.at(k).values) out << v.value;
        return out;
    }
    QVector<MeterEvent> events;
};

// Each event names the meter by the serial number it had before the event
// (read first when a write comes before any read) and holds what the meter
// holds after it, "unknown" where a register may or may not have landed.
TEST_F(MeterSessionTest, EventsNameTheMeterAndHoldWhatItHoldsAfterThem) {
    rig->map.MapParams << test::Param(7, 7, "Serial Number", "Int8", "1", 1, "4");
    rig->session.ResetRows();
    rig->meter.setReg(7, 42);
    EventLog log;
    rig->session.SetEventSink(&log);
    const QStringList typed{"30", "WXYZ", "212", "42"};
    for (int i = 0; i < typed.size(); ++i) rig->Type(i, typed.at(i));
    ASSERT_TRUE(rig->Check().ok);
    rig->session.SetWriteReason("new range");
    ASSERT_TRUE(rig->session.Write(rig->protocol, rig->report).Verified());
    ASSERT_EQ(log.events.size(), 1);
    const MeterEvent& write = log.events.at(0);
    EXPECT_EQ(write.kind, MeterEventKind::Write);
    EXPECT_EQ(write.serial, "42");
    EXPECT_EQ(write.outcome, "verified");
    EXPECT_EQ(write.reason, "new range");
    EXPECT_EQ(log.Values(0), (QStringList{"30", "WXYZ", "100", "42"}));
    EXPECT_EQ(write.values.at(1).ack, WriteAck::All);
    EXPECT_EQ(write.values.at(1).registers, (QVector<int>{'W', 'X', 'Y', 'Z'}));

    rig->meter.setReg(7, 0); // a serial never set
    rig->meter.setReg(6, 50);
    ASSERT_TRUE(rig->session.Verify(rig->protocol, rig->report).Compared());
    ASSERT_EQ(log.events.size(), 2);
    EXPECT_EQ(log.events.at(1).kind, MeterEventKind::Verify);
    EXPECT_EQ(log.events.at(1).differing, (QStringList{"Temp", "Serial Number"}));
    EXPECT_EQ(log.Values(1), (QStringList{"30", "WXYZ", "50", "0"}));
    EXPECT_TRUE(log.events.at(1).serial.isEmpty());

    rig->meter.setReg(7, 42);
    rig->Read();
    ASSERT_TRUE(rig->Check().ok);
    SimMeter::Faults faults;
    faults.failRegisters = {3, 4, 5, 6};
    rig->meter.setFaults(faults);
    rig->session.Write(rig->protocol, rig->report);
    ASSERT_EQ(log.events.size(), 4);
    EXPECT_EQ(log.events.at(2).kind, MeterEventKind::Read);
    const MeterEvent& aborted = log.events.at(3);
    EXPECT_EQ(aborted.outcome, "aborted");
    EXPECT_EQ(aborted.values.at(1).ack, WriteAck::Part);
    EXPECT_EQ(log.Values(3), (QStringList{"30", CommissioningRecord::UnknownValue(),
                                          CommissioningRecord::UnknownValue(), "42"}));
    EXPECT_TRUE(rig->session.Known().at(1).registers.isEmpty());

    // A reason given for a write that never reached the meter is not kept
    // for the next one.
    rig->session.SetWriteReason("never sent");
    SimMeter::Faults silent;
    silent.silent = true;
    rig->meter.setFaults(silent);
    rig->session.Write(rig->protocol, rig->report);
    ASSERT_EQ(log.events.size(), 4);
    rig->meter.setFaults({});
    rig->session.Write(rig->protocol, rig->report);
    ASSERT_EQ(log.events.size(), 5);
    EXPECT_TRUE(log.events.at(4).reason.isEmpty());
}

} // namespace
} // namespace vorda::test
