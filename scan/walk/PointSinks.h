#pragma once
// The two doors through which a walk reaches the world: where its points go and how it
// waits. Both are called on the worker thread only.

#include <cstdint>

namespace vantrell {

// Receives every point of a walk, in order. Latitude and longitude are float32 degrees,
// north and east positive; range is in metres, as typed.
class IPointWriter {
public:
    virtual void WritePoint(float latitude, float longitude, std::int32_t range) = 0;

protected:
    ~IPointWriter() = default;
};

// Suspends the calling thread. 0 ms only yields.
class ISleeper {
public:
    virtual void Sleep(std::uint64_t milliseconds) = 0;

protected:
    ~ISleeper() = default;
};

// The real sleeper: std::this_thread, in bounded slices so that no platform ever sees
// a count it could take for "wait for ever".
class CThreadSleeper final : public ISleeper {
public:
    void Sleep(std::uint64_t milliseconds) override;
};

// Process-wide defaults, created on first use and never destroyed, so a detached worker
// may still use them while the process is ending.
ISleeper& RealSleeper();

// Where a job that is only planned, never run, sends its points and waits: nowhere.
class CDiscard final : public IPointWriter, public ISleeper {
public:
    void WritePoint(float, float, std::int32_t) override {}
    void Sleep(std::uint64_t) override {}
};
// Holds nothing, so any thread may use it, also while the process ends.
CDiscard& Discard();

} // namespace vantrell
