#include "station/SeriesStation.h"

#include "base/TextFiles.h"
#include "values/DataCheck.h"
#include "values/MeterComparison.h"
#include "values/MeterEngine.h"

#include <QDir>
#include <QFileInfo>

namespace vorda {

namespace {
QList<DMap> ParamsOf(const MeterSession& session) {
    QList<DMap> params;
    for (const ParameterRow& row : session.Rows()) params << row.param;
    return params;
}

// A CSV field, quoted when it holds a separator, a quote or a line end.
QString CsvField(QString text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// A serial number as part of a file name.
QString FileSafe(const QString& text) {
    QString out;
    for (const QChar c : text) out += c.isLetterOrNumber() || c == QLatin1Char('-') ? c : QLatin1Char('_');
    return out;
}

// The refusals of a check of meter values, joined into one line.
class RefusalsReport : public MeterReport {
public:
    void RegisterFailed(MeterDirection, int, const DMap&, int) override {}
    void TooManyFailures(MeterDirection) override {}
    void InvalidValue(int, const DMap& param, const QString& reason) override {
        refused << param.Parameter + QStringLiteral(" (") + QString(reason).simplified() + QLatin1Char(')');
    }
    QStringList refused;
};
} // namespace

int StationTally::Passed() const {
    return int(std::count_if(meters.begin(), meters.end(), [](const StationVerdict& v) { return v.pass; }));
}

int StationTally::Failed() const { return int(meters.size()) - Passed(); }

bool StationTally::Done(const QString& serial) const {
    return std::any_of(meters.begin(), meters.end(), [&](const StationVerdict& v) { return v.serial == serial; });
}

QByteArray StationTally::Csv() const {
    QString text = QStringLiteral("serial,result,reason,time\r\n");
    for (const StationVerdict& v : meters)
        text += QStringList{CsvField(v.serial), v.pass ? QStringLiteral("PASS") : QStringLiteral("FAIL"),
                            CsvField(v.reason), v.when.toString(Qt::ISODate)}
                    .join(QLatin1Char(',')) +
                QStringLiteral("\r\n");
    text += QStringLiteral("passed,%1,failed,%2\r\n").arg(Passed()).arg(Failed());
    return text.toUtf8();
}

SeriesStation::SeriesStation(StationProfile profile, const EquationEvaluator& eval, const SigFigRounder& rounder)
    : profile_(std::move(profile)), eval_(eval), rounder_(rounder), shiftStart_(QDateTime::currentDateTimeUtc()) {}

bool SeriesStation::Prepare(const QString& mapDir, QString* error) {
    QString why;
    if (!LoadDataFile(profile_.golden, &golden_, &why)) {
        *error = profile_.golden + QStringLiteral(": ") + why;
        return false;
    }
    if (!golden_.complete) {
        *error = QStringLiteral("The golden file %1 could not be read whole").arg(profile_.golden);
        return false;
    }
    const MeterMap map = LoadMapFile(mapDir, golden_.mapFileName);
    if (!map.ok) {
        *error = QStringLiteral("The golden file %1 is for the map %2: %3").arg(profile_.golden, golden_.mapFileName, map.error);
        return false;
    }
    if (golden_.values.size() != map.params.size()) {
        *error = QStringLiteral("The golden file %1 holds %2 values, its map %3 has %4 parameters: it was made for another map")
                     .arg(profile_.golden)
                     .arg(golden_.values.size())
                     .arg(map.fileName)
                     .arg(map.params.size());
        return false;
    }
    if (profile_.keepProposed) {
        profile_.keep = ProposedKeep(map.params);
        profile_.keepProposed = false;
    }
    const FileValues values = FileValuesByPosition(golden_, map.params);
    RefusalsReport refusals;
    const QVector<bool> kept = KeptParameters(map.params, profile_.keep);
    const ValuesCheck check = CheckMeterValues(map.params, values.meterValues, eval_, rounder_, refusals, values.exactRegisters);
    // Only values that are written must pass the check.
    QStringList refused;
    for (int i = 0; i < map.params.size(); ++i)
        if (!kept.at(i) && check.Refused(i)) refused << map.params.at(i).Parameter;
    if (!refused.isEmpty()) {
        QStringList reasons;
        for (const QString& r : refusals.refused)
            if (refused.contains(r.section(QStringLiteral(" ("), 0, 0))) reasons << r;
        *error = QStringLiteral("The data check refuses the golden values of %1: nothing was done")
                     .arg(reasons.isEmpty() ? refused.join(QStringLiteral(", ")) : reasons.join(QStringLiteral(", ")));
        return false;
    }
    return true;
}

StationVerdict& SeriesStation::Fail(StationVerdict& v, const QString& reason) {
    v.pass = false;
    v.reason = reason;
    return v;
}

QString SeriesStation::TallyPath() const {
    return QDir(profile_.reports).filePath(QStringLiteral("tally_%1.csv").arg(shiftStart_.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
}

bool SeriesStation::SaveTally(QString* error) const {
    if (!QDir().mkpath(profile_.reports)) {
        *error = QStringLiteral("the report folder %1 cannot be made").arg(profile_.reports);
        return false;
    }
    return WriteFileBytes(TallyPath(), tally_.Csv(), error);
}

StationVerdict SeriesStation::Commission(MeterSession& session, MeterProtocol& protocol, MeterReport& report,
                                         const MaSource& ma, const ReportHeader& header, const PdfSaver& pdf) {
    StationVerdict v;
    v.when = QDateTime::currentDateTimeUtc();
    v.serial = QStringLiteral("unidentified");
    auto done = [&](StationVerdict& verdict) -> StationVerdict {
        tally_.meters << verdict;
        return verdict;
    };
    const QList<DMap> params = ParamsOf(session);
    const QString mapFile = session.Record().mapFile;
    if (!DataFileFitsMap(golden_, mapFile) || golden_.values.size() != params.size())
        return done(Fail(v, QStringLiteral("the meter's map is %1, the golden set's %2: nothing was written")
                                .arg(mapFile, golden_.mapFileName)));

    // As found.
    const ReadOutcome found = session.ReadWhole(protocol, report);
    if (!found.handshakeOk) return done(Fail(v, QStringLiteral("the meter does not answer")));
    const int serialAt = SerialNumberIndex(params);
    if (serialAt >= 0 && found.complete.value(serialAt)) {
        const QString serial = UsableSerial(EventValue{found.meterValues.value(serialAt), {}});
        if (!serial.isEmpty()) v.serial = serial;
    }
    if (!found.Whole())
        return done(Fail(v, QStringLiteral("the meter could not be read whole (failed registers: %1): nothing was written")
                                .arg(found.failures)));

    // What differs from the golden set and is not the meter's own.
    const FileValues golden = FileValuesByPosition(golden_, params);
    RefusalsReport quiet;
    const ValuesCheck goldenCheck =
        CheckMeterValues(params, golden.meterValues, eval_, rounder_, quiet, golden.exactRegisters);
    const QVector<bool> kept = KeptParameters(params, profile_.keep);
    QVector<bool> selected = ChangedParameters(goldenCheck.registers, found.bytes, params);
    for (int i = 0; i < selected.size(); ++i) selected[i] = selected.at(i) && !kept.value(i, true);
    TickedWrite plan{found.meterValues, selected};
    for (int i = 0; i < params.size(); ++i)
        if (selected.at(i)) plan.values[i] = golden.meterValues.value(i);
    const ValuesCheck check = session.CheckTickedWrite(plan, found, golden, quiet);
    if (SelectedValueRefused(check, selected))
        return done(Fail(v, QStringLiteral("the data check refuses a golden value: nothing was written")));

    ReadOutcome left = found;
    if (selected.contains(true)) {
        const WriteOutcome written = session.WriteSelected(protocol, check, selected, report);
        int registers = 0;
        const QVector<WriteLanding> landings = WriteLandings(check.registers, selected, written, nullptr, &registers);
        v.written = LandedNames(params, landings, WriteLanding::Whole);
        v.registersWritten = registers;
        if (!written.handshakeOk) return done(Fail(v, QStringLiteral("the meter does not answer: nothing was written")));
        if (!written.Whole())
            return done(Fail(v, QStringLiteral("the meter stopped answering during the write (%1 registers written): %2")
                                    .arg(registers)
                                    .arg(QString(WriteLandingText(params, landings)).simplified())));
    }
    const VerifyResult verified = session.VerifyWrite(protocol, report, check, selected, found);
    if (!verified.Compared())
        return done(Fail(v, QStringLiteral("the meter could not be read back (failed registers: %1)").arg(verified.read.failures)));
    if (!verified.differing.isEmpty())
        return done(Fail(v, QStringLiteral("these parameters do not hold what was written: %1")
                                .arg(verified.differing.join(QStringLiteral(", ")))));
    left = verified.read;

    if (profile_.maStep && !Calibrate(session, protocol, report, ma, left, &v)) return done(v);
    if (!SaveReport(session, header, pdf, &v)) return done(v);
    v.pass = true;
    v.reason = v.written.isEmpty() ? QStringLiteral("verified, nothing to write")
                                   : QStringLiteral("written and verified: %1").arg(v.written.join(QStringLiteral(", ")));
    if (v.calibration) v.reason += QStringLiteral("; mA output %1 mA").arg(QString::number(*v.calibration->measuredAfterMa, 'f', 3));
    return done(v);
}

bool SeriesStation::Calibrate(MeterSession& session, MeterProtocol& protocol, MeterReport& report, const MaSource& ma,
                              const ReadOutcome& before, StationVerdict* v) {
    const QList<DMap> params = ParamsOf(session);
    int at = -1;
    for (int i = 0; i < params.size() && at < 0; ++i)
        if (params.at(i).DescToolTip == QLatin1String("Calculation 1")) at = i;
    if (at < 0) {
        Fail(*v, QStringLiteral("the map has no mA output offset (\"Calculation 1\") to calibrate"));
        return false;
    }
    const std::optional<double> found = ma ? ma(QStringLiteral("as found")) : std::nullopt;
    if (!found) {
        Fail(*v, QStringLiteral("no measured mA output current as found"));
        return false;
    }
    bool isNumber = false;
    const qint64 oldOffset = before.meterValues.value(at).toLongLong(&isNumber);
    if (!isNumber) {
        Fail(*v, QStringLiteral("the mA output offset %1 is no whole number").arg(before.meterValues.value(at)));
        return false;
    }
    MaCalibration c{oldOffset, *found, NewMaOffset(oldOffset, *found), std::nullopt, profile_.toleranceMa};
    TickedWrite plan{before.meterValues, QVector<bool>(params.size(), false)};
    plan.selected[at] = true;
    plan.values[at] = QString::number(c.newOffset);
    FileValues values{plan.values, QVector<bool>(params.size(), true), before.bytes};
    values.exactRegisters[at].clear();
    RefusalsReport refusals;
    const ValuesCheck check = session.CheckTickedWrite(plan, before, values, refusals);
    if (SelectedValueRefused(check, plan.selected)) {
        Fail(*v, QStringLiteral("the new mA offset %1 is refused: %2").arg(c.newOffset).arg(refusals.refused.join(QStringLiteral(", "))));
        return false;
    }
    const WriteOutcome written = session.WriteSelected(protocol, check, plan.selected, report);
    if (!written.Whole()) {
        Fail(*v, QStringLiteral("the new mA offset could not be written"));
        return false;
    }
    const VerifyResult verified = session.VerifyWrite(protocol, report, check, plan.selected, before);
    if (!verified.Compared() || !verified.differing.isEmpty()) {
        Fail(*v, QStringLiteral("the new mA offset was not verified"));
        return false;
    }
    c.measuredAfterMa = ma(QStringLiteral("as left"));
    v->calibration = c;
    session.Calibrated(c);
    if (!c.measuredAfterMa) {
        Fail(*v, QStringLiteral("no measured mA output current as left"));
        return false;
    }
    if (!c.WithinTolerance()) {
        Fail(*v, QStringLiteral("the mA output is %1 mA as left, outside 4 mA ± %2 mA (%3 % of the span)")
                     .arg(QString::number(*c.measuredAfterMa, 'f', 3), QString::number(c.toleranceMa, 'g', 6),
                          QString::number(profile_.TolerancePercent(), 'g', 4)));
        return false;
    }
    return true;
}

bool SeriesStation::SaveReport(const MeterSession& session, const ReportHeader& header, const PdfSaver& pdf,
                               StationVerdict* v) {
    const QString base = QDir(profile_.reports)
                             .filePath(QStringLiteral("%1_%2").arg(FileSafe(v->serial),
                                                                   v->when.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    const QList<DMap> params = ParamsOf(session);
    const QList<ReportRow> rows =
        ReportRows(params, session.Record(), {}, [&session](const DMap& p) { return session.MeterUnitName(p); });
    QString error;
    bool ok = QDir().mkpath(profile_.reports);
    if (!ok) error = QStringLiteral("the folder cannot be made");
    if (ok && pdf) ok = pdf(base + QStringLiteral(".pdf"), header, session.Record(), rows, &error);
    else if (ok) ok = WriteFileBytes(base + QStringLiteral(".csv"), ReportCsv(header, session.Record(), rows), &error);
    if (!ok) {
        Fail(*v, QStringLiteral("the report could not be saved in %1: %2").arg(profile_.reports, error));
        return false;
    }
    v->report = base + QStringLiteral(".csv");
    return true;
}

} // namespace vorda
