#include "TextFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

} // namespace

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
    constexpr qsizetype kMaxChars = 60;
    if (text.size() <= kMaxChars) return text;
    // A character of two UTF-16 units is not cut in half.
    const qsizetype cut = text.at(kMaxChars - 1).isHighSurrogate() ? kMaxChars - 1 : kMaxChars;
    return text.left(cut) + QChar(0x2026);
}

QStringList SplitLines(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return lines;
}

bool ReadTextLines(const QString& path, QStringList* lines, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    *lines = SplitLines(DecodeCp1252(file.readAll()));
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

bool WriteFileBytes(const QString& path, const QByteArray& bytes, QString* error) {
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
    const QFileInfo target(to);
    if (target.exists() && !(target.permissions() & QFileDevice::WriteOwner)) {
        if (error) *error = QStringLiteral("Cannot replace \"%1\": the file is read-only.").arg(to);
        return false;
    }
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("Cannot open file \"%1\". %2").arg(from, source.errorString());
        return false;
    }
    // The program's files are small: read whole, written by the one writer.
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        if (error) *error = QStringLiteral("Cannot read file \"%1\". %2").arg(from, source.errorString());
        return false;
    }
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
