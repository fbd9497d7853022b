#include "windows/ParameterScreen.h"

#include "units/NumberFormat.h"
#include "windows/WidgetStyle.h"

#include <QLabel>
#include <QLineEdit>

namespace vorda {

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
    }
    rows_.clear();
    qDeleteAll(headers_);
    headers_.clear();
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
        const int r = OrderOf(i);
        RowWidgets row;
        row.name = new QLabel(p.Parameter, content_);
        row.name->setObjectName(QStringLiteral("NameLabel%1").arg(i));
        row.name->move(20, 60 * r - 40);
        SetTextColour(row.name, kCaptionBlue);
        SetBold(row.name);
        row.note = new QLabel(content_);
        row.note->setObjectName(QStringLiteral("NoteLabel%1").arg(i));
        row.note->move(20, 60 * r - 40);
        SetTextColour(row.note, kNoteNavy);
        SetBold(row.note);
        row.note->setToolTip(p.DescToolTip);
        row.box = new QLineEdit(content_);
        row.box->setObjectName(QStringLiteral("ValueEdit%1").arg(i));
        row.box->setAccessibleName(p.Parameter);
        row.box->move(20, 60 * r - 25);
        row.box->setFont(courier);
        row.box->setToolTip(p.DescToolTip);
        row.attr = new QLabel(content_);
        row.attr->setObjectName(QStringLiteral("AttrLabel%1").arg(i));
        row.attr->move(20, 60 * r - 3);
        for (QWidget* w : std::initializer_list<QWidget*>{row.name, row.note, row.box, row.attr}) {
            w->installEventFilter(filter_);
            w->show();
        }
        rows_ << row;
    }
    headersBottom_ = 0;
    for (int h = 0; h < headers.size(); ++h) {
        const MapHeader& header = headers.at(h);
        bool ok = false;
        const int order = header.Order.trimmed().toInt(&ok);
        auto* label = new QLabel(header.Heading, content_);
        label->setObjectName(QStringLiteral("HeaderLabel%1").arg(h));
        QFont hf = label->font();
        hf.setPointSize(8);
        hf.setBold(true);
        label->setFont(hf);
        SetTextColour(label, kNoteNavy);
        label->setWordWrap(true);
        label->setFixedWidth(500);
        label->adjustSize();
        label->move(20, 60 * (ok ? order : 0) - 25);
        label->installEventFilter(filter_);
        label->show();
        headersBottom_ = label->geometry().bottom() + 1;
        headers_ << label;
    }
}

void ParameterScreen::ShowDesign(int i, const DMap& param, const FieldDesign& design) {
    const RowWidgets& row = rows_.at(i);
    row.name->setText(design.caption);
    row.name->adjustSize();
    row.attr->setText(design.attributes);
    row.attr->adjustSize();
    row.box->resize(design.boxWidth, row.box->sizeHint().height());
    row.box->setMaxLength(design.maxLength > 0 ? design.maxLength : 32767);
    row.box->setToolTip(design.hint);
    row.note->setText(param.DescAlways);
    row.note->setWordWrap(true);
    row.note->setFixedWidth(500);
    row.note->adjustSize();
    row.note->move(std::max(row.name->width(), design.boxWidth) + 40, row.note->y());
}

void ParameterScreen::ApplyAccess(const QList<DMap>& params, bool makerAccess) {
    for (int i = 0; i < rows_.size() && i < params.size(); ++i) {
        const RowWidgets& row = rows_.at(i);
        const QString& access = params.at(i).Access;
        row.box->setEnabled(true);
        if (makerAccess) continue;
        if (access == QLatin1String("R")) row.box->setEnabled(false);
        if (access == QLatin1String("C"))
            for (QWidget* w : std::initializer_list<QWidget*>{row.box, row.name, row.note, row.attr}) w->hide();
    }
}

void ParameterScreen::PlaceMargin() {
    int lastAttrBottom = 0;
    if (!rows_.isEmpty()) lastAttrBottom = rows_.last().attr->geometry().bottom() + 1 + 10;
    delete margin_;
    margin_ = new QLabel(content_);
    margin_->setObjectName(QStringLiteral("MarginLabel"));
    margin_->setFixedSize(1, 1);
    margin_->move(20, std::max(lastAttrBottom, headersBottom_) + 10);
    margin_->show();
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
