// The adapter behind a port name: found again under another name after a replug, with
// a fake port list; the port list follows adapters coming and going.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/PortAdapter.h"
#include "app/PortComboBox.h"
#include "app/PortWatcher.h"
#include "app/TfrmModule.h"
#include "i18n/LinkFailureTexts.h"

namespace {

pb::PortFacts Ftdi(const QString& name, const QString& serial) {
    pb::PortFacts port{name, QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"), quint16(0x0403),
                       quint16(0x6001), serial};
    port.byIdName = QStringLiteral("usb-FTDI_FT232R_USB_UART_%1-if00-port0").arg(serial);
    return port;
}

// A cheap adapter without a serial number: known by the USB socket it sits in.
pb::PortFacts Ch340(const QString& name, const QString& socket) {
    pb::PortFacts port{name, QStringLiteral("USB Serial"), {}, quint16(0x1a86), quint16(0x7523), {}};
    port.byPathName = QStringLiteral("pci-0000:00:14.0-usb-0:%1:1.0-port0").arg(socket);
    return port;
}

pb::PortFacts BuiltIn(const QString& name) { return {name, {}, {}, {}, {}, {}}; }

}  // namespace

TEST(AdapterIdentity, SerialNumberOrVendorProductAndSocket) {
    EXPECT_EQ(pb::AdapterId(Ftdi("ttyUSB0", "A50285BI")), "usb:0403:6001:sn=A50285BI");
    EXPECT_EQ(pb::AdapterId(Ch340("ttyUSB0", "2")), "usb:1a86:7523:at=pci-0000:00:14.0-usb-0:2:1.0-port0");
    EXPECT_EQ(pb::AdapterId(BuiltIn("ttyS0")), "");
    EXPECT_EQ(pb::PortLabel(Ftdi("ttyUSB0", "A5")), "ttyUSB0  FT232R USB UART  usb-FTDI_FT232R_USB_UART_A5-if00-port0");
    EXPECT_EQ(pb::PortLabel(BuiltIn("ttyS0")), "ttyS0");
}

TEST(AdapterMatching, FindsTheSameAdapterUnderItsNewName) {
    const QString mine = pb::AdapterId(Ftdi("ttyUSB0", "MINE"));
    // Replugged: ttyUSB0 became ttyUSB1.
    EXPECT_EQ(pb::FindMovedAdapter({BuiltIn("ttyS0"), Ftdi("ttyUSB1", "MINE")}, "ttyUSB0", mine), "ttyUSB1");
    // The stored name may be a path.
    EXPECT_EQ(pb::FindMovedAdapter({Ftdi("ttyUSB1", "MINE")}, "/dev/ttyUSB0", mine), "ttyUSB1");
    // Swapped: another adapter took ttyUSB0, mine is ttyUSB1.
    EXPECT_EQ(pb::FindMovedAdapter({Ftdi("ttyUSB0", "OTHER"), Ftdi("ttyUSB1", "MINE")}, "ttyUSB0", mine),
              "ttyUSB1");
    // Without a serial number, by the socket.
    const QString socket2 = pb::AdapterId(Ch340("ttyUSB0", "2"));
    EXPECT_EQ(pb::FindMovedAdapter({Ch340("ttyUSB0", "1"), Ch340("ttyUSB1", "2")}, "ttyUSB0", socket2),
              "ttyUSB1");
}

TEST(AdapterMatching, KeepsTheNameWhenNothingSureMoved) {
    const QString mine = pb::AdapterId(Ftdi("ttyUSB0", "MINE"));
    EXPECT_FALSE(pb::FindMovedAdapter({Ftdi("ttyUSB0", "MINE")}, "ttyUSB0", mine)) << "still where it was";
    EXPECT_FALSE(pb::FindMovedAdapter({Ftdi("ttyUSB1", "OTHER")}, "ttyUSB0", mine)) << "not plugged in";
    EXPECT_FALSE(pb::FindMovedAdapter({Ftdi("ttyUSB1", "MINE"), Ftdi("ttyUSB2", "MINE")}, "ttyUSB0", mine))
        << "two adapters with one serial number: no guess";
    EXPECT_FALSE(pb::FindMovedAdapter({Ftdi("ttyUSB1", "MINE")}, "ttyUSB0", "")) << "no adapter stored";
    EXPECT_EQ(pb::AdapterIdOf({BuiltIn("ttyS0"), Ftdi("ttyUSB1", "MINE")}, "/dev/ttyUSB1"), mine);
    EXPECT_EQ(pb::AdapterIdOf({BuiltIn("ttyS0")}, "ttyUSB1"), "");
}

// The list follows a fake system: a change in a watched folder lists the ports again.
class FollowedList : public ::testing::Test {
protected:
    void SetUp() override {
        combo.followPorts([this] { return ports; }, {dev.path()});
        combo.setPorts(pb::PortListFrom(ports), QStringLiteral("ttyUSB0"));
    }
    void changeDevices(const QList<pb::PortFacts>& now) {
        ports = now;
        QFile node(dev.filePath(QStringLiteral("node%1").arg(++nodes)));
        ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    }
    QStringList items() const {
        QStringList names;
        for (int i = 0; i < combo.count(); ++i) names << combo.itemText(i);
        return names;
    }

    QTemporaryDir dev;
    int nodes = 0;
    QList<pb::PortFacts> ports{BuiltIn("ttyS0"), Ftdi("ttyUSB0", "MINE")};
    pb::PortComboBox combo;
};

TEST_F(FollowedList, AdapterBackUnderAnotherNameIsChosenAndNamed) {
    combo.setAdapter(pb::AdapterId(Ftdi("ttyUSB0", "MINE")), QStringLiteral("ttyUSB0"));
    QSignalSpy moved(&combo, &pb::PortComboBox::adapterMoved);
    changeDevices({BuiltIn("ttyS0")});  // pulled
    changeDevices({BuiltIn("ttyS0"), Ftdi("ttyUSB1", "MINE")});  // back as ttyUSB1
    ASSERT_TRUE(moved.wait(10000));
    EXPECT_EQ(moved.first(), (QVariantList{"ttyUSB0", "ttyUSB1"}));
    EXPECT_EQ(combo.currentText(), "ttyUSB1");
    EXPECT_EQ(items(), (QStringList{"ttyS0", "ttyUSB1"}));
    EXPECT_EQ(combo.adapterOf("ttyUSB1"), combo.adapter());
}

TEST_F(FollowedList, NewAdapterIsListedAndTheTypedTextStays) {
    // The user chose another port: the stored adapter, back under a new name, does not
    // take the text over.
    combo.setAdapter(pb::AdapterId(Ftdi("ttyUSB0", "MINE")), QStringLiteral("ttyUSB0"));
    combo.setEditText(QStringLiteral("/dev/pts/9"));
    changeDevices({BuiltIn("ttyS0"), Ftdi("ttyUSB2", "MINE"), Ftdi("ttyUSB1", "NEW")});
    QDeadlineTimer deadline(10000);
    while (combo.count() != 3 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.currentText(), "/dev/pts/9");
    // The drop-down shows each port's description and by-id name; choosing types the name.
    QStyleOptionViewItem option;
    option.initFrom(combo.view());
    const QString label = pb::PortLabel(Ftdi("ttyUSB2", "MINE"));
    const int shownWidth = combo.view()->itemDelegate()->sizeHint(option, combo.model()->index(2, 0)).width();
    EXPECT_GE(shownWidth, option.fontMetrics.horizontalAdvance(label));
    if (const QString dir = qEnvironmentVariable("PANELBENCH_SCREENSHOT_DIR"); !dir.isEmpty()) {
        combo.show();
        combo.showPopup();
        QDir().mkpath(dir);
        combo.view()->window()->grab().save(QDir(dir).filePath(QStringLiteral("port-list.png")));
        combo.hidePopup();
    }
    combo.setCurrentIndex(2);
    EXPECT_EQ(combo.currentText(), "ttyUSB2");
}

TEST_F(FollowedList, WaitsWhileTheWindowIsBusy) {
    combo.setAdapter(pb::AdapterId(Ftdi("ttyUSB0", "MINE")), QStringLiteral("ttyUSB0"));
    QSignalSpy moved(&combo, &pb::PortComboBox::adapterMoved);
    combo.setEnabled(false);  // a test runs
    changeDevices({Ftdi("ttyUSB3", "MINE")});
    EXPECT_FALSE(moved.wait(pb::PortWatcher::kSettleMs * 3));
    EXPECT_EQ(combo.currentText(), "ttyUSB0");
    combo.setEnabled(true);
    ASSERT_TRUE(moved.wait(10000));
    EXPECT_EQ(combo.currentText(), "ttyUSB3");
}

TEST(WindowPortList, SaysInTheStatusLineThatTheAdapterCameBackUnderAnotherName) {
    TfrmModule window;
    window.show();
    window.mnuSimplifiedClick();
    QTemporaryDir dev;
    const QList<pb::PortFacts> ports{BuiltIn("ttyS0"), Ftdi("ttyUSB1", "MINE")};
    pb::PortComboBox& combo = *window.ui().cmbPort;
    combo.setEditText(QStringLiteral("ttyUSB0"));
    combo.setAdapter(pb::AdapterId(Ftdi("ttyUSB0", "MINE")), QStringLiteral("ttyUSB0"));
    QSignalSpy moved(&combo, &pb::PortComboBox::adapterMoved);
    combo.followPorts([&] { return ports; }, {dev.path()});
    ASSERT_TRUE(moved.wait(10000));
    EXPECT_EQ(window.ui().pnMsg->text(), pb::AdapterMovedText("ttyUSB0", "ttyUSB1", 1));
    EXPECT_EQ(window.shownLinkSettings().portName, "ttyUSB1");
}
