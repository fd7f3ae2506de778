// The traffic monitor's decoder with arbitrary records, as a controller that sends noise
// or a link that cuts a frame short hands them over: frame kind, checksum verdict, the
// fields as ranges into the bytes, the latency and every text of a row.

#include <cstring>

#include "link/Checksum.h"
#include "link/ReplyBuffer.h"
#include "tests/fuzz/FuzzCheck.h"
#include "traffic/TrafficFrame.h"

namespace {

using namespace pb;
using Direction = TrafficRecord::Direction;

// CRC-16/ARC bit by bit, the reference the link's table must agree with.
uint16_t BitwiseCrc(const QByteArray& b, int count) {
    uint16_t crc = 0;
    for (int i = 0; i < count; ++i) {
        crc ^= uint8_t(b[i]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? uint16_t(crc >> 1 ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

uint8_t Xor(const QByteArray& b, int count) {
    uint8_t x = 0;
    for (int i = 0; i < count; ++i) x ^= uint8_t(b[i]);
    return x;
}

// The verdict the digits at `at` deserve against `value` written as `digits` hex digits.
ChecksumVerdict Deserved(const QByteArray& b, int at, unsigned value, int digits) {
    QByteArray want = QByteArray::number(value, 16).toUpper().rightJustified(digits, '0');
    const QByteArray got = b.mid(at, digits);
    if (got == want) return ChecksumVerdict::Good;
    return got.toUpper() == want ? ChecksumVerdict::Lowercase : ChecksumVerdict::Bad;
}

bool InBytes(const TrafficRow::Span& s, const QByteArray& b) {
    return s.at >= 0 && s.size >= 0 && s.at + s.size <= b.size();
}

bool AllOf(const QString& text, bool (*ok)(QChar)) {
    for (QChar c : text)
        if (!ok(c)) return false;
    return true;
}

// Kind, verdict and fields as the frame layouts say.
void CheckFrame(const TrafficRow& row) {
    const QByteArray& b = row.bytes;
    const int n = int(b.size());
    const bool framed = n > 0 && uint8_t(b.back()) == kCr;
    const uint8_t lead = n > 0 ? uint8_t(b.front()) : 0;
    FrameKind kind = FrameKind::Unframed;
    ChecksumVerdict verdict = ChecksumVerdict::None;
    int fieldsEnd = 0;
    if (framed && row.direction == Direction::Sent && lead == kSoh) {
        if (n >= 7 && uint8_t(b[n - 6]) == kStx) {
            kind = FrameKind::CrcCommand;
            verdict = Deserved(b, n - 5, BitwiseCrc(b, n - 5), 4);
            fieldsEnd = n - 6;
        } else if (n >= 4) {
            kind = FrameKind::XorCommand;
            verdict = Deserved(b, n - 3, Xor(b, n - 3), 2);
            fieldsEnd = n - 3;
        }
    } else if (framed && row.direction == Direction::Received) {
        const int eot = lead == kEtx ? int(b.indexOf(char(kEot))) : -1;
        if (eot > 0) {
            kind = FrameKind::CrcReply;
            if (eot + 5 < n) verdict = Deserved(b, eot + 1, BitwiseCrc(b, eot + 1), 4);
            fieldsEnd = eot;
        } else if ((lead == kStx || lead == kEtx) && n >= 4) {
            kind = FrameKind::XorReply;
            verdict = Deserved(b, n - 3, Xor(b, n - 3), 2);
            fieldsEnd = n - 3;
        }
    }
    FUZZ_REQUIRE(row.kind == kind);
    FUZZ_REQUIRE(row.verdict == verdict);
    FUZZ_REQUIRE(InBytes(row.id, b) && InBytes(row.mnemonic, b) && InBytes(row.data, b));
    if (kind == FrameKind::Unframed) {
        FUZZ_REQUIRE(row.id.size == 0 && row.mnemonic.size == 0 && row.data.size == 0);
        return;
    }
    // ID, mnemonic and data follow each other from the byte after the lead to the
    // checksum (or the EOT).
    FUZZ_REQUIRE(row.id.at == 1 && row.mnemonic.at == row.id.at + row.id.size);
    FUZZ_REQUIRE(row.data.at == row.mnemonic.at + row.mnemonic.size && row.data.at + row.data.size == fieldsEnd);
    FUZZ_REQUIRE(row.id.size == 0 || row.id.size == 3 || row.id.size == 4);
    FUZZ_REQUIRE(AllOf(row.idText(), [](QChar c) { return c >= u'0' && c <= u'9'; }));
    const int letters = kind == FrameKind::CrcCommand || kind == FrameKind::CrcReply ? 2 : 1;
    FUZZ_REQUIRE(row.mnemonic.size <= letters);
    FUZZ_REQUIRE(AllOf(row.mnemonicText(), [](QChar c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    }));
}

void CheckTexts(const TrafficRow& row) {
    // Every byte outside printable ASCII is named, never passed on to a view or an export raw.
    const QString shown = row.bytesText();
    for (QChar c : shown) FUZZ_REQUIRE(c.unicode() >= 0x20 && c.unicode() < 0x7F);
    if (!row.bytes.isEmpty()) FUZZ_REQUIRE(!shown.isEmpty());
    const QString time = row.timeText();
    FUZZ_REQUIRE(time.size() == 12);
    const char* verdict = VerdictWord(row);
    const char* failure = FailureWord(row);
    FUZZ_REQUIRE(verdict && failure);
    if (row.kind == FrameKind::Failure) {
        FUZZ_REQUIRE(*verdict == 0);
        FUZZ_REQUIRE(!std::strcmp(failure, "no-reply") || !std::strcmp(failure, "device-gone") ||
                     !std::strcmp(failure, "link-closed") || !std::strcmp(failure, "other"));
    } else {
        FUZZ_REQUIRE(*failure == 0);
        FUZZ_REQUIRE(!std::strcmp(verdict, "good") || !std::strcmp(verdict, "bad") ||
                     !std::strcmp(verdict, "lowercase") || !std::strcmp(verdict, "none"));
    }
    const QString detail = row.failureDetail();
    FUZZ_REQUIRE(detail.size() <= row.note.size());
}

}  // namespace

// Input: records one after another, each a direction byte, a 16-bit step of the link's
// clock, a length byte and that many bytes (a failure's note for a failed transaction).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pbfuzz::InputReader in(data, size);
    TrafficDecoder decoder;
    qint64 clock = 0;
    qint64 lastSentMs = -1;
    size_t left = size;
    while (left > 0) {
        TrafficRecord record;
        const uint8_t head = in.byte();
        record.direction = Direction(head % 3);
        clock += in.word();
        record.msSinceOpen = clock;
        size_t got = 0;
        const uint8_t* bytes = in.take(in.byte(), got);
        const QByteArray chunk(reinterpret_cast<const char*>(bytes), qsizetype(got));
        if (record.direction == Direction::Failed) {
            record.note = (head & 0x80) ? QString::fromLatin1(chunk) : QString::fromUtf8(chunk);
        } else {
            record.bytes = chunk;
        }
        const int wallMs = int(clock % (24 * 3600 * 1000));
        const TrafficRow row = decoder.decode(record, wallMs);

        FUZZ_REQUIRE(row.bytes == record.bytes && row.direction == record.direction && row.wallMs == wallMs);
        // A reply or failure says how long after its command it came; a command never.
        if (record.direction == Direction::Sent || lastSentMs < 0)
            FUZZ_REQUIRE(row.latencyMs == -1);
        else
            FUZZ_REQUIRE(row.latencyMs == int(clock - lastSentMs));
        lastSentMs = record.direction == Direction::Sent ? clock : -1;

        if (record.direction == Direction::Failed) {
            FUZZ_REQUIRE(row.kind == FrameKind::Failure && row.note == record.note);
        } else {
            CheckFrame(row);
            // The same bytes decode alike outside the stream.
            TrafficRow again;
            again.direction = row.direction;
            again.bytes = row.bytes;
            DecodeFrameBytes(again);
            FUZZ_REQUIRE(again.kind == row.kind && again.verdict == row.verdict);
        }
        CheckTexts(row);
        const size_t used = 4 + got;
        left = used >= left ? 0 : left - used;
    }
    return 0;
}
