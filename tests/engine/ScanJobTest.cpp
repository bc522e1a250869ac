#include "AreaWalk.h"
#include "Recorder.h"
#include "ScanJob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

namespace vantrell {
namespace {

using test::CRecorder;
using test::Event;
using test::MakeJob;
using test::Request;
using test::WalkStopped;

// Runs whole passes until `points` points were written.
CRecorder Walk(const Request& r, std::size_t points)
{
    CRecorder rec;
    rec.stopAfterPoints = points;
    CScanJob job = MakeJob(r, rec);
    EXPECT_THROW(job.Run(), WalkStopped);
    return rec;
}

// Points of exactly one pass.
CRecorder OnePass(const Request& r)
{
    CRecorder rec;
    CScanJob job = MakeJob(r, rec);
    EXPECT_TRUE(job.RunPass());
    return rec;
}

TEST(ConversionKeepsFloat32Rounding, CornersConvertBitForBit)
{
    struct Case {
        std::int32_t deg, min, sec;
        const char* latWord;
        std::uint32_t bits;
    };
    // Latitude words; the sixtieth is float32, so these are not the exact decimal values.
    const Case cases[] = {
        {37, 25, 30, "North", 0x4215B333u}, // prints 37.424999
        {33, 51, 0, "South", 0xC2076666u},  // prints -33.849998
        {45, 0, 0, "North", std::bit_cast<std::uint32_t>(45.0f)},
        {45, 0, 0, "", 0u},                 // no word: the equator, whatever was typed
    };
    for (const Case& c : cases) {
        CRecorder rec;
        CScanJob job({c.deg, c.min, c.sec, c.latWord, 0, 0, 0, "", 1, 1, 0, 0, 0}, rec, rec);
        float lat = 99, lon = 99;
        ASSERT_TRUE(job.ValidateAndConvert(lat, lon)) << c.deg << " " << c.latWord;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(lat), c.bits) << c.deg << " " << c.latWord;
    }
    struct LonCase {
        std::int32_t deg, min;
        const char* word;
        std::uint32_t bits;
    };
    const LonCase lonCases[] = {
        {151, 12, "East", 0x43173333u}, // prints 151.199997
        {122, 0, "West", std::bit_cast<std::uint32_t>(-122.0f)},
        {122, 0, "", 0u},
    };
    for (const LonCase& c : lonCases) {
        CRecorder rec;
        CScanJob job({0, 0, 0, "", c.deg, c.min, 0, c.word, 1, 1, 0, 0, 0}, rec, rec);
        float lat = 99, lon = 99;
        ASSERT_TRUE(job.ValidateAndConvert(lat, lon));
        EXPECT_EQ(std::bit_cast<std::uint32_t>(lon), c.bits) << c.deg << " " << c.word;
    }
}

TEST(ValidationBoundsCorner, RangesWordsAndRejectedRequests)
{
    struct Case {
        const char* what;
        Request r;
        bool valid;
    };
    const Case cases[] = {
        {"north pole", {.latDeg = 90, .latDir = "North"}, true},
        {"past the pole by a second", {.latDeg = 90, .latSec = 1, .latDir = "North"}, false},
        {"past the pole by a minute", {.latDeg = 90, .latMin = 1, .latDir = "North"}, false},
        {"91 degrees", {.latDeg = 91}, false},
        {"antimeridian", {.lonDeg = 180, .lonDir = "East"}, true},
        {"antimeridian plus a minute", {.lonDeg = 180, .lonMin = 1}, false},
        {"181 degrees", {.lonDeg = 181, .lonDir = "West"}, false},
        {"59 minutes and seconds", {.latMin = 59, .latSec = 59, .lonMin = 59, .lonSec = 59}, true},
        {"60 latitude minutes", {.latMin = 60}, false},
        {"60 latitude seconds", {.latSec = 60}, false},
        {"60 longitude minutes", {.lonMin = 60}, false},
        {"60 longitude seconds", {.lonSec = 60}, false},
        {"negative degrees", {.latDeg = -1}, false},
        {"negative longitude seconds", {.lonSec = -1}, false},
        {"lower-case north", {.latDir = "north"}, false},
        {"upper-case EAST", {.lonDir = "EAST"}, false},
        {"longitude word as latitude", {.latDir = "East"}, false},
        {"trailing space", {.lonDir = "West "}, false},
        {"all empty", {.latDeg = 0, .latDir = "", .lonDeg = 0, .lonDir = "", .east = 0, .south = 0}, true},
        // Requests that could never finish, or would wait for weeks.
        {"negative resolution", {.resolution = -1}, false},
        {"negative speed factor", {.speed = -1}, false},
        {"east at the reach of step 0.25", {.east = 4'194'304}, true},
        {"east beyond the reach of step 0.25", {.east = 4'194'305}, false},
        {"south beyond the reach of step 0.25", {.south = 4'194'305}, false},
        {"south beyond the reach of step 0.1", {.south = 2'097'153, .resolution = 1}, false},
        {"largest miles at a long step", {.east = 2'147'483'647, .south = 2'147'483'647, .resolution = 100'000}, true},
        {"negative miles", {.east = -5, .south = -5}, true},
    };
    for (const Case& c : cases) {
        CRecorder rec;
        CScanJob job = MakeJob(c.r, rec);
        float lat = 0, lon = 0;
        EXPECT_EQ(job.ValidateAndConvert(lat, lon), c.valid) << c.what;
    }
}

TEST(StepFollowsResolution, TenthsRoundedToFloat32EvenWhenInvalid)
{
    struct Case {
        std::int32_t resolution;
        const char* latDir;
        double step;
    };
    const Case cases[] = {
        {0, "", 0.25}, {5, "", 0.5}, {3, "", 0.30000001192092896},
        {1, "", 0.10000000149011612}, {3, "Nord", 0.30000001192092896},
    };
    for (const Case& c : cases) {
        CRecorder rec;
        CScanJob job({0, 0, 0, c.latDir, 0, 0, 0, "", 1, 1, 0, 0, c.resolution}, rec, rec);
        EXPECT_EQ(job.m_fStep, 0.25f);
        float lat = 0, lon = 0;
        job.ValidateAndConvert(lat, lon);
        EXPECT_EQ(static_cast<double>(job.m_fStep), c.step) << c.resolution;
    }
}

TEST(WalkFollowsSerpentine, FirstWorkedExamplePointByPoint)
{
    const CRecorder rec = Walk({}, 21); // the README's request
    const std::vector<std::string> expected = {
        "45.000000 -121.994888", "45.000000 -121.989777", "45.000000 -121.984665",
        "45.000000 -121.979553", "44.996387 -121.979553", "44.996387 -121.984665",
        "44.996387 -121.989777", "44.996387 -121.994888", "44.996387 -122.000000",
        "44.992775 -122.000000", "44.992775 -121.994888", "44.992775 -121.989777",
        "44.992775 -121.984665", "44.992775 -121.979553", "44.989162 -121.979553",
        "44.989162 -121.984665", "44.989162 -121.989777", "44.989162 -121.994888",
        "44.989162 -122.000000", "44.985550 -122.000000",
        "45.000000 -121.994888", // the next pass starts over
    };
    EXPECT_EQ(rec.PrintedPoints(), expected);
    // Every point is followed by its delay, range unchanged, and no pause poll.
    ASSERT_EQ(rec.events.size(), 2 * 21 - 1);
    for (std::size_t i = 0; i < rec.events.size(); ++i) {
        const Event& e = rec.events[i];
        if (i % 2 == 0) {
            EXPECT_EQ(e.kind, Event::Point);
            EXPECT_EQ(e.range, 1000);
        } else {
            EXPECT_EQ(e.kind, Event::Sleep);
            EXPECT_EQ(e.ms, 1000u);
        }
    }
}

TEST(WalkFollowsSerpentine, SecondWorkedExampleStartsLikeThis)
{
    const Request r{.latDeg = 33, .latMin = 51, .latDir = "South", .lonDeg = 151, .lonMin = 12,
                    .lonDir = "East", .east = 1, .south = 1, .speed = 1, .range = 1500, .resolution = 3};
    const CRecorder rec = Walk(r, 10);
    const std::vector<std::string> expected = {
        "-33.849998 151.205215", "-33.849998 151.210434", "-33.849998 151.215652",
        "-33.849998 151.220871", "-33.854336 151.220871", "-33.854336 151.215652",
        "-33.854336 151.210434", "-33.854336 151.205215", "-33.854336 151.199997",
        "-33.858673 151.199997",
    };
    EXPECT_EQ(rec.PrintedPoints(), expected);
    EXPECT_EQ(rec.events[1].ms, 250u);
    EXPECT_EQ(rec.events[0].range, 1500);
}

TEST(WalkFollowsSerpentine, EdgesOfTheWorldAreWrittenAsComputed)
{
    // No miles east: a line due south at the corner's longitude, two points a row pair.
    const CRecorder south = OnePass({.east = 0});
    const std::vector<std::string> line = {"44.996387 -122.000000", "44.992775 -122.000000",
                                           "44.989162 -122.000000", "44.985550 -122.000000"};
    EXPECT_EQ(south.PrintedPoints(), line);

    // No latitude word: the walk starts on the equator.
    const CRecorder equator = Walk({.latDeg = 0, .latDir = "", .lonDeg = 0, .lonDir = "East"}, 5);
    EXPECT_EQ(equator.PrintedPoints().front(), "0.000000 0.003614");
    EXPECT_EQ(equator.PrintedPoints().back(), "-0.003614 0.014457");

    // On the pole the row factor is nearly zero and longitudes run far.
    const CRecorder pole = Walk({.latDeg = 90, .lonDeg = 0, .lonDir = ""}, 1);
    EXPECT_NEAR(pole.events[0].longitude, 297024.0f, 1.0f);
    EXPECT_EQ(pole.events[0].latitude, 90.0f);

    // Nothing wraps at the antimeridian.
    const CRecorder antimeridian =
        Walk({.latDeg = 0, .latDir = "", .lonDeg = 179, .lonMin = 59, .lonSec = 59, .lonDir = "East"}, 2);
    EXPECT_EQ(antimeridian.PrintedPoints(), (std::vector<std::string>{"0.000000 180.003342", "0.000000 180.006958"}));
}

// Skipped points are stepped but neither written nor waited for; the first point counts
// kept points only, and a later pass begins at the first kept one.
TEST(AreaWalkKeepsItsPoints, SkippedPointsGetNoWriteAndNoDelay)
{
    const std::string second = "45.000000 -121.989777", thirteenth = "44.992775 -121.984665";
    struct Case {
        std::uint64_t firstPoint;
        std::vector<std::string> points;
    };
    const Case cases[] = {
        {1, {second, thirteenth, second}},
        {2, {thirteenth, second, thirteenth}},
        {3, {second, thirteenth, second}}, // beyond the kept points: from the first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.firstPoint);
        CRecorder rec;
        rec.stopAfterPoints = 3;
        CScanJob job = MakeJob({.range = 100}, rec, rec, c.firstPoint);
        job.KeepTo(KeepPoints(job, test::TwoPlaces(), 1));
        EXPECT_THROW(job.Run(), WalkStopped);
        EXPECT_EQ(rec.PrintedPoints(), c.points);
        EXPECT_EQ(rec.events.size(), 5u) << "one delay a written point";
    }
}

TEST(NoPointsMeansNoWork, RunReturnsWithoutWritingOrWaiting)
{
    const Request cases[] = {
        {.south = 0},
        {.south = -1},
        {.latDeg = 91, .south = 5},
        {.lonDir = "Ost"},
        {.resolution = -2},
        {.speed = -1},
        {.east = 2'000'000'000},
    };
    for (const Request& r : cases) {
        CRecorder rec;
        CScanJob job = MakeJob(r, rec);
        job.Run(); // must return at once
        EXPECT_TRUE(rec.events.empty());
    }
    // An area the rectangle misses, or a set made for another pass, would spin unpaced.
    CRecorder rec;
    CScanJob job = MakeJob({}, rec);
    job.KeepTo(KeepPoints(job, {{}, {{{10.0, 10.0}}}, "far.gpx"}));
    job.Run();
    CScanJob other = MakeJob({.east = 2}, rec);
    other.KeepTo(KeepPoints(MakeJob({.range = 100}, rec), test::TwoPlaces(), 1));
    other.Run();
    EXPECT_TRUE(rec.events.empty());
}

TEST(EveryAcceptedRequestEnds, PassesAtTheFloat32ReachFinish)
{
    // The reach is exactly where accumulation stalls: one more mile would never be reached.
    for (const float step : {0.1f, 0.25f, 0.30000001192092896f, 0.5f, 2.0f, 1000.0f}) {
        const double reach = ReachableMiles(step);
        float sum = 0.0f;
        while (sum < reach) {
            const float next = static_cast<float>(static_cast<double>(sum) + step);
            ASSERT_GT(next, sum) << "stalled below the reach at step " << step;
            sum = next;
        }
        float stalled = static_cast<float>(reach * 2.0);
        EXPECT_EQ(static_cast<float>(static_cast<double>(stalled) + step), stalled) << step;
    }

    // Whole passes at the largest accepted size, counted rather than recorded.
    struct Case {
        std::int32_t east, south, resolution;
        std::uint64_t points;
    };
    const Case cases[] = {
        {8'388'608, 1, 5, 2 * (16'777'216 + 1)},       // one row pair at step 0.5
        {0, 8'388'608, 5, 16'777'216},                  // a line due south
        // The largest int32 at 10,000-mile steps: rounding makes the float32 steps short.
        {2'147'483'647, 1, 100'000, 2 * (215'050 + 1)},
    };
    for (const Case& c : cases) {
        test::CCounter counter;
        CScanJob job({0, 0, 0, "", 0, 0, 0, "", c.east, c.south, 0, 0, c.resolution}, counter, counter);
        ASSERT_TRUE(job.RunPass());
        EXPECT_EQ(counter.points, c.points) << c.east << "x" << c.south;
    }
}

TEST(PacingNeverWraps, DelayIsFactorTimesQuarterSecond)
{
    for (const std::int32_t factor : {0, 1, 4, 17'179'870, 2'147'483'647}) {
        CRecorder rec2;
        rec2.stopAfterPoints = 2;
        CScanJob job = MakeJob({.speed = factor}, rec2);
        EXPECT_THROW(job.Run(), WalkStopped);
        ASSERT_EQ(rec2.events.size(), 3u);
        EXPECT_EQ(rec2.events[1].ms, static_cast<std::uint64_t>(factor) * 250u) << factor;
    }
}

TEST(PauseGateHoldsNextPoint, PollsAfterTheDelayUntilCleared)
{
    CRecorder rec;
    rec.stopAfterPoints = 4;
    CScanJob job = MakeJob({.speed = 2}, rec);
    std::size_t polls = 0;
    rec.onPoint = [&](std::size_t n) {
        if (n == 2)
            job.m_bPaused.store(true, std::memory_order_relaxed);
    };
    std::vector<std::uint64_t> emitted; // at each point's writer call and at each wait
    rec.onPoint = [&, pause = rec.onPoint](std::size_t n) {
        emitted.push_back(job.Emitted());
        pause(n);
    };
    rec.onSleep = [&](std::uint64_t ms) {
        emitted.push_back(job.Emitted());
        if (ms == kPausePollMs && ++polls == 3)
            job.m_bPaused.store(false, std::memory_order_relaxed);
    };
    EXPECT_THROW(job.Run(), WalkStopped);
    std::vector<std::string> kinds;
    for (const Event& e : rec.events)
        kinds.push_back(e.kind == Event::Point ? "point" : std::to_string(e.ms));
    const std::vector<std::string> expected = {"point", "500", "point", "500", "1000", "1000", "1000",
                                               "point", "500", "point"};
    EXPECT_EQ(kinds, expected);
    // A point counts once written, before its delay, and the count holds still while paused.
    EXPECT_EQ(emitted, (std::vector<std::uint64_t>{0, 1, 1, 2, 2, 2, 2, 2, 3, 3}));
}

// Ticked, the walk waits after each point's delay, in polls, until the viewer has read
// the point, or the watch cannot tell, then goes to the pause gate; unticked or
// unwatchable, it is the walk of old. A pause while it waits goes to the gate at once,
// with the watch told, and the wait goes on after it.
TEST(WaitForTheViewer, AfterTheDelayUntilReadThenThePauseGate)
{
    struct Case {
        const char* what;
        bool follow, watchable;
        std::size_t readAfter;    // polls before the viewer reads each point
        std::size_t pauseAt;      // poll of the first point at which Pause is pressed (0: never)
        std::size_t untickAt;     // poll at which the box is unticked (0: never)
        std::vector<std::string> kinds;
        std::size_t loseAt = 0;   // poll at which the watch loses sight of the point (0: never)
        bool inPlace = false;     // every point is rewritten in place
        bool resumeLoses = false; // no fresh hold at the resume
        std::string gate = "";    // what the watch was told of the gate
    };
    const std::string p = "point", d = "500", w = "50", g = "1000";
    const Case cases[] = {
        {"unticked", false, true, 3, 0, 0, {p, d, p, d, p}},
        {"ticked", true, true, 3, 0, 0, {p, d, w, w, w, p, d, w, w, w, p}},
        {"read during the delay", true, true, 0, 0, 0, {p, d, p, d, p}},
        {"paused while waiting", true, true, 2, 1, 0, {p, d, w, g, g, w, p, d, w, w, p}, 0, false, false, "pr"},
        {"paused, and no fresh hold at the resume", true, true, 3, 1, 0, {p, d, w, g, g, p, d, w, w, w, p}, 0,
         false, true, "pr"},
        {"unticked while waiting", true, true, 5, 0, 2, {p, d, w, w, p, d, p}},
        {"cannot be watched", true, false, 3, 0, 0, {p, d, p, d, p}},
        // Requests refused, events lost (a queue overflow), the watch's folder gone.
        {"a version the watch loses sight of", true, true, 5, 0, 0, {p, d, w, w, p, d, w, w, p}, 2},
        {"rewritten in place", true, true, 3, 0, 0, {p, d, p, d, p}, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CRecorder rec;
        rec.stopAfterPoints = 3;
        test::CStandInWatch watch;
        watch.watchable = c.watchable;
        watch.resumeLoses = c.resumeLoses;
        CScanJob job = MakeJob({.speed = 2}, rec, rec, 1, &watch);
        job.m_bFollow = c.follow;
        std::size_t polls = 0, gates = 0;
        std::vector<std::uint64_t> waiting;
        rec.onPoint = [&](std::size_t) {
            if (c.inPlace)
                watch.RewroteInPlace();
            else
                watch.Replaced();
            polls = 0;
            if (c.readAfter == 0)
                watch.ReadNewest();
        };
        rec.onSleep = [&](std::uint64_t ms) {
            if (ms == kViewerPollMs) {
                waiting.push_back(job.WaitingFor());
                ++polls;
                if (polls == c.pauseAt && rec.points == 1)
                    job.m_bPaused = true;
                if (polls == c.untickAt)
                    job.m_bFollow = false;
                if (polls == c.readAfter)
                    watch.ReadNewest();
                if (polls == c.loseAt)
                    watch.LoseSight();
            }
            if (ms == kPausePollMs && ++gates == 2)
                job.m_bPaused = false;
        };
        EXPECT_THROW(job.Run(), WalkStopped);
        std::vector<std::string> kinds;
        for (const Event& e : rec.events)
            kinds.push_back(e.kind == Event::Point ? "point" : std::to_string(e.ms));
        EXPECT_EQ(kinds, c.kinds);
        EXPECT_EQ(watch.gate, c.gate);
        for (const std::uint64_t point : waiting)
            EXPECT_TRUE(point == 1 || point == 2) << point;
        EXPECT_EQ(job.WaitingFor(), 0u);
    }
}

// A real worker thread; time is scaled down a hundredfold so the test stays quick.
TEST(PauseGateHoldsNextPoint, RealThreadResumesWithinOnePollWithoutSecondDelay)
{
    struct CScaledClock final : IPointWriter, ISleeper {
        std::mutex lock;
        std::condition_variable changed;
        std::vector<Event> events; // guarded by lock
        std::atomic<int> points{0};
        std::atomic<int> polls{0};
        std::atomic<bool> holdDelay{true};

        void WritePoint(float lat, float lon, std::int32_t range) override
        {
            {
                std::lock_guard<std::mutex> hold(lock);
                events.push_back({Event::Point, lat, lon, range, 0});
            }
            points.fetch_add(1);
            changed.notify_all();
            if (points.load() == 6)
                throw WalkStopped();
        }
        void Sleep(std::uint64_t ms) override
        {
            {
                std::lock_guard<std::mutex> hold(lock);
                events.push_back({Event::Sleep, 0, 0, 0, ms});
            }
            if (ms == kPausePollMs)
                polls.fetch_add(1);
            changed.notify_all();
            // The delay after point 3 lasts until the test has pressed Pause.
            std::unique_lock<std::mutex> wait(lock);
            changed.wait(wait, [&] { return points.load() != 3 || ms != 250 || !holdDelay.load(); });
            wait.unlock();
            std::this_thread::sleep_for(std::chrono::microseconds(ms * 10));
        }
        bool WaitFor(const std::function<bool()>& pred)
        {
            std::unique_lock<std::mutex> wait(lock);
            return changed.wait_for(wait, std::chrono::seconds(20), pred);
        }
    } clock;

    CScanJob job({0, 0, 0, "", 0, 0, 0, "", 5, 5, 1, 100, 0}, clock, clock);
    std::thread worker([&] {
        try {
            job.Run();
        } catch (const WalkStopped&) {
        }
    });
    ASSERT_TRUE(clock.WaitFor([&] { return clock.points.load() == 3 && !clock.events.empty() &&
                                           clock.events.back().kind == Event::Sleep; }));
    job.m_bPaused.store(true, std::memory_order_relaxed); // Pause, during point 3's delay
    clock.holdDelay.store(false);
    clock.changed.notify_all();
    ASSERT_TRUE(clock.WaitFor([&] { return clock.polls.load() >= 5; }));
    EXPECT_EQ(clock.points.load(), 3) << "a paused walk wrote a point";
    EXPECT_EQ(job.Emitted(), 3u) << "read by another thread while paused";
    const int pollsAtResume = clock.polls.load();
    job.m_bPaused.store(false, std::memory_order_relaxed); // Start again
    ASSERT_TRUE(clock.WaitFor([&] { return clock.points.load() >= 4; }));
    worker.join();

    EXPECT_LE(clock.polls.load() - pollsAtResume, 1) << "resume must be seen by the next poll";
    // After the last poll comes point 4 straight away: no second 250 ms delay.
    std::size_t fourth = 0;
    for (std::size_t i = 0, n = 0; i < clock.events.size(); ++i)
        if (clock.events[i].kind == Event::Point && ++n == 4)
            fourth = i;
    ASSERT_GT(fourth, 2u);
    EXPECT_EQ(clock.events[fourth - 1].ms, kPausePollMs);
    EXPECT_EQ(clock.events[fourth + 1].ms, 250u);
}

} // namespace
} // namespace vantrell
