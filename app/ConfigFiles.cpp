#include "ConfigFiles.h"

#include "TextFiles.h"
#include "UserError.h"
#include "units/NumberFormat.h"

#include <QFileInfo>
#include <algorithm>
#include <QSettings>

namespace vorda {

void ParseConfigLines(const QStringList& lines, ConfigData* data) {
    LineReader reader(lines);
    data->comPortLabel = reader.Next(); // kept for completeness; never shown
    data->eepromMapFile = reader.AtEnd() ? QStringLiteral("unknown") : reader.Next();
    data->eepromDataFile = reader.AtEnd() ? QStringLiteral("unknown") : reader.Next();
    data->savedUnits.clear();
    if (reader.AtEnd()) return;
    const int count = std::min(ToInt(reader.Next()), kMaxSavedUnitRows);
    for (int row = 0; row < count; ++row) {
        UnitRow unit;
        unit.Type = reader.Next();
        unit.MtoD = reader.Next();
        unit.DtoM = reader.Next();
        unit.Units = reader.Next();
        data->savedUnits << unit;
    }
}

ConfigData ParseConfigLines(const QStringList& lines) {
    ConfigData data;
    ParseConfigLines(lines, &data);
    return data;
}

QStringList ConfigLines(const ConfigData& data) {
    QStringList lines{data.comPortLabel, data.eepromMapFile, data.eepromDataFile,
                      QString::number(data.savedUnits.size())};
    for (const UnitRow& row : data.savedUnits) lines << row.Type << row.MtoD << row.DtoM << row.Units;
    return lines;
}

namespace {
int IntOr(const QSettings& settings, const QString& key, int fallback) {
    bool ok = false;
    const int v = settings.value(key).toInt(&ok);
    return ok ? v : fallback;
}
} // namespace

std::optional<Placement> ReadPlacement(const QString& iniPath, const QString& section) {
    if (!QFileInfo::exists(iniPath)) return std::nullopt;
    QSettings settings(iniPath, QSettings::IniFormat);
    if (IntOr(settings, QStringLiteral("Preferences/SaveSettings"), -1) != 1) return std::nullopt;
    Placement p;
    p.top = IntOr(settings, section + QStringLiteral("/Top"), -1);
    p.left = IntOr(settings, section + QStringLiteral("/Left"), -1);
    p.height = IntOr(settings, section + QStringLiteral("/Height"), -1);
    p.width = IntOr(settings, section + QStringLiteral("/Width"), -1);
    return p;
}

bool WritePlacement(const QString& iniPath, const QString& section, const Placement& placement) {
    QSettings settings(iniPath, QSettings::IniFormat);
    settings.setValue(QStringLiteral("Preferences/SaveSettings"), 1);
    settings.setValue(section + QStringLiteral("/Top"), placement.top);
    settings.setValue(section + QStringLiteral("/Left"), placement.left);
    settings.setValue(section + QStringLiteral("/Height"), placement.height);
    settings.setValue(section + QStringLiteral("/Width"), placement.width);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace vorda
