#pragma once
// Counting one pass without running it: its shape, and how many of its points lie past
// a pole or the 180° meridian. Every figure comes from the walk itself (Walk.h); nothing
// here writes a point, sleeps or changes the job, so any thread may count a job that
// another thread walks.

#include "ScanJob.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrell {

// The shape of job's pass, exactly as RunPass would walk it; nothing when the request
// yields no points. At most some 10^8 float32 additions (the reach limits bound the
// rows), so well under a second.
std::optional<PassShape> CountPass(const CScanJob& job);

// Points of one pass that the walk writes beyond the world's edges, as computed: it
// wraps nothing.
struct OutsideCount {
    std::uint64_t pastSouthPole = 0; // latitude below -90
    std::uint64_t pastNorthPole = 0; // above 90
    std::uint64_t pastEast = 0;      // longitude above 180
    std::uint64_t pastWest = 0;      // below -180
    // The latitudes are always exact. Longitudes are stepped point by point up to
    // kExactSteps additions; rows beyond that budget are estimated without rounding. A
    // walk kept to an area writes, and so counts, its kept points only, each stepped.
    bool longitudesExact = true;
};
inline constexpr std::uint64_t kExactSteps = 30'000'000;

OutsideCount CountOutside(const CScanJob& job, const PassShape& shape);

// The number, from 1, of the first point of job's pass that the LookAt file prints as it
// prints this one (latitude, longitude and range); nothing when no point does. A job
// kept to an area counts its kept points only, and finds no other. Steps the
// whole pass at most, printing one latitude a row.
std::optional<std::uint64_t> FindPoint(const CScanJob& job, float latitude, float longitude, std::int32_t range);

// The same for the point the LookAt file at path holds, where it is a file this program
// wrote (RequestFile.h's ReadWrittenPoint: never waits, never fails louder than nothing).
std::optional<std::uint64_t> FindWrittenPoint(const CScanJob& job, std::string_view path);

} // namespace vantrell
