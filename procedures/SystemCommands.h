#pragma once
// The one-shot system commands of the test page: set the controller's clock, raise or
// clear an alarm, restore factory settings, restart.

#include <QDateTime>
#include <optional>

#include "procedures/Procedure.h"
#include "procedures/RunResult.h"

namespace pb {

// How long the older controller needs before it answers "AS" again.
constexpr int kFactoryInitialWaitMs = 16000;
constexpr int kRebootWaitMs = 3500;

// Each returns the ending it showed and why it ended so.
// btnSetDate: `time`, or (none given) the PC's local date and time read once after the
// first pause; the result says what was sent.
SetDateResult SetDateTime(ProcedureContext& ctx, const std::optional<QDateTime>& time = std::nullopt);
// A one-shot command of a test of its own: the device ID and `command` (mnemonic and
// data), answered by a bare reply; `status` is the status line while it runs.
RunResult SystemCommand(ProcedureContext& ctx, TestId test, MsgId status, const QString& command);
// btnAlarm: alarmIndex is the item index of cmbAlarm (0 "Alarm Off" .. 6 "Duress Alarm").
RunResult AlarmTest(ProcedureContext& ctx, int alarmIndex);
// btnInitial.
RunResult FactoryInitial(ProcedureContext& ctx);
// btnReboot.
RunResult Reboot(ProcedureContext& ctx);

// After a restart: asks the controller ("AC", "AS" on the older one) until it answers,
// for at most withinMs. Ok when it answered; answeredAfterMs then says when. A closed
// link (a cancel) ends the wait.
AnswerResult AwaitAnswer(ProcedureContext& ctx, int withinMs);

}  // namespace pb
