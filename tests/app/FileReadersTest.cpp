// Every reader of the program's files takes only regular files of sane size,
// and the one writer replaces only regular files their owner may write.
#include "shell/ConfigFiles.h"
#include "base/TextFiles.h"
#include "maps/MapFile.h"
#include "meter/SimMeter.h"
#include "units/DisplayData.h"
#include "values/MeterEngine.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace vorda {
namespace {

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

mode_t TypeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

// A reader that would wait on a FIFO ends the test program instead of
// hanging the suite.
class Watchdog {
public:
    Watchdog() { ::alarm(60); }
    ~Watchdog() { ::alarm(0); }
};

// The things that may stand where a reader expects its file.
class NotRegularFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0644), 0);
        ASSERT_TRUE(QFile::link(Path("fifo"), Path("link-to-fifo")));
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), Path("link-to-zero")));
        ASSERT_TRUE(QDir().mkdir(Path("folder")));
        // Sparse: larger than any reader takes, without using the disk.
        QFile huge(Path("huge"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.resize(kMaxTextFileBytes + 1));
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QStringList NotRegular() const {
        return {Path("fifo"), Path("link-to-fifo"), Path("link-to-zero"), Path("folder")};
    }

    Watchdog watchdog_;
    QTemporaryDir dir_;
};

// Each reader as "read path, give the error text".
using Reader = std::function<bool(const QString& path, QString* error)>;

struct NamedReader {
    const char* name;
    Reader read;
    const char* limit = "larger than 16 MiB";
};

QList<NamedReader> AllReaders() {
    return {
        {"text lines",
         [](const QString& p, QString* e) {
             QStringList lines;
             return ReadTextLines(p, &lines, e);
         }},
        {"map file",
         [](const QString& p, QString* e) {
             const MapReadResult r = ReadMapFileContent(p, QStringLiteral("ZUVMAP5.map"));
             *e = r.message;
             return r.status != MapReadStatus::OpenFailed;
         }},
        {"data file",
         [](const QString& p, QString* e) {
             DataFileContent content;
             return LoadDataFile(p, &content, e);
         }},
        {"copy source",
         [](const QString& p, QString* e) {
             QTemporaryDir to;
             return CopyFileReplacing(p, to.filePath(QStringLiteral("copy")), e);
         }},
        {"register file",
         [](const QString& p, QString* e) {
             QVector<quint8> registers;
             return ReadRegisterFile(p, &registers, e);
         },
         "larger than 1 MiB"},
    };
}

TEST_F(NotRegularFiles, EveryReaderRefusesThemNamingTheFile) {
    for (const NamedReader& reader : AllReaders()) {
        for (const QString& path : NotRegular()) {
            SCOPED_TRACE(std::string(reader.name) + " on " + path.toStdString());
            QString error;
            EXPECT_FALSE(reader.read(path, &error));
            EXPECT_TRUE(error.contains(path)) << qPrintable(error);
            EXPECT_TRUE(error.contains(QStringLiteral("not a regular file"))) << qPrintable(error);
        }
        SCOPED_TRACE(reader.name);
        QString error;
        EXPECT_FALSE(reader.read(Path("huge"), &error));
        EXPECT_TRUE(error.contains(Path("huge"))) << qPrintable(error);
        EXPECT_TRUE(error.contains(QLatin1String(reader.limit))) << qPrintable(error);
    }
}

TEST_F(NotRegularFiles, TheDisplayDataIsRefusedWithItsOwnFatalMessage) {
    for (const QString& target : {Path("fifo"), Path("huge")}) {
        QTemporaryDir start;
        ASSERT_TRUE(QFile::link(target, start.filePath(QStringLiteral("VORDADisplayData.txt"))));
        QList<DisplayDataType> data;
        QString error;
        EXPECT_FALSE(ReadDisplayDataFile(start.path(), &data, &error));
        const QString message = DisplayDataFailureMessage(start.path(), error);
        EXPECT_TRUE(message.contains(start.filePath(QStringLiteral("VORDADisplayData.txt")))) << qPrintable(message);
        EXPECT_TRUE(message.endsWith(QStringLiteral("Application closing.\n\rVORDA Version: 3.9.5")))
            << qPrintable(message);
    }
}

TEST_F(NotRegularFiles, TheWindowSettingsAreNeitherReadNorWrittenThrough) {
    for (const QString& path : {Path("fifo"), Path("link-to-zero"), Path("huge")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(ReadPlacement(path, QStringLiteral("ValuesReadWrite")).has_value());
        EXPECT_FALSE(WritePlacement(path, QStringLiteral("ValuesReadWrite"), Placement{1, 2, 3, 4}));
    }
    EXPECT_EQ(TypeOf(Path("fifo")), mode_t(S_IFIFO));
    EXPECT_EQ(TypeOf(Path("link-to-zero")), mode_t(S_IFLNK));
}

TEST(ReadFileBytesTest, TheLimitHoldsAlsoForAFileThatGrowsWhileRead) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ten");
    WriteBytes(path, "0123456789");
    QByteArray bytes;
    QString error;
    EXPECT_TRUE(ReadFileBytes(path, 10, &bytes, &error)) << qPrintable(error);
    EXPECT_EQ(bytes, QByteArray("0123456789"));
    EXPECT_FALSE(ReadFileBytes(path, 9, &bytes, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("larger than 9 bytes"))) << qPrintable(error);
    // The system's own files report no size and deliver more than they say.
    EXPECT_FALSE(ReadFileBytes(QStringLiteral("/proc/self/maps"), 16, &bytes, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("larger than"))) << qPrintable(error);
    // A missing file keeps the system's text.
    EXPECT_FALSE(ReadFileBytes(dir.filePath("missing"), 10, &bytes, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("No such file"))) << qPrintable(error);
}

TEST(ExcerptTest, QuotesAtMostSixtyCharactersAndMarksTheCut) {
    const QString sixty(60, QLatin1Char('a'));
    const struct {
        QString text;
        QString excerpt;
    } cases[] = {
        {QString(), QString()},
        {QStringLiteral("short"), QStringLiteral("short")},
        {sixty, sixty},
        {sixty + QLatin1Char('b'), sixty + QChar(0x2026)},
        {sixty + QString(10 * 1024 * 1024, QLatin1Char('b')), sixty + QChar(0x2026)},
    };
    for (const auto& c : cases) EXPECT_EQ(Excerpt(c.text), c.excerpt) << c.text.size();
}

// What may stand where a save is to go, and whether the save may replace it.
class SaveTargets : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0644), 0);
        ASSERT_TRUE(QFile::link(Path("fifo"), Path("link-to-fifo")));
        // A device node of our own: the test never touches the system's.
        hasDevice_ = ::mknod(QFile::encodeName(Path("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
        if (hasDevice_) ASSERT_TRUE(QFile::link(Path("null"), Path("link-to-null")));
        WriteBytes(Path("read-only.epf"), old);
        ASSERT_TRUE(QFile::setPermissions(Path("read-only.epf"), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        WriteBytes(Path("writable.epf"), old);
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }

    const QByteArray old = "old contents\r\n";
    bool hasDevice_ = false;
    QTemporaryDir dir_;
};

TEST_F(SaveTargets, OnlyRegularFilesTheirOwnerMayWriteAreReplaced) {
    struct Case {
        const char* name;
        mode_t type; // what must still stand there after a refused save
        const char* reason;
    } cases[] = {
        {"fifo", S_IFIFO, "not a regular file"},
        {"link-to-fifo", S_IFLNK, "not a regular file"},
        {"null", S_IFCHR, "not a regular file"},
        {"link-to-null", S_IFLNK, "not a regular file"},
        {"read-only.epf", S_IFREG, "read-only"},
    };
    QTemporaryDir elsewhere;
    const QString source = elsewhere.filePath("source");
    WriteBytes(source, "new\r\n");
    for (const Case& c : cases) {
        const QString target = Path(c.name);
        if (TypeOf(target) == 0) continue; // no device node without root
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(WriteTextLines(target, {QStringLiteral("new")}, &error));
        EXPECT_TRUE(error.contains(target) && error.contains(c.reason)) << qPrintable(error);
        EXPECT_FALSE(CopyFileReplacing(source, target, &error));
        EXPECT_TRUE(error.contains(target) && error.contains(c.reason)) << qPrintable(error);
        EXPECT_FALSE(WritePlacement(target, QStringLiteral("MapMaker"), Placement{1, 2, 3, 4}));
        EXPECT_EQ(TypeOf(target), c.type);
    }
    EXPECT_EQ(ReadBytes(Path("read-only.epf")), old);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(),
              hasDevice_ ? 6 : 4); // no temporary file left behind
}

TEST_F(SaveTargets, NewFilesAndWritableOnesAreSaved) {
    QString error;
    EXPECT_TRUE(WriteTextLines(Path("writable.epf"), {QStringLiteral("new")}, &error)) << qPrintable(error);
    EXPECT_EQ(ReadBytes(Path("writable.epf")), QByteArray("new\r\n"));
    EXPECT_TRUE(WriteTextLines(Path("fresh.epf"), {QStringLiteral("new")}, &error)) << qPrintable(error);
    // A link to nothing yet is a new file.
    ASSERT_TRUE(QFile::link(Path("later.epf"), Path("link-to-later")));
    EXPECT_TRUE(WriteTextLines(Path("link-to-later"), {QStringLiteral("new")}, &error)) << qPrintable(error);
    EXPECT_TRUE(WritePlacement(Path("FormSettings.ini"), QStringLiteral("MapMaker"), Placement{1, 2, 3, 4}));
    EXPECT_TRUE(ReadPlacement(Path("FormSettings.ini"), QStringLiteral("MapMaker")).has_value());
}

} // namespace
} // namespace vorda
