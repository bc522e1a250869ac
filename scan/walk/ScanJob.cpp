#include "ScanJob.h"

#include <utility>

namespace vantrell {

CScanJob::CScanJob(std::int32_t latDeg, std::int32_t latMin, std::int32_t latSec, std::string latDir,
                   std::int32_t lonDeg, std::int32_t lonMin, std::int32_t lonSec, std::string lonDir,
                   std::int32_t milesEast, std::int32_t milesSouth, std::int32_t speedFactor,
                   std::int32_t range, std::int32_t resolution, IPointWriter& writer, ISleeper& sleeper,
                   std::uint64_t firstPoint, IReadWatch* watch)
    : m_nLatDeg(latDeg), m_nLatMin(latMin), m_nLatSec(latSec), m_strLatDir(std::move(latDir)),
      m_nLonDeg(lonDeg), m_nLonMin(lonMin), m_nLonSec(lonSec), m_strLonDir(std::move(lonDir)),
      m_nMilesEast(milesEast), m_nMilesSouth(milesSouth), m_nSpeedFactor(speedFactor),
      m_nRange(range), m_nResolution(resolution), m_nFirstPoint(firstPoint), m_writer(writer),
      m_sleeper(sleeper), m_watch(watch)
{
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
    WaitForViewer();
    while (m_bPaused.load(std::memory_order_relaxed))
        m_sleeper.Sleep(kPausePollMs);
}

void CScanJob::WaitForViewer()
{
    if (!m_watch)
        return;
    // A point whose write failed leaves the version before it the newest: that one's read
    // ends the wait, so a point the writer skipped never holds the walk.
    while (m_bFollow.load(std::memory_order_relaxed)) {
        const ReadStatus status = m_watch->Status();
        if (!status.watchable || status.newestRead)
            break;
        m_waitingFor.store(Emitted(), std::memory_order_relaxed);
        m_sleeper.Sleep(kViewerPollMs);
    }
    m_waitingFor.store(0, std::memory_order_relaxed);
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
