#include "windows/AccessibleRoles.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace vorda {

namespace {
const char kPaneProperty[] = "vordaPane";

QAccessibleInterface* PaneFactory(const QString&, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (!w || !w->property(kPaneProperty).toBool()) return nullptr;
    return new QAccessibleWidget(w, QAccessible::Pane);
}
} // namespace

void InstallAccessibleRoles() {
    // Installing twice would ask the factory twice for every widget.
    static const bool installed = [] {
        QAccessible::installFactory(PaneFactory);
        return true;
    }();
    (void)installed;
}

void MarkAsPane(QWidget* w) { w->setProperty(kPaneProperty, true); }

} // namespace vorda
