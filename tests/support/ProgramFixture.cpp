#include "ProgramFixture.h"

#include "maps/MapFile.h"

#include <QApplication>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace vorda::test {

SimMeter& ProgramTest::AttachMeter(int port, const QString& mapFile, int mapNumber) {
    const MapReadResult map = ReadMapFileContent(QStringLiteral(VORDA_DATA_DIR "/") + mapFile, mapFile);
    EXPECT_EQ(map.status, MapReadStatus::Ok) << mapFile.toStdString();
    meters.push_back(std::make_unique<SimMeter>(FactoryImageFromMap(map.params, mapNumber)));
    serial.attach(port, meters.back().get());
    return *meters.back();
}

int ProgramTest::RunUntilSignal(int signal) {
    const bool quitOnLast = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false); // as the program runs
    QTimer::singleShot(0, [signal] { ::kill(::getpid(), signal); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QApplication::exit(7); });
    watchdog.start(5000);
    const int code = program->Run();
    QApplication::setQuitOnLastWindowClosed(quitOnLast);
    return code;
}

} // namespace vorda::test
