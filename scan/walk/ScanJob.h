#pragma once
// The scan request and its walk: a serpentine path of equal steps over the rectangle
// that hangs south-east of a north-west corner, pass after pass.

#include "KeptPoints.h"
#include "PointSinks.h"
#include "ReadWatch.h"
#include "RequestCheck.h"
#include "ScanRequest.h"
#include "Walk.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace vantrell {

// The engine's constants are float32; arithmetic sees their exact float values.
inline constexpr float kSixtieth = 1.0f / 60.0f;

// Pause gate poll, milliseconds.
inline constexpr std::uint64_t kPausePollMs = 1000;
// How often the walk looks whether the viewer has read the point it waits on, ms.
inline constexpr std::uint64_t kViewerPollMs = 50;

class CScanJob {
public:
    // The request, copied; no checks here. Points go to writer and every wait goes
    // through sleeper; both must outlive the job (the default does). The first pass begins
    // at its point firstPoint (from 1): the points before it are neither written nor
    // waited for; every later pass begins at point 1. watch, when given, sees the viewer
    // read the points the writer writes; it must outlive the job.
    CScanJob(const ScanRequest& request, IPointWriter& writer, ISleeper& sleeper = RealSleeper(),
             std::uint64_t firstPoint = 1, IReadWatch* watch = nullptr);
    CScanJob(const CScanJob&) = delete;
    CScanJob& operator=(const CScanJob&) = delete;

    // Worker thread: passes for ever. Returns, having written nothing, only for a request
    // that yields no points (invalid, or no miles south).
    virtual void Run();
    virtual ~CScanJob();

    // Checks the request and converts the corner to signed float32 degrees (north and east
    // positive); outputs are set only for a valid request. Also sets m_fStep from the
    // resolution, valid or not.
    bool ValidateAndConvert(float& startLatitude, float& startLongitude);

    // Every rule the request breaks, the step and the corner; the same check as
    // ValidateAndConvert, but it changes nothing, so any thread may call it.
    RequestCheck Check() const;

    // Points emitted since the walk began, over all passes: a point counts once its
    // writer has been called, before its delay. The first pass's points before
    // m_nFirstPoint are not emitted and not counted. Any thread; relaxed, as nothing else is
    // published through it.
    std::uint64_t Emitted() const { return m_emitted.load(std::memory_order_relaxed); }

    // The point the first pass begins at, for a pass of `points` points: m_nFirstPoint,
    // or 1 where the pass has no such point.
    std::uint64_t FirstPoint(std::uint64_t points) const
    {
        return m_nFirstPoint >= 1 && m_nFirstPoint <= points ? m_nFirstPoint : 1;
    }

    // Keeps the walk to the points of kept, made for this job's pass (KeepPoints): the
    // others get no write, no delay and no wait, and the first point, Emitted() and the
    // plan's counts number the kept points only. Call before the worker starts; null
    // walks the whole rectangle.
    void KeepTo(std::shared_ptr<const KeptPoints> kept) { m_kept = std::move(kept); }
    const KeptPoints* Kept() const { return m_kept.get(); }

    // Points one pass of shape writes: all, or the kept ones; none for a kept set made
    // for another pass.
    std::uint64_t PassPoints(const PassShape& shape) const
    {
        if (!m_kept)
            return shape.points;
        return m_kept->Points() == shape.points ? m_kept->Kept() : 0;
    }

    // One point to the writer: latitude first, though the file lists longitude first.
    void WriteLookAt(float latitude, float longitude, std::int32_t range);

    // One whole pass, points, delays and pause gates included. False, with nothing
    // written, when the request yields no points.
    bool RunPass();

    // The request the job was made from. Any thread.
    ScanRequest Request() const;

    const std::int32_t m_nLatDeg;
    const std::int32_t m_nLatMin;
    const std::int32_t m_nLatSec;
    const std::string m_strLatDir;
    const std::int32_t m_nLonDeg;
    const std::int32_t m_nLonMin;
    const std::int32_t m_nLonSec;
    const std::string m_strLonDir;
    const std::int32_t m_nMilesEast;
    const std::int32_t m_nMilesSouth;
    const std::int32_t m_nSpeedFactor; // quarter seconds after every point
    const std::int32_t m_nRange;       // metres, written unchanged
    const std::int32_t m_nResolution;  // tenths of a mile; 0: the default step
    const std::uint64_t m_nFirstPoint; // where the first pass begins, from 1
    float m_fStep = kDefaultStep;      // miles; written by the worker only
    // Written by the user-interface thread, polled by the worker; nothing else is
    // published through it, so relaxed order is enough.
    std::atomic<bool> m_bPaused{false};
    // The same for "Wait for the viewer to read each point": after each point's delay the
    // walk also waits, before the pause gate, until the watch has seen the point read or
    // cannot tell. Without a watch, or where it cannot watch, it never waits. A pause
    // while it waits goes to the gate at once, and the wait goes on after it; the watch is
    // told when the gate begins to hold and when it lets go.
    std::atomic<bool> m_bFollow{false};

    // The number of points emitted (as Emitted()) when the walk began waiting for the
    // viewer to read the last of them, a pause meanwhile included; 0 while it does not
    // wait. Any thread.
    std::uint64_t WaitingFor() const { return m_waitingFor.load(std::memory_order_relaxed); }

private:
    void EmitPoint(float latitude, float longitude);
    // False when it stopped for the pause gate with the viewer's read still to come.
    bool WaitForViewer();
    void PauseGate();

    IPointWriter& m_writer;
    ISleeper& m_sleeper;
    IReadWatch* const m_watch;
    std::shared_ptr<const KeptPoints> m_kept; // set before the worker starts, then read only
    std::atomic<std::uint64_t> m_waitingFor{0}; // written by the worker only
    std::atomic<std::uint64_t> m_emitted{0}; // written by the worker only
    std::uint64_t m_passes = 0;              // passes begun; the worker's only
};

// Largest whole number of miles that a float32 accumulator, adding step again and
// again, is sure to reach. Requests reaching further could never finish a row or a pass.
double ReachableMiles(float step);

} // namespace vantrell
