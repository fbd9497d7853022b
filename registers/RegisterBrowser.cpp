#include "RegisterBrowser.h"

#include "base/UserError.h"
#include "base/UserInteraction.h"

namespace vorda {
namespace {
constexpr int kLastRow = 26;
constexpr int kFirstNonRegisterCol = 7; // row 26, columns 7 to 10: registers 256 to 259
const QString kDec8 = QStringLiteral("Dec8");
const QString kHex = QStringLiteral("Hex");
} // namespace

RegisterBrowser::RegisterBrowser(UserInteraction& ui) : ui_(ui) { FormCreate(); }

void RegisterBrowser::FormCreate() {
    for (auto& col : StoredHex) col.fill(QString());
    for (auto& col : RegFontColour) col.fill(kCellBlack);
    for (auto& col : RegBackColour) col.fill(kCellWhite);
    for (auto& col : RegCells) col.fill(QString());
    for (auto& col : AsciiCells) col.fill(QString());
    LastSelCol = -1;
    LastSelRow = -1;
    SelectedRegister = 0;
    PendingHex.clear();
    CurrentCol = 1;
    CurrentRow = 1;
    WriteGridLabels();
    DisplayFormat = kDec8;
    RefreshEnabled = true;
    WriteEnabled = false;
    NoteVisible = false;
    CounterVisible = false;
    ReclblText.clear();
    OflblText.clear();
    FillEdits(QString());
    Controls();
}

void RegisterBrowser::WriteGridLabels() {
    for (int c = 1; c < kRegGridCols; ++c) RegCells[c][0] = QString::number(c - 1);
    for (int w = 1; w < kRegGridRows; ++w) RegCells[0][w] = QString::number((w - 1) * 10);
    const QString ascii = QStringLiteral("ASCII");
    for (int c = 1; c <= ascii.size(); ++c) AsciiCells[c][0] = ascii.at(c - 1);
}

bool RegisterBrowser::FillEdits(const QString& HexValue) {
    if (HexValue.isEmpty()) {
        EditAText.clear();
        EditDec8Text.clear();
        EditHexText.clear();
        EditBText.clear();
    } else {
        // A failed read (FFFFFFFF) is no byte: the Dec8 box shows -1 as the
        // cell does, and neither a bit pattern nor a character is made up.
        const int value = HexToInt(HexValue);
        const bool isByte = value >= 0 && value <= 255;
        EditHexText = HexValue;
        EditDec8Text = QString::number(value);
        const QString bits = IntToBinStr(value);
        EditBText = isByte ? bits.left(4) + QLatin1Char(' ') + bits.mid(4, 4) : QString();
        EditAText = isByte ? GetASCII(HexValue) : QString();
    }
    Boxes();
    return true;
}

void RegisterBrowser::ShowRegisterValue(int r, int v) {
    const QString hex = IntToHex2(v);
    int row = 0, col = 0;
    GetRowCol(r, row, col);
    QString& stored = StoredHex[col][row];
    RegFontColour[col][row] = (!stored.isEmpty() && stored != hex) ? kCellRed : kCellBlack;
    stored = hex;
    AsciiCells[col - 1][row] = GetASCII(hex);
    RegCells[col][row] = ConvertGridValue(hex, DisplayFormat);
    Cell(col, row);
}

bool RegisterBrowser::Handshake() { return meter_.Handshake && meter_.Handshake(); }

void RegisterBrowser::SetBackColour(int col, int row, CellColour colour) {
    RegBackColour[col][row] = colour;
    Cell(col, row);
}

void RegisterBrowser::RegGridDecSelectCell(int col, int row) {
    if (!IsRegisterCell(col, row)) return;
    const bool moved = col != CurrentCol || row != CurrentRow;
    CurrentCol = col;
    CurrentRow = row;
    if (moved && view_) view_->CurrentCellChanged();
    if (row == kLastRow && col >= kFirstNonRegisterCol) {
        ui_.ShowMessage(QStringLiteral("Last Register in EEPROM is 255"));
        return;
    }
    if (LastSelCol >= 0 && LastSelRow >= 0) SetBackColour(LastSelCol, LastSelRow, kCellWhite);
    if (!Handshake()) {
        ui_.ShowMessage(QString::fromLatin1(kMeterConnectionFailure));
        return;
    }
    SetBackColour(col, row, kCellSilver);
    SelectedRegister = GetReg(row, col);
    const int v = meter_.GetSetRegister(1, SelectedRegister, 0);
    ShowRegisterValue(SelectedRegister, v);
    FillEdits(StoredHex[col][row]);
    LastSelCol = col;
    LastSelRow = row;
}

void RegisterBrowser::MoveCurrentCell(int col, int row) {
    if (col == CurrentCol && row == CurrentRow) return;
    RegGridDecSelectCell(col, row);
}

void RegisterBrowser::RadioUnitsClick(const QString& format) {
    DisplayFormat = format == kHex ? kHex : kDec8;
    for (int c = 1; c < kRegGridCols; ++c)
        for (int w = 1; w < kRegGridRows; ++w) {
            RegCells[c][w] = ConvertGridValue(StoredHex[c][w], DisplayFormat);
            Cell(c, w);
        }
    Controls();
}

QString& RegisterBrowser::BoxText(Box box) {
    switch (box) {
    case Box::A: return EditAText;
    case Box::Dec8: return EditDec8Text;
    case Box::Hex: break;
    }
    return EditHexText;
}

void RegisterBrowser::SetBoxText(Box box, const QString& text) { BoxText(box) = text; }

void RegisterBrowser::EditEnter(Box box) {
    RefreshEnabled = true;
    if (box == Box::A && EditAText == QLatin1String(" ")) {
        EditAText.clear();
        Boxes();
    }
    Controls();
}

void RegisterBrowser::EditExit(Box box) {
    const QString text = BoxText(box);
    switch (box) {
    case Box::A: {
        if (text.isEmpty()) return;
        // The byte of the character in the program's code page; a character
        // without one is refused rather than cut to a different byte.
        const int value = CharToRegisterValue(text);
        if (value < 0) return RejectEntry(text);
        return AcceptEntry(IntToHex2(value));
    }
    case Box::Dec8: {
        int value = 0;
        if (!ParseWholeNumber(text, &value) || value < 0 || value > 255) return RejectEntry(text);
        return AcceptEntry(IntToHex2(value));
    }
    case Box::Hex: {
        const QString padded = text.rightJustified(2, QLatin1Char('0'));
        const int value = HexToInt(padded);
        if (value < 0 || value > 255) return RejectEntry(text);
        return AcceptEntry(padded);
    }
    }
}

void RegisterBrowser::AcceptEntry(const QString& hex) {
    PendingHex = hex;
    FillEdits(PendingHex);
    WriteEnabled = true;
    NoteVisible = true;
    Controls();
}

void RegisterBrowser::RejectEntry(const QString& text) {
    ui_.ShowMessage(QStringLiteral("Invalid: ") + text + QStringLiteral(" - values not refreshed"));
    FillEdits(PendingHex);
}

void RegisterBrowser::RefreshClick() {
    RefreshEnabled = false;
    WriteEnabled = true;
    Controls();
}

void RegisterBrowser::WriteRegClick() {
    // Only a byte typed or read reaches the meter: no number, or one outside
    // 0 to 255 (a failed read shows -1), ends the command before any exchange.
    const QString text = EditDec8Text;
    int v = 0;
    if (!ParseWholeNumber(text, &v) || v < 0 || v > 255)
        throw UserError(QStringLiteral("Invalid: ") + text + QStringLiteral(" - value not written"));
    if (!ui_.Confirm(QStringLiteral("About to write .") + QString::number(v) + QStringLiteral(" to Register ") +
                     QString::number(SelectedRegister))) {
        WriteEnabled = false;
        Controls();
        return;
    }
    if (!Handshake()) {
        ui_.ShowMessage(QString::fromLatin1(kMeterConnectionFailure));
        return;
    }
    const int result = meter_.GetSetRegister(0, SelectedRegister, v);
    WriteEnabled = false;
    if (result >= 0) {
        ShowRegisterValue(SelectedRegister, result);
        FillEdits(IntToHex2(result));
        NoteVisible = false;
    }
    Controls();
}

void RegisterBrowser::ReadAllRegsClick() {
    if (view_) view_->ProcessPendingMessages();
    if (!Handshake()) {
        ui_.ShowMessage(QString::fromLatin1(kMeterConnectionFailure));
        return;
    }
    int errors = 0;
    if (view_) view_->PassRunning(true);
    CounterVisible = true;
    OflblText = QStringLiteral("/  ") + QString::number(kRegisterCount - 1);
    int stoppedAt = -1;
    for (int r = 0; r < kRegisterCount; ++r) {
        if (meter_.StopRequested && meter_.StopRequested()) {
            stoppedAt = r;
            break;
        }
        ReclblText = QString::number(r);
        if (view_) view_->CounterChanged();
        int row = 0, col = 0;
        GetRowCol(r, row, col);
        RegFontColour[col][row] = kCellBlack;
        RegCells[col][row].clear();
        Cell(col, row);
        const int v = meter_.GetSetRegister(1, r, 0);
        // A device that went away ends the pass at once; the program says so.
        if (v < 0 && meter_.DeviceLost && meter_.DeviceLost()) break;
        if (v < 0 && ++errors > 3) break;
        ShowRegisterValue(r, v);
    }
    if (view_) view_->PassRunning(false);
    if (errors > 3) ui_.ShowMessage(QStringLiteral("Too many errors! Read All Registers terminating."));
    if (stoppedAt >= 0)
        ui_.ShowMessage(QStringLiteral("Read All Registers stopped: %1 of %2 registers read").arg(stoppedAt).arg(kRegisterCount));
    MoveCurrentCell(1, CurrentRow);
    MoveCurrentCell(1, 1);
}

} // namespace vorda
