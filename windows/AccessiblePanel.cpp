#include "windows/AccessiblePanel.h"

#include "windows/AccessibleRoles.h"

namespace vorda {

AccessiblePanel::AccessiblePanel(const QString& accessibleName, QWidget* parent) : QWidget(parent) {
    InstallAccessibleRoles();
    MarkAsPane(this);
    setAccessibleName(accessibleName);
}

} // namespace vorda
