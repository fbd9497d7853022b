#include "MeterTestApp.h"

#include "meter/MeterDetection.h"
#include "windows/PICCore.h"
#include "meter/PortNames.h"
#include "meter/SimMeter.h"
#include "meter/SimSerialLayer.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vorda;

namespace {

using test::B;

// A meter on COM5 (library port 4), connected the way the program does it.
class Protocol : public ::testing::Test {
protected:
    static constexpr int kPort = 4;
    void SetUp() override {
        test::EnsureApplication();
        core = std::make_unique<TPICCoreForm>(layer, link);
        layer.attach(kPort, &meter);
        link.ComPortNumber = kPort;
    }
    void connect() {
        ASSERT_TRUE(core->ConnectToPort(kPort));
        layer.clearCalls();
    }
    void setFaults(void (*set)(SimMeter::Faults&)) {
        SimMeter::Faults f;
        set(f);
        meter.setFaults(f);
    }

    SimSerialLayer layer;
    SimMeter meter;
    MeterLinkState link;
    std::unique_ptr<TPICCoreForm> core;
};

} // namespace

TEST_F(Protocol, StartsWithTheReceiveTimeout) { EXPECT_EQ(link.ReceiveTimeout, 500); }

TEST_F(Protocol, ConnectToPortOpensAndConfigures) {
    EXPECT_TRUE(core->ConnectToPort(kPort));
    EXPECT_EQ(layer.calls(), QStringList({"SioReset(4,1024,1024)", "SioBaud(4,6)", "SioParms(4,0,2,8)"}));
    EXPECT_TRUE(layer.isOpen(kPort));
    EXPECT_EQ(layer.baudCode(kPort), kBaudCode19200);
    EXPECT_EQ(layer.lineFormat(kPort), QList<int>({0, 2, 8}));
}

TEST_F(Protocol, ConnectToPortStopsAtTheFirstFailingCall) {
    const QStringList order = {"SioReset", "SioBaud", "SioParms"};
    for (int i = 0; i < order.size(); ++i) {
        SimSerialLayer failing;
        failing.attach(kPort, &meter);
        failing.failCall(order[i], -2);
        TPICCoreForm other(failing, link);
        EXPECT_FALSE(other.ConnectToPort(kPort)) << qPrintable(order[i]);
        EXPECT_EQ(failing.calls().size(), i + 1) << qPrintable(order[i]);
        EXPECT_TRUE(failing.calls().last().startsWith(order[i]));
    }
    // Ports without a device or held elsewhere cannot be opened.
    layer.setBusy(6);
    EXPECT_FALSE(core->ConnectToPort(6));
    EXPECT_FALSE(core->ConnectToPort(7));
    EXPECT_EQ(layer.calls(), QStringList({"SioReset(6,1024,1024)", "SioReset(7,1024,1024)"}));
}

TEST_F(Protocol, ScanNamesThePortsOtherProgramsHold) {
    layer.setBusy(1, 777); // COM2, its holder named
    layer.setBusy(8);      // COM9, no holder named
    layer.setFree(11);
    const ScanOutcome scan = ScanPorts(core->Protocol(), ScanOptions{});
    ASSERT_EQ(scan.held.size(), 2);
    EXPECT_EQ(PortInUseText(scan.held[0]), "COM2 is in use by another program (process 777)");
    EXPECT_EQ(PortInUseText(scan.held[1]), "COM9 is in use by another program");
    ASSERT_EQ(scan.ports.size(), 2);
    EXPECT_EQ(scan.MeterCount(), 1);
    // A port this program holds is no other program's.
    connect();
    EXPECT_EQ(ScanPorts(core->Protocol(), ScanOptions{}).held.size(), 2);
}

TEST_F(Protocol, DisconnectPortCloses) {
    connect();
    EXPECT_TRUE(core->DisconnectPort(kPort));
    EXPECT_EQ(layer.calls(), QStringList({"SioDone(4)"}));
    EXPECT_FALSE(layer.isOpen(kPort));
    EXPECT_FALSE(core->DisconnectPort(kPort)) << "closing a closed port fails";
}

TEST_F(Protocol, GetCharCallsAndHandshake) {
    connect();
    EXPECT_EQ(core->getChar(0x55), 0x56);
    EXPECT_EQ(layer.calls(), QStringList({"SioReset(4,1,1)", "SioPuts(4,55)", "SioTxQue(4)",
                                          "SioRxWait(4,1,500)", "SioGetc(4)"}));
    EXPECT_TRUE(core->Handshake());
    // Only the low 8 bits are sent.
    layer.clearCalls();
    EXPECT_EQ(core->getChar(0x155), 0x56);
    EXPECT_EQ(layer.calls()[1], "SioPuts(4,55)");
}

TEST_F(Protocol, GetCharWaitsForTheTransmitQueueOnlyWhenMoreThanOneByteWaits) {
    connect();
    for (int backlog : {1, 2}) {
        layer.setTxBacklog(backlog);
        layer.clearCalls();
        EXPECT_EQ(core->getChar(0x55), 0x56);
        EXPECT_EQ(layer.calls().contains("SioEvent(4,4)"), backlog > 1) << backlog;
    }
    layer.clearCalls();
    EXPECT_EQ(core->GetSetRegister(1, 1, 0), 0);
    EXPECT_EQ(layer.calls().indexOf("SioEvent(4,4)"), layer.calls().indexOf("SioTxQue(4)") + 1);
}

TEST_F(Protocol, GetCharTimesOutWithMinus31) {
    const struct {
        const char* name;
        void (*set)(SimMeter::Faults&);
    } cases[] = {
        {"silent", [](SimMeter::Faults& f) { f.silent = true; }},
        {"no handshake reply", [](SimMeter::Faults& f) { f.noHandshakeReply = true; }},
        {"reply after the time-out", [](SimMeter::Faults& f) { f.replyDelayMs = 501; }},
    };
    connect();
    for (const auto& c : cases) {
        setFaults(c.set);
        EXPECT_EQ(core->getChar(0x55), kGetCharTimeout) << c.name;
        EXPECT_FALSE(core->Handshake()) << c.name;
    }
    // A port without a meter.
    layer.setFree(8);
    ASSERT_TRUE(core->ConnectToPort(8));
    link.ComPortNumber = 8;
    EXPECT_EQ(core->getChar(0x55), kGetCharTimeout);
}

TEST_F(Protocol, GetCharAnswersWithinTheTimeout) {
    connect();
    setFaults([](SimMeter::Faults& f) { f.replyDelayMs = 499; });
    EXPECT_EQ(core->getChar(0x55), 0x56);
}

TEST_F(Protocol, GetCharPassesTheLayersReadFailure) {
    connect();
    layer.failCall("SioGetc", -7);
    EXPECT_EQ(core->getChar(0x55), -7);
}

TEST_F(Protocol, WrongOrLateHandshakes) {
    connect();
    setFaults([](SimMeter::Faults& f) { f.badHandshake = true; });
    EXPECT_EQ(core->getChar(0x55), 0x00);
    EXPECT_FALSE(core->Handshake());

    setFaults([](SimMeter::Faults& f) { f.secondHandshakeOnly = true; });
    EXPECT_FALSE(core->Handshake());
    EXPECT_TRUE(core->Handshake());
    EXPECT_FALSE(core->Handshake());
    EXPECT_TRUE(core->Handshake());
}

TEST_F(Protocol, FactoryResetAndSignOffBytes) {
    QVector<quint8> factory(256, 0);
    factory[12] = 34;
    meter.setFactoryImage(factory);
    meter.setReg(12, 99);
    connect();
    EXPECT_EQ(core->getChar(kFactoryResetByte), kFactoryResetByte);
    EXPECT_EQ(meter.reg(12), 34);
    EXPECT_EQ(core->getChar(kSignOffByte), kSignOffByte);
    EXPECT_EQ(meter.signOffs(), 1);
}

TEST_F(Protocol, RegisterExchangeCalls) {
    meter.setReg(200, 5);
    connect();
    EXPECT_EQ(core->GetSetRegister(1, 200, 1), 5);
    EXPECT_EQ(layer.calls(),
              QStringList({"SioReset(4,3,3)", "SioTxClear(4)", "SioPuts(4,01 C8 01)", "SioTxQue(4)",
                           "SioRxWait(4,3,500)", "SioGetc(4)", "SioGetc(4)", "SioGetc(4)"}));
}

TEST_F(Protocol, ReadsGiveTheRegisterContent) {
    const struct { int reg; int content; } cases[] = {{0, 0}, {1, 1}, {127, 128}, {200, 5}, {254, 0}, {255, 255}};
    for (const auto& c : cases) meter.setReg(c.reg, static_cast<quint8>(c.content));
    connect();
    for (const auto& c : cases) {
        EXPECT_EQ(core->GetSetRegister(1, c.reg, 1), c.content) << c.reg;
        EXPECT_EQ(core->GetSetRegister(1, c.reg, 0), c.content) << c.reg;
    }
    EXPECT_EQ(meter.registerWrites(), 0);
}

TEST_F(Protocol, WritesStoreTheLowEightBits) {
    const struct { int value; int sent; } cases[] = {{0, 0}, {77, 77}, {255, 255}, {256, 0}, {300, 44}, {-1, 255}, {-200, 56}};
    connect();
    for (const auto& c : cases) {
        EXPECT_EQ(core->GetSetRegister(0, 30, c.value), c.sent) << c.value;
        EXPECT_EQ(meter.reg(30), c.sent) << c.value;
    }
    EXPECT_EQ(meter.registerWrites(), static_cast<int>(std::size(cases)));
}

TEST_F(Protocol, RepliesThatFailTheExchange) {
    meter.setReg(9, 42);
    connect();
    const struct {
        const char* name;
        int fn, reg, value;
        QByteArray reply;
    } cases[] = {
        {"read, other register echoed", 1, 9, 0, B({1, 10, 42})},
        {"read, other function echoed", 1, 9, 0, B({0, 9, 42})},
        {"write, other value echoed", 0, 9, 7, B({0, 9, 8})},
        {"write, other register echoed", 0, 9, 7, B({0, 8, 7})},
        {"write, other function echoed", 0, 9, 7, B({1, 9, 7})},
        {"only two bytes", 1, 9, 0, B({1, 9})},
        {"nothing", 1, 9, 0, QByteArray()},
    };
    for (const auto& c : cases) {
        layer.replaceNextReply(kPort, c.reply);
        EXPECT_EQ(core->GetSetRegister(c.fn, c.reg, c.value), -1) << c.name;
    }
    // The meter did store the writes; only their confirmation was wrong.
    EXPECT_EQ(core->GetSetRegister(1, 9, 0), 7) << "the port stays usable";
}

TEST_F(Protocol, EchoRuleFollowsTheFunctionCode) {
    connect();
    const struct {
        int fn;
        QByteArray reply;
        int result;
    } cases[] = {
        {2, B({2, 99, 42}), 42},   // checks byte 0 only
        {2, B({3, 5, 42}), -1},
        {3, B({0, 0, 7}), 7},      // checks nothing
        {7, B({9, 9, 9}), 9},
        {-1, B({0xFF, 5, 9}), 9},  // a negative code checks the three bytes, no more
        {-1, B({0xFF, 5, 8}), -1},
        {256, B({0, 5, 9}), 9},    // sent as 0, checks nothing
    };
    for (const auto& c : cases) {
        layer.replaceNextReply(kPort, c.reply);
        EXPECT_EQ(core->GetSetRegister(c.fn, 5, 9), c.result) << c.fn << " " << c.reply.toHex().constData();
    }
}

TEST_F(Protocol, MeterFaultsFailTheExchange) {
    const struct {
        const char* name;
        void (*set)(SimMeter::Faults&);
    } cases[] = {
        {"wrong echo", [](SimMeter::Faults& f) { f.wrongEcho = true; }},
        {"short replies", [](SimMeter::Faults& f) { f.shortReplies = true; }},
        {"silent", [](SimMeter::Faults& f) { f.silent = true; }},
        {"failing register", [](SimMeter::Faults& f) { f.failRegisters = {9}; }},
        {"late reply", [](SimMeter::Faults& f) { f.replyDelayMs = 600; }},
    };
    meter.setReg(9, 42);
    connect();
    for (const auto& c : cases) {
        setFaults(c.set);
        EXPECT_EQ(core->GetSetRegister(1, 9, 0), -1) << c.name;
        EXPECT_EQ(core->GetSetRegister(0, 9, 42), -1) << c.name;
    }
}

TEST_F(Protocol, AReplyFromAnEarlierExchangeIsNotTaken) {
    meter.setReg(7, 70);
    meter.setReg(8, 80);
    connect();
    setFaults([](SimMeter::Faults& f) { f.replyDelayMs = 600; });
    EXPECT_EQ(core->GetSetRegister(1, 7, 0), -1); // its reply arrives after the wait
    meter.setFaults({});
    EXPECT_EQ(core->GetSetRegister(1, 8, 0), 80);
    EXPECT_EQ(core->GetSetRegister(1, 7, 0), 70);
}

TEST_F(Protocol, AHalfSentCommandDoesNotShiftTheNext) {
    meter.setReg(6, 66);
    connect();
    // A lone 0x01 starts a register command at the meter; the next exchange's
    // reset makes the meter drop it.
    EXPECT_EQ(core->getChar(0x01), kGetCharTimeout);
    EXPECT_EQ(core->GetSetRegister(1, 6, 0), 66);
}

TEST_F(Protocol, RegistersOutsideTheMeterSendNothing) {
    connect();
    for (int reg : {-1, 256, 257, 456, -256, 100000}) {
        EXPECT_EQ(core->GetSetRegister(0, reg, 1), -1) << reg;
        EXPECT_EQ(core->GetSetRegister(1, reg, 1), -1) << reg;
    }
    EXPECT_TRUE(layer.calls().isEmpty());
    EXPECT_TRUE(meter.commandLog().isEmpty());
    for (int r = 0; r < 256; ++r) EXPECT_EQ(meter.reg(r), 0);
}

TEST(SimLayer, ProbeDeviceByName) {
    SimSerialLayer layer;
    SimMeter meter;
    layer.attach(4, &meter); // COM5
    layer.setFree(9);        // COM10
    layer.setBusy(2);        // COM3
    const struct { const char* name; int result; } cases[] = {
        {"COM5", 0}, {"\\\\.\\COM5", 0}, {"\\\\.\\COM10", 0}, {"COM3", 5}, {"COM4", 2},
        {"\\\\.\\COM1000", 2}, {"COM0", 2}, {"LPT1", 2}, {"", 2},
    };
    for (const auto& c : cases) EXPECT_EQ(layer.ProbeDevice(QString::fromLatin1(c.name)), c.result) << c.name;
    EXPECT_EQ(layer.calls().first(), "ProbeDevice(COM5)");
}

TEST(SimLayer, PortOpenedHereCannotBeProbedUntilClosed) {
    SimSerialLayer layer;
    SimMeter meter;
    layer.attach(11, &meter);
    const QString name = ExtComName(12);
    EXPECT_EQ(layer.ProbeDevice(name), 0);
    ASSERT_EQ(layer.SioReset(11, 1024, 1024), 0);
    EXPECT_NE(layer.ProbeDevice(name), 0);
    EXPECT_EQ(layer.SioReset(11, 3, 3), 0) << "a reset of the open port is no second open";
    ASSERT_EQ(layer.SioDone(11), 0);
    EXPECT_EQ(layer.ProbeDevice(name), 0);
}

TEST(SimLayer, CallsOnClosedPortsFail) {
    SimSerialLayer layer;
    layer.setFree(0);
    const unsigned char b = 0x55;
    EXPECT_LT(layer.SioBaud(0, 6), 0);
    EXPECT_LT(layer.SioParms(0, 0, 2, 8), 0);
    EXPECT_LT(layer.SioPuts(0, &b, 1), 0);
    EXPECT_LT(layer.SioTxQue(0), 0);
    EXPECT_LT(layer.SioRxWait(0, 1, 500), 0);
    EXPECT_LT(layer.SioGetc(0), 0);
    EXPECT_LT(layer.SioTxClear(0), 0);
    EXPECT_LT(layer.SioDone(0), 0);
    ASSERT_EQ(layer.SioReset(0, 1, 1), 0);
    EXPECT_EQ(layer.SioGetc(0), kSioNoData);
}

// Several ports at once: a meter answering at once, one answering late
// (inside or beyond the time-out), a silent line and a closed port.
TEST(SimLayer, WaitForAnyPortEndsWithTheFirstRepliesWithoutSleeping) {
    struct Case {
        const char* name;
        int delayMs;          // of the second meter's replies
        QList<int> firstWait; // ports ready after the handshakes
        QList<int> secondWait;
        int hookCalls;        // waits that would have lasted
    };
    const Case cases[] = {
        {"late inside the time-out", 450, {1}, {3}, 1},
        {"late beyond the time-out", 600, {1}, {}, 1},
        {"both at once", 0, {1, 3}, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimSerialLayer layer;
        SimMeter quick, slow;
        SimMeter::Faults f;
        f.replyDelayMs = c.delayMs;
        slow.setFaults(f);
        layer.attach(1, &quick);
        layer.attach(3, &slow);
        layer.setFree(5);
        layer.setFree(7); // never opened
        int hooks = 0;
        layer.SetWaitHook([&hooks] { ++hooks; });
        const unsigned char b = 0x55;
        for (int port : {1, 3, 5}) {
            ASSERT_EQ(layer.SioReset(port, 1, 1), 0);
            ASSERT_EQ(layer.SioPuts(port, &b, 1), 1);
        }
        const QList<int> first = layer.SioRxWaitAny({1, 3, 5, 7}, 1, 500);
        EXPECT_EQ(first, c.firstWait);
        for (int port : first) EXPECT_EQ(layer.SioGetc(port), 0x56);
        const QList<int> second = layer.SioRxWaitAny({3, 5, 7}, 1, 500);
        EXPECT_EQ(second, c.secondWait);
        EXPECT_EQ(hooks, c.hookCalls);
        // Whatever came too late is there after the wait gave up.
        if (!first.contains(3)) EXPECT_EQ(layer.SioGetc(3), 0x56);
        EXPECT_EQ(layer.SioRxWaitAny({7}, 1, 500), QList<int>{});
        EXPECT_EQ(layer.calls().last(), "SioRxWaitAny(7;1,500)");
    }
}

TEST(SimLayer, SingleWaitCallsTheHookOnlyWhenItWouldLast) {
    SimSerialLayer layer;
    SimMeter meter;
    layer.attach(0, &meter);
    int hooks = 0;
    layer.SetWaitHook([&hooks] { ++hooks; });
    const unsigned char b = 0x55;
    ASSERT_EQ(layer.SioReset(0, 1, 1), 0);
    layer.SioPuts(0, &b, 1);
    EXPECT_GT(layer.SioRxWait(0, 1, 500), 0);
    EXPECT_EQ(hooks, 0);
    EXPECT_EQ(layer.SioGetc(0), 0x56);
    EXPECT_LT(layer.SioRxWait(0, 1, 500), 0); // nothing on its way
    EXPECT_EQ(hooks, 1);
}

// The handshake on many ports: each port gets the exchange getChar makes,
// then one wait serves them all.
TEST_F(Protocol, HandshakeOnSeveralPortsWaitsOnceForAll) {
    SimMeter second, badReply;
    SimMeter::Faults bad;
    bad.badHandshake = true;
    badReply.setFaults(bad);
    layer.attach(6, &second);
    layer.attach(8, &badReply);
    layer.setFree(9);
    for (int port : {kPort, 6, 8, 9}) ASSERT_TRUE(core->ConnectToPort(port));
    layer.clearCalls();
    const QHash<int, int> replies = core->getChars({kPort, 6, 8, 9}, kHandshakeSent);
    EXPECT_EQ(replies, (QHash<int, int>{{kPort, 0x56}, {6, 0x56}, {8, 0x00}, {9, kGetCharTimeout}}));
    QStringList expected;
    for (int port : {kPort, 6, 8, 9})
        expected << QStringLiteral("SioReset(%1,1,1)").arg(port) << QStringLiteral("SioPuts(%1,55)").arg(port)
                 << QStringLiteral("SioTxQue(%1)").arg(port);
    expected << "SioRxWaitAny(4,6,8,9;1,500)" << "SioGetc(4)" << "SioGetc(6)" << "SioGetc(8)" << "SioRxWaitAny(9;1,500)";
    // The second wait asks with what is left of the time-out.
    ASSERT_EQ(layer.calls().size(), expected.size());
    EXPECT_EQ(layer.calls().mid(0, expected.size() - 1), expected.mid(0, expected.size() - 1));
    EXPECT_TRUE(layer.calls().last().startsWith("SioRxWaitAny(9;1,"));
    EXPECT_TRUE(core->getChars({}, kHandshakeSent).isEmpty());
}
