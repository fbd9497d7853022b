#pragma once
// A whole program (its state and its five windows) in temporary folders,
// with scripted user interaction and simulated serial ports.
#include "ScriptedInteraction.h"
#include "tools/support/TempInstallation.h"
#include "TestApp.h"
#include "windows/VordaProgram.h"
#include "meter/SimMeter.h"
#include "meter/SimSerialLayer.h"
#include "windows/ValuesReadWriteUnt.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#ifndef VORDA_DATA_DIR
#error "VORDA_DATA_DIR must name the data folder"
#endif

namespace vorda::test {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        savedCwd_ = QDir::currentPath();
        ASSERT_TRUE(root.isValid());
        paths = TempPlatformPaths(root, "tester");
        InstallDataFiles();
    }
    void TearDown() override {
        program.reset();
        QDir::setCurrent(savedCwd_);
    }

    // The installed files: display data in the start folder, the read-me and
    // maps in the shared data folder.
    void InstallDataFiles() { test::InstallDataFiles(paths, QStringLiteral(VORDA_DATA_DIR)); }

    // Creates the program; false when start-up ended it.
    bool Create(const QStringList& arguments = {}) { return Create(arguments, serial); }
    // The same on another serial layer (the real one, for end-to-end tests).
    bool Create(const QStringList& arguments, SerialLayer& layer) {
        program = std::make_unique<VordaProgram>(ui, end, layer, paths, arguments);
        try {
            program->Create();
        } catch (const ProgramTerminated&) {
            return false;
        }
        return true;
    }

    TValuesReadWrite* mw() const { return program->mainWindow(); }

    template <class T>
    T* Find(const QString& name) const {
        T* found = mw()->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QAction* Action(const QString& name) const { return Find<QAction>(name); }
    void Trigger(const QString& actionName) const { Action(actionName)->trigger(); }
    QLineEdit* Box(int parameterIndex) const { return mw()->ValueEdits().at(parameterIndex); }

    // Runs the program as its entry does and sends itself signal from inside
    // the event loop; the exit code (7 when the signal did not end the loop).
    int RunUntilSignal(int signal);

    // A meter on COM(port + 1) holding the factory image of a shipped map.
    SimMeter& AttachMeter(int port, const QString& mapFile, int mapNumber);

    QTemporaryDir root;
    PlatformPaths paths;
    ScriptedInteraction ui;
    RecordingProgramEnd end;
    SimSerialLayer serial;
    std::unique_ptr<VordaProgram> program;
    std::vector<std::unique_ptr<SimMeter>> meters;

private:
    QString savedCwd_;
};

} // namespace vorda::test
