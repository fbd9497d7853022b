#include "history/HistoryRecord.h"

#include "base/Version.h"

#include <QCryptographicHash>
#include <QSysInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

namespace vorda {

RecordEnvironment RecordEnvironment::Current() {
    RecordEnvironment e;
    if (const passwd* pw = getpwuid(geteuid())) {
        e.account = QString::fromLocal8Bit(pw->pw_name);
        // The full name is the first comma-separated field of the GECOS entry.
        e.userName = QString::fromLocal8Bit(pw->pw_gecos).section(QLatin1Char(','), 0, 0).trimmed();
    }
    if (e.account.isEmpty()) e.account = QString::number(geteuid());
    if (e.userName.isEmpty()) e.userName = e.account;
    e.host = QSysInfo::machineHostName();
    e.version = QString::fromLatin1(kVersionText);
    return e;
}

QString MeterIdentity(const QString& serial, int mapNumber, const MeterConnection& connection) {
    if (!serial.isEmpty()) return QStringLiteral("%1:%2").arg(mapNumber).arg(serial);
    return QStringLiteral("unidentified:COM%1:%2")
        .arg(connection.com)
        .arg(connection.connectedAt.toUTC().toString(Qt::ISODateWithMs));
}

bool IsUnidentified(const QString& identity) { return identity.startsWith(QLatin1String("unidentified:")); }

QString MapHash(const QList<DMap>& params) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const DMap& p : params) {
        const QStringList fields{QString::number(p.Startreg), QString::number(p.EndReg), p.Parameter, p.Format,
                                 p.Multiplier, QString::number(p.Capacity), p.Access, p.Sequence, p.Rule, p.PType,
                                 p.DescToolTip, p.DescAlways};
        hash.addData(fields.join(QChar(0x1f)).toUtf8());
        hash.addData(QByteArrayView("\x1e"));
    }
    return QString::fromLatin1(hash.result().toHex());
}

namespace {
QString AckName(WriteAck a) {
    switch (a) {
    case WriteAck::NotSent: return {};
    case WriteAck::All: return QStringLiteral("all");
    case WriteAck::Part: return QStringLiteral("part");
    case WriteAck::None: return QStringLiteral("none");
    }
    return {};
}
WriteAck AckOfName(const QString& name) {
    if (name == QLatin1String("all")) return WriteAck::All;
    if (name == QLatin1String("part")) return WriteAck::Part;
    if (name == QLatin1String("none")) return WriteAck::None;
    return WriteAck::NotSent;
}

QString Details(const MeterEvent& event) {
    QJsonObject o;
    if (!event.differing.isEmpty()) o[QStringLiteral("differing")] = QJsonArray::fromStringList(event.differing);
    if (!event.restoredFrom.isEmpty()) o[QStringLiteral("restoredFrom")] = event.restoredFrom;
    if (event.calibration) {
        o[QStringLiteral("oldOffset")] = double(event.calibration->oldOffset);
        o[QStringLiteral("measuredMa")] = event.calibration->measuredMa;
        o[QStringLiteral("newOffset")] = double(event.calibration->newOffset);
        if (event.calibration->measuredAfterMa) {
            o[QStringLiteral("measuredAfterMa")] = *event.calibration->measuredAfterMa;
            o[QStringLiteral("toleranceMa")] = event.calibration->toleranceMa;
            o[QStringLiteral("withinTolerance")] = event.calibration->WithinTolerance();
        }
    }
    return o.isEmpty() ? QString() : QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}
} // namespace

HistoryRecord RecordOfEvent(const MeterEvent& event, const RecordEnvironment& made) {
    HistoryRecord r;
    r.uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.at = QDateTime::currentDateTimeUtc();
    r.kind = MeterEventKindName(event.kind);
    r.serial = event.serial;
    r.mapNumber = event.connection.mapNumber;
    r.meter = MeterIdentity(event.serial, event.connection.mapNumber, event.connection);
    r.mapFile = event.mapFile;
    r.mapHash = MapHash(event.params);
    r.made = made;
    r.comPort = QStringLiteral("COM%1").arg(event.connection.com);
    r.connection = event.connection.id;
    r.reason = event.reason;
    r.outcome = event.outcome;
    r.details = Details(event);
    // Numbers are kept in the point form, as data files keep them, so that a
    // record means the same whatever locale made it or reads it.
    for (int i = 0; i < event.params.size(); ++i) {
        const DMap& p = event.params.at(i);
        const EventValue v = event.values.value(i, EventValue{CommissioningRecord::UnknownValue(), {}});
        r.values << RecordValue{p.Parameter, p.Format, ToPointForm(p, v.value), v.registers, v.ack};
    }
    return r;
}

QString ValuesJson(const QList<RecordValue>& values) {
    QJsonArray a;
    for (const RecordValue& v : values) {
        QJsonObject o;
        o[QStringLiteral("n")] = v.name;
        o[QStringLiteral("f")] = v.format;
        o[QStringLiteral("v")] = v.value;
        QJsonArray regs;
        for (int r : v.registers) regs.append(r);
        o[QStringLiteral("r")] = regs;
        if (v.ack != WriteAck::NotSent) o[QStringLiteral("a")] = AckName(v.ack);
        a.append(o);
    }
    return QString::fromUtf8(QJsonDocument(a).toJson(QJsonDocument::Compact));
}

bool ValuesFromJson(const QString& text, QList<RecordValue>* values) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray()) return false;
    values->clear();
    for (const QJsonValue& item : doc.array()) {
        const QJsonObject o = item.toObject();
        RecordValue v;
        v.name = o.value(QStringLiteral("n")).toString();
        v.format = o.value(QStringLiteral("f")).toString();
        v.value = o.value(QStringLiteral("v")).toString();
        for (const QJsonValue& r : o.value(QStringLiteral("r")).toArray()) v.registers << r.toInt();
        v.ack = AckOfName(o.value(QStringLiteral("a")).toString());
        values->append(v);
    }
    return true;
}

FileValues FileValuesOfRecord(const HistoryRecord& record, const QList<DMap>& params, bool* sameMap) {
    DataFileContent content;
    content.mapFileName = record.mapFile;
    content.declaredCount = record.values.size();
    for (int k = 0; k < record.values.size(); ++k) {
        const RecordValue& v = record.values.at(k);
        content.names << v.name;
        content.formats << v.format;
        content.values << v.value;
        if (!v.registers.isEmpty()) content.registers.insert(k, v.registers);
    }
    *sameMap = record.mapHash == MapHash(params) && record.values.size() == params.size();
    FileValues values = *sameMap ? FileValuesByPosition(content, params) : FileValuesByName(content, params);
    for (int i = 0; i < values.meterValues.size(); ++i) {
        if (values.meterValues.at(i) != CommissioningRecord::UnknownValue()) continue;
        values.meterValues[i].clear();
        if (i < values.given.size()) values.given[i] = false;
        if (i < values.exactRegisters.size()) values.exactRegisters[i].clear();
    }
    return values;
}

QList<RecordDifference> DiffRecords(const HistoryRecord& first, const HistoryRecord& second) {
    QList<RecordDifference> out;
    auto find = [](const HistoryRecord& r, const QString& name) -> const RecordValue* {
        for (const RecordValue& v : r.values)
            if (v.name == name) return &v;
        return nullptr;
    };
    for (const RecordValue& a : first.values) {
        const RecordValue* b = find(second, a.name);
        // Registers tell apart what texts may not (a tag's unprintable bytes).
        const bool same = b && a.value == b->value && (a.registers == b->registers || a.registers.isEmpty() ||
                                                       b->registers.isEmpty());
        if (same) continue;
        out << RecordDifference{a.name, a.format, a.value, b ? b->value : QString(), a.registers,
                                b ? b->registers : QVector<int>()};
    }
    for (const RecordValue& b : second.values)
        if (!find(first, b.name)) out << RecordDifference{b.name, b.format, QString(), b.value, {}, b.registers};
    return out;
}

} // namespace vorda
