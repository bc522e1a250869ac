#include "ViewShare.h"

#include "AreaShare.h"
#include "AreaWalk.h"
#include "Spans.h"
#include "PassCount.h"
#include "ViewFootprint.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <span>
#include <utility>

namespace vantrell {
namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
constexpr double kMilesPerDegreeOfLatitude = kMilesPerDegree;

// Lines whose views overlap and are not one interval each are merged piece by piece up to
// this many at a latitude; beyond it the hull of their views is taken.
constexpr std::size_t kMergeMost = 64;

// The part of [low, high] inside span; for a span of no width, 1 where it lies inside.
double Clip(double low, double high, const LongitudeSpan& span)
{
    if (span.east > span.west)
        return std::max(0.0, std::min(high, span.east) - std::max(low, span.west));
    return low <= span.west && span.west <= high ? 1.0 : 0.0;
}

// The points of one latitude: the south move that reached it (none on the first row) and
// the row that follows it, if any. The south move lies where the row before ended: at one
// end of this row's views, or a little off them where rows of different latitudes step
// different distances.
struct Line {
    double latitude = 0.0;
    double halfWidth = -1.0; // degrees of longitude, half a view at this latitude; < 0 until known
    bool hasLone = false;
    double lone = 0.0;
    std::uint64_t points = 0;      // the row's
    double low = 0.0, high = 0.0;  // its westmost and eastmost point
    // Set by Complete():
    double spacing = 0.0;          // between the row's points, taken as even
    bool comb = false;             // the row's views leave gaps between them
    bool bad = false;              // what the line shows is not one interval
    double lo = 0.0, hi = 0.0;     // the hull of what it shows; lo > hi when nothing

    void Complete()
    {
        if (points > 0 && !(std::isfinite(low) && std::isfinite(high)))
            points = 0; // a row past a pole: no longitude to show
        hasLone = hasLone && std::isfinite(lone);
        const double w = halfWidth;
        spacing = points > 1 ? (high - low) / static_cast<double>(points - 1) : 0.0;
        comb = points > 1 && spacing > 2 * w;
        bad = comb || (points > 0 && hasLone && (lone < low - 2 * w || lone > high + 2 * w));
        lo = std::numeric_limits<double>::infinity();
        hi = -lo;
        if (points > 0) {
            lo = low - w;
            hi = high + w;
        }
        if (hasLone) {
            lo = std::min(lo, lone - w);
            hi = std::max(hi, lone + w);
        }
    }

    // The comb's tooth nearest to longitude, clamped to the row.
    double Tooth(double index) const
    {
        return low + std::clamp(index, 0.0, static_cast<double>(points - 1)) * spacing;
    }

    double RowIn(const LongitudeSpan& span) const
    {
        const double w = halfWidth;
        if (points == 0)
            return 0.0;
        if (!comb)
            return Clip(low - w, high + w, span);
        if (!(span.east > span.west)) {
            const double t = Tooth(std::round((span.west - low) / spacing));
            return std::abs(span.west - t) <= w ? 1.0 : 0.0;
        }
        // Teeth i with low + i * spacing + w > west and low + i * spacing - w < east.
        const double n = static_cast<double>(points);
        const double first = std::clamp(std::floor((span.west - w - low) / spacing) + 1.0, 0.0, n);
        const double last = std::clamp(std::ceil((span.east + w - low) / spacing) - 1.0, -1.0, n - 1.0);
        if (first > last)
            return 0.0;
        const double tFirst = low + first * spacing;
        const double tLast = low + last * spacing;
        const double covered = (last - first + 1.0) * 2 * w - std::max(0.0, span.west - (tFirst - w)) -
                               std::max(0.0, (tLast + w) - span.east);
        return std::max(0.0, covered);
    }

    // What the south move's view adds to the row's.
    double LoneIn(const LongitudeSpan& span) const
    {
        if (!hasLone)
            return 0.0;
        const double w = halfWidth;
        const double own = Clip(lone - w, lone + w, span);
        if (points == 0)
            return own;
        if (!comb)
            return own - Clip(std::max(lone, low) - w, std::min(lone, high) + w, span);
        // Narrower than the spacing, the south move's view meets at most two teeth.
        const double index = std::floor((lone - low) / spacing);
        double shared = 0.0;
        const double a = Tooth(index);
        const double b = Tooth(index + 1.0);
        shared += Clip(std::max(lone, a) - w, std::min(lone, a) + w, span);
        if (b != a)
            shared += Clip(std::max(lone, b) - w, std::min(lone, b) + w, span);
        return own - shared;
    }

    double In(const LongitudeSpan& span) const { return RowIn(span) + LoneIn(span); }
};

// The cosine of angles that move a little at a time, as the sweep's bands and the lines'
// latitudes do: from the cosine and sine at an anchor, by the angle-sum rule with Taylor
// series of the difference, the anchor renewed wherever the angle strays a 256th of a
// radian from it. Within a few units in the last place of std::cos, at a fraction of its cost.
class CCarriedCosine {
public:
    double Of(double radians)
    {
        double d = radians - m_anchor;
        if (!(std::abs(d) <= kStray)) {
            m_anchor = radians;
            m_cos = std::cos(radians);
            m_sin = std::sin(radians);
            d = 0.0;
        }
        // 1 - cos d to the term in d^6, sin d to d^5: the next are under 10^-20 at a 256th.
        // Few steps deep, as a band's span waits on it.
        const double d2 = d * d;
        const double d4 = d2 * d2;
        const double oneLessCos = d2 * 0.5 - d4 * (1.0 / 24 - d2 * (1.0 / 720));
        const double sinD = d - d * d2 * (1.0 / 6 - d2 * (1.0 / 120));
        return m_cos - (m_cos * oneLessCos + m_sin * sinD);
    }

private:
    static constexpr double kStray = 1.0 / 256;
    double m_anchor = std::numeric_limits<double>::quiet_NaN();
    double m_cos = 1.0, m_sin = 0.0;
};

// A queue in one growing block: the sweep pushes and pops a line or two per row, and a
// std::deque would allocate a block every few lines.
template <class T>
class CRing {
public:
    bool empty() const { return m_size == 0; }
    std::size_t size() const { return m_size; }
    T& operator[](std::size_t i) { return m_items[(m_head + i) & m_mask]; }
    const T& operator[](std::size_t i) const { return m_items[(m_head + i) & m_mask]; }
    T& front() { return (*this)[0]; }
    const T& front() const { return (*this)[0]; }
    const T& back() const { return (*this)[m_size - 1]; }
    void pop_front()
    {
        m_head = (m_head + 1) & m_mask;
        --m_size;
    }
    void pop_back() { --m_size; }
    void push_back(const T& item)
    {
        if (m_size == m_items.size())
            Grow();
        m_items[(m_head + m_size++) & m_mask] = item;
    }

private:
    // Out of the way of the few instructions a push takes otherwise.
    [[gnu::noinline]] void Grow()
    {
        std::vector<T> grown(std::max<std::size_t>(16, 2 * m_items.size()));
        for (std::size_t i = 0; i < m_size; ++i)
            grown[i] = (*this)[i];
        m_items.swap(grown);
        m_mask = m_items.size() - 1;
        m_head = 0;
    }

    std::vector<T> m_items; // a power of two long
    std::size_t m_mask = 0; // its size - 1
    std::size_t m_head = 0, m_size = 0;
};

// The lines, north to south, swept from the area's north edge to its south edge. The
// lines whose views reach a latitude are a run of consecutive lines (all views are equally
// tall); consecutive lines share a point's longitude, so where each shows one interval
// their union is the run's hull, kept by two monotone queues.
class CShareSweep {
public:
    CShareSweep(const IMeasuredArea& area, double halfHeight)
        : m_area(area),
          m_rectangle(dynamic_cast<const CRequestRectangle*>(&area)),
          m_halfHeight(halfHeight),
          m_north(area.North()),
          m_south(area.South()),
          m_at(m_north)
    {
    }

    // False once the line's views lie wholly south of the area: no later line matters.
    // Completes line in place: it is copied once, into the window.
    bool Add(Line& line)
    {
        line.Complete();
        IntegrateTo(line.latitude + m_halfHeight);
        const std::uint64_t index = m_first + m_window.size();
        while (!m_lows.empty() && m_lows.back().second >= line.lo)
            m_lows.pop_back();
        m_lows.push_back({index, line.lo});
        while (!m_highs.empty() && m_highs.back().second <= line.hi)
            m_highs.pop_back();
        m_highs.push_back({index, line.hi});
        m_bad += line.bad ? 1 : 0;
        m_combs += line.comb ? 1 : 0;
        m_window.push_back(line);
        return line.latitude + m_halfHeight >= m_south;
    }

    double Finish()
    {
        IntegrateTo(m_south);
        const double ground = m_area.Ground();
        return ground > 0.0 ? std::clamp(m_covered / ground, 0.0, 1.0) : 1.0;
    }

private:
    void PopFront()
    {
        const Line& line = m_window.front();
        if (m_lows.front().first == m_first)
            m_lows.pop_front();
        if (m_highs.front().first == m_first)
            m_highs.pop_front();
        m_bad -= line.bad ? 1 : 0;
        m_combs -= line.comb ? 1 : 0;
        m_window.pop_front();
        ++m_first;
    }

    void IntegrateTo(double latitude)
    {
        for (;;) {
            while (!m_window.empty() && m_window.front().latitude - m_halfHeight >= m_at)
                PopFront();
            if (!(m_at > latitude))
                return;
            double next = latitude;
            if (!m_window.empty())
                next = std::max(next, m_window.front().latitude - m_halfHeight);
            Slab(m_at, next);
            m_at = next;
        }
    }

    // The band from top down to bottom, in which the same lines' views hold; the ground
    // between the views is the area's.
    void Slab(double top, double bottom)
    {
        const double high = std::min(top, m_north);
        const double low = std::max(bottom, m_south);
        if (!(high > low) || m_window.empty())
            return;
        const double middle = (high + low) / 2;
        // Two bands a line: a std::cos and a vector's refill for each would be a good part
        // of the sweep, so the request's rectangle gives its one span on a carried cosine.
        LongitudeSpan one;
        std::span<const LongitudeSpan> spans(&one, 1);
        double weight = 1.0;
        if (m_rectangle) {
            const double cosine = m_rectangle->NeedsCosine() ? std::abs(m_cosine.Of(middle * kRadiansPerDegree)) : 1.0;
            weight = m_rectangle->SpanAtCosine(cosine, one);
        } else {
            weight = m_area.SpansAt(middle, m_spans);
            spans = m_spans;
        }
        const double height = high - low;
        const bool merged = m_window.size() > 1 && m_bad > 0 && m_combs == 0 && m_window.size() <= kMergeMost;
        if (merged)
            Merge();
        for (const LongitudeSpan& span : spans)
            m_covered += height * (span.east > span.west ? weight : 1.0) * (merged ? InMerged(span) : Covered(span));
    }

    double Covered(const LongitudeSpan& span) const
    {
        if (m_window.empty())
            return 0.0;
        // Where every line shows one interval, one line's or a run's, what they show is
        // their hull: no need to part a line into its row and its south move.
        if (m_bad == 0)
            return Clip(m_lows.front().second, m_highs.front().second, span);
        if (m_window.size() == 1)
            return m_window.front().In(span);
        if (m_combs > 0 && m_window.size() <= kMergeMost) {
            // Views narrower than a step are shorter than one too: two rows' views meet
            // only within rounding, and the larger share stands for both.
            double most = 0.0;
            for (std::size_t i = 0; i < m_window.size(); ++i)
                most = std::max(most, m_window[i].In(span));
            return most;
        }
        return Clip(m_lows.front().second, m_highs.front().second, span);
    }

    void Merge()
    {
        m_pieces.clear();
        for (std::size_t i = 0; i < m_window.size(); ++i) {
            const Line& line = m_window[i];
            if (line.points > 0)
                m_pieces.emplace_back(line.low - line.halfWidth, line.high + line.halfWidth);
            if (line.hasLone)
                m_pieces.emplace_back(line.lone - line.halfWidth, line.lone + line.halfWidth);
        }
        MergeSpans(m_pieces);
    }

    double InMerged(const LongitudeSpan& span) const
    {
        double covered = 0.0;
        for (const auto& [low, high] : m_pieces)
            covered += Clip(low, high, span);
        return std::min(covered, span.east > span.west ? span.east - span.west : 1.0);
    }

    const IMeasuredArea& m_area;
    const CRequestRectangle* const m_rectangle; // m_area when it is a request's rectangle
    CCarriedCosine m_cosine;
    const double m_halfHeight;
    const double m_north, m_south;
    double m_at;
    double m_covered = 0.0;
    CRing<Line> m_window;
    std::uint64_t m_first = 0; // number of m_window.front() among the lines kept
    CRing<std::pair<std::uint64_t, double>> m_lows, m_highs;
    std::uint64_t m_bad = 0, m_combs = 0;
    std::vector<LongitudeSpan> m_spans;
    std::vector<std::pair<double, double>> m_pieces;
};

// Turns the walk into lines: WalkPass's visitor.
struct CLineMaker {
    CShareSweep& sweep;
    double halfViewMiles;
    float step;
    std::uint64_t budget;
    std::uint64_t keepEvery;
    std::uint64_t skip = 0; // lines until the next kept one
    Line line{};
    bool open = false;
    bool firstPoint = false;
    CCarriedCosine rowCosine{};

    void Begin(float latitude)
    {
        line = Line{};
        line.latitude = latitude;
        open = true;
    }

    bool Close(bool last)
    {
        if (!open)
            return true;
        open = false;
        if (skip > 0 && !last) {
            --skip;
            return true;
        }
        skip = keepEvery - 1;
        if (line.halfWidth < 0.0) {
            // As the preview draws it: degrees a mile along the row, held to a whole turn.
            const double milesPerDegree = std::abs(static_cast<double>(RowFactorAt(static_cast<float>(line.latitude))));
            line.halfWidth = std::min(180.0, halfViewMiles / std::max(milesPerDegree, 1e-9));
        }
        return sweep.Add(line);
    }

    // RowFactor's own float, for every line of a pass without rows: the carried cosine
    // is within 10^-13 miles a degree of RowFactor's double, so where float32 rounds both
    // ends of that error alike it rounds RowFactor's double alike too.
    float RowFactorAt(float latitude)
    {
        constexpr double kError = 1e-12;
        const double radians = static_cast<double>(latitude) * static_cast<double>(kDegreeToRadian);
        const double factor = rowCosine.Of(radians) * static_cast<double>(kMilesPerDegree);
        const auto below = static_cast<float>(factor - kError);
        return below == static_cast<float>(factor + kError) ? below : RowFactor(latitude);
    }

    RowVisit Row(const WalkRow& row)
    {
        if (!open)
            Begin(row.latitude);
        line.points = row.points;
        // The row's increment is a step over its RowFactor: the same degrees a mile.
        line.halfWidth = std::min(180.0, halfViewMiles * std::abs(row.increment) / static_cast<double>(step));
        if (row.points <= budget) {
            budget -= row.points;
            firstPoint = true;
            return RowVisit::Step;
        }
        const double first = row.start + row.direction * row.increment;
        const double last = row.start + row.direction * static_cast<double>(row.points) * row.increment;
        line.low = std::min(first, last);
        line.high = std::max(first, last);
        return RowVisit::Estimate;
    }

    bool Point(std::uint64_t, float latitude, float longitude, bool southMove)
    {
        if (southMove) {
            if (!Close(false))
                return false;
            Begin(latitude);
            line.hasLone = true;
            line.lone = longitude;
            return true;
        }
        if (firstPoint) {
            line.low = line.high = longitude;
            firstPoint = false;
        } else {
            line.low = std::min(line.low, static_cast<double>(longitude));
            line.high = std::max(line.high, static_cast<double>(longitude));
        }
        return true;
    }
};

} // namespace

CRequestRectangle::CRequestRectangle(const RequestCheck& check, std::int32_t milesEast, std::int32_t milesSouth)
    : m_north(check.startLatitude),
      m_south(check.startLatitude - milesSouth / kMilesPerDegreeOfLatitude),
      m_west(check.startLongitude),
      m_milesEast(std::max(milesEast, 0))
{
}

double CRequestRectangle::SpansAt(double latitude, std::vector<LongitudeSpan>& spans) const
{
    spans.resize(1);
    return SpanAtCosine(NeedsCosine() ? std::abs(std::cos(latitude * kRadiansPerDegree)) : 1.0, spans[0]);
}

double CRequestRectangle::SpanAtCosine(double cosine, LongitudeSpan& span) const
{
    if (!NeedsCosine()) {
        span = {m_west, m_west};
        return 1.0;
    }
    span = {m_west, m_west + m_milesEast / (kMilesPerDegreeOfLatitude * std::max(cosine, 1e-12))};
    return cosine;
}

// Miles east / (69.172 cos) degrees at each latitude, weighed by the cosine.
double CRequestRectangle::Ground() const
{
    const double height = m_north - m_south;
    return m_milesEast > 0.0 ? height * m_milesEast / kMilesPerDegreeOfLatitude : height;
}

std::uint64_t ShareLinesEvery(double halfHeight, float step)
{
    const double latitudeStep = LatitudeStep(step);
    const double tall = latitudeStep > 0.0 ? 2 * halfHeight / latitudeStep + 2.0 : 2.0;
    return static_cast<std::uint64_t>(std::clamp(std::ceil(tall / static_cast<double>(kShareWindowLines)), 1.0, 1e18));
}

double MeasuredShare(const RequestCheck& check, const PassShape& shape, std::int32_t range,
                     const IMeasuredArea& area, std::uint64_t exactSteps)
{
    if (range <= 0)
        return 0.0;
    const ViewSize view = ViewAt(range);
    const double halfHeight = view.height / 2 / kMetresPerMile / kMilesPerDegreeOfLatitude;
    const std::uint64_t keepEvery = ShareLinesEvery(halfHeight, shape.step);
    CShareSweep sweep(area, halfHeight);
    CLineMaker maker{sweep, view.width / 2 / kMetresPerMile, shape.step, exactSteps, keepEvery};
    if (WalkPass(check, shape, maker))
        maker.Close(true);
    return sweep.Finish();
}

std::optional<double> MeasuredShare(const CScanJob& job)
{
    const std::optional<PassShape> shape = CountPass(job);
    if (!shape)
        return std::nullopt;
    const RequestCheck check = job.Check();
    if (const KeptPoints* kept = job.Kept())
        return MeasuredKeptShare(check, *shape, job.m_nRange, *kept,
                                 CAreaGround(kept->KeptArea(), kept->CorridorTenths()));
    return MeasuredShare(check, *shape, job.m_nRange, CRequestRectangle(check, job.m_nMilesEast, job.m_nMilesSouth));
}

namespace {

// Candidate requests tried for one remedy at most; each walks a pass.
constexpr int kMostTries = 256;

// Row pairs that the searches of one plan may measure in all, some 0.4 s: a pass of
// millions of rows is measured a few times at most, and what is not checked is not said.
constexpr std::uint64_t kSearchPairs = 4'000'000;
// Points that the searches of a plan kept to an area may walk in all, some 0.5 s: each
// variant keeps its own points (KeepPoints) before they are measured.
constexpr std::uint64_t kSearchPoints = 8'000'000;

bool NoGap(double share) { return 1.0 - share <= kMostUnseen; }

CScanJob Variant(const CScanJob& job, std::int32_t milesSouth, std::int32_t resolution, std::int32_t range)
{
    ScanRequest request = job.Request();
    request.milesSouth = milesSouth;
    request.resolution = resolution;
    request.range = range;
    return CScanJob(request, Discard(), Discard());
}

CScanJob Variant(const CScanJob& job, std::int32_t milesSouth, std::int32_t resolution)
{
    return Variant(job, milesSouth, resolution, job.m_nRange);
}

// Measures variants of one job against the job's own ground: its rectangle, over all of a
// variant's points; or its area, over the points each variant keeps to it. One budget
// for all the searches of a plan.
class CGapCheck {
public:
    explicit CGapCheck(const CScanJob& job)
        : m_job(job), m_rectangle(job.Check(), job.m_nMilesEast, job.m_nMilesSouth), m_kept(job.Kept())
    {
        if (m_kept)
            m_ground = std::make_unique<const CAreaGround>(m_kept->KeptArea(), m_kept->CorridorTenths());
    }

    const CScanJob& Job() const { return m_job; }
    bool KeptToArea() const { return m_kept != nullptr; }
    bool Exhausted() const { return m_exhausted; }
    // Points the variant last measured writes per pass.
    std::uint64_t LastPoints() const { return m_lastPoints; }

    // Whether variant, of pass shape, leaves no gap; false too where it was not measured.
    bool NoGapIn(const CScanJob& variant, const PassShape& shape)
    {
        m_lastPoints = shape.points;
        if (!m_kept) {
            return Spend(m_pairsLeft, shape.rowPairs) &&
                   NoGap(MeasuredShare(variant.Check(), shape, variant.m_nRange, m_rectangle));
        }
        if (shape.points > kMaxKeptPass || !Spend(m_pointsLeft, shape.points))
            return false;
        const std::shared_ptr<const KeptPoints> kept =
            KeepPoints(variant, m_kept->SharedArea(), m_kept->CorridorTenths());
        m_lastPoints = kept->Kept();
        const std::optional<double> share = MeasuredKeptShare(variant.Check(), shape, variant.m_nRange, *kept, *m_ground);
        return share && NoGap(*share);
    }

    // The variant's pass, if it has points and leaves no gap.
    std::optional<PassShape> WithoutGap(const CScanJob& variant)
    {
        const std::optional<PassShape> shape = CountPass(variant);
        if (!shape || !NoGapIn(variant, *shape))
            return std::nullopt;
        return shape;
    }

private:
    bool Spend(std::uint64_t& left, std::uint64_t cost)
    {
        if (cost > left) {
            m_exhausted = true;
            return false;
        }
        left -= cost;
        return true;
    }

    const CScanJob& m_job;
    const CRequestRectangle m_rectangle;
    const KeptPoints* m_kept;
    std::unique_ptr<const CAreaGround> m_ground; // for a walk kept to an area
    std::uint64_t m_pairsLeft = kSearchPairs, m_pointsLeft = kSearchPoints;
    std::uint64_t m_lastPoints = 0;
    bool m_exhausted = false;
};

std::optional<std::int32_t> RangeOver(CGapCheck& gaps, const PassShape& shape)
{
    const CScanJob& job = gaps.Job();
    constexpr std::int64_t kMost = std::numeric_limits<std::int32_t>::max();
    const auto fits = [&](std::int64_t r) {
        const CScanJob variant = Variant(job, job.m_nMilesSouth, job.m_nResolution, static_cast<std::int32_t>(r));
        return gaps.NoGapIn(variant, shape);
    };
    // Views only grow with the range, and with them the points kept to an area: double,
    // then halve the gap; any range found to fit is true advice, the search only makes
    // it the least.
    std::int64_t low = std::max<std::int32_t>(job.m_nRange, 0);
    std::int64_t high = std::clamp<std::int64_t>(std::max(RangeWithoutGap(shape.step), 2 * low), low + 1, kMost);
    for (;;) {
        if (fits(high))
            break;
        if (gaps.Exhausted() || high >= kMost)
            return std::nullopt;
        low = high;
        high = std::min(kMost, 2 * high);
    }
    while (high - low > 1) {
        const std::int64_t middle = low + (high - low) / 2;
        const bool fit = fits(middle);
        if (gaps.Exhausted())
            break;
        (fit ? high : low) = middle;
    }
    return static_cast<std::int32_t>(high);
}

// Ascending steps from the shortest that needs checking: any step no longer than half a
// view's height lets each row's views reach the next row and the corner's and the south
// edges. Resolution 0's quarter mile takes its place among them.
std::optional<std::int32_t> ResolutionOver(CGapCheck& gaps, std::int32_t range)
{
    const CScanJob& job = gaps.Job();
    const std::optional<std::int32_t> top = ResolutionWithoutGap(range);
    if (!top)
        return std::nullopt;
    const double halfHeight = ViewAt(range).height / 2;
    std::int32_t resolution = 1;
    while (resolution < *top && StepOfResolution(resolution + 1) * kMetresPerMile <= halfHeight)
        ++resolution;
    std::optional<std::int32_t> best;
    bool quarterChecked = StepOfResolution(0) * kMetresPerMile <= halfHeight;
    for (int tries = 0; resolution <= *top && tries < kMostTries; ++resolution, ++tries) {
        if (!quarterChecked && StepOfResolution(resolution) > StepOfResolution(0)) {
            quarterChecked = true;
            if (!gaps.WithoutGap(Variant(job, job.m_nMilesSouth, 0, range)))
                break;
        }
        if (!gaps.WithoutGap(Variant(job, job.m_nMilesSouth, resolution, range)))
            break;
        best = resolution;
    }
    return best;
}

} // namespace

GapRemedies RemediesOf(const CScanJob& job)
{
    GapRemedies remedies;
    const std::optional<PassShape> shape = CountPass(job);
    if (!shape)
        return remedies;
    CGapCheck gaps(job);
    remedies.range = RangeOver(gaps, *shape);
    remedies.resolution = ResolutionOver(gaps, job.m_nRange);
    // Where views a step wide and tall still leave gaps, they lie at the edges: the last
    // full row lies up to a step north of the south edge. A step more south adds a row.
    // An area's rectangle is made to hold the area: there, more south is no remedy.
    if (!gaps.KeptToArea() && ShareInView(job.m_nRange, shape->step) >= 1.0) {
        const auto whole = static_cast<std::int32_t>(std::ceil(static_cast<double>(shape->step)));
        std::int32_t tried = 0;
        for (const std::int32_t more : {1, whole, whole + 1}) {
            if (more <= tried)
                continue;
            tried = more;
            if (job.m_nMilesSouth > std::numeric_limits<std::int32_t>::max() - more)
                break;
            if (gaps.WithoutGap(Variant(job, job.m_nMilesSouth + more, job.m_nResolution))) {
                remedies.moreSouth = more;
                break;
            }
        }
    }
    remedies.unchecked = gaps.Exhausted();
    return remedies;
}

std::optional<std::int32_t> ResolutionWithoutGapAt(const CScanJob& job, std::int32_t range)
{
    CGapCheck gaps(job);
    return ResolutionOver(gaps, range);
}

std::optional<CoarserStep> CoarserWithoutGap(const CScanJob& job)
{
    const std::optional<PassShape> shape = CountPass(job);
    const std::optional<std::int32_t> top = ResolutionWithoutGap(job.m_nRange);
    if (!shape || !top)
        return std::nullopt;
    const std::uint64_t points = job.PassPoints(*shape);
    CGapCheck gaps(job);
    const auto longEnough = [&](std::int32_t r) {
        return r >= 1 && StepOfResolution(r) >= 2 * static_cast<double>(shape->step);
    };
    // From the view's height down; a step longer than half a view's width leaves the
    // corner unseen, so the search goes on from there too.
    const auto halfWidth = static_cast<std::int32_t>(
        std::min<double>(*top, std::floor(ViewAt(job.m_nRange).width / 2 / kMetresPerMile * 10.0)));
    for (const std::int32_t from : {*top, halfWidth}) {
        std::int32_t resolution = from;
        for (int tries = 0; longEnough(resolution) && tries < kMostTries; --resolution, ++tries) {
            const CScanJob coarser = Variant(job, job.m_nMilesSouth, resolution);
            const std::optional<PassShape> fewer = CountPass(coarser);
            // A pass kept to an area keeps fewer still: only its own count tells.
            if (!fewer || (!gaps.KeptToArea() && fewer->points >= points))
                continue;
            if (gaps.NoGapIn(coarser, *fewer) && gaps.LastPoints() < points)
                return CoarserStep{resolution, gaps.LastPoints()};
            if (gaps.Exhausted())
                return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace vantrell
