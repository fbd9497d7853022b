// The data check through the main window: the register table, exact values
// of unedited boxes, lists of values, limits of the register integers and
// characters the meter cannot hold.
#include "WindowTestMaps.h"

#include "tests/units/LocaleGuard.h"

#include <QTest>

namespace vorda::test {
namespace {


class CheckWindowTest : public WindowTest {
protected:
    void Open(const QString& path) {
        ui.choosePath(path);
        Trigger("ReadData");
    }
};

TEST_F(CheckWindowTest, ACheckThatBreaksOffKeepsTheLastRegisterTable) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 0, "Level", "Int8", "1", 1, "1"), Param(1, 2, "Rate", "Int16", "1", 1, "2")});
    Box(0)->setText("7");
    Box(1)->setText("4660");
    Press("CheckData");
    ASSERT_EQ(Status()->text(), "Data OK");
    const QVector<EEValue> good = mw()->EEValues();
    ASSERT_EQ(good[1].Values, (QVector<qint32>{0x12, 0x34}));
    program->map.MapParams[1].Multiplier = "abc";
    ui.clear();
    Press("CheckData");
    EXPECT_EQ(Said(), QStringList{"Errors in data checking"});
    EXPECT_EQ(Status()->text(), "Data OK"); // the status keeps its text ...
    EXPECT_EQ(mw()->EEValues(), good);       // ... and so does the table it stands for
}

TEST_F(CheckWindowTest, BoxColoursFollowTypingAndChecking) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 0, "Level", "Int8", "1", 1, "1"), Param(1, 1, "Other", "Int8", "1", 1, "2")});
    QTest::keyClicks(Box(0), "300");
    QTest::keyClicks(Box(1), "3");
    EXPECT_EQ(TextColour(Box(0)), BoxMark(Mark::Warning));
    Press("CheckData");
    EXPECT_EQ(TextColour(Box(0)), BoxMark(Mark::Refused));
    EXPECT_EQ(TextColour(Box(1)), BoxMark(Mark::Plain));
    EXPECT_EQ(Box(0)->text(), "300"); // an invalid value stays as typed
    Box(0)->selectAll();
    QTest::keyClicks(Box(0), "30");
    EXPECT_EQ(TextColour(Box(0)), BoxMark(Mark::Warning));
    EXPECT_EQ(Status()->text(), "Re-Check Data");
    ui.clear();
    Press("CheckData");
    EXPECT_TRUE(Said().isEmpty()) << Said().join("|").toStdString();
    EXPECT_EQ(TextColour(Box(0)), BoxMark(Mark::Plain));
    EXPECT_EQ(TextColour(Box(1)), BoxMark(Mark::Plain));
}

TEST_F(CheckWindowTest, NormalisingABoxCountsAsAnEdit) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 0, "Level", "Int8", "1", 1, "1"), Param(1, 2, "Rate", "Int16", "0.1", 1, "2")});
    struct Case { const char* typed; const char* shown; int registers; } cases[] = {
        {"1.5", "2", 2}, {"1.4", "1", 1}, {"255", "255", 255}, {"007", "7", 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Box(0)->setText(c.typed);
        Box(1)->setText("12.34");
        Press("CheckData");
        EXPECT_EQ(Status()->text(), "Data OK");
        EXPECT_EQ(Box(0)->text(), c.shown);
        EXPECT_EQ(Box(1)->text(), "12.34");
        EXPECT_EQ(mw()->MeterValues()[0], c.shown);
        EXPECT_EQ(mw()->EEValues()[0].Values, QVector<qint32>{c.registers});
        EXPECT_EQ(mw()->EEValues()[1].Values, (QVector<qint32>{0, 123}));
        EXPECT_TRUE(program->flags.DataEdited);
        EXPECT_FALSE(program->flags.MeterInSync);
    }
}

TEST_F(CheckWindowTest, AnUneditedValueKeepsItsExactMeterValue) {
    StartMaker();
    OpenMap("ZUVMap12.Map", {Param(0, 3, "Total", "Int32", "1", 1, "1"), Param(4, 4, "Level", "Int8", "1", 1, "2")});
    WriteRaw("exact.epf", {"ZUVMap12.Map", "2", "Total", "Int32", "123456", "Level", "Int8", "4"});
    Open(UserFile("exact.epf"));
    EXPECT_EQ(Box(0)->text(), "123460"); // shown with five significant figures
    EXPECT_EQ(Status()->text(), "Data OK");
    EXPECT_EQ(mw()->MeterValues()[0], "123456");
    EXPECT_EQ(mw()->EEValues()[0].Values, (QVector<qint32>{0x00, 0x01, 0xE2, 0x40}));
    EXPECT_FALSE(program->flags.DataEdited);
    // Once edited, the box says what is meant.
    Box(0)->setText("123470");
    Press("CheckData");
    EXPECT_EQ(mw()->MeterValues()[0], "123470");
    EXPECT_EQ(mw()->AcceptedValues()[0], "123470");
    EXPECT_TRUE(program->flags.DataEdited);
}

TEST_F(CheckWindowTest, RegisterIntegersNeverExceedTheFormat) {
    StartMaker();
    // The rounded limit (4295000) lies above 0.001 times the format maximum.
    OpenMap("ZUVMAP12.map", {Param(0, 3, "Big", "Int32", "0.001", 1, "1")});
    EXPECT_EQ(mw()->AttrLabels()[0]->text(), "1 decimal value 0 - 4295000");
    struct Case { const char* typed; bool ok; } cases[] = {
        // Typed values are rounded to five figures first: 4294950 becomes
        // 4295000, whose register integer would not fit.
        {"4294900", true}, {"4294949", true}, {"4294950", false}, {"4295000", false}, {"4295000.1", false}, {"0", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Box(0)->setText(c.typed);
        ui.clear();
        Press("CheckData");
        EXPECT_EQ(Status()->text(), c.ok ? "Data OK" : "Data NOT OK");
        if (!c.ok) EXPECT_EQ(Said(), QStringList{"Invalid Int32 in Big : Value out of range"});
        if (c.ok) EXPECT_EQ(mw()->EEValues()[0].RegCount, 4);
    }
    Box(0)->setText("4294900");
    Press("CheckData");
    EXPECT_EQ(mw()->EEValues()[0].Values, (QVector<qint32>{0xFF, 0xFE, 0xF9, 0x20}));
    // Exact values from a file reach the gap itself.
    for (const char* value : {"4294967.295", "4294967.296"}) {
        SCOPED_TRACE(value);
        WriteRaw("gap.epf", {"ZUVMAP12.map", "1", "Big", "Int32", value});
        ui.clear();
        ui.choosePath(UserFile("gap.epf"));
        Trigger("ReadData");
        const bool fits = QString(value).endsWith("5");
        EXPECT_EQ(Status()->text(), fits ? "Data OK" : "Data NOT OK");
        EXPECT_EQ(ui.texts("message").contains("Invalid Int32 in Big : Value out of range"), !fits);
        if (fits) EXPECT_EQ(mw()->EEValues()[0].Values, (QVector<qint32>{255, 255, 255, 255}));
    }
}

TEST_F(CheckWindowTest, CharactersOutsidePrintableAsciiAreRefused) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 3, "Tag", "ASCII", "", 4, "1")});
    Box(0)->setText("A~ B");
    Press("CheckData");
    EXPECT_EQ(Status()->text(), "Data OK");
    EXPECT_EQ(mw()->EEValues()[0].Values, (QVector<qint32>{0x41, 0x7E, 0x20, 0x42}));
    // The euro sign has a code page byte, but a read would drop it.
    Box(0)->setText(QString::fromUtf8("A\xE2\x82\xAC" "B"));
    ui.clear();
    Press("CheckData");
    EXPECT_EQ(Said(), QStringList{QString::fromUtf8("Invalid ASCII in Tag : Character cannot be stored in the meter: \xE2\x82\xAC")});
    const QString omega = QString::fromUtf8("\xCE\xA9");
    Box(0)->setText("A" + omega);
    ui.clear();
    Press("CheckData");
    EXPECT_EQ(Said(), QStringList{"Invalid ASCII in Tag : Character cannot be stored in the meter: " + omega});
    EXPECT_EQ(Status()->text(), "Data NOT OK");
    EXPECT_EQ(mw()->EEValues()[0].RegCount, 0);
    EXPECT_EQ(TextColour(Box(0)), BoxMark(Mark::Refused));
    // Characters beyond the capacity never reach a register and do not count.
    Find<QLineEdit>("ValueEdit0")->setMaxLength(10);
    Box(0)->setText("ABCD" + omega);
    ui.clear();
    Press("CheckData");
    EXPECT_EQ(Status()->text(), "Data OK");
}

TEST_F(CheckWindowTest, ListsOfValuesAreSplitAtTheSeparatorOfTheLocale) {
    const struct {
        QLocale locale;
        const char* announced;
        const char* typed;
        const char* shown;
    } cases[] = {
        {English(), " (comma separated)", "1.5,2,3", "2,2,3"},
        {German(), " (semicolon separated)", "1,5;2;3", "2;2;3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.announced);
        LocaleGuard guard(c.locale);
        StartMaker();
        OpenMap("ZUVMAP12.map", {Param(0, 2, "Steps", "Int8", "1", 3, "1", "", "A")});
        EXPECT_TRUE(mw()->AttrLabels()[0]->text().contains(c.announced)) << mw()->AttrLabels()[0]->text().toStdString();
        Box(0)->setText(c.typed);
        ui.clear();
        Press("CheckData");
        EXPECT_TRUE(Said().isEmpty()) << Said().join("|").toStdString();
        EXPECT_EQ(Box(0)->text(), c.shown);
        EXPECT_EQ(mw()->EEValues()[0].Values, (QVector<qint32>{2, 2, 3}));
        // Two values of three would write 0 to the third: refused.
        Box(0)->setText(QString(c.shown).left(3));
        ui.clear();
        Press("CheckData");
        EXPECT_EQ(Said(), QStringList{"Invalid Int8 in Steps : Too few values: it takes 3 values, 2 given"});
        EXPECT_EQ(mw()->EEValues()[0].RegCount, 0);
        program.reset();
    }
}

TEST_F(CheckWindowTest, FlagsAfterAReadCheckAndClear) {
    AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    Press("TestConnbtn");
    ASSERT_EQ(Status()->text(), "Data OK");
    EXPECT_TRUE(program->flags.MeterInSync);
    EXPECT_TRUE(program->flags.DataOnScreen);
    // The read filled the boxes, so clearing asks.
    ui.clear();
    ui.answer(true);
    Trigger("ClearData1");
    EXPECT_EQ(ui.texts("confirm"), QStringList{"About to clear screen data - this has not been saved.\n\r\n\r            Are you sure?"});
    EXPECT_FALSE(mw()->GotData());
    EXPECT_EQ(Status()->text(), "Data NOT OK");
    EXPECT_FALSE(program->flags.DataOnScreen);
    EXPECT_FALSE(program->flags.DataEdited);
}

} // namespace
} // namespace vorda::test
