#pragma once
#include <QString>
#include <QStringList>

namespace vorda {

// The program's own files are Windows-1252 text with CR LF line ends, so that
// they move between installations. Readers accept CR LF and LF.
QString DecodeCp1252(const QByteArray& bytes);
QByteArray EncodeCp1252(const QString& text);
// True when every character of text has a Windows-1252 code.
bool FitsCp1252(const QString& text);


// Splits a whole file into lines. A final line end does not start another
// line, so "a\r\n\r\n" gives "a" and "".
QStringList SplitLines(const QString& text);

// The most any reader of the program's own files takes in: far above any
// real map, data file, display data, configuration or read-me (a few
// kilobytes each), and small enough that a wrong file cannot exhaust memory.
inline constexpr qint64 kMaxTextFileBytes = 16 * 1024 * 1024;

// Whether path names a regular file (symbolic links followed) of at most
// maxBytes. A FIFO, device, socket or folder is refused without being opened,
// so that a reader never waits on it or reads it without end. False with
// *error naming the file otherwise.
bool CheckReadableFile(const QString& path, qint64 maxBytes, QString* error);

// Reads a whole file as bytes under the rules of CheckReadableFile; a file
// that grows past maxBytes while it is read is refused as well.
bool ReadFileBytes(const QString& path, qint64 maxBytes, QByteArray* bytes, QString* error);

// Reads a whole file as lines under the same rules. Returns false and sets
// *error to a text naming the file when it cannot be read.
bool ReadTextLines(const QString& path, QStringList* lines, QString* error,
                   qint64 maxBytes = kMaxTextFileBytes);

// A text from a file as a message quotes it: whole when short, otherwise its
// first kExcerptLength characters and "…", so that one bad line of a huge
// file never fills the screen.
inline constexpr qsizetype kExcerptLength = 60;
QString Excerpt(const QString& text);

// Writes lines, each ended by CR LF, through a temporary file that replaces
// the target only when complete. Returns false with *error set on failure.
bool WriteTextLines(const QString& path, const QStringList& lines, QString* error);
// The same for bytes as they are: every file the program writes goes through
// here. A failed write leaves the old file byte for byte as it was. A target
// that exists and is not a regular file (a device, a FIFO, also behind a
// symbolic link), or whose owner may not write it, is refused, whoever runs
// the program.
bool WriteFileBytes(const QString& path, const QByteArray& bytes, QString* error);

// Whether a save may replace path: true when nothing is there yet or it is a
// regular file its owner may write; false with *error otherwise. The owner's
// permission bit decides, not access(), so that root is refused alike.
bool MayReplace(const QString& path, QString* error);

// Copies a file byte for byte through a temporary file beside the target,
// which replaces the target only when the whole copy is written: a failed
// copy never leaves a half-written file under the target's name. The source
// is read as ReadFileBytes reads, the target is replaced as WriteFileBytes
// replaces. Returns false with *error set on failure.
bool CopyFileReplacing(const QString& from, const QString& to, QString* error);

// The text after the last "/" of fullPath; empty when it holds none, and
// for a path that ends with "/".
QString FileFromPath(const QString& fullPath);

// Finds name in dir without regard to letter case. An exact match wins;
// returns the full path of the file found, or an empty text.
QString FindFileNoCase(const QString& dir, const QString& name);

// Resolves a bare or relative file name against the current folder, matching
// the file name without regard to case; a name with no match is returned
// resolved but unchanged, so that opening it reports the usual error.
QString ResolveFileNoCase(const QString& name);

// Reads lines one at a time; reading past the end gives an empty text.
class LineReader {
public:
    explicit LineReader(QStringList lines) : lines_(std::move(lines)) {}
    bool AtEnd() const { return pos_ >= lines_.size(); }
    // The next line, or an empty text past the end.
    QString Next() { return AtEnd() ? QString() : lines_.at(pos_++); }
    // The next line; false when there is none.
    bool Next(QString* line) {
        if (AtEnd()) return false;
        *line = lines_.at(pos_++);
        return true;
    }
    qsizetype Position() const { return pos_; }

private:
    QStringList lines_;
    qsizetype pos_ = 0;
};

} // namespace vorda
