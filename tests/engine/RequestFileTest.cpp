// Reading back what this program writes: the request a preview keeps, and the point
// "Vantrell.kml" shows. Portable but for the FIFO and link cases.

#include "LookAtDocument.h"
#include "LookAtFile.h"
#include "RequestFile.h"
#include "ScanJob.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <future>
#include <random>
#include <string>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vantrell {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr const char* kDevice = "NUL";
#else
constexpr const char* kDevice = "/dev/null";
#endif

// What the preview frames the request with.
std::string Preview(const std::string& inside, std::string_view lineEnd = kLineEnd)
{
    const std::string end(lineEnd);
    return R"(<?xml version="1.0" encoding="UTF-8"?>)" + end + R"(<kml xmlns="http://www.opengis.net/kml/2.2">)" +
           end + "<Document>" + end + "<name>Vantrell preview</name>" + end +
           "<description>8 points per pass.</description>" + end + inside + "<Placemark><name>Area</name></Placemark>" +
           end + "</Document>" + end + "</kml>" + end;
}

const ScanRequest kGood = {45, 30, 15, "North", 122, 40, 0, "West", 10, 5, 20, 1000, 2};
const Area kRoad = {{}, {{{45, -122}, {44.5, -121.5}}}, "road.gpx"};

std::string Replaced(std::string text, std::string_view from, std::string_view to)
{
    return text.replace(text.find(from), from.size(), to);
}

// The good preview with one piece of its text replaced.
std::string Edited(std::string_view from, std::string_view to)
{
    return Replaced(Preview(RequestExtendedData(kGood, kLineEnd)), from, to);
}

std::string Document(float latitude, float longitude, std::int32_t range)
{
    char out[kLookAtDocumentMax];
    return std::string(out, FormatLookAt(out, latitude, longitude, range));
}

// Each test gets its own empty folder, removed afterwards.
class RequestFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("vantrell-request-" + std::to_string(std::random_device{}()));
        ASSERT_TRUE(fs::create_directory(m_dir));
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const char* name) const { return (m_dir / name).string(); }
    std::string Write(const char* name, const std::string& text) const
    {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }

    // Runs read on another thread; fails unless it returns within the deadline. A read
    // stuck opening a FIFO is let go by opening the FIFO's other end.
    static void WithinDeadline(const std::function<void()>& read, const std::string& path)
    {
        std::future<void> done = std::async(std::launch::async, read);
        if (done.wait_for(std::chrono::seconds(2)) == std::future_status::ready)
            return;
        ADD_FAILURE() << path << ": the read waited";
#ifndef _WIN32
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
#endif
    }

    fs::path m_dir;
};

TEST_F(RequestFileTest, ValuesComeBackAsStored)
{
    const std::int32_t kMax = 2147483647;
    const std::vector<ScanRequest> table = {
        kGood,
        {0, 0, 0, "", 0, 0, 0, "", 0, 0, 0, 0, 0}, // empty words
        {0, 1, kMax, "South", kMax, 0, 59, "East", 0, kMax, 7, 5, kMax},
    };
    // An area keeps its shapes, in order, to the last bit of every double, its file's name
    // and its corridor; a preview without one gives none.
    const auto area = [](Area shapes) { return std::make_shared<const Area>(std::move(shapes)); };
    std::vector<PlanFile> plans = {
        {kGood,
         area({{{{{45, -122}, {45, -121.9}, {44.9, -121.9}, {44.9, -122}},
                 {{{44.99, -121.99}, {44.99, -121.98}, {44.98, -121.98}}}},
                {{{0.1, 0.2}, {-0.3, 1e-7}, {0.30000000000000004, 179.99999999999997}}, {}}},
               {{{-33.86, 151.2}}, {{40, -100}, {36.933267796218125, -96.08320871665667}}},
               "a & <b>.kml"}),
         0},
        {kGood, area({{}, {{{45, -122}, {44.5, -121.5}}}, "road.gpx"}), 2147483647},
    };
    for (const ScanRequest& values : table)
        plans.push_back({values});
    for (const std::string_view lineEnd : {"\n", "\r\n"}) {
        for (const PlanFile& plan : plans) {
            const Area* shapes = plan.area.get();
            const std::string path = Write(
                "plan.kml", Preview(RequestExtendedData(plan.request, lineEnd, shapes, plan.corridorTenths) +
                                        (shapes ? AreaFolder(*shapes, lineEnd) : std::string()),
                                    lineEnd));
            std::string error;
            const std::optional<PlanFile> read = ReadPlanFile(path, error);
            ASSERT_TRUE(read.has_value()) << error;
            EXPECT_EQ(*read, plan);
        }
    }
    const CScanJob job({45, 30, 15, "North", 122, 40, 0, "West", 10, 5, 20, 1000, 2}, Discard());
    EXPECT_EQ(job.Request(), kGood);
    EXPECT_NE(Preview(RequestExtendedData(kGood, kLineEnd))
                  .find("<Data name=\"Miles East\"><value>10</value></Data>" + std::string(kLineEnd)),
              std::string::npos);
}

TEST_F(RequestFileTest, PlanFileRefusals)
{
    const std::string east = "<Data name=\"Miles East\"><value>10</value></Data>";
    ScanRequest odd = kGood;
    odd.latDir = "N&S <'\">";
    std::string atLimit = Preview(RequestExtendedData(kGood, kLineEnd));
    atLimit.resize(kMaxPlanFileBytes, ' ');
    enum class Kind { File, Folder, Device, Fifo };
    struct Row {
        const char* what;
        std::string text;  // the file's content
        std::string error; // what the message says after the file's quoted name; empty: read
        Kind kind = Kind::File;
    };
    const std::vector<Row> table = {
        {"plain KML", Preview(""), " is not a Vantrell preview: it holds no request."},
        {"data in a placemark too", Edited("<Placemark><name>Area</name>",
                                           "<Placemark><name>Area</name>" + RequestExtendedData(kGood, "")),
         ""},
        {"data in a placemark only", Preview("<Placemark>" + RequestExtendedData(kGood, "") + "</Placemark>"),
         " is not a Vantrell preview: it holds no request."},
        {"a text file", "45 30 15 North\n", " is not a Vantrell preview: it is not a KML document."},
        {"tags that do not nest", Edited("</Document>", ""), " is not a Vantrell preview: it is not a KML document."},
        {"a missing field", Edited(east, ""), "plan.kml\" lacks its Miles East."},
        {"a field twice", Edited(east, east + east), "plan.kml\" holds more than one Miles East."},
        {"a value the field caps, as typed", Edited("<value>10</value>", "<value>99999999999999</value>"), ""},
        {"a negative, which no field holds", Edited("<value>10</value>", "<value>-5</value>"),
         "Miles East holds -5, a negative number, which the field cannot hold."},
        {"one below int32", Edited("<value>10</value>", "<value>-2147483649</value>"),
         "Miles East holds -2147483649, a negative number, which the field cannot hold."},
        {"no plain number", Edited("<value>10</value>", "<value> 10</value>"),
         "Miles East holds \" 10\", which is not a plain whole number."},
        {"a word no list holds", Preview(RequestExtendedData(odd, kLineEnd)),
         "NW Latitude hemisphere holds \"N&S <'\\\">\", which the field cannot hold (North, South or nothing)."},
        {"over 16 MB", atLimit + " ", " is larger than 16 MB."},
        {"16 MB exactly", atLimit, ""},
        {"a corridor without an area", Edited("</ExtendedData>", "<Data name=\"Corridor\"><value>5</value></Data>"
                                                                 "</ExtendedData>"),
         "plan.kml\" holds an area's Corridor but no folder \"Area\" of its shapes."},
        {"an area without its corridor", Edited("</Document>", AreaFolder(kRoad, "") + "</Document>"),
         "plan.kml\" lacks its Area file."},
        {"two areas", Preview(RequestExtendedData(kGood, "", &kRoad, 5) + AreaFolder(kRoad, "") + AreaFolder(kRoad, "")),
         "plan.kml\" holds more than one folder \"Area\"."},
        {"a negative corridor", Preview(RequestExtendedData(kGood, "", &kRoad, -1) + AreaFolder(kRoad, "")),
         "Corridor holds \"-1\", which is not a plain whole number from 0."},
        {"an area's ring of two corners",
         Preview(RequestExtendedData(kGood, "", &kRoad, 5) + "<Folder><name>Area</name><Polygon><outerBoundaryIs>"
                 "<LinearRing><coordinates>1,1 2,2 1,1</coordinates></LinearRing></outerBoundaryIs></Polygon></Folder>"),
         "plan.kml\" holds a polygon whose ring has fewer than 3 distinct corners."},
        {"a folder", "", " is not a plain file.", Kind::Folder},
        {"a device", "", " is not a plain file.", Kind::Device},
#ifndef _WIN32
        {"a FIFO", "", " is not a plain file.", Kind::Fifo},
#endif
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        std::string path = Path("plan.kml");
        if (row.kind == Kind::File)
            Write("plan.kml", row.text);
        else if (row.kind == Kind::Folder)
            fs::create_directory(path);
        else if (row.kind == Kind::Device)
            path = kDevice;
#ifndef _WIN32
        else
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
#endif
        std::string error;
        std::optional<PlanFile> read;
        WithinDeadline([&] { read = ReadPlanFile(path, error); }, path);
        EXPECT_EQ(read.has_value(), row.error.empty()) << error;
        EXPECT_TRUE(row.error.empty() || error.find(row.error) != std::string::npos) << error;
        fs::remove_all(Path("plan.kml"));
    }
    std::string error;
    EXPECT_FALSE(ReadPlanFile(Path("none.kml"), error));
    EXPECT_NE(error.find("There is no file"), std::string::npos) << error;
    // A capped value is read as the field reads it, and kept as typed, for the plan to say.
    const std::optional<PlanFile> capped =
        ReadPlanText(Edited("<value>10</value>", "<value>99999999999999</value>"), "plan.kml", error);
    ASSERT_TRUE(capped.has_value()) << error;
    EXPECT_EQ(capped->request.milesEast, 2147483647);
    EXPECT_EQ(capped->texts[8], "99999999999999");
}

TEST_F(RequestFileTest, WrittenPointIsReadAsPrinted)
{
    struct Row {
        float latitude, longitude;
        std::int32_t range;
        bool sameFloats; // false: the six decimals print other floats alike
    };
    const Row table[] = {
        {45.5f, -122.666664f, 1000, true},
        {-33.9f, 297024.5f, -5, true},
        {89.999f, -179.99998f, 2147483647, true},
        {-0.0000001f, 1.0000001f, 0, false},
    };
    CLookAtFile file(Path("Vantrell.kml"));
    for (const Row& row : table) {
        file.WritePoint(row.latitude, row.longitude, row.range);
        const std::optional<WrittenPoint> point = ReadWrittenPoint(Path("Vantrell.kml"));
        ASSERT_TRUE(point.has_value()) << row.longitude;
        EXPECT_TRUE(PrintsAs(*point, row.latitude, row.longitude, row.range));
        EXPECT_EQ(point->latitude == row.latitude && point->longitude == row.longitude, row.sameFloats);
        EXPECT_EQ(point->range, row.range);
    }
    const std::optional<WrittenPoint> last = WrittenPointOf(Document(-33.9f, 297024.5f, -5));
    ASSERT_TRUE(last.has_value());
    EXPECT_FALSE(PrintsAs(*last, -33.9f, 297024.53f, -5)); // the next float up
}

TEST_F(RequestFileTest, WrittenPointRefusals)
{
    const std::string good = Document(45.5f, -122.5f, 1000);
    std::string padded = good;
    padded.resize(kMaxWrittenPointBytes + 1, ' ');
    const std::string lastLine = "</kml>" + std::string(kLineEnd);
    const struct {
        const char* what;
        std::string text;
    } table[] = {
        {"larger than 4,096 bytes", padded},
        {"truncated", good.substr(0, good.size() - lastLine.size())},
        {"an extra line", good + lastLine},
        {"a range printed otherwise", Replaced(good, "<range>1000<", "<range>+1000<")},
        {"a coordinate printed otherwise", Replaced(good, "-122.500000", "-122.5000000")},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        EXPECT_FALSE(ReadWrittenPoint(Write("Vantrell.kml", row.text)));
    }
    fs::remove(Path("Vantrell.kml"));
    fs::create_directory(Path("Vantrell.kml"));
    EXPECT_FALSE(ReadWrittenPoint(Path("Vantrell.kml")));
#ifndef _WIN32
    fs::remove(Path("Vantrell.kml"));
    ASSERT_EQ(::mkfifo(Path("Vantrell.kml").c_str(), 0600), 0);
    WithinDeadline([&] { EXPECT_FALSE(ReadWrittenPoint(Path("Vantrell.kml"))); }, Path("Vantrell.kml"));
    fs::remove(Path("Vantrell.kml"));
    Write("real.kml", good);
    fs::create_symlink("real.kml", Path("Vantrell.kml"));
    const std::optional<WrittenPoint> linked = ReadWrittenPoint(Path("Vantrell.kml"));
    ASSERT_TRUE(linked.has_value());
    EXPECT_TRUE(PrintsAs(*linked, 45.5f, -122.5f, 1000));
#endif
}

} // namespace
} // namespace vantrell
