#pragma once
// The simulated controller: protocol and state, free of any transport. Bytes from the
// tool go in through receive(); replies come out through the send() signal, always
// from the event loop (a timer), so a tool waiting in a nested event loop on the same
// thread receives them.

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <optional>

#include "sim/SimEventStore.h"
#include "sim/SimFrames.h"
#include "sim/SimModels.h"

namespace sim {

// Misbehaviour on request; all off by default.
struct Faults {
    // Never answer commands (text after the ID for ID commands, whole text for
    // protocol C) starting with one of these; "" = all. The command is still carried out.
    QStringList silentPrefixes;
    bool badChecksum = false;        // checksum off by one
    bool lowercaseChecksum = false;  // a-f digits (no effect on a checksum of digits 0-9 only)
    int replyDelayMs = 0;
    int splitPieces = 0;  // > 1: the reply goes out in this many pieces
    int splitPauseMs = 0;
    QByteArray noiseBeforeLead;
    bool overlongReply = false;  // filler makes the reply longer than 1500 bytes
    // Loader program/verify: ignore the first N attempts of each block (or only of
    // block `faultBlock` if >= 0); ignored commands are not carried out.
    int silentFirstAttemptsOfBlock = 0;
    int faultBlock = -1;
    int corruptVerifyBlock = -1;  // flip one hex digit in the verify reply of this block
    bool closeMidReply = false;   // send half the reply, then drop the connection
    // The line, not the controller: every command frame comes back before its reply (a
    // two-wire RS-485 adapter hears itself), and each reply is held until the next tick
    // of adapterTickMs since the start (a USB-serial adapter's latency timer; 0: none).
    bool echoCommands = false;
    int adapterTickMs = 0;
    // A poor line: every Nth reply is lost (0: none), and of the replies that do go out
    // every Mth arrives with its checksum off by one (0: none).
    int dropEveryNth = 0;
    int garbleEveryNth = 0;
    // The line goes away at the first program command of this loader block (from 0; -1:
    // never), once: the connection or pty pair closes and the controller restarts out of
    // its loader, as a fixture that lost its adapter and its power.
    int loseLineAtBlock = -1;
    // The power goes at the first program command of this loader block (-1: never), once:
    // the line drops, the controller stays away powerOffMs, then comes back with its
    // flash as the cut left it. Its application is damaged: until an upgrade is finished
    // only what the boot loader answers is answered (the identify queries, entering the
    // loader and the loader's own commands).
    int powerCutAtBlock = -1;
    int powerOffMs = 4000;
    // The first N serial number replies ("AS") carry blanks in place of the serial, as a
    // unit that boots slowly or whose serial is written late (0: none).
    int blankSerialFirst = 0;
};

struct LogEntry {
    qint64 ms;  // controller time since start
    enum Dir { Received, Sent } dir;
    QByteArray frame;  // bytes as received / sent
    QString text;      // command text, or reply payload
    bool checksumOk;   // received: the frame's checksum; sent: whether the checksum sent is right
    QString note;      // why nothing was answered, or what the command did
};

class Controller : public QObject {
    Q_OBJECT
public:
    static constexpr int kFlashSize = 65536;

    explicit Controller(Model model = Model::Kv410, const QString& id = QString(),
                        QObject* parent = nullptr);

    // Bytes from the tool.
    void receive(const QByteArray& bytes);
    // The transport lost its client: replies not yet sent are dropped.
    void connectionClosed();

    // Command texts received with a valid checksum, in order (ID included, framing stripped).
    QStringList commands() const { return commands_; }
    void clearCommands() { commands_.clear(); }
    const QList<LogEntry>& log() const { return log_; }
    void clearLog() { log_.clear(); }
    Faults& faults() { return faults_; }
    // What the poor line did to the replies so far.
    int repliesLost() const { return repliesLost_; }
    int repliesGarbled() const { return repliesGarbled_; }

    QString id() const { return id_; }
    Model model() const { return model_; }
    // Whether the all-zero ID is answered as well as the own ID (default yes).
    void setAnswerZeroId(bool on) { answerZeroId_ = on; }
    // "DB" reply positions 8-15 (eight characters, padded with spaces).
    void setProduct(const QByteArray& text);
    void setSerial(const QByteArray& text);
    // Pace reply bytes as a serial line of this speed would (0 = at once).
    void setPaceBaud(int baud) { paceBaud_ = baud; }

    void setInput(int index1to8, bool on);
    bool setInputs(const QString& bits);  // "10100000"
    // The inputs as the controller reads them: fixture wiring and stuck inputs applied.
    QString inputs() const;
    // The fixture: while on, input k follows output k (k 1-4) on every family; inputs
    // 5-8 keep the level set by setInput(). Off by default.
    void setLoopback(bool on) { loopback_ = on; }
    bool loopback() const { return loopback_; }
    // A fault of the fixture or the input stage: input N reads this level whatever
    // drives it; std::nullopt frees it again.
    void setStuckInput(int index1to8, std::optional<bool> level);
    std::optional<bool> stuckInput(int index1to8) const;
    QString outputs() const;  // DO1..DO4 as '0'/'1'
    int alarm() const { return alarm_; }
    QDateTime clock() const;
    void setClock(const QDateTime& t);

    // The event store ("IE", "IB", "QI", "PI"); seeded with a few records at start.
    EventStore& events() { return events_; }
    const EventStore& events() const { return events_; }
    // Adds a record stamped with the controller's clock.
    void recordEvent(EventKind kind, int point, const QByteArray& number = {});

    QByteArray flash() const { return flash_; }
    void setFlash(const QByteArray& image);  // padded with 0xFF / cut to the flash size
    Loader activeLoader() const { return loader_; }
    // Loader addresses exactly as the tool wrote them ("0200" / "0a00"), in order.
    QStringList loaderAddresses() const { return loaderAddresses_; }

    // A reboot (after "AR", "AI", "AJ" or a loader's finish command) keeps the
    // controller silent this long; 0 (default) reboots at once.
    void setRebootMs(int ms) { rebootMs_ = ms; }
    bool rebooting() const { return nowMs() < readyAtMs_; }
    int reboots() const { return reboots_; }
    int factoryResets() const { return factoryResets_; }
    // Moves the controller's own time on (reboot, output pulses, clock) without waiting.
    void advanceTime(qint64 ms) { offsetMs_ += ms; }
    qint64 nowMs() const { return started_.elapsed() + offsetMs_; }

signals:
    void send(const QByteArray& bytes);
    void dropConnection();
    void logged(const sim::LogEntry& entry);

private:
    struct Reply {
        enum class Form { Crc, Xor } form = Form::Crc;
        char lead = kEtx;
        QByteArray payload;
        int verifyHexAt = -1;  // where the verify data starts in the payload
        int block = -1;        // the loader block a verify reply carries
    };
    struct Outgoing {
        QByteArray bytes;
        int delayMs = 0;
        bool drop = false;
    };
    struct Output {
        bool on = false;
        qint64 offAtMs = -1;
    };

    void handleFrame(const CommandFrame& frame);
    void addLog(LogEntry::Dir dir, const QByteArray& frame, const QString& text, bool ok,
                const QString& note = QString());
    void noteLast(const QString& note);
    void queueReply(const Reply& reply);
    void pumpOutput();
    bool silentFor(const QByteArray& command) const;

    // Normal firmware (SimCommands.cpp).
    std::optional<Reply> answerCrc(const QByteArray& text);
    std::optional<Reply> answerCommand(const QByteArray& cmd);
    std::optional<Reply> idReply(const QByteArray& mnemonic, const QByteArray& data = {}) const;
    std::optional<Reply> answerClock(const QByteArray& args);
    std::optional<Reply> answerOutputs(const QByteArray& cmd);
    std::optional<Reply> answerModule(const QByteArray& args);
    std::optional<Reply> answerEvents(const QByteArray& cmd);
    void seedEvents();
    QByteArray inputsBits(int first, int count) const;
    bool inputLevel(int index1to8) const;
    void reboot(bool factory);
    int idLength() const { return hasThreeDigitId(model_) ? 3 : 4; }
    bool addressedToUs(const QByteArray& text) const;

    // Boot loaders (SimLoaders.cpp).
    std::optional<Reply> answerLoaderEnter(const QByteArray& cmd);
    std::optional<Reply> answerLoaderCrc(const QByteArray& cmd);
    std::optional<Reply> answerLoaderXor(const QByteArray& text);
    std::optional<Reply> loaderCommand(const QByteArray& prefix, const QByteArray& cmd);
    bool skipAttempt(char kind, int address);
    bool program(int address, const QByteArray& hex, int size);
    bool erase(int address, int size);
    QByteArray readHex(int address, int size) const;
    void enterLoader(Loader l);

    Model model_;
    QString id_;
    bool answerZeroId_ = true;
    QByteArray product_;
    QByteArray serial_;
    int paceBaud_ = 0;

    CommandFrameReader reader_;
    QStringList commands_;
    QList<LogEntry> log_;
    Faults faults_;
    QList<Outgoing> out_;
    QTimer outTimer_;
    int repliesMade_ = 0;  // for the poor line's every-Nth counts
    int repliesSent_ = 0;
    int repliesLost_ = 0;
    int repliesGarbled_ = 0;

    QElapsedTimer started_;
    qint64 offsetMs_ = 0;
    qint64 readyAtMs_ = 0;
    int rebootMs_ = 0;
    int reboots_ = 0;
    int factoryResets_ = 0;

    std::array<bool, 8> inputs_{};
    std::array<std::optional<bool>, 8> stuck_{};
    bool loopback_ = false;
    std::array<Output, 4> outputs_{};
    int alarm_ = 0;
    QDateTime clockBase_;
    EventStore events_;
    qint64 clockSetAtMs_ = 0;

    QByteArray flash_;
    Loader loader_ = Loader::None;
    bool applicationDamaged_ = false;
    QStringList loaderAddresses_;
    QHash<QByteArray, int> attempts_;
};

}  // namespace sim

Q_DECLARE_METATYPE(sim::LogEntry)
