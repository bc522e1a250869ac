#pragma once
// Test doubles for the walk's two doors: they record every point and every wait, in order,
// and can stop a walk after a set number of points.

#include "LookAtDocument.h"
#include "PointSinks.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantrell::test {

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
