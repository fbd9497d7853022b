// vorda-sim: serves one simulated meter on a pseudo-terminal, so that the
// program talks to it over a real serial device exactly as to hardware.
//
//   vorda-sim --port-dir DIR --com N (--map FILE [--map-number N] | --registers FILE)
//             [--paced] [--adapter-latency MS] [--hang-up-after[-writes] N] [--dump FILE]
//             [--write-log FILE] [fault options]
//
// Prints "ready <device>" once it listens (the link DIR/COMn, or the
// pseudo-terminal itself without --port-dir) and serves until SIGTERM/SIGINT.

#include "base/Version.h"
#include "maps/MapFile.h"
#include "meter/SimMeter.h"

#include <sys/prctl.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace vorda;

namespace {

// 19200 baud, 8 data bits, no parity, 2 stop bits: 11 bit times per byte.
constexpr double kByteTimeNs = 11.0 / 19200.0 * 1e9;
// A register command whose bytes stop coming for this long is dropped, as the
// meter's inter-byte time-out does.
constexpr int kInterByteTimeoutMs = 100;

int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

[[noreturn]] void Fail(const QString& text) {
    std::fprintf(stderr, "vorda-sim: %s\n", qPrintable(text));
    std::exit(2);
}

timespec Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

timespec Plus(timespec t, double ns) {
    const long long total = static_cast<long long>(t.tv_nsec) + static_cast<long long>(ns);
    t.tv_sec += total / 1000000000LL;
    t.tv_nsec = total % 1000000000LL;
    return t;
}

void SleepUntil(const timespec& t) {
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR && !g_stop) {
    }
}

bool WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
            if (g_stop) return false;
        } else {
            return false;
        }
    }
    return true;
}

void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    cfmakeraw(&t);
    cfsetispeed(&t, B19200);
    cfsetospeed(&t, B19200);
    t.c_cflag |= CSTOPB | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &t);
}

// Points link at target through a temporary name, so that the link is
// replaced in one step; only an existing link (or nothing) may be replaced.
void PlaceLink(const QString& link, const QString& target) {
    const QFileInfo existing(link);
    if (existing.exists() || existing.isSymLink()) {
        if (!existing.isSymLink()) Fail(link + QStringLiteral(" exists and is no link"));
    }
    const QByteArray tmp = (link + QStringLiteral(".tmp%1").arg(::getpid())).toLocal8Bit();
    ::unlink(tmp.constData());
    if (::symlink(target.toLocal8Bit().constData(), tmp.constData()) != 0)
        Fail(QStringLiteral("cannot create link %1: %2").arg(link, QString::fromLocal8Bit(std::strerror(errno))));
    if (::rename(tmp.constData(), link.toLocal8Bit().constData()) != 0) {
        ::unlink(tmp.constData());
        Fail(QStringLiteral("cannot place link %1: %2").arg(link, QString::fromLocal8Bit(std::strerror(errno))));
    }
}

// Removes the link unless another simulator has taken it over meanwhile.
void RemoveLink(const QString& link, const QString& target) {
    if (QFile::symLinkTarget(link) == target) QFile::remove(link);
}

int MapNumberFromName(const QString& path) {
    const QString base = QFileInfo(path).completeBaseName();
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("(\\d+)(?!.*\\d)")).match(base);
    if (!m.hasMatch()) return -1;
    bool ok = false;
    const int n = m.captured(1).toInt(&ok);
    return ok ? n : -1;
}

// Register commands the meter has answered (writes only, or all).
int RegisterCommands(const SimMeter& meter, bool writesOnly) {
    int n = 0;
    for (const SimMeter::Command& c : meter.commandLog())
        n += c.bytes.size() == 3 && !c.reply.isEmpty() && (!writesOnly || c.bytes.at(0) == 0);
    return n;
}

int IntOption(const QCommandLineParser& p, const QString& name, int low, int high) {
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < low || v > high)
        Fail(QStringLiteral("--%1 needs a whole number %2..%3").arg(name).arg(low).arg(high));
    return v;
}

} // namespace

// The registers a repeatable option names.
QSet<int> RegisterOptions(const QCommandLineParser& parser, const QString& name) {
    QSet<int> regs;
    for (const QString& r : parser.values(name)) {
        bool ok = false;
        const int reg = r.toInt(&ok);
        if (!ok || reg < 0 || reg > 255) Fail(QStringLiteral("--%1 needs a register 0..255").arg(name));
        regs.insert(reg);
    }
    return regs;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vorda-sim"));
    QCoreApplication::setApplicationVersion(QLatin1String(vorda::kVersionText));
    QCoreApplication::setApplicationName(QStringLiteral("vorda-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated flow meter on a pseudo-terminal"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("port-dir"), QStringLiteral("Folder that gets the link COMn."), QStringLiteral("dir")},
        {QStringLiteral("com"), QStringLiteral("COM number of the link (default 1)."), QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("map"), QStringLiteral("Start from the factory image of this map file."), QStringLiteral("file")},
        {QStringLiteral("map-number"), QStringLiteral("Map number for register 200 (default: digits of the map file name)."), QStringLiteral("n")},
        {QStringLiteral("registers"), QStringLiteral("Start from this register file (256 decimal values)."), QStringLiteral("file")},
        {QStringLiteral("dump"), QStringLiteral("Write the registers to this file at exit."), QStringLiteral("file")},
        {QStringLiteral("paced"), QStringLiteral("Take as long as 19200 baud 8N2 for every byte received and sent.")},
        {QStringLiteral("silent"), QStringLiteral("Never answer.")},
        {QStringLiteral("bad-handshake"), QStringLiteral("Answer the handshake with 0x00.")},
        {QStringLiteral("no-handshake-reply"), QStringLiteral("Do not answer the handshake.")},
        {QStringLiteral("second-handshake-only"), QStringLiteral("Of two handshakes answer only the second.")},
        {QStringLiteral("short-replies"), QStringLiteral("Register replies of two bytes only.")},
        {QStringLiteral("wrong-echo"), QStringLiteral("Echo the register number plus one.")},
        {QStringLiteral("delay"), QStringLiteral("Reply this many ms late."), QStringLiteral("ms")},
        {QStringLiteral("fail-register"), QStringLiteral("No reply for this register (repeatable)."), QStringLiteral("r")},
        {QStringLiteral("ignore-writes"), QStringLiteral("Echo writes to this register but keep its value (repeatable)."), QStringLiteral("r")},
        {QStringLiteral("lose-write-reply"), QStringLiteral("Store writes to this register but send no echo (repeatable)."), QStringLiteral("r")},
        {QStringLiteral("hang-up-after"), QStringLiteral("Hang up the line after answering this many register commands, as a pulled cable does, and end."), QStringLiteral("n")},
        {QStringLiteral("hang-up-after-writes"), QStringLiteral("The same, counting register writes only."), QStringLiteral("n")},
        {QStringLiteral("adapter-latency"), QStringLiteral("Hold every reply until this many ms after its first byte, as a USB adapter's latency timer does."), QStringLiteral("ms")},
        {QStringLiteral("write-log"), QStringLiteral("Write one line \"register value\" per register write received to this file at exit."), QStringLiteral("file")},
    });
    parser.process(app);

    // Register image.
    QVector<quint8> factory(SimMeter::kRegisterCount, 0);
    int mapNumber = -1;
    if (parser.isSet(QStringLiteral("map-number")))
        mapNumber = IntOption(parser, QStringLiteral("map-number"), 0, 255);
    if (parser.isSet(QStringLiteral("map"))) {
        const QString path = parser.value(QStringLiteral("map"));
        const MapReadResult map = ReadMapFileContent(path, path);
        if (map.status != MapReadStatus::Ok) Fail(path + QStringLiteral(": ") + map.message);
        if (mapNumber < 0) mapNumber = MapNumberFromName(path);
        if (mapNumber < 0) Fail(QStringLiteral("no map number in %1; give --map-number").arg(path));
        factory = FactoryImageFromMap(map.params, mapNumber);
    }
    QVector<quint8> current = factory;
    if (parser.isSet(QStringLiteral("registers"))) {
        QString error;
        if (!ReadRegisterFile(parser.value(QStringLiteral("registers")), &current, &error)) Fail(error);
        if (!parser.isSet(QStringLiteral("map"))) factory = current;
    }
    if (mapNumber >= 0 && parser.isSet(QStringLiteral("map-number"))) {
        current[200] = static_cast<quint8>(mapNumber);
        factory[200] = static_cast<quint8>(mapNumber);
    }
    SimMeter meter(factory);
    meter.setRegisters(current);

    SimMeter::Faults faults;
    faults.silent = parser.isSet(QStringLiteral("silent"));
    faults.badHandshake = parser.isSet(QStringLiteral("bad-handshake"));
    faults.noHandshakeReply = parser.isSet(QStringLiteral("no-handshake-reply"));
    faults.secondHandshakeOnly = parser.isSet(QStringLiteral("second-handshake-only"));
    faults.shortReplies = parser.isSet(QStringLiteral("short-replies"));
    faults.wrongEcho = parser.isSet(QStringLiteral("wrong-echo"));
    if (parser.isSet(QStringLiteral("delay")))
        faults.replyDelayMs = IntOption(parser, QStringLiteral("delay"), 0, 600000);
    faults.failRegisters = RegisterOptions(parser, QStringLiteral("fail-register"));
    faults.ignoreWrites = RegisterOptions(parser, QStringLiteral("ignore-writes"));
    faults.loseWriteReplies = RegisterOptions(parser, QStringLiteral("lose-write-reply"));
    meter.setFaults(faults);
    const bool paced = parser.isSet(QStringLiteral("paced"));
    const bool hangUpCountsWrites = parser.isSet(QStringLiteral("hang-up-after-writes"));
    const QString hangUpOption = hangUpCountsWrites ? QStringLiteral("hang-up-after-writes") : QStringLiteral("hang-up-after");
    const int hangUpAfter = parser.isSet(hangUpOption) ? IntOption(parser, hangUpOption, 0, 1000000) : -1;
    const int adapterLatencyMs =
        parser.isSet(QStringLiteral("adapter-latency")) ? IntOption(parser, QStringLiteral("adapter-latency"), 0, 1000) : 0;
    // A paced reply is due at an exact time: the kernel's default slack of
    // 50 microseconds on every wake-up would make the line slower than the
    // baud rate it stands for.
    if (paced || adapterLatencyMs > 0) ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    const QString dumpPath = parser.value(QStringLiteral("dump"));

    // Pseudo-terminal. The simulator keeps a slave descriptor of its own, so
    // the program may open and close its side any number of times without the
    // master ever seeing a hang-up.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        Fail(QStringLiteral("no pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    const char* slaveName = ::ptsname(master);
    if (!slaveName) Fail(QStringLiteral("no pseudo-terminal name"));
    const QString slavePath = QString::fromLocal8Bit(slaveName);
    const int slave = ::open(slaveName, O_RDWR | O_NOCTTY);
    if (slave < 0) Fail(QStringLiteral("cannot open %1").arg(slavePath));
    MakeRaw(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    QString link;
    if (parser.isSet(QStringLiteral("port-dir"))) {
        const QString dir = parser.value(QStringLiteral("port-dir"));
        const int com = IntOption(parser, QStringLiteral("com"), 1, 1000);
        if (!QDir().mkpath(dir)) Fail(QStringLiteral("cannot create %1").arg(dir));
        link = QDir(dir).absoluteFilePath(QStringLiteral("COM%1").arg(com));
        PlaceLink(link, slavePath);
    }

    if (::pipe(g_signalPipe) != 0) Fail(QStringLiteral("no pipe"));
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("ready %s\n", qPrintable(link.isEmpty() ? slavePath : link));
    std::fflush(stdout);

    char buf[512];
    bool hungUp = false;
    while (!g_stop) {
        pollfd fds[2] = {{master, POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}};
        const int r = ::poll(fds, 2, meter.midCommand() ? kInterByteTimeoutMs : -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (r == 0) {
            meter.resync();
            continue;
        }
        if (fds[1].revents) break;
        if (!(fds[0].revents & POLLIN)) {
            // No reader on the other side: wait for it to come back.
            ::usleep(10000);
            continue;
        }
        const timespec arrived = Now();
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            ::usleep(10000);
            continue;
        }
        const QByteArray reply = meter.feed(QByteArray(buf, static_cast<qsizetype>(n)));
        if (reply.isEmpty()) continue;
        timespec due = arrived;
        if (paced) due = Plus(due, kByteTimeNs * static_cast<double>(n));
        due = Plus(due, 1e6 * meter.faults().replyDelayMs);
        // An adapter passes a reply too short to fill its buffer on only when
        // its latency timer, started as the reply begins, runs out.
        const double replyNs = paced ? kByteTimeNs * static_cast<double>(reply.size()) : 0.0;
        due = Plus(due, std::max(replyNs, 1e6 * adapterLatencyMs));
        SleepUntil(due);
        if (g_stop) break;
        WriteAll(master, reply);
        if (hangUpAfter >= 0 && RegisterCommands(meter, hangUpCountsWrites) >= hangUpAfter) {
            // The cable goes between two exchanges: the last reply reaches
            // the program first (a hang-up drops what the line still holds).
            // Both ends go, so the program's side sees the hang-up a pulled
            // cable gives.
            ::usleep(50000);
            ::close(slave);
            ::close(master);
            hungUp = true;
            break;
        }
    }

    if (!link.isEmpty()) RemoveLink(link, slavePath);
    int rc = 0;
    if (!dumpPath.isEmpty()) {
        QString error;
        if (!WriteRegisterFile(dumpPath, meter.registers(), &error)) {
            std::fprintf(stderr, "vorda-sim: %s\n", qPrintable(error));
            rc = 1;
        }
    }
    const QString writeLog = parser.value(QStringLiteral("write-log"));
    if (!writeLog.isEmpty()) {
        QStringList lines;
        for (const SimMeter::Command& c : meter.commandLog())
            if (c.bytes.size() == 3 && c.bytes.at(0) == 0)
                lines << QStringLiteral("%1 %2").arg(quint8(c.bytes.at(1))).arg(quint8(c.bytes.at(2)));
        QFile file(writeLog);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write((lines.join(QLatin1Char('\n')) + (lines.isEmpty() ? QString() : QStringLiteral("\n"))).toLatin1()) < 0) {
            std::fprintf(stderr, "vorda-sim: cannot write %s\n", qPrintable(writeLog));
            rc = 1;
        }
    }
    if (!hungUp) {
        ::close(slave);
        ::close(master);
    }
    return rc;
}
