#include "LookAtDocument.h"

#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace vantrell {
namespace {

std::string Document(float latitude, float longitude, std::int32_t range)
{
    char out[kLookAtDocumentMax];
    return std::string(out, FormatLookAt(out, latitude, longitude, range));
}

// Test texts are written with "\n"; the file uses the platform's text line end.
std::string Lines(std::string text)
{
    std::string out;
    for (const char c : text)
        out += c == '\n' ? std::string(kLineEnd) : std::string(1, c);
    return out;
}

std::string Printf(double value)
{
    char text[400];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

TEST(LookAtDocumentIsExact, ThirteenLinesLongitudeFirst)
{
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://earth.google.com/kml/2.0\">\n"
        "<Placemark>\n"
        "<name>Vantrell Spot</name>\n"
        "<LookAt>\n"
        "<longitude>-121.994888</longitude>\n"
        "<latitude>45.000000</latitude>\n"
        "<range>1000</range>\n"
        "<tilt>0.0</tilt>\n"
        "<heading>0.0</heading>\n"
        "</LookAt>\n"
        "</Placemark>\n"
        "</kml>\n";
    EXPECT_EQ(Document(45.0f, -121.994888f, 1000), Lines(expected));
}

TEST(LookAtDocumentIsExact, NumbersAsPrintfWritesThem)
{
    struct Case {
        float latitude, longitude;
        std::int32_t range;
        const char* lonLine;
        const char* latLine;
        const char* rangeLine;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {37.425f, 0.0f, 0, "<longitude>0.000000</longitude>", "<latitude>37.424999</latitude>", "<range>0</range>"},
        {-33.85f, 151.2f, -5, "<longitude>151.199997</longitude>", "<latitude>-33.849998</latitude>", "<range>-5</range>"},
        {0.0f, -0.0f, -2147483647 - 1, "<longitude>-0.000000</longitude>", "<latitude>0.000000</latitude>",
         "<range>-2147483648</range>"},
        {90.0f, 297024.156f, 2147483647, "<longitude>297024.156250</longitude>", "<latitude>90.000000</latitude>",
         "<range>2147483647</range>"},
        {-inf, inf, 1, "<longitude>inf</longitude>", "<latitude>-inf</latitude>", "<range>1</range>"},
    };
    for (const Case& c : cases) {
        const std::string doc = Document(c.latitude, c.longitude, c.range);
        EXPECT_NE(doc.find(Lines(std::string("\n") + c.lonLine + "\n" + c.latLine + "\n" + c.rangeLine + "\n")),
                  std::string::npos)
            << doc;
    }
    // The widest float32 still fits the buffer.
    const std::string widest = Document(-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(), 0);
    EXPECT_NE(widest.find("<latitude>" + Printf(-std::numeric_limits<float>::max()) + "</latitude>"),
              std::string::npos);
}

TEST(LookAtDocumentIsExact, AgreesWithPrintfOverRandomFloats)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<std::uint32_t> bits;
    for (int i = 0; i < 20000; ++i) {
        const float value = std::bit_cast<float>(bits(random));
        if (value != value)
            continue; // printf spells NaN's sign in its own ways
        char text[kLookAtDocumentMax];
        const std::string ours(text, FormatCoordinate(text, text + sizeof text, value));
        ASSERT_EQ(ours, Printf(value)) << std::bit_cast<std::uint32_t>(value);
    }
}

// A desktop program runs with the user's locale; a comma-decimal one must not leak in.
TEST(LookAtDocumentIgnoresLocale, GermanLocaleKeepsFullStops)
{
#ifdef _WIN32
    const char* const german = "German_Germany.1252";
#else
    const char* const german = "de_DE.UTF-8";
#endif
    const std::string before = Document(44.996387f, -121.979553f, 1000);
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, german), nullptr)
        << "the " << german << " locale is missing: run tools/install-deps.sh";
    EXPECT_EQ(Printf(0.5), "0,500000"); // the locale really is in force
    const std::string during = Document(44.996387f, -121.979553f, 1000);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(during, before);
    EXPECT_NE(during.find("<latitude>44.996387</latitude>"), std::string::npos);
}

} // namespace
} // namespace vantrell
