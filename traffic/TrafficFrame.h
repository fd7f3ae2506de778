#pragma once
// One line of the traffic monitor: a frame the link sent or received, or a failed
// transaction, with what can be read from its bytes (frame kind, checksum verdict,
// device ID, mnemonic, data) and, for a reply or failure, the time since its command.
//
// The decoded fields are kept as ranges into the frame's bytes, not as copies, so a
// ring of 100,000 rows costs little more than the frames themselves.

#include <QByteArray>
#include <QString>

#include "link/Link.h"

namespace pb {

enum class FrameKind : quint8 {
    CrcCommand,  // SOH text STX crc4 CR
    XorCommand,  // SOH text xor2 CR
    CrcReply,    // ETX payload EOT crc4 CR
    XorReply,    // STX or ETX, payload, xor2 CR
    Unframed,    // bytes that fit no frame
    Failure,     // a failed transaction: no bytes, a note
};

enum class ChecksumVerdict : quint8 {
    Good,
    Bad,
    Lowercase,  // the right digits, written in lowercase (the link rejects them)
    None,       // no checksum to judge
};

enum class FailureKind : quint8 { None, NoReply, DeviceGone, LinkClosed, Other };

struct TrafficRow {
    struct Span {
        int at = 0;
        int size = 0;
    };

    int wallMs = 0;  // local time of day the record arrived, ms since midnight
    TrafficRecord::Direction direction = TrafficRecord::Direction::Sent;
    FrameKind kind = FrameKind::Unframed;
    ChecksumVerdict verdict = ChecksumVerdict::None;
    FailureKind failure = FailureKind::None;
    int latencyMs = -1;  // since its command; -1 when there is none
    QByteArray bytes;
    QString note;  // the link's words for a failure
    Span id, mnemonic, data;

    QString timeText() const;   // hh:mm:ss.mmm
    QString bytesText() const;  // control bytes named: <SOH>0000AC<STX>DE5B<CR>
    QString idText() const { return text(id); }
    QString mnemonicText() const { return text(mnemonic); }
    QString dataText() const { return text(data); }
    // The words after "device failed: " in a device-gone note.
    QString failureDetail() const;

private:
    QString text(Span s) const { return QString::fromLatin1(bytes.constData() + s.at, s.size); }
};

// The checksum verdict in fixed English words: "good", "bad", "lowercase", "none"; empty
// for a failure (exports and records keep these).
const char* VerdictWord(const TrafficRow& row);
// A failure's kind: "no-reply", "device-gone", "link-closed", "other"; empty for a frame.
const char* FailureWord(const TrafficRow& row);

// Reads kind, verdict and fields from a frame's bytes (lead byte to CR).
void DecodeFrameBytes(TrafficRow& row);

// Turns the link's records into rows; remembers the last command sent so that its
// reply or failure can say how long it took.
class TrafficDecoder {
public:
    TrafficRow decode(const TrafficRecord& record, int wallMs);
    void reset() { pendingSentMs_ = -1; }

private:
    qint64 pendingSentMs_ = -1;
};

}  // namespace pb
