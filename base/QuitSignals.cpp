#include "QuitSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace vorda {
namespace {

// The pipe's write end, for the handler: a signal handler can reach nothing
// but static state.
std::atomic<int> gWriteEnd{-1};

void OnSignal(int signal) {
    const int saved = errno;
    const int fd = gWriteEnd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals(std::function<void(int)> onSignal) {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    gWriteEnd.store(fds_[1]);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &oldTerm_);
    ::sigaction(SIGINT, &action, &oldInt_);
    if (onSignal) {
        notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this, onSignal = std::move(onSignal)] {
            if (const int signal = Take()) onSignal(signal);
        });
    }
}

QuitSignals::~QuitSignals() {
    if (fds_[0] < 0) return;
    ::sigaction(SIGTERM, &oldTerm_, nullptr);
    ::sigaction(SIGINT, &oldInt_, nullptr);
    gWriteEnd.store(-1);
    delete notifier_;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

int QuitSignals::Take() {
    unsigned char bytes[16];
    int signal = 0;
    ssize_t n;
    // Several signals may have come: all are taken, the first one counts.
    while ((n = ::read(fds_[0], bytes, sizeof bytes)) > 0)
        if (signal == 0) signal = bytes[0];
    if (signal != 0 && caught_ == 0) caught_ = signal;
    return signal;
}

int QuitSignals::Pending() { return fds_[0] < 0 ? 0 : Take(); }

} // namespace vorda
