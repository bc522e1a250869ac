#include "Preview.h"

#include "FileReplace.h"
#include "LookAtDocument.h"
#include "PlanText.h"
#include "SameFile.h"

#include <algorithm>
#include <cmath>
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

std::string PreviewDocument(CScanJob& job, PreviewSummary* summary)
{
    const std::optional<PassShape> shape = CountPass(job);
    if (!shape)
        return {};
    const RequestCheck check = job.Check();
    const std::uint64_t n = shape->pointsPerRow;
    // Each drawn pair steps both its rows point by point.
    const std::uint64_t affordable = n > 0 ? std::max<std::uint64_t>(1, kExactSteps / (2 * n)) : shape->rowPairs;
    const std::uint64_t pairs = std::min({shape->rowPairs, kPreviewRowPairs, affordable});

    std::vector<Vertex> path;
    const float start = check.startLongitude;
    const auto add = [&](float latitude, float longitude) {
        if (path.empty() || path.back().latitude != latitude || path.back().longitude != longitude)
            path.push_back({latitude, longitude});
    };
    ForEachRowPair(check, *shape, [&](const RowPair& pair) {
        if (pair.index >= pairs)
            return false;
        if (n == 0) {
            add(pair.westLatitude, start);
            add(pair.nextLatitude, start);
            return true;
        }
        if (pair.index == 0) // the first point, one step east of the corner
            add(pair.eastLatitude,
                StepAlong(start, 1.0, LongitudeIncrement(RowFactor(pair.eastLatitude), shape->step)));
        const float eastEnd = RowEnd(pair.eastLatitude, start, 1.0, *shape);
        add(pair.eastLatitude, eastEnd);
        add(pair.westLatitude, eastEnd);
        const float westEnd = RowEnd(pair.westLatitude, eastEnd, -1.0, *shape);
        add(pair.westLatitude, westEnd);
        add(pair.nextLatitude, westEnd);
        return true;
    });

    // The rows are monotonic, so their ends bound them; the corner the user typed is the
    // outline's north-west one, though the walk never writes it.
    Vertex low{check.startLatitude, start};
    Vertex high = low;
    for (const Vertex& v : path) {
        low = {std::min(low.latitude, v.latitude), std::min(low.longitude, v.longitude)};
        high = {std::max(high.latitude, v.latitude), std::max(high.longitude, v.longitude)};
    }
    // Two rows a pair, or two south moves.
    const PreviewSummary shows{pairs * 2, shape->rowPairs * 2, n > 0};
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
    const auto range = static_cast<std::int32_t>(std::clamp(miles * 1609.344 * 1.5, 1000.0, 20'000'000.0));

    CDocument doc;
    doc.Line(R"(<?xml version="1.0" encoding="UTF-8"?>)")
        .Line(R"(<kml xmlns="http://www.opengis.net/kml/2.2">)")
        .Line("<Document>")
        .Line("<name>Vantrell preview</name>")
        .Text("<description>").Text(Grouped(shape->points)).Text(" points per pass");
    if (shows.shown < shows.total)
        doc.Text("; the path shows ").Text(PreviewShows(shows));
    doc.Line(".</description>")
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
        .Line("<name>Path</name>")
        .Line("<LineString>")
        .Line("<tessellate>1</tessellate>")
        .Line("<coordinates>");
    for (const Vertex& v : path)
        doc.Coordinates(v).Line("");
    doc.Line("</coordinates>")
        .Line("</LineString>")
        .Line("</Placemark>")
        .Line("<Placemark>")
        .Line("<name>First point</name>")
        .Text("<Point><coordinates>").Coordinates(path.front()).Line("</coordinates></Point>")
        .Line("</Placemark>")
        .Line("</Document>")
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
