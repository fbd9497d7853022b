// vorda-cli: the meter work of the program from a script. See --help.
#include "CliCommands.h"

#include "shell/ConfigFiles.h"
#include "base/ProgramEnd.h"
#include "shell/Startup.h"
#include "base/QuitSignals.h"
#include "base/TextFiles.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "meter/QtSerialLayer.h"
#include "units/DisplayData.h"
#include "units/Equations.h"
#include "units/SigFigs.h"
#include "units/UnitChoices.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

using namespace vorda;

namespace {

// Thrown from a wait on the line once SIGTERM or SIGINT came: the command
// ends there, and the serial layer closes its ports (and their lock files go)
// on the way out of main.
struct Interrupted {
    int signal;
};

void PrintError(const QString& text) {
    std::fprintf(stderr, "vorda-cli: %s\n",
                 QString(text).replace(QStringLiteral("\n\r"), QStringLiteral(" ")).toLocal8Bit().constData());
    std::fflush(stderr);
}

// Messages of the equation evaluator go to standard error; nobody answers
// questions on a test station.
class CliInteraction : public UserInteraction {
public:
    void ShowMessage(const QString& text) override { PrintError(text); }
    void ShowError(const QString& text) override { PrintError(text); }
    bool Confirm(const QString&) override { return false; }
    bool AskYesNo(const QString&) override { return false; }
    QString OpenFileName(const QString&, const QString&) override { return {}; }
    QString SaveFileName(const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseFolder(const QString&, const QString&) override { return {}; }
    bool OpenWithDesktop(const QString&) override { return false; }
};

// A fatal start-up error: its text on standard error, then the end.
class CliProgramEnd : public ProgramEnd {
public:
    [[noreturn]] void Terminate(const QString& message) override {
        terminated_ = true;
        if (!message.isEmpty()) PrintError(message);
        throw ProgramTerminated();
    }
    bool Terminated() const override { return terminated_; }

private:
    bool terminated_ = false;
};

// Settles the folders as the window's start-up does, seeding a user
// directory that is new, and reads the display data and the unit choices.
void Settle(const PlatformPaths& paths, StartupState& state, ProgramEnd& end, QList<UnitRow>* units) {
    state.StartDir = paths.StartDir();
    state.ProgramDataDir = paths.ProgramDataDir();
    if (!QFileInfo::exists(state.ProgramDataDir + QLatin1String(kReadMeFileName)))
        end.Terminate(QStringLiteral("Fatal Error - Files not loaded in ProgramData - Contact ZUVMeters"));
    // Nobody answers a question on a test station: a recorded user
    // directory that is not there stops the command.
    ReadUDFile(paths, state, end, [&end](const MissingUserDir& missing) -> bool {
        end.Terminate(MissingUserDirRefusal(missing));
    });
    if (state.NeedFileCopy) CopyMaps(state, end);

    QList<DisplayDataType> displayData;
    QString error;
    if (!ReadDisplayDataFile(state.StartDir, &displayData, &error))
        end.Terminate(DisplayDataFailureMessage(state.StartDir, error));
    ConfigData config;
    const QString configPath = FindFileNoCase(state.UserDir, QLatin1String(kConfigFileName));
    QStringList lines;
    if (!configPath.isEmpty()) {
        if (!ReadTextLines(configPath, &lines, &error)) {
            // The unit choices are lost, not the command: said, and carried on.
            PrintError(error);
        } else {
            try {
                ParseConfigLines(lines, &config);
            } catch (const UserError&) {
                // A damaged configuration leaves the first unit of every type.
            }
        }
    }
    BuildCurrentUnits(displayData, config.savedUnits, units);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vorda-cli"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    CliRequest request;
    bool help = false;
    QString error;
    if (!ParseCliArguments(arguments, &request, &help, &error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (help) {
        std::printf("%s", CliHelpText().toLocal8Bit().constData());
        return kExitDone;
    }

    CliInteraction ui;
    CliProgramEnd end;
    StartupState state;
    QList<UnitRow> units;
    try {
        Settle(PlatformPaths::FromEnvironment(QCoreApplication::applicationDirPath()), state, end, &units);
    } catch (const ProgramTerminated&) {
        return kExitFile;
    } catch (const UserError& e) {
        PrintError(e.text());
        return kExitFile;
    }

    // From here on a port may be open: a signal ends the command at its next
    // wait on the line instead of ending the process with the port held.
    QuitSignals quitSignals;
    QtSerialLayer serial;
    serial.SetWaitHook([&quitSignals] {
        if (const int signal = quitSignals.Pending()) throw Interrupted{signal};
    });
    SigFigRounder rounder(state.SigFigCount, ui);
    EquationEvaluator eval(rounder, ui);
    CliContext context{serial, ui, eval, rounder, state.UserDir, units, ::isatty(STDERR_FILENO) == 1};
    try {
        return RunCliCommand(request, context);
    } catch (const Interrupted& stop) {
        PrintError(QStringLiteral("ended by signal %1").arg(stop.signal));
        return kSignalExitBase + stop.signal;
    } catch (const UserError& e) {
        PrintError(e.text());
        return kExitFile;
    }
}
