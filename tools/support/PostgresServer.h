#pragma once
// A PostgreSQL server of its own in a temporary folder, made with initdb and
// run with pg_ctl from Debian's postgresql package, for the history's tests
// and benchmark. The server refuses to run as root: as root, it runs under
// the "postgres" account (or "nobody"), which then owns the folder.
#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace vorda::test {

class PostgresServer {
public:
    static constexpr const char* kUser = "vorda";
    static constexpr const char* kPassword = "s3cret-pw";

    // The folder of the server programs, the newest version; empty when the
    // package is not installed.
    static QString BinDir() {
        QDir lib(QStringLiteral("/usr/lib/postgresql"));
        QStringList versions = lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        std::sort(versions.begin(), versions.end(),
                  [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
        for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
            const QString bin = lib.filePath(*it + QStringLiteral("/bin"));
            if (QFile::exists(bin + QStringLiteral("/pg_ctl")) && QFile::exists(bin + QStringLiteral("/initdb")))
                return bin;
        }
        return {};
    }

    // Makes the cluster and starts the server; false with *error.
    // fsync off unless durable: the tests need no crash safety.
    bool Start(QString* error, bool durable = false) {
        bin_ = BinDir();
        if (bin_.isEmpty()) {
            *error = QStringLiteral("PostgreSQL server programs not found under /usr/lib/postgresql "
                                    "(Debian package postgresql)");
            return false;
        }
        if (!dir_.isValid()) {
            *error = QStringLiteral("no temporary folder");
            return false;
        }
        if (geteuid() == 0) {
            const passwd* pw = getpwnam("postgres");
            if (!pw) pw = getpwnam("nobody");
            if (!pw) {
                *error = QStringLiteral("no account to run the server under");
                return false;
            }
            uid_ = pw->pw_uid;
            gid_ = pw->pw_gid;
            if (chown(QFile::encodeName(dir_.path()).constData(), *uid_, *gid_) != 0) {
                *error = QStringLiteral("cannot give the folder to the server's account");
                return false;
            }
        }
        chmod(QFile::encodeName(dir_.path()).constData(), 0700);
        QFile pw(dir_.filePath(QStringLiteral("pw")));
        if (!pw.open(QIODevice::WriteOnly) || pw.write(kPassword) < 0) {
            *error = QStringLiteral("cannot write the password file");
            return false;
        }
        pw.close();
        if (uid_) chown(QFile::encodeName(pw.fileName()).constData(), *uid_, *gid_);
        if (!Run(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), DataDir(), QStringLiteral("-U"), QString::fromLatin1(kUser),
                  QStringLiteral("--pwfile=") + pw.fileName(), QStringLiteral("--auth-local=trust"),
                  QStringLiteral("--auth-host=scram-sha-256"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                  QStringLiteral("--no-sync"), QStringLiteral("--locale=C")},
                 error))
            return false;
        port_ = FreePort();
        durable_ = durable;
        return Resume(error);
    }

    // Starts the server again after Stop, on the same port.
    bool Resume(QString* error) {
        QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1").arg(port_).arg(dir_.path());
        if (!durable_) options += QStringLiteral(" -c fsync=off -c synchronous_commit=off");
        return Run(QStringLiteral("pg_ctl"),
                   {QStringLiteral("-D"), DataDir(), QStringLiteral("-o"), options, QStringLiteral("-l"),
                    dir_.filePath(QStringLiteral("server.log")), QStringLiteral("-w"), QStringLiteral("start")},
                   error);
    }

    bool Stop(QString* error) {
        return Run(QStringLiteral("pg_ctl"),
                   {QStringLiteral("-D"), DataDir(), QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                    QStringLiteral("stop")},
                   error);
    }

    ~PostgresServer() {
        if (port_ > 0) {
            QString ignored;
            Stop(&ignored);
        }
    }

    int Port() const { return port_; }
    QString Url(const QString& password = QString::fromLatin1(kPassword)) const {
        return QStringLiteral("postgresql://%1:%2@127.0.0.1:%3/postgres").arg(QLatin1String(kUser), password).arg(port_);
    }

private:
    QString DataDir() const { return dir_.filePath(QStringLiteral("data")); }

    static int FreePort() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        int port = 0;
        if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        close(s);
        return port;
    }

    bool Run(const QString& program, QStringList arguments, QString* error) {
        QProcess p;
        QString exe = bin_ + QLatin1Char('/') + program;
        if (uid_) {
            arguments.prepend(exe);
            arguments.prepend(QStringLiteral("--"));
            arguments.prepend(QStringLiteral("--clear-groups"));
            arguments.prepend(QStringLiteral("--regid=%1").arg(*gid_));
            arguments.prepend(QStringLiteral("--reuid=%1").arg(*uid_));
            exe = QStringLiteral("setpriv");
        }
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setWorkingDirectory(dir_.path());
        p.start(exe, arguments);
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            *error = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(p.readAll()).trimmed();
            return false;
        }
        return true;
    }

    QTemporaryDir dir_;
    QString bin_;
    std::optional<uid_t> uid_;
    std::optional<gid_t> gid_;
    int port_ = 0;
    bool durable_ = false;
};

} // namespace vorda::test
