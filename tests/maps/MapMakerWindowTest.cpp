// The map editor window driven by its controls' names, inside the whole program.
#include "windows/MapMakerUnt.h"

#include "shell/ConfigFiles.h"
#include "base/TextFiles.h"
#include "maps/MapFile.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/WindowChecks.h"
#include "windows/SetDisplayUnitsUnt.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <optional>

namespace vorda::test {
namespace {

class MapMakerWindowTest : public ProgramTest {
protected:
    // Maker access, and the editor shown by "Maps" > "Maps Form".
    void Open() {
        ASSERT_TRUE(Create({"/UserIsZUV"}));
        Trigger("MapFiles1");
        ASSERT_TRUE(mm()->isVisible());
    }
    TMapMaker* mm() const { return program->mapMaker(); }
    template <class T>
    T* W(const QString& name) const {
        T* found = mm()->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QAction* EditorAction(const QString& name) const { return W<QAction>(name); }
    QTableView* Selector() const { return W<QTableView>("Selector"); }
    QTableView* Layout() const { return W<QTableView>("PageLayout"); }
    QString UserFile(const QString& name) const { return program->startup.UserDir + name; }

    // A mouse click on a register's name cell.
    void ClickRegister(int reg) {
        QTableView* grid = Selector();
        const QModelIndex index = grid->model()->index(reg, MapEditor::NameCol);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    }
    void TypeInto(QLineEdit* box, const QString& text) {
        box->clear();
        QTest::keyClicks(box, text);
    }
    void LeaveBox(QWidget* box) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &out);
    }
    // Types a format into the Format box and presses Enter.
    void TypeFormat(const QString& format) {
        QLineEdit* edit = W<QComboBox>("Format")->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, format);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    void Press(const QString& name) { QTest::mouseClick(W<QAbstractButton>(name), Qt::LeftButton); }
    QPoint LayoutCellCentre(int row, int col) const {
        return Layout()->visualRect(Layout()->model()->index(row - 1, col)).center();
    }
    // The colour at the lower right of a Selector cell, away from its text.
    QColor CellColour(int reg, int col) {
        QTableView* grid = Selector();
        const QRect r = grid->visualRect(grid->model()->index(reg, col));
        return grid->viewport()->grab().toImage().pixelColor(r.right() - 3, r.bottom() - 2);
    }
    QStringList Said() const {
        QStringList out;
        for (const auto& s : ui.shown)
            if (s.kind == "message" || s.kind == "error" || s.kind == "confirm") out << s.text;
        return out;
    }

    // Builds: Flow on registers 0 to 1 (Int16, multiplier 0.1, type of the
    // first unit chooser), Tag on 10 to 17 (ASCII), a heading dragged to the top.
    void BuildMap() {
        ClickRegister(0);
        ClickRegister(1);
        TypeInto(W<QLineEdit>("ParamNameInput"), "Flow (l/s)");
        TypeFormat("Int16");
        TypeInto(W<QLineEdit>("Multiplier"), "0.1");
        LeaveBox(W<QLineEdit>("Multiplier"));
        QComboBox* types = W<QComboBox>("PTypeCombo");
        emit types->textActivated(types->itemText(1));
        emit W<QComboBox>("AccessCombo")->textActivated("R");
        Press("Store");

        ClickRegister(10);
        ClickRegister(17);
        TypeInto(W<QLineEdit>("ParamNameInput"), "Tag");
        emit W<QComboBox>("Format")->textActivated("ASCII");
        Press("Store");

        Press("AddHdrBtn");
        Layout()->model()->setData(Layout()->model()->index(2, MapEditor::LayAlwaysCol), "Settings");
        Layout()->model()->setData(Layout()->model()->index(0, MapEditor::LayToolTipCol), "Flow through the meter");
        // Dragged by its order cell to the first row.
        QTest::mousePress(Layout()->viewport(), Qt::LeftButton, {}, LayoutCellCentre(3, 0));
        QTest::mouseRelease(Layout()->viewport(), Qt::LeftButton, {}, LayoutCellCentre(1, 0));
    }
};

TEST_F(MapMakerWindowTest, TheWindowAsDesigned) {
    Open();
    // Open within the screen, the Selector showing every column.
    EXPECT_TRUE(mm()->screen()->availableGeometry().contains(mm()->geometry()));
    EXPECT_GE(Selector()->viewport()->width(), std::min(Selector()->horizontalHeader()->length(),
                                                         mm()->screen()->availableGeometry().width() / 2));
    EXPECT_EQ(mm()->minimumSize(), QSize(515, 560));
    // Rows stand for registers 0 to 256, each labelled with its number.
    ASSERT_EQ(Selector()->model()->rowCount(), 257);
    EXPECT_EQ(Selector()->model()->index(256, 0).data().toString(), "256");

    // The type list: an empty entry, then the display units dialog's types.
    QStringList types{QString()};
    for (const QComboBox* chooser : program->unitsDialog()->UnitCombos()) types << chooser->objectName();
    QStringList offered;
    for (int i = 0; i < W<QComboBox>("PTypeCombo")->count(); ++i) offered << W<QComboBox>("PTypeCombo")->itemText(i);
    EXPECT_EQ(offered, types);
    EXPECT_GT(types.size(), 1);

    EXPECT_FALSE(W<QWidget>("GridNOTOK")->isVisible() || W<QWidget>("Multiplier")->isVisible() ||
                 W<QWidget>("AddHdrBtn")->isEnabled() || W<QWidget>("Clear")->isEnabled());
    EXPECT_EQ(W<QComboBox>("Format")->currentText(), "Select ...");

    // Every box and grid has an accessible name.
    for (QWidget* w : mm()->findChildren<QWidget*>()) {
        if (qobject_cast<QComboBox*>(w->parentWidget())) continue;
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QTableView*>(w) ||
            qobject_cast<QCheckBox*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }

    // Both grids grow with the window.
    const QSize layoutBefore = Layout()->size(), selectorBefore = Selector()->size();
    mm()->resize(mm()->width() + 100, mm()->height() + 120);
    QApplication::processEvents();
    EXPECT_GT(Layout()->height(), layoutBefore.height() + 30);
    EXPECT_GT(Selector()->height(), selectorBefore.height() + 30);
    EXPECT_GE(Layout()->width(), layoutBefore.width() + 100);
}

TEST_F(MapMakerWindowTest, MapBuiltThroughTheWindowSavesAndReopensTheSame) {
    Open();
    BuildMap();
    ASSERT_TRUE(ui.texts("message").isEmpty()) << ui.texts().join(" / ").toStdString();
    EXPECT_TRUE(mm()->MapChanged());
    EXPECT_EQ(Layout()->model()->index(0, MapEditor::LayParamCol).data().toString(), "Header");
    EXPECT_EQ(Selector()->model()->index(0, MapEditor::OrderCol).data().toString(), "2");
    EXPECT_EQ(Selector()->model()->index(17, MapEditor::OrderCol).data().toString(), "3");
    EXPECT_TRUE(W<QWidget>("DelHdrBtn")->isEnabled());

    ui.choosePath(UserFile("ZUVMAP42"));
    EditorAction("SaveFile1")->trigger();
    const QString saved = UserFile("ZUVMAP42.map");
    ASSERT_TRUE(QFile::exists(saved)) << Said().join(" / ").toStdString();
    EXPECT_EQ(W<QLabel>("MapFileNow")->text(), "ZUVMAP42.map");
    EXPECT_TRUE(W<QWidget>("GridOK")->isVisible());
    EXPECT_FALSE(mm()->MapChanged());

    const MapReadResult r = ReadMapFileContent(saved, "ZUVMAP42.map");
    ASSERT_EQ(r.status, MapReadStatus::Ok);
    const QString firstType = W<QComboBox>("PTypeCombo")->itemText(1);
    ASSERT_EQ(r.params.size(), 2);
    EXPECT_EQ(r.params[0], Param(0, 1, "Flow (l/s)", "Int16", "0.1", 1, "2", "R", "", firstType, "Flow through the meter", ""));
    EXPECT_EQ(r.params[1], Param(10, 17, "Tag", "ASCII", "", 8, "3"));
    EXPECT_EQ(r.headers, (QList<MapHeader>{{"1", "Settings", "(Not in Use)"}}));

    // New asks nothing after the save; the map then opens as it was.
    EditorAction("New1")->trigger();
    EXPECT_TRUE(ui.texts("confirm").isEmpty());
    EXPECT_EQ(Selector()->model()->index(0, 1).data().toString(), "");
    ui.choosePath(saved);
    EditorAction("ReadMapFile1")->trigger();
    EXPECT_TRUE(W<QWidget>("GridOK")->isVisible());
    EXPECT_EQ(Selector()->model()->index(1, 1).data().toString(), "Flow (l/s)");
    ui.choosePath(UserFile("ZUVMAP43.map"));
    EditorAction("SaveFile1")->trigger();
    QStringList first, second;
    QString error;
    ASSERT_TRUE(ReadTextLines(saved, &first, &error));
    ASSERT_TRUE(ReadTextLines(UserFile("ZUVMAP43.map"), &second, &error));
    EXPECT_EQ(first, second);
}

TEST_F(MapMakerWindowTest, SelectorRowsByMouseAndKeysNotByWheel) {
    Open();
    // A double click (a click, then the second press as a double click) is
    // two clicks: a range of one register.
    ClickRegister(3);
    QTest::mouseDClick(Selector()->viewport(), Qt::LeftButton, {},
                       Selector()->visualRect(Selector()->model()->index(3, 1)).center());
    EXPECT_EQ(Selector()->model()->index(3, 1).data().toString(), "selection start / end");
    W<QCheckBox>("Clear")->click();
    EXPECT_EQ(Selector()->model()->index(3, 1).data().toString(), "");

    ClickRegister(5);
    EXPECT_EQ(W<QLabel>("StartRowLbl")->text(), "5");
    EXPECT_EQ(CellColour(5, MapEditor::NameCol), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(CellColour(6, MapEditor::NameCol), QColor(Qt::white));
    EXPECT_EQ(CellColour(5, MapEditor::FormatCol), QColor(Qt::white));


    // The arrow key moves the current row; Space ends the range there.
    QTest::keyClick(Selector(), Qt::Key_Down);
    QTest::keyClick(Selector(), Qt::Key_Space);
    EXPECT_EQ(W<QLabel>("EndRowLbl")->text(), "6");
    EXPECT_EQ(Selector()->model()->index(6, 1).data().toString(), "selection end");
    EXPECT_TRUE(W<QWidget>("Clear")->isEnabled());

    // The wheel neither scrolls nor moves the current row.
    const int top = Selector()->verticalScrollBar()->value();
    const QModelIndex current = Selector()->currentIndex();
    const QPoint at = Selector()->viewport()->rect().center();
    QWheelEvent wheel(at, Selector()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Selector()->viewport(), &wheel);
    EXPECT_EQ(Selector()->verticalScrollBar()->value(), top);
    EXPECT_EQ(Selector()->currentIndex(), current);

    // The check box clears the range again.
    W<QCheckBox>("Clear")->click();
    EXPECT_EQ(Selector()->model()->index(5, 1).data().toString(), "");
    EXPECT_FALSE(W<QCheckBox>("Clear")->isChecked());
    EXPECT_EQ(CellColour(5, MapEditor::NameCol), QColor(Qt::white));
}

TEST_F(MapMakerWindowTest, OnlyClicksAndTheSelectKeysChooseARange) {
    Open();
    // The grid takes the keyboard focus before any click, as a window
    // manager gives it on show: Qt then makes its first cell current.
    ASSERT_FALSE(Selector()->currentIndex().isValid());
    QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(Selector(), &in);
    EXPECT_EQ(Selector()->model()->index(0, MapEditor::NameCol).data().toString(), "");
    EXPECT_EQ(W<QLabel>("StartRowLbl")->text(), "");
    ClickRegister(10);
    ClickRegister(13);
    EXPECT_EQ(W<QLabel>("StartRowLbl")->text(), "10");
    EXPECT_EQ(W<QLabel>("EndRowLbl")->text(), "13");
    EXPECT_EQ(Selector()->model()->index(0, MapEditor::NameCol).data().toString(), "");
    EXPECT_TRUE(Said().isEmpty()) << Said().join(" / ").toStdString();

    // The arrow keys only move the current row; Space starts a range there
    // and Enter ends it.
    EditorAction("New1")->trigger();
    Selector()->setFocus();
    Selector()->setCurrentIndex(Selector()->model()->index(20, MapEditor::NameCol));
    QTest::keyClick(Selector(), Qt::Key_Down);
    QTest::keyClick(Selector(), Qt::Key_Down);
    EXPECT_EQ(Selector()->currentIndex().row(), 22);
    for (int reg = 19; reg <= 23; ++reg)
        EXPECT_EQ(Selector()->model()->index(reg, MapEditor::NameCol).data().toString(), "") << reg;
    EXPECT_EQ(W<QLabel>("StartRowLbl")->text(), "");
    QTest::keyClick(Selector(), Qt::Key_Space);
    EXPECT_EQ(W<QLabel>("StartRowLbl")->text(), "22");
    QTest::keyClick(Selector(), Qt::Key_Down);
    EXPECT_EQ(W<QLabel>("EndRowLbl")->text(), "");
    QTest::keyClick(Selector(), Qt::Key_Return);
    EXPECT_EQ(W<QLabel>("EndRowLbl")->text(), "23");
    EXPECT_EQ(Selector()->model()->index(23, MapEditor::NameCol).data().toString(), "selection end");
}

TEST_F(MapMakerWindowTest, ArrowsLeadToParametersOutOfView) {
    Open();
    ui.choosePath(UserFile("ZUVMAP5.map"));
    EditorAction("ReadMapFile1")->trigger();
    ASSERT_TRUE(W<QWidget>("GridOK")->isVisible()) << Said().join(" / ").toStdString();
    auto* down = W<QToolButton>("DownArrow");
    auto* up = W<QToolButton>("UpArrow");
    EXPECT_FALSE(up->isVisible());
    ASSERT_TRUE(down->isVisible());
    int clicks = 0;
    while (down->isVisible() && clicks++ < 20) {
        const int before = mm()->SelectorTopRow();
        down->click();
        const int after = mm()->SelectorTopRow();
        EXPECT_GT(after, before);
        EXPECT_EQ((after - before) % 18, 0) << before << " -> " << after;
        EXPECT_LE(after, 238);
    }
    EXPECT_TRUE(up->isVisible());
    up->click();
    EXPECT_LT(mm()->SelectorTopRow(), 238);

    // A range being chosen in map 5, as the maker sees it.
    ClickRegister(250);
    ClickRegister(252);
    EXPECT_EQ(W<QLabel>("EndRowLbl")->text(), "252");
    // Pictures to look at by hand: the range, then a loaded parameter with a meter connected.
    if (qEnvironmentVariableIsSet("VORDA_EDITOR_SHOT")) {
        mm()->grab().save(qEnvironmentVariable("VORDA_EDITOR_SHOT") + "-range.png");
        W<QCheckBox>("Clear")->click();
        ClickRegister(26);
        mw()->EEPROMConnected(true);
        QApplication::processEvents();
        mm()->grab().save(qEnvironmentVariable("VORDA_EDITOR_SHOT") + "-loaded.png");
    }
}

TEST_F(MapMakerWindowTest, PreviewWithAndWithoutAMeter) {
    Open();
    // Before any map: the check refuses with its own messages.
    ASSERT_TRUE(W<QWidget>("Previewbtn")->isEnabled());
    Press("Previewbtn");
    EXPECT_EQ(Said(), QStringList{"Not Got Sequence Number: 1\n\rThis must be corrected - at present it's a manual edit of the data file!"});
    EXPECT_TRUE(W<QWidget>("GridNOTOK")->isVisible());
    EXPECT_FALSE(program->map.MapLoaded);

    BuildMap();
    Press("Previewbtn");
    ASSERT_TRUE(program->map.MapLoaded);
    EXPECT_EQ(program->map.MapParamCount(), 2);
    EXPECT_EQ(program->map.MapHeaderCount(), 1);
    EXPECT_TRUE(mw()->findChild<QLabel*>("IsPreviewlbl")->isVisibleTo(mw()));
    EXPECT_EQ(mw()->findChild<QLabel*>("IsPreviewlbl")->text(), "Loaded:  Preview of Map file");
    EXPECT_TRUE(QFile::exists(QDir::current().filePath("TempMapFile.map")));
    EXPECT_TRUE(mm()->MapChanged());
    EXPECT_EQ(W<QLabel>("MapFileNow")->text(), "(none)");

    mw()->EEPROMConnected(true);
    EXPECT_FALSE(W<QWidget>("Previewbtn")->isEnabled());
    EXPECT_TRUE(W<QWidget>("CanPreviewlbl")->isVisible());
    EXPECT_EQ(W<QLabel>("CanPreviewlbl")->text(), "Cannot Preview with meter connnected");
    mw()->EEPROMConnected(false);
    EXPECT_TRUE(W<QWidget>("Previewbtn")->isEnabled());
    EXPECT_FALSE(W<QWidget>("CanPreviewlbl")->isVisible());
}

TEST_F(MapMakerWindowTest, AMapTheMainWindowCannotShowFailsTheCheck) {
    Open();
    // Int16 refused for three registers, the multiplier left empty, as an
    // earlier editor stored it.
    QString error;
    ASSERT_TRUE(WriteTextLines(UserFile("ZUVMAP60.map"), MapFileLines({Param(0, 2, "Odd", "Int16", "", 1, "1")}, {}), &error));
    ui.choosePath(UserFile("ZUVMAP60.map"));
    EditorAction("ReadMapFile1")->trigger();
    const QString fault = "Parameter \"Odd\" has 3 registers (0 to 2); Int16 needs 2 registers per value";
    EXPECT_EQ(Said(), QStringList{fault});
    EXPECT_TRUE(W<QWidget>("GridNOTOK")->isVisible());
    ui.clear();
    Press("Previewbtn");
    EXPECT_EQ(Said(), QStringList{fault});
    EXPECT_FALSE(program->map.MapLoaded);

    // Through the controls: Add to grid refuses what Int16 cannot fill.
    EditorAction("New1")->trigger();
    ui.clear();
    ClickRegister(20);
    ClickRegister(22);
    TypeInto(W<QLineEdit>("ParamNameInput"), "Odd");
    TypeFormat("Int16");
    Press("Store");
    EXPECT_EQ(Said(), (QStringList{"Int16 requires 2 registers per number - your selection has 3 registers",
                                   "Int16 requires 2 registers per number - your selection has 3 registers"}));
    EXPECT_EQ(Selector()->model()->index(21, MapEditor::NameCol).data().toString(), "");
}

TEST_F(MapMakerWindowTest, ANameTheMapFileCannotHoldIsRefused) {
    Open();
    const QString omega = QString::fromUtf8("\u03A9mega");
    const QString refusal = QString::fromUtf8("A map file cannot hold the character \"\u03A9\" (U+03A9) - please use another in: ") + omega;
    ClickRegister(0);
    ClickRegister(1);
    // Typed as a keyboard that has the letter sends it.
    QLineEdit* name = W<QLineEdit>("ParamNameInput");
    name->clear();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, omega);
    QApplication::sendEvent(name, &press);
    ASSERT_EQ(name->text(), omega);
    TypeFormat("Int8");
    Press("Store");
    EXPECT_EQ(Said(), QStringList{refusal});
    EXPECT_EQ(Selector()->model()->index(0, MapEditor::NameCol).data().toString(), "selection start");

    TypeInto(W<QLineEdit>("ParamNameInput"), "Omega");
    Press("Store");
    ASSERT_EQ(Selector()->model()->index(0, MapEditor::NameCol).data().toString(), "Omega");
    ui.clear();
    QAbstractItemModel* layout = Layout()->model();
    EXPECT_FALSE(layout->setData(layout->index(0, MapEditor::LayAlwaysCol), omega));
    EXPECT_EQ(Said(), QStringList{refusal});
    EXPECT_EQ(layout->index(0, MapEditor::LayAlwaysCol).data().toString(), "");
}

TEST_F(MapMakerWindowTest, MainWindowCloseAsksTheEditorFirst) {
    Open();
    BuildMap();
    Press("Previewbtn"); // a map on the main window, so the close reaches its questions
    mw()->show();
    ui.clear();
    ui.answer(false);
    mw()->close();
    EXPECT_EQ(Said(), QStringList{"About to exit\n\rCurrent data has not been saved, and will be lost. (No undo!)\n\r\n\r            Are you sure?"});
    EXPECT_TRUE(mw()->isVisible());
    EXPECT_TRUE(mm()->isVisible());

    ui.clear();
    ui.answer(true);
    ui.answer(false);
    mw()->close();
    EXPECT_EQ(Said(), (QStringList{"About to exit\n\rCurrent data has not been saved, and will be lost. (No undo!)\n\r\n\r            Are you sure?",
                                   "About to Close the Application.\n\rCurrent map not saved\n\r\n\r            Are you sure?"}));
    EXPECT_TRUE(mw()->isVisible());
    // The editor was closed (hidden) with its map kept.
    EXPECT_FALSE(mm()->isVisible());
    EXPECT_TRUE(mm()->MapChanged());
    EXPECT_EQ(Selector()->model()->index(0, 1).data().toString(), "Flow (l/s)");
}

TEST_F(MapMakerWindowTest, CloseAsksAboutChangesAndKeepsThePlacement) {
    Open();
    const QString ini = UserFile("FormSettings.ini");
    QFile::remove(ini);
    BuildMap();
    ui.clear();
    ui.answer(false);
    EditorAction("Exit1")->trigger();
    EXPECT_EQ(Said(), QStringList{"About to exit\n\rCurrent data has not been saved, and will be lost. (No undo!)\n\r\n\r            Are you sure?"});
    EXPECT_TRUE(mm()->isVisible());
    EXPECT_FALSE(QFile::exists(ini));

    mm()->move(70, 90);
    mm()->resize(640, 600);
    QApplication::processEvents();
    const QRect normal = mm()->geometry();
    mm()->showMaximized();
    QApplication::processEvents();
    ASSERT_TRUE(mm()->isMaximized());
    ui.answer(true);
    mm()->close();
    EXPECT_FALSE(mm()->isVisible());
    const auto saved = ReadPlacement(ini, "MapMaker");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->width, normal.width());
    EXPECT_EQ(saved->height, normal.height());

    // Shown again: as it was left, map and all.
    Trigger("MapFiles1");
    EXPECT_FALSE(mm()->isMaximized());
    EXPECT_TRUE(mm()->MapChanged());
    EXPECT_EQ(Selector()->model()->index(10, 1).data().toString(), "Tag");
}

// The editor's texts and cells read in the light and the dark theme, and a
// range end stays marked as one.
TEST_F(MapMakerWindowTest, EveryTextReadsInALightAndADarkTheme) {
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        std::optional<DarkTheme> theme;
        if (dark) theme.emplace();
        program.reset();
        Open();
        ClickRegister(5);
        W<QPushButton>("CheckGrid")->click(); // "Grid NOT OK" shows, in red
        EXPECT_EQ(UnreadableLabels(mm()), QStringList{});
        EXPECT_GE(LeastCellContrast(Selector()), kReadableContrast);
        EXPECT_GE(LeastCellContrast(Layout()), kReadableContrast);
        const QModelIndex end = Selector()->model()->index(5, MapEditor::NameCol);
        const QColor base = Selector()->palette().color(QPalette::Base);
        EXPECT_NE(end.data(Qt::BackgroundRole).value<QColor>(), base);
        EXPECT_EQ(Selector()->model()->index(6, MapEditor::NameCol).data(Qt::BackgroundRole).value<QColor>(), base);
        if (dark) EXPECT_LT(Luminance(base), 0.1); // the grid follows the theme
        program.reset();
    }
}

// Tab and Shift+Tab leave each grid at once, also from a cell being typed
// into; Ctrl+Down and Ctrl+Up move a page layout row; every button has a
// mnemonic and every control a name.
TEST_F(MapMakerWindowTest, TheKeyboardLeavesTheGridsAndReachesEveryCommand) {
    Open();
    BuildMap();
    ASSERT_TRUE(Activate(mm()));
    for (QTableView* grid : {Selector(), Layout()})
        for (const bool forward : {true, false}) {
            SCOPED_TRACE(grid->objectName().toStdString() + (forward ? " Tab" : " Shift+Tab"));
            EXPECT_EQ(PressesToLeave(grid, forward), 1);
        }
    // From a description being typed: the text is kept.
    Layout()->setFocus();
    Layout()->setCurrentIndex(Layout()->model()->index(1, MapEditor::LayToolTipCol));
    QTest::keyClick(Layout(), 'T'); // opens the cell's editor
    ASSERT_NE(QApplication::focusWidget(), Layout());
    QTest::keyClicks(QApplication::focusWidget(), "ip");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_FALSE(QApplication::focusWidget() == Layout() || Layout()->isAncestorOf(QApplication::focusWidget()));
    EXPECT_EQ(Layout()->model()->index(1, MapEditor::LayToolTipCol).data().toString(), "Tip");

    // The heading at the top moves down one row and back.
    const auto param = [this](int row) { return Layout()->model()->index(row, MapEditor::LayParamCol).data().toString(); };
    const QString first = param(0), second = param(1);
    Layout()->setFocus();
    Layout()->setCurrentIndex(Layout()->model()->index(0, 0));
    QTest::keyClick(Layout(), Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(param(0), second);
    EXPECT_EQ(param(1), first);
    EXPECT_EQ(Layout()->currentIndex().row(), 1);
    QTest::keyClick(Layout(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(param(0), first);

    QStringList mnemonics;
    for (const char* name : {"Store", "CheckGrid", "Previewbtn", "AddHdrBtn", "DelHdrBtn"}) {
        auto* b = W<QPushButton>(name);
        EXPECT_TRUE(b->focusPolicy() & Qt::TabFocus) << name;
        const QKeySequence key = QKeySequence::mnemonic(b->text());
        if (!key.isEmpty()) mnemonics << key.toString();
    }
    EXPECT_EQ(mnemonics.size(), 3); // Preview and the two header buttons
    EXPECT_EQ(QSet<QString>(mnemonics.begin(), mnemonics.end()).size(), mnemonics.size());
    EXPECT_EQ(UnnamedControls(mm()), QStringList{});
    // The format box is named by its label, not by the format it shows.
    QAccessibleInterface* format = QAccessible::queryAccessibleInterface(W<QComboBox>("Format"));
    ASSERT_FALSE(format->relations(QAccessible::Label).isEmpty());
    EXPECT_EQ(format->relations(QAccessible::Label).first().first->text(QAccessible::Name), "Format");
}

TEST_F(MapMakerWindowTest, PlacementIsRestoredOnlyWhenSaved) {
    ASSERT_TRUE(Create());
    const QSize designed = mm()->size();
    const QPoint designedPos = mm()->pos();
    program.reset();
    const QString ini = paths.DefaultUserDir() + "FormSettings.ini";
    ASSERT_TRUE(WritePlacement(ini, "MapMaker", Placement{100, 80, 600, 700}));
    ASSERT_TRUE(Create());
    EXPECT_EQ(mm()->pos(), QPoint(80, 100));
    EXPECT_EQ(mm()->size(), QSize(700, 600));
    program.reset();
    QSettings(ini, QSettings::IniFormat).setValue("Preferences/SaveSettings", 0);
    ASSERT_TRUE(Create());
    EXPECT_EQ(mm()->size(), designed);
    EXPECT_EQ(mm()->pos(), designedPos);
    // Never smaller than the smallest window.
    program.reset();
    ASSERT_TRUE(WritePlacement(ini, "MapMaker", Placement{100, 80, 200, 300}));
    ASSERT_TRUE(Create());
    EXPECT_EQ(mm()->size(), QSize(515, 560));
}

} // namespace
} // namespace vorda::test
