#pragma once
// Planning a scan without running it: how many points one pass has, how long its pacing
// takes and what the viewer will make of it, or why a request yields no points; a
// preview of its path; both programs' `--plan` command. Portable; never sleeps.

#include "AreaWalk.h"
#include "PassCount.h"
#include "PlanCommand.h"
#include "PlanText.h"
#include "Preview.h"
