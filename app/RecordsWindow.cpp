#include "app/RecordsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QSqlError>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "app/RecordsChartsPage.h"
#include "app/RecordsModels.h"
#include "i18n/ChartTexts.h"
#include "i18n/RecordsTexts.h"
#include "catalogue/TestNames.h"
#include "records/exports/RecordsExport.h"
#include "i18n/ChainTexts.h"
#include "records/store/RecordChain.h"
#include "records/store/RecordsStatusText.h"
#include "records/exports/ShownStatus.h"
#include "reports/LineReport.h"

using pb::RecordText;
using pb::records::RecordQueries;
using pb::records::RecordStore;

namespace {

QTableView* MakeTable(const QString& name, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setObjectName(name);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    // Fixed row heights: the view never measures rows it does not show.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setHighlightSections(false);
    return view;
}

QLabel* MakeLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    return label;
}

QPushButton* MakeButton(const QString& name, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setObjectName(name);
    return button;
}

// A caption over the widget it names, as one pane of a splitter.
QWidget* labelledPane(QWidget* label, QWidget* content, QWidget* parent) {
    auto* pane = new QWidget(parent);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(content);
    return pane;
}

}  // namespace

RecordsWindow::RecordsWindow(RecordStore& store, int language, QWidget* parent)
    : QWidget(parent, Qt::Window),
      store_(store),
      language_(language),
      serialLabel_(MakeLabel(QStringLiteral("lbSerial"), this)),
      toLabel_(MakeLabel(QStringLiteral("lbTo"), this)),
      outcomeLabel_(MakeLabel(QStringLiteral("lbOutcome"), this)),
      procedureLabel_(MakeLabel(QStringLiteral("lbProcedure"), this)),
      unitsLabel_(MakeLabel(QStringLiteral("lbUnits"), this)),
      runsLabel_(MakeLabel(QStringLiteral("lbRuns"), this)),
      detailsLabel_(MakeLabel(QStringLiteral("lbDetails"), this)),
      trafficLabel_(MakeLabel(QStringLiteral("lbTraffic"), this)),
      status_(new QLabel(this)),
      stationLabel_(MakeLabel(QStringLiteral("lbStation"), this)),
      source_(MakeLabel(QStringLiteral("lbSource"), this)),
      fixtureLabel_(MakeLabel(QStringLiteral("lbFixture"), this)),
      socketLabel_(MakeLabel(QStringLiteral("lbSocket"), this)),
      serial_(new QLineEdit(this)),
      station_(new QLineEdit(this)),
      fixture_(new QLineEdit(this)),
      socket_(new QLineEdit(this)),
      dates_(new QCheckBox(this)),
      from_(new QDateEdit(QDate::currentDate().addMonths(-1), this)),
      to_(new QDateEdit(QDate::currentDate(), this)),
      outcome_(new QComboBox(this)),
      procedure_(new QComboBox(this)),
      allUnits_(MakeButton(QStringLiteral("btAllUnits"), this)),
      json_(MakeButton(QStringLiteral("btExportJson"), this)),
      csv_(MakeButton(QStringLiteral("btExportCsv"), this)),
      html_(MakeButton(QStringLiteral("btExportHtml"), this)),
      pdf_(MakeButton(QStringLiteral("btExportPdf"), this)),
      lineReport_(MakeButton(QStringLiteral("btLineReport"), this)),
      close_(MakeButton(QStringLiteral("btClose"), this)),
      unitsView_(MakeTable(QStringLiteral("unitsView"), this)),
      runsView_(MakeTable(QStringLiteral("runsView"), this)),
      trafficView_(MakeTable(QStringLiteral("trafficView"), this)),
      details_(new QPlainTextEdit(this)),
      unitsModel_(new RecordsUnitsModel(this)),
      runsModel_(new RecordsRunsModel(this)),
      trafficModel_(new RecordsTrafficModel(this)) {
    setObjectName(QStringLiteral("RecordsWindow"));
    status_->setObjectName(QStringLiteral("lbRecordsStatus"));
    status_->setWordWrap(true);
    serial_->setObjectName(QStringLiteral("edSerial"));
    serial_->setClearButtonEnabled(true);
    station_->setObjectName(QStringLiteral("edStation"));
    station_->setClearButtonEnabled(true);
    fixture_->setObjectName(QStringLiteral("edFixture"));
    fixture_->setClearButtonEnabled(true);
    socket_->setObjectName(QStringLiteral("edSocket"));
    socket_->setClearButtonEnabled(true);
    source_->setWordWrap(true);
    source_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    dates_->setObjectName(QStringLiteral("cbDates"));
    for (QDateEdit* edit : {from_, to_}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setEnabled(false);
    }
    outcome_->setObjectName(QStringLiteral("cbOutcome"));
    procedure_->setObjectName(QStringLiteral("cbProcedure"));
    details_->setObjectName(QStringLiteral("edDetails"));
    details_->setReadOnly(true);
    details_->setLineWrapMode(QPlainTextEdit::NoWrap);

    unitsView_->setModel(unitsModel_);
    unitsView_->setSelectionMode(QAbstractItemView::SingleSelection);
    runsView_->setModel(runsModel_);
    runsView_->setSelectionMode(QAbstractItemView::ExtendedSelection);

    trafficView_->setModel(trafficModel_);

    // Filters on top; units | runs over details and traffic; exports at the bottom.
    auto* filters = new QHBoxLayout;
    filters->addWidget(serialLabel_);
    filters->addWidget(serial_, 1);
    filters->addSpacing(8);
    filters->addWidget(stationLabel_);
    filters->addWidget(station_, 1);
    filters->addSpacing(8);
    // A unit test's fixture and socket, named whole.
    filters->addWidget(fixtureLabel_);
    filters->addWidget(fixture_, 1);
    filters->addSpacing(8);
    filters->addWidget(socketLabel_);
    filters->addWidget(socket_, 1);
    // The dates, outcome and test on a line of their own: each field keeps room to type in.
    auto* moreFilters = new QHBoxLayout;
    moreFilters->addWidget(dates_);
    moreFilters->addWidget(from_);
    moreFilters->addWidget(toLabel_);
    moreFilters->addWidget(to_);
    moreFilters->addSpacing(8);
    moreFilters->addWidget(outcomeLabel_);
    moreFilters->addWidget(outcome_);
    moreFilters->addSpacing(8);
    moreFilters->addWidget(procedureLabel_);
    moreFilters->addWidget(procedure_);
    moreFilters->addStretch(1);

    auto* unitsPane = new QWidget(this);
    auto* unitsLayout = new QVBoxLayout(unitsPane);
    unitsLayout->setContentsMargins(0, 0, 0, 0);
    auto* unitsHead = new QHBoxLayout;
    unitsHead->addWidget(unitsLabel_, 1);
    unitsHead->addWidget(allUnits_);
    unitsLayout->addLayout(unitsHead);
    unitsLayout->addWidget(unitsView_);

    QWidget* runsPane = labelledPane(runsLabel_, runsView_, this);

    QWidget* detailsPane = labelledPane(detailsLabel_, details_, this);
    QWidget* trafficPane = labelledPane(trafficLabel_, trafficView_, this);
    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(detailsPane);
    lower->addWidget(trafficPane);
    lower->setStretchFactor(0, 2);
    lower->setStretchFactor(1, 3);

    auto* right = new QSplitter(Qt::Vertical, this);
    right->addWidget(runsPane);
    right->addWidget(lower);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 2);
    auto* main = new QSplitter(Qt::Horizontal, this);
    main->addWidget(unitsPane);
    main->addWidget(right);
    main->setStretchFactor(0, 2);
    main->setStretchFactor(1, 5);
    main->setSizes({320, 880});

    // The list and the charts over the same filter; the list narrowed from a chart says so.
    narrowed_ = MakeLabel(QStringLiteral("lbNarrowed"), this);
    wholeFilter_ = MakeButton(QStringLiteral("btWholeFilter"), this);
    auto* listPage = new QWidget(this);
    auto* listLayout = new QVBoxLayout(listPage);
    listLayout->setContentsMargins(0, 0, 0, 0);
    auto* narrowedRow = new QHBoxLayout;
    narrowedRow->addWidget(narrowed_, 1);
    narrowedRow->addWidget(wholeFilter_);
    listLayout->addLayout(narrowedRow);
    listLayout->addWidget(main, 1);
    charts_ = new RecordsChartsPage(store_.database(), language_, this);
    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("recordsPages"));
    pages_->addTab(listPage, QString());
    pages_->addTab(charts_, QString());

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    for (QPushButton* button : {json_, csv_, html_, pdf_, lineReport_, close_}) buttons->addWidget(button);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(source_);
    layout->addLayout(filters);
    layout->addLayout(moreFilters);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);

    connect(charts_, &RecordsChartsPage::socketChosen, this, &RecordsWindow::showSocket);
    connect(charts_, &RecordsChartsPage::stepChosen, this, &RecordsWindow::showStepFailures);
    connect(wholeFilter_, &QPushButton::clicked, this, &RecordsWindow::showWholeFilter);

    connect(serial_, &QLineEdit::textChanged, this, &RecordsWindow::showFiltered);
    connect(station_, &QLineEdit::textChanged, this, &RecordsWindow::showFiltered);
    connect(fixture_, &QLineEdit::textChanged, this, &RecordsWindow::showFiltered);
    connect(socket_, &QLineEdit::textChanged, this, &RecordsWindow::showFiltered);
    connect(dates_, &QCheckBox::toggled, this, [this](bool on) {
        from_->setEnabled(on);
        to_->setEnabled(on);
        showFiltered();
    });
    connect(from_, &QDateEdit::dateChanged, this, &RecordsWindow::showFiltered);
    connect(to_, &QDateEdit::dateChanged, this, &RecordsWindow::showFiltered);
    connect(outcome_, &QComboBox::activated, this, &RecordsWindow::showFiltered);
    connect(procedure_, &QComboBox::activated, this, &RecordsWindow::showFiltered);
    connect(allUnits_, &QPushButton::clicked, this, [this] {
        unitsView_->clearSelection();
        unitId_ = 0;
        showFiltered();
    });
    connect(unitsView_, &QTableView::clicked, this, &RecordsWindow::onUnitChosen);
    connect(unitsView_, &QTableView::activated, this, &RecordsWindow::onUnitChosen);
    connect(json_, &QPushButton::clicked, this, [this] {
        exportWithDialog(QStringLiteral("JSON (*.json)"), QStringLiteral(".json"), &RecordsWindow::exportJson);
    });
    connect(csv_, &QPushButton::clicked, this, [this] {
        exportWithDialog(QStringLiteral("CSV (*.csv)"), QStringLiteral(".csv"), &RecordsWindow::exportCsv);
    });
    connect(html_, &QPushButton::clicked, this, [this] {
        exportWithDialog(QStringLiteral("HTML (*.html *.xhtml)"), QStringLiteral(".html"), &RecordsWindow::exportHtml);
    });
    connect(pdf_, &QPushButton::clicked, this, [this] {
        exportWithDialog(QStringLiteral("PDF (*.pdf)"), QStringLiteral(".pdf"), &RecordsWindow::exportPdf);
    });
    connect(lineReport_, &QPushButton::clicked, this, [this] {
        exportWithDialog(QStringLiteral("PDF (*.pdf);;HTML (*.html *.xhtml)"), QStringLiteral(".pdf"),
                         &RecordsWindow::saveLineReport);
    });
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    resize(1200, 700);
    applyTexts();
    refresh();
    fitColumns();
}

void RecordsWindow::setLanguage(int language) {
    language_ = language;
    applyTexts();
    fitColumns();
}

void RecordsWindow::applyTexts() {
    const auto t = [this](RecordText id) { return pb::Text(id, language_); };
    setWindowTitle(t(RecordText::WindowTitle));
    serialLabel_->setText(t(RecordText::FilterSerial));
    stationLabel_->setText(t(RecordText::Station));
    fixtureLabel_->setText(t(RecordText::FilterFixture));
    socketLabel_->setText(t(RecordText::FilterSocket));
    setWaiting(waiting_, server_);
    dates_->setText(t(RecordText::FilterDates));
    toLabel_->setText(t(RecordText::FilterTo));
    outcomeLabel_->setText(t(RecordText::FilterOutcome));
    procedureLabel_->setText(t(RecordText::FilterProcedure));
    unitsLabel_->setText(t(RecordText::Units));
    allUnits_->setText(t(RecordText::AllUnits));
    runsLabel_->setText(t(RecordText::Runs));
    detailsLabel_->setText(t(RecordText::Details));
    trafficLabel_->setText(t(RecordText::Traffic));
    json_->setText(t(RecordText::ExportJson));
    csv_->setText(t(RecordText::ExportCsv));
    html_->setText(t(RecordText::ExportHtml));
    pdf_->setText(t(RecordText::ExportPdf));
    lineReport_->setText(pb::Text(pb::ChartText::LineReportButton, language_));
    close_->setText(t(RecordText::Close));
    pages_->setTabText(0, pb::Text(pb::ChartText::TabList, language_));
    pages_->setTabText(1, pb::Text(pb::ChartText::TabCharts, language_));
    wholeFilter_->setText(pb::Text(pb::ChartText::WholeFilter, language_));
    showNarrowed();
    charts_->setLanguage(language_);

    // Combo entries carry their codes; only the shown names change.
    const int outcomeIndex = qMax(0, outcome_->currentIndex());
    outcome_->clear();
    outcome_->addItem(t(RecordText::Any), QString());
    for (const char* code : {"ok", "error", "open-failed", "interrupted", "running"})
        outcome_->addItem(RecordsOutcomeText(QLatin1String(code), language_), QLatin1String(code));
    outcome_->setCurrentIndex(outcomeIndex);
    const int procedureIndex = qMax(0, procedure_->currentIndex());
    procedure_->clear();
    procedure_->addItem(t(RecordText::Any), QString());
    for (const QString& id : pb::KnownProcedureIds())
        procedure_->addItem(pb::ProcedureName(id, language_), id);
    procedure_->addItem(t(RecordText::ProcRecipe), QLatin1String(pb::records::kRecipeProcedure));
    procedure_->setCurrentIndex(procedureIndex);

    unitsModel_->setLanguage(language_);
    runsModel_->setLanguage(language_);
    trafficModel_->setLanguage(language_);
}

void RecordsWindow::setEventsWaiting(qint64 waiting) {
    eventsWaiting_ = waiting;
    setWaiting(waiting_, server_);
}

void RecordsWindow::setWaiting(qint64 waiting, const pb::records::RecordsStatus& server) {
    waiting_ = waiting;
    server_ = server;
    const QString where = QDir::toNativeSeparators(store_.where());
    QString text = pb::Text(store_.isServer() ? RecordText::ShowingServer : RecordText::ShowingLocal, language_).arg(where);
    if (waiting_ >= 0) text += QStringLiteral("    ") + pb::Text(RecordText::RunsWaiting, language_).arg(waiting_);
    if (eventsWaiting_ > 0) text += QStringLiteral("    ") + pb::Text(RecordText::StatusEventsShort, language_).arg(eventsWaiting_);
    if (!server_.ok()) text += QStringLiteral("\n") + pb::records::StatusText(server_, language_);
    if (brokenLinks_ > 0) text += QStringLiteral("\n") + pb::Text(pb::ChainLine::Broken, language_).arg(brokenLinks_);
    source_->setText(text);
}

pb::records::RunFilter RecordsWindow::filter() const {
    pb::records::RunFilter f;
    f.unitId = unitId_;
    f.serial = serial_->text().trimmed();
    f.station = station_->text().trimmed();
    f.fixture = fixture_->text().trimmed();
    f.socket = socket_->text().trimmed();
    if (dates_->isChecked()) {
        f.fromMs = from_->date().startOfDay().toMSecsSinceEpoch();
        f.toMs = to_->date().addDays(1).startOfDay().toMSecsSinceEpoch();
    }
    f.outcome = pb::records::OutcomeFromCode(outcome_->currentData().toString());
    f.procedure = procedure_->currentData().toString();
    return f;
}

void RecordsWindow::refresh() {
    // The chains walked again, once per change of the store (not per filter): a unit test
    // changed, removed or put in by hand shows here.
    {
        QSqlDatabase db = store_.database();
        QSqlError error;
        brokenLinks_ = store_.isOpen() ? int(pb::records::VerifyChains(db, &error).findings.size()) : 0;
        setWaiting(waiting_, server_);
    }
    showFiltered();
}

void RecordsWindow::showFiltered() {
    const qint64 unit = unitId_;
    unitsModel_->setQuery(store_.queries().unitsQuery(serial_->text().trimmed()));
    runsModel_->setQuery(store_.queries().runsQuery(listFilter()));
    charts_->setFilter(filter());
    unitsModel_->setLanguage(language_);
    runsModel_->setLanguage(language_);
    for (int c = 0; c < RecordQueries::UnitColumns; ++c) unitsView_->setColumnHidden(c, !RecordsUnitsModel::IsShown(c));
    for (int c = 0; c < RecordQueries::RunColumns; ++c) runsView_->setColumnHidden(c, !RecordsRunsModel::IsShown(c));
    // A unit test's fixture and socket beside its station, before the status.
    QHeaderView* head = runsView_->horizontalHeader();
    for (const int column : {RecordQueries::RunFixture, RecordQueries::RunSocket})
        if (head->count() > column && head->visualIndex(column) > head->visualIndex(RecordQueries::RunStatus))
            head->moveSection(head->visualIndex(column), head->visualIndex(RecordQueries::RunStatus));
    // Keep the chosen unit chosen (among the rows fetched so far).
    for (int row = 0; unit && row < unitsModel_->rowCount(); ++row)
        if (unitsModel_->unitId(row) == unit) unitsView_->selectRow(row);
    connect(runsView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &RecordsWindow::onRunChosen, Qt::UniqueConnection);
    showRun(0);
}

void RecordsWindow::fitColumns() {
    // From the header texts and a sample value: measuring every row would read them all.
    const QFontMetrics metrics = runsView_->fontMetrics();
    const int stamp = metrics.horizontalAdvance(QStringLiteral("2026-12-08 00:00:00")) + 16;
    const auto fit = [&](QTableView* view, int column, int sample) {
        const QString head = view->model()->headerData(column, Qt::Horizontal).toString();
        view->setColumnWidth(column, qMax(sample, view->horizontalHeader()->fontMetrics().horizontalAdvance(head) + 20));
    };
    fit(runsView_, RecordQueries::RunStartMs, stamp);
    fit(runsView_, RecordQueries::RunSerial, metrics.horizontalAdvance(QStringLiteral("127.0.0.1:40001")) + 16);
    int procedure = 0, outcome = 0;
    for (const QString& id : pb::KnownProcedureIds())
        procedure = qMax(procedure, metrics.horizontalAdvance(pb::ProcedureName(id, language_)));
    for (int i = 1; i < outcome_->count(); ++i)
        outcome = qMax(outcome, metrics.horizontalAdvance(outcome_->itemText(i)));
    fit(runsView_, RecordQueries::RunProcedure, procedure + 16);
    fit(runsView_, RecordQueries::RunOutcome, outcome + 16);
    // Date fields wide enough for their date and the popup arrow.
    for (QDateEdit* edit : {from_, to_})
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 48);
    fit(runsView_, RecordQueries::RunDurationMs, metrics.horizontalAdvance(QStringLiteral("0000.0 s")) + 16);
    fit(runsView_, RecordQueries::RunOperator, 90);
    fit(runsView_, RecordQueries::RunStation, 120);  // stations of a line share a server
    fit(runsView_, RecordQueries::RunFixture, 100);
    fit(runsView_, RecordQueries::RunSocket, metrics.horizontalAdvance(QStringLiteral("A16")) + 16);
    fit(unitsView_, RecordQueries::UnitSerial,
        metrics.horizontalAdvance(pb::Text(RecordText::Unidentified, language_).arg(QStringLiteral("127.0.0.1:4001"))) + 16);
    fit(unitsView_, RecordQueries::UnitModel, 60);
    fit(unitsView_, RecordQueries::UnitVersion, 60);
    fit(trafficView_, RecordsTrafficModel::Time, metrics.horizontalAdvance(QStringLiteral("00:00:00.000")) + 16);
    fit(trafficView_, RecordsTrafficModel::Direction, 60);
    fit(trafficView_, RecordsTrafficModel::Bytes, 220);
    fit(trafficView_, RecordsTrafficModel::Verdict, 60);
}

void RecordsWindow::onUnitChosen() {
    const QModelIndex current = unitsView_->currentIndex();
    unitId_ = current.isValid() ? unitsModel_->unitId(current.row()) : 0;
    showFiltered();
}

void RecordsWindow::onRunChosen() {
    const QModelIndex current = runsView_->currentIndex();
    if (current.isValid() && runsModel_->recipeRunId(current.row()) > 0)
        showUnitTest(runsModel_->recipeRunId(current.row()));
    else
        showRun(current.isValid() ? runsModel_->runId(current.row()) : 0);
}

void RecordsWindow::showUnitTest(qint64 recipeRunId) {
    const std::optional<pb::records::RecipeRunRow> test = store_.queries().recipeRun(recipeRunId);
    trafficModel_->setTraffic({});
    if (!test) {
        details_->clear();
        return;
    }
    const auto t = [this](RecordText id) { return pb::Text(id, language_); };
    QStringList lines = pb::records::RecipeRunLines(*test, 0, language_);
    lines << QString()
          << t(RecordText::ColOutcome) + QStringLiteral(": ") +
                 RecordsOutcomeText(pb::records::OutcomeCode(test->outcome()), language_)
          << t(RecordText::ColStarted) + QStringLiteral(": ") + RecordsTimeText(test->startMs)
          << t(RecordText::ColSerial) + QStringLiteral(": ") + test->unitSerial
          << t(RecordText::ColLink) + QStringLiteral(": ") + test->linkText
          << t(RecordText::ColOperator) + QStringLiteral(": ") + test->operatorName
          << t(RecordText::ColStation) + QStringLiteral(": ") + test->station;
    details_->setPlainText(lines.join(u'\n'));
}

void RecordsWindow::showRun(qint64 runId) {
    const std::optional<pb::records::RunRow> run = runId > 0 ? store_.queries().run(runId) : std::nullopt;
    if (!run) {
        details_->clear();
        trafficModel_->setTraffic({});
        return;
    }
    const auto t = [this](RecordText id) { return pb::Text(id, language_); };
    QStringList lines;
    lines << t(RecordText::ColProcedure) + QStringLiteral(": ") + pb::ProcedureName(run->procedure, language_)
          << t(RecordText::ColOutcome) + QStringLiteral(": ") +
                 RecordsOutcomeText(pb::records::OutcomeCode(run->outcome), language_)
          << t(RecordText::ColStarted) + QStringLiteral(": ") + RecordsTimeText(run->startMs)
          << t(RecordText::ColSerial) + QStringLiteral(": ") + run->unitSerial
          << t(RecordText::ColLink) + QStringLiteral(": ") + run->linkText
          << t(RecordText::ColOperator) + QStringLiteral(": ") + run->operatorName
          << t(RecordText::ColStation) + QStringLiteral(": ") + run->station
          << t(RecordText::ColStatus) + QStringLiteral(": ") + pb::records::ShownRunStatus(*run, language_) << QString()
          << QString::fromUtf8(QJsonDocument(run->details).toJson(QJsonDocument::Indented));
    // A step of a recipe run: the unit test it belongs to comes first.
    if (const auto recipeRun = store_.queries().recipeRun(store_.queries().recipeRunOf(runId)))
        lines = pb::records::RecipeRunLines(*recipeRun, runId, language_) + QStringList{QString()} + lines;
    details_->setPlainText(lines.join(u'\n'));
    trafficModel_->setTraffic(store_.queries().traffic(runId));
}

pb::records::RunFilter RecordsWindow::listFilter() const {
    pb::records::RunFilter f = filter();
    if (!narrow_.fixture.isEmpty() || !narrow_.socket.isEmpty()) {
        f.fixture = narrow_.fixture;
        f.socket = narrow_.socket;
    }
    f.recipeRunIds = narrow_.recipeRunIds;
    return f;
}

void RecordsWindow::showSocket(const QString& fixture, const QString& socket) {
    narrow_ = {};
    narrow_.fixture = fixture;
    narrow_.socket = socket;
    narrowStep_ = {};
    showNarrowed();
    pages_->setCurrentIndex(0);
    showFiltered();
}

void RecordsWindow::showStepFailures(const pb::records::FailureRow& step) {
    narrow_ = {};
    narrow_.recipeRunIds = pb::records::LineFigures(store_.database()).failedAtStep(filter(), step.recipe, step.step);
    if (narrow_.recipeRunIds.isEmpty()) narrow_.recipeRunIds << 0;  // no unit test has id 0: an empty list
    narrowStep_ = step;
    showNarrowed();
    pages_->setCurrentIndex(0);
    showFiltered();
}

void RecordsWindow::showWholeFilter() {
    narrow_ = {};
    narrowStep_ = {};
    showNarrowed();
    showFiltered();
}

void RecordsWindow::showNarrowed() {
    const bool socket = !narrow_.socket.isEmpty() || !narrow_.fixture.isEmpty();
    const bool step = !narrow_.recipeRunIds.isEmpty();
    narrowed_->setVisible(socket || step);
    wholeFilter_->setVisible(socket || step);
    if (socket)
        narrowed_->setText(pb::Text(pb::ChartText::NarrowedSocket, language_).arg(narrow_.socket, narrow_.fixture));
    else if (step)
        narrowed_->setText(pb::Text(pb::ChartText::NarrowedStep, language_)
                               .arg(StepLabel(narrowStep_, language_), narrowStep_.recipe)
                               .arg(narrowStep_.failures));
}

pb::records::RunFilter RecordsWindow::selection() const {
    pb::records::RunFilter f = listFilter();
    const QModelIndexList rows = runsView_->selectionModel()->selectedRows();
    // The rows chosen, within the narrowed list: those alone.
    if (!rows.isEmpty()) f.recipeRunIds.clear();
    for (const QModelIndex& row : rows) {
        if (const qint64 test = runsModel_->recipeRunId(row.row()); test > 0) f.recipeRunIds << test;
        else f.runIds << runsModel_->runId(row.row());
    }
    return f;
}

qint64 RecordsWindow::reportUnit() const {
    if (unitId_ > 0) return unitId_;
    const QModelIndex current = runsView_->currentIndex();
    if (!current.isValid()) return 0;
    // A link's runs before any identify are of no unit to report on.
    const std::optional<pb::records::UnitRow> unit = store_.queries().unit(runsModel_->unitId(current.row()));
    return unit && unit->identified ? unit->id : 0;
}

bool RecordsWindow::finishExport(const pb::SaveResult& saved, const QString& path, qsizetype runs) {
    status_->setText(saved.ok ? pb::Text(RecordText::Exported, language_).arg(runs).arg(QDir::toNativeSeparators(path))
                              : pb::Text(RecordText::ExportFailed, language_)
                                    .arg(QDir::toNativeSeparators(path), saved.error));
    return saved.ok;
}

bool RecordsWindow::exportJson(const QString& path) {
    const pb::records::RunFilter f = selection();
    const QByteArray json = pb::records::ExportJson(store_, f, true);
    return finishExport(pb::WriteWholeFile(path, json), path, store_.queries().runs(f).size());
}

bool RecordsWindow::exportCsv(const QString& path) {
    const pb::records::RunFilter f = selection();
    return finishExport(pb::WriteWholeFile(path, pb::records::ExportCsv(store_, f)), path, store_.queries().runs(f).size());
}

bool RecordsWindow::exportHtml(const QString& path) {
    const qint64 unit = reportUnit();
    if (unit == 0) {
        status_->setText(pb::Text(RecordText::ChooseUnit, language_));
        return false;
    }
    pb::records::RunFilter f;
    f.unitId = unit;
    return finishExport(pb::WriteWholeFile(path, pb::records::UnitReportHtml(store_, unit, language_).toUtf8()), path,
                        store_.queries().runs(f).size());
}

bool RecordsWindow::exportPdf(const QString& path) {
    const qint64 unit = reportUnit();
    if (unit == 0) {
        status_->setText(pb::Text(RecordText::ChooseUnit, language_));
        return false;
    }
    pb::records::RunFilter f;
    f.unitId = unit;
    return finishExport(pb::records::WriteUnitReportPdf(store_, unit, language_, path), path,
                        store_.queries().runs(f).size());
}

bool RecordsWindow::saveLineReport(const QString& path) {
    const pb::reports::LineReportData data = pb::reports::ReadLineReport(store_.database(), filter());
    const bool html = path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive) ||
                      path.endsWith(QLatin1String(".xhtml"), Qt::CaseInsensitive);
    const pb::SaveResult saved =
        !data.error.isEmpty() ? pb::SaveResult{false, data.error}
        : html                ? pb::WriteWholeFile(path, pb::reports::LineReportHtml(data, language_).toUtf8())
                              : pb::reports::WriteLineReportPdf(data, language_, path);
    status_->setText(saved.ok ? pb::Text(pb::ChartText::LineReportSaved, language_).arg(QDir::toNativeSeparators(path))
                              : pb::Text(RecordText::ExportFailed, language_)
                                    .arg(QDir::toNativeSeparators(path), saved.error));
    return saved.ok;
}

void RecordsWindow::exportWithDialog(const QString& filter, const QString& suffix,
                                     bool (RecordsWindow::*write)(const QString&)) {
    QString path = QFileDialog::getSaveFileName(this, windowTitle(), QString(), filter);
    if (path.isEmpty()) return;
    if (!path.contains(u'.')) path += suffix;
    (this->*write)(path);
}
