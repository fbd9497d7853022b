// The parameter screen's layout: rows in any map order stay reachable,
// box lengths, colours, the map name shown and a screen whose build breaks.
#include "WindowTestMaps.h"

#include <QScrollArea>
#include <QScrollBar>

namespace vorda::test {
namespace {

class LayoutWindowTest : public WindowTest {};

TEST_F(LayoutWindowTest, RowsOutOfMapOrderStayWithinTheScrollingRange) {
    StartMaker();
    // The last parameter of the map sits in the first row; the lowest row
    // belongs to the first parameter.
    QList<DMap> params{Param(0, 0, "Bottom", "Int8", "1", 1, "12")};
    for (int i = 1; i <= 10; ++i) params << Param(i, i, QString("P%1").arg(i), "Int8", "1", 1, QString::number(12 - i));
    params << Param(11, 11, "Top", "Int8", "1", 1, "1");
    OpenMap("ZUVMAP12.map", params);
    QWidget* content = ScrollContent();
    EXPECT_EQ(Box(0)->y(), 60 * 12 - 25);
    for (QWidget* w : std::initializer_list<QWidget*>{Box(0), mw()->AttrLabels()[0], mw()->NoteLabels()[0]})
        EXPECT_LE(w->geometry().bottom() + 1, content->height()) << w->objectName().toStdString();
    mw()->show();
    auto* area = Find<QScrollArea>("ScrollArea");
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    const QRect inViewport(mw()->AttrLabels()[0]->mapTo(area->viewport(), QPoint(0, 0)), mw()->AttrLabels()[0]->size());
    EXPECT_TRUE(area->viewport()->rect().contains(inViewport));
}

TEST_F(LayoutWindowTest, TextBoxesTakeAtMostTheirCharacters) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 3, "Tag", "ASCII", "", 4, "1"), Param(4, 6, "Bits", "Hex", "", 3, "2"),
                             Param(7, 7, "Level", "Int8", "1", 1, "3"), Param(8, 8, "Raw", "Bytes", "", 1, "4")});
    struct Case { int index; int width; int maxLength; } cases[] = {{0, 88, 4}, {1, 128, 6}, {2, 88, 32767}, {3, 28, 32767}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(Box(c.index)->width(), c.width);
        EXPECT_EQ(Box(c.index)->maxLength(), c.maxLength);
    }
    Box(0)->setText("ABCDEFG");
    EXPECT_EQ(Box(0)->text(), "ABCD");
    Box(1)->setText("0102030405");
    EXPECT_EQ(Box(1)->text(), "010203");
    EXPECT_EQ(mw()->AttrLabels()[3]->text(), "1 Bytes value ");
}

TEST_F(LayoutWindowTest, DescriptionsAndHeadersAreNotesAndBold) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 0, "Level", "Int8", "1", 1, "1", "", "", "", "Hover text", "Always shown")},
            {{"2", "A heading long enough to need more than one line when it is wrapped at five hundred pixels, "
                   "which takes a good many words in an eight point font", ""}});
    QLabel* note = mw()->NoteLabels()[0];
    EXPECT_EQ(LabelColour(note), LabelMark(Mark::Note));
    EXPECT_TRUE(note->font().bold());
    EXPECT_EQ(note->toolTip(), "Hover text");
    EXPECT_EQ(Box(0)->toolTip(), "Hover text");
    QLabel* header = mw()->HeaderLabels()[0];
    EXPECT_TRUE(header->font().bold());
    EXPECT_EQ(header->font().pointSize(), 8);
    EXPECT_EQ(header->width(), 500);
    EXPECT_GT(header->height(), header->fontMetrics().height()); // wrapped
    EXPECT_EQ(LabelColour(mw()->AttrLabels()[0]), LabelColour(Find<QLabel>("MOForAttrslbl")));
}

TEST_F(LayoutWindowTest, TheAttributesPanelShowsTheWholeMapName) {
    StartMaker();
    const QString name = "ZUVMAP12_with_a_much_longer_name.map";
    OpenMap(name, {Param(0, 0, "Level", "Int8", "1", 1, "1")});
    QLabel* label = Find<QLabel>("MapFileNow");
    EXPECT_EQ(label->text(), name);
    EXPECT_GE(label->width(), label->sizeHint().width());
    EXPECT_EQ(Find<QLabel>("DataFileNow")->text(), "");
}

TEST_F(LayoutWindowTest, AMultiplierThatIsNoNumberEndsTheBuildWithItsMessage) {
    StartMaker();
    OpenMap("ZUVMAP12.map", {Param(0, 0, "A", "Int8", "1", 1, "1"), Param(1, 1, "B", "Int8", "x1", 1, "2"),
                             Param(2, 2, "C", "Int8", "1", 1, "9")});
    ASSERT_EQ(ui.texts("error").size(), 1);
    EXPECT_TRUE(ui.texts("error")[0].contains("x1")) << ui.texts("error")[0].toStdString();
    // The rows were built, those before the fault derived, and all of them reachable.
    ASSERT_EQ(mw()->ValueEdits().size(), 3);
    EXPECT_EQ(mw()->AttrLabels()[0]->text(), "1 integer value 0 - 255");
    EXPECT_LE(Box(2)->geometry().bottom() + 1, ScrollContent()->height());
    EXPECT_FALSE(program->flags.DataEdited);
}

} // namespace
} // namespace vorda::test
