#pragma once
// The commands of vorda-cli, given the serial layer and the settled folders.
#include "meter/PortIdentity.h"
#include "units/DisplayData.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace vorda {
class SerialLayer;
class UserInteraction;
class EquationEvaluator;
class SigFigRounder;
class MeterEventSink;

// Exit codes, as --help and README.md list them.
enum CliExit : int {
    kExitDone = 0,
    kExitDifferences = 1, // differences, invalid data, a file for another map
    kExitUsage = 2,
    kExitMeterCount = 3,  // no meter, or several
    kExitMeterSilent = 4, // the meter stopped answering
    kExitFile = 5,        // a file could not be read or written, or the meter history opened
    kExitNoRecord = 6,    // the meter history holds no record of that number
};

// A command line as parsed.
struct CliRequest {
    QString command;      // scan, read, write, diff, check, history, restore, station
    QString subcommand;   // history: empty (the list), show or diff
    QStringList operands; // files and maps, paths already absolute
    QList<qint64> records; // the record numbers of history show and diff, and restore
    int com = 0;          // --com N, 0 when not given
    QString output;       // -o FILE, absolute
    bool json = false;
    bool onlyChanged = false;
    bool noVerify = false;
    bool forceMap = false;
    QString reason;       // --reason TEXT: why the meter is written (write, restore)
    QString meter;        // --meter ID: the meter whose records are listed, all when empty
    int limit = 0;        // --limit N: at most N records listed, all when 0
    // station
    QString golden;       // --golden FILE.epf, absolute
    QStringList keep;     // --keep NAME,NAME...
    bool keepGiven = false;
    bool noMa = false;    // --no-ma
    QString maSource;     // --ma-source CMD
    QString reports;      // --reports DIR, absolute
    int count = 0;        // --count N: meters to commission, 0 for no end
};

// What a command line asks for besides a command.
enum class CliAnswer { Command, Help, Version };

// Parses the arguments after the program name. On failure returns false
// with *error set (one line); *answer says whether --help or --version
// asked for their text instead of a command.
bool ParseCliArguments(const QStringList& arguments, CliRequest* request, CliAnswer* answer, QString* error);

QString CliHelpText();
// "vorda-cli " + the program's version, and a line end.
QString CliVersionText();

// What the commands need from the program around them.
struct CliContext {
    SerialLayer& serial;
    UserInteraction& ui;          // only the equation evaluator's messages
    const EquationEvaluator& eval;
    const SigFigRounder& rounder;
    QString userDir;              // where the meter's maps are looked up
    DisplayUnitTables units;      // display data and current display units
    bool progress = false;        // standard error is a terminal
    QString historyAddress;       // VORDA_HISTORY: where the meter history lives, when set
    MeterEventSink* events = nullptr; // hears the meter session's events; set by RunCliCommand
    // Waits ms between a station's looks for a meter; false when the program
    // is to end (a signal). Sleeps when not set.
    std::function<bool(int ms)> pause;
    // The stable names and USB adapter of the device behind COM com; scan
    // tells none when not set.
    std::function<PortIdentity(int com)> portIdentity;
};

// Runs a parsed command; the exit code.
int RunCliCommand(const CliRequest& request, CliContext& context);

} // namespace vorda
