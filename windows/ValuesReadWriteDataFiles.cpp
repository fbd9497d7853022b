// Parameter data files: open and save sets of values.
#include "ValuesReadWriteUnt.h"

#include "base/TextFiles.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "values/DataCheck.h"
#include "values/DataFile.h"
#include "values/MeterEngine.h"

#include <QDir>
#include <QFileInfo>

namespace vorda {

namespace {
// The dialogs make the chosen file's folder the working directory.
void EnterFolderOf(const QString& path) { QDir::setCurrent(QFileInfo(path).absolutePath()); }
} // namespace

void TValuesReadWrite::ReadDataClick() {
    if (ctx_.map.MapLoaded && GotData() && ctx_.flags.DataEdited &&
        !ctx_.ui.Confirm(QStringLiteral("About to read a new Data file.\n\rCurrent data has not been saved, and will be overwritten.\n\r\n\r            Are you sure?")))
        return;
    const QString chosen = ctx_.ui.OpenFileName(QDir::currentPath(), QStringLiteral("Meter parameter files (*.epf)|*.epf|"));
    if (chosen.isEmpty()) return;
    const QString full = QFileInfo(chosen).absoluteFilePath();
    EnterFolderOf(full);
    CurrentDataFile = FileFromPath(full);
    Cleardata();
    ReadDataFile(CurrentDataFile, ctx_.map.CurrentMapFile);
    CheckDataClick();
}

void TValuesReadWrite::ReadDataFile(const QString& FileName, const QString& MapFileName) {
    DataFileContent content;
    QString error;
    if (!LoadDataFile(ResolveFileNoCase(FileName), &content, &error)) throw UserError(error);
    if (!ctx_.startup.OffsetCalMode && !DataFileFitsMap(content, MapFileName))
        ctx_.ui.ShowMessage(MapNameWarningText(MapFileName, Excerpt(content.mapFileName)));
    // Values are matched to parameters by position; values beyond the map's
    // last parameter have no parameter to go to and are left out.
    const FileValues values = FileValuesByPosition(content, ctx_.map.MapParams);
    const int n = std::min<int>(int(content.values.size()), screen_->Count());
    for (int k = 0; k < n; ++k)
        session_->ShowValue(k, values.meterValues.at(k), values.exactRegisters.at(k), ValueOrigin::Loaded);
    if (!content.complete) ctx_.ui.ShowMessage(QStringLiteral("Error reading data file ") + CurrentDataFile);
    session_->Files().dataFile = FileName;
    ShowFiles();
    ctx_.flags.DataEdited = false;
    SetDataOnScreen(true);
    ctx_.flags.MeterInSync = false;
}

void TValuesReadWrite::SaveAsDataClick() {
    CheckDataClick();
    if (session_->Verdict() != CheckVerdict::Ok) {
        ctx_.ui.ShowMessage(QStringLiteral("Please correct Data errors"));
        return;
    }
    const QString chosen = ctx_.ui.SaveFileName(QStringLiteral("Save Parameter Data"), QDir::currentPath(),
                                                QStringLiteral("Meter Parameter Files (*.epf)|*.epf"), QStringLiteral("epf"));
    if (chosen.isEmpty()) return;
    QString path = chosen;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".epf");
    EnterFolderOf(path);
    QString error;
    if (!session_->SaveDataFile(path, &error)) throw UserError(error);
    CurrentDataFile = QFileInfo(path).absoluteFilePath();
    ctx_.flags.DataEdited = false;
    session_->Files().dataFile = FileFromPath(CurrentDataFile);
    ShowFiles();
}

} // namespace vorda
