#include "procedures/PollingTest.h"

#include "i18n/EventTexts.h"
#include "i18n/Messages.h"
#include "procedures/EventRecord.h"
#include "procedures/StartStopTest.h"

namespace pb {
namespace {

constexpr int kCountDigits = 4;
constexpr int kClockDigits = 14;

// Where reply data starts and how long the replies are, by the length of the ID.
struct Layout {
    int idLength;
    int dataAt() const { return idLength + 4; }         // lead, ID, mnemonic
    int length(int data) const { return idLength + 9 + data; }  // + CRC tail
};

// Sends ID + mnemonic and checks the reply names the same mnemonic and has one of the
// expected data lengths.
bool exchange(ProcedureContext& ctx, const Layout& at, const char* mnemonic,
              std::initializer_list<int> dataLengths) {
    if (!ctx.link.SendCrcCommand(ctx.state.deviceId + QLatin1String(mnemonic))) return false;
    if (ctx.link.replyAt(at.idLength + 2, 2) != mnemonic) return false;
    for (int data : dataLengths)
        if (ctx.link.replyLength() == at.length(data)) return true;
    return false;
}

int countAt(ProcedureContext& ctx, const Layout& at) {
    return ctx.link.replyAt(at.dataAt(), kCountDigits).toInt();
}

// The store's state: the controller's clock is shown until the first record arrives.
// The older controller answers "IE" with its status (clock, alarm, inputs) and no counts.
bool readStoreState(ProcedureContext& ctx, const Layout& at) {
    const bool older = ctx.state.modelKind == kModelKindStatusIdentified;
    const bool ok = older ? exchange(ctx, at, "IE", {20, 40})
                          : exchange(ctx, at, "IE", {kClockDigits + 3 * kCountDigits});
    if (!ok) return false;
    EventRecord clockOnly;
    clockOnly.stamp = QString::fromLatin1(ctx.link.replyAt(at.dataAt(), kClockDigits));
    ctx.view.setPollingDate(RecordDateText(clockOnly));
    ctx.view.setPollingData(QString());
    return true;
}

enum class Step { Next, Done, Failed };

// Reads the record under the read pointer, shows it and moves on.
Step readOneRecord(ProcedureContext& ctx, const Layout& at) {
    if (!exchange(ctx, at, "QI", {0, kEventRecordLength})) return Step::Failed;
    if (ctx.link.replyLength() == at.length(0)) return Step::Done;  // past the last one
    const std::optional<EventRecord> record =
        ParseEventRecord(ctx.link.replyAt(at.dataAt(), kEventRecordLength));
    if (!record) return Step::Failed;
    ctx.view.setPollingDate(RecordDateText(*record));
    ctx.view.setPollingData(DescribeRecord(*record, ctx.view.language()));
    ctx.view.processEvents();

    if (!exchange(ctx, at, "PI", {kCountDigits})) return Step::Failed;
    return countAt(ctx, at) == 0 ? Step::Done : Step::Next;
}

// The test itself: true when the store was read to its end or the user cancelled.
bool readStore(ProcedureContext& ctx) {
    const Layout at{int(ctx.state.deviceId.size())};

    // 1. The store's state.
    if (!readStoreState(ctx, at)) return false;

    // 2. Back to the oldest record; an empty store is said so, not left blank.
    if (!exchange(ctx, at, "IB", {kCountDigits})) return false;
    if (countAt(ctx, at) == 0) {
        ctx.view.setPollingData(Text(EventText::NoRecords, ctx.view.language()));
        return true;
    }

    // 3. Record by record, each shown for a moment, until the end or a cancel.
    while (ctx.state.pollingRunning) {
        ctx.view.processEvents();
        switch (readOneRecord(ctx, at)) {
            case Step::Failed:
                return false;
            case Step::Done:
                return true;
            case Step::Next:
                ctx.clock.pause(kPollingRecordPauseMs);
                break;
        }
    }
    return true;
}

}  // namespace

Outcome PollingTestClick(ProcedureContext& ctx) {
    ProcedureView& view = ctx.view;
    const StartStopButton button{
        ctx.state.pollingRunning,
        [&](const QString& text) { view.setPollingButtonCaption(text); },
        [&](bool on) { view.setTestButtonsBesidePollingEnabled(on); },
        msg::PoolingDataTest,
        msg::PoolingDataTest,
        [&] { view.showCommandAndFirmwareTabs(); },
    };
    return RunStartStopTest(ctx, button, [&] { return readStore(ctx); });
}

}  // namespace pb
