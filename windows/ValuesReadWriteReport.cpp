// The commissioning report of the connection.
#include "windows/ValuesReadWriteUnt.h"

#include "shell/Startup.h"
#include "base/UserError.h"
#include "base/UserInteraction.h"

#include <QDir>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

namespace vorda {

namespace {
// The user the environment names, else the account the program runs under
// (a service account or a fresh shell may set neither variable).
QString ReportUserName(const QString& fromEnvironment) {
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    const passwd* account = getpwuid(geteuid());
    return account ? QString::fromLocal8Bit(account->pw_name) : QString();
}
} // namespace

void TValuesReadWrite::CommissioningReportClick() {
    if (session_->Record().comNumber == 0) {
        ctx_.ui.ShowMessage(QStringLiteral("Connect a meter before making a commissioning report"));
        return;
    }
    // The record holds values by the place of each parameter in the meter's
    // map; under another map they would land beside the wrong names.
    if (ctx_.map.CurrentMapFile.compare(session_->Record().mapFile, Qt::CaseInsensitive) != 0) {
        ctx_.ui.ShowMessage(QStringLiteral("The commissioning report needs the meter's map (") + session_->Record().mapFile +
                            QStringLiteral(") on screen.\n\rConnect again to load it."));
        return;
    }
    const QString chosen = ctx_.ui.SaveFileName(QStringLiteral("Save Commissioning Report"), QDir::currentPath(),
                                                QStringLiteral("Commissioning reports (*.pdf)|*.pdf"), QStringLiteral("pdf"));
    if (chosen.isEmpty()) return;
    QString path = QFileInfo(chosen).absoluteFilePath();
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    // Maker-only parameters are reported to the maker only, as the screen
    // shows them.
    QVector<bool> shown;
    for (const DMap& p : std::as_const(ctx_.map.MapParams))
        shown << (ctx_.startup.MakerAccess || p.Access != QLatin1String("C"));
    // As found and as left as the history of this connection holds them,
    // so that the report agrees with what the history and vorda-cli show.
    const CommissioningRecord record = ReportRecord();
    const QList<ReportRow> rows = ReportRows(ctx_.map.MapParams, record, shown,
                                             [this](const DMap& p) { return ctx_.units.MeterUnitName(p.PType); });
    const ReportHeader header{QString::fromLatin1(kVersionText), QDateTime::currentDateTime(),
                              ReportUserName(ctx_.paths.userName)};
    QString error;
    if (!SaveCommissioningReport(path, header, record, rows, &error)) throw UserError(error);
    ctx_.ui.ShowMessage(QStringLiteral("Commissioning report saved as\n\r") + path + QStringLiteral("\n\rand ") +
                        ReportCsvPath(path));
}

} // namespace vorda
