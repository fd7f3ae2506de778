#include "link/Frame.h"

#include "link/Checksum.h"
#include "link/ReplyBuffer.h"

namespace pb {
namespace {

void appendHex(QByteArray& frame, quint8 value) {
    char digits[2];
    ByteToHex(value, digits);
    frame.append(digits, 2);
}

const quint8* asBytes(const QByteArray& a) { return reinterpret_cast<const quint8*>(a.constData()); }

}  // namespace

QByteArray BuildCrcFrame(QByteArrayView text) {
    QByteArray frame;
    frame.reserve(text.size() + 7);
    frame.append(char(kSoh)).append(text).append(char(kStx));
    const Crc16 crc = CrcUpdate(asBytes(frame), int(frame.size()));
    appendHex(frame, crc.high);
    appendHex(frame, crc.low);
    frame.append(char(kCr));
    return frame;
}

QByteArray BuildXorFrame(QByteArrayView text) {
    QByteArray frame;
    frame.reserve(text.size() + 4);
    frame.append(char(kSoh)).append(text);
    appendHex(frame, XorChecksum(asBytes(frame), int(frame.size())));
    frame.append(char(kCr));
    return frame;
}

}  // namespace pb
