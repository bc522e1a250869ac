#include "AreaFile.h"

#include "Quoting.h"
#include "SmallFile.h"
#include "Xml.h"
#include "Zip.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <new>
#include <utility>

namespace vantrell {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EndsWithCaseless(std::string_view text, std::string_view lower)
{
    if (text.size() < lower.size())
        return false;
    return std::equal(lower.begin(), lower.end(), text.end() - static_cast<std::ptrdiff_t>(lower.size()),
                      [](char l, char c) { return l == (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c); });
}

// A decimal number as the C locale writes it, whatever the process's locale; a leading
// '+' is allowed. One too large for a double is infinite, so the range check refuses it.
bool Number(std::string_view text, double& value)
{
    text = Trimmed(text);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-')
        text.remove_prefix(1);
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (stop != end || text.empty())
        return false;
    if (ec == std::errc::result_out_of_range)
        value = std::numeric_limits<double>::infinity();
    return ec == std::errc() || ec == std::errc::result_out_of_range;
}

std::string Printed(double value)
{
    char digits[32];
    return std::string(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// Text in a sentence: quoted, and cut short when long.
std::string Shown(std::string_view text)
{
    constexpr std::size_t kMaxShown = 40;
    return text.size() > kMaxShown ? Quoted(text.substr(0, kMaxShown)) + "\u2026" : Quoted(text);
}

// Reads one file's shapes into area; each failure sets error to a sentence that starts
// with the file's quoted name.
class CAreaReader {
public:
    CAreaReader(std::string_view fileName, std::string& error) : m_file(Quoted(fileName)), m_error(error) {}

    bool Read(std::string_view bytes, bool kmz)
    {
        if (bytes.size() > kMaxAreaFileBytes)
            return Fail(" is larger than 16 MB.");
        if (!kmz)
            return Xml(bytes, false);
        std::string kml;
        switch (ReadKmlEntry(bytes, kml)) {
        case ZipRead::Read: return Xml(kml, true);
        case ZipRead::NotZip: return Fail(" is not a KMZ file: it is not a zip archive.");
        case ZipRead::NoKml: return Fail(" is a zip archive without a .kml file in it.");
        case ZipRead::Encrypted: return Fail(" holds its KML encrypted, which Vantrell cannot read.");
        case ZipRead::Zip64: return Fail(" is a zip64 archive, which Vantrell does not read.");
        case ZipRead::Unsupported: return Fail(" holds its KML packed another way than stored or deflated.");
        case ZipRead::Inconsistent: return Fail(" is a damaged zip archive.");
        case ZipRead::TooLarge: return Fail(" holds a KML file that unpacks to more than 64 MB.");
        case ZipRead::TooDense:
            return Fail(" holds a KML file that unpacks to more than 200 times its packed size.");
        }
        return Fail(" is a damaged zip archive.");
    }

    // The KML shapes below element, without the document's checks.
    bool Geometry(XmlElement element) { return Kml(element); }

    Area area;

private:
    bool Fail(std::string_view afterName)
    {
        m_error = m_file + std::string(afterName);
        return false;
    }

    bool Xml(std::string_view text, bool inKmz)
    {
        CXmlDocument document;
        switch (document.Parse(text)) {
        case XmlError::None: break;
        case XmlError::NotXml:
            return Fail(inKmz ? " holds a .kml file that is not XML." : " is not a KML or GPX file: it is not XML.");
        case XmlError::Doctype: return Fail(" declares a DTD or entities, which Vantrell does not read.");
        case XmlError::TooDeep: return Fail(" nests its elements more than 256 deep.");
        case XmlError::NoMemory: return Fail(" could not be read: it needs more memory than there is.");
        }
        const XmlElement root = document.Root();
        bool read = false;
        if (root.Name() == "kml")
            read = Kml(root);
        else if (root.Name() == "gpx" && !inKmz)
            read = Gpx(root);
        else
            return Fail(inKmz ? " holds a .kml file that is not KML." : " is not a KML or GPX file.");
        if (read && area.Shapes() == 0)
            return Fail(" holds no polygon, path or track.");
        return read;
    }

    // Every geometry below element, at any depth.
    bool Kml(XmlElement element)
    {
        for (XmlElement child = element.FirstChild(); child; child = child.Next()) {
            const std::string_view name = child.Name();
            bool read = true;
            if (name == "Polygon") {
                read = Polygon(child);
            } else if (name == "LineString" || name == "LinearRing") {
                GeoPath path;
                read = Coordinates(child.FirstChild("coordinates"), path) && AddPath(std::move(path));
            } else if (name == "Track") {
                read = Track(child);
            } else if (name == "LatLonBox") {
                read = element.Name() != "GroundOverlay" || Box(child);
            } else {
                read = Kml(child);
            }
            if (!read)
                return false;
        }
        return true;
    }

    bool Polygon(XmlElement polygon)
    {
        AreaPolygon shape;
        if (!Ring(polygon.FirstChild("outerBoundaryIs").FirstChild("LinearRing"), shape.outer))
            return false;
        for (XmlElement inner = polygon.FirstChild("innerBoundaryIs"); inner; inner = inner.Next("innerBoundaryIs")) {
            for (XmlElement ring = inner.FirstChild("LinearRing"); ring; ring = ring.Next("LinearRing")) {
                if (!Ring(ring, shape.holes.emplace_back()))
                    return false;
            }
        }
        area.polygons.push_back(std::move(shape));
        return true;
    }

    // A ring without its closing vertex; it must have 3 distinct corners.
    bool Ring(XmlElement linearRing, GeoRing& ring)
    {
        if (linearRing && !Coordinates(linearRing.FirstChild("coordinates"), ring))
            return false;
        while (ring.size() > 1 && ring.back() == ring.front())
            ring.pop_back();
        GeoRing corners = ring;
        const auto before = [](const GeoPoint& a, const GeoPoint& b) {
            return a.latitude < b.latitude || (a.latitude == b.latitude && a.longitude < b.longitude);
        };
        std::sort(corners.begin(), corners.end(), before);
        if (std::unique(corners.begin(), corners.end()) - corners.begin() < 3)
            return Fail(" holds a polygon whose ring has fewer than 3 distinct corners.");
        return Unbroken(ring, true);
    }

    // KML's "lon,lat[,alt]" tuples apart by white space; white space beside a comma
    // stays within its tuple.
    bool Coordinates(XmlElement coordinates, std::vector<GeoPoint>& points)
    {
        if (!coordinates)
            return true;
        const std::string text = coordinates.Text();
        for (std::size_t at = 0; at < text.size();) {
            while (at < text.size() && IsBlank(text[at]))
                ++at;
            if (at == text.size())
                break;
            std::size_t end = at;
            for (;;) {
                while (end < text.size() && !IsBlank(text[end]))
                    ++end;
                std::size_t next = end;
                while (next < text.size() && IsBlank(text[next]))
                    ++next;
                if (next == text.size() || (text[end - 1] != ',' && text[next] != ','))
                    break;
                end = next;
            }
            const std::string_view tuple = std::string_view(text).substr(at, end - at);
            at = end;
            const std::size_t first = tuple.find(',');
            const std::size_t second = first == std::string_view::npos ? first : tuple.find(',', first + 1);
            double longitude = 0, latitude = 0, altitude = 0;
            if (first == std::string_view::npos || !Number(tuple.substr(0, first), longitude) ||
                !Number(tuple.substr(first + 1, second - first - 1), latitude) ||
                (second != std::string_view::npos && !Number(tuple.substr(second + 1), altitude)))
                return Fail(" holds coordinates that are not numbers: " + Shown(tuple) + ".");
            if (!Add(latitude, longitude, points))
                return false;
        }
        return true;
    }

    // gx:coord elements, "lon lat alt" apart by white space.
    bool Track(XmlElement track)
    {
        GeoPath path;
        for (XmlElement coord = track.FirstChild("coord"); coord; coord = coord.Next("coord")) {
            const std::string text = coord.Text();
            const std::string_view rest = Trimmed(text);
            const auto gap = static_cast<std::size_t>(std::find_if(rest.begin(), rest.end(), IsBlank) - rest.begin());
            double longitude = 0, latitude = 0;
            if (gap == rest.size() || !Number(rest.substr(0, gap), longitude))
                return Fail(" holds coordinates that are not numbers: " + Shown(rest) + ".");
            std::string_view after = Trimmed(rest.substr(gap));
            const auto gap2 = static_cast<std::size_t>(std::find_if(after.begin(), after.end(), IsBlank) - after.begin());
            double altitude = 0;
            if (!Number(after.substr(0, gap2), latitude) || (gap2 < after.size() && !Number(after.substr(gap2), altitude)))
                return Fail(" holds coordinates that are not numbers: " + Shown(rest) + ".");
            if (!Add(latitude, longitude, path))
                return false;
        }
        return AddPath(std::move(path));
    }

    // A GroundOverlay's box, as the polygon of its four corners.
    bool Box(XmlElement box)
    {
        double north = 0, south = 0, east = 0, west = 0;
        const auto side = [&](std::string_view name, double& value) {
            const XmlElement element = box.FirstChild(name);
            return element && Number(element.Text(), value);
        };
        if (!side("north", north) || !side("south", south) || !side("east", east) || !side("west", west))
            return Fail(" holds a GroundOverlay whose LatLonBox lacks a number for its north, south, east or west.");
        AreaPolygon shape;
        if (!Add(north, west, shape.outer) || !Add(north, east, shape.outer) || !Add(south, east, shape.outer) ||
            !Add(south, west, shape.outer) || !Ring({}, shape.outer))
            return false;
        area.polygons.push_back(std::move(shape));
        return true;
    }

    bool Gpx(XmlElement gpx)
    {
        for (XmlElement track = gpx.FirstChild("trk"); track; track = track.Next("trk")) {
            for (XmlElement segment = track.FirstChild("trkseg"); segment; segment = segment.Next("trkseg")) {
                if (!GpxPath(segment, "trkpt"))
                    return false;
            }
        }
        for (XmlElement route = gpx.FirstChild("rte"); route; route = route.Next("rte")) {
            if (!GpxPath(route, "rtept"))
                return false;
        }
        return true;
    }

    bool GpxPath(XmlElement parent, std::string_view pointName)
    {
        GeoPath path;
        for (XmlElement point = parent.FirstChild(pointName); point; point = point.Next(pointName)) {
            const std::optional<std::string_view> lat = point.Attribute("lat"), lon = point.Attribute("lon");
            if (!lat || !lon)
                return Fail(" holds a " + std::string(pointName) + " without its lat and lon.");
            double latitude = 0, longitude = 0;
            if (!Number(*lat, latitude) || !Number(*lon, longitude))
                return Fail(" holds coordinates that are not numbers: " + Shown(std::string(*lat) + ", " +
                                                                               std::string(*lon)) + ".");
            if (!Add(latitude, longitude, path))
                return false;
        }
        return AddPath(std::move(path));
    }

    bool Add(double latitude, double longitude, std::vector<GeoPoint>& points)
    {
        if (!(std::fabs(latitude) <= 90.0) || !(std::fabs(longitude) <= 180.0))
            return Fail(" holds a point out of range (latitude " + Printed(latitude) + ", longitude " +
                        Printed(longitude) + "): latitudes lie within \u00b190\u00b0 and longitudes within "
                                             "\u00b1180\u00b0.");
        points.push_back({latitude, longitude});
        return true;
    }

    // A path without vertices is no shape, and is left out.
    bool AddPath(GeoPath path)
    {
        if (path.empty())
            return true;
        if (!Unbroken(path, false))
            return false;
        area.paths.push_back(std::move(path));
        return true;
    }

    // No side may jump across the 180° meridian; a ring's closing side counts.
    bool Unbroken(const std::vector<GeoPoint>& points, bool closed)
    {
        for (std::size_t i = 0; i + 1 < points.size() + (closed ? 1 : 0); ++i) {
            const GeoPoint& a = points[i];
            const GeoPoint& b = points[(i + 1) % points.size()];
            if (std::fabs(b.longitude - a.longitude) > 180.0)
                return Fail(" holds a shape that crosses the 180\u00b0 meridian, which Vantrell cannot follow: "
                            "split it at the meridian into one shape on each side.");
        }
        return true;
    }

    std::string m_file;
    std::string& m_error;
};

} // namespace

std::optional<Area> ReadAreaText(std::string_view bytes, std::string_view fileName, std::string& error)
{
    const bool kmz = bytes.starts_with(std::string_view("PK\x03\x04", 4)) ||
                     bytes.starts_with(std::string_view("PK\x05\x06", 4)) || EndsWithCaseless(fileName, ".kmz");
    try {
        CAreaReader reader(fileName, error);
        if (!reader.Read(bytes, kmz))
            return std::nullopt;
        const std::size_t slash = fileName.find_last_of("/\\");
        reader.area.fileName = std::string(slash == std::string_view::npos ? fileName : fileName.substr(slash + 1));
        return std::move(reader.area);
    } catch (const std::bad_alloc&) {
        // What a file within the size limits asks is a few times its size; a machine short
        // of that is told so, like any other refusal.
        error = Quoted(fileName) + " could not be read: it needs more memory than there is.";
        return std::nullopt;
    }
}

bool ReadAreaGeometry(XmlElement element, std::string_view fileName, Area& area, std::string& error)
{
    try {
        CAreaReader reader(fileName, error);
        if (!reader.Geometry(element))
            return false;
        std::move(reader.area.polygons.begin(), reader.area.polygons.end(), std::back_inserter(area.polygons));
        std::move(reader.area.paths.begin(), reader.area.paths.end(), std::back_inserter(area.paths));
        return true;
    } catch (const std::bad_alloc&) {
        error = Quoted(fileName) + " could not be read: it needs more memory than there is.";
        return false;
    }
}

std::optional<Area> ReadAreaFile(std::string_view path, std::string& error)
{
    std::string bytes;
    if (!ReadSmallFileOrSay(path, kMaxAreaFileBytes, bytes, error))
        return std::nullopt;
    return ReadAreaText(bytes, path, error);
}

} // namespace vantrell
