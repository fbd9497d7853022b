#include "UserDirSelection.h"

#include "Startup.h"
#include "base/TextFiles.h"
#include "base/UserInteraction.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace vorda {
namespace {

const QString kNoChanges = QStringLiteral(" - no changes made.");

// Whether files can be made in folder, found out by making one. On failure
// *error holds the system's text.
bool CanWriteIn(const QString& folder, QString* error) {
    if (!QFileInfo(folder).isDir()) {
        *error = QStringLiteral("The directory does not exist.");
        return false;
    }
    QTemporaryFile probe(folder + QStringLiteral("/.vorda-probe-XXXXXX"));
    if (!probe.open()) {
        *error = probe.errorString();
        return false;
    }
    return true;
}

} // namespace

void CopyFiles(const QString& Source, const QString& Target, const QString& FileExtn, UserInteraction& ui) {
    // The same folder under another name: every file is already there, and
    // copying each onto itself would gain nothing.
    const QString from = QFileInfo(Source).canonicalFilePath();
    if (!from.isEmpty() && from == QFileInfo(Target).canonicalFilePath()) return;
    // Regular files only: a FIFO or device node of a matching name would
    // block or never end.
    const QStringList names = QDir(Source).entryList({FileExtn}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : names)
        if (!CopyFileReplacing(Source + name, Target + name, nullptr))
            ui.ShowMessage(QStringLiteral("copy ") + Source + name + QStringLiteral(" failed"));
}

bool SelectUserDir(StartupState& state, UserInteraction& ui) {
    ui.ShowMessage(QStringLiteral("Choose a directory to store VORDA files.\n\r"
                                  "If the chosen directory is empty,\n\r"
                                  "files will be copied from the current directory.\n\r"
                                  "To create a new directory - just add /yournewdir in the Directory Name dialog\n\r\n\r"
                                  "Current directory is: ") +
                   state.UserDir);
    const QString chosen = ui.ChooseFolder(QStringLiteral("Select Directory"), state.UserDir);
    if (chosen.isEmpty()) {
        ui.ShowMessage(QStringLiteral("Directory selection aborted"));
        return false;
    }
    if (chosen == state.UserDir) {
        ui.ShowMessage(QStringLiteral("No new directory selected - no changes made."));
        return false;
    }
    // "VORDAUD.txt" is Windows-1252 text: a name it cannot hold would come
    // back as another folder at the next start.
    if (!FitsCp1252(chosen)) {
        ui.ShowMessage(QStringLiteral("The directory name ") + chosen +
                       QStringLiteral(" has characters that VORDAUD.txt cannot keep.\n\r"
                                      "Please choose or create a directory with another name.\n\r") +
                       kNoChanges);
        return false;
    }
    // A folder that takes no files would take no copies, and the settings
    // could not be saved there at the close.
    QString error;
    if (!CanWriteIn(chosen, &error)) {
        ui.ShowMessage(QStringLiteral("Unable to write to ") + chosen + QStringLiteral("\n\r") + error +
                       QStringLiteral("\n\r") + kNoChanges);
        return false;
    }

    const QString oldFolder = state.UserDir + QLatin1Char('/');
    const QString newFolder = chosen + QLatin1Char('/');
    if (!FindFileNoCase(chosen, QLatin1String(kReadMeFileName)).isEmpty()) {
        ui.ShowMessage(QStringLiteral("No files copied to ") + chosen +
                       QStringLiteral("\n\r - (VORDA files were found there)"
                                      "\n\r - this is now the VORDA Directory for user files"));
    } else {
        for (const char* pattern : {"*.txt", "*.map", "*.epf"})
            CopyFiles(oldFolder, newFolder, QLatin1String(pattern), ui);
        ui.ShowMessage(QStringLiteral("Files copied from ") + oldFolder + QStringLiteral("\n\r - to ") + chosen +
                       QStringLiteral("\n\r - (no VORDA files found there)"
                                      "\n\r - this is now the VORDA Directory for user files"));
    }

    // The working directory and "VORDAUD.txt" change together or not at all,
    // so that bare file names keep resolving where UserDir says.
    const QString previous = QDir::currentPath();
    if (!QDir::setCurrent(chosen)) {
        ui.ShowError(QStringLiteral("Cannot make \"%1\" the working directory.").arg(chosen));
        return false;
    }
    if (!WriteTextLines(state.AppDataDir + QLatin1Char('/') + QLatin1String(kUserDirFileName), {chosen}, &error)) {
        QDir::setCurrent(previous);
        ui.ShowError(error);
        return false;
    }
    state.UserDir = chosen;
    return true;
}

} // namespace vorda
