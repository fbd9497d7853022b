// The main window's connection code: port discovery, meter detection, the
// connection state and the meter's own map.
#include "windows/ValuesReadWriteUnt.h"

#include "base/ProgramEnd.h"
#include "base/UserInteraction.h"
#include "windows/MapMakerUnt.h"
#include "meter/MeterDetection.h"
#include "meter/PortNames.h"
#include "meter/SerialLayer.h"
#include "values/MeterEngine.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

namespace vorda {

void TValuesReadWrite::ClosePortsLeftOpen() {
    for (int port : std::as_const(PortsLeftOpen_)) core_->DisconnectPort(port);
    PortsLeftOpen_.clear();
}

int TValuesReadWrite::FindComPorts() {
    // Every scan reports the meters attached now, so ports that the tests of
    // an earlier scan left open are closed before probing.
    ClosePortsLeftOpen();
    ScanOptions options;
    options.keepMetersOpen = true;
    options.testing = [this](int com) {
        session_->Files().comPort = QString::number(com);
        ShowFiles();
    };
    // The link shows "not connected" around every port opened and every
    // silent one closed.
    options.beforeOpenOrClose = [this] { EEPROMConnected(false); };
    // The ports are tested together, so there is no count to show: the bar
    // says the scan goes on.
    ShowProgress(0, -1);
    const ScanOutcome scan = ScanPorts(core_->Protocol(), options);
    ShowProgress(0, 0);
    ComPorts_.clear();
    PortsInUse_.clear();
    for (const HeldPort& port : scan.held) PortsInUse_ << PortInUseText(port);
    PortsDenied_.clear();
    for (const DeniedPort& port : scan.denied) PortsDenied_ << PortDeniedText(port);
    for (const PortFinding& port : scan.ports) {
        ComPorts_ << port.com;
        if (!port.meter) continue;
        FoundPortIndex_ = int(ComPorts_.size()) - 1;
        // These ports stay open; the next scan closes them first.
        PortsLeftOpen_ << port.com - 1;
    }
    return scan.MeterCount();
}

void TValuesReadWrite::ReportPortsInUse() {
    if (!PortsInUse_.isEmpty())
        ctx_.ui.ShowMessage(PortsInUse_.join(QStringLiteral("\n\r")) +
                            QStringLiteral("\n\r\n\rA meter on a port in use cannot be found until that program closes the port."));
    if (!PortsDenied_.isEmpty())
        ctx_.ui.ShowMessage(PortsDenied_.join(QStringLiteral("\n\r")) +
                            QStringLiteral("\n\r\n\rA meter on such a port cannot be found until the account may open it."));
}

void TValuesReadWrite::AutoMeter() {
    const MeterActivity::Scope busy(*activity_);
    const QString tryAgain = QStringLiteral("Try again? (If No VORDA will terminate)");
    int n = FindComPorts();
    if (n == 0) {
        ReportPortsInUse();
        if (!ctx_.ui.AskYesNo(QStringLiteral("Meter not detected - Please check connections.  Try unplugging and replugging.\n\r\n\r"
                                             "If first use on this machine allow a few moments for the drivers to load.  Must be connected to the internet.\n\r\n\r") +
                              tryAgain))
            ctx_.end.Terminate(QString());
        n = FindComPorts();
        if (n == 0) ReportPortsInUse();
        if (n == 0) ctx_.end.Terminate(QStringLiteral("Meter still not detected - VORDA will now terminate") + VersionTail());
    } else if (n > 1) {
        const int c = FindComPorts();
        if (!ctx_.ui.AskYesNo(QString::number(c) + QStringLiteral(" Meters detected! - Please connect one only") +
                              QStringLiteral("\n\r") + QStringLiteral("\n\r") + tryAgain))
            ctx_.end.Terminate(QString());
        n = FindComPorts();
        if (n > 1) {
            const int again = FindComPorts();
            ctx_.end.Terminate(QString::number(again) + QStringLiteral(" Meters detected! - VORDA will terminate") + VersionTail());
        }
    }
    if (n != 1) return;

    ctx_.link.ComPortNumber = ComPorts_.at(FoundPortIndex_) - 1;
    // The chosen port is the one connection that stays open.
    PortsLeftOpen_.removeAll(ctx_.link.ComPortNumber);
    ClosePortsLeftOpen();
    core_->ConnectToPort(ctx_.link.ComPortNumber);
    EEPROMConnected(true);
    if (ctx_.startup.OffsetCalMode) {
        MeterMapNumber = 127;
        mAPnl->show();
        mAPnl->raise();
    } else {
        if (!core_->Handshake()) {
            ctx_.ui.ShowMessage(QStringLiteral("Meter connection failure\n\rPlease repeat the operation"));
            return;
        }
        MeterMapNumber = core_->GetSetRegister(1, kMapNumberRegister, 1);
    }
    SetMapFileName();
}

void TValuesReadWrite::TestConnbtnClick() {
    AutoMeter();
    if (!ctx_.startup.OffsetCalMode || screen_->Count() == 0) return;
    // The first field of the screen is the top one, whatever its place in
    // the map's register order.
    screen_->Row(screen_->TopParameter()).box->setFocus();
}

void TValuesReadWrite::mAConnectbtnClick() {
    // The panel's Connect serves the next meter of a series: it leaves the
    // focus where the main Connect does, so the first click into the panel
    // fills it from the offset field again.
    TestConnbtnClick();
}

void TValuesReadWrite::EEPROMConnected(bool status) {
    ctx_.link.MeterConnected = status;
    for (QAction* a : {ReadEE, WriteEE, PICRW1, RestoreDefaults1, Disconnect, EEPROMReset}) a->setEnabled(status);
    TestConnbtn->setEnabled(!status);
    EEPROM1->setTitle(status ? QStringLiteral("&Meter (connected)") : QStringLiteral("&Meter (not connected)"));
    if (mapMaker_) mapMaker_->ShowConnected(status);
}

void TValuesReadWrite::MeterLost() {
    if (!core_ || !ctx_.link.DeviceLost || !ctx_.link.MeterConnected) return;
    // The meter counts as not connected and its port is let go, so that
    // Connect finds it again, under whatever device name it comes back. The
    // screen keeps its values, to be saved or written later.
    const int com = ctx_.link.ComPortNumber + 1;
    EEPROMConnected(false);
    core_->DisconnectPort(ctx_.link.ComPortNumber);
    if (!std::exchange(lossTold_, false)) ctx_.ui.ShowMessage(DisconnectedText(com));
}

void TValuesReadWrite::EEPROMResetClick() {
    EEPROMConnected(false);
    core_->DisconnectPort(ctx_.link.ComPortNumber);
    ctx_.map.MapLoaded = false;
    Cleardata();
}

void TValuesReadWrite::SetMapFileName() {
    const auto mapName = [](int number) { return QStringLiteral("ZUVMap") + QString::number(number); };
    if (!ctx_.map.MapLoaded) {
        if (MeterMapNumber == 255 && ctx_.startup.MakerAccess)
            ctx_.ui.ShowMessage(QStringLiteral("Map File ID not set in Meter.  0 assumed."));
        MeterMapNumber = EffectiveMapNumber(MeterMapNumber);
        ctx_.map.CurrentMapFile = MeterMapFileName(MeterMapNumber);
        // The meter's own map comes from the user directory, wherever a file
        // dialog has since taken the working folder.
        if (!DReadMapFile(ctx_.map.CurrentMapFile, ctx_.startup.UserDir)) return;
        ctx_.map.MapLoaded = true;
        BeginRecord();
        // The meter's own map replaces whatever preview was on screen.
        IsPreviewlbl->hide();
        if (!ctx_.startup.OffsetCalMode) {
            SetMark(AttrsPnl->ConnectForMapLbl, Mark::Plain);
            AttributesPanel::Show(AttrsPnl->ConnectForMapLbl, ctx_.map.CurrentMapFile);
        }
        FormShow();
        ReadEEClick();
        return;
    }
    MeterMapNumber = EffectiveMapNumber(MeterMapNumber);
    BeginRecord();
    if (!ctx_.startup.OffsetCalMode) {
        if (MeterMapNumber != ctx_.map.MapFileNumber)
            ctx_.ui.ShowMessage(QStringLiteral("Warning - Meter is using ") + mapName(MeterMapNumber) + QStringLiteral("\n\r") +
                                QStringLiteral("currently loaded map is ") + mapName(ctx_.map.MapFileNumber) + QStringLiteral("\n\r") +
                                QStringLiteral("Meter can be read with current map - ") + QStringLiteral("\n\r") +
                                QStringLiteral("Use Meter (Connected) / Read Parameters, and / or") + QStringLiteral("\n\r") +
                                QStringLiteral("you can load the map used in the meter then re-read."));
        SetMark(AttrsPnl->ConnectForMapLbl, Mark::Plain);
        AttributesPanel::Show(AttrsPnl->ConnectForMapLbl, MeterMapFileName(MeterMapNumber));
    }
}

} // namespace vorda
