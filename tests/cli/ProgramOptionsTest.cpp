// Every program answers --help and --version on standard output and ends,
// with no display to open a window on.
#include "base/Version.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

struct Answer {
    const char* program;
    const char* option;
    const char* expected; // a piece of the output
};

TEST(ProgramOptionsTest, HelpAndVersionNeedNoWindow) {
    const Answer answers[] = {
        {"vorda", "--version", "vorda "},
        {"vorda", "-h", "/FourSigFigs"},
        {"vorda-cli", "--version", "vorda-cli "},
        {"vorda-cli", "--help", "--com"},
        {"vorda-sim", "--version", "vorda-sim "},
        {"vorda-sim", "--help", "--paced"},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    for (const Answer& a : answers) {
        SCOPED_TRACE(std::string(a.program) + " " + a.option);
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VORDA_STAGE_BIN_DIR "/") + a.program, {a.option});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        EXPECT_TRUE(out.contains(QLatin1String(a.expected))) << out.toStdString();
        // A version answer is the program's name and the version, one line.
        if (QLatin1String(a.option) == QLatin1String("--version"))
            EXPECT_EQ(out.trimmed(), QLatin1String(a.program) + QLatin1Char(' ') + QLatin1String(vorda::kVersionText));
    }
}

} // namespace
