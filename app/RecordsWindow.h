#pragma once
// The unit records: units and their runs newest first, filters, a run's details and its
// traffic, and exports of the selection. Works on an open RecordStore of this thread.

#include <QWidget>

#include "output/WholeFile.h"
#include "records/figures/LineFigures.h"
#include "records/store/RecordStore.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTabWidget;
class RecordsChartsPage;
class RecordsRunsModel;
class RecordsTrafficModel;
class RecordsUnitsModel;

class RecordsWindow : public QWidget {
    Q_OBJECT
public:
    RecordsWindow(pb::records::RecordStore& store, int language, QWidget* parent = nullptr);

    void setLanguage(int language);
    // What the top line says besides which store this is: the runs this station still
    // has to send to the shared server, and why, when it does not answer.
    void setWaiting(qint64 waiting, const pb::records::RecordsStatus& server);
    // Unit tests waiting for the events broker (shown when any do).
    void setEventsWaiting(qint64 waiting);
    // The store changed (a run ended, another store): its chains walked again, then the
    // units and runs read again with the current filters.
    void refresh();

    // The runs an export takes: the selected ones, or else all the filter shows.
    pb::records::RunFilter selection() const;
    // The unit of a report: the selected unit, or else the unit of the current run.
    qint64 reportUnit() const;
    // Exports to `path`; false (and the status line says so) when it cannot be written.
    bool exportJson(const QString& path);
    bool exportCsv(const QString& path);
    bool exportHtml(const QString& path);
    bool exportPdf(const QString& path);
    // The line's report over the filter on top (the charts page's): HTML for a path ending
    // in .html or .xhtml, else PDF; in the window's language.
    bool saveLineReport(const QString& path);

    // For tests and screenshots.
    QTableView* unitsView() const { return unitsView_; }
    QTableView* runsView() const { return runsView_; }
    QTableView* trafficView() const { return trafficView_; }
    QPlainTextEdit* detailsView() const { return details_; }
    QLineEdit* serialEdit() const { return serial_; }
    QComboBox* outcomeCombo() const { return outcome_; }
    QComboBox* procedureCombo() const { return procedure_; }
    QCheckBox* datesCheck() const { return dates_; }
    QDateEdit* fromEdit() const { return from_; }
    QDateEdit* toEdit() const { return to_; }
    QLabel* statusLine() const { return status_; }
    QLabel* sourceLine() const { return source_; }
    QLineEdit* stationEdit() const { return station_; }
    QLineEdit* fixtureEdit() const { return fixture_; }
    QLineEdit* socketEdit() const { return socket_; }
    RecordsRunsModel* runsModel() const { return runsModel_; }
    QTabWidget* pages() const { return pages_; }
    RecordsChartsPage* chartsPage() const { return charts_; }
    QLabel* narrowedLine() const { return narrowed_; }
    // The list page with the filter narrowed to a socket's unit tests, or to the failed
    // unit tests of one step (a bar of the failures by step), until "Whole filter".
    void showSocket(const QString& fixture, const QString& socket);
    void showStepFailures(const pb::records::FailureRow& step);
    void showWholeFilter();

private:
    // Reads the units and runs again with the current filters.
    void showFiltered();
    pb::records::RunFilter filter() const;
    // filter() with the narrowing chosen on the charts page.
    pb::records::RunFilter listFilter() const;
    void showNarrowed();
    void showRun(qint64 runId);
    void showUnitTest(qint64 recipeRunId);
    void onUnitChosen();
    void onRunChosen();
    void exportWithDialog(const QString& filter, const QString& suffix,
                          bool (RecordsWindow::*write)(const QString&));
    bool finishExport(const pb::SaveResult& saved, const QString& path, qsizetype runs);
    void applyTexts();
    void fitColumns();

    pb::records::RecordStore& store_;
    int language_;
    qint64 unitId_ = 0;  // the unit chosen on the left; 0: all

    QLabel *serialLabel_, *toLabel_, *outcomeLabel_, *procedureLabel_, *unitsLabel_, *runsLabel_,
        *detailsLabel_, *trafficLabel_, *status_, *stationLabel_, *source_, *fixtureLabel_, *socketLabel_;
    QLineEdit *serial_, *station_, *fixture_, *socket_;
    qint64 waiting_ = -1;  // -1: no shared server
    qint64 eventsWaiting_ = -1;  // -1: no events broker
    int brokenLinks_ = 0;  // unit tests that break their station's chain, as last walked
    pb::records::RecordsStatus server_;
    QCheckBox* dates_;
    QDateEdit *from_, *to_;
    QComboBox *outcome_, *procedure_;
    QPushButton *allUnits_, *json_, *csv_, *html_, *pdf_, *lineReport_, *close_;
    QTableView *unitsView_, *runsView_, *trafficView_;
    QPlainTextEdit* details_;
    QTabWidget* pages_;
    RecordsChartsPage* charts_;
    QLabel* narrowed_;
    QPushButton* wholeFilter_;
    // What the charts page narrowed the list to (fixture and socket, or unit tests);
    // `narrowStep_` names the step for the line that says so.
    pb::records::RunFilter narrow_;
    pb::records::FailureRow narrowStep_;
    RecordsUnitsModel* unitsModel_;
    RecordsRunsModel* runsModel_;
    RecordsTrafficModel* trafficModel_;
};
