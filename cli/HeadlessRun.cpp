// A unit's run: the command's test run through the catalogue and the headless view
// (runner/HeadlessView.h), and the verdict each command draws from what the test found.
#include "cli/HeadlessRun.h"

#include <QJsonArray>

#include "catalogue/TestCatalogue.h"
#include "cli/ExitCode.h"
#include "cli/HeadlessClock.h"
#include "cli/UnitRecords.h"
#include "cli/UnitReporter.h"
#include "i18n/EndingTexts.h"
#include "procedures/CommandConsoles.h"
#include "procedures/DidoTest.h"
#include "runner/HeadlessView.h"
#include "runner/LineBack.h"

namespace cli {
namespace {

using Reporter = UnitReporter;

// What an upgrade that stopped once programming had begun leaves behind.
QString MayLackFirmware() {
    return QStringLiteral("the unit may be left half-flashed, without working firmware: "
                          "upgrade it again before use");
}

// What the headless view shows, as the unit's events: each status a step, each bar's move
// a progress, each polled record a step with its progress.
class UnitNews final : public pb::HeadlessSink {
public:
    explicit UnitNews(Reporter& report) : report_(report) {}

    void status(const QString& text) override { report_.step(text); }
    void progress(const QString& phase, int done, int total) override {
        report_.progress(phase, done, total);
    }
    void phaseBegins(const QString& phase, int total) override { report_.progress(phase, 0, total); }
    void polled(const pb::PollingShown& shown) override {
        if (!shown.record) return report_.step(shown.text);
        report_.step(shown.date + QStringLiteral("  ") + shown.text);
        report_.progress(QStringLiteral("poll"), shown.records, shown.stored);
    }
    qint64 elapsedMs() const override { return report_.elapsed(); }
    // Told once for each text (the output drops a warning it has shown).
    void warning(const QString& text) override {
        UnitEvent e;
        e.kind = UnitEvent::Kind::Warning;
        e.text = text;
        report_.emitEvent(e);
    }

private:
    Reporter& report_;
};

// How long a retried upgrade waits for the controller to answer again.
constexpr int kLineBackS = 60;

// Where an upgrade stopped on a cancel, by the phase it had reached; empty before
// programming began.
QString StoppedIn(const pb::UpgradeResult& r, bool verifying) {
    return verifying ? QStringLiteral("verify stopped after block %1 of %2").arg(r.blocksVerified).arg(r.blocks)
                     : QStringLiteral("programming stopped after block %1 of %2")
                           .arg(r.blocksProgrammed).arg(r.blocks);
}

struct Verdict {
    int exitCode = kExitOk;
    QString message;
};

// Everything one run needs, in one place.
class UnitRun {
public:
    UnitRun(int unit, const UnitLink& unitLink, const CommandJob& job, Cancel& cancel,
            const EventSink& sink, UnitRecords& records)
        : job_(job), cancel_(cancel), report_(unit, sink), news_(report_),
          clock_(cancel, job.time, &report_),
          view_(link_, state_, news_, [&cancel] { return cancel.requested(); }), records_(records) {
        view_.settings = SettingsOf(unitLink);
        view_.lang = job.language;
        view_.idToAsk = unitLink.id.isEmpty() ? job.id : unitLink.id;
        view_.dido = {job.outputs, job.cycles, job.seconds};
        if (pb::RunObserver* keeper = records.observer()) view_.keepers << keeper;
        records.follow(link_);
        // A loop stops at the end of the pause or exchange in hand, not one record later.
        QObject::connect(&cancel, &Cancel::requestedNow, &link_, [this] { view_.stopLoop(); });
        QObject::connect(&link_, &pb::Link::traffic, [this](const pb::TrafficRecord& r) {
            if (r.direction == pb::TrafficRecord::Direction::Failed) lastFailure_ = r.note;
            if (r.direction == pb::TrafficRecord::Direction::Received && !r.checksumOk)
                lastFailure_ = QStringLiteral("the reply failed its checksum");
            if (!job_.traffic) return;
            UnitEvent e;
            e.kind = UnitEvent::Kind::Frame;
            e.direction = DirectionName(r.direction);
            e.bytes = r.bytes;
            e.checksumOk = r.checksumOk;
            e.text = r.note;
            report_.emitEvent(e);
        });
    }

    UnitEvent run() {
        UnitEvent start;
        start.kind = UnitEvent::Kind::Start;
        start.text = job_.command;
        report_.emitEvent(start);
        warnOfRecords();
        Verdict v = dispatch();
        warnOfRecords();
        if (cancel_.requested()) {
            v.exitCode = kExitInterrupted;
            v.message = QStringLiteral("interrupted: ") + interruptedWhere(v.message);
        }
        UnitEvent e;
        e.kind = UnitEvent::Kind::Result;
        e.exitCode = v.exitCode;
        e.text = v.message;
        // The command's run in the records, by what it is: `records show <runId>`.
        if (records_.lastRunId() > 0) detail_.insert(QStringLiteral("runId"), records_.lastRunId());
        e.detail = detail_;
        report_.emitEvent(e);
        return e;
    }

private:
    void warnOfRecords() {
        const QString text = records_.takeWarning();
        if (text.isEmpty()) return;
        UnitEvent e;
        e.kind = UnitEvent::Kind::Warning;
        e.text = text;
        report_.emitEvent(e);
    }

    Verdict dispatch() {
        if (!job_.test || !pb::CatalogueEntry(*job_.test).standalone())
            return {kExitUsage, QStringLiteral("unknown command '%1'").arg(job_.command)};
        const pb::TestId test = *job_.test;
        if (test == pb::TestId::Connect) return identify();
        if (test == pb::TestId::FirmwareUpgrade) return upgrade();
        if (Verdict v = preparedState(); v.exitCode != kExitOk) return v;
        switch (test) {
            case pb::TestId::ControllerCommand:
            case pb::TestId::ModuleCommand:
                return console(*runTest(test).as<pb::ConsoleResult>());
            case pb::TestId::Dido:
                return dido();
            case pb::TestId::Polling:
                return poll();
            default:  // a one-shot command: its words for an ending that went well are its row's
                break;
        }
        const char* done = pb::CatalogueEntry(test).doneText;
        return oneShot(runTest(test).run(), done ? QString::fromLatin1(done) : QStringLiteral("done"));
    }

    // The command's test, from the catalogue, with the command's arguments.
    pb::TestResult runTest(pb::TestId test) {
        pb::TestParams p;
        p.alarmLevel = job_.alarmLevel;
        p.command = job_.text;
        p.moduleType = job_.moduleType;
        p.moduleNumber = job_.moduleNumber;
        p.didoEnding = pb::DidoEnding::NeedsAnsweredRead;
        p.firmware = {job_.firmwareFile, identity_.versionText, true, job_.allowPartial, nullptr};
        return pb::RunTest(rig_, {test, p});
    }

    // The ID and model kind a command works with: given, or learnt by an identify.
    Verdict preparedState() {
        if (!job_.modelKind) return identify();
        state_.deviceId = view_.idToAsk;
        state_.modelKind = *job_.modelKind;
        detail_.insert(QStringLiteral("deviceId"), state_.deviceId);
        detail_.insert(QStringLiteral("modelKind"), state_.modelKind);
        return {};
    }

    static Verdict openFailed(const pb::RunResult& r) {
        return {kExitLinkNotOpened, QStringLiteral("the link could not be opened: %1").arg(r.opened.detail)};
    }

    // The reason the run ended with, in the window's words (English); else `fallback`.
    static QString reasonOr(const pb::RunResult& r, const QString& fallback) {
        return r.reason ? pb::EndingReasonText(r.reason, pb::LanguageIndex(pb::Language::English))
                        : fallback;
    }
    // What the link said of its last failure, after a reason.
    QString linkWords() const {
        return lastFailure_.isEmpty() ? QString() : QStringLiteral(": ") + lastFailure_;
    }
    // ": " and the reason, with the link's own words after it where they add to it.
    QString why(const pb::RunResult& r) const {
        if (!r.reason) return linkWords();
        const bool saidAlready = r.reason.cause == pb::EndingCause::BadChecksum || lastFailure_.isEmpty();
        return QStringLiteral(": ") + reasonOr(r, {}) +
               (saidAlready ? QString() : QStringLiteral(" (") + lastFailure_ + u')');
    }

    Verdict identify() {
        identity_ = *runTest(pb::TestId::Connect).as<pb::IdentifyResult>();
        const pb::IdentifyResult& r = identity_;
        if (r.linkNotOpened()) return openFailed(r);
        detail_.insert(QStringLiteral("deviceId"), r.deviceId);
        detail_.insert(QStringLiteral("modelKind"), r.modelKind);
        detail_.insert(QStringLiteral("version"), r.versionText);
        detail_.insert(QStringLiteral("serialNumber"), r.serialNumber);
        if (r == pb::Outcome::OpenFailed)
            return {kExitNoController,
                    reasonOr(r, QStringLiteral("no controller answered at ID %1").arg(view_.idToAsk))};
        if (r == pb::Outcome::Error)
            return {kExitNoController,
                    QStringLiteral("the controller at ID %1 answered but could not be identified")
                            .arg(r.deviceId) + why(r)};
        return {kExitOk, QStringLiteral("ID %1, model kind %2, %3, S/N %4")
                             .arg(r.deviceId).arg(r.modelKind).arg(r.versionText, r.serialNumber)};
    }

    Verdict oneShot(const pb::RunResult& r, const QString& done) const {
        if (r == pb::Outcome::OpenFailed) return openFailed(r);
        if (r == pb::Outcome::Error)
            return {kExitCommandFailed, QStringLiteral("the command failed") + why(r)};
        return {kExitOk, done};
    }

    Verdict console(const pb::ConsoleResult& r) {
        detail_.insert(QStringLiteral("reply"), r.reply);
        return oneShot(r, QStringLiteral("reply: %1").arg(r.reply));
    }

    Verdict dido() {
        view_.loop = pb::HeadlessLoop::Dido;
        clock_.interruptible = false;
        state_.didoRunning = false;
        dido_ = *runTest(pb::TestId::Dido).as<pb::DidoResult>();
        view_.didoEnded();
        // A cycle counts when its input read was answered; inputs only from replies that came.
        detail_.insert(QStringLiteral("cycles"), dido_.answeredReads);
        detail_.insert(QStringLiteral("cyclesRun"), dido_.cycles);
        if (!dido_.lastInputs.isEmpty()) detail_.insert(QStringLiteral("inputs"), dido_.lastInputs);
        detail_.insert(QStringLiteral("closingCommandSent"), dido_.closingSent);
        if (dido_ == pb::Outcome::OpenFailed) return openFailed(dido_);
        if (dido_ == pb::Outcome::Error && !dido_.closingSent)
            return {kExitCommandFailed,
                    reasonOr(dido_, QStringLiteral("the line went away after %1 cycles").arg(dido_.cycles)) +
                        linkWords()};
        if (dido_ == pb::Outcome::Error)
            return {kExitCommandFailed, pb::DidoUnansweredText(dido_) + why(dido_)};
        QString done = QStringLiteral("%1 cycles, inputs %2, closing command sent")
                           .arg(dido_.answeredReads).arg(dido_.lastInputs);
        if (dido_.unansweredReads() > 0) done += QStringLiteral("; ") + pb::DidoUnansweredText(dido_);
        return {kExitOk, done};
    }

    Verdict poll() {
        view_.loop = pb::HeadlessLoop::Poll;
        state_.pollingRunning = false;
        const pb::PollingResult r = *runTest(pb::TestId::Polling).as<pb::PollingResult>();
        QJsonArray records;
        for (const pb::PolledRecord& record : r.records)
            records.append(QJsonObject{{QStringLiteral("date"), record.dateText},
                                       {QStringLiteral("text"), record.text}});
        detail_.insert(QStringLiteral("records"), records);
        if (r == pb::Outcome::OpenFailed) return openFailed(r);
        if (r == pb::Outcome::Error)
            return {kExitCommandFailed, QStringLiteral("reading the event store failed after %1 records")
                                            .arg(r.recordsRead()) + why(r)};
        return {kExitOk, QStringLiteral("%1 records read").arg(r.recordsRead())};
    }

    // The whole upgrade, tried again after a lost line or a failed verify once the controller
    // answers again (its adapter followed to wherever it is plugged in), up to --retries times.
    // Each try is a run of its own in the records; none resumes another.
    Verdict upgrade() {
        Verdict v = upgradeOnce();
        QJsonArray tries{tryOf(v)};
        const int allowed = job_.upgradeRetries + 1;
        while (tries.size() < allowed && v.exitCode == kExitFlashFailed && pb::WorthAnotherUpgradeTry(upgrade_) &&
               !cancel_.requested()) {
            report_.step(QStringLiteral("try %1 of %2 failed: %3; waiting up to %4 s for the controller to answer again")
                             .arg(tries.size()).arg(allowed).arg(v.message).arg(kLineBackS));
            pb::LineBackWait wait;
            wait.withinS = kLineBackS;
            wait.adapterId = link_.adapterId();
            wait.cancelled = [this] { return cancel_.requested(); };
            if (!pb::AwaitLineBack(rig_, view_, clock_, wait)) {
                v.message += QStringLiteral("; the controller did not answer again within %1 s, no further try")
                                 .arg(kLineBackS);
                break;
            }
            v = upgradeOnce();
            tries.append(tryOf(v));
            if (v.exitCode == kExitOk)
                v.message += QStringLiteral(" (try %1 of %2)").arg(tries.size()).arg(allowed);
        }
        if (job_.upgradeRetries > 0) detail_.insert(QStringLiteral("tries"), tries);
        return v;
    }

    // One try as the result keeps it: its exit code and what it came to.
    QJsonObject tryOf(const Verdict& v) const {
        return {{QStringLiteral("exit"), v.exitCode},
                {QStringLiteral("message"), v.message},
                {QStringLiteral("blocksProgrammed"), upgrade_.blocksProgrammed},
                {QStringLiteral("blocksVerified"), upgrade_.blocksVerified},
                {QStringLiteral("blocks"), upgrade_.blocks}};
    }

    Verdict upgradeOnce() {
        upgrade_ = {};
        if (Verdict v = identify(); v.exitCode != kExitOk) return v;
        upgrade_ = *runTest(pb::TestId::FirmwareUpgrade).as<pb::UpgradeResult>();
        const pb::UpgradeResult& r = upgrade_;
        detail_.insert(QStringLiteral("file"), job_.firmwareFile);
        detail_.insert(QStringLiteral("blocksProgrammed"), r.blocksProgrammed);
        detail_.insert(QStringLiteral("blocksVerified"), r.blocksVerified);
        detail_.insert(QStringLiteral("blocks"), r.blocks);
        detail_.insert(QStringLiteral("blocksLeftOut"), r.blocksLeftOut);
        switch (r.ending()) {
            case pb::UpgradeEnding::Refused:
                return {kExitFirmwareRefused, r.failure + QStringLiteral("; nothing was sent")};
            case pb::UpgradeEnding::LinkNotOpened:
                return openFailed(r.asRun());
            case pb::UpgradeEnding::FlashFailed:
                return {kExitFlashFailed,
                        r.failure + QStringLiteral(" (%1 of %2 blocks programmed, %3 verified); ")
                                        .arg(r.blocksProgrammed).arg(r.blocks).arg(r.blocksVerified) +
                            (r.mayLackFirmware
                                 ? MayLackFirmware()
                                 : QStringLiteral("programming had not begun, the firmware is as it was"))};
            case pb::UpgradeEnding::Upgraded:
                break;
        }
        QString done = QStringLiteral("%1 blocks programmed and verified").arg(r.blocks);
        if (r.blocksLeftOut > 0)
            done += QStringLiteral("; %1 blocks of the file left out, the model takes %2")
                        .arg(r.blocksLeftOut).arg(r.blocks);
        return {kExitOk, done};
    }

    QString interruptedWhere(const QString& verdict) const {
        if (job_.command == QLatin1String("dido"))
            return dido_.closingSent ? QStringLiteral("DI/DO stopped after %1 cycles; closing command sent")
                                           .arg(dido_.answeredReads)
                                     : verdict;
        if (job_.command != QLatin1String("upgrade")) return verdict;
        const pb::UpgradeResult& r = upgrade_;
        // The view closed the link in a phase of blocks: where it was then.
        const bool verifying = r.phase == QLatin1String("verify") || r.phase == QLatin1String("restart");
        if (view_.closedLinkOnCancel() && (verifying || r.phase == QLatin1String("program")))
            return StoppedIn(r, verifying) + QStringLiteral("; ") + MayLackFirmware();
        // An upgrade that stopped itself at the request, between blocks: where it was.
        if (r.blocksProgrammed > 0)
            return StoppedIn(r, r.blocksVerified > 0) + QStringLiteral("; ") + MayLackFirmware();
        return verdict;
    }

    const CommandJob& job_;
    Cancel& cancel_;
    Reporter report_;
    UnitNews news_;
    pb::Link link_;
    pb::ControllerState state_;
    HeadlessClock clock_;
    pb::HeadlessView view_;
    pb::ProcedureContext ctx_{link_, view_, view_, view_, view_, view_, clock_, state_, &view_};
    pb::TestRig rig_{ctx_, view_};
    UnitRecords& records_;
    QJsonObject detail_;
    pb::IdentifyResult identity_;
    pb::DidoResult dido_;
    pb::UpgradeResult upgrade_;
    QString lastFailure_;
};

}  // namespace

UnitEvent RunUnit(int unit, const UnitLink& link, const CommandJob& job, Cancel& cancel,
                  const EventSink& sink) {
    UnitRecords records(job);
    UnitRun run(unit, link, job, cancel, sink, records);
    return run.run();
}

pb::LinkSettings SettingsOf(const UnitLink& u) {
    pb::LinkSettings s;
    if (u.kind == UnitLink::Kind::Tcp) {
        s.kind = pb::LinkKind::Net;
        s.ip = u.host;
        s.tcpPort = u.tcpPort;
    } else {
        s.kind = pb::LinkKind::Com;
        s.portName = u.port;
        s.speed = u.speed;
        s.lowLatency = u.lowLatency;
        s.rs485 = u.rs485;
    }
    return s;
}

QString DirectionName(pb::TrafficRecord::Direction d) {
    switch (d) {
        case pb::TrafficRecord::Direction::Sent:
            return QStringLiteral("sent");
        case pb::TrafficRecord::Direction::Received:
            return QStringLiteral("received");
        case pb::TrafficRecord::Direction::Failed:
            break;
    }
    return QStringLiteral("failed");
}

int ModuleTypeIndex(const QString& type) {
    bool isNumber = false;
    const int n = type.toInt(&isNumber);
    if (isNumber) return pb::ModuleTypeLetter(n).isEmpty() ? -1 : n;
    return pb::ModuleTypeOfLetter(type, Qt::CaseInsensitive);
}

}  // namespace cli
