#pragma once
#include "DMap.h"

#include <QStringList>

namespace vorda {

// What a map reader found. Both the main form and the map editor read with
// ReadMapFileContent and react to the status in their own way.
enum class MapReadStatus {
    Ok,
    OpenFailed,   // the file could not be opened; message = the system's text
    OldFormat,    // version below 2; message = name + " is in an old format and cannot be read"
    BadVersion,   // line 1 is no version; message = the conversion error's text,
                  // versionLine = line 1 as a message quotes it (see Excerpt)
    BadContent,   // a malformed integer or a file that ends early;
                  // message = the conversion error's text. Negative counts
                  // and header order lines that are no integer count too.
    BadRegisters, // a parameter whose registers do not agree with its format
                  // or lie outside the meter's; message names the parameter
};

struct MapReadResult {
    MapReadStatus status = MapReadStatus::Ok;
    QString message;
    QString versionLine;
    QList<DMap> params;       // the blocks read, complete ones only
    QList<MapHeader> headers; // the header rows read
    qint32 declaredCount = 0; // N from line 2 (when it was read)
    bool headerCountRead = false; // the file had a header count line
    qint32 declaredHeaders = 0;
};

// The version line that the writer puts first: a whole number of at least 2,
// so that it passes the version test in every locale.
inline constexpr char kMapVersionLine[] = "V2";

// Reads a map file line by line (block order: Startreg, EndReg, Capacity,
// Parameter, Format, Multiplier, Access, Sequence, Rule, PType, DescAlways,
// DescToolTip). nameAsPassed is used in the old-format message.
MapReadResult ReadMapFileContent(const QString& path, const QString& nameAsPassed);
// The same on lines already in memory (used by the fuzzer and tests).
MapReadResult ParseMapLines(const QStringList& lines, const QString& nameAsPassed);

// The lines of a map file: version, count, blocks in array order, the header
// count (always), header blocks.
QStringList MapFileLines(const QList<DMap>& params, const QList<MapHeader>& headers);
// Writes them through a temporary file; false with *error on failure.
bool WriteMapFileContent(const QString& path, const QList<DMap>& params,
                         const QList<MapHeader>& headers, QString* error);

} // namespace vorda
