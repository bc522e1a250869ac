#pragma once
// A scan request's thirteen values, and the one table of its fields: each field's name, its
// form control and accessible-name string, and where it lives in the request. Every list
// of the fields (the form's reading order, the preview's data, the plan's sentences) is
// this table.

#include "RequestCheck.h"
#include "resource.h" // the control and string IDs: plain #defines, no OS headers

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantrell {

// The values as the plan reads them: numbers as the form's text-to-number rule made them,
// hemisphere words exactly as typed. Nothing here is checked (CScanJob::Check does that).
struct ScanRequest {
    std::int32_t latDeg = 0, latMin = 0, latSec = 0;
    std::string latDir;
    std::int32_t lonDeg = 0, lonMin = 0, lonSec = 0;
    std::string lonDir;
    std::int32_t milesEast = 0, milesSouth = 0;
    std::int32_t speedFactor = 0; // quarter seconds after every point
    std::int32_t range = 0;       // metres
    std::int32_t resolution = 0;  // tenths of a mile; 0: the default step

    bool operator==(const ScanRequest&) const = default;
};

inline constexpr std::size_t kRequestFields = 13;

// One field of the request. Exactly one of number and word is set.
struct ScanRequestField {
    std::string_view name; // as the plan, the preview and its data call it
    int control;           // IDC_ of the form's control
    int string;            // IDS_ of its accessible name where its label cannot name it; else 0
    std::int32_t ScanRequest::*number;
    std::string ScanRequest::*word;
    std::string_view positive, negative; // a word's two values besides nothing

    constexpr bool IsWord() const { return word != nullptr; }
};

namespace detail {
constexpr ScanRequestField Number(std::string_view name, int control, int string, std::int32_t ScanRequest::*number)
{
    return {name, control, string, number, nullptr, {}, {}};
}
constexpr ScanRequestField Word(std::string_view name, int control, int string, std::string ScanRequest::*word,
                                std::string_view positive, std::string_view negative)
{
    return {name, control, string, nullptr, word, positive, negative};
}
} // namespace detail

// The fields in the form's reading order, the order the job takes them.
inline constexpr std::array<ScanRequestField, kRequestFields> kScanRequestFields = {
    detail::Number("NW Latitude Deg", IDC_LAT_DEG, 0, &ScanRequest::latDeg),
    detail::Number("NW Latitude Min", IDC_LAT_MIN, IDS_LAT_MIN_NAME, &ScanRequest::latMin),
    detail::Number("NW Latitude Sec", IDC_LAT_SEC, IDS_LAT_SEC_NAME, &ScanRequest::latSec),
    detail::Word("NW Latitude hemisphere", IDC_LAT_DIR, IDS_LAT_DIR_NAME, &ScanRequest::latDir, kNorth, kSouth),
    detail::Number("NW Longitude Deg", IDC_LON_DEG, 0, &ScanRequest::lonDeg),
    detail::Number("NW Longitude Min", IDC_LON_MIN, IDS_LON_MIN_NAME, &ScanRequest::lonMin),
    detail::Number("NW Longitude Sec", IDC_LON_SEC, IDS_LON_SEC_NAME, &ScanRequest::lonSec),
    detail::Word("NW Longitude hemisphere", IDC_LON_DIR, IDS_LON_DIR_NAME, &ScanRequest::lonDir, kEast, kWest),
    detail::Number("Miles East", IDC_MILES_EAST, 0, &ScanRequest::milesEast),
    detail::Number("Miles South", IDC_MILES_SOUTH, 0, &ScanRequest::milesSouth),
    detail::Number("Speed Factor", IDC_SPEED, 0, &ScanRequest::speedFactor),
    detail::Number("Range", IDC_RANGE, 0, &ScanRequest::range),
    detail::Number("Resolution", IDC_RESOLUTION, 0, &ScanRequest::resolution),
};

} // namespace vantrell
