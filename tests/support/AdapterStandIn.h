#pragma once
// A stand-in for a USB-serial adapter's kernel side: a sysfs tree in a temporary folder
// (the port's device, its driver on the usb-serial bus, a latency timer file) and the
// serial ioctls kept in memory. Like ftdi_sio, setting the low-latency flag sets the
// timer to 1 ms and clearing it sets 16 ms. No real device is touched.

#include <errno.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

#include "link/PortTuning.h"

namespace pbtest {

class FakeSysfs {
public:
    QString root() const { return dir_.path(); }

    // A port on the usb-serial bus with this driver; a timer file when `timerMs` is set.
    void addUsbSerial(const QString& tty, const QString& driver, std::optional<int> timerMs) {
        const QString device = root() + QStringLiteral("/devices/pci0000:00/usb1/1-2/1-2:1.0/") + tty;
        QDir().mkpath(device);
        const QString drivers = root() + QStringLiteral("/bus/usb-serial/drivers/") + driver;
        QDir().mkpath(drivers);
        QFile::link(drivers, device + QStringLiteral("/driver"));
        QDir().mkpath(root() + QStringLiteral("/class/tty/") + tty);
        QFile::link(device, root() + QStringLiteral("/class/tty/") + tty + QStringLiteral("/device"));
        QDir().mkpath(root() + QStringLiteral("/bus/usb-serial/devices"));
        QFile::link(device, root() + QStringLiteral("/bus/usb-serial/devices/") + tty);
        if (timerMs) setTimer(tty, *timerMs);
    }
    // A built-in UART: a platform device, no usb-serial driver.
    void addBuiltIn(const QString& tty) {
        const QString device = root() + QStringLiteral("/devices/platform/serial8250/tty/") + tty;
        QDir().mkpath(device);
        const QString driver = root() + QStringLiteral("/bus/platform/drivers/serial8250");
        QDir().mkpath(driver);
        QFile::link(driver, device + QStringLiteral("/driver"));
        QDir().mkpath(root() + QStringLiteral("/class/tty/") + tty);
        QFile::link(device, root() + QStringLiteral("/class/tty/") + tty + QStringLiteral("/device"));
        QDir().mkpath(root() + QStringLiteral("/bus/usb-serial/drivers"));
    }
    QString timerPath(const QString& tty) const {
        return root() + QStringLiteral("/bus/usb-serial/devices/") + tty + QStringLiteral("/latency_timer");
    }
    void setTimer(const QString& tty, int ms) {
        QFile f(timerPath(tty));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(QByteArray::number(ms) + '\n');
    }
    int timer(const QString& tty) const {
        QFile f(timerPath(tty));
        return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toInt() : -1;
    }

private:
    QTemporaryDir dir_;
};

class FakeSerialKernel : public pb::SerialKernel {
public:
    FakeSerialKernel(FakeSysfs& sysfs, QString tty) : sysfs_(sysfs), tty_(std::move(tty)) {}

    int getSerial(int, serial_struct& info) override {
        ++calls;
        if (getSerialError) return getSerialError;
        info = serial;
        return 0;
    }
    int setSerial(int, const serial_struct& info) override {
        ++calls;
        if (setSerialError) return setSerialError;
        const bool was = serial.flags & ASYNC_LOW_LATENCY;
        serial = info;
        const bool now = serial.flags & ASYNC_LOW_LATENCY;
        if (ftdiTimer && was != now) sysfs_.setTimer(tty_, now ? 1 : 16);
        return 0;
    }
    int getRs485(int, serial_rs485& mode) override {
        ++calls;
        if (rs485Error) return rs485Error;
        mode = rs485;
        return 0;
    }
    int setRs485(int, const serial_rs485& mode) override {
        ++calls;
        if (rs485Error) return rs485Error;
        rs485 = mode;
        ++rs485Sets;
        return 0;
    }
    int writeAttribute(const QString& path, const QByteArray& text) override {
        ++calls;
        if (attributeError) return attributeError;
        return pb::SerialKernel::writeAttribute(path, text);
    }

    serial_struct serial{};
    serial_rs485 rs485{};
    int getSerialError = 0, setSerialError = 0, rs485Error = 0, attributeError = 0;
    bool ftdiTimer = true;  // the flag moves the timer, as ftdi_sio does
    int calls = 0;
    int rs485Sets = 0;

private:
    FakeSysfs& sysfs_;
    QString tty_;
};

}  // namespace pbtest
