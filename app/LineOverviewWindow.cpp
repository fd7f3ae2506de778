#include "app/LineOverviewWindow.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QScrollBar>
#include <QSqlDriver>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/LineOverviewModel.h"
#include "app/WindowFont.h"
#include "i18n/LanguageFont.h"
#include "i18n/OverviewTexts.h"
#include "records/sync/LineOverview.h"
#include "records/store/RecordStore.h"
#include "records/store/ServerAddress.h"

namespace pb {

LineOverviewWindow::LineOverviewWindow(const QString& url, int language, NowMs now, QWidget* parent)
    : QWidget(parent), url_(url),
      now_(now ? std::move(now) : NowMs([] { return QDateTime::currentMSecsSinceEpoch(); })),
      model_(new LineOverviewModel(this)), table_(new QTableView(this)), status_(new QLabel(this)),
      timer_(new QTimer(this)), soon_(new QTimer(this)) {
    setWindowFlag(Qt::Window);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    status_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(status_);

    connect(timer_, &QTimer::timeout, this, &LineOverviewWindow::refresh);
    timer_->start(kReadEveryMs);
    soon_->setSingleShot(true);
    soon_->setInterval(1000);
    connect(soon_, &QTimer::timeout, this, &LineOverviewWindow::refresh);

    resize(900, 360);
    setLanguage(language);
    refresh();
}

LineOverviewWindow::~LineOverviewWindow() = default;

void LineOverviewWindow::openServer() {
    server_ = std::make_unique<records::RecordStore>();
    listening_ = false;
    if (!server_->openUrl(url_, records::RecordStore::Access::ReadOnly).ok()) return;
    QSqlDriver* driver = server_->database().driver();
    if (driver && driver->hasFeature(QSqlDriver::EventNotifications) &&
        driver->subscribeToNotification(QLatin1String(records::kHeartbeatChannel))) {
        listening_ = true;
        connect(driver, &QSqlDriver::notification, this, [this] {
            if (!soon_->isActive()) soon_->start();
        });
    }
}

void LineOverviewWindow::refresh() {
    if (!server_ || !server_->isOpen()) openServer();
    const qint64 now = now_();
    QString error;
    if (server_->isOpen()) {
        model_->setRows(records::ReadLineOverview(*server_, now, records::DayStartMs(now), &error), now);
    } else {
        error = server_->status().detail;
    }
    // A connection that failed is made anew on the next read.
    if (!error.isEmpty()) server_.reset();
    readError_ = error;
    readMs_ = now;
    setLanguage(language_);
}

void LineOverviewWindow::setLanguage(int language) {
    const bool changed = language != language_ || status_->text().isEmpty();
    language_ = language;
    model_->setLanguage(language);
    if (changed) {
        setFont(WindowFontFor(LanguageFontFor(language), font()));
        setWindowTitle(Text(OverviewText::Title, language));
    }
    const auto address = records::ParseServerUrl(url_);
    status_->setText(readError_.isEmpty()
                         ? Text(OverviewText::ReadAt, language)
                               .arg(address ? address->display() : url_,
                                    QDateTime::fromMSecsSinceEpoch(readMs_).toString(QStringLiteral("HH:mm:ss")))
                         : Text(OverviewText::ReadFailed, language).arg(readError_));
    fitColumns();
}

void LineOverviewWindow::fitColumns() {
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table_->resizeColumnsToContents();
    // Room for the column heads' words, whatever the rows hold.
    const QFontMetrics fm(table_->horizontalHeader()->font());
    for (int c = 0; c < LineOverviewModel::Columns; ++c) {
        const int head = fm.horizontalAdvance(model_->headerData(c, Qt::Horizontal).toString()) + 24;
        if (table_->columnWidth(c) < head) table_->setColumnWidth(c, head);
    }
    // Wide enough to show every column at first.
    const int needed = table_->horizontalHeader()->length() + table_->verticalScrollBar()->sizeHint().width() +
                       2 * table_->frameWidth() + layout()->contentsMargins().left() +
                       layout()->contentsMargins().right() + 4;
    if (width() < needed) resize(needed, height());
}

}  // namespace pb
