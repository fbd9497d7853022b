#pragma once
// The program on the real serial layer against vorda-sim, which serves a
// register image in a port folder of the test's own.
#include "maps/MapFile.h"
#include "meter/QtSerialLayer.h"
#include "tests/support/ProgramFixture.h"
#include "tests/support/SimProcess.h"

#include <QPushButton>

namespace vorda::test {

class SimProgramTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        sim = std::make_unique<SimProcess>(root.path());
        qputenv("VORDA_PORT_DIR", sim->PortDir().toLocal8Bit());
    }
    void TearDown() override {
        program.reset();
        layer.reset();
        sim.reset();
        qunsetenv("VORDA_PORT_DIR");
        ProgramTest::TearDown();
    }
    // The factory image of the shipped map 5, its map number set.
    void UseMapFiveImage() {
        const MapReadResult map = ReadMapFileContent(QStringLiteral(VORDA_DATA_DIR "/ZUVMAP5.map"), "ZUVMAP5.map");
        ASSERT_EQ(map.status, MapReadStatus::Ok);
        image = FactoryImageFromMap(map.params, 5);
    }
    // Serves image as COM com (extra: further simulator options), creates
    // the program with arguments and presses Connect.
    void StartAndConnect(int com, const QStringList& extra, const QStringList& arguments) {
        ASSERT_NO_FATAL_FAILURE(sim->Start(image, com, extra));
        layer = std::make_unique<QtSerialLayer>();
        ASSERT_TRUE(Create(arguments, *layer));
        Find<QPushButton>("TestConnbtn")->click();
    }

    QVector<quint8> image;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<QtSerialLayer> layer;
};

} // namespace vorda::test
