// The simulator's own frame and checksum code, its command-line options and its log
// text, without any transport.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "sim/SimChecksum.h"
#include "sim/SimFrames.h"
#include "sim/SimLogText.h"
#include "sim/SimOptions.h"

using namespace sim;

TEST(SimChecksum, CatalogueValueAndKnownFrames) {
    EXPECT_EQ(crc16Arc("123456789"), 0xBB3D);
    EXPECT_EQ(buildCrcCommand("0000AC"), QByteArray("\x01"
                                                    "0000AC\x02"
                                                    "DE5B\r"));
    EXPECT_EQ(buildXorCommand("A"), QByteArray("\x01"
                                               "A40\r"));
    EXPECT_EQ(hex4(0xBB3D, true), "bb3d");
    QByteArray bytes;
    EXPECT_TRUE(fromHex("0aFf", bytes));
    EXPECT_EQ(bytes, QByteArray("\x0A\xFF", 2));
    EXPECT_FALSE(fromHex("0g", bytes));
    EXPECT_FALSE(fromHex("abc", bytes));
}

TEST(SimFrames, ReaderSplitsNoiseFramesAndKinds) {
    CommandFrameReader r;
    const QByteArray crc = buildCrcCommand("0000AS");
    const QByteArray xr = buildXorCommand("0000R0a00");
    // Noise first, a frame cut in two, then an XOR frame and one with a wrong CRC.
    QList<CommandFrame> got = r.feed(QByteArray("noise\r") + crc.left(3));
    EXPECT_TRUE(got.isEmpty());
    QByteArray bad = buildCrcCommand("0000AC");
    bad[bad.size() - 2] = bad[bad.size() - 2] == '0' ? '1' : '0';
    got = r.feed(crc.mid(3) + xr + bad);
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0].kind, CommandFrame::Kind::Crc);
    EXPECT_EQ(got[0].text, "0000AS");
    EXPECT_TRUE(got[0].checksumOk);
    EXPECT_EQ(got[1].kind, CommandFrame::Kind::Xor);
    EXPECT_EQ(got[1].text, "0000R0a00");
    EXPECT_TRUE(got[1].checksumOk);
    EXPECT_FALSE(got[2].checksumOk);
    // A new SOH restarts the frame; lowercase CRC digits from a sender are refused.
    got = r.feed(QByteArray("\x01"
                            "00") +
                 buildCrcCommand("0000DB"));
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].text, "0000DB");
    EXPECT_FALSE(parseCommandFrame("\x01"
                                   "0000AC\x02"
                                   "de5b\r")
                     .checksumOk);
}

TEST(SimFrames, RepliesWithFaultyChecksums) {
    const QByteArray good = buildCrcReply("0000AC0410");
    EXPECT_EQ(good, QByteArray("\x03"
                               "0000AC0410\x04"
                               "21F9\r"));
    EXPECT_EQ(buildCrcReply("0000AC0410", {false, true}).right(5), "21f9\r");
    EXPECT_EQ(buildCrcReply("0000AC0410", {true, false}).right(5), "21FA\r");
    const QByteArray x = buildXorReply(0x02, "A");
    EXPECT_EQ(x, QByteArray("\x02"
                            "A43\r"));
}

TEST(SimOptions, ParsesEveryOptionAndRefusesBadValues) {
    const auto ok =
        parseSimOptions({"sim",  "--tcp",        "0",        "--model",          "old28",
                         "--id", "012",          "--inputs", "10100000",         "--silent",
                         "AS",   "--silent-all", "--noise",  "a\\r\\x03",        "--delay",
                         "50",   "--split",      "3",        "--corrupt-verify", "4"});
    ASSERT_TRUE(ok.options.has_value()) << qPrintable(ok.output);
    EXPECT_EQ(ok.options->model, Model::Old28);
    EXPECT_EQ(ok.options->listenAddress, "127.0.0.1");
    EXPECT_EQ(ok.options->faults.silentPrefixes, QStringList({"AS", ""}));
    EXPECT_EQ(ok.options->faults.noiseBeforeLead, QByteArray("a\r\x03"));
    EXPECT_EQ(ok.options->faults.corruptVerifyBlock, 4);

    for (const QStringList& bad : QList<QStringList>{
             {"sim"},
             {"sim", "--tcp", "1", "--pty"},
             {"sim", "--tcp", "70000"},
             {"sim", "--pty", "--listen", "0.0.0.0"},
             {"sim", "--tcp", "0", "--listen", "nowhere"},
             {"sim", "--tcp", "0", "--model", "old20", "--id", "0001"},
             {"sim", "--pty", "--inputs", "102"},
             {"sim", "--pty", "--frobnicate"},
         }) {
        const auto r = parseSimOptions(bad);
        EXPECT_FALSE(r.options.has_value()) << qPrintable(bad.join(' '));
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.output.startsWith("panelbench-sim: ")) << qPrintable(r.output);
    }
    const auto help = parseSimOptions({"sim", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_FALSE(help.options.has_value());
    EXPECT_TRUE(help.output.contains("--close-mid-reply"));
}

TEST(SimLogText, ScreenAndJsonLines) {
    const LogEntry e{1234, LogEntry::Received, buildCrcCommand("0000AC"), "0000AC", true, "note"};
    EXPECT_EQ(screenLine(e), "     1.234 <- <SOH>0000AC<STX>DE5B<CR> [ok]  (note)");
    const QJsonObject o = QJsonDocument::fromJson(jsonLine(e)).object();
    EXPECT_EQ(o.value("dir").toString(), "received");
    EXPECT_EQ(o.value("text").toString(), "0000AC");
    EXPECT_EQ(o.value("frame").toString().toLatin1(), buildCrcCommand("0000AC"));
    EXPECT_TRUE(o.value("checksumOk").toBool());
}
