// Opening maps on the main window.
#include "windows/ValuesReadWriteUnt.h"

#include "base/ProgramEnd.h"
#include "base/TextFiles.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "maps/MapFile.h"
#include "shell/Startup.h"

#include <QDir>
#include <QFileInfo>

namespace vorda {

bool TValuesReadWrite::DReadMapFile(const QString& MapFileName, const QString& folder) {
    ScrollToTop();
    Cleardata();
    QString path = ResolveFileNoCase(MapFileName);
    if (!folder.isEmpty()) {
        path = FindFileNoCase(folder, MapFileName);
        if (path.isEmpty()) path = InUserDir(folder, MapFileName);
    }
    const MapReadResult r = ReadMapFileContent(path, MapFileName);
    switch (r.status) {
    case MapReadStatus::OpenFailed:
        // The previous map stays; the command ends with the system's text.
        throw UserError(r.message);
    case MapReadStatus::OldFormat:
        ctx_.ui.ShowMessage(r.message);
        return false;
    case MapReadStatus::BadVersion:
        ctx_.ui.ShowMessage(MapFileName + QStringLiteral(" has file version ") + r.versionLine +
                            QStringLiteral(" and cannot be read - contact ZUV Meters"));
        return false;
    case MapReadStatus::BadRegisters:
        // Says which parameter is at fault, then fails as a damaged file.
        ctx_.ui.ShowMessage(r.message);
        break;
    case MapReadStatus::Ok:
    case MapReadStatus::BadContent:
        break;
    }
    // A damaged file leaves the blocks read before the fault, never entries
    // that were not in the file.
    ctx_.map.MapParams = r.params;
    ctx_.map.MapHeaders = r.headers;
    bool ok = r.status == MapReadStatus::Ok;
    if (ok) {
        try {
            session_->Files().mapFile = MapFileName;
            session_->Files().dataFile.clear();
            ShowFiles();
            SetScreenOrder();
            DataMenuAction->setEnabled(true);
        } catch (const UserError&) {
            ok = false;
        }
    }
    if (ok) return true;
    session_->Files().mapFile.clear();
    session_->Files().dataFile.clear();
    ShowFiles();
    try {
        SetScreenOrder();
    } catch (const UserError&) {
        // Rows without a usable screen order cannot be shown.
        ctx_.map.MapParams.clear();
        SetScreenOrder();
    }
    if (ctx_.startup.MakerAccess) {
        ctx_.ui.ShowMessage(QStringLiteral("Error reading Map File ") + MapFileName);
        return false;
    }
    ctx_.end.Terminate(QStringLiteral("Error reading Map File ") + MapFileName +
                       QStringLiteral("  Contact ZUV Meters for assistance.  Application terminating") +
                       VersionTail());
    Q_UNREACHABLE(); // Terminate ends the command with ProgramTerminated
}

void TValuesReadWrite::ReadMapFileClick() {
    if (ctx_.map.MapLoaded) {
        if (ctx_.startup.OffsetCalMode) return;
        if (GotData() && ctx_.flags.DataEdited &&
            !ctx_.ui.Confirm(QStringLiteral("About to read a new Map file.\n\rCurrent data has not been saved, and will be deleted.\n\r\n\r            Are you sure?")))
            return;
    }
    const QString chosen = ctx_.ui.OpenFileName(QDir::currentPath(), QStringLiteral("Meter map files (*.map)|*.map|"));
    if (chosen.isEmpty()) return;
    const QString full = QFileInfo(chosen).absoluteFilePath();
    QDir::setCurrent(QFileInfo(full).absolutePath());
    ctx_.map.CurrentMapFile = FileFromPath(full);
    // The screen is rebuilt whatever the read gave, except when the file
    // could not be opened: the command ends there with the system's text.
    DReadMapFile(ctx_.map.CurrentMapFile);
    ShowLoadedMap(false);
    const QString name = ctx_.map.CurrentMapFile;
    bool ok = false;
    const int number = name.mid(6, std::max<qsizetype>(0, name.size() - 10)).toInt(&ok);
    if (ok)
        ctx_.map.MapFileNumber = number;
    else
        ctx_.ui.ShowMessage(QStringLiteral("Map File name error: ") + name + QStringLiteral("\n\r") +
                            QStringLiteral("Contact ZUV Meters Inc."));
}

void TValuesReadWrite::ShowLoadedMap(bool preview) {
    CreateFields();
    SetDataOnScreen(false);
    ctx_.flags.DataEdited = false;
    ctx_.map.MapLoaded = true;
    IsPreviewlbl->setVisible(preview);
}

void TValuesReadWrite::ReadTempMapFile(const QString& TempMapFile) {
    DReadMapFile(TempMapFile);
    ShowLoadedMap(true);
}

} // namespace vorda
