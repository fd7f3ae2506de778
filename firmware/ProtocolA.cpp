// Loader protocol A (model kinds 3 and 6): the application enters its loader on
// "Zx33BB", takes 512-byte blocks with "Zp", returns them with "Zv" and restarts on
// "ZrAA55". Every step is a CRC transaction; addresses are uppercase hex.
#include "firmware/LoaderSession.h"
#include "i18n/Messages.h"

namespace pb {

namespace {
constexpr int kVerifyDataPosition = 8;
constexpr int kRestartWaitMs = 7000;
}  // namespace

bool RunProtocolA(LoaderSession& s) {
    const BlockTiming& program = s.family().pauses.program;
    const BlockTiming& verify = s.family().pauses.verify;
    const int blockSize = s.family().blocks.blockSize;
    const int count = s.blockCount();

    // 1. Enter the loader.
    s.pause(100);
    if (!s.send(Transaction::Crc, s.prefix() + "Zx33BB"))
        return s.fail(Cause::of(CauseCode::LoaderNotEntered));

    // 2.-4. Program every block.
    s.showStatus(MsgId::Programming);
    s.view().processEvents();
    s.pause(50);
    s.bars().setProgramMaximum(count);
    for (int k = 0; k < count; ++k) {
        s.view().setWaitCursor(true);
        s.view().processEvents();
        const QString text = s.prefix() + QString::asprintf("Zp%04X", k * blockSize) +
                             QLatin1String(s.blockHex(k, blockSize));
        s.flashTouched();
        if (!s.sendWithRetries(Transaction::Crc, text, program))
            return s.failAtBlock(CauseCode::NotProgrammed, k);
        s.bars().setProgramPosition(k);
    }
    s.bars().setProgramPosition(count);

    // 4.-5. Read every block back and compare.
    const ReadBack readBack{
        Transaction::Crc,
        [&](int address) { return s.prefix() + QString::asprintf("Zv%04X", address); }, verify,
        kVerifyDataPosition, blockSize};
    if (!s.verifyBlocks(readBack)) return false;

    // 6. Restart into the new firmware; only an answer is worth waiting for.
    s.showStatus(MsgId::Upgrading);
    s.pause(100);
    if (s.send(Transaction::Crc, s.prefix() + "ZrAA55")) s.waitForRestart(kRestartWaitMs);
    return true;
}

}  // namespace pb
