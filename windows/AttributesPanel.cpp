#include "windows/AttributesPanel.h"

#include "values/MeterSession.h"
#include "windows/WidgetStyle.h"

namespace vorda {

AttributesPanel::AttributesPanel(QWidget* parent, QObject* filter) : QFrame(parent) {
    setObjectName(QStringLiteral("AttrsPnl"));
    setFrameShape(QFrame::Panel);
    setAutoFillBackground(true);
    setGeometry(8, 95, 580, 148);
    // Captions and values sit 102 pixels apart: the panel keeps the small
    // font it was laid out for, whatever the desktop's default is.
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);
    UDlbl = AddRow(6, QStringLiteral("User files in:"), QStringLiteral("Location of user data files"), QStringLiteral("UDlbl"));
    UDlbl->setToolTip(QStringLiteral("Double-click to open"));
    SetBold(UDlbl);
    UDlbl->installEventFilter(filter);
    ComPortlbl = AddRow(26, QStringLiteral("COM Port:"), QStringLiteral("COM port the meter is connected to"), QStringLiteral("ComPortlbl"));
    SigFigLbl = AddRow(46, QStringLiteral("Rounding:"), QStringLiteral("Rounding is currently the subject of experimentation"), QStringLiteral("SigFigLbl"));
    MakeLabel(this, QStringLiteral("SigFigCaption"), QStringLiteral("Significant Figures"), 140, 46);
    MapFileNow = AddRow(66, QStringLiteral("Current Map File:"), QStringLiteral("Map file currently active in VORDA"), QStringLiteral("MapFileNow"));
    DataFileNow = AddRow(86, QStringLiteral("Current Data File:"), QStringLiteral("Data file currently active in VORDA"), QStringLiteral("DataFileNow"));
    ConnectForMapLbl = AddRow(106, QStringLiteral("Map Used in meter:"), QStringLiteral("Map file currently in use in the meter"), QStringLiteral("ConnectForMapLbl"));
    ConnectForMapLbl->setWordWrap(true);
    // The record of the last meter write is kept, not shown.
    QList<QLabel*> lastWrite;
    lastWrite << MakeLabel(this, QStringLiteral("LastWriteCaption"), QStringLiteral("Last EEPROM Write:"), 300, 6);
    lastWrite << MakeLabel(this, QStringLiteral("LastWriteMapCaption"), QStringLiteral("Map:"), 300, 26);
    lastWrite.last()->setToolTip(QStringLiteral("Map file used for last EEPROM write"));
    lastWrite << MakeLabel(this, QStringLiteral("LastWriteDataCaption"), QStringLiteral("Data:"), 300, 46);
    lastWrite.last()->setToolTip(QStringLiteral("Data file used for last EEPROM write"));
    EEPROMMapFile = MakeLabel(this, QStringLiteral("EEPROMMapFile"), SessionFiles::NotYetSet(), 340, 26);
    EEPROMDataFile = MakeLabel(this, QStringLiteral("EEPROMDataFile"), SessionFiles::NotYetSet(), 340, 46);
    lastWrite << EEPROMMapFile << EEPROMDataFile;
    for (QLabel* l : lastWrite) l->hide();
    hide();
    raise();
}

QLabel* AttributesPanel::AddRow(int top, const QString& caption, const QString& hint, const QString& objectName) {
    QLabel* cap = MakeLabel(this, objectName + QStringLiteral("Caption"), caption, 14, top);
    cap->setToolTip(hint);
    QLabel* value = MakeLabel(this, objectName, SessionFiles::NotYetSet(), 116, top);
    value->setToolTip(hint);
    return value;
}

void AttributesPanel::Show(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

void AttributesPanel::ShowFiles(const SessionFiles& files) {
    const std::pair<QLabel*, QString> shown[] = {{MapFileNow, files.mapFile}, {DataFileNow, files.dataFile},
                                                 {ComPortlbl, files.comPort}, {EEPROMMapFile, files.lastWriteMap},
                                                 {EEPROMDataFile, files.lastWriteData}};
    for (const auto& [label, text] : shown)
        if (label->text() != text) Show(label, text);
}

} // namespace vorda
