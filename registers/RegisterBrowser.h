#pragma once
#include "RegisterConversions.h"

#include <QString>
#include <array>
#include <functional>

namespace vorda {
class UserInteraction;

// Colours of the register cells, as 0xRRGGBB.
using CellColour = quint32;
inline constexpr CellColour kCellBlack = 0x000000;
inline constexpr CellColour kCellWhite = 0xFFFFFF;
inline constexpr CellColour kCellSilver = 0xC0C0C0;
inline constexpr CellColour kCellRed = 0xFF0000;

// The meter as the browser uses it: the handshake and one register exchange.
struct RegisterMeter {
    std::function<bool()> Handshake;
    // Byte 2 of the reply, or -1 on any failure.
    std::function<int(int FnCode, int RegisterNumber, int Value)> GetSetRegister;
    // The meter's device went away (none: it never does).
    std::function<bool()> DeviceLost;
    // The user asked the running pass to stop (none: never).
    std::function<bool()> StopRequested;
};

// What the window shows of the browser; told after every change.
class RegisterBrowserView {
public:
    virtual ~RegisterBrowserView() = default;
    // A register cell changed text or colours; its character cell with it.
    virtual void CellChanged(int col, int row) = 0;
    // The Read All Registers counter changed: show it at once.
    virtual void CounterChanged() = 0;
    // The four boxes were filled.
    virtual void BoxesChanged() = 0;
    // Buttons, the note or the display format changed.
    virtual void ControlsChanged() = 0;
    // The grid's current cell moved without the user.
    virtual void CurrentCellChanged() = 0;
    // Handles the window messages waiting now, once.
    virtual void ProcessPendingMessages() = 0;
    // Read All Registers is reading: nothing but the counter is repainted
    // until it stops.
    virtual void PassRunning(bool running) = 0;
};

// The register browser without its window: the grids as tables of texts and
// colours, the boxes, the selection and the operations of the handlers.
// Messages go through the user-interaction seam; an error that ends a command
// is thrown as UserError.
class RegisterBrowser {
public:
    enum class Box { A, Dec8, Hex };

    explicit RegisterBrowser(UserInteraction& ui);

    void SetMeter(RegisterMeter meter) { meter_ = std::move(meter); }
    void SetView(RegisterBrowserView* view) { view_ = view; }

    // Black on white everywhere, no silver cell, headers written, "Dec8",
    // boxes empty, Refresh enabled, Write disabled, note and counter hidden.
    void FormCreate();
    void WriteGridLabels();

    // Fills the four boxes from a stored hexadecimal text; empty text
    // empties them.
    bool FillEdits(const QString& HexValue);
    // Shows the result v of an exchange with register r in its cell.
    void ShowRegisterValue(int r, int v);

    // A register cell became the grid's current cell (mouse or keys).
    void RegGridDecSelectCell(int col, int row);
    void RadioUnitsClick(const QString& format);
    // Typing into a box.
    void SetBoxText(Box box, const QString& text);
    void EditEnter(Box box);
    void EditExit(Box box);
    void RefreshClick();
    void WriteRegClick();
    void ReadAllRegsClick();

    // ---- State ----
    // [column][row]
    std::array<std::array<QString, 28>, kRegGridCols> StoredHex;
    std::array<std::array<CellColour, kRegGridRows>, kRegGridCols> RegFontColour;
    std::array<std::array<CellColour, kRegGridRows>, kRegGridCols> RegBackColour;
    int LastSelCol = -1;
    int LastSelRow = -1;
    int SelectedRegister = 0;
    QString DisplayFormat = QStringLiteral("Dec8");
    QString PendingHex;

    // The grids' texts: the register grid and the character grid beside it.
    std::array<std::array<QString, kRegGridRows>, kRegGridCols> RegCells;
    std::array<std::array<QString, kRegGridRows>, kAsciiGridCols> AsciiCells;
    // The grid's current cell; (1, 1) when the window is made.
    int CurrentCol = 1;
    int CurrentRow = 1;

    // Boxes and controls.
    QString EditAText, EditDec8Text, EditHexText, EditBText;
    bool RefreshEnabled = true;
    bool WriteEnabled = false;
    bool NoteVisible = false;     // "New values not written to device"
    bool CounterVisible = false;  // Reclbl, Oflbl
    QString ReclblText, OflblText;

    static bool IsRegisterCell(int col, int row) { return col >= 1 && col < kRegGridCols && row >= 1 && row < kRegGridRows; }

private:
    bool Handshake();
    void MoveCurrentCell(int col, int row);
    void SetBackColour(int col, int row, CellColour colour);
    void AcceptEntry(const QString& hex);
    void RejectEntry(const QString& text);
    QString& BoxText(Box box);

    void Cell(int col, int row) { if (view_) view_->CellChanged(col, row); }
    void Boxes() { if (view_) view_->BoxesChanged(); }
    void Controls() { if (view_) view_->ControlsChanged(); }

    UserInteraction& ui_;
    RegisterMeter meter_;
    RegisterBrowserView* view_ = nullptr;
};

inline constexpr const char* kMeterConnectionFailure = "Meter connection failure\n\rPlease repeat the operation";

} // namespace vorda
