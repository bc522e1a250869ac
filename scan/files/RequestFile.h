#pragma once
// A request kept in its preview, and the point "Vantrell.kml" shows, read back from disk.
// Portable: SmallFile*.cpp does the opening. Any thread; nothing here is used by the walk.

#include "Area.h"
#include "ScanRequest.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// The preview stores a request's values under the names of kScanRequestFields.

// text with &, <, >, " and ' as XML's predefined entities, for element or attribute text.
std::string XmlEscaped(std::string_view text);

// The names of the data a preview of a walk kept to an area adds after the thirteen.
inline constexpr std::string_view kAreaFileData = "Area file";
inline constexpr std::string_view kCorridorData = "Corridor";

// The KML 2.2 <ExtendedData> element holding the thirteen values, one
// <Data name="..."><value>...</value></Data> each, every line ending with lineEnd (the
// LookAt file's kLineEnd); with area, also the area's file name and corridorTenths
// (kAreaFileData, kCorridorData). Goes inside the preview's <Document>, right after its
// <description>. Names and words are XML-escaped; the words of a request that yields
// points (the only kind with a preview) are plain ASCII.
std::string RequestExtendedData(const ScanRequest& values, std::string_view lineEnd, const Area* area = nullptr,
                                std::int32_t corridorTenths = 0);

// The name of the preview's folder of the area's shapes.
inline constexpr std::string_view kAreaFolderName = "Area";

// A KML 2.2 <Folder> named kAreaFolderName holding the area's shapes, a Placemark each:
// its polygons (holes as inner boundaries) and its paths as LineStrings, in the area's
// order, coordinates printed so that they read back as the same doubles. Goes inside the
// preview's <Document>; lines end with lineEnd.
std::string AreaFolder(const Area& area, std::string_view lineEnd);

// A plan file is read whole, so it is refused beyond this size (16 MB, as an area file:
// a preview holds its area). A preview larger than this is not written.
inline constexpr std::uint64_t kMaxPlanFileBytes = 16ull * 1024 * 1024;

// What a preview holds: the request, and the area its walk is kept to.
struct PlanFile {
    ScanRequest request;
    std::shared_ptr<const Area> area; // null: the walk covers the whole rectangle
    std::int32_t corridorTenths = 0;  // with an area: half a path's corridor, tenths of a mile
    // The values as stored, each one a text its form field takes as typed: a number past
    // the field's limit stays as long as it was, so that the plan says it is capped.
    std::array<std::string, kRequestFields> texts;

    bool operator==(const PlanFile& other) const
    {
        return request == other.request && corridorTenths == other.corridorTenths &&
               (area && other.area ? *area == *other.area : area == other.area);
    }
};

// Reads back a request from a preview at path: a plain file of at most kMaxPlanFileBytes
// (opened without waiting; FIFOs, folders and devices are refused) holding a KML document
// whose <Document> holds the <ExtendedData> above with each of the thirteen names once;
// other data is ignored. Each value is read as its form field would take it typed: numbers
// are plain decimal digits, a negative one (which no field can hold) refused, one past
// int32 read as 2,147,483,647 (and kept as typed in texts); the words ones the form's
// lists hold: North, South or nothing; East, West or nothing. The area comes from the Document's one Folder named kAreaFolderName only (as
// ReadAreaGeometry reads it), which then needs kAreaFileData and kCorridorData once each,
// the corridor a plain whole number from 0; neither without the folder. On failure
// nothing comes back and error is one sentence for the user.
std::optional<PlanFile> ReadPlanFile(std::string_view path, std::string& error);

// The same reading of a document already in memory; fileName only names it in error.
std::optional<PlanFile> ReadPlanText(std::string_view text, std::string_view fileName, std::string& error);

// A point as "Vantrell.kml" prints it, its numbers read back from the text.
struct WrittenPoint {
    float latitude = 0.0f;
    float longitude = 0.0f;
    std::int32_t range = 0;
};

// The file ReadWrittenPoint reads is refused beyond this size.
inline constexpr std::uint64_t kMaxWrittenPointBytes = 4096;

// The point in the LookAt file at path (a symbolic link is followed, as the writer
// does): a plain file of at most kMaxWrittenPointBytes, opened without waiting, holding
// exactly the document FormatLookAt makes, which is checked by making it again, byte for
// byte, from the numbers read. Anything else gives nothing, as does a file the Windows
// writer holds locked while it rewrites it in place (try again).
std::optional<WrittenPoint> ReadWrittenPoint(std::string_view path);

// The same check of a document already in memory.
std::optional<WrittenPoint> WrittenPointOf(std::string_view document);

// Whether point is printed as (latitude, longitude, range) would be. Six decimals can
// print two neighbouring float32 alike, and the file keeps no more, so this compares the
// printed text, not the floats. Allocates nothing.
bool PrintsAs(const WrittenPoint& point, float latitude, float longitude, std::int32_t range) noexcept;

} // namespace vantrell
