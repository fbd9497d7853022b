#include "ConfigFiles.h"

#include "base/TextFiles.h"
#include "base/UserError.h"
#include "units/NumberFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>

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

namespace {

// The key of a "key=value" line, or an empty text for any other line.
QByteArray IniKey(const QByteArray& line) {
    const qsizetype eq = line.indexOf('=');
    return eq < 0 ? QByteArray() : line.left(eq).trimmed();
}

// The section a "[name]" line opens, or nothing for any other line.
std::optional<QByteArray> IniSection(const QByteArray& line) {
    const QByteArray t = line.trimmed();
    if (t.size() < 2 || !t.startsWith('[') || !t.endsWith(']')) return std::nullopt;
    return t.mid(1, t.size() - 2);
}

} // namespace

QByteArray WithIniValues(const QByteArray& text, const QString& section,
                         const QList<std::pair<QString, QString>>& values) {
    const QByteArray eol = (text.contains("\r\n") || !text.contains('\n')) ? QByteArray("\r\n") : QByteArray("\n");
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray& line : lines)
        if (line.endsWith('\r')) line.chop(1);

    const QByteArray name = section.toUtf8();
    QList<bool> placed(values.size(), false);
    qsizetype insertAt = -1; // after the last line of the section's first occurrence
    bool inSection = false;
    bool firstOccurrence = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const auto opened = IniSection(lines[i])) {
            inSection = *opened == name;
            firstOccurrence = inSection && insertAt < 0;
            if (firstOccurrence) insertAt = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (firstOccurrence && !lines[i].trimmed().isEmpty()) insertAt = i + 1;
        const QByteArray key = IniKey(lines[i]);
        for (qsizetype k = 0; k < values.size(); ++k)
            if (!key.isEmpty() && key == values[k].first.toUtf8()) {
                lines[i] = key + '=' + values[k].second.toUtf8();
                placed[k] = true;
            }
    }
    QList<QByteArray> added;
    for (qsizetype k = 0; k < values.size(); ++k)
        if (!placed[k]) added << values[k].first.toUtf8() + '=' + values[k].second.toUtf8();
    if (insertAt < 0) {
        if (!lines.isEmpty()) lines << QByteArray();
        lines << '[' + name + ']';
        lines << added;
    } else {
        for (qsizetype k = 0; k < added.size(); ++k) lines.insert(insertAt + k, added[k]);
    }
    QByteArray out;
    for (const QByteArray& line : std::as_const(lines)) out += line + eol;
    return out;
}

bool WritePlacement(const QString& iniPath, const QString& section, const Placement& placement, QString* error) {
    QByteArray text;
    // A settings file that is no regular file, or far too large, is not
    // read, and the safe writer does not replace what is no regular file.
    if (QFileInfo::exists(iniPath) && !CheckReadableFile(iniPath, kMaxSettingsFileBytes, error)) return false;
    if (QFileInfo(iniPath).isFile()) {
        QFile file(iniPath);
        if (!file.open(QIODevice::ReadOnly)) {
            if (error) *error = QStringLiteral("Cannot open file \"%1\". %2").arg(iniPath, file.errorString());
            return false;
        }
        text = file.readAll();
    }
    text = WithIniValues(text, QStringLiteral("Preferences"), {{QStringLiteral("SaveSettings"), QStringLiteral("1")}});
    text = WithIniValues(text, section,
                         {{QStringLiteral("Top"), QString::number(placement.top)},
                          {QStringLiteral("Left"), QString::number(placement.left)},
                          {QStringLiteral("Height"), QString::number(placement.height)},
                          {QStringLiteral("Width"), QString::number(placement.width)}});
    return WriteFileBytes(iniPath, text, error);
}

QString CloseUnsavedQuestion(const QString& path, const QString& error, const QString& notKept) {
    return QStringLiteral("Unable to write to ") + path + QStringLiteral("\n\r") + error + QStringLiteral("\n\r\n\r") +
           notKept + QStringLiteral("\n\r\n\rClose anyway?");
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
