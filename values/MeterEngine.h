#pragma once
// The meter work of the program as plain code: the meter's own map, reading
// every parameter, the data check and encoding of a set of meter values,
// writing, reading back, and data files. The main window and vorda-cli both
// call it; it tells them what happens through a MeterReport as it happens.
#include "maps/DMap.h"
#include "values/DataCheck.h"
#include "values/DataFile.h"
#include "values/ParameterFields.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace vorda {
class MeterProtocol;
class EquationEvaluator;
class SigFigRounder;

enum class MeterDirection { Read, Write };

// The texts the program shows for the engine's failures.
// "Meter read failure: value " + offset + " in parameter " + name (or write)
QString RegisterFailureText(MeterDirection direction, const DMap& param, int offset);
// "Too many read failures - connection lost?..." (or write)
QString TooManyFailuresText(MeterDirection direction);
// "Meter connection failure\n\rSave data and restart everything!"
QString ConnectionFailureText();
// What a command says when the meter's device went away during it.
QString DisconnectedText(int comNumber);

// Told by the engine while it works; every call comes at the moment the
// event happens. The defaults ignore what a front end does not show.
class MeterReport {
public:
    virtual ~MeterReport() = default;
    // The handshake was answered; the register exchanges begin.
    virtual void Started() {}
    // done of total register exchanges of the command.
    virtual void Progress(int /*done*/, int /*total*/) {}
    // A register exchange failed; offset is the register's place in its
    // parameter, counted from 0.
    virtual void RegisterFailed(MeterDirection direction, int /*index*/, const DMap& param, int offset) = 0;
    // The fourth failure ended the command.
    virtual void TooManyFailures(MeterDirection direction) = 0;
    // Parameter index has been read; meterValue is its text (complete false
    // when a register of it failed).
    virtual void ParameterRead(int /*index*/, const QString& /*meterValue*/, bool /*complete*/) {}
    // Every register of parameter index has been sent.
    virtual void ParameterWritten(int /*index*/) {}
    // The data check has checked the value of parameter index.
    virtual void ValueChecked(int /*index*/, const ParamCheck& /*check*/) {}
    // The data check refuses the value of parameter index.
    virtual void InvalidValue(int /*index*/, const DMap& param, const QString& reason) = 0;
    // Asked between two register exchanges: true ends the command there (the
    // user pressed Stop).
    virtual bool StopRequested() { return false; }
};

// A report that tells nothing: for exchanges whose failures the caller
// judges from the outcome alone.
class SilentReport : public MeterReport {
public:
    void RegisterFailed(MeterDirection, int, const DMap&, int) override {}
    void TooManyFailures(MeterDirection) override {}
    void InvalidValue(int, const DMap&, const QString&) override {}
};

// ----- the meter's own map ---------------------------------------------

// "ZUVMap" + n + ".Map"; 255 (map number not set in the meter) gives 0.
int EffectiveMapNumber(int mapNumber);
QString MeterMapFileName(int mapNumber);

struct MeterMap {
    bool ok = false;
    QString error;        // why the map could not be used
    QString fileName;     // the name it is known by (line 1 of data files)
    QString path;         // the file found
    QList<DMap> params;
    QList<MapHeader> headers;
};

// Reads the map fileName from folder dir, the name matched without regard
// to letter case. A map that cannot be opened or read whole is not ok.
MeterMap LoadMapFile(const QString& dir, const QString& fileName);
// The map the meter reports (register 200) from dir.
MeterMap LoadMeterMap(const QString& dir, int mapNumber);

// ----- reading and writing ----------------------------------------------

inline constexpr int kFailureLimit = 3; // a command ends at the failure after this many

struct ReadOutcome {
    bool handshakeOk = false;
    bool aborted = false;            // ended by the failure limit, a lost device or Stop
    bool disconnected = false;       // the meter's device went away
    bool stopped = false;            // the user stopped it
    int failures = 0;
    QVector<QVector<int>> bytes;     // per parameter read, -1 for a failed register
    QStringList meterValues;         // per parameter read, DecodeRead of its bytes
    QVector<bool> complete;          // per parameter read, every register read
    // Every register of every parameter was read.
    bool Whole() const { return handshakeOk && !aborted && failures == 0; }
};

// One handshake, then every register of every parameter (the range the map
// gives, EndReg - Startreg + 1), in map order. A failed register is reported
// and counted; the read goes on until the fourth failure ends it.
ReadOutcome ReadParameters(MeterProtocol& protocol, const QList<DMap>& params, MeterReport& report);

struct WriteOutcome {
    bool handshakeOk = false;
    bool aborted = false;
    bool disconnected = false; // the meter's device went away
    bool stopped = false;      // the user stopped it
    int failures = 0;
    int registersSent = 0;          // exchanges attempted
    int registersAcknowledged = 0;  // exchanges the meter echoed
    // Per parameter of values: per register, true once the meter echoed it
    // (empty for a parameter not selected or not reached).
    QVector<QVector<bool>> acknowledged;
    bool Whole() const { return handshakeOk && !aborted && failures == 0; }
};

// One handshake, then every register of values[i] for each parameter i
// that `selected` names (all when it is empty), in map order and register
// order. Failures as for the read.
WriteOutcome WriteParameters(MeterProtocol& protocol, const QList<DMap>& params, const QVector<EEValue>& values,
                             const QVector<bool>& selected, MeterReport& report);

// A register that does not hold what was written.
struct RegisterMismatch {
    int index = 0;     // parameter
    int offset = 0;    // register's place in the parameter
    int reg = 0;
    int expected = 0;
    int actual = 0;
};

struct VerifyOutcome {
    bool handshakeOk = false;
    bool aborted = false;
    bool disconnected = false; // the meter's device went away
    bool stopped = false;      // the user stopped it
    int failures = 0;
    QList<RegisterMismatch> mismatches;
    // Per parameter of values: the bytes read back, -1 for a failed read
    // (empty for a parameter not selected or not reached).
    QVector<QVector<int>> bytes;
    bool Whole() const { return handshakeOk && !aborted && failures == 0; }
};

// Reads back every register that WriteParameters sends for the same
// arguments and compares it with the byte written. Failures are read
// failures.
VerifyOutcome VerifyParameters(MeterProtocol& protocol, const QList<DMap>& params, const QVector<EEValue>& values,
                               const QVector<bool>& selected, MeterReport& report);

// Register bytes as two hex digits each, separated by blanks ("41 09 42"):
// how a difference is shown that a value's text cannot show.
QString RegistersText(const QVector<int>& bytes);

// How much of a parameter a write put into the meter.
enum class WriteLanding { Skipped, Whole, Partly, None };

// Per parameter of values: Skipped when it was not to be written (not
// selected, or no registers), else whether all, some or none of its
// registers landed. A register landed when the meter echoed it or, with a
// read-back, when the meter holds the byte written: a lost echo of a
// register that arrived does not count it as failed.
// *registersLanded, when given, counts the registers that landed.
QVector<WriteLanding> WriteLandings(const QVector<EEValue>& values, const QVector<bool>& selected,
                                    const WriteOutcome& written, const VerifyOutcome* readBack,
                                    int* registersLanded = nullptr);
// The names of the parameters with the given landing, in map order.
QStringList LandedNames(const QList<DMap>& params, const QVector<WriteLanding>& landings, WriteLanding which);
// "What the meter received:\n\rwritten whole: A, B\n\rwritten partly: C\n\r
// not written: D" ("none" for an empty group): told after a write that
// did not complete, so that the user knows what the meter may now hold.
QString WriteLandingText(const QList<DMap>& params, const QVector<WriteLanding>& landings);
// What a write that ended early says: that the meter's device went away
// (on COM comNumber) or that the user stopped it, then WriteLandingText.
QString WriteEndText(const WriteOutcome& written, int comNumber, const QList<DMap>& params,
                     const QVector<WriteLanding>& landings);
// "Read Parameters stopped: read of total parameters read; ...".
QString ReadStoppedText(int read, int total);

// The parameters whose registers in `values` differ from the bytes read
// from the meter (a register that could not be read counts as different).
QVector<bool> ChangedParameters(const QVector<EEValue>& values, const QVector<QVector<int>>& meterBytes,
                                const QList<DMap>& params);

// ----- the data check on meter values -------------------------------------

// One value for the data check: its text in the display units of `unit`
// (meter units when unit is null) and, when the text was not edited since
// it was read or loaded, the exact meter value it stands for.
struct CheckInput {
    QString text;
    const UnitRow* unit = nullptr;
    std::optional<QString> exactMeterValue;
    bool unread = false; // a register of it could not be read: refused
    // The registers the unedited value was read or loaded with. A value whose
    // text still stands for them is written back with exactly these bytes,
    // also those its text cannot show (a control character in a tag).
    std::optional<QVector<int>> exactRegisters;
};

struct ValuesCheck {
    bool ok = false;          // every value valid and some data found
    bool dataFound = false;
    bool brokeOff = false;    // an equation or multiplier error ended the check
    QString error;            // "Errors in data checking" or "No data!"
    QStringList meterValues;  // as the check normalised them
    QVector<EEValue> registers;
    QVector<ParamCheck> results; // per parameter checked
    int invalid = 0;
    // The check refused the value of parameter i, or broke off before it.
    bool Refused(int i) const { return i >= results.size() || !results.at(i).verdict; }
};

// The data check of a set of values against the map, in map order: each
// value is checked (ParamCheck), told to report.ValueChecked and, when
// refused, to report.InvalidValue. "No data!" is the error when no
// parameter gave a value. Inputs missing at the end count as empty.
ValuesCheck CheckValues(const QList<DMap>& params, const QVector<CheckInput>& inputs, const EquationEvaluator& eval,
                        const SigFigRounder& rounder, MeterReport& report);

// The check of values in meter units, as data files and reads hold them:
// each value is validated and encoded as it is.
// exactRegisters, where an entry is not empty, holds the registers a value
// was read or saved with (see CheckInput).
ValuesCheck CheckMeterValues(const QList<DMap>& params, const QStringList& meterValues,
                             const EquationEvaluator& eval, const SigFigRounder& rounder, MeterReport& report,
                             const QVector<QVector<int>>& exactRegisters = {});

// ----- data files --------------------------------------------------------

// Reads a data file; false with *error when it cannot be opened.
bool LoadDataFile(const QString& path, DataFileContent* content, QString* error);
// Writes a data file through the safe writer; a failed save leaves no file
// and the old one as it was.
// registers (may be empty) are the values' registers as the data check
// encoded them; those a text cannot show are kept in the file.
bool SaveDataFile(const QString& path, const QString& mapFileName, const QList<DMap>& params,
                  const QStringList& meterValues, const QVector<EEValue>& registers, QString* error);
// True when the data file was made for the map mapFileName (names compared
// without regard to letter case).
bool DataFileFitsMap(const DataFileContent& content, const QString& mapFileName);

} // namespace vorda
