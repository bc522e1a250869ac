#pragma once
// The plan and the progress of a scan in words, for `--plan` and for both programs'
// forms. Portable; writes no file, never sleeps and changes no job, so the user-interface
// thread may word a job that the worker walks.

#include "ImageryCache.h"
#include "PassCount.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantrell {

struct PlanOptions {
    // Seconds between the viewer's re-readings of the file, 1 to kMaxRefreshSeconds
    // (others are taken as the nearer end): the network link file we ship says 4.
    int refreshSeconds = 4;
    // The viewer's window, pixels wide, for the imagery a pass loads (ImageryCache.h).
    int windowPixels = kDefaultWindowPixels;
    // Sentences on values the fields could not hold (CappedFields), said first.
    std::vector<std::string> capped;
    // "Wait for the viewer to read each point" is ticked: each point lasts at least one
    // refresh, so the pace is the viewer's, not the Speed Factor's alone.
    bool follow = false;
};
inline constexpr int kMaxRefreshSeconds = 3600;

// Every limit the request breaks, one phrase each ("latitude minutes 60 are out of range
// (0 to 59)"); empty exactly when the request yields points.
std::vector<std::string> BrokenLimits(const CScanJob& job);

// What the viewer will make of a request that yields points, one sentence each: a pace
// faster than its refresh, views that leave gaps between them or overlap far more than
// they need, a pass that loads more imagery than the cache holds, a hemisphere left empty, points past a pole or the 180° meridian. Empty for a
// request without points.
std::vector<std::string> PlanWarnings(const CScanJob& job, const PlanOptions& options = {});

// The plan as text, lines ending in '\n': the points per pass and the time the pacing
// takes, the imagery a pass loads, then the warnings; or the broken limits.
std::string PlanText(CScanJob& job, const PlanOptions& options = {});

// A running scan in words. emitted: points emitted since the walk began (CScanJob's
// Emitted()). One line "Pass 1: point 412 of 1,640 (25 %), about 20 min 28 s left in this
// pass" for the last point emitted, or "Pass 1: starting" before the first; while
// paused a second line "Paused" follows, after a '\n'. No line end at the close.
std::string ProgressText(CScanJob& job, std::uint64_t emitted, bool paused);

// The number in its pass, from 1, of the point that made emitted points emitted (from 1);
// 0 for a request without points.
std::uint64_t PointInPass(const CScanJob& job, std::uint64_t emitted);

// "Vantrell.kml holds point 4,013 of this pass.": where the LookAt file stands in the
// planned pass (FindWrittenPoint), so a scan can begin there.
std::string ResumeText(std::uint64_t point);

} // namespace vantrell
