#pragma once
// The program-wide state of the parameter screen: the loaded map and the
// flags of the values shown. Owned by the program, handed to the main window.
#include "maps/DMap.h"

#include <QList>
#include <QString>

namespace vorda {

// The map loaded on the main window.
struct LoadedMap {
    QList<DMap> MapParams;
    QList<MapHeader> MapHeaders;
    QString CurrentMapFile;
    qint32 MapFileNumber = 0;
    bool MapLoaded = false;
    int MapParamCount() const { return int(MapParams.size()); }
    int MapHeaderCount() const { return int(MapHeaders.size()); }
};

// The flags of the values on screen.
struct ScreenFlags {
    bool DataOnScreen = false;
    bool DataEdited = false;
    bool MeterInSync = true;
};

} // namespace vorda
