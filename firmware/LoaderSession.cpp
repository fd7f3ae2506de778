#include "firmware/LoaderSession.h"

#include "i18n/Messages.h"
#include "procedures/Countdown.h"

namespace pb {

constexpr int kLoaderWaitTries = 10;
constexpr int kLoaderWaitPauseMs = 50;

LoaderSession::LoaderSession(TestRunFrame& run, FirmwareProgressView& bars, Clock& clock,
                             const FirmwareBuffer& image, QString prefix, int modelKind)
    : run_(run),
      bars_(bars),
      clock_(clock),
      image_(image),
      prefix_(std::move(prefix)),
      modelKind_(modelKind) {}

void LoaderSession::showStatus(MsgId messageId) {
    view().setStatus(run_.Msg(messageId));
}

void LoaderSession::waitForRestart(int ms) {
    WaitWithCountdown(clock_, view(), run_.Msg(MsgId::Upgrading), ms);
}

Exchange LoaderSession::send(Transaction transaction, const QString& text) {
    switch (transaction) {
        case Transaction::Crc:
            return link().SendCrcCommand(text);
        case Transaction::Xor:
            return link().SendXorCommand(text);
        case Transaction::XorEtx:
            return link().SendXorCommandEtx(text);
    }
    return {};
}

QByteArray LoaderSession::blockHex(int k, int blockSize) const {
    return image_.block(k, blockSize).toHex().toUpper();
}

Exchange LoaderSession::sendWithRetries(Transaction transaction, const QString& text,
                                        const BlockTiming& timing) {
    Exchange last;
    last.error = LinkError::NoReply;  // stays so only when no attempt is made
    for (int attempt = 0; attempt < timing.attempts; ++attempt) {
        // A stop the user asked for is no failure of the unit: nothing more goes out,
        // not even after the pause that the stop cut short.
        if (bars_.stopRequested()) break;
        pause(timing.beforeEachAttemptMs);
        if (bars_.stopRequested()) break;
        if (attempt > 0) {
            ++retries_[verifying_ ? 1 : 0];
            link().noteRetry();
        }
        last = send(transaction, text);
        if (last) return last;
        pause(timing.afterFailedAttemptMs);
        view().processEvents();
    }
    stopped_ = bars_.stopRequested();
    return last;
}

bool LoaderSession::replyHoldsBlock(const ReplyFrame& reply, int position, int k,
                                    int blockSize) const {
    const QByteArray expected = blockHex(k, blockSize);
    return reply.at(position, int(expected.size())) == expected;
}

bool LoaderSession::waitForLoader(Transaction transaction, const QString& text, int readyLength) {
    for (int failed = 0; failed < kLoaderWaitTries; ++failed) {
        if (bars_.stopRequested()) {
            stopped_ = true;
            return false;
        }
        pause(kLoaderWaitPauseMs);
        if (const Exchange x = send(transaction, text); x && x.reply.length() == readyLength)
            return true;
        view().setStatus(run_.Msg(MsgId::ConnectingDevice) +
                         QString::asprintf(" ( %d )", kLoaderWaitTries - failed));
        view().processEvents();
    }
    return false;
}

bool LoaderSession::fail(const Cause& why) {
    failure_ = why;
    return false;
}

bool LoaderSession::failAtBlock(CauseCode cause, int block) {
    failingBlock_ = block;
    return fail(Cause::of(cause, {block + 1}));
}

bool LoaderSession::verifyBlocks(const ReadBack& r) {
    verifying_ = true;
    const int count = blockCount();
    showStatus(MsgId::Verifying);
    pause(50);
    bars_.setVerifyMaximum(count);
    for (int k = 0; k < count; ++k) {
        view().processEvents();
        const Exchange x = sendWithRetries(r.transaction, r.command(k * r.blockSize), r.timing);
        if (!x) return failAtBlock(CauseCode::NotReadBack, k);
        if (!replyHoldsBlock(x.reply, r.dataPosition, k, r.blockSize))
            return failAtBlock(CauseCode::VerifyFailed, k);
        bars_.setVerifyPosition(k);
    }
    bars_.setVerifyPosition(count);
    return true;
}

}  // namespace pb
