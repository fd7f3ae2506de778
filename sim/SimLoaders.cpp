// The three boot loaders and the flash they program.
//   A (kinds 3, 6): CRC frames, "Zx33BB" enter (erases the flash), "Zp"/"Zv" 512-byte
//     blocks at upper-case hex addresses, "ZrAA55" finish.
//   B (kinds 1, 2, 5): "ZxA5" enter, then XOR frames with the ID and replies led by
//     0x03: "A", "E" (erase 512 bytes), "P"/"R" 256-byte blocks, "X".
//   C (kind 4): "Zx" enter, then XOR frames without the ID and replies led by 0x02:
//     "A", "E" (erase all), "P"/"R" 64-byte blocks, "X".
#include "sim/SimChecksum.h"
#include "sim/SimController.h"

namespace sim {
namespace {

// What the wait loop's "A" gets back (after the ID in B).
const QByteArray kLoaderBannerB = "BOOTB1.2";
const QByteArray kLoaderBannerC = "BOOTC1.0";
constexpr int kEraseSizeB = 512;

QByteArray enterCommandOf(Loader l) {
    switch (l) {
        case Loader::A:
            return "Zx33BB";
        case Loader::B:
            return "ZxA5";
        case Loader::C:
            return "Zx";
        case Loader::None:
            break;
    }
    return {};
}

}  // namespace

void Controller::enterLoader(Loader l) {
    loader_ = l;
    attempts_.clear();
    // Loader A has no erase command: it clears the application area on entry.
    if (l == Loader::A) flash_.fill(char(0xFF));
    noteLast(QStringLiteral("boot loader %1 entered").arg(QChar(u'A' + int(l) - int(Loader::A))));
}

std::optional<Controller::Reply> Controller::answerLoaderEnter(const QByteArray& cmd) {
    const Loader mine = loaderOf(model_);
    if (mine == Loader::None || cmd != enterCommandOf(mine)) {
        noteLast(QStringLiteral("not this model's loader, silent"));
        return std::nullopt;
    }
    enterLoader(mine);
    return idReply("Zx");
}

std::optional<Controller::Reply> Controller::answerLoaderCrc(const QByteArray& cmd) {
    if (cmd.startsWith("Zx")) return answerLoaderEnter(cmd);
    if (loader_ != Loader::A) {
        noteLast(QStringLiteral("in boot loader, silent"));
        return std::nullopt;
    }
    if (cmd == "ZrAA55") {
        applicationDamaged_ = false;
        const std::optional<Reply> r = idReply("Zr");
        reboot(false);
        return r;
    }
    const QByteArray kind = cmd.left(2);
    int address = 0;
    if ((kind != "Zp" && kind != "Zv") || !parseHexNumber(cmd.mid(2, 4), address) ||
        cmd.size() < 6) {
        noteLast(QStringLiteral("not a loader A command, silent"));
        return std::nullopt;
    }
    loaderAddresses_.append(QString::fromLatin1(cmd.mid(2, 4)));
    if (skipAttempt(kind[1], address)) return std::nullopt;
    if (kind == "Zp") {
        if (cmd.size() != 6 + 1024 || !program(address, cmd.mid(6), 512)) return std::nullopt;
        return idReply("Zp", cmd.mid(2, 4));
    }
    if (cmd.size() != 6 || address + 512 > kFlashSize) {
        noteLast(QStringLiteral("bad verify command, silent"));
        return std::nullopt;
    }
    std::optional<Reply> r = idReply("Zv", readHex(address, 512));
    r->verifyHexAt = 6;
    r->block = address / 512;
    return r;
}

std::optional<Controller::Reply> Controller::answerLoaderXor(const QByteArray& text) {
    if (loader_ == Loader::B) {
        if (!addressedToUs(text)) {
            noteLast(QStringLiteral("another device's ID, silent"));
            return std::nullopt;
        }
        const QByteArray cmd = text.mid(idLength());
        std::optional<Reply> r = loaderCommand(id_.toLatin1(), cmd);
        if (r && silentFor(cmd)) {
            noteLast(QStringLiteral("silent (fault)"));
            return std::nullopt;
        }
        return r;
    }
    if (loader_ == Loader::C) {
        std::optional<Reply> r = loaderCommand({}, text);
        if (r && silentFor(text)) {
            noteLast(QStringLiteral("silent (fault)"));
            return std::nullopt;
        }
        return r;
    }
    noteLast(QStringLiteral("XOR frame outside the boot loader, silent"));
    return std::nullopt;
}

std::optional<Controller::Reply> Controller::loaderCommand(const QByteArray& prefix,
                                                           const QByteArray& cmd) {
    const bool b = loader_ == Loader::B;
    const int block = loaderBlockSize(loader_);
    auto reply = [&](const QByteArray& body) {
        Reply r;
        r.form = Reply::Form::Xor;
        r.lead = b ? kEtx : kStx;
        r.payload = prefix + body;
        return r;
    };
    if (cmd == "A") return reply("A" + (b ? kLoaderBannerB : kLoaderBannerC));
    if (cmd == "X") {
        applicationDamaged_ = false;
        const Reply r = reply("X");
        reboot(false);
        return r;
    }
    if (cmd == "E" && !b) {
        flash_.fill(char(0xFF));
        noteLast(QStringLiteral("flash erased"));
        return reply("E");
    }
    int address = 0;
    const char kind = cmd.isEmpty() ? '\0' : cmd[0];
    if ((kind != 'E' && kind != 'P' && kind != 'R') || cmd.size() < 5 ||
        !parseHexNumber(cmd.mid(1, 4), address)) {
        noteLast(QStringLiteral("not a loader command, silent"));
        return std::nullopt;
    }
    const QByteArray addressText = cmd.mid(1, 4);
    loaderAddresses_.append(QString::fromLatin1(addressText));
    if (kind == 'E') {
        if (!b || cmd.size() != 5 || !erase(address, kEraseSizeB)) return std::nullopt;
        return reply("E" + addressText);
    }
    if (skipAttempt(kind, address)) return std::nullopt;
    if (kind == 'P') {
        if (cmd.size() != 5 + 2 * block || !program(address, cmd.mid(5), block))
            return std::nullopt;
        return reply("P" + addressText);
    }
    if (cmd.size() != 5 || address + block > kFlashSize) {
        noteLast(QStringLiteral("bad read command, silent"));
        return std::nullopt;
    }
    Reply r = reply("R" + readHex(address, block));
    r.verifyHexAt = int(prefix.size()) + 1;
    r.block = address / block;
    return r;
}

bool Controller::skipAttempt(char kind, int address) {
    if (faults_.powerCutAtBlock >= 0 && (kind == 'p' || kind == 'P') &&
        address / loaderBlockSize(loader_) == faults_.powerCutAtBlock) {
        const int block = faults_.powerCutAtBlock;
        faults_.powerCutAtBlock = -1;
        reboot(false);
        applicationDamaged_ = true;
        readyAtMs_ = nowMs() + faults_.powerOffMs;
        noteLast(QStringLiteral("power cut at block %1 (fault), away %2 ms").arg(block).arg(faults_.powerOffMs));
        out_.append({{}, 0, true});
        if (!outTimer_.isActive()) outTimer_.start(0);
        return true;
    }
    if (faults_.loseLineAtBlock >= 0 && (kind == 'p' || kind == 'P') &&
        address / loaderBlockSize(loader_) == faults_.loseLineAtBlock) {
        const int block = faults_.loseLineAtBlock;
        faults_.loseLineAtBlock = -1;
        reboot(false);
        noteLast(QStringLiteral("line lost at block %1 (fault), restarting").arg(block));
        out_.append({{}, 0, true});
        if (!outTimer_.isActive()) outTimer_.start(0);
        return true;
    }
    const int n = faults_.silentFirstAttemptsOfBlock;
    if (n <= 0) return false;
    const int block = address / loaderBlockSize(loader_);
    if (faults_.faultBlock >= 0 && block != faults_.faultBlock) return false;
    int& seen = attempts_[QByteArray(1, kind) + QByteArray::number(address)];
    ++seen;
    if (seen > n) return false;
    noteLast(QStringLiteral("attempt %1 of block %2 ignored (fault)").arg(seen).arg(block));
    return true;
}

bool Controller::program(int address, const QByteArray& hex, int size) {
    QByteArray data;
    if (address < 0 || address + size > kFlashSize || !fromHex(hex, data) || data.size() != size) {
        noteLast(QStringLiteral("bad program command, silent"));
        return false;
    }
    // Flash programming only clears bits; erasing sets them again.
    for (int i = 0; i < size; ++i) flash_[address + i] = char(flash_[address + i] & data[i]);
    return true;
}

bool Controller::erase(int address, int size) {
    if (address < 0 || address + size > kFlashSize) {
        noteLast(QStringLiteral("bad erase command, silent"));
        return false;
    }
    flash_.replace(address, size, QByteArray(size, char(0xFF)));
    return true;
}

QByteArray Controller::readHex(int address, int size) const {
    return toHexUpper(QByteArrayView(flash_).sliced(address, size));
}

}  // namespace sim
