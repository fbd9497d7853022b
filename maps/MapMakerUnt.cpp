#include "MapMakerUnt.h"

#include <QLabel>
#include <QPushButton>

namespace vorda {

TMapMaker::TMapMaker(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("MapMaker"));
    setWindowTitle(QStringLiteral("ZUV Meter Settings - Parameter Maps"));
    resize(900, 600);
    Previewbtn = new QPushButton(QStringLiteral("Preview"), this);
    Previewbtn->setObjectName(QStringLiteral("Previewbtn"));
    Previewbtn->setGeometry(16, 16, 75, 25);
    // The editor holds no map yet, so there is nothing to preview.
    Previewbtn->setEnabled(false);
    CanPreviewlbl = new QLabel(QStringLiteral("Cannot Preview with meter connnected"), this);
    CanPreviewlbl->setObjectName(QStringLiteral("CanPreviewlbl"));
    CanPreviewlbl->move(100, 20);
    CanPreviewlbl->hide();
}

void TMapMaker::ShowConnected(bool connected) {
    Previewbtn->setEnabled(!connected && hasMap_);
    CanPreviewlbl->setVisible(connected);
}

} // namespace vorda
