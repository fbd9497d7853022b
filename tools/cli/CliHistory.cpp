#include "CliHistory.h"

#include "CliWork.h"

#include "values/DataCheck.h"
#include "values/DataFile.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace vorda {

// One run is one command: the history of the run's user directory tells
// its first failure once.
CliHistory::CliHistory(const QString& userDir, const QString& address, Tell tell)
    : tell_(std::move(tell)),
      program_([userDir] { return userDir; }, address, RecordEnvironment::Current(),
               [this](const QString& line) { Told(line); }) {}

void CliHistory::MeterEventHappened(const MeterEvent& event) { program_.MeterEventHappened(event); }

void CliHistory::Told(const QString& line) {
    problem_ = line;
    if (tell_) tell_(line);
}

QJsonObject CliHistory::Json() const {
    QJsonObject o;
    o[QStringLiteral("recorded")] = int(program_.Recorded());
    if (!problem_.isEmpty()) o[QStringLiteral("problem")] = problem_;
    return o;
}

HistoryStore* CliHistory::Reader(QString* error) {
    QString why;
    HistoryStore* store = program_.Reader(&why);
    if (store) return store;
    const QString shown = program_.Shown();
    *error = shown.isEmpty() ? why : QStringLiteral("The meter history %1 cannot be opened: %2").arg(shown, why);
    return nullptr;
}

int FetchRecord(CliHistory& history, qint64 id, CliOutput& out, HistoryRecord* record) {
    QString error;
    HistoryStore* store = history.Reader(&error);
    if (!store) return out.Fail(kExitFile, error);
    const std::optional<HistoryRecord> found = store->Get(id, &error);
    if (found) {
        *record = *found;
        return kExitDone;
    }
    if (!error.isEmpty())
        return out.Fail(kExitFile, QStringLiteral("The meter history %1 cannot be read: %2")
                                       .arg(store->Location().Shown(), error));
    return out.Fail(kExitNoRecord, QStringLiteral("The meter history %1 holds no record %2 (see vorda-cli history)")
                                       .arg(store->Location().Shown())
                                       .arg(id));
}

namespace {

// A text in one cell of a tab-separated line.
QString Cell(const QString& text) {
    QString cell = text;
    for (QChar& c : cell)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) c = QLatin1Char(' ');
    return cell;
}

QString TimeText(const QDateTime& at) { return at.toUTC().toString(Qt::ISODateWithMs); }

bool IsWrite(const HistoryRecord& r) {
    return r.kind == MeterEventKindName(MeterEventKind::Write) || r.kind == MeterEventKindName(MeterEventKind::Restore);
}

QString AckText(WriteAck ack) {
    switch (ack) {
    case WriteAck::NotSent: return QStringLiteral("not sent");
    case WriteAck::All: return QStringLiteral("all");
    case WriteAck::Part: return QStringLiteral("part");
    case WriteAck::None: return QStringLiteral("none");
    }
    return {};
}

QJsonArray RegistersJson(const QVector<int>& registers) {
    QJsonArray a;
    for (int r : registers) a.append(r);
    return a;
}

// Everything a record says but its values.
QJsonObject FactsJson(const HistoryRecord& r) {
    QJsonObject o;
    o[QStringLiteral("id")] = r.id;
    o[QStringLiteral("uid")] = r.uid;
    o[QStringLiteral("time")] = TimeText(r.at);
    o[QStringLiteral("kind")] = r.kind;
    o[QStringLiteral("meter")] = r.meter;
    o[QStringLiteral("serial")] = r.serial;
    o[QStringLiteral("mapNumber")] = r.mapNumber;
    o[QStringLiteral("mapFile")] = r.mapFile;
    o[QStringLiteral("mapHash")] = r.mapHash;
    o[QStringLiteral("port")] = r.comPort;
    o[QStringLiteral("connection")] = r.connection;
    o[QStringLiteral("user")] = r.made.userName;
    o[QStringLiteral("account")] = r.made.account;
    o[QStringLiteral("host")] = r.made.host;
    o[QStringLiteral("version")] = r.made.version;
    o[QStringLiteral("reason")] = r.reason;
    o[QStringLiteral("outcome")] = r.outcome;
    if (!r.details.isEmpty()) o[QStringLiteral("details")] = QJsonDocument::fromJson(r.details.toUtf8()).object();
    return o;
}

int ListRecords(const CliRequest& rq, CliOutput& out, CliHistory& history) {
    QString error;
    HistoryStore* store = history.Reader(&error);
    if (!store) return out.Fail(kExitFile, error);
    const auto records = store->List(rq.meter, rq.limit, &error);
    if (!records)
        return out.Fail(kExitFile,
                        QStringLiteral("The meter history %1 cannot be read: %2").arg(store->Location().Shown(), error));
    QJsonArray list;
    for (const HistoryRecord& r : *records) {
        list.append(FactsJson(r));
        const QStringList cells{QString::number(r.id), TimeText(r.at), r.kind, r.meter, r.outcome,
                                r.comPort, r.made.userName, r.reason};
        QStringList line;
        for (const QString& c : cells) line << Cell(c);
        out.Line(line.join(QLatin1Char('\t')));
    }
    out.Result()[QStringLiteral("history")] = store->Location().Shown();
    if (!rq.meter.isEmpty()) out.Result()[QStringLiteral("meter")] = rq.meter;
    out.Result()[QStringLiteral("records")] = list;
    return out.Finish(kExitDone);
}

int ShowRecord(const CliRequest& rq, CliOutput& out, CliHistory& history) {
    HistoryRecord r;
    if (const int code = FetchRecord(history, rq.records.value(0), out, &r)) return code;
    const QList<QPair<QString, QString>> facts{
        {QStringLiteral("record"), QString::number(r.id)},
        {QStringLiteral("time"), TimeText(r.at)},
        {QStringLiteral("kind"), r.kind},
        {QStringLiteral("meter"), r.meter},
        {QStringLiteral("serial"), r.serial},
        {QStringLiteral("map"), QStringLiteral("%1 %2 %3").arg(r.mapNumber).arg(r.mapFile, r.mapHash)},
        {QStringLiteral("port"), r.comPort},
        {QStringLiteral("connection"), r.connection},
        {QStringLiteral("user"), QStringLiteral("%1 (%2) on %3").arg(r.made.userName, r.made.account, r.made.host)},
        {QStringLiteral("version"), r.made.version},
        {QStringLiteral("reason"), r.reason},
        {QStringLiteral("outcome"), r.outcome},
        {QStringLiteral("details"), r.details},
    };
    for (const auto& [name, value] : facts) out.Line(name + QLatin1Char('\t') + Cell(value));
    out.Line(QString());
    const bool write = IsWrite(r);
    QJsonArray values;
    for (const RecordValue& v : r.values) {
        QJsonObject o;
        o[QStringLiteral("name")] = v.name;
        o[QStringLiteral("format")] = v.format;
        o[QStringLiteral("value")] = v.value;
        o[QStringLiteral("registers")] = RegistersJson(v.registers);
        if (write) o[QStringLiteral("ack")] = AckText(v.ack);
        values.append(o);
        QString line = Cell(v.name) + QLatin1Char('\t') + Cell(v.value) + QLatin1Char('\t') + RegistersText(v.registers);
        if (write) line += QLatin1Char('\t') + AckText(v.ack);
        out.Line(line);
    }
    QJsonObject record = FactsJson(r);
    record[QStringLiteral("values")] = values;
    out.Result()[QStringLiteral("record")] = record;
    return out.Finish(kExitDone);
}

// The parameters of two records that differ: in display units when both
// were made under the map the user directory holds now, else in meter values.
int DiffTwoRecords(const CliRequest& rq, const CliContext& cx, CliOutput& out, CliHistory& history) {
    HistoryRecord first, second;
    if (const int code = FetchRecord(history, rq.records.value(0), out, &first)) return code;
    if (const int code = FetchRecord(history, rq.records.value(1), out, &second)) return code;
    const MeterMap map = LoadMeterMap(cx.userDir, first.mapNumber);
    const bool display = map.ok && first.mapHash == second.mapHash && first.mapHash == MapHash(map.params);
    MeterWork w(cx);
    if (display) w.UseMap(map);
    auto paramOf = [&](const QString& name) -> const DMap* {
        for (const DMap& p : w.Params())
            if (p.Parameter == name) return &p;
        return nullptr;
    };
    // A value as this diff shows it; a value not known stays as the record has it.
    auto shown = [&](const RecordDifference& d, const QString& value) {
        const DMap* p = display ? paramOf(d.name) : nullptr;
        if (!p || value.isEmpty() || value == CommissioningRecord::UnknownValue()) return value;
        return WithUnit(w.session, *p, MeterToDisplay(*p, FromPointForm(*p, value), w.session.UnitOf(*p), cx.eval));
    };
    QJsonArray differences;
    for (const RecordDifference& d : DiffRecords(first, second)) {
        QString a = shown(d, d.first);
        QString b = shown(d, d.second);
        QJsonObject o;
        o[QStringLiteral("name")] = d.name;
        o[QStringLiteral("format")] = d.format;
        o[QStringLiteral("first")] = d.first.isEmpty() && d.firstRegisters.isEmpty() ? QJsonValue() : QJsonValue(a);
        o[QStringLiteral("second")] = d.second.isEmpty() && d.secondRegisters.isEmpty() ? QJsonValue() : QJsonValue(b);
        o[QStringLiteral("firstRegisters")] = RegistersJson(d.firstRegisters);
        o[QStringLiteral("secondRegisters")] = RegistersJson(d.secondRegisters);
        differences.append(o);
        // Texts alike, registers not: the registers tell the difference.
        if (a == b) {
            a += QStringLiteral(" [") + RegistersText(d.firstRegisters) + QStringLiteral("]");
            b += QStringLiteral(" [") + RegistersText(d.secondRegisters) + QStringLiteral("]");
        }
        out.Line(Cell(d.name) + QLatin1Char('\t') + Cell(a) + QLatin1Char('\t') + Cell(b));
    }
    out.Result()[QStringLiteral("records")] = QJsonArray{first.id, second.id};
    out.Result()[QStringLiteral("units")] = display ? QStringLiteral("display") : QStringLiteral("meter");
    out.Result()[QStringLiteral("differences")] = differences;
    return out.Finish(differences.isEmpty() ? kExitDone : kExitDifferences);
}

} // namespace

int RunHistoryCommand(const CliRequest& rq, const CliContext& cx, CliOutput& out, CliHistory& history) {
    if (rq.subcommand == QLatin1String("show")) return ShowRecord(rq, out, history);
    if (rq.subcommand == QLatin1String("diff")) return DiffTwoRecords(rq, cx, out, history);
    return ListRecords(rq, out, history);
}

} // namespace vorda
