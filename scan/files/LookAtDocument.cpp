#include "LookAtDocument.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace vantrell {
namespace {

class Appender {
public:
    explicit Appender(char* out) : m_begin(out), m_pos(out) {}

    Appender& Text(std::string_view s)
    {
        std::memcpy(m_pos, s.data(), s.size());
        m_pos += s.size();
        return *this;
    }
    Appender& Line(std::string_view s) { return Text(s).Text(kLineEnd); }

    // printf's "%f": the float32 widened to double, fixed, six decimals.
    Appender& Fixed6(float value)
    {
        m_pos = FormatCoordinate(m_pos, m_begin + kLookAtDocumentMax, value);
        return *this;
    }
    Appender& Integer(std::int32_t value)
    {
        m_pos = FormatRange(m_pos, m_begin + kLookAtDocumentMax, value);
        return *this;
    }
    std::size_t Size() const { return static_cast<std::size_t>(m_pos - m_begin); }

private:
    char* m_begin;
    char* m_pos;
};

} // namespace

char* FormatCoordinate(char* first, char* last, float degrees) noexcept
{
    return std::to_chars(first, last, static_cast<double>(degrees), std::chars_format::fixed, 6).ptr;
}

char* FormatRange(char* first, char* last, std::int32_t metres) noexcept
{
    return std::to_chars(first, last, metres).ptr;
}

bool PrintAlike(float a, float b) noexcept
{
    char first[64];
    char second[64];
    const char* firstEnd = FormatCoordinate(first, first + sizeof first, a);
    const char* secondEnd = FormatCoordinate(second, second + sizeof second, b);
    return std::string_view(first, static_cast<std::size_t>(firstEnd - first)) ==
           std::string_view(second, static_cast<std::size_t>(secondEnd - second));
}

std::size_t FormatLookAt(char* out, float latitude, float longitude, std::int32_t range) noexcept
{
    Appender doc(out);
    doc.Line(R"(<?xml version="1.0" encoding="UTF-8"?>)")
        .Line(R"(<kml xmlns="http://earth.google.com/kml/2.0">)")
        .Line("<Placemark>")
        .Line("<name>Vantrell Spot</name>")
        .Line("<LookAt>")
        .Text("<longitude>").Fixed6(longitude).Line("</longitude>")
        .Text("<latitude>").Fixed6(latitude).Line("</latitude>")
        .Text("<range>").Integer(range).Line("</range>")
        .Line("<tilt>0.0</tilt>")
        .Line("<heading>0.0</heading>")
        .Line("</LookAt>")
        .Line("</Placemark>")
        .Line("</kml>");
    return doc.Size();
}

} // namespace vantrell
