// The register browser of the whole program against vorda-sim over a
// pseudo-terminal and the real serial layer.
#include "tests/support/SimProgramTest.h"

#include "windows/PICRW.h"

#include <QPushButton>
#include <QTableView>

namespace vorda::test {
namespace {

class RegistersPtyTest : public SimProgramTest {
protected:
    void SetUp() override {
        SimProgramTest::SetUp();
        // Every register different from its neighbours; register 200 names map 5.
        image.resize(256);
        for (int r = 0; r < 256; ++r) image[r] = quint8((r * 37 + 11) & 0xFF);
        image[200] = 5;
    }
    void Start(const QStringList& faults = {}) {
        ASSERT_NO_FATAL_FAILURE(StartAndConnect(5, faults, {"/UserIsZUV"}));
        ASSERT_TRUE(program->link.MeterConnected);
        Trigger("PICRW1");
        ui.clear();
    }
    RegisterBrowser& Browser() const { return program->registerBrowser()->Browser(); }
    QString Cell(int r) const {
        int row = 0, col = 0;
        GetRowCol(r, row, col);
        return program->registerBrowser()->findChild<QTableView*>("RegGridDec")->model()->index(row, col).data().toString();
    }
    void ReadAll() { program->registerBrowser()->findChild<QPushButton*>("ReadAllRegs")->click(); }
};

TEST_F(RegistersPtyTest, ReadAllShowsTheMetersBytesAndAWriteChangesOneRegister) {
    Start();
    ReadAll();
    EXPECT_TRUE(ui.shown.empty());
    for (int r = 0; r < 256; ++r) EXPECT_EQ(Cell(r), QString::number(image[r])) << "register " << r;

    program->registerBrowser()->RegGridDecSelectCell(8, 13); // register 127
    Browser().SetBoxText(RegisterBrowser::Box::Hex, "5a");
    Browser().EditExit(RegisterBrowser::Box::Hex);
    program->registerBrowser()->WriteRegClick();
    EXPECT_EQ(ui.texts(), QStringList{"About to write .90 to Register 127"});
    EXPECT_EQ(Cell(127), "90");

    const QVector<quint8> after = sim->Stop();
    ASSERT_EQ(after.size(), 256);
    QVector<quint8> expected = image;
    expected[127] = 0x5A;
    for (int r = 0; r < 256; ++r) EXPECT_EQ(after[r], expected[r]) << "register " << r;
}

TEST_F(RegistersPtyTest, FailingRegistersEndTheReadAfterTheFourthFailure) {
    Start({"--fail-register", "30", "--fail-register", "31", "--fail-register", "60", "--fail-register", "61",
           "--fail-register", "90"});
    ReadAll();
    EXPECT_EQ(ui.texts(), QStringList{"Too many errors! Read All Registers terminating."});
    EXPECT_EQ(Cell(29), QString::number(image[29]));
    EXPECT_EQ(Cell(30), "-1");
    EXPECT_EQ(Cell(60), "-1");
    EXPECT_EQ(Cell(61), ""); // the fourth failure ends the pass
    EXPECT_EQ(Cell(62), "");
    EXPECT_EQ(Browser().ReclblText, "61");
    EXPECT_EQ(Cell(0), QString::number(image[0]));
}

} // namespace
} // namespace vorda::test
