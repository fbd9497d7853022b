#pragma once
// The lock file that serial programs (QSerialPort among them) keep for a
// device while it is open: "LCK..pts_3" for /dev/pts/3.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace vorda::test {

// The lock file held for the device a port-folder entry links to; empty
// when there is none.
inline QString SerialLockFile(const QString& portEntry) {
    QString name = QFileInfo(portEntry).canonicalFilePath();
    if (name.startsWith(QStringLiteral("/dev/"))) name = name.mid(5);
    name.replace(u'/', u'_');
    if (name.isEmpty()) return QString();
    for (const char* dir : {"/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp", "/tmp",
                            "/var/tmp", "/var/lock/lockdev"}) {
        const QString path = QString::fromLatin1(dir) + QStringLiteral("/LCK..") + name;
        if (QFileInfo::exists(path)) return path;
    }
    return QString();
}

// The process named in that lock file, or 0.
inline qint64 SerialLockOwner(const QString& portEntry) {
    QFile lock(SerialLockFile(portEntry));
    if (!lock.open(QIODevice::ReadOnly)) return 0;
    return lock.readLine(32).trimmed().toLongLong();
}

} // namespace vorda::test
