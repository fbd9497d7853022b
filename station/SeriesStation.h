#pragma once
// Series commissioning: one meter after another set up from one golden data
// file. Each meter keeps its own values (the profile's kept parameters and
// every read-only one), is written only where it differs from the golden
// set, read back and verified, optionally has its mA output calibrated, and
// gets a report named by its serial number. Front ends (the window's
// station, vorda-cli station) connect each meter and show the verdicts.
#include "station/StationProfile.h"
#include "values/DataFile.h"
#include "values/MeterSession.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace vorda {
class MeterProtocol;
class EquationEvaluator;
class SigFigRounder;

// The measured output current for a step ("as found", "as left"); empty
// when it could not be measured.
using MaSource = std::function<std::optional<double>(const QString& step)>;

// Saves a report's PDF; the CSV is always saved beside it. Empty for none.
using PdfSaver = std::function<bool(const QString& pdfPath, const ReportHeader&, const CommissioningRecord&,
                                    const QList<ReportRow>&, QString* error)>;

// How one meter went.
struct StationVerdict {
    QString serial;            // "unidentified" when the meter has none
    bool pass = false;
    QString reason;            // why it failed, or what was done
    QDateTime when;            // UTC
    QStringList written;       // parameters written whole
    int registersWritten = 0;
    std::optional<MaCalibration> calibration;
    QString report;            // the report's CSV, when saved
};

// The shift so far.
struct StationTally {
    QList<StationVerdict> meters;
    int Passed() const;
    int Failed() const;
    bool Done(const QString& serial) const;
    // "serial,result,reason,time" and a line per meter.
    QByteArray Csv() const;
};

class SeriesStation {
public:
    SeriesStation(StationProfile profile, const EquationEvaluator& eval, const SigFigRounder& rounder);

    // Reads the golden file and checks it under the map it names, found in
    // mapDir: another map's count of values or a value the data check
    // refuses is refused here, before any meter is touched.
    bool Prepare(const QString& mapDir, QString* error);
    const StationProfile& Profile() const { return profile_; }
    const QString& GoldenMap() const { return golden_.mapFileName; }

    // Commissions the connected meter whose map is on the session's rows and
    // whose connection has begun. ma is asked only when the profile's mA
    // step runs. The verdict joins the tally.
    StationVerdict Commission(MeterSession& session, MeterProtocol& protocol, MeterReport& report,
                              const MaSource& ma, const ReportHeader& header, const PdfSaver& pdf = {});
    const StationTally& Tally() const { return tally_; }
    // The tally's CSV in the report folder; false with *error.
    bool SaveTally(QString* error) const;
    QString TallyPath() const;

private:
    bool Calibrate(MeterSession& session, MeterProtocol& protocol, MeterReport& report, const MaSource& ma,
                   const ReadOutcome& before, StationVerdict* v);
    bool SaveReport(const MeterSession& session, const ReportHeader& header, const PdfSaver& pdf, StationVerdict* v);
    StationVerdict& Fail(StationVerdict& v, const QString& reason);

    StationProfile profile_;
    const EquationEvaluator& eval_;
    const SigFigRounder& rounder_;
    DataFileContent golden_;
    QDateTime shiftStart_;
    StationTally tally_;
};

} // namespace vorda
