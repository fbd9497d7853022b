#pragma once
// Placement of the program's windows as "FormSettings.ini" keeps it.
#include "app/ConfigFiles.h"

class QWidget;

namespace vorda {

// The position of the window's frame and the size inside the frame, of its
// normal (not maximized) state. Saving and restoring the same measures keeps
// a window from growing by its frame at every start, since the frame is
// unknown before it is shown.
Placement PlacementOf(const QWidget& window);

// Places the window as saved, kept where the user can see and reach it on
// the screens there are now (see FitPlacement).
void ApplyPlacement(QWidget& window, const Placement& placement);

} // namespace vorda
