#include "maps/MapFile.h"

#include "base/TextFiles.h"
#include "units/NumberFormat.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QTemporaryDir>

#include "tests/support/QtPrinters.h"

#include <algorithm>
#include <map>

namespace vorda {

namespace {

const char* StatusName(MapReadStatus s) {
    switch (s) {
    case MapReadStatus::Ok: return "Ok";
    case MapReadStatus::OpenFailed: return "OpenFailed";
    case MapReadStatus::OldFormat: return "OldFormat";
    case MapReadStatus::BadVersion: return "BadVersion";
    case MapReadStatus::BadContent: return "BadContent";
    case MapReadStatus::BadRegisters: return "BadRegisters";
    }
    return "?";
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// Sets the default locale for one test and puts the previous one back.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale& locale) : saved_(QLocale()) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

// Two complete parameter blocks, written out line by line.
const QByteArray kBlockA =
    "0\r\n3\r\n1\r\nSerial Number\r\nInt32\r\n1\r\nR\r\n2\r\n\r\n\r\nnote A\r\ntip A\r\n";
const QByteArray kBlockB =
    "4\r\n7\r\n2\r\nLimits\r\nInt16\r\n0.1\r\n\r\n3\r\nA\r\nFlow\r\nnote B\r\ntip B\r\n";

// One parameter block with the given registers, capacity and format.
QByteArray Block(const char* start, const char* end, const char* capacity, const char* format) {
    return QByteArray(start) + "\r\n" + end + "\r\n" + capacity + "\r\nName\r\n" + format +
           "\r\n1\r\n\r\n2\r\n\r\n\r\n\r\n\r\n";
}

// ---------------------------------------------------------------------------
// Reading: the failure paths and the accepted variants, one table.

struct ReadCase {
    const char* name;
    QByteArray content;
    MapReadStatus status;
    const char* message; // exact expected text; nullptr: only checked to be non-empty
    int params;          // complete blocks kept
    int headers;         // complete header rows kept
    bool headerCountRead;
};

class MapReadTable : public ::testing::TestWithParam<ReadCase> {};

TEST_P(MapReadTable, ReadsAsExpected) {
    const ReadCase& c = GetParam();
    DefaultLocale dot(QLocale::c());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("ZUVMAP9.Map"));
    WriteBytes(path, c.content);

    const MapReadResult r = ReadMapFileContent(path, QStringLiteral("ZUVMAP9.Map"));
    EXPECT_EQ(StatusName(r.status), std::string(StatusName(c.status)));
    if (c.message) {
        EXPECT_EQ(r.message, QString::fromUtf8(c.message));
    } else {
        EXPECT_FALSE(r.message.isEmpty());
    }
    EXPECT_EQ(r.params.size(), c.params);
    EXPECT_EQ(r.headers.size(), c.headers);
    EXPECT_EQ(r.headerCountRead, c.headerCountRead);
}

const QByteArray kHeaders = "2\r\n1\r\nFirst\r\n(Not in Use)\r\n4\r\nSecond\r\n(Not in Use)\r\n";

INSTANTIATE_TEST_SUITE_P(
    Paths, MapReadTable,
    ::testing::Values(
        ReadCase{"V2_accepted", "V2\r\n2\r\n" + kBlockA + kBlockB + kHeaders, MapReadStatus::Ok,
                 "", 2, 2, true},
        ReadCase{"V2_0_accepted", "V2.0\r\n0\r\n0\r\n", MapReadStatus::Ok, "", 0, 0, true},
        ReadCase{"first_character_ignored", "X3\r\n0\r\n0\r\n", MapReadStatus::Ok, "", 0, 0, true},
        ReadCase{"lf_line_ends", "V2\n1\n0\n3\n1\nSerial Number\nInt32\n1\nR\n1\n\n\n\n\n0\n",
                 MapReadStatus::Ok, "", 1, 0, true},
        ReadCase{"old_format_1_99", "V1.99\r\n0\r\n0\r\n", MapReadStatus::OldFormat,
                 "ZUVMAP9.Map is in an old format and cannot be read", 0, 0, false},
        ReadCase{"old_format_negative", "V-3\r\n0\r\n", MapReadStatus::OldFormat,
                 "ZUVMAP9.Map is in an old format and cannot be read", 0, 0, false},
        ReadCase{"version_letters", "Vabc\r\n0\r\n", MapReadStatus::BadVersion,
                 "'abc' is not a valid floating point value", 0, 0, false},
        ReadCase{"version_line_only_V", "V\r\n0\r\n", MapReadStatus::BadVersion,
                 "'' is not a valid floating point value", 0, 0, false},
        ReadCase{"empty_file", "", MapReadStatus::BadVersion,
                 "'' is not a valid floating point value", 0, 0, false},
        ReadCase{"count_not_integer", "V2\r\nthree\r\n", MapReadStatus::BadContent,
                 "'three' is not a valid integer value", 0, 0, false},
        ReadCase{"count_overflows", "V2\r\n2147483648\r\n", MapReadStatus::BadContent,
                 "'2147483648' is not a valid integer value", 0, 0, false},
        ReadCase{"startreg_not_integer",
                 "V2\r\n2\r\n" + kBlockA + "4x\r\n7\r\n2\r\n", MapReadStatus::BadContent,
                 "'4x' is not a valid integer value", 1, 0, false},
        ReadCase{"capacity_decimal",
                 "V2\r\n1\r\n0\r\n3\r\n1.5\r\nName\r\n", MapReadStatus::BadContent,
                 "'1.5' is not a valid integer value", 0, 0, false},
        ReadCase{"header_order_not_integer",
                 "V2\r\n1\r\n" + kBlockA + "1\r\nfirst\r\nHeading\r\n(Not in Use)\r\n",
                 MapReadStatus::BadContent, "'first' is not a valid integer value", 1, 0, true},
        ReadCase{"ends_after_count", "V2\r\n1\r\n", MapReadStatus::BadContent,
                 "ZUVMAP9.Map ends too early: line 3 is missing", 0, 0, false},
        ReadCase{"ends_inside_block", "V2\r\n2\r\n" + kBlockA + "4\r\n7\r\n2\r\nLimits\r\n",
                 MapReadStatus::BadContent, "ZUVMAP9.Map ends too early: line 19 is missing", 1,
                 0, false},
        ReadCase{"ends_before_last_text_line",
                 "V2\r\n1\r\n0\r\n3\r\n1\r\nSerial Number\r\nInt32\r\n1\r\nR\r\n2\r\n\r\n\r\nnote\r\n",
                 MapReadStatus::BadContent, "ZUVMAP9.Map ends too early: line 14 is missing", 0,
                 0, false},
        ReadCase{"ends_inside_headers",
                 "V2\r\n1\r\n" + kBlockA + "2\r\n1\r\nFirst\r\n(Not in Use)\r\n4\r\nSecond\r\n",
                 MapReadStatus::BadContent, "ZUVMAP9.Map ends too early: line 21 is missing", 1,
                 1, true},
        ReadCase{"no_header_section", "V2\r\n2\r\n" + kBlockA + kBlockB, MapReadStatus::Ok, "",
                 2, 0, false},
        ReadCase{"extra_empty_last_line", "V2\r\n1\r\n" + kBlockA + "\r\n",
                 MapReadStatus::BadContent, "'' is not a valid integer value", 1, 0, false},
        ReadCase{"zero_params_zero_headers", "V2\r\n0\r\n0\r\n", MapReadStatus::Ok, "", 0, 0,
                 true},
        ReadCase{"zero_params_no_header_line", "V2\r\n0\r\n", MapReadStatus::Ok, "", 0, 0,
                 false},
        ReadCase{"huge_parameter_count", "V2\r\n2147483647\r\n" + kBlockA,
                 MapReadStatus::BadContent, "ZUVMAP9.Map ends too early: line 15 is missing", 1,
                 0, false},
        ReadCase{"huge_header_count",
                 "V2\r\n1\r\n" + kBlockA + "2147483647\r\n1\r\nFirst\r\n(Not in Use)\r\n",
                 MapReadStatus::BadContent, "ZUVMAP9.Map ends too early: line 19 is missing", 1,
                 1, true},
        ReadCase{"negative_parameter_count", "V2\r\n-1\r\n0\r\n", MapReadStatus::BadContent,
                 "'-1' is not a valid parameter count", 0, 0, false},
        ReadCase{"negative_header_count", "V2\r\n1\r\n" + kBlockA + "-2\r\n",
                 MapReadStatus::BadContent, "'-2' is not a valid header count", 1, 0, false},
        ReadCase{"nul_byte_in_integer_line",
                 QByteArray("V2\r\n1\r\n0\r\n3") + QByteArray(1, '\0') + "\r\n",
                 MapReadStatus::BadContent, nullptr, 0, 0, false},
        // Registers that the parameter does not own, or the meter does not
        // have: the map is refused, naming the parameter.
        ReadCase{"capacity_beyond_range", "V2\r\n2\r\n" + kBlockA + Block("4", "7", "2147483647", "Int16"),
                 MapReadStatus::BadRegisters,
                 "ZUVMAP9.Map: Parameter \"Name\" holds 2147483647 values; registers 4 to 7 hold at most 2 Int16 values",
                 1, 0, false},
        ReadCase{"capacity_one_too_many", "V2\r\n1\r\n" + Block("8", "23", "17", "ASCII"), MapReadStatus::BadRegisters,
                 "ZUVMAP9.Map: Parameter \"Name\" holds 17 values; registers 8 to 23 hold at most 16 ASCII values",
                 0, 0, false},
        ReadCase{"capacity_negative", "V2\r\n1\r\n" + Block("8", "9", "-1", "Hex"), MapReadStatus::BadRegisters, nullptr, 0, 0, false},
        ReadCase{"end_before_start", "V2\r\n1\r\n" + Block("9", "8", "0", "Int8"), MapReadStatus::BadRegisters,
                 "ZUVMAP9.Map: Parameter \"Name\" ends at register 8, before its first register 9", 0, 0, false},
        ReadCase{"end_at_integer_limit", "V2\r\n1\r\n" + Block("2147483644", "2147483647", "1", "Int32"),
                 MapReadStatus::BadRegisters,
                 "ZUVMAP9.Map: Parameter \"Name\" uses registers 2147483644 to 2147483647; the meter has registers 0 to 255",
                 0, 0, false},
        ReadCase{"start_negative", "V2\r\n1\r\n" + Block("-2147483648", "0", "1", "Int8"), MapReadStatus::BadRegisters, nullptr, 0, 0, false},
        ReadCase{"register_256", "V2\r\n1\r\n" + Block("255", "256", "1", "Int16"), MapReadStatus::BadRegisters, nullptr, 0, 0, false},
        ReadCase{"fewer_values_than_room", "V2\r\n1\r\n" + Block("252", "255", "1", "Int16") + "0\r\n", MapReadStatus::Ok, "", 1, 0, true},
        ReadCase{"unused_cp1252_codes_in_text",
                 "V2\r\n1\r\n0\r\n0\r\n1\r\nOdd \x81\x8d\x8f\x90\x9d name\r\nInt8\r\n1\r\n\r\n1\r\n"
                 "\r\n\r\n\xff\xfe\r\n\r\n0\r\n",
                 MapReadStatus::Ok, "", 1, 0, true}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(MapRead, BadVersionKeepsTheWholeFirstLine) {
    const MapReadResult r =
        ParseMapLines({QStringLiteral("Version two"), QStringLiteral("0")}, QStringLiteral("m.map"));
    EXPECT_EQ(r.status, MapReadStatus::BadVersion);
    EXPECT_EQ(r.versionLine, QStringLiteral("Version two"));
    EXPECT_EQ(r.message, QStringLiteral("'ersion two' is not a valid floating point value"));
}

// One bad line of a huge file is quoted as a short excerpt, wherever it stands.
TEST(MapRead, AHugeBadLineIsQuotedAsAnExcerpt) {
    const QString huge(10 * 1024 * 1024, QLatin1Char('7'));
    const QString bad = QStringLiteral("x") + huge;
    const QString quoted = QString(60, QLatin1Char('7')) + QChar(0x2026);
    const struct {
        const char* where;
        QStringList lines;
        QString quoted;
    } cases[] = {
        {"version", {QStringLiteral("V") + bad, QStringLiteral("0")}, QStringLiteral("x") + quoted.mid(1)},
        {"count", {QStringLiteral("V2"), bad}, QStringLiteral("x") + quoted.mid(1)},
        {"negative count", {QStringLiteral("V2"), QStringLiteral("-") + huge}, QStringLiteral("-") + quoted.mid(1)},
        {"register", {QStringLiteral("V2"), QStringLiteral("1"), bad}, QStringLiteral("x") + quoted.mid(1)},
        {"header count", {QStringLiteral("V2"), QStringLiteral("0"), bad}, QStringLiteral("x") + quoted.mid(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        const MapReadResult r = ParseMapLines(c.lines, QStringLiteral("m.map"));
        EXPECT_NE(r.status, MapReadStatus::Ok);
        EXPECT_LT(r.message.size(), 120) << qPrintable(r.message.left(200));
        EXPECT_TRUE(r.message.contains(QLatin1Char('\'') + c.quoted + QLatin1Char('\'')))
            << qPrintable(r.message.left(200));
        EXPECT_LE(r.versionLine.size(), 61);
    }
}

TEST(MapRead, OldFormatNamesTheFileAsPassed) {
    const MapReadResult r =
        ParseMapLines({QStringLiteral("V1"), QStringLiteral("0")}, QStringLiteral("sub/MyMap.map"));
    EXPECT_EQ(r.status, MapReadStatus::OldFormat);
    EXPECT_EQ(r.message, QStringLiteral("sub/MyMap.map is in an old format and cannot be read"));
    EXPECT_TRUE(r.params.isEmpty());
}

TEST(MapRead, CountsAreReportedAsDeclared) {
    // Blocks stop where the file does; the declared counts stay visible.
    const MapReadResult huge =
        ParseMapLines(SplitLines(DecodeCp1252("V2\r\n2147483647\r\n" + kBlockA + kBlockB)),
                      QStringLiteral("x"));
    EXPECT_EQ(huge.status, MapReadStatus::BadContent);
    EXPECT_EQ(huge.declaredCount, 2147483647);
    EXPECT_EQ(huge.params.size(), 2);

    const MapReadResult ok = ParseMapLines(
        SplitLines(DecodeCp1252("V2\r\n2\r\n" + kBlockA + kBlockB + kHeaders)), QStringLiteral("x"));
    EXPECT_EQ(ok.status, MapReadStatus::Ok);
    EXPECT_EQ(ok.declaredCount, 2);
    EXPECT_EQ(ok.declaredHeaders, 2);
}

TEST(MapRead, MissingFileIsAnOpenFailure) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ZUVMAP3.Map"));
    const MapReadResult r = ReadMapFileContent(path, QStringLiteral("ZUVMAP3.Map"));
    EXPECT_EQ(r.status, MapReadStatus::OpenFailed);
    EXPECT_TRUE(r.message.contains(QStringLiteral("ZUVMAP3.Map"))) << r.message.toStdString();
    EXPECT_TRUE(r.params.isEmpty());
}

TEST(MapRead, DirectoryIsAnOpenFailure) {
    QTemporaryDir dir;
    const MapReadResult r = ReadMapFileContent(dir.path(), QStringLiteral("dir"));
    EXPECT_NE(r.status, MapReadStatus::Ok);
}

TEST(MapRead, BlockLinesGoToTheirFields) {
    // Every line of the block holds a different text, so a swapped pair shows.
    const QStringList lines = SplitLines(DecodeCp1252(
        "V2\r\n1\r\n"
        "10\r\n13\r\n2\r\nName\r\nInt16\r\n0.5\r\nC\r\n7\r\nD\r\nPressure\r\n"
        "line eleven\r\nline twelve\r\n"
        "1\r\n6\r\nHeading\r\nHeader tip\r\n"));
    const MapReadResult r = ParseMapLines(lines, QStringLiteral("x"));
    ASSERT_EQ(r.status, MapReadStatus::Ok) << r.message.toStdString();
    ASSERT_EQ(r.params.size(), 1);
    const DMap& p = r.params[0];
    EXPECT_EQ(p.Startreg, 10);
    EXPECT_EQ(p.EndReg, 13);
    EXPECT_EQ(p.Capacity, 2);
    EXPECT_EQ(p.Parameter, QStringLiteral("Name"));
    EXPECT_EQ(p.Format, QStringLiteral("Int16"));
    EXPECT_EQ(p.Multiplier, QStringLiteral("0.5"));
    EXPECT_EQ(p.Access, QStringLiteral("C"));
    EXPECT_EQ(p.Sequence, QStringLiteral("7"));
    EXPECT_EQ(p.Rule, QStringLiteral("D"));
    EXPECT_EQ(p.PType, QStringLiteral("Pressure"));
    EXPECT_EQ(p.DescAlways, QStringLiteral("line eleven"));
    EXPECT_EQ(p.DescToolTip, QStringLiteral("line twelve"));
    ASSERT_EQ(r.headers.size(), 1);
    EXPECT_EQ(r.headers[0], (MapHeader{QStringLiteral("6"), QStringLiteral("Heading"),
                                       QStringLiteral("Header tip")}));
}

TEST(MapRead, TextsAreTakenAsTheyAre) {
    // Leading and trailing spaces, a text that looks like a number and a
    // sequence that is no number are not touched by the reader.
    const QStringList lines = SplitLines(DecodeCp1252(
        "V2\r\n1\r\n"
        "0\r\n1\r\n1\r\n  padded  \r\nHex\r\n\r\n\r\nseven\r\n\r\n\r\n12\r\n \r\n"));
    const MapReadResult r = ParseMapLines(lines, QStringLiteral("x"));
    ASSERT_EQ(r.status, MapReadStatus::Ok) << r.message.toStdString();
    ASSERT_EQ(r.params.size(), 1);
    EXPECT_EQ(r.params[0].Startreg, 0);
    EXPECT_EQ(r.params[0].Parameter, QStringLiteral("  padded  "));
    EXPECT_EQ(r.params[0].Multiplier, QString());
    EXPECT_EQ(r.params[0].Sequence, QStringLiteral("seven"));
    EXPECT_EQ(r.params[0].DescAlways, QStringLiteral("12"));
    EXPECT_EQ(r.params[0].DescToolTip, QStringLiteral(" "));
}

TEST(MapRead, UnusedCp1252CodesSurviveARoundTrip) {
    QTemporaryDir dir;
    const QByteArray bytes =
        "V2\r\n1\r\n0\r\n0\r\n1\r\nOdd \x81\x8d\x8f\x90\x9d name\r\nInt8\r\n1\r\n\r\n1\r\n"
        "\r\n\r\n\xff\xfe\r\n\r\n0\r\n";
    const QString in = dir.filePath(QStringLiteral("in.map"));
    const QString out = dir.filePath(QStringLiteral("out.map"));
    WriteBytes(in, bytes);
    const MapReadResult r = ReadMapFileContent(in, QStringLiteral("in.map"));
    ASSERT_EQ(r.status, MapReadStatus::Ok);
    QString error;
    ASSERT_TRUE(WriteMapFileContent(out, r.params, r.headers, &error)) << error.toStdString();
    EXPECT_EQ(ReadBytes(out), bytes);
}

TEST(MapRead, HeadersAndParametersShareOneNumbering) {
    // Headers 1 and 4, parameters 2, 3 and 5: heading, two parameters,
    // heading, parameter. Parameters come in register order in the file.
    const QByteArray file =
        "V2\r\n3\r\n"
        "0\r\n0\r\n1\r\nthird\r\nInt8\r\n1\r\n\r\n5\r\n\r\n\r\n\r\n\r\n"
        "1\r\n1\r\n1\r\nfirst\r\nInt8\r\n1\r\n\r\n2\r\n\r\n\r\n\r\n\r\n"
        "2\r\n2\r\n1\r\nsecond\r\nInt8\r\n1\r\n\r\n3\r\n\r\n\r\n\r\n\r\n"
        "2\r\n4\r\nHeading B\r\n(Not in Use)\r\n1\r\nHeading A\r\n(Not in Use)\r\n";
    const MapReadResult r = ParseMapLines(SplitLines(DecodeCp1252(file)), QStringLiteral("x"));
    ASSERT_EQ(r.status, MapReadStatus::Ok) << r.message.toStdString();
    // File order is kept.
    ASSERT_EQ(r.params.size(), 3);
    EXPECT_EQ(r.params[0].Parameter, QStringLiteral("third"));
    ASSERT_EQ(r.headers.size(), 2);
    EXPECT_EQ(r.headers[0].Heading, QStringLiteral("Heading B"));

    std::map<int, QString> screen;
    for (const DMap& p : r.params) screen[p.Sequence.toInt()] = p.Parameter;
    for (const MapHeader& h : r.headers) screen[h.Order.toInt()] = QStringLiteral("# ") + h.Heading;
    QStringList order;
    for (const auto& [n, text] : screen) order << text;
    EXPECT_EQ(order, (QStringList{QStringLiteral("# Heading A"), QStringLiteral("first"),
                                  QStringLiteral("second"), QStringLiteral("# Heading B"),
                                  QStringLiteral("third")}));
}

TEST(MapRead, VersionUsesTheLocaleSeparator) {
    DefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
    const QString name = QStringLiteral("ZUVMAP1.Map");
    struct Case {
        const char* line;
        MapReadStatus status;
    } cases[] = {
        {"V2,5", MapReadStatus::Ok},
        {"V2", MapReadStatus::Ok},
        {"V1,99", MapReadStatus::OldFormat},
        {"V2.5", MapReadStatus::BadVersion},
    };
    for (const Case& c : cases) {
        const MapReadResult r =
            ParseMapLines({QString::fromLatin1(c.line), QStringLiteral("0")}, name);
        EXPECT_EQ(StatusName(r.status), std::string(StatusName(c.status))) << c.line;
    }
}

TEST(MapRead, DotVersionInTheCLocale) {
    DefaultLocale c(QLocale::c());
    EXPECT_EQ(ParseMapLines({QStringLiteral("V2.5"), QStringLiteral("0")}, QStringLiteral("x")).status,
              MapReadStatus::Ok);
    EXPECT_EQ(ParseMapLines({QStringLiteral("V2,5"), QStringLiteral("0")}, QStringLiteral("x")).status,
              MapReadStatus::BadVersion);
}

// ---------------------------------------------------------------------------
// Writing.

DMap SampleParam() {
    DMap p;
    p.Startreg = 10;
    p.EndReg = 13;
    p.Capacity = 2;
    p.Parameter = QStringLiteral("Temperature limits");
    p.Format = QStringLiteral("Int16");
    p.Multiplier = QStringLiteral("0.1");
    p.Access = QStringLiteral("C");
    p.Sequence = QStringLiteral("2");
    p.Rule = QStringLiteral("A");
    p.PType = QStringLiteral("Temperature");
    p.DescToolTip = QStringLiteral("the tip");
    p.DescAlways = QStringLiteral("always shown");
    return p;
}

TEST(MapWrite, LinesInBlockOrder) {
    const QStringList lines =
        MapFileLines({SampleParam()}, {MapHeader{QStringLiteral("1"), QStringLiteral("Head"),
                                                 QStringLiteral("(Not in Use)")}});
    EXPECT_EQ(lines, (QStringList{"V2", "1", "10", "13", "2",
                                  "Temperature limits", "Int16", "0.1", "C", "2", "A",
                                  "Temperature", "always shown", "the tip", "1", "1", "Head",
                                  "(Not in Use)"}));
}

TEST(MapWrite, HeaderCountIsAlwaysWritten) {
    EXPECT_EQ(MapFileLines({}, {}), (QStringList{"V2", "0", "0"}));
    const QStringList lines = MapFileLines({SampleParam()}, {});
    ASSERT_EQ(lines.size(), 2 + 12 + 1);
    EXPECT_EQ(lines.last(), QStringLiteral("0"));
}

TEST(MapWrite, FileIsCp1252WithCrLf) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ZUVMAP8.Map"));
    DMap p = SampleParam();
    p.DescAlways = QStringLiteral("°C");
    QString error;
    ASSERT_TRUE(WriteMapFileContent(path, {p}, {}, &error)) << error.toStdString();
    const QByteArray bytes = ReadBytes(path);
    EXPECT_TRUE(bytes.startsWith("V2\r\n1\r\n10\r\n13\r\n2\r\n"));
    EXPECT_TRUE(bytes.contains("\r\n\xb0" "C\r\nthe tip\r\n0\r\n"));
    EXPECT_TRUE(bytes.endsWith("\r\n0\r\n"));
    EXPECT_FALSE(bytes.contains("\n\n"));
}

TEST(MapWrite, RoundTripKeepsEveryField) {
    QList<DMap> params;
    DMap a = SampleParam();
    a.Parameter = QStringLiteral("Flow (m³/h)");
    a.DescAlways = QStringLiteral("Range 0 - 50 °C, ± 0.5 %, € price");
    params << a;
    DMap b;
    b.Startreg = 200;
    b.EndReg = 200;
    b.Capacity = 1;
    b.Parameter = QStringLiteral("Map Number");
    b.Format = QStringLiteral("Int8");
    b.Multiplier = QStringLiteral("1");
    b.Access = QStringLiteral("R");
    b.Sequence = QStringLiteral("3");
    params << b;
    DMap empty; // every text empty
    params << empty;
    const QList<MapHeader> headers{
        {QStringLiteral("1"), QStringLiteral("Température"), QStringLiteral("(Not in Use)")},
        {QStringLiteral("4"), QString(), QString()}};

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ZUVMAP7.Map"));
    QString error;
    ASSERT_TRUE(WriteMapFileContent(path, params, headers, &error)) << error.toStdString();
    const MapReadResult r = ReadMapFileContent(path, QStringLiteral("ZUVMAP7.Map"));
    ASSERT_EQ(r.status, MapReadStatus::Ok) << r.message.toStdString();
    EXPECT_EQ(r.params, params);
    EXPECT_EQ(r.headers, headers);
    EXPECT_TRUE(r.headerCountRead);
}

TEST(MapWrite, LineBreakInATextKeepsTheFileReadable) {
    DMap p = SampleParam();
    p.Parameter = QStringLiteral("two\r\nlines");
    p.DescAlways = QStringLiteral("a\nb\rc");
    const MapHeader h{QStringLiteral("1"), QStringLiteral("Head\ning"), QStringLiteral("x")};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.map"));
    QString error;
    ASSERT_TRUE(WriteMapFileContent(path, {p}, {h}, &error));
    const MapReadResult r = ReadMapFileContent(path, QStringLiteral("m.map"));
    ASSERT_EQ(r.status, MapReadStatus::Ok) << r.message.toStdString();
    ASSERT_EQ(r.params.size(), 1);
    EXPECT_EQ(r.params[0].Parameter, QStringLiteral("two lines"));
    EXPECT_EQ(r.params[0].DescAlways, QStringLiteral("a b c"));
    EXPECT_EQ(r.params[0].DescToolTip, p.DescToolTip);
    ASSERT_EQ(r.headers.size(), 1);
    EXPECT_EQ(r.headers[0].Heading, QStringLiteral("Head ing"));
}

TEST(MapWrite, FailureIsReportedAndKeepsTheOldFile) {
    QTemporaryDir dir;
    QString error;
    EXPECT_FALSE(WriteMapFileContent(dir.filePath(QStringLiteral("no/such/dir/m.map")),
                                     {SampleParam()}, {}, &error));
    EXPECT_FALSE(error.isEmpty());

    // A folder in the way of the file: the write fails, the folder stays.
    const QString blocked = dir.filePath(QStringLiteral("blocked.map"));
    ASSERT_TRUE(QDir().mkdir(blocked));
    error.clear();
    EXPECT_FALSE(WriteMapFileContent(blocked, {SampleParam()}, {}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(blocked).isDir());
}

TEST(MapWrite, OverwritesAnExistingFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("m.map"));
    WriteBytes(path, QByteArray(5000, 'x'));
    QString error;
    ASSERT_TRUE(WriteMapFileContent(path, {}, {}, &error));
    EXPECT_EQ(ReadBytes(path), QByteArray("V2\r\n0\r\n0\r\n"));
}

// ---------------------------------------------------------------------------
// Registers per value.

TEST(MapFormats, RegistersPerValueAndIntegerTest) {
    struct Case {
        const char* format;
        int registers;
        bool integer;
    } cases[] = {
        {"Int8", 1, true},   {"Int16", 2, true}, {"Int32", 4, true}, {"ASCII", 1, false},
        {"Hex", 1, false},   {"", 1, false},     {"int16", 1, false}, {"Int64", 1, true},
        {"Int16 ", 1, true}, {"In", 1, false},   {"Float", 1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RegistersPerValue(QString::fromLatin1(c.format)), c.registers) << c.format;
        EXPECT_EQ(IsIntegerFormat(QString::fromLatin1(c.format)), c.integer) << c.format;
    }
}

// ---------------------------------------------------------------------------
// The shipped maps.

const QString kDataDir = QStringLiteral(VORDA_DATA_DIR);

struct ShippedMap {
    const char* file;
    int number;
};

class ShippedMapTest : public ::testing::TestWithParam<ShippedMap> {
protected:
    QString Path() const { return kDataDir + QLatin1Char('/') + QString::fromLatin1(GetParam().file); }
    MapReadResult Read() const {
        return ReadMapFileContent(Path(), QString::fromLatin1(GetParam().file));
    }
};

QSet<QString> KnownTypes() {
    QStringList lines;
    QString error;
    QSet<QString> types;
    if (!ReadTextLines(kDataDir + QStringLiteral("/VORDADisplayData.txt"), &lines, &error))
        return types;
    // Two heading lines, then one entry per line: type TAB unit TAB ...
    for (qsizetype i = 2; i < lines.size(); ++i)
        if (!lines[i].isEmpty()) types.insert(lines[i].section(QLatin1Char('\t'), 0, 0));
    return types;
}

TEST_P(ShippedMapTest, ExistsUnderItsExactName) {
    EXPECT_TRUE(QFileInfo(Path()).isFile()) << Path().toStdString();
    EXPECT_TRUE(QDir(kDataDir).entryList(QDir::Files).contains(QString::fromLatin1(GetParam().file)));
}

TEST_P(ShippedMapTest, ReadsCompletely) {
    const MapReadResult r = Read();
    ASSERT_EQ(r.status, MapReadStatus::Ok) << r.message.toStdString();
    EXPECT_TRUE(r.headerCountRead);
    EXPECT_EQ(r.declaredCount, r.params.size());
    EXPECT_EQ(r.declaredHeaders, r.headers.size());
    EXPECT_GE(r.headers.size(), 1);
}

TEST_P(ShippedMapTest, RoundTripIsIdentical) {
    const MapReadResult r = Read();
    ASSERT_EQ(r.status, MapReadStatus::Ok) << r.message.toStdString();
    QTemporaryDir dir;
    const QString out = dir.filePath(QString::fromLatin1(GetParam().file));
    QString error;
    ASSERT_TRUE(WriteMapFileContent(out, r.params, r.headers, &error)) << error.toStdString();
    const MapReadResult again = ReadMapFileContent(out, QString::fromLatin1(GetParam().file));
    ASSERT_EQ(again.status, MapReadStatus::Ok) << again.message.toStdString();
    EXPECT_EQ(again.params, r.params);
    EXPECT_EQ(again.headers, r.headers);
    // The shipped file is exactly what the writer makes of it.
    EXPECT_EQ(ReadBytes(out), ReadBytes(Path()));
}

TEST_P(ShippedMapTest, RegistersAndCapacitiesAreConsistent) {
    const MapReadResult r = Read();
    ASSERT_EQ(r.status, MapReadStatus::Ok);
    const QSet<QString> formats{"Int8", "Int16", "Int32", "ASCII", "Hex"};
    std::vector<QString> owner(256);
    int lastStart = -1;
    for (const DMap& p : r.params) {
        SCOPED_TRACE(p.Parameter.toStdString());
        EXPECT_TRUE(formats.contains(p.Format)) << p.Format.toStdString();
        ASSERT_GE(p.Startreg, 0);
        ASSERT_LE(p.EndReg, 255);
        ASSERT_GE(p.EndReg, p.Startreg);
        EXPECT_GT(p.Startreg, lastStart) << "parameters in ascending start register";
        lastStart = p.Startreg;
        const int registers = p.EndReg - p.Startreg + 1;
        EXPECT_EQ(registers % RegistersPerValue(p.Format), 0) << "no unused registers";
        EXPECT_EQ(p.Capacity, registers / RegistersPerValue(p.Format));
        for (int reg = p.Startreg; reg <= p.EndReg; ++reg) {
            EXPECT_TRUE(owner[reg].isEmpty())
                << "register " << reg << " also in " << owner[reg].toStdString();
            owner[reg] = p.Parameter;
        }
    }
}

TEST_P(ShippedMapTest, FieldValuesAreValid) {
    const MapReadResult r = Read();
    ASSERT_EQ(r.status, MapReadStatus::Ok);
    const QSet<QString> types = KnownTypes();
    ASSERT_FALSE(types.isEmpty()) << "display data file not read";
    QSet<QString> names;
    for (const DMap& p : r.params) {
        SCOPED_TRACE(p.Parameter.toStdString());
        EXPECT_FALSE(p.Parameter.isEmpty());
        EXPECT_FALSE(names.contains(p.Parameter)) << "name used twice";
        names.insert(p.Parameter);
        EXPECT_TRUE(p.Access.isEmpty() || p.Access == "R" || p.Access == "C");
        EXPECT_TRUE(p.Rule.isEmpty() || p.Rule == "A" || p.Rule == "D");
        if (!p.Rule.isEmpty()) {
            EXPECT_GT(p.Capacity, 1) << "a rule needs several values";
        }
        if (IsIntegerFormat(p.Format)) {
            long double m = 0;
            EXPECT_TRUE(ParseNumber(p.Multiplier, QLocale::c(), &m)) << p.Multiplier.toStdString();
            EXPECT_GT(m, 0);
            EXPECT_TRUE(p.PType.isEmpty() || types.contains(p.PType)) << p.PType.toStdString();
        } else {
            EXPECT_TRUE(p.Multiplier.isEmpty());
            EXPECT_TRUE(p.PType.isEmpty());
        }
        EXPECT_TRUE(FitsCp1252(p.Parameter + p.DescAlways + p.DescToolTip));
    }
    for (const MapHeader& h : r.headers) EXPECT_FALSE(h.Heading.isEmpty());
}

TEST_P(ShippedMapTest, ScreenNumberingIsComplete) {
    const MapReadResult r = Read();
    ASSERT_EQ(r.status, MapReadStatus::Ok);
    const int total = int(r.params.size() + r.headers.size());
    std::vector<int> seen(total + 1, 0);
    auto mark = [&](const QString& text) {
        int n = 0;
        ASSERT_TRUE(ParseInt32(text, &n)) << text.toStdString();
        ASSERT_GE(n, 1);
        ASSERT_LE(n, total);
        ++seen[n];
    };
    for (const DMap& p : r.params) mark(p.Sequence);
    for (const MapHeader& h : r.headers) mark(h.Order);
    for (int n = 1; n <= total; ++n) EXPECT_EQ(seen[n], 1) << "screen position " << n;
    // A heading comes first on the screen.
    bool firstIsHeading = false;
    for (const MapHeader& h : r.headers) firstIsHeading |= h.Order == "1";
    EXPECT_TRUE(firstIsHeading);
    // Header rows are kept in page-layout order.
    for (qsizetype i = 1; i < r.headers.size(); ++i)
        EXPECT_LT(r.headers[i - 1].Order.toInt(), r.headers[i].Order.toInt());
}

TEST_P(ShippedMapTest, HoldsTheMapNumberAtRegister200) {
    const MapReadResult r = Read();
    ASSERT_EQ(r.status, MapReadStatus::Ok);
    const auto it = std::find_if(r.params.begin(), r.params.end(),
                                 [](const DMap& p) { return p.Startreg == 200; });
    ASSERT_NE(it, r.params.end());
    EXPECT_EQ(it->EndReg, 200);
    EXPECT_EQ(it->Parameter, QStringLiteral("Map Number"));
    EXPECT_EQ(it->Format, QStringLiteral("Int8"));
    EXPECT_EQ(it->Access, QStringLiteral("R"));
}

TEST_P(ShippedMapTest, ReadsInACommaLocale) {
    DefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(Read().status, MapReadStatus::Ok);
}

INSTANTIATE_TEST_SUITE_P(Data, ShippedMapTest,
                         ::testing::Values(ShippedMap{"ZUVMAP0.Map", 0}, ShippedMap{"ZUVMAP4.Map", 4},
                                           ShippedMap{"ZUVMAP5.map", 5},
                                           ShippedMap{"ZUVMAP127.Map", 127}),
                         [](const ::testing::TestParamInfo<ShippedMap>& info) {
                             return "Map" + std::to_string(info.param.number);
                         });

MapReadResult ReadShipped(const char* file) {
    return ReadMapFileContent(kDataDir + QLatin1Char('/') + QString::fromLatin1(file),
                              QString::fromLatin1(file));
}

TEST(ShippedMaps, Map127HoldsTheOffsetParameter) {
    const MapReadResult r = ReadShipped("ZUVMAP127.Map");
    ASSERT_EQ(r.status, MapReadStatus::Ok);
    int found = 0;
    for (const DMap& p : r.params) {
        if (p.DescToolTip != QStringLiteral("Calculation 1")) continue;
        ++found;
        EXPECT_EQ(p.Format, QStringLiteral("Int16"));
        EXPECT_EQ(p.Multiplier, QStringLiteral("1"));
        EXPECT_EQ(p.Capacity, 1);
        EXPECT_TRUE(p.Access.isEmpty()) << "the offset is written in every mode";
    }
    EXPECT_EQ(found, 1);
}

TEST(ShippedMaps, Map5CoversEveryKindOfParameter) {
    const MapReadResult r = ReadShipped("ZUVMAP5.map");
    ASSERT_EQ(r.status, MapReadStatus::Ok);
    QSet<QString> formats, access, rules, types;
    bool below1 = false, above1 = false, multiValueInt8 = false, multiValueInt16 = false;
    for (const DMap& p : r.params) {
        formats.insert(p.Format);
        access.insert(p.Access);
        rules.insert(p.Rule);
        types.insert(p.PType);
        if (IsIntegerFormat(p.Format)) {
            long double m = 0;
            ParseNumber(p.Multiplier, QLocale::c(), &m);
            below1 |= m < 1;
            above1 |= m > 1;
        }
        multiValueInt8 |= p.Format == "Int8" && p.Capacity > 1 && !p.Rule.isEmpty();
        multiValueInt16 |= p.Format == "Int16" && p.Capacity > 1 && !p.Rule.isEmpty();
    }
    EXPECT_EQ(formats, (QSet<QString>{"Int8", "Int16", "Int32", "ASCII", "Hex"}));
    EXPECT_EQ(access, (QSet<QString>{"", "R", "C"}));
    EXPECT_EQ(rules, (QSet<QString>{"", "A", "D"}));
    EXPECT_EQ(types, (QSet<QString>{"", "Flow", "Volume", "Temperature", "Pressure", "Length"}));
    EXPECT_TRUE(below1);
    EXPECT_TRUE(above1);
    EXPECT_TRUE(multiValueInt8);
    EXPECT_TRUE(multiValueInt16);
    EXPECT_GE(r.params.size(), 20);
    EXPECT_GE(r.headers.size(), 3);
}

TEST(ShippedMaps, ReadMeCarriesTheVersion) {
    QStringList lines;
    QString error;
    ASSERT_TRUE(ReadTextLines(kDataDir + QStringLiteral("/VORDAReadMe.txt"), &lines, &error))
        << error.toStdString();
    const QString text = lines.join(QLatin1Char('\n'));
    EXPECT_TRUE(text.contains(QStringLiteral("3.9.5")));
    for (const char* word : {"/UserIsZUV", "/MaOfs", "/FourSigFigs", "$HOME/ZUVMeters/VORDA/"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(word))) << word;
    const QByteArray bytes = ReadBytes(kDataDir + QStringLiteral("/VORDAReadMe.txt"));
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n")) << "CR LF line ends";
}

} // namespace
} // namespace vorda
