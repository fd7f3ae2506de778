// Frames and checksums against values computed independently of this code
// (CRC-16/ARC catalogue check value, hand-computed frames).
#include <gtest/gtest.h>

#include <cstring>

#include "link/Checksum.h"
#include "link/Frame.h"
#include "link/ReplyBuffer.h"

using namespace pb;

namespace {

const quint8* bytes(const char* s) { return reinterpret_cast<const quint8*>(s); }

ReplyBuffer bufferOf(const QByteArray& reply) {
    ReplyBuffer b;
    std::memcpy(b.bytes.data(), reply.constData(), size_t(reply.size()));
    b.length = int(reply.size());
    return b;
}

// A CRC reply built by hand: 0x03 payload 0x04 digits CR.
QByteArray crcReply(const QByteArray& payload, quint16 crc, bool lowercase = false) {
    QByteArray r;
    r.append(char(0x03)).append(payload).append(char(0x04));
    QByteArray digits = QByteArray::number(crc, 16).rightJustified(4, '0');
    r.append(lowercase ? digits.toLower() : digits.toUpper()).append(char(0x0D));
    return r;
}

}  // namespace

TEST(Checksum, CrcCatalogueCheckValueAndHexDigits) {
    EXPECT_EQ(CrcUpdate(bytes("123456789"), 9).value(), 0xBB3D);
    EXPECT_EQ(CrcUpdate(bytes(""), 0).value(), 0x0000);
    char d[2];
    ByteToHex(0x0A, d);
    EXPECT_EQ(QByteArray(d, 2), "0A");
    ByteToHex(0xA0, d);
    EXPECT_EQ(QByteArray(d, 2), "A0");
    ByteToHex(0xFF, d);
    EXPECT_EQ(QByteArray(d, 2), "FF");
    EXPECT_EQ(XorChecksum(bytes("\x01" "AB"), 3), 0x01 ^ 'A' ^ 'B');
    EXPECT_EQ(XorChecksum(nullptr, 0), 0);
}

TEST(Frame, CrcAndXorFramesOfKnownTexts) {
    EXPECT_EQ(BuildCrcFrame("0000AC"), QByteArray("\x01" "0000AC\x02" "DE5B\r"));
    // Empty text: SOH STX and the CRC of those two bytes.
    const QByteArray empty = BuildCrcFrame("");
    ASSERT_EQ(empty.size(), 7);
    EXPECT_EQ(empty.left(2), QByteArray("\x01\x02"));
    EXPECT_EQ(empty.mid(2, 4), QByteArray::number(CrcUpdate(bytes("\x01\x02"), 2).value(), 16).toUpper().rightJustified(4, '0'));
    EXPECT_EQ(BuildXorFrame(""), QByteArray("\x01" "01\r"));
    EXPECT_EQ(BuildXorFrame("A"), QByteArray("\x01" "A40\r"));  // 0x01 ^ 0x41 = 0x40
}

TEST(CrcReplyCheck, AcceptsExactDigitsOnly) {
    const QByteArray payload = "0001AC0123";
    const QByteArray covered = QByteArray(1, char(0x03)) + payload + QByteArray(1, char(0x04));
    const quint16 crc = CrcUpdate(bytes(covered.constData()), int(covered.size())).value();

    EXPECT_TRUE(CheckCrcReply(bufferOf(crcReply(payload, crc))));
    EXPECT_FALSE(CheckCrcReply(bufferOf(crcReply(payload, crc ^ 1))));
    if (QByteArray::number(crc, 16).toUpper() != QByteArray::number(crc, 16)) {
        EXPECT_FALSE(CheckCrcReply(bufferOf(crcReply(payload, crc, true))));
    }
    // An earlier 0x04 in the payload ends the scan there.
    EXPECT_FALSE(CheckCrcReply(bufferOf(crcReply("12\x04" "34", crc))));
}

TEST(CrcReplyCheck, NeverReadsPastTheBuffer) {
    ReplyBuffer none;  // all zero, no end-of-text byte
    none.length = 0;
    EXPECT_FALSE(CheckCrcReply(none));
    ReplyBuffer late;
    late.bytes.fill('A');
    late.bytes[kFrameBufferSize - 2] = 0x04;  // no room for four digits
    late.length = kFrameBufferSize - 1;
    EXPECT_FALSE(CheckCrcReply(late));
}

TEST(XorReplyCheck, DigitsAtTheEnd) {
    QByteArray r("\x02" "ABC");
    const quint8 x = XorChecksum(bytes(r.constData()), int(r.size()));
    char d[2];
    ByteToHex(x, d);
    QByteArray ok = r + QByteArray(d, 2) + "\r";
    EXPECT_TRUE(CheckXorReply(bufferOf(ok)));
    if (QByteArray(d, 2) != QByteArray(d, 2).toLower()) {
        EXPECT_FALSE(CheckXorReply(bufferOf(r + QByteArray(d, 2).toLower() + "\r")));
    }
    QByteArray bad = ok;
    bad[1] = 'Z';
    EXPECT_FALSE(CheckXorReply(bufferOf(bad)));
    EXPECT_FALSE(CheckXorReply(bufferOf("\r")));
}

TEST(ReplyAssembler, LeadByteRestartsAndCrNeedsLead) {
    ReplyAssembler a;
    a.reset(0x03);
    // Noise and a CR before any lead byte do not complete anything.
    for (char c : QByteArray("xy\r")) EXPECT_FALSE(a.feed(quint8(c)));
    // A lead byte mid-reply restarts at position 0.
    for (char c : QByteArray("\x03" "AB\x03" "CD")) a.feed(quint8(c));
    EXPECT_TRUE(a.feed(0x0D));
    EXPECT_EQ(a.text(), QByteArray("\x03" "CD\r"));
    EXPECT_EQ(a.length(), 4);
    // Bytes after a complete reply are dropped.
    EXPECT_FALSE(a.feed('Z'));
    EXPECT_EQ(a.text(), QByteArray("\x03" "CD\r"));
}

TEST(ReplyAssembler, WrapsAtTheEndOfTheBuffer) {
    ReplyAssembler a;
    a.reset(0x03);
    a.feed(0x03);
    for (int i = 1; i < kFrameBufferSize; ++i) EXPECT_FALSE(a.feed('A'));
    EXPECT_EQ(a.length(), 0);  // wrapped
    a.feed('B');
    EXPECT_EQ(a.buffer().bytes[0], 'B');
    EXPECT_EQ(a.length(), 1);
}
