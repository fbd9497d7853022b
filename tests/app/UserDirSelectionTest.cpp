// Moving the user directory: the copy of the user's files, the record for the
// next start, every stop, the folder chooser's new folders and the label.
#include "tests/support/ProgramFixture.h"

#include "base/FolderChoice.h"
#include "base/TextFiles.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <map>

namespace vorda::test {
namespace {

QByteArray Content(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

void MakeReadOnly(const QString& path) {
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

// The regular files of a folder with their contents.
std::map<QString, QByteArray> Files(const QString& dir) {
    std::map<QString, QByteArray> out;
    for (const QString& name : QDir(dir).entryList(QDir::Files | QDir::Hidden)) out[name] = Content(dir + "/" + name);
    return out;
}

TEST(FileFromPathTest, GivesTheTextAfterTheLastSeparator) {
    const QStringList paths = {"/a/b.map", "b.map", "/a/", "/", "", QString::fromUtf8("/x y/\xC3\xA9t\xC3\xA9.epf")};
    const QStringList names = {"b.map", "", "", "", "", QString::fromUtf8("\xC3\xA9t\xC3\xA9.epf")};
    for (int i = 0; i < paths.size(); ++i) EXPECT_EQ(FileFromPath(paths[i]), names[i]) << paths[i].toStdString();
}

TEST(CopyFileReplacingTest, CopiesEveryByteAndNeverSpoilsTheTarget) {
    QTemporaryDir dir;
    const QString from = dir.filePath("from.map"), to = dir.filePath("to.map");
    QByteArray bytes("a\r\nb\0c\xff", 8);
    bytes += QByteArray(200000, 'x'); // more than one block
    WriteFile(from, bytes);
    WriteFile(to, "older");
    QString error;
    ASSERT_TRUE(CopyFileReplacing(from, to, &error)) << error.toStdString();
    EXPECT_EQ(Content(to), bytes);

    // A source that cannot be read leaves the target whole and no stray file.
    EXPECT_FALSE(CopyFileReplacing(dir.filePath("gone.map"), to, &error));
    EXPECT_EQ(Content(to), bytes);
    EXPECT_FALSE(CopyFileReplacing(from, dir.filePath("no/such/folder/x.map"), &error));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

class UserDirSelectionTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        ASSERT_TRUE(Create());
        oldDir = program->startup.UserDir; // the default, with its final "/"
    }
    QString UdFile() const { return paths.AppDataDir() + "/VORDAUD.txt"; }
    QString Folder(const QString& name) const {
        const QString dir = root.filePath(name);
        QDir().mkpath(dir);
        return dir;
    }
    // Runs the menu command with the chooser answering path.
    void Select(const QString& path) {
        ui.clear();
        ui.choosePath(path);
        Trigger("DirectorySelection1");
    }
    QString CopiedText(const QString& chosen) const {
        return "Files copied from " + oldDir + "/\n\r - to " + chosen +
               "\n\r - (no VORDA files found there)\n\r - this is now the VORDA Directory for user files";
    }
    // UserDir, the working directory, the label and "VORDAUD.txt" all name dir.
    void ExpectUserDir(const QString& dir) const {
        EXPECT_EQ(program->startup.UserDir, dir);
        EXPECT_EQ(QDir(QDir::currentPath()), QDir(dir));
        EXPECT_EQ(Find<QLabel>("UDlbl")->text(), dir);
        EXPECT_EQ(Content(UdFile()), EncodeCp1252(dir + "\r\n")); // as the next start reads it
    }

    QString oldDir;
};

TEST_F(UserDirSelectionTest, EmptyFolderReceivesTheTextMapAndDataFilesAndBecomesTheUserDirectory) {
    // Extensions in mixed case, a hidden file, and things that stay behind.
    const std::map<QString, QByteArray> userFiles = {
        {"Notes.TXT", "notes"}, {"mine.Map", "map"}, {"SET.ePf", "data"}, {".hidden.epf", "hidden"}};
    for (const auto& [name, bytes] : userFiles) WriteFile(oldDir + name, bytes);
    WriteFile(oldDir + "FormSettings.ini", "[Preferences]");
    WriteFile(oldDir + "report.doc", "no");
    WriteFile(oldDir + "folder.map/inside.map", "not copied");
    const auto before = Files(oldDir);
    const QString chosen = Folder(QString::fromUtf8("New Folder \xC3\xA9t\xC3\xA9"));
    Select(chosen);
    const QString intro = "Choose a directory to store VORDA files.\n\rIf the chosen directory is empty,\n\r"
                          "files will be copied from the current directory.\n\rTo create a new directory - just "
                          "add /yournewdir in the Directory Name dialog\n\r\n\rCurrent directory is: " + oldDir;
    EXPECT_EQ(ui.texts(), (QStringList{intro, "Select Directory", CopiedText(chosen)}));
    EXPECT_EQ(ui.lastStartDir, oldDir);
    auto expected = userFiles;
    for (const QString& name : SeedFileNames()) expected[name] = Content(oldDir + name);
    EXPECT_EQ(Files(chosen), expected);
    EXPECT_FALSE(QFileInfo::exists(chosen + "/folder.map"));
    EXPECT_EQ(Files(oldDir), before); // nothing taken from the old folder
    ExpectUserDir(chosen);
}

TEST_F(UserDirSelectionTest, NewUserDirectoryKeepsTheSettingsAndIsUsedAtTheNextStart) {
    AttachMeter(0, "ZUVMAP5.map", 5);
    program.reset();
    ASSERT_TRUE(Create());
    Find<QPushButton>("TestConnbtn")->click();
    ASSERT_TRUE(program->map.MapLoaded);
    const QString chosen = Folder("elsewhere");
    Select(chosen);
    ASSERT_EQ(program->startup.UserDir, chosen);
    WriteFile(chosen + "/ZUVMAP5.map", "edited in the new folder");
    mw()->show();
    mw()->close();
    ASSERT_FALSE(mw()->isVisible());
    EXPECT_TRUE(QFile::exists(chosen + "/FormSettings.ini"));
    EXPECT_TRUE(QFile::exists(chosen + "/VORDAConfig.txt"));
    EXPECT_FALSE(QFile::exists(oldDir + "FormSettings.ini"));
    EXPECT_FALSE(QFile::exists(oldDir + "VORDAConfig.txt"));

    program.reset();
    serial.SioDone(0);
    ui.clear();
    ASSERT_TRUE(Create());
    ExpectUserDir(chosen);
    EXPECT_EQ(Content(chosen + "/ZUVMAP5.map"), "edited in the new folder"); // not seeded again
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(UserDirSelectionTest, FolderWithTheReadMeIsTakenAsItIs) {
    const QString chosen = Folder("theirs");
    WriteFile(chosen + "/vordareadme.TXT", "VORDA 3.9.5");
    WriteFile(oldDir + "mine.epf", "stays");
    Select(chosen);
    EXPECT_EQ(ui.texts().last(), "No files copied to " + chosen +
                                     "\n\r - (VORDA files were found there)\n\r - this is now the VORDA Directory for user files");
    EXPECT_EQ(Files(chosen).size(), 1);
    ExpectUserDir(chosen);
}

TEST_F(UserDirSelectionTest, CancelAndTheSameFolderChangeNothing) {
    const QByteArray record = Content(UdFile());
    Select(QString());
    EXPECT_EQ(ui.texts().last(), "Directory selection aborted");
    EXPECT_EQ(program->startup.UserDir, oldDir);
    EXPECT_EQ(Content(UdFile()), record);

    // The default folder ends with "/" and the chooser's answer does not:
    // the same folder is taken again, without its separator. Its read-me is
    // gone, so its files are "copied" onto themselves: nothing may break.
    const QString same = QDir::cleanPath(oldDir);
    QFile::remove(oldDir + "VORDAReadMe.txt");
    WriteFile(oldDir + "mine.epf", "stays");
    const auto before = Files(same);
    Select(same);
    EXPECT_EQ(ui.texts().last(), CopiedText(same));
    EXPECT_EQ(ui.texts("message").size(), 2); // no copy reported as failed
    EXPECT_EQ(Files(same), before);
    ExpectUserDir(same);

    // Now the texts are equal.
    Select(same);
    EXPECT_EQ(ui.texts().last(), "No new directory selected - no changes made.");
    ExpectUserDir(same);
}

TEST_F(UserDirSelectionTest, ReadOnlyFileInTheNewFolderIsReportedAndKept) {
    WriteFile(oldDir + "a.epf", "new a");
    WriteFile(oldDir + "b.epf", "new b");
    WriteFile(oldDir + "c.epf", "new c");
    const QString chosen = Folder("target");
    WriteFile(chosen + "/b.epf", "the user's b");
    MakeReadOnly(chosen + "/b.epf");
    Select(chosen);
    EXPECT_EQ(ui.texts("message").mid(1),
              (QStringList{"copy " + oldDir + "/b.epf failed", CopiedText(chosen)}));
    EXPECT_EQ(Content(chosen + "/b.epf"), "the user's b");
    EXPECT_EQ(Content(chosen + "/a.epf"), "new a");
    EXPECT_EQ(Content(chosen + "/c.epf"), "new c");
    ExpectUserDir(chosen);
}

TEST_F(UserDirSelectionTest, FailedRecordStopsBeforeAnythingChanges) {
    const QString chosen = Folder("next");
    QFile::remove(UdFile());
    QDir().mkdir(UdFile()); // in the way of the file
    Select(chosen);
    ASSERT_EQ(ui.texts("error").size(), 1);
    EXPECT_TRUE(ui.texts("error")[0].contains("VORDAUD.txt"));
    EXPECT_EQ(program->startup.UserDir, oldDir);
    // Bare names still resolve in the user directory, as the label says.
    EXPECT_EQ(QDir::currentPath() + "/", oldDir);
    EXPECT_EQ(Find<QLabel>("UDlbl")->text(), oldDir);
    EXPECT_TRUE(QFileInfo(UdFile()).isDir());
}

TEST_F(UserDirSelectionTest, UnusableFoldersAreRefusedBeforeAnyCopy) {
    WriteFile(oldDir + "mine.epf", "stays");
    const QByteArray record = Content(UdFile());
    const struct {
        QString folder;
        QString start;
    } cases[] = {
        {root.filePath("vanished"), "Unable to write to " + root.filePath("vanished") + "\n\r"},
        {Folder(QString::fromUtf8("\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5")),
         "The directory name " + root.filePath(QString::fromUtf8("\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        Select(c.folder);
        ASSERT_EQ(ui.texts("message").size(), 2);
        EXPECT_TRUE(ui.texts("message")[1].startsWith(c.start)) << ui.texts("message")[1].toStdString();
        EXPECT_TRUE(ui.texts("message")[1].endsWith(" - no changes made."));
        EXPECT_EQ(program->startup.UserDir, oldDir);
        EXPECT_EQ(QDir::currentPath() + "/", oldDir);
        EXPECT_EQ(Content(UdFile()), record);
        EXPECT_FALSE(QFileInfo::exists(c.folder + "/mine.epf"));
    }
}

TEST_F(UserDirSelectionTest, TypedFolderIsCreatedOnlyAfterYes) {
    const QString typed = root.filePath("made/by hand");
    ui.clear();
    ui.typeFolder(typed + "/");
    ui.answer(false);
    Trigger("DirectorySelection1");
    EXPECT_EQ(ui.texts().mid(1), (QStringList{"Select Directory", kCreateFolderQuestion, "Directory selection aborted"}));
    EXPECT_FALSE(QFileInfo::exists(root.filePath("made")));
    EXPECT_EQ(program->startup.UserDir, oldDir);

    ui.clear();
    ui.typeFolder(typed + "/"); // comes back without the final separator
    ui.answer(true);
    Trigger("DirectorySelection1");
    EXPECT_EQ(ui.texts("yesno"), QStringList{kCreateFolderQuestion});
    EXPECT_EQ(ui.texts().last(), CopiedText(typed));
    EXPECT_TRUE(QFileInfo::exists(typed + "/VORDAReadMe.txt"));
    ExpectUserDir(typed);
}

TEST_F(UserDirSelectionTest, DoubleClickOnTheLabelOpensTheUserDirectory) {
    QLabel* label = Find<QLabel>("UDlbl");
    auto doubleClick = [label] {
        QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(2, 2), label->mapToGlobal(QPointF(2, 2)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(label, &event);
    };
    ui.clear();
    doubleClick();
    EXPECT_EQ(ui.texts("desktop"), QStringList{oldDir});
    program->startup.UserDir.clear(); // before start-up has settled the user directory
    ui.clear();
    doubleClick();
    EXPECT_TRUE(ui.shown.empty());
}

} // namespace
} // namespace vorda::test
