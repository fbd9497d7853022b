#include "tests/support/ProgramFixture.h"

#include <QMenu>

namespace vorda::test {
namespace {

TEST_F(ProgramTest, FirstRunSettlesFoldersAndShowsNotConnected) {
    ASSERT_TRUE(Create());
    EXPECT_EQ(program->startup.UserDir, paths.DefaultUserDir());
    EXPECT_EQ(QDir::currentPath() + "/", paths.DefaultUserDir());
    for (const QString& name : SeedFileNames()) EXPECT_TRUE(QFile::exists(paths.DefaultUserDir() + name)) << name.toStdString();
    EXPECT_FALSE(program->link.MeterConnected);
    EXPECT_TRUE(Find<QWidget>("TestConnbtn")->isEnabled());
    EXPECT_FALSE(Action("ReadEE")->isEnabled());
    EXPECT_EQ(Find<QMenu>("EEPROM1")->title(), "Meter (not connected)");
    EXPECT_EQ(Find<QLabel>("Version")->text(), "Version: 3.9.5");
    EXPECT_EQ(Find<QLabel>("SigFigLbl")->text(), "5");
    EXPECT_FALSE(Action("PICRW1")->isVisible());
    EXPECT_TRUE(ui.shown.empty());
}

} // namespace
} // namespace vorda::test
