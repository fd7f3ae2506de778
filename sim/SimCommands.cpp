// The controller's normal firmware: identify, system, DI/DO and module commands.
// Replies carry the controller's own ID, the two-letter mnemonic and the data, so
// the data starts at reply position 8 (position 7 on the older three-digit device).
#include "sim/SimChecksum.h"
#include "sim/SimController.h"

namespace sim {
namespace {

bool allDigits(const QByteArray& s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Module names by type letter; a module answers "B" with its name and version.
QByteArray moduleName(char type) {
    switch (type) {
        case 'A':
            return "KVPA1";
        case 'B':
            return "KMIO-2T";
        case 'H':
            return "KVPK2";
        case 'I':
            return "KVPF2";
        case 'J':
            return "KVPT2";
        case 'E':
            return "KMPRN";
        default:
            return {};
    }
}

}  // namespace

void Controller::noteLast(const QString& note) {
    if (!log_.isEmpty()) log_.last().note = note;
}

bool Controller::addressedToUs(const QByteArray& text) const {
    const QByteArray id = text.left(idLength());
    return id.size() == idLength() &&
           (id == id_.toLatin1() || (answerZeroId_ && id == zeroId(model_).toLatin1()));
}

std::optional<Controller::Reply> Controller::answerCrc(const QByteArray& text) {
    if (!addressedToUs(text)) {
        noteLast(QStringLiteral("another device's ID, silent"));
        return std::nullopt;
    }
    const QByteArray cmd = text.mid(idLength());
    // The three-digit device reads a four-digit ID as its own ID and a command
    // starting with a digit, which it does not know.
    if (hasThreeDigitId(model_) && !cmd.isEmpty() && cmd[0] >= '0' && cmd[0] <= '9') {
        noteLast(QStringLiteral("four-digit ID, silent"));
        return std::nullopt;
    }
    std::optional<Reply> reply =
        loader_ != Loader::None ? answerLoaderCrc(cmd) : answerCommand(cmd);
    if (reply && silentFor(cmd)) {
        noteLast(QStringLiteral("silent (fault)"));
        return std::nullopt;
    }
    return reply;
}

std::optional<Controller::Reply> Controller::idReply(const QByteArray& mnemonic,
                                                     const QByteArray& data) const {
    Reply r;
    r.payload = id_.toLatin1() + mnemonic + data;
    return r;
}

std::optional<Controller::Reply> Controller::answerCommand(const QByteArray& cmd) {
    const bool old = hasThreeDigitId(model_);
    // A cut-off upgrade left no whole application: the boot loader answers who it is
    // and lets itself be entered (answerLoaderEnter), nothing else.
    if (applicationDamaged_ && cmd != "AC" && cmd != "AS" && cmd != "DB" && cmd != "AV" && !cmd.startsWith("Zx")) {
        noteLast(QStringLiteral("application damaged, silent"));
        return std::nullopt;
    }
    if (cmd == "AC") {
        if (old) {
            noteLast(QStringLiteral("AC unknown to this device, silent"));
            return std::nullopt;
        }
        return idReply("AC", acData(model_));
    }
    if (cmd == "AS") {
        if (faults_.blankSerialFirst > 0) {
            --faults_.blankSerialFirst;
            noteLast(QStringLiteral("serial blank (%1 more)").arg(faults_.blankSerialFirst));
            return idReply("AS", QByteArray(serial_.size(), ' '));
        }
        return idReply("AS", serial_);
    }
    if (cmd == "DB" && !old) return idReply("DB", product_ + dbVersion(model_));
    if (cmd == "AV" && old) return idReply("AV", avData(model_));
    if (cmd.startsWith("AA")) return answerClock(cmd.mid(2));
    if (cmd.startsWith("JF")) {
        const QByteArray n = cmd.mid(2);
        if (n.size() != 1 || n[0] < '0' || n[0] > '6') return idReply("JF", "ER");
        alarm_ = n[0] - '0';
        recordEvent(EventKind::Alarm, alarm_);
        noteLast(QStringLiteral("alarm %1").arg(alarm_));
        return idReply("JF");
    }
    if (cmd == "AR00" || cmd == "AR01") {
        const std::optional<Reply> r = idReply("AR");
        reboot(cmd == "AR01");
        return r;
    }
    if (cmd.startsWith("AR")) return idReply("AR", "ER");
    if (cmd == "AI" || cmd == "AJ") {
        const std::optional<Reply> r = idReply(cmd);
        reboot(cmd == "AI");
        return r;
    }
    if (cmd.startsWith("JC") || cmd.startsWith("JD") || cmd == "JE") return answerOutputs(cmd);
    if (cmd == "DG0" && !old) {
        const QByteArray alarm = QByteArray::number(alarm_);
        return idReply("DG", inputsBits(1, 8) + outputs().toLatin1() + alarm + "000");
    }
    if (cmd == "IE" && old) {
        // Clock, "0", alarm, inputs 1-4 at positions 23-26, then outputs 1-3 and zeros.
        QByteArray data = clock().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() + "0" +
                          QByteArray::number(alarm_) + inputsBits(1, 4);
        if (ieDataLength(model_) > data.size())
            data +=
                outputs().toLatin1().left(3).leftJustified(ieDataLength(model_) - data.size(), '0');
        return idReply("IE", data);
    }
    if (cmd == "DF" && old) return idReply("DF", inputsBits(7, 2));
    if (cmd == "IE" || cmd == "IB" || cmd == "QI" || cmd == "PI") return answerEvents(cmd);
    if (cmd.startsWith("DD")) return answerModule(cmd.mid(2));
    if (cmd.startsWith("Zx")) return answerLoaderEnter(cmd);
    if (cmd.startsWith('Z')) {
        noteLast(QStringLiteral("loader command outside the loader, silent"));
        return std::nullopt;
    }
    // Anything else: the consoles send free text, and the controller echoes it.
    Reply r;
    r.payload = id_.toLatin1() + cmd;
    return r;
}

std::optional<Controller::Reply> Controller::answerClock(const QByteArray& args) {
    const QDateTime t =
        QDateTime::fromString(QString::fromLatin1(args), QStringLiteral("yyyyMMddHHmmss"));
    if (args.size() != 14 || !allDigits(args) || !t.isValid()) return idReply("AA", "ER");
    setClock(t);
    noteLast(QStringLiteral("clock set to %1").arg(t.toString(Qt::ISODate)));
    return idReply("AA");
}

std::optional<Controller::Reply> Controller::answerOutputs(const QByteArray& cmd) {
    const QByteArray mnemonic = cmd.left(2);
    const QByteArray args = cmd.mid(2);
    if (mnemonic == "JC") {
        // "00k" output, "1"/"0" on/off, "tttt" seconds the output stays on (0: until changed).
        if (args.size() != 8 || !allDigits(args)) return idReply("JC", "ER");
        const int k = args.left(3).toInt();
        if (k < 1 || k > 4) return idReply("JC", "ER");
        Output& o = outputs_[size_t(k - 1)];
        o.on = args[3] == '1';
        const int seconds = args.mid(4).toInt();
        o.offAtMs = o.on && seconds > 0 ? nowMs() + qint64(seconds) * 1000 : -1;
        return idReply("JC");
    }
    if (mnemonic == "JD" && args.size() == 2 && args[0] >= '1' && args[0] <= '4' &&
        (args[1] == '0' || args[1] == '1')) {
        outputs_[size_t(args[0] - '1')] = {args[1] == '1', -1};
        return idReply("JD");
    }
    if ((mnemonic == "JD" || mnemonic == "JE") && args.isEmpty()) {
        outputs_.fill({});
        return idReply(mnemonic);
    }
    return idReply(mnemonic, "ER");
}

std::optional<Controller::Reply> Controller::answerModule(const QByteArray& args) {
    // Type letter, module number 1-8, then the module's own command.
    if (args.size() < 2 || moduleName(args[0]).isEmpty() || args[1] < '1' || args[1] > '8')
        return idReply("DD", args + "ER");
    const QByteArray command = args.mid(2);
    const QByteArray answer = command == "B" ? moduleName(args[0]) + " V1.02" : command + "OK";
    return idReply("DD", args.left(2) + answer);
}

std::optional<Controller::Reply> Controller::answerEvents(const QByteArray& cmd) {
    const auto count = [](int n) { return QByteArray::number(n).rightJustified(4, '0'); };
    if (cmd == "IE")  // the store's state, on the four-digit controllers
        return idReply("IE", clock().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() +
                                 count(events_.remaining()) + count(events_.size()) +
                                 count(EventStore::kCapacity));
    if (cmd == "IB") {
        events_.rewind();
        return idReply("IB", count(events_.remaining()));
    }
    if (cmd == "QI") {
        const std::optional<Event> e = events_.current();
        return idReply("QI", e ? EventStore::encode(*e) : QByteArray());
    }
    events_.advance();
    return idReply("PI", count(events_.remaining()));
}

QByteArray Controller::inputsBits(int first, int count) const {
    QByteArray bits;
    for (int i = first; i < first + count; ++i) bits += inputLevel(i) ? '1' : '0';
    return bits;
}

bool Controller::inputLevel(int index1to8) const {
    const size_t i = size_t(index1to8 - 1);
    if (stuck_[i]) return *stuck_[i];
    if (loopback_ && index1to8 <= int(outputs_.size()))
        return outputs().at(index1to8 - 1) == u'1';  // a pulse that ended reads off
    return inputs_[i];
}

void Controller::setStuckInput(int index1to8, std::optional<bool> level) {
    if (index1to8 >= 1 && index1to8 <= 8) stuck_[size_t(index1to8 - 1)] = level;
}

std::optional<bool> Controller::stuckInput(int index1to8) const {
    if (index1to8 < 1 || index1to8 > 8) return std::nullopt;
    return stuck_[size_t(index1to8 - 1)];
}

void Controller::reboot(bool factory) {
    if (factory) {
        ++factoryResets_;
        alarm_ = 0;
        setClock(QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
        events_.clear();
    }
    ++reboots_;
    outputs_.fill({});
    recordEvent(EventKind::PowerUp, 0);
    loader_ = Loader::None;
    readyAtMs_ = nowMs() + rebootMs_;
    noteLast(factory ? QStringLiteral("factory reset, rebooting") : QStringLiteral("rebooting"));
}

}  // namespace sim
