// A slow meter keeps the main window alive: while a long meter command runs,
// the window paints with the busy cursor and its progress, takes no user
// input and starts no second command; all of it ends with the command.
#include "tests/support/ProgramFixture.h"

#include "meter/SimSerialLayer.h"
#include "values/MeterEngine.h"
#include "windows/PICRW.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <QProgressBar>
#include <QTest>

#include <functional>

namespace vorda::test {
namespace {

// Watches the main window's paints while a meter command runs.
class PaintWatch : public QObject {
public:
    struct Paint {
        QString widget;
        bool waitCursor;
        bool progressShown;
        int progressValue;
        int progressMaximum;
    };
    PaintWatch(TValuesReadWrite* window) : window_(window) { qApp->installEventFilter(this); }
    ~PaintWatch() override { qApp->removeEventFilter(this); }

    QList<Paint> busyPaints;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* w = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint && w && w->window() == window_ && window_->MeterBusy()) {
            const auto* bar = window_->findChild<QProgressBar*>("ProgressBar");
            busyPaints << Paint{w->objectName(), QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor,
                                bar->isVisible(), bar->value(), bar->maximum()};
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TValuesReadWrite* window_;
};

class BusyTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        meter_ = &AttachMeter(0, "ZUVMAP5.map", 5);
        meter_->mutableFaults().replyDelayMs = 450; // inside the time-out
    }
    bool CreateShown() {
        if (!Create()) return false;
        mw()->show();
        return QTest::qWaitForWindowExposed(mw());
    }
    void Connect() { Find<QPushButton>("TestConnbtn")->click(); }
    int ReadRegisters() const {
        int n = 0;
        for (const DMap& p : program->map.MapParams) n += p.EndReg - p.Startreg + 1;
        return n;
    }
    SimMeter* meter_ = nullptr;
};

TEST_F(BusyTest, ASlowMeterLeavesTheWindowPaintingWithBusyCursorAndProgress) {
    ASSERT_TRUE(CreateShown());
    PaintWatch watch(mw());
    Connect();
    ASSERT_TRUE(program->link.MeterConnected);
    ASSERT_FALSE(watch.busyPaints.isEmpty()) << "the window never painted while the meter was busy";
    for (const PaintWatch::Paint& p : watch.busyPaints) EXPECT_TRUE(p.waitCursor) << p.widget.toStdString();
    // The scan shows that it goes on; the read after connecting shows its
    // progress, and in the end all of it.
    EXPECT_TRUE(std::any_of(watch.busyPaints.begin(), watch.busyPaints.end(), [](const PaintWatch::Paint& p) {
        return p.widget == "ProgressBar" && p.progressShown && p.progressMaximum == 0;
    }));
    EXPECT_TRUE(std::any_of(watch.busyPaints.begin(), watch.busyPaints.end(), [this](const PaintWatch::Paint& p) {
        return p.widget == "ProgressBar" && p.progressShown && p.progressValue == ReadRegisters();
    }));
    // Everything ends with the command.
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(mw()->MeterBusy());
    EXPECT_FALSE(Find<QProgressBar>("ProgressBar")->isVisible());
}

TEST_F(BusyTest, NoInputAndNoSecondCommandWhileTheMeterIsBusy) {
    ASSERT_TRUE(CreateShown());
    Connect();
    ASSERT_TRUE(program->link.MeterConnected);
    auto* check = Find<QPushButton>("CheckData");
    int checks = 0;
    QObject::connect(check, &QPushButton::clicked, [&checks] { ++checks; });
    Box(4)->setText("300");
    ui.clear();
    ui.answer(true);
    ui.onQuestion = [this, check] {
        // In the middle of Read Parameters: a click of the user's, and a
        // command that comes by the event queue.
        QTest::mouseClick(check, Qt::LeftButton);
        QMetaObject::invokeMethod(Action("ReadEE"), "trigger", Qt::QueuedConnection);
    };
    const int readsBefore = meter_->registerReads();
    Trigger("ReadEE");
    QApplication::processEvents();
    EXPECT_EQ(checks, 0);
    EXPECT_EQ(meter_->registerReads() - readsBefore, ReadRegisters()) << "a second read ran";
    EXPECT_EQ(ui.texts("message"), QStringList{"Meter read successfully"});
    // Once the command has ended, input is taken again.
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(checks, 1);
}

TEST_F(BusyTest, APopupOverTheCommandsOwnDialogTakesInput) {
    // A file dialog's completer or a drop-down, opened during a command:
    // were its input dropped, the popup would hold the keyboard for good.
    ASSERT_TRUE(CreateShown());
    const MeterActivity::Scope busy(mw()->Activity());
    QDialog dialog(mw());
    auto* combo = new QComboBox(&dialog);
    combo->addItems({"a", "b", "c"});
    int chosen = -1;
    QTimer::singleShot(0, &dialog, [&] {
        combo->showPopup();
        QTest::keyClick(combo->view(), Qt::Key_Down);
        QTest::keyClick(combo->view(), Qt::Key_Return);
        chosen = combo->currentIndex();
        dialog.accept();
    });
    dialog.exec();
    EXPECT_EQ(chosen, 1);
}

TEST_F(BusyTest, TheBusyStateEndsAlsoWhenTheCommandEndsTheProgram) {
    serial.setAbsent(0);
    ASSERT_TRUE(CreateShown());
    ui.answer(false);
    Connect();
    EXPECT_TRUE(end.terminated);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(mw()->MeterBusy());
    // The next command runs.
    int checks = 0;
    QObject::connect(Find<QPushButton>("CheckData"), &QPushButton::clicked, [&checks] { ++checks; });
    QTest::mouseClick(Find<QPushButton>("CheckData"), Qt::LeftButton);
    EXPECT_EQ(checks, 1);
}

// The register browser's reads are meter commands too: the windows go on
// painting, with the busy cursor, while the meter is slow.
TEST_F(BusyTest, TheRegisterBrowserKeepsTheWindowsAliveToo) {
    ASSERT_TRUE(Create({"/UserIsZUV"}));
    Connect();
    ASSERT_TRUE(program->link.MeterConnected);
    TPICRWForm* browser = program->registerBrowser();
    browser->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(browser));
    bool busyWhileWaiting = false;
    QTimer::singleShot(0, [&] {
        busyWhileWaiting = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    browser->RegGridDecSelectCell(3, 2); // register 12
    EXPECT_TRUE(busyWhileWaiting);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Makes a gesture of the user's just before the n-th register command of a
// kind (0 write, 1 read) goes out.
class GestureLayer : public SimSerialLayer {
public:
    int SioPuts(int port, const unsigned char* bytes, int count) override {
        if (count == 3 && bytes[0] == fn && ++sent == at && gesture) gesture();
        return SimSerialLayer::SioPuts(port, bytes, count);
    }
    int fn = 0;
    int at = -1;
    int sent = 0;
    std::function<void()> gesture;
};

class StopTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        meter_ = &AttachMeter(0, "ZUVMAP5.map", 5);
        layer_.attach(0, meter_);
    }
    bool CreateAndConnect() {
        if (!Create({}, layer_)) return false;
        mw()->show();
        if (!QTest::qWaitForWindowExposed(mw())) return false;
        Find<QPushButton>("TestConnbtn")->click();
        return program->link.MeterConnected;
    }
    // Registers of the parameters before index.
    int RegistersBefore(int index) const {
        int n = 0;
        for (int i = 0; i < index; ++i) n += program->map.MapParams[i].EndReg - program->map.MapParams[i].Startreg + 1;
        return n;
    }
    // The user's ways of stopping a command.
    enum class Way { Esc, CtrlC, StopButton };
    std::function<void()> Gesture(Way way) {
        return [this, way] {
            if (way == Way::StopButton) QTest::mouseClick(Find<QPushButton>("StopBtn"), Qt::LeftButton);
            else if (way == Way::CtrlC) QTest::keyClick(mw(), Qt::Key_C, Qt::ControlModifier);
            else QTest::keyClick(mw(), Qt::Key_Escape);
        };
    }
    GestureLayer layer_;
    SimMeter* meter_ = nullptr;
};

// Esc or the Stop button during Write Parameters: nothing is sent after the
// register in flight, and the user learns what the meter received.
TEST_F(StopTest, AStoppedWriteSendsNothingMoreAndSaysWhatWasWritten) {
    ASSERT_TRUE(CreateAndConnect());
    const QList<DMap>& params = program->map.MapParams;
    const int cut = 5; // Flow Full Scale, stopped after its first register
    ASSERT_GT(params[cut].EndReg, params[cut].Startreg);
    const int late = int(params.size()) - 2;
    const int lateBefore = meter_->reg(params[late].Startreg);
    for (const auto& [diameter, way] : {std::pair{250, Way::Esc}, {260, Way::StopButton}, {270, Way::CtrlC}}) {
        SCOPED_TRACE(diameter);
        Box(4)->setText(QString::number(diameter));
        Box(late)->setText("17");
        Find<QPushButton>("CheckData")->click();
        ui.clear();
        const int writesBefore = meter_->registerWrites();
        layer_.fn = 0;
        layer_.sent = 0;
        layer_.at = RegistersBefore(cut) + 1;
        layer_.gesture = Gesture(way);
        Trigger("WriteEE");
        EXPECT_EQ(meter_->registerWrites() - writesBefore, RegistersBefore(cut) + 1);
        const QStringList told = ui.texts("message");
        ASSERT_EQ(told.size(), 1) << told.join("|").toStdString();
        EXPECT_TRUE(told[0].startsWith("Write stopped.\n\r\n\rWhat the meter received:\n\rwritten whole: Serial Number"));
        EXPECT_TRUE(told[0].contains("Pipe Diameter\n\rwritten partly: Flow Full Scale\n\rnot written: Low Flow"));
        EXPECT_EQ(meter_->reg(params[4].Startreg) * 256 + meter_->reg(params[4].Startreg + 1), diameter);
        EXPECT_EQ(meter_->reg(params[late].Startreg), lateBefore);
        EXPECT_FALSE(Find<QPushButton>("StopBtn")->isVisible());
        EXPECT_TRUE(program->link.MeterConnected);
    }
}

// A stopped read leaves on screen only the parameters read whole.
TEST_F(StopTest, AStoppedReadShowsOnlyWhatWasReadAndTheNextReadIsWhole) {
    ASSERT_TRUE(CreateAndConnect());
    const int count = int(program->map.MapParams.size());
    layer_.fn = 1;
    layer_.sent = 0;
    layer_.at = RegistersBefore(3) + 1; // inside the fourth parameter
    layer_.gesture = Gesture(Way::Esc);
    ui.clear();
    Trigger("ReadEE");
    EXPECT_EQ(ui.texts("message"), QStringList{ReadStoppedText(3, count)});
    EXPECT_FALSE(Box(2)->text().isEmpty());
    for (int i = 3; i < count; ++i) EXPECT_TRUE(Box(i)->text().isEmpty()) << i;

    layer_.gesture = nullptr;
    ui.clear();
    Trigger("ReadEE");
    EXPECT_EQ(ui.texts("message"), QStringList{"Meter read successfully"});
    EXPECT_FALSE(Box(count - 1)->text().isEmpty());
}

} // namespace
} // namespace vorda::test
