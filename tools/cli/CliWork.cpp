#include "CliWork.h"

#include "CliHistory.h"

#include "values/DataFile.h"

#include <QJsonDocument>

#include <cstdio>

namespace vorda {

QString OneLine(const QString& text) { return QString(text).replace(QStringLiteral("\n\r"), QStringLiteral(" ")); }

void PrintErr(const QString& text) {
    std::fprintf(stderr, "vorda-cli: %s\n", OneLine(text).toLocal8Bit().constData());
    std::fflush(stderr);
}

CliOutput::CliOutput(const CliRequest& request, bool progress) : json_(request.json), progress_(progress) {
    result_[QStringLiteral("command")] = request.subcommand.isEmpty()
                                             ? request.command
                                             : request.command + QLatin1Char(' ') + request.subcommand;
}

void CliOutput::Problem(const QString& text) {
    Notice(text);
    problems_.append(OneLine(text));
}

void CliOutput::Notice(const QString& text) {
    EndProgress();
    PrintErr(text);
}

void CliOutput::Line(const QString& text) {
    if (json_) return;
    EndProgress();
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

int CliOutput::Finish(int code) {
    EndProgress();
    if (json_) {
        result_[QStringLiteral("exitCode")] = code;
        result_[QStringLiteral("problems")] = problems_;
        if (history_) result_[QStringLiteral("history")] = history_->Json();
        std::printf("%s", QJsonDocument(result_).toJson(QJsonDocument::Indented).constData());
        std::fflush(stdout);
    }
    return code;
}

int CliOutput::Fail(int code, const QString& text) {
    Problem(text);
    return Finish(code);
}

void CliOutput::Started() {
    if (!activities_.isEmpty()) activity_ = activities_.takeFirst();
}

void CliOutput::Progress(int done, int total) {
    if (!progress_ || total <= 0) return;
    // Repainted at a human rate, and always at the end.
    if (done < total && shown_ && timer_.elapsed() < 50) return;
    timer_.start();
    shown_ = true;
    std::fprintf(stderr, "\r%s %d/%d registers", activity_.toLocal8Bit().constData(), done, total);
    std::fflush(stderr);
}

void CliOutput::RegisterFailed(MeterDirection direction, int, const DMap& param, int offset) {
    Problem(RegisterFailureText(direction, param, offset) + QStringLiteral(" (register ") +
            QString::number(param.Startreg + offset) + QStringLiteral(")"));
}

void CliOutput::TooManyFailures(MeterDirection direction) { Problem(TooManyFailuresText(direction)); }

void CliOutput::InvalidValue(int, const DMap& param, const QString& reason) {
    Problem(InvalidMessage(param, reason));
}

void CliOutput::EndProgress() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
}

MeterWork::MeterWork(const CliContext& cx) : session(map, flags, cx.units, cx.eval, cx.rounder) {
    session.SetEventSink(cx.events);
}

void MeterWork::UseMap(const MeterMap& meterMap) {
    map.MapParams = meterMap.params;
    map.MapHeaders = meterMap.headers;
    map.CurrentMapFile = meterMap.fileName;
    map.MapLoaded = true;
    session.ResetRows();
}

void MeterWork::Close() {
    if (protocol && com > 0) protocol->DisconnectPort(com - 1);
}

QString WithUnit(const MeterSession& session, const DMap& param, const QString& shown) {
    QString text = ToPointForm(param, shown);
    const UnitRow* unit = session.UnitOf(param);
    if (unit && !unit->Units.isEmpty()) text += QLatin1Char(' ') + unit->Units;
    return text;
}

} // namespace vorda
