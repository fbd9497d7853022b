// Commissioning against vorda-sim over a pseudo-terminal and the real serial
// layer: what reaches the meter is counted from the simulator's write log.
#include "tests/support/SimProgramTest.h"

#include "base/TextFiles.h"
#include "values/DataFile.h"
#include "values/MeterEngine.h"

#include <QLabel>
#include <QPushButton>

namespace vorda::test {
namespace {

class CommissionPtyTest : public SimProgramTest {
protected:
    void SetUp() override {
        SimProgramTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(UseMapFiveImage());
    }
    // Serves the image as COM3 with a write log, and connects to it.
    void StartAndConnect(const QStringList& extra = {}) {
        ASSERT_NO_FATAL_FAILURE(SimProgramTest::StartAndConnect(3, QStringList{"--write-log", LogPath()} + extra, {}));
        ASSERT_TRUE(program->map.MapLoaded);
        ui.clear();
    }
    // Compares with a data file of the meter's values, some raised, and
    // writes what differs.
    void CompareAndWriteTicked(const QMap<int, int>& raise) {
        QStringList values = mw()->MeterValues();
        for (auto it = raise.begin(); it != raise.end(); ++it)
            values[it.key()] = QString::number(values[it.key()].toInt() + it.value());
        const QString path = program->startup.UserDir + "cmp.epf";
        QString error;
        ASSERT_TRUE(SaveDataFile(path, "ZUVMap5.Map", program->map.MapParams, values, {}, &error));
        ui.choosePath(path);
        ui.writeTicked();
        Trigger("CompareData");
    }
    // The registers the simulator was asked to write, from its log.
    QList<int> LoggedRegisters() {
        sim->Stop();
        QStringList lines;
        QString error;
        EXPECT_TRUE(ReadTextLines(LogPath(), &lines, &error)) << error.toStdString();
        QList<int> regs;
        for (const QString& line : lines) regs << line.section(' ', 0, 0).toInt();
        return regs;
    }
    QString LogPath() const { return root.filePath("writes.txt"); }
    QString LastMessage() const { return ui.texts("message").value(ui.texts("message").size() - 1); }
};

// Pipe Diameter is registers 24 and 25, Pulse Width 72 and 73.
TEST_F(CommissionPtyTest, WriteTickedSendsOnlyTheTickedRegistersAndTheVerificationNamesWhatDidNotTake) {
    ASSERT_NO_FATAL_FAILURE(StartAndConnect({"--ignore-writes", "24"}));
    const QString lastWrite = Find<QLabel>("EEPROMDataFile")->text();
    ASSERT_NO_FATAL_FAILURE(CompareAndWriteTicked({{4, 257}, {19, 257}}));
    EXPECT_EQ(LastMessage(), "Meter written, but these parameters do not hold what was written:\n\rPipe Diameter");
    EXPECT_EQ(Find<QLabel>("EEPROMDataFile")->text(), lastWrite);
    EXPECT_EQ(mw()->Record().differing, QStringList{"Pipe Diameter"});
    // The screen holds the meter's values: a file of them with Pulse Width
    // changed is written whole, and Verify Meter finds it.
    ASSERT_NO_FATAL_FAILURE(CompareAndWriteTicked({{19, 1}}));
    EXPECT_EQ(LastMessage(), "Meter written and verified");
    EXPECT_EQ(Find<QLabel>("EEPROMDataFile")->text(), "cmp.epf");
    Trigger("VerifyMeter");
    EXPECT_EQ(LastMessage(), "Meter verified: it holds the values on the screen");
    EXPECT_EQ(mw()->Record().verification, Verification::Verified);
    EXPECT_EQ(LoggedRegisters(), (QList<int>{24, 25, 72, 73, 72, 73}));
}

} // namespace
} // namespace vorda::test
