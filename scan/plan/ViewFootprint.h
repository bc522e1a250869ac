#pragma once
// What one view of the viewer shows, and whether the views of a pass leave gaps. The
// model: the viewer looks straight down at each point (tilt 0, heading 0, as the LookAt
// file says) from the point's range, with a horizontal field of view of 60 degrees, in a
// 16:9 window. So a view is W = 2 * R * tan 30° metres wide and H = W * 9 / 16 metres
// tall. On an endless grid of points one step S apart the share of the ground in view
// would be min(1, W / S) * min(1, H / S); ViewShare.h measures it on the pass itself.

#include <cstdint>
#include <optional>

namespace vantrell {

inline constexpr double kFieldOfViewDegrees = 60.0; // horizontal
inline constexpr int kWindowWidth = 16;             // the window's proportions
inline constexpr int kWindowHeight = 9;
inline constexpr double kMetresPerMile = 1609.344;

// The ground a view shows, metres; 0 by 0 for a range that is not positive.
struct ViewSize {
    double width = 0.0;
    double height = 0.0;
};
ViewSize ViewAt(std::int32_t range);

// Share in view, 0 to 1, of an endless grid of points step miles apart: the views' own
// gaps, without the edges.
double ShareInView(std::int32_t range, float step);

// The smallest whole number of metres of range whose view is at least step miles tall.
std::int64_t RangeWithoutGap(float step);

// The largest Resolution of 1 or more whose step is at most as long as the view at range
// is tall; nothing where even Resolution 1 leaves a gap.
std::optional<std::int32_t> ResolutionWithoutGap(std::int32_t range);

} // namespace vantrell
