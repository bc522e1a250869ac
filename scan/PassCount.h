#pragma once
// Counting one pass without walking it: its shape, and how many of its points lie past
// a pole or the 180° meridian. Every figure comes from the walk's own arithmetic
// (WalkArithmetic.h); nothing here writes a point, sleeps or changes the job, so any
// thread may count a job that another thread walks.

#include "ScanJob.h"

#include <cstdint>
#include <optional>

namespace vantrell {

// The shape of one pass, counted with the walk's own float32 stepping.
struct PassShape {
    std::uint64_t pointsPerRow = 0; // 0 when miles east is not above 0: no rows, only south moves
    std::uint64_t rowPairs = 0;
    std::uint64_t points = 0;       // rowPairs * 2 * (pointsPerRow + 1)
    float step = kDefaultStep;      // miles
};

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
    // kExactSteps additions; rows beyond that budget are estimated without rounding.
    bool longitudesExact = true;
};
inline constexpr std::uint64_t kExactSteps = 30'000'000;

OutsideCount CountOutside(const CScanJob& job, const PassShape& shape);

// The latitudes of one row pair as the walk takes them: the row east, the row west
// after the first south move, and the second south move. Both rows start from the
// corner's longitude and the row west from where the row east ended.
struct RowPair {
    std::uint64_t index = 0;
    float eastLatitude = 0.0f;
    float westLatitude = 0.0f;
    float nextLatitude = 0.0f;
};

// Calls onPair(const RowPair&) for each row pair of the pass in the walk's order, until
// it returns false.
template <class OnPair>
void ForEachRowPair(const RequestCheck& check, const PassShape& shape, OnPair&& onPair)
{
    const float latitudeStep = LatitudeStep(check.step);
    RowPair pair;
    pair.nextLatitude = check.startLatitude;
    for (; pair.index < shape.rowPairs; ++pair.index) {
        pair.eastLatitude = pair.nextLatitude;
        pair.westLatitude = StepSouth(pair.eastLatitude, latitudeStep);
        pair.nextLatitude = StepSouth(pair.westLatitude, latitudeStep);
        if (!onPair(static_cast<const RowPair&>(pair)))
            return;
    }
}

// The longitude of a row's last point, stepped as the walk steps (pointsPerRow
// additions from start); start itself for a pass without rows.
float RowEnd(float latitude, float start, double direction, const PassShape& shape);

} // namespace vantrell
