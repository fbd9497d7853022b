// Opening maps on the main window: damaged and missing files, maps without
// headers, empty maps, the preview and the working folder.
#include "WindowTestMaps.h"

#include <QMenu>

namespace vorda::test {
namespace {

class MapsWindowTest : public WindowTest {
protected:
    static QList<DMap> TwoParams() {
        return {Param(0, 0, "First", "Int8", "1", 1, "1"), Param(1, 2, "Second", "Int16", "1", 1, "2")};
    }
    // A whole parameter block in file order.
    static QStringList Block(int reg, const QString& name, int seq) {
        return {QString::number(reg), QString::number(reg), "1", name, "Int8", "1", "", QString::number(seq), "", "", "", ""};
    }
};

TEST_F(MapsWindowTest, ADamagedMapKeepsOnlyTheBlocksReadWhole) {
    StartMaker();
    OpenMap("ZUVMAP12.map", TwoParams());
    Box(0)->setText("3");
    ui.answer(true);
    QStringList lines{"V2", "3"};
    lines << Block(0, "A", 1) << Block(1, "B", 2) << QStringList{"x2"};
    ui.clear();
    OpenMap(WriteRaw("ZUVMAP13.map", lines));
    EXPECT_EQ(Said().last(), "Error reading Map File ZUVMAP13.map");
    EXPECT_FALSE(end.terminated);
    ASSERT_EQ(program->map.MapParamCount(), 2);
    ASSERT_EQ(mw()->ValueEdits().size(), 2);
    EXPECT_EQ(mw()->NameLabels()[1]->text(), "B");
    EXPECT_EQ(Find<QLabel>("MapFileNow")->text(), "");
    EXPECT_EQ(program->map.MapFileNumber, 13);
    EXPECT_TRUE(Box(0)->text().isEmpty());
}

TEST_F(MapsWindowTest, AnOldFormatLeavesThePreviousMapOnScreenWithoutValues) {
    StartMaker();
    OpenMap("ZUVMAP12.map", TwoParams());
    Box(0)->setText("3");
    ui.answer(true);
    OpenMap(WriteRaw("ZUVMAP14.map", {"V1", "0"}));
    EXPECT_EQ(Said().last(), "ZUVMAP14.map is in an old format and cannot be read");
    ASSERT_EQ(mw()->ValueEdits().size(), 2);
    EXPECT_EQ(mw()->NameLabels()[0]->text(), "First");
    EXPECT_TRUE(Box(0)->text().isEmpty());
    EXPECT_EQ(program->map.CurrentMapFile, "ZUVMAP14.map");
}

TEST_F(MapsWindowTest, AMissingFileEndsTheCommandWithTheSystemsText) {
    StartMaker();
    OpenMap(UserFile("ZUVMAP11.map")); // chosen, then gone, before any map
    ASSERT_EQ(ui.texts("error").size(), 1);
    EXPECT_FALSE(program->map.MapLoaded);
    EXPECT_TRUE(mw()->ValueEdits().isEmpty());

    OpenMap("ZUVMAP12.map", TwoParams());
    QLineEdit* const first = Box(0);
    ui.clear();
    OpenMap(UserFile("ZUVMAP15.map"));
    ASSERT_EQ(ui.texts("error").size(), 1);
    EXPECT_FALSE(ui.texts("error")[0].isEmpty());
    EXPECT_FALSE(end.terminated);
    EXPECT_EQ(program->map.MapParamCount(), 2);
    EXPECT_EQ(mw()->ValueEdits().size(), 2);
    EXPECT_EQ(Box(0), first); // the screen was not built again
    EXPECT_EQ(program->map.MapFileNumber, 12);
}

TEST_F(MapsWindowTest, AMapWhoseRegistersDisagreeIsRefusedNamingTheParameter) {
    StartMaker();
    QStringList lines{"V2", "2"};
    lines << Block(0, "A", 1);
    QStringList wide = Block(1, "B", 2);
    wide[2] = "100000000"; // Capacity far beyond its one register
    lines << wide << QStringList{"0"};
    OpenMap(WriteRaw("ZUVMAP19.map", lines));
    EXPECT_EQ(Said(), (QStringList{"ZUVMAP19.map: Parameter \"B\" holds 100000000 values; registers 1 to 1 hold at most 1 Int8 values",
                                   "Error reading Map File ZUVMAP19.map"}));
    EXPECT_EQ(program->map.MapParamCount(), 1);
    EXPECT_EQ(Find<QLabel>("MapFileNow")->text(), "");
}

TEST_F(MapsWindowTest, HeadersAreOptionalButAnEmptyLineIsNoCount) {
    StartMaker();
    QStringList lines{"V2", "2"};
    lines << Block(0, "A", 1) << Block(1, "B", 2);
    OpenMap(WriteRaw("ZUVMAP16.map", lines));
    EXPECT_TRUE(Said().isEmpty()) << Said().join("|").toStdString();
    EXPECT_EQ(mw()->ValueEdits().size(), 2);
    EXPECT_TRUE(mw()->HeaderLabels().isEmpty());
    EXPECT_EQ(Find<QLabel>("MapFileNow")->text(), "ZUVMAP16.map");
    OpenMap(WriteRaw("ZUVMAP17.map", lines + QStringList{""}));
    EXPECT_EQ(Said(), QStringList{"Error reading Map File ZUVMAP17.map"});
}

TEST_F(MapsWindowTest, AnEmptyMapLoadsAndHasNoData) {
    StartMaker();
    OpenMap(WriteRaw("ZUVMAP0.map", {"V2", "0", "0"}));
    EXPECT_TRUE(Said().isEmpty()) << Said().join("|").toStdString();
    EXPECT_TRUE(program->map.MapLoaded);
    EXPECT_EQ(program->map.MapFileNumber, 0);
    EXPECT_TRUE(mw()->ValueEdits().isEmpty());
    Press("CheckData");
    EXPECT_EQ(Said(), QStringList{"No data!"});
}

TEST_F(MapsWindowTest, OpeningAMapFreesTheUnitsAndEntersItsFolder) {
    StartMaker();
    OpenMap("ZUVMAP12.map", TwoParams());
    Box(0)->setText("1");
    ASSERT_TRUE(program->flags.DataOnScreen);
    QDir(UserFile("")).mkdir("maps");
    const QString path = WriteMap("maps/ZUVMAP18.map", TwoParams());
    ui.answer(true);
    OpenMap(path);
    EXPECT_EQ(QDir::currentPath(), QFileInfo(path).absolutePath());
    EXPECT_EQ(program->map.CurrentMapFile, "ZUVMAP18.map");
    EXPECT_EQ(program->map.MapFileNumber, 18);
    EXPECT_FALSE(program->flags.DataOnScreen);
    EXPECT_FALSE(program->flags.DataEdited);
    EXPECT_TRUE(Units()->isEnabled());
    EXPECT_TRUE(mw()->DisplayUnitsShown);
    EXPECT_TRUE(Find<QMenu>("Data1")->menuAction()->isEnabled());
    EXPECT_EQ(Status()->text(), "Data NOT OK");
    // A cancelled dialog changes nothing.
    ui.clear();
    Trigger("ReadMapFile");
    EXPECT_EQ(program->map.CurrentMapFile, "ZUVMAP18.map");
    EXPECT_TRUE(Said().isEmpty());
}

TEST_F(MapsWindowTest, APreviewShowsItsLabelAndKeepsTheMapName) {
    StartMaker();
    OpenMap("ZUVMAP12.map", TwoParams());
    WriteMap("TempMapFile.map", {Param(0, 0, "Preview row", "Int8", "1", 1, "1")});
    mw()->Guard([this] { mw()->ReadTempMapFile("TempMapFile.map"); });
    EXPECT_TRUE(Find<QLabel>("IsPreviewlbl")->isVisibleTo(mw()));
    EXPECT_EQ(Find<QLabel>("IsPreviewlbl")->text(), "Loaded:  Preview of Map file");
    EXPECT_EQ(mw()->NameLabels()[0]->text(), "Preview row");
    EXPECT_EQ(program->map.CurrentMapFile, "ZUVMAP12.map");
    EXPECT_EQ(program->map.MapFileNumber, 12);
    EXPECT_EQ(Find<QLabel>("MapFileNow")->text(), "TempMapFile.map");
    OpenMap("ZUVMAP12.map", TwoParams());
    EXPECT_FALSE(Find<QLabel>("IsPreviewlbl")->isVisibleTo(mw()));
}

} // namespace
} // namespace vorda::test
