// Commissioning through the main window: comparing the meter with a data
// file, writing the ticked parameters, verifying the meter, and the
// connection's record.
#include "tests/support/ProgramFixture.h"

#include "base/TextFiles.h"
#include "values/CompareMeterUnt.h"
#include "values/DataFile.h"
#include "values/MeterEngine.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <set>

namespace vorda::test {
namespace {

// Parameters of map 5 the tests change.
constexpr int kSerial = 0;       // read-only
constexpr int kPipe = 4;         // registers 24, 25
constexpr int kCalibration = 9;  // maker-only
constexpr int kPulse = 19;       // registers 72, 73

class CommissionWindowTest : public ProgramTest {
protected:
    void Connect(const QStringList& args = {}) {
        meter_ = &AttachMeter(0, "ZUVMAP5.map", 5);
        ASSERT_TRUE(Create(args));
        Find<QPushButton>("TestConnbtn")->click();
        ASSERT_TRUE(program->map.MapLoaded);
        ui.clear();
        meter_->clearLog();
    }
    QString MeterValue(int index) const { return mw()->MeterValues().at(index); }
    QString Plus(int index, int delta) const { return QString::number(MeterValue(index).toInt() + delta); }
    // A data file of the meter's values with some changed; its full path.
    QString DataFile(const QString& name, const QMap<int, QString>& changes,
                     const QString& mapFile = QStringLiteral("ZUVMap5.Map")) {
        QStringList values = mw()->MeterValues();
        for (auto it = changes.begin(); it != changes.end(); ++it) values[it.key()] = it.value();
        const QString path = program->startup.UserDir + name;
        QString error;
        EXPECT_TRUE(SaveDataFile(path, mapFile, program->map.MapParams, values, &error)) << error.toStdString();
        return path;
    }
    void Compare(const QString& path) {
        ui.choosePath(path);
        Trigger("CompareData");
    }
    // The registers the meter was asked to write, in order.
    QList<int> WrittenRegisters() const {
        QList<int> regs;
        for (const SimMeter::Command& c : meter_->commandLog())
            if (c.bytes.size() == 3 && c.bytes[0] == 0) regs << quint8(c.bytes[1]);
        return regs;
    }
    QStringList Names(const QList<WriteChoiceRow>& rows, bool (*pick)(const WriteChoiceRow&)) const {
        QStringList out;
        for (const WriteChoiceRow& r : rows)
            if (pick(r)) out << r.parameter;
        return out;
    }
    QString Said(int fromEnd = 0) const {
        const QStringList m = ui.texts("message");
        return m.size() > fromEnd ? m.at(m.size() - 1 - fromEnd) : QString();
    }
    SimMeter* meter_ = nullptr;
};

TEST_F(CommissionWindowTest, CompareOffersTheDifferencesAndWriteTickedSendsOnlyTheirRegisters) {
    Connect();
    const QString pipe = Plus(kPipe, 257), pulse = Plus(kPulse, 257);
    ui.writeTicked();
    Compare(DataFile("cmp.epf", {{kSerial, Plus(kSerial, 1)}, {kPipe, pipe}, {kPulse, pulse}, {kCalibration, "1.2345"}}));
    EXPECT_TRUE(ui.choosers.empty());
    // Ordinary access: the maker-only parameter is not shown, the read-only
    // one differs but cannot be ticked.
    const QList<WriteChoiceRow>& rows = ui.offeredRows;
    EXPECT_EQ(rows.size(), 29 - 5);
    EXPECT_EQ(Names(rows, [](const WriteChoiceRow& r) { return r.differs; }),
              (QStringList{"Serial Number", "Pipe Diameter", "Pulse Width (ms)"}));
    EXPECT_EQ(Names(rows, [](const WriteChoiceRow& r) { return r.parameter.startsWith("Calibration"); }), QStringList{});
    QStringList ticked;
    for (int k = 0; k < rows.size(); ++k)
        if (ui.offeredTicks.at(k)) ticked << rows.at(k).parameter;
    EXPECT_EQ(ticked, (QStringList{"Pipe Diameter", "Pulse Width (ms)"}));

    EXPECT_EQ(WrittenRegisters(), (QList<int>{24, 25, 72, 73}));
    EXPECT_EQ(meter_->reg(24) * 256 + meter_->reg(25), pipe.toInt());
    EXPECT_EQ(ui.texts("confirm"), QStringList{"About to write new values to Meter\n\r\n\r            Are you sure?"});
    EXPECT_EQ(Said(), "Meter written and verified");
    EXPECT_EQ(Find<QLabel>("EEPROMDataFile")->text(), "cmp.epf");
    EXPECT_EQ(Box(kPipe)->text(), pipe); // the screen shows the meter
    EXPECT_EQ(mw()->Record().verification, Verification::Verified);
    EXPECT_EQ(mw()->Record().asLeft.at(kPulse), pulse);

    // Verify Meter reads and writes nothing; it finds what was written.
    const int writes = meter_->registerWrites();
    Trigger("VerifyMeter");
    EXPECT_EQ(Said(), "Meter verified: it holds the values on the screen");
    meter_->setReg(73, quint8(meter_->reg(73) + 1));
    Trigger("VerifyMeter");
    EXPECT_EQ(Said(), "The meter does not hold the screen's values of:\n\rPulse Width (ms)");
    EXPECT_EQ(mw()->Record().differing, QStringList{"Pulse Width (ms)"});
    EXPECT_EQ(meter_->registerWrites(), writes);
}

TEST_F(CommissionWindowTest, ARegisterThatIgnoresTheWriteIsNamedAndTheLastWriteIsKept) {
    Connect();
    const QString before = Find<QLabel>("EEPROMDataFile")->text();
    const QString oldPulse = MeterValue(kPulse);
    meter_->mutableFaults().ignoreWrites = {72};
    ui.writeTicked();
    Compare(DataFile("cmp.epf", {{kPipe, Plus(kPipe, 257)}, {kPulse, Plus(kPulse, 257)}}));
    EXPECT_EQ(Said(), "Meter written, but these parameters do not hold what was written:\n\rPulse Width (ms)");
    EXPECT_EQ(Find<QLabel>("EEPROMDataFile")->text(), before);
    EXPECT_EQ(mw()->Record().verification, Verification::Differences);
    EXPECT_EQ(mw()->Record().differing, QStringList{"Pulse Width (ms)"});
    EXPECT_EQ(Box(kPulse)->text(), QString::number(oldPulse.toInt() + 1)); // the low byte took, as the meter holds
}

TEST_F(CommissionWindowTest, AMeterThatStopsAnsweringGetsNothingWritten) {
    Connect();
    const QString path = DataFile("cmp.epf", {{kPipe, Plus(kPipe, 257)}});
    // During the compare's read: the fourth failure ends it before the dialog.
    meter_->mutableFaults().failRegisters = {26, 27, 28, 29};
    ui.writeTicked();
    Compare(path);
    EXPECT_TRUE(ui.texts("choose").isEmpty());
    EXPECT_EQ(Said(), TooManyFailuresText(MeterDirection::Read));
    // One failure: the values are not all the meter's, nothing is compared.
    meter_->mutableFaults().failRegisters = {26};
    Compare(path);
    EXPECT_TRUE(ui.texts("choose").isEmpty());
    EXPECT_EQ(Said(), "The meter could not be read whole: nothing was compared");
    // After the choice, before the write.
    meter_->mutableFaults().failRegisters.clear();
    ui.choosers.clear();
    ui.chooseRows([this](const QList<WriteChoiceRow>&, QVector<bool>*) {
        meter_->mutableFaults().silent = true;
        return true;
    });
    ui.clear();
    Compare(path);
    EXPECT_EQ(ui.texts("message"), (QStringList{ConnectionFailureText(), "Meter not verified: the write did not complete"}));
    EXPECT_EQ(mw()->Record().verification, Verification::NotVerified);
    EXPECT_TRUE(WrittenRegisters().isEmpty());
    // Verify Meter on a silent meter.
    ui.clear();
    Trigger("VerifyMeter");
    EXPECT_EQ(ui.texts("message"), (QStringList{ConnectionFailureText(), "Meter not verified: it could not be read whole"}));
}

TEST_F(CommissionWindowTest, FileProblemsAreReportedAndARefusedTickWritesNothing) {
    Connect();
    // A file for another map with a value the check refuses: the warning
    // first; the refused row is not ticked at first; ticked, nothing is sent
    // and the choice comes back.
    ui.chooseRows([](const QList<WriteChoiceRow>& rows, QVector<bool>* ticked) {
        for (int k = 0; k < rows.size(); ++k) (*ticked)[k] = rows.at(k).parameter == "Pipe Diameter";
        return true;
    });
    Compare(DataFile("other.epf", {{kPipe, "abc"}, {kPulse, Plus(kPulse, 1)}}, "ZUVMap4.Map"));
    const QStringList said = ui.texts("message");
    ASSERT_FALSE(said.isEmpty());
    EXPECT_EQ(said.first(), MapNameWarningText("ZUVMap5.Map", "ZUVMap4.Map"));
    EXPECT_TRUE(said.contains("Please correct Data errors: nothing was written"));
    EXPECT_EQ(ui.texts("choose").size(), 2);
    EXPECT_TRUE(WrittenRegisters().isEmpty());
    EXPECT_TRUE(ui.texts("confirm").isEmpty());

    // A file that ends early: its reading error, and the parameters it does
    // not reach cannot be ticked.
    QStringList lines;
    QString error;
    ASSERT_TRUE(ReadTextLines(DataFile("full.epf", {}), &lines, &error));
    const QString shortPath = program->startup.UserDir + "short.epf";
    ASSERT_TRUE(WriteTextLines(shortPath, lines.mid(0, 2 + 3 * 10), &error));
    ui.clear();
    Compare(shortPath);
    EXPECT_TRUE(ui.texts("message").contains("Error reading data file short.epf"));
    const WriteChoiceRow last = ui.offeredRows.last();
    EXPECT_EQ(last.fileText, "(none)");
    EXPECT_FALSE(last.tickable);
    EXPECT_FALSE(ui.offeredTicks.contains(true));
}

TEST_F(CommissionWindowTest, MenuStateAndTheRecordOfTheConnection) {
    meter_ = &AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create({}));
    EXPECT_FALSE(Action("CompareData")->isEnabled());
    EXPECT_FALSE(Action("VerifyMeter")->isEnabled());
    Find<QPushButton>("TestConnbtn")->click();
    EXPECT_TRUE(Action("CompareData")->isEnabled());
    EXPECT_TRUE(Action("VerifyMeter")->isEnabled());
    const CommissioningRecord& record = mw()->Record();
    EXPECT_EQ(record.comNumber, 1);
    EXPECT_EQ(record.mapFile, "ZUVMap5.Map");
    EXPECT_EQ(record.mapNumber, 5);
    ASSERT_TRUE(record.asFoundTaken); // Connect's read
    const QStringList found = record.asFound;
    EXPECT_EQ(found, mw()->MeterValues());
    // A later read changes the as-left set only.
    meter_->setReg(25, quint8(meter_->reg(25) + 1));
    Trigger("ReadEE");
    EXPECT_EQ(record.asFound, found);
    EXPECT_NE(record.asLeft.at(kPipe), found.at(kPipe));
}

TEST_F(CommissionWindowTest, TheDialogTicksByKeyboardAndOnlyTickableRows) {
    EnsureApplication();
    QList<WriteChoiceRow> rows{{"A", "", "1", "2", true, true}, {"B", "", "1", "2", true, false}, {"C", "", "3", "3", false, true}};
    TCompareMeter dialog(rows, {true, false, false});
    dialog.show();
    auto* grid = dialog.findChild<QTableWidget*>("CompareGrid");
    auto* write = dialog.findChild<QPushButton*>("WriteTickedbtn");
    ASSERT_TRUE(grid && write);
    EXPECT_EQ(dialog.findChild<QLabel*>("DifferencesLbl")->text(), "2 parameters differ");
    grid->setCurrentCell(0, 1);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(dialog.Ticked(), (QVector<bool>{false, false, false}));
    EXPECT_FALSE(write->isEnabled());
    grid->setCurrentCell(1, 1);
    QTest::keyClick(grid, Qt::Key_Space); // not tickable
    grid->setCurrentCell(2, 1);
    QTest::keyClick(grid, Qt::Key_Space);
    EXPECT_EQ(dialog.Ticked(), (QVector<bool>{false, false, true}));
    EXPECT_TRUE(write->isEnabled());
}

} // namespace
} // namespace vorda::test
