#include "station/StationWatch.h"

#include <QLocale>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

namespace vorda {

std::optional<double> MaFromCommand(const QString& command, const QString& step, int timeoutMs, QString* error) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORDA_MA_STEP"), step);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!p.waitForStarted(5000)) {
        *error = QStringLiteral("the mA source cannot be started: ") + p.errorString();
        return std::nullopt;
    }
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        *error = QStringLiteral("the mA source did not end within %1 s").arg(timeoutMs / 1000);
        return std::nullopt;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = QStringLiteral("the mA source failed (exit code %1)").arg(p.exitCode());
        return std::nullopt;
    }
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("[-+]?[0-9]+(\\.[0-9]+)?")).match(out);
    bool ok = false;
    const double value = m.hasMatch() ? QLocale::c().toDouble(m.captured(0), &ok) : 0.0;
    if (!ok) {
        *error = QStringLiteral("the mA source printed no number");
        return std::nullopt;
    }
    return value;
}

} // namespace vorda
