// Feeds arbitrary bytes to the map reader as a file's contents, checks what
// it reports against what it kept, and writes every map it accepts back out
// to see that it reads the same again.
#include "base/TextFiles.h"
#include "maps/MapFile.h"

#include <cstdint>
#include <cstdlib>

using namespace vorda;

namespace {

bool HasInnerCr(const QList<DMap>& params, const QList<MapHeader>& headers) {
    const QChar cr(QLatin1Char('\r'));
    for (const DMap& p : params)
        for (const QString* s : {&p.Parameter, &p.Format, &p.Multiplier, &p.Access, &p.Sequence,
                                 &p.Rule, &p.PType, &p.DescAlways, &p.DescToolTip})
            if (s->contains(cr)) return true;
    for (const MapHeader& h : headers)
        if (h.Order.contains(cr) || h.Heading.contains(cr) || h.ToolTip.contains(cr)) return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = SplitLines(DecodeCp1252(bytes));
    const MapReadResult r = ParseMapLines(lines, QStringLiteral("ZUVMAP1.Map"));

    // A message exactly for the failures.
    if ((r.status == MapReadStatus::Ok) != r.message.isEmpty()) std::abort();
    if (r.status == MapReadStatus::OpenFailed) std::abort();
    // Never more blocks than declared, nor than the lines can hold.
    if (r.declaredCount < 0 || r.declaredHeaders < 0) std::abort();
    if (r.params.size() > r.declaredCount || r.headers.size() > r.declaredHeaders) std::abort();
    const qsizetype needed =
        2 + r.params.size() * 12 + (r.headerCountRead ? 1 + r.headers.size() * 3 : 0);
    if ((r.status == MapReadStatus::Ok || !r.params.isEmpty() || r.headerCountRead) &&
        needed > lines.size())
        std::abort();
    // Without a header section the map is all of the file.
    if (r.status == MapReadStatus::Ok && !r.headerCountRead && needed != lines.size()) std::abort();
    if (!r.headerCountRead && !r.headers.isEmpty()) std::abort();
    if (r.status == MapReadStatus::OldFormat || r.status == MapReadStatus::BadVersion)
        if (!r.params.isEmpty() || r.declaredCount != 0) std::abort();

    if (r.status != MapReadStatus::Ok) return 0;
    if (r.params.size() != r.declaredCount) std::abort();
    if (r.headerCountRead ? r.headers.size() != r.declaredHeaders : r.declaredHeaders != 0)
        std::abort();

    // What was accepted is written and read back unchanged (a CR inside a
    // text is written as a space, so such maps are only checked to read).
    const QStringList written = MapFileLines(r.params, r.headers);
    const QStringList reread = SplitLines(DecodeCp1252(EncodeCp1252(written.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"))));
    const MapReadResult again = ParseMapLines(reread, QStringLiteral("ZUVMAP1.Map"));
    if (again.status != MapReadStatus::Ok || !again.headerCountRead) std::abort();
    if (again.params.size() != r.params.size() || again.headers.size() != r.headers.size()) std::abort();
    if (!HasInnerCr(r.params, r.headers) && (again.params != r.params || again.headers != r.headers))
        std::abort();
    return 0;
}
