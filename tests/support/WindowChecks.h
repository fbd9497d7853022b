#pragma once
// Checks any window of the program passes: its texts read on their grounds,
// Tab leaves its grids, a screen reader can name its controls.
#include "tests/support/DarkPalette.h"
#include "windows/PaletteColours.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

namespace vorda::test {

// The Fusion style with a dark palette, as a dark desktop gives it, for the
// windows created while it lasts.
class DarkTheme {
public:
    DarkTheme() : palette_(QApplication::palette()), style_(QApplication::style()->name()) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(DarkPalette());
    }
    ~DarkTheme() {
        QApplication::setStyle(QStyleFactory::create(style_));
        QApplication::setPalette(palette_);
    }
    DarkTheme(const DarkTheme&) = delete;
    DarkTheme& operator=(const DarkTheme&) = delete;

private:
    QPalette palette_;
    QString style_;
};

// The colour a widget's text is drawn on: its own when it fills its
// background, else that of the nearest parent that does, else the window's.
inline QColor GroundOf(const QWidget* w) {
    const QWidget* ground = w;
    while (!ground->autoFillBackground() && !ground->isWindow() && ground->parentWidget())
        ground = ground->parentWidget();
    return ground->palette().color(ground->backgroundRole());
}

// The visible labels of window whose text reads worse than 4.5 : 1 on its
// ground (a link in the palette's link colour).
inline QStringList UnreadableLabels(const QWidget* window) {
    QStringList out;
    for (const QLabel* l : window->findChildren<QLabel*>()) {
        if (!l->isVisibleTo(window) || l->text().isEmpty()) continue;
        const bool link = l->text().contains(QLatin1String("<a "));
        const QColor text = l->palette().color(link ? QPalette::Link : l->foregroundRole());
        const double contrast = Contrast(text, GroundOf(l));
        if (contrast < kReadableContrast)
            out << QStringLiteral("%1 (%2 : 1)").arg(l->objectName()).arg(contrast, 0, 'f', 1);
    }
    return out;
}

// The least contrast of the texts of a grid's cells on their grounds, as its
// model gives them.
inline double LeastCellContrast(const QAbstractItemView* grid) {
    const QAbstractItemModel* m = grid->model();
    double least = 21;
    for (int r = 0; r < m->rowCount(); ++r)
        for (int c = 0; c < m->columnCount(); ++c) {
            const QModelIndex i = m->index(r, c);
            const QVariant fg = i.data(Qt::ForegroundRole), bg = i.data(Qt::BackgroundRole);
            const QColor text = fg.isValid() ? fg.value<QColor>() : grid->palette().color(QPalette::Text);
            const QColor ground = bg.isValid() ? bg.value<QColor>() : grid->palette().color(QPalette::Base);
            least = std::min(least, Contrast(text, ground));
        }
    return least;
}

// Shows window and makes it the active one, so that it takes key presses.
inline bool Activate(QWidget* window) {
    window->show();
    window->raise();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// How many presses of Tab (forward) or Shift+Tab take the focus off grid
// and its cell editors: 0 when it is still there after limit presses.
inline int PressesToLeave(QWidget* grid, bool forward, int limit = 8) {
    grid->setFocus(Qt::OtherFocusReason);
    for (int n = 1; n <= limit; ++n) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus) return 0;
        if (forward) QTest::keyClick(focus, Qt::Key_Tab);
        else QTest::keyClick(focus, Qt::Key_Backtab, Qt::ShiftModifier);
        QWidget* now = QApplication::focusWidget();
        if (now && now != grid && !grid->isAncestorOf(now)) return n;
    }
    return 0;
}

// The controls of window that a screen reader cannot name: those Tab
// reaches without a name (for a box with a list, without a label naming it
// either), and plain containers that would be read as "filler".
inline QStringList UnnamedControls(const QWidget* window) {
    QStringList out;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window)) continue;
        // Parts of other controls: the box of a list, scroll bars, headers, viewports.
        if (qobject_cast<QComboBox*>(w->parentWidget()) || qobject_cast<QAbstractSpinBox*>(w->parentWidget()) || qobject_cast<QScrollBar*>(w) || qobject_cast<QHeaderView*>(w) ||
            w->objectName().startsWith(QLatin1String("qt_scrollarea")))
            continue;
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w->parentWidget()); area && area->viewport() == w) continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (!a) continue;
        const QString name = QString(a->text(QAccessible::Name)).remove(QLatin1Char('&')).trimmed();
        const bool labelled = !a->relations(QAccessible::Label).isEmpty();
        const bool reached = (w->focusPolicy() & Qt::TabFocus) && w->isEnabled();
        if (reached && name.isEmpty() && w->accessibleName().isEmpty()) out << w->objectName() + QStringLiteral(" (no name)");
        if (reached && qobject_cast<QComboBox*>(w) && !labelled) out << w->objectName() + QStringLiteral(" (no label)");
        if (a->role() == QAccessible::Client && w != window)
            out << w->objectName() + QStringLiteral(" (filler, ") + QLatin1String(w->metaObject()->className()) + u')';
    }
    return out;
}

} // namespace vorda::test
