#include "values/DataFile.h"

#include <gtest/gtest.h>

namespace vorda {
namespace {

QStringList ExampleLines() {
    return {"ZUVMap12.Map", "3", "Flow Rate", "Int16", "12.5", "Tag", "ASCII", "AB12", "Config", "Hex", "0AFF"};
}

QList<DMap> ExampleParams() {
    QList<DMap> params;
    for (const auto& [name, format] : {std::pair{"Flow Rate", "Int16"}, {"Tag", "ASCII"}, {"Config", "Hex"}}) {
        DMap p;
        p.Parameter = QString::fromLatin1(name);
        p.Format = QString::fromLatin1(format);
        params << p;
    }
    return params;
}

TEST(DataFileTest, ParsesAWholeFile) {
    const DataFileContent c = ParseDataFile(ExampleLines());
    EXPECT_TRUE(c.complete);
    EXPECT_EQ(c.mapFileName, QStringLiteral("ZUVMap12.Map"));
    EXPECT_EQ(c.declaredCount, 3);
    EXPECT_EQ(c.values, (QStringList{"12.5", "AB12", "0AFF"}));
}

TEST(DataFileTest, FilesThatEndEarlyOrHaveABadCount) {
    struct Case {
        QStringList lines;
        bool complete;
        QStringList values;
    } const cases[] = {
        // Empty value lines are values.
        {{"M.map", "2", "A", "Int8", "", "B", "Hex", ""}, true, {"", ""}},
        // Lines beyond the declared blocks are not read.
        {{"M.map", "1", "A", "Int8", "5", "B", "Hex", "01"}, true, {"5"}},
        {{"M.map", "0"}, true, {}},
        {{"M.map", " 2 ", "A", "Int8", "5", "B", "Hex", "01"}, true, {"5", "01"}},
        // Only whole blocks give values.
        {{"M.map", "3", "A", "Int8", "5", "B", "Hex"}, false, {"5"}},
        {{"M.map", "3", "A", "Int8", "5", "B", "Hex", "01"}, false, {"5", "01"}},
        {{"M.map", "2", "A"}, false, {}},
        {{"M.map"}, false, {}},
        {{}, false, {}},
        {{"M.map", "two", "A", "Int8", "5"}, false, {}},
        {{"M.map", "2.0", "A", "Int8", "5"}, false, {}},
        {{"M.map", "", "A", "Int8", "5"}, false, {}},
        {{"M.map", "-1"}, false, {}},
        {{"M.map", "99999999999", "A", "Int8", "5"}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.join('|').toStdString());
        const DataFileContent r = ParseDataFile(c.lines);
        EXPECT_EQ(r.complete, c.complete);
        EXPECT_EQ(r.values, c.values);
    }
    EXPECT_EQ(ParseDataFile({"M.map", "3", "A", "Int8", "5"}).declaredCount, 3);
}

TEST(DataFileTest, FormatsTheLinesAndReadsThemBack) {
    const QStringList lines = DataFileLines(QStringLiteral("ZUVMap12.Map"), ExampleParams(),
                                            {"12.5", "AB12", "0AFF"});
    EXPECT_EQ(lines, ExampleLines());
    const DataFileContent back = ParseDataFile(lines);
    EXPECT_TRUE(back.complete);
    EXPECT_EQ(back.values, (QStringList{"12.5", "AB12", "0AFF"}));

    // A value not given is an empty line; the count follows the map.
    const QStringList shortValues = DataFileLines(QStringLiteral("x.map"), ExampleParams(), {"1"});
    EXPECT_EQ(shortValues, (QStringList{"x.map", "3", "Flow Rate", "Int16", "1", "Tag", "ASCII", "", "Config", "Hex", ""}));
    EXPECT_EQ(DataFileLines(QStringLiteral("x.map"), {}, {}), (QStringList{"x.map", "0"}));
}

} // namespace
} // namespace vorda
