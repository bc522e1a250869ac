#include "Preview.h"

#include "PlanText.h"

#include "FileReplace.h"
#include "LookAtDocument.h"
#include "Grouping.h"
#include "Quoting.h"
#include "RequestFile.h"
#include "SameFile.h"
#include "ViewFootprint.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace vantrell {
namespace {

struct Vertex {
    float latitude = 0.0f;
    float longitude = 0.0f;
};

class CDocument {
public:
    CDocument& Text(std::string_view s)
    {
        m_text += s;
        return *this;
    }
    CDocument& Line(std::string_view s) { return Text(s).Text(kLineEnd); }
    CDocument& Degrees(float value)
    {
        char number[64];
        m_text.append(number, FormatCoordinate(number, number + sizeof number, value));
        return *this;
    }
    // "longitude,latitude", as KML orders them.
    CDocument& Coordinates(const Vertex& v) { return Degrees(v.longitude).Text(",").Degrees(v.latitude); }
    CDocument& Metres(std::int32_t value)
    {
        char number[16];
        m_text.append(number, FormatRange(number, number + sizeof number, value));
        return *this;
    }
    std::string Take() { return std::move(m_text); }

private:
    std::string m_text;
};

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// The last component of path, as the file system will see it: Windows also splits at
// '\', takes "C:name" as name on drive C, "name:stream" as a stream of name and drops
// trailing dots and blanks.
std::string_view FileName(std::string_view path)
{
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\");
#else
    const std::size_t slash = path.rfind('/');
#endif
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
#ifdef _WIN32
    if (slash == std::string_view::npos && name.size() >= 2 && name[1] == ':')
        name.remove_prefix(2);
    name = name.substr(0, name.find(':'));
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.remove_suffix(1);
#endif
    return name;
}

// The scan's own file or one of its temporaries by name; letter case aside, as some
// file systems ignore it.
bool NamesTheScansFile(std::string_view path)
{
    const std::string name = Lower(FileName(path));
    const std::string scans = Lower(kLookAtFileName);
    return name == scans || TemporaryOwner(name, scans).has_value();
}

} // namespace

std::string PreviewShows(const PreviewSummary& summary)
{
    return "the first " + Grouped(summary.shown) + " of " + Grouped(summary.total) +
           (summary.rows ? " rows" : " moves south");
}

namespace {

// The whole pass's extent: the corner as typed, which the walk never writes, and every
// row's ends, estimated, as the rows are monotonic; the latitudes are the walk's own.
struct CExtent {
    Vertex low;
    Vertex high;

    void Add(float latitude, float longitude)
    {
        low = {std::min(low.latitude, latitude), std::min(low.longitude, longitude)};
        high = {std::max(high.latitude, latitude), std::max(high.longitude, longitude)};
    }
    RowVisit Row(const WalkRow&) { return RowVisit::Estimate; }
    bool Point(std::uint64_t, float latitude, float longitude, bool)
    {
        Add(latitude, longitude); // the south moves, which lie at the rows' ends
        return true;
    }
};

// The path through the walk's turning points in the first `pairs` row pairs: each row's
// first and last point and each south move, so that a row starting again from the
// corner's longitude shows as the jump it is. Also the points whose views are outlined.
struct CPathTracer {
    std::uint64_t pairs;
    std::uint64_t pointsPerPair;
    std::vector<Vertex> path;
    std::vector<Vertex> viewed; // the first two row pairs' points, at most kPreviewViews
    bool rowFirst = false;
    std::optional<Vertex> rowLast;

    void Add(const Vertex& v)
    {
        if (path.empty() || path.back().latitude != v.latitude || path.back().longitude != v.longitude)
            path.push_back(v);
    }
    RowVisit Row(const WalkRow& row)
    {
        if (row.pair >= pairs)
            return RowVisit::Stop;
        rowFirst = true;
        return RowVisit::Step;
    }
    bool Point(std::uint64_t index, float latitude, float longitude, bool southMove)
    {
        const Vertex v{latitude, longitude};
        if (viewed.size() < kPreviewViews && (index - 1) / pointsPerPair < 2)
            viewed.push_back(v);
        if (southMove) {
            if (rowLast)
                Add(*rowLast);
            rowLast.reset();
            Add(v);
            return index / pointsPerPair < pairs;
        }
        if (rowFirst)
            Add(v);
        rowFirst = false;
        rowLast = v;
        return true;
    }
};

// The path of a walk kept to an area: each run of consecutive kept points through its
// first and last point and, along rows, the points on either side of each south move.
// Only pairs that keep a point are stepped; the walk stops before a pair past the
// limits, or, where a pair holds too many runs, drops that pair and stops.
struct CKeptTracer {
    CKeptTracer(const KeptPoints& keptPoints, std::uint64_t perPair, bool hasRows)
        : kept(keptPoints), pointsPerPair(perPair), rows(hasRows)
    {
    }

    const KeptPoints& kept;
    std::uint64_t pointsPerPair;
    bool rows;
    std::uint64_t budget = kExactSteps; // points still to step
    std::vector<Vertex> vertices;
    std::vector<std::size_t> runs; // where each run begins in vertices
    std::vector<Vertex> viewed;    // the first kept points, at most kPreviewViews
    std::optional<Vertex> pending; // the run's last point, not yet a vertex
    bool open = false;
    bool afterSouth = false;
    std::uint64_t steppedPairs = 0;
    std::optional<std::uint64_t> stoppedAt; // rows: the pair; no rows: the point
    std::size_t pairVertices = 0, pairRuns = 0, pairViewed = 0;

    void Close()
    {
        if (pending)
            vertices.push_back(*pending);
        pending.reset();
        open = false;
    }
    RowVisit Row(const WalkRow& row)
    {
        if (row.direction < 0) // the pair's second row goes as its first
            return RowVisit::Step;
        if (!kept.AnyIn(row.first, row.first + pointsPerPair - 1))
            return RowVisit::Estimate;
        if (steppedPairs >= kPreviewRowPairs || budget < pointsPerPair) {
            stoppedAt = row.pair;
            return RowVisit::Stop;
        }
        budget -= pointsPerPair;
        ++steppedPairs;
        pairVertices = vertices.size();
        pairRuns = runs.size();
        pairViewed = viewed.size();
        return RowVisit::Step;
    }
    bool Point(std::uint64_t index, float latitude, float longitude, bool southMove)
    {
        const Vertex v{latitude, longitude};
        const bool turn = rows && (southMove || afterSouth);
        afterSouth = southMove;
        if (!kept.Contains(index)) {
            if (open)
                Close();
            return true;
        }
        if (!open && runs.size() >= kPreviewRuns) {
            if (rows) { // the pair so far, whole rows only
                vertices.resize(pairVertices);
                runs.resize(pairRuns);
                viewed.resize(pairViewed);
                pending.reset();
                stoppedAt = (index - 1) / pointsPerPair;
            } else {
                stoppedAt = index;
            }
            return false;
        }
        if (!open) {
            runs.push_back(vertices.size());
            vertices.push_back(v);
            open = true;
        } else if (turn) {
            if (pending)
                vertices.push_back(*pending);
            pending.reset();
            vertices.push_back(v);
        } else {
            pending = v;
        }
        if (viewed.size() < kPreviewViews)
            viewed.push_back(v);
        return true;
    }
};

// The ground one view shows around v as a closed ring; its width in longitude is held to
// a whole turn near the poles.
std::array<Vertex, 5> ViewRing(const Vertex& v, const ViewSize& view)
{
    const double halfHeight = view.height / 2 / kMetresPerMile / static_cast<double>(kMilesPerDegree);
    const double milesPerDegree = std::abs(static_cast<double>(RowFactor(v.latitude)));
    const double halfWidth = std::min(180.0, view.width / 2 / kMetresPerMile / std::max(milesPerDegree, 1e-9));
    const auto at = [&](double up, double right) {
        return Vertex{static_cast<float>(v.latitude + up), static_cast<float>(v.longitude + right)};
    };
    return {at(halfHeight, -halfWidth), at(halfHeight, halfWidth), at(-halfHeight, halfWidth),
            at(-halfHeight, -halfWidth), at(halfHeight, -halfWidth)};
}

} // namespace

std::string PreviewDocument(CScanJob& job, PreviewSummary* summary)
{
    const std::optional<PassShape> shape = CountPass(job);
    const KeptPoints* kept = job.Kept();
    if (!shape || job.PassPoints(*shape) == 0)
        return {};
    const RequestCheck check = job.Check();
    const std::uint64_t n = shape->pointsPerRow;
    // Each drawn pair steps both its rows point by point.
    const std::uint64_t affordable = n > 0 ? std::max<std::uint64_t>(1, kExactSteps / (2 * n)) : shape->rowPairs;
    const std::uint64_t pairs = std::min({shape->rowPairs, kPreviewRowPairs, affordable});

    CPathTracer tracer{kept ? 0 : pairs, 2 * (n + 1), {}, {}, false, std::nullopt};
    std::optional<CKeptTracer> keptTracer;
    if (kept) {
        keptTracer.emplace(*kept, 2 * (n + 1), n > 0);
        WalkPass(check, *shape, *keptTracer);
        if (!keptTracer->stoppedAt)
            keptTracer->Close();
    } else {
        WalkPass(check, *shape, tracer);
    }
    const std::vector<Vertex>& path = kept ? keptTracer->vertices : tracer.path;
    const std::vector<Vertex>& viewed = kept ? keptTracer->viewed : tracer.viewed;
    // The outline, the LookAt and the description speak of the whole pass, however little
    // of it the path shows.
    const Vertex typed{check.startLatitude, check.startLongitude};
    CExtent extent{typed, typed};
    WalkPass(check, *shape, extent);
    const Vertex low = extent.low;
    const Vertex high = extent.high;
    // Two rows a pair, or two south moves.
    std::uint64_t shown = pairs * 2;
    if (kept)
        shown = !keptTracer->stoppedAt ? shape->rowPairs * 2
                : n > 0             ? *keptTracer->stoppedAt * 2
                                    : *keptTracer->stoppedAt - 1;
    const PreviewSummary shows{shown, shape->rowPairs * 2, n > 0};
    if (summary)
        *summary = shows;

    // The viewer's LookAt only: the path itself keeps the walk's figures, however far out.
    const auto clamped = [](double value, double limit) {
        return static_cast<float>(std::isfinite(value) ? std::clamp(value, -limit, limit) : 0.0);
    };
    const Vertex centre{clamped((static_cast<double>(low.latitude) + high.latitude) / 2, 90.0),
                        clamped((static_cast<double>(low.longitude) + high.longitude) / 2, 180.0)};
    // About one and a half times the larger side, in metres, as the viewer's range.
    const double miles = std::max({static_cast<double>(job.m_nMilesEast), static_cast<double>(job.m_nMilesSouth), 1.0});
    const auto range = static_cast<std::int32_t>(std::clamp(miles * kMetresPerMile * 1.5, 1000.0, 20'000'000.0));

    CDocument doc;
    doc.Line(R"(<?xml version="1.0" encoding="UTF-8"?>)")
        .Line(R"(<kml xmlns="http://www.opengis.net/kml/2.2">)")
        .Line("<Document>")
        .Line("<name>Vantrell preview</name>")
        .Text("<description>");
    if (kept) {
        const std::uint64_t points = job.PassPoints(*shape);
        doc.Text(Grouped(points)).Text(" of ").Text(Grouped(shape->points)).Text(" points per pass ")
            .Text(points == 1 ? "lies" : "lie").Text(" in the area of ");
        doc.Text(XmlEscaped(Quoted(kept->AreaName())));
    } else {
        doc.Text(Grouped(shape->points)).Text(" points per pass");
    }
    if (shows.shown < shows.total)
        doc.Text("; the path shows ").Text(PreviewShows(shows));
    doc.Line(".</description>")
        // the request, to be opened again
        .Text(RequestExtendedData(job.Request(), kLineEnd, kept ? &kept->KeptArea() : nullptr,
                                  kept ? kept->CorridorTenths() : 0))
        .Line("<LookAt>")
        .Text("<longitude>").Degrees(centre.longitude).Line("</longitude>")
        .Text("<latitude>").Degrees(centre.latitude).Line("</latitude>")
        .Line("<heading>0</heading>")
        .Line("<tilt>0</tilt>")
        .Text("<range>").Metres(range).Line("</range>")
        .Line("</LookAt>")
        .Line("<Placemark>")
        .Line("<name>Area</name>")
        .Line("<LineString>")
        .Line("<tessellate>1</tessellate>")
        .Text("<coordinates>");
    for (const Vertex& corner : {Vertex{high.latitude, low.longitude}, Vertex{high.latitude, high.longitude},
                                 Vertex{low.latitude, high.longitude}, Vertex{low.latitude, low.longitude},
                                 Vertex{high.latitude, low.longitude}})
        doc.Coordinates(corner).Text(" ");
    doc.Line("</coordinates>")
        .Line("</LineString>")
        .Line("</Placemark>")
        .Line("<Placemark>")
        .Line("<name>Path</name>");
    if (kept) {
        const std::vector<std::size_t>& runs = keptTracer->runs;
        doc.Line("<MultiGeometry>");
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const std::size_t end = r + 1 < runs.size() ? runs[r + 1] : path.size();
            if (end - runs[r] == 1) {
                doc.Text("<Point><coordinates>").Coordinates(path[runs[r]]).Line("</coordinates></Point>");
                continue;
            }
            doc.Line("<LineString>").Line("<tessellate>1</tessellate>").Line("<coordinates>");
            for (std::size_t i = runs[r]; i < end; ++i)
                doc.Coordinates(path[i]).Line("");
            doc.Line("</coordinates>").Line("</LineString>");
        }
        doc.Line("</MultiGeometry>");
    } else {
        doc.Line("<LineString>")
            .Line("<tessellate>1</tessellate>")
            .Line("<coordinates>");
        for (const Vertex& v : path)
            doc.Coordinates(v).Line("");
        doc.Line("</coordinates>")
            .Line("</LineString>");
    }
    doc.Line("</Placemark>")
        .Line("<Placemark>")
        .Line("<name>First point</name>")
        .Text("<Point><coordinates>").Coordinates(path.front()).Line("</coordinates></Point>")
        .Line("</Placemark>");
    // What the first views show, so that the gaps between them, or their overlaps, show
    // too; none for a range that is not positive.
    const ViewSize view = ViewAt(job.m_nRange);
    doc.Line("<Folder>")
        .Line("<name>Views</name>")
        .Line("<Style id=\"view\"><LineStyle><color>ff00ffff</color></LineStyle>"
              "<PolyStyle><fill>0</fill><outline>1</outline></PolyStyle></Style>");
    for (std::size_t i = 0; view.width > 0 && i < viewed.size(); ++i) {
        doc.Line("<Placemark>")
            .Line("<styleUrl>#view</styleUrl>")
            .Line("<Polygon><outerBoundaryIs><LinearRing>")
            .Text("<coordinates>");
        for (const Vertex& corner : ViewRing(viewed[i], view))
            doc.Coordinates(corner).Text(" ");
        doc.Line("</coordinates>")
            .Line("</LinearRing></outerBoundaryIs></Polygon>")
            .Line("</Placemark>");
    }
    doc.Line("</Folder>");
    if (kept)
        doc.Text(AreaFolder(kept->KeptArea(), kLineEnd));
    doc.Line("</Document>")
        .Line("</kml>");
    return doc.Take();
}

std::string PreviewRefusal(std::string_view path)
{
    const std::string name(path);
    const std::string final = FinalTarget(name);
    if (name.empty() || FileName(name).empty())
        return "The preview needs a file name.";
    if (NamesTheScansFile(name) || NamesTheScansFile(final) || SameFile(final, std::string(kLookAtFileName)))
        return "The preview may not be written to " + Quoted(name) + ": that is " + std::string(kLookAtFileName) +
               ", the file the scan keeps rewriting, or one of its temporary files. Choose another name.";
    return {};
}

bool WritePreview(std::string_view path, CScanJob& job, std::string& error, PreviewSummary* summary)
{
    error = PreviewRefusal(path);
    if (!error.empty())
        return false;
    const std::string document = PreviewDocument(job, summary);
    if (const KeptPoints* kept = job.Kept(); document.empty() && kept && BrokenLimits(job).empty()) {
        error = "No preview: no point of this pass lies in the area of " + Quoted(kept->AreaName()) +
                (kept->TooLarge() ? ", or the pass has too many points to be kept to it." : ".");
        return false;
    }
    if (document.size() > kMaxPlanFileBytes) {
        error = "No preview: it would be larger than the 16 MB that Open plan... reads; the area has too many "
                "vertices.";
        return false;
    }
    if (document.empty()) {
        std::string why;
        for (const std::string& limit : BrokenLimits(job))
            why += (why.empty() ? "" : "; ") + limit;
        error = "No preview: a scan of this request writes no point (" + why + ").";
        return false;
    }
    CFileReplacer file(path);
    if (!file.Replace(document.data(), document.size())) {
        error = "The preview could not be written to " + Quoted(path) +
                ": check that its folder exists and may be written to.";
        return false;
    }
    return true;
}

} // namespace vantrell
