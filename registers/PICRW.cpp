#include "PICRW.h"

namespace vorda {

TPICRWForm::TPICRWForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("PICRWForm"));
    setWindowTitle(QStringLiteral("ZUV Meter Settings - Read and Write Registers"));
    resize(551, 547);
}

} // namespace vorda
