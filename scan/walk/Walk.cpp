#include "Walk.h"

namespace vantrell {
namespace {

// Additions of step until the sum no longer lets the row's do-while go on.
std::uint64_t RowPoints(double milesEast, float step)
{
    std::uint64_t rounds = 0;
    float along = 0.0f;
    do {
        along = Add(along, step);
        ++rounds;
    } while (RowGoesOn(milesEast, along));
    return rounds;
}

// The same for the row pairs: two south moves a pair.
std::uint64_t RowPairs(double milesSouth, float step)
{
    std::uint64_t rounds = 0;
    float south = 0.0f;
    do {
        south = Add(south, step);
        south = Add(south, step);
        ++rounds;
    } while (PassGoesOn(milesSouth, south));
    return rounds;
}

} // namespace

PassShape ShapeOf(const RequestCheck& check, std::int32_t milesEast, std::int32_t milesSouth)
{
    PassShape shape;
    shape.step = check.step;
    shape.pointsPerRow = milesEast > 0 ? RowPoints(milesEast, shape.step) : 0;
    shape.rowPairs = RowPairs(milesSouth, shape.step);
    shape.points = shape.rowPairs * 2 * (shape.pointsPerRow + 1);
    return shape;
}

} // namespace vantrell
