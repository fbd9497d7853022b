#include "CliCommands.h"

#include "CliHistory.h"
#include "CliStation.h"
#include "CliWork.h"

#include "base/TextFiles.h"
#include "maps/MapFile.h"
#include "meter/MeterDetection.h"
#include "meter/MeterProtocol.h"
#include "units/DisplayData.h"
#include "shell/Startup.h"
#include "values/DataCheck.h"
#include "values/MeterEngine.h"
#include "values/MeterSession.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>

#include <cstdio>

namespace vorda {
namespace {

// Values in JSON carry their numbers in the point form, whatever the locale.
QJsonObject ParameterJson(const MeterSession& session, const ParameterRow& row) {
    QJsonObject o;
    o[QStringLiteral("name")] = row.param.Parameter;
    o[QStringLiteral("format")] = row.param.Format;
    o[QStringLiteral("value")] = ToPointForm(row.param, row.meterValue);
    // The display form: the text in the current unit of its type.
    o[QStringLiteral("display")] = WithUnit(session, row.param, row.shown);
    return o;
}

// Puts a data file's values on the rows as the window's Read Data File
// does: by position, each with the registers it was saved with. The file's
// values, as they were put there.
FileValues LoadRows(MeterWork& w, const DataFileContent& content) {
    const FileValues values = FileValuesByPosition(content, w.Params());
    const int n = std::min<int>(int(content.values.size()), w.session.RowCount());
    for (int k = 0; k < n; ++k)
        w.session.ShowValue(k, values.meterValues.at(k), values.exactRegisters.at(k), ValueOrigin::Loaded);
    return values;
}

// "No meter detected" and the like, followed by the ports that other
// programs hold: a meter may be behind one of them.
QString WithHeldPorts(QString text, const ScanOutcome& scan) {
    for (const HeldPort& port : scan.held) text += QStringLiteral("; ") + PortInUseText(port);
    for (const DeniedPort& port : scan.denied) text += QStringLiteral("; ") + PortDeniedText(port);
    return text;
}

// Connects to the one meter (COM --com when given) and puts its map on the
// rows. Returns kExitDone or the exit code of the failure, reported.
int OpenMeter(const CliRequest& rq, CliContext& cx, CliOutput& out, MeterWork* w) {
    w->protocol = std::make_unique<MeterProtocol>(cx.serial, w->link);
    const ConnectOutcome c = ConnectOneMeter(*w->protocol, rq.com);
    switch (c.status) {
    case ConnectStatus::NoMeter:
        return out.Fail(kExitMeterCount,
                        WithHeldPorts(rq.com > 0 ? QStringLiteral("No meter answers on COM%1").arg(rq.com)
                                                 : QStringLiteral("No meter detected"),
                                      c.scan));
    case ConnectStatus::SeveralMeters:
        return out.Fail(kExitMeterCount, QString::number(c.scan.MeterCount()) +
                                             QStringLiteral(" meters detected; connect one only or give --com N"));
    case ConnectStatus::NoAnswer:
        return out.Fail(kExitMeterSilent, QStringLiteral("Meter connection failure on COM%1").arg(c.com));
    case ConnectStatus::Connected:
        break;
    }
    w->com = c.com;
    out.Result()[QStringLiteral("com")] = c.com;
    if (c.mapNumber < 0) {
        w->Close();
        return out.Fail(kExitMeterSilent, QStringLiteral("The meter's map number could not be read"));
    }
    const MeterMap map = LoadMeterMap(cx.userDir, c.mapNumber);
    out.Result()[QStringLiteral("map")] = map.fileName.isEmpty() ? MeterMapFileName(c.mapNumber) : map.fileName;
    if (!map.ok) {
        w->Close();
        return out.Fail(kExitFile, map.error);
    }
    w->UseMap(map);
    w->session.BeginConnection(c.com, c.mapNumber);
    return kExitDone;
}

// kExitDone when a read of the meter was whole, else the failure, reported.
int WholeOrFail(CliOutput& out, const MeterWork& w, const ReadOutcome& read) {
    if (read.disconnected) return out.Fail(kExitMeterSilent, DisconnectedText(w.com));
    if (!read.handshakeOk) return out.Fail(kExitMeterSilent, ConnectionFailureText());
    if (!read.Whole())
        return out.Fail(kExitMeterSilent, QStringLiteral("The meter could not be read whole (failed registers: %1)")
                                              .arg(read.failures));
    return kExitDone;
}

// Reads every parameter without touching the rows; kExitDone when the whole
// meter was read.
int ReadWhole(CliOutput& out, MeterWork& w, ReadOutcome* read) {
    out.Expect({QStringLiteral("reading")});
    *read = w.session.ReadWhole(*w.protocol, out);
    return WholeOrFail(out, w, *read);
}

// Reads a whole data file; a file that cannot be opened or ends early is
// code 5.
int ReadWholeDataFile(CliOutput& out, const QString& path, DataFileContent* content) {
    QString error;
    if (!LoadDataFile(path, content, &error)) return out.Fail(kExitFile, path + QStringLiteral(": ") + error);
    if (!content->complete) return out.Fail(kExitFile, QStringLiteral("Error reading data file ") + path);
    return kExitDone;
}

// A data file made for the map of the rows: read whole, the map's count of
// values (another map's file only with --force-map).
int LoadFileFor(const CliRequest& rq, CliOutput& out, const QString& path, const MeterWork& w,
                DataFileContent* content) {
    if (const int code = ReadWholeDataFile(out, path, content)) return code;
    const QString& mapFile = w.map.CurrentMapFile;
    out.Result()[QStringLiteral("file")] = path;
    out.Result()[QStringLiteral("fileMap")] = content->mapFileName;
    if (!DataFileFitsMap(*content, mapFile)) {
        if (!rq.forceMap)
            return out.Fail(kExitDifferences, QStringLiteral("%1 was made for %2, the map is %3 (--force-map uses it all the same)")
                                                  .arg(path, Excerpt(content->mapFileName), mapFile));
        out.Problem(QStringLiteral("Warning: %1 was made for %2; its values are taken by position")
                        .arg(path, Excerpt(content->mapFileName)));
    } else if (content->values.size() != w.Params().size()) {
        return out.Fail(kExitFile, QStringLiteral("%1 holds %2 values, the map %3 has %4 parameters")
                                       .arg(path).arg(content->values.size()).arg(mapFile).arg(w.Params().size()));
    }
    return kExitDone;
}

// Connects to the meter and reads the data file for its map; the meter is
// let go again when the file does not serve.
int OpenMeterWithFile(const CliRequest& rq, CliContext& cx, CliOutput& out, const QString& path, MeterWork* w,
                      DataFileContent* content) {
    if (const int code = OpenMeter(rq, cx, out, w)) return code;
    if (const int code = LoadFileFor(rq, out, path, *w, content)) {
        w->Close();
        return code;
    }
    return kExitDone;
}

// The stable names and the adapter of COM com's device, when the system
// knows any: fields of the port's JSON, and a line under the port's own.
void TellIdentity(const CliContext& cx, CliOutput& out, int com, QJsonObject* o) {
    if (!cx.portIdentity) return;
    const PortIdentity identity = cx.portIdentity(com);
    if (!identity.Known()) return;
    const QJsonObject fields = PortIdentityJson(identity);
    for (auto it = fields.begin(); it != fields.end(); ++it) o->insert(it.key(), it.value());
    out.Line(QLatin1Char('\t') + PortIdentityText(identity));
}

int Scan(const CliRequest& rq, CliContext& cx, CliOutput& out) {
    MeterLinkState link;
    MeterProtocol protocol(cx.serial, link);
    ScanOptions options;
    options.onlyCom = rq.com;
    options.readMapNumber = true;
    const ScanOutcome scan = ScanPorts(protocol, options);
    QJsonArray ports;
    for (const PortFinding& p : scan.ports) {
        QJsonObject o;
        o[QStringLiteral("com")] = p.com;
        o[QStringLiteral("meter")] = p.meter;
        if (p.meter) o[QStringLiteral("mapNumber")] = p.mapNumber;
        out.Line(p.meter ? QStringLiteral("COM%1\tmeter\tmap %2").arg(p.com).arg(p.mapNumber)
                         : QStringLiteral("COM%1\tno meter").arg(p.com));
        TellIdentity(cx, out, p.com, &o);
        ports.append(o);
    }
    QJsonArray held;
    for (const HeldPort& p : scan.held) {
        QJsonObject o;
        o[QStringLiteral("com")] = p.com;
        if (p.pid > 0) o[QStringLiteral("pid")] = p.pid;
        out.Line(QStringLiteral("COM%1\tin use by another program").arg(p.com) +
                 (p.pid > 0 ? QStringLiteral(" (process %1)").arg(p.pid) : QString()));
        TellIdentity(cx, out, p.com, &o);
        held.append(o);
    }
    QJsonArray denied;
    for (const DeniedPort& p : scan.denied) {
        QJsonObject o;
        o[QStringLiteral("com")] = p.com;
        o[QStringLiteral("device")] = p.device;
        if (!p.group.isEmpty()) o[QStringLiteral("group")] = p.group;
        out.Line(QStringLiteral("COM%1\t").arg(p.com) + PortDeniedText(p));
        TellIdentity(cx, out, p.com, &o);
        denied.append(o);
    }
    out.Result()[QStringLiteral("ports")] = ports;
    out.Result()[QStringLiteral("inUse")] = held;
    out.Result()[QStringLiteral("denied")] = denied;
    out.Result()[QStringLiteral("meters")] = scan.MeterCount();
    if (scan.ports.isEmpty() && scan.held.isEmpty() && scan.denied.isEmpty()) out.Line(QStringLiteral("no COM port could be opened"));
    return out.Finish(kExitDone);
}

int Read(const CliRequest& rq, CliContext& cx, CliOutput& out) {
    MeterWork w(cx);
    if (const int code = OpenMeter(rq, cx, out, &w)) return code;
    out.Expect({QStringLiteral("reading")});
    const ReadOutcome read = w.session.Read(*w.protocol, out, w.session.RowCount());
    w.Close();
    if (const int code = WholeOrFail(out, w, read)) return code;
    // What the meter holds is saved as it is; values the check refuses are
    // named, so that a file that cannot be written back is not taken for a
    // good one.
    const ValuesCheck check = w.session.Check(out, w.session.RowCount());
    QString error;
    if (!w.session.SaveDataFile(rq.output, &error)) return out.Fail(kExitFile, rq.output + QStringLiteral(": ") + error);
    QJsonArray params;
    for (const ParameterRow& row : w.session.Rows()) {
        params.append(ParameterJson(w.session, row));
        out.Line(row.param.Parameter + QLatin1Char('\t') + row.meterValue);
    }
    out.Result()[QStringLiteral("file")] = rq.output;
    out.Result()[QStringLiteral("parameters")] = params;
    if (!check.ok) {
        if (!check.error.isEmpty()) out.Problem(check.error);
        return out.Fail(kExitDifferences, QStringLiteral("Saved %1; the meter holds values the data check refuses").arg(rq.output));
    }
    return out.Finish(kExitDone);
}

// The outcome of a write as vorda-cli tells it: what landed (the registers
// the meter echoed, and those a read-back shows it holds although their
// echo was lost), the read-back's mismatches, and the exit code.
int TellWrite(CliOutput& out, const MeterWork& w, const QVector<EEValue>& values, const QVector<bool>& selected,
              const WriteOutcome& written, const VerifyOutcome* readBack) {
    const QList<DMap>& params = w.Params();
    auto tellLanded = [&](const VerifyOutcome* back) {
        int registers = 0;
        const QVector<WriteLanding> landings = WriteLandings(values, selected, written, back, &registers);
        out.Result()[QStringLiteral("written")] =
            QJsonArray::fromStringList(LandedNames(params, landings, WriteLanding::Whole));
        out.Result()[QStringLiteral("registersWritten")] = registers;
        if (!written.Whole()) out.Problem(WriteLandingText(params, landings));
        return registers;
    };
    const QString notWhole = QStringLiteral("The meter was not written whole (failed registers: %1)").arg(written.failures);
    if (!written.handshakeOk || written.aborted) {
        tellLanded(nullptr);
        if (written.disconnected) return out.Fail(kExitMeterSilent, DisconnectedText(w.com));
        return out.Fail(kExitMeterSilent, written.handshakeOk ? notWhole : ConnectionFailureText());
    }
    const int registers = tellLanded(readBack && readBack->handshakeOk ? readBack : nullptr);
    if (!written.Whole()) return out.Fail(kExitMeterSilent, notWhole);
    out.Line(QStringLiteral("written: %1 parameters, %2 registers")
                 .arg(out.Result()[QStringLiteral("written")].toArray().size()).arg(registers));
    if (!readBack) return out.Finish(kExitDone);
    if (readBack->disconnected) return out.Fail(kExitMeterSilent, DisconnectedText(w.com));
    if (!readBack->handshakeOk) return out.Fail(kExitMeterSilent, ConnectionFailureText());
    // Every mismatch found is named, also when the read-back broke off.
    QJsonArray mismatches;
    for (const RegisterMismatch& m : readBack->mismatches) {
        const DMap& p = params.at(m.index);
        QJsonObject o;
        o[QStringLiteral("parameter")] = p.Parameter;
        o[QStringLiteral("offset")] = m.offset;
        o[QStringLiteral("register")] = m.reg;
        o[QStringLiteral("written")] = m.expected;
        o[QStringLiteral("read")] = m.actual;
        mismatches.append(o);
        out.Problem(QStringLiteral("Verification failed: register %1 (value %2 in parameter %3) holds %4, written %5")
                        .arg(m.reg).arg(m.offset).arg(p.Parameter).arg(m.actual).arg(m.expected));
    }
    out.Result()[QStringLiteral("mismatches")] = mismatches;
    if (!readBack->Whole())
        return out.Fail(kExitMeterSilent, QStringLiteral("The written registers could not be read back (failed registers: %1)")
                                              .arg(readBack->failures));
    if (!readBack->mismatches.isEmpty()) return out.Finish(kExitDifferences);
    out.Line(QStringLiteral("verified"));
    return out.Finish(kExitDone);
}

// Writes the selected parameters of the rows' last check, reads them back,
// lets the meter go and tells the outcome.
int WriteVerifyAndTell(CliOutput& out, MeterWork& w, const ValuesCheck& check, const QVector<bool>& selected) {
    out.Expect({QStringLiteral("writing"), QStringLiteral("verifying")});
    const WriteResult r = w.session.Write(*w.protocol, out, selected);
    w.Close();
    return TellWrite(out, w, check.registers, selected, r.written, r.readBackTried ? &r.back : nullptr);
}

int Write(const CliRequest& rq, CliContext& cx, CliOutput& out) {
    const QString path = rq.operands.value(0);
    // The file is read before the meter is touched.
    DataFileContent content;
    if (const int code = ReadWholeDataFile(out, path, &content)) return code;
    MeterWork w(cx);
    if (const int code = OpenMeterWithFile(rq, cx, out, path, &w, &content)) return code;
    LoadRows(w, content);
    const ValuesCheck check = w.session.Check(out, w.session.RowCount());
    if (!check.ok) {
        w.Close();
        if (!check.error.isEmpty()) out.Problem(check.error);
        return out.Fail(kExitDifferences, QStringLiteral("Please correct Data errors: nothing was written"));
    }
    QVector<bool> selected(w.session.RowCount(), true);
    if (rq.onlyChanged) {
        ReadOutcome read;
        if (const int code = ReadWhole(out, w, &read)) {
            w.Close();
            return code;
        }
        selected = ChangedParameters(check.registers, read.bytes, w.Params());
    }
    w.session.SetWriteReason(rq.reason);
    if (rq.noVerify) {
        out.Expect({QStringLiteral("writing")});
        const WriteOutcome written = w.session.WriteSelected(*w.protocol, check, selected, out);
        w.Close();
        return TellWrite(out, w, check.registers, selected, written, nullptr);
    }
    return WriteVerifyAndTell(out, w, check, selected);
}

int Diff(const CliRequest& rq, CliContext& cx, CliOutput& out) {
    const QString path = rq.operands.value(0);
    MeterWork w(cx);
    DataFileContent content;
    if (const int code = OpenMeterWithFile(rq, cx, out, path, &w, &content)) return code;
    // An invalid value in the file cannot equal anything the meter holds.
    const FileValues file = LoadRows(w, content);
    const ValuesCheck check = w.session.Check(out, w.session.RowCount());
    ReadOutcome read;
    const int code = ReadWhole(out, w, &read);
    w.Close();
    if (code) return code;
    const QVector<EEValue>& registers = check.registers;
    const QVector<bool> changed = ChangedParameters(registers, read.bytes, w.Params());
    QJsonArray differences;
    for (int i = 0; i < w.session.RowCount(); ++i) {
        const DMap& p = w.session.Row(i).param;
        const QString fileValue = file.meterValues.value(i);
        const bool refused = registers.value(i).RegCount == 0 && fileValue != read.meterValues.value(i) &&
                             !(p.Format == QLatin1String("Hex") && fileValue.isEmpty());
        if (!changed.value(i) && !refused) continue;
        QJsonObject o;
        o[QStringLiteral("name")] = p.Parameter;
        o[QStringLiteral("file")] = ToPointForm(p, fileValue);
        o[QStringLiteral("meter")] = ToPointForm(p, read.meterValues.value(i));
        differences.append(o);
        QString fileText = fileValue;
        QString meterText = read.meterValues.value(i);
        // Texts alike, registers not: the registers tell the difference.
        if (fileText == meterText) {
            fileText += QStringLiteral(" [") + RegistersText(registers.value(i).Values) + QStringLiteral("]");
            meterText += QStringLiteral(" [") + RegistersText(read.bytes.value(i)) + QStringLiteral("]");
        }
        out.Line(p.Parameter + QStringLiteral("\tfile: ") + fileText + QStringLiteral("\tmeter: ") + meterText);
    }
    out.Result()[QStringLiteral("differences")] = differences;
    return out.Finish(differences.isEmpty() ? kExitDone : kExitDifferences);
}

// The identity of the connected meter by what the session knows of it.
QString ConnectedMeter(const MeterSession& session, const QList<DMap>& params) {
    const int i = SerialNumberIndex(params);
    const QString serial = i < 0 ? QString() : UsableSerial(session.Known().value(i));
    return MeterIdentity(serial, session.Connection().mapNumber, session.Connection());
}

// Refuses a record made on another meter than the connected one; kExitDone
// when it is this meter's.
int RefuseOtherMeter(CliOutput& out, const HistoryRecord& record, const QString& connected) {
    const QString nothing = QStringLiteral(": nothing was written");
    if (IsUnidentified(record.meter))
        return out.Fail(kExitDifferences, QStringLiteral("Record %1 is of a meter without a serial number (%2); no "
                                                         "meter can be shown to be that one")
                                              .arg(record.id).arg(record.meter) + nothing);
    if (IsUnidentified(connected))
        return out.Fail(kExitDifferences, QStringLiteral("This meter has no serial number; it cannot be shown to be "
                                                         "meter %1 of record %2")
                                              .arg(record.meter).arg(record.id) + nothing);
    if (connected != record.meter)
        return out.Fail(kExitDifferences, QStringLiteral("Record %1 is of meter %2, this is meter %3")
                                              .arg(record.id).arg(record.meter, connected) + nothing);
    return kExitDone;
}

// Brings the connected meter back to a record's values: the parameters
// whose registers differ from the record's are written and read back.
int Restore(const CliRequest& rq, CliContext& cx, CliOutput& out, CliHistory& history) {
    HistoryRecord record;
    // The record is read before the meter is touched.
    if (const int code = FetchRecord(history, rq.records.value(0), out, &record)) return code;
    out.Result()[QStringLiteral("record")] = record.id;
    out.Result()[QStringLiteral("recordMeter")] = record.meter;
    MeterWork w(cx);
    if (const int code = OpenMeter(rq, cx, out, &w)) return code;
    const int mapNumber = w.session.Connection().mapNumber;
    if (record.mapNumber != mapNumber) {
        w.Close();
        return out.Fail(kExitDifferences, QStringLiteral("Record %1 is of a meter with map %2, this meter has map %3: "
                                                         "nothing was written")
                                              .arg(record.id).arg(record.mapNumber).arg(mapNumber));
    }
    ReadOutcome read;
    if (const int code = ReadWhole(out, w, &read)) {
        w.Close();
        return code;
    }
    const QString connected = ConnectedMeter(w.session, w.Params());
    out.Result()[QStringLiteral("meter")] = connected;
    if (const int code = RefuseOtherMeter(out, record, connected)) {
        w.Close();
        return code;
    }
    bool sameMap = false;
    const FileValues values = FileValuesOfRecord(record, w.Params(), &sameMap);
    if (!sameMap)
        out.Problem(QStringLiteral("Warning: record %1 was made under another version of %2; its values are taken by "
                                   "name and format")
                        .arg(record.id).arg(w.map.CurrentMapFile));
    // A parameter the record does not know keeps what the meter holds.
    for (int i = 0; i < w.session.RowCount(); ++i) {
        if (values.given.value(i))
            w.session.ShowValue(i, values.meterValues.at(i), values.exactRegisters.value(i), ValueOrigin::Loaded);
        else
            w.session.ShowValue(i, read.meterValues.value(i), read.bytes.value(i), ValueOrigin::Read);
    }
    const ValuesCheck check = w.session.Check(out, w.session.RowCount());
    if (!check.ok) {
        w.Close();
        if (!check.error.isEmpty()) out.Problem(check.error);
        return out.Fail(kExitDifferences,
                        QStringLiteral("Record %1 holds values the data check refuses: nothing was written").arg(record.id));
    }
    const QVector<bool> selected = ChangedParameters(check.registers, read.bytes, w.Params());
    if (!selected.contains(true)) {
        w.Close();
        out.Result()[QStringLiteral("written")] = QJsonArray();
        out.Result()[QStringLiteral("registersWritten")] = 0;
        out.Line(QStringLiteral("nothing to write: the meter holds the values of record %1").arg(record.id));
        return out.Finish(kExitDone);
    }
    w.session.SetWriteReason(rq.reason);
    w.session.SetRestoreOf(QString::number(record.id));
    return WriteVerifyAndTell(out, w, check, selected);
}

int Check(const CliRequest& rq, CliContext& cx, CliOutput& out) {
    const QString mapArg = rq.operands.value(0);
    const QString path = rq.operands.value(1);
    MeterMap map;
    bool isNumber = false;
    const int number = mapArg.toInt(&isNumber);
    if (isNumber && number >= 0)
        map = LoadMeterMap(cx.userDir, number);
    else
        map = LoadMapFile(QFileInfo(mapArg).absolutePath(), QFileInfo(mapArg).fileName());
    out.Result()[QStringLiteral("map")] = map.fileName;
    if (!map.ok) return out.Fail(kExitFile, map.error);
    MeterWork w(cx);
    w.UseMap(map);
    DataFileContent content;
    if (const int code = LoadFileFor(rq, out, path, w, &content)) return code;
    LoadRows(w, content);
    const ValuesCheck check = w.session.Check(out, w.session.RowCount());
    out.Result()[QStringLiteral("invalid")] = check.invalid;
    if (!check.ok) {
        if (!check.error.isEmpty()) out.Problem(check.error);
        return out.Finish(kExitDifferences);
    }
    out.Line(QStringLiteral("Data OK"));
    return out.Finish(kExitDone);
}

QString Absolute(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

} // namespace

QString CliHelpText() {
    return QStringLiteral(
        "Usage: vorda-cli [--json] COMMAND [options]\n"
        "\n"
        "Commands:\n"
        "  scan [--com N]                     every COM port that opens, which answer the handshake,\n"
        "                                     the map number each meter reports, and the ports that\n"
        "                                     another program holds (with its process number); under\n"
        "                                     a port, its links in /dev/serial/by-id and by-path and\n"
        "                                     its USB adapter's serial number, id and product, where\n"
        "                                     the system knows them\n"
        "  read [--com N] -o FILE.epf         read every parameter into a data file (exact meter values)\n"
        "  write FILE.epf [--com N] [--only-changed] [--no-verify] [--force-map] [--reason TEXT]\n"
        "                                     check the file's values, write them, read them back\n"
        "  diff FILE.epf [--com N] [--force-map]\n"
        "                                     each parameter whose meter value differs from the file's\n"
        "  check MAP FILE.epf [--force-map]   the data check of a file against a map, without a meter;\n"
        "                                     MAP is a map number (ZUVMap<n>.Map in the user directory)\n"
        "                                     or a map file\n"
        "  history [--meter ID] [--limit N]   the meter history's records, newest first, one a line:\n"
        "                                     record number, time (UTC), kind, meter, outcome, port,\n"
        "                                     user, reason\n"
        "  history show REC                   one record's facts and every value it holds (name,\n"
        "                                     meter value, registers, and for a write its echo)\n"
        "  history diff REC1 REC2             each parameter whose value differs between two records\n"
        "                                     (in display units when both were made under the map the\n"
        "                                     user directory holds now, else in meter values)\n"
        "  restore REC [--com N] [--reason TEXT]\n"
        "                                     write back the values of record REC where the meter\n"
        "                                     differs (the record must be of this very meter), then\n"
        "                                     read them back\n"
        "  station [PROFILE] [--golden FILE.epf] [--keep NAME,NAME...] [--no-ma] [--ma-source CMD]\n"
        "          [--reports DIR] [--count N] [--com N]\n"
        "                                     commission meter after meter from one golden set: wait\n"
        "                                     for each new meter, write what differs and is not kept,\n"
        "                                     read back, calibrate the mA output, save its report;\n"
        "                                     one line per meter (serial, PASS/FAIL, reason), the tally\n"
        "                                     at the end; exit 0 only when every meter passed\n"
        "\n"
        "Options:\n"
        "  --com N          use COM N only (default: the one meter found)\n"
        "  -o FILE          the data file to save (read)\n"
        "  --only-changed   read the meter first and write only parameters whose registers differ\n"
        "  --no-verify      do not read the written registers back\n"
        "  --force-map      take a data file made for another map, its values by position\n"
        "  --reason TEXT    why the meter is written, kept with the write's record (may be empty)\n"
        "  --golden FILE    station: the golden data file (over the profile's)\n"
        "  --keep NAMES     station: the parameters each meter keeps, comma-separated (read-only\n"
        "                   parameters are always kept)\n"
        "  --no-ma          station: no mA output calibration\n"
        "  --ma-source CMD  station: a shell command that prints the measured mA output (VORDA_MA_STEP\n"
        "                   is \"as found\" or \"as left\")\n"
        "  --reports DIR    station: the report folder (default: \"Station Reports\" in the user directory)\n"
        "  --count N        station: end after N meters (default: until SIGINT or SIGTERM)\n"
        "  --meter ID       the records of one meter: \"<map number>:<serial number>\" as history\n"
        "                   lists it (default: every meter)\n"
        "  --limit N        at most N records (default: all)\n"
        "  --json           one JSON document on standard output\n"
        "  -h, --help       this text\n"
        "  --version        the program's version\n"
        "\n"
        "Progress goes to standard error while it is a terminal; every problem is one line there.\n"
        "The environment variable VORDA_PORT_DIR names a folder whose entries COM1, COM2, ... are the ports.\n"
        "To pin a meter to its USB adapter, link a port of such a folder to the adapter's stable name:\n"
        "  mkdir ports; ln -s /dev/serial/by-id/usb-...-if00-port0 ports/COM5\n"
        "  VORDA_PORT_DIR=$PWD/ports vorda-cli station PROFILE --com 5\n"
        "COM5 then is that adapter, whichever /dev/ttyUSB* it gets, and is missing while it is unplugged.\n"
        "\n"
        "Every whole read, write and verification is recorded in the meter history: the SQLite file or\n"
        "postgresql:// URL that VORDA_HISTORY names, else the first line of VORDAHistory.txt in the user\n"
        "directory, else VORDAHistory.sqlite there. A record that cannot be stored is told in one line\n"
        "on standard error (\"Meter history: ...\"); the command and its exit code are not changed.\n"
        "\n"
        "Exit codes:\n"
        "  0  done\n"
        "  1  differences, invalid data, a verification mismatch, a file made for another map, or a\n"
        "     record of another meter (restore)\n"
        "  2  wrong usage\n"
        "  3  no meter, or several meters\n"
        "  4  the meter stopped answering\n"
        "  5  a file could not be read or written (data file, map, start-up files), or the meter\n"
        "     history could not be read\n"
        "  6  the meter history holds no record of that number\n");
}

QString CliVersionText() { return QStringLiteral("vorda-cli ") + QLatin1String(kVersionText) + QLatin1Char('\n'); }

namespace {
// The argument that named an option the parser does not know, as given.
QString UnknownArgument(const QStringList& arguments, const QString& name) {
    for (const QString& a : arguments) {
        if (a == QLatin1String("--") + name || a.startsWith(QLatin1String("--") + name + QLatin1Char('=')))
            return a;
        if (!a.startsWith(QLatin1String("--")) && a.startsWith(QLatin1Char('-')) && a.mid(1).contains(name))
            return a;
    }
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The rest of a history or restore command line: its view and record
// numbers, and the options that belong to it.
bool ParseRecordCommand(bool reasonGiven, QStringList positional, CliRequest* rq, QString* error) {
    auto fail = [error](const QString& text) {
        *error = text;
        return false;
    };
    const bool history = rq->command == QLatin1String("history");
    int records = 1;
    if (history) {
        rq->subcommand = positional.isEmpty() ? QString() : positional.takeFirst();
        if (rq->subcommand.isEmpty()) records = 0;
        else if (rq->subcommand == QLatin1String("show")) records = 1;
        else if (rq->subcommand == QLatin1String("diff")) records = 2;
        else return fail(QStringLiteral("unknown history view %1: history, history show REC or history diff REC1 REC2")
                             .arg(rq->subcommand));
    }
    const QString named = history ? (QStringLiteral("history ") + rq->subcommand).trimmed() : rq->command;
    if (positional.size() != records)
        return fail(QStringLiteral("%1 takes %2 record number(s), %3 given (see --help)")
                        .arg(named).arg(records).arg(positional.size()));
    for (const QString& p : positional) {
        bool ok = false;
        const qint64 id = p.toLongLong(&ok);
        if (!ok || id < 1) return fail(QStringLiteral("'%1' is no record number (vorda-cli history lists them)").arg(p));
        rq->records << id;
    }
    if (history && rq->com > 0) return fail(QStringLiteral("history uses no meter; --com does not apply"));
    if (history && reasonGiven) return fail(QStringLiteral("--reason belongs to write and restore only"));
    if (!(history && rq->subcommand.isEmpty()) && (!rq->meter.isEmpty() || rq->limit > 0))
        return fail(QStringLiteral("--meter and --limit belong to the history list only"));
    if (!rq->output.isEmpty()) return fail(QStringLiteral("-o belongs to read only"));
    if (rq->onlyChanged || rq->noVerify)
        return fail(QStringLiteral("--only-changed and --no-verify belong to write only"));
    if (rq->forceMap) return fail(QStringLiteral("--force-map belongs to write, diff and check only"));
    return true;
}
} // namespace

bool ParseCliArguments(const QStringList& arguments, CliRequest* rq, CliAnswer* answer, QString* error) {
    *answer = CliAnswer::Command;
    auto fail = [error](const QString& text) {
        *error = text;
        return false;
    };
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption onlyChanged(QStringLiteral("only-changed"));
    const QCommandLineOption noVerify(QStringLiteral("no-verify"));
    const QCommandLineOption forceMap(QStringLiteral("force-map"));
    const QCommandLineOption com(QStringLiteral("com"), QString(), QStringLiteral("N"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("FILE"));
    const QCommandLineOption reason(QStringLiteral("reason"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption meter(QStringLiteral("meter"), QString(), QStringLiteral("ID"));
    const QCommandLineOption limit(QStringLiteral("limit"), QString(), QStringLiteral("N"));
    const QCommandLineOption golden(QStringLiteral("golden"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption keep(QStringLiteral("keep"), QString(), QStringLiteral("NAMES"));
    const QCommandLineOption noMa(QStringLiteral("no-ma"));
    const QCommandLineOption maSource(QStringLiteral("ma-source"), QString(), QStringLiteral("CMD"));
    const QCommandLineOption reports(QStringLiteral("reports"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption count(QStringLiteral("count"), QString(), QStringLiteral("N"));
    QCommandLineParser parser;
    parser.addOptions({help, version, json, onlyChanged, noVerify, forceMap, com, output, reason, meter, limit, golden,
                       keep, noMa, maSource, reports, count});
    const bool parsed = parser.parse(QStringList{QStringLiteral("vorda-cli")} + arguments);
    // Asked for, the help and the version are the answer whatever else the
    // line holds.
    if (parser.isSet(help)) {
        *answer = CliAnswer::Help;
        return true;
    }
    if (parser.isSet(version)) {
        *answer = CliAnswer::Version;
        return true;
    }
    if (!parsed) {
        if (!parser.unknownOptionNames().isEmpty())
            return fail(QStringLiteral("unknown option %1 (see --help)")
                            .arg(UnknownArgument(arguments, parser.unknownOptionNames().first())));
        // A value option at the end of the line, without its value.
        const QString last = arguments.value(arguments.size() - 1);
        if (last == QLatin1String("--com")) return fail(QStringLiteral("--com needs a COM number"));
        if (last == QLatin1String("-o") || last == QLatin1String("--output"))
            return fail(QStringLiteral("-o needs a file name"));
        if (last == QLatin1String("--reason")) return fail(QStringLiteral("--reason needs a text (\"\" for none)"));
        if (last == QLatin1String("--meter")) return fail(QStringLiteral("--meter needs a meter as history lists it"));
        if (last == QLatin1String("--limit")) return fail(QStringLiteral("--limit needs a count of records"));
        return fail(parser.errorText() + QStringLiteral(" (see --help)"));
    }
    rq->json = parser.isSet(json);
    rq->onlyChanged = parser.isSet(onlyChanged);
    rq->noVerify = parser.isSet(noVerify);
    rq->forceMap = parser.isSet(forceMap);
    if (parser.isSet(com)) {
        const QString v = parser.value(com);
        bool ok = false;
        rq->com = v.toInt(&ok);
        if (!ok || rq->com < 1 || rq->com > kLastComNumber)
            return fail(QStringLiteral("--com needs a COM number from 1 to 1000, not '%1'").arg(v));
    }
    if (parser.isSet(output)) {
        const QString v = parser.value(output);
        if (v.isEmpty()) return fail(QStringLiteral("-o needs a file name"));
        rq->output = Absolute(v);
    }
    rq->reason = parser.value(reason);
    rq->meter = parser.value(meter);
    if (parser.isSet(meter) && rq->meter.trimmed().isEmpty())
        return fail(QStringLiteral("--meter needs a meter as history lists it"));
    if (parser.isSet(limit)) {
        const QString v = parser.value(limit);
        bool ok = false;
        rq->limit = v.toInt(&ok);
        if (!ok || rq->limit < 1) return fail(QStringLiteral("--limit needs a count of records from 1 up, not '%1'").arg(v));
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) return fail(QStringLiteral("no command given (see --help)"));
    rq->command = positional.takeFirst();
    const QString& c = rq->command;
    const bool stationOption = parser.isSet(golden) || parser.isSet(keep) || parser.isSet(noMa) ||
                               parser.isSet(maSource) || parser.isSet(reports) || parser.isSet(count);
    if (c == QLatin1String("station")) {
        if (positional.size() > 1) return fail(QStringLiteral("station takes one profile at most (see --help)"));
        if (parser.isSet(reason) || parser.isSet(meter) || parser.isSet(limit) || rq->onlyChanged || rq->noVerify ||
            rq->forceMap || !rq->output.isEmpty())
            return fail(QStringLiteral("station takes --golden, --keep, --no-ma, --ma-source, --reports, --count, "
                                       "--com and --json (see --help)"));
        if (!positional.isEmpty()) rq->operands << Absolute(positional.first());
        if (parser.isSet(golden)) rq->golden = Absolute(parser.value(golden));
        if (parser.isSet(reports)) rq->reports = Absolute(parser.value(reports));
        rq->keepGiven = parser.isSet(keep);
        for (const QString& name : parser.value(keep).split(QLatin1Char(','), Qt::SkipEmptyParts))
            rq->keep << name.trimmed();
        rq->noMa = parser.isSet(noMa);
        rq->maSource = parser.value(maSource);
        if (parser.isSet(count)) {
            bool ok = false;
            rq->count = parser.value(count).toInt(&ok);
            if (!ok || rq->count < 1)
                return fail(QStringLiteral("--count needs a count of meters from 1 up, not '%1'").arg(parser.value(count)));
        }
        if (rq->operands.isEmpty() && rq->golden.isEmpty())
            return fail(QStringLiteral("station needs a profile or --golden FILE.epf (see --help)"));
        return true;
    }
    if (stationOption) return fail(QStringLiteral("--golden, --keep, --no-ma, --ma-source, --reports and --count belong to station only"));
    if (c == QLatin1String("history") || c == QLatin1String("restore"))
        return ParseRecordCommand(parser.isSet(reason), positional, rq, error);
    if (parser.isSet(meter) || parser.isSet(limit)) return fail(QStringLiteral("--meter and --limit belong to history only"));
    if (parser.isSet(reason) && c != QLatin1String("write"))
        return fail(QStringLiteral("--reason belongs to write and restore only"));
    int operands = 0;
    if (c == QLatin1String("scan") || c == QLatin1String("read")) operands = 0;
    else if (c == QLatin1String("write") || c == QLatin1String("diff")) operands = 1;
    else if (c == QLatin1String("check")) operands = 2;
    else return fail(QStringLiteral("unknown command %1 (see --help)").arg(c));
    if (positional.size() != operands)
        return fail(QStringLiteral("%1 takes %2 file or map argument(s), %3 given (see --help)")
                        .arg(c).arg(operands).arg(positional.size()));
    if (c == QLatin1String("read") && rq->output.isEmpty()) return fail(QStringLiteral("read needs -o FILE.epf"));
    if (c != QLatin1String("read") && !rq->output.isEmpty()) return fail(QStringLiteral("-o belongs to read only"));
    if ((rq->onlyChanged || rq->noVerify) && c != QLatin1String("write"))
        return fail(QStringLiteral("--only-changed and --no-verify belong to write only"));
    if (rq->com > 0 && c == QLatin1String("check")) return fail(QStringLiteral("check uses no meter; --com does not apply"));
    for (const QString& p : positional) {
        // A map number stays as it is; files become absolute before the
        // working directory moves to the user directory.
        bool isNumber = false;
        p.toInt(&isNumber);
        rq->operands << ((c == QLatin1String("check") && rq->operands.isEmpty() && isNumber) ? p : Absolute(p));
    }
    return true;
}

int RunCliCommand(const CliRequest& rq, CliContext& cx) {
    CliOutput out(rq, cx.progress);
    CliHistory history(cx.userDir, cx.historyAddress, [&out](const QString& line) { out.Notice(line); });
    const QString& c = rq.command;
    if (c == QLatin1String("history")) return RunHistoryCommand(rq, cx, out, history);
    if (c == QLatin1String("scan")) return Scan(rq, cx, out);
    if (c == QLatin1String("check")) return Check(rq, cx, out);
    // The meter commands record what they do.
    cx.events = &history;
    const auto detach = qScopeGuard([&cx] { cx.events = nullptr; });
    out.ReportHistory(&history);
    if (c == QLatin1String("read")) return Read(rq, cx, out);
    if (c == QLatin1String("write")) return Write(rq, cx, out);
    if (c == QLatin1String("restore")) return Restore(rq, cx, out, history);
    if (c == QLatin1String("station")) return RunStation(rq, cx, out);
    return Diff(rq, cx, out);
}

} // namespace vorda
