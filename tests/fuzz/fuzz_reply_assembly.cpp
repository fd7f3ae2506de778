// Reply assembly and both reply checks fed arbitrary bytes, as a flaky adapter or a
// confused controller would send them. Checked against independent models: a bitwise
// CRC-16/ARC (no table) and a re-derivation of where the assembler must stand.

#include <algorithm>
#include <cstring>
#include <vector>

#include "link/Checksum.h"
#include "link/Frame.h"
#include "link/ReplyBuffer.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using pb::kCr;
using pb::kEot;
using pb::kFrameBufferSize;
using pb::ReplyAssembler;
using pb::ReplyBuffer;

// CRC-16/ARC bit by bit: the reference the table-driven CRC must agree with.
uint16_t BitwiseCrc(const uint8_t* bytes, int count) {
    uint16_t crc = 0;
    for (int i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? uint16_t(crc >> 1 ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

char UpperHexDigit(int nibble) { return "0123456789ABCDEF"[nibble & 0xF]; }

// What the CRC check must say: the first 0x04 within the buffer, four uppercase digits
// after it inside the buffer, equal to the CRC over position 0 up to that 0x04.
bool CrcReplyShouldPass(const ReplyBuffer& r) {
    const auto* b = r.bytes.data();
    const auto* eot = std::find(b, b + kFrameBufferSize, kEot);
    const int k = int(eot - b);
    if (k + 4 >= kFrameBufferSize) return false;
    const uint16_t crc = BitwiseCrc(b, k + 1);
    for (int i = 0; i < 4; ++i)
        if (b[k + 1 + i] != uint8_t(UpperHexDigit(crc >> (12 - 4 * i)))) return false;
    return true;
}

// What the XOR check must say: length L in 3..1500, the digits at L-3 and L-2 equal to
// the XOR of positions 0 to L-4.
bool XorReplyShouldPass(const ReplyBuffer& r) {
    const int length = r.length;
    if (length < 3 || length > kFrameBufferSize) return false;
    uint8_t x = 0;
    for (int i = 0; i < length - 3; ++i) x ^= r.bytes[i];
    return r.bytes[length - 3] == uint8_t(UpperHexDigit(x >> 4)) &&
           r.bytes[length - 2] == uint8_t(UpperHexDigit(x));
}

void CheckBothChecks(const ReplyBuffer& r) {
    FUZZ_REQUIRE(pb::CheckCrcReply(r) == CrcReplyShouldPass(r));
    FUZZ_REQUIRE(pb::CheckXorReply(r) == XorReplyShouldPass(r));
}

// Feeds the stream byte by byte and checks every step against the model: the length is
// the count of bytes since the last lead byte (or since the start) modulo the buffer, and
// the reply completes exactly at the first CR while position 0 still holds the lead byte.
void AssembleStream(uint8_t lead, const uint8_t* stream, size_t size) {
    ReplyAssembler a;
    a.reset(lead);
    long sinceLead = 0;  // bytes since (and including) the last lead byte, or since start
    bool leadSeen = false;
    bool completed = false;
    ReplyBuffer atCompletion;
    QByteArray textAtCompletion;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = stream[i];
        const bool done = a.feed(b);
        FUZZ_REQUIRE(a.length() >= 0 && a.length() < kFrameBufferSize);
        if (completed) {
            // Bytes after the reply are dropped: nothing changes any more.
            FUZZ_REQUIRE(!done && a.complete());
            continue;
        }
        if (b == lead) {
            leadSeen = true;
            sinceLead = 0;
        }
        ++sinceLead;
        FUZZ_REQUIRE(a.length() == int(sinceLead % kFrameBufferSize));
        const bool shouldComplete = b == kCr && leadSeen && sinceLead <= kFrameBufferSize;
        FUZZ_REQUIRE(done == shouldComplete);
        FUZZ_REQUIRE(a.complete() == done);
        if (!done) continue;

        completed = true;
        const ReplyBuffer& r = a.buffer();
        if (sinceLead < kFrameBufferSize) {
            // A whole reply: the lead byte to the CR, exactly the bytes that came, then a zero.
            FUZZ_REQUIRE(r.length == sinceLead && r.length >= 2);
            FUZZ_REQUIRE(r.bytes[0] == lead && r.bytes[r.length - 1] == kCr);
            FUZZ_REQUIRE(r.bytes[r.length] == 0);
            FUZZ_REQUIRE(std::memcmp(r.bytes.data(), stream + i + 1 - r.length, size_t(r.length)) == 0);
        } else {
            // The CR landed on the last position: the length wrapped to 0 and the zero
            // that ends the reply text went to position 0, so the text is empty.
            FUZZ_REQUIRE(r.length == 0 && r.bytes[kFrameBufferSize - 1] == kCr);
            FUZZ_REQUIRE(r.bytes[0] == 0);
        }
        // The reply text is the buffer up to its first zero byte.
        const QByteArray text = a.text();
        const auto* zero = std::find(r.bytes.begin(), r.bytes.end(), uint8_t(0));
        FUZZ_REQUIRE(text.size() == zero - r.bytes.begin());
        FUZZ_REQUIRE(text.size() <= r.length || r.length == 0);
        FUZZ_REQUIRE(std::memcmp(text.constData(), r.bytes.data(), size_t(text.size())) == 0);
        atCompletion = r;
        textAtCompletion = text;
    }
    if (completed) {
        FUZZ_REQUIRE(std::memcmp(&atCompletion, &a.buffer(), sizeof(ReplyBuffer)) == 0);
        FUZZ_REQUIRE(a.text() == textAtCompletion);
    }
    CheckBothChecks(a.buffer());
}

// A well-formed reply hidden behind noise must be assembled exactly and pass its check.
void AssembleValidReply(bool crc, uint8_t lead, const uint8_t* noise, size_t noiseSize,
                        const uint8_t* payload, size_t payloadSize) {
    QByteArray body;
    // Noise without lead bytes can hold CRs: they must not complete anything.
    QByteArray junk;
    for (size_t i = 0; i < noiseSize; ++i)
        if (noise[i] != lead) junk.append(char(noise[i]));
    body.append(char(lead));
    for (size_t i = 0; i < payloadSize && body.size() < kFrameBufferSize - 7; ++i) {
        const uint8_t c = payload[i];
        if (c == lead || c == kCr || (crc && c == kEot)) continue;
        body.append(char(c));
    }
    QByteArray frame = body;
    char digits[2];
    if (crc) {
        frame.append(char(kEot));
        const uint16_t value = BitwiseCrc(reinterpret_cast<const uint8_t*>(frame.constData()), int(frame.size()));
        pb::ByteToHex(uint8_t(value >> 8), digits);
        frame.append(digits, 2);
        pb::ByteToHex(uint8_t(value), digits);
        frame.append(digits, 2);
    } else {
        pb::ByteToHex(pb::XorChecksum(reinterpret_cast<const uint8_t*>(frame.constData()), int(frame.size())), digits);
        frame.append(digits, 2);
    }
    frame.append(char(kCr));
    FUZZ_REQUIRE(frame.size() < kFrameBufferSize);

    ReplyAssembler a;
    a.reset(lead);
    for (char c : junk) FUZZ_REQUIRE(!a.feed(uint8_t(c)));
    int completedAt = -1;
    for (int i = 0; i < frame.size(); ++i)
        if (a.feed(uint8_t(frame[i]))) completedAt = i;
    FUZZ_REQUIRE(completedAt == frame.size() - 1);
    FUZZ_REQUIRE(a.length() == frame.size());
    FUZZ_REQUIRE(std::memcmp(a.buffer().bytes.data(), frame.constData(), size_t(frame.size())) == 0);
    FUZZ_REQUIRE(crc ? pb::CheckCrcReply(a.buffer()) : pb::CheckXorReply(a.buffer()));
    if (!frame.contains('\0')) FUZZ_REQUIRE(a.text() == frame);

    // The same reply with its digits in lowercase fails whenever a digit is a letter.
    ReplyBuffer lower = a.buffer();
    bool changed = false;
    const int digitsFrom = frame.size() - (crc ? 5 : 3);
    for (int i = digitsFrom; i < frame.size() - 1; ++i)
        if (lower.bytes[i] >= 'A' && lower.bytes[i] <= 'F') {
            lower.bytes[i] = uint8_t(lower.bytes[i] - 'A' + 'a');
            changed = true;
        }
    if (changed) FUZZ_REQUIRE(!(crc ? pb::CheckCrcReply(lower) : pb::CheckXorReply(lower)));
}

// The command frames built from any text carry that text and a checksum the reference
// agrees with.
void BuildFrames(const uint8_t* text, size_t size) {
    const QByteArrayView body(text, qsizetype(std::min(size, size_t(kFrameBufferSize - 7))));
    const QByteArray crcFrame = pb::BuildCrcFrame(body);
    const qsizetype n = body.size();
    FUZZ_REQUIRE(crcFrame.size() == n + 7);
    FUZZ_REQUIRE(crcFrame[0] == char(pb::kSoh) && crcFrame[n + 1] == char(pb::kStx) && crcFrame[n + 6] == char(kCr));
    FUZZ_REQUIRE(crcFrame.mid(1, n) == body);
    const uint16_t crc = BitwiseCrc(reinterpret_cast<const uint8_t*>(crcFrame.constData()), int(n + 2));
    for (int i = 0; i < 4; ++i) FUZZ_REQUIRE(crcFrame[n + 2 + i] == UpperHexDigit(crc >> (12 - 4 * i)));

    const QByteArray xorFrame = pb::BuildXorFrame(body);
    FUZZ_REQUIRE(xorFrame.size() == n + 4);
    FUZZ_REQUIRE(xorFrame[0] == char(pb::kSoh) && xorFrame[n + 3] == char(kCr) && xorFrame.mid(1, n) == body);
    uint8_t x = 0;
    for (qsizetype i = 0; i <= n; ++i) x ^= uint8_t(xorFrame[i]);
    FUZZ_REQUIRE(xorFrame[n + 1] == UpperHexDigit(x >> 4) && xorFrame[n + 2] == UpperHexDigit(x));
}

}  // namespace

// Input: a mode byte (lead byte and which checks), two length bytes for the raw buffer,
// then the stream. Every input runs all five exercises.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pbfuzz::InputReader in(data, size);
    const uint8_t mode = in.byte();
    const uint8_t lead = (mode & 1) ? pb::kStx : pb::kEtx;
    const int16_t rawLength = int16_t(in.word());
    size_t streamSize = 0;
    const uint8_t* stream = in.rest(streamSize);

    // 1. The stream through the assembler, then both checks on what it holds.
    AssembleStream(lead, stream, streamSize);

    // 2. Both checks on a buffer taken as it is, with any length (even a wrong one).
    ReplyBuffer raw;
    if (streamSize > 0) std::memcpy(raw.bytes.data(), stream, std::min(streamSize, size_t(kFrameBufferSize)));
    raw.length = (mode & 2) ? rawLength : int(std::min(streamSize, size_t(kFrameBufferSize)));
    CheckBothChecks(raw);

    // 3. and 4. A valid CRC and XOR reply built from the stream, behind the stream's noise.
    const size_t split = streamSize ? size_t(mode) * streamSize / 256 : 0;
    AssembleValidReply(true, pb::kEtx, stream, split, stream + split, streamSize - split);
    AssembleValidReply(false, lead, stream, split, stream + split, streamSize - split);

    // 5. The command frames of the stream as a command text.
    BuildFrames(stream, streamSize);
    return 0;
}
