// The register browser without its window: a simulated meter behind the
// protocol object, scripted messages, and a view that records what it is told.
#include "registers/RegisterBrowser.h"

#include "windows/PICCore.h"
#include "meter/SimMeter.h"
#include "meter/SimSerialLayer.h"
#include "tests/support/ScriptedInteraction.h"
#include "tests/support/TestApp.h"

#include <QPoint>
#include <gtest/gtest.h>
#include <memory>

namespace vorda::test {
namespace {

using Box = RegisterBrowser::Box;
const QString kLinkFailure = QStringLiteral("Meter connection failure\n\rPlease repeat the operation");

class RecordingView : public RegisterBrowserView {
public:
    void CellChanged(int, int) override {}
    void CounterChanged() override { ++counted; }
    void BoxesChanged() override {}
    void ControlsChanged() override {}
    void CurrentCellChanged() override {}
    void ProcessPendingMessages() override { ++processed; }
    void PassRunning(bool running) override { passes << running; }
    int counted = 0;
    int processed = 0;
    QList<bool> passes;
};

class RegisterBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        for (int r = 0; r < 256; ++r) meter.setReg(r, quint8((r * 7 + 3) & 0xFF));
        layer.attach(4, &meter);
        link.ComPortNumber = 4;
        core = std::make_unique<TPICCoreForm>(layer, link);
        ASSERT_TRUE(core->ConnectToPort(4));
        b.SetMeter({[this] { return core->Handshake(); },
                    [this](int fn, int reg, int v) { return core->GetSetRegister(fn, reg, v); }});
        b.SetView(&view);
    }
    void SetFaults(std::function<void(SimMeter::Faults&)> set) {
        SimMeter::Faults f;
        set(f);
        meter.setFaults(f);
        meter.clearLog();
        ui.clear();
    }
    // The exchanges since the log was cleared: "hs", "r12", "w12=65".
    QStringList Exchanges() const {
        QStringList out;
        for (const SimMeter::Command& c : meter.commandLog()) {
            if (c.bytes.size() == 1) out << "hs";
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

TEST_F(RegisterBrowserTest, SelectingCellsReadsThemInRedWhenChanged) {
    meter.setReg(41, 65);
    meter.clearLog();
    b.RegGridDecSelectCell(2, 5); // register 41, first reading: black
    EXPECT_EQ(Exchanges(), (QStringList{"hs", "r41"}));
    EXPECT_EQ(b.RegCells[2][5], "65");
    EXPECT_EQ(b.AsciiCells[1][5], "A");
    EXPECT_EQ(b.RegFontColour[2][5], kCellBlack);
    EXPECT_EQ(b.RegBackColour[2][5], kCellSilver);
    EXPECT_EQ(BoxTexts(), (QStringList{"A", "65", "41", "0100 0001"}));

    meter.setReg(41, 66);
    b.RegGridDecSelectCell(2, 5);
    EXPECT_EQ(b.RegFontColour[2][5], kCellRed);
    b.RegGridDecSelectCell(2, 5);
    EXPECT_EQ(b.RegFontColour[2][5], kCellBlack);

    b.RegGridDecSelectCell(6, 26); // register 255 takes the silver
    EXPECT_EQ(b.RegBackColour[2][5], kCellWhite);
    EXPECT_EQ(b.SelectedRegister, 255);

    // Past register 255: refused, nothing read, but the cell is current.
    meter.clearLog();
    b.RegGridDecSelectCell(7, 26);
    EXPECT_EQ(ui.texts(), QStringList{"Last Register in EEPROM is 255"});
    EXPECT_TRUE(meter.commandLog().isEmpty());
    EXPECT_EQ(b.RegBackColour[6][26], kCellSilver);
    EXPECT_EQ(QPoint(b.CurrentCol, b.CurrentRow), QPoint(7, 26));
}

TEST_F(RegisterBrowserTest, AFailedHandshakeExchangesNothingElse) {
    b.RegGridDecSelectCell(3, 3);
    SetFaults([](SimMeter::Faults& f) { f.badHandshake = true; });
    b.RegGridDecSelectCell(4, 4);
    b.ReadAllRegsClick();
    EXPECT_EQ(ui.texts(), QStringList(2, kLinkFailure));
    EXPECT_EQ(Exchanges(), (QStringList{"hs", "hs"}));
    EXPECT_EQ(b.RegBackColour[3][3], kCellWhite); // the old silver is cleared first
    EXPECT_EQ(b.RegBackColour[4][4], kCellWhite);
    EXPECT_EQ(b.SelectedRegister, 22);
    EXPECT_FALSE(b.CounterVisible);
}

// A failed read shows -1 / FFFFFFFF, and nothing offers 255 to write.
TEST_F(RegisterBrowserTest, AFailedReadCannotBeWrittenBack) {
    SetFaults([](SimMeter::Faults& f) { f.failRegisters = {33}; });
    b.RegGridDecSelectCell(4, 4);
    EXPECT_EQ(b.RegCells[4][4], "-1");
    EXPECT_EQ(BoxTexts(), (QStringList{"", "-1", "FFFFFFFF", ""}));
    b.RadioUnitsClick("Hex");
    EXPECT_EQ(b.RegCells[4][4], "FFFFFFFF");

    b.RefreshClick();
    try {
        b.WriteRegClick();
        ADD_FAILURE() << "Write went on";
    } catch (const UserError& e) {
        EXPECT_EQ(e.text(), "Invalid: -1 - value not written");
    }
    for (const char* typed : {"", "abc", "256"}) {
        b.EditDec8Text = typed;
        EXPECT_THROW(b.WriteRegClick(), UserError) << typed;
    }
    const QString hex = "FFFFFFFF", dec8 = "-1";
    Type(Box::Hex, hex);
    Type(Box::Dec8, dec8);
    EXPECT_EQ(ui.texts(), (QStringList{"Invalid: FFFFFFFF - values not refreshed", "Invalid: -1 - values not refreshed"}));
    EXPECT_EQ(Exchanges(), (QStringList{"hs", "r33"}));
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
        {Box::Hex, "", "00", {"", "0", "00", "0000 0000"}},
        {Box::Hex, "G1", "", {}},
        {Box::Dec8, "65", "41", {"A", "65", "41", "0100 0001"}},
        {Box::Dec8, "256", "", {}},
        {Box::Dec8, "-1", "", {}},
        {Box::Dec8, "x", "", {}},
        {Box::Dec8, "1234567890123", "", {}},
        {Box::A, "~", "7E", {"~", "126", "7E", "0111 1110"}},
        {Box::A, "\xE2\x82\xAC", "80", {"", "128", "80", "1000 0000"}}, // the euro sign's one byte
        {Box::A, "\xC4\x80", "", {}},                                   // no byte holds it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        Type(Box::Dec8, "10"); // the previous valid entry
        ui.clear();
        b.WriteEnabled = b.NoteVisible = false;
        Type(c.box, QString::fromUtf8(c.typed));
        if (*c.pending) {
            EXPECT_TRUE(ui.shown.empty());
            EXPECT_EQ(b.PendingHex, c.pending);
            EXPECT_EQ(BoxTexts(), c.boxes);
        } else {
            EXPECT_EQ(ui.texts(), QStringList{"Invalid: " + QString::fromUtf8(c.typed) + " - values not refreshed"});
            EXPECT_EQ(BoxTexts(), (QStringList{"", "10", "0A", "0000 1010"}));
        }
        EXPECT_EQ(b.WriteEnabled, *c.pending != 0);
        EXPECT_EQ(b.NoteVisible, *c.pending != 0);
    }
    // Entering the ASCII box clears a lone blank; leaving it empty changes nothing.
    b.EditAText = " ";
    b.EditEnter(Box::A);
    b.EditExit(Box::A);
    EXPECT_EQ(BoxTexts(), (QStringList{"", "10", "0A", "0000 1010"}));
}

TEST_F(RegisterBrowserTest, WriteAsksWritesAndShowsTheEcho) {
    Type(Box::Hex, "41"); // no cell selected yet: register 0
    meter.clearLog();
    b.WriteRegClick();
    EXPECT_EQ(ui.texts(), QStringList{"About to write .65 to Register 0"});
    EXPECT_EQ(Exchanges(), (QStringList{"hs", "w0=65"}));
    EXPECT_EQ(b.RegCells[1][1], "65");
    EXPECT_EQ(b.AsciiCells[0][1], "A");
    EXPECT_FALSE(b.NoteVisible);
    EXPECT_FALSE(b.WriteEnabled);

    b.RegGridDecSelectCell(8, 13); // register 127
    Type(Box::Dec8, "200");
    ui.answer(false);
    SetFaults([](SimMeter::Faults&) {});
    b.WriteRegClick(); // Cancel
    EXPECT_EQ(ui.texts(), QStringList{"About to write .200 to Register 127"});
    EXPECT_FALSE(b.WriteEnabled);

    b.RefreshClick();
    SetFaults([](SimMeter::Faults& f) { f.noHandshakeReply = true; });
    b.WriteRegClick();
    EXPECT_EQ(ui.texts().last(), kLinkFailure);
    EXPECT_TRUE(b.WriteEnabled); // still enabled after a failed handshake

    SetFaults([](SimMeter::Faults& f) { f.wrongEcho = true; });
    b.WriteRegClick(); // not confirmed by the meter: only Write changes
    EXPECT_FALSE(b.WriteEnabled);
    EXPECT_TRUE(b.NoteVisible);
    EXPECT_EQ(b.RegCells[8][13], QString::number((127 * 7 + 3) & 0xFF));

    SetFaults([](SimMeter::Faults&) {});
    b.WriteRegClick();
    EXPECT_EQ(Exchanges(), (QStringList{"hs", "w127=200"}));
    EXPECT_EQ(b.RegCells[8][13], "200");
    EXPECT_EQ(b.RegFontColour[8][13], kCellRed);
}

TEST_F(RegisterBrowserTest, ReadAllShowsEveryRegister) {
    b.RegGridDecSelectCell(1, 1);
    meter.setReg(0, 77);
    meter.clearLog();
    b.ReadAllRegsClick();
    EXPECT_EQ(view.processed, 1);
    EXPECT_EQ(view.passes, (QList<bool>{true, false}));
    EXPECT_EQ(view.counted, 256);
    EXPECT_EQ(b.ReclblText + b.OflblText, "255/  255");
    const QStringList all = Exchanges();
    EXPECT_EQ(all.size(), 257); // already on register 0: nothing more read
    for (int r = 0; r < 256; ++r) {
        int row = 0, col = 0;
        GetRowCol(r, row, col);
        ASSERT_EQ(all[r + 1], QStringLiteral("r%1").arg(r));
        ASSERT_EQ(b.RegCells[col][row], QString::number(meter.reg(r))) << r;
        ASSERT_EQ(b.AsciiCells[col - 1][row], GetASCII(IntToHex2(meter.reg(r)))) << r;
    }
    EXPECT_EQ(b.RegFontColour[1][1], kCellRed);
    EXPECT_EQ(b.RegFontColour[2][1], kCellBlack);
}

TEST_F(RegisterBrowserTest, ReadAllEndsByMovingToRegister0) {
    const struct {
        QPoint current;
        QStringList after; // exchanges after the pass
    } cases[] = {
        {{5, 1}, {"hs", "r0"}},
        {{1, 4}, {"hs", "r0"}},
        {{4, 3}, {"hs", "r20", "hs", "r0"}}, // column 1 of its row first
        {{8, 26}, {"hs", "r250", "hs", "r0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.current.x() * 100 + c.current.y());
        b.RegGridDecSelectCell(c.current.x(), c.current.y());
        meter.clearLog();
        b.ReadAllRegsClick();
        EXPECT_EQ(Exchanges().mid(257), c.after);
        EXPECT_EQ(b.RegBackColour[1][1], kCellSilver);
        EXPECT_EQ(QPoint(b.CurrentCol, b.CurrentRow), QPoint(1, 1));
    }
}

TEST_F(RegisterBrowserTest, ReadAllStopsAfterTheFourthFailure) {
    b.RegGridDecSelectCell(3, 2);
    SetFaults([](SimMeter::Faults& f) { f.failRegisters = {3, 7, 9, 12, 14}; });
    b.ReadAllRegsClick();
    EXPECT_EQ(ui.texts(), QStringList{"Too many errors! Read All Registers terminating."});
    QStringList expected{"hs"};
    for (int r = 0; r <= 12; ++r) expected << QStringLiteral("r%1").arg(r);
    EXPECT_EQ(Exchanges(), expected << "hs" << "r10" << "hs" << "r0"); // then the final move
    EXPECT_EQ(b.ReclblText, "12");
    EXPECT_EQ(b.RegCells[4][1], "-1"); // within the limit: shown as -1
    EXPECT_EQ(b.RegCells[3][2], "");   // the one that ended the pass is left empty
}

} // namespace
} // namespace vorda::test
