#pragma once
// Which rows and headings of the parameter screen a filter leaves, and where
// each shown one goes. Plain code: the screen only applies the answer.
#include <QString>
#include <QStringList>
#include <QVector>

namespace vorda {

// True when one of texts holds needle, whatever the case; an empty needle
// matches everything.
bool TextsMatch(const QStringList& texts, const QString& needle);

// The headings to show: every heading when all rows are shown; otherwise
// those that head a shown row, a heading heading the rows below it up to the
// next heading. Slots are screen rows (the rows' and the headings' order).
QVector<bool> HeadingsOfShownRows(const QVector<int>& rowSlots, const QVector<bool>& rowShown,
                                  const QVector<int>& headingSlots);

// The slot each shown item goes to: its own when nothing is hidden, else the
// shown items packed from slot 1 up in slot order, headings before rows of the
// same slot. Hidden items keep their slot. Items are the rows, then the
// headings.
QVector<int> PlacedSlots(const QVector<int>& itemSlots, const QVector<bool>& shown, int headingCount);

} // namespace vorda
