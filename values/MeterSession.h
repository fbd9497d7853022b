#pragma once
// The meter session: what the program knows about the connected meter and
// the values on screen, held once, with the commands that change it. It has
// no widgets; the main window and vorda-cli both drive it, and turn its
// outcomes into their messages.
#include "values/Commissioning.h"
#include "values/MeterComparison.h"
#include "values/MeterEngine.h"
#include "values/MeterEvent.h"
#include "values/ParameterRow.h"
#include "values/ScreenState.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

namespace vorda {
class MeterProtocol;
class EquationEvaluator;
class SigFigRounder;
struct DisplayUnitTables;
struct UnitRow;

// The data check's verdict on the values of the rows.
enum class CheckVerdict {
    NotChecked, // no check since the program began
    Ok,         // the last check accepted every value
    NotOk,      // the last check refused a value, found none, or the values were cleared
    Stale,      // a value changed since the last check
};

// The files the session stands for, as the attributes panel shows them and
// the configuration keeps them.
struct SessionFiles {
    static QString NotYetSet() { return QStringLiteral("(not yet set)"); }
    QString mapFile;                  // map of the screen; empty when none was read whole
    QString dataFile;                 // data file loaded or saved last
    QString comPort = NotYetSet();    // last COM number tested
    QString lastWriteMap = NotYetSet();
    QString lastWriteData = NotYetSet();
    // The map used for the last meter write is not known (older configuration).
    bool LastWriteMapUnknown() const { return lastWriteMap == CommissioningRecord::UnknownValue(); }
};

// A write of the checked values with its read-back.
struct WriteResult {
    WriteOutcome written;
    bool readBackTried = false;     // the write ended without the failure limit
    VerifyOutcome back;
    QStringList differing;          // parameters that do not hold what was written
    // A register failed: how much of each parameter landed.
    QVector<WriteLanding> landings;
    bool ReadBackWhole() const { return readBackTried && back.Whole(); }
    bool Verified() const { return written.Whole() && ReadBackWhole() && differing.isEmpty(); }
};

// A comparison of the meter with the checked values.
struct VerifyResult {
    ReadOutcome read;
    QStringList differing;
    bool Compared() const { return read.Whole(); }
};

class MeterSession : public QObject {
    Q_OBJECT
public:
    // The map and the flags of the screen are the program's; the session
    // keeps them true to its rows.
    MeterSession(LoadedMap& map, ScreenFlags& flags, const DisplayUnitTables& units, const EquationEvaluator& eval,
                 const SigFigRounder& rounder, QObject* parent = nullptr);

    // ---- rows ----
    // One empty row per parameter of the loaded map.
    void ResetRows();
    int RowCount() const { return int(rows_.size()); }
    const ParameterRow& Row(int i) const { return rows_.at(i); }
    const QVector<ParameterRow>& Rows() const { return rows_; }
    QStringList MeterValues() const;
    QStringList AcceptedValues() const;
    QVector<EEValue> EEValues() const;
    // Some row shows a text.
    bool GotData() const;
    // Forgets every value; the verdict becomes NotOk.
    void ClearValues();
    // The current unit of a parameter's type; null (meter units) for a
    // parameter without a type or of a type the unit table does not have.
    const UnitRow* UnitOf(const DMap& param) const;
    // The meter unit's name of a parameter's type, as reports show it; empty
    // for a parameter without one.
    QString MeterUnitName(const DMap& param) const;
    // Derives row i's field and keeps it when it could be derived. A
    // multiplier that is no number throws UserError.
    FieldDesignResult DeriveDesign(int i);
    // A new connection on COM com to a meter with the map number mapNumber
    // begins an empty record under the loaded map; nothing of the meter's
    // values is known.
    void BeginConnection(int com, int mapNumber);
    const MeterConnection& Connection() const { return connection_; }

    // ---- events ----
    // The listener told of every whole read, write, verification, factory
    // reset and calibration; none when null.
    void SetEventSink(MeterEventSink* sink) { sink_ = sink; }
    MeterEventSink* EventSink() const { return sink_; }
    // The technician's reason for the next write, and the record it
    // restores (empty for none); both are cleared by the write.
    void SetWriteReason(const QString& reason) { reason_ = reason; }
    void SetRestoreOf(const QString& record) { restoredFrom_ = record; }
    // What the session knows the meter holds, by map index of the loaded map.
    QVector<EventValue> Known() const;
    // Reads the serial number when an event is to be told and it is not
    // known yet, so that the event names the meter it happened to.
    void IdentifyMeter(MeterProtocol& protocol);
    // The meter was told to take its factory settings; the next whole read
    // is told as the reset, with what it found. EndFactoryReset tells it
    // with unknown values when no whole read came.
    void BeginFactoryReset();
    void EndFactoryReset();
    // The mA output offset was calibrated and written.
    void Calibrated(const MaCalibration& calibration);

    // ---- values into rows ----
    // Shows a meter value read or loaded, with the registers it came with.
    void ShowValue(int i, const QString& meterValue, const QVector<int>& exactRegisters, ValueOrigin origin);
    // Puts a read on the rows as Read Parameters does.
    void ShowRead(const ReadOutcome& read);
    // The text of row i's box changed (by anyone); the verdict goes stale.
    void SetShown(int i, const QString& text);
    // The user typed into row i.
    void MarkTyped(int i);
    // Row i shows a value other than the meter's (as last read or written)
    // or the loaded file's.
    bool RowChanged(int i) const;

    // ---- meter commands ----
    // Reads the first count parameters into the rows; each value is on its
    // row (and RowShown emitted) by the time report.ParameterRead hears of
    // it. A whole read of every parameter goes into the record.
    ReadOutcome Read(MeterProtocol& protocol, MeterReport& report, int count);
    // Reads every parameter without touching the rows; a whole read goes
    // into the record.
    ReadOutcome ReadWhole(MeterProtocol& protocol, MeterReport& report);
    // The data check of the first count rows' texts. Unedited values keep
    // their exact meter values and registers. Sets the verdict unless the
    // check broke off.
    ValuesCheck Check(MeterReport& report, int count);
    CheckVerdict Verdict() const { return verdict_; }
    // Writes the registers of the last check to every parameter (to those
    // that `selected` names, when it is not empty), then reads them back. The
    // record and the rows' origins follow; a verified write makes the files
    // of the screen those of the last write.
    WriteResult Write(MeterProtocol& protocol, MeterReport& report, const QVector<bool>& selected = {});
    // Writes the selected parameters of a check of meter values (a
    // comparison's plan) and records it.
    WriteOutcome WriteSelected(MeterProtocol& protocol, const ValuesCheck& check, const QVector<bool>& selected,
                               MeterReport& report);
    // Reads the meter whole and compares it with the rows' checked values.
    VerifyResult Verify(MeterProtocol& protocol, MeterReport& report);
    // Reads the meter whole after WriteSelected and compares each selected
    // parameter with what was written (the others with `before`).
    VerifyResult VerifyWrite(MeterProtocol& protocol, MeterReport& report, const ValuesCheck& check,
                             const QVector<bool>& selected, const ReadOutcome& before);

    // ---- data files ----
    // Saves the rows' checked values under the loaded map.
    bool SaveDataFile(const QString& path, QString* error);
    // The values of a data file for the loaded map: by position when the
    // file was made for it, else by name and format (another map's values
    // belong to other registers).
    FileValues ValuesOfFile(const DataFileContent& content, bool sameMap) const;

    // ---- comparing the meter with a data file ----
    // The rows of the comparison dialog: the meter as read in `before`
    // against the file's values in display units. Rows start ticked only
    // where the file was made for this map.
    FileComparison CompareWithFile(const ReadOutcome& before, const FileValues& file, bool sameMap,
                                   bool makerAccess) const;
    // The data check of a ticked write: every value keeps its exact
    // registers, the file's where ticked and the meter's elsewhere.
    ValuesCheck CheckTickedWrite(const TickedWrite& plan, const ReadOutcome& before, const FileValues& file,
                                 MeterReport& report) const;

    CommissioningRecord& Record() { return record_; }
    const CommissioningRecord& Record() const { return record_; }
    SessionFiles& Files() { return files_; }
    const SessionFiles& Files() const { return files_; }

signals:
    // The session changed the text of row index.
    void RowShown(int index);
    // What the meter holds became known anew (a read, a write): any row may
    // have become changed or unchanged.
    void ChangesKnown();

private:
    void Show(int i, const QString& text);
    QVector<EventValue>& KnownOfMap();
    void KnowRead(const ReadOutcome& read);
    // The texts of the values a read found in the meter, for the rows.
    void KnowMeterTexts(const ReadOutcome& read);
    void KnowWrite(const QVector<EEValue>& values, const QStringList& meterValues, const QVector<bool>& selected,
                   const WriteOutcome& written, const VerifyOutcome* back, MeterEvent* event);
    void Tell(MeterEvent event);
    MeterEvent NewEvent(MeterEventKind kind, const QString& outcome) const;
    void TellRead(const ReadOutcome& read);
    void TellWrite(MeterEvent event);
    ReadOutcome ReadAll(MeterProtocol& protocol, MeterReport& report);

    LoadedMap& map_;
    ScreenFlags& flags_;
    const DisplayUnitTables& units_;
    const EquationEvaluator& eval_;
    const SigFigRounder& rounder_;
    QVector<ParameterRow> rows_;
    CheckVerdict verdict_ = CheckVerdict::NotChecked;
    CommissioningRecord record_;
    SessionFiles files_;
    MeterEventSink* sink_ = nullptr;
    MeterConnection connection_;
    QString knownMap_;              // the map known_ belongs to
    QVector<EventValue> known_;
    QString reason_;
    QString restoredFrom_;
    bool resetPending_ = false;
};

} // namespace vorda
