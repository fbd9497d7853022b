#pragma once
#include <QWidget>

namespace vorda {

// The register browser window. Created at start-up and only shown and hidden.
class TPICRWForm : public QWidget {
    Q_OBJECT
public:
    explicit TPICRWForm(QWidget* parent = nullptr);
};

} // namespace vorda
