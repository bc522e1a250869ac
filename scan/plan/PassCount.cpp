#include "PassCount.h"

#include "LookAtDocument.h"
#include "RequestFile.h"

#include <algorithm>
#include <cmath>

namespace vantrell {
namespace {

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
    return ShapeOf(check, job.m_nMilesEast, job.m_nMilesSouth);
}

OutsideCount CountOutside(const CScanJob& job, const PassShape& shape)
{
    OutsideCount count;
    const RequestCheck check = job.Check();
    if (!check.YieldsPoints())
        return count;
    // Below 256 degrees a float32 rounds by at most 2^-17 a step: a row whose exact reach
    // plus that much a step, and the error its start may carry, stays inside 180 has no
    // point outside, and its end may be estimated.
    constexpr double kRounding = 1.0 / 131072.0;
    if (const KeptPoints* kept = job.Kept()) {
        // Only the kept points are written, and only they count: stepped one by one, as
        // the walk that keeps them steps them.
        struct KeptCounter {
            const KeptPoints& kept;
            OutsideCount& count;
            RowVisit Row(const WalkRow&) { return RowVisit::Step; }
            bool Point(std::uint64_t index, float latitude, float longitude, bool)
            {
                if (kept.Contains(index)) {
                    count.pastSouthPole += latitude < -90.0f;
                    count.pastNorthPole += latitude > 90.0f;
                    count.pastEast += longitude > 180.0f;
                    count.pastWest += longitude < -180.0f;
                }
                return true;
            }
        };
        if (kept->Points() == shape.points)
            WalkPass(check, shape, KeptCounter{*kept, count});
        return count;
    }
    struct Counter {
        OutsideCount& count;
        std::uint64_t budget = kExactSteps;
        double startError = 0.0; // how far an estimated start may lie from the walk's own

        void Latitudes(float latitude, std::uint64_t points)
        {
            if (latitude < -90.0f)
                count.pastSouthPole += points;
            if (latitude > 90.0f)
                count.pastNorthPole += points;
        }
        void Longitude(double value)
        {
            if (value > 180.0)
                ++count.pastEast;
            if (value < -180.0)
                ++count.pastWest;
        }
        RowVisit Row(const WalkRow& row)
        {
            Latitudes(row.latitude, row.points);
            if (row.direction > 0)
                startError = 0.0; // every pair starts again from the corner
            const double points = static_cast<double>(row.points);
            const double error = startError + points * kRounding;
            if (std::abs(static_cast<double>(row.start)) + startError + points * (std::abs(row.increment) + kRounding) <
                180.0) {
                startError = error;
                return RowVisit::Estimate;
            }
            if (budget >= row.points) {
                budget -= row.points;
                startError = 0.0;
                return RowVisit::Step;
            }
            count.longitudesExact = false;
            EstimateOutside(row.start, row.direction * row.increment, row.points, count);
            startError = error;
            return RowVisit::Estimate;
        }
        bool Point(std::uint64_t, float latitude, float longitude, bool southMove)
        {
            if (southMove)
                Latitudes(latitude, 1);
            Longitude(longitude);
            return true;
        }
    } counter{count};
    WalkPass(check, shape, counter);
    return count;
}

std::optional<std::uint64_t> FindPoint(const CScanJob& job, float latitude, float longitude, std::int32_t range)
{
    const std::optional<PassShape> shape = CountPass(job);
    if (!shape || range != job.m_nRange)
        return std::nullopt;
    // Points are told apart as printed: two floats may print alike. A row's latitude is
    // compared once, its longitudes only where that matches.
    struct Finder {
        float latitude;
        float longitude;
        bool rowMatches = false;
        std::optional<std::uint64_t> found;

        RowVisit Row(const WalkRow& row)
        {
            rowMatches = PrintAlike(row.latitude, latitude);
            return RowVisit::Step; // the next rows start where this one ends
        }
        bool Point(std::uint64_t index, float pointLatitude, float pointLongitude, bool southMove)
        {
            if (southMove)
                rowMatches = PrintAlike(pointLatitude, latitude);
            if (rowMatches && PrintAlike(pointLongitude, longitude))
                found = index;
            return !found;
        }
    } finder{latitude, longitude, false, std::nullopt};
    WalkPass(job.Check(), *shape, finder);
    // A walk kept to an area numbers its kept points only, and writes no other.
    if (const KeptPoints* kept = job.Kept(); kept && finder.found)
        return kept->Contains(*finder.found) ? std::optional<std::uint64_t>(kept->Rank(*finder.found)) : std::nullopt;
    return finder.found;
}

std::optional<std::uint64_t> FindWrittenPoint(const CScanJob& job, std::string_view path)
{
    const std::optional<WrittenPoint> point = ReadWrittenPoint(path);
    if (!point)
        return std::nullopt;
    return FindPoint(job, point->latitude, point->longitude, point->range);
}

} // namespace vantrell
