#pragma once
#include "units/DisplayData.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

namespace vorda {

inline constexpr char kConfigFileName[] = "VORDAConfig.txt";
inline constexpr char kFormSettingsFileName[] = "FormSettings.ini";

// What "VORDAConfig.txt" holds.
struct ConfigData {
    QString comPortLabel;
    QString eepromMapFile = QStringLiteral("unknown");
    QString eepromDataFile = QStringLiteral("unknown");
    QList<UnitRow> savedUnits;
};

// The most unit rows a configuration file is taken to hold; a larger count
// is a damaged file, not a reason to build millions of empty rows.
inline constexpr int kMaxSavedUnitRows = 10000;

// Reads the lines of a configuration file. A count line that is no integer
// throws UserError with the conversion error's text. Lines missing at the end
// read as empty strings.
ConfigData ParseConfigLines(const QStringList& lines);
// The same, filling *data line by line, so that what was read before a bad
// count line is kept when the read fails.
void ParseConfigLines(const QStringList& lines, ConfigData* data);
QStringList ConfigLines(const ConfigData& data);

// A window's outer position and size as "FormSettings.ini" keeps it.
struct Placement {
    int top = -1;
    int left = -1;
    int height = -1;
    int width = -1;
};

// The placement of a window's section when "Preferences"/"SaveSettings" reads
// 1, each key defaulting to -1; nothing otherwise. Never fails.
std::optional<Placement> ReadPlacement(const QString& iniPath, const QString& section);
// Writes SaveSettings = 1 and the window's keys through the safe writer,
// leaving every other line of the file as it was. False when the file cannot
// be written, with *error naming the file and the system's reason.
bool WritePlacement(const QString& iniPath, const QString& section, const Placement& placement,
                    QString* error = nullptr);

// The text of a sectioned settings file with keys of one section set: a key
// already there takes its new value in its own line, a missing key is added
// at the end of the section's first occurrence, a missing section at the end
// of the file. Every other line, and the file's line ends, stay as they were.
QByteArray WithIniValues(const QByteArray& text, const QString& section,
                         const QList<std::pair<QString, QString>>& values);

// The question asked when a settings file cannot be written while a window
// closes: the file, the system's reason, what is not kept, and whether to
// close all the same. Nothing the user entered is lost by closing.
QString CloseUnsavedQuestion(const QString& path, const QString& error, const QString& notKept);

// The placement a window is given on screens whose usable areas are
// screens (the first is the primary screen): a height or width below 1
// takes the designed size; a size larger than the screen shrinks to it; a
// position from which the window's title strip cannot be reached (off every
// screen, or values so large they would overflow) moves the window onto the
// nearest screen. A placement that is reachable stays as written.
Placement FitPlacement(const Placement& placement, QSize designed, const QList<QRect>& screens);

} // namespace vorda
