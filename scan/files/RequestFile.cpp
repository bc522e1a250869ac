#include "RequestFile.h"

#include "LookAtDocument.h"
#include "Grouping.h"
#include "Quoting.h"
#include "RequestCheck.h"
#include "RequestText.h"
#include "ScanJob.h"
#include "SmallFile.h"
#include "Xml.h"

#include <charconv>
#include <limits>

namespace vantrell {
namespace {

// Each field of kFieldNames, in its order: a number, or a word with the two the
// form's list offers besides nothing.
struct Field {
    std::int32_t RequestValues::*number;
    std::string RequestValues::*word;
    std::string_view positive, negative;
};
constexpr Field Number(std::int32_t RequestValues::*number) { return {number, nullptr, {}, {}}; }
constexpr Field Word(std::string RequestValues::*word, std::string_view positive, std::string_view negative)
{
    return {nullptr, word, positive, negative};
}

constexpr std::array<Field, 13> kFields = {
    Number(&RequestValues::latDeg),     Number(&RequestValues::latMin),
    Number(&RequestValues::latSec),     Word(&RequestValues::latDir, kNorth, kSouth),
    Number(&RequestValues::lonDeg),     Number(&RequestValues::lonMin),
    Number(&RequestValues::lonSec),     Word(&RequestValues::lonDir, kEast, kWest),
    Number(&RequestValues::milesEast),  Number(&RequestValues::milesSouth),
    Number(&RequestValues::speedFactor), Number(&RequestValues::range),
    Number(&RequestValues::resolution)};

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

// Reads a KML document the way a preview needs it: well-formed XML with a <kml> root,
// through the engine's one parser (which refuses a DTD), and collects the request's
// <Data> under kml/Document/ExtendedData; a <Data> named twice counts twice, and its
// <value> texts are joined. Element names compare without their namespace prefix. False
// when the text is not such a document.
bool ReadFields(std::string_view text, std::array<Found, 13>& fields, bool& anyField)
{
    CXmlDocument document;
    if (document.Parse(text) != XmlError::None || document.Root().Name() != "kml")
        return false;
    for (XmlElement kmlDocument = document.Root().FirstChild("Document"); kmlDocument;
         kmlDocument = kmlDocument.Next("Document")) {
        for (XmlElement data = kmlDocument.FirstChild("ExtendedData"); data; data = data.Next("ExtendedData")) {
            for (XmlElement item = data.FirstChild("Data"); item; item = item.Next("Data")) {
                const std::optional<std::string_view> name = item.Attribute("name");
                for (std::size_t i = 0; name && i < kFieldNames.size(); ++i) {
                    if (*name != kFieldNames[i])
                        continue;
                    fields[i].text.clear();
                    ++fields[i].count;
                    anyField = true;
                    for (XmlElement value = item.FirstChild("value"); value; value = value.Next("value"))
                        fields[i].text += value.Text();
                }
            }
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
bool Store(RequestValues& values, std::size_t i, const std::string& text, std::string& error)
{
    const Field& field = kFields[i];
    const std::string name(kFieldNames[i]);
    if (field.word != nullptr) {
        if (text.empty() || text == field.positive || text == field.negative) {
            values.*field.word = text;
            return true;
        }
        error = name + " holds " + Shown(text, true) + ", which the field cannot hold (" +
                std::string(field.positive) + ", " + std::string(field.negative) + " or nothing).";
        return false;
    }
    const std::size_t digits = text.size() - (text.starts_with('-') ? 1 : 0);
    const bool plain = digits > 0 && text.find_first_not_of("0123456789", text.size() - digits) == std::string::npos;
    std::int32_t number = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (plain && ec == std::errc()) {
        values.*field.number = number;
        return true;
    }
    if (!plain)
        error = name + " holds " + Shown(text, true) + ", which is not a plain whole number.";
    else if (text.starts_with('-'))
        error = name + " holds " + Shown(text, false) + ", less than the field can hold (" +
                Grouped(std::int64_t{std::numeric_limits<std::int32_t>::min()}) + ").";
    else
        error = name + " holds " + Shown(text, false) + ", more than the field can hold (" +
                Grouped(std::int64_t{std::numeric_limits<std::int32_t>::max()}) + ").";
    return false;
}

} // namespace

std::array<std::string, 13> TextsOf(const RequestValues& v)
{
    const auto text = [](std::int32_t n) {
        char digits[16];
        return std::string(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
    };
    return {text(v.latDeg),    text(v.latMin),     text(v.latSec),      v.latDir,     text(v.lonDeg),
            text(v.lonMin),    text(v.lonSec),     v.lonDir,            text(v.milesEast), text(v.milesSouth),
            text(v.speedFactor), text(v.range), text(v.resolution)};
}

RequestValues ValuesOf(const CScanJob& job)
{
    return {job.m_nLatDeg,    job.m_nLatMin,     job.m_nLatSec,      job.m_strLatDir, job.m_nLonDeg,
            job.m_nLonMin,    job.m_nLonSec,     job.m_strLonDir,    job.m_nMilesEast, job.m_nMilesSouth,
            job.m_nSpeedFactor, job.m_nRange,    job.m_nResolution};
}

std::string RequestExtendedData(const RequestValues& values, std::string_view lineEnd)
{
    std::string out = "<ExtendedData>";
    out += lineEnd;
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        out += "<Data name=\"";
        AppendEscaped(out, kFieldNames[i]);
        out += "\"><value>";
        if (kFields[i].word != nullptr) {
            AppendEscaped(out, values.*kFields[i].word);
        } else {
            char number[16];
            out.append(number, std::to_chars(number, number + sizeof number, values.*kFields[i].number).ptr);
        }
        out += "</value></Data>";
        out += lineEnd;
    }
    out += "</ExtendedData>";
    out += lineEnd;
    return out;
}

std::optional<RequestValues> ReadPlanText(std::string_view text, std::string_view fileName, std::string& error)
{
    const std::string file = Quoted(fileName);
    std::array<Found, 13> fields;
    bool anyField = false;
    if (!ReadFields(text, fields, anyField)) {
        error = file + " is not a Vantrell preview: it is not a KML document.";
        return std::nullopt;
    }
    if (!anyField) {
        error = file + " is not a Vantrell preview: it holds no request.";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const int count = fields[i].count;
        if (count != 1) {
            error = "The request in " + file + (count == 0 ? " lacks its " : " holds more than one ") +
                    std::string(kFieldNames[i]) + ".";
            return std::nullopt;
        }
    }
    RequestValues values;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!Store(values, i, fields[i].text, error))
            return std::nullopt;
    }
    return values;
}

std::optional<RequestValues> ReadPlanFile(std::string_view path, std::string& error)
{
    std::string text;
    const std::string file = Quoted(path);
    switch (ReadSmallFile(path, kMaxPlanFileBytes, text)) {
    case SmallFile::Read: return ReadPlanText(text, path, error);
    case SmallFile::Missing: error = "There is no file " + file + "."; break;
    case SmallFile::Unreadable: error = file + " could not be read."; break;
    case SmallFile::NotPlain: error = file + " is not a plain file."; break;
    case SmallFile::TooLarge: error = file + " is larger than 1 MB."; break;
    }
    return std::nullopt;
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
