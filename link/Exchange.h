#pragma once
// One transaction as a value: the frame sent, the reply frame that came back and, when
// it failed, why. Callers read the reply they got, not state kept by the link.

#include <QByteArray>
#include <QString>
#include <optional>

#include "link/LinkError.h"
#include "link/PortTuning.h"
#include "link/OpenFailure.h"

namespace pb {

// A stretch of a reply, as reply layouts are written: 1-based from the lead byte.
struct ReplyField {
    int position = 1;
    int count = 0;
};

// The payload of a reply that starts with the controller's ID and a two-letter mnemonic.
struct AddressedReply {
    QByteArray id;        // three or four digits
    QByteArray mnemonic;  // two letters
    QByteArray data;      // up to the end of the payload
};

// A reply frame from its lead byte to its CR.
class ReplyFrame {
public:
    enum class Kind { Crc, Xor };
    // The payload ends four checksum digits and the 0x04 before the CR in a CRC reply,
    // two digits before it in an XOR reply.
    static constexpr int kCrcTail = 6;
    static constexpr int kXorTail = 3;

    ReplyFrame() = default;
    // text: the reply as assembled (lead to CR); length: the bytes the assembly counted
    // (they differ only for a reply holding a zero byte, which ends the text).
    ReplyFrame(Kind kind, QByteArray text, int length)
        : kind_(kind), text_(std::move(text)), length_(length) {}

    Kind kind() const { return kind_; }
    const QByteArray& bytes() const { return text_; }
    int length() const { return length_; }
    bool isEmpty() const { return length_ == 0; }

    // count characters from the 1-based position; empty where the reply is shorter.
    QByteArray at(int position, int count) const;
    QByteArray at(ReplyField field) const { return at(field.position, field.count); }
    // The characters between the lead byte and the checksum tail.
    QByteArray payload() const;
    // Splits "ID + mnemonic + data": the ID is four digits, or three when the fourth
    // payload character is not a digit (the older controller). None when the payload
    // does not start so.
    std::optional<AddressedReply> split() const;
    // The same with the ID length known (the ID the command was addressed with).
    std::optional<AddressedReply> split(int idLength) const;

private:
    Kind kind_ = Kind::Crc;
    QByteArray text_;
    int length_ = 0;
};

// What one transaction did. True when a reply came and passed its checksum.
struct Exchange {
    LinkError error = LinkError::None;
    QString detail;         // what went wrong, in words; empty on success
    QByteArray command;     // the frame sent; empty when nothing was sent
    ReplyFrame reply;       // the reply assembled; kept when its checksum failed
    qint64 replyMs = -1;    // from the end of the send to the reply's CR; -1 without one

    explicit operator bool() const { return error == LinkError::None; }
    bool ok() const { return error == LinkError::None; }
};

// What opening the link did. True when the link is open.
struct OpenResult {
    OpenError error = OpenError::None;
    QString detail;
    OpenFailure failure;  // the facts behind the error: port, group, holder, address
    LowLatency lowLatency;  // what a USB-serial adapter was asked and got; nothing asked else
    bool rs485 = false;     // the port is in the kernel's RS-485 mode

    explicit operator bool() const { return error == OpenError::None; }
    bool ok() const { return error == OpenError::None; }
};

}  // namespace pb
