#pragma once
// The text weights the windows give their controls, and their labels.
// Colours come from windows/PaletteColours.h.
#include <QFont>
#include <QLabel>
#include <QWidget>

namespace vorda {

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
