#include "meter/PortNames.h"
#include "meter/SimMeter.h"

#include <QTemporaryDir>
#include <QFile>

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

using namespace vorda;

namespace {

using test::B;

QVector<quint8> Image(int fill) { return QVector<quint8>(256, static_cast<quint8>(fill)); }

} // namespace

TEST(PortNames, ExtComNameUsesTheDevicePrefixFromTen) {
    const struct { unsigned com; const char* name; } cases[] = {
        {1, "COM1"}, {9, "COM9"}, {10, "\\\\.\\COM10"}, {99, "\\\\.\\COM99"}, {1000, "\\\\.\\COM1000"}};
    for (const auto& c : cases) EXPECT_EQ(ExtComName(c.com), QString::fromLatin1(c.name)) << c.com;
}

TEST(PortNames, NumberParsedBackFromEveryScannedName) {
    for (unsigned com = 1; com <= 1000; ++com) ASSERT_EQ(ComNumberFromName(ExtComName(com)), com);
    EXPECT_EQ(ComNumberFromName(QStringLiteral("com7")), 7u);
    EXPECT_EQ(ComNumberFromName(QStringLiteral("\\\\.\\COM3")), 3u);
}

TEST(PortNames, NamesThatAreNoComPortGiveZero) {
    for (const char* name : {"", "COM", "COM0", "COM05", "COM-1", "COM+1", "COM 1", "COM1x", "LPT1",
                             "\\\\.\\", "\\\\.\\LPT2", "\\\\COM4", "COM99999999999"})
        EXPECT_EQ(ComNumberFromName(QString::fromLatin1(name)), 0u) << name;
}

TEST(SimMeter, AnswersTheSingleByteCommands) {
    SimMeter meter(Image(7));
    meter.setReg(3, 99);
    EXPECT_EQ(meter.feed(B({0x55})), B({0x56}));
    EXPECT_EQ(meter.feed(B({0x02})), B({0x02}));
    EXPECT_EQ(meter.reg(3), 99);
    EXPECT_EQ(meter.feed(B({0x04})), B({0x04}));
    EXPECT_EQ(meter.reg(3), 7) << "factory reset restores the image";
    EXPECT_EQ(meter.feed(B({0x10, 0xFF, 0x56})), QByteArray()) << "unknown bytes are ignored";
    EXPECT_EQ(meter.handshakes(), 1);
    EXPECT_EQ(meter.factoryResets(), 1);
    EXPECT_EQ(meter.signOffs(), 1);
}

TEST(SimMeter, RegisterCommandsEchoAndStore) {
    SimMeter meter;
    EXPECT_EQ(meter.feed(B({0, 17, 0xAB})), B({0, 17, 0xAB}));
    EXPECT_EQ(meter.reg(17), 0xAB);
    EXPECT_EQ(meter.feed(B({1, 17, 0})), B({1, 17, 0xAB}));
    // A command split over several deliveries, then two in one.
    EXPECT_EQ(meter.feed(B({0})), QByteArray());
    EXPECT_EQ(meter.feed(B({0x55})), QByteArray()) << "0x55 is the register number here";
    EXPECT_EQ(meter.feed(B({9})), B({0, 0x55, 9}));
    EXPECT_EQ(meter.feed(B({1, 0x55, 0, 1, 17, 1})), B({1, 0x55, 9, 1, 17, 0xAB}));
    EXPECT_EQ(meter.registerWrites(), 2);
    EXPECT_EQ(meter.registerReads(), 3);
    ASSERT_EQ(meter.commandLog().size(), 5);
    EXPECT_EQ(meter.commandLog()[2].bytes, B({0, 0x55, 9}));
    EXPECT_EQ(meter.commandLog()[2].reply, B({0, 0x55, 9}));
}

TEST(SimMeter, ResyncDropsAHalfReceivedCommand) {
    SimMeter meter;
    meter.setReg(6, 66);
    meter.feed(B({1, 5}));
    EXPECT_TRUE(meter.midCommand());
    meter.resync();
    EXPECT_FALSE(meter.midCommand());
    EXPECT_EQ(meter.feed(B({1, 6, 0})), B({1, 6, 66}));
}

TEST(SimMeter, FaultSwitches) {
    struct Case {
        const char* name;
        void (*set)(SimMeter::Faults&);
        QByteArray handshake;
        QByteArray read;  // reply to 1, 20, 0 (register 20 holds 0x33)
        QByteArray write; // reply to 0, 21, 5
        bool written;
    };
    const Case cases[] = {
        {"none", [](SimMeter::Faults&) {}, B({0x56}), B({1, 20, 0x33}), B({0, 21, 5}), true},
        {"silent", [](SimMeter::Faults& f) { f.silent = true; }, {}, {}, {}, false},
        {"bad handshake", [](SimMeter::Faults& f) { f.badHandshake = true; }, B({0}), B({1, 20, 0x33}), B({0, 21, 5}), true},
        {"no handshake reply", [](SimMeter::Faults& f) { f.noHandshakeReply = true; }, {}, B({1, 20, 0x33}), B({0, 21, 5}), true},
        {"short replies", [](SimMeter::Faults& f) { f.shortReplies = true; }, B({0x56}), B({1, 20}), B({0, 21}), true},
        {"wrong echo", [](SimMeter::Faults& f) { f.wrongEcho = true; }, B({0x56}), B({1, 21, 0x33}), B({0, 22, 5}), true},
        {"failing registers", [](SimMeter::Faults& f) { f.failRegisters = {20, 21}; }, B({0x56}), {}, {}, false},
    };
    for (const Case& c : cases) {
        SimMeter meter;
        meter.setReg(20, 0x33);
        SimMeter::Faults f;
        c.set(f);
        meter.setFaults(f);
        EXPECT_EQ(meter.feed(B({0x55})), c.handshake) << c.name;
        EXPECT_EQ(meter.feed(B({1, 20, 0})), c.read) << c.name;
        EXPECT_EQ(meter.feed(B({0, 21, 5})), c.write) << c.name;
        EXPECT_EQ(meter.reg(21), c.written ? 5 : 0) << c.name;
    }
}

TEST(SimMeter, SecondHandshakeOnlyAnswersEverySecondOne) {
    SimMeter meter;
    SimMeter::Faults f;
    f.secondHandshakeOnly = true;
    meter.setFaults(f);
    QByteArray replies;
    for (int i = 0; i < 4; ++i) replies += meter.feed(B({0x55})).isEmpty() ? 'n' : 'y';
    EXPECT_EQ(replies, "nyny");
    meter.feed(B({0x55})); // ignored
    meter.setFaults(f);    // switching it on again starts over
    EXPECT_TRUE(meter.feed(B({0x55})).isEmpty());
    EXPECT_EQ(meter.feed(B({0x55})), B({0x56}));
}

namespace {
DMap Param(int start, int end, const char* name, const char* format, int capacity, const char* rule = "") {
    DMap p;
    p.Startreg = start;
    p.EndReg = end;
    p.Parameter = QString::fromLatin1(name);
    p.Format = QString::fromLatin1(format);
    p.Multiplier = QStringLiteral("1");
    p.Capacity = capacity;
    p.Rule = QString::fromLatin1(rule);
    return p;
}

quint64 Value(const QVector<quint8>& img, int start, int width) {
    quint64 v = 0;
    for (int i = 0; i < width; ++i) v = v * 256 + img[start + i];
    return v;
}
} // namespace

TEST(FactoryImage, PlausibleValuesPerFormatAndRule) {
    const QList<DMap> map = {
        Param(0, 3, "Serial Number", "Int32", 1),
        Param(4, 9, "Break Points", "Int16", 3, "A"),
        Param(10, 13, "Limits", "Int8", 4, "D"),
        Param(20, 27, "Tag (text)", "ASCII", 8),
        Param(30, 31, "Tag", "ASCII", 2),
        Param(40, 42, "Code", "Hex", 3),
        Param(200, 200, "Map", "Int8", 1),
        Param(254, 256, "Beyond", "Int8", 3), // the editor's extra register 256
    };
    const QVector<quint8> img = FactoryImageFromMap(map, 5);
    ASSERT_EQ(img.size(), 256);

    const quint64 serial = Value(img, 0, 4);
    EXPECT_GT(serial, 0u);
    EXPECT_LT(serial, 4294967295u / 2);

    quint64 previous = 0;
    for (int k = 0; k < 3; ++k) {
        const quint64 v = Value(img, 4 + 2 * k, 2);
        EXPECT_LT(v, 65535u / 2);
        if (k > 0) {
            EXPECT_GT(v, previous) << "ascending";
        }
        previous = v;
    }
    for (int k = 1; k < 4; ++k) EXPECT_LT(img[10 + k], img[10 + k - 1]) << "descending";
    EXPECT_LT(img[10], 255 / 2 + 1);

    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(img.constData() + 20), 8), QByteArray("Tag (tex"));
    EXPECT_EQ(img[30], 'T');
    EXPECT_EQ(img[31], 'a');
    EXPECT_EQ(img[32], 0);
    for (int r = 40; r <= 42; ++r) EXPECT_NE(img[r], 0) << r;

    EXPECT_EQ(img[200], 5) << "register 200 holds the map number";
    EXPECT_GT(img[254], 0);
    EXPECT_GT(img[255], 0);

    // Registers of no parameter stay 0.
    for (int r : {14, 19, 28, 29, 33, 39, 43, 100, 199, 201, 253}) EXPECT_EQ(img[r], 0) << r;
}

TEST(FactoryImage, ShortRegisterSpanAndOddFormatsWriteNothingOutside) {
    const QList<DMap> map = {
        Param(0, 2, "Wide", "Int16", 3), // room for one value only
        Param(5, 4, "Reversed", "Int8", 1),
        Param(-3, -1, "Negative", "Int8", 3),
        Param(8, 8, "Odd", "Int12", 1),
    };
    const QVector<quint8> img = FactoryImageFromMap(map, 300);
    EXPECT_GT(Value(img, 0, 2), 0u);
    EXPECT_EQ(img[2], 0) << "a second Int16 value does not fit into registers 0..2";
    for (int r = 3; r < 256; ++r)
        if (r != 200) {
            EXPECT_EQ(img[r], 0) << r;
        }
    EXPECT_EQ(img[200], 300 & 0xFF);
}

TEST(RegisterFile, RoundTripAndRejectedContent) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QVector<quint8> regs(256);
    for (int r = 0; r < 256; ++r) regs[r] = static_cast<quint8>(255 - r);
    const QString path = dir.filePath(QStringLiteral("regs.txt"));
    QString error;
    ASSERT_TRUE(WriteRegisterFile(path, regs, &error)) << qPrintable(error);
    QVector<quint8> back;
    ASSERT_TRUE(ReadRegisterFile(path, &back, &error)) << qPrintable(error);
    EXPECT_EQ(back, regs);

    auto writeText = [&](const QByteArray& text) {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(text);
    };
    QByteArray crlf;
    for (int r = 0; r < 256; ++r) crlf += QByteArray::number(r % 7) + "\r\n";
    writeText(crlf + "\r\n");
    ASSERT_TRUE(ReadRegisterFile(path, &back, &error)) << qPrintable(error);
    EXPECT_EQ(back[13], 13 % 7);

    QByteArray tooFew;
    for (int r = 0; r < 255; ++r) tooFew += "1\n";
    const QByteArray bad[] = {tooFew, tooFew + "1\n1\n", tooFew + "256\n", tooFew + "-1\n", tooFew + "x\n"};
    for (const QByteArray& text : bad) {
        writeText(text);
        back = regs;
        EXPECT_FALSE(ReadRegisterFile(path, &back, &error));
        EXPECT_EQ(back, regs) << "a rejected file leaves the registers alone";
    }
    EXPECT_FALSE(ReadRegisterFile(dir.filePath(QStringLiteral("missing.txt")), &back, &error));
}
