#pragma once
// What opening a serial port asks of the kernel beyond its speed, and puts back on close:
// low latency on a USB-serial adapter (the flag ASYNC_LOW_LATENCY, and where the driver
// has a writable latency timer, 1 ms) and the two-wire RS-485 mode (RTS raised while
// sending). The ioctls go through SerialKernel and sysfs is read under a root folder, so
// tests use a stand-in for both; a pty or a built-in UART is no adapter and is left alone.

#include <linux/serial.h>

#include <QJsonObject>
#include <QString>

namespace pb {

// The kernel's serial ioctls on an open port, and the writes to sysfs. Each returns 0,
// or the errno.
class SerialKernel {
public:
    virtual ~SerialKernel() = default;
    virtual int getSerial(int fd, serial_struct& info) = 0;       // TIOCGSERIAL
    virtual int setSerial(int fd, const serial_struct& info) = 0; // TIOCSSERIAL
    virtual int getRs485(int fd, serial_rs485& mode) = 0;         // TIOCGRS485
    virtual int setRs485(int fd, const serial_rs485& mode) = 0;   // TIOCSRS485
    // Writes an attribute file of sysfs ("1\n" to a latency_timer).
    virtual int writeAttribute(const QString& path, const QByteArray& text);
};

// The real ioctls.
SerialKernel& SystemSerialKernel();

// The name sysfs knows a port by: the last part of its device path with links followed
// ("/dev/serial/by-id/usb-FTDI...-port0" and "/dev/ttyUSB0": "ttyUSB0").
QString TtyName(const QString& devicePath);

// What sysfs says of a port without opening it.
struct AdapterFacts {
    bool usbSerial = false;   // its device is bound to a usb-serial driver
    QString driver;           // "ftdi_sio", "cp210x", ...; empty when no adapter
    int latencyTimerMs = -1;  // the driver's latency timer; -1: the driver has none
    bool timerWritable = false;
};
AdapterFacts ReadAdapterFacts(const QString& ttyName, const QString& sysRoot = QStringLiteral("/sys"));

// What asking for low latency got, kept with the link from its open.
struct LowLatency {
    // Why low latency is not on: NoPermission (the kernel or the timer's file refused),
    // NotSupported (the driver takes neither the flag nor a timer of 1 ms), Failed (the
    // system said something else; detail has its words).
    enum class Note { None, NoPermission, NotSupported, Failed };

    bool asked = false;  // a USB-serial adapter, with low latency wanted
    QString driver;
    bool flagBefore = false;
    bool flagAfter = false;
    int timerBeforeMs = -1;  // -1: the driver has no latency timer
    int timerAfterMs = -1;
    Note note = Note::None;
    QString detail;

    // Asked for, and replies may still wait longer than 1 ms in the adapter.
    bool staysAbove1Ms() const {
        if (!asked) return false;
        if (timerAfterMs >= 0) return timerAfterMs > 1;
        return !flagAfter;
    }
    // The low-latency flag is on, and a timer, where there is one, is at 1 ms.
    bool on() const { return asked && !staysAbove1Ms(); }
};

// "no-permission", "not-supported", "failed"; empty for None.
QString LowLatencyNoteName(LowLatency::Note note);
// {"adapterDriver", "lowLatency", "latencyTimerMs", "latencyTimerBeforeMs", "lowLatencyNote"},
// for the records and the command line; empty when nothing was asked.
QJsonObject ToJson(const LowLatency& lowLatency);

// The RS-485 mode asked on open: whether it was asked, and set.
struct Rs485 {
    bool asked = false;
    bool set = false;
    int error = 0;  // the errno the kernel answered when it was not set
};

// What opening a serial port wanted of it beyond the speed.
struct PortTuningWish {
    bool lowLatency = true;
    bool rs485 = false;
    SerialKernel* kernel = nullptr;  // null: the system's
    QString sysRoot = QStringLiteral("/sys");
};

// Asks for both on an open port and puts back what it changed.
class PortTuner {
public:
    explicit PortTuner(PortTuningWish wish = {}) : wish_(std::move(wish)) {}
    void setWish(PortTuningWish wish) { wish_ = std::move(wish); }

    // Low latency first (only on a USB-serial adapter), then RS-485 (on any serial port).
    // False when RS-485 was wanted and the port would not take it: low latency is put
    // back then, and rs485().error says why.
    bool apply(int fd, const QString& ttyName);
    // Puts back what apply() changed, while the port is still open.
    void restore(int fd);

    const LowLatency& lowLatency() const { return lowLatency_; }
    const Rs485& rs485() const { return rs485_; }

private:
    SerialKernel& kernel() const { return wish_.kernel ? *wish_.kernel : SystemSerialKernel(); }
    void askLowLatency(int fd);
    int writeTimer(int ms);

    PortTuningWish wish_;
    QString ttyName_;
    LowLatency lowLatency_;
    Rs485 rs485_;
    bool flagChanged_ = false;
    bool timerChanged_ = false;
    serial_rs485 rs485Before_{};
    bool rs485Changed_ = false;
};

}  // namespace pb
