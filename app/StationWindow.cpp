#include "app/StationWindow.h"

#include "i18n/CauseTexts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/FitLabel.h"
#include "app/ScanField.h"
#include "app/StationStepsModel.h"
#include "app/WindowFont.h"
#include "i18n/LanguageFont.h"
#include "i18n/RecipeTexts.h"
#include "i18n/StationTexts.h"
#include "catalogue/StepNames.h"
#include "runner/RecipeRunner.h"

namespace pb {
namespace {

QLabel* Named(QLabel* label, const char* name) {
    label->setObjectName(QLatin1String(name));
    return label;
}

}  // namespace

StationWindow::StationWindow(Recipe recipe, std::function<LinkSettings()> link, int language,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), recipe_(std::move(recipe)), link_(std::move(link)) {
    setObjectName(QStringLiteral("StationWindow"));
    productCaption_ = Named(new QLabel(this), "lblProduct");
    product_ = Named(new FitLabel(this), "pnProduct");
    QFont big = product_->font();
    big.setBold(true);
    product_->setFont(big);
    recipeCaption_ = Named(new QLabel(this), "lblRecipe");
    recipeFile_ = Named(new FitLabel(this), "pnRecipe");
    linkCaption_ = Named(new QLabel(this), "lblLink");
    linkText_ = Named(new FitLabel(this), "pnLink");
    serialCaption_ = Named(new QLabel(this), "lblSerial");
    serial_ = new QLineEdit(this);
    serial_->setObjectName(QStringLiteral("edSerial"));
    serialCaption_->setBuddy(serial_);
    hint_ = Named(new QLabel(this), "lblHint");
    hint_->setWordWrap(true);

    bannerFrame_ = new QFrame(this);
    bannerFrame_->setObjectName(QStringLiteral("frVerdict"));
    bannerFrame_->setAutoFillBackground(true);
    bannerFrame_->setFrameShape(QFrame::Box);
    verdict_ = new FitLabel(bannerFrame_);
    verdict_->setObjectName(QStringLiteral("pnVerdict"));
    verdict_->setAlignment(Qt::AlignCenter);
    verdictDetail_ = Named(new QLabel(bannerFrame_), "lblVerdictDetail");
    verdictDetail_->setAlignment(Qt::AlignCenter);
    verdictDetail_->setWordWrap(true);
    auto* bannerLayout = new QVBoxLayout(bannerFrame_);
    bannerLayout->addWidget(verdict_);
    bannerLayout->addWidget(verdictDetail_);

    steps_ = new StationStepsModel(this);
    steps_->setRecipe(recipe_);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("tvSteps"));
    table_->setModel(steps_);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    // The table is read, not worked: Tab goes from the serial field to the reset button.
    table_->setFocusPolicy(Qt::NoFocus);

    countsText_ = Named(new QLabel(this), "lblCounts");
    QFont countsFont = countsText_->font();
    countsFont.setPointSizeF(countsFont.pointSizeF() * 1.3);
    countsFont.setBold(true);
    countsText_->setFont(countsFont);
    reset_ = new QPushButton(this);
    reset_->setObjectName(QStringLiteral("btnResetCounts"));
    reset_->setAutoDefault(false);
    stop_ = new QPushButton(this);
    stop_->setObjectName(QStringLiteral("btnStop"));
    stop_->setAutoDefault(false);
    stop_->setEnabled(false);
    close_ = new QPushButton(this);
    close_->setObjectName(QStringLiteral("btnClose"));
    close_->setAutoDefault(false);

    auto* head = new QGridLayout;
    head->addWidget(productCaption_, 0, 0);
    head->addWidget(product_, 0, 1, 1, 3);
    head->addWidget(recipeCaption_, 1, 0);
    head->addWidget(recipeFile_, 1, 1);
    head->addWidget(linkCaption_, 1, 2);
    head->addWidget(linkText_, 1, 3);
    head->addWidget(serialCaption_, 2, 0);
    head->addWidget(serial_, 2, 1, 1, 3);
    head->setColumnStretch(1, 3);
    head->setColumnStretch(3, 2);
    auto* foot = new QHBoxLayout;
    foot->addWidget(countsText_, 1);
    foot->addWidget(stop_);
    foot->addWidget(reset_);
    foot->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(hint_);
    layout->addWidget(bannerFrame_);
    layout->addWidget(table_, 1);
    layout->addLayout(foot);
    setTabOrder(serial_, reset_);
    setTabOrder(reset_, stop_);
    setTabOrder(stop_, close_);

    connect(serial_, &QLineEdit::returnPressed, this, &StationWindow::scanEntered);
    connect(reset_, &QPushButton::clicked, this, &StationWindow::resetCounts);
    connect(stop_, &QPushButton::clicked, this, &StationWindow::stopUnit);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    makeRunner();
    resize(760, 600);
    setLanguage(language);
    refreshLink();
    serial_->setFocus();
}

StationWindow::~StationWindow() = default;

void StationWindow::makeRunner() {
    runner_ = std::make_unique<RecipeRunner>(recipe_, *clock_, cancel_);
    runner_->setObserver(this);
    runner_->setLanguage(LanguageAt(language_));
    runner_->setRecords(records_, operator_);
    connect(&runner_->link(), &Link::traffic, this, &StationWindow::traffic);
}

void StationWindow::setRecords(records::RecordStore* store, const QString& operatorName) {
    records_ = store;
    operator_ = operatorName;
    runner_->setRecords(records_, operator_);
}

void StationWindow::setClock(Clock* clock) {
    if (running_) return;
    clock_ = clock ? clock : &ownClock_;
    // The runner keeps its clock for its life: a new one (its link's listeners go with it).
    makeRunner();
}

void StationWindow::setLanguage(int language) {
    language_ = language;
    setFont(WindowFontFor(LanguageFontFor(language), font()));
    // The verdict in a size seen from across the bench, in this language's font.
    QFont huge = font();
    huge.setPointSize(48);
    huge.setBold(true);
    verdict_->setFont(huge);
    verdict_->setMinimumHeight(QFontMetrics(huge).height() + 8);
    QFont detail = font();
    detail.setPointSizeF(detail.pointSizeF() * 1.3);
    verdictDetail_->setFont(detail);
    QFont serialFont = font();
    serialFont.setPointSizeF(serialFont.pointSizeF() * 1.6);
    serial_->setFont(serialFont);
    steps_->setLanguage(language);
    if (runner_) runner_->setLanguage(LanguageAt(language));
    retranslate();
}

void StationWindow::retranslate() {
    setWindowTitle(Text(StationText::WindowTitle, language_).arg(recipe_.product));
    productCaption_->setText(Text(StationText::Product, language_));
    product_->setText(recipe_.product);
    recipeCaption_->setText(Text(StationText::Recipe, language_));
    recipeFile_->setText(QFileInfo(recipe_.sourcePath).fileName());
    recipeFile_->setToolTip(recipe_.sourcePath + QStringLiteral("\nSHA-256 ") + recipe_.hashHex());
    linkCaption_->setText(Text(StationText::Link, language_));
    serialCaption_->setText(Text(StationText::SerialNumber, language_));
    reset_->setText(Text(StationText::ResetCounts, language_));
    stop_->setText(Text(StationText::Stop, language_));
    close_->setText(Text(StationText::Close, language_));
    for (QPushButton* b : {reset_, stop_, close_})
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(QString(b->text()).remove(u'&')) + 24);
    refreshLink();
    // Column widths from the widest texts they hold in this language.
    const QFontMetrics fm(table_->font());
    table_->verticalHeader()->setDefaultSectionSize(fm.height() + 8);
    table_->setColumnWidth(StationStepsModel::ColumnNumber, fm.horizontalAdvance(QStringLiteral("99")) + 18);
    int stepWidth = fm.horizontalAdvance(Text(StationText::ColumnStep, language_));
    for (const RecipeStep& step : recipe_.steps)
        stepWidth = std::max(stepWidth, fm.horizontalAdvance(StepName(step, language_)));
    table_->setColumnWidth(StationStepsModel::ColumnStep, std::min(stepWidth + 18, 260));
    int stateWidth = fm.horizontalAdvance(Text(StationText::ColumnState, language_));
    for (StationText t : {StationText::StateWaiting, StationText::StatePassed, StationText::StateFailed,
                          StationText::StateNotRun})
        stateWidth = std::max(stateWidth, fm.horizontalAdvance(Text(t, language_)));
    stateWidth = std::max(stateWidth, fm.horizontalAdvance(Text(StationText::StateRunning, language_).arg(9)));
    table_->setColumnWidth(StationStepsModel::ColumnState, stateWidth + 18);
    showBanner();
    showCounts();
}

void StationWindow::refreshLink() {
    if (!link_) return;
    const LinkSettings link = link_();
    linkText_->setText(link.kind == LinkKind::Net
                           ? Text(StationText::LinkTcp, language_).arg(link.ip, link.tcpPort)
                           : Text(StationText::LinkSerial, language_).arg(link.portName, link.speed));
}

void StationWindow::showBanner() {
    QColor background;
    QColor foreground = Qt::white;
    QString detail;
    switch (banner_) {
        case Banner::Ready:
            verdict_->setText(Text(StationText::BannerReady, language_));
            background = QColor(224, 224, 224);
            foreground = QColor(64, 64, 64);
            break;
        case Banner::Testing:
            verdict_->setText(Text(StationText::BannerTesting, language_).arg(unitSerial_));
            background = QColor(255, 214, 0);
            foreground = Qt::black;
            break;
        case Banner::Pass:
            verdict_->setText(Text(StationText::BannerPass, language_));
            background = QColor(0, 150, 40);
            detail = Text(StationText::PassDetail, language_).arg(unitSerial_).arg(recipe_.steps.size());
            break;
        case Banner::Fail: {
            verdict_->setText(Text(StationText::BannerFail, language_));
            background = QColor(200, 0, 0);
            const int i = verdictShown_.failingStep;
            const QString name = i >= 0 && i < recipe_.steps.size() ? StepName(recipe_.steps.at(i), language_)
                                                                    : QString();
            detail = FillArgs(Text(StationText::FailDetail, language_),
                              {unitSerial_, QString::number(i + 1), name, CauseText(verdictShown_.cause, language_)});
            break;
        }
    }
    QPalette palette = bannerFrame_->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, foreground);
    bannerFrame_->setPalette(palette);
    verdict_->setPalette(palette);
    verdictDetail_->setPalette(palette);
    verdictDetail_->setText(detail);
    verdictDetail_->setVisible(!detail.isEmpty());

    if (running_)
        hint_->setText(ignoredScan_.isEmpty() ? Text(StationText::HintRunning, language_).arg(unitSerial_)
                                              : Text(StationText::HintIgnored, language_).arg(ignoredScan_));
    else
        hint_->setText(Text(StationText::HintReady, language_));
}

void StationWindow::showCounts() {
    const auto yield = counts_.firstPassYield();
    const QString percent = yield ? QString::number(*yield, 'f', 1) + QLatin1Char('%')
                                  : Text(StationText::NoValue, language_);
    countsText_->setText(Text(StationText::CountPassed, language_).arg(counts_.passed()) +
                         QStringLiteral("    ") +
                         Text(StationText::CountFailed, language_).arg(counts_.failed()) +
                         QStringLiteral("    ") + Text(StationText::CountYield, language_).arg(percent));
}

void StationWindow::resetCounts() {
    counts_.reset();
    showCounts();
    serial_->setFocus();
}

void StationWindow::stopUnit() {
    if (running_) runner_->cancel();
}

void StationWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (running_)
            stopUnit();
        else
            close();
        return;
    }
    // A scan while a button has the focus still goes to the serial field.
    if (PassTypingTo(serial_, event)) return;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !serial_->text().isEmpty()) {
        scanEntered();
        return;
    }
    QWidget::keyPressEvent(event);
}

void StationWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        closeRequested_ = true;
        stopUnit();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void StationWindow::scanEntered() {
    const QString serial = serial_->text().trimmed();
    serial_->clear();
    if (serial.isEmpty()) return;  // Enter on an empty field does nothing
    if (running_) {
        // The field stays open so the scanner's keys go nowhere else; the scan is dropped.
        ignoredScan_ = serial;
        showBanner();
        return;
    }
    runUnit(serial);
}

void StationWindow::recipeStarted(const Recipe& /*recipe*/, const QString& serial) {
    ignoredScan_.clear();
    unitSerial_ = serial;
    banner_ = Banner::Testing;
    steps_->clearRun();
    stop_->setEnabled(true);
    refreshLink();
    showBanner();
    emit unitStarted(serial);
}

void StationWindow::stepStarted(int index, int attempt) {
    steps_->stepStarted(index, attempt);
    table_->scrollTo(steps_->index(index, 0));
}

void StationWindow::stepProgress(int index, const QString& /*phase*/, int done, int total) {
    steps_->stepProgress(index, done, total);
}

void StationWindow::stepEnded(int index, const StepResult& result) {
    steps_->stepEnded(index, result.verdict, result.measurements);
}

void StationWindow::recipeEnded(const UnitVerdict& verdict, const QList<StepResult>& results) {
    for (int i = 0; i < results.size(); ++i)
        if (!results.at(i).verdict.ran()) steps_->stepEnded(i, results.at(i).verdict, {});
    steps_->markUnreached();
    stop_->setEnabled(false);
    verdictShown_ = verdict;
    banner_ = verdict.passed ? Banner::Pass : Banner::Fail;
    counts_.add(unitSerial_, verdict.passed);
}

void StationWindow::runUnit(const QString& serial) {
    running_ = true;
    unitSerial_ = serial;
    // The verdict of the last unit goes the moment the next is scanned.
    banner_ = Banner::Testing;
    showBanner();
    RecipeUnit unit;
    unit.link = link_ ? link_() : LinkSettings{};
    unit.scannedSerial = serial;
    cancel_.clear();  // a stop asked for the last unit does not stop this one
    runner_->run(unit);
    running_ = false;
    showBanner();
    showCounts();
    serial_->setFocus();
    emit unitEnded(serial, verdictShown_.passed);
    if (closeRequested_) QTimer::singleShot(0, this, &QWidget::close);
}

}  // namespace pb
