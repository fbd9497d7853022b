#pragma once
// The series-commissioning station in the window: a profile picked or made,
// then one meter after another, each with its PASS or FAIL and the shift's
// tally. The station's work is plain code (SeriesStation, StationLookout);
// this dialog holds the controls and wires them to it.
#include "meter/MeterProtocol.h"
#include "station/SeriesStation.h"
#include "station/StationLookout.h"
#include "values/MeterSession.h"
#include "values/ScreenState.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QDoubleSpinBox;
class QEventLoop;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;
class QWidget;

namespace vorda {
class EquationEvaluator;
class MeterActivity;
class MeterEventSink;
class SerialLayer;
class SigFigRounder;
class UserInteraction;
struct DisplayUnitTables;

// What the station needs from the program.
struct StationDialogContext {
    UserInteraction& ui;
    SerialLayer& serial;
    MeterActivity& activity;
    const DisplayUnitTables& units;
    const EquationEvaluator& eval;
    const SigFigRounder& rounder;
    QString mapDir;          // where the meters' maps are found
    QString defaultReports;  // the report folder of a new profile
    QString userName;        // for the reports
    // Where the meter events go (the meter history), asked at each meter.
    std::function<MeterEventSink*()> events;
};

class SeriesStationDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kLookIntervalMs = 1000;

    explicit SeriesStationDialog(StationDialogContext context, QWidget* parent = nullptr);
    ~SeriesStationDialog() override;

    // ---- the profile ----
    void OpenProfileClick();
    void NewProfileClick();
    void SaveProfileClick();
    void GoldenBrowseClick();
    void ReportsBrowseClick();
    // The profile as the controls show it.
    StationProfile ProfileOnScreen() const;

    // ---- running ----
    // The technician asks for the attached meter.
    void CommissionClick();
    // Clears the last verdict and looks for the next meter at once.
    void NextMeterClick();
    // One look for a new meter, as the timer makes while the station is idle.
    void LookForMeter();
    bool Busy() const { return busy_; }
    // The station of the profile in use; null until one has served.
    const SeriesStation* Station() const { return station_.get(); }

    void reject() override;

signals:
    // The mA input has opened for the step ("as found", "as left").
    void MaRequested(const QString& step);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildProfileBox();
    QWidget* BuildStationBox();
    void ShowProfile(const StationProfile& profile, bool proposeKeep);
    // Fills the kept-parameter list from the golden file's map; false with
    // *error when the file or its map cannot be read.
    bool ListGoldenParameters(const QString& golden, const QStringList& keep, bool proposeKeep, QString* error);
    void ProfileEdited();
    void ShowTolerancePercent();
    // A station for the profile on screen, made anew after an edit; false
    // (and the reason shown) when it cannot serve.
    bool EnsureStation(bool byHand);
    void Look(bool byHand);
    void Commission(const ConnectOutcome& connect, const MeterMap& map);
    void ReleaseMeter(const ConnectOutcome& connect);
    std::optional<double> AskMa(const QString& step);
    void MaOkClick();
    void MaCancelClick();
    void ShowStatus(const QString& text);
    void ShowVerdict(const StationVerdict* verdict);
    void ShowTally();
    void UpdateButtons();

    StationDialogContext ctx_;
    std::unique_ptr<SeriesStation> station_;
    bool profileEdited_ = true;
    StationLookout lookout_;
    bool busy_ = false;

    // The meter being commissioned: its map, screen flags, session and line.
    LoadedMap map_;
    ScreenFlags flags_;
    std::unique_ptr<MeterSession> session_;
    MeterLinkState link_;
    std::unique_ptr<MeterProtocol> protocol_;

    // The open mA question.
    QEventLoop* maLoop_ = nullptr;
    bool maAnswered_ = false;
    std::optional<double> maAnswer_;

    QTimer* lookTimer_ = nullptr;

    // Controls.
    QPushButton* OpenProfilebtn = nullptr;
    QPushButton* NewProfilebtn = nullptr;
    QPushButton* SaveProfilebtn = nullptr;
    QLineEdit* GoldenEdt = nullptr;
    QPushButton* GoldenBrowsebtn = nullptr;
    QListWidget* KeepList = nullptr;
    QCheckBox* MaStepChk = nullptr;
    QDoubleSpinBox* ToleranceSpin = nullptr;
    QLabel* TolerancePercentlbl = nullptr;
    QLineEdit* ReportsEdt = nullptr;
    QPushButton* ReportsBrowsebtn = nullptr;
    QLabel* Statuslbl = nullptr;
    QLabel* Verdictlbl = nullptr;
    QLabel* Reasonlbl = nullptr;
    QWidget* MaPnl = nullptr;
    QLabel* MaPromptlbl = nullptr;
    QLineEdit* MaEdt = nullptr;
    QPushButton* MaOkbtn = nullptr;
    QPushButton* MaCancelbtn = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* Commissionbtn = nullptr;
    QPushButton* NextMeterbtn = nullptr;
    QCheckBox* AutoLookChk = nullptr;
    QTableWidget* TallyGrid = nullptr;
    QLabel* TallySumlbl = nullptr;
    QPushButton* Closebtn = nullptr;
};

} // namespace vorda
