#pragma once
// A preview of one pass for the globe viewer: a small KML 2.2 document with the area's
// outline, the pass's path through its turning points, its first point and the ground
// the first views show, framed by a LookAt. It is never "Vantrell.kml", which the scan keeps rewriting.

#include "PassCount.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrell {

// Row pairs a preview draws at most; a longer pass shows its first ones and says so.
inline constexpr std::uint64_t kPreviewRowPairs = 1000;
// Views a preview outlines at most: those of the first two row pairs' points.
inline constexpr std::size_t kPreviewViews = 200;
// Runs of consecutive kept points a preview of a walk kept to an area draws at most.
inline constexpr std::size_t kPreviewRuns = 2000;

struct PreviewSummary {
    std::uint64_t shown = 0; // rows the path goes through; south moves for a pass without rows
    std::uint64_t total = 0; // of the whole pass
    bool rows = true;        // false: the pass has no rows, only south moves
};

// "the first 2,000 of 9,036,860 rows", for a preview that does not show the whole pass.
std::string PreviewShows(const PreviewSummary& summary);

// The document, lines ending as the LookAt file's do; empty when the request yields no
// points. The path's coordinates are printed as the LookAt file prints points. At most
// kPreviewRowPairs row pairs and some kExactSteps float32 additions.
// For a walk kept to an area (CScanJob::Kept) the path is one line a run of consecutive
// kept points through its turning points (a point for a run of one), at most
// kPreviewRuns and the row pairs above, only pairs that keep a point stepped; the views
// are the first kept points'; and a folder (AreaFolder) and the data
// (RequestExtendedData) keep the area and its corridor.
std::string PreviewDocument(CScanJob& job, PreviewSummary* summary = nullptr);

// Why path must not be written: its name, or the file it leads to, is the scan's
// Vantrell.kml or one of that file's temporaries, or it is the working folder's
// Vantrell.kml by another name. Empty when it may be.
std::string PreviewRefusal(std::string_view path);

// Replaces the file at path with the preview, whole. On failure (also for a preview
// larger than a plan file may be, kMaxPlanFileBytes) error is a sentence for the user
// and nothing was written. With summary, says how much of the pass the
// path shows.
bool WritePreview(std::string_view path, CScanJob& job, std::string& error, PreviewSummary* summary = nullptr);

} // namespace vantrell
