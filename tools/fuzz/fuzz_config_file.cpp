// Feeds arbitrary bytes to the configuration reader as the contents of
// "VORDAConfig.txt": a bad count may end the read with its message, which
// stays short; a file that reads writes back to the same data.
#include "shell/ConfigFiles.h"
#include "base/TextFiles.h"
#include "base/UserError.h"

#include <cstdint>
#include <cstdlib>

using namespace vorda;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = SplitLines(DecodeCp1252(bytes));
    ConfigData config;
    try {
        ParseConfigLines(lines, &config);
    } catch (const UserError& e) {
        // Only the count line can fail, and its message quotes an excerpt.
        if (lines.size() < 4 || e.text().size() > 2 * kExcerptLength + 40) std::abort();
        return 0;
    }
    if (config.savedUnits.size() > kMaxSavedUnitRows) std::abort();
    if (config.eepromMapFile != (lines.size() >= 2 ? lines.at(1) : QStringLiteral("unknown"))) std::abort();
    if (config.eepromDataFile != (lines.size() >= 3 ? lines.at(2) : QStringLiteral("unknown"))) std::abort();

    const ConfigData again = ParseConfigLines(ConfigLines(config));
    if (again.comPortLabel != config.comPortLabel || again.eepromMapFile != config.eepromMapFile ||
        again.eepromDataFile != config.eepromDataFile || again.savedUnits.size() != config.savedUnits.size())
        std::abort();
    for (qsizetype i = 0; i < config.savedUnits.size(); ++i) {
        const UnitRow& a = config.savedUnits.at(i);
        const UnitRow& b = again.savedUnits.at(i);
        if (a.Type != b.Type || a.MtoD != b.MtoD || a.DtoM != b.DtoM || a.Units != b.Units) std::abort();
    }
    return 0;
}
