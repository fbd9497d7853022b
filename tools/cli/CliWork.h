#pragma once
// What the commands of vorda-cli share: how they tell the user what
// happened, and the meter line with the session that holds the meter's
// values.
#include "CliCommands.h"

#include "meter/MeterProtocol.h"
#include "values/MeterEngine.h"
#include "values/MeterSession.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace vorda {
class CliHistory;

// Messages are written with "\n\r" line breaks; a line on a terminal holds one.
QString OneLine(const QString& text);
// "vorda-cli: " + the text, one line on standard error.
void PrintErr(const QString& text);

// Everything a command tells the user: results on standard output (or one
// JSON document at the end), problems on standard error as they happen,
// progress on standard error while it is a terminal.
class CliOutput : public MeterReport {
public:
    CliOutput(const CliRequest& request, bool progress);

    // The activities of the exchanges to come, one for each handshake: the
    // progress line names the one under way.
    void Expect(const QStringList& activities) { activities_ = activities; }

    // A problem of the command: on standard error, and in the JSON's problems.
    void Problem(const QString& text);
    // A line on standard error that is no problem of the command's own (the
    // meter history's); not among the JSON's problems.
    void Notice(const QString& text);
    void Line(const QString& text);
    QJsonObject& Result() { return result_; }
    // The JSON result says what the meter history recorded of the command.
    void ReportHistory(const CliHistory* history) { history_ = history; }

    int Finish(int code);
    // A problem that ends the command.
    int Fail(int code, const QString& text);

    void Started() override;
    void Progress(int done, int total) override;
    void RegisterFailed(MeterDirection direction, int, const DMap& param, int offset) override;
    void TooManyFailures(MeterDirection direction) override;
    void InvalidValue(int, const DMap& param, const QString& reason) override;

private:
    void EndProgress();

    bool json_;
    bool progress_;
    bool shown_ = false;
    QElapsedTimer timer_;
    QString activity_;
    QStringList activities_;
    QJsonObject result_;
    QJsonArray problems_;
    const CliHistory* history_ = nullptr;
};

// The meter line of a command and what it knows about the meter's values:
// the map in use and the session holding one row per parameter. The
// session tells its events to the context's listener (the meter history).
struct MeterWork {
    explicit MeterWork(const CliContext& cx);

    // The map of the rows, one empty row per parameter.
    void UseMap(const MeterMap& meterMap);
    const QList<DMap>& Params() const { return map.MapParams; }
    // Lets the meter's port go.
    void Close();

    LoadedMap map;
    ScreenFlags flags;
    MeterSession session;
    MeterLinkState link;
    std::unique_ptr<MeterProtocol> protocol;
    int com = 0;
};

// A shown text of a parameter with the name of its unit, numbers in the
// point form.
QString WithUnit(const MeterSession& session, const DMap& param, const QString& shown);

} // namespace vorda
