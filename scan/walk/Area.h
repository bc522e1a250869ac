#pragma once
// The area a user has, as drawn or recorded: polygons and paths in degrees. A request
// made from an area walks its bounding rectangle and keeps only the points whose view
// touches it. Read from KML, KMZ or GPX by AreaFile.h; kept to by the walk.

#include <cstdint>
#include <string>
#include <vector>

namespace vantrell {

// Degrees, north and east positive; latitude -90 to 90, longitude -180 to 180.
struct GeoPoint {
    double latitude = 0.0;
    double longitude = 0.0;

    bool operator==(const GeoPoint&) const = default;
};

// A ring of at least 3 distinct vertices, the closing vertex not repeated.
using GeoRing = std::vector<GeoPoint>;

struct AreaPolygon {
    GeoRing outer;
    std::vector<GeoRing> holes;

    bool operator==(const AreaPolygon&) const = default;
};

// A path: at least one vertex; a path of one vertex is a point.
using GeoPath = std::vector<GeoPoint>;

struct Area {
    std::vector<AreaPolygon> polygons;
    std::vector<GeoPath> paths;
    std::string fileName; // the file's name without its folder, as the plan names it

    // How many shapes the file gave: polygons and paths.
    std::size_t Shapes() const { return polygons.size() + paths.size(); }
    bool operator==(const Area&) const = default;
};

// The edges of an area, for those who index them: edge(a, b, polygon) for each side of
// each polygon's rings, its holes under the polygon's own number, and
// edge(a, b, kPathEdge) for each segment of each path, a path of one vertex as a-a.
inline constexpr std::uint32_t kPathEdge = 0xffffffffu;

template <class Edge>
void ForEachEdge(const Area& area, Edge&& edge)
{
    for (std::size_t i = 0; i < area.polygons.size(); ++i) {
        const auto ring = [&](const GeoRing& points) {
            for (std::size_t k = 0; k < points.size(); ++k)
                edge(points[k], points[(k + 1) % points.size()], static_cast<std::uint32_t>(i));
        };
        ring(area.polygons[i].outer);
        for (const GeoRing& hole : area.polygons[i].holes)
            ring(hole);
    }
    for (const GeoPath& path : area.paths) {
        if (path.size() == 1)
            edge(path[0], path[0], kPathEdge);
        for (std::size_t k = 1; k < path.size(); ++k)
            edge(path[k - 1], path[k], kPathEdge);
    }
}

} // namespace vantrell
