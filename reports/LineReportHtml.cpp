#include <QDateTime>
#include <QHostInfo>

#include "i18n/ChartTexts.h"
#include "i18n/RecordsTexts.h"
#include "output/ReportText.h"
#include "reports/ChartSvg.h"
#include "reports/LineReport.h"
#include "reports/SocketGrid.h"

namespace pb::reports {
namespace {

QString Esc(const QString& text) { return ReportText(text); }

QString Heading(const QString& text) { return QStringLiteral("<h2>") + Esc(text) + QStringLiteral("</h2>\n"); }
QString Note(const QString& text) { return QStringLiteral("<p>") + Esc(text) + QStringLiteral("</p>\n"); }

QString TableHtml(const ReportTable& table, const char* id) {
    QString html = QStringLiteral("<table id=\"%1\">\n<tr>").arg(QLatin1String(id));
    for (const QString& head : table.heads) html += QStringLiteral("<th>") + Esc(head) + QStringLiteral("</th>");
    html += QLatin1String("</tr>\n");
    for (qsizetype r = 0; r < table.rows.size(); ++r) {
        html += table.marked.value(r) ? QStringLiteral("<tr class=\"flagged\">") : QStringLiteral("<tr>");
        for (qsizetype c = 0; c < table.rows[r].size(); ++c)
            html += (table.numeric.value(c) ? QStringLiteral("<td class=\"n\">") : QStringLiteral("<td>")) +
                    Esc(table.rows[r][c]) + QStringLiteral("</td>");
        html += QLatin1String("</tr>\n");
    }
    return html + QLatin1String("</table>\n");
}

QString ChartHtml(const BarChart& chart, const QString& title, const char* id) {
    return QStringLiteral("<div class=\"chart\" id=\"%1\">").arg(QLatin1String(id)) +
           ChartSvg(kChartSize, title,
                    [&](QPainter& p) { DrawBarChart(p, QRectF(QPointF(0, 0), kChartSize), chart); }) +
           QStringLiteral("</div>\n");
}

}  // namespace

QString LineReportHtml(const LineReportData& data, int language) {
    const auto t = [language](ChartText id) { return Text(id, language); };
    const QString title = LineReportTitle(data.filter, language);
    QString html = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE html>\n"
        "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><meta charset=\"UTF-8\"/>"
        "<title>%1</title><style type=\"text/css\">"
        "body { font-family: sans-serif; font-size: 10pt; max-width: 60em; }"
        "h1 { font-size: 16pt; } h2 { font-size: 12pt; margin-top: 16pt; }"
        "table { border-collapse: collapse; margin-top: 6pt; }"
        "th { background-color: #e4e8ee; text-align: left; }"
        "th, td { border: 1px solid #9aa4b1; padding: 2px 6px; } td.n { text-align: right; }"
        "tr.flagged td { color: #a11d1d; font-weight: bold; }"
        ".chart svg { max-width: 100%; height: auto; }"
        ".note { color: #555555; font-size: 8pt; }"
        "</style></head><body>\n<h1>%1</h1>\n").arg(Esc(title));
    if (!data.error.isEmpty()) html += Note(data.error);

    html += Heading(t(ChartText::Totals)) + TableHtml(TotalsTable(data, language), "totals");

    html += Heading(t(ChartText::YieldTitle));
    if (data.days.isEmpty())
        html += Note(t(ChartText::NoUnitTests));
    else
        html += ChartHtml(YieldChart(data, language), t(ChartText::YieldTitle), "yield-chart") +
                TableHtml(YieldTable(data, language), "yield");

    html += Heading(t(ChartText::ParetoTitle));
    if (data.steps.isEmpty())
        html += Note(t(ChartText::NoFailures));
    else
        html += ChartHtml(ParetoChart(data, language), t(ChartText::ParetoTitle), "pareto-chart") +
                TableHtml(ParetoTable(data, language), "pareto");
    if (!data.reasons.isEmpty())
        html += Heading(t(ChartText::ReasonTitle)) + TableHtml(ReasonTable(data, language), "reasons");

    html += Heading(t(ChartText::HealthTitle));
    if (data.sockets.isEmpty()) {
        html += Note(t(ChartText::NoFixtures));
    } else {
        const QSizeF size(SocketGridWidth(), SocketGridHeight(data.sockets));
        html += QStringLiteral("<div class=\"chart\" id=\"socket-grid\">") +
                ChartSvg(size, t(ChartText::HealthTitle),
                         [&](QPainter& p) { DrawSocketGrid(p, QPointF(0, 0), data.sockets); }) +
                QStringLiteral("</div>\n") + Note(t(ChartText::FlaggedNote)) +
                TableHtml(HealthTable(data, language), "health");
    }
    html += QStringLiteral("<p class=\"note\">") +
            Esc(Text(RecordText::ReportPrinted, language)
                    .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                         QHostInfo::localHostName())) +
            QStringLiteral("</p>\n</body></html>\n");
    return html;
}

}  // namespace pb::reports
