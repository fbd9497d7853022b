#pragma once
// A station profile: what a series-commissioning station does to every
// meter. A text file of "key=value" lines under a first line naming the
// format, written through the safe writer.
#include "maps/DMap.h"

#include <QString>
#include <QStringList>

namespace vorda {

struct StationProfile {
    static QString FormatLine() { return QStringLiteral("VORDA station profile 1"); }
    QString golden;          // the golden data file, absolute
    QStringList keep;        // parameters each meter keeps, never copied
    // No list was chosen: the golden map's proposal (ProposedKeep) is kept.
    // A saved profile always holds its list.
    bool keepProposed = false;
    bool maStep = true;      // the mA output calibration runs
    double toleranceMa = 0.016; // |as left - 4 mA| that passes
    QString reports;         // report folder, absolute

    // The tolerance as a share of the 16 mA span, in percent.
    double TolerancePercent() const { return toleranceMa / 16.0 * 100.0; }

    // Reads a profile; relative paths in it are taken from its folder. False
    // with *error naming the line for a file that is not one.
    static bool Load(const QString& path, StationProfile* profile, QString* error);
    bool Save(const QString& path, QString* error) const;
};

// The parameters a new profile keeps: the serial number, tags, calibration
// values and the mA output offset of the map.
QStringList ProposedKeep(const QList<DMap>& params);

// Parameters never written: those kept by name, and every read-only one.
QVector<bool> KeptParameters(const QList<DMap>& params, const QStringList& keep);

} // namespace vorda
