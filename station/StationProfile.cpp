#include "station/StationProfile.h"

#include "base/TextFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace vorda {

bool StationProfile::Load(const QString& path, StationProfile* profile, QString* error) {
    QStringList lines;
    if (!ReadTextLines(path, &lines, error)) return false;
    if (lines.value(0).trimmed() != FormatLine()) {
        *error = QStringLiteral("%1 is not a station profile (its first line is not \"%2\")").arg(path, FormatLine());
        return false;
    }
    StationProfile p;
    p.keep.clear();
    const QDir base = QFileInfo(path).absoluteDir();
    for (int n = 1; n < lines.size(); ++n) {
        const QString line = lines.at(n).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const int eq = line.indexOf(QLatin1Char('='));
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        auto bad = [&](const QString& why) {
            *error = QStringLiteral("%1, line %2: %3").arg(path).arg(n + 1).arg(why);
            return false;
        };
        if (eq < 0) return bad(QStringLiteral("no \"=\" in \"%1\"").arg(Excerpt(line)));
        if (key == QLatin1String("golden")) {
            p.golden = value.isEmpty() ? QString() : QDir::cleanPath(base.absoluteFilePath(value));
        } else if (key == QLatin1String("keep")) {
            if (!value.isEmpty()) p.keep << value;
        } else if (key == QLatin1String("ma-step")) {
            if (value != QLatin1String("yes") && value != QLatin1String("no"))
                return bad(QStringLiteral("ma-step is yes or no"));
            p.maStep = value == QLatin1String("yes");
        } else if (key == QLatin1String("tolerance-ma") || key == QLatin1String("tolerance-percent")) {
            // The point form, whatever the locale, as in data files.
            bool ok = false;
            const double v = QLocale::c().toDouble(value, &ok);
            if (!ok || v <= 0.0 || v > 16.0) return bad(QStringLiteral("%1 is a positive number").arg(key));
            p.toleranceMa = key == QLatin1String("tolerance-ma") ? v : v / 100.0 * 16.0;
        } else if (key == QLatin1String("reports")) {
            p.reports = value.isEmpty() ? QString() : QDir::cleanPath(base.absoluteFilePath(value));
        } else {
            return bad(QStringLiteral("unknown key \"%1\"").arg(Excerpt(key)));
        }
    }
    if (p.golden.isEmpty()) {
        *error = path + QStringLiteral(" names no golden data file (golden=FILE.epf)");
        return false;
    }
    *profile = p;
    return true;
}

bool StationProfile::Save(const QString& path, QString* error) const {
    QStringList lines{FormatLine(), QStringLiteral("golden=") + golden};
    for (const QString& name : keep) lines << QStringLiteral("keep=") + name;
    lines << QStringLiteral("ma-step=") + (maStep ? QStringLiteral("yes") : QStringLiteral("no"))
          << QStringLiteral("tolerance-ma=") + QLocale::c().toString(toleranceMa, 'g', 6)
          << QStringLiteral("reports=") + reports;
    return WriteTextLines(path, lines, error);
}

QStringList ProposedKeep(const QList<DMap>& params) {
    QStringList out;
    for (const DMap& p : params) {
        const QString& n = p.Parameter;
        if (n.compare(QLatin1String("Serial Number"), Qt::CaseInsensitive) == 0 ||
            n.contains(QLatin1String("Tag"), Qt::CaseInsensitive) ||
            n.contains(QLatin1String("Calibration"), Qt::CaseInsensitive) ||
            p.DescToolTip == QLatin1String("Calculation 1"))
            out << n;
    }
    return out;
}

QVector<bool> KeptParameters(const QList<DMap>& params, const QStringList& keep) {
    QVector<bool> kept(params.size());
    for (int i = 0; i < params.size(); ++i)
        kept[i] = params.at(i).Access == QLatin1String("R") || keep.contains(params.at(i).Parameter, Qt::CaseInsensitive);
    return kept;
}

} // namespace vorda
