// Finding and following parameters on the main window: the filter box, the
// changed marks and "Changed only", the keyboard's way through the window,
// the names screen readers hear and the colours of a dark theme.
#include "WindowTestMaps.h"

#include "base/TextFiles.h"
#include "tests/support/DarkPalette.h"
#include "tests/support/WindowChecks.h"

#include <QAccessible>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QStyleFactory>
#include <QDir>
#include <QTest>

namespace vorda::test {
namespace {

class FindWindowTest : public WindowTest {
protected:
    // Two headings, each over two rows; the rows out of map order.
    void OpenHeadedMap() {
        OpenMap("ZUVMAP12.map",
                {Param(0, 0, "Pipe Diameter", "Int8", "1", 1, "2", "", "", "Length", "", "Inner diameter of the pipe"),
                 Param(1, 1, "Flow Rate", "Int8", "1", 1, "3"),
                 Param(2, 2, "Current Output", "Int8", "1", 1, "6", "", "", "", "Loop current", "4-20 mA loop"),
                 Param(3, 3, "Pulse Width", "Int8", "1", 1, "5")},
                {{"1", "Pipe", ""}, {"4", "Outputs", ""}});
    }
    QLineEdit* Filter() const { return Find<QLineEdit>("FilterEdt"); }
    QCheckBox* ChangedOnly() const { return Find<QCheckBox>("ChangedOnlyChk"); }
    QStringList ShownNames() const {
        QStringList out;
        for (int i = 0; i < mw()->ValueEdits().size(); ++i)
            if (!Box(i)->isHidden()) out << program->map.MapParams.at(i).Parameter;
        return out;
    }
    QStringList ShownHeadings() const {
        QStringList out;
        for (QLabel* h : mw()->HeaderLabels())
            if (!h->isHidden()) out << h->text();
        return out;
    }
    bool Marked(int i) const {
        const bool shown = !Find<QLabel>(QStringLiteral("ChangedMark%1").arg(i))->isHidden();
        EXPECT_EQ(Box(i)->accessibleDescription() == "changed", shown) << i;
        return shown;
    }
    QVector<bool> Marks() const {
        QVector<bool> out;
        for (int i = 0; i < mw()->ValueEdits().size(); ++i) out << Marked(i);
        return out;
    }
    void ShowActive() {
        mw()->show();
        mw()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(mw()));
    }
};

TEST_F(FindWindowTest, TheFilterShowsMatchingRowsWithTheirHeadingsPackedAtTheTop) {
    StartMaker();
    OpenHeadedMap();
    const int unfilteredY = Box(2)->y();
    struct Case { const char* typed; QStringList rows; QStringList headings; } cases[] = {
        {"", {"Pipe Diameter", "Flow Rate", "Current Output", "Pulse Width"}, {"Pipe", "Outputs"}},
        {"DIAM", {"Pipe Diameter"}, {"Pipe"}},
        {"ma loop", {"Current Output"}, {"Outputs"}},   // the note
        {"loop current", {"Current Output"}, {"Outputs"}}, // the hint
        {"r", {"Pipe Diameter", "Flow Rate", "Current Output"}, {"Pipe", "Outputs"}},
        {"nothing like it", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Filter()->setText(c.typed);
        EXPECT_EQ(ShownNames(), c.rows);
        EXPECT_EQ(ShownHeadings(), c.headings);
    }
    // A lone row follows its heading at the top instead of keeping its place.
    Filter()->setText("ma loop");
    EXPECT_EQ(mw()->HeaderLabels()[1]->y(), 60 * 1 - 25);
    EXPECT_EQ(Box(2)->y(), 60 * 2 - 25);
    EXPECT_LT(Box(2)->y(), unfilteredY);
    // Esc clears it and every row is back in its place.
    ShowActive();
    Filter()->setFocus();
    QTest::keyClick(Filter(), Qt::Key_Escape);
    EXPECT_TRUE(Filter()->text().isEmpty());
    EXPECT_EQ(ShownNames().size(), 4);
    EXPECT_EQ(Box(2)->y(), unfilteredY);
    // Ctrl+F comes back to it from anywhere in the window.
    Box(1)->setFocus();
    QTest::keyClick(mw(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), Filter());
}

TEST_F(FindWindowTest, ChangedMarksFollowReadsEditsLoadsAndWrites) {
    const QList<DMap> params{Param(0, 0, "Alpha", "Int8", "1", 1, "1"), Param(1, 1, "Beta", "Int8", "1", 1, "2"),
                             Param(2, 2, "Gamma", "Int8", "1", 1, "3")};
    ASSERT_TRUE(Create());
    ConnectMeterOfMap(params);
    ASSERT_TRUE(program->link.MeterConnected);
    ASSERT_FALSE(Box(0)->text().isEmpty());
    EXPECT_EQ(Marks(), (QVector<bool>{false, false, false})); // as read

    const QString read1 = Box(1)->text();
    Box(1)->setText(read1 == "7" ? "8" : "7");
    EXPECT_EQ(Marks(), (QVector<bool>{false, true, false})); // edited
    ChangedOnly()->setChecked(true);
    EXPECT_EQ(ShownNames(), QStringList{"Beta"});
    Box(1)->setText(read1);
    EXPECT_FALSE(Marked(1)); // edited back to the meter's value
    ChangedOnly()->setChecked(false);
    EXPECT_EQ(ShownNames().size(), 3);

    // Written: the meter holds what the screen shows.
    Box(2)->setText("42");
    EXPECT_TRUE(Marked(2));
    Press("CheckData");
    ui.clear();
    Trigger("WriteEE");
    ASSERT_TRUE(ui.texts("message").contains("Meter written successfully")) << Said().join("|").toStdString();
    EXPECT_EQ(Marks(), (QVector<bool>{false, false, false}));

    // Loaded: a file value other than the meter's is marked; editing a row
    // away from the file's value marks it too.
    WriteRaw("site.epf", {"ZUVMap5.Map", "3", "Alpha", "Int8", Box(0)->text(), "Beta", "Int8", "99", "Gamma", "Int8", "42"});
    ui.clear();
    ui.choosePath(UserFile("site.epf"));
    Trigger("ReadData");
    ASSERT_EQ(Box(1)->text(), "99");
    EXPECT_EQ(Marks(), (QVector<bool>{false, true, false}));
    Box(2)->setText("43");
    EXPECT_EQ(Marks(), (QVector<bool>{false, true, true}));
    ChangedOnly()->setChecked(true);
    EXPECT_EQ(ShownNames(), (QStringList{"Beta", "Gamma"}));

    // Read again: the screen holds the meter's values, nothing is changed
    // and "Changed only" shows no row.
    ui.clear();
    Trigger("ReadEE");
    EXPECT_EQ(Box(2)->text(), "42");
    EXPECT_EQ(Marks(), (QVector<bool>{false, false, false}));
    EXPECT_TRUE(ShownNames().isEmpty());
}

TEST_F(FindWindowTest, TabWalksEveryControlAndLeavesTheParameterList) {
    StartMaker();
    OpenHeadedMap();
    ShowActive();
    Filter()->setFocus();
    QSet<QWidget*> reached;
    bool leftList = false;
    QWidget* content = ScrollContent();
    for (int press = 0; press < 40; ++press) {
        QWidget* before = QApplication::focusWidget();
        QTest::keyClick(before, Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        ASSERT_NE(now, nullptr);
        reached << now;
        if (content->isAncestorOf(before) && !content->isAncestorOf(now)) leftList = true;
    }
    EXPECT_TRUE(leftList);
    for (QWidget* w : std::initializer_list<QWidget*>{Box(0), Box(3), Filter(), ChangedOnly(), Find<QLabel>("MOForAttrslbl"),
                                                      Find<QLabel>("WebLink"), Find<QWidget>("TestConnbtn")})
        EXPECT_TRUE(reached.contains(w)) << w->objectName().toStdString();
    // The attributes toggle and the folder label answer Space and Enter.
    auto* toggle = Find<QLabel>("MOForAttrslbl");
    toggle->setFocus();
    QTest::keyClick(toggle, Qt::Key_Space);
    EXPECT_TRUE(Find<QWidget>("AttrsPnl")->isVisible());
    auto* folder = Find<QLabel>("UDlbl");
    EXPECT_TRUE(folder->focusPolicy() & Qt::TabFocus);
    ui.clear();
    folder->setFocus();
    QTest::keyClick(folder, Qt::Key_Return);
    EXPECT_FALSE(ui.texts("desktop").isEmpty()) << Said().join("|").toStdString();
    QTest::keyClick(toggle, Qt::Key_Return);
    EXPECT_FALSE(Find<QWidget>("AttrsPnl")->isVisible());
    // F1 opens the user folder's read-me.
    ui.clear();
    QTest::keyClick(mw(), Qt::Key_F1);
    EXPECT_EQ(ui.texts("desktop"), QStringList{QDir(program->startup.UserDir).filePath("VORDAReadMe.txt")});
    // F10 opens the menu bar; every menu and command has a mnemonic.
    QTest::keyClick(mw(), Qt::Key_F10);
    EXPECT_NE(mw()->menuBar()->activeAction(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    for (QAction* top : mw()->menuBar()->actions()) {
        EXPECT_TRUE(top->text().contains('&')) << top->text().toStdString();
        if (top->menu())
            for (QAction* a : top->menu()->actions())
                if (!a->isSeparator()) EXPECT_TRUE(a->text().contains('&')) << a->text().toStdString();
    }
}

TEST_F(FindWindowTest, EveryControlIsNamedAndValueBoxesCarryTheirUnit) {
    StartMaker();
    OpenHeadedMap();
    ShowActive();
    EXPECT_EQ(Box(0)->accessibleName(), "Pipe Diameter, mm");
    EXPECT_EQ(Box(1)->accessibleName(), "Flow Rate");
    EXPECT_EQ(UnnamedControls(mw()), QStringList{});
    for (QComboBox* box : Units()->UnitCombos()) {
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_EQ(box->accessibleName(), box->objectName());
        EXPECT_EQ(box->lineEdit()->accessibleName(), box->objectName());
    }
}

// A dark desktop: every text of the window reads on what it is drawn on,
// with the colours the window really gives it.
class DarkFindWindowTest : public FindWindowTest {
protected:
    void SetUp() override {
        FindWindowTest::SetUp();
        savedPalette_ = QApplication::palette();
        savedStyle_ = QApplication::style()->name();
        QApplication::setStyle(QStyleFactory::create("Fusion"));
        QApplication::setPalette(DarkPalette());
    }
    void TearDown() override {
        FindWindowTest::TearDown();
        QApplication::setStyle(QStyleFactory::create(savedStyle_));
        QApplication::setPalette(savedPalette_);
    }
    // The colour behind w: that of the nearest widget that fills its own.
    static QColor Behind(const QWidget* w, QPalette::ColorRole own) {
        if (own == QPalette::Base) return w->palette().color(QPalette::Base);
        for (const QWidget* p = w; p; p = p->parentWidget())
            if (p->autoFillBackground() || p->isWindow()) return p->palette().color(p->backgroundRole());
        return w->palette().color(QPalette::Window);
    }
    QPalette savedPalette_;
    QString savedStyle_;
};

TEST_F(DarkFindWindowTest, EveryLabelAndBoxReadsOnItsBackground) {
    // Connected, so that the meter's map is shown too.
    ASSERT_TRUE(Create({"/UserIsZUV"}));
    const QList<DMap> params{Param(0, 0, "Pipe Diameter", "Int8", "1", 1, "2", "", "", "Length", "", "Inner diameter"),
                             Param(1, 1, "Flow Rate", "Int8", "1", 1, "3"), Param(2, 2, "Pulse Width", "Int8", "1", 1, "5")};
    ConnectMeterOfMap(params, {{"1", "Pipe", ""}});
    ASSERT_TRUE(program->link.MeterConnected);
    Box(0)->setText("12");  // edited: a value to look at again
    Box(1)->setText("1000"); // refused by the check
    Press("CheckData");
    Box(2)->setText("3");
    ShowActive();
    Find<QLabel>("MOForAttrslbl")->setFocus();
    QTest::keyClick(Find<QLabel>("MOForAttrslbl"), Qt::Key_Space);
    int checked = 0;
    for (QWidget* w : mw()->findChildren<QWidget*>()) {
        if (!w->isVisible() || !w->isEnabled()) continue;
        // A style sheet's colour would escape the palette.
        EXPECT_TRUE(w->styleSheet().isEmpty()) << w->objectName().toStdString();
        const bool box = qobject_cast<QLineEdit*>(w) != nullptr;
        if (!box && !qobject_cast<QLabel*>(w)) continue;
        const QPalette::ColorRole text = box ? QPalette::Text : QPalette::WindowText;
        const QPalette::ColorRole ground = box ? QPalette::Base : QPalette::Window;
        const QColor fg = w->objectName() == "WebLink" ? w->palette().color(QPalette::Link) : w->palette().color(text);
        EXPECT_GE(Contrast(fg, Behind(w, ground)), kReadableContrast) << w->objectName().toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 20);
}

} // namespace
} // namespace vorda::test
