// Maintenance on a connected meter: factory defaults and the mA output
// offset calibration.
#include "windows/ValuesReadWriteUnt.h"

#include "base/UserInteraction.h"
#include "units/NumberFormat.h"

#include <QPushButton>
#include <QScopeGuard>

namespace vorda {

void TValuesReadWrite::RestoreDefaults1Click() {
    if (!core_) return;
    const MeterActivity::Scope busy(*activity_);
    if (!ctx_.ui.Confirm(QStringLiteral("About to write Factory Default Settings into the Meter\n\r"
                                        "Current Meter values will be overwritten.\n\r\n\r            Are you sure?")))
        return;
    if (!core_->Handshake()) {
        ctx_.ui.ShowMessage(QStringLiteral("Meter connection failure\n\rSave data and restart everything!"));
        return;
    }
    if (core_->getChar(kFactoryResetByte) != kFactoryResetByte) {
        ctx_.ui.ShowMessage(QStringLiteral("Error resetting Meter to Original Factory Settings"));
        return;
    }
    session_->Files().lastWriteData = QStringLiteral("Factory Default Settings");
    ShowFiles();
    // The reset is recorded with what the read after it finds, or with
    // unknown values when that read does not complete.
    session_->BeginFactoryReset();
    {
        const auto resetEnd = qScopeGuard([this] { session_->EndFactoryReset(); });
        ReadEEClick();
    }
    ctx_.ui.ShowMessage(QStringLiteral("Meter now has Original Factory Settings"));
}

void TValuesReadWrite::OfffsetCalcBtnClick() {
    // One command with its write, so that its records are told as one.
    const MeterActivity::Scope busy(*activity_);
    OldOffsetText = OldOffsetEdt->text();
    const int oldOffset = ToInt(OldOffsetText);
    if (MetermAEdt->text().isEmpty()) {
        ctx_.ui.ShowMessage(QStringLiteral("enter a value for Meter mA Output"));
        return;
    }
    const double measured = double(ToFloat(MetermAEdt->text()));
    const qint64 newOffset = NewMaOffset(oldOffset, measured);
    if (CalcField) CalcField->setText(QString::number(newOffset));
    MetermAEdt->clear();
    if (WriteEEClick()) session_->Calibrated(MaCalibration{oldOffset, measured, newOffset});
}

} // namespace vorda
