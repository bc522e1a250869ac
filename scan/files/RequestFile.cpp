#include "RequestFile.h"

#include "LookAtDocument.h"
#include "Grouping.h"
#include "Quoting.h"
#include "SmallFile.h"
#include "Utf8.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
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

// Character data with its references resolved onto out: the five named ones and
// numeric ones. False for any other '&'.
bool AppendUnescaped(std::string& out, std::string_view text)
{
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed = {
        {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t amp = std::min(text.find('&', i), text.size());
        out.append(text, i, amp - i);
        if (amp == text.size())
            break;
        i = amp;
        const std::size_t semicolon = text.find(';', i);
        if (semicolon == std::string_view::npos)
            return false;
        const std::string_view name = text.substr(i + 1, semicolon - i - 1);
        i = semicolon + 1;
        bool known = false;
        for (const auto& [entity, c] : kNamed) {
            if (name == entity) {
                out += c;
                known = true;
            }
        }
        if (known)
            continue;
        const bool hex = name.size() > 2 && name[0] == '#' && name[1] == 'x';
        if (name.size() < 2 || name[0] != '#')
            return false;
        std::uint32_t code = 0;
        const std::string_view digits = name.substr(hex ? 2 : 1);
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
        if (ec != std::errc() || end != digits.data() + digits.size() || code == 0 || code > 0x10ffff ||
            (code >= 0xd800 && code <= 0xdfff))
            return false;
        AppendUtf8(out, code);
    }
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view LocalName(std::string_view name)
{
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// What a preview holds for each field: its text, and how often the name came.
struct Found {
    std::string text;
    int count = 0;
};

// Reads a KML document the way a preview needs it: checks that it is well-formed XML
// with a <kml> root (the small part of XML that KML writers use; a DOCTYPE is refused)
// and collects the request's <Data> under kml/Document/ExtendedData. Element names
// compare without their namespace prefix.
class CPreviewReader {
public:
    explicit CPreviewReader(std::string_view text) : m_text(text) {}

    // False when the text is not such a document.
    bool Read()
    {
        if (m_text.substr(0, 3) == "\xef\xbb\xbf")
            m_pos = 3;
        bool rootSeen = false;
        while (m_pos < m_text.size()) {
            const std::string_view rest = m_text.substr(m_pos);
            bool ok = true;
            if (rest.substr(0, 4) == "<!--")
                ok = Skip("-->");
            else if (rest.substr(0, 2) == "<?")
                ok = Skip("?>");
            else if (rest.substr(0, 9) == "<![CDATA[")
                ok = !m_open.empty() && CharacterData();
            else if (rest.substr(0, 2) == "</")
                ok = EndTag();
            else if (rest.substr(0, 2) == "<!")
                ok = false;
            else if (rest[0] == '<' && m_open.empty() && rootSeen)
                ok = false; // a second root
            else if (rest[0] == '<')
                ok = (rootSeen = true, StartTag());
            else
                ok = Text();
            if (!ok)
                return false;
        }
        return rootSeen && m_open.empty() && m_isKml;
    }

    std::array<Found, kRequestFields> fields;
    bool anyField = false;

private:
    bool Skip(std::string_view end)
    {
        const std::size_t at = m_text.find(end, m_pos);
        m_pos = at == std::string_view::npos ? m_text.size() : at + end.size();
        return at != std::string_view::npos;
    }

    std::string_view Name()
    {
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && !IsBlank(m_text[m_pos]) && m_text[m_pos] != '/' && m_text[m_pos] != '>' &&
               m_text[m_pos] != '=' && m_text[m_pos] != '<')
            ++m_pos;
        return m_text.substr(start, m_pos - start);
    }

    void SkipBlanks()
    {
        while (m_pos < m_text.size() && IsBlank(m_text[m_pos]))
            ++m_pos;
    }

    // Where the open elements are: a <Data> of the request, or its <value>.
    bool At(std::size_t depth) const
    {
        static constexpr std::array<std::string_view, 5> kPath = {"kml", "Document", "ExtendedData", "Data", "value"};
        if (m_open.size() != depth)
            return false;
        for (std::size_t i = 0; i < depth; ++i) {
            if (LocalName(m_open[i]) != kPath[i])
                return false;
        }
        return true;
    }

    bool StartTag()
    {
        ++m_pos;
        const std::string_view name = Name();
        if (name.empty())
            return false;
        std::string dataName;
        bool hasName = false;
        for (;;) {
            const std::size_t before = m_pos;
            SkipBlanks();
            if (m_pos >= m_text.size())
                return false;
            if (m_text[m_pos] == '>' || m_text.substr(m_pos, 2) == "/>")
                break;
            const std::string_view attribute = Name();
            if (attribute.empty() || m_pos == before)
                return false;
            SkipBlanks();
            if (m_pos >= m_text.size() || m_text[m_pos] != '=')
                return false;
            ++m_pos;
            SkipBlanks();
            if (m_pos >= m_text.size() || (m_text[m_pos] != '"' && m_text[m_pos] != '\''))
                return false;
            const std::size_t close = m_text.find(m_text[m_pos], m_pos + 1);
            if (close == std::string_view::npos)
                return false;
            const std::string_view value = m_text.substr(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
            std::string decoded;
            if (value.find('<') != std::string_view::npos || !AppendUnescaped(decoded, value))
                return false;
            if (attribute == "name") {
                dataName = std::move(decoded);
                hasName = true;
            }
        }
        if (m_open.empty())
            m_isKml = LocalName(name) == "kml";
        m_open.push_back(name);
        if (At(4)) {
            m_field = -1;
            for (std::size_t i = 0; hasName && i < kRequestFields; ++i) {
                if (dataName == kScanRequestFields[i].name) {
                    m_field = static_cast<int>(i);
                    fields[i].text.clear();
                    ++fields[i].count;
                    anyField = true;
                }
            }
        }
        if (m_text[m_pos] == '/') {
            ++m_pos;
            m_open.pop_back();
        }
        ++m_pos; // '>'
        return true;
    }

    bool EndTag()
    {
        m_pos += 2;
        const std::string_view name = Name();
        SkipBlanks();
        if (m_open.empty() || name != m_open.back() || m_pos >= m_text.size() || m_text[m_pos] != '>')
            return false;
        ++m_pos;
        m_open.pop_back();
        return true;
    }

    bool Text()
    {
        const std::size_t end = std::min(m_text.find('<', m_pos), m_text.size());
        const std::string_view text = m_text.substr(m_pos, end - m_pos);
        m_pos = end;
        if (m_open.empty()) {
            for (const char c : text) {
                if (!IsBlank(c))
                    return false;
            }
            return true;
        }
        if (At(5) && m_field >= 0)
            return AppendUnescaped(fields[static_cast<std::size_t>(m_field)].text, text);
        std::string ignored; // a preview's long coordinate lists have no references to check
        return text.find('&') == std::string_view::npos || AppendUnescaped(ignored, text);
    }

    bool CharacterData()
    {
        const std::size_t start = m_pos + 9;
        if (!Skip("]]>"))
            return false;
        if (At(5) && m_field >= 0)
            fields[static_cast<std::size_t>(m_field)].text += m_text.substr(start, m_pos - 3 - start);
        return true;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::vector<std::string_view> m_open; // names of the elements open at m_pos
    bool m_isKml = false;
    int m_field = -1; // the request's field whose <Data> is open, if any
};

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

std::string RequestExtendedData(const ScanRequest& values, std::string_view lineEnd)
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
    out += "</ExtendedData>";
    out += lineEnd;
    return out;
}

std::optional<ScanRequest> ReadPlanText(std::string_view text, std::string_view fileName, std::string& error)
{
    const std::string file = Quoted(fileName);
    CPreviewReader reader(text);
    if (!reader.Read()) {
        error = file + " is not a Vantrell preview: it is not a KML document.";
        return std::nullopt;
    }
    if (!reader.anyField) {
        error = file + " is not a Vantrell preview: it holds no request.";
        return std::nullopt;
    }
    for (std::size_t i = 0; i < reader.fields.size(); ++i) {
        const int count = reader.fields[i].count;
        if (count != 1) {
            error = "The request in " + file + (count == 0 ? " lacks its " : " holds more than one ") +
                    std::string(kScanRequestFields[i].name) + ".";
            return std::nullopt;
        }
    }
    ScanRequest values;
    for (std::size_t i = 0; i < reader.fields.size(); ++i) {
        if (!Store(values, i, reader.fields[i].text, error))
            return std::nullopt;
    }
    return values;
}

std::optional<ScanRequest> ReadPlanFile(std::string_view path, std::string& error)
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
