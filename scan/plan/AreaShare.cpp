#include "AreaShare.h"

#include "Spans.h"
#include "ViewFootprint.h"
#include "Walk.h"
#include "WalkArithmetic.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantrell {
namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
constexpr double kMilesPerLatitude = kMilesPerDegree; // the walk's own float32 value

// Bands of an even grid over the area, and at most this many more at its vertices: a
// dense path changes course too often for each to count.
constexpr std::size_t kGridBands = 2048;
constexpr std::size_t kMostBreaks = 4096;
// Buckets of latitude for the edges, and their entries, bounded against long edges.
constexpr std::size_t kMostBuckets = std::size_t{1} << 16;
constexpr std::size_t kMostBucketEntries = std::size_t{1} << 24;
// Runs of kept points a measure holds at most (some 40 MB): past it, nothing is said.
constexpr std::size_t kMostRuns = std::size_t{1} << 20;

bool Finite(const GeoPoint& p) { return std::isfinite(p.latitude) && std::isfinite(p.longitude); }

// Where the line of latitude y = 0 meets the ground within reach of segment a-b, in
// miles east of a: the union of two discs and a band, which is convex, so one interval.
bool CorridorCut(double ax, double ay, double bx, double by, double reach, double& low, double& high)
{
    low = std::numeric_limits<double>::infinity();
    high = -low;
    const auto disc = [&](double x, double y) {
        if (std::abs(y) <= reach) {
            const double r = std::sqrt(reach * reach - y * y);
            low = std::min(low, x - r);
            high = std::max(high, x + r);
        }
    };
    disc(ax, ay);
    disc(bx, by);
    const double dx = bx - ax, dy = by - ay;
    const double length = std::sqrt(dx * dx + dy * dy); // miles: no overflow to guard
    if (length > 0.0) {
        const double nx = -dy / length * reach, ny = dx / length * reach;
        const double corners[4][2] = {{ax + nx, ay + ny}, {bx + nx, by + ny}, {bx - nx, by - ny}, {ax - nx, ay - ny}};
        for (int i = 0; i < 4; ++i) {
            const double* p = corners[i];
            const double* q = corners[(i + 1) % 4];
            const auto take = [&](double x) {
                low = std::min(low, x);
                high = std::max(high, x);
            };
            if (p[1] == 0.0)
                take(p[0]);
            if ((p[1] < 0.0 && q[1] > 0.0) || (p[1] > 0.0 && q[1] < 0.0))
                take(p[0] - p[1] * (q[0] - p[0]) / (q[1] - p[1]));
        }
    }
    return low <= high;
}

// The covered length of a line of intervals added and taken away: a tree over the
// intervals' ends, each node counting the intervals that cover it whole.
class CCoverTree {
public:
    explicit CCoverTree(std::vector<double> ends) : m_ends(std::move(ends))
    {
        std::sort(m_ends.begin(), m_ends.end());
        m_ends.erase(std::unique(m_ends.begin(), m_ends.end()), m_ends.end());
        if (m_ends.size() >= 2) {
            m_count.assign(4 * m_ends.size(), 0);
            m_length.assign(4 * m_ends.size(), 0.0);
        }
    }

    // west and east are among the ends the tree was made with.
    void Add(double west, double east, int delta)
    {
        if (m_count.empty())
            return;
        const auto at = [&](double x) {
            return static_cast<std::size_t>(std::lower_bound(m_ends.begin(), m_ends.end(), x) - m_ends.begin());
        };
        Update(1, 0, m_ends.size() - 1, at(west), at(east), delta);
    }

    double Covered(double west, double east) const
    {
        return m_count.empty() ? 0.0 : Covered(1, 0, m_ends.size() - 1, west, east);
    }

private:
    // Node covers m_ends[low] to m_ends[high]; [first, last) are the ends to add between.
    void Update(std::size_t node, std::size_t low, std::size_t high, std::size_t first, std::size_t last, int delta)
    {
        if (last <= low || first >= high)
            return;
        if (first <= low && high <= last) {
            m_count[node] += delta;
        } else {
            const std::size_t middle = (low + high) / 2;
            Update(2 * node, low, middle, first, last, delta);
            Update(2 * node + 1, middle, high, first, last, delta);
        }
        if (m_count[node] > 0)
            m_length[node] = m_ends[high] - m_ends[low];
        else
            m_length[node] = high - low == 1 ? 0.0 : m_length[2 * node] + m_length[2 * node + 1];
    }

    double Covered(std::size_t node, std::size_t low, std::size_t high, double west, double east) const
    {
        const double from = m_ends[low], to = m_ends[high];
        if (east <= from || west >= to)
            return 0.0;
        if (m_count[node] > 0)
            return std::min(east, to) - std::max(west, from);
        if (west <= from && to <= east)
            return m_length[node];
        if (high - low == 1)
            return 0.0;
        const std::size_t middle = (low + high) / 2;
        return Covered(2 * node, low, middle, west, east) + Covered(2 * node + 1, middle, high, west, east);
    }

    std::vector<double> m_ends;
    std::vector<int> m_count;
    std::vector<double> m_length;
};

// A run of consecutive kept points whose views meet: one box of longitude.
struct ViewBox {
    double latitude, west, east;
};

// A run whose views leave gaps between them (a step wider than a view): its views are
// teeth first + i * spacing, i below count, each halfWidth either side.
struct ViewTeeth {
    double latitude, first, spacing, halfWidth;
    std::uint64_t count;

    double In(double west, double east) const
    {
        const double w = halfWidth;
        const double n = static_cast<double>(count);
        const double from = std::clamp(std::floor((west - w - first) / spacing) + 1.0, 0.0, n);
        const double to = std::clamp(std::ceil((east + w - first) / spacing) - 1.0, -1.0, n - 1.0);
        if (from > to)
            return 0.0;
        const double covered = (to - from + 1.0) * 2 * w - std::max(0.0, west - (first + from * spacing - w)) -
                               std::max(0.0, (first + to * spacing + w) - east);
        return std::max(0.0, covered);
    }
};

// Gathers the kept points' views, run by run: WalkPass's visitor. A line is a latitude:
// the south move that reached it and the row that follows.
struct CKeptViews {
    const KeptPoints& kept;
    double halfViewMiles;
    std::uint64_t keepEvery;
    std::uint64_t lastLine;
    std::vector<ViewBox> boxes;
    std::vector<ViewTeeth> teeth;
    bool tooMany = false;

    std::uint64_t lines = 0;
    bool keepLine = false;
    double latitude = 0.0, halfWidth = 0.0, spacing = 0.0;
    bool runOpen = false;
    std::uint64_t runLast = 0, runCount = 0;
    double runFirst = 0.0, runEnd = 0.0;

    void BeginLine(float at)
    {
        Close();
        keepLine = (lines % keepEvery == 0 || lines == lastLine) && std::isfinite(at);
        ++lines;
        latitude = at;
        const double milesPerDegree = std::abs(static_cast<double>(RowFactor(at)));
        halfWidth = std::min(180.0, halfViewMiles / std::max(milesPerDegree, 1e-9));
        spacing = 0.0;
    }

    void Close()
    {
        if (!runOpen)
            return;
        runOpen = false;
        if (boxes.size() + teeth.size() >= kMostRuns) {
            tooMany = true;
            return;
        }
        const double west = std::min(runFirst, runEnd), east = std::max(runFirst, runEnd);
        if (runCount > 1 && spacing > 2 * halfWidth)
            teeth.push_back({latitude, west, spacing, halfWidth, runCount});
        else
            boxes.push_back({latitude, west - halfWidth, east + halfWidth});
    }

    RowVisit Row(const WalkRow& row)
    {
        if (lines == 0)
            BeginLine(row.latitude);
        Close();
        spacing = std::abs(row.increment);
        return RowVisit::Step;
    }

    bool Point(std::uint64_t index, float at, float longitude, bool southMove)
    {
        if (southMove)
            BeginLine(at);
        if (!keepLine || !std::isfinite(longitude) || !kept.Contains(index)) {
            if (!southMove)
                Close();
            return !tooMany;
        }
        if (runOpen && runLast + 1 == index && !southMove) {
            runEnd = longitude;
            runLast = index;
            ++runCount;
        } else {
            Close();
            runOpen = true;
            runFirst = runEnd = longitude;
            runLast = index;
            runCount = 1;
            if (southMove)
                Close(); // the south move's view stands alone
        }
        return !tooMany;
    }
};

} // namespace

CAreaGround::CAreaGround(const Area& area, std::int32_t corridorTenths)
    : m_corridor(std::max(std::max(0, corridorTenths) / 10.0, kLeastMeasuredCorridor))
{
    const double reach = m_corridor / kMilesPerLatitude;
    m_north = -std::numeric_limits<double>::infinity();
    m_south = -m_north;
    std::vector<double> breaks;
    const auto add = [&](const GeoPoint& a, const GeoPoint& b, std::uint32_t polygon) {
        if (!Finite(a) || !Finite(b))
            return;
        m_edges.push_back({a.latitude, a.longitude, b.latitude, b.longitude, polygon});
        const double more = polygon == kPath ? reach : 0.0;
        m_north = std::max({m_north, a.latitude + more, b.latitude + more});
        m_south = std::min({m_south, a.latitude - more, b.latitude - more});
        breaks.push_back(a.latitude);
        if (polygon == kPath) {
            breaks.push_back(a.latitude + reach);
            breaks.push_back(a.latitude - reach);
            breaks.push_back(b.latitude + reach);
            breaks.push_back(b.latitude - reach);
        }
    };
    ForEachEdge(area, add);
    if (m_edges.empty()) {
        m_north = m_south = 0.0;
        return;
    }
    m_north = std::min(m_north, 90.0);
    m_south = std::max(m_south, -90.0);
    Index();

    if (breaks.size() > kMostBreaks)
        breaks.clear();
    for (std::size_t i = 0; i <= kGridBands; ++i)
        breaks.push_back(m_south + (m_north - m_south) * static_cast<double>(i) / static_cast<double>(kGridBands));
    breaks.push_back(m_north);
    m_bands.clear();
    for (const double b : breaks)
        if (b >= m_south && b <= m_north)
            m_bands.push_back(b);
    std::sort(m_bands.begin(), m_bands.end(), std::greater<>());
    m_bands.erase(std::unique(m_bands.begin(), m_bands.end()), m_bands.end());

    std::vector<LongitudeSpan> spans;
    for (std::size_t i = 0; i + 1 < m_bands.size(); ++i) {
        const double height = m_bands[i] - m_bands[i + 1];
        const double weight = SpansAt((m_bands[i] + m_bands[i + 1]) / 2, spans);
        for (const LongitudeSpan& span : spans)
            m_ground += height * weight * (span.east - span.west);
    }
}

std::size_t CAreaGround::Bucket(double latitude) const
{
    const double at = std::floor((latitude - m_south) / m_bucketHeight);
    return static_cast<std::size_t>(std::clamp(at, 0.0, static_cast<double>(m_buckets - 1)));
}

void CAreaGround::Index()
{
    const double reach = m_corridor / kMilesPerLatitude;
    const auto span = [&](const Edge& e) {
        const double more = e.polygon == kPath ? reach : 0.0;
        const double hair = m_bucketHeight * 1e-6;
        return std::make_pair(Bucket(std::min(e.lat0, e.lat1) - more - hair),
                              Bucket(std::max(e.lat0, e.lat1) + more + hair));
    };
    std::size_t buckets = std::clamp<std::size_t>(m_edges.size(), 1, kMostBuckets);
    for (;;) {
        m_buckets = buckets;
        m_bucketHeight = m_north > m_south ? (m_north - m_south) / static_cast<double>(buckets) : 1.0;
        std::size_t entries = 0;
        for (const Edge& e : m_edges) {
            const auto [first, last] = span(e);
            entries += last - first + 1;
        }
        if (entries <= kMostBucketEntries || buckets == 1)
            break;
        buckets = std::max<std::size_t>(1, buckets / 2);
    }
    m_bucketStart.assign(m_buckets + 1, 0);
    for (const Edge& e : m_edges) {
        const auto [first, last] = span(e);
        for (std::size_t b = first; b <= last; ++b)
            ++m_bucketStart[b + 1];
    }
    for (std::size_t b = 1; b < m_bucketStart.size(); ++b)
        m_bucketStart[b] += m_bucketStart[b - 1];
    m_bucketEdges.resize(m_bucketStart.back());
    std::vector<std::uint32_t> fill(m_bucketStart.begin(), m_bucketStart.end() - 1);
    for (std::size_t i = 0; i < m_edges.size(); ++i) {
        const auto [first, last] = span(m_edges[i]);
        for (std::size_t b = first; b <= last; ++b)
            m_bucketEdges[fill[b]++] = static_cast<std::uint32_t>(i);
    }
}

// Each polygon's crossings of the latitude, paired (its holes are its own edges too),
// and each path segment's corridor cut, merged.
double CAreaGround::SpansAt(double latitude, std::vector<LongitudeSpan>& spans) const
{
    spans.clear();
    const double cosine = std::cos(latitude * kRadiansPerDegree);
    const double weight = std::abs(cosine);
    if (m_edges.empty() || latitude < m_south || latitude > m_north)
        return weight;
    m_crossings.clear();
    m_pieces.clear();
    const double perLongitude = kMilesPerLatitude * weight; // miles a degree of longitude here
    const std::size_t bucket = Bucket(latitude);
    for (std::uint32_t k = m_bucketStart[bucket]; k < m_bucketStart[bucket + 1]; ++k) {
        const Edge& e = m_edges[m_bucketEdges[k]];
        if (e.polygon != kPath) {
            if ((e.lat0 > latitude) != (e.lat1 > latitude))
                m_crossings.emplace_back(e.polygon,
                                         e.lon0 + (latitude - e.lat0) * (e.lon1 - e.lon0) / (e.lat1 - e.lat0));
            continue;
        }
        double low = 0.0, high = 0.0;
        if (!CorridorCut(0.0, (e.lat0 - latitude) * kMilesPerLatitude, (e.lon1 - e.lon0) * perLongitude,
                         (e.lat1 - latitude) * kMilesPerLatitude, m_corridor, low, high))
            continue;
        std::pair<double, double> piece(e.lon0 - 180.0, e.lon0 + 180.0); // round a pole
        if (perLongitude >= 1e-9 && (high - low) / perLongitude < 360.0)
            piece = {e.lon0 + low / perLongitude, e.lon0 + high / perLongitude};
        // A path's next segment mostly cuts where the last did: joined here, a dense track
        // leaves few pieces to sort.
        if (!m_pieces.empty() && piece.first <= m_pieces.back().second && piece.second >= m_pieces.back().first) {
            m_pieces.back().first = std::min(m_pieces.back().first, piece.first);
            m_pieces.back().second = std::max(m_pieces.back().second, piece.second);
        } else {
            m_pieces.push_back(piece);
        }
    }
    std::sort(m_crossings.begin(), m_crossings.end());
    for (std::size_t k = 0; k + 1 < m_crossings.size(); ++k) {
        if (m_crossings[k].first == m_crossings[k + 1].first) {
            m_pieces.emplace_back(m_crossings[k].second, m_crossings[k + 1].second);
            ++k;
        }
    }
    MergeSpans(m_pieces);
    for (const auto& [west, east] : m_pieces)
        spans.push_back({west, east});
    return weight;
}

std::optional<double> MeasuredKeptShare(const RequestCheck& check, const PassShape& shape, std::int32_t range,
                                        const KeptPoints& kept, const CAreaGround& area)
{
    if (kept.TooLarge() || kept.Points() != shape.points)
        return std::nullopt;
    if (range <= 0)
        return 0.0;
    const double ground = area.Ground();
    if (!(ground > 0.0))
        return 1.0;
    const ViewSize view = ViewAt(range);
    const double halfHeight = view.height / 2 / kMetresPerMile / kMilesPerLatitude;
    const std::uint64_t keepEvery = ShareLinesEvery(halfHeight, shape.step);
    const std::uint64_t lines = (shape.pointsPerRow > 0 ? 1 : 0) + 2 * shape.rowPairs;
    CKeptViews views{kept, view.width / 2 / kMetresPerMile, keepEvery, lines - 1, {}, {}};
    WalkPass(check, shape, views);
    views.Close();
    if (views.tooMany)
        return std::nullopt;

    const auto north = [](const auto& a, const auto& b) { return a.latitude > b.latitude; };
    std::stable_sort(views.boxes.begin(), views.boxes.end(), north);
    std::stable_sort(views.teeth.begin(), views.teeth.end(), north);
    // Bands: the area's, and where a line's views begin and end.
    std::vector<double> edges = area.Bands();
    const auto edge = [&](double latitude) {
        for (const double at : {latitude + halfHeight, latitude - halfHeight})
            if (at > area.South() && at < area.North())
                edges.push_back(at);
    };
    std::vector<double> ends;
    ends.reserve(2 * views.boxes.size());
    for (std::size_t i = 0; i < views.boxes.size(); ++i) {
        if (i == 0 || views.boxes[i].latitude != views.boxes[i - 1].latitude)
            edge(views.boxes[i].latitude);
        ends.push_back(views.boxes[i].west);
        ends.push_back(views.boxes[i].east);
    }
    for (std::size_t i = 0; i < views.teeth.size(); ++i)
        if (i == 0 || views.teeth[i].latitude != views.teeth[i - 1].latitude)
            edge(views.teeth[i].latitude);
    std::sort(edges.begin(), edges.end(), std::greater<>());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    CCoverTree tree(std::move(ends));
    std::size_t boxIn = 0, boxOut = 0, teethIn = 0, teethOut = 0;
    // Each band's spans, taken at its middle as Ground() takes them, serve every slab in
    // it: a dense path's spans cost hundreds of segments a latitude.
    const std::vector<double>& bands = area.Bands();
    std::size_t band = 0, spansOf = bands.size();
    std::vector<LongitudeSpan> spans;
    double weight = 0.0, covered = 0.0;
    for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
        const double high = edges[i], low = edges[i + 1];
        while (band + 2 < bands.size() && bands[band + 1] >= high)
            ++band;
        // A view holds the band when it begins at or above its top and ends below it.
        for (; boxIn < views.boxes.size() && views.boxes[boxIn].latitude + halfHeight >= high; ++boxIn)
            tree.Add(views.boxes[boxIn].west, views.boxes[boxIn].east, 1);
        for (; boxOut < boxIn && views.boxes[boxOut].latitude - halfHeight >= high; ++boxOut)
            tree.Add(views.boxes[boxOut].west, views.boxes[boxOut].east, -1);
        for (; teethIn < views.teeth.size() && views.teeth[teethIn].latitude + halfHeight >= high; ++teethIn) {
        }
        for (; teethOut < teethIn && views.teeth[teethOut].latitude - halfHeight >= high; ++teethOut) {
        }
        if (boxIn == boxOut && teethIn == teethOut)
            continue;
        if (spansOf != band) {
            spansOf = band;
            weight = area.SpansAt((bands[band] + bands[band + 1]) / 2, spans);
        }
        for (const LongitudeSpan& span : spans) {
            double in = tree.Covered(span.west, span.east);
            for (std::size_t t = teethOut; t < teethIn; ++t)
                in += views.teeth[t].In(span.west, span.east);
            covered += (high - low) * weight * std::min(in, span.east - span.west);
        }
    }
    return std::clamp(covered / ground, 0.0, 1.0);
}

} // namespace vantrell
