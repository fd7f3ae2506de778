#include "app/DistributionChart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QLabel>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

using pb::records::DurationBin;

DistributionChart::DistributionChart(const QString& name, const QString& captionName, QWidget* parent)
    : QWidget(parent), chart_(new QChart), view_(new QChartView(chart_, this)), caption_(new QLabel(this)) {
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->legend()->hide();  // one series: the axes say what it is
    chart_->setMargins(QMargins(4, 4, 4, 4));
    view_->setObjectName(name + QStringLiteral("Chart"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setMinimumSize(320, 200);
    caption_->setObjectName(captionName);
    caption_->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(view_, 1);
    layout->addWidget(caption_);
}

QString DistributionChart::number(qint64 ms, int decimals) const {
    if (unitMs_ <= 1) return QString::number(ms);
    return QString::number(double(ms) / double(unitMs_), 'f', decimals);
}

int DistributionChart::binDecimals() const {
    // As many decimals as tell one bar's start from the next.
    const qint64 width = bins_.isEmpty() ? unitMs_ : bins_.first().toMs - bins_.first().fromMs;
    int decimals = 0;
    for (qint64 step = unitMs_; step > width && decimals < 3; step /= 10) ++decimals;
    return decimals;
}

void DistributionChart::setTimes(const pb::records::TimeCounts& counts, const pb::records::Durations& stats,
                                 qint64 unitMs) {
    unitMs_ = qMax<qint64>(1, unitMs);
    stats_ = stats;
    // Bars of a round width from a round start: the axis reads 0, 20, 40 ..., not 0, 9, 18.
    bins_ = pb::records::RoundBins(counts, kBins);
    chart_->removeAllSeries();
    for (QAbstractAxis* axis : chart_->axes()) {
        chart_->removeAxis(axis);
        delete axis;
    }
    bars_ = new QBarSet(QString(), chart_);
    bars_->setColor(QColor(0x3a, 0x6e, 0xb0));
    // Nothing to show: the title and the caption say so, without empty axes.
    if (bins_.isEmpty()) return applyTexts();
    const int decimals = binDecimals();
    QStringList categories;
    qreal highest = 1;
    for (const DurationBin& bin : bins_) {
        // Each bar named by where it begins; the tip gives both ends.
        QString name = number(bin.fromMs, decimals);
        while (categories.contains(name)) name += u' ';
        categories << name;
        *bars_ << qreal(bin.count);
        highest = qMax(highest, qreal(bin.count));
    }
    auto* series = new QBarSeries(chart_);
    series->setBarWidth(0.95);  // a histogram's bars touch
    series->append(bars_);
    chart_->addSeries(series);
    auto* x = new QBarCategoryAxis(chart_);
    x->append(categories);
    auto* y = new QValueAxis(chart_);
    // Up to 10 at least: labels of one digit are narrower than the "..." Qt Charts keeps
    // room for beside the axis's title, and the title is then elided away.
    y->setRange(0, qMax<qreal>(highest, 10));
    y->setLabelFormat(QStringLiteral("%d"));
    y->applyNiceNumbers();
    for (QAbstractAxis* axis : {static_cast<QAbstractAxis*>(x), static_cast<QAbstractAxis*>(y)}) {
        axis->setLabelsFont(font());
        axis->setTitleFont(font());
    }
    chart_->addAxis(x, Qt::AlignBottom);
    chart_->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    connect(bars_, &QBarSet::hovered, this, [this](bool on, int index) {
        if (!on || index < 0 || index >= bins_.size()) return QToolTip::hideText();
        const DurationBin& bin = bins_[index];
        const int decimals = binDecimals();
        QToolTip::showText(QCursor::pos(),
                           tip_.arg(number(bin.fromMs, decimals), number(bin.toMs, decimals)).arg(bin.count));
    });
    applyTexts();
}

void DistributionChart::setTexts(const QString& title, const QString& axisTime, const QString& axisCount,
                                 const QString& caption, const QString& tip, const QString& none) {
    title_ = title;
    axisTime_ = axisTime;
    axisCount_ = axisCount;
    captionText_ = caption;
    tip_ = tip;
    none_ = none;
    applyTexts();
}

void DistributionChart::applyTexts() {
    QFont titleFont = font();
    titleFont.setBold(true);
    chart_->setTitleFont(titleFont);
    chart_->setTitle(title_);
    for (QAbstractAxis* axis : chart_->axes())
        axis->setTitleText(axis->alignment() == Qt::AlignBottom ? axisTime_ : axisCount_);
    caption_->setText(stats_.count == 0 ? none_
                                        : captionText_.arg(number(stats_.p50Ms), number(stats_.p95Ms),
                                                           number(stats_.p99Ms))
                                              .arg(stats_.count));
}
