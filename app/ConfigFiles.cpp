#include "ConfigFiles.h"

#include "base/TextFiles.h"
#include "base/UserError.h"
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

// A window settings file holds a few short lines; anything near this size is
// not one.
constexpr qint64 kMaxSettingsFileBytes = 1024 * 1024;

// QSettings reads the whole file, also before a write: it is handed only a
// regular file of sane size.
bool SettingsFileReadable(const QString& iniPath) {
    return CheckReadableFile(iniPath, kMaxSettingsFileBytes, nullptr);
}
} // namespace

std::optional<Placement> ReadPlacement(const QString& iniPath, const QString& section) {
    // Reading never fails: a file that cannot be used leaves the designed placement.
    if (!SettingsFileReadable(iniPath)) return std::nullopt;
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
    if (QFileInfo::exists(iniPath) && !SettingsFileReadable(iniPath)) return false;
    if (!MayReplace(iniPath, nullptr)) return false;
    QSettings settings(iniPath, QSettings::IniFormat);
    settings.setValue(QStringLiteral("Preferences/SaveSettings"), 1);
    settings.setValue(section + QStringLiteral("/Top"), placement.top);
    settings.setValue(section + QStringLiteral("/Left"), placement.left);
    settings.setValue(section + QStringLiteral("/Height"), placement.height);
    settings.setValue(section + QStringLiteral("/Width"), placement.width);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

namespace {

// The part of a window's title strip that must lie on a screen for the user
// to reach it and drag the window.
constexpr qint64 kTitleStripHeight = 24;
constexpr qint64 kReachableWidth = 100;
constexpr qint64 kReachableHeight = 16;

qint64 Overlap(qint64 a0, qint64 a1, qint64 b0, qint64 b1) { return std::max<qint64>(0, std::min(a1, b1) - std::max(a0, b0)); }

bool TitleReachable(qint64 left, qint64 top, qint64 width, const QRect& screen) {
    const qint64 w = Overlap(left, left + width, screen.left(), qint64(screen.left()) + screen.width());
    const qint64 h = Overlap(top, top + kTitleStripHeight, screen.top(), qint64(screen.top()) + screen.height());
    return w >= std::min(width, kReachableWidth) && h >= kReachableHeight;
}

// The screen whose centre lies nearest the window's top-left corner.
QRect NearestScreen(qint64 left, qint64 top, const QList<QRect>& screens) {
    QRect best = screens.first();
    long double bestDistance = -1;
    for (const QRect& screen : screens) {
        const long double dx = (long double)left - (screen.left() + screen.width() / 2);
        const long double dy = (long double)top - (screen.top() + screen.height() / 2);
        const long double d = dx * dx + dy * dy;
        if (bestDistance < 0 || d < bestDistance) {
            best = screen;
            bestDistance = d;
        }
    }
    return best;
}

} // namespace

Placement FitPlacement(const Placement& placement, QSize designed, const QList<QRect>& screens) {
    Placement fitted = placement;
    fitted.height = placement.height > 0 ? placement.height : designed.height();
    fitted.width = placement.width > 0 ? placement.width : designed.width();
    if (screens.isEmpty()) return fitted;
    const qint64 left = placement.left;
    const qint64 top = placement.top;
    const QRect* home = nullptr;
    for (const QRect& screen : screens)
        if (TitleReachable(left, top, fitted.width, screen)) {
            home = &screen;
            break;
        }
    const QRect screen = home ? *home : NearestScreen(left, top, screens);
    fitted.width = std::max(1, std::min(fitted.width, screen.width()));
    fitted.height = std::max(1, std::min(fitted.height, screen.height()));
    if (home) return fitted;
    fitted.left = int(std::clamp<qint64>(left, screen.left(), qint64(screen.left()) + screen.width() - fitted.width));
    fitted.top = int(std::clamp<qint64>(top, screen.top(), qint64(screen.top()) + screen.height() - fitted.height));
    return fitted;
}

} // namespace vorda
