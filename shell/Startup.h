#pragma once
#include "base/Version.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace vorda {
class ProgramEnd;
struct DisplayUnitTables;

inline constexpr char kReadMeFileName[] = "VORDAReadMe.txt";
inline constexpr char kUserDirFileName[] = "VORDAUD.txt";

// "\n\r" + "VORDA Version: " + kVersionText, the tail of most fatal messages.
QString VersionTail();

// Where the folders of the program lie on this machine. Built from the
// environment by FromEnvironment; tests fill it by hand.
struct PlatformPaths {
    QString prefix;          // folder above the executable's folder
    QString programDataEnv;  // $PROGRAMDATA, empty when unset
    QString appDataEnv;      // $APPDATA, empty when unset
    QString configHome;      // ${XDG_CONFIG_HOME:-$HOME/.config}
    QString home;            // $HOME
    QString userName;        // $USERNAME, else $USER
    QString historyEnv;      // $VORDA_HISTORY: where the meter history is kept
    QString oldInstallDir = QStringLiteral("/opt/ZUVMeters/VORDA");

    static PlatformPaths FromEnvironment(const QString& applicationDir);

    QString StartDir() const;        // <prefix>/share/vorda/
    QString ProgramDataDir() const;  // ends with "/"
    QString AppDataDir() const;      // no final "/"
    QString SettingsParent() const;  // the folder above AppDataDir
    QString UserParent() const;      // $HOME/ZUVMeters
    QString DefaultUserDir() const;  // $HOME/ZUVMeters/VORDA/
};

// Process-wide start-up state.
struct StartupState {
    QString StartDir;
    QString ProgramDataDir;
    QString AppDataDir;
    QString UserDir;
    bool NeedFileCopy = false;
    bool MakerAccess = false;
    bool OffsetCalMode = false;
    int SigFigCount = 5;
};

// UserDir with a file name appended, inserting "/" when it lacks one.
QString InUserDir(const QString& userDir, const QString& fileName);

// Applies the first two command-line arguments (program name excluded).
// An argument that is not recognised ends the program through end.
void ApplySwitches(const QStringList& arguments, StartupState& state, ProgramEnd& end);

// A user directory that "VORDAUD.txt" records and that is not there (a
// share or drive not mounted, a damaged record).
struct MissingUserDir {
    QString recorded;   // the folder as recorded
    QString recordFile; // the "VORDAUD.txt" that records it
    QString defaultDir; // the folder used instead when it is not created
};
// Decides about a missing recorded user directory: true creates it, false
// uses the default folder for this run and leaves the record as it is. May
// end the program instead.
using MissingUserDirChoice = std::function<bool(const MissingUserDir&)>;

// The window's question, and the command line's one-line refusal.
QString MissingUserDirQuestion(const MissingUserDir& missing);
QString MissingUserDirRefusal(const MissingUserDir& missing);

// Settles UserDir as the search for "VORDAUD.txt" finds it, creating the
// folders that are missing, and makes it the working directory. A recorded
// user directory that does not exist is created only when missingUserDir
// says so. Fatal failures go through end; a failed move or read throws
// UserError. showUserDir is called once the user directory is the working
// directory, before its read-me is examined.
bool ReadUDFile(const PlatformPaths& paths, StartupState& state, ProgramEnd& end,
                const MissingUserDirChoice& missingUserDir,
                const std::function<void(const QString&)>& showUserDir = {});

// Copies the installed maps and the read-me into the user directory.
bool CopyMaps(const StartupState& state, ProgramEnd& end);

// "Fatal Error - Files not loaded in ProgramData - Contact ZUVMeters": the
// shared data folder has no read-me, so the installation is incomplete.
QString ProgramDataMissingMessage();

// The folders at start-up, the same for the window and the command line:
// StartDir and ProgramDataDir from paths, the shared data folder's read-me
// (its absence is fatal), the user directory as ReadUDFile settles it, and
// the seeding of a user directory that is new or of another version.
// missingUserDir and showUserDir are the front end's answers, as for
// ReadUDFile. Fatal failures go through end; a failed move or read throws
// UserError.
void SettleFolders(const PlatformPaths& paths, StartupState& state, ProgramEnd& end,
                   const MissingUserDirChoice& missingUserDir,
                   const std::function<void(const QString&)>& showUserDir = {});

// The display data file of state.StartDir (missing or unreadable is fatal,
// through end) and the unit choices saved in the configuration of
// state.UserDir, built into tables. A configuration that cannot be read
// leaves the first unit of every type and returns its error text; a damaged
// one leaves them silently. Empty when the saved choices were taken.
QString ReadDisplayUnits(const StartupState& state, ProgramEnd& end, DisplayUnitTables* tables);

// The installed files that seed a user directory, in copying order.
QStringList SeedFileNames();

} // namespace vorda
