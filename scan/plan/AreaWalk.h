#pragma once
// A walk kept to an area (Area.h): the rectangle request that holds the area, and which
// points of its pass have a view that touches it. A point's view is the ground the view
// footprint model shows (ViewFootprint.h), W by H centred on the point, W east-west,
// measured in miles about the point: 69.172 miles a degree of latitude, and that times
// the cosine of the point's latitude a degree of longitude. It touches a polygon where
// it overlaps the polygon less its holes, edges included, and a path where it comes
// within the path's corridor.

#include "Area.h"
#include "KeptPoints.h"
#include "ScanJob.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrell {

// Half the width of a path's corridor, in tenths of a mile, unless the user sets it.
inline constexpr std::int32_t kDefaultCorridorTenths = 5;

// The area reaches as far as its polygons' vertices and its paths' corridors
// (corridorTenths either side of each vertex; below 0 is 0). The corner is its
// northernmost latitude and westernmost longitude, each rounded outward to a whole second
// (a coordinate within a millionth of a second of one is that second: decimal degrees
// such as 40.1 are not exact in binary). The miles are measured from that rounded corner,
// so the rows reach the whole area: Miles South is ceil((north - south) * 69.172), at
// least 1; Miles East is ceil((east - west) * 69.172 * c), c the largest cosine of a
// latitude from the south edge to the corner. The other values (speed, range,
// resolution) stay as request has them. Nothing for an area without a finite vertex.
std::optional<ScanRequest> RequestForArea(const Area& area, ScanRequest request = {},
                                         std::int32_t corridorTenths = kDefaultCorridorTenths);

// Which views touch the area: segments in a grid of cells over the area, and for each
// latitude asked the spans of longitude inside its polygons. Made once per job; not for
// two threads at once.
class CAreaIndex {
public:
    // range: metres, as the view footprint model reads it; corridorTenths below 0 are 0.
    CAreaIndex(const Area& area, std::int32_t range, std::int32_t corridorTenths);

    // Whether the view centred on the point touches the area; asks of one latitude after
    // another reuse its spans.
    bool ViewTouches(double latitude, double longitude);

private:
    struct Segment {
        double lat0, lon0, lat1, lon1;
        std::uint32_t polygon; // kPath for a path's segment
    };
    static constexpr std::uint32_t kPath = kPathEdge;

    void Build();
    template <class Cell>
    void Rasterise(const Segment& segment, Cell&& cell) const;
    std::size_t Column(double longitude) const;
    std::size_t Row(double latitude) const;
    void InsideSpans(double latitude);
    bool SegmentsNear(double latitude, double longitude) const;

    std::vector<Segment> m_segments;
    double m_halfWidth = 0, m_halfHeight = 0, m_corridor = 0; // miles
    double m_south = 0, m_north = 0, m_west = 0, m_east = 0;  // the segments' bounds
    std::size_t m_columns = 1, m_rows = 1;
    double m_cellLon = 1, m_cellLat = 1;
    std::vector<std::uint32_t> m_cellStart, m_cellSegments; // every segment crossing a cell
    std::vector<std::uint32_t> m_rowStart, m_rowEdges;      // polygon edges a row of cells spans
    // The latitude last asked, and its spans of longitude inside the polygons, merged.
    std::optional<double> m_spansLatitude;
    std::vector<std::pair<double, double>> m_spans;
    std::vector<std::pair<std::uint32_t, double>> m_crossings; // scratch
};

// The points of job's pass whose view touches area, made by stepping the pass once: to
// give the job (CScanJob::KeepTo) before its worker starts. A pass of more than
// kMaxKeptPass points gets a set marked TooLarge, which keeps none.
std::shared_ptr<const KeptPoints> KeepPoints(const CScanJob& job, const Area& area,
                                             std::int32_t corridorTenths = kDefaultCorridorTenths);
// The same for an area already shared, which the set keeps without copying (area not null).
std::shared_ptr<const KeptPoints> KeepPoints(const CScanJob& job, std::shared_ptr<const Area> area,
                                             std::int32_t corridorTenths = kDefaultCorridorTenths);

} // namespace vantrell
