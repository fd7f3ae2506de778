// What opening a serial port asks of the kernel: low latency on a USB-serial adapter
// (through a stand-in for sysfs and the ioctls) and the RS-485 mode, each put back on
// close; a pseudo-terminal is asked nothing for low latency and refuses RS-485 by name.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "i18n/Language.h"
#include "i18n/LinkFailureTexts.h"
#include "link/Link.h"
#include "link/SerialTransport.h"
#include "procedures/ConnectAndIdentify.h"
#include "catalogue/RecipeLoader.h"
#include "runner/RecipeRunner.h"
#include "tests/support/AdapterStandIn.h"
#include "tests/support/SimHarness.h"
#include "tests/support/TestPeers.h"

namespace {

using pbtest::FakeSerialKernel;
using pbtest::FakeSysfs;
using Note = pb::LowLatency::Note;

pb::PortTuningWish Wish(FakeSysfs& sysfs, FakeSerialKernel& kernel, bool lowLatency = true, bool rs485 = false) {
    pb::PortTuningWish wish;
    wish.lowLatency = lowLatency;
    wish.rs485 = rs485;
    wish.kernel = &kernel;
    wish.sysRoot = sysfs.root();
    return wish;
}

TEST(AdapterFacts, OnlyAPortOnTheUsbSerialBusIsAnAdapter) {
    FakeSysfs sysfs;
    sysfs.addUsbSerial(QStringLiteral("ttyUSB0"), QStringLiteral("ftdi_sio"), 16);
    sysfs.addUsbSerial(QStringLiteral("ttyUSB1"), QStringLiteral("cp210x"), std::nullopt);
    sysfs.addBuiltIn(QStringLiteral("ttyS0"));

    const pb::AdapterFacts ftdi = pb::ReadAdapterFacts(QStringLiteral("ttyUSB0"), sysfs.root());
    EXPECT_TRUE(ftdi.usbSerial);
    EXPECT_EQ(ftdi.driver, QStringLiteral("ftdi_sio"));
    EXPECT_EQ(ftdi.latencyTimerMs, 16);
    const pb::AdapterFacts cp = pb::ReadAdapterFacts(QStringLiteral("ttyUSB1"), sysfs.root());
    EXPECT_TRUE(cp.usbSerial);
    EXPECT_EQ(cp.latencyTimerMs, -1);
    for (const char* other : {"ttyS0", "7", "ttyUSB9", "../ttyUSB0", ""})
        EXPECT_FALSE(pb::ReadAdapterFacts(QString::fromLatin1(other), sysfs.root()).usbSerial) << other;
    EXPECT_EQ(pb::TtyName(QStringLiteral("/dev/pts/7")), QStringLiteral("7"));
}

TEST(LowLatency, AnFtdiAdapterGoesFrom16MsTo1MsAndBackOnClose) {
    FakeSysfs sysfs;
    const QString tty = QStringLiteral("ttyUSB0");
    sysfs.addUsbSerial(tty, QStringLiteral("ftdi_sio"), 16);
    FakeSerialKernel kernel(sysfs, tty);
    kernel.serial.flags = ASYNC_SKIP_TEST;
    pb::PortTuner tuner(Wish(sysfs, kernel));

    ASSERT_TRUE(tuner.apply(3, tty));
    const pb::LowLatency& l = tuner.lowLatency();
    EXPECT_TRUE(l.asked);
    EXPECT_TRUE(l.on());
    EXPECT_FALSE(l.flagBefore);
    EXPECT_TRUE(l.flagAfter);
    EXPECT_EQ(l.timerBeforeMs, 16);
    EXPECT_EQ(l.timerAfterMs, 1);
    EXPECT_EQ(sysfs.timer(tty), 1);
    EXPECT_EQ(l.note, Note::None);
    for (int language = 0; language < pb::kLanguageCount; ++language)
        EXPECT_TRUE(pb::LowLatencyNote(tty, l, language).isEmpty());
    const QJsonObject json = pb::ToJson(l);
    EXPECT_EQ(json.value(QStringLiteral("latencyTimerMs")).toInt(), 1);
    EXPECT_EQ(json.value(QStringLiteral("latencyTimerBeforeMs")).toInt(), 16);
    EXPECT_TRUE(json.value(QStringLiteral("lowLatency")).toBool());

    tuner.restore(3);
    EXPECT_EQ(kernel.serial.flags, ASYNC_SKIP_TEST);  // the other flags untouched
    EXPECT_EQ(sysfs.timer(tty), 16);

    // A timer someone set to 4 ms by hand is lowered and put back to 4 ms, flag or not.
    sysfs.setTimer(tty, 4);
    kernel.ftdiTimer = false;
    ASSERT_TRUE(tuner.apply(3, tty));
    EXPECT_EQ(tuner.lowLatency().timerAfterMs, 1);
    tuner.restore(3);
    EXPECT_EQ(sysfs.timer(tty), 4);
    EXPECT_FALSE(kernel.serial.flags & ASYNC_LOW_LATENCY);
}

TEST(LowLatency, WhatStaysAbove1MsIsNamedWithItsCostInEachLanguage) {
    FakeSysfs sysfs;
    const QString tty = QStringLiteral("ttyUSB0");
    sysfs.addUsbSerial(tty, QStringLiteral("ftdi_sio"), 16);
    FakeSerialKernel kernel(sysfs, tty);
    kernel.setSerialError = EPERM;
    kernel.attributeError = EACCES;
    pb::PortTuner tuner(Wish(sysfs, kernel));
    ASSERT_TRUE(tuner.apply(3, tty));  // not having low latency never stops the open
    const pb::LowLatency l = tuner.lowLatency();
    EXPECT_TRUE(l.staysAbove1Ms());
    EXPECT_EQ(l.note, Note::NoPermission);
    EXPECT_EQ(l.timerAfterMs, 16);
    EXPECT_EQ(pb::ToJson(l).value(QStringLiteral("lowLatencyNote")).toString(), QStringLiteral("no-permission"));
    for (int language = 0; language < pb::kLanguageCount; ++language) {
        const QString note = pb::LowLatencyNote(tty, l, language);
        EXPECT_TRUE(note.contains(tty) && note.contains(QStringLiteral("16")) && note.contains(QStringLiteral("1.5")))
            << note.toStdString();
    }
    EXPECT_TRUE(pb::LowLatencyNote(tty, l, 0).contains(QStringLiteral("no permission")));
    tuner.restore(3);
    EXPECT_EQ(sysfs.timer(tty), 16);

    // A driver without a timer that refuses the flag: named by its driver.
    FakeSysfs other;
    const QString cp = QStringLiteral("ttyUSB1");
    other.addUsbSerial(cp, QStringLiteral("cp210x"), std::nullopt);
    FakeSerialKernel cpKernel(other, cp);
    cpKernel.setSerialError = ENOTTY;
    pb::PortTuner cpTuner(Wish(other, cpKernel));
    ASSERT_TRUE(cpTuner.apply(3, cp));
    EXPECT_EQ(cpTuner.lowLatency().note, Note::NotSupported);
    EXPECT_TRUE(pb::LowLatencyNote(cp, cpTuner.lowLatency(), 0).contains(QStringLiteral("cp210x")));
    // ... and one that takes it: nothing to say.
    cpKernel.setSerialError = 0;
    ASSERT_TRUE(cpTuner.apply(3, cp));
    EXPECT_TRUE(cpTuner.lowLatency().on());
    EXPECT_TRUE(pb::LowLatencyNote(cp, cpTuner.lowLatency(), 0).isEmpty());
}

TEST(LowLatency, LeftAloneWhenNotWantedOrNoAdapter) {
    FakeSysfs sysfs;
    sysfs.addUsbSerial(QStringLiteral("ttyUSB0"), QStringLiteral("ftdi_sio"), 16);
    sysfs.addBuiltIn(QStringLiteral("ttyS0"));
    FakeSerialKernel kernel(sysfs, QStringLiteral("ttyUSB0"));
    pb::PortTuner off(Wish(sysfs, kernel, /*lowLatency=*/false));
    ASSERT_TRUE(off.apply(3, QStringLiteral("ttyUSB0")));
    pb::PortTuner uart(Wish(sysfs, kernel));
    ASSERT_TRUE(uart.apply(3, QStringLiteral("ttyS0")));
    off.restore(3);
    uart.restore(3);
    EXPECT_EQ(kernel.calls, 0);
    EXPECT_FALSE(off.lowLatency().asked);
    EXPECT_FALSE(uart.lowLatency().asked);
    EXPECT_TRUE(pb::ToJson(uart.lowLatency()).isEmpty());
    EXPECT_EQ(sysfs.timer(QStringLiteral("ttyUSB0")), 16);
}

TEST(Rs485, SetOnOpenWithRtsOnSendAndPutBackOnClose) {
    FakeSysfs sysfs;
    const QString tty = QStringLiteral("ttyUSB0");
    sysfs.addUsbSerial(tty, QStringLiteral("ftdi_sio"), 16);
    FakeSerialKernel kernel(sysfs, tty);
    kernel.rs485.flags = SER_RS485_RTS_AFTER_SEND;
    kernel.rs485.delay_rts_before_send = 2;
    pb::PortTuner tuner(Wish(sysfs, kernel, true, /*rs485=*/true));
    ASSERT_TRUE(tuner.apply(3, tty));
    EXPECT_TRUE(tuner.rs485().set);
    EXPECT_EQ(kernel.rs485.flags, quint32(SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND));
    EXPECT_EQ(kernel.rs485.delay_rts_before_send, 2u);
    tuner.restore(3);
    EXPECT_EQ(kernel.rs485.flags, quint32(SER_RS485_RTS_AFTER_SEND));

    // A port without the mode: refused, and low latency is put back at once.
    kernel.rs485Error = ENOTTY;
    EXPECT_FALSE(tuner.apply(3, tty));
    EXPECT_EQ(tuner.rs485().error, ENOTTY);
    EXPECT_EQ(sysfs.timer(tty), 16);
    EXPECT_FALSE(kernel.serial.flags & ASYNC_LOW_LATENCY);
}

// A pseudo-terminal with the real kernel: no adapter, so nothing asked and nothing said;
// RS-485 asked of it is refused by name, and the port is free again after.
TEST(PortTuningOnAPty, NothingAskedForLowLatencyAndRs485RefusedByName) {
    pbtest::PtyPeer peer;
    ASSERT_TRUE(peer.isOpen());
    pb::Link link;
    pb::LinkSettings settings;
    settings.portName = peer.slavePath();
    const pb::OpenResult opened = link.OpenLink(settings);
    ASSERT_TRUE(opened) << opened.detail.toStdString();
    EXPECT_FALSE(opened.lowLatency.asked);
    EXPECT_FALSE(opened.rs485);
    EXPECT_FALSE(link.lowLatency().asked);
    link.CloseLink();

    settings.rs485 = true;
    const pb::OpenResult refused = link.OpenLink(settings);
    EXPECT_EQ(refused.error, pb::OpenError::NoRs485);
    EXPECT_EQ(refused.failure.reason, pb::OpenError::NoRs485);
    EXPECT_EQ(pb::ReasonName(refused.failure.reason), QStringLiteral("no-rs485"));
    EXPECT_FALSE(link.isOpen());
    for (int language = 0; language < pb::kLanguageCount; ++language) {
        const QString lines = pb::OpenFailedStatusLines(refused.failure, language);
        EXPECT_TRUE(lines.contains(QStringLiteral("RS-485")) && lines.contains(peer.slavePath()))
            << lines.toStdString();
    }
    settings.rs485 = false;
    EXPECT_TRUE(link.OpenLink(settings)) << "the refused open left the port held";
    link.CloseLink();
    QCoreApplication::processEvents();
}

// The serial open path itself, over a pty that the stand-in's sysfs calls an FTDI adapter.
TEST(PortTuningOnAPty, TheSerialOpenAsksTheAdapterAndPutsItBackOnClose) {
    pbtest::PtyPeer peer;
    ASSERT_TRUE(peer.isOpen());
    const QString tty = pb::TtyName(peer.slavePath());
    FakeSysfs sysfs;
    sysfs.addUsbSerial(tty, QStringLiteral("ftdi_sio"), 16);
    FakeSerialKernel kernel(sysfs, tty);
    auto transport = std::make_unique<pb::SerialTransport>(peer.slavePath(), QStringLiteral("19200,n,8,1"));
    transport->setTuning(Wish(sysfs, kernel, true, true));
    pb::Link link;
    const pb::OpenResult opened = link.OpenLink(std::move(transport));
    ASSERT_TRUE(opened) << opened.detail.toStdString();
    EXPECT_TRUE(opened.lowLatency.on());
    EXPECT_TRUE(opened.rs485);
    EXPECT_EQ(sysfs.timer(tty), 1);
    EXPECT_TRUE(kernel.rs485.flags & SER_RS485_ENABLED);
    link.CloseLink();
    EXPECT_EQ(sysfs.timer(tty), 16);
    EXPECT_FALSE(kernel.rs485.flags & SER_RS485_ENABLED);
    EXPECT_EQ(link.lowLatency().timerAfterMs, 1);  // kept with the link after its close
    QCoreApplication::processEvents();
}

// The harness's pty as an FTDI adapter at 16 ms that refuses low latency: no permission.
struct SlowAdapter {
    explicit SlowAdapter(const QString& portName) : tty(pb::TtyName(portName)), kernel(MadeSysfs(sysfs, tty), tty) {
        kernel.setSerialError = EPERM;
        kernel.attributeError = EACCES;
    }
    static FakeSysfs& MadeSysfs(FakeSysfs& sysfs, const QString& tty) {
        sysfs.addUsbSerial(tty, QStringLiteral("ftdi_sio"), 16);
        return sysfs;
    }
    QString tty;
    FakeSysfs sysfs;
    FakeSerialKernel kernel;
};

// A run on an adapter that stays at 16 ms: the run keeps what the port got, the view is
// told why and what it costs; with the setting off the adapter is left alone, nothing said.
TEST(PortTuningInARun, TheRunKeepsTheAdapterFactsAndTheViewHearsTheNote) {
    pbtest::SimHarness h(sim::Model::Kv410, QStringLiteral("0001"), pbtest::Wire::Pty);
    ASSERT_TRUE(h.serving());
    SlowAdapter slow(h.view.settings.portName);
    FakeSerialKernel& kernel = slow.kernel;
    FakeSysfs& sysfs = slow.sysfs;
    h.link.setPortKernel(&kernel, sysfs.root());
    h.view.id = "0001";

    EXPECT_EQ(pb::ConnectAndIdentify(h.ctx), pb::Outcome::Ok);
    const QJsonObject link = h.runs.last().detail.value(QStringLiteral("link")).toObject();
    EXPECT_EQ(link.value(QStringLiteral("adapterDriver")).toString(), QStringLiteral("ftdi_sio"));
    EXPECT_EQ(link.value(QStringLiteral("latencyTimerMs")).toInt(), 16);
    EXPECT_FALSE(link.value(QStringLiteral("lowLatency")).toBool());
    EXPECT_EQ(link.value(QStringLiteral("lowLatencyNote")).toString(), QStringLiteral("no-permission"));
    ASSERT_EQ(h.view.linkNotes.size(), 1);
    EXPECT_TRUE(h.view.linkNotes.first().startsWith(h.view.settings.portName + u'|'));
    EXPECT_TRUE(h.view.linkNotes.first().contains(QStringLiteral("16 ms")));

    h.view.settings.lowLatency = false;
    const int calls = kernel.calls;
    EXPECT_EQ(pb::ConnectAndIdentify(h.ctx), pb::Outcome::Ok);
    EXPECT_EQ(kernel.calls, calls);
    EXPECT_FALSE(h.runs.last().detail.contains(QStringLiteral("link")));
    EXPECT_EQ(h.view.linkNotes.size(), 1);
    QCoreApplication::processEvents();
}

// A recipe run tells its observer the same note (the command line's warning), at each
// open that finds the adapter slow: a recipe of two steps opens twice.
TEST(PortTuningInARun, ARecipeRunTellsItsObserverOfASlowAdapter) {
    pbtest::SimHarness h(sim::Model::Kv410, QStringLiteral("0001"), pbtest::Wire::Pty);
    ASSERT_TRUE(h.serving());
    SlowAdapter slow(h.view.settings.portName);
    FakeSerialKernel& kernel = slow.kernel;
    FakeSysfs& sysfs = slow.sysfs;
    struct Notes : pb::RecipeRunObserver {
        QStringList texts;
        void linkNote(const QString& text) override { texts << text; }
    } notes;

    const pb::RecipeLoad load = pb::loadRecipe(
        R"({"schema": 1, "product": "P", "steps": [{"kind": "identify"}, {"kind": "set-date"}]})");
    ASSERT_TRUE(load.recipe);
    pb::RecordingClock clock;
    pb::Cancel cancel;
    pb::RecipeRunner runner(*load.recipe, clock, cancel);
    runner.link().setPortKernel(&kernel, sysfs.root());
    runner.setObserver(&notes);
    const pb::RecipeRunResult r = runner.run({h.view.settings, QStringLiteral("0001"), {}});
    EXPECT_TRUE(r.verdict.passed);
    ASSERT_GE(notes.texts.size(), 2);
    EXPECT_TRUE(notes.texts.first().contains(QStringLiteral("16 ms"))) << notes.texts.first().toStdString();

    notes.texts.clear();
    h.view.settings.lowLatency = false;
    EXPECT_TRUE(runner.run({h.view.settings, QStringLiteral("0001"), {}}).verdict.passed);
    EXPECT_TRUE(notes.texts.isEmpty());
    QCoreApplication::processEvents();
}

}  // namespace
