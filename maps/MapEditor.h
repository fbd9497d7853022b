#pragma once
#include "maps/DMap.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

namespace vorda {
class UserInteraction;

// The name of the temporary map that "Preview" writes and the main window reads.
inline constexpr char kTempMapFileName[] = "TempMapFile.map";

// The formats of the Format box, in its order.
const QStringList& FormatNames();

// True when a map file name (without folder) may be saved: it begins with
// ZUVMAP (any case), an optional final ".map" follows the map number, and the
// number is written plainly (no sign, no leading zeros) from 0 to 127, so
// that the name is the one a meter's map number leads to.
bool MapNameFollowsRule(const QString& fileName);

// The text of a parameter's page-layout row: name, ", " and format.
QString BuildParameterString(const QString& Parameter, const QString& Format);

// The Selector's register label: the number after six spaces below 10, two
// spaces from 10 to 99, none from 100.
QString RegisterLabel(int reg);

// The map editor without its window: the Selector grid (one row per
// register), the page layout grid, the definition controls' texts and
// states, the selection flags and the operations of the editor's handlers.
// Messages and dialogs go through the user-interaction seam. An error that
// ends a command (an order that is no integer, a file that cannot be opened
// or written) is thrown as UserError after the grids were left whole.
class MapEditor {
public:
    // Selector grid: title row 0 and register rows 1 to 257 (register row - 1).
    static constexpr int kSelectorRows = 258;
    static constexpr int kSelectorCols = 8;
    enum SelectorColumn { RegCol = 0, NameCol, FormatCol, MultiplierCol, AccessCol, OrderCol, RuleCol, TypeCol };
    // Page layout: title row 0, then one row per parameter or heading.
    static constexpr int kLayoutCols = 6;
    enum LayoutColumn { LayOrderCol = 0, LayStartCol, LayEndCol, LayParamCol, LayAlwaysCol, LayToolTipCol };
    // Row 257 (register 256, which the meter lacks) is offered but refused by
    // the grid check.

    // Where a command asks the window to put the input focus.
    enum class Focus { None, Selector, Name, Format, Multiplier, Layout };

    // The texts and states of the definition controls and labels that the
    // operations read and set; the window shows them.
    struct Controls {
        QString ParamNameInput;
        QString Format;
        QString Multiplier;
        QString AccessCombo;
        QString PTypeCombo;
        QString RuleCombo;
        QString DataCount;
        QString StartRowLbl;
        QString EndRowLbl;
        QString MapFileNow = QStringLiteral("(none)");
        bool MultiplierVisible = false;
        bool RuleVisible = false;
        bool TypeVisible = true;
        bool ClearEnabled = false;
        bool ClearChecked = false;
        bool GridOKVisible = false;
        bool GridNOTOKVisible = false;
        bool HeaderButtonsEnabled = false;
    };

    explicit MapEditor(UserInteraction& ui);

    // ---- grids
    const QString& Cell(int col, int row) const { return selector_[row][col]; }
    // The name cell of a register row is silver while it marks a range end.
    bool IsSilver(int row) const { return silver_[row]; }
    int LayoutRowCount() const { return int(layout_.size()); }
    const QString& LayoutCell(int col, int row) const { return layout_[row][col]; }
    bool IsHeaderRow(int row) const;

    // ---- state
    Controls controls;
    int SelStartRow = 0;
    int SelEndRow = 0;
    bool StartSet = false;
    bool EndSet = false;
    bool ParamLoaded = false;
    bool ValuesPending = false;
    bool SelDiv2 = false;
    bool SelDiv4 = false;
    bool MapChanged = false;
    bool LayoutEmpty = true;
    int LayoutSelRow = 0;
    QList<Map> EditorMap;
    int EditorMapCount = 0;
    bool GridIsOK = false;
    QString EditorMapFile;
    // The parameter types offered by the Type box after its empty entry.
    QStringList PTypeNames;
    // The focus the last command asked for; the window takes it and resets it.
    Focus focusRequest = Focus::None;

    // ---- range selection and reset helpers
    void SelectorSelectCell(int row);
    int FillSelectorGrid(int I);
    bool ClearScreenControls();
    bool ClearSelectorSelections();
    bool ClearSelector();

    // ---- definition, add to grid, clear range
    bool SetScreenControls();
    void FormatChange(const QString& text);
    void MultiplierExit();
    void AccessComboChange(const QString& text);
    void RuleComboChange(const QString& text);
    void StoreClick();
    // The "Clear selected range" box was ticked or unticked.
    void ClearClick(bool checked);

    // ---- grid check
    void CheckGridClick();

    // ---- page layout
    void AddHdrBtnClick();
    void DelHdrBtnClick();
    void PageLayoutSelectCell(int row);
    // False, with a message, for a text that a map file cannot hold; the
    // cell then keeps its text.
    bool PageLayoutSetEditText(int col, int row, const QString& value);
    // Moves layout row from to row to (the cells travel with the row), then
    // renumbers the rows and the Selector's Order cells.
    void PageLayoutRowMoved(int from, int to);

    // ---- map files and file commands
    int ReadMapFile(const QString& MapFileName);
    int WriteMapFile(const QString& MapFileName);
    void ReadMapFile1Click();
    void SaveFile1Click();
    void New1Click();
    // The close question; false when the user keeps the window open.
    bool ConfirmClose();
    // Writes the temporary preview map; true when the check passed and the
    // map was written.
    bool WritePreviewMap();

    // ---- the arrows to parameters out of view (rows are Selector rows)
    // Whether named rows lie above topRow or below the visible rows.
    bool NamedRowAbove(int topRow) const;
    bool NamedRowBelow(int topRow, int visibleRows) const;
    int UpArrowTarget(int topRow) const;
    int DownArrowTarget(int topRow) const;

private:
    bool RowNamed(int row) const { return !selector_[row][NameCol].isEmpty(); }
    bool AnyNamedIn(int first, int count) const;
    void SetLayoutRowCount(int rows);
    void RemoveLayoutRow(int row);
    void CheckLoadable(const QList<Map>& params, const QList<MapHeader>& headers) const;
    bool NameUsedElsewhere(const QString& name) const;
    // The steps of the grid check; each reports its faults and returns
    // false when it found one.
    bool CollectParameters();
    Map ParameterOfRow(int row) const;
    bool ReportMissingOrders();
    bool ReportSharedOrders();
    bool ReportUnusableParameters();
    int LayoutRowOfOrder(const QString& order) const;

    UserInteraction& ui_;
    QVector<QStringList> selector_;
    QVector<bool> silver_;
    QVector<QStringList> layout_;
};

} // namespace vorda
