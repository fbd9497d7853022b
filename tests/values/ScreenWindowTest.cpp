// The parameter screen, the data check, the display units dialog, opening
// maps and data files, through the main window.
#include "WindowTestMaps.h"

#include "base/TextFiles.h"

#include <QAbstractButton>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

namespace vorda::test {
namespace {


// Parameters in rows 1, 2 and 4, a header in row 3.
QList<DMap> ThreeRows() {
    return {Param(0, 1, "Span", "Int16", "1", 1, "1"),
            Param(2, 2, "Mode", "Int8", "1", 1, "2", "", "", "", "Operating mode", "One of 0 to 3"),
            Param(3, 6, "Total", "Int32", "0.1", 1, "4")};
}

TEST_F(WindowTest, RowsAndHeadersSitAtTheirCoordinates) {
    StartMaker();
    OpenMap("ZUVMAP12.map", ThreeRows(), {{"3", "Outputs", "(Not in Use)"}});
    ASSERT_EQ(mw()->ValueEdits().size(), 3);
    const int caption[] = {20, 80, 200}, box[] = {35, 95, 215}, attr[] = {57, 117, 237};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mw()->NameLabels()[i]->pos(), QPoint(20, caption[i])) << i;
        EXPECT_EQ(Box(i)->pos(), QPoint(20, box[i])) << i;
        EXPECT_EQ(mw()->AttrLabels()[i]->pos(), QPoint(20, attr[i])) << i;
        EXPECT_EQ(mw()->NoteLabels()[i]->y(), caption[i]) << i;
        const int left = std::max(mw()->NameLabels()[i]->width(), Box(i)->width()) + 40;
        EXPECT_EQ(mw()->NoteLabels()[i]->x(), left) << i;
    }
    ASSERT_EQ(mw()->HeaderLabels().size(), 1);
    EXPECT_EQ(mw()->HeaderLabels()[0]->pos(), QPoint(20, 155));
    EXPECT_EQ(mw()->HeaderLabels()[0]->text(), "Outputs");
    EXPECT_EQ(Box(0)->width(), 128);
    EXPECT_EQ(Box(1)->width(), 88);
    EXPECT_EQ(Box(2)->width(), 248);
    EXPECT_EQ(Box(0)->toolTip(), "[No description]");
    EXPECT_EQ(Box(1)->toolTip(), "Operating mode");
    EXPECT_EQ(mw()->NoteLabels()[1]->text(), "One of 0 to 3");
    EXPECT_EQ(mw()->AttrLabels()[2]->text(), "1 decimal value 0 - 429500000");
    EXPECT_EQ(LabelColour(mw()->NameLabels()[0]), LabelMark(Mark::Caption));
    EXPECT_TRUE(mw()->NameLabels()[0]->font().bold());
    EXPECT_EQ(LabelColour(mw()->HeaderLabels()[0]), LabelMark(Mark::Note));
    EXPECT_EQ(program->map.MapFileNumber, 12);
    EXPECT_EQ(Find<QLabel>("MapFileNow")->text(), "ZUVMAP12.map");
    EXPECT_TRUE(Action("ReadData")->isEnabled() || Find<QMenu>("Data1")->menuAction()->isEnabled());
}

TEST_F(WindowTest, SmallerMapAfterALargerOneLeavesNothingOfIt) {
    StartMaker();
    OpenMap(program->startup.UserDir + "ZUVMAP5.map");
    ASSERT_EQ(mw()->ValueEdits().size(), 29);
    OpenMap("ZUVMAP12.map", ThreeRows(), {{"3", "Outputs", ""}});
    EXPECT_EQ(ScrollContent()->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly).size(), 3);
    int labels = 0;
    for (QLabel* l : ScrollContent()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        if (l->objectName().startsWith("NameLabel") || l->objectName().startsWith("HeaderLabel")) ++labels;
    EXPECT_EQ(labels, 4);
}

TEST_F(WindowTest, AccessClassesHideOrLockRowsForOrdinaryUsers) {
    for (bool maker : {false, true}) {
        SCOPED_TRACE(maker);
        ASSERT_TRUE(Create(maker ? QStringList{"/UserIsZUV"} : QStringList{}));
        WriteMap("ZUVMAP12.Map", {Param(0, 0, "Open", "Int8", "1", 1, "1"), Param(1, 1, "ReadOnly", "Int8", "1", 1, "2", "R"),
                                  Param(2, 2, "Maker", "Int8", "1", 1, "3", "C")});
        ASSERT_TRUE(mw()->DReadMapFile("ZUVMAP12.Map"));
        program->map.MapLoaded = true;
        mw()->FormShow();
        mw()->show();
        EXPECT_TRUE(Box(0)->isEnabled());
        // A read-only box stays reachable: read, not edited.
        EXPECT_TRUE(Box(1)->isEnabled());
        EXPECT_EQ(Box(1)->isReadOnly(), !maker);
        EXPECT_TRUE(Box(1)->isVisible());
        for (QWidget* w : std::initializer_list<QWidget*>{Box(2), mw()->NameLabels()[2], mw()->AttrLabels()[2], mw()->NoteLabels()[2]})
            EXPECT_EQ(w->isVisible(), maker);
        EXPECT_EQ(Box(2)->y(), 155); // its row stays empty
        program.reset();
    }
}

TEST_F(WindowTest, CheckReportsEachInvalidValueInMapOrder) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 0, "Level", "Int8", "1", 1, "1"), Param(1, 2, "Rate", "Int16", "0.1", 1, "2"),
                             Param(3, 4, "Code", "Hex", "", 2, "3"), Param(5, 8, "Tag", "ASCII", "", 4, "4"),
                             Param(9, 11, "Steps", "Int8", "1", 3, "5", "", "A")});
    struct Case {
        QStringList texts;
        QStringList messages;
        QStringList shown;
    } cases[] = {
        {{"255", "6553.5", "0aFF", "AB", "1,2,2"}, {}, {"255", "6553.5", "0aFF", "AB", "1,2,2"}},
        {{"1.5", "12.34", "", "", "3,3,3"}, {}, {"2", "12.34", "", "", "3,3,3"}},
        {{"256", "6553.6", "ABC", "AB", "3,2"},
         {"Invalid Int8 in Level : Value out of range", "Invalid Int16 in Rate : Value out of range",
          "Invalid Hex in Code : Wrong number of digits - must be multiple of two", "Invalid Int8 in Steps : Values must be Ascending"},
         {}},
        {{"-1", "x", "0G12", "", "1,2,3,4"},
         {"Invalid Int8 in Level : Value out of range", "Invalid Int16 in Rate : Not a valid number",
          "Invalid Hex in Code : Invalid character", "Invalid Int8 in Steps : Too many values"},
         {}},
        // The Hex box takes at most two characters a value, so "010203"
        // cannot be typed beyond "0102".
        {{"", "1", "010203", "", "1,1,1"}, {"Invalid Int8 in Level : Not a valid number"}, {"error", "1", "0102"}},
        // One value of three would write zeros to the other two.
        {{"1", "1", "", "", "1"}, {"Invalid Int8 in Steps : Too few values: it takes 3 values, 1 given"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.texts.join("|").toStdString());
        for (int i = 0; i < 5; ++i) Box(i)->setText(c.texts[i]);
        ui.clear();
        Press("CheckData");
        EXPECT_EQ(Said(), c.messages);
        EXPECT_EQ(Status()->text(), c.messages.isEmpty() ? "Data OK" : "Data NOT OK");
        EXPECT_EQ(LabelColour(Status()), c.messages.isEmpty() ? LabelMark(Mark::Plain) : LabelMark(Mark::Refused));
        for (int i = 0; i < c.shown.size(); ++i) EXPECT_EQ(Box(i)->text(), c.shown[i]) << i;
    }
    // An empty integer box shows "error" after the check.
    Box(0)->clear();
    Press("CheckData");
    EXPECT_EQ(Box(0)->text(), "error");
    EXPECT_EQ(TextColour(Box(0)), BoxMark(Mark::Refused));
    EXPECT_EQ(TextColour(Box(1)), BoxMark(Mark::Plain));
    // A valid check fills the registers that a write sends.
    for (int i = 0; i < 5; ++i) Box(i)->setText(QStringList{"7", "12.34", "0aFF", "AB", "1,2,3"}[i]);
    Press("CheckData");
    ASSERT_EQ(Status()->text(), "Data OK");
    EXPECT_EQ(mw()->EEValues()[1].Values, (QVector<qint32>{0, 123}));
    EXPECT_EQ(mw()->EEValues()[2].Values, (QVector<qint32>{0x0A, 0xFF}));
    EXPECT_EQ(mw()->EEValues()[3].Values, (QVector<qint32>{0x41, 0x42, 0, 0}));
    EXPECT_EQ(mw()->EEValues()[4].Values, (QVector<qint32>{1, 2, 3}));
}

TEST_F(WindowTest, AllEmptyHexMapHasNoData) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 1, "Code", "Hex", "", 2, "1"), Param(2, 2, "Flags", "Hex", "", 1, "2")});
    Press("CheckData");
    EXPECT_EQ(Said(), QStringList{"No data!"});
    EXPECT_EQ(Status()->text(), "Data NOT OK");
}

TEST_F(WindowTest, MultiplierThatIsNoNumberEndsTheCheck) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 0, "Level", "Int8", "1", 1, "1")});
    program->map.MapParams[0].Multiplier = "abc";
    Box(0)->setText("1");
    ui.clear();
    Press("CheckData");
    EXPECT_EQ(Said(), QStringList{"Errors in data checking"});
    EXPECT_EQ(Status()->text(), "Re-Check Data"); // the status keeps its text
}

TEST_F(WindowTest, TypingChecksAndClearingMoveTheFlagsAndColours) {
    StartMaker();
    OpenMap("ZUVMAP12.map", ThreeRows());
    EXPECT_FALSE(program->flags.DataEdited);
    EXPECT_FALSE(program->flags.DataOnScreen);
    Box(0)->setText("7");
    EXPECT_EQ(Status()->text(), "Re-Check Data");
    EXPECT_EQ(LabelColour(Status()), LabelMark(Mark::Warning));
    EXPECT_EQ(TextColour(Box(0)), BoxMark(Mark::Warning));
    EXPECT_TRUE(program->flags.DataEdited);
    EXPECT_TRUE(program->flags.DataOnScreen);
    EXPECT_FALSE(program->flags.MeterInSync);
    EXPECT_FALSE(Units()->isEnabled()); // units are locked while values are shown

    ui.answer(false);
    Trigger("ClearData1");
    EXPECT_EQ(Said(), QStringList{"About to clear screen data - this has not been saved.\n\r\n\r            Are you sure?"});
    EXPECT_EQ(Box(0)->text(), "7");
    ui.clear();
    Trigger("ClearData1");
    EXPECT_EQ(Said().size(), 1);
    for (QLineEdit* b : mw()->ValueEdits()) EXPECT_TRUE(b->text().isEmpty());
    EXPECT_EQ(Status()->text(), "Data NOT OK");
    EXPECT_EQ(LabelColour(Status()), LabelMark(Mark::Refused));
    EXPECT_FALSE(program->flags.DataEdited);
    EXPECT_FALSE(program->flags.DataOnScreen);
    EXPECT_TRUE(Units()->isEnabled());
}

TEST_F(WindowTest, SetDisplayUnitsTogglesAndIsRefusedWhileValuesAreShown) {
    StartMaker();
    OpenMap("ZUVMAP12.map", ThreeRows());
    // Opening the map freed the units: the first press only clears the flag.
    Trigger("SetDisplayUnits1");
    EXPECT_FALSE(Units()->isVisible());
    Trigger("SetDisplayUnits1");
    EXPECT_TRUE(Units()->isVisible());
    Trigger("SetDisplayUnits1");
    EXPECT_FALSE(Units()->isVisible());
    // The dialog's own Close hides it but leaves the flag set.
    Trigger("SetDisplayUnits1");
    Units()->findChild<QPushButton*>("Closebtn")->click();
    EXPECT_FALSE(Units()->isVisible());
    Trigger("SetDisplayUnits1");
    EXPECT_FALSE(Units()->isVisible());
    Trigger("SetDisplayUnits1");
    EXPECT_TRUE(Units()->isVisible());
    // Typing into a box hides and locks the dialog.
    Box(0)->setText("1");
    EXPECT_FALSE(Units()->isVisible());
    EXPECT_FALSE(Units()->isEnabled());
    EXPECT_TRUE(Units()->WarningLabel()->text().startsWith("Cannot change Display Units - values are loaded in main data screen"));
    ui.clear();
    Trigger("SetDisplayUnits1");
    EXPECT_EQ(Said(), QStringList{"Clear Screen Data (Data / Clear Data) before Setting Dislay Units"});
    EXPECT_FALSE(Units()->isVisible());
}

TEST_F(WindowTest, PickingAUnitRederivesCaptionsAndRanges) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 1, "Max Temp", "Int16", "0.1", 1, "1", "", "", "Temperature")});
    EXPECT_EQ(mw()->NameLabels()[0]->text(), QString::fromUtf8("Max Temp [Temperature in \xC2\xB0" "C]"));
    EXPECT_EQ(mw()->AttrLabels()[0]->text(), "1 decimal value 0 - 6553.5");
    Combo("Temperature")->setCurrentText(QString::fromUtf8("\xC2\xB0" "F"));
    EXPECT_EQ(mw()->NameLabels()[0]->text(), QString::fromUtf8("Max Temp [Temperature in \xC2\xB0" "F]"));
    EXPECT_EQ(mw()->AttrLabels()[0]->text(), "1 decimal value 32 - 11828");
    EXPECT_EQ(program->units.CurrentUnits[Units()->GetComboNumber("Temperature")].MtoD, "M*9/5+32");
    // A typed name that is no unit of the type leaves the row as it was.
    Combo("Temperature")->setEditText("Rankine");
    EXPECT_EQ(program->units.CurrentUnits[Units()->GetComboNumber("Temperature")].MtoD, "M*9/5+32");
    // Values typed in °F are checked in meter units.
    Box(0)->setText("212");
    Press("CheckData");
    EXPECT_EQ(Status()->text(), "Data OK");
    EXPECT_EQ(mw()->MeterValues()[0], "100");
    EXPECT_EQ(mw()->EEValues()[0].Values, (QVector<qint32>{3, 232}));
}

TEST_F(WindowTest, UnknownParameterTypeStopsTheDerivation) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 0, "A", "Int8", "1", 1, "1"), Param(1, 1, "B", "Int8", "1", 1, "2", "", "", "Viscosity"),
                             Param(2, 2, "C", "Int8", "1", 1, "3")});
    EXPECT_EQ(Said(), QStringList{"Invalid Parameter Type: Viscosity for Parameter: B. Please correct before proceeding"});
    EXPECT_EQ(mw()->AttrLabels()[0]->text(), "1 integer value 0 - 255");
    EXPECT_TRUE(mw()->AttrLabels()[2]->text().isEmpty());
}

TEST_F(WindowTest, ManyUnitTypesStayReachable) {
    QStringList lines{"heading", "heading"};
    for (int t = 0; t < 30; ++t) lines << QStringLiteral("Type%1\tu%1\tM\tD").arg(t);
    QString error;
    ASSERT_TRUE(WriteTextLines(paths.StartDir() + "VORDADisplayData.txt", lines, &error));
    StartMaker();
    ASSERT_EQ(Units()->UnitCombos().size(), 30);
    auto* scroll = Units()->findChild<QScrollArea*>("UnitsScroll");
    ASSERT_NE(scroll, nullptr);
    const QWidget* content = scroll->widget();
    for (QComboBox* c : Units()->UnitCombos()) EXPECT_LE(c->geometry().bottom(), content->height()) << c->objectName().toStdString();
    const QWidget* close = Units()->findChild<QWidget*>("Closebtn");
    EXPECT_GT(close->y(), Units()->UnitCombos().last()->geometry().bottom());
}

TEST_F(WindowTest, MapReadFailuresShowTheirMessages) {
    StartMaker();
    struct Case {
        QStringList lines;
        QString message;
    } cases[] = {
        {{"V1.99", "0"}, "ZUVMAP12.map is in an old format and cannot be read"},
        {{"Vxx", "0"}, "ZUVMAP12.map has file version Vxx and cannot be read - contact ZUV Meters"},
        {{"V2", "one"}, "Error reading Map File ZUVMAP12.map"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        ui.clear();
        OpenMap(WriteRaw("ZUVMAP12.map", c.lines));
        EXPECT_EQ(Said(), QStringList{c.message});
        EXPECT_FALSE(end.terminated);
        EXPECT_TRUE(program->map.MapLoaded); // the command marks a map loaded whatever the read gave
    }
}

TEST_F(WindowTest, DamagedMeterMapEndsTheProgramForOrdinaryUsers) {
    AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    WriteRaw("ZUVMAP5.map", {"V2", "1", "zero"});
    Find<QPushButton>("TestConnbtn")->click();
    EXPECT_EQ(end.messages, QStringList{"Error reading Map File ZUVMap5.Map  Contact ZUV Meters for assistance.  "
                                        "Application terminating\n\rVORDA Version: 3.9.5"});
}

TEST_F(WindowTest, OpenMapFileAsksTakesTheNumberAndReportsABadName) {
    StartMaker();
    OpenMap("ZUVMAP12.map", ThreeRows());
    Box(0)->setText("5");
    ui.clear();
    ui.answer(false);
    OpenMap(WriteMap("ZUVMAPx1.map", ThreeRows()));
    EXPECT_EQ(Said(), QStringList{"About to read a new Map file.\n\rCurrent data has not been saved, and will be deleted.\n\r\n\r            Are you sure?"});
    EXPECT_EQ(program->map.CurrentMapFile, "ZUVMAP12.map");
    ui.clear();
    ui.paths.clear();
    OpenMap(WriteMap("ZUVMAPx1.map", ThreeRows()));
    EXPECT_EQ(Said().last(), "Map File name error: ZUVMAPx1.map\n\rContact ZUV Meters Inc.");
    EXPECT_EQ(program->map.CurrentMapFile, "ZUVMAPx1.map");
    EXPECT_EQ(program->map.MapFileNumber, 12);
    EXPECT_EQ(mw()->ValueEdits().size(), 3);
    EXPECT_EQ(ui.texts("open").last(), "Meter map files (*.map)|*.map|");
}

TEST_F(WindowTest, OpenMapFileDoesNothingInCalibrationModeWithAMapLoaded) {
    ASSERT_TRUE(Create({"/MaOfs"}));
    OpenMap(WriteMap("ZUVMAP12.map", ThreeRows()));
    ASSERT_TRUE(program->map.MapLoaded);
    ui.clear();
    OpenMap(WriteMap("ZUVMAP13.map", ThreeRows()));
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(program->map.CurrentMapFile, "ZUVMAP12.map");
}

class DataFileWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        StartMaker();
        OpenMap("ZUVMap12.Map", {Param(0, 1, "Flow Rate", "Int16", "0.1", 1, "1"), Param(2, 5, "Tag", "ASCII", "", 4, "2"),
                                 Param(6, 7, "Config", "Hex", "", 2, "3"), Param(8, 10, "Levels", "Int8", "1", 3, "4", "", "D")});
    }
    void Fill() {
        const QStringList values{"12.5", "AB12", "0AFF", "9,5,1"};
        for (int i = 0; i < 4; ++i) Box(i)->setText(values[i]);
    }
    QString Save(const QString& name) {
        const QString path = UserFile(name);
        ui.choosePath(path);
        Trigger("SaveAsData");
        return path;
    }
    void Open(const QString& path) {
        ui.choosePath(path);
        Trigger("ReadData");
    }
};

TEST_F(DataFileWindowTest, SavedFileReopensUnderTheSameMap) {
    Fill();
    const QString path = Save("site");
    ASSERT_TRUE(QFile::exists(path + ".epf"));
    QFile f(path + ".epf");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("ZUVMap12.Map\r\n4\r\nFlow Rate\r\nInt16\r\n12.5\r\nTag\r\nASCII\r\nAB12\r\n"
                                      "Config\r\nHex\r\n0AFF\r\nLevels\r\nInt8\r\n9,5,1\r\n"));
    EXPECT_EQ(Find<QLabel>("DataFileNow")->text(), "site.epf");
    EXPECT_FALSE(program->flags.DataEdited);
    EXPECT_EQ(ui.texts("save").last(), "Save Parameter Data|Meter Parameter Files (*.epf)|*.epf|epf");

    Trigger("ClearData1");
    ui.clear();
    Open(path + ".epf");
    EXPECT_TRUE(ui.texts("message").isEmpty()) << Said().join("|").toStdString();
    const QStringList values{"12.5", "AB12", "0AFF", "9,5,1"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Box(i)->text(), values[i]);
    EXPECT_EQ(Status()->text(), "Data OK");
    EXPECT_FALSE(program->flags.MeterInSync);
    EXPECT_TRUE(program->flags.DataOnScreen);
    EXPECT_EQ(ui.texts("open").last(), "Meter parameter files (*.epf)|*.epf|");
}

TEST_F(DataFileWindowTest, OtherMapNameWarnsAndLoadsByPosition) {
    for (const char* name : {"zuvmap12.map", "ZUVMap7.Map"}) {
        SCOPED_TRACE(name);
        WriteRaw("other.epf", {name, "2", "x", "Int16", "3", "y", "ASCII", "QQ"});
        ui.clear();
        Open(UserFile("other.epf"));
        const bool warned = QString(name) != "zuvmap12.map";
        EXPECT_EQ(ui.texts("message").contains(QStringLiteral("Warning: Map file name in use (ZUVMap12.Map)\n\r"
                                                               "does not match map file name in parameter file (") + name + ")"),
                  warned);
        EXPECT_EQ(Box(0)->text(), "3");
        EXPECT_EQ(Box(1)->text(), "QQ");
        EXPECT_TRUE(Box(2)->text().isEmpty());
    }
}

TEST_F(DataFileWindowTest, ShortFileKeepsWhatWasRead) {
    WriteRaw("short.epf", {"ZUVMap12.Map", "4", "Flow Rate", "Int16", "7.5", "Tag", "ASCII"});
    Open(UserFile("short.epf"));
    EXPECT_TRUE(Said().contains("Error reading data file short.epf"));
    EXPECT_EQ(Box(0)->text(), "7.5");
    EXPECT_EQ(Find<QLabel>("DataFileNow")->text(), "short.epf");
}

TEST_F(DataFileWindowTest, ExtraValuesBeyondTheMapAreLeftOut) {
    WriteRaw("long.epf", {"ZUVMap12.Map", "5", "a", "Int16", "1", "b", "ASCII", "B", "c", "Hex", "01", "d", "Int8", "3,2,1",
                          "e", "Int8", "99"});
    Open(UserFile("long.epf"));
    EXPECT_FALSE(Said().contains("Error reading data file long.epf"));
    EXPECT_EQ(Box(3)->text(), "3,2,1");
    EXPECT_EQ(Status()->text(), "Data OK");
}

TEST_F(DataFileWindowTest, CancelledOrRefusedSavesChangeNothing) {
    Fill();
    Trigger("SaveAsData"); // no path scripted: the dialog is cancelled
    EXPECT_TRUE(program->flags.DataEdited);
    EXPECT_EQ(Find<QLabel>("DataFileNow")->text(), "");
    Box(0)->setText("x");
    ui.clear();
    Save("bad.epf");
    EXPECT_EQ(Said(), (QStringList{"Invalid Int16 in Flow Rate : Not a valid number", "Please correct Data errors"}));
    EXPECT_FALSE(QFile::exists(UserFile("bad.epf")));
}

TEST_F(DataFileWindowTest, FailedSaveLeavesTheExistingFileWhole) {
    Fill();
    const QString path = Save("keep.epf");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    // Block the temporary file the save writes first.
    QDir(UserFile("")).mkdir("blocked");
    QFile::setPermissions(UserFile("blocked"), QFileDevice::ReadOwner);
    Box(0)->setText("1");
    ui.clear();
    Save("blocked/new.epf");
    // Writing into a folder that is not writable fails for ordinary users;
    // for root it succeeds, and the check below still holds.
    QFile again(path);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), before);
    QDir().mkdir(UserFile("dir.epf"));
    ui.clear();
    Save("dir.epf");
    EXPECT_EQ(ui.texts("error").size(), 1);
    EXPECT_TRUE(QFileInfo(UserFile("dir.epf")).isDir());
}

} // namespace
} // namespace vorda::test

namespace vorda::test {
namespace {

TEST_F(WindowTest, AttributesPanelTogglesOnItsCaption) {
    StartMaker();
    QLabel* caption = Find<QLabel>("MOForAttrslbl");
    QWidget* panel = Find<QWidget>("AttrsPnl");
    mw()->show();
    EXPECT_FALSE(panel->isVisible());
    mw()->MOForAttrslblClick();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(caption->text(), "Current Attributes (Click to toggle):  Double-click user file directory to open in File Explorer");
    mw()->MOForAttrslblClick();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(caption->text(), "Current Attributes (Click to toggle):");
}

TEST_F(WindowTest, WheelOverTheAreaScrollsByLines) {
    StartMaker();
    OpenMap(program->startup.UserDir + "ZUVMAP5.map");
    mw()->show();
    auto* area = Find<QScrollArea>("ScrollArea");
    QScrollBar* bar = area->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    const QPoint inside(5, 5);
    QWheelEvent down(inside, area->viewport()->mapToGlobal(inside), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(area->viewport(), &down);
    EXPECT_EQ(bar->value(), QApplication::wheelScrollLines() * bar->singleStep());
    QWheelEvent up(inside, area->viewport()->mapToGlobal(inside), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(area->viewport(), &up);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(WindowTest, CalculationFieldOpensTheOffsetPanelBesideIt) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 0, "Other", "Int8", "1", 1, "1"),
                             Param(1, 2, "4 mA Offset", "Int16", "1", 1, "2", "", "", "", "Calculation 1")});
    QWidget* panel = Find<QWidget>("mAPnl");
    mw()->show();
    QTest::mouseClick(Box(1), Qt::LeftButton);
    EXPECT_FALSE(panel->isVisible()); // empty field
    Box(1)->setText("1000");
    QTest::mouseClick(Box(1), Qt::LeftButton);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->y(), Box(1)->y());
    EXPECT_EQ(Find<QLineEdit>("OldOffsetEdt")->text(), "1000");
    QTest::mouseClick(Box(0), Qt::LeftButton);
    EXPECT_FALSE(panel->isVisible());
}

} // namespace
} // namespace vorda::test
