#include "windows/SeriesStationDialog.h"

#include "windows/AccessiblePanel.h"
#include "windows/PaletteColours.h"

#include "base/UserInteraction.h"
#include "base/Version.h"
#include "meter/MeterActivity.h"
#include "values/Commissioning.h"
#include "values/DataFile.h"
#include "values/MeterEngine.h"

#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QBoxLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>

namespace vorda {

namespace {

const QString kProfileFilter = QStringLiteral("Station profiles (*.vst)|*.vst|");
const QString kDataFilter = QStringLiteral("Meter parameter files (*.epf)|*.epf|");

// The verdict's colours: the window's own background tinted green or red,
// under the window's text colour, or black or white where that reads better.
QPair<QColor, QColor> VerdictColours(const QPalette& palette, bool pass) {
    const QColor background = Mix(palette.color(QPalette::Window), pass ? QColor(0, 170, 0) : QColor(220, 0, 0), 0.45);
    QColor text = palette.color(QPalette::WindowText);
    if (Contrast(text, background) < 4.5)
        text = Contrast(Qt::black, background) >= Contrast(Qt::white, background) ? QColor(Qt::black) : QColor(Qt::white);
    return {background, text};
}

// The session's side of the engine: progress on the dialog's bar; failures
// and refusals are told by the verdict.
class StationReport : public MeterReport {
public:
    explicit StationReport(QProgressBar* bar) : bar_(bar) {}
    void Progress(int done, int total) override {
        bar_->setMaximum(std::max(total, 1));
        bar_->setValue(done);
    }
    void RegisterFailed(MeterDirection, int, const DMap&, int) override {}
    void TooManyFailures(MeterDirection) override {}
    void InvalidValue(int, const DMap&, const QString&) override {}

private:
    QProgressBar* bar_;
};

bool SameProfile(const StationProfile& a, const StationProfile& b) {
    return a.golden == b.golden && a.keep == b.keep && a.keepProposed == b.keepProposed && a.maStep == b.maStep &&
           a.toleranceMa == b.toleranceMa && a.reports == b.reports;
}

QPushButton* MakeButton(const QString& name, const QString& text, const QString& accessible, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAccessibleName(accessible);
    b->setAutoDefault(false);
    return b;
}

} // namespace

SeriesStationDialog::SeriesStationDialog(StationDialogContext context, QWidget* parent)
    : QDialog(parent), ctx_(std::move(context)) {
    setObjectName(QStringLiteral("SeriesStation"));
    setWindowTitle(QStringLiteral("Series Commissioning"));
    session_ = std::make_unique<MeterSession>(map_, flags_, ctx_.units, ctx_.eval, ctx_.rounder);
    lookTimer_ = new QTimer(this);
    lookTimer_->setObjectName(QStringLiteral("LookTimer"));
    lookTimer_->setInterval(kLookIntervalMs);
    connect(lookTimer_, &QTimer::timeout, this, [this] { LookForMeter(); });
    BuildControls();
    StationProfile fresh;
    fresh.reports = ctx_.defaultReports;
    fresh.keepProposed = true;
    ShowProfile(fresh, true);
    ShowStatus(QStringLiteral("Choose the golden data file or open a profile"));
    ShowVerdict(nullptr);
}

SeriesStationDialog::~SeriesStationDialog() = default;

// ---------------------------------------------------------------- controls

void SeriesStationDialog::BuildControls() {
    auto* top = new QVBoxLayout(this);
    auto* inner = new AccessiblePanel(windowTitle(), this);
    auto* halves = new QBoxLayout(QBoxLayout::LeftToRight, inner);
    halves->setContentsMargins(0, 0, 0, 0);
    halves->addWidget(BuildProfileBox(), 2);
    halves->addWidget(BuildStationBox(), 3);
    // On a screen too narrow for the halves side by side (a large scale
    // factor), the profile stands above the station, the two scrolled.
    const QScreen* s = screen();
    if (s && halves->minimumSize().width() > s->availableGeometry().width() * 9 / 10) {
        halves->setDirection(QBoxLayout::TopToBottom);
        auto* scroll = new QScrollArea(this);
        scroll->setObjectName(QStringLiteral("StationScroll"));
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(inner);
        top->addWidget(scroll, 1);
    } else {
        top->addWidget(inner, 1);
    }
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    Closebtn = MakeButton(QStringLiteral("Closebtn"), QStringLiteral("C&lose"), QStringLiteral("Close the station"), this);
    connect(Closebtn, &QPushButton::clicked, this, [this] { reject(); });
    bottom->addWidget(Closebtn);
    top->addLayout(bottom);
    const int em = fontMetrics().averageCharWidth();
    // Sized by the font, and never beyond the screen (large scale factors).
    QSize wanted(130 * em, 44 * fontMetrics().height());
    if (s) wanted = wanted.boundedTo(s->availableGeometry().size() * 0.9);
    resize(wanted);
}

QWidget* SeriesStationDialog::BuildProfileBox() {
    auto* box = new QGroupBox(QStringLiteral("Profile"), this);
    box->setObjectName(QStringLiteral("ProfileBox"));
    auto* layout = new QVBoxLayout(box);

    auto* files = new QHBoxLayout;
    OpenProfilebtn = MakeButton(QStringLiteral("OpenProfile"), QStringLiteral("&Open Profile..."),
                                QStringLiteral("Open a station profile"), box);
    NewProfilebtn = MakeButton(QStringLiteral("NewProfile"), QStringLiteral("Ne&w Profile..."),
                               QStringLiteral("Make a new station profile"), box);
    SaveProfilebtn = MakeButton(QStringLiteral("SaveProfile"), QStringLiteral("&Save Profile..."),
                                QStringLiteral("Save the station profile"), box);
    connect(OpenProfilebtn, &QPushButton::clicked, this, [this] { OpenProfileClick(); });
    connect(NewProfilebtn, &QPushButton::clicked, this, [this] { NewProfileClick(); });
    connect(SaveProfilebtn, &QPushButton::clicked, this, [this] { SaveProfileClick(); });
    for (QPushButton* b : {OpenProfilebtn, NewProfilebtn, SaveProfilebtn}) files->addWidget(b);
    files->addStretch(1);
    layout->addLayout(files);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    auto* golden = new QHBoxLayout;
    GoldenEdt = new QLineEdit(box);
    GoldenEdt->setObjectName(QStringLiteral("GoldenEdt"));
    GoldenEdt->setAccessibleName(QStringLiteral("Golden data file"));
    GoldenEdt->setReadOnly(true);
    GoldenBrowsebtn = MakeButton(QStringLiteral("GoldenBrowse"), QStringLiteral("&Browse..."),
                                 QStringLiteral("Choose the golden data file"), box);
    connect(GoldenBrowsebtn, &QPushButton::clicked, this, [this] { GoldenBrowseClick(); });
    golden->addWidget(GoldenEdt, 1);
    golden->addWidget(GoldenBrowsebtn);
    auto* goldenLbl = new QLabel(QStringLiteral("&Golden data file:"), box);
    goldenLbl->setBuddy(GoldenBrowsebtn);
    form->addRow(goldenLbl, golden);

    KeepList = new QListWidget(box);
    KeepList->setObjectName(QStringLiteral("KeepList"));
    KeepList->setAccessibleName(QStringLiteral("Parameters each meter keeps"));
    KeepList->setToolTip(QStringLiteral("Ticked parameters are never copied from the golden file; read-only ones are always kept"));
    connect(KeepList, &QListWidget::itemChanged, this, [this] { ProfileEdited(); });
    auto* keepLbl = new QLabel(QStringLiteral("&Kept parameters:"), box);
    keepLbl->setBuddy(KeepList);
    form->addRow(keepLbl, KeepList);

    MaStepChk = new QCheckBox(QStringLiteral("&Calibrate the mA output"), box);
    MaStepChk->setObjectName(QStringLiteral("MaStepChk"));
    MaStepChk->setAccessibleName(QStringLiteral("Calibrate the mA output"));
    connect(MaStepChk, &QCheckBox::toggled, this, [this](bool on) {
        ToleranceSpin->setEnabled(on);
        ProfileEdited();
    });
    form->addRow(QString(), MaStepChk);

    auto* tolerance = new QHBoxLayout;
    ToleranceSpin = new QDoubleSpinBox(box);
    ToleranceSpin->setObjectName(QStringLiteral("ToleranceSpin"));
    ToleranceSpin->setAccessibleName(QStringLiteral("mA tolerance"));
    ToleranceSpin->setDecimals(3);
    ToleranceSpin->setRange(0.001, 16.0);
    ToleranceSpin->setSingleStep(0.001);
    ToleranceSpin->setSuffix(QStringLiteral(" mA"));
    TolerancePercentlbl = new QLabel(box);
    TolerancePercentlbl->setObjectName(QStringLiteral("TolerancePercentlbl"));
    TolerancePercentlbl->setAccessibleName(QStringLiteral("Tolerance in percent of the span"));
    connect(ToleranceSpin, &QDoubleSpinBox::valueChanged, this, [this] {
        ShowTolerancePercent();
        ProfileEdited();
    });
    tolerance->addWidget(ToleranceSpin);
    tolerance->addWidget(TolerancePercentlbl, 1);
    auto* toleranceLbl = new QLabel(QStringLiteral("&Tolerance (4 mA \u00B1):"), box);
    toleranceLbl->setBuddy(ToleranceSpin);
    form->addRow(toleranceLbl, tolerance);

    auto* reports = new QHBoxLayout;
    ReportsEdt = new QLineEdit(box);
    ReportsEdt->setObjectName(QStringLiteral("ReportsEdt"));
    ReportsEdt->setAccessibleName(QStringLiteral("Report folder"));
    connect(ReportsEdt, &QLineEdit::textEdited, this, [this] { ProfileEdited(); });
    ReportsBrowsebtn = MakeButton(QStringLiteral("ReportsBrowse"), QStringLiteral("B&rowse..."),
                                  QStringLiteral("Choose the report folder"), box);
    connect(ReportsBrowsebtn, &QPushButton::clicked, this, [this] { ReportsBrowseClick(); });
    reports->addWidget(ReportsEdt, 1);
    reports->addWidget(ReportsBrowsebtn);
    auto* reportsLbl = new QLabel(QStringLiteral("Re&port folder:"), box);
    reportsLbl->setBuddy(ReportsEdt);
    form->addRow(reportsLbl, reports);
    layout->addLayout(form, 1);
    return box;
}

QWidget* SeriesStationDialog::BuildStationBox() {
    auto* box = new QGroupBox(QStringLiteral("Station"), this);
    box->setObjectName(QStringLiteral("StationBox"));
    auto* layout = new QVBoxLayout(box);

    Statuslbl = new QLabel(box);
    Statuslbl->setObjectName(QStringLiteral("Statuslbl"));
    Statuslbl->setAccessibleName(QStringLiteral("Station status"));
    Statuslbl->setWordWrap(true);
    layout->addWidget(Statuslbl);

    Verdictlbl = new QLabel(box);
    Verdictlbl->setObjectName(QStringLiteral("Verdictlbl"));
    Verdictlbl->setAccessibleName(QStringLiteral("Verdict"));
    Verdictlbl->setAlignment(Qt::AlignCenter);
    Verdictlbl->setAutoFillBackground(true);
    QFont big = Verdictlbl->font();
    big.setPointSizeF(big.pointSizeF() * 3.5);
    big.setBold(true);
    Verdictlbl->setFont(big);
    Verdictlbl->setMinimumHeight(QFontMetrics(big).height() * 3 / 2);
    layout->addWidget(Verdictlbl);
    Reasonlbl = new QLabel(box);
    Reasonlbl->setObjectName(QStringLiteral("Reasonlbl"));
    Reasonlbl->setAccessibleName(QStringLiteral("Reason of the verdict"));
    Reasonlbl->setWordWrap(true);
    Reasonlbl->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(Reasonlbl);

    MaPnl = new AccessiblePanel(QStringLiteral("Measured mA output current"), box);
    MaPnl->setObjectName(QStringLiteral("MaPnl"));
    auto* ma = new QHBoxLayout(MaPnl);
    ma->setContentsMargins(0, 0, 0, 0);
    MaPromptlbl = new QLabel(MaPnl);
    MaPromptlbl->setObjectName(QStringLiteral("MaPromptlbl"));
    MaEdt = new QLineEdit(MaPnl);
    MaEdt->setObjectName(QStringLiteral("MaEdt"));
    MaEdt->setAccessibleName(QStringLiteral("Measured mA output current"));
    MaEdt->setMinimumWidth(MaEdt->fontMetrics().horizontalAdvance(QStringLiteral("00.0000")) * 2);
    MaPromptlbl->setBuddy(MaEdt);
    MaOkbtn = MakeButton(QStringLiteral("MaOk"), QStringLiteral("OK"), QStringLiteral("Take the measured current"), MaPnl);
    MaCancelbtn = MakeButton(QStringLiteral("MaCancel"), QStringLiteral("Cancel"),
                             QStringLiteral("No measurement of the current"), MaPnl);
    connect(MaOkbtn, &QPushButton::clicked, this, [this] { MaOkClick(); });
    connect(MaCancelbtn, &QPushButton::clicked, this, [this] { MaCancelClick(); });
    ma->addWidget(MaPromptlbl);
    ma->addWidget(MaEdt, 1);
    ma->addWidget(MaOkbtn);
    ma->addWidget(MaCancelbtn);
    MaPnl->hide();
    layout->addWidget(MaPnl);

    ProgressBar = new QProgressBar(box);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setAccessibleName(QStringLiteral("Progress of the meter"));
    ProgressBar->setTextVisible(false);
    ProgressBar->setValue(0);
    layout->addWidget(ProgressBar);

    auto* run = new QHBoxLayout;
    Commissionbtn = MakeButton(QStringLiteral("Commissionbtn"), QStringLiteral("Co&mmission Meter"),
                               QStringLiteral("Commission the attached meter"), box);
    Commissionbtn->setAutoDefault(true);
    Commissionbtn->setDefault(true);
    NextMeterbtn = MakeButton(QStringLiteral("NextMeterbtn"), QStringLiteral("&Next Meter"),
                              QStringLiteral("Clear the verdict and look for the next meter"), box);
    AutoLookChk = new QCheckBox(QStringLiteral("&Find meters by itself"), box);
    AutoLookChk->setObjectName(QStringLiteral("AutoLookChk"));
    AutoLookChk->setAccessibleName(QStringLiteral("Look for a new meter every second"));
    AutoLookChk->setChecked(true);
    connect(Commissionbtn, &QPushButton::clicked, this, [this] { CommissionClick(); });
    connect(NextMeterbtn, &QPushButton::clicked, this, [this] { NextMeterClick(); });
    connect(AutoLookChk, &QCheckBox::toggled, this, [this](bool on) {
        if (on && isVisible()) lookTimer_->start();
        else lookTimer_->stop();
        if (!on && !busy_) ShowStatus(QStringLiteral("Attach a meter and press Commission Meter"));
    });
    run->addWidget(Commissionbtn);
    run->addWidget(NextMeterbtn);
    run->addWidget(AutoLookChk);
    run->addStretch(1);
    layout->addLayout(run);

    TallyGrid = new QTableWidget(0, 3, box);
    TallyGrid->setObjectName(QStringLiteral("TallyGrid"));
    TallyGrid->setAccessibleName(QStringLiteral("Tally of the shift"));
    TallyGrid->setHorizontalHeaderLabels({QStringLiteral("Serial"), QStringLiteral("Result"), QStringLiteral("Reason")});
    TallyGrid->horizontalHeader()->setStretchLastSection(true);
    TallyGrid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    TallyGrid->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    TallyGrid->verticalHeader()->hide();
    TallyGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TallyGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    TallyGrid->setWordWrap(false);
    layout->addWidget(TallyGrid, 1);
    TallySumlbl = new QLabel(box);
    TallySumlbl->setObjectName(QStringLiteral("TallySumlbl"));
    TallySumlbl->setAccessibleName(QStringLiteral("Passed and failed in the shift"));
    TallySumlbl->setWordWrap(true);
    layout->addWidget(TallySumlbl);
    ShowTally();
    return box;
}

// ---------------------------------------------------------------- profile

void SeriesStationDialog::ShowProfile(const StationProfile& profile, bool proposeKeep) {
    const QSignalBlocker b1(KeepList), b2(MaStepChk), b3(ToleranceSpin);
    GoldenEdt->setText(QDir::toNativeSeparators(profile.golden));
    MaStepChk->setChecked(profile.maStep);
    ToleranceSpin->setEnabled(profile.maStep);
    ToleranceSpin->setValue(profile.toleranceMa);
    ShowTolerancePercent();
    ReportsEdt->setText(QDir::toNativeSeparators(profile.reports));
    KeepList->clear();
    QString error;
    if (!profile.golden.isEmpty() && !ListGoldenParameters(profile.golden, profile.keep, proposeKeep, &error))
        ctx_.ui.ShowMessage(error);
    ProfileEdited();
}

bool SeriesStationDialog::ListGoldenParameters(const QString& golden, const QStringList& keep, bool proposeKeep,
                                               QString* error) {
    const QSignalBlocker block(KeepList);
    KeepList->clear();
    DataFileContent content;
    QString why;
    if (!LoadDataFile(golden, &content, &why)) {
        *error = golden + QStringLiteral(": ") + why;
        return false;
    }
    const MeterMap map = LoadMapFile(ctx_.mapDir, content.mapFileName);
    if (!map.ok) {
        *error = QStringLiteral("The golden file %1 is for the map %2: %3").arg(golden, content.mapFileName, map.error);
        return false;
    }
    const QStringList ticked = proposeKeep ? ProposedKeep(map.params) : keep;
    const QVector<bool> kept = KeptParameters(map.params, ticked);
    for (int i = 0; i < map.params.size(); ++i) {
        const DMap& p = map.params.at(i);
        auto* item = new QListWidgetItem(p.Parameter, KeepList);
        const bool readOnly = p.Access == QLatin1String("R");
        item->setFlags(readOnly ? Qt::ItemIsSelectable : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(kept.at(i) ? Qt::Checked : Qt::Unchecked);
        if (readOnly) item->setToolTip(QStringLiteral("Read-only: always kept"));
    }
    return true;
}

StationProfile SeriesStationDialog::ProfileOnScreen() const {
    StationProfile p;
    p.golden = QDir::fromNativeSeparators(GoldenEdt->text().trimmed());
    for (int i = 0; i < KeepList->count(); ++i) {
        const QListWidgetItem* item = KeepList->item(i);
        if ((item->flags() & Qt::ItemIsUserCheckable) && item->checkState() == Qt::Checked) p.keep << item->text();
    }
    // Without the golden map's list, each meter keeps what its map proposes.
    p.keepProposed = KeepList->count() == 0;
    p.maStep = MaStepChk->isChecked();
    p.toleranceMa = ToleranceSpin->value();
    const QString reports = QDir::fromNativeSeparators(ReportsEdt->text().trimmed());
    p.reports = reports.isEmpty() ? QString() : QDir::cleanPath(QDir(ctx_.mapDir).absoluteFilePath(reports));
    return p;
}

void SeriesStationDialog::ProfileEdited() { profileEdited_ = true; }

void SeriesStationDialog::ShowTolerancePercent() {
    StationProfile p;
    p.toleranceMa = ToleranceSpin->value();
    TolerancePercentlbl->setText(QStringLiteral("= %1 % of the 16 mA span").arg(QLocale().toString(p.TolerancePercent(), 'f', 3)));
}

void SeriesStationDialog::OpenProfileClick() {
    if (busy_) return;
    const QString chosen = ctx_.ui.OpenFileName(ctx_.mapDir, kProfileFilter);
    if (chosen.isEmpty()) return;
    StationProfile profile;
    QString error;
    if (!StationProfile::Load(QFileInfo(chosen).absoluteFilePath(), &profile, &error)) {
        ctx_.ui.ShowMessage(error);
        return;
    }
    if (profile.reports.isEmpty()) profile.reports = ctx_.defaultReports;
    ShowProfile(profile, profile.keepProposed);
    ShowStatus(QStringLiteral("Profile %1 opened").arg(QDir::toNativeSeparators(chosen)));
}

void SeriesStationDialog::NewProfileClick() {
    if (busy_) return;
    StationProfile fresh;
    fresh.reports = ctx_.defaultReports;
    fresh.keepProposed = true;
    ShowProfile(fresh, true);
    GoldenBrowseClick();
}

void SeriesStationDialog::GoldenBrowseClick() {
    if (busy_) return;
    const QString start = GoldenEdt->text().isEmpty() ? ctx_.mapDir : QFileInfo(ProfileOnScreen().golden).absolutePath();
    const QString chosen = ctx_.ui.OpenFileName(start, kDataFilter);
    if (chosen.isEmpty()) return;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    QString error;
    // A golden file of another map proposes that map's own kept parameters.
    if (!ListGoldenParameters(path, {}, true, &error)) {
        ctx_.ui.ShowMessage(error);
        return;
    }
    GoldenEdt->setText(QDir::toNativeSeparators(path));
    ProfileEdited();
}

void SeriesStationDialog::ReportsBrowseClick() {
    if (busy_) return;
    const QString chosen = ctx_.ui.ChooseFolder(QStringLiteral("Report folder"), ProfileOnScreen().reports);
    if (chosen.isEmpty()) return;
    ReportsEdt->setText(QDir::toNativeSeparators(chosen));
    ProfileEdited();
}

void SeriesStationDialog::SaveProfileClick() {
    if (busy_) return;
    const StationProfile p = ProfileOnScreen();
    if (p.golden.isEmpty()) {
        ctx_.ui.ShowMessage(QStringLiteral("Choose the golden data file before saving the profile"));
        return;
    }
    const QString chosen = ctx_.ui.SaveFileName(QStringLiteral("Save Station Profile"), ctx_.mapDir, kProfileFilter,
                                                QStringLiteral("vst"));
    if (chosen.isEmpty()) return;
    QString path = QFileInfo(chosen).absoluteFilePath();
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".vst");
    QString error;
    if (!p.Save(path, &error)) {
        ctx_.ui.ShowMessage(QStringLiteral("The profile could not be saved: ") + error);
        return;
    }
    ShowStatus(QStringLiteral("Profile saved as %1").arg(QDir::toNativeSeparators(path)));
}

// ---------------------------------------------------------------- running

bool SeriesStationDialog::EnsureStation(bool byHand) {
    const StationProfile p = ProfileOnScreen();
    if (station_ && !profileEdited_) return true;
    if (station_ && SameProfile(station_->Profile(), p)) {
        profileEdited_ = false;
        return true;
    }
    auto refuse = [&](const QString& why) {
        ShowStatus(why);
        if (byHand) ctx_.ui.ShowMessage(why);
        return false;
    };
    if (p.golden.isEmpty()) return refuse(QStringLiteral("Choose the golden data file or open a profile"));
    if (p.reports.isEmpty()) return refuse(QStringLiteral("Choose the report folder"));
    auto next = std::make_unique<SeriesStation>(p, ctx_.eval, ctx_.rounder);
    QString error;
    if (!next->Prepare(ctx_.mapDir, &error)) return refuse(QStringLiteral("The profile cannot serve: ") + error);
    // Another profile starts another shift: the tally so far has been saved.
    station_ = std::move(next);
    profileEdited_ = false;
    lookout_ = StationLookout();
    ShowTally();
    return true;
}

void SeriesStationDialog::CommissionClick() { Look(true); }

void SeriesStationDialog::NextMeterClick() {
    if (busy_) return;
    ShowVerdict(nullptr);
    Look(false);
}

void SeriesStationDialog::LookForMeter() {
    if (!AutoLookChk->isChecked()) return;
    Look(false);
}

void SeriesStationDialog::Look(bool byHand) {
    if (busy_) return;
    busy_ = true;
    UpdateButtons();
    const auto idle = qScopeGuard([this] {
        busy_ = false;
        UpdateButtons();
    });
    if (!EnsureStation(byHand)) return;
    // A look by hand is meter work the technician waits for.
    std::optional<MeterActivity::Scope> handBusy;
    if (byHand) handBusy.emplace(ctx_.activity);
    link_ = MeterLinkState();
    protocol_ = std::make_unique<MeterProtocol>(ctx_.serial, link_);
    AttachedMeter attached;
    attached.connect = ConnectOneMeter(*protocol_, 0);
    MeterMap map;
    if (attached.connect.status == ConnectStatus::Connected && attached.connect.mapNumber >= 0) {
        map = LoadMeterMap(ctx_.mapDir, attached.connect.mapNumber);
        attached.mapOk = map.ok;
        attached.mapFile = map.fileName.isEmpty() ? MeterMapFileName(attached.connect.mapNumber) : map.fileName;
        attached.mapError = map.error;
        if (map.ok) attached.serial = ReadSerialAlone(*protocol_, map.params);
    }
    const LookDecision decision = lookout_.Judge(attached, station_->Tally(), byHand);
    ShowStatus(decision.status);
    if (decision.step == LookStep::Wait) {
        ReleaseMeter(attached.connect);
        if (byHand) ctx_.ui.ShowMessage(decision.status);
        return;
    }
    if (decision.step == LookStep::AskRepeat && !ctx_.ui.AskYesNo(RepeatQuestion(attached.serial))) {
        lookout_.Handled(attached.serial);
        ReleaseMeter(attached.connect);
        ShowStatus(QStringLiteral("Meter %1 skipped: attach the next one").arg(attached.serial));
        return;
    }
    Commission(attached.connect, map);
}

void SeriesStationDialog::Commission(const ConnectOutcome& connect, const MeterMap& map) {
    const MeterActivity::Scope busy(ctx_.activity);
    const auto release = qScopeGuard([&] { ReleaseMeter(connect); });
    ShowVerdict(nullptr);
    ShowStatus(QStringLiteral("Commissioning the meter on COM%1...").arg(connect.com));
    map_.MapParams = map.params;
    map_.MapHeaders = map.headers;
    map_.CurrentMapFile = map.fileName;
    map_.MapLoaded = true;
    session_->ResetRows();
    session_->SetEventSink(ctx_.events ? ctx_.events() : nullptr);
    session_->BeginConnection(connect.com, connect.mapNumber);
    StationReport report(ProgressBar);
    const ReportHeader header{QString::fromLatin1(kVersionText), QDateTime::currentDateTime(), ctx_.userName};
    const StationVerdict v = station_->Commission(
        *session_, *protocol_, report, [this](const QString& step) { return AskMa(step); }, header,
        SaveCommissioningReport);
    ProgressBar->setValue(0);
    lookout_.Handled(v.serial == QLatin1String("unidentified") ? QString() : v.serial);
    ShowVerdict(&v);
    ShowTally();
    QString error;
    if (!station_->SaveTally(&error)) {
        ShowStatus(QStringLiteral("The tally could not be saved: ") + error);
        ctx_.ui.ShowMessage(QStringLiteral("The tally could not be saved: ") + error);
        return;
    }
    ShowStatus(QStringLiteral("Meter %1 done: attach the next one").arg(v.serial));
}

void SeriesStationDialog::ReleaseMeter(const ConnectOutcome& connect) {
    if (protocol_ && connect.status == ConnectStatus::Connected) protocol_->DisconnectPort(connect.com - 1);
    link_.MeterConnected = false;
}

std::optional<double> SeriesStationDialog::AskMa(const QString& step) {
    MaPromptlbl->setText(QStringLiteral("Measured output current, %1 (mA):").arg(step));
    ProgressBar->setValue(0);
    MaEdt->clear();
    MaPnl->show();
    MaOkbtn->setDefault(true);
    MaEdt->setFocus();
    maAnswered_ = false;
    maAnswer_.reset();
    // The technician answers in the panel while the command waits; the
    // meter line stays as it is.
    const auto close = qScopeGuard([this] {
        MaPnl->hide();
        MaOkbtn->setDefault(false);
        Commissionbtn->setDefault(true);
    });
    emit MaRequested(step);
    if (!maAnswered_) {
        QEventLoop loop;
        maLoop_ = &loop;
        loop.exec();
        maLoop_ = nullptr;
    }
    // A loop ended otherwise (the program ends) is no measurement.
    return maAnswered_ ? maAnswer_ : std::nullopt;
}

void SeriesStationDialog::MaOkClick() {
    if (!MaPnl->isVisible() && !maLoop_) return;
    bool ok = false;
    const double value = QLocale().toDouble(MaEdt->text().trimmed(), &ok);
    if (!ok || value < 0.0 || value > 30.0) {
        ctx_.ui.ShowMessage(QStringLiteral("Type the measured output current in mA, such as %1")
                                .arg(QLocale().toString(4.01, 'f', 2)));
        MaEdt->setFocus();
        MaEdt->selectAll();
        return;
    }
    maAnswer_ = value;
    maAnswered_ = true;
    if (maLoop_) maLoop_->quit();
}

void SeriesStationDialog::MaCancelClick() {
    maAnswer_.reset();
    maAnswered_ = true;
    if (maLoop_) maLoop_->quit();
}

void SeriesStationDialog::reject() {
    // Escape during the mA question means no measurement; the station
    // closes only when idle.
    if (maLoop_) {
        MaCancelClick();
        return;
    }
    if (busy_) return;
    QDialog::reject();
}

void SeriesStationDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (AutoLookChk->isChecked()) lookTimer_->start();
}

void SeriesStationDialog::hideEvent(QHideEvent* event) {
    lookTimer_->stop();
    QDialog::hideEvent(event);
}

// ---------------------------------------------------------------- display

void SeriesStationDialog::ShowStatus(const QString& text) { Statuslbl->setText(text); }

void SeriesStationDialog::ShowVerdict(const StationVerdict* v) {
    if (!v) {
        Verdictlbl->setText(QString());
        Verdictlbl->setPalette(palette());
        Verdictlbl->setAccessibleDescription(QString());
        Reasonlbl->clear();
        return;
    }
    Verdictlbl->setText(v->pass ? QStringLiteral("PASS") : QStringLiteral("FAIL"));
    const auto [background, text] = VerdictColours(palette(), v->pass);
    QPalette p = palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, text);
    Verdictlbl->setPalette(p);
    Verdictlbl->setAccessibleDescription(v->reason);
    Reasonlbl->setText(QStringLiteral("Meter %1: %2").arg(v->serial, v->reason));
}

void SeriesStationDialog::ShowTally() {
    TallyGrid->setRowCount(0);
    if (!station_) {
        TallySumlbl->setText(QStringLiteral("No meter yet in this shift"));
        return;
    }
    const StationTally& tally = station_->Tally();
    TallyGrid->setRowCount(int(tally.meters.size()));
    for (int r = 0; r < tally.meters.size(); ++r) {
        const StationVerdict& v = tally.meters.at(r);
        const QStringList cells{v.serial, v.pass ? QStringLiteral("PASS") : QStringLiteral("FAIL"), v.reason};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells.at(c));
            item->setToolTip(cells.at(c));
            TallyGrid->setItem(r, c, item);
        }
    }
    if (!tally.meters.isEmpty()) TallyGrid->scrollToBottom();
    QString text = QStringLiteral("Passed %1, failed %2").arg(tally.Passed()).arg(tally.Failed());
    if (!tally.meters.isEmpty()) text += QStringLiteral(" \u2014 tally: ") + QDir::toNativeSeparators(station_->TallyPath());
    TallySumlbl->setText(text);
}

void SeriesStationDialog::UpdateButtons() {
    for (QWidget* w : std::initializer_list<QWidget*>{OpenProfilebtn, NewProfilebtn, SaveProfilebtn, GoldenBrowsebtn,
                                                      ReportsBrowsebtn, KeepList, MaStepChk, ToleranceSpin, ReportsEdt,
                                                      Commissionbtn, NextMeterbtn, Closebtn})
        w->setEnabled(!busy_ && (w != ToleranceSpin || MaStepChk->isChecked()));
}

} // namespace vorda
