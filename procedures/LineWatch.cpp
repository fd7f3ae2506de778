#include "procedures/LineWatch.h"

namespace pb {

QString CommandOfFrame(const QByteArray& frame) {
    QByteArray text = frame.mid(1);
    const qsizetype stx = text.indexOf('\x02');
    text = stx >= 0 ? text.left(stx) : text.chopped(qMin<qsizetype>(3, text.size()));
    qsizetype digits = 0;
    while (digits < 4 && digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    const QByteArray rest = text.mid(digits);
    if (rest.size() <= 4) return QString::fromLatin1(rest);
    qsizetype letters = 0;
    while (letters < 2 && letters < rest.size() && QChar::isLetter(uchar(rest[letters]))) ++letters;
    return QString::fromLatin1(rest.left(qMax<qsizetype>(letters, 1)));
}

LineWatch::LineWatch(Link& link) {
    connection_ = QObject::connect(&link, &Link::traffic, [this](const TrafficRecord& r) {
        switch (r.direction) {
            case TrafficRecord::Direction::Sent:
                lastCommand_ = CommandOfFrame(r.bytes);
                break;
            case TrafficRecord::Direction::Received:
                if (!r.checksumOk) {
                    lastFailure_ = Cause::of(CauseCode::BadChecksum, {lastCommand_});
                    break;
                }
                ++answered_;
                if (r.replyMs >= 0) {
                    ++replyCounts_[r.replyMs];
                    ++replies_;
                }
                break;
            case TrafficRecord::Direction::Failed:
                if (r.error == LinkError::DeviceGone && !lost_) {
                    lost_ = true;
                    lostAt_ = lastCommand_;
                } else if (r.error == LinkError::NoReply) {
                    lastFailure_ = Cause::of(CauseCode::NoReply, {lastCommand_});
                }
                break;
        }
    });
}

LineWatch::~LineWatch() { QObject::disconnect(connection_); }

qint64 LineWatch::medianReplyMs() const {
    if (replies_ == 0) return -1;
    const qint64 rank = (replies_ + 1) / 2;  // nearest rank of the 50th percentile
    qint64 seen = 0;
    for (auto it = replyCounts_.cbegin(); it != replyCounts_.cend(); ++it)
        if ((seen += it.value()) >= rank) return it.key();
    return replyCounts_.lastKey();
}

qint64 LineWatch::worstReplyMs() const { return replies_ == 0 ? -1 : replyCounts_.lastKey(); }

Cause LineWatch::lineLost() const { return Cause::of(CauseCode::LineLost, {answered_, lostAt_}); }

}  // namespace pb
