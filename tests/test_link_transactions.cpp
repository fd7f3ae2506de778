// Transactions over real sockets and pseudo-terminals against scripted peers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

#include "link/Frame.h"
#include "link/Link.h"
#include "tests/support/TestPeers.h"

using namespace pb;
using namespace pbtest;

namespace {

enum class Line { Tcp, Pty };

struct Bench {
    std::unique_ptr<ScriptedPeer> peer;
    LinkSettings settings;
};

Bench makeBench(Line line) {
    Bench b;
    if (line == Line::Tcp) {
        auto tcp = std::make_unique<TcpPeer>();
        b.settings.kind = LinkKind::Net;
        b.settings.ip = "127.0.0.1";
        b.settings.tcpPort = QString::number(tcp->port());
        b.peer = std::move(tcp);
    } else {
        auto pty = std::make_unique<PtyPeer>();
        b.settings.kind = LinkKind::Com;
        b.settings.portName = pty->slavePath();
        b.settings.speed = "19200,e,8,1";  // a pty refuses even parity; the link goes on with 8N1
        b.peer = std::move(pty);
    }
    return b;
}

const QByteArray kAcReply = CrcReplyFrame("0001AC12345");  // any payload will do

class Transactions : public ::testing::TestWithParam<Line> {
protected:
    void SetUp() override {
        bench = makeBench(GetParam());
        const OpenResult opened = link.OpenLink(bench.settings);
        ASSERT_TRUE(opened) << opened.detail.toStdString();
    }
    void answer(QList<Piece> pieces) {
        bench.peer->setScript([pieces](const QByteArray&) { return pieces; });
    }
    Bench bench;
    Link link;
};

}  // namespace

TEST_P(Transactions, CompleteAndSplitRepliesPass) {
    answer({{0, kAcReply}});
    Exchange x = link.SendCrcCommand("0000AC");
    ASSERT_TRUE(x) << x.detail.toStdString();
    EXPECT_EQ(x.error, LinkError::None);
    EXPECT_EQ(x.reply.bytes(), kAcReply);
    EXPECT_EQ(x.reply.length(), kAcReply.size());
    EXPECT_EQ(x.command, QByteArray("\x01" "0000AC\x02" "DE5B\r"));
    EXPECT_EQ(bench.peer->frames().value(0), x.command);
    EXPECT_GE(x.replyMs, 0);

    answer({{0, kAcReply.left(3)}, {30, kAcReply.mid(3, 5)}, {30, kAcReply.mid(8)}});
    x = link.SendCrcCommand("0000AC");
    ASSERT_TRUE(x);
    EXPECT_EQ(x.reply.bytes(), kAcReply);
    EXPECT_EQ(x.reply.at(2, 4), QByteArray("0001"));
}

TEST_P(Transactions, LeadByteMidReplyAndEarlyCrAreHandled) {
    // Noise with a CR before any lead byte, then a broken start, then the real reply.
    answer({{0, "zz\r\x03garbage" + kAcReply}});
    const Exchange x = link.SendCrcCommand("0000AC");
    ASSERT_TRUE(x);
    EXPECT_EQ(x.reply.bytes(), kAcReply);
}

TEST_P(Transactions, BadOrLowercaseChecksumFailsButKeepsTheReply) {
    QByteArray bad = kAcReply;
    bad[bad.size() - 2] = bad[bad.size() - 2] == '0' ? '1' : '0';
    answer({{0, bad}});
    const Exchange x = link.SendCrcCommand("0000AC");
    EXPECT_FALSE(x);
    EXPECT_EQ(x.error, LinkError::BadChecksum);
    EXPECT_EQ(x.reply.bytes(), bad);

    // Find a payload whose CRC has a letter digit, so lowercase really differs.
    QByteArray payload = "X";
    while (CrcReplyFrame(payload) == CrcReplyFrame(payload, true)) payload += "X";
    answer({{0, CrcReplyFrame(payload, true)}});
    EXPECT_EQ(link.SendCrcCommand("0000AB").error, LinkError::BadChecksum);
    answer({{0, CrcReplyFrame(payload)}});
    EXPECT_TRUE(link.SendCrcCommand("0000AB"));
}

TEST_P(Transactions, XorRepliesWithEitherLead) {
    const QByteArray stx = XorReplyFrame('\x02', "A0012345678");
    const QByteArray etx = XorReplyFrame('\x03', "R0100FFFF");
    answer({{0, stx}});
    Exchange x = link.SendXorCommand("A");
    ASSERT_TRUE(x);
    EXPECT_EQ(bench.peer->frames().value(0), QByteArray("\x01" "A40\r"));
    EXPECT_EQ(x.reply.bytes(), stx);
    EXPECT_EQ(x.reply.payload(), "A0012345678");
    answer({{0, etx}});
    x = link.SendXorCommandEtx("0000R0100");
    ASSERT_TRUE(x);
    EXPECT_EQ(x.reply.bytes(), etx);
    EXPECT_EQ(x.reply.payload(), "R0100FFFF");
    // An ETX reply to a command expecting STX never completes.
    answer({{0, etx}});
    x = link.SendXorCommand("A");
    EXPECT_EQ(x.error, LinkError::NoReply);
    EXPECT_TRUE(x.reply.isEmpty());
}

TEST_P(Transactions, OverlongReplyWrapsAndFailsWithoutHarm) {
    answer({{0, QByteArray(1, '\x03') + QByteArray(1600, 'A') + "\x04" "0000\r"}});
    EXPECT_FALSE(link.SendCrcCommand("0000AC"));
    // The link is still usable.
    answer({{0, kAcReply}});
    EXPECT_TRUE(link.SendCrcCommand("0000AC"));
}

TEST_P(Transactions, OverlongOrNonAsciiTextIsRefusedUnsent) {
    answer({{0, kAcReply}});
    EXPECT_EQ(link.SendCrcCommand(QString(1494, 'A')).error, LinkError::TextTooLong);
    EXPECT_EQ(link.SendXorCommand(QString(1497, 'A')).error, LinkError::TextTooLong);
    const Exchange x = link.SendCrcCommand(QStringLiteral("0000A\u00e9"));
    EXPECT_EQ(x.error, LinkError::NotAscii);
    EXPECT_TRUE(x.command.isEmpty());
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 50) QCoreApplication::processEvents();
    EXPECT_TRUE(bench.peer->received().isEmpty());
    // The longest texts that fit are sent.
    EXPECT_TRUE(link.SendCrcCommand(QString(1493, 'A')));
    EXPECT_EQ(bench.peer->frames().value(0).size(), 1500);
}

TEST_P(Transactions, PeerClosingMidReplyFailsWithoutHanging) {
    answer({{0, kAcReply.left(6)}, {20, {}, true}});
    // Named as the device going away, not as the reply limit running out.
    EXPECT_EQ(link.SendCrcCommand("0000AC").error, LinkError::DeviceGone);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(link.SendCrcCommand("0000AC").error, LinkError::NotOpen);  // and the next one
}

INSTANTIATE_TEST_SUITE_P(Link, Transactions, ::testing::Values(Line::Tcp, Line::Pty),
                         [](const auto& info) { return info.param == Line::Tcp ? "Tcp" : "Pty"; });

TEST(ReplyFrame, ReadsPositionsAndSplitsIdMnemonicAndData) {
    // A four-digit controller, a three-digit one, and payloads that are not addressed.
    const ReplyFrame four(ReplyFrame::Kind::Crc, CrcReplyFrame("0123DG10000001"),
                          int(CrcReplyFrame("0123DG10000001").size()));
    EXPECT_EQ(four.length(), 1 + 14 + ReplyFrame::kCrcTail);
    EXPECT_EQ(four.at(2, 4), "0123");
    EXPECT_EQ(four.at({8, 8}), "10000001");
    EXPECT_TRUE(four.at(four.length(), 2).isEmpty());  // past the end: nothing, not a part
    EXPECT_TRUE(four.at(0, 1).isEmpty());
    const std::optional<AddressedReply> a = four.split();
    ASSERT_TRUE(a);
    EXPECT_EQ(a->id, "0123");
    EXPECT_EQ(a->mnemonic, "DG");
    EXPECT_EQ(a->data, "10000001");

    const QByteArray oldFrame = CrcReplyFrame("321AS12345678");
    const ReplyFrame three(ReplyFrame::Kind::Crc, oldFrame, int(oldFrame.size()));
    const std::optional<AddressedReply> b = three.split();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->id, "321");
    EXPECT_EQ(b->mnemonic, "AS");
    EXPECT_EQ(b->data, "12345678");
    EXPECT_EQ(three.split(3)->data, b->data);

    const QByteArray bare = CrcReplyFrame("0000");  // an empty console line's echo
    EXPECT_FALSE(ReplyFrame(ReplyFrame::Kind::Crc, bare, int(bare.size())).split());
    const QByteArray loader = XorReplyFrame('\x02', "P00c0");
    EXPECT_FALSE(ReplyFrame(ReplyFrame::Kind::Xor, loader, int(loader.size())).split());
    EXPECT_FALSE(ReplyFrame().split());
}

TEST(LinkOpen, BadSettingsFailTheOpenCleanly) {
    Link link;
    LinkSettings s;
    s.kind = LinkKind::Net;
    for (const char* ip : {"", "999.1.1.1", "localhost", "127.1", "::1"}) {
        s.ip = ip;
        s.tcpPort = "5003";
        EXPECT_EQ(link.OpenLink(s).error, OpenError::BadAddress) << ip;
    }
    s.ip = "127.0.0.1";
    for (const char* port : {"", "0", "65536", "50x3", "-1"}) {
        s.tcpPort = port;
        EXPECT_EQ(link.OpenLink(s).error, OpenError::BadPort) << port;
    }
    // Nothing listens on a port just released.
    {
        TcpPeer closed;
        s.tcpPort = QString::number(closed.port());
    }
    const OpenResult refused = link.OpenLink(s);
    EXPECT_EQ(refused.error, OpenError::Refused) << refused.detail.toStdString();
    EXPECT_FALSE(refused.detail.isEmpty());
    EXPECT_FALSE(link.isOpen());

    s.kind = LinkKind::Com;
    s.portName = "/dev/panelbench-no-such-port";
    EXPECT_EQ(link.OpenLink(s).error, OpenError::NotFound);
    EXPECT_EQ(link.SendCrcCommand("0000AC").error, LinkError::NotOpen);
}

TEST(LinkOpen, MalformedSpeedTextStillOpensThePort) {
    PtyPeer pty;
    Link link;
    LinkSettings s;
    s.portName = pty.slavePath();
    for (const char* speed : {"", "fast", "19200,x,8,1", "19200,n,9,1", "921600,n,8,1", "9600,e,7,2"}) {
        s.speed = speed;
        pty.setScript([](const QByteArray&) { return QList<Piece>{{0, kAcReply}}; });
        ASSERT_TRUE(link.OpenLink(s)) << speed;
        EXPECT_TRUE(link.SendCrcCommand("0000AC")) << speed;
        link.CloseLink();
    }
}

TEST(LinkOpen, UnpluggedAdapterFailsAtOnceAndClosesTheLink) {
    auto pty = std::make_unique<PtyPeer>();
    Link link;
    LinkSettings s;
    s.portName = pty->slavePath();
    ASSERT_TRUE(link.OpenLink(s));
    pty->setScript([](const QByteArray&) { return QList<Piece>{{10, {}, true}}; });
    // The device fails during the wait: named so, not as the quiet limit running out.
    EXPECT_EQ(link.SendCrcCommand("0000AC").error, LinkError::DeviceGone);
    EXPECT_FALSE(link.isOpen());
    pty.reset();  // the slave side is gone for good now
    EXPECT_EQ(link.SendCrcCommand("0000AC").error, LinkError::NotOpen);
}

TEST(LinkTraffic, ObserverSeesFramesAndVerdicts) {
    Bench b = makeBench(Line::Tcp);
    Link link;
    QList<TrafficRecord> seen;
    QObject::connect(&link, &Link::traffic, [&](const TrafficRecord& r) { seen.append(r); });
    ASSERT_TRUE(link.OpenLink(b.settings));
    b.peer->setScript([](const QByteArray&) { return QList<Piece>{{0, kAcReply}}; });
    ASSERT_TRUE(link.SendCrcCommand("0000AC"));
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].direction, TrafficRecord::Direction::Sent);
    EXPECT_EQ(seen[0].bytes, BuildCrcFrame("0000AC"));
    EXPECT_EQ(seen[1].direction, TrafficRecord::Direction::Received);
    EXPECT_TRUE(seen[1].checksumOk);
    EXPECT_EQ(seen[1].bytes, kAcReply);
    EXPECT_EQ(seen[1].error, LinkError::None);
    EXPECT_GE(seen[1].replyMs, 0);

    // A failed transaction is seen with its name.
    EXPECT_FALSE(link.SendCrcCommand(QStringLiteral("0000A\u00e9")));
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen[2].direction, TrafficRecord::Direction::Failed);
    EXPECT_EQ(seen[2].error, LinkError::NotAscii);
}
