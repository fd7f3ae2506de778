#pragma once
// What the records keep, as the records window, `records show`, the exports' texts and the
// reports show it: made from the kept codes and values in the reader's language, whatever
// language the station that ran it spoke. A row kept before causes were shows its old
// words, phrase by phrase where they are the window's own.

#include <QString>

#include "evidence/Cause.h"
#include "records/store/RecordTypes.h"

namespace pb::records {

// A cause's words; an unknown one (kept before causes were) its old words.
QString ShownCause(const Cause& cause, int language);
// A run's status line: the ending its outcome showed, then why (a run kept before causes
// were: its status text as it was, phrase by phrase).
QString ShownRunStatus(Outcome outcome, const Cause& cause, const QString& statusText, int language);
QString ShownRunStatus(const RunRow& run, int language);
// What a step measured; a step kept before measurements were, its old words.
QString ShownMeasured(const RecipeStepRow& step, int language);
// Why a step did not pass, or the note of a pass; empty for a plain pass and a step not run.
QString ShownStepCause(const RecipeStepRow& step, int language);

}  // namespace pb::records
