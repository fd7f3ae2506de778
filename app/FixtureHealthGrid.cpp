#include "app/FixtureHealthGrid.h"

#include <QGridLayout>
#include <QMouseEvent>

#include "i18n/ChartTexts.h"
#include "reports/ChartColours.h"

using pb::ChartText;
using pb::records::SocketHealth;
using pb::reports::RateColour;

namespace {

// Cells per row: a 16-up fixture takes two rows.
constexpr int kColumns = 8;

QString RatePercent(double share) { return QString::number(100.0 * share, 'f', 1); }

}  // namespace

SocketCell::SocketCell(const SocketHealth& health, int language, QWidget* parent)
    : QLabel(parent), health_(health), fill_(RateColour(health.rate())) {
    setObjectName(QStringLiteral("socket:%1/%2").arg(health.fixture, health.socket));
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
    const QString head = health.flagged ? QStringLiteral("! ") + health.socket : health.socket;
    setText(head + u'\n' + QStringLiteral("%1/%2").arg(health.failed).arg(health.tests));
    // A flagged socket: a thick red border and bold text; the others a thin grey one.
    setStyleSheet(QStringLiteral("QLabel { background: %1; color: black; border: %2 solid %3; padding: 2px; %4 }")
                      .arg(fill_.name(), health.flagged ? QStringLiteral("3px") : QStringLiteral("1px"),
                           health.flagged ? QStringLiteral("#d00000") : QStringLiteral("#909090"),
                           health.flagged ? QStringLiteral("font-weight: bold;") : QString()));
    QString tip = pb::Text(ChartText::HealthTip, language)
                      .arg(health.socket, health.fixture)
                      .arg(health.failed)
                      .arg(health.tests)
                      .arg(RatePercent(health.rate()), RatePercent(health.othersRate()));
    if (health.flagged)
        tip += u'\n' + pb::Text(ChartText::HealthFlagged, language).arg(QString::number(health.p, 'g', 2));
    setToolTip(tip);
    const int room = fontMetrics().horizontalAdvance(QStringLiteral("! 0000/0000")) + 16;
    setMinimumSize(qMax(room, fontMetrics().horizontalAdvance(head) + 16), 2 * fontMetrics().height() + 12);
}

void SocketCell::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
    QLabel::mouseReleaseEvent(event);
}

FixtureHealthGrid::FixtureHealthGrid(QWidget* parent) : QWidget(parent), grid_(new QGridLayout(this)) {
    setObjectName(QStringLiteral("fixtureHealth"));
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setSpacing(4);
}

void FixtureHealthGrid::setSockets(const QList<SocketHealth>& sockets, int language) {
    qDeleteAll(shown_);
    shown_.clear();
    cells_.clear();
    int row = -1, column = kColumns;
    QString fixture;
    bool first = true;
    for (const SocketHealth& s : sockets) {
        // Each fixture starts a row of its own, named at its left.
        if (first || s.fixture != fixture) {
            first = false;
            fixture = s.fixture;
            ++row;
            column = 0;
            auto* name = new QLabel(fixture, this);
            name->setObjectName(QStringLiteral("fixture:%1").arg(fixture));
            grid_->addWidget(name, row, 0, Qt::AlignLeft | Qt::AlignTop);
            shown_ << name;
        } else if (column == kColumns) {
            ++row;
            column = 0;
        }
        auto* cell = new SocketCell(s, language, this);
        grid_->addWidget(cell, row, 1 + column++);
        connect(cell, &SocketCell::clicked, this, [this, cell] {
            emit socketChosen(cell->health().fixture, cell->health().socket);
        });
        shown_ << cell;
        cells_ << cell;
    }
    grid_->setColumnStretch(kColumns + 1, 1);
    grid_->setRowStretch(row + 1, 1);
}
