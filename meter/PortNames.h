#pragma once
#include <QString>

namespace vorda {

// Device name of COM port ComNr: "COM5" up to COM9, "\\.\COM10" from COM10 on.
QString ExtComName(unsigned ComNr);

// The COM number in a device name of either form ("COM5", "\\.\COM10"; letters
// in any case), or 0 when the name is no COM port name.
unsigned ComNumberFromName(const QString& deviceName);

} // namespace vorda
