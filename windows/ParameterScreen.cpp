#include "windows/ParameterScreen.h"

#include "units/NumberFormat.h"
#include "windows/PaletteColours.h"
#include "windows/ScreenFilter.h"
#include "windows/WidgetStyle.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace vorda {

namespace {
// The layout's measures at the font it was drawn for; a larger font makes
// them larger, never smaller.
constexpr int kLeft = 20;
constexpr int kMarkLeft = 6;
constexpr int kFirstTop = 20;
constexpr int kRowPitch = 60;
constexpr int kNameToBox = 15;
constexpr int kBoxToAttr = 22;
// The width of a digit of the boxes' font the box widths were set for.
constexpr double kDesignDigitWidth = 7.0;
// Beyond this many screen rows every row keeps the same height.
constexpr int kMostSlots = 10000;

void ShowIf(QWidget* w, bool shown) {
    if (w->isHidden() == shown) w->setVisible(shown);
}
} // namespace

void ParameterScreen::SetOrder(const QList<DMap>& params) {
    order_.resize(params.size());
    for (int i = 0; i < params.size(); ++i) order_[i] = ToInt(params.at(i).Sequence);
}

int ParameterScreen::OrderOf(int paramIndex) const { return order_.value(paramIndex, 0); }

int ParameterScreen::TopParameter() const {
    int top = 0;
    for (int i = 1; i < rows_.size(); ++i)
        if (OrderOf(i) < OrderOf(top)) top = i;
    return top;
}

void ParameterScreen::Destroy() {
    for (const RowWidgets& r : std::as_const(rows_)) {
        delete r.name;
        delete r.note;
        delete r.box;
        delete r.attr;
        delete r.changed;
    }
    rows_.clear();
    texts_.clear();
    concealed_.clear();
    changed_.clear();
    qDeleteAll(headers_);
    headers_.clear();
    headerSlots_.clear();
    headerShown_.clear();
    delete margin_;
    margin_ = nullptr;
}

void ParameterScreen::Build(const QList<DMap>& params, const QList<MapHeader>& headers) {
    Destroy();
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPointSize(9);
    rows_.reserve(params.size());
    for (int i = 0; i < params.size(); ++i) {
        const DMap& p = params.at(i);
        RowWidgets row;
        row.changed = new QLabel(QStringLiteral("\u2022"), content_);
        row.changed->setObjectName(QStringLiteral("ChangedMark%1").arg(i));
        row.changed->setAccessibleName(p.Parameter);
        row.changed->setAccessibleDescription(QStringLiteral("changed"));
        row.changed->setToolTip(QStringLiteral("Changed"));
        SetMark(row.changed, Mark::Warning);
        SetBold(row.changed);
        row.name = new QLabel(p.Parameter, content_);
        row.name->setObjectName(QStringLiteral("NameLabel%1").arg(i));
        SetMark(row.name, Mark::Caption);
        SetBold(row.name);
        row.note = new QLabel(content_);
        row.note->setObjectName(QStringLiteral("NoteLabel%1").arg(i));
        row.note->move(kLeft, 0);
        SetMark(row.note, Mark::Note);
        SetBold(row.note);
        row.note->setToolTip(p.DescToolTip);
        row.box = new QLineEdit(content_);
        row.box->setObjectName(QStringLiteral("ValueEdit%1").arg(i));
        row.box->setAccessibleName(p.Parameter);
        row.box->setFont(courier);
        row.box->setToolTip(p.DescToolTip);
        row.attr = new QLabel(content_);
        row.attr->setObjectName(QStringLiteral("AttrLabel%1").arg(i));
        row.name->setBuddy(row.box);
        for (QWidget* w : std::initializer_list<QWidget*>{row.name, row.note, row.box, row.attr}) {
            w->installEventFilter(filter_);
            w->show();
        }
        row.changed->installEventFilter(filter_);
        row.changed->hide();
        rows_ << row;
        texts_ << QStringList{p.Parameter, p.DescAlways, p.DescToolTip};
    }
    concealed_.fill(false, rows_.size());
    changed_.fill(false, rows_.size());
    for (int h = 0; h < headers.size(); ++h) {
        const MapHeader& header = headers.at(h);
        bool ok = false;
        const int order = header.Order.trimmed().toInt(&ok);
        auto* label = new QLabel(header.Heading, content_);
        label->setObjectName(QStringLiteral("HeaderLabel%1").arg(h));
        label->setAccessibleName(header.Heading);
        QFont hf = label->font();
        hf.setPointSize(8);
        hf.setBold(true);
        label->setFont(hf);
        SetMark(label, Mark::Note);
        label->setWordWrap(true);
        label->setFixedWidth(500);
        label->adjustSize();
        label->installEventFilter(filter_);
        label->show();
        headers_ << label;
        headerSlots_ << (ok ? order : 0);
    }
    headerShown_.fill(true, headers_.size());
    Arrange();
}

void ParameterScreen::ShowDesign(int i, const DMap& param, const FieldDesign& design, const QString& unit) {
    const RowWidgets& row = rows_.at(i);
    row.box->setAccessibleName(unit.isEmpty() ? param.Parameter : param.Parameter + QStringLiteral(", ") + unit);
    row.name->setText(design.caption);
    row.name->adjustSize();
    row.attr->setText(design.attributes);
    row.attr->adjustSize();
    // The widths were set for a digit of kDesignDigitWidth; a wider font
    // widens the box so that its characters fit.
    const int digit = QFontMetrics(row.box->font()).horizontalAdvance(QLatin1Char('0'));
    const int boxWidth = int(std::lround(design.boxWidth * std::max(1.0, digit / kDesignDigitWidth)));
    row.box->resize(boxWidth, row.box->sizeHint().height());
    row.box->setMaxLength(design.maxLength > 0 ? design.maxLength : 32767);
    row.box->setToolTip(design.hint);
    row.note->setText(param.DescAlways);
    row.note->setWordWrap(true);
    row.note->setFixedWidth(500);
    row.note->adjustSize();
    row.note->move(std::max(row.name->width(), boxWidth) + 2 * kLeft, row.note->y());
    texts_[i] = QStringList{param.Parameter, design.caption, param.DescAlways, param.DescToolTip};
}

void ParameterScreen::ApplyAccess(const QList<DMap>& params, bool makerAccess) {
    for (int i = 0; i < rows_.size() && i < params.size(); ++i) {
        const RowWidgets& row = rows_.at(i);
        const QString& access = params.at(i).Access;
        row.box->setEnabled(true);
        const bool readOnly = !makerAccess && access == QLatin1String("R");
        row.box->setReadOnly(readOnly);
        // A box that is read, not edited, lies on the window's ground.
        QPalette p = row.box->palette();
        p.setColor(QPalette::Base, content_->palette().color(readOnly ? QPalette::Window : QPalette::Base));
        row.box->setPalette(p);
        concealed_[i] = !makerAccess && access == QLatin1String("C");
    }
    Arrange();
}

bool ParameterScreen::Passes(int i) const {
    if (changedOnly_ && !changed_.value(i)) return false;
    return TextsMatch(texts_.value(i), filterText_);
}

void ParameterScreen::SetChanged(int i, bool changed) {
    if (i < 0 || i >= rows_.size() || changed_.at(i) == changed) return;
    changed_[i] = changed;
    const RowWidgets& row = rows_.at(i);
    row.box->setAccessibleDescription(changed ? QStringLiteral("changed") : QString());
    ShowIf(row.changed, changed && !row.box->isHidden());
}

void ParameterScreen::SetFilter(const QString& text, bool changedOnly) {
    filterText_ = text;
    changedOnly_ = changedOnly;
    Arrange();
}

void ParameterScreen::ApplyVisibility() {
    // The maker's rows hidden from others do not count as filtered out:
    // their headings stay as they always did.
    QVector<bool> passing(rows_.size());
    for (int i = 0; i < rows_.size(); ++i) {
        passing[i] = Passes(i);
        const bool shown = !concealed_.at(i) && passing.at(i);
        const RowWidgets& row = rows_.at(i);
        for (QWidget* w : std::initializer_list<QWidget*>{row.name, row.note, row.box, row.attr}) ShowIf(w, shown);
        ShowIf(row.changed, shown && changed_.at(i));
    }
    QVector<int> itemSlots = order_.mid(0, rows_.size());
    itemSlots.resize(rows_.size());
    headerShown_ = HeadingsOfShownRows(itemSlots, passing, headerSlots_);
    for (int h = 0; h < headers_.size(); ++h) ShowIf(headers_.at(h), headerShown_.at(h));
}

void ParameterScreen::Arrange() {
    ApplyVisibility();
    // The rows' measures follow the fonts of their widgets.
    int nameToBox = kNameToBox, boxToAttr = kBoxToAttr, attrHeight = 0;
    if (!rows_.isEmpty()) {
        const RowWidgets& r = rows_.first();
        nameToBox = std::max(kNameToBox, r.name->sizeHint().height() + 2);
        boxToAttr = std::max(kBoxToAttr, r.box->sizeHint().height());
        attrHeight = QFontMetrics(r.attr->font()).height();
    }
    const int pitch = std::max(kRowPitch, nameToBox + boxToAttr + attrHeight + 7);

    // Rows packed when the filter hides some; the maker's rows hidden from
    // others keep their place, as they always did.
    QVector<int> itemSlots = order_.mid(0, rows_.size());
    itemSlots.resize(rows_.size());
    QVector<bool> shown(rows_.size());
    for (int i = 0; i < rows_.size(); ++i) shown[i] = Passes(i);
    itemSlots += headerSlots_;
    shown += headerShown_;
    const QVector<int> placed = PlacedSlots(itemSlots, shown, int(headers_.size()));

    const int lastSlot = placed.isEmpty() ? 0 : *std::max_element(placed.begin(), placed.end());
    QVector<int> height(std::clamp(lastSlot + 1, 1, kMostSlots + 1), pitch);
    if (lastSlot <= kMostSlots) {
        for (int i = 0; i < rows_.size(); ++i)
            if (shown.at(i) && placed.at(i) >= 1)
                height[placed.at(i)] = std::max(height.at(placed.at(i)), rows_.at(i).note->height() + 6);
        for (int h = 0; h < headers_.size(); ++h) {
            const int s = placed.at(int(rows_.size()) + h);
            if (headerShown_.at(h) && s >= 1) height[s] = std::max(height.at(s), nameToBox + headers_.at(h)->height() + 6);
        }
    }
    QVector<int> top(height.size());
    top[0] = kFirstTop - pitch;
    if (top.size() > 1) top[1] = kFirstTop;
    for (int s = 2; s < top.size(); ++s) top[s] = top.at(s - 1) + height.at(s - 1);
    auto topOf = [&](int slot) {
        if (slot >= 1 && slot < top.size()) return top.at(slot);
        return kFirstTop + pitch * (slot - 1);
    };

    int bottom = 0;
    for (int i = 0; i < rows_.size(); ++i) {
        const RowWidgets& row = rows_.at(i);
        const int y = topOf(placed.at(i));
        row.changed->move(kMarkLeft, y);
        row.name->move(kLeft, y);
        row.note->move(row.note->x(), y);
        row.box->move(kLeft, y + nameToBox);
        row.attr->move(kLeft, y + nameToBox + boxToAttr);
        if (!row.box->isHidden()) bottom = std::max({bottom, row.attr->geometry().bottom() + 1 + 10, row.note->geometry().bottom() + 1});
    }
    for (int h = 0; h < headers_.size(); ++h) {
        QLabel* label = headers_.at(h);
        label->move(kLeft, topOf(placed.at(int(rows_.size()) + h)) + nameToBox);
        if (!label->isHidden()) bottom = std::max(bottom, label->geometry().bottom() + 1);
    }
    if (!margin_) {
        margin_ = new QLabel(content_);
        margin_->setObjectName(QStringLiteral("MarginLabel"));
        margin_->setFixedSize(1, 1);
        margin_->setAccessibleName(QStringLiteral("End of parameters"));
        margin_->show();
    }
    margin_->move(kLeft, bottom + 10);
}

int ParameterScreen::IndexOf(const QLineEdit* box) const {
    for (int i = 0; i < rows_.size(); ++i)
        if (rows_.at(i).box == box) return i;
    return -1;
}

QVector<QLineEdit*> ParameterScreen::Boxes() const {
    QVector<QLineEdit*> out;
    for (const RowWidgets& r : rows_) out << r.box;
    return out;
}

QVector<QLabel*> ParameterScreen::Names() const {
    QVector<QLabel*> out;
    for (const RowWidgets& r : rows_) out << r.name;
    return out;
}

QVector<QLabel*> ParameterScreen::Notes() const {
    QVector<QLabel*> out;
    for (const RowWidgets& r : rows_) out << r.note;
    return out;
}

QVector<QLabel*> ParameterScreen::Attrs() const {
    QVector<QLabel*> out;
    for (const RowWidgets& r : rows_) out << r.attr;
    return out;
}

} // namespace vorda
