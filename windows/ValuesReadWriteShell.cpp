// The main window's creation step, its settings files, the choice of the
// user directory and its closing.
#include "windows/ValuesReadWriteUnt.h"
#include "shell/Startup.h"

#include "shell/ConfigFiles.h"
#include "base/ProgramEnd.h"
#include "base/TextFiles.h"
#include "shell/UserDirSelection.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "windows/WindowPlacement.h"
#include "windows/MapMakerUnt.h"
#include "units/SigFigs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>

namespace vorda {

void TValuesReadWrite::FormCreate() {
    StartupState& s = ctx_.startup;
    try {
        const auto askCreate = [this](const MissingUserDir& missing) {
            return ctx_.ui.AskYesNo(MissingUserDirQuestion(missing));
        };
        SettleFolders(ctx_.paths, s, ctx_.end, askCreate, [this](const QString& userDir) {
            AttributesPanel::Show(AttrsPnl->UDlbl, userDir);
        });
        RestoreValuesWindowPlacement();

        MeterMapNumber = -1;
        ctx_.map.MapFileNumber = 0;
        ctx_.map.MapLoaded = false;
        ctx_.flags.MeterInSync = true;
        s.OffsetCalMode = false;
        mAPnl->hide();
        NewMeterbtn->hide();
        s.SigFigCount = 5;

        ApplySwitches(ctx_.arguments, s, ctx_.end);
        rounder_->SigFigCount = s.SigFigCount;
        NewMeterbtn->setVisible(s.OffsetCalMode);

        ReadConfigFile();
        EEPROMConnected(false);
        Version->setText(QStringLiteral("Version: ") + QLatin1String(kVersionText));
        Version->adjustSize();
        AttributesPanel::Show(AttrsPnl->SigFigLbl, QString::number(s.SigFigCount));
        MapFileMenuAction->setVisible(s.MakerAccess);
        PICRW1->setVisible(s.MakerAccess);
    } catch (const UserError& e) {
        // An unexpected file error: shown, and the remaining creation steps
        // are skipped; the program keeps running.
        ctx_.ui.ShowError(e.text());
    }
}

void TValuesReadWrite::RestoreValuesWindowPlacement() {
    const auto placement = ReadPlacement(FormSettingsPath(), QStringLiteral("ValuesReadWrite"));
    if (placement) ApplyPlacement(*this, *placement);
}

QString TValuesReadWrite::FormSettingsPath() const {
    return InUserDir(ctx_.startup.UserDir, QLatin1String(kFormSettingsFileName));
}

QString TValuesReadWrite::ConfigFilePath() const {
    // The configuration belongs to the user directory, wherever a file
    // dialog has since taken the working directory.
    const QString found = FindFileNoCase(ctx_.startup.UserDir, QLatin1String(kConfigFileName));
    return found.isEmpty() ? InUserDir(ctx_.startup.UserDir, QLatin1String(kConfigFileName)) : found;
}

void TValuesReadWrite::ReadConfigFile() {
    const QString path = ConfigFilePath();
    if (!QFileInfo::exists(path)) return;
    QStringList lines;
    QString error;
    if (!ReadTextLines(path, &lines, &error)) throw UserError(error);
    ConfigData data;
    const auto showRecord = [this, &data] {
        session_->Files().lastWriteMap = data.eepromMapFile;
        session_->Files().lastWriteData = data.eepromDataFile;
        ShowFiles();
    };
    try {
        ParseConfigLines(lines, &data);
    } catch (const UserError&) {
        // Lines 2 and 3 were read before the count line failed.
        showRecord();
        throw;
    }
    showRecord();
    SavedUnits_ = data.savedUnits;
}

void TValuesReadWrite::WriteConfigFile() {
    ConfigData data;
    const SessionFiles& files = session_->Files();
    data.comPortLabel = files.comPort;
    data.eepromMapFile = files.lastWriteMap;
    data.eepromDataFile = files.lastWriteData;
    data.savedUnits = ctx_.units.CurrentUnits;
    QString error;
    if (!WriteTextLines(ConfigFilePath(), ConfigLines(data), &error)) throw UserError(error);
}

bool TValuesReadWrite::FormClose() {
    // The map editor's close handler may refuse, which cancels this close.
    if (mapMaker_ && !mapMaker_->close()) return false;
    // When the map editor could not write the settings file either, the user
    // has already chosen to close without it.
    const bool askUser = !(mapMaker_ && mapMaker_->PlacementUnsaved());
    if (SavePlacementAtClose(*this, FormSettingsPath(), QStringLiteral("ValuesReadWrite"), ctx_.ui, askUser) ==
        PlacementAtClose::KeepOpen)
        return false;
    if (!ctx_.map.MapLoaded) {
        if (core_) core_->DisconnectPort(ctx_.link.ComPortNumber);
        closed_ = true;
        return true;
    }
    if (!ctx_.startup.OffsetCalMode) {
        if (GotData() && ctx_.flags.DataEdited && !ctx_.flags.MeterInSync &&
            !ctx_.ui.Confirm(QStringLiteral("About to Close the Application - Current data not saved and not written to meter.\n\r\n\r            Are you sure?")))
            return false;
        if (mapMaker_ && mapMaker_->MapChanged() &&
            !ctx_.ui.Confirm(QStringLiteral("About to Close the Application.\n\rCurrent map not saved\n\r\n\r            Are you sure?")))
            return false;
        if (!SignOffMeter()) ctx_.ui.ShowMessage(QStringLiteral("Meter connection failure"));
    }
    if (core_) core_->DisconnectPort(ctx_.link.ComPortNumber);
    // A close that goes through has closed the port for good.
    closed_ = WriteConfigAtClose();
    return closed_;
}

bool TValuesReadWrite::WriteConfigAtClose() {
    try {
        WriteConfigFile();
        return true;
    } catch (const UserError& e) {
        const QString notKept = QStringLiteral("The display units and the record of the last meter write will not be kept for the next start.");
        if (ctx_.ui.AskYesNo(CloseUnsavedQuestion(ConfigFilePath(), e.text(), notKept))) return true;
        // The window stays, and the port was closed on the way.
        EEPROMConnected(false);
        return false;
    }
}

bool TValuesReadWrite::SignOffMeter() {
    if (!ctx_.link.MeterConnected || !core_) return true;
    const bool answered = core_->getChar(kHandshakeSent) == kHandshakeReply;
    core_->getChar(kSignOffByte);
    return answered;
}

void TValuesReadWrite::EndWithoutQuestions() {
    // The port is closed at most once: a byte sent later would open it again.
    if (closed_) return;
    closed_ = true;
    if (!ctx_.startup.OffsetCalMode) SignOffMeter();
    if (!core_) return;
    ClosePortsLeftOpen();
    core_->DisconnectPort(ctx_.link.ComPortNumber);
}

void TValuesReadWrite::DirectorySelection1Click() {
    if (!SelectUserDir(ctx_.startup, ctx_.ui)) return;
    AttributesPanel::Show(AttrsPnl->UDlbl, ctx_.startup.UserDir);
}

void TValuesReadWrite::UDlblDblClick() {
    // Before start-up has shown the user directory there is nothing to open.
    if (ctx_.startup.UserDir.isEmpty()) return;
    ctx_.ui.OpenWithDesktop(ctx_.startup.UserDir);
}

void TValuesReadWrite::OpenReadMe() {
    if (ctx_.startup.UserDir.isEmpty()) return;
    const QString readMe = InUserDir(ctx_.startup.UserDir, QLatin1String(kReadMeFileName));
    if (!QFileInfo::exists(readMe)) {
        ctx_.ui.ShowMessage(QStringLiteral("There is no read-me %1").arg(readMe));
        return;
    }
    if (!ctx_.ui.OpenWithDesktop(readMe)) ctx_.ui.ShowMessage(QStringLiteral("The desktop could not open %1").arg(readMe));
}

void TValuesReadWrite::closeEvent(QCloseEvent* event) {
    bool accepted = false;
    Guard([this, &accepted] { accepted = FormClose(); });
    if (!accepted) {
        event->ignore();
        return;
    }
    event->accept();
    // Ends the event loop without closing the other windows one by one: their
    // close handlers (the display units dialog reads the meter again) must not
    // run once the port is closed.
    QApplication::exit(0);
}

} // namespace vorda
