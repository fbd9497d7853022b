#include "windows/PaletteColours.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLineEdit>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vorda {

double Luminance(const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Mix(const QColor& base, const QColor& tint, double share) {
    return QColor::fromRgbF(float(base.redF() * (1 - share) + tint.redF() * share),
                            float(base.greenF() * (1 - share) + tint.greenF() * share),
                            float(base.blueF() * (1 - share) + tint.blueF() * share));
}

QColor ReadableOn(const QColor& wanted, const QColor& background) {
    if (Contrast(wanted, background) >= kReadableContrast) return wanted;
    // Toward black on a light background, toward white on a dark one, in
    // small steps, so that the hue shows as much as it can.
    const QColor end = Luminance(background) > 0.18 ? QColor(Qt::black) : QColor(Qt::white);
    for (int step = 1; step <= 20; ++step) {
        const QColor c = Mix(wanted, end, step / 20.0);
        if (Contrast(c, background) >= kReadableContrast) return c;
    }
    return end;
}

QColor MarkColour(const QPalette& palette, Mark mark, QPalette::ColorRole background) {
    const QColor bg = palette.color(background);
    const QColor text = palette.color(background == QPalette::Base ? QPalette::Text : QPalette::WindowText);
    switch (mark) {
    case Mark::Plain: return ReadableOn(text, bg);
    case Mark::Caption: return ReadableOn(palette.color(QPalette::Link), bg);
    case Mark::Note: return ReadableOn(Mix(text, palette.color(QPalette::Link), 0.5), bg);
    case Mark::Refused: return ReadableOn(QColor(255, 0, 0), bg);
    case Mark::Warning: return ReadableOn(QColor(255, 140, 0), bg);
    case Mark::Good: return ReadableOn(QColor(0, 160, 0), bg);
    }
    return text;
}

QColor RangeEndBackground(const QPalette& palette) {
    // Silver on a light base. On a dark one a slight lift only, so that a
    // red text on the cell can stay red and still read.
    const bool light = Luminance(palette.color(QPalette::Base)) > 0.18;
    return TintedBackground(palette, QColor(0xC0, 0xC0, 0xC0), light ? 1.0 : 0.15);
}

QColor TintedBackground(const QPalette& palette, const QColor& tint, double most) {
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    for (int share = int(most * 20); share > 0; --share) {
        const QColor c = Mix(base, tint, share / 20.0);
        if (Contrast(text, c) >= kReadableContrast) return c;
    }
    return Mix(base, text, 0.1);
}

void SetMark(QWidget* w, Mark mark) {
    const bool input = qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractScrollArea*>(w);
    const QPalette::ColorRole background = input ? QPalette::Base : QPalette::Window;
    // The text roles come from what w inherits, not from w's own palette:
    // that holds the previous mark, and a plain text after a red one would
    // stay red.
    QPalette inherited = w->parentWidget() ? w->parentWidget()->palette() : QApplication::palette(w);
    QPalette p = w->palette();
    inherited.setColor(background, p.color(background));
    const QColor c = MarkColour(inherited, mark, background);
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    w->setPalette(p);
}

} // namespace vorda
