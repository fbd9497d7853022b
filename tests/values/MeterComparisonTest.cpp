// The comparison of the meter with a data file or the screen, the values a
// write of the ticked rows sends, and what differs after it.
#include "values/MeterComparison.h"

#include "tests/values/ValuesFixture.h"
#include "values/ParameterFields.h"

namespace vorda::test {
namespace {

class MeterComparisonTest : public ValuesTest {
protected:
    void SetUp() override {
        ValuesTest::SetUp();
        params = {
            test::Param(0, 3, "Serial", "Int32", "1", 1, "1", "R"),
            test::Param(4, 5, "Flow", "Int16", "0.1", 1, "2"),
            test::Param(6, 9, "Tag", "ASCII", "1", 4, "3"),
            test::Param(10, 10, "Secret", "Int8", "1", 1, "4", "C"),
            test::Param(11, 13, "Limits", "Int8", "1", 3, "5", QString(), "A"),
            test::Param(14, 14, "Level", "Int8", "1", 1, "6"),
        };
        meter = Read({{0, 0, 3, 232}, {1, 44}, {'A', 'B', 'C', 'D'}, {4}, {1, 2, 3}, {7}});
    }
    ReadOutcome Read(const QVector<QVector<int>>& bytes) const {
        ReadOutcome out;
        out.handshakeOk = true;
        out.bytes = bytes;
        for (int i = 0; i < params.size(); ++i) {
            out.meterValues << DecodeRead(params.at(i), bytes.at(i));
            out.complete << true;
        }
        return out;
    }
    ValuesCheck Check(const QStringList& values) {
        SilentReport report;
        return CheckMeterValues(params, values, eval, rounder, report);
    }
    FileComparison Compare(const QStringList& fileValues, bool maker) {
        const ComparisonDisplay display{[](const DMap&, const QString& v) { return "d:" + v; },
                                        [](const DMap& p) { return p.PType; }};
        return CompareMeterWithFile(params, meter, fileValues, Check(fileValues), maker, display);
    }

    struct SilentReport : MeterReport {
        void RegisterFailed(MeterDirection, int, const DMap&, int) override {}
        void TooManyFailures(MeterDirection) override {}
        void InvalidValue(int, const DMap&, const QString&) override {}
    };

    QList<DMap> params;
    ReadOutcome meter;
};

TEST_F(MeterComparisonTest, RowsFollowAccessAndCompareRegistersNotTexts) {
    ASSERT_EQ(meter.meterValues.at(1), "30");
    // Serial differs but is read-only; Flow's "30.0" is the meter's 30 in
    // other words; Secret is maker-only; Limits breaks its order rule; Level
    // is missing from the file.
    const QStringList file{"2000", "30.0", "ABCD", "5", "3,2,1"};
    struct Row {
        const char* name;
        bool differs, tickable, ticked;
    };
    const struct {
        bool maker;
        std::vector<Row> rows;
        int differences;
    } cases[] = {
        {false,
         {{"Serial", true, false, false}, {"Flow", false, true, false}, {"Tag", false, true, false},
          {"Limits", true, true, false}, {"Level", false, false, false}},
         2},
        {true,
         {{"Serial", true, true, true}, {"Flow", false, true, false}, {"Tag", false, true, false},
          {"Secret", true, true, true}, {"Limits", true, true, false}, {"Level", false, false, false}},
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maker ? "maker" : "ordinary");
        const FileComparison cmp = Compare(file, c.maker);
        ASSERT_EQ(cmp.rows.size(), qsizetype(c.rows.size()));
        EXPECT_EQ(cmp.differences, c.differences);
        for (size_t k = 0; k < c.rows.size(); ++k) {
            const WriteChoiceRow& r = cmp.rows.at(qsizetype(k));
            EXPECT_EQ(r.parameter, c.rows[k].name);
            EXPECT_EQ(r.differs, c.rows[k].differs) << c.rows[k].name;
            EXPECT_EQ(r.tickable, c.rows[k].tickable) << c.rows[k].name;
            EXPECT_EQ(cmp.ticked.at(qsizetype(k)), c.rows[k].ticked) << c.rows[k].name;
            EXPECT_EQ(params.at(cmp.indexes.at(qsizetype(k))).Parameter, c.rows[k].name);
        }
    }
    const FileComparison cmp = Compare(file, false);
    EXPECT_EQ(cmp.rows.at(1).meterText, "d:30");
    EXPECT_EQ(cmp.rows.at(3).fileText, "3,2,1 (invalid)"); // shown as the file holds it
    EXPECT_EQ(cmp.rows.at(4).fileText, "(none)");
}

TEST_F(MeterComparisonTest, ATickedWriteTakesTheFileOnlyWhereTickedAndWritable) {
    const QStringList file{"2000", "31", "WXYZ", "5", "1,2,4", "9"};
    const FileComparison cmp = Compare(file, false);
    // Rows: Serial, Flow, Tag, Limits, Level. Serial (read-only) ticked by a
    // faulty front end must still not be written.
    const TickedWrite plan = PlanTickedWrite(cmp, meter.meterValues, file, {true, true, false, false, true});
    EXPECT_EQ(plan.selected, (QVector<bool>{false, true, false, false, false, true}));
    EXPECT_EQ(plan.values, (QStringList{"1000", "31", "ABCD", "4", "1,2,3", "9"}));
}

TEST_F(MeterComparisonTest, OnlyARefusedValueThatIsSelectedStopsTheWrite) {
    const ValuesCheck check = Check({"1000", "30", "ABCD", "4", "3,2,1", "7"});
    ASSERT_EQ(check.refused, (QVector<bool>{false, false, false, false, true, false}));
    EXPECT_FALSE(SelectedValueRefused(check, {true, true, false, false, false, true}));
    EXPECT_TRUE(SelectedValueRefused(check, {false, false, false, false, true, false}));
    // A check that broke off refused everything.
    EXPECT_TRUE(SelectedValueRefused(ValuesCheck{}, {false, true}));
}

TEST_F(MeterComparisonTest, DifferencesAfterAWriteAndAgainstTheScreen) {
    const ValuesCheck written = Check({"1000", "31", "ABCD", "4", "1,2,3", "9"});
    const QVector<bool> selected{false, true, false, false, false, true};
    // Flow took its value; Level kept 7; Tag changed though it was not written.
    const ReadOutcome after = Read({{0, 0, 3, 232}, {1, 54}, {'A', 'B', 'C', 'E'}, {4}, {1, 2, 3}, {7}});
    EXPECT_EQ(DifferingAfterWrite(params, selected, written.registers, meter.bytes, after.bytes),
              (QStringList{"Tag", "Level"}));
    EXPECT_TRUE(DifferingAfterWrite(params, selected, written.registers, meter.bytes, meter.bytes.mid(0, 1) +
                                        after.bytes.mid(1, 1) + meter.bytes.mid(2, 3) + QVector<QVector<int>>{{9}})
                    .isEmpty());

    // The screen: exact registers where it has a value, texts where it has none.
    const ValuesCheck screen = Check({"1000", "30", "ABCD", "4", "1,2,3", ""});
    ASSERT_EQ(screen.registers.at(5).RegCount, 0);
    EXPECT_EQ(DifferingFromScreen(params, screen.registers, screen.meterValues, meter), QStringList{"Level"});
    const ValuesCheck same = Check(meter.meterValues);
    EXPECT_TRUE(DifferingFromScreen(params, same.registers, same.meterValues, meter).isEmpty());
    EXPECT_EQ(DifferingFromScreen(params, same.registers, same.meterValues, after), (QStringList{"Flow", "Tag"}));
}

} // namespace
} // namespace vorda::test
