#pragma once
// `panelbench-cli run RECIPE`: one unit's recipe run through the recipe runner, told as
// the same events as any command. The exit code is the first failing step's.

#include "cli/Cancel.h"
#include "cli/HeadlessRun.h"
#include "cli/UnitJob.h"
#include "recipes/RecipeFlow.h"

namespace cli {

UnitEvent RunRecipeUnit(int unit, const UnitLink& link, const CommandJob& job, Cancel& cancel,
                        const EventSink& sink);

// The exit code a failed step's reason stands for: the link (3), the controller or its
// identity (4), the firmware file (6), programming (7), a cancel (130), else a command
// or a judged value (5). 0 for a passed unit.
int RecipeExitCode(const pb::UnitVerdict& verdict);

}  // namespace cli
