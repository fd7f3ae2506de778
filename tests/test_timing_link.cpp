// The link's time limits, measured on the wall clock: a serial reply fails after a quiet
// spell, a TCP reply at a limit from the send, and a reply is taken at its CR. They run
// alone (label "timing", RUN_SERIAL) and their upper bounds leave room for a busy machine.
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "link/Link.h"
#include "tests/support/TestPeers.h"

using namespace pb;
using namespace pbtest;

namespace {

const QByteArray kAcReply = CrcReplyFrame("0001AC12345");

// Room for scheduling on a loaded machine above a limit that is being measured.
constexpr qint64 kSlackMs = 600;

std::unique_ptr<TcpPeer> tcpPeer(LinkSettings& s) {
    auto peer = std::make_unique<TcpPeer>();
    s.kind = LinkKind::Net;
    s.ip = "127.0.0.1";
    s.tcpPort = QString::number(peer->port());
    return peer;
}

}  // namespace

TEST(LinkTiming, TcpFailsAt1200MsEvenWhileBytesArrive) {
    LinkSettings s;
    auto peer = tcpPeer(s);
    Link link;
    ASSERT_TRUE(link.OpenLink(s));
    // Bytes keep coming for two seconds; the limit counts from the send all the same.
    QList<Piece> dribble{{0, "\x03"}};
    for (int i = 0; i < 20; ++i) dribble.append({100, "A"});
    peer->setScript([dribble](const QByteArray&) { return dribble; });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(link.SendCrcCommand("0000AC").error, LinkError::NoReply);
    EXPECT_GE(t.elapsed(), Link::kTcpReplyMs);
    EXPECT_LT(t.elapsed(), Link::kTcpReplyMs + kSlackMs);
}

TEST(LinkTiming, SerialFailsAfter300MsQuietAndEachByteRestartsTheLimit) {
    PtyPeer pty;
    LinkSettings s;
    s.portName = pty.slavePath();
    Link link;
    ASSERT_TRUE(link.OpenLink(s));
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(link.SendCrcCommand("0000AC").error, LinkError::NoReply);
    EXPECT_GE(t.elapsed(), Link::kSerialQuietMs);
    EXPECT_LT(t.elapsed(), Link::kSerialQuietMs + kSlackMs);

    // A byte every 150 ms keeps the transaction alive well past 300 ms.
    QList<Piece> slow;
    for (int i = 0; i < 7; ++i) slow.append({i == 0 ? 0 : 150, "."});
    slow.append({150, kAcReply});
    pty.setScript([slow](const QByteArray&) { return slow; });
    t.restart();
    const Exchange x = link.SendCrcCommand("0000AC");
    EXPECT_TRUE(x) << x.detail.toStdString();
    EXPECT_GE(t.elapsed(), 1000);
    EXPECT_GE(x.replyMs, 1000);
}

TEST(LinkTiming, TcpReplyIsTakenTheMomentItsCrArrives) {
    LinkSettings s;
    auto peer = tcpPeer(s);
    Link link;
    ASSERT_TRUE(link.OpenLink(s));
    peer->setScript([](const QByteArray&) { return QList<Piece>{{0, kAcReply}}; });
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 50; ++i) {
        const Exchange x = link.SendCrcCommand("0000AC");
        ASSERT_TRUE(x);
        EXPECT_LT(x.replyMs, Link::kTcpReplyMs);  // not held until the limit
    }
    EXPECT_LT(t.elapsed(), 500 + kSlackMs);  // no fixed sleeps between byte checks
}
