// Marked texts read in a light and a dark palette.
#include "windows/PaletteColours.h"

#include "tests/support/DarkPalette.h"
#include "tests/support/TestApp.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleFactory>
#include <gtest/gtest.h>

#include <algorithm>

namespace vorda::test {
namespace {

TEST(PaletteColoursTest, EveryMarkReadsOnWindowAndBaseInLightAndDarkPalettes) {
    const QPalette light = QStyleFactory::create(QStringLiteral("Fusion"))->standardPalette();
    for (const QPalette& palette : {light, DarkPalette()}) {
        for (const Mark mark : {Mark::Plain, Mark::Caption, Mark::Note, Mark::Refused, Mark::Warning, Mark::Good}) {
            for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base}) {
                SCOPED_TRACE(int(mark) * 100 + int(role));
                EXPECT_GE(Contrast(MarkColour(palette, mark, role), palette.color(role)), kReadableContrast);
            }
        }
        EXPECT_GE(Contrast(MarkColour(palette, Mark::Plain, QPalette::Base), RangeEndBackground(palette)),
                  kReadableContrast);
    }
}

// Pure red reads on neither white (4.0 : 1) nor a dark grey (4.2 : 1): it
// is shaded, and stays red.
TEST(PaletteColoursTest, ARefusedValueIsShadedUntilItReadsAndStaysRed) {
    for (const QColor& background : {QColor(Qt::white), QColor(30, 30, 32), QColor(Qt::black)}) {
        SCOPED_TRACE(background.name().toStdString());
        const QColor red = ReadableOn(QColor(255, 0, 0), background);
        EXPECT_GE(Contrast(red, background), kReadableContrast);
        EXPECT_EQ(red.hue(), 0);
        EXPECT_GT(red.red(), 2 * std::max(red.green(), red.blue()));
    }
}

// A text marked red and then plain takes the palette's text again: the mark
// is taken from what the widget inherits, not from its previous mark.
TEST(PaletteColoursTest, AMarkReplacesThePreviousOne) {
    EnsureApplication();
    QWidget parent;
    parent.setPalette(DarkPalette());
    QLineEdit box(&parent);
    QLabel label(&parent);
    for (QWidget* w : std::initializer_list<QWidget*>{&box, &label}) {
        SetMark(w, Mark::Refused);
        SetMark(w, Mark::Plain);
        const QPalette::ColorRole role = w == &box ? QPalette::Text : QPalette::WindowText;
        EXPECT_EQ(w->palette().color(role), DarkPalette().color(role)) << w->metaObject()->className();
    }
}

} // namespace
} // namespace vorda::test
