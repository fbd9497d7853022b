// The register browser without its window: a simulated meter behind the
// protocol object, scripted messages, and a view that records what it is told.
#include "registers/RegisterBrowser.h"

#include "meter/PICCore.h"
#include "meter/SimMeter.h"
#include "meter/SimSerialLayer.h"
#include "tests/support/ScriptedInteraction.h"
#include "tests/support/TestApp.h"

#include <gtest/gtest.h>
#include <memory>

namespace vorda::test {
namespace {

using Box = RegisterBrowser::Box;

class RecordingView : public RegisterBrowserView {
public:
    void CellChanged(int, int) override { ++cells; }
    void CounterChanged() override { counter << browser->ReclblText; }
    void BoxesChanged() override {}
    void ControlsChanged() override {}
    void CurrentCellChanged() override { ++moves; }
    void ProcessPendingMessages() override { ++processed; }
    void PassRunning(bool running) override { passes << running; }

    const RegisterBrowser* browser = nullptr;
    int cells = 0;
    QStringList counter;
    int moves = 0;
    int processed = 0;
    QList<bool> passes;
};

class RegisterBrowserTest : public ::testing::Test {
protected:
    static constexpr int kPort = 4;
    void SetUp() override {
        EnsureApplication();
        QVector<quint8> image(256);
        for (int r = 0; r < 256; ++r) image[r] = quint8((r * 7 + 3) & 0xFF);
        meter.setRegisters(image);
        layer.attach(kPort, &meter);
        link.ComPortNumber = kPort;
        core = std::make_unique<TPICCoreForm>(layer, link);
        ASSERT_TRUE(core->ConnectToPort(kPort));
        b.SetMeter({[this] { return core->Handshake(); },
                    [this](int fn, int reg, int v) { return core->GetSetRegister(fn, reg, v); }});
        view.browser = &b;
        b.SetView(&view);
    }
    void Fail(std::initializer_list<int> registers) {
        SimMeter::Faults f;
        f.failRegisters = QSet<int>(registers);
        meter.setFaults(f);
    }
    // The registers read and written since the log was cleared, in order, as
    // "r12" / "w12=65", with "hs" for each handshake.
    QStringList Exchanges() const {
        QStringList out;
        for (const SimMeter::Command& c : meter.commandLog()) {
            if (c.bytes.size() == 1) out << (quint8(c.bytes[0]) == 0x55 ? "hs" : "byte");
            else if (c.bytes[0] == 1) out << QStringLiteral("r%1").arg(quint8(c.bytes[1]));
            else out << QStringLiteral("w%1=%2").arg(quint8(c.bytes[1])).arg(quint8(c.bytes[2]));
        }
        return out;
    }
    void Type(Box box, const QString& text) {
        b.EditEnter(box);
        b.SetBoxText(box, text);
        b.EditExit(box);
    }
    QStringList BoxTexts() const { return {b.EditAText, b.EditDec8Text, b.EditHexText, b.EditBText}; }

    SimSerialLayer layer;
    SimMeter meter;
    MeterLinkState link;
    std::unique_ptr<TPICCoreForm> core;
    ScriptedInteraction ui;
    RegisterBrowser b{ui};
    RecordingView view;
};

TEST_F(RegisterBrowserTest, StartsEmptyWithHeaders) {
    EXPECT_EQ(b.RegCells[1][0], "0");
    EXPECT_EQ(b.RegCells[10][0], "9");
    EXPECT_EQ(b.RegCells[0][1], "0");
    EXPECT_EQ(b.RegCells[0][26], "250");
    EXPECT_EQ(b.RegCells[1][1], "");
    QString ascii;
    for (int c = 0; c < kAsciiGridCols; ++c) ascii += b.AsciiCells[c][0];
    EXPECT_EQ(ascii, "ASCII");
    EXPECT_EQ(b.DisplayFormat, "Dec8");
    EXPECT_TRUE(b.RefreshEnabled);
    EXPECT_FALSE(b.WriteEnabled);
    EXPECT_FALSE(b.NoteVisible);
    EXPECT_EQ(b.SelectedRegister, 0);
    EXPECT_EQ(meter.commandLog().size(), 0);
}

TEST_F(RegisterBrowserTest, SelectingACellReadsItAndFillsTheBoxes) {
    meter.setReg(41, 65);
    meter.clearLog();
    b.RegGridDecSelectCell(2, 5); // register 41
    EXPECT_EQ(Exchanges(), (QStringList{"hs", "r41"}));
    EXPECT_EQ(b.SelectedRegister, 41);
    EXPECT_EQ(b.RegCells[2][5], "65");
    EXPECT_EQ(b.AsciiCells[1][5], "A");
    EXPECT_EQ(b.StoredHex[2][5], "41");
    EXPECT_EQ(b.RegBackColour[2][5], kCellSilver);
    EXPECT_EQ(b.RegFontColour[2][5], kCellBlack);
    EXPECT_EQ(BoxTexts(), (QStringList{"A", "65", "41", "0100 0001"}));

    // The next cell takes the silver; the first turns white again.
    b.RegGridDecSelectCell(6, 26); // register 255
    EXPECT_EQ(b.RegBackColour[2][5], kCellWhite);
    EXPECT_EQ(b.RegBackColour[6][26], kCellSilver);
    EXPECT_EQ(b.SelectedRegister, 255);
    EXPECT_EQ(QPoint(b.LastSelCol, b.LastSelRow), QPoint(6, 26));
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(RegisterBrowserTest, AChangedValueIsRedUntilReadAgainUnchanged) {
    b.RegGridDecSelectCell(1, 1);
    EXPECT_EQ(b.RegFontColour[1][1], kCellBlack); // first reading
    meter.setReg(0, 99);
    b.RegGridDecSelectCell(1, 1);
    EXPECT_EQ(b.RegFontColour[1][1], kCellRed);
    EXPECT_EQ(b.RegCells[1][1], "99");
    b.RegGridDecSelectCell(1, 1);
    EXPECT_EQ(b.RegFontColour[1][1], kCellBlack);
}

TEST_F(RegisterBrowserTest, CellsPastRegister255AreRefused) {
    b.RegGridDecSelectCell(3, 3);
    meter.clearLog();
    for (int col = 7; col <= 10; ++col) b.RegGridDecSelectCell(col, 26);
    EXPECT_EQ(ui.texts(), QStringList(4, "Last Register in EEPROM is 255"));
    EXPECT_TRUE(meter.commandLog().isEmpty());
    EXPECT_EQ(b.RegBackColour[3][3], kCellSilver); // nothing else changed
    EXPECT_EQ(b.SelectedRegister, 22);
    EXPECT_EQ(QPoint(b.CurrentCol, b.CurrentRow), QPoint(10, 26)); // but the cell is current
}

TEST_F(RegisterBrowserTest, AFailedHandshakeReadsNothing) {
    b.RegGridDecSelectCell(3, 3);
    SimMeter::Faults f;
    f.badHandshake = true;
    meter.setFaults(f);
    meter.clearLog();
    b.RegGridDecSelectCell(4, 4);
    EXPECT_EQ(ui.texts(), QStringList{"Meter connection failure\n\rPlease repeat the operation"});
    EXPECT_EQ(Exchanges(), QStringList{"hs"});
    EXPECT_EQ(b.RegBackColour[3][3], kCellWhite);
    EXPECT_EQ(b.RegBackColour[4][4], kCellWhite);
    EXPECT_EQ(b.SelectedRegister, 22);
    EXPECT_EQ(b.RegCells[4][4], "");
}

// A failed read shows -1 / FFFFFFFF but never offers 255 to write.
TEST_F(RegisterBrowserTest, AFailedReadCannotBeWrittenBack) {
    Fail({33});
    b.RegGridDecSelectCell(4, 4);
    EXPECT_EQ(b.RegCells[4][4], "-1");
    EXPECT_EQ(b.StoredHex[4][4], "FFFFFFFF");
    EXPECT_EQ(BoxTexts(), (QStringList{"", "-1", "FFFFFFFF", ""}));
    b.RadioUnitsClick("Hex");
    EXPECT_EQ(b.RegCells[4][4], "FFFFFFFF");

    b.RefreshClick();
    ASSERT_TRUE(b.WriteEnabled);
    meter.clearLog();
    try {
        b.WriteRegClick();
        ADD_FAILURE() << "Write went on";
    } catch (const UserError& e) {
        EXPECT_EQ(e.text(), "Invalid: -1 - value not written");
    }
    EXPECT_TRUE(meter.commandLog().isEmpty());
    EXPECT_TRUE(ui.texts("confirm").isEmpty());
    // Leaving the boxes as they are is refused too.
    const QString hex = b.EditHexText, dec8 = b.EditDec8Text;
    Type(Box::Hex, hex);
    Type(Box::Dec8, dec8);
    EXPECT_EQ(ui.texts(), (QStringList{"Invalid: FFFFFFFF - values not refreshed", "Invalid: -1 - values not refreshed"}));
    EXPECT_EQ(meter.registerWrites(), 0);
}

TEST_F(RegisterBrowserTest, InputBoxesCheckWhatIsTyped) {
    const struct {
        Box box;
        const char* typed;
        const char* pending; // empty: refused
        QStringList boxes;   // ASCII, Dec8, Hex, Binary after leaving
    } cases[] = {
        {Box::Hex, "41", "41", {"A", "65", "41", "0100 0001"}},
        {Box::Hex, "ff", "ff", {"", "255", "ff", "1111 1111"}},
        {Box::Hex, "7", "07", {"", "7", "07", "0000 0111"}},
        {Box::Hex, "", "00", {"", "0", "00", "0000 0000"}},
        {Box::Hex, "G1", "", {}},
        {Box::Dec8, "65", "41", {"A", "65", "41", "0100 0001"}},
        {Box::Dec8, "0", "00", {"", "0", "00", "0000 0000"}},
        {Box::Dec8, "256", "", {}},
        {Box::Dec8, "-1", "", {}},
        {Box::Dec8, "x", "", {}},
        {Box::Dec8, "", "", {}},
        {Box::Dec8, "1234567890123", "", {}},
        {Box::A, "~", "7E", {"~", "126", "7E", "0111 1110"}},
        {Box::A, "\xE2\x82\xAC", "80", {"", "128", "80", "1000 0000"}}, // € in the program's code page
        {Box::A, "\xC4\x80", "", {}},                                   // Ā: no byte holds it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Type(Box::Dec8, "10"); // a previous valid entry
        ui.clear();
        b.WriteEnabled = false;
        b.NoteVisible = false;
        Type(c.box, QString::fromUtf8(c.typed));
        if (*c.pending) {
            EXPECT_TRUE(ui.shown.empty());
            EXPECT_EQ(b.PendingHex, c.pending);
            EXPECT_EQ(BoxTexts(), c.boxes);
            EXPECT_TRUE(b.WriteEnabled);
            EXPECT_TRUE(b.NoteVisible);
        } else {
            EXPECT_EQ(ui.texts(), QStringList{"Invalid: " + QString::fromUtf8(c.typed) + " - values not refreshed"});
            EXPECT_EQ(b.PendingHex, "0A");
            EXPECT_EQ(BoxTexts(), (QStringList{"", "10", "0A", "0000 1010"})); // back to the last valid entry
            EXPECT_FALSE(b.WriteEnabled);
        }
    }
}

TEST_F(RegisterBrowserTest, AsciiBoxEnterAndEmptyExit) {
    meter.setReg(0, ' ');
    b.RegGridDecSelectCell(1, 1);
    EXPECT_EQ(b.EditAText, " ");
    b.EditEnter(Box::A);
    EXPECT_EQ(b.EditAText, ""); // a lone blank is cleared for typing
    b.EditExit(Box::A);          // and leaving it empty does nothing
    EXPECT_EQ(b.EditDec8Text, "32");
    EXPECT_FALSE(b.WriteEnabled);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(RegisterBrowserTest, WriteWithNoCellSelectedWritesRegister0) {
    Type(Box::Hex, "41");
    meter.clearLog();
    b.WriteRegClick();
    EXPECT_EQ(ui.texts(), QStringList{"About to write .65 to Register 0"});
    EXPECT_EQ(Exchanges(), (QStringList{"hs", "w0=65"}));
    EXPECT_EQ(b.RegCells[1][1], "65");
    EXPECT_EQ(b.AsciiCells[0][1], "A");
    EXPECT_EQ(BoxTexts(), (QStringList{"A", "65", "41", "0100 0001"}));
    EXPECT_FALSE(b.NoteVisible);
    EXPECT_FALSE(b.WriteEnabled);
}

TEST_F(RegisterBrowserTest, WriteToTheSelectedRegisterAndItsFailures) {
    b.RegGridDecSelectCell(8, 13); // register 127
    Type(Box::Dec8, "200");

    ui.answer(false); // Cancel
    meter.clearLog();
    b.WriteRegClick();
    EXPECT_EQ(ui.texts("confirm"), QStringList{"About to write .200 to Register 127"});
    EXPECT_TRUE(meter.commandLog().isEmpty());
    EXPECT_FALSE(b.WriteEnabled);

    // A handshake that fails leaves Write enabled.
    b.RefreshClick();
    SimMeter::Faults f;
    f.noHandshakeReply = true;
    meter.setFaults(f);
    ui.clear();
    b.WriteRegClick();
    EXPECT_EQ(ui.texts().last(), "Meter connection failure\n\rPlease repeat the operation");
    EXPECT_TRUE(b.WriteEnabled);
    EXPECT_EQ(meter.registerWrites(), 0);

    // A write the meter does not confirm changes nothing on screen.
    f = {};
    f.wrongEcho = true;
    meter.setFaults(f);
    const QString before = b.RegCells[8][13];
    b.WriteRegClick();
    EXPECT_FALSE(b.WriteEnabled);
    EXPECT_TRUE(b.NoteVisible);
    EXPECT_EQ(b.RegCells[8][13], before);

    // A confirmed write shows the echoed value, in red as it changed.
    meter.setFaults({});
    b.RefreshClick();
    b.WriteRegClick();
    EXPECT_EQ(meter.reg(127), 200);
    EXPECT_EQ(b.RegCells[8][13], "200");
    EXPECT_EQ(b.RegFontColour[8][13], kCellRed);
    EXPECT_FALSE(b.NoteVisible);
}

TEST_F(RegisterBrowserTest, WriteNeedsAWholeNumber) {
    b.RefreshClick();
    EXPECT_THROW(b.WriteRegClick(), UserError); // empty box
    b.EditDec8Text = "abc";
    EXPECT_THROW(b.WriteRegClick(), UserError);
    b.EditDec8Text = "256";
    EXPECT_THROW(b.WriteRegClick(), UserError);
    EXPECT_EQ(meter.commandLog().size(), 0);
}

TEST_F(RegisterBrowserTest, ReadAllShowsEveryRegisterAndCountsAlong) {
    b.RegGridDecSelectCell(1, 1);
    meter.setReg(0, 77);
    meter.clearLog();
    b.ReadAllRegsClick();
    EXPECT_EQ(view.processed, 1);
    EXPECT_EQ(view.passes, (QList<bool>{true, false}));
    QStringList expected{"hs"};
    for (int r = 0; r < 256; ++r) expected << QStringLiteral("r%1").arg(r);
    EXPECT_EQ(Exchanges(), expected); // already on register 0: no further read
    EXPECT_EQ(view.counter.size(), 256);
    EXPECT_EQ(view.counter.last(), "255");
    EXPECT_EQ(b.OflblText, "/  255");
    EXPECT_TRUE(b.CounterVisible);
    for (int r = 0; r < 256; ++r) {
        int row = 0, col = 0;
        GetRowCol(r, row, col);
        ASSERT_EQ(b.RegCells[col][row], QString::number(meter.reg(r))) << r;
        ASSERT_EQ(b.AsciiCells[col - 1][row], GetASCII(IntToHex2(meter.reg(r)))) << r;
    }
    EXPECT_EQ(b.RegFontColour[1][1], kCellRed);
    EXPECT_EQ(b.RegFontColour[6][1], kCellBlack);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(RegisterBrowserTest, ReadAllEndsByMovingToRegister0) {
    const struct {
        QPoint current;
        QStringList after; // exchanges after the 256 reads
    } cases[] = {
        {{1, 1}, {}},
        {{5, 1}, {"hs", "r0"}},                    // same row: the move to column 1 is the only one
        {{1, 4}, {"hs", "r0"}},                    // same column
        {{4, 3}, {"hs", "r20", "hs", "r0"}},       // column 1 of its row first
        {{8, 26}, {"hs", "r250", "hs", "r0"}},     // from a cell past the last register
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.current.x() * 100 + c.current.y());
        b.RegGridDecSelectCell(c.current.x(), c.current.y());
        meter.clearLog();
        ui.clear();
        b.ReadAllRegsClick();
        const QStringList all = Exchanges();
        EXPECT_EQ(all.mid(257), c.after);
        EXPECT_EQ(QPoint(b.CurrentCol, b.CurrentRow), QPoint(1, 1));
        EXPECT_EQ(b.RegBackColour[1][1], kCellSilver);
        EXPECT_EQ(b.SelectedRegister, 0);
    }
}

TEST_F(RegisterBrowserTest, ReadAllStopsAfterTheFourthFailure) {
    Fail({3, 7, 9, 12, 14});
    b.RegGridDecSelectCell(3, 2); // register 12: fails
    meter.clearLog();
    ui.clear();
    b.ReadAllRegsClick();
    EXPECT_EQ(ui.texts(), QStringList{"Too many errors! Read All Registers terminating."});
    QStringList expected{"hs"};
    for (int r = 0; r <= 12; ++r) expected << QStringLiteral("r%1").arg(r);
    expected << "hs" << "r10" << "hs" << "r0"; // the final move
    EXPECT_EQ(Exchanges(), expected);
    EXPECT_EQ(view.counter.last(), "12");
    EXPECT_EQ(view.passes, (QList<bool>{true, false}));
    EXPECT_EQ(b.RegCells[4][1], "-1");  // a failure within the limit shows as -1
    EXPECT_EQ(b.RegCells[3][2], "");    // the one that ended the pass is left empty
    EXPECT_EQ(b.RegCells[4][2], "");    // and nothing after it was read
    EXPECT_EQ(b.RegCells[2][2], QString::number(meter.reg(11)));
}

TEST_F(RegisterBrowserTest, ReadAllWithoutHandshakeReadsNothing) {
    SimMeter::Faults f;
    f.silent = true;
    meter.setFaults(f);
    meter.clearLog();
    b.ReadAllRegsClick();
    EXPECT_EQ(ui.texts(), QStringList{"Meter connection failure\n\rPlease repeat the operation"});
    EXPECT_EQ(meter.registerReads(), 0);
    EXPECT_FALSE(b.CounterVisible);
}

TEST_F(RegisterBrowserTest, DisplayFormatRedrawsEveryCell) {
    meter.setReg(0, 0xAB);
    b.RegGridDecSelectCell(1, 1);
    b.RadioUnitsClick("Hex");
    EXPECT_EQ(b.RegCells[1][1], "AB");
    EXPECT_EQ(b.RegCells[2][1], ""); // never read
    b.RegGridDecSelectCell(2, 1);
    EXPECT_EQ(b.RegCells[2][1], IntToHex2(meter.reg(1)));
    b.RadioUnitsClick("Dec8");
    EXPECT_EQ(b.RegCells[1][1], "171");
}

} // namespace
} // namespace vorda::test
