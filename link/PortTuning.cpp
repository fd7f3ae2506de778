#include "link/PortTuning.h"

#include <sys/ioctl.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace pb {
namespace {

class RealKernel final : public SerialKernel {
public:
    int getSerial(int fd, serial_struct& info) override { return call(fd, TIOCGSERIAL, &info); }
    int setSerial(int fd, const serial_struct& info) override {
        serial_struct copy = info;
        return call(fd, TIOCSSERIAL, &copy);
    }
    int getRs485(int fd, serial_rs485& mode) override { return call(fd, TIOCGRS485, &mode); }
    int setRs485(int fd, const serial_rs485& mode) override {
        serial_rs485 copy = mode;
        return call(fd, TIOCSRS485, &copy);
    }

private:
    static int call(int fd, unsigned long request, void* argument) {
        return ::ioctl(fd, request, argument) == 0 ? 0 : errno;
    }
};

bool Refusal(int error) { return error == EPERM || error == EACCES; }
// What a driver answers for an ioctl it does not implement.
bool Unsupported(int error) { return error == ENOTTY || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

QString SystemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString TimerFile(const QString& ttyName, const QString& sysRoot) {
    return sysRoot + QStringLiteral("/bus/usb-serial/devices/") + ttyName + QStringLiteral("/latency_timer");
}

// The driver's latency timer in ms; -1 when it has none.
int ReadTimerMs(const QString& ttyName, const QString& sysRoot) {
    QFile timer(TimerFile(ttyName, sysRoot));
    if (!timer.open(QIODevice::ReadOnly)) return -1;
    bool number = false;
    const int ms = timer.readAll().trimmed().toInt(&number);
    return number ? ms : -1;
}

}  // namespace

SerialKernel& SystemSerialKernel() {
    static RealKernel kernel;
    return kernel;
}

QString TtyName(const QString& devicePath) {
    const QFileInfo info(devicePath);
    const QString real = info.canonicalFilePath();
    return QFileInfo(real.isEmpty() ? devicePath : real).fileName();
}

AdapterFacts ReadAdapterFacts(const QString& ttyName, const QString& sysRoot) {
    AdapterFacts facts;
    if (ttyName.isEmpty() || ttyName.contains(u'/')) return facts;
    // /sys/class/tty/ttyUSB0/device is the usb-serial port; its driver lives on that bus.
    const QString driver =
        QFileInfo(sysRoot + QStringLiteral("/class/tty/") + ttyName + QStringLiteral("/device/driver"))
            .canonicalFilePath();
    const QString drivers = QFileInfo(sysRoot + QStringLiteral("/bus/usb-serial/drivers")).canonicalFilePath();
    if (driver.isEmpty() || drivers.isEmpty() || !driver.startsWith(drivers + u'/')) return facts;
    facts.usbSerial = true;
    facts.driver = QFileInfo(driver).fileName();
    facts.latencyTimerMs = ReadTimerMs(ttyName, sysRoot);
    if (facts.latencyTimerMs >= 0) facts.timerWritable = QFileInfo(TimerFile(ttyName, sysRoot)).isWritable();
    return facts;
}

int SerialKernel::writeAttribute(const QString& path, const QByteArray& text) {
    FILE* f = std::fopen(QFile::encodeName(path).constData(), "w");
    if (!f) return errno;
    const bool written = std::fwrite(text.constData(), 1, size_t(text.size()), f) == size_t(text.size());
    const int error = errno;
    if (std::fclose(f) != 0) return errno ? errno : EIO;
    return written ? 0 : (error ? error : EIO);
}

int PortTuner::writeTimer(int ms) {
    return kernel().writeAttribute(TimerFile(ttyName_, wish_.sysRoot), QByteArray::number(ms) + '\n');
}

QString LowLatencyNoteName(LowLatency::Note note) {
    switch (note) {
        case LowLatency::Note::None: return {};
        case LowLatency::Note::NoPermission: return QStringLiteral("no-permission");
        case LowLatency::Note::NotSupported: return QStringLiteral("not-supported");
        case LowLatency::Note::Failed: return QStringLiteral("failed");
    }
    return {};
}

QJsonObject ToJson(const LowLatency& l) {
    if (!l.asked) return {};
    QJsonObject o{{QStringLiteral("adapterDriver"), l.driver}, {QStringLiteral("lowLatency"), l.on()}};
    if (l.timerAfterMs >= 0) o.insert(QStringLiteral("latencyTimerMs"), l.timerAfterMs);
    if (l.timerBeforeMs >= 0) o.insert(QStringLiteral("latencyTimerBeforeMs"), l.timerBeforeMs);
    if (l.note != LowLatency::Note::None) o.insert(QStringLiteral("lowLatencyNote"), LowLatencyNoteName(l.note));
    return o;
}

void PortTuner::askLowLatency(int fd) {
    const AdapterFacts facts = ReadAdapterFacts(ttyName_, wish_.sysRoot);
    if (!facts.usbSerial) return;
    LowLatency& l = lowLatency_;
    l.asked = true;
    l.driver = facts.driver;
    l.timerBeforeMs = l.timerAfterMs = facts.latencyTimerMs;
    auto note = [&](int error) {
        if (l.note != LowLatency::Note::None) return;
        l.note = Refusal(error) ? LowLatency::Note::NoPermission
                 : Unsupported(error) ? LowLatency::Note::NotSupported
                                      : LowLatency::Note::Failed;
        l.detail = SystemText(error);
    };

    serial_struct info{};
    if (const int error = kernel().getSerial(fd, info); error != 0) {
        note(error);
    } else {
        l.flagBefore = l.flagAfter = (info.flags & ASYNC_LOW_LATENCY) != 0;
        if (!l.flagBefore) {
            info.flags |= ASYNC_LOW_LATENCY;
            if (const int set = kernel().setSerial(fd, info); set != 0) {
                note(set);
            } else {
                flagChanged_ = true;
                serial_struct after{};
                if (kernel().getSerial(fd, after) == 0) l.flagAfter = (after.flags & ASYNC_LOW_LATENCY) != 0;
            }
        }
    }
    // ftdi_sio turns the flag into a 1 ms timer; a driver that did not is asked directly.
    l.timerAfterMs = ReadTimerMs(ttyName_, wish_.sysRoot);
    if (l.timerAfterMs > 1) {
        if (const int error = writeTimer(1); error != 0) {
            note(error);
        } else {
            timerChanged_ = true;
            l.timerAfterMs = ReadTimerMs(ttyName_, wish_.sysRoot);
        }
    }
    // Neither the flag nor a timer: the driver keeps its own ways.
    if (l.staysAbove1Ms() && l.note == LowLatency::Note::None) l.note = LowLatency::Note::NotSupported;
    if (!l.staysAbove1Ms()) {
        l.note = LowLatency::Note::None;
        l.detail.clear();
    }
}

bool PortTuner::apply(int fd, const QString& ttyName) {
    ttyName_ = ttyName;
    lowLatency_ = {};
    rs485_ = {};
    flagChanged_ = timerChanged_ = rs485Changed_ = false;
    if (wish_.lowLatency) askLowLatency(fd);
    if (!wish_.rs485) return true;

    rs485_.asked = true;
    serial_rs485 mode{};
    int error = kernel().getRs485(fd, mode);
    if (error == 0) {
        rs485Before_ = mode;
        mode.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        mode.flags &= ~quint32(SER_RS485_RTS_AFTER_SEND);
        error = kernel().setRs485(fd, mode);
    }
    if (error != 0) {
        rs485_.error = error;
        restore(fd);
        return false;
    }
    rs485Changed_ = true;
    rs485_.set = true;
    return true;
}

void PortTuner::restore(int fd) {
    if (rs485Changed_) kernel().setRs485(fd, rs485Before_);
    if (flagChanged_) {
        serial_struct info{};
        if (kernel().getSerial(fd, info) == 0) {
            info.flags &= ~ASYNC_LOW_LATENCY;
            kernel().setSerial(fd, info);
        }
    }
    // The timer after the flag: ftdi_sio sets a timer of its own when the flag goes.
    if ((timerChanged_ || flagChanged_) && lowLatency_.timerBeforeMs >= 0 &&
        ReadTimerMs(ttyName_, wish_.sysRoot) != lowLatency_.timerBeforeMs)
        writeTimer(lowLatency_.timerBeforeMs);
    rs485Changed_ = timerChanged_ = flagChanged_ = false;
}

}  // namespace pb
