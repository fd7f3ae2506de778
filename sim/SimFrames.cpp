#include "sim/SimFrames.h"

#include "sim/SimChecksum.h"

namespace sim {

QList<CommandFrame> CommandFrameReader::feed(QByteArrayView bytes) {
    QList<CommandFrame> frames;
    for (char b : bytes) {
        if (b == kSoh) {
            partial_.clear();
            inFrame_ = true;
        }
        if (!inFrame_) continue;  // noise between frames
        partial_.append(b);
        if (b == kCr) {
            frames.append(parseCommandFrame(partial_));
            partial_.clear();
            inFrame_ = false;
        } else if (partial_.size() > kMaxCommandFrame) {
            partial_.clear();
            inFrame_ = false;
        }
    }
    return frames;
}

void CommandFrameReader::reset() {
    partial_.clear();
    inFrame_ = false;
}

CommandFrame parseCommandFrame(const QByteArray& raw) {
    CommandFrame f;
    f.raw = raw;
    const qsizetype n = raw.size();
    if (n >= 7 && raw[n - 6] == kStx) {
        f.kind = CommandFrame::Kind::Crc;
        f.text = raw.mid(1, n - 7);
        f.checksumOk = raw.mid(n - 5, 4) == hex4(crc16Arc(QByteArrayView(raw).first(n - 5)));
        return f;
    }
    f.kind = CommandFrame::Kind::Xor;
    if (n < 4) return f;
    f.text = raw.mid(1, n - 4);
    f.checksumOk = raw.mid(n - 3, 2) == hex2(xor8(QByteArrayView(raw).first(n - 3)));
    return f;
}

QByteArray buildCrcReply(QByteArrayView payload, ChecksumStyle style) {
    QByteArray r;
    r.reserve(payload.size() + 7);
    r.append(kEtx).append(payload).append(kEot);
    const quint16 crc = crc16Arc(r);
    r.append(hex4(style.wrong ? quint16(crc + 1) : crc, style.lowercase)).append(kCr);
    return r;
}

QByteArray buildXorReply(char lead, QByteArrayView payload, ChecksumStyle style) {
    QByteArray r;
    r.reserve(payload.size() + 4);
    r.append(lead).append(payload);
    const quint8 x = xor8(r);
    r.append(hex2(style.wrong ? quint8(x + 1) : x, style.lowercase)).append(kCr);
    return r;
}

QByteArray buildCrcCommand(QByteArrayView text) {
    QByteArray f;
    f.append(kSoh).append(text).append(kStx);
    f.append(hex4(crc16Arc(f))).append(kCr);
    return f;
}

QByteArray buildXorCommand(QByteArrayView text) {
    QByteArray f;
    f.append(kSoh).append(text);
    f.append(hex2(xor8(f))).append(kCr);
    return f;
}

}  // namespace sim
