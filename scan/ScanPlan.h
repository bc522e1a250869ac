#pragma once
// Planning a scan without running it: how many points one pass has and how long its
// pacing takes, or why a request yields no points. Portable; writes no file and never
// sleeps. Both programs' `--plan` command is RunPlanCommand.

#include "ScanJob.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

// The shape of one pass, counted with the walk's own float32 stepping.
struct PassShape {
    std::uint64_t pointsPerRow = 0; // 0 when miles east is not above 0: no rows, only south moves
    std::uint64_t rowPairs = 0;
    std::uint64_t points = 0;       // rowPairs * 2 * (pointsPerRow + 1)
    float step = kDefaultStep;      // miles
};

// The shape of job's pass, exactly as RunPass would walk it; nothing when the request
// yields no points. Sets the job's step, as a pass does. At most some 10^8 float32
// additions (the reach limits bound the rows), so well under a second.
std::optional<PassShape> CountPass(CScanJob& job);

// Every limit the request breaks, one phrase each ("latitude minutes 60 are out of range
// (0 to 59)"); empty exactly when the request yields points. Sets the job's step.
std::vector<std::string> BrokenLimits(CScanJob& job);

// The plan as text, lines ending in '\n': the points per pass and the time the pacing
// takes, or the broken limits.
std::string PlanText(CScanJob& job);

// n with a comma between groups of three digits, locale-free: "-1,234,567".
std::string Grouped(std::int64_t n);
std::string Grouped(std::uint64_t n);

// A duration of count * factor quarter seconds (count below 2^51, factor below 2^31:
// a pass's points and a speed factor), e.g. "2 d 3 h 35 min 12.25 s"; zero parts are
// left out, "0 s" for nothing.
std::string QuarterSecondsText(std::uint64_t count, std::uint64_t factor);

struct PlanOutput {
    int status = 0;   // process exit status: 0 done, 2 bad usage
    std::string out;  // for standard output
    std::string err;  // for standard error
};

inline constexpr std::string_view kPlanOption = "--plan";

// The command line after the program's name. Nothing when it does not start with
// kPlanOption; otherwise the thirteen values, in the form's reading order, through the
// form's text-to-number rule. program names the program in the usage line.
std::optional<PlanOutput> RunPlanCommand(std::string_view program, std::span<const std::string> args);

} // namespace vantrell
