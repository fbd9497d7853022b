// The map editor's rules, without its window.
#include "maps/MapEditor.h"

#include "base/TextFiles.h"
#include "base/UserError.h"
#include "maps/MapFile.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/ScriptedInteraction.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace vorda::test {
namespace {

using E = MapEditor;

// Rows of the Selector are registers + 1.
int Row(int reg) { return reg + 1; }

class MapEditorTest : public ::testing::Test {
public:
    void SetUp() override {
        savedCwd_ = QDir::currentPath();
        ASSERT_TRUE(dir.isValid());
        QDir::setCurrent(dir.path());
    }
    void TearDown() override { QDir::setCurrent(savedCwd_); }

    void Select(int startReg, int endReg) {
        ed.SelectorSelectCell(Row(startReg));
        ed.SelectorSelectCell(Row(endReg));
    }
    // Chooses a range, names it, picks a format and adds it to the grid.
    void Add(int startReg, int endReg, const QString& name, const QString& format = "Int8") {
        Select(startReg, endReg);
        ed.controls.ParamNameInput = name;
        ed.FormatChange(format);
        ed.StoreClick();
    }
    QString Name(int reg) const { return ed.Cell(E::NameCol, Row(reg)); }
    QString Order(int reg) const { return ed.Cell(E::OrderCol, Row(reg)); }
    QStringList LayoutColumn(int col) const {
        QStringList out;
        for (int r = 1; r < ed.LayoutRowCount(); ++r) out << ed.LayoutCell(col, r);
        return out;
    }
    void WriteLines(const QString& name, const QStringList& lines) {
        QString error;
        ASSERT_TRUE(WriteTextLines(name, lines, &error)) << error.toStdString();
    }
    void WriteMap(const QString& name, const QList<DMap>& params, const QList<MapHeader>& headers = {}) {
        WriteLines(name, MapFileLines(params, headers));
    }
    QStringList Messages() const { return ui.texts("message"); }

    QTemporaryDir dir;
    ScriptedInteraction ui;
    MapEditor ed{ui};

private:
    QString savedCwd_;
};

// ------------------------------------------------------------ range selection

TEST_F(MapEditorTest, ChoosingARange) {
    // The same row twice is a range of one register.
    ed.SelectorSelectCell(Row(7));
    EXPECT_EQ(Name(7), "selection start");
    EXPECT_TRUE(ed.IsSilver(Row(7)));
    ed.SelectorSelectCell(Row(7));
    EXPECT_EQ(Name(7), "selection start / end");
    EXPECT_EQ(ed.controls.EndRowLbl, "7");
    EXPECT_TRUE(ed.EndSet && ed.controls.ClearEnabled && !ed.SelDiv2);

    // An end above the start is refused; the start stays and the next click ends the range.
    ed.ClearSelector();
    ed.SelectorSelectCell(Row(10));
    ed.SelectorSelectCell(Row(4));
    EXPECT_EQ(Messages(), QStringList{"End Row must be >= Start Row - please re-enter"});
    EXPECT_TRUE(ed.StartSet && !ed.EndSet);
    ed.SelectorSelectCell(Row(13));
    EXPECT_EQ(Name(13), "selection end");
    EXPECT_TRUE(ed.SelDiv2 && ed.SelDiv4);

    // With values pending, a free row is refused.
    ed.FormatChange("Int8");
    ui.clear();
    ed.SelectorSelectCell(Row(20));
    EXPECT_EQ(Messages(), QStringList{"Please write chosen values to grid or clear selected range"});
    EXPECT_EQ(Name(20), "");

    // A range enclosing a stored parameter is refused and both markers go.
    ed.ClearSelector();
    Add(5, 6, "Flow");
    Select(2, 9);
    EXPECT_EQ(Messages().last(), "Please select parameters between Selection Start / End and delete them");
    EXPECT_EQ(Name(2) + Name(9), "");
    EXPECT_FALSE(ed.IsSilver(Row(2)) || ed.IsSilver(Row(9)) || ed.StartSet);
}

TEST_F(MapEditorTest, ClickingAStoredParameterLoadsIt) {
    struct Case {
        int start, end;
        QString format, dataCount;
        bool ruleShown;
    } cases[] = {
        {20, 23, "Int32", "Flow: 1 Int32 value(s)", false},
        {20, 22, "Int16", "Flow: 1 Int16 value(s)", false}, // refused by Add to grid: comes from a file
        {20, 23, "Int16", "Flow: 2 Int16 value(s)", true},
        {20, 25, "ASCII", "Flow: 6 ASCII value(s)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataCount.toStdString());
        ed.ClearSelector();
        Select(c.start, c.end);
        ed.controls.ParamNameInput = "Flow";
        ed.FormatChange(c.format);
        const bool integer = c.format.startsWith("Int");
        ed.controls.Multiplier = integer ? "0.5" : "";
        ed.controls.RuleCombo = "A";
        ed.controls.PTypeCombo = "Temperature";
        ed.controls.AccessCombo = "R";
        ed.StoreClick();
        if (Name(c.start) != "Flow") {
            ed.ClearSelector();
            WriteMap("ZUVMAP3.map", {Param(c.start, c.end, "Flow", c.format, "0.5", 1, "1", "R", "A", "Temperature")});
            ed.ReadMapFile("ZUVMAP3.map");
        }
        ed.SelectorSelectCell(Row(c.start + 1));
        EXPECT_EQ(ed.controls.StartRowLbl + "-" + ed.controls.EndRowLbl, QString("%1-%2").arg(c.start).arg(c.end));
        EXPECT_EQ(ed.controls.DataCount, c.dataCount);
        EXPECT_EQ(ed.controls.Format, c.format);
        EXPECT_EQ(ed.controls.AccessCombo, "R");
        EXPECT_EQ(ed.controls.PTypeCombo, integer ? "Temperature" : "");
        EXPECT_EQ(ed.controls.RuleVisible, c.ruleShown);
        EXPECT_EQ(ed.controls.MultiplierVisible, integer);
        EXPECT_EQ(ed.controls.TypeVisible, integer);
        EXPECT_TRUE(ed.ParamLoaded && ed.StartSet && ed.EndSet);
    }
}

TEST_F(MapEditorTest, LoadedParameterIsStoredBeforeTheNextRow) {
    WriteMap("ZUVMAP1.map", {Param(0, 1, "Flow", "Int16", "1", 1, "1", "", "", "", "tip", "always")});
    ed.ReadMapFile("ZUVMAP1.map");
    ed.SelectorSelectCell(Row(1));
    ed.controls.ParamNameInput = "Flow rate";
    ed.SelectorSelectCell(Row(30));
    EXPECT_EQ(Name(0) + "|" + Name(1) + "|" + Order(0), "Flow rate|Flow rate|1");
    // Renamed in its own layout row; order and descriptions stay.
    EXPECT_EQ(ed.LayoutRowCount(), 2);
    EXPECT_EQ(ed.LayoutCell(E::LayParamCol, 1), "Flow rate, Int16");
    EXPECT_EQ(ed.LayoutCell(E::LayAlwaysCol, 1), "always");
    EXPECT_EQ(Name(30), "selection start");
}

TEST_F(MapEditorTest, ArrowTargets) {
    Add(0, 0, "A");
    Add(200, 201, "B");
    EXPECT_FALSE(ed.NamedRowAbove(1));
    EXPECT_TRUE(ed.NamedRowAbove(2));
    EXPECT_TRUE(ed.NamedRowBelow(1, 17));
    EXPECT_FALSE(ed.NamedRowBelow(190, 17));
    // Steps of 18 rows until a named row shows; never past top row 238.
    EXPECT_EQ(ed.DownArrowTarget(1), 199);
    EXPECT_EQ(ed.UpArrowTarget(199), 1);
    ed.ClearSelector();
    Add(256, 256, "Z");
    EXPECT_EQ(ed.DownArrowTarget(1), 238);
    EXPECT_EQ(ed.DownArrowTarget(230), 238);
    EXPECT_EQ(ed.UpArrowTarget(100), 1); // nothing above: ends at the top
}

// ------------------------------------------------------------ definition

TEST_F(MapEditorTest, FormatRefusalsLeaveTheFormatAndFlags) {
    struct Case {
        int registers;
        QString format, message;
    } cases[] = {
        {3, "Int16", "Int16 requires 2 registers per number - your selection has 3 registers"},
        {6, "Int32", "Int32 requires 4 registers per number - your selection has 6 registers"},
        {2, "Int32", "Int32 requires 4 registers per number - your selection has 2 registers"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        ed.ClearSelector();
        ed.MapChanged = false;
        ui.clear();
        Select(40, 40 + c.registers - 1);
        ed.FormatChange(c.format);
        EXPECT_EQ(Messages(), QStringList{c.message});
        EXPECT_EQ(ed.controls.Format, c.format);
        EXPECT_FALSE(ed.ValuesPending || ed.MapChanged);
        EXPECT_EQ(ed.controls.DataCount, "DataCount");
    }
    // Int32 before any range: one register.
    MapEditor fresh(ui);
    ui.clear();
    fresh.FormatChange("Int32");
    EXPECT_EQ(Messages(), QStringList{"Int32 requires 4 registers per number - your selection has 1 registers"});
}

TEST_F(MapEditorTest, AsciiAfterInt16HidesTheMultiplierAndStoresNoType) {
    Select(0, 3);
    ed.controls.ParamNameInput = "Tag";
    ed.FormatChange("Int16");
    EXPECT_TRUE(ed.controls.MultiplierVisible && ed.controls.TypeVisible && ed.controls.RuleVisible);
    EXPECT_EQ(ed.controls.Multiplier, "1");
    ed.controls.PTypeCombo = "Temperature";
    ed.FormatChange("ASCII");
    EXPECT_FALSE(ed.controls.MultiplierVisible || ed.controls.TypeVisible);
    EXPECT_EQ(ed.controls.DataCount, "Tag: 4 ASCII value(s)");
    ed.StoreClick();
    EXPECT_EQ(ed.Cell(E::TypeCol, Row(0)) + ed.Cell(E::MultiplierCol, Row(0)), "");
}

TEST_F(MapEditorTest, MultiplierMustBeANumber) {
    for (const QString& text : {QString(), QString("abc"), QString("1.5.2"), QString("0.01")}) {
        ui.clear();
        ed.controls.Multiplier = text;
        ed.MultiplierExit();
        const bool number = text == "0.01";
        EXPECT_EQ(Messages(), number ? QStringList{} : QStringList{"Multiplier must be decimal number, not: " + text});
        EXPECT_EQ(ed.controls.Multiplier, number ? text : "1");
        EXPECT_TRUE(ed.ValuesPending && ed.MapChanged);
    }
}

TEST_F(MapEditorTest, AddToGridRefusals) {
    struct Case {
        const char* what;
        std::function<void(MapEditorTest&)> setup;
        QString message;
    } cases[] = {
        {"start only", [](MapEditorTest& t) { t.ed.SelectorSelectCell(Row(5)); }, "Please select start and end rows"},
        {"no name", [](MapEditorTest& t) { t.Select(5, 6); t.ed.FormatChange("Int8"); }, "Please enter a Parameter Name"},
        {"no format", [](MapEditorTest& t) { t.Select(5, 6); t.ed.controls.ParamNameInput = "X"; },
         "Please Select a Format"},
        {"typed format", [](MapEditorTest& t) { t.Select(5, 6); t.ed.controls.ParamNameInput = "X"; t.ed.FormatChange("Int12"); },
         "Format must be one of Int8, Int16, ASCII, Hex, Int32, not: Int12"},
        {"name of another parameter",
         [](MapEditorTest& t) { t.Add(0, 1, "Flow"); t.Select(5, 6); t.ed.controls.ParamNameInput = "Flow"; t.ed.FormatChange("Int8"); },
         "Flow: Already used"},
        {"Int16 on three registers",
         [](MapEditorTest& t) { t.Select(5, 7); t.ed.controls.ParamNameInput = "X"; t.ed.FormatChange("Int16"); },
         "Int16 requires 2 registers per number - your selection has 3 registers"},
        {"Int32 on three registers",
         [](MapEditorTest& t) { t.Select(5, 7); t.ed.controls.ParamNameInput = "X"; t.ed.FormatChange("Int32"); },
         "Int32 requires 4 registers per number - your selection has 3 registers"},
        {"multiplier no number",
         [](MapEditorTest& t) { t.Select(5, 6); t.ed.controls.ParamNameInput = "X"; t.ed.FormatChange("Int8"); t.ed.controls.Multiplier = "x2"; },
         "Multiplier must be decimal number, not: x2"},
        {"name of the title row",
         [](MapEditorTest& t) { t.Select(5, 6); t.ed.controls.ParamNameInput = "Parameter"; t.ed.FormatChange("Int8"); },
         "Parameter: Already used"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ed.ClearSelector();
        c.setup(*this);
        ui.clear();
        ed.StoreClick();
        EXPECT_EQ(Messages(), QStringList{c.message});
        EXPECT_TRUE(Name(5).startsWith("selection"));
    }
}

TEST_F(MapEditorTest, TextsAMapFileCannotHoldAreRefused) {
    const QString omega = QString::fromUtf8("\u03A9mega");
    const QString smile = QString::fromUtf8("Flow \U0001F600");
    struct Case {
        QString text, message; // message empty: the text is taken
    } cases[] = {
        {omega, QString::fromUtf8("A map file cannot hold the character \"\u03A9\" (U+03A9) - please use another in: ") + omega},
        {smile, QString::fromUtf8("A map file cannot hold the character \"\U0001F600\" (U+1F600) - please use another in: ") + smile},
        {"two\nlines", "A map file cannot hold the character (U+000A) - please use another in: two\nlines"},
        {QString::fromUtf8("D\u00E9bit \u20AC/h"), ""}, // Windows-1252 has both
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        // Add to grid: refused with the markers kept, or stored.
        ed.ClearSelector();
        ui.clear();
        Select(5, 6);
        ed.controls.ParamNameInput = c.text;
        ed.FormatChange("Int8");
        ed.StoreClick();
        EXPECT_EQ(Messages(), c.message.isEmpty() ? QStringList{} : QStringList{c.message});
        EXPECT_EQ(Name(5), c.message.isEmpty() ? c.text : QString("selection start"));

        // A description cell: refused with the cell and the flag as they were.
        ed.ClearSelector();
        Add(0, 0, "A");
        ed.MapChanged = false;
        ui.clear();
        EXPECT_EQ(ed.PageLayoutSetEditText(E::LayAlwaysCol, 1, c.text), c.message.isEmpty());
        EXPECT_EQ(Messages(), c.message.isEmpty() ? QStringList{} : QStringList{c.message});
        EXPECT_EQ(ed.LayoutCell(E::LayAlwaysCol, 1), c.message.isEmpty() ? c.text : QString());
        EXPECT_EQ(ed.MapChanged, c.message.isEmpty());
    }
    // What was taken comes back from the file as it was shown.
    ed.WriteMapFile("ZUVMAP11.map");
    const MapReadResult back = ReadMapFileContent("ZUVMAP11.map", "ZUVMAP11.map");
    ASSERT_EQ(back.params.size(), 1);
    EXPECT_EQ(back.params[0].DescAlways, QString::fromUtf8("D\u00E9bit \u20AC/h"));
}

// ------------------------------------------------------------ add and clear

TEST_F(MapEditorTest, AddingAndClearingRenumbers) {
    Add(0, 0, "A");
    EXPECT_EQ(LayoutColumn(E::LayOrderCol), QStringList{"1"});
    EXPECT_TRUE(ed.controls.HeaderButtonsEnabled);
    Add(1, 2, "B", "Int16");
    Add(3, 5, "C");
    EXPECT_EQ(LayoutColumn(E::LayStartCol), (QStringList{"0", "1", "3"}));
    EXPECT_EQ(LayoutColumn(E::LayEndCol), (QStringList{"0", "2", "5"}));
    EXPECT_EQ(LayoutColumn(E::LayParamCol), (QStringList{"A, Int8", "B, Int16", "C, Int8"}));

    // A range never added loses only its markers.
    Select(10, 12);
    ed.ClearClick(true);
    EXPECT_EQ(Name(10) + Name(12), "");
    EXPECT_EQ(ed.LayoutRowCount(), 4);

    // The middle one of three: the third takes its row and order.
    ed.SelectorSelectCell(Row(1));
    ed.ClearClick(true);
    EXPECT_EQ(LayoutColumn(E::LayParamCol), (QStringList{"A, Int8", "C, Int8"}));
    EXPECT_EQ(LayoutColumn(E::LayOrderCol), (QStringList{"1", "2"}));
    EXPECT_EQ(Name(1) + Order(1), "");
    for (int reg = 3; reg <= 5; ++reg) EXPECT_EQ(Order(reg), "2");
    EXPECT_FALSE(ed.controls.ClearChecked || ed.StartSet);
    ed.CheckGridClick();
    EXPECT_TRUE(ed.GridIsOK);

    // The last ones: the title row and one blank row, which the next parameter fills.
    ed.SelectorSelectCell(Row(3));
    ed.ClearClick(true);
    ed.SelectorSelectCell(Row(0));
    ed.ClearClick(true);
    EXPECT_EQ(LayoutColumn(E::LayParamCol), QStringList{""});
    EXPECT_TRUE(ed.LayoutEmpty);
    Add(20, 20, "Next");
    EXPECT_EQ(Order(20), "1");
    EXPECT_EQ(LayoutColumn(E::LayParamCol), QStringList{"Next, Int8"});
}

// ------------------------------------------------------------ grid check

TEST_F(MapEditorTest, CheckMessages) {
    const QString notGot = "\n\rThis must be corrected - at present it's a manual edit of the data file!";
    struct Case {
        const char* what;
        QList<DMap> params; // empty: an empty editor
        QStringList messages;
    } cases[] = {
        {"empty editor", {}, {"Not Got Sequence Number: 1" + notGot}},
        {"name again after another parameter",
         {Param(0, 1, "Flow", "Int8", "1", 2, "1"), Param(2, 3, "Level", "Int8", "1", 2, "2"),
          Param(5, 6, "Flow", "Int8", "1", 2, "3")},
         {"Flow: Not Contiguous", "Flow: Not Contiguous"}},
        {"name again after free registers",
         {Param(0, 1, "Flow", "Int8", "1", 2, "1"), Param(5, 6, "Flow", "Int8", "1", 2, "2")},
         {"Flow: Not Contiguous", "Flow: Not Contiguous"}},
        {"one name over two formats",
         {Param(0, 1, "Level", "Int8", "1", 2, "1"), Param(2, 3, "Flow", "Int16", "1", 1, "2"),
          Param(4, 5, "Flow", "Int8", "1", 2, "3")},
         {"Flow: Mixed Formats", "Flow: Mixed Formats"}},
        {"two parameters with one order",
         {Param(0, 0, "A", "Int8", "1", 1, "3"), Param(1, 1, "B", "Int8", "1", 1, "1"), Param(2, 2, "C", "Int8", "1", 1, "3")},
         {"Not Got Sequence Number: 2" + notGot, "Same Order number (3) for A and C"}},
        {"orders 1, 2, 4, 4",
         {Param(0, 0, "A", "Int8", "1", 1, "1"), Param(1, 1, "B", "Int8", "1", 1, "2"), Param(2, 2, "C", "Int8", "1", 1, "4"),
          Param(3, 3, "D", "Int8", "1", 1, "4")},
         {"Not Got Sequence Number: 3" + notGot, "Same Order number (4) for C and D"}},
        {"Int16 on three registers",
         {Param(0, 2, "Odd", "Int16", "1", 1, "1")},
         {"Parameter \"Odd\" has 3 registers (0 to 2); Int16 needs 2 registers per value"}},
        {"Int32 on three registers, no value at all",
         {Param(4, 6, "Wide", "Int32", "1", 0, "1")},
         {"Parameter \"Wide\" has 3 registers (4 to 6); Int32 needs 4 registers per value"}},
        {"integer multipliers that are no number",
         {Param(0, 0, "Empty", "Int8", "", 1, "1"), Param(1, 2, "Word", "Int16", "x", 1, "2"),
          Param(3, 3, "Text", "ASCII", "", 1, "3"), Param(4, 4, "Point", "Int8", "0.5", 1, "4")},
         {"Parameter \"Empty\": Multiplier must be decimal number, not: ",
          "Parameter \"Word\": Multiplier must be decimal number, not: x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ed.ClearSelector();
        if (!c.params.isEmpty()) {
            WriteMap("ZUVMAP2.map", c.params);
            ed.ReadMapFile("ZUVMAP2.map");
        }
        ui.clear();
        ed.CheckGridClick();
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_FALSE(ed.GridIsOK || ed.controls.GridOKVisible);
        EXPECT_TRUE(ed.controls.GridNOTOKVisible);
    }
}

TEST_F(MapEditorTest, OrdersOnALargeLayout) {
    // Two parameters share order 1, so 2 is missing; a heading's order
    // written "05" is not 5.
    const int headers = 30000;
    QList<MapHeader> rows;
    for (int o = 3; o < headers + 3; ++o) rows.append({o == 5 ? QString("05") : QString::number(o), "H", ""});
    WriteMap("ZUVMAP12.map", {Param(0, 0, "A", "Int8", "1", 1, "1"), Param(1, 1, "B", "Int8", "1", 1, "1")}, rows);
    ed.ReadMapFile("ZUVMAP12.map");
    ASSERT_EQ(ed.LayoutRowCount(), headers + 3);
    ui.clear();
    ed.CheckGridClick();
    const QString notGot = "\n\rThis must be corrected - at present it's a manual edit of the data file!";
    EXPECT_EQ(Messages(), (QStringList{"Not Got Sequence Number: 2" + notGot, "Not Got Sequence Number: 5" + notGot,
                                       "Same Order number (1) for A and B"}));
    EXPECT_FALSE(ed.GridIsOK);
}

TEST_F(MapEditorTest, MessagesQuoteAnExcerptOfALongText) {
    const QString longName = QString(200, 'N');
    const QString excerpt = QString(60, 'N') + QChar(0x2026);
    // A line of a damaged file.
    QStringList lines = MapFileLines({Param(0, 0, "A", "Int8", "1", 1, "1")}, {});
    lines[2] = QString(5000, '7') + "x";
    WriteLines("ZUVMAP13.map", lines);
    try {
        ed.ReadMapFile("ZUVMAP13.map");
        ADD_FAILURE() << "read without error";
    } catch (const UserError& e) {
        EXPECT_EQ(e.text(), "'" + QString(60, '7') + QChar(0x2026) + "' is not a valid integer value");
    }

    // The grid check's messages about a parameter with a long name.
    ed.ClearSelector();
    WriteMap("ZUVMAP14.map", {Param(0, 1, longName, "Int8", "1", 2, "1"), Param(2, 2, "B", "Int8", "1", 1, "2"),
                              Param(3, 5, longName, "Int16", "", 1, "3")});
    ed.ReadMapFile("ZUVMAP14.map");
    ui.clear();
    ed.CheckGridClick();
    const QStringList said = Messages();
    ASSERT_FALSE(said.isEmpty());
    for (const QString& m : said) {
        EXPECT_FALSE(m.contains(QString(61, 'N'))) << m.toStdString();
        EXPECT_TRUE(m.contains(excerpt)) << m.toStdString();
    }
    EXPECT_TRUE(said.contains(excerpt + ": Not Contiguous"));
    EXPECT_TRUE(said.contains("Parameter \"" + excerpt + "\" has 3 registers (3 to 5); Int16 needs 2 registers per value"));

    // A text of exactly 60 characters is quoted whole; a character of two
    // units at the cut is not split.
    EXPECT_EQ(Excerpt(QString(60, 'a')), QString(60, 'a'));
    const QString pairAtCut = QString(59, 'a') + QString::fromUtf8("\U0001F600") + "b";
    EXPECT_EQ(Excerpt(pairAtCut), QString(59, 'a') + QChar(0x2026));
}

TEST_F(MapEditorTest, RangeToRegister256FailsTheCheck) {
    Select(255, 256);
    ed.controls.ParamNameInput = "Edge";
    ed.FormatChange("Int16");
    ed.StoreClick();
    ed.CheckGridClick();
    ASSERT_EQ(ed.EditorMapCount, 1);
    EXPECT_EQ(ed.EditorMap[0].EndReg, 256);
    EXPECT_EQ(Messages(), QStringList{"Parameter \"Edge\" uses registers 255 to 256; the meter has registers 0 to 255"});
    EXPECT_FALSE(ed.GridIsOK);
}

TEST_F(MapEditorTest, CapacityFollowsTheFormatAndDescriptionsComeFromTheLayout) {
    Add(10, 13, "I16", "Int16");
    Add(20, 21, "Odd", "Int16");
    Add(30, 37, "Text", "ASCII");
    Add(40, 42, "Hex", "Hex");
    ed.PageLayoutSetEditText(E::LayAlwaysCol, 3, "shown");
    ed.PageLayoutSetEditText(E::LayToolTipCol, 3, "tip");
    ed.CheckGridClick();
    ASSERT_TRUE(ed.GridIsOK);
    ASSERT_EQ(ed.EditorMapCount, 4);
    QList<int> capacities;
    for (const Map& m : ed.EditorMap) capacities << m.Capacity;
    EXPECT_EQ(capacities, (QList<int>{2, 1, 8, 3}));
    EXPECT_EQ(ed.EditorMap[2].DescAlways + "|" + ed.EditorMap[2].DescToolTip, "shown|tip");
}

TEST_F(MapEditorTest, CheckWithPendingValuesAddsThemFirst) {
    Select(0, 1);
    ed.controls.ParamNameInput = "Flow";
    ed.FormatChange("Int8");
    ed.CheckGridClick();
    EXPECT_TRUE(ed.GridIsOK);
    EXPECT_EQ(Name(0), "Flow");
    // Refused for want of a name: its message first, then the markers fail.
    ed.ClearSelector();
    ui.clear();
    Select(0, 1);
    ed.FormatChange("Int8");
    ed.CheckGridClick();
    ASSERT_GE(Messages().size(), 3);
    EXPECT_EQ(Messages().mid(0, 3), (QStringList{"Please enter a Parameter Name",
                                                 "Range selection in progress, Parameter values incomplete",
                                                 "Range selection in progress, Parameter values incomplete"}));
    EXPECT_FALSE(ed.GridIsOK || ed.ValuesPending);
}

// ------------------------------------------------------------ page layout

TEST_F(MapEditorTest, HeaderDraggedToTheTopRenumbersEverything) {
    Add(0, 1, "A");
    Add(2, 3, "B");
    Add(4, 5, "C");
    ed.AddHdrBtnClick();
    EXPECT_EQ(ed.LayoutSelRow, 4);
    EXPECT_EQ(QStringList(ed.LayoutCell(E::LayOrderCol, 4)) << ed.LayoutCell(E::LayParamCol, 4) << ed.LayoutCell(E::LayToolTipCol, 4),
              (QStringList{"4", "Header", "(Not in Use)"}));
    ed.PageLayoutRowMoved(4, 1);
    EXPECT_EQ(LayoutColumn(E::LayParamCol), (QStringList{"Header", "A, Int8", "B, Int8", "C, Int8"}));
    EXPECT_EQ(LayoutColumn(E::LayOrderCol), (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(Order(0) + Order(1) + Order(2) + Order(3) + Order(4) + Order(5), "223344");
    EXPECT_EQ(ed.LayoutSelRow, 1);

    // Moving a parameter up keeps every order unique and equal to its row.
    ed.PageLayoutRowMoved(4, 2);
    EXPECT_EQ(LayoutColumn(E::LayParamCol), (QStringList{"Header", "C, Int8", "A, Int8", "B, Int8"}));
    EXPECT_EQ(Order(4) + Order(0) + Order(2), "234");
    ed.CheckGridClick();
    EXPECT_TRUE(ed.GridIsOK);
}

TEST_F(MapEditorTest, DelHeaderRowRefusalsAndDeletion) {
    Add(0, 0, "A");
    Add(1, 1, "B");
    ed.AddHdrBtnClick();           // row 3
    ed.PageLayoutRowMoved(3, 2);   // header in the middle
    struct Case {
        int row;
        QString message;
    } cases[] = {
        {3, "Selected row is not a header row - it cannot be deleted"},
        {1, "Selected row is not a header row - it cannot be deleted.\n\rAlso -  row to be deleted must be at the bottom of the list."},
        {2, "Please move the row to the bottom of the list,\n\rthen press delete"},
    };
    for (const Case& c : cases) {
        ui.clear();
        ed.PageLayoutSelectCell(c.row);
        ed.DelHdrBtnClick();
        EXPECT_EQ(Messages(), QStringList{c.message});
        EXPECT_EQ(ed.LayoutRowCount(), 4);
    }
    ed.PageLayoutRowMoved(2, 3);
    ed.MapChanged = false;
    ed.PageLayoutSelectCell(3);
    ed.DelHdrBtnClick();
    EXPECT_EQ(ed.LayoutRowCount(), 3);
    // Without this, closing would lose the deletion without a question.
    EXPECT_TRUE(ed.MapChanged);
}

// ------------------------------------------------------------ files

TEST(MapNamingRuleTest, AcceptsOnlyMapNumbers0To127) {
    const struct {
        const char* name;
        bool ok;
    } cases[] = {
        {"ZUVMAP5.map", true},   {"zuvmap5.map", true},    {"ZUVMAP127.Map", true}, {"ZUVMAP0.map", true},
        {"ZUVMAP9", true},       {"ZUVMAP128.map", false}, {"ZUVMAP-1.map", false}, {"ZUVMAPx.map", false},
        {"MyMap.map", false},    {"ZUVMAP.map", false},    {"ZUVMAP+5.map", false}, {"ZUVMAP05.map", false},
        {"ZUVMAP 5.map", false}, {"ZUVMAP5.txt", false},
    };
    for (const auto& c : cases) EXPECT_EQ(MapNameFollowsRule(c.name), c.ok) << c.name;
}

TEST_F(MapEditorTest, ReadingPlacesHeadersAndParametersByOrder) {
    WriteMap("ZUVMAP4.map",
             {Param(0, 1, "P2", "Int16", "1", 1, "2"), Param(2, 2, "P3", "Int8", "1", 1, "3", "", "", "", "t3", "a3"),
              Param(3, 3, "P5", "Hex", "", 1, "5")},
             {{"1", "First", "(Not in Use)"}, {"4", "Second", "tip"}});
    ed.ReadMapFile("ZUVMAP4.map");
    EXPECT_EQ(LayoutColumn(E::LayParamCol), (QStringList{"Header", "P2, Int16", "P3, Int8", "Header", "P5, Hex"}));
    EXPECT_EQ(LayoutColumn(E::LayAlwaysCol), (QStringList{"First", "", "a3", "Second", ""}));
    EXPECT_EQ(LayoutColumn(E::LayToolTipCol)[2], "t3");
    EXPECT_EQ(ed.controls.MapFileNow, "ZUVMAP4.map");
    EXPECT_TRUE(ed.controls.HeaderButtonsEnabled && !ed.LayoutEmpty);

    // Without a header section: one layout row per parameter, and a new parameter a new row.
    QStringList lines = MapFileLines({Param(0, 0, "A", "Int8", "1", 1, "1")}, {});
    lines.removeLast();
    WriteLines("ZUVMAP6.map", lines);
    ed.ClearSelector();
    ed.ReadMapFile("ZUVMAP6.map");
    EXPECT_EQ(ed.LayoutRowCount(), 2);
    Add(5, 5, "B");
    EXPECT_EQ(Order(5), "2");
}

TEST_F(MapEditorTest, BadMapFilesLeaveTheEditorEmpty) {
    const QStringList good = MapFileLines({Param(0, 1, "A", "Int16", "1", 1, "1"), Param(2, 2, "B", "Int8", "1", 1, "2")}, {});
    const auto with = [&good](std::initializer_list<std::pair<int, QString>> changes) {
        QStringList l = good;
        for (const auto& [line, text] : changes) l[line] = text;
        return l;
    };
    struct Case {
        const char* what;
        QStringList lines;
        QString message; // empty: any error text
    } cases[] = {
        {"sequence no integer", with({{9, "x"}}), "'x' is not a valid integer value"},
        {"order beyond the rows", with({{9, "7"}}), "A: order 7 lies outside the page layout's rows 1 to 2"},
        {"overlapping ranges", with({{14, "1"}, {15, "1"}}), "A (registers 0 to 1) overlaps B (registers 1 to 1)"},
        {"header on a parameter's row", with({{26, "1"}}) << "2" << "Heading" << "", "B: order 2 is also the order of a header"},
        {"start above 256", with({{14, "300"}}), ""},
        {"huge count", with({{1, "2000000000"}}), ""},
        {"count no number", with({{1, "many"}}), ""},
        {"version no number", with({{0, "Vx"}}), ""},
        {"missing file", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ed.ClearSelector();
        const QString name = c.lines.isEmpty() ? QString("ZUVMAP99.map") : QString("ZUVMAP8.map");
        if (!c.lines.isEmpty()) WriteLines(name, c.lines);
        try {
            ed.ReadMapFile(name);
            ADD_FAILURE() << "read without error";
        } catch (const UserError& e) {
            EXPECT_EQ(e.text(), c.message.isEmpty() ? e.text() : c.message);
            EXPECT_FALSE(e.text().isEmpty());
        }
        EXPECT_EQ(Name(0) + Name(1) + Name(2), "");
        EXPECT_TRUE(ed.LayoutEmpty);
    }
    // An old format is a message, not an error.
    ui.clear();
    WriteLines("ZUVMAP8.map", with({{0, "V1.99"}}));
    ed.ReadMapFile("ZUVMAP8.map");
    EXPECT_EQ(Messages(), QStringList{"ZUVMAP8.map is in an old format and cannot be read"});
    EXPECT_EQ(Name(0), "");
}

TEST_F(MapEditorTest, SaveAs) {
    Add(0, 1, "Flow");
    // A name without extension gets ".map"; the dialog's title, filter and extension.
    ui.choosePath(dir.filePath("ZUVMAP9"));
    ed.SaveFile1Click();
    EXPECT_EQ(ui.texts("save"), QStringList{"Save Parameter Map|Meter map files (*.Map)|*.Map|map"});
    EXPECT_TRUE(QFile::exists(dir.filePath("ZUVMAP9.map")));
    EXPECT_EQ(ed.controls.MapFileNow, "ZUVMAP9.map");
    EXPECT_FALSE(ed.MapChanged);

    ed.MapChanged = true;
    ui.clear();
    ui.choosePath(dir.filePath("ZUVMAP128.map"));
    ed.SaveFile1Click();
    EXPECT_EQ(Messages(), QStringList{"Map file name must be of the form ZUVMAPnnn where nnn is integer 0 - 127.  Please reenter"});
    EXPECT_FALSE(QFile::exists(dir.filePath("ZUVMAP128.map")));

    // A range being chosen fails the check: nothing written.
    ed.SelectorSelectCell(Row(5));
    ui.choosePath(dir.filePath("ZUVMAP3.map"));
    ed.SaveFile1Click();
    EXPECT_FALSE(QFile::exists(dir.filePath("ZUVMAP3.map")));
    EXPECT_TRUE(ed.MapChanged && ed.controls.GridNOTOKVisible);

    // A folder where the map should be: the write fails and nothing counts as saved.
    ed.ClearSelector();
    Add(0, 1, "Flow");
    ASSERT_TRUE(QDir(dir.path()).mkdir("ZUVMAP4.map"));
    ui.choosePath(dir.filePath("ZUVMAP4.map"));
    EXPECT_THROW(ed.SaveFile1Click(), UserError);
    EXPECT_TRUE(ed.MapChanged);
    EXPECT_EQ(ed.controls.MapFileNow, "ZUVMAP9.map");
}

TEST_F(MapEditorTest, QuestionsOnlyWithUnsavedChanges) {
    ed.New1Click();
    ui.choosePath(QString());
    ed.ReadMapFile1Click();
    EXPECT_TRUE(ed.ConfirmClose());
    EXPECT_TRUE(ui.texts("confirm").isEmpty());
    ui.clear();

    Add(0, 1, "Flow");
    for (int i = 0; i < 3; ++i) ui.answer(false);
    ed.New1Click();
    ed.ReadMapFile1Click();
    EXPECT_FALSE(ed.ConfirmClose());
    EXPECT_EQ(ui.texts("confirm"),
              (QStringList{"About clear selector Grid\n\rCurrent data has not been saved, and will be lost. (No undo!)\n\r\n\r            Are you sure?",
                           "About to read a new Map file\n\rCurrent data has not been saved, and will be overwritten. (No undo!)\n\r\n\r            Are you sure?",
                           "About to exit\n\rCurrent data has not been saved, and will be lost. (No undo!)\n\r\n\r            Are you sure?"}));
    EXPECT_TRUE(ui.texts("open").isEmpty());
    EXPECT_EQ(Name(0), "Flow");
    ed.New1Click();
    EXPECT_EQ(Name(0), "");
    EXPECT_FALSE(ed.MapChanged);
    EXPECT_EQ(ed.controls.MapFileNow, "");
}

TEST_F(MapEditorTest, OpenReadsAndChecksAndMovesTheWorkingFolder) {
    QDir(dir.path()).mkdir("maps");
    WriteMap("maps/ZUVMAP7.map", {Param(0, 3, "Total", "Int32", "1", 1, "1")});
    ui.choosePath(dir.filePath("maps/ZUVMAP7.map"));
    ed.ReadMapFile1Click();
    EXPECT_EQ(ui.texts("open"), QStringList{"Meter map files (*.map)|*.map|"});
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir.filePath("maps")).canonicalPath());
    EXPECT_EQ(ed.EditorMapFile, "ZUVMAP7.map");
    EXPECT_EQ(Name(3), "Total");
    EXPECT_TRUE(ed.GridIsOK && ed.controls.GridOKVisible);
    EXPECT_FALSE(ed.MapChanged);
}

// Every shipped map reads into the editor and saves back as the same map.
TEST_F(MapEditorTest, ShippedMapsRoundTrip) {
    const QDir data(QStringLiteral(VORDA_DATA_DIR));
    const QStringList maps = data.entryList({"*.map"}, QDir::Files);
    ASSERT_GE(maps.size(), 4);
    for (const QString& name : maps) {
        SCOPED_TRACE(name.toStdString());
        MapReadResult original = ReadMapFileContent(data.filePath(name), name);
        ASSERT_EQ(original.status, MapReadStatus::Ok);
        ed.ClearSelector();
        ed.ReadMapFile(data.filePath(name));
        ed.WriteMapFile("ZUVMAP1.map");
        ASSERT_TRUE(ed.GridIsOK) << ui.texts().join(" / ").toStdString();
        const MapReadResult again = ReadMapFileContent("ZUVMAP1.map", name);
        ASSERT_EQ(again.status, MapReadStatus::Ok);
        // Written by start register and by order.
        std::stable_sort(original.params.begin(), original.params.end(),
                         [](const DMap& a, const DMap& b) { return a.Startreg < b.Startreg; });
        std::stable_sort(original.headers.begin(), original.headers.end(),
                         [](const MapHeader& a, const MapHeader& b) { return a.Order.toInt() < b.Order.toInt(); });
        EXPECT_EQ(again.params, original.params);
        EXPECT_EQ(again.headers, original.headers);
    }
}

} // namespace
} // namespace vorda::test
