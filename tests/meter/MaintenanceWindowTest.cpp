// Factory defaults and the mA output offset calibration.
#include "tests/support/ProgramFixture.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace vorda::test {
namespace {

TEST(NewMaOffsetTest, MovesTheMeasuredOutputToFourMilliamps) {
    const struct {
        qint64 old;
        double measured;
        qint64 expected;
    } cases[] = {{1000, 4.0, 1000}, {1000, 3.9, 1273}, {1000, 4.1, 727}, {0, 4.0, 0}, {2000, 3.0, 4731}};
    for (const auto& c : cases) EXPECT_EQ(NewMaOffset(c.old, c.measured), c.expected) << c.old << " " << c.measured;
}

class MaintenanceTest : public ProgramTest {
protected:
    void Connect(const QString& map, int number, const QStringList& args) {
        meter_ = &AttachMeter(0, map, number);
        ASSERT_TRUE(Create(args));
        Find<QPushButton>("TestConnbtn")->click();
        ASSERT_TRUE(program->map.MapLoaded);
        ui.clear();
    }
    void SetOffset(int value) {
        meter_->setReg(54, quint8(value >> 8));
        meter_->setReg(55, quint8(value & 0xFF));
    }
    int Offset() const { return meter_->reg(54) * 256 + meter_->reg(55); }
    // Clicks the offset box so the panel takes its value, then calculates.
    void Calculate(const QString& measured) {
        mw()->show();
        QTest::mouseClick(Box(2), Qt::LeftButton);
        Find<QLineEdit>("MetermAEdt")->setText(measured);
        Find<QPushButton>("OfffsetCalcBtn")->click();
    }
    SimMeter* meter_ = nullptr;
};

TEST_F(MaintenanceTest, FactoryDefaultsAreRestoredAndReadBack) {
    Connect("ZUVMAP5.map", 5, {});
    const quint8 factory = meter_->factoryImage()[24];
    meter_->setReg(24, 0);
    meter_->setReg(25, 99);
    Trigger("ReadEE");
    ASSERT_EQ(Box(4)->text(), "99");
    ui.clear();
    Trigger("RestoreDefaults1");
    EXPECT_EQ(meter_->factoryResets(), 1);
    EXPECT_EQ(ui.texts().first(), "About to write Factory Default Settings into the Meter\n\rCurrent Meter values will be "
                                  "overwritten.\n\r\n\r            Are you sure?");
    EXPECT_EQ(ui.texts().last(), "Meter now has Original Factory Settings");
    EXPECT_EQ(Find<QLabel>("EEPROMDataFile")->text(), "Factory Default Settings");
    EXPECT_EQ(meter_->reg(24), factory);
    EXPECT_EQ(Box(4)->text(), QString::number(meter_->reg(24) * 256 + meter_->reg(25)));
}

TEST_F(MaintenanceTest, FactoryResetCancelledOrUnansweredReadsNothing) {
    Connect("ZUVMAP5.map", 5, {});
    ui.answer(false);
    Trigger("RestoreDefaults1");
    EXPECT_EQ(meter_->factoryResets(), 0);
    const int reads = meter_->registerReads();
    meter_->mutableFaults().noResetReply = true;
    ui.clear();
    Trigger("RestoreDefaults1");
    EXPECT_EQ(ui.texts().last(), "Error resetting Meter to Original Factory Settings");
    EXPECT_EQ(meter_->registerReads(), reads); // the parameters are not read
}

TEST_F(MaintenanceTest, CalibrationWritesTheNewOffsetWithoutQuestions) {
    Connect("ZUVMAP127.Map", 127, {"/MaOfs"});
    SetOffset(1000);
    Trigger("ReadEE");
    ui.clear();
    Calculate("3.9");
    EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join("|").toStdString();
    EXPECT_EQ(Offset(), 1273);
    // The connection's record keeps the calibration made.
    const std::optional<MaCalibration>& cal = mw()->Record().maCalibration;
    ASSERT_TRUE(cal.has_value());
    EXPECT_EQ(cal->oldOffset, 1000);
    EXPECT_DOUBLE_EQ(cal->measuredMa, 3.9);
    EXPECT_EQ(cal->newOffset, 1273);
    EXPECT_TRUE(Find<QLineEdit>("OldOffsetEdt")->text().isEmpty());
    EXPECT_TRUE(Find<QLineEdit>("MetermAEdt")->text().isEmpty());
}

// The series of the calibration mode on the shipped map, as the technician
// works it: Connect, click into "Meter mA Output" (the offset field, first
// on screen and focused by Connect, fills the panel as it loses the focus),
// type the current, Calculate and Write, New Meter, the next meter, Connect.
TEST_F(MaintenanceTest, ASeriesOfMetersIsCalibratedOnTheShippedMap) {
    meter_ = &AttachMeter(0, "ZUVMAP127.Map", 127);
    SetOffset(1000);
    ASSERT_TRUE(Create({"/MaOfs"}));
    mw()->show();
    QApplication::setActiveWindow(mw());
    ASSERT_TRUE(QTest::qWaitForWindowActive(mw()));
    auto* measured = Find<QLineEdit>("MetermAEdt");
    auto* old = Find<QLineEdit>("OldOffsetEdt");
    EXPECT_EQ(measured->accessibleName(), "Meter mA Output");
    EXPECT_EQ(old->accessibleName(), "Old mA Offset");
    Find<QPushButton>("TestConnbtn")->click();
    for (const int start : {1000, 2000}) {
        SCOPED_TRACE(start);
        ASSERT_EQ(Box(2)->toolTip(), "Calculation 1");
        for (QLineEdit* box : mw()->ValueEdits()) EXPECT_LE(Box(2)->y(), box->y()); // first on screen
        EXPECT_TRUE(Box(2)->hasFocus());
        QTest::mouseClick(measured, Qt::LeftButton);
        EXPECT_EQ(old->text(), QString::number(start));
        EXPECT_TRUE(Find<QWidget>("mAPnl")->isVisible());
        QTest::keyClicks(measured, "3.9");
        Find<QPushButton>("OfffsetCalcBtn")->click();
        EXPECT_EQ(Offset(), start + 273);
        EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join("|").toStdString();
        // The next meter.
        Find<QPushButton>("NewMeterbtn")->click();
        EXPECT_FALSE(program->link.MeterConnected);
        meter_ = &AttachMeter(0, "ZUVMAP127.Map", 127);
        SetOffset(2000);
        Find<QPushButton>("mAConnectbtn")->click();
        ASSERT_TRUE(program->link.MeterConnected);
    }
}

// Rows created after the panel are not drawn over it.
TEST_F(MaintenanceTest, TheOffsetPanelLiesAboveTheRows) {
    Connect("ZUVMAP127.Map", 127, {"/MaOfs"});
    QWidget* panel = Find<QWidget>("mAPnl");
    ASSERT_TRUE(panel->isVisible() || panel->isVisibleTo(mw()));
    const QObjectList siblings = panel->parentWidget()->children();
    const qsizetype at = siblings.indexOf(panel);
    for (qsizetype i = at + 1; i < siblings.size(); ++i) {
        auto* w = qobject_cast<QWidget*>(siblings[i]);
        if (w && w->isVisibleTo(mw()))
            EXPECT_FALSE(w->geometry().intersects(panel->geometry())) << w->objectName().toStdString();
    }
}

TEST_F(MaintenanceTest, CalibrationWithoutAMeasuredValueWritesNothing) {
    Connect("ZUVMAP127.Map", 127, {"/MaOfs"});
    const int writes = meter_->registerWrites();
    Calculate("");
    EXPECT_EQ(ui.texts(), QStringList{"enter a value for Meter mA Output"});
    Calculate("abc");
    EXPECT_EQ(ui.texts("error"), QStringList{"'abc' is not a valid floating point value"});
    EXPECT_EQ(meter_->registerWrites(), writes);
}

TEST_F(MaintenanceTest, OffsetOutOfRangeIsReplacedByTheOldOneAndNotWritten) {
    Connect("ZUVMAP127.Map", 127, {"/MaOfs"});
    SetOffset(65000);
    Trigger("ReadEE");
    ui.clear();
    const int writes = meter_->registerWrites();
    Calculate("3.0");
    EXPECT_EQ(ui.texts(), (QStringList{"Invalid Int16 in 4 mA Offset : Value out of range", "Please correct Data errors"}));
    EXPECT_EQ(Box(2)->text(), "65000");
    EXPECT_EQ(meter_->registerWrites(), writes);
}

} // namespace
} // namespace vorda::test
