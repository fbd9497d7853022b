// The one writer of the program's files, on a real file system that is full.
#include "base/TextFiles.h"
#include "shell/ConfigFiles.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/mount.h>
#include <unistd.h>

namespace vorda {
namespace {

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// A small tmpfs mounted for the test, filled to its last byte except for the
// file that is to be saved over. Needs root; skipped otherwise.
class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "mounting a file system needs root";
        ASSERT_TRUE(dir_.isValid());
        mountPoint_ = dir_.path().toStdString();
        if (mount("tmpfs", mountPoint_.c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "tmpfs cannot be mounted here";
        mounted_ = true;
        target = dir_.filePath("saved.txt");
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(old);
        f.close();
        Fill();
    }
    // Fills what is left, one block at a time, until the disk refuses.
    void Fill() {
        QFile filler(dir_.filePath(QStringLiteral("filler%1").arg(fillers_++)));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size()) {}
        const QByteArray byte(1, 'x');
        while (filler.write(byte) == 1) {}
    }
    int Files() const { return int(QDir(dir_.path()).entryList(QDir::Files).size()); }
    void TearDown() override {
        if (mounted_) umount2(mountPoint_.c_str(), MNT_DETACH);
    }

    const QByteArray old = "12345678901234567890123456789\n"; // 30 bytes
    QString target;

private:
    int fillers_ = 0;
    QTemporaryDir dir_;
    std::string mountPoint_;
    bool mounted_ = false;
};

TEST_F(FullDisk, AFailedSaveReportsTheSystemTextAndLeavesTheOldFileWhole) {
    QStringList lines;
    for (int i = 0; i < 200; ++i) lines << QStringLiteral("line %1 of a file too large for the disk").arg(i);
    for (const QStringList& content : {lines, QStringList{"short"}}) {
        Fill(); // whatever the last failed save gave back
        const int files = Files();
        QString error;
        EXPECT_FALSE(WriteTextLines(target, content, &error));
        EXPECT_TRUE(error.contains(target)) << qPrintable(error);
        EXPECT_TRUE(error.contains("space", Qt::CaseInsensitive)) << qPrintable(error);
        EXPECT_EQ(ReadBytes(target), old);
        EXPECT_EQ(Files(), files); // no temporary file left behind
    }
    // A copy into the full disk fails alike.
    QTemporaryDir elsewhere;
    const QString source = elsewhere.filePath("source.map");
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("V2\r\n0\r\n0\r\n");
    f.close();
    Fill();
    QString error;
    EXPECT_FALSE(CopyFileReplacing(source, target, &error));
    EXPECT_TRUE(error.contains("space", Qt::CaseInsensitive)) << qPrintable(error);
    EXPECT_EQ(ReadBytes(target), old);
}

TEST_F(FullDisk, PlacementIsNotLostOnAFullDisk) {
    const QString ini = QFileInfo(target).path() + "/FormSettings.ini";
    // Written before the disk filled up: remove a filler, write, fill again.
    QDir(QFileInfo(target).path()).remove("filler0");
    ASSERT_TRUE(WritePlacement(ini, "ValuesReadWrite", Placement{1, 2, 3, 4}));
    const QByteArray before = ReadBytes(ini);
    Fill();
    EXPECT_FALSE(WritePlacement(ini, "MapMaker", Placement{5, 6, 7, 8}));
    EXPECT_EQ(ReadBytes(ini), before);
}

} // namespace
} // namespace vorda
