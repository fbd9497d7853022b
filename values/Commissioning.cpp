// The commissioning record of a connection.
#include "values/Commissioning.h"

#include "base/TextFiles.h"

#include <QDir>
#include <cfenv>
#include <cmath>
#include <QFileInfo>

namespace vorda {

qint64 NewMaOffset(qint64 oldOffset, double measuredMa) {
    // Halves go to the even neighbour, as the default rounding mode does.
    std::fesetround(FE_TONEAREST);
    return static_cast<qint64>(std::nearbyint(double(oldOffset) + (4.0 - measuredMa) * 2731.0));
}

void CommissioningRecord::Begin(int com, const QString& map, int number) {
    *this = CommissioningRecord{};
    comNumber = com;
    mapFile = map;
    mapNumber = number;
}

void CommissioningRecord::MeterRead(const QString& map, const QStringList& meterValues) {
    if (map.compare(mapFile, Qt::CaseInsensitive) != 0) return;
    if (!asFoundTaken) {
        asFoundTaken = true;
        asFound = meterValues;
    }
    asLeftTaken = true;
    asLeft = meterValues;
}

void CommissioningRecord::MeterWritten(const QString& map, const QList<DMap>& params, const QStringList& values,
                                       const QVector<bool>& selected, const WriteOutcome& written,
                                       const VerifyOutcome* readBack) {
    if (map.compare(mapFile, Qt::CaseInsensitive) != 0 || !asLeftTaken) return;
    bool attempted = false;
    for (int i = 0; i < params.size() && i < asLeft.size(); ++i) {
        if (!selected.isEmpty() && !selected.value(i)) continue;
        const QVector<bool> acks = written.acknowledged.value(i);
        if (acks.isEmpty()) continue; // not reached: the meter still holds what it held
        attempted = true;
        asLeft[i] = ValueAfterWrite(params.at(i), values.value(i), acks,
                                    readBack ? readBack->bytes.value(i) : QVector<int>());
    }
    if (attempted) verificationBeforeWrite = true;
}

QString ValueAfterWrite(const DMap& param, const QString& sent, const QVector<bool>& acknowledged,
                        const QVector<int>& readBack) {
    if (!readBack.isEmpty() && !readBack.contains(-1)) return DecodeRegisters(param, readBack);
    if (!acknowledged.isEmpty() && !acknowledged.contains(false)) return sent;
    return CommissioningRecord::UnknownValue();
}

void CommissioningRecord::MeterVerified(const QStringList& differingNames) {
    verificationBeforeWrite = false;
    differing = differingNames;
    verification = differingNames.isEmpty() ? Verification::Verified : Verification::Differences;
}

void CommissioningRecord::VerificationBroken() {
    verificationBeforeWrite = false;
    verification = Verification::NotVerified;
    differing.clear();
}

} // namespace vorda

// ----- the report ------------------------------------------------------------

namespace vorda {

namespace {

QString ComName(const CommissioningRecord& record) { return QStringLiteral("COM%1").arg(record.comNumber); }

QString When(const ReportHeader& header) { return header.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

QString CalibrationText(const MaCalibration& c) {
    QString text = QStringLiteral("old offset %1, measured %2 mA, new offset %3")
                       .arg(c.oldOffset)
                       .arg(QString::number(c.measuredMa, 'g', 10))
                       .arg(c.newOffset);
    if (c.measuredAfterMa)
        text += QStringLiteral(", as left %1 mA, %2 the tolerance of %3 mA")
                    .arg(QString::number(*c.measuredAfterMa, 'g', 10),
                         c.WithinTolerance() ? QStringLiteral("within") : QStringLiteral("outside"),
                         QString::number(c.toleranceMa, 'g', 6));
    return text;
}

} // namespace

QList<QPair<QString, QString>> ReportFacts(const ReportHeader& header, const CommissioningRecord& record) {
    return {
        {QStringLiteral("Tool version"), header.version},
        {QStringLiteral("Date and time"), When(header)},
        {QStringLiteral("User"), header.userName},
        {QStringLiteral("COM port"), ComName(record)},
        {QStringLiteral("Map file"), record.mapFile},
        {QStringLiteral("Map number"), QString::number(record.mapNumber)},
        {QStringLiteral("Verification"), VerificationText(record)},
        {QStringLiteral("mA offset calibration"),
         record.maCalibration ? CalibrationText(*record.maCalibration) : QStringLiteral("none")},
    };
}

namespace {

// A CSV field: quoted, inner quotes doubled. A text a spreadsheet would take
// for a formula is kept as text by a leading apostrophe; numbers, negative
// ones included, stay as they are.
QString CsvField(const QString& text) {
    QString t = text;
    bool number = false;
    t.toDouble(&number);
    if (!t.isEmpty() && !number && QStringLiteral("=+-@\t\r").contains(t.front())) t.prepend(QLatin1Char('\''));
    t.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + t + QLatin1Char('"');
}

QString CsvLine(const QStringList& fields) {
    QStringList quoted;
    for (const QString& f : fields) quoted << CsvField(f);
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

} // namespace

QList<ReportRow> ReportRows(const QList<DMap>& params, const CommissioningRecord& record, const QVector<bool>& shown,
                            const std::function<QString(const DMap&)>& unitName) {
    QList<ReportRow> rows;
    for (int i = 0; i < params.size(); ++i) {
        if (!shown.isEmpty() && !shown.value(i)) continue;
        ReportRow row;
        row.parameter = params.at(i).Parameter;
        row.unit = unitName ? unitName(params.at(i)) : QString();
        row.asFound = record.asFoundTaken ? record.asFound.value(i) : QString();
        row.asLeft = record.asLeftTaken ? record.asLeft.value(i) : QString();
        row.changed = record.asFoundTaken && record.asLeftTaken && row.asFound != row.asLeft;
        rows << row;
    }
    return rows;
}

namespace {
QString LastVerificationText(const CommissioningRecord& record) {
    switch (record.verification) {
    case Verification::Verified: return QStringLiteral("Verified");
    case Verification::Differences: return QStringLiteral("Differences: ") + record.differing.join(QStringLiteral(", "));
    case Verification::NotVerified: return QStringLiteral("Not verified");
    case Verification::None: break;
    }
    return QStringLiteral("No verification");
}
} // namespace

QString VerificationText(const CommissioningRecord& record) {
    if (!record.verificationBeforeWrite) return LastVerificationText(record);
    const QString since = QStringLiteral("Not verified since the last write");
    if (record.verification == Verification::None) return since;
    return since + QStringLiteral(" (before it: ") + LastVerificationText(record) + QStringLiteral(")");
}

QByteArray ReportCsv(const ReportHeader& header, const CommissioningRecord& record, const QList<ReportRow>& rows) {
    QString csv;
    for (const auto& [name, value] : ReportFacts(header, record)) csv += CsvLine({name, value});
    csv += QStringLiteral("\r\n");
    csv += CsvLine({QStringLiteral("Parameter"), QStringLiteral("Unit"), QStringLiteral("As found"), QStringLiteral("As left"),
                    QStringLiteral("Changed")});
    for (const ReportRow& r : rows)
        csv += CsvLine({r.parameter, r.unit, r.asFound, r.asLeft, r.changed ? QStringLiteral("yes") : QStringLiteral("no")});
    return csv.toUtf8();
}

QString ReportCsvPath(const QString& pdfPath) {
    const QFileInfo info(pdfPath);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".csv"));
}

} // namespace vorda
