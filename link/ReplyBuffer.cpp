#include "link/ReplyBuffer.h"

#include <algorithm>

namespace pb {

void ReplyAssembler::reset(quint8 leadByte) {
    buffer_.bytes.fill(0);
    buffer_.length = 0;
    lead_ = leadByte;
    complete_ = false;
    fed_ = 0;
}

bool ReplyAssembler::feed(quint8 byte) {
    if (complete_) return false;
    ++fed_;
    if (byte == lead_) buffer_.length = 0;
    buffer_.bytes[buffer_.length] = byte;
    ++buffer_.length;
    if (buffer_.length >= kFrameBufferSize) buffer_.length = 0;
    if (byte == kCr && buffer_.bytes[0] == lead_) {
        buffer_.bytes[buffer_.length] = 0;
        complete_ = true;
    }
    return complete_;
}

QByteArray ReplyAssembler::text() const {
    const auto* begin = buffer_.bytes.data();
    const auto* end = std::find(begin, begin + kFrameBufferSize, quint8(0));
    return QByteArray(reinterpret_cast<const char*>(begin), int(end - begin));
}

}  // namespace pb
