#pragma once
// Colours that keep their meaning in any theme: each is taken from the
// palette's roles or, where a colour itself carries the meaning (red for a
// refused value, silver for a range end), is the nearest shade of it that
// reads on the background it is drawn on.
#include <QColor>
#include <QPalette>

class QWidget;

namespace vorda {

// The least contrast of a text against its background (accessibility
// guidelines, normal text).
inline constexpr double kReadableContrast = 4.5;

// Relative luminance and contrast ratio of two colours, as the accessibility
// guidelines define them.
double Luminance(const QColor& c);
double Contrast(const QColor& a, const QColor& b);
// base with share (0..1) of tint mixed in.
QColor Mix(const QColor& base, const QColor& tint, double share);
// The shade of wanted (its hue kept) nearest to it that has at least
// kReadableContrast against background: darker on a light background,
// lighter on a dark one. wanted itself when it already reads.
QColor ReadableOn(const QColor& wanted, const QColor& background);

// What a coloured text or cell means.
enum class Mark {
    Plain,    // ordinary text
    Caption,  // a parameter's name, a heading (blue in a light theme)
    Note,     // a note beside the values (navy in a light theme)
    Refused,  // a value the check refuses, a changed register (red)
    Warning,  // a value to look at again (orange)
    Good,     // a check passed (green)
};

// The text colour of mark on the palette's background role.
QColor MarkColour(const QPalette& palette, Mark mark, QPalette::ColorRole background = QPalette::Window);
// A cell marked as a range end (or selected): the base shaded toward
// silver, so that its text stays readable.
QColor RangeEndBackground(const QPalette& palette);
// A cell's base shaded toward tint, at most by the share most (0..1), as far
// as the text on it stays readable.
QColor TintedBackground(const QPalette& palette, const QColor& tint, double most);

// Gives w's texts the colour of mark on w's own background (Base for an
// input box, Window otherwise).
void SetMark(QWidget* w, Mark mark);

} // namespace vorda
