#pragma once
// The 1500-byte reply buffer and the byte-by-byte reply assembly of a transaction.

#include <QByteArray>
#include <array>

namespace pb {

constexpr int kFrameBufferSize = 1500;
constexpr quint8 kSoh = 0x01;  // start of every command frame
constexpr quint8 kStx = 0x02;  // end of text in a CRC command; lead of an XOR reply
constexpr quint8 kEtx = 0x03;  // lead of a CRC reply and of an ETX XOR reply
constexpr quint8 kEot = 0x04;  // end of text in a CRC reply
constexpr quint8 kCr = 0x0D;   // last byte of every frame

struct ReplyBuffer {
    std::array<quint8, kFrameBufferSize> bytes{};
    int length = 0;  // bytes stored, lead byte and CR included
};

// Collects reply bytes as they arrive. A lead byte restarts the reply at position 0;
// a CR completes it only when position 0 holds the lead byte; the position wraps
// at the end of the buffer. Bytes fed after completion are ignored.
class ReplyAssembler {
public:
    void reset(quint8 leadByte);
    // Returns true when this byte completed the reply.
    bool feed(quint8 byte);
    bool complete() const { return complete_; }
    const ReplyBuffer& buffer() const { return buffer_; }
    int length() const { return buffer_.length; }
    // Bytes fed that the completed reply does not hold: what came before its lead byte
    // (an echo of the command, noise) or a start that another lead byte restarted.
    int skipped() const { return complete_ ? fed_ - buffer_.length : 0; }
    // The buffer up to its first zero byte, as the last reply text.
    QByteArray text() const;

private:
    ReplyBuffer buffer_;
    quint8 lead_ = kEtx;
    bool complete_ = false;
    int fed_ = 0;
};

}  // namespace pb
