#include "app/TrafficMonitorWindow.h"

#include <QApplication>
#include <algorithm>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include "app/WindowFont.h"
#include "i18n/LanguageFont.h"
#include "i18n/TrafficTexts.h"
#include "output/WholeFile.h"
#include "traffic/TrafficExport.h"
#include "traffic/TrafficLog.h"

namespace pb {
namespace {

// Failures and frames with a wrong checksum in red, so they stand out in a long list.
class AlertDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(TrafficLog::AlertRole).toBool()) option->palette.setColor(QPalette::Text, QColor(176, 0, 0));
    }
};

}  // namespace

TrafficMonitorWindow::TrafficMonitorWindow(TrafficLog* log, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log) {
    setObjectName(QStringLiteral("TrafficMonitorWindow"));
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("tvTraffic"));
    table_->setModel(log_);
    table_->setItemDelegate(new AlertDelegate(table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideRight);
    // Fixed row heights: the view never measures 100,000 rows.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    const auto button = [this](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    pause_ = button("btnPause");
    pause_->setCheckable(true);
    clear_ = button("btnClear");
    findLabel_ = new QLabel(this);
    findLabel_->setObjectName(QStringLiteral("lblFind"));
    findField_ = new QLineEdit(this);
    findField_->setObjectName(QStringLiteral("edFind"));
    findLabel_->setBuddy(findField_);
    findNext_ = button("btnFindNext");
    copy_ = button("btnCopy");
    save_ = button("btnSave");
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("lblStatus"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(pause_);
    bar->addWidget(clear_);
    bar->addSpacing(12);
    bar->addWidget(findLabel_);
    bar->addWidget(findField_, 1);
    bar->addWidget(findNext_);
    bar->addSpacing(12);
    bar->addWidget(copy_);
    bar->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(table_, 1);
    layout->addWidget(status_);

    connect(pause_, &QPushButton::toggled, log_, &TrafficLog::setPaused);
    connect(log_, &TrafficLog::pausedChanged, this, [this](bool paused) {
        pause_->setChecked(paused);
        retranslate();
    });
    connect(clear_, &QPushButton::clicked, log_, &TrafficLog::clear);
    connect(findNext_, &QPushButton::clicked, this, &TrafficMonitorWindow::findNext);
    connect(findField_, &QLineEdit::returnPressed, this, &TrafficMonitorWindow::findNext);
    connect(copy_, &QPushButton::clicked, this, &TrafficMonitorWindow::copySelection);
    connect(save_, &QPushButton::clicked, this, &TrafficMonitorWindow::saveAs);

    // Follow the newest row while the view stands at the bottom; scrolling up stops it,
    // scrolling back down starts it again.
    QScrollBar* scroll = table_->verticalScrollBar();
    connect(scroll, &QScrollBar::valueChanged, this, [this, scroll](int value) { follow_ = value >= scroll->maximum(); });
    connect(log_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (follow_) table_->scrollToBottom();
    });
    connect(log_, &TrafficLog::countsChanged, this, [this] {
        statusNote_.clear();
        updateStatus();
    });

    resize(980, 520);
    setLanguage(log_->language());
}

void TrafficMonitorWindow::setLanguage(int language) {
    language_ = language;
    log_->setLanguage(language);
    setFont(WindowFontFor(LanguageFontFor(language), font()));
    retranslate();
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // Widths from the widest text a column usually holds, in this language and font.
    const QFontMetrics fm(table_->font());
    const auto fit = [&](int column, const QString& sample) {
        const QString head = log_->headerData(column, Qt::Horizontal).toString();
        table_->setColumnWidth(column, std::max(fm.horizontalAdvance(sample), fm.horizontalAdvance(head)) + 18);
    };
    fit(TrafficLog::Time, QStringLiteral("00:00:00.000"));
    int widest = 0;
    for (TrafficText t : {TrafficText::Sent, TrafficText::Received, TrafficText::Failed})
        widest = std::max(widest, fm.horizontalAdvance(Text(t, language)));
    table_->setColumnWidth(TrafficLog::Direction,
                           std::max(widest, fm.horizontalAdvance(log_->headerData(TrafficLog::Direction,
                                                                                 Qt::Horizontal).toString())) + 18);
    fit(TrafficLog::Bytes, QStringLiteral("<ETX>0000DBKV320MX V5.10.02<EOT>CDE1<CR>"));
    fit(TrafficLog::Id, QStringLiteral("0000"));
    fit(TrafficLog::Mnemonic, QStringLiteral("Zp"));
    fit(TrafficLog::Data, QStringLiteral("KV320MX V5.10.02"));
    widest = 0;
    for (TrafficText t : {TrafficText::VerdictGood, TrafficText::VerdictBad, TrafficText::VerdictLowercase,
                          TrafficText::VerdictNone})
        widest = std::max(widest, fm.horizontalAdvance(Text(t, language)));
    table_->setColumnWidth(TrafficLog::Checksum,
                           std::max(widest, fm.horizontalAdvance(log_->headerData(TrafficLog::Checksum,
                                                                                 Qt::Horizontal).toString())) + 18);
    fit(TrafficLog::Latency, QStringLiteral("00000"));
    // Wide enough to show every column at first, with room for the vertical scroll bar.
    const int needed = table_->horizontalHeader()->length() + table_->verticalScrollBar()->sizeHint().width() +
                       2 * table_->frameWidth() + layout()->contentsMargins().left() +
                       layout()->contentsMargins().right() + 4;
    if (width() < needed) resize(needed, height());
}

void TrafficMonitorWindow::retranslate() {
    setWindowTitle(Text(TrafficText::WindowTitle, language_));
    pause_->setText(Text(log_->isPaused() ? TrafficText::Resume : TrafficText::Pause, language_));
    clear_->setText(Text(TrafficText::Clear, language_));
    findLabel_->setText(Text(TrafficText::Find, language_));
    findNext_->setText(Text(TrafficText::FindNext, language_));
    copy_->setText(Text(TrafficText::Copy, language_));
    save_->setText(Text(TrafficText::Save, language_));
    // Room around each caption, whatever the style's own margins.
    for (QPushButton* b : {pause_, clear_, findNext_, copy_, save_})
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 24);
    pause_->setMinimumWidth(std::max(pause_->fontMetrics().horizontalAdvance(Text(TrafficText::Pause, language_)),
                                     pause_->fontMetrics().horizontalAdvance(Text(TrafficText::Resume, language_))) +
                            24);
    updateStatus();
}

void TrafficMonitorWindow::updateStatus() {
    QString text;
    if (log_->isPaused())
        text = Text(TrafficText::PausedHeld, language_).arg(log_->heldBackCount());
    else if (log_->droppedCount() > 0)
        text = Text(TrafficText::FramesDropped, language_).arg(log_->rowCount()).arg(log_->droppedCount());
    else
        text = Text(TrafficText::Frames, language_).arg(log_->rowCount());
    if (!statusNote_.isEmpty()) text += QStringLiteral("   ") + statusNote_;
    status_->setText(text);
}

void TrafficMonitorWindow::findNext() {
    const QString needle = findField_->text();
    if (needle.isEmpty()) return;
    const QModelIndex current = table_->currentIndex();
    const int row = log_->find(needle, current.isValid() ? current.row() : -1);
    if (row < 0) {
        statusNote_ = Text(TrafficText::NotFound, language_).arg(needle);
    } else {
        statusNote_.clear();
        table_->setCurrentIndex(log_->index(row, 0));
        table_->selectRow(row);
        table_->scrollTo(log_->index(row, 0));
    }
    updateStatus();
}

void TrafficMonitorWindow::copySelection() {
    QList<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) rows << index.row();
    if (rows.isEmpty()) return;
    std::sort(rows.begin(), rows.end());
    QApplication::clipboard()->setText(TrafficAsText(*log_, rows));
}

bool TrafficMonitorWindow::saveTo(const QString& path) {
    const bool csv = path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    const SaveResult result =
        WriteWholeFile(path, csv ? TrafficAsCsv(*log_) : TrafficAsText(*log_).toUtf8());
    statusNote_ = result.ok ? QString() : Text(TrafficText::SaveFailed, language_).arg(path, result.error);
    updateStatus();
    return result.ok;
}

void TrafficMonitorWindow::saveAs() {
    const QString textFilter = Text(TrafficText::FilterText, language_);
    const QString csvFilter = Text(TrafficText::FilterCsv, language_);
    QString chosen;
    QString path = QFileDialog::getSaveFileName(this, Text(TrafficText::SaveTitle, language_), QString(),
                                                textFilter + QStringLiteral(";;") + csvFilter, &chosen);
    if (path.isEmpty()) return;
    const bool csv = chosen == csvFilter;
    const QString suffix = csv ? QStringLiteral(".csv") : QStringLiteral(".txt");
    if (!path.endsWith(suffix, Qt::CaseInsensitive) && QFileInfo(path).suffix().isEmpty()) path += suffix;
    saveTo(path);
}

}  // namespace pb
