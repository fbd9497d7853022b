#include "windows/QtUserInteraction.h"
#include "base/UserError.h"
#include "meter/QtSerialLayer.h"
#include "windows/VordaProgram.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZUV Meter Settings"));
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
