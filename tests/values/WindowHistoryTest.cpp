// The meter history through the main window: every event recorded with its
// values, the records listed and compared, a record restored, and a history
// that cannot be written.
#include "tests/support/ProgramFixture.h"

#include "base/TextFiles.h"
#include "history/HistoryReview.h"
#include "history/HistoryStore.h"
#include "windows/MeterHistoryDialog.h"
#include "tests/support/WindowChecks.h"
#include "windows/QtUserInteraction.h"
#include "windows/SetDisplayUnitsUnt.h"
#include "values/DataFile.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace vorda::test {
namespace {

// Parameters of map 5: Serial Number, Pipe Diameter (registers 24, 25, type
// Length), Pulse Width (72, 73).
constexpr int kSerial = 0, kPipe = 4, kPulse = 19;

class HistoryWindowTest : public ProgramTest {
protected:
    void Connect(const QStringList& arguments = {}) {
        meter_ = &AttachMeter(0, "ZUVMAP5.map", 5);
        ASSERT_TRUE(Create(arguments));
        Find<QPushButton>("TestConnbtn")->click();
        ASSERT_TRUE(program->map.MapLoaded);
    }
    QString Plus(int index, int delta) const { return QString::number(mw()->MeterValues().at(index).toInt() + delta); }
    void Edit(int index, const QString& text) {
        Box(index)->setText(text);
        emit Box(index)->textEdited(text);
    }
    QString HistoryFile() const { return program->startup.UserDir + "VORDAHistory.sqlite"; }
    // The records of this connection, read from the file as another program
    // would read them.
    QList<HistoryRecord> Records() {
        HistoryStore store;
        HistoryLocation location;
        location.path = HistoryFile();
        QString error;
        EXPECT_TRUE(store.Open(location, &error)) << error.toStdString();
        const auto records = store.OfConnection(mw()->Session().Connection().id, &error);
        EXPECT_TRUE(records.has_value()) << error.toStdString();
        return records.value_or(QList<HistoryRecord>());
    }
    static QStringList Kinds(const QList<HistoryRecord>& records) {
        QStringList kinds;
        for (const HistoryRecord& r : records) kinds << r.kind;
        return kinds;
    }
    QList<int> WrittenRegisters() const {
        QList<int> regs;
        for (const SimMeter::Command& c : meter_->commandLog())
            if (c.bytes.size() == 3 && c.bytes[0] == 0) regs << quint8(c.bytes[1]);
        return regs;
    }
    // Opens Meter History and acts on the dialog while it is open; the
    // dialog is closed after, unless the action did.
    void WithHistory(const std::function<void(TMeterHistory&)>& act, bool byKeyboard = false) {
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [this, act] {
            auto* dialog = mw()->findChild<TMeterHistory*>();
            ASSERT_NE(dialog, nullptr);
            act(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        if (!byKeyboard) {
            timer.start(0);
            Trigger("MeterHistory");
            return;
        }
        mw()->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(mw()));
        timer.start(0);
        QTest::keyClick(mw(), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_FALSE(timer.isActive()) << "the dialog did not open";
    }
    static QTableWidget* Grid(TMeterHistory& d, const char* name) { return d.findChild<QTableWidget*>(name); }
    static QStringList Column(QTableWidget* grid, int column) {
        QStringList out;
        for (int r = 0; r < grid->rowCount(); ++r) out << grid->item(r, column)->text();
        return out;
    }
    static void Pick(QTableWidget* grid, const QList<int>& rows) {
        grid->clearSelection();
        for (int r : rows)
            grid->selectionModel()->select(grid->model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    SimMeter* meter_ = nullptr;
};

TEST_F(HistoryWindowTest, EveryEventOfTheSessionIsRecordedWithTheMetersValues) {
    Connect();
    const QStringList found = mw()->MeterValues();
    const QString pipe = Plus(kPipe, 3);
    Edit(kPipe, pipe);
    ui.giveReason("pipe replaced");
    Trigger("WriteEE");
    ASSERT_TRUE(ui.texts("message").contains("Meter written successfully"));
    Trigger("VerifyMeter");
    // The mA offset calibration of the "Calculation 1" parameter.
    int offset = -1;
    for (int i = 0; i < program->map.MapParamCount(); ++i)
        if (program->map.MapParams.at(i).DescToolTip == "Calculation 1") offset = i;
    ASSERT_GE(offset, 0);
    const QString oldOffset = Box(offset)->text();
    QTest::mouseClick(Box(offset), Qt::LeftButton);
    Find<QLineEdit>("MetermAEdt")->setText("3.9");
    Find<QPushButton>("OfffsetCalcBtn")->click();
    const QStringList calibrated = mw()->MeterValues();
    Trigger("RestoreDefaults1");
    ASSERT_TRUE(ui.texts("message").contains("Meter now has Original Factory Settings"));

    const QList<HistoryRecord> records = Records();
    ASSERT_EQ(Kinds(records), (QStringList{"read", "write", "verify", "write", "ma-calibration", "factory-reset"}));
    const QString serial = found.at(kSerial);
    for (const HistoryRecord& r : records) {
        SCOPED_TRACE(r.kind.toStdString());
        EXPECT_EQ(r.meter, "5:" + serial);
        EXPECT_EQ(r.comPort, "COM1");
        EXPECT_EQ(r.mapFile, "ZUVMap5.Map");
        ASSERT_EQ(r.values.size(), program->map.MapParamCount());
    }
    auto values = [](const HistoryRecord& r) {
        QStringList out;
        for (const RecordValue& v : r.values) out << v.value;
        return out;
    };
    EXPECT_EQ(values(records.at(0)), found);
    EXPECT_EQ(records.at(0).values.at(kPipe).registers, (QVector<int>{found.at(kPipe).toInt() >> 8, found.at(kPipe).toInt() & 0xFF}));
    // The write: what the meter holds after it, every parameter acknowledged.
    const HistoryRecord& write = records.at(1);
    EXPECT_EQ(write.reason, "pipe replaced");
    EXPECT_EQ(write.outcome, "verified");
    EXPECT_EQ(write.values.at(kPipe).value, pipe);
    for (const RecordValue& v : write.values) EXPECT_EQ(v.ack, WriteAck::All) << v.name.toStdString();
    EXPECT_EQ(records.at(2).outcome, "verified");
    EXPECT_EQ(records.at(2).values.at(kPipe).value, pipe);
    // The calibration's own write has no reason: it asks no question.
    EXPECT_TRUE(records.at(3).reason.isEmpty());
    EXPECT_EQ(values(records.at(4)), calibrated);
    EXPECT_EQ(records.at(4).details, QString(R"({"measuredMa":3.9,"newOffset":%1,"oldOffset":%2})")
                                         .arg(oldOffset.toInt() + 273)
                                         .arg(oldOffset));
    // The reset holds what the read after it found: the factory settings.
    EXPECT_EQ(records.at(5).outcome, "read after the reset");
    EXPECT_EQ(values(records.at(5)), found);
}

TEST_F(HistoryWindowTest, TheListIsNewestFirstAndTwoRecordsDifferInDisplayUnits) {
    meter_ = &AttachMeter(0, "ZUVMAP5.map", 5);
    ASSERT_TRUE(Create());
    // Pipe diameters in inches on screen; the meter keeps millimetres.
    auto* length = program->unitsDialog()->findChild<QComboBox*>("Length");
    ASSERT_NE(length, nullptr);
    length->setCurrentIndex(length->findText("in"));
    Find<QPushButton>("TestConnbtn")->click();
    const QString before = Box(kPipe)->text();
    Edit(kPipe, QString::number(before.toDouble() + 2));
    ui.giveReason("larger pipe");
    Trigger("WriteEE");
    const QString after = Box(kPipe)->text();
    ASSERT_NE(before, after);

    WithHistory([&](TMeterHistory& d) {
        EXPECT_EQ(d.findChild<QComboBox*>("MeterCombo")->currentText(), "5:" + mw()->MeterValues().at(kSerial));
        QTableWidget* records = Grid(d, "RecordsGrid");
        EXPECT_EQ(Column(records, 1), (QStringList{"write", "read"}));
        EXPECT_EQ(Column(records, 3), (QStringList{"COM1", "COM1"}));
        EXPECT_EQ(Column(records, 6), (QStringList{"larger pipe", ""}));
        EXPECT_FALSE(d.findChild<QPushButton*>("Restorebtn")->isEnabled());
        Pick(records, {0, 1});
        QTableWidget* diff = Grid(d, "DiffGrid");
        EXPECT_EQ(Column(diff, 0), QStringList{"Pipe Diameter"});
        EXPECT_EQ(Column(diff, 1), QStringList{"in"});
        EXPECT_EQ(Column(diff, 2), QStringList{before}); // the older record first
        EXPECT_EQ(Column(diff, 3), QStringList{after});
        EXPECT_EQ(d.findChild<QLabel*>("DiffLbl")->text(), "&Differences: 1 parameter differs");
        // Another meter typed: none of its records.
        auto* meter = d.findChild<QComboBox*>("MeterCombo");
        meter->lineEdit()->setText("5:999");
        QTest::keyClick(meter->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(records->rowCount(), 0);
        EXPECT_TRUE(d.isVisible()); // Enter presses no button
        // Tab leaves both grids; every control is named.
        for (QTableWidget* grid : {records, diff})
            for (const bool forward : {true, false}) EXPECT_EQ(PressesToLeave(grid, forward), 1);
        EXPECT_EQ(UnnamedControls(&d), QStringList{});
        EXPECT_EQ(UnreadableLabels(&d), QStringList{});
    }, /*byKeyboard=*/true);
}

TEST_F(HistoryWindowTest, ARestoreBringsTheMeterBackToARecordAndIsRecordedAsOne) {
    Connect();
    const QStringList found = mw()->MeterValues();
    // Someone changes the meter behind the program's back.
    meter_->setReg(25, quint8(meter_->reg(25) + 1));
    meter_->setReg(73, quint8(meter_->reg(73) + 2));
    Trigger("ReadEE");
    ASSERT_NE(mw()->MeterValues(), found);
    meter_->clearLog();
    ui.clear();
    ui.writeTicked();
    ui.giveReason("back to as found");
    WithHistory([&](TMeterHistory& d) {
        QTableWidget* records = Grid(d, "RecordsGrid");
        ASSERT_EQ(records->rowCount(), 2);
        Pick(records, {1}); // the read at connect
        auto* restore = d.findChild<QPushButton*>("Restorebtn");
        ASSERT_TRUE(restore->isEnabled());
        restore->click();
    });
    EXPECT_EQ(ui.texts("choose").size(), 1);
    QStringList ticked;
    for (int r = 0; r < ui.offeredRows.size(); ++r)
        if (ui.offeredTicks.value(r)) ticked << ui.offeredRows.at(r).parameter;
    EXPECT_EQ(ticked, (QStringList{"Pipe Diameter", "Pulse Width (ms)"}));
    EXPECT_EQ(WrittenRegisters(), (QList<int>{24, 25, 72, 73}));
    EXPECT_EQ(ui.texts("message").last(), "Meter written and verified");
    EXPECT_EQ(mw()->MeterValues(), found);
    const QList<HistoryRecord> records = Records();
    ASSERT_EQ(Kinds(records), (QStringList{"read", "read", "read", "restore", "verify"}));
    EXPECT_EQ(records.at(3).details, QString(R"({"restoredFrom":"%1"})").arg(records.at(0).id));
    EXPECT_EQ(records.at(3).reason, "back to as found");
    EXPECT_EQ(records.at(4).outcome, "verified");
    EXPECT_EQ(Find<QLabel>("EEPROMDataFile")->text(), QString("History record %1").arg(records.at(0).id));

    // Another meter on the port now: the record is not its own.
    meter_->setReg(3, quint8(meter_->reg(3) + 1)); // its serial number
    meter_->clearLog();
    ui.clear();
    mw()->RestoreHistoryRecord(records.at(0).id);
    EXPECT_EQ(ui.texts("message").last(),
              QString("The record is of meter %1, but the meter connected is 5:%2: nothing was written")
                  .arg(records.at(0).meter)
                  .arg(found.at(kSerial).toInt() + 1));
    EXPECT_TRUE(ui.texts("choose").isEmpty());
    EXPECT_TRUE(WrittenRegisters().isEmpty());
}

// Where the history cannot be written, each command tells so once, after its
// own messages, and does the same meter work.
struct Unwritable {
    const char* name;
    bool damagedFile; // else VORDA_HISTORY names a path under a regular file
};

class UnwritableHistoryTest : public HistoryWindowTest, public ::testing::WithParamInterface<Unwritable> {};

TEST_P(UnwritableHistoryTest, EachCommandTellsItOnceAndTheMeterWorkGoesOn) {
    QString blocker;
    if (GetParam().damagedFile) {
        QDir().mkpath(paths.DefaultUserDir());
        QFile f(paths.DefaultUserDir() + "VORDAHistory.sqlite");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    } else {
        blocker = root.filePath("blocker");
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        paths.historyEnv = blocker + "/history.sqlite";
    }
    Connect();
    const QStringList found = mw()->MeterValues();
    auto problems = [this] {
        QStringList out;
        for (const QString& t : ui.texts("message"))
            if (t.startsWith("Meter history:")) out << t;
        return out;
    };
    // Connect: one read, told after "Meter read successfully".
    ASSERT_EQ(problems().size(), 1);
    EXPECT_TRUE(problems().first().startsWith("Meter history: the read was not recorded: ")) << problems().first().toStdString();
    EXPECT_EQ(ui.texts("message").last(), problems().first());
    EXPECT_EQ(ui.texts("message").value(ui.texts("message").size() - 2), "Meter read successfully");

    // A write: the same registers as ever, and one line after its message.
    ui.clear();
    meter_->clearLog();
    Edit(kPulse, Plus(kPulse, 1));
    Trigger("WriteEE");
    EXPECT_EQ(ui.texts("message").value(0), "Meter written successfully");
    ASSERT_EQ(problems().size(), 1);
    EXPECT_TRUE(problems().first().startsWith("Meter history: the write was not recorded: "));
    EXPECT_EQ(meter_->reg(73), quint8(Plus(kPulse, 0).toInt() & 0xFF));
    int registers = 0;
    for (const DMap& p : program->map.MapParams) registers += p.EndReg - p.Startreg + 1;
    EXPECT_EQ(WrittenRegisters().size(), registers);

    // Compare and Write Ticked: a read, a write and a verification in one
    // command, told in one line.
    ui.clear();
    const QString path = program->startup.UserDir + "cmp.epf";
    QStringList values = mw()->MeterValues();
    values[kPipe] = Plus(kPipe, 1);
    QString error;
    ASSERT_TRUE(SaveDataFile(path, "ZUVMap5.Map", program->map.MapParams, values, {}, &error));
    ui.choosePath(path);
    ui.writeTicked();
    Trigger("CompareData");
    EXPECT_EQ(ui.texts("message").value(0), "Meter written and verified");
    EXPECT_EQ(problems().size(), 1);
    EXPECT_EQ(mw()->MeterValues().at(kPipe), values.at(kPipe));

    // The report falls back on the session's own record.
    ui.choosePath(program->startup.UserDir + "report.pdf");
    Trigger("CommissioningReport");
    QStringList csv;
    ASSERT_TRUE(ReadTextLines(program->startup.UserDir + "report.csv", &csv, &error)) << error.toStdString();
    EXPECT_TRUE(csv.join('\n').contains(QString(R"("Pipe Diameter","mm","%1","%2","yes")").arg(found.at(kPipe), values.at(kPipe))))
        << csv.join('\n').toStdString();
    // The history cannot be shown either.
    ui.clear();
    Trigger("MeterHistory");
    ASSERT_EQ(ui.texts("message").size(), 1);
    EXPECT_TRUE(ui.texts("message").first().startsWith("The meter history cannot be read: "));
    if (!blocker.isEmpty()) EXPECT_TRUE(QFileInfo(blocker).isFile());
}

INSTANTIATE_TEST_SUITE_P(History, UnwritableHistoryTest,
                         ::testing::Values(Unwritable{"DamagedFile", true}, Unwritable{"UnderARegularFile", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HistoryWindowTest, TheReportTakesAsLeftFromTheHistoryAfterAResetNobodyReadBack) {
    Connect();
    const QStringList found = mw()->MeterValues();
    // Values edited on screen: the read after the reset asks first, and the
    // user keeps the screen.
    Edit(kPulse, Plus(kPulse, 1));
    ui.answer(true);  // reset
    ui.answer(false); // no read over the edited values
    Trigger("RestoreDefaults1");
    ASSERT_EQ(Kinds(Records()), (QStringList{"read", "factory-reset"}));
    ui.choosePath(program->startup.UserDir + "after reset.pdf");
    Trigger("CommissioningReport");
    QStringList csv;
    QString error;
    ASSERT_TRUE(ReadTextLines(program->startup.UserDir + "after reset.csv", &csv, &error)) << error.toStdString();
    // Nothing is known of the meter since the reset, whatever was read before.
    EXPECT_TRUE(csv.contains(QString(R"("Pipe Diameter","mm","%1","unknown","yes")").arg(found.at(kPipe))))
        << csv.join('\n').toStdString();
}

} // namespace
} // namespace vorda::test

namespace vorda::test {
namespace {

// The confirmation of a write on Qt's widgets, answered from the keyboard:
// Enter in the reason box goes on to OK, Enter on OK writes; Escape cancels
// and gives no reason.
TEST(WriteConfirmationTest, EnterAfterTheReasonMovesToOkAndOkGivesTheReason) {
    EnsureApplication();
    struct Case {
        const char* typed;
        bool cancel;
        bool ok;
        QString reason;
    };
    for (const Case& c : {Case{"  flow tube replaced ", false, true, "flow tube replaced"}, Case{"", false, true, ""},
                          Case{"not wanted", true, false, ""}}) {
        SCOPED_TRACE(c.typed);
        QtUserInteraction qt;
        QTimer timer;
        timer.setSingleShot(true);
        bool stillOpenAfterEnter = false;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            ASSERT_NE(dialog, nullptr);
            auto* reason = dialog->findChild<QLineEdit*>("ReasonEdt");
            auto* ok = dialog->findChild<QPushButton*>("WriteConfirmationOk");
            ASSERT_TRUE(reason && ok);
            QTest::keyClicks(reason, c.typed);
            if (c.cancel) {
                QTest::keyClick(reason, Qt::Key_Escape);
                return;
            }
            QTest::keyClick(reason, Qt::Key_Return);
            stillOpenAfterEnter = dialog->isVisible();
            QTest::keyClick(ok, Qt::Key_Return);
            if (dialog->isVisible()) static_cast<QDialog*>(dialog)->reject();
        });
        timer.start(0);
        QString reason = "left over";
        EXPECT_EQ(qt.ConfirmWrite("About to write new values to Meter\n\r\n\r            Are you sure?", &reason), c.ok);
        EXPECT_EQ(reason, c.reason);
        EXPECT_EQ(stillOpenAfterEnter, !c.cancel);
    }
}

} // namespace
} // namespace vorda::test

namespace vorda::test {
namespace {

HistoryRecord Made(const QString& kind, int minute, const QList<DMap>& params, const QStringList& values) {
    HistoryRecord r;
    r.kind = kind;
    r.at = QDateTime(QDate(2026, 3, 1), QTime(9, minute), Qt::UTC);
    r.mapHash = MapHash(params);
    for (int i = 0; i < values.size(); ++i) r.values << RecordValue{params.at(i).Parameter, params.at(i).Format, values.at(i), {}};
    return r;
}

TEST(HistoryReviewTest, DifferencesShowInDisplayUnitsOnlyUnderTheMapOnScreen) {
    DMap pipe;
    pipe.Parameter = "Pipe Diameter";
    pipe.Format = "Int16";
    pipe.PType = "Length";
    DMap tag = pipe;
    tag.Parameter = "Tag";
    tag.Format = "ASCII";
    tag.PType.clear();
    const QList<DMap> params{pipe, tag};
    // Inches of whole millimetres, rounded to one place: 1 mm apart may not show.
    const ComparisonDisplay display{[](const DMap& p, const QString& v) {
                                        return p.PType.isEmpty() ? v : QString::number(v.toDouble() / 25.4, 'f', 1);
                                    },
                                    [](const DMap& p) { return p.PType.isEmpty() ? QString() : QString("in"); }};
    const HistoryRecord older = Made("read", 1, params, {"254", "A"});
    struct Case {
        const char* name;
        HistoryRecord newer;
        QList<QStringList> rows; // parameter, unit, older, newer
        bool displayUnits;
    };
    HistoryRecord otherMap = Made("write", 2, params, {"508", "A"});
    otherMap.mapHash = "another";
    HistoryRecord fewer = Made("write", 2, {pipe}, {"508"});
    const Case cases[] = {
        {"same map", Made("write", 2, params, {"508", "B"}), {{"Pipe Diameter", "in", "10.0", "20.0"}, {"Tag", "", "A", "B"}}, true},
        {"hidden by rounding", Made("write", 2, params, {"255", "A"}), {{"Pipe Diameter", "", "254", "255"}}, true},
        {"unknown", Made("write", 2, params, {"unknown", "A"}), {{"Pipe Diameter", "in", "10.0", "unknown"}}, true},
        {"another map", otherMap, {{"Pipe Diameter", "", "254", "508"}}, false},
        {"a parameter less", fewer, {{"Pipe Diameter", "", "254", "508"}, {"Tag", "", "A", "(none)"}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The order the records are picked in does not matter.
        const HistoryDiff diff = DiffInDisplayUnits(c.newer, older, params, display);
        QList<QStringList> rows;
        for (const HistoryDiffRow& r : diff.rows) rows << QStringList{r.parameter, r.unit, r.older, r.newer};
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(diff.displayUnits, c.displayUnits);
        EXPECT_EQ(diff.note.isEmpty(), c.displayUnits);
        EXPECT_EQ(diff.olderTime, older.at.toLocalTime().toString("yyyy-MM-dd HH:mm:ss"));
    }
}

} // namespace
} // namespace vorda::test
