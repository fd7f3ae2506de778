#include "records/store/CappedTraffic.h"

#include <QDataStream>
#include <QtEndian>
#include <QIODevice>

namespace pb::records {
namespace {
constexpr quint32 kMagic = 0x50425431;  // "PBT1"
}

qint64 CappedTraffic::Cost(const TrafficFrame& frame) {
    return 8 + 1 + 4 + frame.bytes.size() + 4 + 2 * frame.verdict.size() + 4 +
           2 * frame.note.size();
}

void CappedTraffic::add(const TrafficFrame& frame) {
    const qint64 cost = Cost(frame);
    if (tail_.empty() && dropped_ == 0 && headBytes_ + cost <= cap_ / 2) {
        head_.append(frame);
        headBytes_ += cost;
        return;
    }
    tail_.push_back(frame);
    tailBytes_ += cost;
    while (tailBytes_ > cap_ / 2 && !tail_.empty()) {
        tailBytes_ -= Cost(tail_.front());
        tail_.pop_front();
        ++dropped_;
    }
}

void CappedTraffic::clear() {
    head_.clear();
    tail_.clear();
    headBytes_ = tailBytes_ = dropped_ = 0;
}

KeptTraffic CappedTraffic::kept() const {
    KeptTraffic out;
    out.frames = head_;
    out.frames.reserve(head_.size() + qsizetype(tail_.size()));
    for (const TrafficFrame& frame : tail_) out.frames.append(frame);
    out.dropped = dropped_;
    out.droppedAfter = dropped_ > 0 ? head_.size() - 1 : -1;
    return out;
}

QByteArray EncodeTraffic(const KeptTraffic& traffic) {
    QByteArray raw;
    QDataStream out(&raw, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << traffic.dropped << traffic.droppedAfter << quint32(traffic.frames.size());
    for (const TrafficFrame& f : traffic.frames)
        out << f.ms << quint8(f.direction) << f.bytes << f.verdict << f.note;
    return qCompress(raw);
}

std::optional<KeptTraffic> DecodeTraffic(const QByteArray& blob) {
    // qUncompress allocates the size the first four bytes claim before it inflates: a
    // damaged blob of a few bytes could ask for 4 GB. zlib never inflates more than
    // 1032-fold, so a larger claim is damage.
    if (blob.size() < 4) return std::nullopt;
    const quint32 claimed = qFromBigEndian<quint32>(blob.constData());
    if (claimed > quint64(blob.size() - 4) * 1032) return std::nullopt;
    const QByteArray raw = qUncompress(blob);
    QDataStream in(raw);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0, count = 0;
    KeptTraffic traffic;
    in >> magic >> traffic.dropped >> traffic.droppedAfter >> count;
    if (magic != kMagic || in.status() != QDataStream::Ok) return std::nullopt;
    for (quint32 i = 0; i < count; ++i) {
        TrafficFrame f;
        quint8 direction = 0;
        in >> f.ms >> direction >> f.bytes >> f.verdict >> f.note;
        if (in.status() != QDataStream::Ok || direction > quint8(Direction::Failed))
            return std::nullopt;
        f.direction = Direction(direction);
        traffic.frames.append(f);
    }
    return traffic;
}

}  // namespace pb::records
