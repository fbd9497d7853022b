#pragma once
// The text colours and weights the windows give their controls, and their
// labels.
#include <QColor>
#include <QFont>
#include <QLabel>
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

// A label named name with text at (left, top), sized to its text.
inline QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace vorda
