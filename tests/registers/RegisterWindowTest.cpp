// The register browser window in the whole program: the menu item, the
// controls, mouse and keys on the grid, the boxes' focus rules and Write.
#include "tests/support/ProgramFixture.h"
#include "tests/support/WindowChecks.h"

#include "windows/PICRW.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableView>
#include <QTest>

namespace vorda::test {
namespace {

class RegisterWindowTest : public ProgramTest {
protected:
    void Start() {
        ASSERT_TRUE(Create({"/UserIsZUV"}));
        meter = &AttachMeter(4, "ZUVMAP5.map", 5);
        for (int r = 0; r < 200; ++r) meter->setReg(r, quint8(r));
        mw()->findChild<QPushButton*>("TestConnbtn")->click();
        ASSERT_TRUE(program->link.MeterConnected);
        Trigger("PICRW1");
        ASSERT_TRUE(form()->isVisible());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form()));
        ui.clear();
        readsBefore = meter->registerReads();
    }
    TPICRWForm* form() const { return program->registerBrowser(); }
    template <class T>
    T* Get(const char* name) const {
        T* w = form()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QTableView* Grid() const { return Get<QTableView>("RegGridDec"); }
    QString CellText(const char* grid, int col, int row) const {
        return Get<QTableView>(grid)->model()->index(row, col).data().toString();
    }
    void ClickCell(int col, int row) {
        QTableView* g = Grid();
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, col)).center());
    }
    int Reads() const { return meter->registerReads() - readsBefore; }

    SimMeter* meter = nullptr;
    int readsBefore = 0;
};

TEST_F(RegisterWindowTest, MenuItemNeedsAConnectedMeter) {
    ASSERT_TRUE(Create({"/UserIsZUV"}));
    EXPECT_TRUE(Action("PICRW1")->isVisible());
    EXPECT_FALSE(Action("PICRW1")->isEnabled());
    AttachMeter(4, "ZUVMAP5.map", 5);
    mw()->findChild<QPushButton*>("TestConnbtn")->click();
    EXPECT_TRUE(Action("PICRW1")->isEnabled());
    EXPECT_FALSE(form()->isVisible()); // created at start-up, shown only on demand
    Trigger("PICRW1");
    EXPECT_TRUE(form()->isVisible());
}

TEST_F(RegisterWindowTest, ControlsAsDesigned) {
    Start();
    EXPECT_EQ(form()->windowTitle(), "ZUV Meter Settings - Read and Write Registers");
    // At least the designed size, within the screen.
    EXPECT_GE(form()->width(), 551);
    EXPECT_GE(form()->height(), 547);
    EXPECT_TRUE(form()->screen()->availableGeometry().contains(QRect(QPoint(0, 0), form()->size())));
    const struct {
        const char* name;
        const char* text;
        const char* hint;
        const char* accessible;
    } controls[] = {
        {"ReadAllRegs", "Read All Registers", "", ""},
        {"Refresh", "Refresh", "Update screen values", ""},
        {"WriteReg", "Write", "Write new value to EEPROM", ""},
        {"EditA", "", "Enter an ASCII value (1 character)  to write to the selected register", "ASCII"},
        {"EditDec8", "", "Enter Dec8 value (0 - 255)  to write to the selected register", "Dec8"},
        {"EditHex", "", "Enter Hex value (0 - FF)  to write to the selected register", "Hex"},
        {"EditB", "", "For information only", "Binary"},
        {"RegGridDec", "", "Click on a cell to read EEPROM register and display value", "Registers for device: EEPROM"},
        {"ASCIIGridDec", "", "Correponding ASCII values", "ASCII"},
        {"RadioUnits", "", "Select display format", "Display as"},
        {"Label14", "To write in the selected register enter the value to be written in any of the 3 cells below", "", ""},
        {"Label11", "Must hit Refresh after each entry or values will not be refreshed!", "", ""},
        {"NVNR", "New values not written to device", "", ""},
        {"Label1", "Registers for device:", "", ""},
        {"HoldIn", "EEPROM", "", ""},
    };
    const QRect client = form()->rect();
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        QWidget* w = Get<QWidget>(c.name);
        ASSERT_NE(w, nullptr);
        if (auto* b = qobject_cast<QPushButton*>(w)) {
            EXPECT_EQ(QString(b->text()).remove('&'), c.text); // with a mnemonic
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(l->text(), c.text);
        }
        EXPECT_EQ(w->toolTip(), c.hint);
        if (*c.accessible) {
            EXPECT_EQ(w->accessibleName(), c.accessible);
        }
        EXPECT_TRUE(client.contains(w->geometry())) << "outside the window";
    }
    EXPECT_EQ(Get<QGroupBox>("RadioUnits")->title(), "Display as");
    EXPECT_TRUE(Get<QRadioButton>("RadioUnitsDec8")->isChecked());
    EXPECT_TRUE(Get<QLineEdit>("EditB")->isReadOnly());
    EXPECT_FALSE(Get<QLabel>("NVNR")->isVisible() || Get<QLabel>("Reclbl")->isVisible());
    EXPECT_FALSE(Get<QPushButton>("WriteReg")->isEnabled());

    // Both grids show every cell without scrolling, each cell large enough
    // for its text, a character in the row of its register.
    for (const char* name : {"RegGridDec", "ASCIIGridDec"}) {
        QTableView* g = Get<QTableView>(name);
        const QModelIndex last = g->model()->index(g->model()->rowCount() - 1, g->model()->columnCount() - 1);
        EXPECT_TRUE(g->viewport()->rect().contains(g->visualRect(last))) << name;
    }
    const QRect cell = Grid()->visualRect(Grid()->model()->index(1, 1));
    EXPECT_GE(cell.width(), Grid()->fontMetrics().horizontalAdvance("255") + 2);
    EXPECT_GE(cell.height(), Grid()->fontMetrics().height());
    QTableView* ascii = Get<QTableView>("ASCIIGridDec");
    const QRect character = ascii->visualRect(ascii->model()->index(1, 1));
    EXPECT_GE(character.width(), ascii->fontMetrics().horizontalAdvance('W'));
    EXPECT_EQ(character.height(), cell.height() + 1); // the register grid's line
    EXPECT_TRUE(ascii->font().fixedPitch());
    EXPECT_EQ(CellText("RegGridDec", 10, 0), "9");
    EXPECT_EQ(CellText("RegGridDec", 0, 26), "250");
    EXPECT_EQ(CellText("ASCIIGridDec", 5, 0), "I");
}

TEST_F(RegisterWindowTest, MouseAndKeysSelectCells) {
    Start();
    ClickCell(2, 5); // register 41
    EXPECT_EQ(Reads(), 1);
    EXPECT_EQ(CellText("RegGridDec", 2, 5), "41");
    EXPECT_EQ(CellText("ASCIIGridDec", 1, 5), ")");
    EXPECT_EQ(Get<QLineEdit>("EditHex")->text(), "29");
    EXPECT_EQ(Get<QLineEdit>("EditB")->text(), "0010 1001");
    EXPECT_EQ(Grid()->currentIndex(), Grid()->model()->index(5, 2));
    ClickCell(2, 5); // the current cell again reads again
    EXPECT_EQ(Reads(), 2);
    ClickCell(0, 5); // headers are no cells
    ClickCell(2, 0);
    EXPECT_EQ(Reads(), 2);

    QTest::keyClick(Grid(), Qt::Key_Right);
    EXPECT_EQ(Reads(), 3);
    EXPECT_EQ(form()->Browser().SelectedRegister, 42);
    QTest::keyClick(Grid(), Qt::Key_Down);
    EXPECT_EQ(form()->Browser().SelectedRegister, 52);
    QTest::keyClick(Grid(), Qt::Key_5); // typing does not move the cell
    EXPECT_EQ(Reads(), 4);

    ClickCell(1, 1);
    QTest::keyClick(Grid(), Qt::Key_Left); // nothing left of column 1
    QTest::keyClick(Grid(), Qt::Key_Up);
    EXPECT_EQ(Reads(), 5);
    EXPECT_EQ(Grid()->currentIndex(), Grid()->model()->index(1, 1));

    ClickCell(8, 26);
    EXPECT_EQ(ui.texts(), QStringList{"Last Register in EEPROM is 255"});
    EXPECT_EQ(Reads(), 5);
}

TEST_F(RegisterWindowTest, LeavingABoxChecksItAndWriteWritesIt) {
    Start();
    ClickCell(3, 1); // register 2
    QLineEdit* hex = Get<QLineEdit>("EditHex");
    QTest::mouseClick(hex, Qt::LeftButton);
    hex->selectAll();
    QTest::keyClicks(hex, "4142"); // two characters at most
    EXPECT_EQ(hex->text(), "41");
    QTest::mouseClick(Get<QPushButton>("Refresh"), Qt::LeftButton);
    EXPECT_EQ(Get<QLineEdit>("EditDec8")->text(), "65");
    EXPECT_EQ(Get<QLineEdit>("EditA")->text(), "A");
    EXPECT_TRUE(Get<QLabel>("NVNR")->isVisible());
    EXPECT_FALSE(Get<QPushButton>("Refresh")->isEnabled());
    EXPECT_TRUE(Get<QPushButton>("WriteReg")->isEnabled());

    QTest::mouseClick(Get<QPushButton>("WriteReg"), Qt::LeftButton);
    EXPECT_EQ(ui.texts(), QStringList{"About to write .65 to Register 2"});
    EXPECT_EQ(meter->reg(2), 65);
    EXPECT_EQ(CellText("RegGridDec", 3, 1), "65");
    EXPECT_FALSE(Get<QLabel>("NVNR")->isVisible());
    EXPECT_FALSE(Get<QPushButton>("WriteReg")->isEnabled());

    // An invalid entry is refused when the box is left, by any means.
    QLineEdit* dec8 = Get<QLineEdit>("EditDec8");
    QTest::mouseClick(dec8, Qt::LeftButton);
    EXPECT_TRUE(Get<QPushButton>("Refresh")->isEnabled()); // entering a box enables Refresh
    dec8->selectAll();
    QTest::keyClicks(dec8, "300");
    ui.clear();
    QTest::keyClick(dec8, Qt::Key_Tab);
    EXPECT_EQ(ui.texts(), QStringList{"Invalid: 300 - values not refreshed"});
    EXPECT_EQ(dec8->text(), "65");

    // An error of Write is shown and the window goes on.
    dec8->setText("x");
    form()->Browser().SetBoxText(RegisterBrowser::Box::Dec8, "x");
    form()->WriteRegClick();
    EXPECT_EQ(ui.texts("error"), QStringList{"Invalid: x - value not written"});
}

// The paint events of the widgets it watches, in order.
class PaintLog : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Paint) painted << watched;
        return false;
    }
    QList<QObject*> painted;
};

TEST_F(RegisterWindowTest, ReadAllRepaintsOnlyItsCounterAndTheWindowKeepsItsContents) {
    Start();
    ClickCell(3, 2);
    QApplication::processEvents();
    QLabel* counter = Get<QLabel>("Reclbl");
    PaintLog paints;
    counter->installEventFilter(&paints);
    Grid()->viewport()->installEventFilter(&paints);
    QTest::mouseClick(Get<QPushButton>("ReadAllRegs"), Qt::LeftButton);
    const QList<QObject*> pass = paints.painted.mid(paints.painted.indexOf(counter));
    EXPECT_EQ(pass.count(counter), 256);
    EXPECT_EQ(pass.count(Grid()->viewport()), 0);
    QApplication::processEvents();
    EXPECT_TRUE(paints.painted.contains(Grid()->viewport())); // the grid follows once the pass is over
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(counter->text() + Get<QLabel>("Oflbl")->text(), "255/  255");
    EXPECT_EQ(CellText("RegGridDec", 10, 10), "99");
    Get<QRadioButton>("RadioUnitsHex")->click();
    EXPECT_EQ(CellText("RegGridDec", 10, 10), "63");

    form()->hide();
    Trigger("PICRW1");
    EXPECT_EQ(CellText("RegGridDec", 10, 10), "63");
    EXPECT_TRUE(Get<QRadioButton>("RadioUnitsHex")->isChecked());
    EXPECT_EQ(Get<QLineEdit>("EditDec8")->text(), "0"); // register 0, read by the final move
}

// Looks for a pixel of a colour in a rectangle of a grab.
bool HasPixel(const QImage& image, const QRect& rect, const std::function<bool(QColor)>& match) {
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (match(image.pixelColor(x, y))) return true;
    return false;
}

TEST_F(RegisterWindowTest, CellsArePaintedInTheirColours) {
    Start();
    ClickCell(1, 1);
    meter->setReg(0, 200);
    ClickCell(1, 1); // changed: red on silver
    ClickCell(2, 1); // register 1: black on silver, register 0 back to white
    meter->setReg(0, 201);
    form()->Browser().RegGridDecSelectCell(1, 1);
    form()->Browser().RegGridDecSelectCell(2, 1);
    QApplication::processEvents();
    const QImage regs = Grid()->viewport()->grab().toImage();
    QTableView* ascii = Get<QTableView>("ASCIIGridDec");
    const QImage chars = ascii->viewport()->grab().toImage();
    const QRect reg0 = Grid()->visualRect(Grid()->model()->index(1, 1));
    const QRect reg1 = Grid()->visualRect(Grid()->model()->index(1, 2));
    const QRect char1 = ascii->visualRect(ascii->model()->index(1, 1));
    auto isRed = [](QColor c) { return c.red() > 200 && c.green() < 90 && c.blue() < 90; };
    auto isDark = [](QColor c) { return c.red() < 90 && c.green() < 90 && c.blue() < 90; };
    EXPECT_EQ(regs.pixelColor(reg0.bottomRight() - QPoint(1, 1)), QColor(Qt::white));
    EXPECT_TRUE(HasPixel(regs, reg0, isRed));
    EXPECT_EQ(regs.pixelColor(reg1.bottomRight() - QPoint(1, 1)), QColor(192, 192, 192));
    EXPECT_TRUE(HasPixel(regs, reg1, isDark));
    EXPECT_FALSE(HasPixel(regs, reg1, isRed));
    EXPECT_EQ(chars.pixelColor(char1.bottomRight() - QPoint(1, 1)), QColor(192, 192, 192)); // mirrors register 1
}

// In the dark theme too: a changed register in red and the selected cell
// in silver read, as do the notes; Tab leaves the grid; all is named.
TEST_F(RegisterWindowTest, TheBrowserReadsInADarkThemeAndByKeyboard) {
    const DarkTheme theme;
    Start();
    ClickCell(1, 1);
    meter->setReg(0, 200);
    ClickCell(1, 1); // changed and selected
    Get<QLineEdit>("EditDec8")->setText("7");
    emit Get<QLineEdit>("EditDec8")->textEdited("7");
    Get<QPushButton>("Refresh")->click(); // the note in red shows
    const QModelIndex changed = Grid()->model()->index(1, 1);
    const QColor base = Grid()->palette().color(QPalette::Base);
    EXPECT_LT(Luminance(base), 0.1);
    EXPECT_NE(changed.data(Qt::BackgroundRole).value<QColor>(), base); // still marked as selected
    const QColor red = changed.data(Qt::ForegroundRole).value<QColor>();
    EXPECT_EQ(red.hue(), 0);
    EXPECT_GT(red.red(), std::max(red.green(), red.blue()) + 80); // plainly red
    EXPECT_GE(LeastCellContrast(Grid()), kReadableContrast);
    EXPECT_GE(LeastCellContrast(Get<QTableView>("ASCIIGridDec")), kReadableContrast);
    EXPECT_EQ(UnreadableLabels(form()), QStringList{});

    for (const bool forward : {true, false}) EXPECT_EQ(PressesToLeave(Grid(), forward), 1) << forward;
    EXPECT_EQ(UnnamedControls(form()), QStringList{});
    for (const char* name : {"ReadAllRegs", "Refresh", "WriteReg"})
        EXPECT_FALSE(QKeySequence::mnemonic(Get<QPushButton>(name)->text()).isEmpty()) << name;
}

} // namespace
} // namespace vorda::test
