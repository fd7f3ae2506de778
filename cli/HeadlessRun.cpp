// The headless view and the calls into the procedures. Everything here follows today's
// view interfaces (ProcedureView, TestRunView, FirmwareProgressView) and entry points.
#include "cli/HeadlessRun.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QTimer>

#include "cli/ExitCode.h"
#include "cli/HeadlessClock.h"
#include "cli/UnitRecords.h"
#include "cli/UnitReporter.h"
#include "firmware/FirmwareUpgrade.h"
#include "i18n/EndingTexts.h"
#include "procedures/CommandConsoles.h"
#include "procedures/ConnectAndIdentify.h"
#include "procedures/DidoTest.h"
#include "procedures/PollingTest.h"
#include "procedures/StoppedRun.h"
#include "procedures/SystemCommands.h"

namespace cli {
namespace {

using Reporter = UnitReporter;
using pb::AsAsked;

enum class Loop { None, Dido, Poll };

// What an upgrade that stopped once programming had begun leaves behind.
QString MayLackFirmware() {
    return QStringLiteral("the unit may be left half-flashed, without working firmware: "
                          "upgrade it again before use");
}

// The window without a window: it keeps what the procedures show, reports steps and
// progress, counts DI/DO cycles and turns a cancel into what each test honours.
class HeadlessView final : public pb::TestRunView,
                           public pb::IdentifyView,
                           public pb::DidoView,
                           public pb::PollingView,
                           public pb::ConsoleView,
                           public pb::FirmwareProgressView,
                           public pb::RunObserver {
public:
    HeadlessView(Reporter& report, const pb::LinkSettings& settings, const CommandJob& job,
                 pb::Link& link, pb::ControllerState& state, Cancel& cancel)
        : report_(report), settings_(settings), job_(job), link_(link), state_(state),
          cancel_(cancel) {}

    Loop loop = Loop::None;

    // --- what the run shows ---
    QString status, version, serialText, reply, stoppedWhere;
    bool lampRed = false;
    QJsonArray records;
    int cyclesStarted = 0, cyclesDone = 0, pollTotal = 0;
    int programDone = 0, programTotal = -1, verifyDone = 0, verifyTotal = -1;

    // --- TestRunView ---
    void setStatus(const QString& text) override {
        if (text == status) return;
        status = text;
        report_.step(text);
    }
    void setLamp(pb::LampColour colour) override { lampRed = colour == pb::LampColour::Red; }
    void setBusy(bool) override {}
    void setWaitCursor(bool) override {}
    void beep(int, int) override {}
    void processEvents() override {
        QCoreApplication::processEvents();
        if (cancel_.requested()) honourCancel();
    }
    pb::LinkSettings readLinkSettings() override { return settings_; }
    pb::Language language() const override { return job_.language; }

    // --- connect and identify ---
    QString idCaption() const override { return idCaption_; }
    void setIdCaption(const QString& id) { idCaption_ = id; }
    void setIdPosition(int) override {}
    void setVersionText(const QString& text) override { version = text; }
    void setSerialNumberText(const QString& text) override { serialText = text; }
    void showAllInputsAndOutputs() override {}
    void hideInputsAndOutputsMissingOnKind4() override {}
    void saveLinkSettings() override {}

    // --- DI/DO ---
    void setWindowEnabled(bool) override {}
    bool outputTicked(int k) const override {
        // Output 1 is asked first in every cycle of both variants: a cycle begins.
        if (k == 1) const_cast<HeadlessView*>(this)->cycleBegins();
        return k >= 1 && k <= job_.outputs.size() && job_.outputs.at(k - 1) == QLatin1Char('1');
    }
    void untickAllOutputs() override {}
    // What was read comes back from the test itself; the lamps are for a watcher.
    void setInputLamp(int, pb::InputLamp) override {}

    // --- polling ---
    void setPollingDate(const QString& text) override {
        pollDate_ = text;
        dateFresh_ = true;
    }
    void setPollingData(const QString& text) override {
        // A record is a date followed by its description; other texts are messages.
        if (dateFresh_ && !text.isEmpty()) {
            records.append(QJsonObject{{QStringLiteral("date"), pollDate_},
                                       {QStringLiteral("text"), text}});
            report_.step(pollDate_ + QStringLiteral("  ") + text);
            report_.progress(QStringLiteral("poll"), int(records.size()), pollTotal);
        } else if (!text.isEmpty()) {
            report_.step(text);
        }
        dateFresh_ = false;
    }

    // --- the run as the frame reports it: why a link would not open; and to the records ---
    QString openDetail;
    pb::EndingReason reason;  // why the last run ended as it did, as the window says it
    pb::RunObserver* keeper = nullptr;  // the unit records; null when none are kept
    void runStarted(const pb::RunStart& start) override {
        openDetail.clear();
        reason = {};
        if (keeper) keeper->runStarted(start);
    }
    void runEnded(const pb::RunReport& report) override {
        openDetail = report.detail.value(QStringLiteral("openDetail")).toString();
        reason = pb::EndingReasonFromJson(report.detail.value(QStringLiteral("reason")).toObject())
                     .value_or(pb::EndingReason{});
        if (keeper) keeper->runEnded(AsAsked(report, cancel_.requested()));
    }
    void runProgressed(const QJsonObject& detail) override {
        if (keeper) keeper->runProgressed(detail);
    }
    void controllerIdentified(const pb::ControllerIdentity& identity) override {
        if (keeper) keeper->controllerIdentified(identity);
    }

    // --- consoles ---
    void setControllerReplyText(const QString& text) override { reply = text; }
    void setModuleReplyText(const QString& text) override { reply = text; }

    // --- firmware bars: a position is set after each block ---
    void setProgramMaximum(int maximum) override {
        programTotal = maximum;
        report_.progress(QStringLiteral("program"), 0, maximum);
    }
    void setProgramPosition(int position) override {
        if (programTotal < 0) return;  // the reset before a run
        blockDone(QStringLiteral("program"), position, programTotal, programDone);
    }
    void setVerifyMaximum(int maximum) override {
        verifyTotal = maximum;
        report_.progress(QStringLiteral("verify"), 0, maximum);
    }
    void setVerifyPosition(int position) override {
        if (verifyTotal < 0) return;
        blockDone(QStringLiteral("verify"), position, verifyTotal, verifyDone);
    }
    bool stopRequested() const override { return cancel_.requested(); }

    // The DI/DO loop has ended: its last cycle is done.
    void didoEnded() { cycleEnds(); }

    // What the link carried: the polling count.
    void observe(const pb::TrafficRecord& r) {
        if (r.direction == pb::TrafficRecord::Direction::Received && loop == Loop::Poll) {
            const int at = 1 + int(state_.deviceId.size());
            if (r.bytes.mid(at, 2) == "IB") pollTotal = r.bytes.mid(at + 2, 4).toInt();
        }
    }

    // Clears the running flag of a loop (what a second click does); false for a one-shot
    // test. Safe at any moment: the loop only reads the flag between its exchanges.
    bool stopLoop() {
        if (loop == Loop::Dido) state_.didoRunning = false;
        if (loop == Loop::Poll) state_.pollingRunning = false;
        return loop != Loop::None;
    }

private:
    void cycleBegins() {
        cycleEnds();
        ++cyclesStarted;
        const bool enoughCycles = job_.seconds <= 0 && job_.cycles > 0 && cyclesStarted >= job_.cycles;
        const bool enoughTime = job_.seconds > 0 && report_.elapsed() >= qint64(job_.seconds) * 1000;
        if (enoughCycles || enoughTime) state_.didoRunning = false;  // ends after this cycle
    }
    void cycleEnds() {
        if (cyclesStarted == cyclesDone) return;
        cyclesDone = cyclesStarted;
        report_.progress(QStringLiteral("dido"), cyclesDone, job_.seconds > 0 ? 0 : job_.cycles);
    }

    void blockDone(const QString& phase, int position, int total, int& done) {
        const int now = position >= total ? total : position + 1;
        if (now != done) {
            done = now;
            report_.progress(phase, done, total);
        }
        if (cancel_.requested()) honourCancel();
    }

    // A cancel: the loops stop at the end of their cycle and send their closing command;
    // anything else closes the link, so the procedure ends at its next exchange, which
    // in an upgrade is the next block.
    void honourCancel() {
        if (stopLoop()) return;
        if (!link_.isOpen()) return;
        if (stoppedWhere.isEmpty()) {
            if (verifyTotal >= 0)
                stoppedWhere = QStringLiteral("verify stopped after block %1 of %2")
                                   .arg(verifyDone).arg(verifyTotal);
            else if (programTotal >= 0)
                stoppedWhere = QStringLiteral("programming stopped after block %1 of %2")
                                   .arg(programDone).arg(programTotal);
        }
        link_.CloseLink();
    }

    Reporter& report_;
    pb::LinkSettings settings_;
    const CommandJob& job_;
    pb::Link& link_;
    pb::ControllerState& state_;
    Cancel& cancel_;
    QString idCaption_;
    QString pollDate_;
    bool dateFresh_ = false;
};

struct Verdict {
    int exitCode = kExitOk;
    QString message;
};

// Everything one run needs, in one place.
class UnitRun {
public:
    UnitRun(int unit, const UnitLink& unitLink, const CommandJob& job, Cancel& cancel,
            const EventSink& sink, UnitRecords& records)
        : job_(job), cancel_(cancel), report_(unit, sink), clock_(cancel, job.time, &report_),
          view_(report_, SettingsOf(unitLink), job, link_, state_, cancel), records_(records) {
        const QString id = unitLink.id.isEmpty() ? job.id : unitLink.id;
        view_.setIdCaption(id);
        view_.keeper = records.observer();
        records.follow(link_);
        // A loop stops at the end of the pause or exchange in hand, not one record later.
        QObject::connect(&cancel, &Cancel::requestedNow, &link_, [this] { view_.stopLoop(); });
        QObject::connect(&link_, &pb::Link::traffic, [this](const pb::TrafficRecord& r) {
            sawTraffic_ = true;
            if (r.direction == pb::TrafficRecord::Direction::Failed) lastFailure_ = r.note;
            if (r.direction == pb::TrafficRecord::Direction::Received && !r.checksumOk)
                lastFailure_ = QStringLiteral("the reply failed its checksum");
            view_.observe(r);
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
        const QString& c = job_.command;
        if (c == QLatin1String("identify")) return identify();
        if (c == QLatin1String("upgrade")) return upgrade();
        if (Verdict v = preparedState(); v.exitCode != kExitOk) return v;
        if (c == QLatin1String("set-date"))
            return oneShot(pb::SetDateTime(ctx_), QStringLiteral("date and time set"));
        if (c == QLatin1String("alarm"))
            return oneShot(pb::AlarmTest(ctx_, job_.alarmLevel), QStringLiteral("alarm sent"));
        if (c == QLatin1String("factory-initial"))
            return oneShot(pb::FactoryInitial(ctx_), QStringLiteral("factory settings restored"));
        if (c == QLatin1String("reboot"))
            return oneShot(pb::Reboot(ctx_), QStringLiteral("controller restarted"));
        if (c == QLatin1String("send")) return console(pb::ControllerCommand(ctx_, job_.text));
        if (c == QLatin1String("module"))
            return console(pb::ModuleCommand(ctx_, job_.moduleType, job_.moduleNumber, job_.text));
        if (c == QLatin1String("dido")) return dido();
        if (c == QLatin1String("poll")) return poll();
        return {kExitUsage, QStringLiteral("unknown command '%1'").arg(c)};
    }

    // The ID and model kind a command works with: given, or learnt by an identify.
    Verdict preparedState() {
        if (!job_.modelKind) return identify();
        state_.deviceId = view_.idCaption();
        state_.modelKind = *job_.modelKind;
        detail_.insert(QStringLiteral("deviceId"), state_.deviceId);
        detail_.insert(QStringLiteral("modelKind"), state_.modelKind);
        return {};
    }

    Verdict openFailed() {
        return {kExitLinkNotOpened,
                QStringLiteral("the link could not be opened: %1").arg(view_.openDetail)};
    }

    // The reason the run ended with, in the window's words (English); else `fallback`.
    QString reasonOr(const QString& fallback) const {
        return view_.reason ? pb::EndingReasonText(view_.reason, pb::LanguageIndex(pb::Language::English))
                            : fallback;
    }
    // What the link said of its last failure, after a reason.
    QString linkWords() const {
        return lastFailure_.isEmpty() ? QString() : QStringLiteral(": ") + lastFailure_;
    }
    // ": " and the reason, with the link's own words after it where they add to it.
    QString why() const {
        if (!view_.reason) return linkWords();
        const bool saidAlready = view_.reason.cause == pb::EndingCause::BadChecksum || lastFailure_.isEmpty();
        return QStringLiteral(": ") + reasonOr({}) +
               (saidAlready ? QString() : QStringLiteral(" (") + lastFailure_ + u')');
    }

    Verdict identify() {
        const pb::Outcome o = pb::ConnectAndIdentify(ctx_);
        if (o == pb::Outcome::OpenFailed && !sawTraffic_) return openFailed();
        detail_.insert(QStringLiteral("deviceId"), state_.deviceId);
        detail_.insert(QStringLiteral("modelKind"), state_.modelKind);
        detail_.insert(QStringLiteral("version"), view_.version);
        const QString sn = view_.serialText.section(QStringLiteral("S/N:"), 1).section(QLatin1Char(' '), 0, 0);
        detail_.insert(QStringLiteral("serialNumber"), sn);
        if (o == pb::Outcome::OpenFailed)
            return {kExitNoController,
                    reasonOr(QStringLiteral("no controller answered at ID %1").arg(view_.idCaption()))};
        if (o == pb::Outcome::Error)
            return {kExitNoController,
                    QStringLiteral("the controller at ID %1 answered but could not be identified")
                            .arg(state_.deviceId) + why()};
        return {kExitOk, QStringLiteral("ID %1, model kind %2, %3, S/N %4")
                             .arg(state_.deviceId).arg(state_.modelKind).arg(view_.version, sn)};
    }

    Verdict oneShot(pb::Outcome o, const QString& done) {
        if (o == pb::Outcome::OpenFailed) return openFailed();
        if (o == pb::Outcome::Error)
            return {kExitCommandFailed, QStringLiteral("the command failed") + why()};
        return {kExitOk, done};
    }

    Verdict console(pb::Outcome o) {
        detail_.insert(QStringLiteral("reply"), view_.reply);
        const Verdict v = oneShot(o, QStringLiteral("reply: %1").arg(view_.reply));
        return v;
    }

    Verdict dido() {
        view_.loop = Loop::Dido;
        clock_.interruptible = false;
        state_.didoRunning = false;
        const pb::Outcome o = pb::DidoTestClick(ctx_, &dido_, pb::DidoEnding::NeedsAnsweredRead);
        view_.didoEnded();
        // A cycle counts when its input read was answered; inputs only from replies that came.
        detail_.insert(QStringLiteral("cycles"), dido_.answeredReads);
        detail_.insert(QStringLiteral("cyclesRun"), dido_.cycles);
        if (!dido_.lastInputs.isEmpty()) detail_.insert(QStringLiteral("inputs"), dido_.lastInputs);
        detail_.insert(QStringLiteral("closingCommandSent"), dido_.closingSent);
        if (o == pb::Outcome::OpenFailed) return openFailed();
        if (o == pb::Outcome::Error && !dido_.closingSent)
            return {kExitCommandFailed,
                    reasonOr(QStringLiteral("the line went away after %1 cycles").arg(dido_.cycles)) +
                        linkWords()};
        if (o == pb::Outcome::Error)
            return {kExitCommandFailed, pb::DidoUnansweredText(dido_) + why()};
        QString done = QStringLiteral("%1 cycles, inputs %2, closing command sent")
                           .arg(dido_.answeredReads).arg(dido_.lastInputs);
        if (dido_.unansweredReads() > 0) done += QStringLiteral("; ") + pb::DidoUnansweredText(dido_);
        return {kExitOk, done};
    }

    Verdict poll() {
        view_.loop = Loop::Poll;
        state_.pollingRunning = false;
        const pb::Outcome o = pb::PollingTestClick(ctx_);
        detail_.insert(QStringLiteral("records"), view_.records);
        if (o == pb::Outcome::OpenFailed) return openFailed();
        if (o == pb::Outcome::Error)
            return {kExitCommandFailed, QStringLiteral("reading the event store failed after %1 records")
                                            .arg(view_.records.size()) + why()};
        return {kExitOk, QStringLiteral("%1 records read").arg(view_.records.size())};
    }

    Verdict upgrade() {
        if (Verdict v = identify(); v.exitCode != kExitOk) return v;
        pb::FirmwareBuffer buffer;
        const pb::FirmwareJob fw{job_.firmwareFile, state_.deviceId, state_.modelKind, view_.version};
        pb::FirmwareUpgrade upgrade(link_, view_, view_, clock_);
        upgrade.setObserver(&view_);
        upgrade.refuseUnfitImages(job_.allowPartial);
        const pb::UpgradeOutcome o = upgrade.run(fw, buffer);
        detail_.insert(QStringLiteral("file"), job_.firmwareFile);
        detail_.insert(QStringLiteral("blocksProgrammed"), view_.programDone);
        detail_.insert(QStringLiteral("blocksVerified"), view_.verifyDone);
        detail_.insert(QStringLiteral("blocks"), buffer.blockCount);
        detail_.insert(QStringLiteral("blocksLeftOut"), buffer.blocksLeftOut());
        switch (o) {
            case pb::UpgradeOutcome::ImageRefused:
                return {kExitFirmwareRefused, upgrade.failure() + QStringLiteral("; nothing was sent")};
            case pb::UpgradeOutcome::ModelCheckFailed:
                return {kExitFirmwareRefused, upgrade.failure() + QStringLiteral("; nothing was sent")};
            case pb::UpgradeOutcome::NoLoader:
                return {kExitFirmwareRefused, upgrade.failure() + QStringLiteral("; nothing was sent")};
            case pb::UpgradeOutcome::OpenFailed:
                return openFailed();
            case pb::UpgradeOutcome::Failed:
                return {kExitFlashFailed,
                        upgrade.failure() + QStringLiteral(" (%1 of %2 blocks programmed, %3 verified); ")
                                                .arg(view_.programDone).arg(buffer.blockCount)
                                                .arg(view_.verifyDone) +
                            (upgrade.mayHaveLeftNoFirmware()
                                 ? MayLackFirmware()
                                 : QStringLiteral("programming had not begun, the firmware is as it was"))};
            case pb::UpgradeOutcome::Upgraded:
                break;
        }
        QString done = QStringLiteral("%1 blocks programmed and verified").arg(buffer.blockCount);
        if (buffer.blocksLeftOut() > 0)
            done += QStringLiteral("; %1 blocks of the file left out, the model takes %2")
                        .arg(buffer.blocksLeftOut()).arg(buffer.blockCount);
        return {kExitOk, done};
    }

    QString interruptedWhere(const QString& verdict) const {
        if (job_.command == QLatin1String("dido"))
            return dido_.closingSent ? QStringLiteral("DI/DO stopped after %1 cycles; closing command sent")
                                           .arg(dido_.answeredReads)
                                     : verdict;
        if (!view_.stoppedWhere.isEmpty())
            return view_.stoppedWhere + QStringLiteral("; ") + MayLackFirmware();
        // An upgrade that stopped itself at the request, between blocks: where it was.
        if (job_.command == QLatin1String("upgrade") && view_.programDone > 0) {
            const QString where =
                view_.verifyDone > 0
                    ? QStringLiteral("verify stopped after block %1 of %2").arg(view_.verifyDone).arg(view_.verifyTotal)
                    : QStringLiteral("programming stopped after block %1 of %2")
                          .arg(view_.programDone).arg(view_.programTotal);
            return where + QStringLiteral("; ") + MayLackFirmware();
        }
        return verdict;
    }

    const CommandJob& job_;
    Cancel& cancel_;
    Reporter report_;
    pb::Link link_;
    pb::ControllerState state_;
    HeadlessClock clock_;
    HeadlessView view_;
    pb::ProcedureContext ctx_{link_, view_, view_, view_, view_, view_, clock_, state_, &view_};
    UnitRecords& records_;
    QJsonObject detail_;
    pb::DidoFindings dido_;
    bool sawTraffic_ = false;
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
    for (int i = 0; !pb::ModuleTypeLetter(i).isEmpty(); ++i)
        if (pb::ModuleTypeLetter(i).compare(type, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

}  // namespace cli
