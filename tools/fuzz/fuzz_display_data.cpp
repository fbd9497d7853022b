// Feeds arbitrary bytes to the display data reader as a file's contents and
// checks the splitting rules on every line.
#include "base/TextFiles.h"
#include "units/DisplayData.h"

#include <cstdint>
#include <cstdlib>

using namespace vorda;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = SplitLines(DecodeCp1252(bytes));
    const QList<DisplayDataType> entries = ParseDisplayData(lines);

    // Every line after the two headings is one entry.
    if (entries.size() != (lines.size() > 2 ? lines.size() - 2 : 0)) std::abort();

    const QChar tab(QLatin1Char('\t'));
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& line = lines.at(i + 2);
        const DisplayDataType& e = entries.at(i);
        if (e.PType.contains(tab) || e.Units.contains(tab) || e.MtoD.contains(tab)) std::abort();
        const qsizetype tabs = line.count(tab);
        // Nothing is lost: the fields and the consumed TABs make up the line.
        const qsizetype consumed = tabs < 3 ? tabs : 3;
        const qsizetype length = e.PType.size() + e.Units.size() + e.MtoD.size() + e.DtoM.size() + consumed;
        if (length != line.size()) std::abort();
        if (tabs >= 3 && e.PType + tab + e.Units + tab + e.MtoD + tab + e.DtoM != line) std::abort();
        if (tabs == 0 && e.DtoM != line) std::abort();
    }

    DisplayUnitTables tables;
    tables.DisplayData = entries;
    for (const DisplayDataType& e : entries)
        if (tables.ThisComboNumber(e.PType) < 0) tables.CurrentUnits.append({e.PType, e.MtoD, e.DtoM, e.Units});
    for (const DisplayDataType& e : entries) {
        const int k = tables.ThisComboNumber(e.PType);
        if (k < 0 || k >= tables.TypeCount() || tables.CurrentUnits.at(k).Type != e.PType) std::abort();
        if (tables.GetComboNumber(e.PType) != k) std::abort();
    }
    return 0;
}
