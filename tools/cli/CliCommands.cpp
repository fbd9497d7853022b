#include "CliCommands.h"

#include "base/TextFiles.h"
#include "maps/MapFile.h"
#include "meter/MeterDetection.h"
#include "meter/MeterProtocol.h"
#include "units/DisplayData.h"
#include "values/DataCheck.h"
#include "values/MeterEngine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cstdio>

namespace vorda {
namespace {

// Messages are written with "\n\r" line breaks; a line on a terminal holds one.
QString OneLine(const QString& text) { return QString(text).replace(QStringLiteral("\n\r"), QStringLiteral(" ")); }

void PrintErr(const QString& text) {
    std::fprintf(stderr, "vorda-cli: %s\n", OneLine(text).toLocal8Bit().constData());
    std::fflush(stderr);
}

// Everything a command tells the user: results on standard output (or one
// JSON document at the end), problems on standard error as they happen,
// progress on standard error while it is a terminal.
class CliOutput : public MeterReport {
public:
    CliOutput(const CliRequest& request, bool progress) : json_(request.json), progress_(progress) {
        result_[QStringLiteral("command")] = request.command;
    }

    void SetParams(const QList<DMap>* params) { params_ = params; }
    void SetActivity(const QString& activity) { activity_ = activity; }

    void Problem(const QString& text) {
        EndProgress();
        PrintErr(text);
        problems_.append(OneLine(text));
    }
    void Line(const QString& text) {
        if (json_) return;
        EndProgress();
        std::printf("%s\n", text.toLocal8Bit().constData());
        std::fflush(stdout);
    }
    QJsonObject& Result() { return result_; }

    int Finish(int code) {
        EndProgress();
        if (json_) {
            result_[QStringLiteral("exitCode")] = code;
            result_[QStringLiteral("problems")] = problems_;
            std::printf("%s", QJsonDocument(result_).toJson(QJsonDocument::Indented).constData());
            std::fflush(stdout);
        }
        return code;
    }
    // A problem that ends the command.
    int Fail(int code, const QString& text) {
        Problem(text);
        return Finish(code);
    }

    void Progress(int done, int total) override {
        if (!progress_ || total <= 0) return;
        // Repainted at a human rate, and always at the end.
        if (done < total && shown_ && timer_.elapsed() < 50) return;
        timer_.start();
        shown_ = true;
        std::fprintf(stderr, "\r%s %d/%d registers", activity_.toLocal8Bit().constData(), done, total);
        std::fflush(stderr);
    }
    void RegisterFailed(MeterDirection direction, int, const DMap& param, int offset) override {
        Problem(RegisterFailureText(direction, param, offset) + QStringLiteral(" (register ") +
                QString::number(param.Startreg + offset) + QStringLiteral(")"));
    }
    void TooManyFailures(MeterDirection direction) override { Problem(TooManyFailuresText(direction)); }
    void InvalidValue(int, const DMap& param, const QString& reason) override { Problem(InvalidMessage(param, reason)); }

private:
    void EndProgress() {
        if (!shown_) return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        shown_ = false;
    }

    bool json_;
    bool progress_;
    bool shown_ = false;
    QElapsedTimer timer_;
    QString activity_;
    const QList<DMap>* params_ = nullptr;
    QJsonObject result_;
    QJsonArray problems_;
};

// The display form of a meter value in the current unit of its type.
QString DisplayText(const CliContext& cx, const DMap& p, const QString& meterValue) {
    const UnitRow* unit = nullptr;
    for (const UnitRow& row : cx.units)
        if (!p.PType.isEmpty() && row.Type == p.PType) {
            unit = &row;
            break;
        }
    QString shown = ToPointForm(p, MeterToDisplay(p, meterValue, unit, cx.eval));
    if (unit && !unit->Units.isEmpty()) shown += QLatin1Char(' ') + unit->Units;
    return shown;
}

// Values in JSON carry their numbers in the point form, whatever the locale.
QJsonObject ParameterJson(const CliContext& cx, const DMap& p, const QString& meterValue) {
    QJsonObject o;
    o[QStringLiteral("name")] = p.Parameter;
    o[QStringLiteral("format")] = p.Format;
    o[QStringLiteral("value")] = ToPointForm(p, meterValue);
    o[QStringLiteral("display")] = DisplayText(cx, p, meterValue);
    return o;
}

// The registers of a whole read, as a write would send them.
QVector<EEValue> ReadRegisters(const QList<DMap>& params, const ReadOutcome& read) {
    QVector<EEValue> out(params.size());
    for (int i = 0; i < params.size(); ++i) {
        out[i].Startreg = params.at(i).Startreg;
        out[i].Values = read.bytes.value(i);
        out[i].RegCount = int(out[i].Values.size());
    }
    return out;
}

// "No meter detected" and the like, followed by the ports that other
// programs hold: a meter may be behind one of them.
QString WithHeldPorts(QString text, const ScanOutcome& scan) {
    for (const HeldPort& port : scan.held) text += QStringLiteral("; ") + PortInUseText(port);
    return text;
}

// The meter, connected, with its own map.
struct MeterSession {
    MeterLinkState link;
    std::unique_ptr<MeterProtocol> protocol;
    int com = 0;
    MeterMap map;
};

// Connects to the one meter (COM --com when given) and loads its map.
// Returns kExitDone or the exit code of the failure, reported.
int OpenMeter(const CliRequest& rq, CliContext& cx, CliOutput& out, MeterSession* s) {
    s->protocol = std::make_unique<MeterProtocol>(cx.serial, s->link);
    const ConnectOutcome c = ConnectOneMeter(*s->protocol, rq.com);
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
    s->com = c.com;
    out.Result()[QStringLiteral("com")] = c.com;
    if (c.mapNumber < 0) return out.Fail(kExitMeterSilent, QStringLiteral("The meter's map number could not be read"));
    s->map = LoadMeterMap(cx.userDir, c.mapNumber);
    out.Result()[QStringLiteral("map")] = s->map.fileName.isEmpty() ? MeterMapFileName(c.mapNumber) : s->map.fileName;
    if (!s->map.ok) return out.Fail(kExitFile, s->map.error);
    out.SetParams(&s->map.params);
    return kExitDone;
}

void CloseMeter(MeterSession& s) {
    if (s.protocol && s.com > 0) s.protocol->DisconnectPort(s.com - 1);
}

// Reads every parameter; kExitDone when the whole meter was read.
int ReadWhole(CliOutput& out, MeterSession& s, ReadOutcome* read) {
    out.SetActivity(QStringLiteral("reading"));
    *read = ReadParameters(*s.protocol, s.map.params, out);
    if (!read->handshakeOk) return out.Fail(kExitMeterSilent, ConnectionFailureText());
    if (!read->Whole())
        return out.Fail(kExitMeterSilent, QStringLiteral("The meter could not be read whole (failed registers: %1)")
                                              .arg(read->failures));
    return kExitDone;
}

// A data file made for mapFileName: read whole, the map's count of values.
// Reads a whole data file; a file that cannot be opened or ends early is
// code 5.
int ReadWholeDataFile(CliOutput& out, const QString& path, DataFileContent* content) {
    QString error;
    if (!LoadDataFile(path, content, &error)) return out.Fail(kExitFile, path + QStringLiteral(": ") + error);
    if (!content->complete) return out.Fail(kExitFile, QStringLiteral("Error reading data file ") + path);
    return kExitDone;
}

int LoadFileFor(const CliRequest& rq, CliOutput& out, const QString& path, const MeterMap& map,
                DataFileContent* content) {
    if (const int code = ReadWholeDataFile(out, path, content)) return code;
    out.Result()[QStringLiteral("file")] = path;
    out.Result()[QStringLiteral("fileMap")] = content->mapFileName;
    if (!DataFileFitsMap(*content, map.fileName)) {
        if (!rq.forceMap)
            return out.Fail(kExitDifferences, QStringLiteral("%1 was made for %2, the map is %3 (--force-map uses it all the same)")
                                                  .arg(path, Excerpt(content->mapFileName), map.fileName));
        out.Problem(QStringLiteral("Warning: %1 was made for %2; its values are taken by position")
                        .arg(path, Excerpt(content->mapFileName)));
    } else if (content->values.size() != map.params.size()) {
        return out.Fail(kExitFile, QStringLiteral("%1 holds %2 values, the map %3 has %4 parameters")
                                       .arg(path).arg(content->values.size()).arg(map.fileName).arg(map.params.size()));
    }
    return kExitDone;
}

// Connects to the meter and reads the data file for its map; the meter is
// let go again when the file does not serve.
int OpenMeterWithFile(const CliRequest& rq, CliContext& cx, CliOutput& out, const QString& path, MeterSession* s,
                      DataFileContent* content) {
    if (const int code = OpenMeter(rq, cx, out, s)) return code;
    if (const int code = LoadFileFor(rq, out, path, s->map, content)) {
        CloseMeter(*s);
        return code;
    }
    return kExitDone;
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
        ports.append(o);
        out.Line(p.meter ? QStringLiteral("COM%1\tmeter\tmap %2").arg(p.com).arg(p.mapNumber)
                         : QStringLiteral("COM%1\tno meter").arg(p.com));
    }
    QJsonArray held;
    for (const HeldPort& p : scan.held) {
        QJsonObject o;
        o[QStringLiteral("com")] = p.com;
        if (p.pid > 0) o[QStringLiteral("pid")] = p.pid;
        held.append(o);
        out.Line(QStringLiteral("COM%1\tin use by another program").arg(p.com) +
                 (p.pid > 0 ? QStringLiteral(" (process %1)").arg(p.pid) : QString()));
    }
    out.Result()[QStringLiteral("ports")] = ports;
    out.Result()[QStringLiteral("inUse")] = held;
    out.Result()[QStringLiteral("meters")] = scan.MeterCount();
    if (scan.ports.isEmpty() && scan.held.isEmpty()) out.Line(QStringLiteral("no COM port could be opened"));
    return out.Finish(kExitDone);
}

int Read(const CliRequest& rq, CliContext& cx, CliOutput& out) {
    MeterSession s;
    if (const int code = OpenMeter(rq, cx, out, &s)) return code;
    ReadOutcome read;
    const int code = ReadWhole(out, s, &read);
    CloseMeter(s);
    if (code) return code;
    // What the meter holds is saved as it is; values the check refuses are
    // named, so that a file that cannot be written back is not taken for a
    // good one.
    const ValuesCheck check = CheckMeterValues(s.map.params, read.meterValues, cx.eval, cx.rounder, out, read.bytes);
    QString error;
    if (!SaveDataFile(rq.output, s.map.fileName, s.map.params, read.meterValues, ReadRegisters(s.map.params, read),
                      &error))
        return out.Fail(kExitFile, rq.output + QStringLiteral(": ") + error);
    QJsonArray params;
    for (int i = 0; i < s.map.params.size(); ++i) {
        params.append(ParameterJson(cx, s.map.params.at(i), read.meterValues.at(i)));
        out.Line(s.map.params.at(i).Parameter + QLatin1Char('\t') + read.meterValues.at(i));
    }
    out.Result()[QStringLiteral("file")] = rq.output;
    out.Result()[QStringLiteral("parameters")] = params;
    if (!check.ok) {
        if (!check.error.isEmpty()) out.Problem(check.error);
        return out.Fail(kExitDifferences, QStringLiteral("Saved %1; the meter holds values the data check refuses").arg(rq.output));
    }
    return out.Finish(kExitDone);
}

int Write(const CliRequest& rq, CliContext& cx, CliOutput& out) {
    const QString path = rq.operands.value(0);
    // The file is read before the meter is touched.
    DataFileContent content;
    if (const int code = ReadWholeDataFile(out, path, &content)) return code;
    MeterSession s;
    if (const int code = OpenMeterWithFile(rq, cx, out, path, &s, &content)) return code;
    const FileValues file = FileValuesByPosition(content, s.map.params);
    const ValuesCheck check =
        CheckMeterValues(s.map.params, file.meterValues, cx.eval, cx.rounder, out, file.exactRegisters);
    if (!check.ok) {
        CloseMeter(s);
        if (!check.error.isEmpty()) out.Problem(check.error);
        return out.Fail(kExitDifferences, QStringLiteral("Please correct Data errors: nothing was written"));
    }
    QVector<bool> selected(s.map.params.size(), true);
    if (rq.onlyChanged) {
        ReadOutcome read;
        if (const int code = ReadWhole(out, s, &read)) {
            CloseMeter(s);
            return code;
        }
        selected = ChangedParameters(check.registers, read.bytes, s.map.params);
    }
    out.SetActivity(QStringLiteral("writing"));
    const WriteOutcome w = WriteParameters(*s.protocol, s.map.params, check.registers, selected, out);
    // What landed: the registers the meter echoed, and those a read-back
    // shows it holds although their echo was lost.
    auto tellLanded = [&](const VerifyOutcome* readBack) {
        int registers = 0;
        const QVector<WriteLanding> landings = WriteLandings(check.registers, selected, w, readBack, &registers);
        out.Result()[QStringLiteral("written")] =
            QJsonArray::fromStringList(LandedNames(s.map.params, landings, WriteLanding::Whole));
        out.Result()[QStringLiteral("registersWritten")] = registers;
        if (!w.Whole()) out.Problem(WriteLandingText(s.map.params, landings));
        return registers;
    };
    if (!w.handshakeOk) {
        CloseMeter(s);
        tellLanded(nullptr);
        return out.Fail(kExitMeterSilent, ConnectionFailureText());
    }
    if (w.aborted) {
        CloseMeter(s);
        tellLanded(nullptr);
        return out.Fail(kExitMeterSilent, QStringLiteral("The meter was not written whole (failed registers: %1)").arg(w.failures));
    }
    if (rq.noVerify) {
        CloseMeter(s);
        const int registers = tellLanded(nullptr);
        if (!w.Whole())
            return out.Fail(kExitMeterSilent, QStringLiteral("The meter was not written whole (failed registers: %1)").arg(w.failures));
        out.Line(QStringLiteral("written: %1 parameters, %2 registers")
                     .arg(out.Result()[QStringLiteral("written")].toArray().size()).arg(registers));
        return out.Finish(kExitDone);
    }
    out.SetActivity(QStringLiteral("verifying"));
    const VerifyOutcome v = VerifyParameters(*s.protocol, s.map.params, check.registers, selected, out);
    CloseMeter(s);
    const int registers = tellLanded(v.handshakeOk ? &v : nullptr);
    if (!w.Whole())
        return out.Fail(kExitMeterSilent, QStringLiteral("The meter was not written whole (failed registers: %1)").arg(w.failures));
    out.Line(QStringLiteral("written: %1 parameters, %2 registers")
                 .arg(out.Result()[QStringLiteral("written")].toArray().size()).arg(registers));
    if (!v.handshakeOk) return out.Fail(kExitMeterSilent, ConnectionFailureText());
    // Every mismatch found is named, also when the read-back broke off.
    QJsonArray mismatches;
    for (const RegisterMismatch& m : v.mismatches) {
        const DMap& p = s.map.params.at(m.index);
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
    if (!v.Whole())
        return out.Fail(kExitMeterSilent, QStringLiteral("The written registers could not be read back (failed registers: %1)")
                                              .arg(v.failures));
    if (!v.mismatches.isEmpty()) return out.Finish(kExitDifferences);
    out.Line(QStringLiteral("verified"));
    return out.Finish(kExitDone);
}

int Diff(const CliRequest& rq, CliContext& cx, CliOutput& out) {
    const QString path = rq.operands.value(0);
    MeterSession s;
    DataFileContent content;
    if (const int code = OpenMeterWithFile(rq, cx, out, path, &s, &content)) return code;
    // An invalid value in the file cannot equal anything the meter holds.
    const FileValues file = FileValuesByPosition(content, s.map.params);
    const ValuesCheck check =
        CheckMeterValues(s.map.params, file.meterValues, cx.eval, cx.rounder, out, file.exactRegisters);
    ReadOutcome read;
    const int code = ReadWhole(out, s, &read);
    CloseMeter(s);
    if (code) return code;
    QVector<bool> changed = ChangedParameters(check.registers, read.bytes, s.map.params);
    QJsonArray differences;
    for (int i = 0; i < s.map.params.size(); ++i) {
        const DMap& p = s.map.params.at(i);
        const QString fileValue = file.meterValues.value(i);
        const bool refused = check.registers.value(i).RegCount == 0 && fileValue != read.meterValues.value(i) &&
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
            fileText += QStringLiteral(" [") + RegistersText(check.registers.value(i).Values) + QStringLiteral("]");
            meterText += QStringLiteral(" [") + RegistersText(read.bytes.value(i)) + QStringLiteral("]");
        }
        out.Line(p.Parameter + QStringLiteral("\tfile: ") + fileText + QStringLiteral("\tmeter: ") + meterText);
    }
    out.Result()[QStringLiteral("differences")] = differences;
    return out.Finish(differences.isEmpty() ? kExitDone : kExitDifferences);
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
    DataFileContent content;
    if (const int code = LoadFileFor(rq, out, path, map, &content)) return code;
    const FileValues file = FileValuesByPosition(content, map.params);
    const ValuesCheck check = CheckMeterValues(map.params, file.meterValues, cx.eval, cx.rounder, out, file.exactRegisters);
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
        "                                     another program holds (with its process number)\n"
        "  read [--com N] -o FILE.epf         read every parameter into a data file (exact meter values)\n"
        "  write FILE.epf [--com N] [--only-changed] [--no-verify] [--force-map]\n"
        "                                     check the file's values, write them, read them back\n"
        "  diff FILE.epf [--com N] [--force-map]\n"
        "                                     each parameter whose meter value differs from the file's\n"
        "  check MAP FILE.epf [--force-map]   the data check of a file against a map, without a meter;\n"
        "                                     MAP is a map number (ZUVMap<n>.Map in the user directory)\n"
        "                                     or a map file\n"
        "\n"
        "Options:\n"
        "  --com N          use COM N only (default: the one meter found)\n"
        "  -o FILE          the data file to save (read)\n"
        "  --only-changed   read the meter first and write only parameters whose registers differ\n"
        "  --no-verify      do not read the written registers back\n"
        "  --force-map      take a data file made for another map, its values by position\n"
        "  --json           one JSON document on standard output\n"
        "  -h, --help       this text\n"
        "\n"
        "Progress goes to standard error while it is a terminal; every problem is one line there.\n"
        "The environment variable VORDA_PORT_DIR names a folder whose entries COM1, COM2, ... are the ports.\n"
        "\n"
        "Exit codes:\n"
        "  0  done\n"
        "  1  differences, invalid data, a verification mismatch, or a file made for another map\n"
        "  2  wrong usage\n"
        "  3  no meter, or several meters\n"
        "  4  the meter stopped answering\n"
        "  5  a file could not be read or written (data file, map, start-up files)\n");
}

bool ParseCliArguments(const QStringList& arguments, CliRequest* rq, bool* help, QString* error) {
    *help = false;
    auto fail = [error](const QString& text) {
        *error = text;
        return false;
    };
    QStringList positional;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        auto value = [&](QString* out) {
            if (i + 1 >= arguments.size()) return false;
            *out = arguments.at(++i);
            return true;
        };
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            *help = true;
            return true;
        } else if (a == QLatin1String("--json")) {
            rq->json = true;
        } else if (a == QLatin1String("--only-changed")) {
            rq->onlyChanged = true;
        } else if (a == QLatin1String("--no-verify")) {
            rq->noVerify = true;
        } else if (a == QLatin1String("--force-map")) {
            rq->forceMap = true;
        } else if (a == QLatin1String("--com")) {
            QString v;
            bool ok = false;
            if (!value(&v)) return fail(QStringLiteral("--com needs a COM number"));
            rq->com = v.toInt(&ok);
            if (!ok || rq->com < 1 || rq->com > kLastComNumber)
                return fail(QStringLiteral("--com needs a COM number from 1 to 1000, not '%1'").arg(v));
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output")) {
            QString v;
            if (!value(&v) || v.isEmpty()) return fail(QStringLiteral("-o needs a file name"));
            rq->output = Absolute(v);
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return fail(QStringLiteral("unknown option %1 (see --help)").arg(a));
        } else {
            positional << a;
        }
    }
    if (positional.isEmpty()) return fail(QStringLiteral("no command given (see --help)"));
    rq->command = positional.takeFirst();
    const QString& c = rq->command;
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
    if (rq.command == QLatin1String("scan")) return Scan(rq, cx, out);
    if (rq.command == QLatin1String("read")) return Read(rq, cx, out);
    if (rq.command == QLatin1String("write")) return Write(rq, cx, out);
    if (rq.command == QLatin1String("diff")) return Diff(rq, cx, out);
    return Check(rq, cx, out);
}

} // namespace vorda
