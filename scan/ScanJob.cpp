#include "ScanJob.h"

#include <cmath>
#include <utility>

namespace vantrell {

CScanJob::CScanJob(std::int32_t latDeg, std::int32_t latMin, std::int32_t latSec, std::string latDir,
                   std::int32_t lonDeg, std::int32_t lonMin, std::int32_t lonSec, std::string lonDir,
                   std::int32_t milesEast, std::int32_t milesSouth, std::int32_t speedFactor,
                   std::int32_t range, std::int32_t resolution, IPointWriter& writer, ISleeper& sleeper)
    : m_nLatDeg(latDeg), m_nLatMin(latMin), m_nLatSec(latSec), m_strLatDir(std::move(latDir)),
      m_nLonDeg(lonDeg), m_nLonMin(lonMin), m_nLonSec(lonSec), m_strLonDir(std::move(lonDir)),
      m_nMilesEast(milesEast), m_nMilesSouth(milesSouth), m_nSpeedFactor(speedFactor),
      m_nRange(range), m_nResolution(resolution), m_writer(writer), m_sleeper(sleeper)
{
}

CScanJob::~CScanJob() = default;

namespace {

bool AngleInRange(std::int32_t deg, std::int32_t min, std::int32_t sec, std::int32_t maxDeg)
{
    if (deg < 0 || min < 0 || sec < 0)
        return false;
    if (deg > maxDeg || min > 59 || sec > 59)
        return false;
    return deg < maxDeg || (min == 0 && sec == 0);
}

// Hemisphere word to sign; an unknown word leaves 0 and fails.
bool HemisphereFactor(const std::string& word, const char* positive, const char* negative, double& factor)
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

// Each float32 step below rounds once, from double arithmetic on float32 operands.
float Add(float a, float b) { return static_cast<float>(static_cast<double>(a) + b); }

float RowFactor(float latitude)
{
    const double radians = static_cast<double>(latitude) * static_cast<double>(kDegreeToRadian);
    return static_cast<float>(std::cos(radians) * static_cast<double>(kMilesPerDegree));
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

bool CScanJob::ValidateAndConvert(float& startLatitude, float& startLongitude)
{
    bool valid = AngleInRange(m_nLatDeg, m_nLatMin, m_nLatSec, 90);
    double latFactor = 0.0;
    valid = HemisphereFactor(m_strLatDir, "North", "South", latFactor) && valid;
    valid = AngleInRange(m_nLonDeg, m_nLonMin, m_nLonSec, 180) && valid;
    double lonFactor = 0.0;
    valid = HemisphereFactor(m_strLonDir, "East", "West", lonFactor) && valid;
    if (m_nResolution != 0)
        m_fStep = static_cast<float>(m_nResolution * static_cast<double>(kTenth));

    // Requests that could never finish, or would pause for weeks after a wrap-around.
    valid = valid && m_nResolution >= 0 && m_nSpeedFactor >= 0;
    const double reach = ReachableMiles(m_fStep);
    valid = valid && m_nMilesEast <= reach && m_nMilesSouth <= reach;

    if (valid) {
        startLongitude = ToDegrees(m_nLonDeg, m_nLonMin, m_nLonSec, lonFactor);
        startLatitude = ToDegrees(m_nLatDeg, m_nLatMin, m_nLatSec, latFactor);
    }
    return valid;
}

void CScanJob::WriteLookAt(float latitude, float longitude, std::int32_t range)
{
    m_writer.WritePoint(latitude, longitude, range);
}

void CScanJob::EmitPoint(float latitude, float longitude)
{
    WriteLookAt(latitude, longitude, m_nRange);
    // Valid requests have a speed factor >= 0, so this never wraps.
    m_sleeper.Sleep(static_cast<std::uint64_t>(m_nSpeedFactor) * 250u);
    while (m_bPaused.load(std::memory_order_relaxed))
        m_sleeper.Sleep(kPausePollMs);
}

void CScanJob::WalkRow(float latitude, float& longitude, double direction)
{
    const double rowFactor = RowFactor(latitude);
    const double step = m_fStep;
    const double milesEast = m_nMilesEast;
    float along = 0.0f;
    do {
        along = Add(along, m_fStep);
        longitude = static_cast<float>(longitude + direction * (1.0 / (rowFactor / step)));
        EmitPoint(latitude, longitude);
    } while (milesEast > along);
}

bool CScanJob::RunPass()
{
    float startLatitude = 0.0f;
    float startLongitude = 0.0f;
    if (!ValidateAndConvert(startLatitude, startLongitude) || m_nMilesSouth <= 0)
        return false;

    const double milesSouth = m_nMilesSouth;
    float south = 0.0f;
    float latitude = startLatitude;
    do {
        float longitude = startLongitude;
        const float latitudeStep =
            static_cast<float>(1.0 / (static_cast<double>(kMilesPerDegree) / m_fStep));
        for (const double direction : {1.0, -1.0}) {
            if (m_nMilesEast > 0)
                WalkRow(latitude, longitude, direction);
            south = Add(south, m_fStep);
            latitude = static_cast<float>(static_cast<double>(latitude) - latitudeStep);
            EmitPoint(latitude, longitude);
        }
    } while (milesSouth > south);
    return true;
}

void CScanJob::Run()
{
    while (RunPass()) {
    }
}

} // namespace vantrell
