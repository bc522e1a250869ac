#pragma once
// The share in view of an area as the user has it (Area.h): the ground inside its
// polygons less their holes and within its paths' corridors, against the views of the
// points a walk kept to it writes, and no others. Views are the footprint model's W x H
// rectangles (ViewAt), as ViewShare.h measures a rectangle's. Pure arithmetic on values;
// one thread at a time each.

#include "Area.h"
#include "KeptPoints.h"
#include "ViewShare.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace vantrell {

// A path's corridor is measured at least this wide either side, in miles: a path kept
// with no corridor is measured by about its length in view.
inline constexpr double kLeastMeasuredCorridor = 0.01;

// An area's ground, at each latitude the spans of longitude inside its polygons less their
// holes and within corridorTenths tenths of a mile of its paths, measured in miles about
// that latitude as the walk keeps points to it (AreaWalk.h).
class CAreaGround final : public IMeasuredArea {
public:
    CAreaGround(const Area& area, std::int32_t corridorTenths);

    double North() const override { return m_north; }
    double South() const override { return m_south; }
    double SpansAt(double latitude, std::vector<LongitudeSpan>& spans) const override;
    double Ground() const override { return m_ground; }

    // Latitudes, north to south, between which the spans change smoothly enough to be
    // taken at the middle: the vertices', a corridor's ends and an even grid over the area.
    // Ground() and the share take each band's spans at its middle.
    const std::vector<double>& Bands() const { return m_bands; }

private:
    struct Edge {
        double lat0, lon0, lat1, lon1;
        std::uint32_t polygon; // kPath for a path's segment
    };
    static constexpr std::uint32_t kPath = kPathEdge;

    std::size_t Bucket(double latitude) const;
    void Index();

    std::vector<Edge> m_edges;
    double m_corridor = 0.0; // miles
    double m_north = 0.0, m_south = 0.0, m_ground = 0.0;
    std::vector<double> m_bands;
    // Buckets of latitude, each with the edges that reach into it.
    std::size_t m_buckets = 1;
    double m_bucketHeight = 1.0;
    std::vector<std::uint32_t> m_bucketStart, m_bucketEdges;
    mutable std::vector<std::pair<std::uint32_t, double>> m_crossings; // scratch
    mutable std::vector<std::pair<double, double>> m_pieces;          // scratch
};

// Share of area, 0 to 1, that the views at range metres of the kept points of the pass
// of check and shape show; nothing where a kept set is not of this pass, or its runs of
// kept points are too many to measure.
std::optional<double> MeasuredKeptShare(const RequestCheck& check, const PassShape& shape, std::int32_t range,
                                        const KeptPoints& kept, const CAreaGround& area);

} // namespace vantrell
