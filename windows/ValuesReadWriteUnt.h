#pragma once
#include "shell/Startup.h"
#include "maps/DMap.h"
#include "meter/MeterActivity.h"
#include "windows/PICCore.h"
#include "units/DisplayData.h"
#include "values/Commissioning.h"
#include "values/MeterSession.h"
#include "values/ParameterFields.h"
#include "values/ScreenState.h"
#include "windows/AttributesPanel.h"
#include "windows/PaletteColours.h"
#include "windows/ParameterScreen.h"

#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QMenu;
class QPushButton;
class QScrollArea;
class QWidget;
class QProgressBar;

namespace vorda {
class ProgramEnd;
class ProgramHistory;
class SerialLayer;
class SigFigRounder;
class EquationEvaluator;
class TDisplayUnitsFrm;
class TMapMaker;
class TPICRWForm;
class SeriesStationDialog;
class UserInteraction;
struct PlatformPaths;
struct ReadOutcome;

// What the main window needs from the program: the seams and the owned state.
struct MainWindowContext {
    UserInteraction& ui;
    ProgramEnd& end;
    SerialLayer& serial;
    PlatformPaths paths;
    QStringList arguments; // command-line arguments, program name excluded
    StartupState& startup;
    MeterLinkState& link;
    LoadedMap& map;
    ScreenFlags& flags;
    DisplayUnitTables& units;
    // The meter history of the run; none when null.
    ProgramHistory* history = nullptr;
};

// The main window: connection, parameter screen, check, meter read and
// write, data files, configuration and closing. Its files are the
// ValuesReadWrite*.cpp of this folder; the meter work itself is plain code
// of the subsystems below.
class TValuesReadWrite : public QMainWindow {
    Q_OBJECT
public:
    explicit TValuesReadWrite(MainWindowContext context, QWidget* parent = nullptr);
    ~TValuesReadWrite() override;

    // The creation step: folders, switches, configuration, initial state.
    void FormCreate();
    // The other windows, once they exist.
    void AttachWindows(TDisplayUnitsFrm* units, TMapMaker* mapMaker, TPICRWForm* picrw, TPICCoreForm* core);

    // Runs a handler: an error that ends the command is shown in an error
    // box; a fatal error ends the program.
    void Guard(const std::function<void()>& handler);

    // ---- Meter link (ValuesReadWriteConnect, ValuesReadWriteMaintenance) ----
    int FindComPorts();
    // After a scan without a meter: names the ports other programs hold,
    // since a meter may be behind one of them.
    void ReportPortsInUse();
    void AutoMeter();
    void TestConnbtnClick();
    void mAConnectbtnClick();
    void EEPROMConnected(bool status);
    void EEPROMResetClick();
    // The meter's device went away during the command just ended: tells it
    // (unless the command did) and counts the meter as not connected.
    void MeterLost();
    void NewMeterbtnClick();
    void RestoreDefaults1Click();
    void OfffsetCalcBtnClick();
    void SetMapFileName();

    // ---- Maps on the main form (ValuesReadWriteMaps) ----
    // Reads a map file named as the user knows it: from folder when given,
    // else from the working folder.
    bool DReadMapFile(const QString& MapFileName, const QString& folder = QString());
    void ReadMapFileClick();
    void ReadTempMapFile(const QString& TempMapFile);

    // ---- Parameter screen, check, read and write, data files ----
    void CreateFields();
    void FormShow();
    void SetScreenOrder();
    int GetScreenOrder(int ParamOrder) const;
    void Cleardata();
    bool GotData() const;
    void SetDataOnScreen(bool IsIt);
    void ClearData1Click();
    void SetDisplayUnits1Click();
    void MOForAttrslblClick();
    void SetDataRanges();
    void CheckDataClick();
    void DataCheckResult(bool WasItOK);
    void ReadEEClick();
    // True when every register was written.
    bool WriteEEClick();
    void ReadDataClick();
    void ReadDataFile(const QString& FileName, const QString& MapFileName);
    void SaveAsDataClick();
    // Saves the commissioning report of this connection (ValuesReadWriteReport).
    void CommissioningReportClick();

    // ---- Commissioning (ValuesReadWriteCommission) ----
    // Compares the meter with a data file and writes the ticked parameters.
    void CompareDataClick();
    // Opens the series-commissioning station (ValuesReadWriteStation).
    void SeriesCommissioningClick();
    // Compares the meter with the values on the screen.
    void VerifyMeterClick();
    // The record of this connection for the commissioning report.
    const CommissioningRecord& Record() const { return session_->Record(); }

    // ---- Meter history (ValuesReadWriteHistory) ----
    // Lists the records of the connected meter, or of any meter.
    void MeterHistoryClick();
    // Brings the connected meter back to the values of a history record,
    // through the comparison and Write Ticked.
    void RestoreHistoryRecord(qint64 id);
    // A record could not be stored: told once the command has ended, or at
    // once outside a command.
    void TellHistoryProblem(const QString& line);

    // ---- Creation, settings files and closing (ValuesReadWriteShell) ----
    void ReadConfigFile();
    void WriteConfigFile();
    // Ends as a close that asks nothing and writes nothing: a connected
    // meter is signed off and the port closed. For a program ended by a
    // signal; does nothing after a close that went through.
    void EndWithoutQuestions();
    // Shows the register browser.
    void PICRW1Click();
    QString FormSettingsPath() const;
    // "VORDAConfig.txt" in the user directory.
    QString ConfigFilePath() const;
    void DirectorySelection1Click();
    void UDlblDblClick();
    // Opens the read-me of the user folder with the desktop (F1).
    void OpenReadMe();
    // The unit rows "VORDAConfig.txt" remembered, for the display units dialog.
    const QList<UnitRow>& SavedUnits() const { return SavedUnits_; }

    // ---- Access for the other windows and tests ----
    SigFigRounder& Rounder() { return *rounder_; }
    TPICCoreForm* Core() const { return core_; }
    // True while a meter command runs.
    bool MeterBusy() const { return activity_->Running(); }
    MeterActivity& Activity() { return *activity_; }
    QVector<QLineEdit*> ValueEdits() const { return screen_->Boxes(); }
    QVector<QLabel*> NameLabels() const { return screen_->Names(); }
    QVector<QLabel*> AttrLabels() const { return screen_->Attrs(); }
    QVector<QLabel*> NoteLabels() const { return screen_->Notes(); }
    const QVector<QLabel*>& HeaderLabels() const { return screen_->Headers(); }
    QStringList MeterValues() const { return session_->MeterValues(); }
    QStringList AcceptedValues() const { return session_->AcceptedValues(); }
    QVector<EEValue> EEValues() const { return session_->EEValues(); }
    // What the program knows about the meter and the values on screen.
    MeterSession& Session() { return *session_; }
    const QList<int>& ComPorts() const { return ComPorts_; }
    int FoundPortIndex() const { return FoundPortIndex_; }
    qint32 MeterMapNumber = -1;
    // The menu command toggles the display units dialog by this flag.
    bool DisplayUnitsShown = false;
    QString CurrentDataFile;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class WindowMeterReport;
    friend class CommissionReport;
    friend class ParametersReport;
    void BuildWindow();
    void BuildMenus();
    void BuildMaPanel();
    // Close handling; false when the close is cancelled.
    bool FormClose();
    // Writes the configuration as the window closes; a file that cannot be
    // written is reported and the user chooses whether to close all the same.
    // False when the window stays.
    bool WriteConfigAtClose();
    // Handshake and sign-off byte to a connected meter; false when the
    // handshake went unanswered.
    bool SignOffMeter();
    bool closed_ = false; // the port was closed by a close that went through
    void DataChanged(QLineEdit* box);
    void DataClickOrExit(QLineEdit* box);
    void SetBoxText(int index, const QString& text);
    void SetBoxColour(QLineEdit* box, Mark mark);
    // The changed marks as the session knows them; with "Changed only" the
    // rows shown follow.
    void ShowChanges();
    // Shows the rows the filter box and "Changed only" leave.
    void ApplyFilter();
    // Places the controls around the scrolling area, sized to their font.
    void LayOutWindow();
    // The size the window opens at before a saved placement applies.
    void FitFirstSize();
    // Shows the session's files in the attributes panel.
    void ShowFiles();
    // Builds the screen of a map just read by hand or for preview.
    void ShowLoadedMap(bool preview);
    void ScrollToTop();
    // Progress of a long command: done of total registers; total 0 hides it,
    // a negative total shows work without a count.
    // The bar follows when the windows next paint and at the end.
    void ShowProgress(int done, int total);
    void RefreshProgress();
    // Runs a user's command unless a meter command is still running.
    void RunCommand(const std::function<void()>& handler);
    void ClosePortsLeftOpen();
    // A new record for the connection just made with its map loaded.
    void BeginRecord();
    // Reads every parameter without touching the screen; false, after the
    // messages, when the meter could not be read whole.
    bool ReadWholeMeter(ReadOutcome* read);
    // Tells of a read that could not begin.
    void ReportUnanswered(const ReadOutcome& read);
    // The steps of Compare Meter With Data File: the file chosen and read,
    // the ticks chosen and checked, the write with its verification.
    struct CompareFile {
        QString name;
        bool sameMap = false;
        FileValues values;
        QString restoreOf;      // the history record restored, if any
        QString meterIdentity;  // the meter it must be written to, if any
    };
    bool LoadCompareFile(CompareFile* file);
    // The meter read whole and compared with the file; the ticked rows
    // written, read back and verified.
    void CompareAndWriteTicked(const CompareFile& file);
    // The identity of the connected meter after a whole read.
    QString ConnectedIdentity() const;
    // The commissioning record of this connection, from the history when it
    // holds every event of the connection.
    CommissioningRecord ReportRecord() const;
    bool ChooseTickedWrite(const FileComparison& comparison, const ReadOutcome& before, const FileValues& file,
                           TickedWrite* plan, ValuesCheck* check);
    void WriteTicked(const TickedWrite& plan, const ValuesCheck& check, const ReadOutcome& before,
                     const QString& fileName);
    // Puts a whole read on the screen as Read Parameters does.
    void ShowMeterRead(const ReadOutcome& read);
    void UpdateCommissionActions();
    void RestoreValuesWindowPlacement();

    MainWindowContext ctx_;
    std::unique_ptr<SigFigRounder> rounder_;
    std::unique_ptr<EquationEvaluator> evaluator_;
    TDisplayUnitsFrm* units_ = nullptr;
    TMapMaker* mapMaker_ = nullptr;
    TPICRWForm* picrw_ = nullptr;
    TPICCoreForm* core_ = nullptr;
    std::unique_ptr<MeterActivity> activity_;
    std::unique_ptr<MeterSession> session_;
    QString historyProblem_; // to be told when the command ends
    bool lossTold_ = false;  // the command told the user its meter went away
    int progressDone_ = 0;
    int progressTotal_ = 0;

    // Detection.
    QList<int> ComPorts_;
    int FoundPortIndex_ = -1;
    QList<int> PortsLeftOpen_;
    // The ports of the last scan that other programs hold, as texts.
    QStringList PortsInUse_;
    // The ports of the last scan this account may not open, as texts.
    QStringList PortsDenied_;

    // Screen.
    std::unique_ptr<ParameterScreen> screen_;
    QPointer<QLineEdit> CalcField;
    QString OldOffsetText;

    // Controls.
    QWidget* TopPanel = nullptr;
    QPushButton* TestConnbtn = nullptr;
    QPushButton* CheckData = nullptr;
    QLabel* CheckDataResult = nullptr;
    QLabel* Progress = nullptr;
    QPushButton* StopBtn = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QLabel* IsPreviewlbl = nullptr;
    QLabel* MOForAttrslbl = nullptr;
    QLineEdit* FilterEdt = nullptr;
    QCheckBox* ChangedOnlyChk = nullptr;
    QScrollArea* ScrollArea = nullptr;
    QWidget* ScrollContent = nullptr;
    AttributesPanel* AttrsPnl = nullptr;
    QWidget* BottomPanel = nullptr;
    QLabel* Version = nullptr;
    QLabel* WebLink = nullptr;
    QWidget* mAPnl = nullptr;
    QLineEdit* OldOffsetEdt = nullptr;
    QLineEdit* MetermAEdt = nullptr;
    QPushButton* OfffsetCalcBtn = nullptr;
    QPushButton* NewMeterbtn = nullptr;
    QPushButton* mAConnectbtn = nullptr;

    QMenu* DataMenu = nullptr;
    QMenu* EEPROM1 = nullptr;
    QMenu* MapFile1 = nullptr;
    QAction* DataMenuAction = nullptr;
    QAction* ReadData = nullptr;
    QAction* SaveAsData = nullptr;
    QAction* ClearData1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* ReadEE = nullptr;
    QAction* WriteEE = nullptr;
    QAction* PICRW1 = nullptr;
    QAction* Disconnect = nullptr;
    QAction* EEPROMReset = nullptr;
    QAction* RestoreDefaults1 = nullptr;
    QAction* MapFileMenuAction = nullptr;
    QAction* ReadMapFile = nullptr;
    QAction* MapFiles1 = nullptr;
    QAction* SetDisplayUnits1 = nullptr;
    QAction* DirectorySelection1 = nullptr;
    QAction* CompareData = nullptr;
    QAction* VerifyMeter = nullptr;
    QAction* CommissioningReport = nullptr;
    QAction* MeterHistoryItem = nullptr;
    QAction* SeriesCommissioning = nullptr;
    QPointer<SeriesStationDialog> station_;

    QList<UnitRow> SavedUnits_;
};

} // namespace vorda
