#include "PassCount.h"

#include <algorithm>
#include <cmath>

namespace vantrell {
namespace {

// Additions of step (taken `per` at a time) until the sum no longer lets the loop go
// on: the do-while of a row (per 1) or of the row pairs (per 2). Valid requests keep
// miles within the step's reach, so this ends.
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

// How many of start + k * increment, k = 1..n, lie above 180 and below -180, in exact
// arithmetic: the estimate for rows past the stepping budget.
void EstimateOutside(double start, double increment, std::uint64_t n, OutsideCount& count)
{
    if (n == 0 || !std::isfinite(increment) || increment == 0.0) {
        if (n > 0 && start > 180.0)
            count.pastEast += n;
        if (n > 0 && start < -180.0)
            count.pastWest += n;
        return;
    }
    const double points = static_cast<double>(n);
    // Points k with start + k * increment > limit (rising) or < limit (falling).
    const auto beyond = [&](double limit, bool above) {
        const double at = (limit - start) / increment; // k where the line meets the limit
        const bool risesPast = (increment > 0.0) == above;
        double k = 0.0;
        if (risesPast) // k > at
            k = points - std::clamp(std::floor(at), 0.0, points);
        else           // k < at
            k = std::clamp(std::ceil(at) - 1.0, 0.0, points);
        return static_cast<std::uint64_t>(k);
    };
    count.pastEast += beyond(180.0, true);
    count.pastWest += beyond(-180.0, false);
}

} // namespace

std::optional<PassShape> CountPass(const CScanJob& job)
{
    const RequestCheck check = job.Check();
    if (!check.YieldsPoints())
        return std::nullopt;
    PassShape shape;
    shape.step = check.step;
    shape.pointsPerRow = job.m_nMilesEast > 0 ? RowPoints(job.m_nMilesEast, shape.step) : 0;
    shape.rowPairs = RowPairs(job.m_nMilesSouth, shape.step);
    shape.points = shape.rowPairs * 2 * (shape.pointsPerRow + 1);
    return shape;
}

float RowEnd(float latitude, float start, double direction, const PassShape& shape)
{
    const double increment = LongitudeIncrement(RowFactor(latitude), shape.step);
    float longitude = start;
    for (std::uint64_t k = 0; k < shape.pointsPerRow; ++k)
        longitude = StepAlong(longitude, direction, increment);
    return longitude;
}

OutsideCount CountOutside(const CScanJob& job, const PassShape& shape)
{
    OutsideCount count;
    const RequestCheck check = job.Check();
    if (!check.YieldsPoints())
        return count;
    const std::uint64_t n = shape.pointsPerRow;
    const auto latitudes = [&](float latitude, std::uint64_t points) {
        if (latitude < -90.0f)
            count.pastSouthPole += points;
        if (latitude > 90.0f)
            count.pastNorthPole += points;
    };
    const auto longitude = [&](double value) {
        if (value > 180.0)
            ++count.pastEast;
        if (value < -180.0)
            ++count.pastWest;
    };
    // Steps a row exactly, counting its points; returns its end.
    const auto stepRow = [&](float latitude, float start, double direction) {
        const double increment = LongitudeIncrement(RowFactor(latitude), shape.step);
        float value = start;
        for (std::uint64_t k = 0; k < n; ++k) {
            value = StepAlong(value, direction, increment);
            longitude(value);
        }
        return value;
    };
    // Below 256 degrees a float32 rounds by at most 2^-17: a pair whose exact reach plus
    // that much per step stays inside 180 has no point outside.
    constexpr double kRounding = 1.0 / 131072.0;
    const double start = check.startLongitude;
    std::uint64_t budget = kExactSteps;
    ForEachRowPair(check, shape, [&](const RowPair& pair) {
        latitudes(pair.eastLatitude, n);
        latitudes(pair.westLatitude, n + 1);
        latitudes(pair.nextLatitude, 1);
        if (n == 0) {
            longitude(start);
            longitude(start);
            return true;
        }
        const double east = LongitudeIncrement(RowFactor(pair.eastLatitude), shape.step);
        const double west = LongitudeIncrement(RowFactor(pair.westLatitude), shape.step);
        const double points = static_cast<double>(n);
        if (std::abs(start) + points * (std::abs(east) + std::abs(west) + 2 * kRounding) < 180.0)
            return true;
        if (budget >= 2 * n) {
            budget -= 2 * n;
            const float eastEnd = stepRow(pair.eastLatitude, check.startLongitude, 1.0);
            longitude(eastEnd);
            longitude(stepRow(pair.westLatitude, eastEnd, -1.0));
            return true;
        }
        count.longitudesExact = false;
        EstimateOutside(start, east, n, count);
        const double eastEnd = start + points * east;
        longitude(eastEnd);
        EstimateOutside(eastEnd, -west, n, count);
        longitude(eastEnd - points * west);
        return true;
    });
    return count;
}

} // namespace vantrell
