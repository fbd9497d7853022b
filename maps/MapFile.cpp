#include "maps/MapFile.h"

#include "base/TextFiles.h"
#include "units/NumberFormat.h"

namespace vorda {
namespace {

// Reads the lines of one map file in order and records the first failure in
// the result. Every read checks for the end of the lines first, so a count
// that promises more blocks than the file holds ends the read at the last
// line instead of reserving room for the promised blocks.
class MapLineReader {
public:
    MapLineReader(const QStringList& lines, const QString& name, MapReadResult* result)
        : in_(lines), name_(name), result_(result) {}

    bool AtEnd() const { return in_.AtEnd(); }

    bool Text(QString* out) {
        if (in_.Next(out)) return true;
        return Fail(QStringLiteral("%1 ends too early: line %2 is missing")
                        .arg(name_, QString::number(in_.Position() + 1)));
    }

    bool Integer(qint32* out) {
        QString line;
        if (!Text(&line)) return false;
        int value = 0;
        if (!ParseInt32(line, &value)) return Fail(NotAnIntegerMessage(line));
        *out = value;
        return true;
    }

    // A line that must hold an integer but is kept as written.
    bool IntegerText(QString* out) {
        if (!Text(out)) return false;
        int value = 0;
        if (!ParseInt32(*out, &value)) return Fail(NotAnIntegerMessage(*out));
        return true;
    }

    // A count of blocks: an integer that is not negative.
    bool Count(qint32* out, const QString& what) {
        QString line;
        if (!Text(&line)) return false;
        int value = 0;
        if (!ParseInt32(line, &value)) return Fail(NotAnIntegerMessage(line));
        if (value < 0)
            return Fail(QStringLiteral("'%1' is not a valid %2").arg(Excerpt(line), what));
        *out = value;
        return true;
    }

private:
    bool Fail(const QString& message) {
        result_->status = MapReadStatus::BadContent;
        result_->message = message;
        return false;
    }

    LineReader in_;
    QString name_;
    MapReadResult* result_;
};

bool ReadBlock(MapLineReader& in, DMap* p) {
    // Block order: Capacity third, DescAlways before DescToolTip.
    return in.Integer(&p->Startreg) && in.Integer(&p->EndReg) && in.Integer(&p->Capacity) &&
           in.Text(&p->Parameter) && in.Text(&p->Format) && in.Text(&p->Multiplier) &&
           in.Text(&p->Access) && in.Text(&p->Sequence) && in.Text(&p->Rule) &&
           in.Text(&p->PType) && in.Text(&p->DescAlways) && in.Text(&p->DescToolTip);
}

bool ReadHeader(MapLineReader& in, MapHeader* h) {
    // The order number places the row on the screen: it must be an integer.
    return in.IntegerText(&h->Order) && in.Text(&h->Heading) && in.Text(&h->ToolTip);
}

// A text field is one line of the file: a line break inside it would shift
// every later line, so it is written as a space.
QString OneLine(const QString& text) {
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) return text;
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String(" "));
    out.replace(QLatin1Char('\r'), QLatin1Char(' '));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return out;
}

} // namespace

MapReadResult ParseMapLines(const QStringList& lines, const QString& nameAsPassed) {
    MapReadResult result;

    // Version test: the first character is dropped whatever it is, the rest
    // must be a decimal number of at least 2.
    const QString versionLine = lines.isEmpty() ? QString() : lines.first();
    result.versionLine = Excerpt(versionLine); // quoted in a message
    const QString versionText = versionLine.mid(1);
    long double version = 0;
    if (!ParseNumber(versionText, &version)) {
        result.status = MapReadStatus::BadVersion;
        result.message = NotAFloatMessage(versionText);
        return result;
    }
    if (!(version >= 2)) {
        result.status = MapReadStatus::OldFormat;
        result.message = nameAsPassed + QStringLiteral(" is in an old format and cannot be read");
        return result;
    }

    // The reader starts at the version line so that line numbers in its
    // messages are those of the file.
    MapLineReader body(lines, nameAsPassed, &result);
    QString skipped;
    body.Text(&skipped);

    qint32 count = 0;
    if (!body.Count(&count, QStringLiteral("parameter count"))) return result;
    result.declaredCount = count;
    for (qint32 i = 0; i < count; ++i) {
        DMap p;
        if (!ReadBlock(body, &p)) return result;
        // A map that addresses registers its parameter does not own would
        // have commands overwrite other values, or run past the meter.
        if (const QString fault = RegisterRangeFault(p); !fault.isEmpty()) {
            result.status = MapReadStatus::BadRegisters;
            result.message = nameAsPassed + QStringLiteral(": ") + fault;
            return result;
        }
        result.params.append(p);
    }

    // A file may end right after the last block: no header section.
    if (body.AtEnd()) return result;

    qint32 headerCount = 0;
    if (!body.Count(&headerCount, QStringLiteral("header count"))) return result;
    result.headerCountRead = true;
    result.declaredHeaders = headerCount;
    for (qint32 i = 0; i < headerCount; ++i) {
        MapHeader h;
        if (!ReadHeader(body, &h)) return result;
        result.headers.append(h);
    }
    return result;
}

MapReadResult ReadMapFileContent(const QString& path, const QString& nameAsPassed) {
    QStringList lines;
    QString error;
    if (!ReadTextLines(path, &lines, &error)) {
        MapReadResult result;
        result.status = MapReadStatus::OpenFailed;
        result.message = error;
        return result;
    }
    return ParseMapLines(lines, nameAsPassed);
}

QStringList MapFileLines(const QList<DMap>& params, const QList<MapHeader>& headers) {
    QStringList out;
    out.reserve(3 + params.size() * 12 + headers.size() * 3);
    out << QString::fromLatin1(kMapVersionLine) << QString::number(params.size());
    for (const DMap& p : params) {
        out << QString::number(p.Startreg) << QString::number(p.EndReg)
            << QString::number(p.Capacity) << OneLine(p.Parameter) << OneLine(p.Format)
            << OneLine(p.Multiplier) << OneLine(p.Access) << OneLine(p.Sequence)
            << OneLine(p.Rule) << OneLine(p.PType) << OneLine(p.DescAlways)
            << OneLine(p.DescToolTip);
    }
    out << QString::number(headers.size());
    for (const MapHeader& h : headers)
        out << OneLine(h.Order) << OneLine(h.Heading) << OneLine(h.ToolTip);
    return out;
}

bool WriteMapFileContent(const QString& path, const QList<DMap>& params,
                         const QList<MapHeader>& headers, QString* error) {
    return WriteTextLines(path, MapFileLines(params, headers), error);
}

} // namespace vorda
