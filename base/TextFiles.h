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

// A text as an error message quotes it: at most its first 60 characters,
// followed by "…" when something was left off, so that a damaged line or an
// overlong cell cannot flood a message box.
QString Excerpt(const QString& text);

// Splits a whole file into lines. A final line end does not start another
// line, so "a\r\n\r\n" gives "a" and "".
QStringList SplitLines(const QString& text);

// Reads a whole file as lines. Returns false and sets *error to the system's
// text when the file cannot be opened.
bool ReadTextLines(const QString& path, QStringList* lines, QString* error);

// Writes lines, each ended by CR LF, through a temporary file that replaces
// the target only when complete. Returns false with *error set on failure.
bool WriteTextLines(const QString& path, const QStringList& lines, QString* error);
// The same for bytes as they are: every file the program writes goes through
// here. A failed write leaves the old file byte for byte as it was.
bool WriteFileBytes(const QString& path, const QByteArray& bytes, QString* error);

// Copies a file byte for byte through a temporary file beside the target,
// which replaces the target only when the whole copy is written: a failed
// copy never leaves a half-written file under the target's name. A target
// whose owner may not write it (a read-only file) is not replaced, whoever
// runs the program. Returns false with *error set on failure.
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
