#include "RequestFile.h"

#include "AreaFile.h"
#include "LookAtDocument.h"
#include "Grouping.h"
#include "Quoting.h"
#include "SmallFile.h"
#include "TextToNumber.h"
#include "Xml.h"

#include <array>
#include <charconv>
#include <limits>
#include <new>
#include <utility>
#include <vector>

namespace vantrell {
namespace {

void AppendEscaped(std::string& out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
}

// What a preview holds for each field: its text, and how often the name came.
struct Found {
    std::string text;
    int count = 0;
};

// Everything a preview stores, as read.
struct Stored {
    std::array<Found, kRequestFields> fields;
    Found areaFile, corridor;
    bool anyField = false;
    int areaFolders = 0;
    Area area;
};

// One <Data>'s value; a name given again counts again and its last value stands.
void Collect(XmlElement item, Found& found, bool* anyField = nullptr)
{
    found.text.clear();
    ++found.count;
    if (anyField)
        *anyField = true;
    for (XmlElement value = item.FirstChild("value"); value; value = value.Next("value"))
        found.text += value.Text();
}

// Reads a KML document the way a preview needs it: well-formed XML with a <kml> root,
// through the engine's one parser (which refuses a DTD), and collects the request's
// <Data> under kml/Document/ExtendedData, and the shapes of kml/Document/Folder named
// kAreaFolderName; a <Data> named twice counts twice, and its <value> texts are joined.
// Element names compare without their namespace prefix. False when the text is not such
// a document (error empty) or its area is refused (error says why).
bool ReadStored(std::string_view text, std::string_view fileName, Stored& stored, std::string& error)
{
    CXmlDocument document;
    if (document.Parse(text) != XmlError::None || document.Root().Name() != "kml")
        return false;
    for (XmlElement kmlDocument = document.Root().FirstChild("Document"); kmlDocument;
         kmlDocument = kmlDocument.Next("Document")) {
        for (XmlElement data = kmlDocument.FirstChild("ExtendedData"); data; data = data.Next("ExtendedData")) {
            for (XmlElement item = data.FirstChild("Data"); item; item = item.Next("Data")) {
                const std::optional<std::string_view> name = item.Attribute("name");
                if (!name)
                    continue;
                for (std::size_t i = 0; i < kScanRequestFields.size(); ++i) {
                    if (*name == kScanRequestFields[i].name)
                        Collect(item, stored.fields[i], &stored.anyField);
                }
                if (*name == kAreaFileData)
                    Collect(item, stored.areaFile);
                if (*name == kCorridorData)
                    Collect(item, stored.corridor);
            }
        }
        for (XmlElement folder = kmlDocument.FirstChild("Folder"); folder; folder = folder.Next("Folder")) {
            if (folder.FirstChild("name").Text() != kAreaFolderName)
                continue;
            if (++stored.areaFolders > 1)
                break;
            if (!ReadAreaGeometry(folder, fileName, stored.area, error))
                return false;
        }
    }
    return true;
}

// A value in a sentence: quoted as typed, or cut short when long.
std::string Shown(std::string_view text, bool quote)
{
    constexpr std::size_t kMaxShown = 24;
    const bool cut = text.size() > kMaxShown;
    const std::string shown = quote ? Quoted(text.substr(0, kMaxShown)) : std::string(text.substr(0, kMaxShown));
    return cut ? shown + "\u2026" : shown;
}

// Sets the field from its stored text, or says why it cannot hold it.
bool Store(ScanRequest& values, std::size_t i, const std::string& text, std::string& error)
{
    const ScanRequestField& field = kScanRequestFields[i];
    const std::string name(field.name);
    if (field.IsWord()) {
        if (text.empty() || text == field.positive || text == field.negative) {
            values.*field.word = text;
            return true;
        }
        error = name + " holds " + Shown(text, true) + ", which the field cannot hold (" +
                std::string(field.positive) + ", " + std::string(field.negative) + " or nothing).";
        return false;
    }
    // As the form takes it typed: its fields hold digits only, and a number past int32 is
    // read at the limit, which the plan then says (CappedFields).
    const bool negative = text.starts_with('-');
    const std::size_t digits = text.size() - (negative ? 1 : 0);
    const bool plain = digits > 0 && text.find_first_not_of("0123456789", text.size() - digits) == std::string::npos;
    if (plain && !negative) {
        values.*field.number = TextToInt32(text);
        return true;
    }
    if (!plain)
        error = name + " holds " + Shown(text, true) + ", which is not a plain whole number.";
    else
        error = name + " holds " + Shown(text, false) + ", a negative number, which the field cannot hold.";
    return false;
}

} // namespace

std::string XmlEscaped(std::string_view text)
{
    std::string out;
    AppendEscaped(out, text);
    return out;
}

std::string RequestExtendedData(const ScanRequest& values, std::string_view lineEnd, const Area* area,
                                std::int32_t corridorTenths)
{
    std::string out = "<ExtendedData>";
    out += lineEnd;
    for (const ScanRequestField& field : kScanRequestFields) {
        out += "<Data name=\"";
        AppendEscaped(out, field.name);
        out += "\"><value>";
        if (field.IsWord()) {
            AppendEscaped(out, values.*field.word);
        } else {
            char number[16];
            out.append(number, std::to_chars(number, number + sizeof number, values.*field.number).ptr);
        }
        out += "</value></Data>";
        out += lineEnd;
    }
    if (area) {
        out += "<Data name=\"";
        AppendEscaped(out, kAreaFileData);
        out += "\"><value>";
        AppendEscaped(out, area->fileName);
        out += "</value></Data>";
        out += lineEnd;
        out += "<Data name=\"";
        AppendEscaped(out, kCorridorData);
        out += "\"><value>";
        char number[16];
        out.append(number, std::to_chars(number, number + sizeof number, corridorTenths).ptr);
        out += "</value></Data>";
        out += lineEnd;
    }
    out += "</ExtendedData>";
    out += lineEnd;
    return out;
}

std::string AreaFolder(const Area& area, std::string_view lineEnd)
{
    std::string out;
    const auto line = [&](std::string_view text) {
        out += text;
        out += lineEnd;
    };
    // Shortest digits that read back as the same double: the round trip keeps the area.
    const auto coordinates = [&](const std::vector<GeoPoint>& points, bool closed) {
        out += "<coordinates>";
        char number[32];
        for (std::size_t i = 0; i < points.size() + (closed ? 1 : 0); ++i) {
            const GeoPoint& p = points[i % points.size()];
            out.append(number, std::to_chars(number, number + sizeof number, p.longitude).ptr);
            out += ',';
            out.append(number, std::to_chars(number, number + sizeof number, p.latitude).ptr);
            out += ' ';
        }
        out += "</coordinates>";
    };
    const auto ring = [&](const GeoRing& r) {
        out += "<LinearRing>";
        coordinates(r, true);
        out += "</LinearRing>";
    };
    line("<Folder>");
    line("<name>" + std::string(kAreaFolderName) + "</name>");
    line("<Style id=\"area\"><LineStyle><color>ff0000ff</color><width>2</width></LineStyle>"
         "<PolyStyle><fill>0</fill><outline>1</outline></PolyStyle></Style>");
    for (const AreaPolygon& polygon : area.polygons) {
        line("<Placemark>");
        line("<styleUrl>#area</styleUrl>");
        out += "<Polygon><outerBoundaryIs>";
        ring(polygon.outer);
        out += "</outerBoundaryIs>";
        for (const GeoRing& hole : polygon.holes) {
            out += "<innerBoundaryIs>";
            ring(hole);
            out += "</innerBoundaryIs>";
        }
        line("</Polygon>");
        line("</Placemark>");
    }
    for (const GeoPath& path : area.paths) {
        line("<Placemark>");
        line("<styleUrl>#area</styleUrl>");
        out += "<LineString><tessellate>1</tessellate>";
        coordinates(path, false);
        line("</LineString>");
        line("</Placemark>");
    }
    line("</Folder>");
    return out;
}

std::optional<PlanFile> ReadPlanText(std::string_view text, std::string_view fileName, std::string& error)
{
    const std::string file = Quoted(fileName);
    Stored stored;
    error.clear();
    bool read = false;
    try {
        read = ReadStored(text, fileName, stored, error);
    } catch (const std::bad_alloc&) {
        error = file + " could not be read: it needs more memory than there is.";
        return std::nullopt;
    }
    if (!read) {
        if (error.empty())
            error = file + " is not a Vantrell preview: it is not a KML document.";
        return std::nullopt;
    }
    if (!stored.anyField) {
        error = file + " is not a Vantrell preview: it holds no request.";
        return std::nullopt;
    }
    const auto once = [&](const Found& found, std::string_view name) {
        if (found.count == 1)
            return true;
        error = "The request in " + file + (found.count == 0 ? " lacks its " : " holds more than one ") +
                std::string(name) + ".";
        return false;
    };
    for (std::size_t i = 0; i < stored.fields.size(); ++i) {
        if (!once(stored.fields[i], kScanRequestFields[i].name))
            return std::nullopt;
    }
    PlanFile plan;
    for (std::size_t i = 0; i < stored.fields.size(); ++i) {
        if (!Store(plan.request, i, stored.fields[i].text, error))
            return std::nullopt;
        plan.texts[i] = stored.fields[i].text;
    }
    if (stored.areaFolders == 0) {
        if (stored.areaFile.count == 0 && stored.corridor.count == 0)
            return plan;
        error = file + " holds an area's " + std::string(stored.corridor.count ? kCorridorData : kAreaFileData) +
                " but no folder \"" + std::string(kAreaFolderName) + "\" of its shapes.";
        return std::nullopt;
    }
    if (stored.areaFolders > 1) {
        error = file + " holds more than one folder \"" + std::string(kAreaFolderName) + "\".";
        return std::nullopt;
    }
    if (stored.area.Shapes() == 0) {
        error = file + " holds a folder \"" + std::string(kAreaFolderName) + "\" without a polygon or path.";
        return std::nullopt;
    }
    if (!once(stored.areaFile, kAreaFileData) || !once(stored.corridor, kCorridorData))
        return std::nullopt;
    const std::string& corridor = stored.corridor.text;
    std::int32_t tenths = -1;
    const auto [end, ec] = std::from_chars(corridor.data(), corridor.data() + corridor.size(), tenths);
    if (corridor.empty() || corridor.front() == '-' || ec != std::errc() || end != corridor.data() + corridor.size()) {
        error = std::string(kCorridorData) + " holds " + Shown(corridor, true) +
                ", which is not a plain whole number from 0.";
        return std::nullopt;
    }
    stored.area.fileName = std::move(stored.areaFile.text);
    plan.area = std::make_shared<const Area>(std::move(stored.area));
    plan.corridorTenths = tenths;
    return plan;
}

std::optional<PlanFile> ReadPlanFile(std::string_view path, std::string& error)
{
    std::string text;
    if (!ReadSmallFileOrSay(path, kMaxPlanFileBytes, text, error))
        return std::nullopt;
    return ReadPlanText(text, path, error);
}

std::optional<WrittenPoint> WrittenPointOf(std::string_view document)
{
    // The text between open and close, whole, as a number.
    const auto number = [&](std::string_view open, std::string_view close, auto& value) {
        const std::size_t start = document.find(open);
        const std::size_t end = document.find(close);
        if (start == std::string_view::npos || end == std::string_view::npos || end < start + open.size())
            return false;
        const char* first = document.data() + start + open.size();
        const char* last = document.data() + end;
        const auto [ptr, ec] = std::from_chars(first, last, value);
        return ec == std::errc() && ptr == last;
    };
    WrittenPoint point;
    if (document.size() > kLookAtDocumentMax || !number("<longitude>", "</longitude>", point.longitude) ||
        !number("<latitude>", "</latitude>", point.latitude) || !number("<range>", "</range>", point.range))
        return std::nullopt;
    // Made again from the numbers read: every other byte, and the way each number is
    // printed, must be the writer's.
    char again[kLookAtDocumentMax];
    if (std::string_view(again, FormatLookAt(again, point.latitude, point.longitude, point.range)) != document)
        return std::nullopt;
    return point;
}

std::optional<WrittenPoint> ReadWrittenPoint(std::string_view path)
{
    std::string text;
    if (ReadSmallFile(path, kMaxWrittenPointBytes, text) != SmallFile::Read)
        return std::nullopt;
    return WrittenPointOf(text);
}

bool PrintsAs(const WrittenPoint& point, float latitude, float longitude, std::int32_t range) noexcept
{
    return point.range == range && PrintAlike(point.latitude, latitude) && PrintAlike(point.longitude, longitude);
}

} // namespace vantrell
