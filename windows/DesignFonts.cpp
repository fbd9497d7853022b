#include "windows/DesignFonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace vorda {

namespace {
void Substitute(const QString& family, const QStringList& candidates) {
    if (QFontDatabase::hasFamily(family)) return;
    for (const QString& candidate : candidates)
        if (!candidate.isEmpty() && QFontDatabase::hasFamily(candidate)) {
            QFont::insertSubstitution(family, candidate);
            return;
        }
}
} // namespace

void SubstituteDesignFonts() {
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    const QString general = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    for (const QString& courier : {QStringLiteral("Courier New"), QStringLiteral("Courier")})
        Substitute(courier, {QStringLiteral("Liberation Mono"), fixed, QStringLiteral("DejaVu Sans Mono")});
    Substitute(QStringLiteral("Tahoma"), {general, QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
}

} // namespace vorda
