#pragma once
// A whole installation inside one temporary folder: the program's folders
// and the installed files copied from the data folder.
#include "shell/Startup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace vorda::test {

inline PlatformPaths TempPlatformPaths(const QTemporaryDir& root, const QString& userName) {
    PlatformPaths paths;
    paths.prefix = root.filePath("prefix");
    paths.home = root.filePath("home");
    paths.configHome = root.filePath("home/.config");
    paths.userName = userName;
    paths.oldInstallDir = root.filePath("opt/ZUVMeters/VORDA");
    QDir().mkpath(paths.home);
    return paths;
}

// The display data in the start folder, the read-me and maps in the shared
// data folder.
inline void InstallDataFiles(const PlatformPaths& paths, const QString& dataDir) {
    QDir().mkpath(paths.StartDir());
    QDir().mkpath(paths.ProgramDataDir());
    QFile::copy(dataDir + "/VORDADisplayData.txt", paths.StartDir() + "VORDADisplayData.txt");
    for (const QString& name : SeedFileNames()) QFile::copy(dataDir + "/" + name, paths.ProgramDataDir() + name);
}

} // namespace vorda::test
