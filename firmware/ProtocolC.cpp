// Loader protocol C (model kind 4, the older three-digit-ID controller): the
// application enters its loader on "Zx"; the loader takes its commands without the
// device ID, in XOR frames with an STX lead: "A" until ready, "E" erases all, "P"
// programs a 64-byte block, "R" returns one, "X" restarts. Addresses are lowercase hex.
#include "firmware/LoaderSession.h"
#include "i18n/Messages.h"

namespace pb {

namespace {
constexpr int kReadyReplyLength = 13;
constexpr int kVerifyDataPosition = 3;
constexpr int kRestartWaitMs = 2000;
}  // namespace

bool RunProtocolC(LoaderSession& s) {
    const int count = s.blockCount();
    const int blockSize = s.family().blocks.blockSize;
    const BlockTiming& program = s.family().pauses.program;

    // 1. Enter the loader.
    s.pause(100);
    s.send(Transaction::Crc, s.prefix() + "Zx");
    s.pause(20);
    s.send(Transaction::Crc, s.prefix() + "Zx");

    // 2. Wait for the loader; a loader already running may stay silent, so go on anyway.
    s.waitForLoader(Transaction::Xor, QStringLiteral("A"), kReadyReplyLength);

    // 3. Erase the whole image area.
    s.view().processEvents();
    s.pause(50);
    s.flashTouched();
    if (!s.send(Transaction::Xor, QStringLiteral("E")))
        return s.fail(Cause::of(CauseCode::FlashNotErased));

    // 4. Program.
    s.showStatus(MsgId::Programming);
    s.pause(200);
    s.bars().setProgramMaximum(count);
    for (int k = 0; k < count; ++k) {
        s.view().processEvents();
        const QString text =
            QString::asprintf("P%04x", k * blockSize) + QLatin1String(s.blockHex(k, blockSize));
        if (!s.sendWithRetries(Transaction::Xor, text, program))
            return s.failAtBlock(CauseCode::NotProgrammed, k);
        s.bars().setProgramPosition(k);
    }
    s.bars().setProgramPosition(count);

    // 5. Read back and compare.
    const ReadBack readBack{Transaction::Xor,
                            [&](int address) { return QString::asprintf("R%04x", address); },
                            s.family().pauses.verify, kVerifyDataPosition, blockSize};
    if (!s.verifyBlocks(readBack)) return false;

    // 6. Restart.
    s.showStatus(MsgId::Upgrading);
    s.pause(100);
    if (s.send(Transaction::Xor, QStringLiteral("X"))) s.waitForRestart(kRestartWaitMs);
    return true;
}

}  // namespace pb
