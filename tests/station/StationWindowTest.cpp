// The series-commissioning station through the main window's Meter menu,
// against map 5 meters on the test serial layer: meters in a row with their
// verdicts and the tally, a meter done earlier in the shift, meters the
// station waits on, and the measured mA output against the tolerance.
#include "tests/support/ProgramFixture.h"

#include "station/StationLookout.h"
#include "values/DataFile.h"
#include "values/MeterEvent.h"
#include "windows/SeriesStationDialog.h"
#include "tests/support/WindowChecks.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <cmath>

namespace vorda::test {
namespace {

constexpr int kPipe = 4; // Pipe Diameter, registers 24 and 25

class Events : public MeterEventSink {
public:
    void MeterEventHappened(const MeterEvent& e) override { kinds << MeterEventKindName(e.kind); }
    QStringList kinds;
};

double Luminance(const QColor& c) {
    auto f = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * f(c.redF()) + 0.7152 * f(c.greenF()) + 0.0722 * f(c.blueF());
}

class StationWindowTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        ASSERT_TRUE(Create());
        mw()->Session().SetEventSink(&events);
        // The golden set: a factory meter's values with another pipe diameter,
        // read through the main window, which is connected when the station opens.
        AttachMeter(0, "ZUVMAP5.map", 5);
        Find<QPushButton>("TestConnbtn")->click();
        ASSERT_TRUE(program->link.MeterConnected);
        QStringList values = mw()->MeterValues();
        values[kPipe] = "250";
        golden = program->startup.UserDir + "golden.epf";
        QString error;
        ASSERT_TRUE(SaveDataFile(golden, program->map.CurrentMapFile, program->map.MapParams, values, {}, &error));
        serial.setAbsent(0);
        ui.clear();
        events.kinds.clear();

        Trigger("SeriesCommissioning");
        dialog = mw()->findChild<SeriesStationDialog*>();
        ASSERT_NE(dialog, nullptr);
        ui.choosePath(golden);
        Click("GoldenBrowse");
        reports = program->startup.UserDir + "reports";
        ui.choosePath(reports);
        Click("ReportsBrowse");
        Child<QCheckBox>("MaStepChk")->setChecked(false);
    }

    template <class T>
    T* Child(const QString& name) const {
        T* found = dialog->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    void Click(const QString& name) const { Child<QPushButton>(name)->click(); }
    QString Text(const QString& label) const { return Child<QLabel>(label)->text(); }

    // A factory meter of map 5 on COM(port + 1) with serial number k.
    SimMeter& Meter(int port, int k) {
        SimMeter& m = AttachMeter(port, "ZUVMAP5.map", 5);
        m.setReg(3, quint8(k));
        return m;
    }
    const StationTally& Tally() const { return dialog->Station()->Tally(); }
    QStringList TallyColumn(int column) const {
        QStringList out;
        auto* grid = Child<QTableWidget>("TallyGrid");
        for (int r = 0; r < grid->rowCount(); ++r) out << grid->item(r, column)->text();
        return out;
    }

    Events events;
    QString golden;
    QString reports;
    SeriesStationDialog* dialog = nullptr;
};

// Every control of the station is named, its texts read, Tab leaves its
// tally.
TEST_F(StationWindowTest, TheStationIsNamedReadableAndLeftByTab) {
    ASSERT_TRUE(Activate(dialog));
    EXPECT_EQ(UnnamedControls(dialog), QStringList{});
    EXPECT_EQ(UnreadableLabels(dialog), QStringList{});
    for (const bool forward : {true, false})
        EXPECT_EQ(PressesToLeave(Child<QTableWidget>("TallyGrid"), forward), 1) << forward;
}

// Opening the station let go of the main window's meter; two meters follow,
// one that takes the golden set and one that ignores the write.
TEST_F(StationWindowTest, TwoMetersInARowPassAndFailAndTheTallyIsShownAndSaved) {
    EXPECT_EQ(ui.texts("confirm").size(), 1);
    EXPECT_FALSE(program->link.MeterConnected);
    for (const QLineEdit* box : mw()->ValueEdits()) EXPECT_TRUE(box->text().isEmpty());

    // The golden map's parameters: read-only ones ticked and fixed, the
    // proposed ones ticked, others not.
    auto* keep = Child<QListWidget>("KeepList");
    ASSERT_EQ(keep->count(), program->map.MapParams.size());
    const auto item = [&](const QString& name) { return keep->findItems(name, Qt::MatchExactly).value(0); };
    ASSERT_TRUE(item("Serial Number") && item("Meter Tag") && item("Pipe Diameter"));
    EXPECT_EQ(item("Serial Number")->checkState(), Qt::Checked);
    EXPECT_FALSE(item("Serial Number")->flags() & Qt::ItemIsUserCheckable);
    EXPECT_EQ(item("Meter Tag")->checkState(), Qt::Checked);
    EXPECT_EQ(item("Pipe Diameter")->checkState(), Qt::Unchecked);

    // The verdict reads in a dark theme.
    QPalette dark = dialog->palette();
    dark.setColor(QPalette::Window, QColor(32, 32, 32));
    dark.setColor(QPalette::WindowText, QColor(235, 235, 235));
    dialog->setPalette(dark);

    SimMeter& first = Meter(0, 11);
    Click("Commissionbtn");
    ASSERT_EQ(Tally().meters.size(), 1) << Text("Statuslbl").toStdString();
    EXPECT_EQ(Text("Verdictlbl"), "PASS") << Text("Reasonlbl").toStdString();
    EXPECT_EQ(Tally().meters.at(0).written, QStringList{"Pipe Diameter"});
    EXPECT_EQ(first.registerWrites(), 2);
    EXPECT_FALSE(serial.isOpen(0));

    serial.setAbsent(0);
    SimMeter& second = Meter(0, 12);
    SimMeter::Faults ignored;
    ignored.ignoreWrites = {program->map.MapParams.at(kPipe).EndReg};
    second.setFaults(ignored);
    dialog->LookForMeter(); // found by the station itself
    ASSERT_EQ(Tally().meters.size(), 2) << Text("Statuslbl").toStdString();
    EXPECT_EQ(Text("Verdictlbl"), "FAIL");
    EXPECT_TRUE(Text("Reasonlbl").contains("Pipe Diameter")) << Text("Reasonlbl").toStdString();

    const QPalette shown = Child<QLabel>("Verdictlbl")->palette();
    const double a = Luminance(shown.color(QPalette::WindowText)), b = Luminance(shown.color(QPalette::Window));
    EXPECT_GE((std::max(a, b) + 0.05) / (std::min(a, b) + 0.05), 4.5);

    const QString s1 = Tally().meters.at(0).serial, s2 = Tally().meters.at(1).serial;
    EXPECT_NE(s1, s2);
    EXPECT_EQ(TallyColumn(0), (QStringList{s1, s2}));
    EXPECT_EQ(TallyColumn(1), (QStringList{"PASS", "FAIL"}));
    EXPECT_TRUE(Text("TallySumlbl").startsWith("Passed 1, failed 1"));
    QFile tally(dialog->Station()->TallyPath());
    ASSERT_TRUE(tally.open(QIODevice::ReadOnly));
    const QString csv = QString::fromUtf8(tally.readAll());
    EXPECT_TRUE(csv.contains(s1 + ",PASS,") && csv.contains(s2 + ",FAIL,")) << csv.toStdString();
    EXPECT_TRUE(csv.contains("passed,1,failed,1"));
    // The passing meter's report, PDF and CSV, named by its serial number.
    EXPECT_EQ(QDir(reports).entryList({s1 + "_*.pdf"}).size(), 1);
    EXPECT_EQ(QDir(reports).entryList({s1 + "_*.csv"}).size(), 1);
    // The station's meters go into the main window's history.
    EXPECT_GE(events.kinds.count("read"), 2);
    EXPECT_EQ(events.kinds.count("write"), 2);
    EXPECT_FALSE(program->link.MeterConnected);
}

// The meter just done is waited on while it stays attached; asked for by
// hand or plugged in again, it is done again only when the technician says so.
// Two meters at once are waited on, and no port is held between looks.
TEST_F(StationWindowTest, AMeterDoneInTheShiftIsAskedAboutAndTwoMetersAreWaitedOn) {
    Meter(0, 21);
    dialog->LookForMeter();
    ASSERT_EQ(Tally().meters.size(), 1);
    const QString done = Tally().meters.at(0).serial;

    dialog->LookForMeter();
    EXPECT_TRUE(Text("Statuslbl").contains("still attached")) << Text("Statuslbl").toStdString();
    EXPECT_TRUE(ui.texts("yesno").isEmpty());

    ui.answer(false);
    Click("Commissionbtn");
    EXPECT_EQ(ui.texts("yesno"), QStringList{RepeatQuestion(done)});
    EXPECT_EQ(Tally().meters.size(), 1);
    EXPECT_TRUE(Text("Statuslbl").contains("skipped"));
    dialog->LookForMeter(); // skipped: not asked again while attached
    EXPECT_EQ(ui.texts("yesno").size(), 1);

    serial.setAbsent(0);
    dialog->LookForMeter();
    EXPECT_EQ(Text("Statuslbl"), "Looking for a meter...");
    Meter(0, 21);
    ui.answer(true);
    Click("NextMeterbtn");
    EXPECT_EQ(ui.texts("yesno").size(), 2);
    EXPECT_EQ(Tally().meters.size(), 2);

    Meter(1, 22);
    Click("NextMeterbtn");
    EXPECT_EQ(Text("Statuslbl"), "Two meters are attached: attach one only");
    EXPECT_EQ(Tally().meters.size(), 2);
    EXPECT_FALSE(serial.isOpen(0) || serial.isOpen(1));
}

// The measured current typed into the dialog: the as-left value passes only
// within the tolerance; Cancel is no measurement; text that is no number is
// asked again.
TEST_F(StationWindowTest, TheMeasuredCurrentIsTypedAndJudgedAgainstTheTolerance) {
    Child<QCheckBox>("MaStepChk")->setChecked(true);
    Child<QDoubleSpinBox>("ToleranceSpin")->setValue(0.016);
    EXPECT_EQ(Text("TolerancePercentlbl"), "= 0.100 % of the 16 mA span");
    const QString cancel = "<cancel>";
    const struct {
        QStringList typed; // per question, in order; invalid texts are asked again
        bool pass;
        const char* reason;
    } cases[] = {
        {{"abc", "3.9", "4.01"}, true, "mA output 4.010 mA"},
        {{"3.9", "3.98"}, false, "outside 4 mA"},
        {{cancel}, false, "no measured mA output current as found"},
        {{"3.9", cancel}, false, "no measured mA output current as left"},
    };
    int serialNumber = 30;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.join(' ').toStdString());
        QStringList script = c.typed;
        QStringList steps;
        const auto answer = QObject::connect(dialog, &SeriesStationDialog::MaRequested, dialog, [&](const QString& step) {
            steps << step;
            // Answered from inside the dialog's wait, as the technician does.
            QTimer::singleShot(0, dialog, [&] {
                while (!script.isEmpty()) {
                    const QString next = script.takeFirst();
                    if (next == cancel) {
                        Click("MaCancel");
                        return;
                    }
                    Child<QLineEdit>("MaEdt")->setText(next);
                    Click("MaOk");
                    bool number = false;
                    next.toDouble(&number);
                    if (number) return;
                }
            });
        });
        serial.setAbsent(0);
        Meter(0, ++serialNumber);
        ui.clear();
        Click("Commissionbtn");
        QObject::disconnect(answer);
        ASSERT_FALSE(Tally().meters.isEmpty());
        const StationVerdict& v = Tally().meters.last();
        EXPECT_EQ(v.pass, c.pass) << v.reason.toStdString();
        EXPECT_TRUE(v.reason.contains(QLatin1String(c.reason))) << v.reason.toStdString();
        EXPECT_EQ(Text("Verdictlbl"), c.pass ? "PASS" : "FAIL");
        EXPECT_TRUE(script.isEmpty());
        EXPECT_EQ(ui.texts("message").size(), c.typed.contains("abc") ? 1 : 0);
        EXPECT_FALSE(Child<QWidget>("MaPnl")->isVisible());
        if (c.typed.size() >= 2 && c.typed.last() != cancel) {
            EXPECT_EQ(steps, (QStringList{"as found", "as left"}));
            ASSERT_TRUE(v.calibration && v.calibration->measuredAfterMa);
            EXPECT_DOUBLE_EQ(*v.calibration->measuredAfterMa, c.typed.last().toDouble());
        }
    }
    EXPECT_EQ(events.kinds.count("ma-calibration"), 3);
}

} // namespace
} // namespace vorda::test
