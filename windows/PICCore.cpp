#include "PICCore.h"

namespace vorda {

TPICCoreForm::TPICCoreForm(SerialLayer& serial, MeterLinkState& link, QWidget* parent)
    : QWidget(parent), protocol_(serial, link) {
    setObjectName(QStringLiteral("PICCoreForm"));
}

} // namespace vorda
