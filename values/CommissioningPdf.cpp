// The commissioning report as a PDF, and the saving of both its files.
#include "values/Commissioning.h"

#include "base/TextFiles.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

namespace vorda {

namespace {

QString Cell(const QString& text, const QString& style = {}) {
    return QStringLiteral("<td%1>%2</td>").arg(style.isEmpty() ? QString() : QStringLiteral(" style=\"%1\"").arg(style),
                                              text.toHtmlEscaped());
}

QString ReportHtml(const ReportHeader& header, const CommissioningRecord& record, const QList<ReportRow>& rows) {
    QString html = QStringLiteral("<html><body style=\"font-family: sans-serif; font-size: 9pt;\">"
                                  "<h2>Commissioning Report</h2><table cellspacing=\"0\" cellpadding=\"2\">");
    for (const auto& [name, value] : ReportFacts(header, record))
        html += QStringLiteral("<tr>") + Cell(name, QStringLiteral("font-weight: bold; padding-right: 12px")) + Cell(value) +
                QStringLiteral("</tr>");
    int changed = 0;
    for (const ReportRow& r : rows) changed += r.changed ? 1 : 0;
    html += QStringLiteral("</table><p>Values in meter units. %1 of %2 parameters changed (marked *).</p>")
                .arg(changed)
                .arg(rows.size());
    html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">"
                           "<tr style=\"background-color: #dde4ee; font-weight: bold;\"><td></td><td>Parameter</td>"
                           "<td>Unit</td><td>As found</td><td>As left</td></tr>");
    for (const ReportRow& r : rows) {
        const QString style = r.changed ? QStringLiteral("font-weight: bold") : QString();
        html += QStringLiteral("<tr%1>").arg(r.changed ? QStringLiteral(" style=\"background-color: #fff3c4;\"") : QString()) +
                Cell(r.changed ? QStringLiteral("*") : QString()) + Cell(r.parameter, style) + Cell(r.unit) +
                Cell(r.asFound) + Cell(r.asLeft, style) + QStringLiteral("</tr>");
    }
    html += QStringLiteral("</table></body></html>");
    return html;
}

QByteArray ReportPdf(const ReportHeader& header, const CommissioningRecord& record, const QList<ReportRow>& rows) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(QStringLiteral("Commissioning Report COM%1").arg(record.comNumber));
        writer.setCreator(QStringLiteral("VORDA ") + header.version);
        QTextDocument document;
        document.setHtml(ReportHtml(header, record, rows));
        document.print(&writer);
    }
    return pdf;
}

} // namespace

bool SaveCommissioningReport(const QString& pdfPath, const ReportHeader& header, const CommissioningRecord& record,
                             const QList<ReportRow>& rows, QString* error) {
    const QString csvPath = ReportCsvPath(pdfPath);
    QString why;
    if (!WriteFileBytes(pdfPath, ReportPdf(header, record, rows), &why)) {
        *error = QStringLiteral("The report could not be saved as ") + pdfPath + QStringLiteral(": ") + why;
        return false;
    }
    if (!WriteFileBytes(csvPath, ReportCsv(header, record, rows), &why)) {
        *error = QStringLiteral("The report was saved as ") + pdfPath + QStringLiteral(", but its table could not be saved as ") +
                 csvPath + QStringLiteral(": ") + why;
        return false;
    }
    return true;
}

} // namespace vorda
