#pragma once
// Frames as the controller sees them: command frames arriving from the tool
// (CRC: SOH text STX crc4 CR; XOR: SOH text xor2 CR) and the replies it sends
// (CRC: 0x03 payload 0x04 crc4 CR; XOR: lead payload xor2 CR).

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace sim {

constexpr char kSoh = 0x01;
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kEot = 0x04;
constexpr char kCr = 0x0D;

// The longest frame the controller collects; anything longer is dropped.
constexpr int kMaxCommandFrame = 1600;

struct CommandFrame {
    enum class Kind { Crc, Xor };
    Kind kind = Kind::Crc;
    QByteArray raw;   // SOH to CR
    QByteArray text;  // between SOH and the checksum (and STX)
    bool checksumOk = false;
};

// Cuts the byte stream into command frames: bytes before SOH are noise, a new
// SOH restarts the frame, CR ends it. A frame whose sixth byte from the end is STX
// is a CRC frame, any other an XOR frame.
class CommandFrameReader {
public:
    QList<CommandFrame> feed(QByteArrayView bytes);
    void reset();

private:
    QByteArray partial_;
    bool inFrame_ = false;
};

CommandFrame parseCommandFrame(const QByteArray& raw);

// What a reply's checksum should look like; faults change it.
struct ChecksumStyle {
    bool wrong = false;      // off by one
    bool lowercase = false;  // a-f instead of A-F
};

QByteArray buildCrcReply(QByteArrayView payload, ChecksumStyle style = {});
QByteArray buildXorReply(char lead, QByteArrayView payload, ChecksumStyle style = {});

// Command frames as the tool builds them (for tests and self-checks).
QByteArray buildCrcCommand(QByteArrayView text);
QByteArray buildXorCommand(QByteArrayView text);

}  // namespace sim
