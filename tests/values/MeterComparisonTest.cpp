// The comparison of the meter with a data file.
#include "values/MeterComparison.h"

#include "tests/values/ValuesFixture.h"
#include "values/ParameterFields.h"

namespace vorda::test {
namespace {

struct SilentReport : MeterReport {
    void RegisterFailed(MeterDirection, int, const DMap&, int) override {}
    void TooManyFailures(MeterDirection) override {}
    void InvalidValue(int, const DMap&, const QString&) override {}
};

class MeterComparisonTest : public ValuesTest {
protected:
    ReadOutcome Read(const QVector<QVector<int>>& bytes) const {
        ReadOutcome out;
        out.bytes = bytes;
        for (int i = 0; i < params.size(); ++i) out.meterValues << DecodeRead(params.at(i), bytes.at(i));
        return out;
    }
    ValuesCheck Check(const QStringList& values) {
        SilentReport report;
        return CheckMeterValues(params, values, eval, rounder, report);
    }

    QList<DMap> params{
        test::Param(0, 3, "Serial", "Int32", "1", 1, "1", "R"),
        test::Param(4, 5, "Flow", "Int16", "0.1", 1, "2"),
        test::Param(6, 9, "Tag", "ASCII", "1", 4, "3"),
        test::Param(10, 10, "Secret", "Int8", "1", 1, "4", "C"),
        test::Param(11, 13, "Limits", "Int8", "1", 3, "5", QString(), "A"),
        test::Param(14, 14, "Level", "Int8", "1", 1, "6"),
    };
    ReadOutcome meter = Read({{0, 0, 3, 232}, {1, 44}, {'A', 'B', 'C', 'D'}, {4}, {1, 2, 3}, {7}});
};

TEST_F(MeterComparisonTest, RowsFollowAccessAndCompareRegistersNotTexts) {
    // Serial differs but is read-only; Flow's "30.0" is the meter's 30 in
    // other words; Secret is maker-only; Limits breaks its order rule; Level
    // is missing from the file.
    const QStringList file{"2000", "30.0", "ABCD", "5", "3,2,1"};
    // Per row: name, differs, tickable, ticked at first.
    const struct {
        bool maker;
        QStringList rows;
        int differences;
    } cases[] = {
        {false, {"Serial 1 0 0", "Flow 0 1 0", "Tag 0 1 0", "Limits 1 1 0", "Level 0 0 0"}, 2},
        {true, {"Serial 1 1 1", "Flow 0 1 0", "Tag 0 1 0", "Secret 1 1 1", "Limits 1 1 0", "Level 0 0 0"}, 3},
    };
    const ComparisonDisplay display{[](const DMap&, const QString& v) { return "d:" + v; },
                                    [](const DMap& p) { return p.PType; }};
    for (const auto& c : cases) {
        const FileComparison cmp = CompareMeterWithFile(params, meter, file, Check(file), c.maker, display);
        QStringList rows;
        for (int k = 0; k < cmp.rows.size(); ++k) {
            const WriteChoiceRow& r = cmp.rows.at(k);
            EXPECT_EQ(params.at(cmp.indexes.at(k)).Parameter, r.parameter);
            rows << QStringLiteral("%1 %2 %3 %4").arg(r.parameter).arg(r.differs).arg(r.tickable).arg(cmp.ticked.at(k));
        }
        EXPECT_EQ(rows, c.rows) << c.maker;
        EXPECT_EQ(cmp.differences, c.differences);
        EXPECT_EQ(cmp.rows.at(1).meterText, "d:30");
        EXPECT_EQ(cmp.rows.at(c.maker ? 4 : 3).fileText, "3,2,1 (invalid)"); // as the file holds it
        EXPECT_EQ(cmp.rows.last().fileText, "(none)");
    }
}

} // namespace
} // namespace vorda::test
