#pragma once
// What the three loader protocols share: the link, the views, the clock, the loaded
// image and the small steps every protocol is built from.

#include <QByteArray>
#include <QString>
#include <functional>
#include <utility>

#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareProgressView.h"
#include "link/Clock.h"
#include "link/Link.h"
#include "procedures/ControllerFamily.h"
#include "procedures/TestRunFrame.h"

namespace pb {

// Which transaction a step goes through.
enum class Transaction { Crc, Xor, XorEtx };

// How a protocol reads a block back: the command for a block's address, its timing, and
// where the block's hex text stands in the reply.
struct ReadBack {
    Transaction transaction;
    std::function<QString(int address)> command;
    BlockTiming timing;
    int dataPosition;
    int blockSize;
};

class LoaderSession {
public:
    LoaderSession(TestRunFrame& run, FirmwareProgressView& bars, Clock& clock,
                  const FirmwareBuffer& image, QString prefix, int modelKind);

    const QString& prefix() const { return prefix_; }
    int modelKind() const { return modelKind_; }
    const ControllerFamily& family() const { return FamilyOf(modelKind_); }
    int blockCount() const { return image_.blockCount; }
    Link& link() { return run_.link(); }
    TestRunView& view() { return run_.view(); }
    FirmwareProgressView& bars() { return bars_; }

    void pause(int ms) { clock_.pause(ms); }
    void showStatus(MsgId messageId);
    // The wait for the controller to restart into its new firmware, counted down in the
    // status line beside "Upgrading ...".
    void waitForRestart(int ms);
    Exchange send(Transaction transaction, const QString& text);

    // The block's bytes as the controller receives and returns them: uppercase hex.
    QByteArray blockHex(int k, int blockSize) const;
    // A block command tried until it succeeds, with the pauses of its timing; the last try.
    Exchange sendWithRetries(Transaction transaction, const QString& text,
                             const BlockTiming& timing);
    // True when the reply holds the block's hex text at the given position.
    bool replyHoldsBlock(const ReplyFrame& reply, int position, int k, int blockSize) const;

    // Reads every block back and compares it with the image; the verify bar follows.
    // False (with the failure recorded) at the first block that is missing or differs.
    bool verifyBlocks(const ReadBack& readBack);

    // Asks with text until a reply of readyLength bytes comes, at most 10 times; the
    // status line counts down the tries left after each failure.
    bool waitForLoader(Transaction transaction, const QString& text, int readyLength);

    // The first command that erases or programs flash is about to go out: from here on a
    // failure may leave the unit without working firmware.
    void flashTouched() {
        if (std::exchange(flashTouched_, true) || !firstTouch_) return;
        firstTouch_();
    }
    bool flashWasTouched() const { return flashTouched_; }
    // Called once, as the first command that erases or programs flash goes out.
    void whenFlashFirstTouched(std::function<void()> touched) { firstTouch_ = std::move(touched); }
    // A block command was not sent (or not tried again) because the user asked to stop.
    bool stopped() const { return stopped_; }

    // Records why the upgrade failed; always false, to end the procedure with.
    bool fail(const Cause& why);
    // The same for a block that could not be erased, programmed or read back: the cause
    // names it (from 1, as the bars count), and the session keeps it as the failing block.
    bool failAtBlock(CauseCode cause, int block);
    const Cause& failure() const { return failure_; }
    // The block the upgrade failed at; -1 when it failed at none (or did not fail).
    int failingBlock() const { return failingBlock_; }
    // Block commands tried again after a failed try, while programming and verifying.
    int programRetries() const { return retries_[0]; }
    int verifyRetries() const { return retries_[1]; }

private:
    TestRunFrame& run_;
    FirmwareProgressView& bars_;
    Clock& clock_;
    const FirmwareBuffer& image_;
    QString prefix_;
    int modelKind_;
    Cause failure_;
    int failingBlock_ = -1;
    bool verifying_ = false;
    bool flashTouched_ = false;
    bool stopped_ = false;
    std::function<void()> firstTouch_;
    int retries_[2] = {0, 0};
};

// The protocols; each returns true when the image was programmed and verified.
bool RunProtocolA(LoaderSession& session);  // model kinds 3, 6: 512-byte blocks, CRC frames
bool RunProtocolB(LoaderSession& session);  // model kinds 1, 2, 5: 256-byte blocks, XOR-ETX
bool RunProtocolC(LoaderSession& session);  // model kind 4: 64-byte blocks, XOR

}  // namespace pb
