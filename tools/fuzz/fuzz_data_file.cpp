// Feeds arbitrary bytes to the data file reader as a file's contents, checks
// what it kept against the lines it was given, and writes what it read back
// out to see that it reads the same again.
#include "base/TextFiles.h"
#include "values/DataFile.h"

#include <cstdint>
#include <cstdlib>

using namespace vorda;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = SplitLines(DecodeCp1252(bytes));
    const DataFileContent content = ParseDataFile(lines);

    // Only whole blocks give values, never more than the count promises.
    if (content.declaredCount < 0) std::abort();
    if (content.values.size() > content.declaredCount) std::abort();
    if (content.values.size() > (lines.size() > 2 ? (lines.size() - 2) / 3 : 0)) std::abort();
    if (content.complete &&
        (content.values.size() != content.declaredCount || lines.size() < 2 + 3 * qsizetype(content.declaredCount)))
        std::abort();
    // A readable count that the lines fulfil makes the file complete.
    if (!content.complete && lines.size() >= 2 + 3 * qsizetype(content.declaredCount) &&
        content.values.size() == content.declaredCount && content.declaredCount > 0)
        std::abort();
    for (qsizetype k = 0; k < content.values.size(); ++k)
        if (content.values.at(k) != lines.at(2 + 3 * k + 2)) std::abort();
    if (!lines.isEmpty() && content.mapFileName != lines.first()) std::abort();

    // What was read, written again, reads the same.
    if (!content.complete) return 0;
    QList<DMap> params(content.values.size());
    for (qsizetype k = 0; k < params.size(); ++k) {
        params[k].Parameter = lines.at(2 + 3 * k);
        params[k].Format = lines.at(2 + 3 * k + 1);
    }
    QByteArray written;
    for (const QString& line : DataFileLines(content.mapFileName, params, content.values))
        written += EncodeCp1252(line) + "\r\n";
    const DataFileContent again = ParseDataFile(SplitLines(DecodeCp1252(written)));
    if (!again.complete || again.mapFileName != content.mapFileName || again.values != content.values) std::abort();
    return 0;
}
