#pragma once
// What a socket's run tells the station, as a small value that crosses from the
// socket's thread to the window's: which socket, and what happened. Language-free where
// the window words it (verdicts); the procedures' status texts come in the runner's
// language.

#include <QMetaType>
#include <QString>

#include "recipes/RecipeFlow.h"
#include "recipes/RecipeJudge.h"

namespace pb {

struct SocketNews {
    enum class Kind { Started, StepStarted, StepStatus, StepProgress, AwaitingReply, AnsweredAgain, StepEnded, Ended };
    Kind kind = Kind::Started;
    int socket = -1;  // its index in the fixture
    int step = -1;    // from 0
    int attempt = 0;  // StepStarted: from 1
    QString text = {};     // StepStatus: the status line; AwaitingReply: the command waited on
    QString phase = {};    // StepProgress: "program", "verify", "dido", "poll"
    int done = 0;
    int total = 0;    // 0: not known
    qint64 unansweredMs = 0;  // AwaitingReply: how long the controller has not answered
    StepVerdict stepVerdict = {};  // StepEnded
    UnitVerdict verdict = {};      // Ended: the failing step and why
    bool cancelled = false;   // Ended: stopped by a cancel
    qint64 recordId = 0;      // Ended: the recipe run kept; 0 when none
};

}  // namespace pb

Q_DECLARE_METATYPE(pb::SocketNews)
