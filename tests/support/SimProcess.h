#pragma once
// vorda-sim as a child process: serves a register image as COMn in a port
// folder over a pseudo-terminal, and gives back the registers it held at the
// end.
#include "meter/SimMeter.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>
#include <memory>

#ifndef VORDA_STAGE_BIN_DIR
#error "VORDA_STAGE_BIN_DIR must name the staged bin folder"
#endif

namespace vorda::test {

class SimProcess {
public:
    // The simulator keeps its files in workDir and its port in portDir
    // (workDir/ports when empty); several simulators may share a port folder.
    explicit SimProcess(QString workDir, QString portDir = {})
        : dir_(std::move(workDir)), portDir_(std::move(portDir)) {
        QDir().mkpath(dir_);
        if (portDir_.isEmpty()) portDir_ = QDir(dir_).filePath(QStringLiteral("ports"));
    }
    ~SimProcess() { Stop(); }

    QString PortDir() const { return portDir_; }

    // Starts serving image as COM com; extra are further options (faults,
    // --paced). Check with ASSERT_NO_FATAL_FAILURE.
    void Start(const QVector<quint8>& image, int com, const QStringList& extra = {}) {
        const QString regs = QDir(dir_).filePath(QStringLiteral("start.txt"));
        QString error;
        ASSERT_TRUE(WriteRegisterFile(regs, image, &error)) << error.toStdString();
        proc_ = std::make_unique<QProcess>();
        proc_->setProgram(Program());
        proc_->setArguments(QStringList{"--port-dir", PortDir(), "--com", QString::number(com), "--registers", regs,
                                        "--dump", DumpPath()} + extra);
        proc_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc_->start();
        ASSERT_TRUE(proc_->waitForStarted(5000));
        while (!proc_->canReadLine()) ASSERT_TRUE(proc_->waitForReadyRead(5000));
        ASSERT_TRUE(proc_->readLine().startsWith("ready "));
    }

    // Stops the simulator; the registers it held at the end (empty when it
    // was not running or left no dump).
    QVector<quint8> Stop() {
        QVector<quint8> regs;
        if (!proc_) return regs;
        proc_->terminate();
        if (!proc_->waitForFinished(5000)) proc_->kill();
        proc_.reset();
        QString error;
        EXPECT_TRUE(ReadRegisterFile(DumpPath(), &regs, &error)) << error.toStdString();
        return regs;
    }

private:
    static QString Program() {
        const QString stage = qEnvironmentVariable("VORDA_STAGE_DIR");
        return (stage.isEmpty() ? QStringLiteral(VORDA_STAGE_BIN_DIR "/..") : stage) + QStringLiteral("/bin/vorda-sim");
    }
    QString DumpPath() const { return QDir(dir_).filePath(QStringLiteral("dump.txt")); }

    QString dir_;
    QString portDir_;
    std::unique_ptr<QProcess> proc_;
};

} // namespace vorda::test
