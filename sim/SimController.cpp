#include "sim/SimController.h"

#include "sim/SimChecksum.h"

namespace sim {
namespace {

// The log and the command list keep the most recent entries of a long run.
constexpr int kLogLimit = 100000;
constexpr int kLogTrim = 10000;
// Filler that makes an over-long reply: no lead, end or CR byte in it.
constexpr int kOverlongSize = 1600;

bool hasHexLetter(const QByteArray& digits) {
    for (char c : digits)
        if ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) return true;
    return false;
}

}  // namespace

Controller::Controller(Model model, const QString& id, QObject* parent)
    : QObject(parent), model_(model), id_(id.isEmpty() ? zeroId(model) : id) {
    qRegisterMetaType<sim::LogEntry>();
    started_.start();
    product_ = dbProduct(model_);
    serial_ = defaultSerial(model_, id_);
    clockBase_ = QDateTime::currentDateTime();
    clockBase_.setTime(
        QTime(clockBase_.time().hour(), clockBase_.time().minute(), clockBase_.time().second()));
    flash_ = QByteArray(kFlashSize, char(0xFF));
    seedEvents();
    outTimer_.setSingleShot(true);
    outTimer_.setTimerType(Qt::PreciseTimer);
    connect(&outTimer_, &QTimer::timeout, this, &Controller::pumpOutput);
}

void Controller::receive(const QByteArray& bytes) {
    for (const CommandFrame& f : reader_.feed(bytes)) handleFrame(f);
}

void Controller::connectionClosed() {
    out_.clear();
    outTimer_.stop();
    reader_.reset();
}

void Controller::setProduct(const QByteArray& text) {
    product_ = text.left(8).leftJustified(8, ' ');
}
void Controller::setSerial(const QByteArray& text) {
    serial_ = text.left(8).leftJustified(8, '0');
}

void Controller::seedEvents() {
    // What a controller fresh from the last site might still hold.
    const QDateTime now = clock();
    events_.add(now.addSecs(-3600), EventKind::PowerUp, 0);
    events_.add(now.addSecs(-3000), EventKind::CardGranted, 1, "0001234567");
    events_.add(now.addSecs(-2400), EventKind::CardDenied, 2, "0009876543");
    events_.add(now.addSecs(-1800), EventKind::InputOn, 3);
    events_.add(now.addSecs(-1200), EventKind::InputOff, 3);
}

void Controller::recordEvent(EventKind kind, int point, const QByteArray& number) {
    events_.add(clock(), kind, point, number);
}

void Controller::setInput(int index1to8, bool on) {
    if (index1to8 < 1 || index1to8 > 8) return;
    bool& input = inputs_[size_t(index1to8 - 1)];
    if (input != on) recordEvent(on ? EventKind::InputOn : EventKind::InputOff, index1to8);
    input = on;
}

bool Controller::setInputs(const QString& bits) {
    if (bits.size() != 8) return false;
    for (QChar c : bits)
        if (c != u'0' && c != u'1') return false;
    for (int i = 0; i < 8; ++i) setInput(i + 1, bits[i] == u'1');
    return true;
}

QString Controller::inputs() const {
    return QString::fromLatin1(inputsBits(1, 8));
}

QString Controller::outputs() const {
    QString s;
    const qint64 now = nowMs();
    for (const Output& o : outputs_)
        s += (o.on && (o.offAtMs < 0 || now < o.offAtMs)) ? u'1' : u'0';
    return s;
}

QDateTime Controller::clock() const {
    return clockBase_.addMSecs(nowMs() - clockSetAtMs_);
}

void Controller::setClock(const QDateTime& t) {
    clockBase_ = t;
    clockSetAtMs_ = nowMs();
}

void Controller::setFlash(const QByteArray& image) {
    flash_ = image.left(kFlashSize);
    if (flash_.size() < kFlashSize)
        flash_.append(QByteArray(kFlashSize - flash_.size(), char(0xFF)));
}

void Controller::addLog(LogEntry::Dir dir, const QByteArray& frame, const QString& text, bool ok,
                        const QString& note) {
    if (log_.size() >= kLogLimit) log_.remove(0, kLogTrim);
    log_.append(LogEntry{nowMs(), dir, frame, text, ok, note});
    // A received frame is announced once it has been handled, with its note.
    if (dir == LogEntry::Sent) emit logged(log_.last());
}

void Controller::handleFrame(const CommandFrame& frame) {
    if (faults_.echoCommands) {
        out_.append({frame.raw, 0, false});
        if (!outTimer_.isActive()) outTimer_.start(0);
    }
    const QString text = QString::fromLatin1(frame.text);
    addLog(LogEntry::Received, frame.raw, text, frame.checksumOk);
    if (!frame.checksumOk) {
        noteLast(QStringLiteral("checksum wrong, ignored"));
        emit logged(log_.last());
        return;
    }
    if (commands_.size() >= kLogLimit) commands_.remove(0, kLogTrim);
    commands_.append(text);
    std::optional<Reply> reply;
    if (rebooting())
        noteLast(QStringLiteral("rebooting, silent"));
    else
        reply = frame.kind == CommandFrame::Kind::Crc ? answerCrc(frame.text)
                                                      : answerLoaderXor(frame.text);
    emit logged(log_.last());
    if (reply) queueReply(*reply);
}

bool Controller::silentFor(const QByteArray& command) const {
    for (const QString& prefix : faults_.silentPrefixes)
        if (command.startsWith(prefix.toLatin1())) return true;
    return false;
}

void Controller::queueReply(const Reply& reply) {
    QByteArray payload = reply.payload;
    if (reply.block >= 0 && reply.block == faults_.corruptVerifyBlock && reply.verifyHexAt >= 0 &&
        reply.verifyHexAt < payload.size()) {
        char& c = payload[reply.verifyHexAt];
        c = c == '0' ? '1' : '0';
    }
    // A lost reply is lost on the line: the controller did its part.
    ++repliesMade_;
    if (faults_.dropEveryNth > 0 && repliesMade_ % faults_.dropEveryNth == 0) {
        ++repliesLost_;
        addLog(LogEntry::Sent, {}, QString::fromLatin1(payload), false, QStringLiteral("lost on the line"));
        return;
    }
    ++repliesSent_;
    const bool garbled = faults_.garbleEveryNth > 0 && repliesSent_ % faults_.garbleEveryNth == 0;
    if (garbled) ++repliesGarbled_;
    const ChecksumStyle style{faults_.badChecksum || garbled, faults_.lowercaseChecksum};
    QByteArray bytes = reply.form == Reply::Form::Crc ? buildCrcReply(payload, style)
                                                      : buildXorReply(reply.lead, payload, style);
    if (faults_.overlongReply) {
        payload.append(QByteArray(qMax(0, kOverlongSize - int(bytes.size())), '#'));
        bytes = reply.form == Reply::Form::Crc ? buildCrcReply(payload, style)
                                               : buildXorReply(reply.lead, payload, style);
    }
    const QByteArray digits = reply.form == Reply::Form::Crc ? bytes.mid(bytes.size() - 5, 4)
                                                             : bytes.mid(bytes.size() - 3, 2);
    const bool checksumRight =
        !style.wrong && !(faults_.lowercaseChecksum && hasHexLetter(digits));
    bytes.prepend(faults_.noiseBeforeLead);
    addLog(LogEntry::Sent, bytes, QString::fromLatin1(payload), checksumRight);

    // Cut the reply into the pieces the faults and the line speed ask for.
    QList<Outgoing> pieces;
    if (faults_.closeMidReply) {
        pieces.append({bytes.left(bytes.size() / 2), 0, false});
        pieces.append({{}, 0, true});
    } else if (faults_.splitPieces > 1) {
        const int n = faults_.splitPieces;
        const qsizetype step = (bytes.size() + n - 1) / n;
        for (qsizetype at = 0; at < bytes.size(); at += step)
            pieces.append({bytes.mid(at, step), at == 0 ? 0 : faults_.splitPauseMs, false});
    } else {
        pieces.append({bytes, 0, false});
    }
    if (paceBaud_ > 0) {
        // Ten bits a character; a chunk every 10 ms.
        const qsizetype perChunk = qMax<qsizetype>(1, paceBaud_ / 1000);
        QList<Outgoing> paced;
        for (const Outgoing& p : pieces) {
            if (p.drop) {
                paced.append(p);
                continue;
            }
            for (qsizetype at = 0; at < p.bytes.size(); at += perChunk)
                paced.append({p.bytes.mid(at, perChunk), at == 0 ? p.delayMs : 10, false});
        }
        pieces = paced;
    }
    if (!pieces.isEmpty()) pieces.first().delayMs += faults_.replyDelayMs;
    if (!pieces.isEmpty() && faults_.adapterTickMs > 0) {
        // Due then (after what waits before it), held to the tick that follows.
        qint64 due = started_.elapsed();
        for (const Outgoing& o : out_) due += o.delayMs;
        due += pieces.first().delayMs;
        const qint64 tick = faults_.adapterTickMs;
        pieces.first().delayMs += int((tick - due % tick) % tick);
    }
    out_.append(pieces);
    if (!outTimer_.isActive()) outTimer_.start(out_.first().delayMs);
}

void Controller::pumpOutput() {
    if (out_.isEmpty()) return;
    const Outgoing item = out_.takeFirst();
    if (item.drop) {
        out_.clear();
        emit dropConnection();
        return;
    }
    emit send(item.bytes);
    if (!out_.isEmpty()) outTimer_.start(out_.first().delayMs);
}

}  // namespace sim
