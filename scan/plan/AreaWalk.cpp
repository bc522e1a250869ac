#include "AreaWalk.h"

#include "Spans.h"
#include "PassCount.h"
#include "ViewFootprint.h"
#include "WalkArithmetic.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrell {
namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
constexpr double kMilesPerLatitude = kMilesPerDegree; // the walk's own float32 value

// Degrees rounded outward to a whole second: up (north, east) or down.
std::int64_t OutwardSeconds(double degrees, bool up)
{
    const double seconds = degrees * 3600.0;
    const double nearest = std::round(seconds);
    if (std::abs(seconds - nearest) <= 1e-6)
        return static_cast<std::int64_t>(nearest);
    return static_cast<std::int64_t>(up ? std::ceil(seconds) : std::floor(seconds));
}

void SplitSeconds(std::int64_t seconds, std::int32_t& deg, std::int32_t& min, std::int32_t& sec)
{
    const std::int64_t whole = seconds < 0 ? -seconds : seconds;
    deg = static_cast<std::int32_t>(whole / 3600);
    min = static_cast<std::int32_t>(whole / 60 % 60);
    sec = static_cast<std::int32_t>(whole % 60);
}

bool Finite(const GeoPoint& p) { return std::isfinite(p.latitude) && std::isfinite(p.longitude); }

// Whether the segment a-b meets the closed rectangle |x| <= hw, |y| <= hh (clipping).
bool SegmentMeetsRectangle(double ax, double ay, double bx, double by, double hw, double hh)
{
    double t0 = 0.0, t1 = 1.0;
    const auto clip = [&](double p, double q) { // keeps t where p * t <= q
        if (p == 0.0)
            return q >= 0.0;
        const double t = q / p;
        if (p < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        return t0 <= t1;
    };
    const double dx = bx - ax, dy = by - ay;
    return clip(-dx, ax + hw) && clip(dx, hw - ax) && clip(-dy, ay + hh) && clip(dy, hh - ay);
}

double PointRectangleSquared(double x, double y, double hw, double hh)
{
    const double ox = std::max(0.0, std::abs(x) - hw), oy = std::max(0.0, std::abs(y) - hh);
    return ox * ox + oy * oy;
}

double PointSegmentSquared(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    const double length = dx * dx + dy * dy;
    const double t = length > 0.0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / length, 0.0, 1.0) : 0.0;
    const double ex = ax + t * dx - px, ey = ay + t * dy - py;
    return ex * ex + ey * ey;
}

// Whether segment a-b comes within reach of the rectangle: apart, two convex shapes are
// nearest at a corner of one.
bool SegmentNearRectangle(double ax, double ay, double bx, double by, double hw, double hh, double reach)
{
    if (SegmentMeetsRectangle(ax, ay, bx, by, hw, hh))
        return true;
    const double most = reach * reach;
    if (PointRectangleSquared(ax, ay, hw, hh) <= most || PointRectangleSquared(bx, by, hw, hh) <= most)
        return true;
    for (const double cx : {-hw, hw})
        for (const double cy : {-hh, hh})
            if (PointSegmentSquared(cx, cy, ax, ay, bx, by) <= most)
                return true;
    return false;
}

// Cells in the grid, and cell entries: enough for a query to look at few segments,
// bounded against files of long crossing segments.
constexpr std::size_t kMostCells = std::size_t{1} << 20;
constexpr std::size_t kMostEntries = std::size_t{1} << 24;

} // namespace

std::optional<ScanRequest> RequestForArea(const Area& area, ScanRequest request, std::int32_t corridorTenths)
{
    double north = -std::numeric_limits<double>::infinity(), south = -north, west = south, east = north;
    // A path's corridor is as much the area as the path: its degrees of latitude, and of
    // longitude at each vertex (a whole turn where the corridor reaches a pole).
    const double reach = std::max(0, corridorTenths) / 10.0 / kMilesPerLatitude;
    const auto take = [&](const std::vector<GeoPoint>& points, double more) {
        for (const GeoPoint& p : points) {
            if (!Finite(p))
                continue;
            const double cosine = std::cos(p.latitude * kRadiansPerDegree);
            const double across = more > 0.0 ? (cosine > more / 180.0 ? more / cosine : 180.0) : 0.0;
            north = std::max(north, std::min(90.0, p.latitude + more));
            south = std::min(south, std::max(-90.0, p.latitude - more));
            west = std::min(west, std::max(-180.0, p.longitude - across));
            east = std::max(east, std::min(180.0, p.longitude + across));
        }
    };
    for (const AreaPolygon& polygon : area.polygons)
        take(polygon.outer, 0.0);
    for (const GeoPath& path : area.paths)
        take(path, reach);
    if (!(north >= south))
        return std::nullopt;

    const std::int64_t northSeconds = std::clamp<std::int64_t>(OutwardSeconds(north, true), -324000, 324000);
    const std::int64_t westSeconds = std::clamp<std::int64_t>(OutwardSeconds(west, false), -648000, 648000);
    SplitSeconds(northSeconds, request.latDeg, request.latMin, request.latSec);
    SplitSeconds(westSeconds, request.lonDeg, request.lonMin, request.lonSec);
    request.latDir = northSeconds < 0 ? kSouth : kNorth;
    request.lonDir = westSeconds < 0 ? kWest : kEast;

    const double top = static_cast<double>(northSeconds) / 3600.0;
    const double left = static_cast<double>(westSeconds) / 3600.0;
    // The row nearest the equator is the longest in degrees a mile: it must reach too.
    const double nearest = south <= 0.0 && top >= 0.0 ? 0.0 : std::min(std::abs(south), std::abs(top));
    const double cosine = std::cos(nearest * kRadiansPerDegree);
    const double southMiles = std::ceil((top - south) * kMilesPerLatitude);
    const double eastMiles = std::ceil(std::max(0.0, east - left) * kMilesPerLatitude * cosine);
    request.milesSouth = static_cast<std::int32_t>(std::max(1.0, southMiles)); // a row even for a line east
    request.milesEast = static_cast<std::int32_t>(eastMiles);
    return request;
}

CAreaIndex::CAreaIndex(const Area& area, std::int32_t range, std::int32_t corridorTenths)
{
    const ViewSize view = ViewAt(range);
    m_halfWidth = view.width / kMetresPerMile / 2.0;
    m_halfHeight = view.height / kMetresPerMile / 2.0;
    m_corridor = std::max(0, corridorTenths) / 10.0;
    const auto add = [&](const GeoPoint& a, const GeoPoint& b, std::uint32_t polygon) {
        if (Finite(a) && Finite(b))
            m_segments.push_back({a.latitude, a.longitude, b.latitude, b.longitude, polygon});
    };
    ForEachEdge(area, add);
    Build();
}

std::size_t CAreaIndex::Column(double longitude) const
{
    const double at = std::floor((longitude - m_west) / m_cellLon);
    return static_cast<std::size_t>(std::clamp(at, 0.0, static_cast<double>(m_columns - 1)));
}

std::size_t CAreaIndex::Row(double latitude) const
{
    const double at = std::floor((latitude - m_south) / m_cellLat);
    return static_cast<std::size_t>(std::clamp(at, 0.0, static_cast<double>(m_rows - 1)));
}

// Every cell the segment crosses, and some beside it: column by column, the rows of its
// latitudes within the column, widened by a hair against rounding.
template <class Cell>
void CAreaIndex::Rasterise(const Segment& s, Cell&& cell) const
{
    const double west = std::min(s.lon0, s.lon1), east = std::max(s.lon0, s.lon1);
    const std::size_t first = Column(west), last = Column(east);
    const double hair = m_cellLat * 1e-6;
    for (std::size_t c = first; c <= last; ++c) {
        double low = std::min(s.lat0, s.lat1), high = std::max(s.lat0, s.lat1);
        if (s.lon1 != s.lon0) {
            const double from = std::max(west, m_west + static_cast<double>(c) * m_cellLon);
            const double to = std::min(east, m_west + static_cast<double>(c + 1) * m_cellLon);
            const double slope = (s.lat1 - s.lat0) / (s.lon1 - s.lon0);
            const double a = s.lat0 + (from - s.lon0) * slope, b = s.lat0 + (to - s.lon0) * slope;
            low = std::max(low, std::min(a, b));
            high = std::min(high, std::max(a, b));
        }
        for (std::size_t r = Row(low - hair), end = Row(high + hair); r <= end; ++r)
            cell(c, r);
    }
}

void CAreaIndex::Build()
{
    if (m_segments.empty())
        return;
    m_south = m_west = std::numeric_limits<double>::infinity();
    m_north = m_east = -m_south;
    for (const Segment& s : m_segments) {
        m_south = std::min({m_south, s.lat0, s.lat1});
        m_north = std::max({m_north, s.lat0, s.lat1});
        m_west = std::min({m_west, s.lon0, s.lon1});
        m_east = std::max({m_east, s.lon0, s.lon1});
    }
    // Cells about square on the ground, some four a segment.
    const double wide = (m_east - m_west) * std::cos((m_north + m_south) / 2.0 * kRadiansPerDegree);
    const double tall = m_north - m_south;
    const double cells = static_cast<double>(std::min(kMostCells, 4 * m_segments.size()));
    double columns = 1.0, rows = 1.0;
    if (wide > 0.0 && tall > 0.0) {
        columns = std::clamp(std::round(std::sqrt(cells * wide / tall)), 1.0, cells);
        rows = std::clamp(std::round(cells / columns), 1.0, cells);
    } else if (wide > 0.0) {
        columns = cells;
    } else if (tall > 0.0) {
        rows = cells;
    }
    for (;;) {
        m_columns = static_cast<std::size_t>(columns);
        m_rows = static_cast<std::size_t>(rows);
        m_cellLon = m_east > m_west ? (m_east - m_west) / columns : 1.0;
        m_cellLat = m_north > m_south ? (m_north - m_south) / rows : 1.0;
        std::size_t entries = 0;
        for (const Segment& s : m_segments) {
            Rasterise(s, [&](std::size_t, std::size_t) { ++entries; });
            if (s.polygon != kPath)
                entries += Row(std::max(s.lat0, s.lat1)) - Row(std::min(s.lat0, s.lat1)) + 1;
        }
        if (entries <= kMostEntries || (m_columns == 1 && m_rows == 1))
            break;
        columns = std::max(1.0, std::floor(columns / 2.0));
        rows = std::max(1.0, std::floor(rows / 2.0));
    }
    // Counted, then filled: one block each.
    m_cellStart.assign(m_columns * m_rows + 1, 0);
    m_rowStart.assign(m_rows + 1, 0);
    for (const Segment& s : m_segments) {
        Rasterise(s, [&](std::size_t c, std::size_t r) { ++m_cellStart[r * m_columns + c + 1]; });
        if (s.polygon != kPath)
            for (std::size_t r = Row(std::min(s.lat0, s.lat1)); r <= Row(std::max(s.lat0, s.lat1)); ++r)
                ++m_rowStart[r + 1];
    }
    for (std::size_t i = 1; i < m_cellStart.size(); ++i)
        m_cellStart[i] += m_cellStart[i - 1];
    for (std::size_t i = 1; i < m_rowStart.size(); ++i)
        m_rowStart[i] += m_rowStart[i - 1];
    m_cellSegments.resize(m_cellStart.back());
    m_rowEdges.resize(m_rowStart.back());
    std::vector<std::uint32_t> cellFill(m_cellStart.begin(), m_cellStart.end() - 1);
    std::vector<std::uint32_t> rowFill(m_rowStart.begin(), m_rowStart.end() - 1);
    for (std::size_t i = 0; i < m_segments.size(); ++i) {
        const Segment& s = m_segments[i];
        const auto index = static_cast<std::uint32_t>(i);
        Rasterise(s, [&](std::size_t c, std::size_t r) { m_cellSegments[cellFill[r * m_columns + c]++] = index; });
        if (s.polygon != kPath)
            for (std::size_t r = Row(std::min(s.lat0, s.lat1)); r <= Row(std::max(s.lat0, s.lat1)); ++r)
                m_rowEdges[rowFill[r]++] = index;
    }
}

// The spans of longitude at this latitude inside some polygon less its holes: each
// polygon's crossings, paired, then all polygons merged.
void CAreaIndex::InsideSpans(double latitude)
{
    m_spansLatitude = latitude;
    m_spans.clear();
    m_crossings.clear();
    if (m_rowStart.empty() || latitude < m_south || latitude > m_north)
        return;
    const std::size_t row = Row(latitude);
    for (std::uint32_t k = m_rowStart[row]; k < m_rowStart[row + 1]; ++k) {
        const Segment& s = m_segments[m_rowEdges[k]];
        if ((s.lat0 > latitude) != (s.lat1 > latitude))
            m_crossings.emplace_back(s.polygon, s.lon0 + (latitude - s.lat0) * (s.lon1 - s.lon0) / (s.lat1 - s.lat0));
    }
    std::sort(m_crossings.begin(), m_crossings.end());
    for (std::size_t k = 0; k + 1 < m_crossings.size(); ++k) {
        if (m_crossings[k].first == m_crossings[k + 1].first) {
            m_spans.emplace_back(m_crossings[k].second, m_crossings[k + 1].second);
            ++k;
        }
    }
    MergeSpans(m_spans);
}

bool CAreaIndex::SegmentsNear(double latitude, double longitude) const
{
    if (m_cellStart.empty())
        return false;
    const double perLongitude = kMilesPerLatitude * std::cos(latitude * kRadiansPerDegree);
    const double reachX = m_halfWidth + m_corridor, reachY = m_halfHeight + m_corridor;
    // The cells the view and the corridor may reach, with a hair to spare for rounding;
    // near a pole a degree of longitude is no distance at all.
    const double spareLat = reachY / kMilesPerLatitude * (1.0 + 1e-9) + 1e-12;
    const double spareLon = std::abs(perLongitude) > 1e-12 ? reachX / std::abs(perLongitude) * (1.0 + 1e-9) + 1e-12
                                                            : std::numeric_limits<double>::infinity();
    if (latitude + spareLat < m_south || latitude - spareLat > m_north || longitude + spareLon < m_west ||
        longitude - spareLon > m_east)
        return false;
    const std::size_t c0 = Column(longitude - spareLon), c1 = Column(longitude + spareLon);
    const std::size_t r0 = Row(latitude - spareLat), r1 = Row(latitude + spareLat);
    for (std::size_t r = r0; r <= r1; ++r) {
        for (std::size_t c = c0; c <= c1; ++c) {
            const std::size_t cell = r * m_columns + c;
            for (std::uint32_t k = m_cellStart[cell]; k < m_cellStart[cell + 1]; ++k) {
                const Segment& s = m_segments[m_cellSegments[k]];
                const double ax = (s.lon0 - longitude) * perLongitude, ay = (s.lat0 - latitude) * kMilesPerLatitude;
                const double bx = (s.lon1 - longitude) * perLongitude, by = (s.lat1 - latitude) * kMilesPerLatitude;
                if (s.polygon == kPath ? SegmentNearRectangle(ax, ay, bx, by, m_halfWidth, m_halfHeight, m_corridor)
                                       : SegmentMeetsRectangle(ax, ay, bx, by, m_halfWidth, m_halfHeight))
                    return true;
            }
        }
    }
    return false;
}

bool CAreaIndex::ViewTouches(double latitude, double longitude)
{
    if (m_spansLatitude != latitude)
        InsideSpans(latitude);
    // Where no edge meets the view, all of it lies on one side: its centre tells which.
    const auto after = std::upper_bound(m_spans.begin(), m_spans.end(), std::make_pair(longitude, 0.0),
                                        [](const auto& a, const auto& b) { return a.first < b.first; });
    if (after != m_spans.begin() && longitude <= std::prev(after)->second)
        return true;
    return SegmentsNear(latitude, longitude);
}

std::shared_ptr<const KeptPoints> KeepPoints(const CScanJob& job, const Area& area, std::int32_t corridorTenths)
{
    return KeepPoints(job, std::make_shared<const Area>(area), corridorTenths);
}

std::shared_ptr<const KeptPoints> KeepPoints(const CScanJob& job, std::shared_ptr<const Area> shared,
                                             std::int32_t corridorTenths)
{
    const Area& area = *shared;
    const std::optional<PassShape> shape = CountPass(job);
    if (!shape)
        return std::make_shared<const KeptPoints>(0, std::move(shared), corridorTenths);
    if (shape->points > kMaxKeptPass)
        return std::make_shared<const KeptPoints>(shape->points, std::move(shared), corridorTenths, true);
    auto kept = std::make_shared<KeptPoints>(shape->points, std::move(shared), corridorTenths);
    struct Keeper {
        CAreaIndex index;
        KeptPoints& kept;
        RowVisit Row(const WalkRow&) { return RowVisit::Step; }
        bool Point(std::uint64_t n, float latitude, float longitude, bool)
        {
            if (index.ViewTouches(latitude, longitude))
                kept.Keep(n);
            return true;
        }
    } keeper{CAreaIndex(area, job.m_nRange, corridorTenths), *kept};
    WalkPass(job.Check(), *shape, keeper);
    return kept;
}

} // namespace vantrell
