// vorda-cli: the meter work of the program from a script. See --help.
#include "CliCommands.h"

#include "base/ProgramEnd.h"
#include "shell/Startup.h"
#include "base/QuitSignals.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "meter/PortIdentity.h"
#include "meter/QtSerialLayer.h"
#include "units/DisplayData.h"
#include "units/Equations.h"
#include "units/SigFigs.h"

#include <QCoreApplication>
#include <QThread>

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

// The start-up of the window with the command line's answers: a recorded
// user directory that is not there stops the command, since nobody answers
// a question on a test station; the display units are those the window
// would show.
void Settle(const PlatformPaths& paths, StartupState& state, ProgramEnd& end, DisplayUnitTables* units) {
    SettleFolders(paths, state, end, [&end](const MissingUserDir& missing) -> bool {
        end.Terminate(MissingUserDirRefusal(missing));
        Q_UNREACHABLE(); // Terminate throws ProgramTerminated
    });
    // The unit choices are lost, not the command: said, and carried on.
    const QString configError = ReadDisplayUnits(state, end, units);
    if (!configError.isEmpty()) PrintError(configError);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vorda-cli"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();

    CliRequest request;
    CliAnswer answer = CliAnswer::Command;
    QString error;
    if (!ParseCliArguments(arguments, &request, &answer, &error)) {
        PrintError(error);
        return kExitUsage;
    }
    if (answer != CliAnswer::Command) {
        std::printf("%s", (answer == CliAnswer::Help ? CliHelpText() : CliVersionText()).toLocal8Bit().constData());
        return kExitDone;
    }

    CliInteraction ui;
    CliProgramEnd end;
    StartupState state;
    DisplayUnitTables units;
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
    CliContext context{serial, ui, eval, rounder, state.UserDir, units, ::isatty(STDERR_FILENO) == 1,
                       qEnvironmentVariable("VORDA_HISTORY"), nullptr, {}, {}};
    // A station waiting for its next meter ends on a signal with its tally.
    context.pause = [&quitSignals](int ms) {
        for (int waited = 0; waited < ms; waited += kWaitHookIntervalMs) {
            if (quitSignals.Pending()) return false;
            QThread::msleep(kWaitHookIntervalMs);
        }
        return quitSignals.Pending() == 0;
    };
    context.portIdentity = [&serial](int com) {
        return LookUpPortIdentity(serial.DevicePath(static_cast<unsigned>(com)));
    };
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
