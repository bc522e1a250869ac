#pragma once
// Requests in the form's order, and test doubles for the walk's two doors: one records every
// point and every wait, in order, and can stop a walk after a set number of points; one
// only counts, for walks too long to record.

#include "Area.h"
#include "LookAtDocument.h"
#include "PassCount.h"
#include "PointSinks.h"
#include "ScanJob.h"

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantrell::test {

// By default the README's: 45 0 0 North, 122 0 0 West, 1 by 1 mile, a point a second,
// range 1000, steps of 0.25 mile.
struct Request {
    std::int32_t latDeg = 45, latMin = 0, latSec = 0;
    const char* latDir = "North";
    std::int32_t lonDeg = 122, lonMin = 0, lonSec = 0;
    const char* lonDir = "West";
    std::int32_t east = 1, south = 1, speed = 4, range = 1000, resolution = 0;
};

inline CScanJob MakeJob(const Request& r, IPointWriter& writer, ISleeper& sleeper, std::uint64_t firstPoint = 1,
                        IReadWatch* watch = nullptr)
{
    return CScanJob({r.latDeg, r.latMin, r.latSec, r.latDir, r.lonDeg, r.lonMin, r.lonSec, r.lonDir, r.east,
                     r.south, r.speed, r.range, r.resolution},
                    writer, sleeper, firstPoint, watch);
}

template <class Both>
CScanJob MakeJob(const Request& r, Both& both)
{
    return MakeJob(r, both, both);
}

// Two places of the README's pass, points 2 and 13, each kept on its own: a 100 m view
// and a tenth of a mile's corridor reach no neighbour a quarter mile away.
inline Area TwoPlaces()
{
    return {{}, {{{45.0, -121.989777}}, {{44.992775, -121.984665}}}, "places.gpx"};
}

struct CNoSleep final : ISleeper {
    void Sleep(std::uint64_t) override {}
};

// A watch the test moves by hand: the writer's replacements, and the viewer's reads, and
// the versions it loses sight of. gate: what the walk told it of its pause gate, "p" as it
// holds and "r" as it lets go (worker thread); resumeLoses: no fresh hold at a resume.
struct CStandInWatch final : IReadWatch {
    std::atomic<bool> watchable{true};
    std::atomic<std::uint64_t> replaced{0}, read{0}, cannotTell{0};
    std::atomic<bool> newestRead{false}, newestCannotTell{false};
    std::atomic<std::int64_t> lastReadMs{-1};
    std::string gate;
    bool resumeLoses = false;

    void Replacing() noexcept override {}
    void Replaced() noexcept override
    {
        ++replaced;
        newestRead = false;
        newestCannotTell = false;
    }
    void RewroteInPlace() noexcept override
    {
        Replaced();
        LoseSight();
    }
    void Pausing() noexcept override { gate += 'p'; }
    void Resuming() noexcept override
    {
        gate += 'r';
        if (resumeLoses)
            LoseSight();
    }
    ReadStatus Status() noexcept override
    {
        if (!watchable)
            return {};
        return {true, replaced, read, newestRead, lastReadMs, cannotTell, newestCannotTell};
    }
    // A read the real watches would see; none is seen of a version lost sight of.
    void ReadNewest(std::int64_t atMs = 0)
    {
        if (newestCannotTell)
            return;
        if (!newestRead.exchange(true))
            ++read;
        lastReadMs = atMs;
    }
    void LoseSight()
    {
        if (newestRead || newestCannotTell.exchange(true))
            return;
        ++cannotTell;
    }
};

// Counts the points, and those the walk writes off the globe.
struct CCounter final : IPointWriter, ISleeper {
    std::uint64_t points = 0;
    OutsideCount outside;
    void WritePoint(float latitude, float longitude, std::int32_t) override
    {
        ++points;
        outside.pastSouthPole += latitude < -90.0f;
        outside.pastNorthPole += latitude > 90.0f;
        outside.pastEast += longitude > 180.0f;
        outside.pastWest += longitude < -180.0f;
    }
    void Sleep(std::uint64_t) override {}
};

struct Event {
    enum Kind { Point, Sleep } kind;
    float latitude = 0, longitude = 0;
    std::int32_t range = 0;
    std::uint64_t ms = 0;
};

// Thrown by the recorder to end an endless walk from inside.
struct WalkStopped : std::runtime_error {
    WalkStopped() : std::runtime_error("walk stopped by the test") {}
};

class CRecorder final : public IPointWriter, public ISleeper {
public:
    std::vector<Event> events;
    std::size_t points = 0;
    std::size_t stopAfterPoints = 1'000'000; // a guard: no test walk is that long
    std::function<void(std::size_t point)> onPoint;  // called after point n (1-based)
    std::function<void(std::uint64_t ms)> onSleep;

    void WritePoint(float latitude, float longitude, std::int32_t range) override
    {
        events.push_back({Event::Point, latitude, longitude, range, 0});
        ++points;
        if (onPoint)
            onPoint(points);
        if (points >= stopAfterPoints)
            throw WalkStopped();
    }
    void Sleep(std::uint64_t ms) override
    {
        events.push_back({Event::Sleep, 0, 0, 0, ms});
        if (onSleep)
            onSleep(ms);
    }

    std::vector<Event> Points() const
    {
        std::vector<Event> out;
        for (const Event& e : events)
            if (e.kind == Event::Point)
                out.push_back(e);
        return out;
    }

    // "LATITUDE LONGITUDE" of every point, as the file prints them.
    std::vector<std::string> PrintedPoints() const
    {
        std::vector<std::string> out;
        for (const Event& e : events) {
            if (e.kind != Event::Point)
                continue;
            char text[128];
            char* p = FormatCoordinate(text, text + sizeof text, e.latitude);
            *p++ = ' ';
            p = FormatCoordinate(p, text + sizeof text, e.longitude);
            out.emplace_back(text, p);
        }
        return out;
    }
};

} // namespace vantrell::test
