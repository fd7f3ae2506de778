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
        ASSERT_TRUE(link.OpenLink(bench.settings)) << link.lastError().toStdString();
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
    ASSERT_TRUE(link.SendCrcCommand("0000AC"));
    EXPECT_EQ(link.lastReply(), kAcReply);
    EXPECT_EQ(link.replyLength(), kAcReply.size());
    EXPECT_EQ(bench.peer->frames().value(0), QByteArray("\x01" "0000AC\x02" "DE5B\r"));

    answer({{0, kAcReply.left(3)}, {30, kAcReply.mid(3, 5)}, {30, kAcReply.mid(8)}});
    ASSERT_TRUE(link.SendCrcCommand("0000AC"));
    EXPECT_EQ(link.lastReply(), kAcReply);
    EXPECT_EQ(link.replyAt(2, 4), QByteArray("0001"));
}

TEST_P(Transactions, LeadByteMidReplyAndEarlyCrAreHandled) {
    // Noise with a CR before any lead byte, then a broken start, then the real reply.
    answer({{0, "zz\r\x03garbage" + kAcReply}});
    ASSERT_TRUE(link.SendCrcCommand("0000AC"));
    EXPECT_EQ(link.lastReply(), kAcReply);
}

TEST_P(Transactions, BadOrLowercaseChecksumFailsButKeepsTheReply) {
    QByteArray bad = kAcReply;
    bad[bad.size() - 2] = bad[bad.size() - 2] == '0' ? '1' : '0';
    answer({{0, bad}});
    EXPECT_FALSE(link.SendCrcCommand("0000AC"));
    EXPECT_EQ(link.lastReply(), bad);

    // Find a payload whose CRC has a letter digit, so lowercase really differs.
    QByteArray payload = "X";
    while (CrcReplyFrame(payload) == CrcReplyFrame(payload, true)) payload += "X";
    answer({{0, CrcReplyFrame(payload, true)}});
    EXPECT_FALSE(link.SendCrcCommand("0000AB"));
    answer({{0, CrcReplyFrame(payload)}});
    EXPECT_TRUE(link.SendCrcCommand("0000AB"));
}

TEST_P(Transactions, XorRepliesWithEitherLead) {
    const QByteArray stx = XorReplyFrame('\x02', "A0012345678");
    const QByteArray etx = XorReplyFrame('\x03', "R0100FFFF");
    answer({{0, stx}});
    ASSERT_TRUE(link.SendXorCommand("A"));
    EXPECT_EQ(bench.peer->frames().value(0), QByteArray("\x01" "A40\r"));
    EXPECT_EQ(link.lastReply(), stx);
    answer({{0, etx}});
    ASSERT_TRUE(link.SendXorCommandEtx("0000R0100"));
    EXPECT_EQ(link.lastReply(), etx);
    // An ETX reply to a command expecting STX never completes.
    answer({{0, etx}});
    EXPECT_FALSE(link.SendXorCommand("A"));
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
    EXPECT_FALSE(link.SendCrcCommand(QString(1494, 'A')));
    EXPECT_FALSE(link.SendXorCommand(QString(1497, 'A')));
    EXPECT_FALSE(link.SendCrcCommand(QStringLiteral("0000A\u00e9")));
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
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(link.SendCrcCommand("0000AC"));
    EXPECT_LT(t.elapsed(), 1300);
    EXPECT_FALSE(link.SendCrcCommand("0000AC"));  // and the next one fails too, at once
}

INSTANTIATE_TEST_SUITE_P(Link, Transactions, ::testing::Values(Line::Tcp, Line::Pty),
                         [](const auto& info) { return info.param == Line::Tcp ? "Tcp" : "Pty"; });

TEST(LinkTiming, TcpFailsAt1200MsEvenWhileBytesArrive) {
    Bench b = makeBench(Line::Tcp);
    Link link;
    ASSERT_TRUE(link.OpenLink(b.settings));
    QList<Piece> dribble{{0, "\x03"}};
    for (int i = 0; i < 20; ++i) dribble.append({100, "A"});
    b.peer->setScript([dribble](const QByteArray&) { return dribble; });
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(link.SendCrcCommand("0000AC"));
    EXPECT_GE(t.elapsed(), 1200);
    EXPECT_LT(t.elapsed(), 1300);
}

TEST(LinkTiming, SerialFailsAfter300MsQuietAndEachByteRestartsTheLimit) {
    Bench b = makeBench(Line::Pty);
    Link link;
    ASSERT_TRUE(link.OpenLink(b.settings));
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(link.SendCrcCommand("0000AC"));
    EXPECT_GE(t.elapsed(), 300);
    EXPECT_LT(t.elapsed(), 400);

    // A byte every 200 ms keeps the transaction alive well past 300 ms.
    QList<Piece> slow;
    for (int i = 0; i < 5; ++i) slow.append({i == 0 ? 0 : 200, "."});
    slow.append({200, kAcReply});
    b.peer->setScript([slow](const QByteArray&) { return slow; });
    t.restart();
    EXPECT_TRUE(link.SendCrcCommand("0000AC"));
    EXPECT_GE(t.elapsed(), 1000);
}

TEST(LinkTiming, TcpReplyIsTakenTheMomentItsCrArrives) {
    Bench b = makeBench(Line::Tcp);
    Link link;
    ASSERT_TRUE(link.OpenLink(b.settings));
    b.peer->setScript([](const QByteArray&) { return QList<Piece>{{0, kAcReply}}; });
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(link.SendCrcCommand("0000AC"));
    EXPECT_LT(t.elapsed(), 500);  // no fixed sleeps between byte checks
}

TEST(LinkOpen, BadSettingsFailTheOpenCleanly) {
    Link link;
    LinkSettings s;
    s.kind = LinkKind::Net;
    for (const char* ip : {"", "999.1.1.1", "localhost", "127.1", "::1"}) {
        s.ip = ip;
        s.tcpPort = "5003";
        EXPECT_FALSE(link.OpenLink(s)) << ip;
    }
    s.ip = "127.0.0.1";
    for (const char* port : {"", "0", "65536", "50x3", "-1"}) {
        s.tcpPort = port;
        EXPECT_FALSE(link.OpenLink(s)) << port;
    }
    // Nothing listens on a port just released.
    {
        TcpPeer closed;
        s.tcpPort = QString::number(closed.port());
    }
    EXPECT_FALSE(link.OpenLink(s));
    EXPECT_FALSE(link.isOpen());

    s.kind = LinkKind::Com;
    s.portName = "/dev/panelbench-no-such-port";
    EXPECT_FALSE(link.OpenLink(s));
    EXPECT_FALSE(link.SendCrcCommand("0000AC"));
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
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(link.SendCrcCommand("0000AC"));
    EXPECT_LT(t.elapsed(), 400);
    pty.reset();  // the slave side is gone for good now
    t.restart();
    EXPECT_FALSE(link.SendCrcCommand("0000AC"));
    EXPECT_LT(t.elapsed(), 400);
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
}
