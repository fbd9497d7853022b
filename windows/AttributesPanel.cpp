#include "windows/AttributesPanel.h"

#include "values/MeterSession.h"
#include "windows/WidgetStyle.h"

#include <QFontMetrics>
#include <QPair>

#include <algorithm>

namespace vorda {

AttributesPanel::AttributesPanel(QWidget* parent, QObject* filter) : QFrame(parent) {
    setObjectName(QStringLiteral("AttrsPnl"));
    setFrameShape(QFrame::Panel);
    setAutoFillBackground(true);
    setGeometry(8, 95, 580, 148);
    // The panel keeps the small font it was laid out for, whatever the
    // desktop's default is; its rows widen and part as that font needs.
    QFont small = font();
    small.setPixelSize(10);
    setFont(small);
    UDlbl = AddRow(6, QStringLiteral("User files in:"), QStringLiteral("Location of user data files"), QStringLiteral("UDlbl"));
    UDlbl->setToolTip(QStringLiteral("Double-click to open"));
    SetBold(UDlbl);
    UDlbl->installEventFilter(filter);
    // Reached with Tab and opened with Enter, as a double click does.
    UDlbl->setFocusPolicy(Qt::StrongFocus);
    UDlbl->setAccessibleDescription(QStringLiteral("Press Enter to open the folder"));
    ComPortlbl = AddRow(26, QStringLiteral("COM Port:"), QStringLiteral("COM port the meter is connected to"), QStringLiteral("ComPortlbl"));
    SigFigLbl = AddRow(46, QStringLiteral("Rounding:"), QStringLiteral("Rounding is currently the subject of experimentation"), QStringLiteral("SigFigLbl"));
    SigFigCaption_ = MakeLabel(this, QStringLiteral("SigFigCaption"), QStringLiteral("Significant Figures"), 140, 46);
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
    LayOut();
    hide();
    raise();
}

void AttributesPanel::LayOut() {
    const QFontMetrics fm(font());
    const int step = std::max(20, fm.height() + 6);
    int captionWidth = 0;
    for (const auto& [caption, value] : std::as_const(rows_)) captionWidth = std::max(captionWidth, caption->width());
    const int valueLeft = std::max(116, 14 + captionWidth + 8);
    int right = 580, bottom = 148;
    for (int r = 0; r < rows_.size(); ++r) {
        const auto& [caption, value] = rows_.at(r);
        caption->move(14, 6 + step * r);
        value->move(valueLeft, 6 + step * r);
        right = std::max(right, value->geometry().right() + 15);
        bottom = std::max(bottom, value->geometry().bottom() + 9);
    }
    SigFigCaption_->move(std::max(valueLeft + 24, SigFigLbl->geometry().right() + 9), SigFigLbl->y());
    right = std::max(right, SigFigCaption_->geometry().right() + 15);
    resize(right, bottom);
}

QLabel* AttributesPanel::AddRow(int top, const QString& caption, const QString& hint, const QString& objectName) {
    QLabel* cap = MakeLabel(this, objectName + QStringLiteral("Caption"), caption, 14, top);
    cap->setToolTip(hint);
    QLabel* value = MakeLabel(this, objectName, SessionFiles::NotYetSet(), 116, top);
    value->setToolTip(hint);
    rows_.append(qMakePair(cap, value));
    return value;
}

void AttributesPanel::Show(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
    if (auto* panel = qobject_cast<AttributesPanel*>(label->parentWidget())) panel->LayOut();
}

void AttributesPanel::ShowFiles(const SessionFiles& files) {
    const std::pair<QLabel*, QString> shown[] = {{MapFileNow, files.mapFile}, {DataFileNow, files.dataFile},
                                                 {ComPortlbl, files.comPort}, {EEPROMMapFile, files.lastWriteMap},
                                                 {EEPROMDataFile, files.lastWriteData}};
    for (const auto& [label, text] : shown)
        if (label->text() != text) Show(label, text);
}

} // namespace vorda
