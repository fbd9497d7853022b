#pragma once
#include <QWidget>

class QLabel;
class QPushButton;

namespace vorda {

// The map editor window. Created at start-up and only shown and hidden.
class TMapMaker : public QWidget {
    Q_OBJECT
public:
    explicit TMapMaker(QWidget* parent = nullptr);

    // Follows the main window's connection state: no preview while a meter
    // is connected.
    void ShowConnected(bool connected);
    // True when the editor holds changes that were not saved.
    bool MapChanged() const { return mapChanged_; }

private:
    QPushButton* Previewbtn = nullptr;
    QLabel* CanPreviewlbl = nullptr;
    bool mapChanged_ = false;
    bool hasMap_ = false;
};

} // namespace vorda
