// Parameter data files through the main window: the questions, damaged
// files, calibration mode, hidden parameters and failed saves.
#include "WindowTestMaps.h"

#include "base/TextFiles.h"

#include <QPushButton>

#include <sys/stat.h>
#include <unistd.h>

namespace vorda::test {
namespace {

class DataFilesWindowTest : public WindowTest {
protected:
    static QList<DMap> FourParams() {
        return {Param(0, 1, "Flow Rate", "Int16", "0.1", 1, "1"), Param(2, 5, "Tag", "ASCII", "", 4, "2"),
                Param(6, 7, "Config", "Hex", "", 2, "3"), Param(8, 8, "Level", "Int8", "1", 1, "4")};
    }
    void Open(const QString& path) {
        ui.choosePath(path);
        Trigger("ReadData");
    }
    QString Save(const QString& name) {
        const QString path = UserFile(name);
        ui.choosePath(path);
        Trigger("SaveAsData");
        return path;
    }
    static QByteArray Content(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
};

TEST_F(DataFilesWindowTest, OpeningOverEditedValuesAsksFirst) {
    StartMaker();
    OpenMap("ZUVMap12.Map", FourParams());
    WriteRaw("a.epf", {"ZUVMap12.Map", "4", "Flow Rate", "Int16", "1.5", "Tag", "ASCII", "T", "Config", "Hex", "01", "Level", "Int8", "2"});
    Box(3)->setText("9");
    ui.clear();
    ui.answer(false);
    Open(UserFile("a.epf"));
    EXPECT_EQ(Said(), QStringList{"About to read a new Data file.\n\rCurrent data has not been saved, and will be overwritten.\n\r\n\r            Are you sure?"});
    EXPECT_TRUE(ui.texts("open").isEmpty()); // no file dialog after Cancel
    EXPECT_EQ(Box(3)->text(), "9");
    ui.paths.clear();
    ui.clear();
    Open(UserFile("a.epf"));
    EXPECT_EQ(ui.texts("confirm").size(), 1);
    EXPECT_EQ(Box(0)->text(), "1.5");
    EXPECT_EQ(Box(3)->text(), "2");
    EXPECT_EQ(Status()->text(), "Data OK");
    EXPECT_FALSE(program->flags.DataEdited);
    EXPECT_EQ(mw()->CurrentDataFile, "a.epf");
    // Loaded values are not edited: opening again asks nothing.
    ui.clear();
    Open(UserFile("a.epf"));
    EXPECT_TRUE(ui.texts("confirm").isEmpty());
}

TEST_F(DataFilesWindowTest, FewerBlocksFillTheFirstBoxesAndABadCountIsReported) {
    StartMaker();
    OpenMap("ZUVMap12.Map", FourParams());
    WriteRaw("two.epf", {"ZUVMap12.Map", "2", "Flow Rate", "Int16", "2.5", "Tag", "ASCII", "AB"});
    Open(UserFile("two.epf"));
    EXPECT_FALSE(Said().contains("Error reading data file two.epf"));
    EXPECT_EQ(Box(0)->text(), "2.5");
    EXPECT_EQ(Box(1)->text(), "AB");
    EXPECT_TRUE(Box(2)->text().isEmpty());
    EXPECT_EQ(Box(3)->text(), "error"); // the closing check found it empty
    EXPECT_TRUE(Said().contains("Invalid Int8 in Level : Not a valid number"));

    ui.clear();
    WriteRaw("count.epf", {"ZUVMap12.Map", "four", "Flow Rate", "Int16", "2.5"});
    Open(UserFile("count.epf"));
    EXPECT_TRUE(Said().contains("Error reading data file count.epf"));
    EXPECT_EQ(Find<QLabel>("DataFileNow")->text(), "count.epf");
    EXPECT_TRUE(program->flags.DataOnScreen);
    EXPECT_FALSE(program->flags.MeterInSync);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(Box(i)->text().isEmpty() || Box(i)->text() == "error") << i;
}

// A file of 6 MB lines is read and answered in short texts, and what is no
// regular file is refused by name instead of holding the window.
TEST_F(DataFilesWindowTest, HugeLinesAreQuotedShortAndAFifoIsRefused) {
    StartMaker();
    OpenMap("ZUVMap12.Map", FourParams());
    const QString huge(6 * 1024 * 1024, QLatin1Char('9'));
    WriteRaw("huge.epf", {QStringLiteral("Z") + huge, "4", "Flow Rate", "Int16", huge, "Tag", "ASCII", "T",
                          "Config", "Hex", "01", "Level", "Int8", "2"});
    ui.clear();
    Open(UserFile("huge.epf"));
    ASSERT_FALSE(Said().isEmpty());
    EXPECT_TRUE(Said().first().startsWith("Warning: Map file name in use (ZUVMap12.Map)\n\r"
                                          "does not match map file name in parameter file (Z999"));
    for (const QString& text : Said()) EXPECT_LT(text.size(), 300) << qPrintable(text.left(300));

    const QString fifo = UserFile("pipe.epf");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    ::alarm(60); // a read that waits on the FIFO ends the test program
    ui.clear();
    Open(fifo);
    ::alarm(0);
    EXPECT_EQ(Said(), QStringList{QStringLiteral("Cannot open file \"%1\": it is not a regular file.").arg(fifo)});
}

TEST_F(DataFilesWindowTest, CalibrationModeDoesNotCompareTheMapName) {
    ASSERT_TRUE(Create({"/MaOfs"}));
    OpenMap("ZUVMap12.Map", FourParams());
    WriteRaw("other.epf", {"ZUVMap99.Map", "4", "a", "Int16", "1", "b", "ASCII", "X", "c", "Hex", "", "d", "Int8", "1"});
    ui.clear();
    Open(UserFile("other.epf"));
    for (const QString& text : Said()) EXPECT_FALSE(text.startsWith("Warning: Map file name in use")) << text.toStdString();
    EXPECT_EQ(Box(1)->text(), "X");
}

TEST_F(DataFilesWindowTest, HiddenMakerValuesAreLoadedAndWritten) {
    const QList<DMap> params{Param(0, 0, "Open", "Int8", "1", 1, "1"), Param(1, 1, "Factory", "Int8", "1", 1, "2", "C"),
                             Param(2, 2, "Last", "Int8", "1", 1, "3")};
    ASSERT_TRUE(Create());
    ConnectMeterOfMap(params);
    ASSERT_TRUE(program->link.MeterConnected);
    ASSERT_TRUE(Box(1)->isHidden());
    WriteRaw("site.epf", {"ZUVMap5.Map", "3", "Open", "Int8", "11", "Factory", "Int8", "22", "Last", "Int8", "33"});
    ui.clear();
    Open(UserFile("site.epf"));
    EXPECT_EQ(Box(1)->text(), "22");
    ASSERT_EQ(Status()->text(), "Data OK");
    Trigger("WriteEE");
    EXPECT_TRUE(ui.texts("message").contains("Meter written successfully")) << Said().join("|").toStdString();
    EXPECT_EQ(meters.back()->registers().mid(0, 3), (QVector<quint8>{11, 22, 33}));
    EXPECT_EQ(Find<QLabel>("EEPROMDataFile")->text(), "site.epf");
}

TEST_F(DataFilesWindowTest, AFailedSaveChangesNothing) {
    StartMaker();
    OpenMap("ZUVMap12.Map", FourParams());
    const QStringList values{"12.5", "AB12", "0AFF", "9"};
    for (int i = 0; i < 4; ++i) Box(i)->setText(values[i]);
    const QString kept = Save("site.epf");
    const QByteArray before = Content(kept);
    ASSERT_TRUE(before.startsWith("ZUVMap12.Map\r\n4\r\n"));
    Box(3)->setText("8");
    ui.clear();
    // A file stands where the folder should be.
    Save("site.epf/inner.epf");
    EXPECT_EQ(ui.texts("error").size(), 1) << Said().join("|").toStdString();
    EXPECT_EQ(Content(kept), before);
    EXPECT_TRUE(program->flags.DataEdited);
    EXPECT_EQ(Find<QLabel>("DataFileNow")->text(), "site.epf");
    EXPECT_EQ(mw()->CurrentDataFile, QFileInfo(kept).absoluteFilePath());
    // A later save to the same name replaces the file whole.
    ui.clear();
    Save("site.epf");
    EXPECT_TRUE(ui.texts("error").isEmpty());
    EXPECT_TRUE(Content(kept).endsWith("Level\r\nInt8\r\n8\r\n"));
    EXPECT_FALSE(program->flags.DataEdited);
}

TEST_F(DataFilesWindowTest, ANameWithoutExtensionGetsEpf) {
    StartMaker();
    OpenMap("ZUVMap12.Map", FourParams());
    for (int i = 0; i < 4; ++i) Box(i)->setText(QStringList{"1", "A", "", "2"}[i]);
    const QString base = Save("plain");
    EXPECT_TRUE(QFile::exists(base + ".epf"));
    EXPECT_FALSE(QFile::exists(base));
    EXPECT_EQ(Content(base + ".epf"), QByteArray("ZUVMap12.Map\r\n4\r\nFlow Rate\r\nInt16\r\n1\r\nTag\r\nASCII\r\nA\r\n"
                                                 "Config\r\nHex\r\n\r\nLevel\r\nInt8\r\n2\r\n"));
}

} // namespace
} // namespace vorda::test
