#include "SetDisplayUnitsUnt.h"

#include "units/UnitChoices.h"
#include "base/ProgramEnd.h"
#include "shell/Startup.h"
#include "windows/PaletteColours.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>

namespace vorda {

namespace {
constexpr int kDesignedWidth = 380;
constexpr int kDesignedHeight = 320;
} // namespace

TDisplayUnitsFrm::TDisplayUnitsFrm(DisplayUnitTables& tables, QList<UnitRow> savedUnits, Hooks hooks,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), tables_(tables), savedUnits_(std::move(savedUnits)), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("DisplayUnitsFrm"));
    setWindowTitle(QStringLiteral("Set Display Units"));
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(11);
    setFont(f);

    // Everything lies on one content widget, so that a dialog with more types
    // than fit grows and, beyond the screen, scrolls.
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName(QStringLiteral("UnitsScroll"));
    scroll_->setFrameShape(QFrame::NoFrame);
    content_ = new QWidget;
    content_->setObjectName(QStringLiteral("UnitsContent"));
    scroll_->setWidget(content_);

    SDUWarningLbl = new QLabel(QStringLiteral("Can change Display Units - no values are loaded in main data screen"), content_);
    SDUWarningLbl->setObjectName(QStringLiteral("SDUWarningLbl"));
    SDUWarningLbl->move(32, 8);
    TopCaption = new QLabel(QStringLiteral("Set required units from the dropdowns:"), content_);
    TopCaption->setObjectName(QStringLiteral("TopCaption"));
    TopCaption->move(96, 32);
    Closebtn = new QPushButton(QStringLiteral("Close"), content_);
    Closebtn->setObjectName(QStringLiteral("Closebtn"));
    Closebtn->setGeometry(284, 280, 75, 25);
    connect(Closebtn, &QPushButton::clicked, this, [this] { ClosebtnClick(); });
    move(0, 0);
    LayOut();
}

void TDisplayUnitsFrm::FormCreate(const QString& startDir, ProgramEnd& end) {
    QString error;
    if (!ReadDisplayDataFile(startDir, &tables_.DisplayData, &error))
        end.Terminate(DisplayDataFailureMessage(startDir, error));
    CreateControls();
}

bool TDisplayUnitsFrm::CreateControls() {
    TopCaption->move(100, 40);
    qDeleteAll(UnitCombos_);
    qDeleteAll(TypeLabels_);
    UnitCombos_.clear();
    TypeLabels_.clear();
    const QList<UnitChooser> choosers = BuildCurrentUnits(tables_.DisplayData, savedUnits_, &tables_.CurrentUnits);
    for (int k = 0; k < choosers.size(); ++k) {
        const UnitChooser& chooser = choosers.at(k);
        auto* box = new QComboBox(content_);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setObjectName(chooser.type);
        // Named by its quantity: the text it holds is the unit.
        box->setAccessibleName(chooser.type);
        box->lineEdit()->setAccessibleName(chooser.type);
        box->addItems(chooser.unitNames);
        box->setEditText(chooser.shownText);
        box->setCurrentIndex(int(chooser.unitNames.indexOf(chooser.shownText)));
        box->setEditText(chooser.shownText);
        connect(box, &QComboBox::currentTextChanged, this, [this, box] { CombosChanged(box); });
        auto* label = new QLabel(chooser.type, content_);
        label->setObjectName(QStringLiteral("TypeLabel%1").arg(k));
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        label->setBuddy(box);
        UnitCombos_ << box;
        TypeLabels_ << label;
    }
    LayOut();
    return true;
}

void TDisplayUnitsFrm::LayOut() {
    // The designed places, parted and widened as the font needs.
    const int boxHeight = UnitCombos_.isEmpty() ? 22 : std::max(22, UnitCombos_.first()->sizeHint().height());
    const int step = std::max(40, boxHeight + 18);
    int boxWidth = 160;
    for (const QComboBox* box : std::as_const(UnitCombos_)) boxWidth = std::max(boxWidth, box->sizeHint().width());
    for (int k = 0; k < UnitCombos_.size(); ++k) {
        UnitCombos_.at(k)->setGeometry(100, 80 + step * k, boxWidth, boxHeight);
        QLabel* label = TypeLabels_.at(k);
        label->adjustSize();
        label->move(100 + boxWidth + 15, 80 + step * k + (boxHeight - label->height()) / 2);
    }
    const QSize close = Closebtn->sizeHint().expandedTo(QSize(75, 25));
    Closebtn->resize(close);
    const int rowsBottom = 80 + step * int(UnitCombos_.size()) + 10;
    const int contentHeight = std::max(kDesignedHeight, rowsBottom + close.height() + 15);
    Closebtn->move(std::max(284, 100 + boxWidth - close.width()), contentHeight - close.height() - 15);
    // Wide enough for the warning, whatever the font makes of it.
    int contentWidth = std::max(kDesignedWidth, SDUWarningLbl->x() + SDUWarningLbl->sizeHint().width() + 16);
    for (const QLabel* label : std::as_const(TypeLabels_)) contentWidth = std::max(contentWidth, label->geometry().right() + 16);
    contentWidth = std::max(contentWidth, Closebtn->geometry().right() + 16);
    content_->resize(contentWidth, contentHeight);
    int height = contentHeight;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        height = std::min(height, std::max(kDesignedHeight, screen->availableGeometry().height() - 60));
    resize(contentWidth + (height < contentHeight ? 20 : 0), height);
    scroll_->setGeometry(0, 0, width(), height);
}

void TDisplayUnitsFrm::CombosChanged(QComboBox* box) {
    ApplyUnitChoice(tables_, box->objectName(), box->currentText());
    if (hooks_.SetDataRanges) hooks_.SetDataRanges();
}

void TDisplayUnitsFrm::ShowLocked(bool locked) {
    if (locked) {
        SDUWarningLbl->setText(QStringLiteral("Cannot change Display Units - values are loaded in main data screen\n"
                                              "Click Set Display Units on the main form to hide this"));
        SetMark(SDUWarningLbl, Mark::Refused);
        hide();
        setEnabled(false);
    } else {
        setEnabled(true);
        SDUWarningLbl->setText(QStringLiteral("Can change Display Units - no values are loaded in main data screen"));
        SetMark(SDUWarningLbl, Mark::Plain);
    }
    SDUWarningLbl->adjustSize();
    LayOut();
}

void TDisplayUnitsFrm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The rows scroll inside whatever size the user gives the window.
    scroll_->setGeometry(rect());
}

void TDisplayUnitsFrm::ClosebtnClick() { close(); }

void TDisplayUnitsFrm::closeEvent(QCloseEvent* event) {
    event->accept();
    FormClose();
}

void TDisplayUnitsFrm::FormClose() {
    if (hooks_.MeterConnected && hooks_.MeterConnected() && hooks_.ReadEEClick) hooks_.ReadEEClick();
}

} // namespace vorda
