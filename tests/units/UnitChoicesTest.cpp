#include "units/UnitChoices.h"

#include <gtest/gtest.h>

namespace vorda {
namespace {

// Types interleaved on purpose: rows follow first appearance, units file order.
QList<DisplayDataType> SampleData() {
    return {{"Flow", "l/s", "M", "D"},
            {"Temp", "C", "M", "D"},
            {"Flow", "l/min", "M*60", "D/60"},
            {"Volume", "m3", "M", "D"},
            {"Temp", "F", "M*9/5+32", "D-32*5/9"},
            {"Flow", "l/min", "M*60.0", "D/60.0"}};
}

TEST(UnitChoicesTest, WithoutSavedRowsEveryTypeStartsWithItsFirstUnit) {
    QList<UnitRow> current{{"stale", "M", "D", "x"}};
    const QList<UnitChooser> choosers = BuildCurrentUnits(SampleData(), {}, &current);
    ASSERT_EQ(current.size(), 3);
    EXPECT_EQ(current[0], (UnitRow{"Flow", "M", "D", "l/s"}));
    EXPECT_EQ(current[1], (UnitRow{"Temp", "M", "D", "C"}));
    EXPECT_EQ(current[2], (UnitRow{"Volume", "M", "D", "m3"}));
    ASSERT_EQ(choosers.size(), 3);
    EXPECT_EQ(choosers[0].type, "Flow");
    EXPECT_EQ(choosers[0].unitNames, (QStringList{"l/s", "l/min", "l/min"}));
    EXPECT_EQ(choosers[0].shownText, "l/s");
    EXPECT_EQ(choosers[1].unitNames, (QStringList{"C", "F"}));
    EXPECT_EQ(choosers[1].shownText, "C");
    EXPECT_EQ(choosers[2].shownText, "m3");
}

TEST(UnitChoicesTest, SavedRowsAreTakenByPositionWhateverTheirType) {
    // Two saved rows for three types: the third type starts with its first
    // unit. The second saved row names another type and is used unchanged.
    const QList<UnitRow> saved{{"Flow", "M*60", "D/60", "l/min"}, {"Pressure", "M/100", "D*100", "bar"}};
    QList<UnitRow> current;
    const QList<UnitChooser> choosers = BuildCurrentUnits(SampleData(), saved, &current);
    ASSERT_EQ(current.size(), 3);
    EXPECT_EQ(current[0], (UnitRow{"Flow", "M*60", "D/60", "l/min"}));
    EXPECT_EQ(current[1], (UnitRow{"Temp", "M/100", "D*100", "bar"}));
    EXPECT_EQ(current[2], (UnitRow{"Volume", "M", "D", "m3"}));
    EXPECT_EQ(choosers[0].shownText, "l/min");
    EXPECT_EQ(choosers[1].shownText, "bar"); // remembered, though not in its list
    EXPECT_EQ(choosers[2].shownText, "m3");
}

TEST(UnitChoicesTest, NoEntriesGiveNoTypes) {
    QList<UnitRow> current{{"a", "b", "c", "d"}};
    EXPECT_TRUE(BuildCurrentUnits({}, {{"Flow", "M", "D", "l/s"}}, &current).isEmpty());
    EXPECT_TRUE(current.isEmpty());
}

TEST(UnitChoicesTest, AnEmptyLineMakesATypeWithAnEmptyName) {
    QList<UnitRow> current;
    const QList<UnitChooser> choosers = BuildCurrentUnits({{"", "", "", ""}, {"Flow", "l/s", "M", "D"}}, {}, &current);
    ASSERT_EQ(current.size(), 2);
    EXPECT_EQ(current[0], (UnitRow{"", "", "", ""}));
    EXPECT_EQ(choosers[0].unitNames, QStringList{""});
}

TEST(UnitChoicesTest, APickTakesTheLastEntryOfThatNameAndTypedTextsChangeNothing) {
    DisplayUnitTables tables;
    tables.DisplayData = SampleData();
    BuildCurrentUnits(tables.DisplayData, {}, &tables.CurrentUnits);
    const QList<UnitRow> before = tables.CurrentUnits;

    const struct {
        const char* type;
        const char* text;
        int row;
        UnitRow expected;
    } cases[] = {
        {"Flow", "l/min", 0, {"Flow", "M*60.0", "D/60.0", "l/min"}}, // the last of two entries wins
        {"Temp", "F", 1, {"Temp", "M*9/5+32", "D-32*5/9", "F"}},
        {"Temp", "f", 1, {"Temp", "M*9/5+32", "D-32*5/9", "F"}},       // case matters: no change
        {"Temp", "m3", 1, {"Temp", "M*9/5+32", "D-32*5/9", "F"}},      // another type's unit: no change
        {"Volume", "", 2, {"Volume", "M", "D", "m3"}},
        {"Temp", "C", 1, {"Temp", "M", "D", "C"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + "/" + c.text);
        ApplyUnitChoice(tables, c.type, c.text);
        EXPECT_EQ(tables.CurrentUnits[c.row], c.expected);
    }
    // Rows of other types are never touched.
    EXPECT_EQ(tables.CurrentUnits[2], before[2]);
    // A type without a row falls on row 0 (the lookup answers 0), and only
    // changes it when an entry of that type and name exists.
    ApplyUnitChoice(tables, "Density", "kg/l");
    EXPECT_EQ(tables.CurrentUnits[0], (UnitRow{"Flow", "M*60.0", "D/60.0", "l/min"}));
}

TEST(UnitChoicesTest, APickWithoutRowsDoesNothing) {
    DisplayUnitTables tables;
    tables.DisplayData = SampleData();
    ApplyUnitChoice(tables, "Flow", "l/s");
    EXPECT_TRUE(tables.CurrentUnits.isEmpty());
}

} // namespace
} // namespace vorda
