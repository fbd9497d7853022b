#pragma once
// A plain container of controls that screen readers present as a group of
// controls (a panel) under its name, instead of as an unnamed filler.
#include <QWidget>

namespace vorda {

class AccessiblePanel : public QWidget {
    Q_OBJECT
public:
    AccessiblePanel(const QString& accessibleName, QWidget* parent = nullptr);
};

} // namespace vorda
