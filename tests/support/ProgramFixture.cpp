#include "ProgramFixture.h"

#include "maps/MapFile.h"

namespace vorda::test {

SimMeter& ProgramTest::AttachMeter(int port, const QString& mapFile, int mapNumber) {
    const MapReadResult map = ReadMapFileContent(QStringLiteral(VORDA_DATA_DIR "/") + mapFile, mapFile);
    EXPECT_EQ(map.status, MapReadStatus::Ok) << mapFile.toStdString();
    meters.push_back(std::make_unique<SimMeter>(FactoryImageFromMap(map.params, mapNumber)));
    serial.attach(port, meters.back().get());
    return *meters.back();
}

} // namespace vorda::test
