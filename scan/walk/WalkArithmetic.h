#pragma once
// The walk's float32 arithmetic, one definition each, shared by the walk, the plan's
// counting and the preview. Every float32 result rounds once, from double arithmetic
// on float32 operands; changing any expression here changes the points written.

#include <cmath>
#include <cstdint>

namespace vantrell {

inline constexpr float kMilesPerDegree = 69.172f;
inline constexpr float kDegreeToRadian = 0.017453292f;
inline constexpr float kTenth = 0.1f;
inline constexpr float kDefaultStep = 0.25f;

// Miles a step, from the Resolution in tenths of a mile (0: the default quarter mile).
inline float StepOfResolution(std::int32_t resolution)
{
    return resolution == 0 ? kDefaultStep : static_cast<float>(resolution * static_cast<double>(kTenth));
}

// The walk's accumulation of miles.
inline float Add(float a, float b) { return static_cast<float>(static_cast<double>(a) + b); }

// Miles per degree of longitude along a row of this latitude.
inline float RowFactor(float latitude)
{
    const double radians = static_cast<double>(latitude) * static_cast<double>(kDegreeToRadian);
    return static_cast<float>(std::cos(radians) * static_cast<double>(kMilesPerDegree));
}

// Degrees of latitude in one step south.
inline float LatitudeStep(float step)
{
    return static_cast<float>(1.0 / (static_cast<double>(kMilesPerDegree) / step));
}

inline float StepSouth(float latitude, float latitudeStep)
{
    return static_cast<float>(static_cast<double>(latitude) - latitudeStep);
}

// Degrees of longitude in one step along a row whose RowFactor is rowFactor.
inline double LongitudeIncrement(float rowFactor, float step)
{
    return 1.0 / (static_cast<double>(rowFactor) / static_cast<double>(step));
}

// direction: +1 east, -1 west.
inline float StepAlong(float longitude, double direction, double increment)
{
    return static_cast<float>(longitude + direction * increment);
}

// The row's do-while goes on while the miles added so far stay below miles east; the
// pass's goes on, a row pair at a time, while the miles south stay below miles south.
inline bool RowGoesOn(double milesEast, float along) { return milesEast > along; }
inline bool PassGoesOn(double milesSouth, float south) { return milesSouth > south; }

} // namespace vantrell
