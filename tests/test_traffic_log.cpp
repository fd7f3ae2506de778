// The traffic monitor's rows: what the decoder reads from real exchanges with the
// simulated controller (over TCP and a pty) and from crafted frames, the ring bound,
// pause, find and the exports read back.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "link/Frame.h"
#include "tests/support/SimHarness.h"
#include "tests/support/TestPeers.h"
#include "output/WholeFile.h"
#include "traffic/TrafficExport.h"
#include "traffic/TrafficLog.h"

using namespace pb;
using namespace pbtest;
using Dir = TrafficRecord::Direction;

namespace {

TrafficRecord Record(Dir dir, const QByteArray& bytes, qint64 ms = 0, const QString& note = {}) {
    return {dir, bytes, ms, dir != Dir::Failed, note};
}

// One row decoded alone.
TrafficRow Decode(Dir dir, const QByteArray& bytes) {
    TrafficDecoder decoder;
    return decoder.decode(Record(dir, bytes), 0);
}

// RFC 4180 fields, as a spreadsheet reads them.
QList<QStringList> ParseCsv(const QByteArray& csv) {
    QList<QStringList> rows;
    QStringList row;
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const char c = csv.at(i);
        if (quoted) {
            if (c == '"' && i + 1 < csv.size() && csv.at(i + 1) == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row << QString::fromUtf8(field);
            field.clear();
        } else if (c == '\r' && i + 1 < csv.size() && csv.at(i + 1) == '\n') {
            row << QString::fromUtf8(field);
            field.clear();
            rows << row;
            row.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
}

class TrafficOverTheWire : public ::testing::TestWithParam<Wire> {};

TEST_P(TrafficOverTheWire, RowsOfAKnownExchange) {
    SimHarness h(sim::Model::V4, QString(), GetParam());
    ASSERT_TRUE(h.serving());
    TrafficLog log;
    QObject::connect(&h.link, &Link::traffic, &log, &TrafficLog::add);
    const OpenResult opened = h.link.OpenLink(h.view.settings);
    ASSERT_TRUE(opened) << opened.detail.toStdString();

    ASSERT_TRUE(h.link.SendCrcCommand("0000AC"));
    h.controller.faults().badChecksum = true;
    EXPECT_FALSE(h.link.SendCrcCommand("0000AS"));
    h.controller.faults().badChecksum = false;
    h.controller.faults().silentPrefixes = {QStringLiteral("DG")};
    EXPECT_FALSE(h.link.SendCrcCommand("0000DG0"));
    h.controller.faults().silentPrefixes.clear();
    // Into the loader: XOR frames with one-letter mnemonics.
    ASSERT_TRUE(h.link.SendCrcCommand("0000ZxA5"));
    ASSERT_TRUE(h.link.SendXorCommandEtx("0000A"));
    h.link.CloseLink();

    log.flush();
    ASSERT_EQ(log.rowCount(), 10);

    const TrafficRow& ac = log.row(0);
    EXPECT_EQ(ac.direction, Dir::Sent);
    EXPECT_EQ(ac.kind, FrameKind::CrcCommand);
    EXPECT_EQ(ac.bytesText(), "<SOH>0000AC<STX>DE5B<CR>");
    EXPECT_EQ(ac.idText(), "0000");
    EXPECT_EQ(ac.mnemonicText(), "AC");
    EXPECT_EQ(ac.dataText(), "");
    EXPECT_EQ(ac.verdict, ChecksumVerdict::Good);
    EXPECT_EQ(ac.latencyMs, -1);

    const TrafficRow& acReply = log.row(1);
    EXPECT_EQ(acReply.direction, Dir::Received);
    EXPECT_EQ(acReply.kind, FrameKind::CrcReply);
    EXPECT_TRUE(acReply.bytesText().startsWith("<ETX>0000AC04")) << acReply.bytesText().toStdString();
    EXPECT_TRUE(acReply.bytesText().endsWith("<CR>"));
    EXPECT_EQ(acReply.idText(), "0000");
    EXPECT_EQ(acReply.mnemonicText(), "AC");
    EXPECT_TRUE(acReply.dataText().startsWith("04"));
    EXPECT_EQ(acReply.verdict, ChecksumVerdict::Good);
    EXPECT_GE(acReply.latencyMs, 0);
    EXPECT_EQ(log.cellText(1, TrafficLog::Latency), QString::number(acReply.latencyMs));

    const TrafficRow& asReply = log.row(3);
    EXPECT_EQ(asReply.mnemonicText(), "AS");
    EXPECT_EQ(asReply.dataText(), "25V40000");
    EXPECT_EQ(asReply.verdict, ChecksumVerdict::Bad);

    const TrafficRow& silent = log.row(5);
    EXPECT_EQ(log.row(4).mnemonicText(), "DG");
    EXPECT_EQ(log.row(4).dataText(), "0");
    EXPECT_EQ(silent.direction, Dir::Failed);
    EXPECT_EQ(silent.failure, FailureKind::NoReply);
    EXPECT_GE(silent.latencyMs, 0);
    EXPECT_EQ(log.cellText(5, TrafficLog::Bytes), "No reply within the time limit");
    EXPECT_EQ(log.cellText(5, TrafficLog::Checksum), "");
    // Failures and wrong checksums are marked for the view; good frames are not.
    EXPECT_EQ(log.index(0, 0).data(TrafficLog::AlertRole), false);
    EXPECT_EQ(log.index(3, 0).data(TrafficLog::AlertRole), true);
    EXPECT_EQ(log.index(5, 0).data(TrafficLog::AlertRole), true);

    EXPECT_EQ(log.row(6).mnemonicText(), "Zx");
    EXPECT_EQ(log.row(6).dataText(), "A5");
    const TrafficRow& wait = log.row(8);
    EXPECT_EQ(wait.kind, FrameKind::XorCommand);
    EXPECT_EQ(wait.verdict, ChecksumVerdict::Good);
    EXPECT_EQ(wait.idText(), "0000");
    EXPECT_EQ(wait.mnemonicText(), "A");
    const TrafficRow& waitReply = log.row(9);
    EXPECT_EQ(waitReply.kind, FrameKind::XorReply);
    EXPECT_EQ(waitReply.verdict, ChecksumVerdict::Good);
    EXPECT_EQ(waitReply.idText(), "0000");
    EXPECT_EQ(waitReply.mnemonicText(), "A");
    EXPECT_EQ(waitReply.dataText(), "BOOTB1.2");
    EXPECT_GE(waitReply.latencyMs, 0);

    // The wall time reads hh:mm:ss.mmm.
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$").match(ac.timeText()).hasMatch())
        << ac.timeText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Wires, TrafficOverTheWire, ::testing::Values(Wire::Tcp, Wire::Pty),
                         [](const auto& info) { return std::string(WireName(info.param)); });

TEST(TrafficDecoder, VerdictsOfCraftedFrames) {
    // Commands: the link's own frames are good; a changed digit is bad, lowercase digits
    // that would otherwise match are lowercase.
    const QByteArray crc = BuildCrcFrame("0000AC");  // digits DE5B
    EXPECT_EQ(Decode(Dir::Sent, crc).verdict, ChecksumVerdict::Good);
    EXPECT_EQ(Decode(Dir::Sent, QByteArray(crc).replace("DE5B", "de5b")).verdict, ChecksumVerdict::Lowercase);
    EXPECT_EQ(Decode(Dir::Sent, QByteArray(crc).replace("DE5B", "DE5C")).verdict, ChecksumVerdict::Bad);
    EXPECT_EQ(Decode(Dir::Sent, QByteArray(crc).replace("DE5B", "dE5C")).verdict, ChecksumVerdict::Bad);
    const QByteArray xorFrame = BuildXorFrame("P0040");
    const TrafficRow loaderC = Decode(Dir::Sent, xorFrame);
    EXPECT_EQ(loaderC.kind, FrameKind::XorCommand);
    EXPECT_EQ(loaderC.verdict, ChecksumVerdict::Good);
    EXPECT_EQ(loaderC.idText(), "");  // protocol C carries no ID
    EXPECT_EQ(loaderC.mnemonicText(), "P");
    EXPECT_EQ(loaderC.dataText(), "0040");

    // Replies, built by the test's own checksum code.
    const QByteArray reply = CrcReplyFrame("0000ZvABCDEF");
    EXPECT_EQ(Decode(Dir::Received, reply).verdict, ChecksumVerdict::Good);
    const QByteArray lower = CrcReplyFrame("0000ZvABCDEF", true);
    const bool hasLetters = lower.right(5).toUpper() != lower.right(5);
    EXPECT_EQ(Decode(Dir::Received, lower).verdict, hasLetters ? ChecksumVerdict::Lowercase : ChecksumVerdict::Good);
    const TrafficRow threeDigit = Decode(Dir::Received, CrcReplyFrame("000AV" "V1.20.05"));
    EXPECT_EQ(threeDigit.idText(), "000");
    EXPECT_EQ(threeDigit.mnemonicText(), "AV");
    EXPECT_EQ(threeDigit.dataText(), "V1.20.05");
    const TrafficRow xorReply = Decode(Dir::Received, XorReplyFrame('\x02', "R0040FFFF"));
    EXPECT_EQ(xorReply.kind, FrameKind::XorReply);
    EXPECT_EQ(xorReply.verdict, ChecksumVerdict::Good);
    EXPECT_EQ(xorReply.mnemonicText(), "R");
    QByteArray spoilt = XorReplyFrame('\x03', "0000X");
    spoilt[spoilt.size() - 2] = spoilt.at(spoilt.size() - 2) == '0' ? '1' : '0';
    EXPECT_EQ(Decode(Dir::Received, spoilt).verdict, ChecksumVerdict::Bad);

    // Nothing to judge: no CR, no lead, no room for the digits after EOT.
    for (const QByteArray& bytes : {QByteArray("\x01" "0000AC"), QByteArray("hello\r"), QByteArray("\x03" "00\x04" "12\r"),
                                    QByteArray()}) {
        const TrafficRow row = Decode(Dir::Received, bytes);
        EXPECT_EQ(row.verdict, ChecksumVerdict::None) << row.bytesText().toStdString();
    }
    EXPECT_EQ(Decode(Dir::Received, QByteArray("hello\r")).kind, FrameKind::Unframed);
    EXPECT_EQ(Decode(Dir::Sent, QByteArray("\x01\x02\r")).bytesText(), "<SOH><STX><CR>");
    EXPECT_EQ(Decode(Dir::Received, QByteArray("\x03\n\xff\r")).bytesText(), "<ETX><LF><xFF><CR>");
}

TEST(TrafficDecoder, FailuresAndTheTimeSinceTheCommand) {
    TrafficDecoder decoder;
    const TrafficRow sent = decoder.decode(Record(Dir::Sent, BuildCrcFrame("0000AC"), 100), 0);
    const TrafficRow reply = decoder.decode(Record(Dir::Received, CrcReplyFrame("0000AC0410"), 137), 0);
    EXPECT_EQ(sent.latencyMs, -1);
    EXPECT_EQ(reply.latencyMs, 37);
    // A failure with no command in flight has no time; one after a send has.
    const TrafficRow notOpen = decoder.decode(Record(Dir::Failed, {}, 140, "link not open"), 0);
    EXPECT_EQ(notOpen.latencyMs, -1);
    EXPECT_EQ(notOpen.failure, FailureKind::Other);
    decoder.decode(Record(Dir::Sent, BuildCrcFrame("0000AC"), 200), 0);
    const TrafficRow gone = decoder.decode(Record(Dir::Failed, {}, 230, "device failed: Connection reset"), 0);
    EXPECT_EQ(gone.latencyMs, 30);
    EXPECT_EQ(gone.failure, FailureKind::DeviceGone);
    EXPECT_EQ(gone.failureDetail(), "Connection reset");
    EXPECT_EQ(gone.kind, FrameKind::Failure);
    EXPECT_EQ(gone.verdict, ChecksumVerdict::None);

    TrafficLog log;
    log.addAt(Record(Dir::Failed, {}, 0, "device failed: Connection reset"), 0);
    log.addAt(Record(Dir::Failed, {}, 0, "link closed while waiting"), 0);
    log.addAt(Record(Dir::Failed, {}, 0, "write failed: broken pipe"), 0);
    log.flush();
    EXPECT_EQ(log.cellText(0, TrafficLog::Bytes), "Device gone: Connection reset");
    EXPECT_EQ(log.cellText(1, TrafficLog::Bytes), "Link closed while waiting");
    EXPECT_EQ(log.cellText(2, TrafficLog::Bytes), "write failed: broken pipe");
    EXPECT_EQ(log.cellText(0, TrafficLog::Direction), "Failed");
    log.setLanguage(1);
    EXPECT_EQ(log.cellText(0, TrafficLog::Direction), QStringLiteral("失败"));
    EXPECT_EQ(log.headerData(TrafficLog::Checksum, Qt::Horizontal).toString(), QStringLiteral("校验"));
}

TEST(TrafficLog, KeepsTheLastHundredThousandRowsInBatches) {
    TrafficLog log;
    ASSERT_EQ(log.capacity(), 100000);
    const auto frame = [](int i) { return BuildCrcFrame("0000JC" + QByteArray::number(i)); };
    for (int i = 0; i < 100000; ++i) log.addAt(Record(Dir::Sent, frame(i)), i);
    QSignalSpy inserted(&log, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&log, &QAbstractItemModel::rowsRemoved);
    log.flush();
    EXPECT_EQ(log.rowCount(), 100000);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(log.droppedCount(), 0);

    for (int i = 100000; i < 100250; ++i) log.addAt(Record(Dir::Sent, frame(i)), i);
    log.flush();
    EXPECT_EQ(log.rowCount(), 100000);
    EXPECT_EQ(log.droppedCount(), 250);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(1).toInt(), 0);
    EXPECT_EQ(removed.at(0).at(2).toInt(), 249);
    ASSERT_EQ(inserted.count(), 2);
    EXPECT_EQ(inserted.at(1).at(1).toInt(), 99750);
    EXPECT_EQ(inserted.at(1).at(2).toInt(), 99999);
    EXPECT_EQ(log.row(0).dataText(), "250");  // the oldest kept
    EXPECT_EQ(log.row(99999).dataText(), "100249");

    log.clear();
    EXPECT_EQ(log.rowCount(), 0);
    EXPECT_EQ(log.droppedCount(), 0);
}

TEST(TrafficLog, MoreThanTheRingInOneBatchKeepsTheNewest) {
    TrafficLog log(nullptr, 10);
    for (int i = 0; i < 4; ++i) log.addAt(Record(Dir::Sent, BuildCrcFrame("0000JC" + QByteArray::number(i))), 0);
    log.flush();
    for (int i = 4; i < 19; ++i) log.addAt(Record(Dir::Sent, BuildCrcFrame("0000JC" + QByteArray::number(i))), 0);
    log.flush();
    ASSERT_EQ(log.rowCount(), 10);
    EXPECT_EQ(log.droppedCount(), 9);
    EXPECT_EQ(log.row(0).dataText(), "9");
    EXPECT_EQ(log.row(9).dataText(), "18");
}

TEST(TrafficLog, BatchesArriveThroughTheEventLoopAndPauseHoldsThemBack) {
    TrafficLog log;
    log.add(Record(Dir::Sent, BuildCrcFrame("0000AC")));
    EXPECT_EQ(log.rowCount(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.rowCount() == 1; }, 5000));

    QSignalSpy paused(&log, &TrafficLog::pausedChanged);
    log.setPaused(true);
    log.add(Record(Dir::Received, CrcReplyFrame("0000AC0410")));
    log.add(Record(Dir::Sent, BuildCrcFrame("0000AS")));
    log.flush();
    EXPECT_EQ(log.rowCount(), 1);
    EXPECT_EQ(log.heldBackCount(), 2);
    log.setPaused(false);
    EXPECT_EQ(log.rowCount(), 3);
    EXPECT_EQ(log.heldBackCount(), 0);
    EXPECT_EQ(paused.count(), 2);
}

TEST(TrafficLog, FindsTheNextMatchAndWraps) {
    TrafficLog log;
    for (const char* text : {"0000AC", "0000DG0", "0000AS", "0000DG0"}) {
        log.addAt(Record(Dir::Sent, BuildCrcFrame(text)), 0);
        log.addAt(Record(Dir::Received, CrcReplyFrame(QByteArray(text).left(4) + "OK")), 0);
    }
    log.addAt(Record(Dir::Failed, {}, 0, "no complete reply in time"), 0);
    log.flush();
    EXPECT_EQ(log.find("dg0", -1), 2);
    EXPECT_EQ(log.find("dg0", 2), 6);
    EXPECT_EQ(log.find("dg0", 6), 2);  // wraps
    EXPECT_EQ(log.find("DG0", 6, false), 2);
    EXPECT_EQ(log.find("<STX>", 0), 2);  // the text as shown, control bytes named
    EXPECT_EQ(log.find("no reply", 0), 8);
    EXPECT_EQ(log.find("XYZ", 0), -1);
    EXPECT_EQ(log.find("", 0), -1);
}

TEST(TrafficExport, CsvReadsBackAndTextIsAsShown) {
    TrafficLog log;
    log.addAt(Record(Dir::Sent, BuildCrcFrame("0000AC"), 10), 12 * 3600000 + 34 * 60000 + 56789);
    log.addAt(Record(Dir::Received, CrcReplyFrame("0000AC0410"), 25), 12 * 3600000 + 34 * 60000 + 56804);
    log.addAt(Record(Dir::Sent, BuildCrcFrame("0000DD\"A,1"), 30), 0);
    log.addAt(Record(Dir::Failed, {}, 1231, "no complete reply in time, \"late\""), 0);
    log.flush();

    const QList<QStringList> csv = ParseCsv(TrafficAsCsv(log));
    ASSERT_EQ(csv.size(), 5);
    EXPECT_EQ(csv.at(0), QStringList({"time", "direction", "bytes", "id", "mnemonic", "data", "checksum",
                                      "reply_ms", "note"}));
    for (const QStringList& row : csv) EXPECT_EQ(row.size(), 9);
    EXPECT_EQ(csv.at(1), QStringList({"12:34:56.789", "sent", "<SOH>0000AC<STX>DE5B<CR>", "0000", "AC", "", "good",
                                      "", ""}));
    EXPECT_EQ(csv.at(2).at(1), "received");
    EXPECT_EQ(csv.at(2).at(5), "0410");
    EXPECT_EQ(csv.at(2).at(7), "15");
    EXPECT_EQ(csv.at(3).at(5), "\"A,1");
    EXPECT_EQ(csv.at(4).at(1), "failed");
    EXPECT_EQ(csv.at(4).at(6), "");
    EXPECT_EQ(csv.at(4).at(7), "1201");
    EXPECT_EQ(csv.at(4).at(8), "no complete reply in time, \"late\"");

    // Text: a head line and the chosen rows, tab-separated, as the table shows them.
    const QStringList lines = TrafficAsText(log, {1, 3}).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines.at(0).startsWith("Time\tDirection\tBytes"));
    EXPECT_EQ(lines.at(1).split(u'\t').at(1), "Received");
    EXPECT_EQ(lines.at(2).split(u'\t').at(2), "No reply within the time limit");

    QTemporaryDir folder;
    const QString path = folder.filePath("traffic.csv");
    EXPECT_TRUE(WriteWholeFile(path, TrafficAsCsv(log)).ok);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), TrafficAsCsv(log));
    const SaveResult refused = WriteWholeFile("/nonexistent-folder/traffic.csv", "x");
    EXPECT_FALSE(refused.ok);
    EXPECT_FALSE(refused.error.isEmpty());
}

TEST(TrafficExport, CellsThatLookLikeFormulasAreText) {
    TrafficLog log;
    log.addAt(Record(Dir::Received, CrcReplyFrame("0000AC-1+2"), 10), 0);
    log.addAt(Record(Dir::Failed, {}, 20, "@SUM(A1)"), 0);
    log.addAt(Record(Dir::Failed, {}, 30, "=1+1, \"quoted\""), 0);
    log.flush();
    const QList<QStringList> csv = ParseCsv(TrafficAsCsv(log));
    ASSERT_EQ(csv.size(), 4);
    EXPECT_EQ(csv.at(1).at(5), "'-1+2");
    EXPECT_EQ(csv.at(2).at(8), "'@SUM(A1)");
    EXPECT_EQ(csv.at(3).at(8), "'=1+1, \"quoted\"");
    EXPECT_EQ(csv.at(1).at(3), "0000");  // the rest as it is
}

}  // namespace
