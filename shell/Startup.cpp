#include "Startup.h"

#include "ConfigFiles.h"
#include "base/ProgramEnd.h"
#include "base/TextFiles.h"
#include "base/UserError.h"
#include "units/DisplayData.h"
#include "units/UnitChoices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace vorda {
namespace {

QString WithSlash(const QString& dir) {
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

QString CannotCreateTail() {
    return QStringLiteral("\n\rPlease contact ZUV Meters.  Program Terminating.") + VersionTail();
}

// Creates one folder level when it is missing; false when that fails.
bool EnsureFolder(const QString& path) {
    if (QFileInfo(path).isDir()) return true;
    return QDir().mkdir(path);
}

// The first line of a text file; throws UserError when it cannot be read.
QString FirstLine(const QString& path) {
    QStringList lines;
    QString error;
    if (!ReadTextLines(path, &lines, &error)) throw UserError(error);
    return lines.isEmpty() ? QString() : lines.first();
}

// Moves a file; the move fails when the target exists.
void MoveFile(const QString& from, const QString& to) {
    if (QFileInfo::exists(to))
        throw UserError(QStringLiteral("Cannot move \"%1\" to \"%2\": the target already exists.").arg(from, to));
    QFile file(from);
    if (!file.rename(to))
        throw UserError(QStringLiteral("Cannot move \"%1\" to \"%2\". %3").arg(from, to, file.errorString()));
}

void SetWorkingDir(const QString& dir) {
    if (!QDir::setCurrent(dir))
        throw UserError(QStringLiteral("Cannot make \"%1\" the working directory.").arg(dir));
}

} // namespace

QString VersionTail() {
    return QStringLiteral("\n\rVORDA Version: ") + QLatin1String(kVersionText);
}

PlatformPaths PlatformPaths::FromEnvironment(const QString& applicationDir) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    PlatformPaths p;
    p.prefix = QDir::cleanPath(applicationDir + QStringLiteral("/.."));
    p.programDataEnv = env.value(QStringLiteral("PROGRAMDATA"));
    p.appDataEnv = env.value(QStringLiteral("APPDATA"));
    p.home = env.value(QStringLiteral("HOME"), QDir::homePath());
    const QString xdg = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    p.configHome = xdg.isEmpty() ? p.home + QStringLiteral("/.config") : xdg;
    p.userName = env.value(QStringLiteral("USERNAME"), env.value(QStringLiteral("USER")));
    p.historyEnv = env.value(QStringLiteral("VORDA_HISTORY"));
    return p;
}

QString PlatformPaths::StartDir() const { return prefix + QStringLiteral("/share/vorda/"); }

QString PlatformPaths::ProgramDataDir() const {
    if (!programDataEnv.isEmpty()) return programDataEnv + QStringLiteral("/ZUVMeters/VORDA/");
    return prefix + QStringLiteral("/share/ZUVMeters/VORDA/");
}

QString PlatformPaths::AppDataDir() const {
    const QString base = appDataEnv.isEmpty() ? configHome : appDataEnv;
    return base + QStringLiteral("/ZUVMeters/VORDA");
}

QString PlatformPaths::SettingsParent() const {
    const QString base = appDataEnv.isEmpty() ? configHome : appDataEnv;
    return base + QStringLiteral("/ZUVMeters");
}

QString PlatformPaths::UserParent() const { return home + QStringLiteral("/ZUVMeters"); }

QString PlatformPaths::DefaultUserDir() const { return home + QStringLiteral("/ZUVMeters/VORDA/"); }

QString InUserDir(const QString& userDir, const QString& fileName) {
    return WithSlash(userDir) + fileName;
}

void ApplySwitches(const QStringList& arguments, StartupState& state, ProgramEnd& end) {
    auto invalid = [&end](const QString& arg) {
        end.Terminate(QStringLiteral("Parameter ") + arg + QStringLiteral(" is invalid") + VersionTail());
    };
    if (arguments.size() >= 1) {
        const QString& first = arguments.at(0);
        if (first == QLatin1String("/UserIsZUV")) {
            state.MakerAccess = true;
        } else if (first == QLatin1String("/MaOfs")) {
            state.MakerAccess = true;
            state.OffsetCalMode = true;
        } else {
            invalid(first);
        }
    }
    if (arguments.size() >= 2) {
        const QString& second = arguments.at(1);
        if (second == QLatin1String("/FourSigFigs"))
            state.SigFigCount = 4;
        else
            invalid(second);
    }
}

QString MissingUserDirQuestion(const MissingUserDir& missing) {
    return QStringLiteral("The user folder %1 recorded in %2 does not exist (not mounted?).\n\r\n\r"
                          "Create it as a new user folder with the installed maps?\n\r"
                          "(No uses the default folder %3 for now and leaves %4 as it is.)")
        .arg(missing.recorded, missing.recordFile, missing.defaultDir, QLatin1String(kUserDirFileName));
}

QString MissingUserDirRefusal(const MissingUserDir& missing) {
    return QStringLiteral("The user folder %1 recorded in %2 does not exist (not mounted?); nothing was created")
        .arg(missing.recorded, missing.recordFile);
}

bool ReadUDFile(const PlatformPaths& paths, StartupState& state, ProgramEnd& end,
                const MissingUserDirChoice& missingUserDir,
                const std::function<void(const QString&)>& showUserDir) {
    state.NeedFileCopy = false;
    state.AppDataDir = paths.AppDataDir();
    const QString settingsParent = paths.SettingsParent();
    const QString userParent = paths.UserParent();

    // The per-user configuration folder of the desktop plays the part of
    // APPDATA, which always exists; a fresh account may not have it yet.
    if (paths.appDataEnv.isEmpty()) QDir().mkpath(paths.configHome);
    for (const QString& folder : {settingsParent, state.AppDataDir})
        if (!EnsureFolder(folder))
            end.Terminate(QStringLiteral("Unable to create ") + folder + CannotCreateTail());

    SetWorkingDir(state.AppDataDir);
    const QString udTarget = state.AppDataDir + QLatin1Char('/') + QLatin1String(kUserDirFileName);
    const QString udOld = WithSlash(paths.oldInstallDir) + QLatin1String(kUserDirFileName);
    const QString udProgramData = state.ProgramDataDir + QLatin1String(kUserDirFileName);
    bool recorded = true; // UserDir comes from a "VORDAUD.txt" found
    if (QFileInfo::exists(udTarget)) {
        state.UserDir = FirstLine(udTarget);
    } else if (QFileInfo::exists(udOld)) {
        state.UserDir = FirstLine(udOld);
        MoveFile(udOld, udTarget);
    } else if (QFileInfo::exists(udProgramData)) {
        state.UserDir = FirstLine(udProgramData);
        MoveFile(udProgramData, udTarget);
    } else {
        recorded = false;
        state.UserDir = paths.DefaultUserDir();
        QString error;
        if (!WriteTextLines(udTarget, {state.UserDir}, &error)) throw UserError(error);
        state.NeedFileCopy = true;
    }
    SetWorkingDir(state.AppDataDir);

    if (state.UserDir.compare(state.ProgramDataDir, Qt::CaseInsensitive) == 0)
        end.Terminate(QStringLiteral("User Directory (") + state.UserDir + QStringLiteral(")") +
                      QStringLiteral("\n\rmatches ProgramDataPath which is not allowed.") + CannotCreateTail());

    auto cannotCreateUser = [&end](const QString& folder) {
        end.Terminate(QStringLiteral("Unable to create User Directory (") + folder + QStringLiteral(")") +
                      CannotCreateTail());
    };
    if (!EnsureFolder(userParent)) cannotCreateUser(userParent);

    // A recorded folder that is not there may be a share or drive not
    // mounted now: a new empty folder of that name would hide the user's
    // files, so it is made only when the user says so.
    const QString defaultDir = paths.DefaultUserDir();
    if (recorded && !state.UserDir.isEmpty() && !QFileInfo::exists(state.UserDir) &&
        QDir::cleanPath(state.UserDir) != QDir::cleanPath(defaultDir) &&
        !missingUserDir(MissingUserDir{state.UserDir, udTarget, defaultDir}))
        state.UserDir = defaultDir;

    if (!QFileInfo(state.UserDir).isDir()) {
        if (state.UserDir.isEmpty() || !QDir().mkdir(state.UserDir)) cannotCreateUser(state.UserDir);
        state.NeedFileCopy = true;
    }
    SetWorkingDir(state.UserDir);
    if (showUserDir) showUserDir(state.UserDir);

    const QString readMe = InUserDir(state.UserDir, QLatin1String(kReadMeFileName));
    if (QFileInfo::exists(readMe)) {
        QByteArray bytes;
        QString error;
        if (!ReadFileBytes(readMe, kMaxTextFileBytes, &bytes, &error)) throw UserError(error);
        if (!bytes.contains(kVersionText)) state.NeedFileCopy = true;
    } else {
        state.NeedFileCopy = true;
    }
    return true;
}

QStringList SeedFileNames() {
    return {QStringLiteral("ZUVMAP0.Map"), QStringLiteral("ZUVMAP4.Map"), QStringLiteral("ZUVMAP5.map"),
            QLatin1String(kReadMeFileName), QStringLiteral("ZUVMAP127.Map")};
}

bool CopyMaps(const StartupState& state, ProgramEnd& end) {
    const QString target = WithSlash(state.UserDir);
    for (const QString& name : SeedFileNames()) {
        // A failed copy leaves the user's file as it was.
        if (!CopyFileReplacing(state.ProgramDataDir + name, target + name, nullptr))
            end.Terminate(QStringLiteral("Fatal error - unable to copy files from Program Data - Contact ZUV Meters."));
    }
    return true;
}

QString ProgramDataMissingMessage() {
    return QStringLiteral("Fatal Error - Files not loaded in ProgramData - Contact ZUVMeters");
}

void SettleFolders(const PlatformPaths& paths, StartupState& state, ProgramEnd& end,
                   const MissingUserDirChoice& missingUserDir,
                   const std::function<void(const QString&)>& showUserDir) {
    state.StartDir = paths.StartDir();
    state.ProgramDataDir = paths.ProgramDataDir();
    if (!QFileInfo::exists(state.ProgramDataDir + QLatin1String(kReadMeFileName)))
        end.Terminate(ProgramDataMissingMessage());
    ReadUDFile(paths, state, end, missingUserDir, showUserDir);
    if (state.NeedFileCopy) CopyMaps(state, end);
}

QString ReadDisplayUnits(const StartupState& state, ProgramEnd& end, DisplayUnitTables* tables) {
    QString error;
    if (!ReadDisplayDataFile(state.StartDir, &tables->DisplayData, &error))
        end.Terminate(DisplayDataFailureMessage(state.StartDir, error));
    ConfigData config;
    QString configError;
    const QString configPath = FindFileNoCase(state.UserDir, QLatin1String(kConfigFileName));
    QStringList lines;
    if (!configPath.isEmpty() && ReadTextLines(configPath, &lines, &configError)) {
        try {
            ParseConfigLines(lines, &config);
        } catch (const UserError&) {
            // A count line that is no number: no saved choice is taken.
        }
    }
    BuildCurrentUnits(tables->DisplayData, config.savedUnits, &tables->CurrentUnits);
    return configError;
}

} // namespace vorda
