#pragma once
// Placement of the program's windows as "FormSettings.ini" keeps it.
#include "shell/ConfigFiles.h"

class QPoint;
class QSize;
class QWidget;

namespace vorda {
class UserInteraction;

// The position of the window's frame and the size inside the frame, of its
// normal (not maximized) state. Saving and restoring the same measures keeps
// a window from growing by its frame at every start, since the frame is
// unknown before it is shown.
Placement PlacementOf(const QWidget& window);

// Places the window as saved, kept where the user can see and reach it on
// the screens there are now (see FitPlacement).
void ApplyPlacement(QWidget& window, const Placement& placement);

// The size a window opens at without a saved placement: wanted, kept
// within the free area of the screen it opens on (leaving room for the
// frame the desktop adds), never below the window's minimum size.
QSize OpeningSize(const QWidget& window, QSize wanted);
// Where it opens: at designed when the window fits there on that screen,
// otherwise centred on it.
QPoint OpeningPosition(const QWidget& window, QPoint designed);

// How saving a window's placement as it closes ended.
enum class PlacementAtClose {
    Saved,
    Unsaved,  // the file could not be written; the window closes all the same
    KeepOpen, // the file could not be written and the user keeps the window
};

// Saves the window's normal placement in its section of iniPath as it
// closes, leaving the maximized state first. When the file cannot be written
// and askUser is set, the user is told which file and why, and chooses
// whether to close all the same; without askUser (the user already chose for
// this file in the same close) the window closes.
PlacementAtClose SavePlacementAtClose(QWidget& window, const QString& iniPath, const QString& section,
                                      UserInteraction& ui, bool askUser = true);

} // namespace vorda
