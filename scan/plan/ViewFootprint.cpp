#include "ViewFootprint.h"

#include "WalkArithmetic.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrell {
namespace {

// Ground metres a view is wide per metre of range: 2 tan(fov / 2).
double WidthPerMetre()
{
    return 2.0 * std::tan(kFieldOfViewDegrees / 2.0 * 3.14159265358979323846 / 180.0);
}

double HeightAt(std::int64_t range)
{
    return static_cast<double>(range) * WidthPerMetre() * kWindowHeight / kWindowWidth;
}

} // namespace

ViewSize ViewAt(std::int32_t range)
{
    if (range <= 0)
        return {};
    const double width = range * WidthPerMetre();
    return {width, width * kWindowHeight / kWindowWidth};
}

double ShareInView(std::int32_t range, float step)
{
    const ViewSize view = ViewAt(range);
    const double apart = step * kMetresPerMile;
    if (!(apart > 0.0))
        return 1.0;
    return std::min(1.0, view.width / apart) * std::min(1.0, view.height / apart);
}

std::int64_t RangeWithoutGap(float step)
{
    const double apart = step * kMetresPerMile;
    auto range = static_cast<std::int64_t>(std::ceil(apart / HeightAt(1)));
    // The quotient may round either way: settle on the exact smallest.
    while (range > 1 && HeightAt(range - 1) >= apart)
        --range;
    while (HeightAt(range) < apart)
        ++range;
    return std::max<std::int64_t>(range, 1);
}

std::optional<std::int32_t> ResolutionWithoutGap(std::int32_t range)
{
    const double height = ViewAt(range).height;
    const auto fits = [&](std::int64_t resolution) {
        return StepOfResolution(static_cast<std::int32_t>(resolution)) * kMetresPerMile <= height;
    };
    constexpr auto kMost = static_cast<double>(std::numeric_limits<std::int32_t>::max());
    // Steps grow with the resolution: start just above the estimate and come down.
    auto resolution = static_cast<std::int64_t>(std::min(kMost, std::floor(height / kMetresPerMile * 10.0) + 2.0));
    while (resolution >= 1 && !fits(resolution))
        --resolution;
    if (resolution < 1)
        return std::nullopt;
    return static_cast<std::int32_t>(resolution);
}

} // namespace vantrell
