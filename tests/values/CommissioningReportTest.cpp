// The commissioning report: the record of a session and the files made of it.
#include "base/TextFiles.h"
#include "tests/support/TestApp.h"
#include "values/Commissioning.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vorda::test {
namespace {

DMap Param(const QString& name, const QString& type = {}) {
    DMap p;
    p.Parameter = name;
    p.PType = type;
    return p;
}

QStringList CsvLines(const QByteArray& csv) { return QString::fromUtf8(csv).split(QStringLiteral("\r\n")); }

class CommissioningReportTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }
    QList<DMap> params{Param("Meter Tag"), Param("Flow Full Scale", "Flow"), Param("Sensor Constant"), Param("Damping")};
    ReportHeader header{"3.9.5", QDateTime(QDate(2026, 12, 9), QTime(14, 5, 0)), "tech"};
    static QString Unit(const DMap& p) { return p.PType == QLatin1String("Flow") ? QStringLiteral("l/s") : QString(); }
};

TEST_F(CommissioningReportTest, ASessionWithOneChangeGivesItsAsFoundAndAsLeftValues) {
    CommissioningRecord record;
    record.Begin(5, "ZUVMap5.Map", 5);
    record.MeterRead("ZUVMap5.Map", {"OLD", "12.5", "7", "3"});
    record.MeterRead("zuvmap5.map", {"OLD", "20", "7", "3"}); // read after Write Ticked
    record.MeterRead("ZUVMap4.Map", {"x", "y", "z", "w"});    // under another map: left out
    record.MeterVerified({});
    record.maCalibration = MaCalibration{1200, 3.9, 1473};
    // A second connection's values never mix with the first's.
    CommissioningRecord other = record;
    other.Begin(6, "ZUVMap4.Map", 4);
    EXPECT_FALSE(other.asFoundTaken);
    EXPECT_FALSE(other.maCalibration);

    // The maker-only parameter is left out for an ordinary user.
    const QList<ReportRow> rows = ReportRows(params, record, {true, true, false, true}, Unit);
    const QStringList lines = CsvLines(ReportCsv(header, record, rows));
    EXPECT_TRUE(lines.contains(R"("COM port","COM5")"));
    EXPECT_TRUE(lines.contains(R"("Map file","ZUVMap5.Map")"));
    EXPECT_TRUE(lines.contains(R"("Date and time","2026-12-09 14:05:00")"));
    EXPECT_TRUE(lines.contains(R"("Verification","Verified")"));
    EXPECT_TRUE(lines.contains(R"("mA offset calibration","old offset 1200, measured 3.9 mA, new offset 1473")"));
    const int table = int(lines.indexOf(R"("Parameter","Unit","As found","As left","Changed")"));
    ASSERT_GE(table, 0);
    EXPECT_EQ(lines.mid(table + 1, 4), (QStringList{R"("Meter Tag","","OLD","OLD","no")",
                                                     R"("Flow Full Scale","l/s","12.5","20","yes")",
                                                     R"("Damping","","3","3","no")", ""}));
}

TEST_F(CommissioningReportTest, VerificationAndUnreadSetsAreReportedAsTheyStand) {
    CommissioningRecord record;
    record.Begin(5, "ZUVMap5.Map", 5);
    EXPECT_EQ(VerificationText(record), "No verification");
    // No complete read yet: nothing to show, nothing marked changed.
    for (const ReportRow& r : ReportRows(params, record, {}, Unit)) {
        EXPECT_TRUE(r.asFound.isEmpty() && r.asLeft.isEmpty());
        EXPECT_FALSE(r.changed);
    }
    record.MeterRead("ZUVMap5.Map", {"A", "1", "2", "3"});
    record.MeterVerified({"Flow Full Scale", "Damping"});
    EXPECT_EQ(VerificationText(record), "Differences: Flow Full Scale, Damping");
    record.VerificationBroken();
    EXPECT_EQ(VerificationText(record), "Not verified");
    EXPECT_EQ(record.asLeft, (QStringList{"A", "1", "2", "3"}));
}

TEST_F(CommissioningReportTest, CsvKeepsMeterTextsAsTextAndNumbersAsNumbers) {
    CommissioningRecord record;
    record.Begin(1, "m.map", 0);
    record.MeterRead("m.map", {"=HYPERLINK(\"x\")", "-5", "+1", "@me"});
    const QStringList lines = CsvLines(ReportCsv(header, record, ReportRows(params, record, {}, {})));
    EXPECT_TRUE(lines.contains(R"c("Meter Tag","","'=HYPERLINK(""x"")","'=HYPERLINK(""x"")","no")c"));
    EXPECT_TRUE(lines.contains(R"("Flow Full Scale","","-5","-5","no")"));
    EXPECT_TRUE(lines.contains(R"("Sensor Constant","","+1","+1","no")"));
    EXPECT_TRUE(lines.contains(R"("Damping","","'@me","'@me","no")"));
}

TEST_F(CommissioningReportTest, SavesAPdfWithItsCsvBesideItOrNothing) {
    QTemporaryDir dir;
    CommissioningRecord record;
    record.Begin(5, "ZUVMap5.Map", 5);
    record.MeterRead("ZUVMap5.Map", {"T", "1", "2", "3"});
    const QList<ReportRow> rows = ReportRows(params, record, {}, Unit);
    QString error;
    const QString pdf = dir.filePath("site 4.pdf");
    ASSERT_TRUE(SaveCommissioningReport(pdf, header, record, rows, &error)) << error.toStdString();
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5).startsWith("%PDF-"));
    QStringList csv;
    ASSERT_TRUE(ReadTextLines(dir.filePath("site 4.csv"), &csv, &error));
    EXPECT_TRUE(csv.contains(R"("Meter Tag","","T","T","no")"));

    // A folder that does not exist: the error names the file, nothing is left.
    const QString missing = dir.filePath("gone/report.pdf");
    EXPECT_FALSE(SaveCommissioningReport(missing, header, record, rows, &error));
    EXPECT_TRUE(error.contains(missing)) << error.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

} // namespace
} // namespace vorda::test
