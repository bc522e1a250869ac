#include "ImageryCache.h"

#include "ViewFootprint.h"
#include "Walk.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrell {
namespace {

constexpr double kMercatorEdge = 85.0511287798066; // degrees: atan(sinh(pi))
constexpr double kTwoTo53 = 9007199254740992.0;

// The figures every level shares: cos(phi) > 0, the ground in square metres, the ground
// metres a window pixel shows.
struct Pass {
    double cosine = 1.0;
    double ground = 0.0;
    double metresPerPixel = 0.0;
};

double TileWidth(const Pass& pass, int level) { return std::ldexp(kEquatorMetres * pass.cosine, -level); }

int FinestLevel(const Pass& pass)
{
    for (int level = 0; level < kFinestLevel; ++level) {
        if (TileWidth(pass, level) / kTilePixels <= pass.metresPerPixel)
            return level;
    }
    return kFinestLevel;
}

double TilesAt(const Pass& pass, int level)
{
    const double width = TileWidth(pass, level); // at least some 1.6 m: never 0
    const double finest = std::ceil(pass.ground / (width * width));
    if (finest < kTwoTo53) {
        // n * 4 / 3 is never halfway between whole numbers: (4n + 1) / 3 rounds it.
        const auto n = static_cast<std::uint64_t>(finest);
        return static_cast<double>((4 * n + 1) / 3);
    }
    return std::round(finest * 4.0 / 3.0);
}

double Megabytes(double tiles)
{
    return std::max(1.0, std::round(tiles * kBytesPerTile / kBytesPerMegabyte));
}

// The ground of points views step apart at range; without a range (none chosen yet) the
// whole step's, as views that leave no gap show.
Pass PassOf(double middleLatitude, const PassShape& shape, std::uint64_t points, int windowPixels,
            std::optional<std::int32_t> range)
{
    const double latitude = std::clamp(middleLatitude, -kMercatorEdge, kMercatorEdge);
    const double step = shape.step * kMetresPerMile;
    const int pixels = std::clamp(windowPixels, 1, kMaxWindowPixels);
    const ViewSize view = ViewAt(range.value_or(0));
    const double along = range ? std::min(step, view.width) : step;
    const double across = range ? std::min(step, view.height) : step;
    return {std::cos(latitude * 3.14159265358979323846 / 180.0), static_cast<double>(points) * along * across,
            view.width / pixels};
}

} // namespace

double MiddleLatitude(const CScanJob& job, const PassShape& shape)
{
    // Rows keep their latitude: their ends are enough, and the south moves give the rest.
    struct Extremes {
        float north = -std::numeric_limits<float>::infinity();
        float south = std::numeric_limits<float>::infinity();
        void Take(float latitude)
        {
            north = std::max(north, latitude);
            south = std::min(south, latitude);
        }
        RowVisit Row(const WalkRow& row)
        {
            Take(row.latitude);
            return RowVisit::Estimate;
        }
        bool Point(std::uint64_t, float latitude, float, bool)
        {
            Take(latitude);
            return true;
        }
    } extremes;
    WalkPass(job.Check(), shape, extremes);
    if (extremes.north < extremes.south) // no point: not a pass CountPass gives
        return 0.0;
    return (static_cast<double>(extremes.north) + extremes.south) / 2.0;
}

ImageryLoad LoadOfPass(const CScanJob& job, const PassShape& shape, int windowPixels)
{
    ImageryLoad load;
    load.latitude = MiddleLatitude(job, shape);
    load.points = job.PassPoints(shape);
    const Pass pass = PassOf(load.latitude, shape, load.points, windowPixels, job.m_nRange);
    load.level = FinestLevel(pass);
    load.tileWidth = TileWidth(pass, load.level);
    load.tiles = TilesAt(pass, load.level);
    load.megabytes = Megabytes(load.tiles);
    return load;
}

std::optional<CacheFit> FitInCache(const PassShape& shape, int windowPixels, const ImageryLoad& load)
{
    if (load.megabytes <= kCacheMegabytes)
        return std::nullopt;
    CacheFit fit;
    fit.scans = std::ceil(load.megabytes / kCacheMegabytes);
    // A range that fits leaves no gap, so the ground is the whole step's; each range below
    // sets its own pixels.
    Pass pass = PassOf(load.latitude, shape, load.points, windowPixels, std::nullopt);
    int level = load.level - 1; // the levels load.level and finer do not fit
    while (level >= 0 && Megabytes(TilesAt(pass, level)) > kCacheMegabytes)
        --level;
    if (level < 0)
        return fit;

    // The range whose pixels are that level's texels; settled on the exact smallest, as
    // the quotient may round either way.
    const double pixels = std::clamp(windowPixels, 1, kMaxWindowPixels);
    constexpr auto kMostRange = std::numeric_limits<std::int32_t>::max();
    const double estimate = std::ceil(pixels * TileWidth(pass, level) / kTilePixels / ViewAt(1).width);
    if (!(estimate <= kMostRange))
        return fit;
    const auto levelAt = [&](std::int64_t range) {
        pass.metresPerPixel = ViewAt(static_cast<std::int32_t>(range)).width / pixels;
        return FinestLevel(pass);
    };
    auto range = std::max<std::int64_t>(1, static_cast<std::int64_t>(estimate));
    while (range > 1 && levelAt(range - 1) <= level)
        --range;
    while (range < kMostRange && levelAt(range) > level)
        ++range;
    if (levelAt(range) > level)
        return fit;
    fit.range = static_cast<std::int32_t>(range);
    fit.resolution = ResolutionWithoutGap(*fit.range);
    return fit;
}

} // namespace vantrell
