#include "app/ProgramIcon.h"

#include <QDirIterator>

namespace vorda {

QString DesktopId() { return QStringLiteral(VORDA_APP_ID); }

QIcon BuiltInIcon() {
    // The resource holds the installed hicolor PNGs, one per size.
    QIcon icon;
    QDirIterator it(QStringLiteral(":/icons/hicolor"), {DesktopId() + QStringLiteral(".png")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) icon.addFile(it.next());
    return icon;
}

QIcon ProgramIcon() { return QIcon::fromTheme(DesktopId(), BuiltInIcon()); }

} // namespace vorda
