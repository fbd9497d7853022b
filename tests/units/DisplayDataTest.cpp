#include "units/DisplayData.h"

#include "base/TextFiles.h"
#include "base/UserError.h"
#include "tests/support/ScriptedInteraction.h"
#include "tests/units/LocaleGuard.h"
#include "units/Equations.h"
#include "units/SigFigs.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

namespace vorda {
namespace {

TEST(DisplayDataTest, SplitsAtTheFirstThreeTabs) {
    const struct {
        const char* line;
        DisplayDataType entry;
    } cases[] = {
        {"Flow\tl/s\tM\tD", {"Flow", "l/s", "M", "D"}},
        {"a\tb\tc\td\te", {"a", "b", "c", "d\te"}},
        {"Type\tUnit", {"Type", "", "", "Unit"}},
        {"a\tb\tc", {"a", "b", "", "c"}},
        {"nothing", {"", "", "", "nothing"}},
        {"", {"", "", "", ""}},
        {"\t\t\t", {"", "", "", ""}},
        {"\t\t\t\t", {"", "", "", "\t"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitDisplayLine(QString::fromLatin1(c.line)), c.entry) << c.line;
}

TEST(DisplayDataTest, SkipsTwoHeadingsAndKeepsEmptyLines) {
    EXPECT_TRUE(ParseDisplayData({}).isEmpty());
    EXPECT_TRUE(ParseDisplayData({"title"}).isEmpty());
    EXPECT_TRUE(ParseDisplayData({"title", "PType\tUnits\tMtoD\tDtoM"}).isEmpty());
    const QList<DisplayDataType> entries = ParseDisplayData({"title", "heads", "", "Flow\tl/s\tM\tD", ""});
    const QList<DisplayDataType> expected = {{}, {"Flow", "l/s", "M", "D"}, {}};
    EXPECT_EQ(entries, expected);
}

TEST(DisplayDataTest, RowLookup) {
    DisplayUnitTables t;
    EXPECT_EQ(t.GetComboNumber("Flow"), 0);
    EXPECT_EQ(t.ThisComboNumber("Flow"), -1);
    t.CurrentUnits = {{"Flow", "M", "D", "l/s"}, {"Volume", "M", "D", "l"}, {"Volume", "M*2", "D/2", "x"}};
    const struct {
        const char* name;
        int get, thisOne;
    } cases[] = {{"Flow", 0, 0}, {"Volume", 1, 1}, {"Pressure", 0, -1}, {"flow", 0, -1}, {"", 0, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(t.GetComboNumber(c.name), c.get) << c.name;
        EXPECT_EQ(t.ThisComboNumber(c.name), c.thisOne) << c.name;
    }
}

TEST(DisplayDataFileTest, ReadsWindows1252FromStartDirWithoutRegardToCase) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString before = QDir::currentPath();
    QList<DisplayDataType> out = {{"old", "", "", ""}};
    EXPECT_FALSE(ReadDisplayDataFile(dir.path(), &out));
    EXPECT_EQ(out.size(), 1); // untouched

    QFile f(dir.filePath("vordadisplaydata.TXT"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("head 1\r\nhead 2\r\nVolume\tm\xb3\tM\tD\r\n\r\nTemperature\t\xb0" "F\tM*9/5+32\tD-32*5/9\r\n");
    f.close();
    ASSERT_TRUE(ReadDisplayDataFile(dir.path(), &out));
    const QList<DisplayDataType> expected = {{"Volume", QString::fromUtf8("m\u00b3"), "M", "D"},
                                             {},
                                             {"Temperature", QString::fromUtf8("\u00b0F"), "M*9/5+32", "D-32*5/9"}};
    EXPECT_EQ(out, expected);
    EXPECT_EQ(QDir::currentPath(), before);
}

TEST(DisplayDataFileTest, MissingFileMessage) {
    EXPECT_EQ(DisplayDataMissingMessage("/opt/vorda/share/vorda/"),
              QStringLiteral("Display Data File: VORDADisplayData.txt not found in /opt/vorda/share/vorda/.  "
                             "Contact ZUV Meters Inc.  Application closing.\n\rVORDA Version: 3.9.5"));
}

// The installed file: every unit's two equations must undo each other, in a
// locale whose decimal separator is a point and in one where it is a comma
// (the equations hold whole numbers only, so they read alike in both).
TEST(InstalledDisplayDataTest, EquationsAreInverseInEveryLocale) {
    for (const QLocale& locale : {test::English(), test::German()}) {
        SCOPED_TRACE(locale.name().toStdString());
        test::LocaleGuard g(locale);
        QList<DisplayDataType> data;
        ASSERT_TRUE(ReadDisplayDataFile(QStringLiteral(VORDA_DATA_DIR), &data));
        QStringList types;
        for (const DisplayDataType& d : data) {
            ASSERT_FALSE(d.PType.isEmpty());
            ASSERT_FALSE(d.Units.isEmpty());
            if (!types.contains(d.PType)) types << d.PType;
        }
        EXPECT_EQ(types, QStringList({"Flow", "Volume", "Temperature", "Pressure", "Length"}));

        // With 15 figures the round trip is exact but for binary noise; with 5
        // it is within the two roundings, measured on the larger magnitude.
        test::ScriptedInteraction ui;
        for (const auto& [figures, tolerance] : {std::pair{15, 1e-12}, std::pair{5, 1.1e-4}}) {
            SigFigRounder rounder(figures, ui);
            EquationEvaluator eval(rounder, ui);
            for (const DisplayDataType& d : data) {
                for (double m : {0.0, 0.5, 1.0, 12.5, 100.0, 1234.0, 65535.0, 4294967.0}) {
                    double shown = 0, back = 0;
                    try {
                        shown = eval.ParseMtoD(m, d.MtoD);
                        back = eval.ParseMtoD(shown, d.DtoM);
                    } catch (const UserError& e) {
                        ADD_FAILURE() << d.MtoD.toStdString() << ": " << e.text().toStdString();
                        continue;
                    }
                    const double expected = double(rounder.SigFigs(m));
                    EXPECT_NEAR(back, expected, tolerance * std::max({std::fabs(m), std::fabs(shown), 1e-9}))
                        << figures << " " << d.PType.toStdString() << " " << d.MtoD.toStdString() << " " << m;
                }
            }
        }
        EXPECT_TRUE(ui.shown.empty());
    }
}

} // namespace
} // namespace vorda
