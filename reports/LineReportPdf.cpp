#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QHostInfo>
#include <QPageSize>
#include <QPdfWriter>

#include "i18n/ChartTexts.h"
#include "i18n/RecordsTexts.h"
#include "reports/LineReport.h"
#include "reports/PdfFlow.h"
#include "reports/SocketGrid.h"

namespace pb::reports {

SaveResult WriteLineReportPdf(const LineReportData& data, int language, const QString& path) {
    // Laying out text needs the fonts of a QGuiApplication (the offscreen platform will do).
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {false, QStringLiteral("no text layout without a QGuiApplication")};
    const auto t = [language](ChartText id) { return Text(id, language); };
    return WriteWholeFile(path, [&](QIODevice& file, QString&) {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        // One unit a 96 dpi pixel: the charts' own units, as in the HTML.
        writer.setResolution(96);
        writer.setTitle(LineReportTitle(data.filter, language));
        writer.setCreator(QStringLiteral("Panel Bench"));
        QPainter painter(&writer);
        PdfFlow flow(writer, painter);
        const auto chart = [&](const BarChart& c) {
            flow.drawing(kChartSize, [&](QPainter& p) { DrawBarChart(p, QRectF(QPointF(0, 0), kChartSize), c); });
        };

        // The totals and the days; the failures; the fixtures: a page each at least.
        flow.title(LineReportTitle(data.filter, language));
        if (!data.error.isEmpty()) flow.note(data.error);
        flow.heading(t(ChartText::Totals));
        flow.table(TotalsTable(data, language));
        flow.heading(t(ChartText::YieldTitle));
        if (data.days.isEmpty()) {
            flow.note(t(ChartText::NoUnitTests));
        } else {
            chart(YieldChart(data, language));
            flow.table(YieldTable(data, language));
        }

        flow.newPage();
        flow.heading(t(ChartText::ParetoTitle));
        if (data.steps.isEmpty()) {
            flow.note(t(ChartText::NoFailures));
        } else {
            chart(ParetoChart(data, language));
            flow.table(ParetoTable(data, language));
        }
        if (!data.reasons.isEmpty()) {
            flow.heading(t(ChartText::ReasonTitle));
            flow.table(ReasonTable(data, language));
        }

        flow.newPage();
        flow.heading(t(ChartText::HealthTitle));
        if (data.sockets.isEmpty()) {
            flow.note(t(ChartText::NoFixtures));
        } else {
            flow.drawing(QSizeF(SocketGridWidth(), SocketGridHeight(data.sockets)),
                         [&](QPainter& p) { DrawSocketGrid(p, QPointF(0, 0), data.sockets); });
            flow.note(t(ChartText::FlaggedNote));
            flow.table(HealthTable(data, language));
        }
        flow.note(Text(RecordText::ReportPrinted, language)
                      .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                           QHostInfo::localHostName()));
        return painter.end();
    });
}

}  // namespace pb::reports
