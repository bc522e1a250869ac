#pragma once
// The serpentine walk of one pass, written once: the scan itself, the plan's counts and
// the preview all go through WalkPass.
//
// The pass is made of row pairs. Each pair starts again from the corner's longitude,
// whatever the row before ended on: a row east, one point a step south of its last
// point, a row west from there, and one more point a step south. Every row has the same
// number of points, and the pass as many row pairs as the float32 accumulation of miles
// takes (PassShape). The corner itself is never a point: the first point lies one step
// east of it (due south of it in a pass without rows).
//
// Everything here is arithmetic on values: it allocates nothing, writes nothing and never
// sleeps, so the walk may run it for every point and any thread may count with it.

#include "RequestCheck.h"
#include "WalkArithmetic.h"

#include <cstdint>

namespace vantrell {

// The shape of one pass, counted with the walk's own float32 stepping.
struct PassShape {
    std::uint64_t pointsPerRow = 0; // 0 when miles east is not above 0: no rows, only south moves
    std::uint64_t rowPairs = 0;
    std::uint64_t points = 0;       // rowPairs * 2 * (pointsPerRow + 1)
    float step = 0.25f;             // miles
};

// The shape of a pass over milesEast by milesSouth at check's step; check must yield
// points (its reach limits bound the additions, some 10^8 at most).
PassShape ShapeOf(const RequestCheck& check, std::int32_t milesEast, std::int32_t milesSouth);

// One row as the walk is about to step it.
struct WalkRow {
    std::uint64_t pair = 0;    // row pair, from 0
    std::uint64_t first = 0;   // number of the row's first point in the pass, from 1
    double direction = 1.0;    // +1 east, -1 west
    float latitude = 0.0f;
    float start = 0.0f;        // longitude before the row's first point
    double increment = 0.0;    // degrees of longitude a step
    std::uint64_t points = 0;
};

// What a visitor wants of a row: its points one by one, or only where it ends, taken
// without stepping as start + points * increment in exact arithmetic (the walk's own end
// differs by float32 rounding, at most 2^-17 degrees a step below 256 degrees); or to end
// the walk here.
enum class RowVisit { Step, Estimate, Stop };

// Walks one pass in order. The visitor has
//   RowVisit Row(const WalkRow& row)                       before each row
//   bool Point(std::uint64_t index, float latitude, float longitude, bool southMove)
// for each point stepped (index from 1 in the pass; the south moves too); Point returns
// false to end the walk there. Returns false if the visitor ended it.
template <class Visitor>
bool WalkPass(const RequestCheck& check, const PassShape& shape, Visitor&& visitor)
{
    const float latitudeStep = LatitudeStep(shape.step);
    const std::uint64_t n = shape.pointsPerRow;
    float latitude = check.startLatitude;
    std::uint64_t index = 0;
    for (std::uint64_t pair = 0; pair < shape.rowPairs; ++pair) {
        float longitude = check.startLongitude;
        for (const double direction : {1.0, -1.0}) {
            if (n > 0) {
                const WalkRow row{pair, index + 1, direction, latitude, longitude,
                                  LongitudeIncrement(RowFactor(latitude), shape.step), n};
                switch (visitor.Row(row)) {
                case RowVisit::Stop:
                    return false;
                case RowVisit::Estimate:
                    longitude = static_cast<float>(longitude + direction * static_cast<double>(n) * row.increment);
                    index += n;
                    break;
                case RowVisit::Step:
                    for (std::uint64_t k = 0; k < n; ++k) {
                        longitude = StepAlong(longitude, direction, row.increment);
                        if (!visitor.Point(++index, latitude, longitude, false))
                            return false;
                    }
                    break;
                }
            }
            latitude = StepSouth(latitude, latitudeStep);
            if (!visitor.Point(++index, latitude, longitude, true))
                return false;
        }
    }
    return true;
}

} // namespace vantrell
