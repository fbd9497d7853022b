// vorda-cli station: an unattended series-commissioning station. It waits
// for each meter, commissions it from the golden set, prints one line per
// meter and the tally at the end.
#include "CliStation.h"

#include "CliWork.h"
#include "base/Version.h"
#include "history/HistoryRecord.h"
#include "meter/MeterDetection.h"
#include "station/StationLookout.h"
#include "station/StationLookout.h"
#include "station/StationWatch.h"

#include <QDir>
#include <QJsonArray>
#include <QThread>

namespace vorda {

namespace {

// The profile of the command line: the file's, with the options over it.
int SettleProfile(const CliRequest& rq, const CliContext& cx, CliOutput& out, StationProfile* profile) {
    if (!rq.operands.isEmpty()) {
        QString error;
        if (!StationProfile::Load(rq.operands.first(), profile, &error)) return out.Fail(kExitFile, error);
    }
    if (!rq.golden.isEmpty()) profile->golden = rq.golden;
    if (rq.keepGiven) profile->keep = rq.keep;
    // Without a profile or --keep, each meter keeps what the map proposes.
    profile->keepProposed = rq.operands.isEmpty() && !rq.keepGiven;
    if (rq.noMa) profile->maStep = false;
    if (!rq.reports.isEmpty()) profile->reports = rq.reports;
    if (profile->reports.isEmpty()) profile->reports = QDir(cx.userDir).filePath(QStringLiteral("Station Reports"));
    if (profile->golden.isEmpty())
        return out.Fail(kExitUsage, QStringLiteral("station needs a profile or --golden FILE.epf"));
    if (profile->maStep && rq.maSource.isEmpty())
        return out.Fail(kExitUsage, QStringLiteral("the mA step needs --ma-source CMD (or --no-ma)"));
    return kExitDone;
}

QJsonObject VerdictJson(const StationVerdict& v) {
    QJsonObject o;
    o[QStringLiteral("serial")] = v.serial;
    o[QStringLiteral("result")] = v.pass ? QStringLiteral("PASS") : QStringLiteral("FAIL");
    o[QStringLiteral("reason")] = v.reason;
    o[QStringLiteral("time")] = v.when.toString(Qt::ISODate);
    o[QStringLiteral("written")] = QJsonArray::fromStringList(v.written);
    o[QStringLiteral("registersWritten")] = v.registersWritten;
    if (!v.report.isEmpty()) o[QStringLiteral("report")] = v.report;
    if (v.calibration) {
        QJsonObject ma;
        ma[QStringLiteral("oldOffset")] = double(v.calibration->oldOffset);
        ma[QStringLiteral("asFoundMa")] = v.calibration->measuredMa;
        ma[QStringLiteral("newOffset")] = double(v.calibration->newOffset);
        if (v.calibration->measuredAfterMa) ma[QStringLiteral("asLeftMa")] = *v.calibration->measuredAfterMa;
        ma[QStringLiteral("toleranceMa")] = v.calibration->toleranceMa;
        ma[QStringLiteral("pass")] = v.calibration->WithinTolerance();
        o[QStringLiteral("ma")] = ma;
    }
    return o;
}

// Says a waiting state once, until the state changes.
class WaitingLine {
public:
    explicit WaitingLine(CliOutput& out) : out_(out) {}
    void Say(const QString& text) {
        if (text == last_) return;
        last_ = text;
        out_.Notice(text);
    }
    void Clear() { last_.clear(); }

private:
    CliOutput& out_;
    QString last_;
};

} // namespace

int RunStation(const CliRequest& rq, CliContext& cx, CliOutput& out) {
    StationProfile profile;
    if (const int code = SettleProfile(rq, cx, out, &profile)) return code;
    SeriesStation station(profile, cx.eval, cx.rounder);
    QString error;
    // A golden set that cannot serve is refused before any meter is touched.
    if (!station.Prepare(cx.userDir, &error)) return out.Fail(kExitDifferences, error);
    auto pause = [&cx](int ms) {
        if (cx.pause) return cx.pause(ms);
        QThread::msleep(ulong(ms));
        return true;
    };
    const MaSource ma = [&](const QString& step) -> std::optional<double> {
        QString why;
        const std::optional<double> value = MaFromCommand(rq.maSource, step, 60000, &why);
        if (!value) out.Problem(QStringLiteral("mA output %1: %2").arg(step, why));
        return value;
    };
    StationLookout lookout;
    WaitingLine waiting(out);
    QJsonArray meters;
    int done = 0;
    while (rq.count == 0 || done < rq.count) {
        MeterWork w(cx);
        w.protocol = std::make_unique<MeterProtocol>(cx.serial, w.link);
        AttachedMeter attached;
        attached.connect = ConnectOneMeter(*w.protocol, rq.com);
        const ConnectOutcome& c = attached.connect;
        if (c.status == ConnectStatus::Connected) w.com = c.com;
        if (c.status == ConnectStatus::Connected && c.mapNumber >= 0) {
            const MeterMap map = LoadMeterMap(cx.userDir, c.mapNumber);
            attached.mapOk = map.ok;
            attached.mapFile = map.fileName.isEmpty() ? MeterMapFileName(c.mapNumber) : map.fileName;
            attached.mapError = map.error;
            if (map.ok) {
                w.UseMap(map);
                attached.serial = ReadSerialAlone(*w.protocol, w.Params());
            }
        }
        // Unattended, a meter done earlier in the shift and attached again
        // is commissioned again: nobody is there to be asked.
        const LookDecision look = lookout.Judge(attached, station.Tally(), false);
        if (look.step == LookStep::Wait) {
            w.Close();
            waiting.Say(look.status);
            if (!pause(1000)) break;
            continue;
        }
        waiting.Clear();
        w.session.BeginConnection(c.com, c.mapNumber);
        out.Expect({QStringLiteral("reading"), QStringLiteral("writing"), QStringLiteral("verifying")});
        const ReportHeader header{QString::fromLatin1(kVersionText), QDateTime::currentDateTime(),
                                  RecordEnvironment::Current().userName};
        const StationVerdict v = station.Commission(w.session, *w.protocol, out, ma, header);
        w.Close();
        lookout.Handled(attached.serial);
        ++done;
        meters.append(VerdictJson(v));
        out.Line(v.serial + QLatin1Char('\t') + (v.pass ? QStringLiteral("PASS") : QStringLiteral("FAIL")) +
                 QLatin1Char('\t') + v.reason);
        if (!station.SaveTally(&error)) out.Problem(QStringLiteral("the tally could not be saved: ") + error);
    }
    const StationTally& tally = station.Tally();
    out.Line(QStringLiteral("passed %1, failed %2").arg(tally.Passed()).arg(tally.Failed()));
    out.Result()[QStringLiteral("meters")] = meters;
    out.Result()[QStringLiteral("passed")] = tally.Passed();
    out.Result()[QStringLiteral("failed")] = tally.Failed();
    if (done > 0) out.Result()[QStringLiteral("tally")] = station.TallyPath();
    return out.Finish(tally.Failed() == 0 ? kExitDone : kExitDifferences);
}

} // namespace vorda
