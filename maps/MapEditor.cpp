#include "maps/MapEditor.h"

#include "base/TextFiles.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"
#include "maps/MapFile.h"
#include "units/NumberFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <vector>

namespace vorda {
namespace {

const QString kSelectionStart = QStringLiteral("selection start");
const QString kSelectionEnd = QStringLiteral("selection end");
const QString kSelectionStartEnd = QStringLiteral("selection start / end");
const QString kSelectFormat = QStringLiteral("Select ...");
const QString kHeader = QStringLiteral("Header");
const QString kMapFilter = QStringLiteral("Meter map files (*.map)|*.map|");

bool IsMarker(const QString& name) { return name.startsWith(QLatin1String("selection")); }

// The refusal of a format whose values take more than one register, for a
// range of the given number of registers.
QString RegisterCountMessage(const QString& format, int perValue, int registers) {
    return format + QStringLiteral(" requires %1 registers per number - your selection has %2 registers")
                        .arg(perValue).arg(registers);
}

// The first character of text that a map file cannot hold: one outside its
// code page, or a line break, which would split the field's line. Empty
// when there is none.
QString UnstorableCharacter(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString c = text.mid(i, length);
        if (c == QLatin1String("\n") || c == QLatin1String("\r") || !FitsCp1252(c)) return c;
        i += length - 1;
    }
    return QString();
}

// The refusal of a text with a character that a map file cannot hold.
QString UnstorableMessage(const QString& c, const QString& text) {
    const char32_t point = c.toUcs4().value(0);
    const QString code = QStringLiteral("U+%1").arg(uint(point), 4, 16, QLatin1Char('0')).toUpper();
    const QString shown = QChar::isPrint(point) ? QStringLiteral("\"") + c + QStringLiteral("\" ") : QString();
    return QStringLiteral("A map file cannot hold the character ") + shown + QStringLiteral("(") + code +
           QStringLiteral(") - please use another in: ") + Excerpt(text);
}

// The refusal of an order number outside the page layout of the given rows.
QString OrderOutsideMessage(const QString& who, const QString& order, int rows) {
    return QStringLiteral("%1: order %2 lies outside the page layout's rows 1 to %3")
        .arg(Excerpt(who), Excerpt(order), QString::number(rows - 1));
}

} // namespace

const QStringList& FormatNames() {
    static const QStringList names{QStringLiteral("Int8"), QStringLiteral("Int16"), QStringLiteral("ASCII"),
                                   QStringLiteral("Hex"), QStringLiteral("Int32")};
    return names;
}

bool MapNameFollowsRule(const QString& fileName) {
    QString name = fileName.toUpper();
    if (!name.startsWith(QLatin1String("ZUVMAP"))) return false;
    if (name.endsWith(QLatin1String(".MAP"))) name.chop(4);
    const QString number = name.mid(6);
    bool ok = false;
    const int n = number.toInt(&ok, 10);
    return ok && n >= 0 && n <= 127 && QString::number(n) == number;
}

QString BuildParameterString(const QString& Parameter, const QString& Format) {
    return Parameter + QStringLiteral(", ") + Format;
}

QString RegisterLabel(int reg) {
    if (reg < 10) return QStringLiteral("      ") + QString::number(reg);
    if (reg < 100) return QStringLiteral("  ") + QString::number(reg);
    return QString::number(reg);
}

MapEditor::MapEditor(UserInteraction& ui) : ui_(ui) {
    selector_.resize(kSelectorRows);
    for (QStringList& row : selector_) row = QStringList(kSelectorCols, QString());
    selector_[0] = QStringList{QStringLiteral("Reg"),    QStringLiteral("Parameter"), QStringLiteral("Format"),
                               QStringLiteral("Multiplier"), QStringLiteral("Access"), QStringLiteral("Order"),
                               QStringLiteral("Rule"),   QStringLiteral("Type")};
    for (int r = 1; r < kSelectorRows; ++r) selector_[r][RegCol] = RegisterLabel(r - 1);
    silver_ = QVector<bool>(kSelectorRows, false);
    layout_ = {QStringList{QStringLiteral("Order"), QStringLiteral("Start Reg"), QStringLiteral("EndReg"),
                           QStringLiteral("Parameter, Format"), QStringLiteral("Description (Always Visible)"),
                           QStringLiteral("Description (Tool Tip)")}};
    SetLayoutRowCount(2);
    LayoutSelRow = 0;
    SetScreenControls();
    controls.GridNOTOKVisible = false;
    GridIsOK = ValuesPending = MapChanged = false;
    LayoutEmpty = true;
    controls.HeaderButtonsEnabled = false;
}

bool MapEditor::IsHeaderRow(int row) const {
    return row > 0 && row < LayoutRowCount() && layout_[row][LayParamCol] == kHeader;
}

void MapEditor::SetLayoutRowCount(int rows) {
    const QStringList blank(kLayoutCols, QString());
    // Rows that are added come blank; the others keep their cells.
    layout_.resize(std::max(1, rows), blank);
}

// ------------------------------------------------------------ selection

void MapEditor::SelectorSelectCell(int R) {
    if (R < 1 || R >= kSelectorRows) return;
    if (ParamLoaded) {
        // The loaded parameter is stored first, whatever that gives.
        try {
            StoreClick();
        } catch (...) {
            ParamLoaded = false;
            throw;
        }
        ParamLoaded = false;
    }
    const QString name = selector_[R][NameCol];
    if (!name.isEmpty() && !IsMarker(name)) {
        // A range being chosen is abandoned: its markers belong to no parameter.
        if (StartSet) {
            for (int row : {SelStartRow, SelEndRow})
                if (row > 0 && IsMarker(selector_[row][NameCol])) selector_[row][NameCol].clear();
        }
        for (bool& s : silver_) s = false;
        SelStartRow = 1;
        while (selector_[SelStartRow][NameCol] != name) ++SelStartRow;
        SelEndRow = SelStartRow;
        while (SelEndRow + 1 < kSelectorRows && selector_[SelEndRow + 1][NameCol] == name) ++SelEndRow;
        controls.StartRowLbl = QString::number(SelStartRow - 1);
        controls.EndRowLbl = QString::number(SelEndRow - 1);
        const QStringList& first = selector_[SelStartRow];
        controls.ParamNameInput = first[NameCol];
        controls.Format = first[FormatCol];
        const int registers = SelEndRow - SelStartRow + 1;
        const int values = registers / RegistersPerValue(controls.Format);
        controls.DataCount = controls.ParamNameInput + QStringLiteral(": ") + QString::number(values) +
                             QStringLiteral(" ") + controls.Format + QStringLiteral(" value(s)");
        controls.Multiplier = first[MultiplierCol];
        if (!controls.Multiplier.isEmpty()) {
            controls.MultiplierVisible = true;
            controls.RuleVisible = values >= 2;
            if (values >= 2) controls.RuleCombo = first[RuleCol];
        } else {
            controls.MultiplierVisible = false;
            controls.RuleVisible = false;
        }
        controls.AccessCombo = first[AccessCol];
        controls.PTypeCombo = first[TypeCol];
        controls.TypeVisible = IsIntegerFormat(controls.Format);
        // A format change of the loaded parameter is tested against its own
        // register count.
        SelDiv2 = registers % 2 == 0;
        SelDiv4 = registers % 4 == 0;
        controls.ClearEnabled = true;
        StartSet = EndSet = ParamLoaded = true;
    } else if (StartSet && EndSet && ValuesPending) {
        ui_.ShowMessage(QStringLiteral("Please write chosen values to grid or clear selected range"));
        return;
    } else if (!StartSet) {
        controls.StartRowLbl = QString::number(R - 1);
        silver_[R] = true;
        selector_[R][NameCol] = kSelectionStart;
        SelStartRow = R;
        StartSet = true;
    } else if (!EndSet) {
        if (R < SelStartRow) {
            ui_.ShowMessage(QStringLiteral("End Row must be >= Start Row - please re-enter"));
            return;
        }
        SelEndRow = R;
        EndSet = true;
        controls.EndRowLbl = QString::number(R - 1);
        silver_[R] = true;
        for (int r = SelStartRow + 1; r < SelEndRow; ++r) {
            if (!selector_[r][NameCol].isEmpty()) {
                ui_.ShowMessage(QStringLiteral("Please select parameters between Selection Start / End and delete them"));
                selector_[SelStartRow][NameCol].clear();
                selector_[SelEndRow][NameCol].clear();
                ClearSelectorSelections();
                return;
            }
        }
        selector_[R][NameCol] = R == SelStartRow ? kSelectionStartEnd : kSelectionEnd;
        controls.ClearEnabled = true;
        focusRequest = Focus::Name;
        const int registers = SelEndRow - SelStartRow + 1;
        SelDiv2 = registers % 2 == 0;
        SelDiv4 = registers % 4 == 0;
    }
    controls.GridOKVisible = false;
}

int MapEditor::FillSelectorGrid(int I) {
    const Map& m = EditorMap.at(I);
    const int s = ToInt(m.Sequence);
    if (s < 1 || s >= LayoutRowCount())
        throw UserError(OrderOutsideMessage(m.Parameter, m.Sequence, LayoutRowCount()));
    if (m.Startreg < 0 || m.EndReg < m.Startreg || m.EndReg + 1 >= kSelectorRows)
        throw UserError(QStringLiteral("%1: registers %2 to %3 lie outside the Selector's registers 0 to %4")
                            .arg(Excerpt(m.Parameter), QString::number(m.Startreg), QString::number(m.EndReg),
                                 QString::number(kSelectorRows - 2)));
    for (int r = m.Startreg + 1; r <= m.EndReg + 1; ++r) {
        QStringList& row = selector_[r];
        row[NameCol] = m.Parameter;
        row[FormatCol] = m.Format;
        row[MultiplierCol] = m.Multiplier;
        row[AccessCol] = m.Access;
        row[OrderCol] = m.Sequence;
        row[RuleCol] = m.Rule;
        row[TypeCol] = m.PType;
    }
    QStringList& lay = layout_[s];
    lay[LayOrderCol] = QString::number(s);
    lay[LayStartCol] = QString::number(m.Startreg);
    lay[LayEndCol] = QString::number(m.EndReg);
    lay[LayParamCol] = BuildParameterString(m.Parameter, m.Format);
    lay[LayAlwaysCol] = m.DescAlways;
    lay[LayToolTipCol] = m.DescToolTip;
    LayoutEmpty = false;
    return 0;
}

bool MapEditor::ClearScreenControls() {
    controls.GridOKVisible = false;
    controls.ClearEnabled = false;
    SelStartRow = SelEndRow = 0;
    controls.StartRowLbl.clear();
    controls.EndRowLbl.clear();
    StartSet = EndSet = ParamLoaded = false;
    return true;
}

bool MapEditor::ClearSelectorSelections() {
    ClearScreenControls();
    for (bool& s : silver_) s = false;
    return true;
}

bool MapEditor::ClearSelector() {
    SetScreenControls();
    for (int r = 1; r < kSelectorRows; ++r) {
        silver_[r] = false;
        for (int c = NameCol; c < kSelectorCols; ++c) selector_[r][c].clear();
    }
    layout_.resize(1);
    SetLayoutRowCount(2);
    controls.HeaderButtonsEnabled = false;
    LayoutEmpty = true;
    return true;
}

// ------------------------------------------------------------ definition

bool MapEditor::SetScreenControls() {
    ClearScreenControls();
    controls.ParamNameInput.clear();
    controls.Format = kSelectFormat;
    controls.Multiplier.clear();
    controls.AccessCombo.clear();
    controls.RuleCombo.clear();
    controls.PTypeCombo.clear();
    controls.MultiplierVisible = false;
    controls.RuleVisible = false;
    controls.DataCount = QStringLiteral("DataCount");
    return true;
}

void MapEditor::FormatChange(const QString& text) {
    controls.Format = text;
    // A row not yet chosen counts as 0.
    const int registers = SelEndRow - SelStartRow + 1;
    const int perValue = RegistersPerValue(text);
    const bool fits = perValue == 4 ? SelDiv4 : perValue == 2 ? SelDiv2 : true;
    if (!fits) {
        ui_.ShowMessage(RegisterCountMessage(text, perValue, registers));
        return;
    }
    const int values = registers / perValue;
    controls.DataCount = controls.ParamNameInput + QStringLiteral(": ") + QString::number(values) +
                         QStringLiteral(" ") + text + QStringLiteral(" value(s)");
    if (IsIntegerFormat(text)) {
        controls.TypeVisible = true;
        controls.MultiplierVisible = true;
        controls.Multiplier = QStringLiteral("1");
        focusRequest = Focus::Multiplier;
        if (values > 1) controls.RuleVisible = true;
    } else {
        controls.TypeVisible = false;
        controls.MultiplierVisible = false;
        controls.Multiplier.clear();
    }
    ValuesPending = MapChanged = true;
}

void MapEditor::MultiplierExit() {
    long double value = 0;
    if (!ParseNumber(controls.Multiplier, &value)) {
        ui_.ShowMessage(QStringLiteral("Multiplier must be decimal number, not: ") + Excerpt(controls.Multiplier));
        controls.Multiplier = QStringLiteral("1");
        focusRequest = Focus::Multiplier;
    }
    ValuesPending = MapChanged = true;
}

void MapEditor::AccessComboChange(const QString& text) {
    controls.AccessCombo = text;
    ValuesPending = MapChanged = true;
}

void MapEditor::RuleComboChange(const QString& text) {
    controls.RuleCombo = text;
    ValuesPending = MapChanged = true;
}

// True when a row outside the chosen range (the title row included) bears
// name; the rows of the range are the parameter being stored.
bool MapEditor::NameUsedElsewhere(const QString& name) const {
    for (int r = 0; r < kSelectorRows; ++r) {
        if (r >= SelStartRow && r <= SelEndRow) continue;
        if (selector_[r][NameCol] == name) return true;
    }
    return false;
}

int MapEditor::LayoutRowOfOrder(const QString& order) const {
    int row = 0;
    if (!ParseInt32(order, &row) || row < 1 || row >= LayoutRowCount()) return -1;
    return row;
}

void MapEditor::StoreClick() {
    Controls& c = controls;
    if (!(StartSet && EndSet)) {
        ui_.ShowMessage(QStringLiteral("Please select start and end rows"));
        focusRequest = Focus::Selector;
        return;
    }
    if (c.ParamNameInput.isEmpty()) {
        ui_.ShowMessage(QStringLiteral("Please enter a Parameter Name"));
        focusRequest = Focus::Name;
        return;
    }
    if (const QString bad = UnstorableCharacter(c.ParamNameInput); !bad.isEmpty()) {
        ui_.ShowMessage(UnstorableMessage(bad, c.ParamNameInput));
        focusRequest = Focus::Name;
        return;
    }
    if (c.Format == kSelectFormat) {
        ui_.ShowMessage(QStringLiteral("Please Select a Format"));
        focusRequest = Focus::Format;
        return;
    }
    if (!FormatNames().contains(c.Format)) {
        ui_.ShowMessage(QStringLiteral("Format must be one of ") + FormatNames().join(QStringLiteral(", ")) +
                        QStringLiteral(", not: ") + Excerpt(c.Format));
        focusRequest = Focus::Format;
        return;
    }
    // What the parameter screen could not show is not stored.
    const int registers = SelEndRow - SelStartRow + 1;
    const int perValue = RegistersPerValue(c.Format);
    if (registers % perValue != 0) {
        ui_.ShowMessage(RegisterCountMessage(c.Format, perValue, registers));
        focusRequest = Focus::Format;
        return;
    }
    long double multiplier = 0;
    if (IsIntegerFormat(c.Format) && !ParseMultiplier(c.Multiplier, &multiplier)) {
        ui_.ShowMessage(QStringLiteral("Multiplier must be decimal number, not: ") + Excerpt(c.Multiplier));
        focusRequest = Focus::Multiplier;
        return;
    }
    // A name borne by another parameter would merge with it or split it.
    const bool renamed = !ParamLoaded || selector_[SelStartRow][NameCol] != c.ParamNameInput;
    if (renamed && NameUsedElsewhere(c.ParamNameInput)) {
        ui_.ShowMessage(Excerpt(c.ParamNameInput) + QStringLiteral(": Already used"));
        return;
    }
    const QString orderCell = selector_[SelStartRow][OrderCol];
    int existing = 0;
    if (!orderCell.isEmpty()) {
        existing = ToInt(orderCell);
        if (existing < 1 || existing >= LayoutRowCount())
            throw UserError(OrderOutsideMessage(selector_[SelStartRow][NameCol], orderCell, LayoutRowCount()));
    }
    const int newRow = LayoutEmpty ? 1 : LayoutRowCount();
    for (int r = SelStartRow; r <= SelEndRow; ++r) {
        QStringList& row = selector_[r];
        row[NameCol] = c.ParamNameInput;
        row[FormatCol] = c.Format;
        row[MultiplierCol] = c.Multiplier;
        row[AccessCol] = c.AccessCombo;
        row[RuleCol] = c.RuleCombo;
        row[TypeCol] = IsIntegerFormat(c.Format) ? c.PTypeCombo : QString();
        if (existing == 0) row[OrderCol] = QString::number(newRow);
    }
    if (existing == 0) {
        if (!LayoutEmpty) SetLayoutRowCount(LayoutRowCount() + 1);
        const int last = LayoutRowCount() - 1;
        QStringList& lay = layout_[last];
        lay[LayStartCol] = QString::number(SelStartRow - 1);
        lay[LayEndCol] = QString::number(SelEndRow - 1);
        lay[LayOrderCol] = QString::number(last);
        lay[LayParamCol] = BuildParameterString(c.ParamNameInput, c.Format);
        LayoutEmpty = false;
        c.HeaderButtonsEnabled = true;
    } else {
        layout_[existing][LayParamCol] = BuildParameterString(c.ParamNameInput, c.Format);
    }
    ClearSelectorSelections();
    SetScreenControls();
    ValuesPending = false;
    MapChanged = true;
}

void MapEditor::RemoveLayoutRow(int o) {
    for (int r = o; r < LayoutRowCount() - 1; ++r) {
        layout_[r] = layout_[r + 1];
        layout_[r][LayOrderCol] = QString::number(r);
    }
    layout_.removeLast();
    if (LayoutRowCount() == 1) {
        SetLayoutRowCount(2);
        LayoutEmpty = true;
    } else {
        LayoutEmpty = false;
    }
}

void MapEditor::ClearClick(bool checked) {
    controls.ClearChecked = checked;
    if (!checked || SelStartRow == 0 || SelEndRow == 0) return;
    const QString orderCell = selector_[SelStartRow][OrderCol];
    int o = 0;
    if (!orderCell.isEmpty()) {
        o = ToInt(orderCell);
        if (o < 1 || o >= LayoutRowCount())
            throw UserError(OrderOutsideMessage(selector_[SelStartRow][NameCol], orderCell, LayoutRowCount()));
        RemoveLayoutRow(o);
    }
    for (int r = SelStartRow; r <= SelEndRow; ++r)
        for (int c = NameCol; c < kSelectorCols; ++c) selector_[r][c].clear();
    if (o > 0) {
        for (int r = 1; r < kSelectorRows; ++r) {
            int n = 0;
            if (ParseInt32(selector_[r][OrderCol], &n) && n >= o) selector_[r][OrderCol] = QString::number(n - 1);
        }
    }
    ClearSelectorSelections();
    SetScreenControls();
    controls.ClearChecked = false;
    MapChanged = true;
}

// ------------------------------------------------------------ grid check

void MapEditor::CheckGridClick() {
    bool verdict = true;
    if (ValuesPending && StartSet && EndSet) StoreClick();
    for (int r = 1; r < kSelectorRows; ++r) {
        if (IsMarker(selector_[r][NameCol])) {
            ui_.ShowMessage(QStringLiteral("Range selection in progress, Parameter values incomplete"));
            verdict = false;
        }
    }
    if (!CollectParameters()) verdict = false;
    if (EditorMapCount == 0) verdict = false;
    if (!ReportMissingOrders()) verdict = false;
    if (!ReportSharedOrders()) verdict = false;
    if (!ReportUnusableParameters()) verdict = false;

    if (verdict) {
        controls.GridOKVisible = true;
        controls.GridNOTOKVisible = false;
        GridIsOK = true;
        for (Map& m : EditorMap) m.Capacity = (m.EndReg - m.Startreg + 1) / RegistersPerValue(m.Format);
    } else {
        controls.GridOKVisible = false;
        controls.GridNOTOKVisible = true;
        GridIsOK = false;
    }
    ValuesPending = false;
}

bool MapEditor::CollectParameters() {
    bool ok = true;
    EditorMap.clear();
    EditorMapCount = 0;
    // How many runs each name has started so far: a second run is a
    // parameter that is not contiguous.
    QHash<QString, int> runs;
    QString remName, remFormat;
    bool open = false;
    // One empty row past the last closes a parameter that runs to the end.
    for (int r = 1; r <= kSelectorRows; ++r) {
        const QString name = r < kSelectorRows ? selector_[r][NameCol] : QString();
        // Marker rows belong to no parameter; they were reported already.
        if (name.isEmpty() || IsMarker(name)) {
            if (open) EditorMap.last().EndReg = r - 2;
            open = false;
            remName.clear();
            continue;
        }
        const QStringList& row = selector_[r];
        if (name != remName) {
            remName = name;
            remFormat = row[FormatCol];
            ++runs[name];
            if (open) EditorMap.last().EndReg = r - 2;
            EditorMap.append(ParameterOfRow(r));
            open = true;
            ++EditorMapCount;
        }
        // Tested from the first parameter on, so that a first parameter of
        // mixed formats is not written as one format.
        if (runs.value(remName) >= 2) {
            ui_.ShowMessage(Excerpt(remName) + QStringLiteral(": Not Contiguous"));
            ok = false;
        }
        if (row[FormatCol] != remFormat) {
            ui_.ShowMessage(Excerpt(remName) + QStringLiteral(": Mixed Formats"));
            ok = false;
        }
    }
    return ok;
}

Map MapEditor::ParameterOfRow(int r) const {
    const QStringList& row = selector_[r];
    Map m;
    m.Startreg = r - 1;
    m.EndReg = r - 1;
    m.Parameter = row[NameCol];
    m.Format = row[FormatCol];
    m.Multiplier = row[MultiplierCol];
    m.Access = row[AccessCol];
    m.Sequence = row[OrderCol];
    m.Rule = row[RuleCol];
    m.PType = row[TypeCol];
    const int lay = LayoutRowOfOrder(m.Sequence);
    if (lay > 0) {
        m.DescAlways = layout_[lay][LayAlwaysCol];
        m.DescToolTip = layout_[lay][LayToolTipCol];
    }
    return m;
}

bool MapEditor::ReportMissingOrders() {
    // One pass marks the numbers that some row's Order cell holds exactly.
    const int rows = LayoutRowCount();
    std::vector<bool> held(rows, false);
    for (int r = 1; r < rows; ++r) {
        const QString& cell = layout_[r][LayOrderCol];
        int n = 0;
        if (ParseInt32(cell, &n) && n >= 1 && n < rows && QString::number(n) == cell) held[n] = true;
    }
    bool ok = true;
    for (int s = 1; s < rows; ++s) {
        if (held[s]) continue;
        ui_.ShowMessage(QStringLiteral("Not Got Sequence Number: ") + QString::number(s) + QStringLiteral("\n\r") +
                        QStringLiteral("This must be corrected - at present it's a manual edit of the data file!"));
        ok = false;
    }
    return ok;
}

bool MapEditor::ReportSharedOrders() {
    // Entries sorted by order text; each run of equal texts gives its pairs,
    // which are then reported in the order of the entries.
    std::vector<int> byOrder(EditorMap.size());
    for (int i = 0; i < int(byOrder.size()); ++i) byOrder[i] = i;
    std::stable_sort(byOrder.begin(), byOrder.end(),
                     [this](int a, int b) { return EditorMap[a].Sequence < EditorMap[b].Sequence; });
    std::vector<std::pair<int, int>> pairs;
    for (size_t first = 0; first < byOrder.size();) {
        size_t last = first + 1;
        while (last < byOrder.size() && EditorMap[byOrder[last]].Sequence == EditorMap[byOrder[first]].Sequence) ++last;
        for (size_t a = first; a < last; ++a)
            for (size_t b = a + 1; b < last; ++b) pairs.emplace_back(byOrder[a], byOrder[b]);
        first = last;
    }
    std::sort(pairs.begin(), pairs.end());
    for (const auto& [a, b] : pairs)
        ui_.ShowMessage(QStringLiteral("Same Order number (") + Excerpt(EditorMap[a].Sequence) +
                        QStringLiteral(") for ") + Excerpt(EditorMap[a].Parameter) + QStringLiteral(" and ") +
                        Excerpt(EditorMap[b].Parameter));
    return pairs.empty();
}

bool MapEditor::ReportUnusableParameters() {
    // A map must not address a register the meter lacks, carry a format the
    // readers do not know, nor hold what the parameter screen cannot show.
    bool ok = true;
    for (const Map& m : EditorMap) {
        if (const QString fault = RegisterRangeFault(m); !fault.isEmpty()) {
            ui_.ShowMessage(fault);
            ok = false;
        }
        if (!FormatNames().contains(m.Format)) {
            ui_.ShowMessage(Excerpt(m.Parameter) + QStringLiteral(": Format must be one of ") +
                            FormatNames().join(QStringLiteral(", ")) + QStringLiteral(", not: ") + Excerpt(m.Format));
            ok = false;
        } else if (const QString fault = ScreenFault(m); !fault.isEmpty()) {
            ui_.ShowMessage(fault);
            ok = false;
        }
    }
    return ok;
}

// ------------------------------------------------------------ page layout

void MapEditor::AddHdrBtnClick() {
    SetLayoutRowCount(LayoutRowCount() + 1);
    const int last = LayoutRowCount() - 1;
    layout_[last][LayParamCol] = kHeader;
    layout_[last][LayToolTipCol] = QStringLiteral("(Not in Use)");
    layout_[last][LayOrderCol] = QString::number(last);
    LayoutSelRow = last;
    focusRequest = Focus::Layout;
    MapChanged = true;
}

void MapEditor::DelHdrBtnClick() {
    const bool header = IsHeaderRow(LayoutSelRow);
    const bool bottom = LayoutSelRow == LayoutRowCount() - 1;
    if (!header && bottom) {
        ui_.ShowMessage(QStringLiteral("Selected row is not a header row - it cannot be deleted"));
    } else if (!header) {
        ui_.ShowMessage(QStringLiteral("Selected row is not a header row - it cannot be deleted.\n\rAlso -  row to be deleted must be at the bottom of the list."));
    } else if (!bottom) {
        ui_.ShowMessage(QStringLiteral("Please move the row to the bottom of the list,\n\rthen press delete"));
    } else {
        layout_.removeLast();
        if (LayoutRowCount() == 1) {
            SetLayoutRowCount(2);
            LayoutEmpty = true;
        }
        LayoutSelRow = std::min(LayoutSelRow, LayoutRowCount() - 1);
        // The deletion is a change: closing afterwards must ask before it is lost.
        MapChanged = true;
    }
}

void MapEditor::PageLayoutSelectCell(int row) { LayoutSelRow = row; }

bool MapEditor::PageLayoutSetEditText(int col, int row, const QString& value) {
    if (row < 1 || row >= LayoutRowCount() || (col != LayAlwaysCol && col != LayToolTipCol)) return false;
    if (const QString bad = UnstorableCharacter(value); !bad.isEmpty()) {
        ui_.ShowMessage(UnstorableMessage(bad, value));
        return false;
    }
    layout_[row][col] = value;
    MapChanged = true;
    return true;
}

void MapEditor::PageLayoutRowMoved(int from, int to) {
    const int last = LayoutRowCount() - 1;
    if (from < 1 || to < 1 || from > last || to > last || from == to) return;
    layout_.move(from, to);
    CheckGridClick();
    for (int r = 1; r <= last; ++r) {
        QStringList& lay = layout_[r];
        if (!lay[LayParamCol].isEmpty() && lay[LayParamCol] != kHeader) {
            const int start = ToInt(lay[LayStartCol]);
            const int end = ToInt(lay[LayEndCol]);
            for (int reg = std::max(0, start); reg <= end && reg + 1 < kSelectorRows; ++reg)
                selector_[reg + 1][OrderCol] = QString::number(r);
        }
        lay[LayOrderCol] = QString::number(r);
    }
    LayoutSelRow = to;
    MapChanged = true;
}

// ------------------------------------------------------------ map files

// Refuses a map that the grids cannot show as it is: orders that are no
// integer or lie beyond the page layout, headings that share a row with
// another heading or a parameter, and overlapping register ranges (the later
// one would hide the earlier). The reader has refused registers outside the
// meter's already.
void MapEditor::CheckLoadable(const QList<Map>& params, const QList<MapHeader>& headers) const {
    const int rows = int(params.size() + headers.size() + 1);
    QVector<int> headerRow(rows, 0);
    for (const MapHeader& h : headers) {
        const int o = ToInt(h.Order);
        if (o < 1 || o >= rows)
            throw UserError(OrderOutsideMessage(QStringLiteral("Header ") + h.Heading, h.Order, rows));
        if (headerRow[o]++ > 0)
            throw UserError(QStringLiteral("Order %1 is used by more than one header").arg(o));
    }
    QList<const Map*> byStart;
    for (const Map& m : params) {
        const int s = ToInt(m.Sequence);
        if (s < 1 || s >= rows)
            throw UserError(OrderOutsideMessage(m.Parameter, m.Sequence, rows));
        if (headerRow[s] > 0)
            throw UserError(QStringLiteral("%1: order %2 is also the order of a header").arg(Excerpt(m.Parameter), Excerpt(m.Sequence)));
        byStart << &m;
    }
    std::stable_sort(byStart.begin(), byStart.end(),
                     [](const Map* a, const Map* b) { return a->Startreg < b->Startreg; });
    for (qsizetype i = 1; i < byStart.size(); ++i) {
        const Map& a = *byStart[i - 1];
        const Map& b = *byStart[i];
        if (b.Startreg <= a.EndReg)
            throw UserError(QStringLiteral("%1 (registers %2 to %3) overlaps %4 (registers %5 to %6)")
                                .arg(Excerpt(a.Parameter), QString::number(a.Startreg), QString::number(a.EndReg),
                                     Excerpt(b.Parameter), QString::number(b.Startreg), QString::number(b.EndReg)));
    }
}

int MapEditor::ReadMapFile(const QString& MapFileName) {
    const MapReadResult r = ReadMapFileContent(ResolveFileNoCase(MapFileName), MapFileName);
    if (r.status == MapReadStatus::OldFormat) {
        ui_.ShowMessage(r.message);
        return 0;
    }
    // The grids are filled only from a whole file that the reader accepted:
    // otherwise the editor stays empty.
    if (r.status != MapReadStatus::Ok) throw UserError(r.message);
    CheckLoadable(r.params, r.headers);
    EditorMap = r.params;
    EditorMapCount = int(r.params.size());
    SetLayoutRowCount(int(r.params.size() + r.headers.size() + 1));
    for (const MapHeader& h : r.headers) {
        QStringList& lay = layout_[ToInt(h.Order)];
        lay[LayOrderCol] = h.Order;
        lay[LayAlwaysCol] = h.Heading;
        lay[LayToolTipCol] = h.ToolTip;
        lay[LayParamCol] = kHeader;
    }
    for (int i = 0; i < EditorMapCount; ++i) FillSelectorGrid(i);
    controls.MapFileNow = MapFileName;
    controls.HeaderButtonsEnabled = true;
    LayoutEmpty = false;
    return 0;
}

int MapEditor::WriteMapFile(const QString& MapFileName) {
    CheckGridClick();
    if (!GridIsOK) return 0;
    QList<MapHeader> headers;
    for (int r = 1; r < LayoutRowCount(); ++r)
        if (IsHeaderRow(r)) headers.append({layout_[r][LayOrderCol], layout_[r][LayAlwaysCol], layout_[r][LayToolTipCol]});
    QString error;
    if (!WriteMapFileContent(MapFileName, EditorMap, headers, &error)) throw UserError(error);
    if (MapFileName != QLatin1String(kTempMapFileName)) {
        controls.MapFileNow = MapFileName;
        MapChanged = false;
    }
    return 0;
}

void MapEditor::ReadMapFile1Click() {
    if (MapChanged &&
        !ui_.Confirm(QStringLiteral("About to read a new Map file\n\rCurrent data has not been saved, and will be overwritten. (No undo!)\n\r\n\r            Are you sure?")))
        return;
    const QString chosen = ui_.OpenFileName(QDir::currentPath(), kMapFilter);
    if (chosen.isEmpty()) return;
    const QFileInfo info(chosen);
    QDir::setCurrent(info.absolutePath());
    ClearSelector();
    EditorMapFile = info.fileName();
    ReadMapFile(EditorMapFile);
    CheckGridClick();
}

void MapEditor::SaveFile1Click() {
    QString chosen = ui_.SaveFileName(QStringLiteral("Save Parameter Map"), QDir::currentPath(),
                                      QStringLiteral("Meter map files (*.Map)|*.Map"), QStringLiteral("map"));
    if (chosen.isEmpty()) return;
    if (QFileInfo(chosen).suffix().isEmpty()) chosen += QStringLiteral(".map");
    const QFileInfo info(chosen);
    if (!MapNameFollowsRule(info.fileName())) {
        ui_.ShowMessage(QStringLiteral("Map file name must be of the form ZUVMAPnnn where nnn is integer 0 - 127.  Please reenter"));
        return;
    }
    // The file goes where the user chose it; its folder becomes the working one.
    QDir::setCurrent(info.absolutePath());
    EditorMapFile = info.fileName();
    WriteMapFile(EditorMapFile);
}

void MapEditor::New1Click() {
    if (MapChanged &&
        !ui_.Confirm(QStringLiteral("About clear selector Grid\n\rCurrent data has not been saved, and will be lost. (No undo!)\n\r\n\r            Are you sure?")))
        return;
    ClearSelector();
    controls.MapFileNow.clear();
    MapChanged = false;
}

bool MapEditor::ConfirmClose() {
    return !MapChanged ||
           ui_.Confirm(QStringLiteral("About to exit\n\rCurrent data has not been saved, and will be lost. (No undo!)\n\r\n\r            Are you sure?"));
}

bool MapEditor::WritePreviewMap() {
    WriteMapFile(QLatin1String(kTempMapFileName));
    return GridIsOK;
}

// ------------------------------------------------------------ arrows

bool MapEditor::AnyNamedIn(int first, int count) const {
    for (int r = std::max(1, first); r < std::min(kSelectorRows, first + count); ++r)
        if (RowNamed(r)) return true;
    return false;
}

bool MapEditor::NamedRowAbove(int topRow) const { return AnyNamedIn(1, topRow - 1); }

bool MapEditor::NamedRowBelow(int topRow, int visibleRows) const {
    return AnyNamedIn(topRow + visibleRows + 1, kSelectorRows);
}

int MapEditor::UpArrowTarget(int topRow) const {
    int top = topRow;
    do {
        top = std::max(1, top - 18);
    } while (!AnyNamedIn(top, 18) && top > 1);
    return top;
}

int MapEditor::DownArrowTarget(int topRow) const {
    constexpr int kLastTop = 238;
    int top = topRow;
    do {
        top = std::min(kLastTop, top + 18);
    } while (!AnyNamedIn(top, 18) && top < kLastTop);
    return top;
}

} // namespace vorda
