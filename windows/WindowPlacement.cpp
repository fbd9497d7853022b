#include "WindowPlacement.h"

#include "base/UserInteraction.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

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

namespace {

// The free area of the screen the window opens on.
QRect OpeningArea(const QWidget& window) {
    QScreen* screen = window.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// Room for the frame and title bar the desktop adds, which is unknown before
// the window is shown: about two lines of the window's font.
QSize FrameRoom(const QWidget& window) {
    const int line = window.fontMetrics().height();
    return {line, 3 * line};
}

} // namespace

QSize OpeningSize(const QWidget& window, QSize wanted) {
    const QRect area = OpeningArea(window);
    if (area.isEmpty()) return wanted.expandedTo(window.minimumSize());
    return wanted.boundedTo(area.size() - FrameRoom(window)).expandedTo(window.minimumSize());
}

QPoint OpeningPosition(const QWidget& window, QPoint designed) {
    const QRect area = OpeningArea(window);
    if (area.isEmpty()) return designed;
    const QSize outer = window.size() + FrameRoom(window);
    if (area.contains(QRect(designed, outer))) return designed;
    const QPoint centred = area.center() - QPoint(outer.width() / 2, outer.height() / 2);
    return {std::max(area.left(), centred.x()), std::max(area.top(), centred.y())};
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
