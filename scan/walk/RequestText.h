#pragma once
// A request as the user typed it: the thirteen texts in the form's reading order, and
// the job they make through the form's text-to-number rule.

#include "ScanJob.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {

inline constexpr std::size_t kRequestFields = 13;
using RequestTexts = std::array<std::string, kRequestFields>;

// The fields' names in the form's reading order, as the plan and the preview call them.
inline constexpr std::array<std::string_view, kRequestFields> kFieldNames = {
    "NW Latitude Deg",  "NW Latitude Min",  "NW Latitude Sec",  "NW Latitude hemisphere",
    "NW Longitude Deg", "NW Longitude Min", "NW Longitude Sec", "NW Longitude hemisphere",
    "Miles East",       "Miles South",      "Speed Factor",     "Range",
    "Resolution",
};
// Which of them hold a hemisphere word rather than a number.
inline constexpr bool IsWordField(std::size_t i) { return i == 3 || i == 7; }

// The job these texts make; its points and waits go to writer and sleeper, which must
// outlive it, as must watch. As CScanJob's constructor for firstPoint and watch.
std::unique_ptr<CScanJob> JobFromTexts(const RequestTexts& texts, IPointWriter& writer, ISleeper& sleeper,
                                       std::uint64_t firstPoint = 1, IReadWatch* watch = nullptr);

// One sentence for each number too large or too small for its field, which the job takes
// at the int32 limit: "Miles South holds 99999999999999, more than the field can hold: it
// is read as 2,147,483,647."
std::vector<std::string> CappedFields(const RequestTexts& texts);

} // namespace vantrell
