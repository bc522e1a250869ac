// libkml, a KML reader that is not ours, reads every document a walk writes and the
// network link file we ship, and finds in them what we meant to say.

#include "../engine/Recorder.h"
#include "AreaWalk.h"
#include "LookAtDocument.h"
#include "LookAtFile.h"
#include "PassCount.h"
#include "Preview.h"
#include "RequestFile.h"
#include "ScanJob.h"

#include <gtest/gtest.h>
#include <kml/dom.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <locale.h>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

namespace vantrell {
namespace {

// libkml reads numbers with the C library, which follows the thread's locale: under a
// comma-decimal one "45.5" reads as 45. Holds the C locale for the calling thread.
class CLocaleGuard {
public:
    CLocaleGuard() : m_c(::newlocale(LC_ALL_MASK, "C", nullptr)), m_old(::uselocale(m_c)) {}
    ~CLocaleGuard()
    {
        ::uselocale(m_old);
        ::freelocale(m_c);
    }
    CLocaleGuard(const CLocaleGuard&) = delete;
    CLocaleGuard& operator=(const CLocaleGuard&) = delete;

private:
    locale_t m_c;
    locale_t m_old;
};

kmldom::ElementPtr ParseInC(const std::string& xml, std::string& errors)
{
    CLocaleGuard c;
    return kmldom::Parse(xml, &errors);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A number as the file prints it, read back exactly.
double Printed(float degrees)
{
    char text[64];
    char* end = FormatCoordinate(text, text + sizeof text, degrees);
    double value = 0;
    std::from_chars(text, end, value);
    return value;
}

struct LookAtValues {
    double longitude, latitude, range, tilt, heading;
};

// The Placemark's LookAt, or a test failure naming what is missing.
::testing::AssertionResult ReadLookAt(const std::string& xml, LookAtValues& out)
{
    std::string errors;
    const kmldom::ElementPtr root = ParseInC(xml, errors);
    if (!root)
        return ::testing::AssertionFailure() << "libkml refused the document: " << errors;
    const kmldom::KmlPtr kml = kmldom::AsKml(root);
    if (!kml || !kml->has_feature())
        return ::testing::AssertionFailure() << "no kml element with a feature";
    const kmldom::PlacemarkPtr placemark = kmldom::AsPlacemark(kml->get_feature());
    if (!placemark || placemark->get_name() != "Vantrell Spot")
        return ::testing::AssertionFailure() << "no Placemark named Vantrell Spot";
    const kmldom::LookAtPtr lookAt = kmldom::AsLookAt(placemark->get_abstractview());
    if (!lookAt)
        return ::testing::AssertionFailure() << "the Placemark has no LookAt";
    if (!lookAt->has_longitude() || !lookAt->has_latitude() || !lookAt->has_range() ||
        !lookAt->has_tilt() || !lookAt->has_heading())
        return ::testing::AssertionFailure() << "the LookAt lacks a value";
    out = {lookAt->get_longitude(), lookAt->get_latitude(), lookAt->get_range(),
           lookAt->get_tilt(), lookAt->get_heading()};
    return ::testing::AssertionSuccess();
}

// Forwards every point to the real file writer, then has libkml read the file.
class CReadingWriter final : public IPointWriter {
public:
    explicit CReadingWriter(std::string path) : m_path(std::move(path)), m_file(m_path) {}

    void WritePoint(float latitude, float longitude, std::int32_t range) override
    {
        m_file.WritePoint(latitude, longitude, range);
        ++points;
        LookAtValues read{};
        ASSERT_TRUE(ReadLookAt(ReadFile(m_path), read)) << "point " << points;
        EXPECT_EQ(read.longitude, Printed(longitude)) << "point " << points;
        EXPECT_EQ(read.latitude, Printed(latitude)) << "point " << points;
        EXPECT_EQ(read.range, static_cast<double>(range)) << "point " << points;
        EXPECT_EQ(read.tilt, 0.0);
        EXPECT_EQ(read.heading, 0.0);
    }

    std::size_t points = 0;

private:
    std::string m_path;
    CLookAtFile m_file;
};

class KmlReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vantrell-kml-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string m_dir;
};

struct WalkCase {
    const char* name;
    test::Request r; // at no pause
};

// Corners in every hemisphere, across the equator and the prime meridian, near the pole,
// and ranges from none to the largest the form takes.
const WalkCase kWalksTheFileMustCarry[] = {
    {"north_west", {45, 30, 15, "North", 122, 40, 0, "West", 1, 1, 0, 1500, 2}},
    {"south_east", {33, 52, 4, "South", 151, 12, 36, "East", 1, 1, 0, 800, 0}},
    {"across_zero", {0, 0, 30, "North", 0, 0, 30, "West", 1, 1, 0, 0, 1}},
    {"near_pole", {89, 59, 0, "North", 179, 59, 59, "East", 2, 1, 0, 250000, 5}},
    {"largest_range", {60, 0, 0, "South", 10, 0, 0, "West", 1, 1, 0, std::numeric_limits<std::int32_t>::max(), 0}},
    {"past_south_pole", {89, 59, 0, "South", 10, 0, 0, "East", 2, 2, 0, 1000, 5}},
};

TEST_F(KmlReaderTest, ReadsEveryPointOfAWalk)
{
    for (const WalkCase& c : kWalksTheFileMustCarry) {
        SCOPED_TRACE(c.name);
        CReadingWriter writer(m_dir + "/Vantrell.kml");
        test::CNoSleep sleeper;
        CScanJob job = test::MakeJob(c.r, writer, sleeper);
        ASSERT_TRUE(job.RunPass());
        EXPECT_GE(writer.points, 4u);
    }
}

// The Windows program writes CR LF line ends.
TEST_F(KmlReaderTest, ReadsTheDocumentWithWindowsLineEnds)
{
    char out[kLookAtDocumentMax];
    std::string doc(out, FormatLookAt(out, -33.867779f, 151.209999f, 1200));
    std::string crlf;
    for (char ch : doc)
        crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    LookAtValues read{};
    ASSERT_TRUE(ReadLookAt(crlf, read));
    EXPECT_EQ(read.latitude, Printed(-33.867779f));
    EXPECT_EQ(read.longitude, Printed(151.209999f));
    EXPECT_EQ(read.range, 1200.0);
}

// Why the parse holds the C locale: without it, under the comma-decimal locale the tests
// run in, libkml drops the decimals.
TEST_F(KmlReaderTest, MisreadsUnderACommaDecimalLocaleWithoutTheGuard)
{
    if (std::localeconv()->decimal_point[0] != ',')
        GTEST_SKIP() << "the locale is not comma-decimal; ctest runs this under de_DE.UTF-8";
    char out[kLookAtDocumentMax];
    const std::string doc(out, FormatLookAt(out, 45.5f, -122.25f, 1000));
    std::string errors;
    const kmldom::KmlPtr kml = kmldom::AsKml(kmldom::Parse(doc, &errors));
    ASSERT_TRUE(kml);
    const kmldom::LookAtPtr lookAt =
        kmldom::AsLookAt(kmldom::AsPlacemark(kml->get_feature())->get_abstractview());
    ASSERT_TRUE(lookAt);
    EXPECT_NE(lookAt->get_latitude(), 45.5);

    LookAtValues read{};
    ASSERT_TRUE(ReadLookAt(doc, read));
    EXPECT_EQ(read.latitude, 45.5);
    EXPECT_EQ(read.longitude, -122.25);
}

// The preview's path runs through points of the pass only: each row's first and last
// point and each south move, in the walk's order, past a pole too; the first views are
// outlined.
TEST_F(KmlReaderTest, ReadsThePreviewsPathThroughEveryTurningPoint)
{
    for (const WalkCase& c : kWalksTheFileMustCarry) {
        SCOPED_TRACE(c.name);
        test::CRecorder rec;
        CScanJob job = test::MakeJob(c.r, rec);
        std::string errors;
        const std::string preview = PreviewDocument(job);
        const kmldom::KmlPtr kml = kmldom::AsKml(ParseInC(preview, errors));
        ASSERT_TRUE(kml) << errors;
        // It carries the request, to be opened again.
        EXPECT_EQ(ReadPlanText(preview, "preview", errors), (PlanFile{job.Request(), nullptr, 0, {}})) << errors;
        const kmldom::DocumentPtr document = kmldom::AsDocument(kml->get_feature());
        ASSERT_TRUE(document);
        EXPECT_TRUE(kmldom::AsLookAt(document->get_abstractview()));
        ASSERT_EQ(document->get_feature_array_size(), 4u);
        const kmldom::FolderPtr views = kmldom::AsFolder(document->get_feature_array_at(3));
        ASSERT_TRUE(views);
        EXPECT_EQ(views->get_name(), "Views");
        const auto line = [&](std::size_t i) {
            const kmldom::PlacemarkPtr mark = kmldom::AsPlacemark(document->get_feature_array_at(i));
            return mark ? kmldom::AsLineString(mark->get_geometry()) : nullptr;
        };
        ASSERT_TRUE(line(0) && line(0)->get_coordinates()->get_coordinates_array_size() == 5) << "no outline";
        // The outline holds the corner as typed, which the walk never writes.
        const kmlbase::Vec3 corner = line(0)->get_coordinates()->get_coordinates_array_at(0);
        EXPECT_GE(corner.get_latitude(), Printed(job.Check().startLatitude));
        EXPECT_LE(corner.get_longitude(), Printed(job.Check().startLongitude));
        ASSERT_TRUE(line(1)) << "no path";
        const kmldom::CoordinatesPtr path = line(1)->get_coordinates();

        ASSERT_TRUE(job.RunPass());
        std::vector<std::pair<double, double>> turning;
        const std::vector<test::Event> e = rec.Points();
        for (std::size_t i = 0; i < e.size(); ++i) {
            const bool southMove = i > 0 && e[i].latitude != e[i - 1].latitude;
            const bool rowEnd = i + 1 < e.size() && e[i + 1].latitude != e[i].latitude;
            const bool rowStart = i > 1 && e[i - 1].latitude != e[i - 2].latitude && !southMove;
            if (i == 0 || southMove || rowEnd || rowStart)
                turning.emplace_back(Printed(e[i].longitude), Printed(e[i].latitude));
        }
        std::vector<std::pair<double, double>> read;
        for (std::size_t i = 0; i < path->get_coordinates_array_size(); ++i)
            read.emplace_back(path->get_coordinates_array_at(i).get_longitude(),
                              path->get_coordinates_array_at(i).get_latitude());
        EXPECT_EQ(read, turning);
        const std::size_t firstTwoPairs = std::min<std::size_t>({e.size(), 4 * (CountPass(job)->pointsPerRow + 1), 200});
        EXPECT_EQ(views->get_feature_array_size(), c.r.range > 0 ? firstTwoPairs : 0u);
    }
}

// A walk kept to an area: its shapes in a folder "Area", a path through kept points
// only, from the first written to the last, views of kept points only; and the
// preview opens again as the same request, area and corridor.
TEST_F(KmlReaderTest, ReadsThePreviewOfAWalkKeptToAnArea)
{
    const auto area = std::make_shared<const Area>(
        Area{{{{{45, -122}, {45, -121.94}, {44.96, -121.94}, {44.96, -122}},
               {{{44.99, -121.99}, {44.99, -121.95}, {44.97, -121.95}, {44.97, -121.99}}}}},
             {{{44.95, -122}, {44.94, -121.95}}},
             "park & road.kml"});
    test::CRecorder rec;
    CScanJob job = test::MakeJob({.east = 4, .south = 5, .speed = 0, .range = 100}, rec);
    job.KeepTo(KeepPoints(job, area, 1));
    const std::string preview = PreviewDocument(job);
    std::string errors;
    const kmldom::KmlPtr kml = kmldom::AsKml(ParseInC(preview, errors));
    ASSERT_TRUE(kml) << errors;
    EXPECT_EQ(ReadPlanText(preview, "preview", errors), (PlanFile{job.Request(), area, 1, {}})) << errors;
    const kmldom::DocumentPtr document = kmldom::AsDocument(kml->get_feature());
    ASSERT_TRUE(document && document->get_feature_array_size() == 5u);
    EXPECT_NE(document->get_description().find(" points per pass lie in the area of \"park & road.kml\""),
              std::string::npos);

    const kmldom::FolderPtr shapes = kmldom::AsFolder(document->get_feature_array_at(4));
    ASSERT_TRUE(shapes && shapes->get_name() == "Area" && shapes->get_feature_array_size() == 2u);
    const kmldom::PolygonPtr polygon =
        kmldom::AsPolygon(kmldom::AsPlacemark(shapes->get_feature_array_at(0))->get_geometry());
    ASSERT_TRUE(polygon && polygon->get_innerboundaryis_array_size() == 1u);
    EXPECT_EQ(polygon->get_outerboundaryis()->get_linearring()->get_coordinates()->get_coordinates_array_size(), 5u);
    EXPECT_TRUE(kmldom::AsLineString(kmldom::AsPlacemark(shapes->get_feature_array_at(1))->get_geometry()));

    ASSERT_TRUE(job.RunPass());
    std::set<std::pair<double, double>> written;
    const std::vector<test::Event> points = rec.Points();
    for (const test::Event& e : points)
        written.emplace(Printed(e.longitude), Printed(e.latitude));
    ASSERT_GT(points.size(), 2u);
    ASSERT_LT(points.size(), CountPass(job)->points) << "the area keeps every point";
    const kmldom::MultiGeometryPtr path =
        kmldom::AsMultiGeometry(kmldom::AsPlacemark(document->get_feature_array_at(1))->get_geometry());
    ASSERT_TRUE(path);
    std::vector<std::pair<double, double>> drawn;
    for (std::size_t g = 0; g < path->get_geometry_array_size(); ++g) {
        const kmldom::LineStringPtr line = kmldom::AsLineString(path->get_geometry_array_at(g));
        const kmldom::PointPtr point = kmldom::AsPoint(path->get_geometry_array_at(g));
        const kmldom::CoordinatesPtr c = line ? line->get_coordinates() : point->get_coordinates();
        for (std::size_t i = 0; i < c->get_coordinates_array_size(); ++i)
            drawn.emplace_back(c->get_coordinates_array_at(i).get_longitude(), c->get_coordinates_array_at(i).get_latitude());
    }
    ASSERT_FALSE(drawn.empty());
    for (const auto& v : drawn)
        EXPECT_TRUE(written.contains(v)) << v.first << "," << v.second << " is not a kept point";
    EXPECT_EQ(drawn.front(), std::make_pair(Printed(points.front().longitude), Printed(points.front().latitude)));
    EXPECT_EQ(drawn.back(), std::make_pair(Printed(points.back().longitude), Printed(points.back().latitude)));
    const kmldom::FolderPtr views = kmldom::AsFolder(document->get_feature_array_at(3));
    ASSERT_TRUE(views);
    EXPECT_EQ(views->get_feature_array_size(), std::min<std::size_t>(points.size(), kPreviewViews));
}

TEST(NetworkLinkFileTest, PointsAtTheFileBesideItAndFliesThereEveryFourSeconds)
{
    const std::string xml = ReadFile(VANTRELL_LINK_FILE);
    ASSERT_FALSE(xml.empty()) << VANTRELL_LINK_FILE;
    std::string errors;
    const kmldom::KmlPtr kml = kmldom::AsKml(ParseInC(xml, errors));
    ASSERT_TRUE(kml) << errors;
    const kmldom::DocumentPtr document = kmldom::AsDocument(kml->get_feature());
    ASSERT_TRUE(document);
    ASSERT_EQ(document->get_feature_array_size(), 1u);
    const kmldom::NetworkLinkPtr link = kmldom::AsNetworkLink(document->get_feature_array_at(0));
    ASSERT_TRUE(link);
    EXPECT_TRUE(link->has_flytoview());
    EXPECT_TRUE(link->get_flytoview());
    ASSERT_TRUE(link->has_link());
    const kmldom::LinkPtr target = link->get_link();
    EXPECT_EQ(target->get_href(), "Vantrell.kml");
    EXPECT_TRUE(target->has_refreshmode());
    EXPECT_EQ(target->get_refreshmode(), kmldom::REFRESHMODE_ONINTERVAL);
    EXPECT_TRUE(target->has_refreshinterval());
    EXPECT_EQ(target->get_refreshinterval(), 4.0);
}

} // namespace
} // namespace vantrell

int main(int argc, char** argv)
{
    // Take the environment's locale, as the programs do: ctest sets a comma-decimal one.
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
