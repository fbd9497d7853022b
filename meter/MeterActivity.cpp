#include "MeterActivity.h"

#include "SerialLayer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace vorda {

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Close:
        return true;
    default:
        return false;
    }
}

// The dialog the command itself has shown (a message, a question, a file
// dialog), if the object belongs to it. A popup open over that dialog (a
// completer's list, a drop-down) belongs to it too: the dialog is the only
// window that takes input, so nothing else can have opened it.
bool InCommandDialog(QObject* watched) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return false;
    if (QApplication::activePopupWidget()) return true;
    if (auto* w = qobject_cast<QWidget*>(watched)) return w->window() == modal;
    if (auto* win = qobject_cast<QWindow*>(watched)) return win == modal->windowHandle();
    return false;
}

} // namespace

MeterActivity::MeterActivity(SerialLayer& serial) : serial_(serial) {}

MeterActivity::~MeterActivity() {
    // Whoever set the hooks may be going too.
    commandEnds_ = nullptr;
    if (depth_ > 0) {
        depth_ = 1;
        End();
    }
}

MeterActivity::Scope::Scope(MeterActivity& activity) : activity_(activity) { activity_.Begin(); }

MeterActivity::Scope::~Scope() { activity_.End(); }

void MeterActivity::Begin() {
    if (depth_++ > 0) return;
    stopRequested_ = false;
    sinceLast_.invalidate();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
    serial_.SetWaitHook([this] { KeepAlive(); });
    if (commandBegins_) commandBegins_();
}

void MeterActivity::End() {
    if (depth_ == 1 && commandEnds_) commandEnds_();
    if (--depth_ > 0) return;
    serial_.SetWaitHook({});
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

void MeterActivity::KeepAlive(bool force) {
    if (!Running() || inKeepAlive_) return;
    if (!force && sinceLast_.isValid() && sinceLast_.elapsed() < kIntervalMs) return;
    inKeepAlive_ = true;
    if (refresh_) refresh_();
    // Input is taken, so that a wish to stop is seen; the filter drops the
    // rest.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    inKeepAlive_ = false;
    sinceLast_.start();
}

bool MeterActivity::AsksToStop(QObject* watched, QEvent* event) const {
    switch (event->type()) {
    case QEvent::KeyPress: {
        // Esc, or Ctrl+C as in a terminal: nothing can be copied while a
        // command runs.
        const auto* key = static_cast<QKeyEvent*>(event);
        return key->key() == Qt::Key_Escape || (key->key() == Qt::Key_C && key->modifiers() == Qt::ControlModifier);
    }
    case QEvent::Close: return true;
    case QEvent::MouseButtonPress: {
        if (!stopControl_ || !stopControl_->isVisible() || !stopControl_->isEnabled()) return false;
        if (watched == stopControl_) return true;
        // The press reaches the window before the control under it.
        const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        return QApplication::widgetAt(at) == stopControl_;
    }
    default: return false;
    }
}

bool MeterActivity::eventFilter(QObject* watched, QEvent* event) {
    if (event->spontaneous() && IsUserInput(event->type()) && !InCommandDialog(watched)) {
        if (AsksToStop(watched, event)) stopRequested_ = true;
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vorda
