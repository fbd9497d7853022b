// Commissioning through the main window: comparing the meter with a data
// file, writing the ticked parameters, verifying, and the connection's record.
#include "tests/support/ProgramFixture.h"

#include "base/TextFiles.h"
#include "windows/CompareMeterUnt.h"
#include "tests/support/WindowChecks.h"
#include "values/DataFile.h"
#include "values/MeterEngine.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QAccessible>
#include <QScreen>
#include <QTest>

namespace vorda::test {
namespace {

// Parameters of map 5: Serial Number (read-only), Pipe Diameter (registers
// 24, 25), Low Flow Cut-off (multiplier 0.1), Calibration Factor
// (maker-only), Pulse Width (72, 73), Forward Totaliser (read-only).
constexpr int kSerial = 0, kPipe = 4, kCutOff = 6, kCalibration = 9, kPulse = 19, kForwardTotal = 21;

class CommissionWindowTest : public ProgramTest {
protected:
    void Connect() {
        meter_ = &AttachMeter(0, "ZUVMAP5.map", 5);
        ASSERT_TRUE(Create());
        Find<QPushButton>("TestConnbtn")->click();
        ASSERT_TRUE(program->map.MapLoaded);
        ui.clear();
        meter_->clearLog();
    }
    QString Plus(int index, int delta) const { return QString::number(mw()->MeterValues().at(index).toInt() + delta); }
    // Compares with a data file of the meter's values, some changed.
    void Compare(const QMap<int, QString>& changes, const QString& mapFile = "ZUVMap5.Map") {
        QStringList values = mw()->MeterValues();
        for (auto it = changes.begin(); it != changes.end(); ++it) values[it.key()] = it.value();
        const QString path = program->startup.UserDir + "cmp.epf";
        QString error;
        ASSERT_TRUE(SaveDataFile(path, mapFile, program->map.MapParams, values, {}, &error));
        ui.choosePath(path);
        Trigger("CompareData");
    }
    QList<int> WrittenRegisters() const {
        QList<int> regs;
        for (const SimMeter::Command& c : meter_->commandLog())
            if (c.bytes.size() == 3 && c.bytes[0] == 0) regs << quint8(c.bytes[1]);
        return regs;
    }
    QStringList Rows(bool (*pick)(const WriteChoiceRow&)) const {
        QStringList out;
        for (const WriteChoiceRow& r : ui.offeredRows)
            if (pick(r)) out << r.parameter;
        return out;
    }
    QString Said() const { return ui.texts("message").value(ui.texts("message").size() - 1); }
    SimMeter* meter_ = nullptr;
};

TEST_F(CommissionWindowTest, WriteTickedSendsOnlyTheTickedRegistersAndVerifyFindsThem) {
    Connect();
    // Write Ticked with the read-only row ticked as well: it is never sent.
    ui.chooseRows([](const QList<WriteChoiceRow>&, QVector<bool>* ticked) {
        (*ticked)[kSerial] = true;
        return true;
    });
    const QString pipe = Plus(kPipe, 257);
    // The cut-off's text differs, its registers do not.
    const QString cutOff = QString::number(mw()->MeterValues().at(kCutOff).toDouble(), 'f', 2);
    Compare({{kSerial, Plus(kSerial, 1)}, {kPipe, pipe}, {kCutOff, cutOff}, {kPulse, Plus(kPulse, 257)},
             {kCalibration, "1.2345"}});
    EXPECT_EQ(ui.offeredRows.size(), 29 - 5); // no maker-only rows
    EXPECT_EQ(Rows([](const WriteChoiceRow& r) { return r.differs; }),
              (QStringList{"Serial Number", "Pipe Diameter", "Pulse Width (ms)"}));
    EXPECT_EQ(Rows([](const WriteChoiceRow& r) { return r.differs && r.tickable; }),
              (QStringList{"Pipe Diameter", "Pulse Width (ms)"}));
    EXPECT_EQ(ui.offeredTicks.count(true), 2);
    EXPECT_EQ(WrittenRegisters(), (QList<int>{24, 25, 72, 73}));
    EXPECT_EQ(Said(), "Meter written and verified");
    EXPECT_EQ(Find<QLabel>("EEPROMDataFile")->text(), "cmp.epf");
    EXPECT_EQ(Box(kPipe)->text(), pipe); // the screen shows the meter
    EXPECT_EQ(mw()->Record().asLeft.at(kPipe), pipe);

    // Verify Meter writes nothing and names what the meter no longer holds.
    Trigger("VerifyMeter");
    EXPECT_EQ(Said(), "Meter verified: it holds the values on the screen");
    meter_->setReg(73, quint8(meter_->reg(73) + 1));
    Trigger("VerifyMeter");
    EXPECT_EQ(Said(), "The meter does not hold the screen's values of:\n\rPulse Width (ms)");
    EXPECT_EQ(mw()->Record().differing, QStringList{"Pulse Width (ms)"});
    EXPECT_EQ(WrittenRegisters().size(), 4);
}

TEST_F(CommissionWindowTest, AfterTheWriteAnUntickedSettingThatMovedIsNamedButNotARunningTotal) {
    Connect();
    ui.chooseRows([this](const QList<WriteChoiceRow>&, QVector<bool>*) {
        // While the user chooses, the meter counts on and an unticked
        // setting changes behind the write.
        for (int index : {kForwardTotal, kPulse}) {
            const int last = program->map.MapParams.at(index).EndReg;
            meter_->setReg(last, quint8(meter_->reg(last) + 1));
        }
        return true;
    });
    Compare({{kPipe, Plus(kPipe, 1)}});
    EXPECT_EQ(Said(), "Meter written, but these parameters do not hold what was written:\n\rPulse Width (ms)");
    EXPECT_EQ(WrittenRegisters(), (QList<int>{24, 25}));
}

TEST_F(CommissionWindowTest, AMeterThatStopsAnsweringGetsNothingWritten) {
    Connect();
    // The fourth failure of the compare's read ends it before the choice;
    // a single failure leaves values that are not the meter's.
    for (const QSet<int>& failing : {QSet<int>{26, 27, 28, 29}, QSet<int>{26}}) {
        meter_->mutableFaults().failRegisters = failing;
        Compare({{kPipe, Plus(kPipe, 1)}});
        EXPECT_TRUE(ui.texts("choose").isEmpty());
    }
    EXPECT_TRUE(ui.texts("message").contains(TooManyFailuresText(MeterDirection::Read)));
    EXPECT_EQ(Said(), "The meter could not be read whole: nothing was compared");
    // Silent after the choice.
    meter_->mutableFaults().failRegisters.clear();
    ui.chooseRows([this](const QList<WriteChoiceRow>&, QVector<bool>*) { return meter_->mutableFaults().silent = true; });
    ui.clear();
    Compare({{kPipe, Plus(kPipe, 1)}});
    EXPECT_EQ(ui.texts("message"), (QStringList{ConnectionFailureText(), "Meter not verified: the write did not complete"}));
    EXPECT_EQ(mw()->Record().verification, Verification::NotVerified);
    EXPECT_TRUE(WrittenRegisters().isEmpty());
}

TEST_F(CommissionWindowTest, FileProblemsAreReportedAndARefusedTickWritesNothing) {
    Connect();
    // Another map's file: its warning first. Pipe's refused value is not
    // ticked at first; ticked, nothing is sent and the choice comes back.
    ui.chooseRows([](const QList<WriteChoiceRow>& rows, QVector<bool>* ticked) {
        for (int k = 0; k < rows.size(); ++k) (*ticked)[k] = rows.at(k).parameter == "Pipe Diameter";
        return true;
    });
    Compare({{kPipe, "abc"}, {kPulse, Plus(kPulse, 1)}}, "ZUVMap4.Map");
    EXPECT_EQ(ui.texts("message").value(0), MapNameWarningText("ZUVMap5.Map", "ZUVMap4.Map"));
    EXPECT_EQ(ui.offeredTicks.count(true), 1); // Pulse only
    EXPECT_TRUE(ui.texts("message").contains("Please correct Data errors: nothing was written"));
    EXPECT_EQ(ui.texts("choose").size(), 2);
    EXPECT_TRUE(WrittenRegisters().isEmpty());

    // A file that ends early: its reading error, and no comparison, which
    // would show its missing values beside the meter's.
    QStringList lines;
    QString error;
    const QString path = program->startup.UserDir + "cmp.epf";
    ASSERT_TRUE(ReadTextLines(path, &lines, &error));
    ASSERT_TRUE(WriteTextLines(program->startup.UserDir + "short.epf", lines.mid(0, 2 + 3 * 10), &error));
    ui.choosePath(program->startup.UserDir + "short.epf");
    ui.clear();
    meter_->clearLog();
    Trigger("CompareData");
    EXPECT_EQ(ui.texts("message").mid(1), (QStringList{"Error reading data file short.epf",
                                                       "The data file could not be read whole: nothing was compared"}));
    EXPECT_TRUE(ui.texts("choose").isEmpty());
    EXPECT_TRUE(meter_->commandLog().isEmpty());
}

TEST_F(CommissionWindowTest, TheRecordBeginsAtConnectAndKeepsTheFirstRead) {
    meter_ = &AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    EXPECT_FALSE(Action("CompareData")->isEnabled());
    Find<QPushButton>("TestConnbtn")->click();
    EXPECT_TRUE(Action("CompareData")->isEnabled());
    const CommissioningRecord& record = mw()->Record();
    EXPECT_EQ(QString("%1 %2 %3").arg(record.comNumber).arg(record.mapFile).arg(record.mapNumber), "1 ZUVMap5.Map 5");
    const QStringList found = mw()->MeterValues();
    EXPECT_EQ(record.asFound, found);
    meter_->setReg(25, quint8(meter_->reg(25) + 1));
    Trigger("ReadEE");
    EXPECT_EQ(record.asFound, found);
    EXPECT_NE(record.asLeft.at(kPipe), found.at(kPipe));
}

TEST_F(CommissionWindowTest, TheReportHoldsTheSessionsAsFoundAndAsLeftValues) {
    Connect();
    const QStringList found = mw()->MeterValues();
    const QString pipe = Plus(kPipe, 257);
    ui.chooseRows([](const QList<WriteChoiceRow>&, QVector<bool>*) { return true; });
    Compare({{kPipe, pipe}});
    ASSERT_EQ(Said(), "Meter written and verified");
    // From the keyboard, as from the menu.
    mw()->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(mw()));
    ui.choosePath(program->startup.UserDir + "site 7"); // no extension given
    QTest::keyClick(mw(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(ui.texts("save").size(), 1);
    QStringList csv;
    QString error;
    ASSERT_TRUE(ReadTextLines(program->startup.UserDir + "site 7.csv", &csv, &error)) << error.toStdString();
    EXPECT_TRUE(QFile::exists(program->startup.UserDir + "site 7.pdf"));
    EXPECT_TRUE(csv.contains(R"("Verification","Verified")"));
    EXPECT_TRUE(csv.contains(R"("COM port","COM1")"));
    // One row changed, with the meter unit of its type; maker-only rows left out.
    QStringList changed;
    for (const QString& line : csv)
        if (line.endsWith(R"(,"yes")")) changed << line;
    EXPECT_EQ(changed, QStringList{QString(R"("Pipe Diameter","mm","%1","%2","yes")").arg(found.at(kPipe), pipe)});
    EXPECT_FALSE(csv.join('\n').contains("Calibration Factor"));

    // A folder that cannot be written: the safe writer's error, no file.
    ui.clear();
    ui.choosePath(program->startup.UserDir + "gone/site.pdf");
    Trigger("CommissioningReport");
    EXPECT_EQ(ui.texts("error").size(), 1);
    EXPECT_FALSE(QFile::exists(program->startup.UserDir + "gone"));
}

TEST_F(CommissionWindowTest, TheDialogTicksByKeyboardAndOnlyTickableRows) {
    TCompareMeter dialog({{"A", "", "1", "2", true, true}, {"B", "", "1", "2", true, false}}, {false, false});
    auto* grid = dialog.findChild<QTableWidget*>("CompareGrid");
    auto* write = dialog.findChild<QPushButton*>("WriteTickedbtn");
    EXPECT_FALSE(write->isEnabled());
    for (int row : {1, 0}) {
        grid->setCurrentCell(row, 1);
        QTest::keyClick(grid, Qt::Key_Space);
    }
    EXPECT_EQ(dialog.Ticked(), (QVector<bool>{true, false}));
    EXPECT_TRUE(write->isEnabled());
    // A screen reader hears a checkable cell and its state.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    ASSERT_NE(table, nullptr);
    QAccessibleInterface* tick = table->tableInterface()->cellAt(0, 0);
    ASSERT_NE(tick, nullptr);
    EXPECT_TRUE(tick->state().checkable);
    EXPECT_TRUE(tick->state().checked);
}

// The compare dialog in a dark theme: a differing row reads, marked in bold
// too; Tab leaves its grid; every control is named.
TEST_F(CommissionWindowTest, TheCompareDialogReadsInADarkThemeAndByKeyboard) {
    const DarkTheme theme;
    TCompareMeter dialog({{"A", "", "1", "2", true, true}, {"B", "", "1", "1", false, false}}, {true, false});
    auto* grid = dialog.findChild<QTableWidget*>("CompareGrid");
    const QColor base = grid->palette().color(QPalette::Base);
    EXPECT_LT(Luminance(base), 0.1);
    EXPECT_NE(grid->item(0, 1)->background().color(), base);
    EXPECT_TRUE(grid->item(0, 1)->font().bold());
    EXPECT_GE(LeastCellContrast(grid), kReadableContrast);
    EXPECT_EQ(UnreadableLabels(&dialog), QStringList{});
    ASSERT_TRUE(Activate(&dialog));
    for (const bool forward : {true, false}) EXPECT_EQ(PressesToLeave(grid, forward), 1) << forward;
    EXPECT_EQ(UnnamedControls(&dialog), QStringList{});
    EXPECT_TRUE(dialog.screen()->availableGeometry().contains(QRect(QPoint(0, 0), dialog.size())));
}

} // namespace
} // namespace vorda::test

namespace vorda::test {
namespace {

constexpr int kTag = 3; // registers 8 to 23

class MeterTruthWindowTest : public CommissionWindowTest {
protected:
    void Edit(int index, const QString& text) {
        Box(index)->setText(text);
        emit Box(index)->textEdited(text);
    }
    QVector<quint8> Registers(int from, int count) const {
        QVector<quint8> regs;
        for (int r = from; r < from + count; ++r) regs << meter_->reg(r);
        return regs;
    }
};

TEST_F(MeterTruthWindowTest, AnUneditedTagIsWrittenBackWithTheBytesItHolds) {
    Connect();
    const QVector<quint8> tag{0x41, 0x09, 0x42, 0x07, 0x00, 0xE9, 0x43, 0x7F, 0x0D, 0x0A, 0x44, 0, 0, 0x20, 0, 0xFF};
    for (int k = 0; k < tag.size(); ++k) meter_->setReg(8 + k, tag.at(k));
    Trigger("ReadEE");
    EXPECT_EQ(Box(kTag)->text(), "ABCD "); // the other bytes cannot be shown
    Trigger("WriteEE");
    EXPECT_EQ(Said(), "Meter written successfully");
    EXPECT_EQ(Registers(8, 16), tag);

    // Saved and opened again, the file still stands for the same bytes.
    const QString path = program->startup.UserDir + "tag.epf";
    ui.choosePath(path);
    Trigger("SaveAsData");
    for (int r = 8; r < 24; ++r) meter_->setReg(r, 0x5A);
    ui.choosePath(path);
    Trigger("ReadData");
    Trigger("WriteEE");
    EXPECT_EQ(Registers(8, 16), tag);

    // A typed text is what is written.
    Edit(kTag, "ABCE");
    Trigger("WriteEE");
    EXPECT_EQ(Registers(8, 16), QVector<quint8>({0x41, 0x42, 0x43, 0x45}) + QVector<quint8>(12, 0));
}

TEST_F(MeterTruthWindowTest, WriteParametersSaysWrittenOnlyWhenTheMeterHoldsIt) {
    Connect();
    meter_->mutableFaults().ignoreWrites = {73};
    Edit(kPulse, Plus(kPulse, 1));
    Trigger("WriteEE");
    EXPECT_FALSE(ui.texts("message").contains("Meter written successfully"));
    EXPECT_EQ(Said(), "Meter written, but these parameters do not hold what was written:\n\rPulse Width (ms)");
    const CommissioningRecord& record = mw()->Record();
    EXPECT_EQ(VerificationText(record), "Differences: Pulse Width (ms)");
    // The record leaves the parameter with what the meter holds.
    EXPECT_EQ(record.asLeft.at(kPulse), record.asFound.at(kPulse));

    meter_->mutableFaults().ignoreWrites.clear();
    Trigger("WriteEE");
    EXPECT_EQ(Said(), "Meter written successfully");
    EXPECT_EQ(VerificationText(record), "Verified");
    EXPECT_EQ(record.asLeft.at(kPulse), mw()->MeterValues().at(kPulse));
    EXPECT_NE(record.asLeft.at(kPulse), record.asFound.at(kPulse));
}

TEST_F(MeterTruthWindowTest, AWriteThatBreaksOffLeavesUnknownValuesAndAnOlderVerification) {
    Connect();
    Trigger("VerifyMeter");
    ASSERT_EQ(VerificationText(mw()->Record()), "Verified");
    Edit(kPipe, Plus(kPipe, 1));
    // Pipe Diameter's second register and the three after it fail.
    meter_->mutableFaults().failRegisters = {25, 26, 27, 28};
    Trigger("WriteEE");
    EXPECT_TRUE(Said().startsWith("What the meter received:\n\rwritten whole: Serial Number, Firmware Version, "
                                  "Hardware Revision, Meter Tag\n\rwritten partly: Pipe Diameter\n\rnot written: Flow Full Scale, "))
        << Said().toStdString();
    const CommissioningRecord& record = mw()->Record();
    EXPECT_EQ(record.asLeft.at(kPipe), CommissioningRecord::UnknownValue());
    EXPECT_EQ(record.asLeft.at(kPulse), record.asFound.at(kPulse)); // not reached
    EXPECT_EQ(VerificationText(record), "Not verified since the last write (before it: Verified)");
}

TEST_F(MeterTruthWindowTest, AnotherMapsFileIsMatchedByNameAndNothingIsTicked) {
    Connect();
    const QString path = program->startup.UserDir + "other.epf";
    QString error;
    // Map 9 has the Pulse Width first and a Tag where map 5 has its serial.
    ASSERT_TRUE(WriteTextLines(path, {"ZUVMap9.Map", "2", "Tag", "ASCII", "ABCD", "Pulse Width (ms)", "Int16",
                                      Plus(kPulse, 1)},
                               &error));
    ui.choosePath(path);
    Trigger("CompareData");
    EXPECT_EQ(ui.offeredTicks.count(true), 0);
    for (const WriteChoiceRow& row : ui.offeredRows) {
        SCOPED_TRACE(row.parameter.toStdString());
        if (row.parameter == "Pulse Width (ms)") {
            EXPECT_TRUE(row.differs);
            EXPECT_EQ(row.fileText, Plus(kPulse, 1));
        } else {
            EXPECT_EQ(row.fileText, "(none)");
        }
    }
    EXPECT_TRUE(WrittenRegisters().isEmpty());
}

TEST_F(MeterTruthWindowTest, ADifferenceTheRoundingHidesShowsTheExactValues) {
    Connect();
    for (int r = 0; r < 4; ++r) meter_->setReg(r, quint8((123456u >> (8 * (3 - r))) & 0xFF));
    Compare({{kSerial, "123457"}});
    ASSERT_FALSE(ui.offeredRows.isEmpty());
    const WriteChoiceRow& serial = ui.offeredRows.first();
    EXPECT_TRUE(serial.differs);
    EXPECT_EQ(serial.meterText, "123456");
    EXPECT_EQ(serial.fileText, "123457");
}

} // namespace
} // namespace vorda::test
