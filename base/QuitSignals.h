#pragma once
#include <QObject>

#include <functional>

#include <signal.h>

class QSocketNotifier;

namespace vorda {

// A program ended by a signal exits with this plus the signal's number.
inline constexpr int kSignalExitBase = 128;

// Catches SIGTERM and SIGINT while it lives. The handler only writes the
// signal's number into a pipe; the program learns of it on its own thread,
// where ending cleanly (ports closed, their lock files removed) is safe:
// through onSignal from the event loop, or by asking Pending() where no
// event loop runs. Only one may live at a time.
class QuitSignals : public QObject {
public:
    explicit QuitSignals(std::function<void(int signal)> onSignal = {});
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // The signal caught since the last call, or 0; it is then handled.
    int Pending();
    // The first signal caught in this object's life, or 0.
    int Caught() const { return caught_; }

private:
    int Take();

    int fds_[2] = {-1, -1};
    int caught_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction oldTerm_ {};
    struct sigaction oldInt_ {};
};

} // namespace vorda
