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
    ctx.polling.setPollingDate(RecordDateText(clockOnly));
    ctx.polling.setPollingData(QString());
    return true;
}

enum class Step { Next, Done, Failed };

// Reads the record under the read pointer, shows it and moves on.
Step readOneRecord(ProcedureContext& ctx, const Layout& at, int& shown) {
    if (!exchange(ctx, at, "QI", {0, kEventRecordLength})) return Step::Failed;
    if (ctx.link.replyLength() == at.length(0)) return Step::Done;  // past the last one
    const std::optional<EventRecord> record =
        ParseEventRecord(ctx.link.replyAt(at.dataAt(), kEventRecordLength));
    if (!record) return Step::Failed;
    ctx.polling.setPollingDate(RecordDateText(*record));
    ctx.polling.setPollingData(DescribeRecord(*record, ctx.view.language()));
    ++shown;
    ctx.view.processEvents();

    if (!exchange(ctx, at, "PI", {kCountDigits})) return Step::Failed;
    return countAt(ctx, at) == 0 ? Step::Done : Step::Next;
}

// The test itself: Ok when the store was read to its end, Interrupted when the user
// stopped it first.
RunOutcome readStore(ProcedureContext& ctx, int& shown) {
    const Layout at{int(ctx.state.deviceId.size())};

    // 1. The store's state.
    if (!readStoreState(ctx, at)) return RunOutcome::Error;

    // 2. Back to the oldest record; an empty store is said so, not left blank.
    if (!exchange(ctx, at, "IB", {kCountDigits})) return RunOutcome::Error;
    if (countAt(ctx, at) == 0) {
        ctx.polling.setPollingData(Text(EventText::NoRecords, ctx.view.language()));
        return RunOutcome::Ok;
    }

    // 3. Record by record, each shown for a moment, until the end or a cancel.
    while (ctx.state.pollingRunning) {
        ctx.view.processEvents();
        switch (readOneRecord(ctx, at, shown)) {
            case Step::Failed:
                return RunOutcome::Error;
            case Step::Done:
                return RunOutcome::Ok;
            case Step::Next:
                ctx.clock.pause(kPollingRecordPauseMs);
                break;
        }
    }
    return RunOutcome::Interrupted;
}

}  // namespace

Outcome PollingTestClick(ProcedureContext& ctx) {
    const StartStopTest test{TestId::Polling, ctx.state.pollingRunning, msg::PoolingDataTest};
    return RunStartStopTest(ctx, test, [&](TestRunFrame& run) {
        int shown = 0;
        const RunOutcome outcome = readStore(ctx, shown);
        run.detail().insert(QStringLiteral("records"), shown);
        return outcome;
    });
}

}  // namespace pb
