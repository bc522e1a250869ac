#include "ScanJob.h"

#include <utility>

namespace vantrell {

CScanJob::CScanJob(const ScanRequest& request, IPointWriter& writer, ISleeper& sleeper, std::uint64_t firstPoint,
                   IReadWatch* watch)
    : m_nLatDeg(request.latDeg), m_nLatMin(request.latMin), m_nLatSec(request.latSec), m_strLatDir(request.latDir),
      m_nLonDeg(request.lonDeg), m_nLonMin(request.lonMin), m_nLonSec(request.lonSec), m_strLonDir(request.lonDir),
      m_nMilesEast(request.milesEast), m_nMilesSouth(request.milesSouth), m_nSpeedFactor(request.speedFactor),
      m_nRange(request.range), m_nResolution(request.resolution), m_nFirstPoint(firstPoint), m_writer(writer),
      m_sleeper(sleeper), m_watch(watch)
{
}

ScanRequest CScanJob::Request() const
{
    return {m_nLatDeg,     m_nLatMin,     m_nLatSec,      m_strLatDir, m_nLonDeg,
            m_nLonMin,     m_nLonSec,     m_strLonDir,    m_nMilesEast, m_nMilesSouth,
            m_nSpeedFactor, m_nRange,     m_nResolution};
}

CScanJob::~CScanJob() = default;

namespace {

// Sets the bits of deg, min and sec that break their ranges; the rules for latitude and
// longitude are the same but for the largest degree.
std::uint32_t AngleRules(std::int32_t deg, std::int32_t min, std::int32_t sec, std::int32_t maxDeg,
                         Rule degrees, Rule minutes, Rule seconds, Rule pastEnd)
{
    std::uint32_t broken = 0;
    if (deg < 0 || deg > maxDeg)
        broken |= static_cast<std::uint32_t>(degrees);
    if (min < 0 || min > 59)
        broken |= static_cast<std::uint32_t>(minutes);
    if (sec < 0 || sec > 59)
        broken |= static_cast<std::uint32_t>(seconds);
    if (broken == 0 && deg == maxDeg && (min != 0 || sec != 0))
        broken |= static_cast<std::uint32_t>(pastEnd);
    return broken;
}

// Hemisphere word to sign; an unknown word leaves 0 and fails.
bool HemisphereFactor(const std::string& word, std::string_view positive, std::string_view negative,
                      double& factor)
{
    factor = 0.0;
    if (word == positive)
        factor = 1.0;
    else if (word == negative)
        factor = -1.0;
    return factor != 0.0 || word.empty();
}

float ToDegrees(std::int32_t deg, std::int32_t min, std::int32_t sec, double factor)
{
    const double sixtieth = kSixtieth;
    return static_cast<float>(((sec * sixtieth + min) * sixtieth + deg) * factor);
}

} // namespace

double ReachableMiles(float step)
{
    // A float32 sum grows by step while step exceeds half its ulp, so it climbs at least
    // to the first power of two whose ulp is 2 * step, that is to 2^24 * step or above.
    double limit = 1.0;
    while (limit < 16777216.0 * step)
        limit *= 2.0;
    return limit;
}

RequestCheck CScanJob::Check() const
{
    RequestCheck check;
    check.broken |= AngleRules(m_nLatDeg, m_nLatMin, m_nLatSec, 90, Rule::LatitudeDegrees, Rule::LatitudeMinutes,
                               Rule::LatitudeSeconds, Rule::LatitudePastEnd);
    if (!HemisphereFactor(m_strLatDir, kNorth, kSouth, check.latitudeFactor))
        check.broken |= static_cast<std::uint32_t>(Rule::LatitudeWord);
    check.broken |= AngleRules(m_nLonDeg, m_nLonMin, m_nLonSec, 180, Rule::LongitudeDegrees,
                               Rule::LongitudeMinutes, Rule::LongitudeSeconds, Rule::LongitudePastEnd);
    if (!HemisphereFactor(m_strLonDir, kEast, kWest, check.longitudeFactor))
        check.broken |= static_cast<std::uint32_t>(Rule::LongitudeWord);
    check.step = StepOfResolution(m_nResolution);

    // Requests that could never finish, or would pause for weeks after a wrap-around.
    if (m_nResolution < 0)
        check.broken |= static_cast<std::uint32_t>(Rule::NegativeResolution);
    if (m_nSpeedFactor < 0)
        check.broken |= static_cast<std::uint32_t>(Rule::NegativeSpeed);
    check.reach = ReachableMiles(check.step);
    // A negative step has no reach to speak of; its own rule says why.
    if (m_nResolution >= 0 && m_nMilesEast > check.reach)
        check.broken |= static_cast<std::uint32_t>(Rule::EastBeyondReach);
    if (m_nResolution >= 0 && m_nMilesSouth > check.reach)
        check.broken |= static_cast<std::uint32_t>(Rule::SouthBeyondReach);
    if (m_nMilesSouth <= 0)
        check.broken |= static_cast<std::uint32_t>(Rule::NoMilesSouth);

    if (check.Valid()) {
        check.startLongitude = ToDegrees(m_nLonDeg, m_nLonMin, m_nLonSec, check.longitudeFactor);
        check.startLatitude = ToDegrees(m_nLatDeg, m_nLatMin, m_nLatSec, check.latitudeFactor);
    }
    return check;
}

bool CScanJob::ValidateAndConvert(float& startLatitude, float& startLongitude)
{
    const RequestCheck check = Check();
    m_fStep = check.step;
    if (check.Valid()) {
        startLatitude = check.startLatitude;
        startLongitude = check.startLongitude;
    }
    return check.Valid();
}

void CScanJob::WriteLookAt(float latitude, float longitude, std::int32_t range)
{
    m_writer.WritePoint(latitude, longitude, range);
}

void CScanJob::EmitPoint(float latitude, float longitude)
{
    WriteLookAt(latitude, longitude, m_nRange);
    m_emitted.store(m_emitted.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    // Valid requests have a speed factor >= 0, so this never wraps.
    m_sleeper.Sleep(static_cast<std::uint64_t>(m_nSpeedFactor) * 250u);
    // A pause while the walk waits for the viewer holds it at the gate at once; the wait
    // picks up again after it.
    for (;;) {
        const bool waited = WaitForViewer();
        if (m_bPaused.load(std::memory_order_relaxed))
            PauseGate();
        if (waited)
            break;
    }
    m_waitingFor.store(0, std::memory_order_relaxed);
}

void CScanJob::PauseGate()
{
    if (m_watch)
        m_watch->Pausing();
    while (m_bPaused.load(std::memory_order_relaxed))
        m_sleeper.Sleep(kPausePollMs);
    if (m_watch)
        m_watch->Resuming();
}

bool CScanJob::WaitForViewer()
{
    if (!m_watch)
        return true;
    // A point whose write failed leaves the version before it the newest: that one's read
    // ends the wait, so a point the writer skipped never holds the walk. Nor does a version
    // the watch lost sight of.
    while (m_bFollow.load(std::memory_order_relaxed)) {
        const ReadStatus status = m_watch->Status();
        if (!status.watchable || status.newestRead || status.newestCannotTell)
            break;
        if (m_bPaused.load(std::memory_order_relaxed))
            return false;
        m_waitingFor.store(Emitted(), std::memory_order_relaxed);
        m_sleeper.Sleep(kViewerPollMs);
    }
    return true;
}

bool CScanJob::RunPass()
{
    const RequestCheck check = Check();
    m_fStep = check.step;
    if (!check.YieldsPoints())
        return false;
    const PassShape shape = ShapeOf(check, m_nMilesEast, m_nMilesSouth);
    // A kept set that keeps nothing (or was made for another pass) would walk in vain
    // for ever, without a pause.
    if (PassPoints(shape) == 0)
        return false;
    const KeptPoints* const kept = m_kept.get();
    // Every point is stepped, in the walk's own order, and the kept ones are emitted from
    // the `first` of them on: a pass that begins later than its point 1 is still the
    // same walk. Without an area every point is kept.
    struct Emitter {
        CScanJob& job;
        const KeptPoints* kept;
        std::uint64_t first;
        std::uint64_t ordinal = 0; // kept points stepped so far
        RowVisit Row(const WalkRow&) { return RowVisit::Step; }
        bool Point(std::uint64_t index, float latitude, float longitude, bool)
        {
            if (kept && !kept->Contains(index))
                return true;
            if (++ordinal >= first)
                job.EmitPoint(latitude, longitude);
            return true;
        }
    } emitter{*this, kept, m_passes++ == 0 ? FirstPoint(PassPoints(shape)) : 1};
    WalkPass(check, shape, emitter);
    return true;
}

void CScanJob::Run()
{
    while (RunPass()) {
    }
}

} // namespace vantrell
