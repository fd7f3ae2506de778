#include "traffic/TrafficFrame.h"

#include <QTime>

#include "link/Checksum.h"
#include "link/FrameText.h"
#include "link/ReplyBuffer.h"

namespace pb {
namespace {

const quint8* at(const QByteArray& bytes, int i) {
    return reinterpret_cast<const quint8*>(bytes.constData()) + i;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// Compares the digits found at `digitsAt` with the expected checksum bytes.
ChecksumVerdict judge(const QByteArray& bytes, int digitsAt, const quint8* expected, int count) {
    bool exact = true;
    bool caseless = true;
    for (int i = 0; i < count; ++i) {
        char want[2];
        ByteToHex(expected[i], want);
        for (int j = 0; j < 2; ++j) {
            const char got = bytes.at(digitsAt + 2 * i + j);
            exact = exact && got == want[j];
            caseless = caseless && upper(got) == want[j];
        }
    }
    if (exact) return ChecksumVerdict::Good;
    return caseless ? ChecksumVerdict::Lowercase : ChecksumVerdict::Bad;
}

// Splits a command text or reply payload into ID, mnemonic and data. The ID is the
// leading digits (four, or three on the older device; loader frames of protocol C
// have none); the mnemonic is two letters in CRC frames, one in the loaders' XOR frames.
void splitFields(TrafficRow& row, int begin, int end, int mnemonicLetters) {
    const QByteArray& b = row.bytes;
    int digits = 0;
    while (begin + digits < end && digits < 4 && isDigit(b.at(begin + digits))) ++digits;
    const int idSize = digits >= 3 ? digits : 0;
    row.id = {begin, idSize};
    int p = begin + idSize;
    int letters = 0;
    while (p + letters < end && letters < mnemonicLetters && isLetter(b.at(p + letters))) ++letters;
    row.mnemonic = {p, letters};
    p += letters;
    row.data = {p, end - p};
}

void decodeCommand(TrafficRow& row) {
    const QByteArray& b = row.bytes;
    const int n = int(b.size());
    if (n >= 7 && quint8(b.at(n - 6)) == kStx) {
        const Crc16 crc = CrcUpdate(at(b, 0), n - 5);
        const quint8 expected[2] = {crc.high, crc.low};
        row.kind = FrameKind::CrcCommand;
        row.verdict = judge(b, n - 5, expected, 2);
        splitFields(row, 1, n - 6, 2);
    } else if (n >= 4) {
        const quint8 expected = XorChecksum(at(b, 0), n - 3);
        row.kind = FrameKind::XorCommand;
        row.verdict = judge(b, n - 3, &expected, 1);
        splitFields(row, 1, n - 3, 1);
    }
}

void decodeReply(TrafficRow& row) {
    const QByteArray& b = row.bytes;
    const int n = int(b.size());
    const quint8 lead = quint8(b.at(0));
    const int eot = lead == kEtx ? int(b.indexOf(char(kEot))) : -1;
    if (eot > 0) {
        row.kind = FrameKind::CrcReply;
        splitFields(row, 1, eot, 2);
        if (eot + 5 < n) {  // room for four digits before the CR
            const Crc16 crc = CrcUpdate(at(b, 0), eot + 1);
            const quint8 expected[2] = {crc.high, crc.low};
            row.verdict = judge(b, eot + 1, expected, 2);
        }
    } else if ((lead == kStx || lead == kEtx) && n >= 4) {
        const quint8 expected = XorChecksum(at(b, 0), n - 3);
        row.kind = FrameKind::XorReply;
        row.verdict = judge(b, n - 3, &expected, 1);
        splitFields(row, 1, n - 3, 1);
    }
}

FailureKind classify(const QString& note) {
    if (note.startsWith(QLatin1String("no complete reply"))) return FailureKind::NoReply;
    if (note.startsWith(QLatin1String("device failed"))) return FailureKind::DeviceGone;
    if (note.startsWith(QLatin1String("link closed"))) return FailureKind::LinkClosed;
    return FailureKind::Other;
}

}  // namespace

QString TrafficRow::timeText() const {
    return QTime::fromMSecsSinceStartOfDay(wallMs).toString(QStringLiteral("hh:mm:ss.zzz"));
}

QString TrafficRow::bytesText() const { return FrameText(bytes); }

QString TrafficRow::failureDetail() const {
    const int colon = int(note.indexOf(QLatin1String(": ")));
    return colon < 0 ? QString() : note.mid(colon + 2);
}

void DecodeFrameBytes(TrafficRow& row) {
    row.kind = FrameKind::Unframed;
    row.verdict = ChecksumVerdict::None;
    row.id = row.mnemonic = row.data = {};
    const QByteArray& b = row.bytes;
    if (b.isEmpty() || quint8(b.back()) != kCr) return;
    if (row.direction == TrafficRecord::Direction::Sent) {
        if (quint8(b.front()) == kSoh) decodeCommand(row);
    } else if (row.direction == TrafficRecord::Direction::Received) {
        decodeReply(row);
    }
}

TrafficRow TrafficDecoder::decode(const TrafficRecord& record, int wallMs) {
    TrafficRow row;
    row.wallMs = wallMs;
    row.direction = record.direction;
    row.bytes = record.bytes;
    if (record.direction == TrafficRecord::Direction::Sent) {
        pendingSentMs_ = record.msSinceOpen;
    } else {
        if (pendingSentMs_ >= 0 && record.msSinceOpen >= pendingSentMs_)
            row.latencyMs = int(record.msSinceOpen - pendingSentMs_);
        pendingSentMs_ = -1;
    }
    if (record.direction == TrafficRecord::Direction::Failed) {
        row.kind = FrameKind::Failure;
        row.note = record.note;
        row.failure = classify(record.note);
    } else {
        DecodeFrameBytes(row);
    }
    return row;
}

const char* VerdictWord(const TrafficRow& row) {
    if (row.kind == FrameKind::Failure) return "";
    switch (row.verdict) {
        case ChecksumVerdict::Good:
            return "good";
        case ChecksumVerdict::Bad:
            return "bad";
        case ChecksumVerdict::Lowercase:
            return "lowercase";
        case ChecksumVerdict::None:
            break;
    }
    return "none";
}

const char* FailureWord(const TrafficRow& row) {
    if (row.kind != FrameKind::Failure) return "";
    switch (row.failure) {
        case FailureKind::NoReply:
            return "no-reply";
        case FailureKind::DeviceGone:
            return "device-gone";
        case FailureKind::LinkClosed:
            return "link-closed";
        case FailureKind::None:
        case FailureKind::Other:
            break;
    }
    return "other";
}

}  // namespace pb
