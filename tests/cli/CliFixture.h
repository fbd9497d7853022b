#pragma once
// vorda-cli as a whole program on a fresh account, against vorda-sim over a
// pseudo-terminal and the real serial layer.
#include "base/TextFiles.h"
#include "maps/MapFile.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/SimProcess.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vorda::test {

struct CliRun {
    int code = -1;
    QString out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

class CliPtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        const MapReadResult map = ReadMapFileContent(QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), "ZUVMAP5.map");
        ASSERT_EQ(map.status, MapReadStatus::Ok);
        params = map.params;
        image = FactoryImageFromMap(map.params, 5);
    }

    // Serves the image as COM5, logging every register write.
    void StartSim(const QStringList& extra = {}) {
        ASSERT_NO_FATAL_FAILURE(sim.Start(image, 5, QStringList{"--write-log", WriteLogPath()} + extra));
    }
    // Stops the simulator; the registers written while it ran, as
    // "register value" lines.
    QStringList StopSim(QVector<quint8>* registers = nullptr) {
        const QVector<quint8> regs = sim.Stop();
        if (registers) *registers = regs;
        QStringList lines;
        QString error;
        EXPECT_TRUE(ReadTextLines(WriteLogPath(), &lines, &error)) << error.toStdString();
        return lines;
    }

    // Starts vorda-cli on a fresh account with the simulator's port folder
    // (and the variables of environment, then of extra, on top).
    QProcessEnvironment CliEnvironment(const QList<QPair<QString, QString>>& extra = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"APPDATA", "PROGRAMDATA", "XDG_CONFIG_HOME", "VORDA_HISTORY"})
            env.remove(QString::fromLatin1(name));
        env.insert("HOME", root.filePath("home"));
        env.insert("VORDA_PORT_DIR", sim.PortDir());
        for (const auto& [name, value] : environment) env.insert(name, value);
        for (const auto& [name, value] : extra) env.insert(name, value);
        return env;
    }
    void StartCli(QProcess& p, const QStringList& arguments, const QList<QPair<QString, QString>>& extra = {}) {
        p.setProcessEnvironment(CliEnvironment(extra));
        p.setWorkingDirectory(root.path());
        p.start(Program(), arguments);
    }

    CliRun Cli(const QStringList& arguments, const QList<QPair<QString, QString>>& extra = {}) {
        QProcess p;
        StartCli(p, arguments, extra);
        CliRun run;
        if (!p.waitForStarted(5000) || !p.waitForFinished(60000)) {
            ADD_FAILURE() << "vorda-cli did not run";
            return run;
        }
        run.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        run.out = QString::fromLocal8Bit(p.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(p.readAllStandardError());
        return run;
    }

    // The registers of the parameter called name, as "register value"
    // lines of what the image holds.
    int IndexOf(const QString& name) const {
        for (int i = 0; i < params.size(); ++i)
            if (params.at(i).Parameter == name) return i;
        ADD_FAILURE() << "no parameter " << name.toStdString();
        return 0;
    }
    QStringList Writes(const QStringList& names, const QVector<quint8>& regs) const {
        QStringList lines;
        for (int i = 0; i < params.size(); ++i) {
            if (!names.contains(params.at(i).Parameter)) continue;
            for (int r = params.at(i).Startreg; r <= params.at(i).EndReg; ++r)
                lines << QStringLiteral("%1 %2").arg(r).arg(regs.at(r));
        }
        return lines;
    }

    // The data file with the value lines of the named parameters replaced.
    QString Edited(const QString& from, const QString& to, const QList<QPair<QString, QString>>& values) {
        QStringList lines;
        QString error;
        EXPECT_TRUE(ReadTextLines(from, &lines, &error));
        for (const auto& [name, value] : values) lines[2 + 3 * IndexOf(name) + 2] = value;
        EXPECT_TRUE(WriteTextLines(to, lines, &error));
        return to;
    }

    QString Path(const QString& name) const { return root.filePath(name); }
    QString WriteLogPath() const { return root.filePath("writes.txt"); }
    static QString Program() {
        const QString stage = qEnvironmentVariable("VORDA_STAGE_DIR");
        return (stage.isEmpty() ? QStringLiteral(VORDA_STAGE_BIN_DIR "/..") : stage) + QStringLiteral("/bin/vorda-cli");
    }

    QTemporaryDir root;
    QList<QPair<QString, QString>> environment; // for every run of vorda-cli
    SimProcess sim{root.path()};
    QList<DMap> params;
    QVector<quint8> image;
};

} // namespace vorda::test
