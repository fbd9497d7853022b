#include "windows/QtUserInteraction.h"
#include "base/UserError.h"
#include "meter/QtSerialLayer.h"
#include "windows/VordaProgram.h"

#include "app/ProgramIcon.h"
#include "app/ProgramOptions.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // --help and --version print and end before any window or display is
    // needed.
    QStringList given;
    for (int i = 1; i < argc; ++i) given << QString::fromLocal8Bit(argv[i]);
    if (const auto answer = vorda::AnswerWithoutWindow(given)) {
        std::fputs(answer->toLocal8Bit().constData(), stdout);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZUV Meter Settings"));
    // The desktop matches the windows to the installed entry by this name.
    QGuiApplication::setDesktopFileName(vorda::DesktopId());
    QApplication::setWindowIcon(vorda::ProgramIcon());
    QApplication::setQuitOnLastWindowClosed(false);

    vorda::QtUserInteraction ui;
    vorda::QtProgramEnd end(ui);
    vorda::QtSerialLayer serial;
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    vorda::VordaProgram program(ui, end, serial,
                                vorda::PlatformPaths::FromEnvironment(QApplication::applicationDirPath()),
                                arguments);
    try {
        program.Create();
    } catch (const vorda::ProgramTerminated&) {
        return 1;
    }
    ui.SetParentWindow(program.mainWidget());
    return program.Run();
}
