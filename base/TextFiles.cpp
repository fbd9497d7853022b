#include "TextFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorda {
namespace {

// Windows-1252 codes 0x80 to 0x9F; 0 marks the five unused codes.
constexpr char16_t kHighTable[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int Cp1252Code(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
    for (int i = 0; i < 32; ++i)
        if (kHighTable[i] != 0 && kHighTable[i] == u) return 0x80 + i;
    return -1;
}

QString SystemText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

QString CannotOpen(const QString& path, int err) {
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, SystemText(err));
}

QString NotRegular(const QString& path) {
    return QStringLiteral("Cannot open file \"%1\": it is not a regular file.").arg(path);
}

QString TooLarge(const QString& path, qint64 maxBytes) {
    return QStringLiteral("Cannot read file \"%1\": it is larger than %2, far more than a file of its kind holds.")
        .arg(path, maxBytes % (1024 * 1024) == 0 ? QStringLiteral("%1 MiB").arg(maxBytes / (1024 * 1024))
                                                 : QStringLiteral("%1 bytes").arg(maxBytes));
}

bool SetError(QString* error, const QString& text) {
    if (error) *error = text;
    return false;
}

// The rules of CheckReadableFile on a file's status.
bool StatusReadable(const QString& path, const struct stat& st, qint64 maxBytes, QString* error) {
    if (!S_ISREG(st.st_mode)) return SetError(error, NotRegular(path));
    if (st.st_size > maxBytes) return SetError(error, TooLarge(path, maxBytes));
    return true;
}

} // namespace

bool CheckReadableFile(const QString& path, qint64 maxBytes, QString* error) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return SetError(error, CannotOpen(path, errno));
    return StatusReadable(path, st, maxBytes, error);
}

bool ReadFileBytes(const QString& path, qint64 maxBytes, QByteArray* bytes, QString* error) {
    // Checked before the open, because opening a FIFO waits for a writer and
    // opening a device may act on it.
    if (!CheckReadableFile(path, maxBytes, error)) return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return SetError(error, CannotOpen(path, errno));
    const auto closer = qScopeGuard([fd] { ::close(fd); });
    // The name may have been pointed elsewhere between the check and the open.
    struct stat st {};
    if (::fstat(fd, &st) != 0) return SetError(error, CannotOpen(path, errno));
    if (!StatusReadable(path, st, maxBytes, error)) return false;

    // One byte more than allowed tells a file that grew past the limit.
    QByteArray out(qsizetype(st.st_size) + 1, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == out.size()) {
            if (used > maxBytes) return SetError(error, TooLarge(path, maxBytes));
            out.resize(std::min<qsizetype>(qsizetype(maxBytes) + 1, used * 2 + 4096));
        }
        const ssize_t n = ::read(fd, out.data() + used, size_t(out.size() - used));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            return SetError(error, QStringLiteral("Cannot read file \"%1\". %2").arg(path, SystemText(errno)));
        if (n == 0) break;
        used += n;
    }
    if (used > maxBytes) return SetError(error, TooLarge(path, maxBytes));
    out.truncate(used);
    *bytes = std::move(out);
    return true;
}


QString DecodeCp1252(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b <= 0x9F) {
            const char16_t u = kHighTable[b - 0x80];
            // The unused codes map to the C1 control of the same value.
            out.append(QChar(u != 0 ? u : char16_t(b)));
        } else {
            out.append(QChar(char16_t(b)));
        }
    }
    return out;
}

QByteArray EncodeCp1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        int code = Cp1252Code(c);
        if (code < 0 && c.unicode() >= 0x80 && c.unicode() <= 0x9F) code = c.unicode();
        out.append(code < 0 ? '?' : static_cast<char>(code));
    }
    return out;
}

bool FitsCp1252(const QString& text) {
    for (QChar c : text)
        if (Cp1252Code(c) < 0) return false;
    return true;
}

QString Excerpt(const QString& text) {
    if (text.size() <= kExcerptLength) return text;
    // A character of two UTF-16 units is not cut in half.
    const qsizetype cut = text.at(kExcerptLength - 1).isHighSurrogate() ? kExcerptLength - 1 : kExcerptLength;
    return text.left(cut) + QChar(0x2026);
}

QStringList SplitLines(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return lines;
}

bool ReadTextLines(const QString& path, QStringList* lines, QString* error, qint64 maxBytes) {
    QByteArray bytes;
    if (!ReadFileBytes(path, maxBytes, &bytes, error)) return false;
    *lines = SplitLines(DecodeCp1252(bytes));
    return true;
}

bool WriteTextLines(const QString& path, const QStringList& lines, QString* error) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += EncodeCp1252(line);
        bytes += "\r\n";
    }
    return WriteFileBytes(path, bytes, error);
}

bool MayReplace(const QString& path, QString* error) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        // Nothing there (also a link to nothing): the save creates the file.
        if (errno == ENOENT) return true;
        return SetError(error, QStringLiteral("Cannot replace \"%1\". %2").arg(path, SystemText(errno)));
    }
    if (!S_ISREG(st.st_mode))
        return SetError(error, QStringLiteral("Cannot replace \"%1\": it is not a regular file.").arg(path));
    if (!(st.st_mode & S_IWUSR))
        return SetError(error, QStringLiteral("Cannot replace \"%1\": the file is read-only.").arg(path));
    return true;
}

bool WriteFileBytes(const QString& path, const QByteArray& bytes, QString* error) {
    if (!MayReplace(path, error)) return false;
    // Unbuffered, so that a write the disk refuses (no space left) fails
    // here; QSaveFile's buffered path can lose that error on commit and then
    // replace the old file with an empty one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error) *error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        if (error) *error = QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

bool CopyFileReplacing(const QString& from, const QString& to, QString* error) {
    // Refused before the source is read, so that nothing is read in vain.
    if (!MayReplace(to, error)) return false;
    // The program's files are small: read whole, written by the one writer.
    QByteArray bytes;
    if (!ReadFileBytes(from, kMaxTextFileBytes, &bytes, error)) return false;
    return WriteFileBytes(to, bytes, error);
}

QString FileFromPath(const QString& fullPath) {
    const qsizetype slash = fullPath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : fullPath.mid(slash + 1);
}

QString FindFileNoCase(const QString& dir, const QString& name) {
    QDir d(dir.isEmpty() ? QStringLiteral(".") : dir);
    if (QFileInfo(d.filePath(name)).isFile()) return d.absoluteFilePath(name);
    const QStringList entries = d.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return d.absoluteFilePath(entry);
    return QString();
}

QString ResolveFileNoCase(const QString& name) {
    const QFileInfo info(name);
    const QString found = FindFileNoCase(info.path(), info.fileName());
    return found.isEmpty() ? info.absoluteFilePath() : found;
}

} // namespace vorda
