#include "values/MeterEngine.h"

#include "base/TextFiles.h"
#include "base/UserError.h"
#include "maps/MapFile.h"
#include "meter/MeterProtocol.h"
#include "values/DataCheck.h"

#include <algorithm>

namespace vorda {
namespace {

int RegisterCount(const DMap& p) { return std::max(0, p.EndReg - p.Startreg + 1); }

bool Selected(const QVector<bool>& selected, int i) { return selected.isEmpty() || selected.value(i); }

// The registers of the chosen parameters: the count a write or a read-back
// shows its progress against.
int SelectedRegisters(const QVector<EEValue>& values, const QVector<bool>& selected) {
    int total = 0;
    for (int i = 0; i < values.size(); ++i)
        if (Selected(selected, i)) total += values.at(i).RegCount;
    return total;
}

// The exchanges of one command after its handshake: counts failures and
// reports them, and says when the limit ends the command.
class FailureCounter {
public:
    FailureCounter(MeterDirection direction, MeterReport& report, const MeterProtocol& protocol)
        : direction_(direction), report_(report), protocol_(protocol) {}
    // Reports a failed register; false when the command must end now: at
    // the failure after the limit, or at once when the meter's device went
    // away, which no further exchange could mend.
    bool Fail(int index, const DMap& param, int offset) {
        if (protocol_.DeviceLost()) return false;
        report_.RegisterFailed(direction_, index, param, offset);
        if (++count_ > kFailureLimit) {
            report_.TooManyFailures(direction_);
            return false;
        }
        return true;
    }
    int Count() const { return count_; }

private:
    MeterDirection direction_;
    MeterReport& report_;
    const MeterProtocol& protocol_;
    int count_ = 0;
};

// Marks a command's outcome as ended early: at a failure that ends it (the
// limit, or a device that went away), or by Stop.
template <class Outcome>
Outcome& Ended(Outcome& out, const FailureCounter& failures, const MeterProtocol& protocol, bool stopped = false) {
    out.failures = failures.Count();
    out.aborted = true;
    out.disconnected = protocol.DeviceLost();
    out.stopped = stopped;
    return out;
}

// The registers of a value that still stands for what was read or saved
// replace its encoding: its text may drop bytes it cannot show.
void KeepExactRegisters(const DMap& param, const QVector<int>& exact, ParamCheck* check) {
    if (exact.size() != check->registers.RegCount || exact.contains(-1)) return;
    if (check->meterValue != DecodeRegisters(param, exact)) return;
    check->registers.Values = exact;
}

} // namespace

QString RegisterFailureText(MeterDirection direction, const DMap& param, int offset) {
    return (direction == MeterDirection::Read ? QStringLiteral("Meter read failure: value ")
                                              : QStringLiteral("Meter write failure: value ")) +
           QString::number(offset) + QStringLiteral(" in parameter ") + param.Parameter;
}

QString TooManyFailuresText(MeterDirection direction) {
    return direction == MeterDirection::Read
               ? QStringLiteral("Too many read failures - connection lost?\n\rNew meter attached?  Save data and restart everything!")
               : QStringLiteral("Too many write failures - connection lost?\n\rNew meter attached?  Save data and restart everything!");
}

QString DisconnectedText(int comNumber) {
    return QStringLiteral("Meter disconnected: COM%1 went away (cable or adapter unplugged?).\n\r"
                          "The meter is not connected now; connect again once it is plugged back in.")
        .arg(comNumber);
}

QString ConnectionFailureText() { return QStringLiteral("Meter connection failure\n\rSave data and restart everything!"); }

int EffectiveMapNumber(int mapNumber) { return mapNumber == 255 ? 0 : mapNumber; }

QString MeterMapFileName(int mapNumber) {
    return QStringLiteral("ZUVMap") + QString::number(EffectiveMapNumber(mapNumber)) + QStringLiteral(".Map");
}

MeterMap LoadMapFile(const QString& dir, const QString& fileName) {
    MeterMap out;
    out.fileName = fileName;
    out.path = FindFileNoCase(dir, fileName);
    if (out.path.isEmpty()) {
        out.error = QStringLiteral("No map file ") + fileName + QStringLiteral(" in ") + dir;
        return out;
    }
    const MapReadResult r = ReadMapFileContent(out.path, fileName);
    if (r.status != MapReadStatus::Ok) {
        out.error = QStringLiteral("Error reading Map File ") + fileName +
                    (r.message.isEmpty() ? QString() : QStringLiteral(": ") + r.message);
        return out;
    }
    out.params = r.params;
    out.headers = r.headers;
    out.ok = true;
    return out;
}

MeterMap LoadMeterMap(const QString& dir, int mapNumber) {
    if (mapNumber < 0) {
        MeterMap out;
        out.error = QStringLiteral("The meter's map number (register 200) could not be read");
        return out;
    }
    return LoadMapFile(dir, MeterMapFileName(mapNumber));
}

ReadOutcome ReadParameters(MeterProtocol& protocol, const QList<DMap>& params, MeterReport& report) {
    ReadOutcome out;
    if (!protocol.Handshake()) {
        out.disconnected = protocol.DeviceLost();
        return out;
    }
    out.handshakeOk = true;
    report.Started();
    int total = 0;
    for (const DMap& p : params) total += RegisterCount(p);
    int done = 0;
    FailureCounter failures(MeterDirection::Read, report, protocol);
    for (int i = 0; i < params.size(); ++i) {
        const DMap& p = params.at(i);
        const int count = RegisterCount(p);
        QVector<int> bytes(count, -1);
        for (int k = 0; k < count; ++k) {
            if (report.StopRequested()) return Ended(out, failures, protocol, true);
            const int result = protocol.GetSetRegister(1, p.Startreg + k, 1);
            report.Progress(++done, total);
            if (result >= 0) {
                bytes[k] = result;
            } else if (!failures.Fail(i, p, k)) {
                return Ended(out, failures, protocol);
            }
        }
        const QString text = DecodeRead(p, bytes);
        const bool whole = !bytes.contains(-1);
        out.bytes << bytes;
        out.meterValues << text;
        out.complete << whole;
        report.ParameterRead(i, text, whole);
    }
    out.failures = failures.Count();
    return out;
}

WriteOutcome WriteParameters(MeterProtocol& protocol, const QList<DMap>& params, const QVector<EEValue>& values,
                             const QVector<bool>& selected, MeterReport& report) {
    WriteOutcome out;
    if (!protocol.Handshake()) {
        out.disconnected = protocol.DeviceLost();
        return out;
    }
    out.handshakeOk = true;
    report.Started();
    const int total = SelectedRegisters(values, selected);
    FailureCounter failures(MeterDirection::Write, report, protocol);
    out.acknowledged.resize(values.size());
    for (int i = 0; i < values.size() && i < params.size(); ++i) {
        if (!Selected(selected, i)) continue;
        const EEValue& v = values.at(i);
        out.acknowledged[i] = QVector<bool>(v.RegCount, false);
        for (int k = 0; k < v.RegCount; ++k) {
            if (report.StopRequested()) return Ended(out, failures, protocol, true);
            const int result = protocol.GetSetRegister(0, v.Startreg + k, v.Values.value(k));
            ++out.registersSent;
            report.Progress(out.registersSent, total);
            if (result >= 0) {
                out.acknowledged[i][k] = true;
                ++out.registersAcknowledged;
            }
            if (result < 0 && !failures.Fail(i, params.at(i), k)) {
                return Ended(out, failures, protocol);
            }
        }
        report.ParameterWritten(i);
    }
    out.failures = failures.Count();
    return out;
}

VerifyOutcome VerifyParameters(MeterProtocol& protocol, const QList<DMap>& params, const QVector<EEValue>& values,
                               const QVector<bool>& selected, MeterReport& report) {
    VerifyOutcome out;
    if (!protocol.Handshake()) {
        out.disconnected = protocol.DeviceLost();
        return out;
    }
    out.handshakeOk = true;
    report.Started();
    const int total = SelectedRegisters(values, selected);
    int done = 0;
    FailureCounter failures(MeterDirection::Read, report, protocol);
    out.bytes.resize(values.size());
    for (int i = 0; i < values.size() && i < params.size(); ++i) {
        if (!Selected(selected, i)) continue;
        const EEValue& v = values.at(i);
        out.bytes[i] = QVector<int>(v.RegCount, -1);
        for (int k = 0; k < v.RegCount; ++k) {
            if (report.StopRequested()) return Ended(out, failures, protocol, true);
            const int result = protocol.GetSetRegister(1, v.Startreg + k, 1);
            report.Progress(++done, total);
            if (result >= 0) out.bytes[i][k] = result;
            if (result < 0) {
                if (!failures.Fail(i, params.at(i), k)) {
                    return Ended(out, failures, protocol);
                }
            } else if (result != (v.Values.value(k) & 0xFF)) {
                out.mismatches.append({i, k, v.Startreg + k, v.Values.value(k) & 0xFF, result});
            }
        }
    }
    out.failures = failures.Count();
    return out;
}

QString RegistersText(const QVector<int>& bytes) {
    QStringList hex;
    for (int b : bytes) hex << QStringLiteral("%1").arg(b & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    return hex.join(QLatin1Char(' '));
}

QVector<WriteLanding> WriteLandings(const QVector<EEValue>& values, const QVector<bool>& selected,
                                    const WriteOutcome& written, const VerifyOutcome* readBack,
                                    int* registersLanded) {
    QVector<WriteLanding> out(values.size(), WriteLanding::Skipped);
    if (registersLanded) *registersLanded = 0;
    for (int i = 0; i < values.size(); ++i) {
        const EEValue& v = values.at(i);
        if (!Selected(selected, i) || v.RegCount <= 0) continue;
        const QVector<bool> acks = written.acknowledged.value(i);
        const QVector<int> back = readBack ? readBack->bytes.value(i) : QVector<int>();
        int landed = 0;
        for (int k = 0; k < v.RegCount; ++k) {
            const bool held = k < back.size() && back.at(k) == (v.Values.value(k) & 0xFF);
            if (acks.value(k) || held) ++landed;
        }
        if (registersLanded) *registersLanded += landed;
        out[i] = landed == v.RegCount ? WriteLanding::Whole : landed > 0 ? WriteLanding::Partly : WriteLanding::None;
    }
    return out;
}

QStringList LandedNames(const QList<DMap>& params, const QVector<WriteLanding>& landings, WriteLanding which) {
    QStringList names;
    for (int i = 0; i < landings.size() && i < params.size(); ++i)
        if (landings.at(i) == which) names << params.at(i).Parameter;
    return names;
}

QString WriteLandingText(const QList<DMap>& params, const QVector<WriteLanding>& landings) {
    auto group = [&](const QString& caption, WriteLanding which) {
        const QStringList names = LandedNames(params, landings, which);
        return caption + (names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", ")));
    };
    return QStringLiteral("What the meter received:\n\r") + group(QStringLiteral("written whole: "), WriteLanding::Whole) +
           QStringLiteral("\n\r") + group(QStringLiteral("written partly: "), WriteLanding::Partly) +
           QStringLiteral("\n\r") + group(QStringLiteral("not written: "), WriteLanding::None);
}

QString WriteEndText(const WriteOutcome& written, int comNumber, const QList<DMap>& params,
                     const QVector<WriteLanding>& landings) {
    QString head;
    if (written.disconnected) head = DisconnectedText(comNumber) + QStringLiteral("\n\r\n\r");
    else if (written.stopped) head = QStringLiteral("Write stopped.\n\r\n\r");
    return head + WriteLandingText(params, landings);
}

QString ReadStoppedText(int read, int total) {
    return QStringLiteral("Read Parameters stopped: %1 of %2 parameters read; the screen shows only those.")
        .arg(read)
        .arg(total);
}

QVector<bool> ChangedParameters(const QVector<EEValue>& values, const QVector<QVector<int>>& meterBytes,
                                const QList<DMap>& params) {
    QVector<bool> changed(values.size(), false);
    for (int i = 0; i < values.size(); ++i) {
        const EEValue& v = values.at(i);
        const QVector<int> bytes = meterBytes.value(i);
        const int offset = i < params.size() ? v.Startreg - params.at(i).Startreg : 0;
        for (int k = 0; k < v.RegCount && !changed[i]; ++k) {
            const int at = offset + k;
            if (at < 0 || at >= bytes.size() || bytes.at(at) != (v.Values.value(k) & 0xFF)) changed[i] = true;
        }
    }
    return changed;
}

ValuesCheck CheckValues(const QList<DMap>& params, const QVector<CheckInput>& inputs, const EquationEvaluator& eval,
                        const SigFigRounder& rounder, MeterReport& report) {
    ValuesCheck out;
    try {
        out.registers.resize(params.size());
        for (int i = 0; i < params.size(); ++i) {
            const DMap& p = params.at(i);
            const CheckInput input = inputs.value(i);
            ParamCheck r = CheckParameter(p, input.text, input.unit,
                                          input.exactMeterValue ? &*input.exactMeterValue : nullptr, eval, rounder);
            if (input.unread) RefuseUnread(&r);
            if (r.verdict && input.exactRegisters) KeepExactRegisters(p, *input.exactRegisters, &r);
            out.meterValues << r.meterValue;
            out.registers[i] = r.registers;
            out.dataFound = out.dataFound || r.dataFound;
            out.results << r;
            report.ValueChecked(i, r);
            if (!r.verdict) {
                report.InvalidValue(i, p, r.reason);
                ++out.invalid;
            }
        }
        if (!out.dataFound) out.error = QStringLiteral("No data!");
        out.ok = out.invalid == 0 && out.dataFound;
    } catch (const UserError&) {
        out.ok = false;
        out.brokeOff = true;
        out.error = QStringLiteral("Errors in data checking");
    }
    return out;
}

ValuesCheck CheckMeterValues(const QList<DMap>& params, const QStringList& meterValues,
                             const EquationEvaluator& eval, const SigFigRounder& rounder, MeterReport& report,
                             const QVector<QVector<int>>& exactRegisters) {
    QVector<CheckInput> inputs;
    for (int i = 0; i < params.size(); ++i) {
        const QString value = meterValues.value(i);
        inputs.append({value, nullptr, value, false});
        if (!exactRegisters.value(i).isEmpty()) inputs.last().exactRegisters = exactRegisters.at(i);
    }
    return CheckValues(params, inputs, eval, rounder, report);
}

bool LoadDataFile(const QString& path, DataFileContent* content, QString* error) {
    QStringList lines;
    if (!ReadTextLines(path, &lines, error)) return false;
    *content = ParseDataFile(lines);
    return true;
}

bool SaveDataFile(const QString& path, const QString& mapFileName, const QList<DMap>& params,
                  const QStringList& meterValues, const QVector<EEValue>& registers, QString* error) {
    return WriteTextLines(path, DataFileLines(mapFileName, params, meterValues, registers), error);
}

bool DataFileFitsMap(const DataFileContent& content, const QString& mapFileName) {
    return content.mapFileName.toUpper() == mapFileName.toUpper();
}

} // namespace vorda
