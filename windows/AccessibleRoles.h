#pragma once
// Containers that group controls tell screen readers they are panes, not
// the "filler" a plain widget is announced as.
class QWidget;

namespace vorda {

// Lets MarkAsPane take effect; once, before the windows are made.
void InstallAccessibleRoles();
// w is announced as a pane. Before w is first shown.
void MarkAsPane(QWidget* w);

} // namespace vorda
