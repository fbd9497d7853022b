#include "values/MeterSession.h"

#include "units/DisplayData.h"
#include "values/DataCheck.h"
#include "values/MeterComparison.h"

#include <QUuid>

namespace vorda {

void ParameterRow::ClearValue() {
    shown.clear();
    meterValue.clear();
    accepted.clear();
    exactShown.clear();
    exactValue.clear();
    exactRegisters.clear();
    origin = ValueOrigin::None;
    fileText.clear();
    fileKnown = false;
}

namespace {
// Passes every event on to the front end's report after the session has
// taken what it needs from it.
class ForwardingReport : public MeterReport {
public:
    explicit ForwardingReport(MeterReport& outer) : outer_(outer) {}
    void Started() override { outer_.Started(); }
    void Progress(int done, int total) override { outer_.Progress(done, total); }
    void RegisterFailed(MeterDirection d, int index, const DMap& param, int offset) override {
        outer_.RegisterFailed(d, index, param, offset);
    }
    void TooManyFailures(MeterDirection d) override { outer_.TooManyFailures(d); }
    void ParameterRead(int index, const QString& value, bool complete) override {
        outer_.ParameterRead(index, value, complete);
    }
    void ParameterWritten(int index) override { outer_.ParameterWritten(index); }
    void ValueChecked(int index, const ParamCheck& check) override { outer_.ValueChecked(index, check); }
    void InvalidValue(int index, const DMap& param, const QString& reason) override {
        outer_.InvalidValue(index, param, reason);
    }
    bool StopRequested() override { return outer_.StopRequested(); }

protected:
    MeterReport& outer_;
};

QStringList NamesOf(const QList<DMap>& params, const QList<RegisterMismatch>& mismatches) {
    QStringList names;
    for (const RegisterMismatch& m : mismatches)
        if (!names.contains(params.at(m.index).Parameter)) names << params.at(m.index).Parameter;
    return names;
}
} // namespace

MeterSession::MeterSession(LoadedMap& map, ScreenFlags& flags, const DisplayUnitTables& units,
                           const EquationEvaluator& eval, const SigFigRounder& rounder, QObject* parent)
    : QObject(parent), map_(map), flags_(flags), units_(units), eval_(eval), rounder_(rounder) {}

void MeterSession::ResetRows() {
    rows_ = QVector<ParameterRow>(map_.MapParamCount());
    for (int i = 0; i < rows_.size(); ++i) {
        const DMap& p = map_.MapParams.at(i);
        rows_[i].param = p;
        rows_[i].registers.Startreg = p.Startreg;
        rows_[i].registers.RegCount = p.EndReg - p.Startreg + 1;
    }
}

QStringList MeterSession::MeterValues() const {
    QStringList out;
    for (const ParameterRow& r : rows_) out << r.meterValue;
    return out;
}

QStringList MeterSession::AcceptedValues() const {
    QStringList out;
    for (const ParameterRow& r : rows_) out << r.accepted;
    return out;
}

QVector<EEValue> MeterSession::EEValues() const {
    QVector<EEValue> out;
    out.reserve(rows_.size());
    for (const ParameterRow& r : rows_) out << r.registers;
    return out;
}

bool MeterSession::GotData() const {
    for (const ParameterRow& r : rows_)
        if (!r.shown.isEmpty()) return true;
    return false;
}

void MeterSession::ClearValues() {
    for (ParameterRow& r : rows_) r.ClearValue();
    verdict_ = CheckVerdict::NotOk;
}

const UnitRow* MeterSession::UnitOf(const DMap& param) const {
    if (param.PType.isEmpty()) return nullptr;
    const int k = units_.ThisComboNumber(param.PType);
    return k < 0 ? nullptr : &units_.CurrentUnits.at(k);
}

QString MeterSession::MeterUnitName(const DMap& param) const { return units_.MeterUnitName(param.PType); }

FieldDesignResult MeterSession::DeriveDesign(int i) {
    FieldDesignResult r = DeriveFieldDesign(rows_.at(i).param, units_.CurrentUnits, eval_, rounder_);
    if (r.ok) rows_[i].design = r.design;
    return r;
}

void MeterSession::BeginConnection(int com, int mapNumber) {
    record_.Begin(com, map_.CurrentMapFile, mapNumber);
    connection_ = MeterConnection{QUuid::createUuid().toString(QUuid::WithoutBraces),
                                  QDateTime::currentDateTimeUtc(), com, mapNumber};
    knownMap_.clear();
    known_.clear();
    resetPending_ = false;
}

void MeterSession::Show(int i, const QString& text) {
    rows_[i].shown = text;
    emit RowShown(i);
}

void MeterSession::ShowValue(int i, const QString& meterValue, const QVector<int>& exactRegisters, ValueOrigin origin) {
    ParameterRow& row = rows_[i];
    row.accepted = meterValue;
    row.meterValue = meterValue;
    row.exactValue = meterValue;
    row.exactShown = MeterToDisplay(row.param, meterValue, UnitOf(row.param), eval_);
    row.exactRegisters = exactRegisters;
    row.origin = origin;
    if (origin == ValueOrigin::Read) {
        // The screen now shows the meter's value, no longer the file's.
        row.meterText = row.exactShown;
        row.meterKnown = true;
        row.fileKnown = false;
    } else if (origin == ValueOrigin::ReadFailed) {
        row.meterKnown = false;
    } else if (origin == ValueOrigin::Loaded) {
        row.fileText = row.exactShown;
        row.fileKnown = true;
    }
    Show(i, row.exactShown);
}

void MeterSession::ShowRead(const ReadOutcome& read) {
    const int n = std::min<int>(int(read.meterValues.size()), int(rows_.size()));
    for (int i = 0; i < n; ++i)
        ShowValue(i, read.meterValues.at(i), read.complete.value(i) ? read.bytes.value(i) : QVector<int>{},
                  read.complete.value(i) ? ValueOrigin::Read : ValueOrigin::ReadFailed);
}

void MeterSession::SetShown(int i, const QString& text) {
    if (i < 0 || i >= rows_.size()) return;
    rows_[i].shown = text;
    verdict_ = CheckVerdict::Stale;
}

void MeterSession::MarkTyped(int i) {
    if (i >= 0 && i < rows_.size()) rows_[i].origin = ValueOrigin::Typed;
}

ReadOutcome MeterSession::Read(MeterProtocol& protocol, MeterReport& report, int count) {
    // Until a parameter has been read whole, its row holds nothing of the
    // meter's, also when the read ends early.
    class RowsReport : public ForwardingReport {
    public:
        RowsReport(MeterReport& outer, MeterSession& s) : ForwardingReport(outer), s_(s) {}
        void Started() override {
            for (ParameterRow& r : s_.rows_) r.origin = ValueOrigin::ReadFailed;
            outer_.Started();
        }
        void ParameterRead(int index, const QString& value, bool complete) override {
            s_.ShowValue(index, value, {}, complete ? ValueOrigin::Read : ValueOrigin::ReadFailed);
            outer_.ParameterRead(index, value, complete);
        }

    private:
        MeterSession& s_;
    } rowsReport(report, *this);
    count = std::min<int>(count, int(rows_.size()));
    const ReadOutcome read = ReadParameters(protocol, map_.MapParams.mid(0, count), rowsReport);
    if (!read.handshakeOk) return read;
    for (int i = 0; i < read.bytes.size() && i < rows_.size(); ++i)
        if (read.complete.value(i)) rows_[i].exactRegisters = read.bytes.at(i);
    KnowRead(read);
    emit ChangesKnown();
    if (!read.aborted && read.failures == 0 && read.meterValues.size() == map_.MapParamCount()) {
        record_.MeterRead(map_.CurrentMapFile, read.meterValues);
        TellRead(read);
    }
    return read;
}

void MeterSession::KnowMeterTexts(const ReadOutcome& read) {
    if (!read.handshakeOk) return;
    const int n = std::min<int>(int(read.meterValues.size()), int(rows_.size()));
    for (int i = 0; i < n; ++i) {
        ParameterRow& row = rows_[i];
        row.meterKnown = read.complete.value(i);
        if (row.meterKnown) row.meterText = MeterToDisplay(row.param, read.meterValues.at(i), UnitOf(row.param), eval_);
    }
    emit ChangesKnown();
}

bool MeterSession::RowChanged(int i) const { return i >= 0 && i < rows_.size() && rows_.at(i).Changed(); }

ReadOutcome MeterSession::ReadAll(MeterProtocol& protocol, MeterReport& report) {
    ReadOutcome read = ReadParameters(protocol, map_.MapParams, report);
    KnowRead(read);
    KnowMeterTexts(read);
    if (read.Whole()) record_.MeterRead(map_.CurrentMapFile, read.meterValues);
    return read;
}

ReadOutcome MeterSession::ReadWhole(MeterProtocol& protocol, MeterReport& report) {
    ReadOutcome read = ReadAll(protocol, report);
    if (read.Whole()) TellRead(read);
    return read;
}

ValuesCheck MeterSession::Check(MeterReport& report, int count) {
    const int n = std::min<int>(count, int(rows_.size()));
    QVector<CheckInput> inputs(n);
    for (int i = 0; i < n; ++i) {
        const ParameterRow& row = rows_.at(i);
        inputs[i] = {row.shown, UnitOf(row.param), std::nullopt, row.Unread(), std::nullopt};
        // A value nobody touched since it was read or loaded keeps its exact
        // meter value, whatever its rounded display shows, and its
        // registers: a tag may hold bytes its text cannot show.
        if (row.Unedited()) {
            inputs[i].exactMeterValue = row.exactValue;
            if (!row.exactRegisters.isEmpty()) inputs[i].exactRegisters = row.exactRegisters;
        }
    }
    class RowsReport : public ForwardingReport {
    public:
        RowsReport(MeterReport& outer, MeterSession& s) : ForwardingReport(outer), s_(s) {}
        void ValueChecked(int index, const ParamCheck& check) override {
            s_.rows_[index].meterValue = check.meterValue;
            if (check.boxChanged) s_.Show(index, check.boxText);
            outer_.ValueChecked(index, check);
        }

    private:
        MeterSession& s_;
    } rowsReport(report, *this);
    const ValuesCheck check = CheckValues(map_.MapParams.mid(0, n), inputs, eval_, rounder_, rowsReport);
    if (check.brokeOff) return check;
    for (int i = 0; i < n; ++i) {
        ParameterRow& row = rows_[i];
        if (check.Refused(i)) {
            row.exactShown.clear();
            row.exactValue.clear();
            row.exactRegisters.clear();
            continue;
        }
        if (row.meterValue != row.accepted) {
            flags_.DataEdited = true;
            row.accepted = row.meterValue;
        }
        row.exactShown = row.shown;
        row.exactValue = row.meterValue;
        row.exactRegisters = check.registers.at(i).Values;
    }
    // The registers are replaced only when the check has run to its end: a
    // check that breaks off never leaves a half-filled table for a write.
    // Parameters beyond the rows checked keep only their start register.
    for (int i = 0; i < rows_.size(); ++i) {
        rows_[i].registers = i < check.registers.size() ? check.registers.at(i) : EEValue{};
        if (i >= n) rows_[i].registers.Startreg = rows_.at(i).param.Startreg;
    }
    verdict_ = check.ok ? CheckVerdict::Ok : CheckVerdict::NotOk;
    return check;
}

WriteResult MeterSession::Write(MeterProtocol& protocol, MeterReport& report, const QVector<bool>& selected) {
    WriteResult r;
    const QList<DMap>& params = map_.MapParams;
    const QVector<EEValue> values = EEValues();
    const QStringList meterValues = MeterValues();
    IdentifyMeter(protocol);
    MeterEvent event = NewEvent(MeterEventKind::Write, QString());
    r.written = WriteParameters(protocol, params, values, selected, report);
    if (!r.written.handshakeOk) {
        // Nothing reached the meter: the reason belonged to this write only.
        reason_.clear();
        restoredFrom_.clear();
        return r;
    }
    if (r.written.aborted) {
        // The meter may now hold part of the write.
        flags_.MeterInSync = false;
        record_.MeterWritten(map_.CurrentMapFile, params, meterValues, selected, r.written, nullptr);
        r.landings = WriteLandings(values, selected, r.written, nullptr);
        KnowWrite(values, meterValues, selected, r.written, nullptr, &event);
        event.outcome = QStringLiteral("aborted");
        TellWrite(std::move(event));
        return r;
    }
    // "Written" means the meter holds it: everything sent is read back.
    r.readBackTried = true;
    r.back = VerifyParameters(protocol, params, values, selected, report);
    const bool readWhole = r.back.Whole();
    record_.MeterWritten(map_.CurrentMapFile, params, meterValues, selected, r.written, readWhole ? &r.back : nullptr);
    r.differing = NamesOf(params, r.back.mismatches);
    if (readWhole) record_.MeterVerified(r.differing);
    KnowWrite(values, meterValues, selected, r.written, r.back.handshakeOk ? &r.back : nullptr, &event);
    event.outcome = !r.written.Whole()           ? QStringLiteral("not written whole")
                    : !readWhole                 ? QStringLiteral("not read back")
                    : r.differing.isEmpty()      ? QStringLiteral("verified")
                                                 : QStringLiteral("differences");
    event.differing = r.differing;
    TellWrite(std::move(event));
    if (r.written.failures > 0) r.landings = WriteLandings(values, selected, r.written, r.back.handshakeOk ? &r.back : nullptr);
    for (int i = 0; i < rows_.size() && i < r.written.acknowledged.size(); ++i) {
        // A parameter left out was neither written nor read back.
        if (!selected.isEmpty() && !selected.value(i)) continue;
        ParameterRow& row = rows_[i];
        const QVector<bool>& echoed = r.written.acknowledged.at(i);
        if (readWhole && !r.differing.contains(row.param.Parameter) && !values.at(i).Values.isEmpty())
            row.origin = ValueOrigin::Verified;
        else if (!echoed.isEmpty() && !echoed.contains(false))
            row.origin = ValueOrigin::Written;
        else
            continue;
        // A value read back otherwise leaves the row as changed as it was.
        if (r.differing.contains(row.param.Parameter)) continue;
        // The meter holds what the screen shows; the file is no longer the
        // screen's source.
        row.meterText = row.shown;
        row.meterKnown = true;
        row.fileKnown = false;
    }
    emit ChangesKnown();
    flags_.MeterInSync = r.Verified();
    if (r.Verified()) {
        files_.lastWriteMap = files_.mapFile;
        files_.lastWriteData = files_.dataFile;
    }
    return r;
}

WriteOutcome MeterSession::WriteSelected(MeterProtocol& protocol, const ValuesCheck& check,
                                         const QVector<bool>& selected, MeterReport& report) {
    IdentifyMeter(protocol);
    MeterEvent event = NewEvent(MeterEventKind::Write, QString());
    const WriteOutcome written = WriteParameters(protocol, map_.MapParams, check.registers, selected, report);
    record_.MeterWritten(map_.CurrentMapFile, map_.MapParams, check.meterValues, selected, written, nullptr);
    if (!written.handshakeOk || written.aborted) {
        flags_.MeterInSync = false;
        record_.VerificationBroken();
    }
    if (written.handshakeOk) {
        KnowWrite(check.registers, check.meterValues, selected, written, nullptr, &event);
        event.outcome = written.Whole() ? QStringLiteral("written") : written.aborted ? QStringLiteral("aborted")
                                                                                   : QStringLiteral("not written whole");
        TellWrite(std::move(event));
    } else {
        reason_.clear();
        restoredFrom_.clear();
    }
    return written;
}

VerifyResult MeterSession::Verify(MeterProtocol& protocol, MeterReport& report) {
    VerifyResult r;
    r.read = ReadAll(protocol, report);
    if (!r.read.Whole()) {
        record_.VerificationBroken();
        return r;
    }
    r.differing = DifferingFromScreen(map_.MapParams, EEValues(), MeterValues(), r.read);
    record_.MeterVerified(r.differing);
    MeterEvent event = NewEvent(MeterEventKind::Verify, r.differing.isEmpty() ? QStringLiteral("verified")
                                                                              : QStringLiteral("differences"));
    event.differing = r.differing;
    Tell(std::move(event));
    flags_.MeterInSync = r.differing.isEmpty();
    for (ParameterRow& row : rows_)
        if (!row.shown.isEmpty() && !r.differing.contains(row.param.Parameter)) row.origin = ValueOrigin::Verified;
    return r;
}

VerifyResult MeterSession::VerifyWrite(MeterProtocol& protocol, MeterReport& report, const ValuesCheck& check,
                                       const QVector<bool>& selected, const ReadOutcome& before) {
    VerifyResult r;
    r.read = ReadAll(protocol, report);
    if (!r.read.Whole()) {
        flags_.MeterInSync = false;
        record_.VerificationBroken();
        return r;
    }
    r.differing = DifferingAfterWrite(map_.MapParams, selected, check.registers, before.bytes, r.read.bytes);
    record_.MeterVerified(r.differing);
    MeterEvent event = NewEvent(MeterEventKind::Verify, r.differing.isEmpty() ? QStringLiteral("verified")
                                                                              : QStringLiteral("differences"));
    event.differing = r.differing;
    Tell(std::move(event));
    flags_.MeterInSync = true;
    return r;
}

FileValues MeterSession::ValuesOfFile(const DataFileContent& content, bool sameMap) const {
    return sameMap ? FileValuesByPosition(content, map_.MapParams) : FileValuesByName(content, map_.MapParams);
}

FileComparison MeterSession::CompareWithFile(const ReadOutcome& before, const FileValues& file, bool sameMap,
                                             bool makerAccess) const {
    // The file's refused values show in their rows, not as messages.
    SilentReport silent;
    const ValuesCheck fileCheck =
        CheckMeterValues(map_.MapParams, file.meterValues, eval_, rounder_, silent, file.exactRegisters);
    const ComparisonDisplay display{
        [this](const DMap& p, const QString& value) { return MeterToDisplay(p, value, UnitOf(p), eval_); },
        [this](const DMap& p) {
            const UnitRow* unit = UnitOf(p);
            return unit ? unit->Units : QString();
        }};
    return CompareMeterWithFile(map_.MapParams, before, file.meterValues, fileCheck, makerAccess, display, sameMap);
}

ValuesCheck MeterSession::CheckTickedWrite(const TickedWrite& plan, const ReadOutcome& before, const FileValues& file,
                                           MeterReport& report) const {
    QVector<QVector<int>> exact = before.bytes;
    for (int i = 0; i < plan.selected.size() && i < exact.size(); ++i)
        if (plan.selected.at(i)) exact[i] = file.exactRegisters.value(i);
    return CheckMeterValues(map_.MapParams, plan.values, eval_, rounder_, report, exact);
}

bool MeterSession::SaveDataFile(const QString& path, QString* error) {
    return vorda::SaveDataFile(path, map_.CurrentMapFile, map_.MapParams, MeterValues(), EEValues(), error);
}

} // namespace vorda
