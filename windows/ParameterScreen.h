#pragma once
// The rows of the parameter screen: for each parameter of the map its
// caption, note, value box and attributes, and the map's headings, placed
// in screen order in the scrolling area. It shows; the session knows.
#include "maps/DMap.h"
#include "values/ParameterFields.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class QLabel;
class QLineEdit;
class QObject;
class QWidget;

namespace vorda {

struct RowWidgets {
    QLabel* name = nullptr;
    QLabel* note = nullptr;
    QLineEdit* box = nullptr;
    QLabel* attr = nullptr;
    // Beside the name while the row's value differs from its source.
    QLabel* changed = nullptr;
};

class ParameterScreen {
public:
    // Rows go into content; events of every row widget go to filter.
    ParameterScreen(QWidget* content, QObject* filter) : content_(content), filter_(filter) {}

    // The screen row of each parameter: its Sequence number.
    void SetOrder(const QList<DMap>& params);
    // The screen row of parameter paramIndex; 0 when it has none.
    int OrderOf(int paramIndex) const;
    // The parameter shown at the top.
    int TopParameter() const;

    // Replaces the rows with those of params and headers; every widget of
    // the previous map goes.
    void Build(const QList<DMap>& params, const QList<MapHeader>& headers);
    // Shows a parameter's field: caption, attributes, box size and limit,
    // hint and note; the box is named by the parameter and its unit.
    void ShowDesign(int i, const DMap& param, const FieldDesign& design, const QString& unit);
    // Ordinary users do not edit read-only parameters (they can still reach
    // and read them) and do not see the maker's.
    void ApplyAccess(const QList<DMap>& params, bool makerAccess);
    // Places the shown rows and headings, each row as high as its texts
    // need, and the margin below the lowest.
    void Arrange();

    // Marks row i as changed or not.
    void SetChanged(int i, bool changed);
    bool Changed(int i) const { return changed_.value(i); }
    // Shows only the rows whose name or description holds text (any case)
    // and, with changedOnly, that are marked changed; with the headings of
    // the rows shown.
    void SetFilter(const QString& text, bool changedOnly);
    // Row i passes the filter (it may still be hidden by its access).
    bool Passes(int i) const;

    int Count() const { return int(rows_.size()); }
    const RowWidgets& Row(int i) const { return rows_.at(i); }
    // The box of row i, or -1 when box is no row's.
    int IndexOf(const QLineEdit* box) const;
    QVector<QLineEdit*> Boxes() const;
    QVector<QLabel*> Names() const;
    QVector<QLabel*> Notes() const;
    QVector<QLabel*> Attrs() const;
    const QVector<QLabel*>& Headers() const { return headers_; }

private:
    void Destroy();
    // Shows and hides the rows and headings as access and filter say.
    void ApplyVisibility();

    QWidget* content_;
    QObject* filter_;
    QVector<RowWidgets> rows_;
    QVector<QStringList> texts_;   // what the filter looks in, per row
    QVector<bool> concealed_;      // the maker's rows, hidden from others
    QVector<bool> changed_;
    QVector<QLabel*> headers_;
    QVector<int> headerSlots_;
    QVector<bool> headerShown_;
    QLabel* margin_ = nullptr;
    QVector<int> order_;
    QString filterText_;
    bool changedOnly_ = false;
};

} // namespace vorda
