#pragma once
// The line's report over a filter of the records list: the filter in words, the totals,
// the unit tests per day, the failures by step (Pareto) and by reason, and fixture
// health. Every figure is the line's figures' (records/LineFigures.h), read once into a
// LineReportData; the charts and the tables are values built from it, which the HTML
// (inline SVG) and the PDF (vector pages) both render.

#include <QSqlDatabase>
#include <QStringList>
#include <optional>

#include "output/WholeFile.h"
#include "records/figures/LineFigures.h"
#include "reports/BarChart.h"

namespace pb::reports {

struct LineReportData {
    records::RunFilter filter;
    records::YieldRow total;
    QList<records::YieldRow> days;
    QList<records::FailureRow> steps;
    QList<records::FailureRow> reasons;
    QList<records::SocketHealth> sockets;
    QString error;  // why a figure could not be read; empty when all were
};

LineReportData ReadLineReport(QSqlDatabase db, const records::RunFilter& filter);

// A table as plain text cells, for the HTML and the PDF alike.
struct ReportTable {
    QStringList heads;
    QList<QStringList> rows;
    QList<bool> numeric;      // per column: right-aligned
    QList<bool> marked = {};  // per row: a flagged socket's row
};

// "from 2026-12-01, to 2026-12-09, station line-1", or "all unit tests".
QString FilterInWords(const records::RunFilter& filter, int language);
QString LineReportTitle(const records::RunFilter& filter, int language);

BarChart YieldChart(const LineReportData& data, int language);
BarChart ParetoChart(const LineReportData& data, int language);

ReportTable TotalsTable(const LineReportData& data, int language);
ReportTable YieldTable(const LineReportData& data, int language);
ReportTable ParetoTable(const LineReportData& data, int language);
ReportTable ReasonTable(const LineReportData& data, int language);
ReportTable HealthTable(const LineReportData& data, int language);

// "97.5%": a share as the report prints it.
QString ReportPercent(double share);
// A share of nothing is no figure: "–", never 0.
QString ReportPercent(std::optional<double> share);

// The report as well-formed XHTML, each chart an inline <svg>. Needs a QGuiApplication
// (the charts' text is laid out).
QString LineReportHtml(const LineReportData& data, int language);
// The report as A4 pages of vector drawing and text (no images), the whole file or none;
// fails without a QGuiApplication.
SaveResult WriteLineReportPdf(const LineReportData& data, int language, const QString& path);

}  // namespace pb::reports
