#pragma once
// How much of an area the views of a pass really show: measured on the points the walk
// writes, not on an endless grid. Each view is the footprint model's W x H rectangle
// (ViewAt) about its point, W turned into degrees of longitude at the point's latitude.
// Along a latitude the measure is exact; across latitudes what is in view changes only
// at the views' north and south edges, and each band between two such edges is taken at
// its middle latitude. Pure arithmetic on values; any thread.

#include "ScanJob.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace vantrell {

// Degrees of longitude, west <= east.
struct LongitudeSpan {
    double west = 0.0;
    double east = 0.0;
};

// The ground a share is measured against. A degree of longitude weighs the cosine of its
// latitude, so the measure is ground area; an area of no width (the line due south of a
// corner) is measured by its length, each span of no width weighing 1 a degree of latitude.
class IMeasuredArea {
public:
    virtual double North() const = 0; // degrees
    virtual double South() const = 0;
    // Replaces spans with what the area holds at latitude (South to North): disjoint,
    // west to east. Returns the weight of a degree of longitude there, |cos latitude|.
    virtual double SpansAt(double latitude, std::vector<LongitudeSpan>& spans) const = 0;
    // The whole area in the same measure: the integral over latitude, in degrees, of the
    // weighed spans.
    virtual double Ground() const = 0;

protected:
    ~IMeasuredArea() = default;
};

// The rectangle a request asks for: from the corner, milesSouth south and, at each
// latitude, milesEast east at 1 / (69.172 cos latitude) degrees a mile. No miles east is
// the line due south of the corner.
class CRequestRectangle final : public IMeasuredArea {
public:
    CRequestRectangle(const RequestCheck& check, std::int32_t milesEast, std::int32_t milesSouth);
    double North() const override { return m_north; }
    double South() const override { return m_south; }
    double SpansAt(double latitude, std::vector<LongitudeSpan>& spans) const override;
    // The one span SpansAt gives, where |cos latitude| is known already: the share's sweep
    // carries it. Only a rectangle of some miles east needs it.
    double SpanAtCosine(double cosine, LongitudeSpan& span) const;
    bool NeedsCosine() const { return m_milesEast > 0.0; }
    double Ground() const override;

private:
    double m_north, m_south, m_west, m_milesEast;
};

// Where the views are taller than this many lines (latitudes), a measure keeps only every
// k-th line and the last, which moves the views' union by under a 2,000th of a view.
inline constexpr std::uint64_t kShareWindowLines = 4096;
// That k for views halfHeight degrees of latitude either side of lines a step apart (miles).
std::uint64_t ShareLinesEvery(double halfHeight, float step);

// Rows longer than the budget left are taken as start + k * increment instead of being
// stepped (Walk.h's RowVisit::Estimate): at most 2^-17 degrees a step off.
inline constexpr std::uint64_t kShareExactSteps = 2'000'000;

// Share of area, 0 to 1, that the views at range metres of the points of the pass of
// check and shape show; 0 for a range that is not positive, 1 for an area of no extent.
double MeasuredShare(const RequestCheck& check, const PassShape& shape, std::int32_t range,
                     const IMeasuredArea& area, std::uint64_t exactSteps = kShareExactSteps);

// The job's own share: its pass, its range, its rectangle; for a walk kept to an area
// (AreaShare.h), the area over the kept points. Nothing without points, or where a kept
// pass is too large or too broken to measure.
std::optional<double> MeasuredShare(const CScanJob& job);

// At most this much of the area out of view is no gap.
inline constexpr double kMostUnseen = 0.005;

// What closes a request's gaps, each checked by the same measure as the job's own share:
// against its rectangle, or for a walk kept to an area against the area, over the points
// each remedy would keep; nothing where none of its kind does, or where it could not be
// checked.
struct GapRemedies {
    std::optional<std::int32_t> range;      // the smallest Range, the same points
    std::optional<std::int32_t> resolution; // the largest Resolution whose step, and every shorter one, does
    std::optional<std::int32_t> moreSouth;  // whole miles more south, the same Range and Resolution;
                                            // never for an area, whose rectangle holds it
    bool unchecked = false; // some were not measured: the pass is too large to measure that often
};
GapRemedies RemediesOf(const CScanJob& job);

// The largest Resolution whose step, and every shorter one, leaves no gap at range in the
// job's area, measured as RemediesOf measures; nothing where none does or it could not be
// checked.
std::optional<std::int32_t> ResolutionWithoutGapAt(const CScanJob& job, std::int32_t range);

// The coarsest Resolution, of a step at least twice the job's, that leaves no gap (as
// RemediesOf measures) in fewer points than the job's pass writes; nothing where none does.
struct CoarserStep {
    std::int32_t resolution = 0;
    std::uint64_t points = 0; // written per pass: for an area, the kept ones
};
std::optional<CoarserStep> CoarserWithoutGap(const CScanJob& job);

} // namespace vantrell
