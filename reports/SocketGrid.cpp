#include "reports/SocketGrid.h"

#include "reports/ChartColours.h"

namespace pb::reports {
namespace {

constexpr double kCellWidth = 80, kCellHeight = 48, kGap = 6, kNameHeight = 22;

// The sockets of each fixture in turn, in the order the figures give them.
QList<QList<records::SocketHealth>> ByFixture(const QList<records::SocketHealth>& sockets) {
    QList<QList<records::SocketHealth>> fixtures;
    for (const records::SocketHealth& s : sockets) {
        if (fixtures.isEmpty() || fixtures.last().first().fixture != s.fixture) fixtures.append(QList<records::SocketHealth>());
        fixtures.last().append(s);
    }
    return fixtures;
}

}  // namespace

double SocketGridWidth() { return kGridColumns * (kCellWidth + kGap); }

double SocketGridHeight(const QList<records::SocketHealth>& sockets) {
    double height = 0;
    for (const auto& fixture : ByFixture(sockets)) {
        const qsizetype rows = (fixture.size() + kGridColumns - 1) / kGridColumns;
        height += kNameHeight + double(rows) * (kCellHeight + kGap) + kGap;
    }
    return height;
}

void DrawSocketGrid(QPainter& p, const QPointF& topLeft, const QList<records::SocketHealth>& sockets) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QFont font;
    font.setPixelSize(12);
    double y = topLeft.y();
    for (const auto& fixture : ByFixture(sockets)) {
        font.setBold(true);
        p.setFont(font);
        p.setPen(kInkColour);
        p.drawText(QRectF(topLeft.x(), y, SocketGridWidth(), kNameHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   fixture.first().fixture);
        y += kNameHeight;
        for (qsizetype i = 0; i < fixture.size(); ++i) {
            const records::SocketHealth& s = fixture[i];
            const QRectF cell(topLeft.x() + double(i % kGridColumns) * (kCellWidth + kGap),
                              y + double(i / kGridColumns) * (kCellHeight + kGap), kCellWidth, kCellHeight);
            p.setBrush(RateColour(s.rate()));
            p.setPen(s.flagged ? QPen(kFlaggedColour, 3) : QPen(QColor(0x90, 0x90, 0x90), 1));
            p.drawRect(cell);
            font.setBold(s.flagged);
            p.setFont(font);
            p.setPen(kInkColour);
            const QString head = s.flagged ? QStringLiteral("! ") + s.socket : s.socket;
            p.drawText(cell, Qt::AlignCenter,
                       head + u'\n' + QStringLiteral("%1/%2").arg(s.failed).arg(s.tests));
        }
        y += double((fixture.size() + kGridColumns - 1) / kGridColumns) * (kCellHeight + kGap) + kGap;
    }
    p.restore();
}

}  // namespace pb::reports
