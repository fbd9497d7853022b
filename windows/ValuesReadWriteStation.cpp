// The series-commissioning station opened from the Meter menu.
#include "windows/ValuesReadWriteUnt.h"

#include "base/UserInteraction.h"
#include "history/HistoryRecord.h"
#include "windows/SeriesStationDialog.h"

#include <QDir>

namespace vorda {

void TValuesReadWrite::SeriesCommissioningClick() {
    // The station connects each meter on its own line. A meter connected
    // here is let go first, and the screen cleared, since its values would
    // no longer describe the meter attached; the window stays disconnected
    // after the station.
    if (ctx_.link.MeterConnected) {
        if (!ctx_.ui.Confirm(QStringLiteral("The station connects each meter itself: the meter on this window is disconnected "
                                            "and the values on the screen are cleared.\n\r\n\r            Are you sure?")))
            return;
        EEPROMResetClick();
    }
    ClosePortsLeftOpen();
    if (!station_) {
        station_ = new SeriesStationDialog(
            StationDialogContext{ctx_.ui, ctx_.serial, *activity_, ctx_.units, *evaluator_, *rounder_,
                                 ctx_.startup.UserDir,
                                 QDir(ctx_.startup.UserDir).filePath(QStringLiteral("Station Reports")),
                                 RecordEnvironment::Current().userName,
                                 [this] { return session_->EventSink(); }},
            this);
    }
    station_->open();
    station_->raise();
    station_->activateWindow();
}

} // namespace vorda
