#include "FolderChoice.h"

#include "UserInteraction.h"

#include <QDir>
#include <QFileInfo>

namespace vorda {

QString SettleChosenFolder(const QString& path, UserInteraction& ui) {
    if (path.trimmed().isEmpty()) return QString();
    const QString folder = QDir::cleanPath(QDir(path).absolutePath());
    const QFileInfo info(folder);
    if (info.isDir()) return folder;
    if (info.exists()) {
        ui.ShowMessage(folder + QStringLiteral(" is a file, not a directory."));
        return QString();
    }
    if (!ui.AskYesNo(QLatin1String(kCreateFolderQuestion))) return QString();
    if (!QDir().mkpath(folder)) {
        ui.ShowMessage(QStringLiteral("Unable to create ") + folder);
        return QString();
    }
    return folder;
}

} // namespace vorda
