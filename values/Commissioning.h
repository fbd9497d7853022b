#pragma once
// The record of one connection for a commissioning report: what the meter
// held when it was found, what it holds when it is left, the last
// verification and the mA offset calibration, and the report made of it.
#include "maps/DMap.h"
#include "values/MeterEngine.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cmath>
#include <functional>
#include <optional>

namespace vorda {

// The mA output offset calibration made during a connection.
struct MaCalibration {
    qint64 oldOffset = 0;
    double measuredMa = 0.0;
    qint64 newOffset = 0;
    // A station measures again after the write: the output as left, and
    // whether it lies within its tolerance of 4 mA.
    std::optional<double> measuredAfterMa;
    double toleranceMa = 0.0;
    bool WithinTolerance() const { return measuredAfterMa && std::abs(*measuredAfterMa - 4.0) <= toleranceMa + 1e-9; }
};

// The new mA output offset that moves a measured output to 4 mA:
// old + (4 - measured) x 2731, rounded to the nearest, halves to even.
qint64 NewMaOffset(qint64 oldOffset, double measuredMa);

// How the last verification of the meter ended.
enum class Verification {
    None,         // nothing was verified during this connection
    Verified,     // the meter held every value written or shown
    Differences,  // some parameters differed; `differing` names them
    NotVerified,  // the meter stopped answering before the comparison ended
};

// One connection's record, kept by the main window. Values are meter values
// (exact, in meter units) by map index.
struct CommissioningRecord {
    int comNumber = 0;          // COM number of the connection
    QString mapFile;            // the meter's map file
    int mapNumber = 0;
    // The first complete read after Connect.
    bool asFoundTaken = false;
    QStringList asFound;
    // The last verified write or complete read.
    bool asLeftTaken = false;
    QStringList asLeft;
    Verification verification = Verification::None;
    QStringList differing;      // parameter names of the last verification
    // A write came after the last verification, which then tells of the
    // meter as it was before that write.
    bool verificationBeforeWrite = false;
    std::optional<MaCalibration> maCalibration;

    // The as-left text of a parameter whose value is not known.
    static QString UnknownValue() { return QStringLiteral("unknown"); }

    // A new connection begins an empty record.
    void Begin(int com, const QString& map, int number);
    // A complete read of the meter under the map map: the first one is the
    // as-found set, each one is the as-left set. A read under another map
    // than the record's is left out: its values belong to other parameters.
    void MeterRead(const QString& map, const QStringList& meterValues);
    // A write under the map map of values (meter values by map index) with
    // the registers `registers` of the selected parameters. A parameter
    // read back whole is left holding what was read back; one whose every
    // register the meter echoed, what was written; one with a register that
    // may or may not have landed is "unknown" until the next read. The last
    // verification becomes one from before this write.
    void MeterWritten(const QString& map, const QList<DMap>& params, const QStringList& values,
                      const QVector<bool>& selected, const WriteOutcome& written, const VerifyOutcome* readBack);
    // The meter was compared with what it should hold: verified when no
    // parameter differed. The read that compared it goes to MeterRead.
    void MeterVerified(const QStringList& differingNames);
    // The meter stopped answering before it could be compared.
    void VerificationBroken();
};

// What a written parameter holds as far as the program knows: what was read
// back when every register came back, what was sent when the meter echoed
// every register, else "unknown".
QString ValueAfterWrite(const DMap& param, const QString& sent, const QVector<bool>& acknowledged,
                        const QVector<int>& readBack);

// What the report says of the program and the session.
struct ReportHeader {
    QString version;
    QDateTime when;
    QString userName;
};

// One row of the report: a parameter, its values as found and as left in
// meter units, and the unit name of the display data where its type has one.
struct ReportRow {
    QString parameter;
    QString unit;
    QString asFound;
    QString asLeft;
    bool changed = false;
};

// The rows of the parameters `shown` names (all when it is empty), in map
// order. unitName gives the meter unit name of a parameter's type, empty
// when it has none.
QList<ReportRow> ReportRows(const QList<DMap>& params, const CommissioningRecord& record,
                            const QVector<bool>& shown, const std::function<QString(const DMap&)>& unitName);

// The facts above the report's table, name and value, in the order both
// files show them: version, date and time, user, COM port, map file and
// number, verification, mA offset calibration.
QList<QPair<QString, QString>> ReportFacts(const ReportHeader& header, const CommissioningRecord& record);

// "Verified", "Differences: A, B", "Not verified", "No verification"; after
// a write that was not verified, "Not verified since the last write", with
// the earlier result in brackets.
QString VerificationText(const CommissioningRecord& record);

// The CSV of the report: a line per row and the header's facts above it.
QByteArray ReportCsv(const ReportHeader& header, const CommissioningRecord& record, const QList<ReportRow>& rows);

// The CSV beside a report's PDF: the same name with ".csv".
QString ReportCsvPath(const QString& pdfPath);

// Saves the report as a PDF at pdfPath and its CSV beside it (the same name
// with ".csv"), each through the safe writer: a failed save leaves no half
// file and an older report as it was. False with *error naming the file.
// Needs a running QGuiApplication for its fonts (library vorda_report).
bool SaveCommissioningReport(const QString& pdfPath, const ReportHeader& header, const CommissioningRecord& record,
                             const QList<ReportRow>& rows, QString* error);

} // namespace vorda
