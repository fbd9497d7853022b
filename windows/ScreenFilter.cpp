#include "windows/ScreenFilter.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace vorda {

bool TextsMatch(const QStringList& texts, const QString& needle) {
    if (needle.isEmpty()) return true;
    return std::any_of(texts.begin(), texts.end(),
                       [&needle](const QString& t) { return t.contains(needle, Qt::CaseInsensitive); });
}

QVector<bool> HeadingsOfShownRows(const QVector<int>& rowSlots, const QVector<bool>& rowShown,
                                  const QVector<int>& headingSlots) {
    QVector<bool> out(headingSlots.size(), true);
    if (!rowShown.contains(false)) return out;
    for (int h = 0; h < headingSlots.size(); ++h) {
        // The next heading below this one ends its rows.
        int end = std::numeric_limits<int>::max();
        for (int other : headingSlots)
            if (other > headingSlots.at(h) && other < end) end = other;
        out[h] = false;
        for (int r = 0; r < rowSlots.size() && !out.at(h); ++r)
            out[h] = rowShown.value(r) && rowSlots.at(r) > headingSlots.at(h) && rowSlots.at(r) < end;
    }
    return out;
}

QVector<int> PlacedSlots(const QVector<int>& itemSlots, const QVector<bool>& shown, int headingCount) {
    QVector<int> out = itemSlots;
    if (!shown.contains(false)) return out;
    const int rowCount = int(itemSlots.size()) - headingCount;
    QVector<int> order(itemSlots.size());
    std::iota(order.begin(), order.end(), 0);
    // Headings (the items after the rows) first within a slot.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        if (itemSlots.at(a) != itemSlots.at(b)) return itemSlots.at(a) < itemSlots.at(b);
        return (a >= rowCount) > (b >= rowCount);
    });
    int next = 1;
    for (int item : order)
        if (shown.at(item)) out[item] = next++;
    return out;
}

} // namespace vorda
