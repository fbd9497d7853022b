#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vorda {

Placement PlacementOf(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    const QRect normal = (window.isMaximized() || window.isFullScreen() || window.isMinimized())
                             ? window.normalGeometry()
                             : inner;
    return Placement{normal.top() - (inner.top() - frame.top()), normal.left() - (inner.left() - frame.left()),
                     normal.height(), normal.width()};
}

void ApplyPlacement(QWidget& window, const Placement& placement) {
    QList<QRect> screens;
    if (QScreen* primary = QGuiApplication::primaryScreen()) screens << primary->availableGeometry();
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen()) screens << screen->availableGeometry();
    const Placement fitted = FitPlacement(placement, window.size(), screens);
    window.move(fitted.left, fitted.top);
    window.resize(fitted.width, fitted.height);
}

} // namespace vorda
