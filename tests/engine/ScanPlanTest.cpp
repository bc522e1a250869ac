#include "Recorder.h"
#include "AreaWalk.h"
#include "Durations.h"
#include "Grouping.h"
#include "Quoting.h"
#include "ScanPlan.h"
#include "ViewFootprint.h"
#include "ViewShare.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>

namespace vantrell {
namespace {

using test::CCounter;
using test::CRecorder;
using test::MakeJob;
using test::Request;

// The count must be the walk's, not a division: float32 steps drift over long rows. Each
// pass has rows of points, each row followed by one point a step south.
TEST(CountPassIsTheWalksCount, ShapesMatchARealPass)
{
    struct Case {
        const char* what;
        Request r;
        std::uint64_t perRow, rowPairs;
    };
    const Case cases[] = {
        {"1 x 1 at 0.25", {}, 4, 2},
        {"1 x 1 at 0.3", {.resolution = 3}, 4, 2},
        {"3 x 3 at 0.1: thirty additions stay below 3", {.east = 3, .south = 3, .resolution = 1}, 31, 16},
        {"1 x 1 at 0.2: south ends past the edge", {.resolution = 2}, 5, 3},
        {"2 x 2 at 0.5", {.east = 2, .south = 2, .resolution = 5}, 4, 2},
        {"2 x 1 at 0.3", {.east = 2, .resolution = 3}, 7, 2},
        {"no miles east: a line south", {.east = 0}, 0, 2},
        {"negative miles east", {.east = -3}, 0, 2},
        {"largest int32 at 10,000-mile steps", {.east = 2'147'483'647, .resolution = 100'000}, 215'050, 1},
        // Long rows at 0.1: the float32 sum runs ahead of exact tenths, by 1% here.
        {"100,000 miles at 0.1", {.east = 100'000, .resolution = 1}, 990'564, 5},
        {"the reach of 0.1, south", {.east = 0, .south = 2'097'152, .resolution = 1}, 0, 9'036'860},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCounter counter;
        CScanJob job = MakeJob(c.r, counter);
        const std::optional<PassShape> shape = CountPass(job);
        ASSERT_TRUE(shape.has_value());
        EXPECT_EQ(shape->pointsPerRow, c.perRow);
        EXPECT_EQ(shape->rowPairs, c.rowPairs);
        EXPECT_EQ(shape->points, shape->rowPairs * 2 * (shape->pointsPerRow + 1));
        ASSERT_TRUE(job.RunPass());
        EXPECT_EQ(shape->points, counter.points);
        // The first row keeps the corner's latitude, then one point straight south.
        CRecorder row;
        row.stopAfterPoints = c.perRow + 1;
        EXPECT_THROW(MakeJob(c.r, row).RunPass(), test::WalkStopped);
        const std::vector<test::Event> points = row.Points();
        for (std::size_t i = 0; i < c.perRow; ++i)
            ASSERT_EQ(points[i].latitude, 45.0f) << "point " << i;
        EXPECT_LT(points[c.perRow].latitude, 45.0f);
        if (c.perRow > 0) {
            EXPECT_EQ(points[c.perRow].longitude, points[c.perRow - 1].longitude);
        }
    }
}

// Each rule the request breaks is named once, and a request that yields points names none.
TEST(BrokenLimitsNameEachRule, OnePhrasePerBrokenLimit)
{
    struct Case {
        const char* what;
        Request r;
        std::vector<std::string> phrases; // in order; empty: the request yields points
    };
    const Case cases[] = {
        {"yields points", {}, {}},
        {"north pole", {.latDeg = 90}, {}},
        {"antimeridian", {.lonDeg = 180, .lonDir = "East"}, {}},
        {"negative miles east", {.east = -7}, {}},
        {"no words", {.latDir = "", .lonDir = ""}, {}},
        {"latitude degrees", {.latDeg = 91}, {"latitude degrees 91 are out of range (0 to 90)"}},
        {"negative degrees", {.lonDeg = -1}, {"longitude degrees -1 are out of range (0 to 180)"}},
        {"latitude minutes", {.latMin = 60}, {"latitude minutes 60 are out of range (0 to 59)"}},
        {"longitude seconds", {.lonSec = 60}, {"longitude seconds 60 are out of range (0 to 59)"}},
        {"past the pole", {.latDeg = 90, .latSec = 1},
         {"latitude 90 degrees 0 minutes 1 seconds lies past 90 degrees"}},
        {"past the antimeridian", {.lonDeg = 180, .lonMin = 1},
         {"longitude 180 degrees 1 minutes 0 seconds lies past 180 degrees"}},
        {"letter case", {.latDir = "north"},
         {"latitude word \"north\" is none of North, South or empty (letter case counts)"}},
        {"longitude word as latitude", {.lonDir = "North"},
         {"longitude word \"North\" is none of East, West or empty (letter case counts)"}},
        {"a word that would break the line", {.lonDir = "W\"e\\st\n"},
         {"longitude word \"W\\\"e\\\\st\\x0a\" is none of East, West or empty (letter case counts)"}},
        // A terminal would break the line, reorder it or show something else than was typed.
        {"separators and direction marks", {.latDir = "N\u2028o\u0085r\u202Et\u2066h\u200F"},
         {"latitude word \"N\\u{2028}o\\u{0085}r\\u{202e}t\\u{2066}h\\u{200f}\" is none of North, South or "
          "empty (letter case counts)"}},
        {"bytes that are no UTF-8", {.latDir = "No\xffrth\xe2\x80"},
         {"latitude word \"No\\xffrth\\xe2\\x80\" is none of North, South or empty (letter case counts)"}},
        {"letters that are shown as typed", {.lonDir = "\u00c9st"},
         {"longitude word \"\u00c9st\" is none of East, West or empty (letter case counts)"}},
        {"negative resolution", {.resolution = -1}, {"resolution -1 is negative: the rows would never end"}},
        {"negative speed factor", {.speed = -4}, {"speed factor -4 is negative: the pause would run for weeks"}},
        {"east beyond reach", {.east = 4'194'305},
         {"miles east 4,194,305 are beyond the 4,194,304 miles that steps of 0.25 miles can reach"}},
        {"south beyond reach at 0.1", {.south = 2'097'153, .resolution = 1},
         {"miles south 2,097,153 are beyond the 2,097,152 miles that steps of 0.1 miles can reach"}},
        {"no miles south", {.south = 0}, {"miles south 0: the area needs at least 1 to have a row"}},
        {"negative miles south", {.south = -2}, {"miles south -2: the area needs at least 1 to have a row"}},
        {"everything at once",
         {.latDeg = 91, .latMin = -1, .latSec = 60, .latDir = "Nord", .lonDeg = 181, .lonMin = 99, .lonSec = -5,
          .lonDir = "Ost", .east = 5, .south = 0, .speed = -1, .resolution = -3},
         {"latitude degrees 91 are out of range (0 to 90)", "latitude minutes -1 are out of range (0 to 59)",
          "latitude seconds 60 are out of range (0 to 59)",
          "latitude word \"Nord\" is none of North, South or empty (letter case counts)",
          "longitude degrees 181 are out of range (0 to 180)", "longitude minutes 99 are out of range (0 to 59)",
          "longitude seconds -5 are out of range (0 to 59)",
          "longitude word \"Ost\" is none of East, West or empty (letter case counts)",
          "resolution -3 is negative: the rows would never end",
          "speed factor -1 is negative: the pause would run for weeks",
          "miles south 0: the area needs at least 1 to have a row"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCounter counter;
        CScanJob job = MakeJob(c.r, counter);
        EXPECT_EQ(BrokenLimits(job), c.phrases);
        // The plan and the walk agree on whether there is anything to walk.
        CCounter walked;
        CScanJob twin = MakeJob(c.r, walked);
        EXPECT_EQ(CountPass(job).has_value(), c.phrases.empty());
        EXPECT_EQ(twin.RunPass(), c.phrases.empty());
    }
}

// Each warning names what the viewer will make of the request and the figure that fixes it.
TEST(PlanWarnsOfWhatTheViewerMisses, OneSentencePerRule)
{
    const std::string pace = "The viewer re-reads the file every 4 s but each point lasts ";
    const std::string fix = " A Speed Factor of at least 20 shows it every point.";
    const std::string cache = "Google Earth keeps at most 2,000 MB on disk: the end of each pass pushes out its "
                              "beginning. A Range of at least ";
    struct Case {
        const char* what;
        Request r;
        int refresh;
        std::vector<std::string> warnings;
        bool follow = false; // "Wait for the viewer" ticked
        int window = kDefaultWindowPixels;
    };
    const Case cases[] = {
        {"slow enough", {.speed = 20, .resolution = 2}, 4, {}},
        {"waiting for the viewer: its pace, no Speed Factor advice", {.speed = 0, .resolution = 2}, 4,
         {"Waiting for the viewer, each point lasts at least its refresh, every 4 s: one pass takes about "
          "2 min 24 s."}, true},
        {"waiting, with a pause longer than the refresh", {.speed = 24, .resolution = 2}, 4,
         {"Waiting for the viewer, each point lasts at least its refresh, every 4 s: one pass takes about "
          "3 min 36 s."}, true},
        {"a Range below the ground", {.speed = 20, .range = -5, .resolution = 2}, 4,
         {"A Range of -5 m puts the viewer below the ground: it would look from nowhere above it, and no view shows "
          "the area. A Range of at least 495 m leaves no gap."}},
        {"a corner on the pole: the rows circle it", {.latDeg = 90, .speed = 20, .resolution = 2}, 4,
         {"At a range of 1,000 m each view shows about 0.72 \u00d7 0.40 miles (60° wide, in a 16:9 window), but the "
          "points are 0.2 miles apart: about 20 % of the area is never in view, and its finest imagery is never "
          "loaded. A Range of at least 5,922 m leaves no gap.",
          "The rows circle the North Pole: the row nearest it goes round it 3,300 times.",
          "The area reaches across the 180° meridian: 12 points lie beyond 180° longitude."}},
        {"README's 10 x 10 at 1 s", {.east = 10, .south = 10, .speed = 4}, 4,
         {pace + "1 s: it will skip about 75 % of the points, flying to about 1 in 4." + fix,
          "At a range of 1,000 m each view shows about 0.72 \u00d7 0.40 miles (60° wide, in a 16:9 window), but the "
          "points are 0.25 miles apart: about 1 % of the area is never in view, and its finest imagery is never "
          "loaded. A Range of at least 1,005 m, a Resolution of at most 2, or 1 mile more south, leaves no gap."}},
        {"shorter than the refresh, if not by half", {.speed = 11, .resolution = 2}, 4,
         {pace + "2.75 s: it will skip about 31 % of the points." + fix}},
        {"nearly slow enough", {.speed = 17, .resolution = 2}, 4,
         {pace + "4.25 s: that leaves it less than a second to fly to each point and load its imagery." + fix}},
        {"a faster viewer", {.speed = 4, .resolution = 2}, 2,
         {"The viewer re-reads the file every 2 s but each point lasts 1 s: it will skip about 50 % of the points, "
          "flying to about 1 in 2. A Speed Factor of at least 12 shows it every point."}},
        {"README's old 1,400 m a mile: rows too far apart", {.east = 25, .south = 25, .speed = 20, .range = 1400,
                                                             .resolution = 10}, 4,
         {"At a range of 1,400 m each view shows about 1.00 \u00d7 0.57 miles (60° wide, in a 16:9 window), but the "
          "points are 1 mile apart: about 44 % of the area is never in view, and its finest imagery is never "
          "loaded. A Range of at least 2,466 m, or a Resolution of at most 4, leaves no gap."}},
        // 136,560 tiles are 2,000.39 MB: the limit is the figure the plan prints.
        {"the cache holds the pass, to the MB", {.latDeg = 48, .latMin = 18, .latSec = 30, .east = 10, .south = 10,
                                                 .speed = 20, .range = 620}, 4,
         {"At a range of 620 m each view shows about 0.44 \u00d7 0.25 miles (60° wide, in a 16:9 window), but the "
          "points are 0.25 miles apart: about 1 % of the area is never in view, and its finest imagery is never "
          "loaded. A Range of at least 1,005 m, a Resolution of at most 2, or 1 mile more south, leaves no gap."}},
        {"one MB more than the cache holds", {.latDeg = 48, .latMin = 18, .latSec = 40, .east = 10, .south = 10,
                                              .speed = 20, .range = 620}, 4,
         {"At a range of 620 m each view shows about 0.44 \u00d7 0.25 miles (60° wide, in a 16:9 window), but the "
          "points are 0.25 miles apart: about 1 % of the area is never in view, and its finest imagery is never "
          "loaded. A Range of at least 1,005 m, a Resolution of at most 2, or 1 mile more south, leaves no gap.",
          cache + "662 m (with a Resolution of at most 2, for no gap) keeps a pass within it, or split the area "
                  "into 2 scans."}},
        // Views a step wide and tall, but the last full row lies a step north of the south edge.
        {"README's first row", {.speed = 20, .range = 620}, 4,
         {"At a range of 620 m each view shows about 0.44 \u00d7 0.25 miles (60° wide, in a 16:9 window), but the "
          "points are 0.25 miles apart: about 10 % of the area is never in view, and its finest imagery is never "
          "loaded. A Range of at least 1,198 m, a Resolution of at most 2, or 1 mile more south, leaves no gap."}},
        // Views as tall as the step, but the only row's point stands 10 miles east of the mile.
        {"a step far longer than the area", {.speed = 20, .range = 620, .resolution = 100}, 4,
         {"At a range of 620 m each view shows about 0.44 \u00d7 0.25 miles (60° wide, in a 16:9 window), but the "
          "points are 10 miles apart: about 100 % of the area is never in view, and its finest imagery is never "
          "loaded. A Range of at least 27,862 m, or a Resolution of at most 2, leaves no gap."}},
        {"the Range once advised for it", {.speed = 20, .range = 24'778, .resolution = 100}, 4,
         {"At a range of 24,778 m each view shows about 17.78 \u00d7 10.00 miles (60° wide, in a 16:9 window), but "
          "the points are 10 miles apart: about 100 % of the area is never in view, and its finest imagery is never "
          "loaded. A Range of at least 27,862 m, or a Resolution of at most 88, leaves no gap."}},
        {"Resolution 403 once advised: 4 points 40 miles off", {.east = 10, .south = 10, .speed = 20,
                                                               .range = 100'000}, 4,
         {"Neighbouring views overlap: a Resolution of 359 covers the area without gaps in 4 points per pass "
          "instead of 1,640."}},
        {"no Resolution is fine enough", {.speed = 20, .range = 100}, 4,
         {"At a range of 100 m each view shows about 0.07 \u00d7 0.04 miles (60° wide, in a 16:9 window), but the "
          "points are 0.25 miles apart: about 96 % of the area is never in view, and its finest imagery is never "
          "loaded. A Range of at least 1,198 m leaves no gap."}},
        // Views that leave gaps load only what they show: a pass's imagery is its views'.
        {"a 200-pixel window: coarser tiles, a far larger area", {.east = 180, .south = 180, .speed = 20,
                                                                  .range = 620}, 4,
         {cache + "1,197 m (with a Resolution of at most 4, for no gap) keeps a pass within it, or split the area "
                  "into 2 scans."}, false, 200},
        {"views overlap eightfold", {.east = 10, .south = 10, .speed = 20, .range = 5000}, 4,
         {"Neighbouring views overlap: a Resolution of 20 covers the area without gaps in 36 points per pass "
          "instead of 1,640."}},
        {"views overlap, but a step twice as long leaves a gap", {.speed = 20, .range = 1200}, 4, {}},
        {"no pause", {.speed = 0, .resolution = 2}, 4,
         {"Speed Factor 0: the viewer, re-reading the file every 4 s, will see almost none "
          "of the points." + fix}},
        {"no latitude word", {.latDir = "", .speed = 20, .resolution = 2}, 4,
         {"No hemisphere is picked for latitude: the corner lies on the equator, whatever degrees were typed."}},
        {"no longitude word, only seconds typed", {.lonDeg = 0, .lonSec = 1, .lonDir = "", .speed = 20, .resolution = 2}, 4,
         {"No hemisphere is picked for longitude: the corner lies on the prime meridian, whatever degrees were "
          "typed."}},
        {"empty words on zeros", {.latDeg = 0, .latDir = "", .lonDeg = 0, .lonDir = "", .speed = 20, .resolution = 2}, 4, {}},
        {"past the South Pole", {.latDeg = 89, .latMin = 50, .latDir = "South", .east = 2, .south = 15,
                                 .speed = 20}, 4,
         {"At a range of 1,000 m each view shows about 0.72 \u00d7 0.40 miles (60° wide, in a 16:9 window), but the "
          "points are 0.25 miles apart: about 23 % of the area is never in view, and its finest imagery is never "
          "loaded. A Range of at least 57,505 m leaves no gap.",
          "The area reaches past the South Pole: 118 points lie beyond \u221290° latitude.",
          "The rows circle the South Pole: the row nearest it goes round it 14 times.",
          "The area reaches across the 180° meridian: 18 points lie beyond 180° longitude and 38 points lie "
          "beyond \u2212180° longitude."}},
        {"across the 180° meridian", {.lonDeg = 179, .lonMin = 59, .lonDir = "East", .east = 2, .speed = 20}, 4,
         {"At a range of 1,000 m each view shows about 0.72 \u00d7 0.40 miles (60° wide, in a 16:9 window), but the "
          "points are 0.25 miles apart: about 4 % of the area is never in view, and its finest imagery is never "
          "loaded. A Range of at least 1,209 m, a Resolution of at most 2, or 1 mile more south, leaves no gap.",
          "The area reaches across the 180° meridian: 20 points lie beyond 180° longitude."}},
        {"broken: no warnings", {.latDir = "", .south = 0, .speed = 0}, 4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCounter walked;
        CScanJob job = MakeJob(c.r, walked);
        EXPECT_EQ(PlanWarnings(job, {.refreshSeconds = c.refresh, .windowPixels = c.window, .follow = c.follow}),
                  c.warnings);
        // Counted with the walk's own arithmetic: the very points a pass writes.
        if (const std::optional<PassShape> shape = CountPass(job)) {
            const OutsideCount counted = CountOutside(job, *shape);
            ASSERT_TRUE(job.RunPass());
            EXPECT_TRUE(counted.longitudesExact);
            EXPECT_EQ(counted.pastSouthPole, walked.outside.pastSouthPole);
            EXPECT_EQ(counted.pastEast, walked.outside.pastEast);
            EXPECT_EQ(counted.pastWest, walked.outside.pastWest);
        }
    }

    // Rows past the stepping budget are estimated, and said to be.
    CCounter counter;
    CScanJob huge = MakeJob({.latDeg = 89, .latDir = "South", .east = 4'000'000, .south = 500, .speed = 20},
                            counter);
    const std::vector<std::string> estimated = PlanWarnings(huge);
    ASSERT_FALSE(estimated.empty());
    EXPECT_EQ(estimated.back().rfind("The area reaches across the 180° meridian: about ", 0), 0u) << estimated.back();
}

// The share in view is what the views of the pass's own points show of the area,
// against an independent count: a 200 x 200 grid of samples over the rectangle asked for
// (which holds an area's shape), each in view where some written point's W x H view holds
// it; inArea says which samples the area holds.
template <class InArea>
double SampledShare(const CScanJob& job, InArea&& inArea)
{
    CRecorder walked;
    CScanJob copy(job.Request(), walked, walked);
    if (job.Kept())
        copy.KeepTo(KeepPoints(copy, job.Kept()->SharedArea(), job.Kept()->CorridorTenths()));
    EXPECT_TRUE(copy.RunPass());
    const ViewSize view = ViewAt(job.m_nRange);
    const double radians = 3.14159265358979323846 / 180.0;
    const double halfHeight = view.height / 2 / kMetresPerMile / 69.172;
    const double halfWidthMiles = view.width / 2 / kMetresPerMile;
    const RequestCheck check = job.Check();
    int seen = 0, held = 0;
    for (int i = 0; i < 200; ++i) {
        const double latitude = check.startLatitude - (i + 0.5) / 200 * job.m_nMilesSouth / 69.172;
        for (int j = 0; j < 200; ++j) {
            const double longitude =
                check.startLongitude + (j + 0.5) / 200 * job.m_nMilesEast / (69.172 * std::cos(latitude * radians));
            if (!inArea(latitude, longitude))
                continue;
            ++held;
            for (const test::Event& p : walked.Points()) {
                if (std::abs(latitude - p.latitude) <= halfHeight &&
                    std::abs(longitude - p.longitude) <= halfWidthMiles / (69.172 * std::cos(p.latitude * radians))) {
                    ++seen;
                    break;
                }
            }
        }
    }
    return held > 0 ? seen / static_cast<double>(held) : 1.0;
}

double SampledShare(const Request& r)
{
    CCounter counter;
    return SampledShare(MakeJob(r, counter), [](double, double) { return true; });
}

TEST(ShareInViewIsMeasuredOnThePass, AgainstIndependentSampling)
{
    struct Case {
        const char* what;
        Request r;
        int perMille; // the measured share, rounded
        bool sample;  // small enough to sample here
    };
    const Case cases[] = {
        {"README: 1 x 1, 1/4 mile, 620 m", {.speed = 20, .range = 620}, 899, true},
        {"README: 5 x 5, 1/4 mile, 620 m", {.east = 5, .south = 5, .speed = 20, .range = 620}, 976, true},
        {"README: 10 x 10, 1/4 mile, 620 m", {.east = 10, .south = 10, .speed = 20, .range = 620}, 987, false},
        {"README: 10 x 10, 1/2 mile, 1,240 m", {.east = 10, .south = 10, .speed = 20, .range = 1240, .resolution = 5},
         976, true},
        {"README: 25 x 25, 1 mile, 2,480 m", {.east = 25, .south = 25, .speed = 20, .range = 2480, .resolution = 10},
         1000, false},
        {"README: 100 x 100, 2 miles, 4,960 m",
         {.east = 100, .south = 100, .speed = 20, .range = 4960, .resolution = 20}, 990, false},
        {"README: 5 x 5, 0.2 mile, 620 m", {.east = 5, .south = 5, .speed = 20, .range = 620, .resolution = 2}, 1000,
         true},
        {"Resolution 403 over 10 x 10", {.east = 10, .south = 10, .speed = 20, .range = 100'000, .resolution = 403},
         557, true},
        {"views narrower than a step", {.speed = 20, .range = 300}, 365, true},
        {"south and east of the equator, rows drifting west",
         {.latDeg = 33, .latDir = "South", .lonDeg = 151, .lonDir = "East", .east = 3, .south = 2, .speed = 20,
          .range = 700, .resolution = 3},
         938, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCounter counter;
        const std::optional<double> share = MeasuredShare(MakeJob(c.r, counter));
        ASSERT_TRUE(share.has_value());
        EXPECT_EQ(std::lround(*share * 1000), c.perMille) << *share;
        // A sample row is half a percent of the area: the grid is that coarse.
        if (c.sample) {
            EXPECT_NEAR(*share, SampledShare(c.r), 0.01);
        }
    }
}

// For a walk kept to an area, the share is of the shape (polygons less holes, paths'
// corridors) and only the kept points' views count.
TEST(ShareInViewIsMeasuredOnThePass, OfTheShapeOverTheKeptPoints)
{
    const double radians = 3.14159265358979323846 / 180.0;
    const auto inRing = [](const GeoRing& ring, double latitude, double longitude) {
        bool inside = false;
        for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
            const GeoPoint& a = ring[i];
            const GeoPoint& b = ring[j];
            if ((a.latitude > latitude) != (b.latitude > latitude) &&
                longitude < a.longitude + (latitude - a.latitude) * (b.longitude - a.longitude) / (b.latitude - a.latitude))
                inside = !inside;
        }
        return inside;
    };
    const auto near = [&](const GeoPath& path, double miles, double latitude, double longitude) {
        const double x = 69.172 * std::cos(latitude * radians);
        for (std::size_t k = 0; k + 1 < path.size(); ++k) {
            const double ax = (path[k].longitude - longitude) * x, ay = (path[k].latitude - latitude) * 69.172;
            const double dx = (path[k + 1].longitude - path[k].longitude) * x;
            const double dy = (path[k + 1].latitude - path[k].latitude) * 69.172;
            const double t = std::clamp(-(ax * dx + ay * dy) / (dx * dx + dy * dy), 0.0, 1.0);
            if (std::hypot(ax + t * dx, ay + t * dy) <= miles)
                return true;
        }
        return false;
    };
    const GeoRing triangle{{45.0, -122.0}, {45.0, -121.98}, {44.99, -121.98}};
    const GeoRing outer{{45.0, -122.0}, {45.0, -121.95}, {44.96, -121.95}, {44.96, -122.0}};
    const GeoRing hole{{44.99, -121.99}, {44.99, -121.96}, {44.97, -121.96}, {44.97, -121.99}};
    const GeoPath road{{45.0, -122.0}, {44.97, -121.94}, {44.95, -121.95}};
    struct Case {
        const char* what;
        Area area;
        std::int32_t range, resolution, corridor;
        int perMille;
        bool sample;
    };
    const Case cases[] = {
        {"a triangle, views wider than a step", {{{triangle, {}}}, {}, "t.kml"}, 1000, 0, 5, 1000, true},
        {"a triangle, views narrower than a step", {{{triangle, {}}}, {}, "t.kml"}, 300, 0, 5, 406, true},
        {"a square less a hole", {{{outer, {hole}}}, {}, "h.kml"}, 620, 0, 5, 999, true},
        {"a road's corridor", {{}, {road}, "r.gpx"}, 620, 0, 5, 1000, true},
        {"a road's corridor, a long step", {{}, {road}, "r.gpx"}, 620, 5, 5, 440, true},
        {"a road with no corridor: its length", {{}, {road}, "r.gpx"}, 300, 0, 0, 394, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCounter counter;
        const std::optional<ScanRequest> r = RequestForArea(c.area, {.speedFactor = 20, .range = c.range, .resolution = c.resolution});
        ASSERT_TRUE(r.has_value());
        CScanJob job(*r, counter, counter);
        job.KeepTo(KeepPoints(job, c.area, c.corridor));
        const std::optional<double> share = MeasuredShare(job);
        ASSERT_TRUE(share.has_value());
        EXPECT_EQ(std::lround(*share * 1000), c.perMille) << *share;
        if (c.sample) {
            const double sampled = SampledShare(job, [&](double latitude, double longitude) {
                for (const AreaPolygon& polygon : c.area.polygons) {
                    bool in = inRing(polygon.outer, latitude, longitude);
                    for (const GeoRing& h : polygon.holes)
                        in = in && !inRing(h, latitude, longitude);
                    if (in)
                        return true;
                }
                for (const GeoPath& path : c.area.paths)
                    if (near(path, c.corridor / 10.0, latitude, longitude))
                        return true;
                return false;
            });
            EXPECT_NEAR(*share, sampled, 0.01);
        }
    }
}

// Each remedy the plan names, followed, leaves at most half a percent of the area out of
// view; a request with more miles south is held against the area first asked for.
TEST(AdviceFollowedLeavesNoGap, MeasuredOnTheFollowedPass)
{
    struct Case {
        const char* what;
        Request asked, followed;
    };
    const Request readme{.speed = 20, .range = 620};
    const Request longStep{.speed = 20, .range = 620, .resolution = 100};
    const Case cases[] = {
        {"README's first row, Range", readme, {.speed = 20, .range = 1198}},
        {"README's first row, Resolution", readme, {.speed = 20, .range = 620, .resolution = 2}},
        {"README's first row, finer still", readme, {.speed = 20, .range = 620, .resolution = 1}},
        {"README's first row, a mile more south", readme, {.south = 2, .speed = 20, .range = 620}},
        {"10-mile steps, Range", longStep, {.speed = 20, .range = 27'862, .resolution = 100}},
        {"10-mile steps, Resolution", longStep, {.speed = 20, .range = 620, .resolution = 2}},
        {"coarser for overlapping views", {.east = 10, .south = 10, .speed = 20, .range = 100'000},
         {.east = 10, .south = 10, .speed = 20, .range = 100'000, .resolution = 359}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CCounter asked, followed;
        const CScanJob job = MakeJob(c.asked, asked);
        const CScanJob remedy = MakeJob(c.followed, followed);
        const std::optional<PassShape> shape = CountPass(remedy);
        ASSERT_TRUE(shape.has_value());
        const CRequestRectangle area(job.Check(), job.m_nMilesEast, job.m_nMilesSouth);
        EXPECT_LE(1.0 - MeasuredShare(remedy.Check(), *shape, remedy.m_nRange, area), kMostUnseen);
        // One step more: the remedy is the least that works.
        Request less = c.followed;
        if (c.followed.range != c.asked.range) {
            less.range -= 1;
            EXPECT_GT(1.0 - *MeasuredShare(MakeJob(less, asked)), kMostUnseen);
        }
        if (c.followed.south == c.asked.south) {
            for (const std::string& warning : PlanWarnings(remedy))
                EXPECT_NE(warning.rfind("At a range of ", 0), 0u) << warning;
        }
    }
}

// A scan that comes back begins its first pass at point k exactly as the pass has it,
// with no write or delay before it, and every later pass at point 1; k is found from the
// point the file holds.
TEST(ResumedWalkIsTheSameWalk, FromPointKThenWholePasses)
{
    const Request r{.latDeg = 89, .latMin = 59, .latDir = "South", .east = 3, .south = 2, .resolution = 3};
    CRecorder once;
    ASSERT_TRUE(MakeJob(r, once).RunPass());
    const std::vector<std::string> pass = once.PrintedPoints();
    const std::vector<test::Event> points = once.Points();
    for (const std::size_t k : {std::size_t{1}, pass.size() / 2, pass.size()}) {
        SCOPED_TRACE(k);
        CRecorder rec;
        rec.stopAfterPoints = pass.size() - k + 1 + pass.size();
        CScanJob job = MakeJob(r, rec, rec, k);
        EXPECT_THROW(job.Run(), test::WalkStopped);
        std::vector<std::string> expected(pass.begin() + static_cast<std::ptrdiff_t>(k - 1), pass.end());
        expected.insert(expected.end(), pass.begin(), pass.end());
        EXPECT_EQ(rec.PrintedPoints(), expected);
        EXPECT_EQ(rec.events.front().kind, test::Event::Point) << "a delay before the first point written";
        EXPECT_EQ(rec.events.size(), 2 * rec.points - 1) << "one delay a point";
        const std::string progress = "Pass 1: point " + Grouped(std::uint64_t{k}) + " of " +
                                     Grouped(std::uint64_t{pass.size()}) + " (";
        EXPECT_EQ(ProgressText(job, 1, false).rfind(progress, 0), 0u) << ProgressText(job, 1, false);
        EXPECT_EQ(FindPoint(job, points[k - 1].latitude, points[k - 1].longitude, r.range), k);
    }
    CRecorder other;
    const CScanJob elsewhere = MakeJob({.east = 3, .south = 2, .resolution = 3}, other);
    EXPECT_EQ(FindPoint(elsewhere, points[1].latitude, points[1].longitude, r.range), std::nullopt);
    Request farther = r;
    farther.range = 1001;
    EXPECT_EQ(FindPoint(MakeJob(farther, other), points[1].latitude, points[1].longitude, r.range), std::nullopt);
}

// Progress, the first point and the found point number the kept points, and the plan
// says how many there are of the rectangle's.
TEST(AreaPlanCountsKeptPoints, ProgressResumeAndPlan)
{
    const auto twoLines = [](CScanJob& job) {
        const std::string text = PlanText(job);
        return text.substr(0, text.find('\n', text.find('\n') + 1) + 1);
    };
    CRecorder rec;
    CScanJob job = MakeJob({.range = 100}, rec, rec, 2);
    job.KeepTo(KeepPoints(job, test::TwoPlaces(), 1));
    EXPECT_EQ(ProgressText(job, 1, false), "Pass 1: point 2 of 2 (100 %), the last of this pass");
    EXPECT_EQ(ProgressText(job, 2, false), "Pass 2: point 1 of 2 (50 %), about 1 s left in this pass");
    EXPECT_EQ(PointInPass(job, 4), 1u);
    EXPECT_EQ(FindPoint(job, 44.992775f, -121.984665f, 100), 2u);
    EXPECT_EQ(FindPoint(job, 45.0f, -121.994888f, 100), std::nullopt) << "a skipped point";
    EXPECT_EQ(twoLines(job), "2 of 20 points per pass lie in the area of \"places.gpx\"; the others "
                                             "are skipped.\nAt 1.00 s per point one pass takes 2 s.\n");
    CScanJob one = MakeJob({.speed = 0, .range = 100}, rec);
    one.KeepTo(KeepPoints(one, {{}, {{{45.0, -121.989777}}}, "a \"b\".gpx"}, 1));
    EXPECT_EQ(twoLines(one), "1 of 20 points per pass lies in the area of \"a \\\"b\\\".gpx\"; the others "
                                             "are skipped.\nSpeed factor 0 pauses after no point, so a pass takes only "
                                             "as long as its file writes.\n");

    // A road of 300 miles south-east from 40° N 100° W, at a quarter mile and 620 m.
    const double south = 212.132 / kMilesPerDegree;
    const double east = south / std::cos((40.0 - south / 2) * 3.14159265358979323846 / 180.0);
    const Area road{{}, {{{40.0, -100.0}, {40.0 - south, -100.0 + east}}}, "road.gpx"};
    const std::optional<ScanRequest> r = RequestForArea(road, {.speedFactor = 20, .range = 620});
    ASSERT_EQ(r, (ScanRequest{40, 0, 27, "North", 100, 0, 34, "West", 218, 214, 20, 620, 0}));
    CScanJob walk(*r, rec, rec);
    walk.KeepTo(KeepPoints(walk, road));
    EXPECT_EQ(twoLines(walk), "7,108 of 747,288 points per pass lie in the area of \"road.gpx\"; the "
                                             "others are skipped.\nAt 5.00 s per point one pass takes 9 h 52 min 20 s.\n");

    // The share is of the shape: a triangle that the views hold whole has no gap, though
    // its rectangle has. Its rectangle is made to hold it: the remedies name no miles more
    // south, and each is measured on the points it would keep.
    const Area triangle{{{{{45.0, -122.0}, {45.0, -121.98}, {44.99, -121.98}}}}, {}, "z.kml"};
    const std::pair<std::int32_t, std::string> ranges[] = {
        {1000, ""},
        {300, "At a range of 300 m each view shows about 0.22 \u00d7 0.12 miles (60° wide, in a 16:9 window), but the "
              "points are 0.25 miles apart: about 59 % of the area is never in view, and its finest imagery is never "
              "loaded. A Range of at least 617 m, or a Resolution of at most 1, leaves no gap."},
        {617, ""}, // the advice followed
        {616, "about 1 %"},
    };
    for (const auto& [range, says] : ranges) {
        CScanJob kept({45, 0, 0, "North", 122, 0, 0, "West", 1, 1, 20, range, 0}, rec, rec);
        kept.KeepTo(KeepPoints(kept, triangle));
        std::string views;
        for (const std::string& warning : PlanWarnings(kept))
            views += warning.rfind("At a range of ", 0) == 0 ? warning : "";
        EXPECT_TRUE(says.empty() ? views.empty() : views.find(says) != std::string::npos) << range << ": " << views;
    }

    // Only written points lie anywhere: a rectangle that reaches past 180° to hold a zone
    // beside it writes none of its points there.
    const Area beside{{{{{0.0, 179.98}, {0.0, 179.995}, {-0.01, 179.995}, {-0.01, 179.98}}}}, {}, "edge.kml"};
    CScanJob edge(*RequestForArea(beside, {.speedFactor = 20, .range = 1000}), rec, rec);
    const std::vector<std::string> rectangle = PlanWarnings(edge);
    EXPECT_NE(rectangle.back().find("180° meridian"), std::string::npos) << rectangle.back();
    edge.KeepTo(KeepPoints(edge, beside));
    for (const std::string& warning : PlanWarnings(edge))
        EXPECT_EQ(warning.find("180° meridian"), std::string::npos) << warning;
}

// A path cut short still comes with the whole area: its outline reaches the walk's last
// latitude, and the description says how much the path shows.
TEST(PreviewCoversTheWholeArea, WhenThePathIsCutShort)
{
    CRecorder walked;
    CScanJob job = MakeJob({.latDeg = 47, .latMin = 36, .lonDeg = 122, .lonMin = 20, .east = 2, .south = 1100,
                            .speed = 20, .range = 1400, .resolution = 5},
                           walked);
    PreviewSummary summary;
    const std::string preview = PreviewDocument(job, &summary);
    EXPECT_EQ(PreviewShows(summary), "the first 2,000 of 2,200 rows");
    ASSERT_TRUE(job.RunPass());
    const std::string last = walked.PrintedPoints().back();
    const std::string south = last.substr(0, last.find(' ')); // the latitude, as printed
    const std::size_t area = preview.find("<name>Area</name>");
    const std::size_t path = preview.find("<name>Path</name>");
    EXPECT_NE(preview.substr(area, path - area).find("," + south + " "), std::string::npos) << south;
}

// A running scan in words: the last point emitted and the pauses still to come in its pass.
TEST(ProgressReadsAsPassAndPoint, FromTheEmittedCount)
{
    struct Case {
        Request r;
        std::uint64_t emitted;
        bool paused;
        const char* text;
    };
    const Request tenByTen{.east = 10, .south = 10, .speed = 4};
    const Case cases[] = {
        {tenByTen, 0, false, "Pass 1: starting"},
        {tenByTen, 0, true, "Pass 1: starting\nPaused"},
        {tenByTen, 412, false, "Pass 1: point 412 of 1,640 (25 %), about 20 min 28 s left in this pass"},
        {tenByTen, 412, true, "Pass 1: point 412 of 1,640 (25 %), about 20 min 28 s left in this pass\nPaused"},
        {tenByTen, 1640, false, "Pass 1: point 1,640 of 1,640 (100 %), the last of this pass"},
        {tenByTen, 1641, false, "Pass 2: point 1 of 1,640 (0 %), about 27 min 19 s left in this pass"},
        {{.speed = 0}, 25, false, "Pass 2: point 5 of 20 (25 %)"},
        {{.south = 0}, 0, false, "No points: a scan of this request writes nothing"},
    };
    for (const Case& c : cases) {
        CCounter counter;
        CScanJob job = MakeJob(c.r, counter);
        EXPECT_EQ(ProgressText(job, c.emitted, c.paused), c.text);
    }
}

TEST(DurationsReadAsTime, QuarterSecondsToDaysHoursMinutesSeconds)
{
    struct Case {
        std::uint64_t count, factor;
        const char* text;
    };
    const Case cases[] = {
        {0, 5, "0 s"},
        {2112, 4, "35 min 12 s"},
        {1, 1, "0.25 s"},
        {3, 2, "1.5 s"},
        {7, 1, "1.75 s"},
        {14'400, 1, "1 h"},
        {345'600, 1, "1 d"},
        {345'601, 4, "4 d 1 s"},
        {40, 6 * 3600 + 1, "2 d 12 h 10 s"},
        {366, 345'600, "366 d (about 1 year)"},
        {578, 345'600, "578 d (about 1.6 years)"},
        // A pass at the reach with the slowest pacing: the product passes 2^64.
        {std::uint64_t{1} << 50, 2'147'483'647,
         "6,996,098,489,882,402,900 d 22 h 53 min 52 s (about 19,154,667,077,030,747 years)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QuarterSecondsText(c.count, c.factor), c.text) << c.count << " x " << c.factor;

    EXPECT_EQ(Grouped(std::uint64_t{0}), "0");
    EXPECT_EQ(Grouped(std::uint64_t{999}), "999");
    EXPECT_EQ(Grouped(std::uint64_t{1000}), "1,000");
    EXPECT_EQ(Grouped(std::int64_t{-1'234'567}), "-1,234,567");
    EXPECT_EQ(Grouped(std::numeric_limits<std::int64_t>::min()), "-9,223,372,036,854,775,808");
    EXPECT_EQ(GroupedWhole(1e21), "1,000,000,000,000,000,000,000") << "past any integer type";
}

std::optional<PlanOutput> Plan(std::vector<std::string> args)
{
    return RunPlanCommand("vantrell", args);
}

TEST(PlanCommandLine, ThirteenValuesInTheFormsOrder)
{
    EXPECT_FALSE(Plan({}).has_value());
    EXPECT_FALSE(Plan({"-platform", "offscreen"}).has_value()) << "other arguments are not the plan's";
    EXPECT_FALSE(Plan({"--planet"}).has_value());

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--plan"}, std::vector<std::string>(13, "1"), std::vector<std::string>(15, "1")}) {
        std::vector<std::string> line = args;
        line[0] = "--plan";
        const std::optional<PlanOutput> out = Plan(line);
        ASSERT_TRUE(out.has_value());
        EXPECT_EQ(out->status, 2) << line.size() - 1 << " values";
        EXPECT_EQ(out->out, "");
        EXPECT_EQ(out->err, "usage: vantrell --plan [--refresh SECONDS] [--window PIXELS] [--preview FILE] [--area "
                            "FILE [--corridor TENTHS]] [LATDEG LATMIN LATSEC LATWORD LONDEG LONMIN LONSEC LONWORD EAST "
                            "SOUTH] SPEED RANGE RESOLUTION\n");
    }

    // Numbers as the form reads them (" 45x" is 45); speed 4 before range 1000.
    const std::optional<PlanOutput> worked =
        Plan({"--plan", " 45x", "0", "", "North", "122", "", "0", "West", "1", "1", "4", "1000", "0"});
    ASSERT_TRUE(worked.has_value());
    EXPECT_EQ(worked->status, 0);
    EXPECT_EQ(worked->err, "");
    EXPECT_EQ(worked->out, "20 points per pass; at 1.00 s per point one pass takes 20 s.\n"
                           "4 rows of 4 points, each followed by one point a step south; a step is 0.25 miles.\n"
                           "The time counts the pauses between points only, not the time the file writes take.\n"
                           "One pass loads about 5 MB of imagery (369 tiles; the finest, level 18, are 108 m wide "
                           "in a 1,920-pixel window, at about 15 KB a tile).\n"
                           "The viewer re-reads the file every 4 s but each point lasts 1 s: it will skip about 75 % "
                           "of the points, flying to about 1 in 4. A Speed Factor of at least 20 shows it every "
                           "point.\n"
                           "At a range of 1,000 m each view shows about 0.72 \u00d7 0.40 miles (60° wide, in a 16:9 "
                           "window), but the points are 0.25 miles apart: about 3 % of the area is never in view, and "
                           "its finest imagery is never loaded. A Range of at least 1,198 m, a Resolution of at most "
                           "2, or 1 mile more south, leaves no gap.\n");

    // Options before the values: another refresh, and bad ones refused as usage.
    const std::vector<std::string> tenByTen = {"45", "0", "0", "North", "122", "0", "0", "West", "10", "10", "4",
                                               "1000", "0"};
    const auto withOptions = [&](std::vector<std::string> options) {
        options.insert(options.begin(), "--plan");
        options.insert(options.end(), tenByTen.begin(), tenByTen.end());
        return Plan(options);
    };
    const std::optional<PlanOutput> refresh = withOptions({"--refresh", "2"});
    ASSERT_TRUE(refresh.has_value());
    EXPECT_EQ(refresh->status, 0);
    EXPECT_NE(refresh->out.find("every 2 s but each point lasts 1 s: it will skip about 50 % of the points, flying "
                                "to about 1 in 2. A Speed Factor of at least 12"),
              std::string::npos)
        << refresh->out;
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--refresh", "0"}, {"--refresh", "3601"},
                                                {"--refresh", "4s"}, {"--refresh", "+4"}, {"--refresh"},
                                                {"--refresh", "4", "--refresh", "4"}, {"--preview"},
                                                {"--window", "0"}, {"--window", "32769"},
                                                {"--corridor", "5"}, {"--area", "x.kml"}}) {
        const std::optional<PlanOutput> out = withOptions(bad);
        ASSERT_TRUE(out.has_value());
        EXPECT_EQ(out->status, 2) << bad.back();
        EXPECT_EQ(out->out, "");
    }

    // The imagery at the edges of its model (range 0, no view, is the line above: the finest
    // level): past a pole (tiles end at about 85°), other windows, a pass no Range fits.
    const struct {
        std::vector<std::string> line;
        const char* says;
    } edges[] = {
        {{"90", "", "", "South", "122", "", "", "West", "1", "1", "20", "620", ""},
         "\nOne pass loads about 23 MB of imagery (1,552 tiles; the finest, level 16, are 53 m wide"},
        {{"--window", "1280", "45", "", "", "North", "122", "", "", "West", "10", "10", "20", "620", ""},
         "\nOne pass loads about 443 MB of imagery (30,216 tiles; the finest, level 18, are 108 m wide in a "
         "1,280-pixel window"},
        {{"--window", "32768", "45", "", "", "North", "122", "", "", "West", "10", "10", "20", "2147483647", ""},
         "(1 tile; the finest, level 1,"},
        {{"45", "", "", "North", "122", "", "", "West", "10", "10", "20", "2147483647", "2147483647"},
         " pushes out its beginning. To keep a pass within it, split the area into 12 scans.\n"},
    };
    for (const auto& edge : edges) {
        std::vector<std::string> line = edge.line;
        line.insert(line.begin(), "--plan");
        const std::optional<PlanOutput> out = Plan(line);
        ASSERT_TRUE(out.has_value());
        EXPECT_NE(out->out.find(edge.says), std::string::npos) << out->out;
    }

    // An area gives the corner and the miles, said first; the plan is of its kept points.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vantrell-plan-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directory(dir);
    const auto file = [&](const char* name, const char* text) {
        std::ofstream((dir / name).string(), std::ios::binary) << text;
        return (dir / name).string();
    };
    const std::string square = file("square.kml", "<kml><Placemark><Polygon><outerBoundaryIs><LinearRing><coordinates>"
                                                  "-122,45 -121.99,45 -121.99,44.99 -122,44.99</coordinates>"
                                                  "</LinearRing></outerBoundaryIs></Polygon></Placemark></kml>");
    const std::string track = file("track.gpx", "<gpx><trk><trkseg><trkpt lat=\"45\" lon=\"-122\"/>"
                                                "<trkpt lat=\"44.98\" lon=\"-121.97\"/></trkseg></trk></gpx>");
    const std::string trackLine = "Area: track.gpx: 1 shape; corner 45 0 27 North 122 0 37 West, 3 miles east, 3 "
                                  "miles south.\n";
    const struct {
        std::vector<std::string> line;
        int status;
        std::string out; // its first two lines
    } areas[] = {
        {{"--area", square, "4", "1000", "0"}, 0,
         "Area: square.kml: 1 shape; corner 45 0 0 North 122 0 0 West, 1 mile east, 1 mile south.\n15 of 20 points "
         "per pass lie in the area of \"square.kml\"; the others are skipped.\n"},
        {{"--area", track, "4", "1000", "0"}, 0,
         trackLine + "90 of 156 points per pass lie in the area of \"track.gpx\"; the others are skipped.\n"},
        {{"--area", track, "4", "1000", "0", "--corridor", "0", "--refresh", "2"}, 0,
         "Area: track.gpx: 1 shape; corner 45 0 0 North 122 0 0 West, 2 miles east, 2 miles south.\n28 of 72 points per pass lie in the area of \"track.gpx\"; the others are skipped.\n"},
        {{"--area", file("empty.kml", "<kml/>"), "4", "1000", "0"}, 1, ""},
        {{"--area", square, "--area", square, "4", "1000", "0"}, 2, ""},
        {{"--area", square, "--corridor", "1001", "4", "1000", "0"}, 2, ""},
        {{"--area", square, "45", "0", "0", "North", "122", "0", "0", "West", "1", "1", "4", "1000", "0"}, 2, ""},
    };
    for (const auto& row : areas) {
        std::vector<std::string> line = row.line;
        line.insert(line.begin(), "--plan");
        const std::optional<PlanOutput> out = Plan(line);
        ASSERT_TRUE(out.has_value());
        EXPECT_EQ(out->status, row.status) << line.back();
        EXPECT_EQ(out->out.substr(0, out->out.find('\n', out->out.find('\n') + 1) + 1), row.out);
        if (row.status == 1) {
            EXPECT_EQ(out->err, Quoted((dir / "empty.kml").string()) + " holds no polygon, path or track.\n");
        }
    }
    std::filesystem::remove_all(dir);

    const std::optional<PlanOutput> refused = withOptions({"--preview", "../x/VANTRELL.KML"});
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->status, 1);
    EXPECT_EQ(refused->err, "The preview may not be written to \"../x/VANTRELL.KML\": that is Vantrell.kml, the "
                            "file the scan keeps rewriting, or one of its temporary files. Choose another name.\n");
    EXPECT_FALSE(PreviewRefusal("Vantrell.kml.77-0123456789abcdef.tmp").empty());
    EXPECT_EQ(PreviewRefusal("Vantrell preview.kml"), "");

    const std::optional<PlanOutput> line =
        Plan({"--plan", "", "", "", "", "", "", "", "", "0", "3", "0", "", "5"});
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->out, "6 points per pass; speed factor 0 pauses after no point, so a pass takes only as "
                         "long as its file writes.\n"
                         "Miles east 0: no rows, only points due south of the corner, a step of 0.5 miles "
                         "apart.\n"
                         "Speed Factor 0: the viewer, re-reading the file every 4 s, will see "
                         "almost none of the points. A Speed Factor of at least 20 shows it every point.\n"
                         "A Range of 0 m puts the viewer on the ground: it would look from nowhere above it, and no "
                         "view shows the area. A Range of at least 2,404 m leaves no gap.\n");

    // The form's empty form: no miles south. A request with nothing to walk is still a plan.
    const std::optional<PlanOutput> empty = Plan({"--plan", "", "", "", "", "", "", "", "", "", "", "", "", ""});
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->status, 0);
    EXPECT_EQ(empty->out, "No points: a scan of this request writes nothing. It breaks one limit:\n"
                          "  miles south 0: the area needs at least 1 to have a row\n");

    // A value the field cannot hold is read at the limit, and said to be; a step of 1 mile.
    const std::optional<PlanOutput> capped =
        Plan({"--plan", "45", "", "", "North", "", "", "", "", "1", "99999999999999", "20", "2500", "10"});
    ASSERT_TRUE(capped.has_value());
    EXPECT_EQ(capped->out.substr(0, capped->out.find('\n', capped->out.find('\n') + 1) + 1),
              "Miles South holds \"99999999999999\", more than the field can hold: it is read as 2,147,483,647.\n"
              "No points: a scan of this request writes nothing. It breaks one limit:\n");
    EXPECT_NE(Plan({"--plan", "45", "", "", "North", "", "", "", "", "1", "1", "20", "2500", "10"})->out.find(
                  "; a step is 1 mile.\n"),
              std::string::npos);

    const std::optional<PlanOutput> two = Plan({"--plan", "91", "", "", "", "", "", "", "", "", "1", "1", "", "-1"});
    ASSERT_TRUE(two.has_value());
    EXPECT_EQ(two->out, "No points: a scan of this request writes nothing. It breaks 2 limits:\n"
                        "  latitude degrees 91 are out of range (0 to 90)\n"
                        "  resolution -1 is negative: the rows would never end\n");
}

} // namespace
} // namespace vantrell
