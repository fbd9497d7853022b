#include "QtSerialLayer.h"

#include "PortNames.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>

#include <algorithm>
#include <vector>

#include <cerrno>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <grp.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace vorda {

namespace {

constexpr int kWriteWaitMs = 1000; // longest wait for queued bytes to leave

// Sorts "ttyS2" before "ttyS10": by the name's letters, then its number.
bool DeviceOrder(const QString& a, const QString& b) {
    auto split = [](const QString& s) {
        int i = s.size();
        while (i > 0 && s[i - 1].isDigit()) --i;
        return std::pair<QString, qulonglong>(s.left(i), s.mid(i).toULongLong());
    };
    const auto [pa, na] = split(a);
    const auto [pb, nb] = split(b);
    if (pa != pb) return pa < pb;
    if (na != nb) return na < nb;
    return a < b;
}

void ApplyLineDefaults(QSerialPort& port) {
    port.setBaudRate(QSerialPort::Baud19200);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::TwoStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}

// The next stretch of a wait: up to the time-out, but no longer than until
// the wait hook is due.
int WaitSlice(qint64 left, const QDeadlineTimer& nextHook) {
    return static_cast<int>(std::clamp<qint64>(std::min(left, nextHook.remainingTime()), 1, left));
}

// The running process that holds the device as serial programs agree to: a
// lock file "LCK..<name>" whose first line is its process number, in one of
// the usual folders (QSerialPort writes one). 0 when there is none. (The
// system lets a privileged user open a port held by another program, so the
// open alone does not tell.)
qint64 LockingProcess(const QString& device) {
    QString name = device.startsWith(QStringLiteral("/dev/")) ? device.mid(5) : device;
    name.replace(u'/', u'_');
    for (const char* dir : {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp",
                            "/var/tmp", "/var/lock/lockdev", "/run/lock"}) {
        QFile lock(QString::fromLatin1(dir) + QStringLiteral("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly)) continue;
        bool ok = false;
        const qint64 pid = lock.readLine(32).trimmed().toLongLong(&ok);
        if (ok && pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM))
            return pid;
    }
    return 0;
}

// Opens the device for the probe without taking it: a descriptor, or -1
// with errno set.
int OpenForProbe(const QString& device) {
    return ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

// Pulls whatever the device has already delivered into the port's buffer.
void Poll(QSerialPort& port) {
    while (port.waitForReadyRead(0)) {
    }
}

// The device hung up or failed (cable or adapter pulled): it cannot answer
// until it is opened again. The serial library notices only when it reads,
// so the device's own hang-up is asked for as well.
bool Gone(const QSerialPort& port) {
    if (port.error() == QSerialPort::ResourceError) return true;
    pollfd hangUp{static_cast<int>(port.handle()), POLLIN, 0};
    return ::poll(&hangUp, 1, 0) > 0 && (hangUp.revents & (POLLHUP | POLLERR | POLLNVAL));
}

} // namespace

bool RequestLowLatency(int fd) {
    // USB serial adapters hold a short reply back until their latency timer
    // runs out (often 16 ms) unless the port asks for low latency; their
    // drivers then pass every byte on at once. Devices without the setting
    // (pseudo-terminals, most on-board ports) refuse the call and work as
    // they are.
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0) return false;
    if (info.flags & ASYNC_LOW_LATENCY) return true;
    info.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd, TIOCSSERIAL, &info) == 0;
}

namespace {

} // namespace

QStringList SystemSerialDevices() {
    QStringList result;
    const QDir dev(QStringLiteral("/dev"));
    for (const char* group : {"ttyS*", "ttyUSB*", "ttyACM*"}) {
        QStringList names = dev.entryList({QString::fromLatin1(group)}, QDir::System | QDir::Files);
        std::sort(names.begin(), names.end(), DeviceOrder);
        for (const QString& n : names) result << dev.filePath(n);
    }
    return result;
}

QtSerialLayer::QtSerialLayer() = default;

QtSerialLayer::~QtSerialLayer() {
    for (QSerialPort* p : std::as_const(ports_)) {
        p->close();
        delete p;
    }
}

void QtSerialLayer::refreshSystemDevices() {
    systemDevices_ = SystemSerialDevices();
    systemDevicesListed_ = true;
}

QString QtSerialLayer::DevicePath(unsigned comNr) {
    if (comNr == 0) return QString();
    const QString dir = qEnvironmentVariable("VORDA_PORT_DIR");
    if (!dir.isEmpty()) {
        // Wine's dosdevices folder writes the names in lower case.
        for (const QString& name : {QStringLiteral("COM%1").arg(comNr), QStringLiteral("com%1").arg(comNr)}) {
            const QFileInfo entry(dir + u'/' + name);
            if (!entry.exists()) continue; // also a link to nothing
            const QString real = entry.canonicalFilePath();
            if (!real.isEmpty()) return real;
        }
        return QString();
    }
    // The list is taken again at the start of every scan (COM1), so that one
    // scan and the connection after it see the same numbering.
    if (!systemDevicesListed_ || comNr == 1) refreshSystemDevices();
    if (comNr > static_cast<unsigned>(systemDevices_.size())) return QString();
    const QFileInfo entry(systemDevices_[comNr - 1]);
    return entry.exists() ? entry.canonicalFilePath() : QString();
}

bool QtSerialLayer::heldOpen(const QString& devicePath) {
    for (auto it = devices_.begin(); it != devices_.end(); ++it) {
        QSerialPort* p = it.value() == devicePath ? openPort(it.key()) : nullptr;
        if (!p) continue;
        // A port whose device hung up holds nothing: it is closed, with its
        // lock file, so that the device can be found again when it is back.
        if (Gone(*p)) {
            p->close();
            continue;
        }
        return true;
    }
    return false;
}

int QtSerialLayer::closedCode(int port) const {
    // A port this layer opened and did not let go was closed under it: the
    // serial library closes a port whose device hung up.
    return ports_.contains(port) ? kSioGone : kSioBadPort;
}

QSerialPort* QtSerialLayer::openPort(int port) const {
    QSerialPort* p = ports_.value(port, nullptr);
    return p && p->isOpen() ? p : nullptr;
}

int QtSerialLayer::SioReset(int port, int, int) {
    if (port < 0) return kSioBadPort;
    if (QSerialPort* p = openPort(port)) {
        // Whatever is still queued in either direction belongs to an earlier
        // exchange.
        Poll(*p);
        if (!Gone(*p)) {
            p->clear(QSerialPort::AllDirections);
            p->readAll();
            p->clearError();
            return 0;
        }
        // The device hung up: it is opened afresh, in case it is back.
        p->close();
    }
    // A port of this layer's that is closed hung up; if it cannot be opened
    // again, its device is still gone.
    const int failed = ports_.contains(port) ? kSioGone : kSioBadPort;
    const QString device = DevicePath(static_cast<unsigned>(port) + 1);
    if (device.isEmpty()) return failed;
    if (heldOpen(device)) return kSioError;
    auto* p = new QSerialPort();
    p->setPortName(device);
    if (!p->open(QIODevice::ReadWrite)) {
        delete p;
        return failed == kSioGone ? kSioGone : kSioError;
    }
    ApplyLineDefaults(*p);
    RequestLowLatency(static_cast<int>(p->handle()));
    p->clear(QSerialPort::AllDirections);
    delete ports_.take(port);
    ports_.insert(port, p);
    devices_.insert(port, device);
    return 0;
}

int QtSerialLayer::SioBaud(int port, int baudCode) {
    QSerialPort* p = openPort(port);
    if (!p) return closedCode(port);
    // The serial library's speed codes.
    static constexpr qint32 kRates[] = {110, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    if (baudCode < 0 || baudCode >= static_cast<int>(std::size(kRates))) return kSioError;
    return p->setBaudRate(kRates[baudCode]) ? 0 : kSioError;
}

int QtSerialLayer::SioParms(int port, int parity, int stopBits, int dataBits) {
    QSerialPort* p = openPort(port);
    if (!p) return closedCode(port);
    QSerialPort::Parity par;
    switch (parity) {
    case 0: par = QSerialPort::NoParity; break;
    case 1: par = QSerialPort::OddParity; break;
    case 2: par = QSerialPort::EvenParity; break;
    case 3: par = QSerialPort::MarkParity; break;
    case 4: par = QSerialPort::SpaceParity; break;
    default: return kSioError;
    }
    QSerialPort::StopBits stop;
    switch (stopBits) {
    case 0:
    case 1: stop = QSerialPort::OneStop; break;
    case 2: stop = QSerialPort::TwoStop; break;
    default: return kSioError;
    }
    if (dataBits < 5 || dataBits > 8) return kSioError;
    const bool ok = p->setParity(par) && p->setStopBits(stop) &&
                    p->setDataBits(static_cast<QSerialPort::DataBits>(dataBits)) &&
                    p->setFlowControl(QSerialPort::NoFlowControl);
    return ok ? 0 : kSioError;
}

int QtSerialLayer::SioDone(int port) {
    QSerialPort* p = ports_.take(port);
    devices_.remove(port);
    if (!p) return kSioBadPort;
    const bool wasOpen = p->isOpen();
    p->close();
    delete p;
    return wasOpen ? 0 : kSioBadPort;
}

int QtSerialLayer::SioPuts(int port, const unsigned char* bytes, int count) {
    QSerialPort* p = openPort(port);
    if (!p) return closedCode(port);
    if (count <= 0) return 0;
    const qint64 n = p->write(reinterpret_cast<const char*>(bytes), count);
    if (n < 0) return Gone(*p) ? kSioGone : kSioError;
    // Hand the bytes to the device now: without an event loop nothing else
    // would.
    p->flush();
    if (Gone(*p)) return kSioGone;
    return static_cast<int>(n);
}

int QtSerialLayer::SioTxQue(int port) {
    QSerialPort* p = openPort(port);
    if (!p) return closedCode(port);
    return static_cast<int>(p->bytesToWrite());
}

int QtSerialLayer::SioEvent(int port, int mask) {
    QSerialPort* p = openPort(port);
    if (!p) return closedCode(port);
    if (mask & 4) {
        const QDeadlineTimer deadline(kWriteWaitMs);
        while (p->bytesToWrite() > 0) {
            if (deadline.hasExpired() || !p->waitForBytesWritten(int(deadline.remainingTime())))
                return kSioTimeout;
        }
    }
    return 0;
}

int QtSerialLayer::SioRxWait(int port, int count, int timeoutMs) {
    QSerialPort* p = openPort(port);
    if (!p) return closedCode(port);
    Poll(*p);
    const QDeadlineTimer deadline(std::max(0, timeoutMs));
    QDeadlineTimer nextHook(0);
    while (p->bytesAvailable() < count) {
        // The hook runs first while the reply is still on its way, so that
        // what it does costs no time of its own.
        if (nextHook.hasExpired()) {
            WhileWaiting();
            nextHook.setRemainingTime(kWaitHookIntervalMs);
            if (!(p = openPort(port))) return closedCode(port);
            continue;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0) return kSioTimeout;
        // A device that went away (unplugged, simulator ended) fails at once
        // instead of spinning until the time-out.
        if (!p->waitForReadyRead(WaitSlice(left, nextHook)) && Gone(*p)) return kSioGone;
    }
    return static_cast<int>(p->bytesAvailable());
}

QList<int> QtSerialLayer::SioRxWaitAny(const QList<int>& ports, int count, int timeoutMs) {
    const QDeadlineTimer deadline(std::max(0, timeoutMs));
    QDeadlineTimer nextHook(0);
    QList<int> gone; // devices that went away cannot answer any more
    for (;;) {
        QList<int> ready;
        std::vector<pollfd> waiting;
        for (int port : ports) {
            QSerialPort* p = openPort(port);
            if (!p || gone.contains(port)) continue;
            Poll(*p);
            if (p->bytesAvailable() >= count)
                ready << port;
            else if (Gone(*p))
                gone << port;
            else
                waiting.push_back(pollfd{static_cast<int>(p->handle()), POLLIN, 0});
        }
        if (!ready.isEmpty() || waiting.empty()) return ready;
        if (nextHook.hasExpired()) {
            WhileWaiting();
            nextHook.setRemainingTime(kWaitHookIntervalMs);
            continue;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0) return ready;
        // One wait for all of them; whichever delivers first ends it.
        ::poll(waiting.data(), waiting.size(), WaitSlice(left, nextHook));
    }
}

int QtSerialLayer::SioGetc(int port) {
    QSerialPort* p = openPort(port);
    if (!p) return closedCode(port);
    if (p->bytesAvailable() == 0) Poll(*p);
    char c = 0;
    if (!p->getChar(&c)) return kSioNoData;
    return static_cast<unsigned char>(c);
}

int QtSerialLayer::SioTxClear(int port) {
    QSerialPort* p = openPort(port);
    if (!p) return closedCode(port);
    return p->clear(QSerialPort::Output) ? 0 : kSioError;
}

int QtSerialLayer::ProbeDevice(const QString& deviceName) {
    const unsigned com = ComNumberFromName(deviceName);
    if (com == 0) return kProbeNotFound;
    const QString device = DevicePath(com);
    if (device.isEmpty()) return kProbeNotFound;
    if (heldOpen(device) || LockingProcess(device) > 0) return kProbeAccessDenied;
    // A plain open and close: the port is opened properly when it is tested,
    // and a probe without the lock file a full open writes costs next to
    // nothing, however many ports there are.
    const int fd = OpenForProbe(device);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENODEV:
        case ENXIO: return kProbeNotFound;
        case EACCES:
        case EPERM:
        case EBUSY: return kProbeAccessDenied;
        default: return kProbeFailed;
        }
    }
    termios settings;
    const bool terminal = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    return terminal ? 0 : kProbeFailed;
}

PortHolder QtSerialLayer::HolderOf(const QString& deviceName) {
    const unsigned com = ComNumberFromName(deviceName);
    const QString device = com == 0 ? QString() : DevicePath(com);
    if (device.isEmpty() || heldOpen(device)) return {};
    if (const qint64 pid = LockingProcess(device)) return PortHolder::InUse(pid);
    // A program that keeps no lock file but holds the device exclusively.
    const int fd = OpenForProbe(device);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    const int error = errno;
    if (error == EACCES || error == EPERM) {
        // The device behind the port's link, and the group that may open it.
        QString path = QFileInfo(device).canonicalFilePath();
        if (path.isEmpty()) path = device;
        QString groupName;
        struct stat st{};
        if (::stat(path.toLocal8Bit().constData(), &st) == 0)
            if (const group* g = ::getgrgid(st.st_gid)) groupName = QString::fromLocal8Bit(g->gr_name);
        return PortHolder::Denied(path, groupName);
    }
    return error == EBUSY ? PortHolder::InUse(0) : PortHolder();
}

} // namespace vorda
