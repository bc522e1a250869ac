#pragma once
// Durations in words, from counts of quarter seconds.

#include <cstdint>
#include <string>

namespace vantrell {

// A duration of count * factor quarter seconds (count below 2^51, factor below 2^31:
// a pass's points and a speed factor), e.g. "2 d 3 h 35 min 12.25 s"; zero parts are
// left out, "0 s" for nothing; from 366 days on, the years follow to a tenth, "(about 1.6
// years)".
std::string QuarterSecondsText(std::uint64_t count, std::uint64_t factor);

} // namespace vantrell
