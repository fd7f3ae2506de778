#include "procedures/PollingTest.h"

#include <optional>

#include "i18n/EventTexts.h"
#include "i18n/Messages.h"
#include "procedures/EventRecord.h"
#include "procedures/LinkCauses.h"
#include "procedures/StartStopTest.h"

namespace pb {
namespace {

constexpr int kCountDigits = 4;
constexpr int kClockDigits = 14;

// How long the replies are, by the length of the ID: lead, ID, mnemonic, data, CRC tail.
struct Layout {
    int idLength;
    int length(int data) const { return 1 + idLength + 2 + data + ReplyFrame::kCrcTail; }
};

// Sends ID + mnemonic and checks the reply names the same mnemonic and has one of the
// expected data lengths; the reply's data when it does, else why not in `why`.
std::optional<QByteArray> exchange(ProcedureContext& ctx, const Layout& at, const char* mnemonic,
                                   std::initializer_list<int> dataLengths, Cause& why) {
    const Exchange x = ctx.link.SendCrcCommand(ctx.state.deviceId + QLatin1String(mnemonic));
    why = CauseOf(x, QLatin1String(mnemonic));
    if (!x) return std::nullopt;
    const std::optional<AddressedReply> r = x.reply.split(at.idLength);
    if (!r || r->mnemonic != mnemonic) return std::nullopt;
    for (int data : dataLengths)
        if (x.reply.length() == at.length(data)) {
            why = {};
            return r->data.left(data);
        }
    return std::nullopt;
}

int countIn(const QByteArray& data) { return data.left(kCountDigits).toInt(); }

// The store's state: the controller's clock is shown until the first record arrives.
// The older controller answers "IE" with its status (clock, alarm, inputs) and no counts.
bool readStoreState(ProcedureContext& ctx, const Layout& at, Cause& why) {
    const bool older = FamilyOf(ctx.state.modelKind).statusIdentified;
    const std::optional<QByteArray> data =
        older ? exchange(ctx, at, "IE", {20, 40}, why)
              : exchange(ctx, at, "IE", {kClockDigits + 3 * kCountDigits}, why);
    if (!data) return false;
    EventRecord clockOnly;
    clockOnly.stamp = QString::fromLatin1(data->left(kClockDigits));
    ctx.polling.setPollingDate(RecordDateText(clockOnly));
    ctx.polling.setPollingData(QString());
    return true;
}

enum class Step { Next, Done, Failed };

// Reads the record under the read pointer, shows it and moves on.
Step readOneRecord(ProcedureContext& ctx, const Layout& at, PollingResult& found, Cause& why) {
    const std::optional<QByteArray> data = exchange(ctx, at, "QI", {0, kEventRecordLength}, why);
    if (!data) return Step::Failed;
    if (data->isEmpty()) return Step::Done;  // past the last one
    const std::optional<EventRecord> record = ParseEventRecord(*data);
    if (!record) {
        why = Cause::of(CauseCode::BadRecord);
        return Step::Failed;
    }
    const PolledRecord shown{*record, RecordDateText(*record), DescribeRecord(*record, ctx.view.language())};
    ctx.polling.setPollingDate(shown.dateText);
    ctx.polling.setPollingData(shown.text);
    found.records.append(shown);
    ctx.view.processEvents();

    const std::optional<QByteArray> left = exchange(ctx, at, "PI", {kCountDigits}, why);
    if (!left) return Step::Failed;
    return countIn(*left) == 0 ? Step::Done : Step::Next;
}

// The test itself: Ok when the store was read to its end, Interrupted when the user
// stopped it first.
RunOutcome readStore(ProcedureContext& ctx, TestRunFrame& run, PollingResult& found, bool pause) {
    const Layout at{int(ctx.state.deviceId.size())};
    Cause why;

    // 1. The store's state.
    if (!readStoreState(ctx, at, why)) return run.fail(why);

    // 2. Back to the oldest record; an empty store is said so, not left blank.
    const std::optional<QByteArray> stored = exchange(ctx, at, "IB", {kCountDigits}, why);
    if (!stored) return run.fail(why);
    found.stored = countIn(*stored);
    ctx.polling.setRecordsStored(found.stored);
    if (found.stored == 0) {
        ctx.polling.setPollingData(Text(EventText::NoRecords, ctx.view.language()));
        return RunOutcome::Ok;
    }

    // 3. Record by record, each shown for a moment, until the end or a cancel.
    while (ctx.state.pollingRunning) {
        ctx.view.processEvents();
        switch (readOneRecord(ctx, at, found, why)) {
            case Step::Failed:
                return run.fail(why);
            case Step::Done:
                return RunOutcome::Ok;
            case Step::Next:
                if (pause) ctx.clock.pause(kPollingRecordPauseMs);
                break;
        }
    }
    return RunOutcome::Interrupted;
}

}  // namespace

PollingResult PollingTestClick(ProcedureContext& ctx, bool pauseBetweenRecords) {
    const StartStopTest test{TestId::Polling, ctx.state.pollingRunning, MsgId::PoolingDataTest};
    PollingResult result;
    static_cast<RunResult&>(result) = RunStartStopTest(ctx, test, [&](TestRunFrame& run) {
        const RunOutcome outcome = readStore(ctx, run, result, pauseBetweenRecords);
        run.detail().insert(QStringLiteral("records"), result.recordsRead());
        return outcome;
    });
    return result;
}

}  // namespace pb
