#include "WindowPlacement.h"

#include "base/UserInteraction.h"

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

PlacementAtClose SavePlacementAtClose(QWidget& window, const QString& iniPath, const QString& section,
                                      UserInteraction& ui, bool askUser) {
    // The normal bounds are taken before leaving the maximized state: the
    // window manager may apply that change later.
    const Placement placement = PlacementOf(window);
    if (window.isMaximized()) window.showNormal();
    QString error;
    if (WritePlacement(iniPath, section, placement, &error)) return PlacementAtClose::Saved;
    if (!askUser) return PlacementAtClose::Unsaved;
    const QString question = CloseUnsavedQuestion(
        iniPath, error, QStringLiteral("The positions and sizes of the windows will not be kept for the next start."));
    return ui.AskYesNo(question) ? PlacementAtClose::Unsaved : PlacementAtClose::KeepOpen;
}

} // namespace vorda
