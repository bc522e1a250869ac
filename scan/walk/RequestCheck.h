#pragma once
// The rules a scan request must keep to yield points, as the engine checks them, and the
// hemisphere words. The walk refuses a request that breaks any rule; the plan words them.

#include <cstdint>
#include <string_view>

namespace vantrell {

// The hemisphere words, letter case and all; an empty word is allowed and means 0.
inline constexpr std::string_view kNorth = "North";
inline constexpr std::string_view kSouth = "South";
inline constexpr std::string_view kEast = "East";
inline constexpr std::string_view kWest = "West";

// One bit each, in the order the plan lists them.
enum class Rule : std::uint32_t {
    LatitudeDegrees = 1u << 0,  // 0 to 90
    LatitudeMinutes = 1u << 1,  // 0 to 59
    LatitudeSeconds = 1u << 2,  // 0 to 59
    LatitudePastEnd = 1u << 3,  // 90 degrees with minutes or seconds
    LatitudeWord = 1u << 4,     // North, South or empty
    LongitudeDegrees = 1u << 5, // 0 to 180
    LongitudeMinutes = 1u << 6,
    LongitudeSeconds = 1u << 7,
    LongitudePastEnd = 1u << 8,
    LongitudeWord = 1u << 9,    // East, West or empty
    NegativeResolution = 1u << 10, // rows would never end
    NegativeSpeed = 1u << 11,      // the pause would wrap to weeks
    EastBeyondReach = 1u << 12,    // float32 steps could never get there
    SouthBeyondReach = 1u << 13,
    NoMilesSouth = 1u << 14,       // a valid request, but without a single row
};

// What the check found; the request's own values are the job's. Never allocates: the
// walk checks each pass.
struct RequestCheck {
    std::uint32_t broken = 0;       // Rule bits
    float step = 0.25f;             // miles
    double reach = 0.0;             // miles that steps of `step` can reach
    double latitudeFactor = 0.0;    // +1 North, -1 South, 0 empty or unknown
    double longitudeFactor = 0.0;   // +1 East, -1 West
    float startLatitude = 0.0f;     // the corner in float32 degrees; 0 when broken
    float startLongitude = 0.0f;

    bool Breaks(Rule rule) const { return (broken & static_cast<std::uint32_t>(rule)) != 0; }
    // The engine's old notion of a valid request: any rule but NoMilesSouth.
    bool Valid() const { return (broken & ~static_cast<std::uint32_t>(Rule::NoMilesSouth)) == 0; }
    bool YieldsPoints() const { return broken == 0; }
};

} // namespace vantrell
