#pragma once
// The text colours and weights the windows give their controls.
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

namespace vorda {

inline const QColor kCaptionBlue(0, 0, 255);
inline const QColor kNoteNavy(0, 0, 128);

inline void SetTextColour(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    w->setPalette(p);
}

inline void SetBold(QWidget* w, bool bold = true) {
    QFont f = w->font();
    f.setBold(bold);
    w->setFont(f);
}

} // namespace vorda
