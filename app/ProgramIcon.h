#pragma once
// The program's name and icon on the desktop.
#include <QIcon>
#include <QString>

namespace vorda {

// The reverse-DNS name shared by the desktop entry, the icon and the
// metainfo, without ".desktop".
QString DesktopId();

// Every size of the program's icon, as built into the program.
QIcon BuiltInIcon();

// The icon theme's icon of the program, else the built-in one.
QIcon ProgramIcon();

} // namespace vorda
