// Any bytes through the form's text-to-number rule, against the C library's own reading
// of a decimal number (strtoll in the "C" locale, which the targets never leave), clamped
// to the int32 limits; and through the readers of a plan file and of the LookAt file,
// which read or refuse, and give back a request that reads the same when written again;
// and through the area reader, as KML or GPX and as KMZ, which refuses with a sentence or
// gives an area that keeps every promise Area.h makes.

#include "AreaFile.h"
#include "Check.h"
#include "LookAtDocument.h"
#include "RequestFile.h"
#include "TextToNumber.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool OnEarth(const std::vector<vantrell::GeoPoint>& points, bool closed)
{
    for (std::size_t i = 0; i < points.size(); ++i) {
        const vantrell::GeoPoint& p = points[i];
        if (!(std::fabs(p.latitude) <= 90) || !(std::fabs(p.longitude) <= 180))
            return false;
        if ((i + 1 < points.size() || closed) &&
            std::fabs(points[(i + 1) % points.size()].longitude - p.longitude) > 180)
            return false;
    }
    return !points.empty();
}

bool IsRing(vantrell::GeoRing ring)
{
    if (ring.size() > 1 && ring.front() == ring.back())
        return false;
    const bool onEarth = OnEarth(ring, true);
    std::sort(ring.begin(), ring.end(), [](const vantrell::GeoPoint& a, const vantrell::GeoPoint& b) {
        return a.latitude < b.latitude || (a.latitude == b.latitude && a.longitude < b.longitude);
    });
    return onEarth && std::unique(ring.begin(), ring.end()) - ring.begin() >= 3;
}

void CheckArea(const std::string& text, const char* fileName)
{
    std::string error;
    const std::optional<vantrell::Area> area = vantrell::ReadAreaText(text, fileName, error);
    vantrell::fuzz::g_input = std::string(fileName) + ": " + error;
    FUZZ_CHECK(area.has_value() == error.empty());
    FUZZ_CHECK(error.find('\n') == std::string::npos);
    if (!area)
        return;
    FUZZ_CHECK(area->Shapes() > 0 && area->fileName == fileName);
    for (const vantrell::AreaPolygon& polygon : area->polygons) {
        FUZZ_CHECK(IsRing(polygon.outer));
        for (const vantrell::GeoRing& hole : polygon.holes)
            FUZZ_CHECK(IsRing(hole));
    }
    for (const vantrell::GeoPath& path : area->paths)
        FUZZ_CHECK(OnEarth(path, false));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    // strtoll stops at the first NUL; the rule must too, since NUL is neither space nor digit.
    errno = 0;
    long long reference = std::strtoll(text.c_str(), nullptr, 10);
    if (reference > std::numeric_limits<std::int32_t>::max())
        reference = std::numeric_limits<std::int32_t>::max();
    if (reference < std::numeric_limits<std::int32_t>::min())
        reference = std::numeric_limits<std::int32_t>::min();
    const std::int32_t got = vantrell::TextToInt32(std::string_view(text));
    if (got != reference) {
        vantrell::fuzz::g_input = "\"" + text.substr(0, 200) + "\": got " + std::to_string(got) +
                                  ", the C library reads " + std::to_string(reference);
        FUZZ_CHECK(got == reference);
    }

    std::string error;
    if (const std::optional<vantrell::PlanFile> values = vantrell::ReadPlanText(text, "fuzz", error)) {
        const vantrell::Area* area = values->area.get();
        const std::string again = "<kml><Document>" +
                                  vantrell::RequestExtendedData(values->request, "\n", area, values->corridorTenths) +
                                  (area ? vantrell::AreaFolder(*area, "\n") : std::string()) + "</Document></kml>";
        vantrell::fuzz::g_input = "a request that does not read back: \"" + text.substr(0, 200) + "\"";
        FUZZ_CHECK(vantrell::ReadPlanText(again, "fuzz", error) == values);
    }
    static_cast<void>(vantrell::WrittenPointOf(text));
    CheckArea(text, "fuzz.kml");
    CheckArea(text, "fuzz.kmz");
    return 0;
}
