// Loader protocol B (model kinds 1, 2 and 5): the application enters its loader on
// "ZxA5"; the loader answers "A" once ready, erases two 256-byte blocks per "E",
// programs with "P", returns blocks with "R" and restarts on "X". Only the enter
// command is a CRC transaction; the loader speaks XOR frames with an ETX lead.
// Addresses are lowercase hex.
#include "firmware/LoaderSession.h"
#include "i18n/Messages.h"

namespace pb {

namespace {
constexpr int kReadyReplyLength = 17;
constexpr int kVerifyDataPosition = 7;
constexpr int kRestartWaitMs = 2000;
}  // namespace

bool RunProtocolB(LoaderSession& s) {
    const int count = s.blockCount();
    const int blockSize = s.family().blocks.blockSize;
    const BlockTiming& program = s.family().pauses.program;

    // 1. Enter the loader; the application may reset before it answers.
    s.pause(100);
    s.send(Transaction::Crc, s.prefix() + "ZxA5");
    s.pause(20);
    s.send(Transaction::Crc, s.prefix() + "ZxA5");

    // 2. Wait for the loader.
    if (!s.waitForLoader(Transaction::XorEtx, s.prefix() + "A", kReadyReplyLength))
        return s.fail(Cause::of(CauseCode::LoaderNotAnswering));

    // 3. Erase and program.
    s.showStatus(MsgId::Programming);
    s.pause(50);
    s.bars().setProgramMaximum(count);
    for (int k = 0; k < count; ++k) {
        s.view().processEvents();
        const int address = k * blockSize;
        s.flashTouched();
        if (k % 2 == 0) {
            const QString erase = s.prefix() + QString::asprintf("E%04x", address);
            s.pause(4);
            if (!s.send(Transaction::XorEtx, erase)) {
                s.pause(50);
                s.link().noteRetry();
                if (!s.send(Transaction::XorEtx, erase))
                    return s.failAtBlock(CauseCode::EraseFailed, k);
            }
        }
        const QString text = s.prefix() + QString::asprintf("P%04x", address) +
                             QLatin1String(s.blockHex(k, blockSize));
        if (!s.sendWithRetries(Transaction::XorEtx, text, program))
            return s.failAtBlock(CauseCode::NotProgrammed, k);
        s.bars().setProgramPosition(k);
    }
    s.bars().setProgramPosition(count);

    // 4. Read back and compare.
    const ReadBack readBack{
        Transaction::XorEtx,
        [&](int address) { return s.prefix() + QString::asprintf("R%04x", address); },
        s.family().pauses.verify, kVerifyDataPosition, blockSize};
    if (!s.verifyBlocks(readBack)) return false;

    // 5. Restart.
    s.showStatus(MsgId::Upgrading);
    s.pause(100);
    if (s.send(Transaction::XorEtx, s.prefix() + "X")) s.waitForRestart(kRestartWaitMs);
    return true;
}

}  // namespace pb
