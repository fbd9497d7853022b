#pragma once
// The rows of the parameter screen: for each parameter of the map its
// caption, note, value box and attributes, and the map's headings, placed
// in screen order in the scrolling area. It shows; the session knows.
#include "maps/DMap.h"
#include "values/ParameterFields.h"

#include <QList>
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
    // hint and note.
    void ShowDesign(int i, const DMap& param, const FieldDesign& design);
    // Ordinary users do not edit read-only parameters and do not see the
    // maker's.
    void ApplyAccess(const QList<DMap>& params, bool makerAccess);
    // The margin below the lowest row or heading.
    void PlaceMargin();

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

    QWidget* content_;
    QObject* filter_;
    QVector<RowWidgets> rows_;
    QVector<QLabel*> headers_;
    QLabel* margin_ = nullptr;
    int headersBottom_ = 0;
    QVector<int> order_;
};

} // namespace vorda
