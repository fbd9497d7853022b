#include "windows/AccessiblePanel.h"

#include <QAccessibleWidget>

namespace vorda {

namespace {

QAccessibleInterface* PanelInterface(const QString& className, QObject* object) {
    if (className != QLatin1String(AccessiblePanel::staticMetaObject.className())) return nullptr;
    auto* panel = qobject_cast<QWidget*>(object);
    return panel ? new QAccessibleWidget(panel, QAccessible::Grouping) : nullptr;
}

} // namespace

AccessiblePanel::AccessiblePanel(const QString& accessibleName, QWidget* parent) : QWidget(parent) {
    // Qt asks the factories in the order they were installed; this one
    // answers for panels only, and is installed with the first panel.
    static const bool installed = [] {
        QAccessible::installFactory(&PanelInterface);
        return true;
    }();
    Q_UNUSED(installed);
    setAccessibleName(accessibleName);
}

} // namespace vorda
